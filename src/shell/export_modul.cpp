#include "shell/export_modul.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <map>
#include <typeinfo>

#include "base/file_stream2.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "base/utils.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/global_channel.h"
#include "datastore/kw_data.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/text_utils.h"
#include "visual/data_view.h"

namespace qv {

namespace {

const char* const ChanInfoKeys[ChanInfoItemCount] = {
    "gci_ChanNr", "gci_SourceName", "gci_SourceSName", "gci_ChanName", "gci_ChanSName", "gci_SensId",
    "gci_Unit",   "gci_ChanMin",    "gci_ChanMax",     "gci_AlarmMin", "gci_AlarmMax",  "gci_LoggerId",
};

// The header rows in the order they are written.
constexpr int32_t HeaderOrder[ChanInfoItemCount] = {ciChanNr,   ciLoggerId,  ciSourceName, ciSourceSName,
                                                    ciChanName, ciChanSName, ciSensId,     ciUnit,
                                                    ciChanMin,  ciChanMax,   ciAlarmMin,   ciAlarmMax};

// The first occurrence of from in text becomes to.
void ReplaceFirst(std::string& text, char from, char to) {
  if (from == to) return;
  if (size_t p = text.find(from); p != std::string::npos) text[p] = to;
}

// Collects small writes and hands them on in large blocks; Flush writes the rest.
class TWriteBuffer : public TStream {
public:
  explicit TWriteBuffer(TStream& target) : target_(target) { bytes_.reserve(Block); }
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    bytes_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    if (bytes_.size() >= Block) Flush();
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    Flush();
    return target_.Seek(offset, origin);
  }
  void SetSize(int64_t size) override {
    Flush();
    target_.SetSize(size);
  }
  void Flush() {
    if (bytes_.empty()) return;
    target_.WriteBuffer(bytes_.data(), static_cast<int32_t>(bytes_.size()));
    bytes_.clear();
  }

private:
  static constexpr size_t Block = 1 << 16;
  TStream& target_;
  std::string bytes_;
};

}  // namespace

// ---- records ----

void TExpImpRecord::ChangeValCount(int32_t n) {
  TDtRecord::ChangeValCount(n);
  list_ = nullptr;
}

void TExpImpRecord::SetGlobChanList(TGlobChanList* list) {
  if (list && list == list_) return;
  if (!list || list->Count() != ValueCount()) throw Exception("TExpImpRecord.SetGlobChanList: invalid GlobChanList");
  list_ = list;
}

// The stamp text of a row prepared once from its format: literal texts and number fields. A
// format with names, nested formats or am/pm markers is left to FormatDateTime, as is a stamp
// outside the day.
class TTxtExpImpRec::TStampText {
public:
  TStampText(bool time_only, const std::string& date_format, char field_separator, const std::string& time_format,
             const TFormatSettings& fs)
      : time_only_(time_only),
        date_format_(date_format),
        field_separator_(field_separator),
        time_format_(time_format),
        date_separator_(fs.DateSeparator),
        time_separator_(fs.TimeSeparator) {
    prepared_ = Prepare(Format());
  }

  bool Matches(bool time_only, const std::string& date_format, char field_separator, const std::string& time_format,
               const TFormatSettings& fs) const {
    return time_only == time_only_ && field_separator == field_separator_ && fs.DateSeparator == date_separator_ &&
           fs.TimeSeparator == time_separator_ && time_format == time_format_ &&
           (time_only || date_format == date_format_);
  }

  // The format as FormatDateTime takes it; the separator as a quoted literal makes date and
  // time two columns.
  std::string Format() const {
    return time_only_ ? time_format_ : date_format_ + '"' + field_separator_ + '"' + time_format_;
  }

