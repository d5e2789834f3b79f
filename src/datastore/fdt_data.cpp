#include "datastore/fdt_data.h"

#include <algorithm>

#include "base/file_stream2.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "datastore/channels.h"
#include "datastore/data_file.h"
#include "datastore/kw_week.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/format.h"

namespace qv {

TDataFileHead ReadFileChannels(TStream& file, std::unique_ptr<TChannels>& file_channels, const TChannels* expected,
                               int32_t record_size, int64_t file_size) {
  TDataFileHead head;
  try {
    head = ReadDataFileHead(
        file,
        [&](TStream& s) {
          file_channels = std::make_unique<TChannels>();
          file_channels->LoadFromStream(s);
          return file_channels->ValueCount();
        },
        record_size, file_size);
  } catch (const EChanLoadError& e) {
    throw EDatFormatError(LoadResString("dat_UncompatibleFormat") + "\r\n" + e.Message());
  } catch (const EChanVersionError& e) {
    throw EDatFormatError(LoadResString("dat_UncompatibleFormat") + "\r\n" + e.Message());
  }
  // Records of another size would be read misaligned.
  bool fits = DtRecordBytes(head.ValueCount) == record_size &&
              (!expected || (expected->Count() == file_channels->Count() && expected->ValueCount() == head.ValueCount));
  if (!fits) throw EDatFormatError(LoadResString("dat_UncompatibleChannels"));
  return head;
}

namespace {

// A channel list's own channel takes the description that a file stores for it.
void CopyDescription(TChannel& to, const TChannel& from) {
  to.SetFlags(from.Flags());
  to.SetName(from.Name());
  to.SetSName(from.SName());
  to.SetUnit(from.Unit());
  to.SetMin(from.ValMin());
  to.SetMax(from.ValMax());
  to.SetViewMin(from.ViewMin());
  to.SetViewMax(from.ViewMax());
  to.SetAlarmMin(from.AlarmMin());
  to.SetAlarmMax(from.AlarmMax());
  to.SetFactor(from.Factor());
  to.SetDecimals(from.Decimals());
  to.SetDescription(from.Description());
  to.SetMeasType(from.MeasType());
  to.SetCalcType(from.CalcType());
}

std::string MemoryErrorText(const std::string& reason) { return LoadResString("dat_MemoryErrMsg") + "\r\n" + reason; }

// Appends the file's whole records to the buffer; on failure the buffer keeps its old size.
void AppendFileRecords(TStream& file, const TDataFileHead& head, int32_t record_size, TStream& buffer) {
  int64_t old_size = buffer.Size();
  try {
    buffer.Seek(0, TSeekOrigin::soEnd);
    CopyRecords(file, head.RecordCount, record_size, buffer);
  } catch (...) {
    // Never leave part of a record behind.
    buffer.SetSize(old_size);
    throw;
  }
}

}  // namespace

void WriteFileChannels(TStream& file, TChannels* channels) {
  if (channels) {
    channels->SaveToStream(file);
  } else {
    TChannels none;
    none.SaveToStream(file);
  }
}

TFdtData::TFdtData(std::string path, TChannels* channels, TDtRecord* rec, std::string name)
    : TDtData(std::move(path), rec), FileName(std::move(name)) {
  SetChannels(channels);
}

void TFdtData::SetFileName(const std::string& full_name) {
  size_t slash = full_name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? full_name : full_name.substr(slash + 1);
  Path = slash == std::string::npos ? std::string() : full_name.substr(0, slash + 1);
  size_t dot = base.rfind('.');
  FileExt = dot == std::string::npos ? std::string() : base.substr(dot, 5);
  size_t at = FileExt.empty() ? std::string::npos : base.find(FileExt);
  FileName = at == std::string::npos ? base : base.erase(at, FileExt.size());
}

int32_t TFdtData::OpenFile(const std::string& full_name) {
  SetFileName(full_name);
  return Open();
}

std::string TFdtData::DefineIdent() { return ClassName() + "@" + GetFileName(); }

std::string TFdtData::GetSName() {
  std::string full = GetFileName();
  size_t first = full.find('/');
  if (first == std::string::npos) return full;
  std::string rest = full.substr(first + 1);
  size_t last = rest.rfind('/');
  if (last == std::string::npos) return full;
  return full.substr(0, first + 1) + "../" + rest.substr(last + 1);
}

bool TFdtData::NoData() { return FindFileIgnoringCase(Path, FileName + FileExt).empty(); }

int32_t TFdtData::ReadData() {
  TDataLock lock(*this);
  std::string name = FindFileIgnoringCase(Path, FileName + FileExt);
  // Until the file has been read whole, writing would replace its records with the buffer's.
  unread_file_ = name;
  if (name.empty()) name = GetFileName();
  try {
    TFileStream2 file(name, fmOpenRead | fmShareDenyNone);
    std::unique_ptr<TChannels> file_channels;
    TDataFileHead head = ReadFileChannels(file, file_channels, Channels(), Rec()->Size());
    if (TChannels* own = Channels()) {
      // Channels without a unit of their own take the file's description.
      for (int i = 0; i < own->Count() && i < file_channels->Count(); ++i) {
        TChannel* c = own->GetChannel(i);
        if (c->Key() > 1 && c->Unit().empty()) CopyDescription(*c, *file_channels->GetChannel(i));
      }
    }
    CheckGrowth(head.RecordCount * Rec()->Size(), "TFdtData.ReadData");
    AppendFileRecords(file, head, Rec()->Size(), *Buffer());
    if (head.TrailingBytes > 0) {
      ReportDataMessage(name + ": " + std::to_string(head.TrailingBytes) + " bytes of a cut-off record ignored",
                        mkDiagnoseOnly);
    }
  } catch (const EDataError&) {
    throw;
  } catch (const Exception& e) {
    throw EDatOutOfMemError(MemoryErrorText(e.Message()));
  } catch (const std::bad_alloc&) {
    throw EDatOutOfMemError(MemoryErrorText("Out of memory"));
  }
  unread_file_.clear();
  // The range is that of the whole buffer.
  int64_t size = BufferSize();
  int32_t rec_size = Rec()->Size();
  const uint8_t* bytes = Buffer()->Memory();
  NewestRec().Clear();
  if (size >= rec_size) {
    RangeStart = RecordStampOf(bytes);
    RangeStop = RecordStampOf(bytes + size / rec_size * rec_size - rec_size);
    TDtRecord last(DtRec()->ValueCount());
    Buffer()->SetPosition(size / rec_size * rec_size - rec_size);
    last.SRead(*Buffer());
    NewestRec().Assign(last);
  } else {
    RangeStart = RangeStop = NoDtStamp;
  }
  OldestDt = RangeStart;
  SetPositions(true, 0);
  return drDone;
}

int32_t TFdtData::WriteData() {
  TDataLock lock(*this);
  if (!HasBuffer() || BufferSize() == 0) return drDone;
  CheckDiscSpace();
  // A file found in another case is rewritten under its own name, not duplicated.
  std::string name = FindFileIgnoringCase(Path, FileName + FileExt);
  if (!unread_file_.empty() && name == unread_file_) {
    // The records stay in memory and the data set modified, so nothing is lost either way.
    ReportDataMessage(Format(LoadResString("dat_FileNotOverwritten"), name), mkError);
    return drRefused;
  }
  if (name.empty()) name = GetFileName();
  try {
    WriteDataFile(
        name, [&](TStream& s) { WriteFileChannels(s, Channels()); }, Buffer()->Memory(),
        static_cast<size_t>(BufferSize()));
  } catch (const EStreamError& e) {
    throw EDatOutOfDiscError(LoadResString("dat_OutOfDisc") + "\r\n" + e.Message());
  }
  return drDone;
}

}  // namespace qv