  // The text of the day (a whole TDateTime) at secs appended to out; false where it is left to
  // FormatDateTime.
  bool Append(std::string& out, TDateTime day, int32_t secs) {
    if (!prepared_ || secs < 0 || secs >= 86400 || day == NoDateTime) return false;
    if (day != day_) {
      DecodeDate(day, year_, month_, mday_);
      day_ = day;
    }
    const unsigned hour = static_cast<unsigned>(secs / 3600), min = static_cast<unsigned>(secs / 60 % 60),
                   sec = static_cast<unsigned>(secs % 60);
    for (const TPiece& p : pieces_) {
      switch (p.field) {
        case TField::Text: out += p.text; break;
        case TField::Year2: AppendNumber(out, year_ % 100u, 2); break;
        case TField::Year4: AppendNumber(out, year_, 4); break;
        case TField::Month: AppendNumber(out, month_, p.digits); break;
        case TField::Day: AppendNumber(out, mday_, p.digits); break;
        case TField::Hour: AppendNumber(out, hour, p.digits); break;
        case TField::Min: AppendNumber(out, min, p.digits); break;
        case TField::Sec: AppendNumber(out, sec, p.digits); break;
        case TField::Msec: AppendNumber(out, 0, p.digits); break;
      }
    }
    return true;
  }

private:
  enum class TField : uint8_t { Text, Year2, Year4, Month, Day, Hour, Min, Sec, Msec };
  struct TPiece {
    TField field;
    int digits;
    std::string text;
  };

  static void AppendNumber(std::string& out, unsigned v, int digits) {
    char text[16];
    char* end = std::to_chars(text, text + sizeof text, v).ptr;
    for (int n = static_cast<int>(end - text); n < digits; ++n) out += '0';
    out.append(text, end);
  }

  void AddText(const std::string& text) {
    if (text.empty()) return;
    if (!pieces_.empty() && pieces_.back().field == TField::Text)
      pieces_.back().text += text;
    else
      pieces_.push_back({TField::Text, 0, text});
  }

  // Reads the format token by token as FormatDateTime does.
  bool Prepare(const std::string& f) {
    if (f.empty()) return false;  // FormatDateTime's default form
    char last_token = ' ';
    size_t i = 0;
    while (i < f.size()) {
      const char starter = f[i++];
      char token = static_cast<char>(std::toupper(static_cast<unsigned char>(starter)));
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && last_token == 'H') token = 'N';
        last_token = token;
      }
      int count = 1;
      auto counted = [&] {
        while (i < f.size() && f[i] == starter) {
          ++i;
          ++count;
        }
        return count;
      };
      switch (token) {
        case 'Y': pieces_.push_back({counted() <= 2 ? TField::Year2 : TField::Year4, 0, {}}); break;
        case 'M':
        case 'D':
          if (counted() > 2) return false;  // names
          pieces_.push_back({token == 'M' ? TField::Month : TField::Day, count, {}});
          break;
        // An hour is on the 12-hour clock only beside an am/pm marker, which is not prepared.
        case 'H': pieces_.push_back({TField::Hour, std::min(counted(), 2), {}}); break;
        case 'N': pieces_.push_back({TField::Min, std::min(counted(), 2), {}}); break;
        case 'S': pieces_.push_back({TField::Sec, std::min(counted(), 2), {}}); break;
        case 'Z': pieces_.push_back({TField::Msec, std::min(counted(), 3), {}}); break;
        case 'A':
        case 'C':
        case 'T': return false;
        case '/':
          if (date_separator_) AddText(std::string(1, date_separator_));
          break;
        case ':':
          if (time_separator_) AddText(std::string(1, time_separator_));
          break;
        case '\'':
        case '"': {
          size_t end = f.find(starter, i);
          if (end == std::string::npos) end = f.size();
          AddText(f.substr(i, end - i));
          i = end < f.size() ? end + 1 : end;
          break;
        }
        default: AddText(std::string(1, starter));
      }
    }
    return true;
  }

  bool time_only_;
  std::string date_format_;
  char field_separator_;
  std::string time_format_;
  char date_separator_, time_separator_;
  bool prepared_ = false;
  std::vector<TPiece> pieces_;
  TDateTime day_ = NoDateTime;
  uint16_t year_ = 0, month_ = 0, mday_ = 0;
};

TTxtExpImpRec::TTxtExpImpRec(int32_t value_count)
    : TExpImpRecord(value_count),
      DateFormat(CurrentFormatSettings().ShortDateFormat),
      TimeFormat(CurrentFormatSettings().LongTimeFormat),
      DecimalSeparator(CurrentFormatSettings().DecimalSeparator) {}

TTxtExpImpRec::~TTxtExpImpRec() = default;

void TTxtExpImpRec::SetLineEnd(const std::string& text) {
  if (text.empty()) throw Exception("TTxtExpImpRec.SetLineEnd: no empty line end!");
  line_end_ = text;
}

void TTxtExpImpRec::DoImport() { throw Exception("TTxtExpImpRec.DoImport: method not tested!"); }

std::string TTxtExpImpRec::RowText() const {
  std::string text;
  AppendRowText(text);
  return text;
}

void TTxtExpImpRec::AppendRowText(std::string& text) const {
  const TFormatSettings& fs = CurrentFormatSettings();
  if (TimeOnly ? Time == -1 : Date == NoDayNo || Time == -1) {
    text += TimeOnly ? "Bad Time" : "Bad Date/Time";
  } else {
    if (!stamp_ || !stamp_->Matches(TimeOnly, DateFormat, FieldSeparator, TimeFormat, fs))
      stamp_ = std::make_unique<TStampText>(TimeOnly, DateFormat, FieldSeparator, TimeFormat, fs);
    const TDateTime day = TimeOnly ? 0.0 : DtStampToDateTime(TDtStamp{Date, 0});
    if (!stamp_->Append(text, day, Time))
      text += FormatDateTime(stamp_->Format(),
                             TimeOnly ? SecsToDateTime(Time) : DtStampToDateTime(TDtStamp{Date, Time}), fs);
  }
  const char system_separator = fs.DecimalSeparator;
  const TGlobChanList* list = GlobChanList();
  for (int32_t i = 0; i < ValueCount(); ++i) {
    const double v = GetValues(i);
    text += FieldSeparator;
    if (v <= NoValue) {
      text += BadValueString;
      continue;
    }
    // A plain channel's column text is built in place; other channels and other forms take the
    // channel's own text.
    const TChannel* channel = list ? list->GetGlobChan_I(i)->Channel() : nullptr;
    const bool plain = !channel || typeid(*channel) == typeid(TChannel);
    const uint8_t width = channel ? channel->ColumnChars() : 8;
    const uint8_t decimals = channel ? channel->Decimals() : 1;
    if (plain && AppendFixedWidthText(text, width, decimals, v, DecimalSeparator)) continue;
    std::string value = channel ? channel->ValueToColStr(v) : FloatToWidthStr(width, decimals, v);
    ReplaceFirst(value, system_separator, DecimalSeparator);
    text += value;
  }
  text += line_end_;
}

void TTxtExpImpRec::DoExport() {
  if (!Stream) throw Exception("TTxtExpImpRec.DoExport: Stream nil");
  row_.clear();
  AppendRowText(row_);
  Stream->WriteBuffer(row_.data(), static_cast<int32_t>(row_.size()));
}

// ---- names and settings ----

const char* const FieldSepNames[FieldSepCount] = {"TAB", "|", "/", "\\", "< >"};
const char FieldSepChars[FieldSepCount] = {'\t', '|', '/', '\\', ' '};
const char* const LineEndNames[LineEndCount] = {"CR_LF", "CR", "LF"};
const char* const LineEndTexts[LineEndCount] = {"\r\n", "\r", "\n"};

std::string GetChanInfoName(int32_t item) {
  item %= 128;
  if (item < 0 || item >= ChanInfoItemCount) return "* N/A *";
  return LoadResString(ChanInfoKeys[item]);
}

int32_t StringToFieldSep(const std::string& name) {
  for (int32_t i = 0; i < FieldSepCount; ++i)
    if (name == FieldSepNames[i]) return i;
  throw EConvertError("StringToFieldSep: invalid string: " + name);
}

int32_t RdStrToLineEnd(const std::string& name) {
  for (int32_t i = 0; i < LineEndCount; ++i)
    if (name == LineEndNames[i]) return i;
  throw EConvertError("RdStrToLineEnd: invalid string: " + name);
}

std::string InfoSetToString(uint16_t info_set) {
  std::string text;
  for (int32_t i = 0; i < ChanInfoItemCount; ++i)
    if (info_set & (1u << i)) text += GetChanInfoName(i) + "-";
  return text;
}

bool StringToInfoSet(const std::string& text, uint16_t& info_set) {
  std::string rest = UpperCase(text);
  uint16_t set = 0;
  for (int32_t i = 0; i < ChanInfoItemCount; ++i)
    if (RemoveToken(rest, UpperCase(GetChanInfoName(i)) + "-")) set = static_cast<uint16_t>(set | (1u << i));
  if (!rest.empty()) return false;
  info_set = set;
  return true;
}

namespace {
constexpr const char* ExportSection = "Export";
}

TExportSettings ReadExportSettings(const TIniFile2& ini) {
  const TFormatSettings& system = CurrentFormatSettings();
  TExportSettings s;
  uint16_t set = 0;
  if (StringToInfoSet(ini.ReadString(ExportSection, "GlobChanInfo", "$$Invalid$$"), set)) s.InfoSet = set;
  s.DateFormat = ini.ReadString(ExportSection, "DateFormat", system.ShortDateFormat);
  s.TimeFormat = ini.ReadString(ExportSection, "TimeFormat", system.LongTimeFormat);
  // The separator is one byte; a character beyond ASCII (a hand-edited file) cannot be one and
  // would be cut inside itself, so the system's separator stands in for it.
  const std::string decimal = ini.ReadString(ExportSection, "DecimalSeparator", "");
  s.DecimalSeparator = system.DecimalSeparator;
  if (!decimal.empty() && static_cast<unsigned char>(decimal[0]) < 0x80) {
    s.DecimalSeparator = decimal[0];
  } else if (!decimal.empty() && MsgHandler) {
    MsgHandler->HandleMessage("[Export] DecimalSeparator \"" + decimal +
                                  "\" is no single-byte character: the system's decimal separator is used",
                              "ReadExportSettings", TMsgDlgType::mtWarning, mbOK, 0, 0, true, mkLogOnly);
  }
  // A name that does not convert keeps the first entry.
  auto index_of = [&](int32_t (*convert)(const std::string&), const char* key, const char* def) {
    try {
      return convert(ini.ReadString(ExportSection, key, def));
    } catch (const EConvertError&) {
      return 0;
    }
  };
  s.FieldSeparator = index_of(StringToFieldSep, "FieldSeparator", "TAB");
  s.LineEnd = index_of(RdStrToLineEnd, "LineEnd", "CR_LF");
  std::string bad = ini.ReadString(ExportSection, "BadValueString", "<>");
  if (!bad.empty() && bad.front() == '<') bad.erase(0, 1);
  if (!bad.empty() && bad.back() == '>') bad.pop_back();
  s.BadValueString = bad;
  return s;
}

void WriteExportSettings(TIniFile2& ini, const TExportSettings& s) {
  ini.WriteString(ExportSection, "GlobChanInfo", InfoSetToString(s.InfoSet));
  ini.WriteString(ExportSection, "DateFormat", s.DateFormat);
  ini.WriteString(ExportSection, "TimeFormat", s.TimeFormat);
  ini.WriteString(ExportSection, "DecimalSeparator", std::string(1, s.DecimalSeparator));
  ini.WriteString(ExportSection, "FieldSeparator", FieldSepNames[s.FieldSeparator % FieldSepCount]);
  ini.WriteString(ExportSection, "LineEnd", LineEndNames[s.LineEnd % LineEndCount]);
  ini.WriteString(ExportSection, "BadValueString", "<" + s.BadValueString + ">");
}

// ---- the export run ----

namespace {
// Rows between two progress calls: often enough for a prompt Cancel, rare enough to cost nothing.
constexpr uint32_t ProgressRows = 256;
}  // namespace

// A private copy of a source's weekly data set with its record.
struct TExportModul::TSourceCopy {
  std::unique_ptr<TDtRecord> rec;
  std::unique_ptr<TKwData> data;
};

TExportModul::TExportModul() = default;

TExportModul::~TExportModul() {
  view_.reset();
  record_.reset();
  ReleaseSources();
}

std::unique_ptr<TGlobalChannel> TExportModul::CreateGlobChan(TData* data, TChannel* channel) {
  return std::make_unique<TGlobalChannel>(data, channel);
}

void TExportModul::ReleaseSources() {
  if (list_)
    while (list_->Count() > 0) list_->Delete(list_->Count() - 1, true);
  copies_.clear();
}

void TExportModul::SetSources(const TChanSelList* list) {
  if (!list) throw Exception("TExportModul.SetSources: SelectList nil!");
  if (view_) view_->FreeBuffer();
  ReleaseSources();
  if (!list_) list_ = std::make_unique<TGlobChanList>();
  // One copy per source data set serves all of its channels.
  std::map<TData*, TKwData*> copy_of;
  for (const TChanSelCell& cell : *list) {
    auto* source = dynamic_cast<TKwData*>(cell.Data);
    if (!source || !cell.Channel) continue;
    TKwData*& copy = copy_of[source];
    if (!copy) {
      auto c = std::make_unique<TSourceCopy>();
      const int32_t values = source->Channels() ? source->Channels()->ValueCount() : 0;
      c->rec = std::make_unique<TDtRecord>(std::max(1, values));
      c->data = std::make_unique<TKwData>(source->Path, source->Channels(), c->rec.get());
      c->data->NoIdent = true;
      c->data->AddClient(this, DataEventBit(deKeepBuffer), nullptr);
      c->data->SetName(source->GetName());
      c->data->SetSName(source->GetSName());
      c->data->LoggerId = source->LoggerId;
      copy = c->data.get();
      copies_.push_back(std::move(c));
    }
    list_->Add(CreateGlobChan(copy, cell.Channel));
  }
  const int32_t n = list_->Count();
  if (n == 0) {
    view_.reset();
    record_.reset();
  } else if (view_) {
    view_->FreeBuffer();
    view_->SetValueCount(n);
    record_->SetGlobChanList(list_.get());
  } else {
    record_ = CreateRecord(n);
    record_->SetGlobChanList(list_.get());
    view_ = std::make_unique<TDataView>(record_.get());
    view_->SetSourceRange(0);
    view_->SkipEmptyRows = true;
    view_->SetGlobChanList(list_.get());
    view_->FreeBuffer();
  }
}

void TExportModul::SetRange(TDateTime start_dt, TDateTime stop_dt) {
  if (start_dt <= NoDateTime || stop_dt <= NoDateTime) return;
  StartDt = start_dt;
  StopDt = stop_dt;
}

TDtStamp TExportModul::StartStamp() const {
  TDtStamp s = NoDtStamp;
  DateTimeToDtStamp(s, StartDt);
  return s;
}

TDtStamp TExportModul::StopStamp() const {
  TDtStamp s = NoDtStamp;
  DateTimeToDtStamp(s, StopDt);
  return s;
}

void TExportModul::Execute() {
  if (!list_ || !view_) throw Exception("TExportModul.Execute: GlobChanList/DataView = nil");
  if (StartDt <= NoDateTime || StopDt <= NoDateTime) throw Exception("TExportModul.Execute: invalid date/time range");
  if (list_->DataCount() == 0) return;
  DoExport();
}

void TExportModul::ReadWindow(const TDtStamp& start, const TDtStamp& stop) {
  for (const auto& c : copies_) {
    if (OnProgress) OnProgress();
    c->data->OpenDT(start, stop, NoDtStamp, NoDtStamp);
  }
  if (OnProgress) OnProgress();
  view_->Rebuild();
}

void TExportModul::DoExport() {
  if (!view_ || !record_) return;
  record_->TimeOnly = TimeOnly;
  const TDtStamp start = StartStamp();
  const TDtStamp stop = StopStamp();
  // A data set reads at most a year at a time: the range is walked in windows of up to a year
  // that meet without overlap, so every row of the range is written once, in time order.
  TDtStamp window_start = start;
  for (;;) {
    TDtStamp window_stop = stop;
    LimitToOneYear(window_start, window_stop);
    ReadWindow(window_start, window_stop);
    WriteRows(window_start, window_stop);
    if (!DtStampLater(stop, window_stop)) break;
    window_start = window_stop;
    IncDtStampSecs(window_start, 1);
    if (!DtStampLater(window_start, window_stop)) break;  // the end of the calendar
  }
}

void TExportModul::WriteRows(const TDtStamp& start, const TDtStamp& stop) {
  TDataLock lock(*view_);
  uint32_t rows = 0;
  for (bool ok = view_->First(); ok; ok = view_->Next()) {
    if (OnProgress && ++rows % ProgressRows == 0) OnProgress();
    const TDtStamp t{record_->Date, record_->Time};
    if (DtStampLaterOrEqual(t, start) && DtStampLaterOrEqual(stop, t)) record_->DoExport();
  }
}

// ---- text export ----

TTxtExpModul::TTxtExpModul()
    : DateFormat(CurrentFormatSettings().ShortDateFormat),
      TimeFormat(CurrentFormatSettings().LongTimeFormat),
      DecimalSeparator(CurrentFormatSettings().DecimalSeparator) {}

std::unique_ptr<TExpImpRecord> TTxtExpModul::CreateRecord(int32_t value_count) {
  return std::make_unique<TTxtExpImpRec>(value_count);
}

void TTxtExpModul::WriteHeader(TStream& stream) {
  const TGlobChanList& list = *GlobChanList();
  const std::string sep(1, FieldSeparator);
  std::string text;
  for (int32_t item : HeaderOrder) {
    if (!(InfoSet & (1u << item))) continue;
    text += GetChanInfoName(item);
    if (!TimeOnly) text += sep;
    for (int32_t i = 0; i < list.Count(); ++i) {
      const TGlobalChannel& gc = *list.GetGlobChan_I(i);
      const TChannel& ch = *gc.Channel();
      text += sep;
      auto limit = [&](double v) { return FloatToStr(v, DecimalSeparator); };
      switch (item) {
        case ciChanNr: text += std::to_string(i + 1); break;
        case ciSourceName: text += gc.Data()->GetName(); break;
        case ciSourceSName: text += gc.Data()->GetSName(); break;
        case ciChanName: text += ch.Name(); break;
        case ciChanSName: text += ch.SName(); break;
        case ciSensId: text += std::to_string(ch.SensType()); break;
        case ciUnit: text += ch.Unit(); break;
        case ciChanMin: text += limit(ch.ValMin()); break;
        case ciChanMax: text += limit(ch.ValMax()); break;
        case ciAlarmMin: text += limit(ch.AlarmMin()); break;
        case ciAlarmMax: text += limit(ch.AlarmMax()); break;
        case ciLoggerId:
          text += gc.Data()->LoggerId < 1 ? LoadResString("t10_Empty") : std::to_string(gc.Data()->LoggerId);
          break;
        default: break;
      }
    }
    text += LineEnd;
  }
  text += LoadResString("gci_Data") + LineEnd;
  stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void TTxtExpModul::DoExport() {
  auto* rec = dynamic_cast<TTxtExpImpRec*>(Record());
  if (!rec || !GlobChanList() || GlobChanList()->Count() == 0) return;
  // The new content goes to a temporary file that replaces the file only when complete; an
  // append copies the present content first.
  std::error_code ec;
  const bool append = Append && std::filesystem::is_regular_file(FileName, ec);
  TAtomicFileStream2 file(FileName);
  if (append) {
    TFileStream2 old(FileName, fmOpenRead | fmShareDenyWrite);
    file.CopyFrom(old, 0);
  }
  const bool empty = file.Size() == 0;
  TWriteBuffer out(file);
  if (empty && InfoSet != 0) WriteHeader(out);
  rec->Stream = &out;
  rec->DateFormat = DateFormat;
  rec->TimeFormat = TimeFormat;
  rec->DecimalSeparator = DecimalSeparator;
  rec->SetLineEnd(LineEnd);
  rec->FieldSeparator = FieldSeparator;
  rec->BadValueString = BadValueString;
  try {
    TExportModul::DoExport();
  } catch (...) {
    rec->Stream = nullptr;
    throw;
  }
  rec->Stream = nullptr;
  out.Flush();
  file.Commit();
}

}  // namespace qv
