#include "comm/tv10_dev_hndl.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/ini_file.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/connection.h"
#include "comm/recorder.h"
#include "base/dt_stamp.h"
#include "base/timer2.h"
#include "comm/tv10_mem_prot.h"
#include "comm/tv10_onl_prot.h"
#include "comm/tv10_prot.h"
#include "datastore/data.h"
#include "datastore/data_globals.h"
#include "datastore/dt_data.h"
#include "datastore/dt_record.h"
#include "devices/db_shell.h"
#include "devices/tv10_modul.h"
#include "devices/tv10_sensor_info.h"
#include "devices/visual_hooks.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format.h"
#include "platform/rtl/text_utils.h"

namespace qv {

std::function<void(const std::string& key)> DeleteProgramRegistryKey;

namespace {

// (lowest EE version, highest EE version, image length) of kinds 5 and 7.
struct EEVersionRow {
  uint8_t lo, hi;
  uint16_t len;
};
constexpr EEVersionRow kEEVersionRows[] = {{0, 32, 94}};

constexpr uint8_t kMaxEEVersion = 32;

}  // namespace

uint16_t Tv10ImageLen(uint8_t dev_kind, uint8_t ee_version) {
  if (dev_kind == 6) return 146;
  for (const EEVersionRow& row : kEEVersionRows)
    if (ee_version >= row.lo && ee_version <= row.hi) return row.len;
  throw Exception("Logger EEVersionToBufLen: invalid EE-Version");
}

void TTv10DevHndl::ReadSettings(const TIniFile& ini, const std::string& section) {
  TTavra2GModHndl::ReadSettings(ini, section);
  DefTempIsF = ini.ReadBool(section, "DefTempIsF", false);
}

void TTv10DevHndl::WriteSettings(TIniFile& ini, const std::string& section) const {
  TTavra2GModHndl::WriteSettings(ini, section);
  ini.WriteBool(section, "DefTempIsF", DefTempIsF);
}

bool TTv10DevHndl::CanReadCfgDevice(TDevice* module) const { return dynamic_cast<TTv10Modul*>(module) != nullptr; }
bool TTv10DevHndl::CanWriteConfig(TDevice* module) const { return dynamic_cast<TTv10Modul*>(module) != nullptr; }

bool TTv10DevHndl::EEBufToModul(TTv10Modul* module, uint8_t ee_version, bool& changed) {
  if (!module || EEBuf.empty()) return false;
  TMemoryStream2& image = module->EEImage();
  image.Clear();
  image.WriteBuffer(EEBuf.data(), static_cast<int32_t>(EEBuf.size()));
  image.SetPosition(0);
  module->ReadEEPar(&image, changed, ee_version, module->TavraTyp());
  return true;
}

int32_t TTv10DevHndl::ModulToEEBuf(TTv10Modul* module) {
  std::fill(EEBuf.begin(), EEBuf.end(), 0);
  const TMemoryStream2& image = module->EEImage();
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(EEBuf.size(), image.Bytes().size()));
  if (n > 0) std::memcpy(EEBuf.data(), image.Memory(), static_cast<size_t>(n));
  return n;
}

void TTv10DevHndl::TakeConfig(TTv10RdCfgProt* p, TTv10Modul* module, bool& changed) {
  const uint8_t* block = p->GetConfigData();
  if (!block) throw Exception("TTv10DevHndl: no configuration data");
  const uint16_t len = Tv10ImageLen(DevKind, EEVersion);
  if (len > p->BufLen - 2) throw Exception("Logger EEVersionToBufLen: invalid EE-Version");
  AllocEEBuf(len);
  std::memcpy(EEBuf.data(), block, len);
  EEBufToModul(module, EEVersion, changed);
}

void TTv10DevHndl::FindOrCreateModul(TTv10RdCfgProt* p) {
  EEVersion = p->EEVersion;
  DevKind = p->DevKind;
  const uint16_t kennung = p->Kennung;
  TDevice* root = DbShell ? DbShell->Root() : nullptr;
  if (!root) throw Exception("TTv10DevHndl.ReadCfgAnonym: no device tree");
  TTv10Modul* module = nullptr;
  int count = 0;
  for (int i = 0; i < root->ChildCount() && !module; ++i) {
    auto* m = dynamic_cast<TTv10Modul*>(root->GetChild(i));
    if (!m) continue;
    ++count;
    if (m->Kennung() == kennung) module = m;
  }
  if (!module) {
    // The image length is checked before anything is created, so a bad version leaves no folder.
    Tv10ImageLen(DevKind, EEVersion);
    auto created = TDevice::Create<TTv10Modul>(root);
    created->SetId(root->FindNextId(1, TDevice::MaxId));
    created->SetName("Logger_" + std::to_string(count + 1));
    created->SetKennung(kennung);
    created->SetTavraTyp(DevKind);
    if (!created->SetUpDevice()) throw Exception("TTv10DevHndl.ReadCfgAnonym: the logger could not be created");
    module = created.release();
    NewModul = module;
    if (DeleteProgramRegistryKey) {
      // An automatic monitor stored for an earlier module of the same folder must not come back;
      // a profile that cannot be changed does not stop the read.
      std::string folder = module->Dir();
      if (folder.compare(0, ExePath.size(), ExePath) == 0) folder.erase(0, ExePath.size());
      while (!folder.empty() && folder.back() == '/') folder.pop_back();
      std::replace(folder.begin(), folder.end(), '/', '\\');
      try {
        DeleteProgramRegistryKey("\\Profile\\AutoMonitors\\" + UpperCase(folder));
      } catch (const std::exception& e) {
        if (MsgHandler)
          MsgHandler->HandleMessage(e.what(), "TTv10DevHndl.ReadCfgAnonym", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                    mkDiagnoseOnly);
      }
    }
  }
  bool changed = false;
  TakeConfig(p, module, changed);
  EEChanged = changed;
  module->RevertChanNums();
  module->SaveEEParCfg();
  FCurModul = module;
}

void TTv10DevHndl::RdCfgDevProcData(TTv10RdCfgProt* p) {
  if (!FCurModul) throw Exception("TTv10DevHndl.RdCfgDevProcData: FCurModul is NIL!");
  EEVersion = p->EEVersion;
  DevKind = p->DevKind;
  if (FCurModul->Kennung() != p->Kennung || FCurModul->TavraTyp() != p->DevKind)
    throw Exception(Format(LoadResString("deh_WronDevConnF"), FCurModul->Name()));
  bool changed = false;
  TakeConfig(p, FCurModul, changed);
  EEChanged = changed;
  FCurModul->SaveEEParCfg();
}

void TTv10DevHndl::RegisterNewModul() {
  if (!NewModul) return;
  TTv10Modul* module = NewModul;
  NewModul = nullptr;
  AddAuditEvent(TDY_AuditEventKind::DeviceCreated, std::to_string(module->Kennung()));
  module->ApplyDefTempUnit(DefTempIsF);
}

bool TTv10DevHndl::Connected(bool /*interactive*/) {
  if (Connection->InProcess()) return true;
  ApplyPortSettings();
  return Connection->Connect();
}

bool TTv10DevHndl::WithConnection(const char* nil_error, bool disconnect, const std::function<bool()>& body) {
  if (!Connection || !Connection->Port()) throw Exception(nil_error);
  TCommand command(*this);
  bool ok = false;
  try {
    ok = body();
  } catch (...) {
    Connection->DisConnect();
    throw;
  }
  // A kind-7 logger stays connected.
  if (disconnect && DevKind != 7) Connection->DisConnect();
  return ok;
}

bool TTv10DevHndl::ReadCfgAnonym(bool interactive, bool disconnect) {
  bool ok = WithConnection("TTv10DevHndl.ReadCfgAnonym: Connection or ComPort nil!", disconnect, [&] {
    if (!Connected(interactive)) return false;
    FCurModul = nullptr;
    auto* p = NewProtocol<TTv10RdCfgProt>();
    p->Port = Connection->Port();
    p->Interactive = interactive;
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->MaxEEVersion = kMaxEEVersion;
    p->OnConfigRead = [this](TComProtocol* s) { FindOrCreateModul(static_cast<TTv10RdCfgProt*>(s)); };
    bool result = false;
    try {
      result = p->Execute();
    } catch (...) {
      RegisterNewModul();
      throw;
    }
    RegisterNewModul();
    return result;
  });
  if (ok && interactive && FCurModul && AutoMonitor && AutoMonitor->Enabled() && DbShell &&
      DbShell->GetSelDevice() != FCurModul && MsgHandler) {
    const uint16_t answer =
        MsgHandler->HandleMessage(Format(LoadResString("deh_SwitchToCurDevF"), FCurModul->Name()), "",
                                  TMsgDlgType::mtConfirmation, mbYes | mbNo | mbHelp, 3540, mrYes, false, mkQuestion);
    if (answer == mrYes) SelectModul(FCurModul);
  }
  return ok;
}

void TTv10DevHndl::SelectModul(TTv10Modul* module) {
  const bool saved = DisconnectOnDevChange.exchange(false);
  try {
    DbShell->SelectDevice(module);
  } catch (...) {
    DisconnectOnDevChange = saved;
    throw;
  }
  DisconnectOnDevChange = saved;
}

bool TTv10DevHndl::ReadCfgDevice(TDevice* module, bool interactive, bool& changed, bool disconnect) {
  return WithConnection("TTv10DevHndl.ReadCfgDevice: Connection or ComPort nil!", disconnect, [&] {
    if (!Connected(interactive)) return false;
    FCurModul = dynamic_cast<TTv10Modul*>(module);
    EEChanged = false;
    auto* p = NewProtocol<TTv10RdCfgProt>();
    p->Port = Connection->Port();
    p->Interactive = interactive;
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->MaxEEVersion = kMaxEEVersion;
    p->OnConfigRead = [this](TComProtocol* s) { RdCfgDevProcData(static_cast<TTv10RdCfgProt*>(s)); };
    const bool result = p->Execute();
    if (result) changed = EEChanged;
    return result;
  });
}

bool TTv10DevHndl::WriteConfig(TDevice* device, bool disconnect) {
  auto* module = dynamic_cast<TTv10Modul*>(device);
  if (!module) throw Exception("TTv10DevHndl.WriteConfig: invalid device!");
  return WithConnection("TTv10DevHndl.WriteConfig: Connection or ComPort nil!", disconnect, [&] {
    if (Sleep)
      Sleep(500);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The module's own kind decides: the logger read last may be another one.
    if (module->TavraTyp() == 7) return true;
    if (!Connected(false)) return false;
    auto* p = NewProtocol<TTv10WriteEEProt>();
    p->Port = Connection->Port();
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->Kennung = module->Kennung();
    p->ConfigByte = module->E2Version;
    p->DevKind = module->TavraTyp();
    DevKind = p->DevKind;
    const int32_t block_len = Tv10ConfigBlockLen(DevKind);
    if (block_len == 0) throw Exception(LoadResString("deh_DevNotCompat"));
    p->SetBufLen(block_len);
    AllocEEBuf(Tv10ImageLen(DevKind, module->E2Version));
    ModulToEEBuf(module);
    p->ReceiveData(EEBuf.data(), EEBufLen());
    return p->Execute();
  });
}

bool TTv10DevHndl::SyncClock(bool interactive, bool disconnect) {
  return WithConnection("Error in TTv10DevHndl.SyncClock: Connection or ComPort nil!", disconnect, [&] {
    if (!ReadCfgAnonym(interactive, false)) return false;
    if (DevKind == 7) return true;
    auto* p = NewProtocol<TTv10SyncClProt>();
    p->Port = Connection->Port();
    p->Interactive = interactive;
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    const bool ok = p->Execute();
    if (ok)
      AddAuditEvent(TDY_AuditEventKind::DeviceClockSync,
                    FCurModul ? std::to_string(FCurModul->Kennung()) : std::string());
    return ok;
  });
}

bool TTv10DevHndl::ClearMemAnonym(bool interactive, bool disconnect) {
  return WithConnection("TTv10DevHndl.ClearMemAnonym: Connection or ComPort nil!", disconnect, [&] {
    if (!ReadCfgAnonym(interactive, false)) return false;
    if (!Connected(interactive)) return false;
    auto* p = NewProtocol<TTv10ClearMemProt>();
    p->Port = Connection->Port();
    p->Interactive = interactive;
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->MaxEEVersion = kMaxEEVersion;
    // Fired by the configuration child, with itself as sender.
    p->OnConfigRead = [this](TComProtocol* s) { FindOrCreateModul(static_cast<TTv10RdCfgProt*>(s)); };
    if (interactive) {
      p->OnClearStart = [this](TComProtocol*) {
        // Clearing loses the logger's data: only an explicit Yes goes on (a closed dialog or the
        // automatic mode does not).
        if (!FCurModul || !MsgHandler) throw EAbort("Abort clear memory");
        const uint16_t answer = MsgHandler->HandleMessage(Format(LoadResString("deh_ConfClearMemF"), FCurModul->Name()),
                                                          "", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbHelp, 3570,
                                                          mrNo, false, mkQuestion);
        if (answer != mrYes) throw EAbort("Abort clear memory");
      };
    }
    bool ok = false;
    try {
      ok = p->Execute();
    } catch (...) {
      RegisterNewModul();
      throw;
    }
    if (ok && p->DevKind == 7) {
      // The interface device keeps no data: there was nothing to clear, and the audit trail
      // must not say otherwise.
      if (MsgHandler)
        MsgHandler->HandleMessage(LoadResString("deh_NoMemory"), "", TMsgDlgType::mtInformation, mbOK, 0, mrOk, false,
                                  mkWarning);
    } else if (ok) {
      AddAuditEvent(TDY_AuditEventKind::DeviceMemCleared,
                    FCurModul ? std::to_string(FCurModul->Kennung()) : std::string());
    }
    RegisterNewModul();
    return ok;
  });
}

TTv10DevHndlColl::TTv10DevHndlColl() {
  RegisterHndlType<TTv10DevHndl>();
  SelectStored();
}

// ---- current values ----

namespace {

// The module's recording interval in seconds: the sample interval for kind 7, the save interval
// for the kinds that store averages of their own.
uint32_t ModulIntervalSecs(const TTv10Modul& module) {
  if (module.TavraTyp() == 7)
    return Tv10SampleIntervals[std::min<size_t>(module.SampleIntIdx.Value, Tv10IntervalCount - 1)];
  const int index = std::clamp<int>(module.SaveIntIdx.Value, Tv10FirstSaveIndex, Tv10IntervalCount - 1);
  return Tv10SaveIntervals[static_cast<size_t>(index)] * 60u;
}

// The wall-clock grid step equal to an interval; 12 and 15 minutes have none and take 100 ms.
uint8_t GridIndexOf(uint32_t interval_ms) {
  for (uint8_t i = 0; i < std::size(TimeGridMSecs); ++i)
    if (TimeGridMSecs[i] == interval_ms) return i;
  return 0;
}

constexpr uint16_t kWordNotStored = 0xFFFD;

uint16_t WordAt(const uint8_t* values, int32_t count, int32_t index) {
  const int32_t at = 2 * index;
  if (at < 0 || at + 1 >= count) return kRawInvalid;  // a word the buffer does not hold is missing
  return static_cast<uint16_t>(values[at] | (values[at + 1] << 8));
}

}  // namespace

void TTv10DevHndl::TakeValueKinds(const TTv10Modul* module) {
  const uint8_t mode = module ? module->StoringMode.Value : 0;
  ValueKindCount = 0;
  // Bit 2 minimum, bit 1 maximum, bit 0 average.
  const uint8_t bits[3] = {4, 2, 1};
  for (int32_t kind = 0; kind < 3; ++kind)
    if (mode & bits[kind]) ValueKinds[static_cast<size_t>(ValueKindCount++)] = kind;
  if (ValueKindCount == 0) {
    ValueKindCount = 1;
    ValueKinds[0] = 2;
  }
}

std::vector<TTv10DevHndl::TSlotRecord> TTv10DevHndl::OnlineRecords(TTv10ReadOnlProt* p,
                                                                   const char* missing_error) const {
  std::vector<TSlotRecord> records;
  const uint8_t* values = p ? p->GetValues() : nullptr;
  if (!values || !FCurModul) return records;
  const int32_t count = p->ValueBytes();
  const TDateTime now = SnapToTimeGrid(GridIndexOf(ModulIntervalSecs(*FCurModul) * 1000u), Now());
  TDtStamp stamp = NoDtStamp;
  DateTimeToDtStamp(stamp, now);
  for (int32_t slot = 1; slot <= FCurModul->GetSlotCount(); ++slot) {
    auto* sub = dynamic_cast<TTv10SubModul*>(FCurModul->GetSubModul(slot));
    if (!sub) throw Exception(missing_error);
    auto rec = std::make_unique<TDtRecord>(sub->GetChanCount());
    rec->Clear();
    rec->Date = stamp.Date;
    rec->Time = stamp.Time;
    if (p->DevKind == 6) {
      // Three words per slot; a kind the logger does not store comes as 0xFFFD.
      int32_t k = 0;
      for (int32_t w = 0; w < 3; ++w) {
        const uint16_t raw = WordAt(values, count, 3 * (slot - 1) + w);
        if (raw == kWordNotStored || k >= ValueKindCount) continue;
        const int32_t index = ValueKinds[static_cast<size_t>(k++)];
        if (index < rec->ValueCount()) rec->SetValues(index, sub->RawToValue(raw));
      }
    } else {
      for (int32_t k = 0; k < ValueKindCount; ++k) {
        const uint16_t raw = WordAt(values, count, ValueKindCount * (slot - 1) + k);
        const int32_t index = ValueKinds[static_cast<size_t>(k)];
        if (index < rec->ValueCount()) rec->SetValues(index, sub->RawToValue(raw));
      }
    }
    records.emplace_back(slot, std::move(rec));
  }
  return records;
}

void TTv10DevHndl::ProcOnlData(TTv10ReadOnlProt* p) {
  for (TSlotRecord& entry : OnlineRecords(p, "TTv10DevHndl.ProcOnlData: Submodul not found")) {
    TData* data = FCurModul->GetSubModul(entry.first)->Data();
    if (!data) throw Exception("TTv10DevHndl.ProcOnlData: no data set for slot " + std::to_string(entry.first));
    TDataLock lock(*data);
    if (!data->HasBuffer()) data->NewBuffer();
    data->InsertRecord(*entry.second);
    // Flushing writes the weekly file and tells the navigator.
    const int32_t result = data->Flush();
    if (result != drDone) throw Exception(LoadResString("dat_CannotSaveData") + " (" + data->GetDataIdent() + ")");
  }
}

bool TTv10DevHndl::ReadOnline(TDevice* device, bool disconnect) {
  static constexpr char kNilError[] = "Error in TTv10DevHndl.ReadOnline: Connection or ComPort nil!";
  if (!Connection || !Connection->Port()) throw Exception(kNilError);
  auto* module = dynamic_cast<TTv10Modul*>(device);
  if (!module) throw Exception("Error in TTv10DevHndl.ReadOnline: wrong Device-Type!");
  return WithConnection(kNilError, disconnect, [&] {
    if (!Connected(false)) {
      FCurModul = nullptr;
      return false;
    }
    FCurModul = module;
    auto* p = NewProtocol<TTv10ReadOnlProt>();
    p->Port = Connection->Port();
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->Kennung = static_cast<uint16_t>(module->Kennung());
    // The module's own kind: the last configuration read may have been another logger's.
    DevKind = module->TavraTyp();
    p->DevKind = DevKind;
    TakeValueKinds(module);
    if (DevKind == 5 || DevKind == 7)
      p->SetValueBytes(4 * ValueKindCount);
    else if (DevKind == 6)
      p->SetValueBytes(24);
    else
      throw Exception("TTv10DevHndl.ReadOnline : invalid Tavra type !");
    p->OnValuesRead = [this](TComProtocol* s) { ProcOnlData(static_cast<TTv10ReadOnlProt*>(s)); };
    return p->Execute();
  });
}

// ---- online recorder ----

namespace {

void PutInt32(TStream& stream, int32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  stream.WriteBuffer(b, 4);
}

int32_t GetInt32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  return static_cast<int32_t>(v);
}

// Every data set of the module's slots that exists, with its slot number.
std::vector<std::pair<int32_t, TData*>> SlotData(TTv10Modul* module) {
  std::vector<std::pair<int32_t, TData*>> out;
  for (int32_t slot = 1; slot <= module->GetSlotCount(); ++slot)
    if (TTavra2GSubMod* sub = module->GetSubModul(slot))
      if (TData* data = sub->Data()) out.emplace_back(slot, data);
  return out;
}

bool Complete(const TDtStamp& s) { return s.Date != NoDayNo && s.Time >= 0; }

std::string Fixed(double value, int decimals) { return FloatToStrFixed(value, 0, decimals); }

}  // namespace

TTv10DevHndl::TTv10DevHndl() = default;
TTv10DevHndl::~TTv10DevHndl() = default;

TTv10Modul* TTv10DevHndl::RecModul(const char* error) const {
  if (!Recorder || Recorder->TaskCount() != 1) throw Exception(error);
  auto* module = dynamic_cast<TTv10Modul*>(Recorder->GetTask(0)->Device);
  if (!module) throw Exception(error);
  return module;
}

void TTv10DevHndl::RecPrepareTasks() {
  if (!Connection || !Connection->Port()) throw Exception("TTv10DevHndl.ReadCfgAnonym: Connection or ComPort nil!");
  TCommand command(*this);
  bool ok = false;
  if (Connection->InProcess() || Connected(false)) {
    FCurModul = nullptr;
    auto* p = NewProtocol<TTv10RdCfgProt>();
    p->Port = Connection->Port();
    p->Interactive = 0;
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->MaxEEVersion = kMaxEEVersion;
    p->OnConfigRead = [this](TComProtocol* s) {
      FindOrCreateModul(static_cast<TTv10RdCfgProt*>(s));
      if (!FCurModul || !Recorder) return;
      const uint32_t ms = ModulIntervalSecs(*FCurModul) * 1000u;
      Recorder->AddTask(FCurModul, ms);
      // Samples fall on the wall-clock grid, 100 ms after each step.
      Recorder->GetTask(Recorder->TaskCount() - 1)->Timer.SetAlignment(true, GridIndexOf(ms), 100);
      Recorder->RecDevice = FCurModul;
    };
    try {
      ok = p->Execute();
    } catch (...) {
      RegisterNewModul();
      Connection->DisConnect();
      throw;
    }
  }
  RegisterNewModul();
  // A kind-7 logger stays connected: the recorder that starts now samples on its line.
  if (!(ok && DevKind == 7)) Connection->DisConnect();
  if (ok && DevKind == 7) command.KeepLine();
  if (ok && FCurModul && Recorder) {
    TakeValueKinds(FCurModul);
    const int save = std::clamp<int>(FCurModul->SaveIntIdx.Value, Tv10FirstSaveIndex, Tv10IntervalCount - 1);
    Recorder->SyncInt =
        Tv10SaveIntervals[static_cast<size_t>(save)] * 60u * static_cast<uint32_t>(120 / ValueKindCount - 1);
  }
}

void TTv10DevHndl::RecInitProtocols() {
  if (!RecSyncProt) RecSyncProt = std::make_unique<TTv10SyncClProt>();
  if (!RecOnlProt) RecOnlProt = std::make_unique<TTv10ReadOnlProt>();
  for (TComProtocol* p :
       {static_cast<TComProtocol*>(RecSyncProt.get()), static_cast<TComProtocol*>(RecOnlProt.get())}) {
    p->Port = Connection ? Connection->Port() : nullptr;
    p->Interactive = 0;
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->OnSuccess = [](TComProtocol* s) {
      if (Recorder) Recorder->ChildSucceeded(s);
    };
    p->OnFailure = [](TComProtocol* s) {
      if (Recorder) Recorder->ChildFailed(s);
    };
  }
  RecOnlProt->OnValuesRead = [this](TComProtocol* s) { RecProcOnlData(static_cast<TTv10ReadOnlProt*>(s)); };
}

void TTv10DevHndl::RecInsertStartRec() {
  TTv10Modul* module = RecModul("TTv10DevHndl.RecInsertStartRec: bad recorder tasks");
  const uint32_t secs = ModulIntervalSecs(*module);
  const double step = secs / 86400.0;
  const TDateTime now = Now();
  TDateTime start = SnapToTimeGrid(GridIndexOf(secs * 1000u), now);
  if (now > start) {
    if (module->TavraTyp() == 7) {
      while (start < now) start += step;
    } else {
      start += step;
    }
  }
  TDtStamp stamp = NoDtStamp;
  DateTimeToDtStamp(stamp, start);
  for (auto [slot, data] : SlotData(module)) {
    TDataLock lock(*data);
    if (DataGlobals) {
      data->Flags = static_cast<uint8_t>(data->Flags & ~(dfPermitOverwrite | dfPermitInsert));
      if (DataGlobals->PermitOverwrite) data->Flags |= dfPermitOverwrite;
      if (DataGlobals->PermitInsert) data->Flags |= dfPermitInsert;
    }
    data->AddClient(this, DataEventBit(deSmallBuffer), nullptr);
    data->CheckBuffer();
    if (!data->HasBuffer()) data->NewBuffer();
    // An empty record: the curves show the start of the recording as a gap.
    TDtRecord rec(module->GetSubModul(slot)->GetChanCount());
    rec.Clear();
    rec.Date = stamp.Date;
    rec.Time = stamp.Time;
    data->InsertRecord(rec);
  }
}

void TTv10DevHndl::RecOnSaveData() {
  TTv10Modul* module = RecModul("TTv10DevHndl.RecOnSaveData: bad recorder tasks");
  for (auto [slot, data] : SlotData(module)) {
    TDataLock lock(*data);
    const int32_t result = data->Flush();
    if (result != drDone && MsgHandler)
      MsgHandler->HandleMessage(LoadResString("dat_CannotSaveData") + " (" + data->GetDataIdent() + ")",
                                "TTv10DevHndl.RecOnSaveData", TMsgDlgType::mtError, mbOK, 0, 0, true, mkError);
    if (auto* dt = dynamic_cast<TDtData*>(data)) {
      const TDtStamp newest = dt->GetNewestDt();
      if (Complete(newest)) module->SetLastUpdate(slot, DtStampToDateTime(newest));
    }
    data->CheckBuffer();
  }
}

void TTv10DevHndl::EnsureLine() {
  if (!Connection || !Connection->Port()) throw Exception("TTv10DevHndl.RecProcessSample: Connection or ComPort nil!");
  TQvComPort* port = Connection->Port();
  if (port->Open() && !port->LineLost()) return;
  // While the line is away every sample tries once, quietly: a failed sample is reported as
  // such, and the next one finds the line when it is back.
  Connection->Reopen();
  if (!port->Open()) throw Exception(LoadResString("deh_TONoResponse"));
}

void TTv10DevHndl::RecSyncClock() {
  RunOnMainThread([this] {
    if (!RecSyncProt) throw Exception("TTv10DevHndl.RecSyncClock: no protocol");
    EnsureLine();
    RecSyncProt->ExecuteChild();
  });
}

void TTv10DevHndl::RecProcessSample(int32_t task) {
  TRecTask* t = Recorder ? Recorder->GetTask(task) : nullptr;
  auto* module = t ? dynamic_cast<TTv10Modul*>(t->Device) : nullptr;
  if (!module) throw Exception("TTv10DevHndl.RecProcessSample: bad recorder task");
  // The protocol lives on the main thread, where the port delivers its events.
  RunOnMainThread([this, module] {
    if (!RecOnlProt) throw Exception("TTv10DevHndl.RecProcessSample: no protocol");
    EnsureLine();
    FCurModul = module;
    RecOnlProt->Kennung = static_cast<uint16_t>(module->Kennung());
    DevKind = module->TavraTyp();
    RecOnlProt->DevKind = DevKind;
    TakeValueKinds(module);
    if (DevKind == 5 || DevKind == 7)
      RecOnlProt->SetValueBytes(4 * ValueKindCount);
    else if (DevKind == 6)
      RecOnlProt->SetValueBytes(24);
    else
      throw Exception("TTv10DevHndl.RecProcessSample : invalid Tavra type !");
    RecOnlProt->ExecuteChild();
  });
}

void TTv10DevHndl::RecProcOnlData(TTv10ReadOnlProt* p) {
  TRecTask* task = Recorder ? Recorder->GetTask(0) : nullptr;
  if (!task) return;
  std::vector<TSlotRecord> records = OnlineRecords(p, "TTv10DevHndl.RecProcOnlData: Submodul not found");
  TMemoryStream2& buffer = task->Buffer;
  buffer.SetPosition(buffer.Size());
  for (TSlotRecord& entry : records) {
    PutInt32(buffer, entry.first);
    entry.second->SWrite(buffer);
  }
}

void TTv10DevHndl::CheckAlarm(TTv10Modul* module, TTavra2GSubMod* sub, int32_t slot, const TDtRecord& rec,
                              double value) {
  const TDtStamp stamp{rec.Date, rec.Time};
  const TDateTime dt = DtStampToDateTime(stamp);
  const std::string date = FormatDateTime(CurrentFormatSettings().ShortDateFormat, dt);
  const std::string time = FormatDateTime(CurrentFormatSettings().LongTimeFormat, dt);
  const std::string kennung = std::to_string(module->Kennung());
  const bool alarm =
      AlarmChannels ? AlarmChannels->AddSample(module->Name(), module->Kennung(), slot, 0, sub->Unit(), sub->Decimals(),
                                               sub->AlarmMin(), sub->AlarmMax(), date, time, value)
                    : IsAlarmValue(value, sub->AlarmMin(), sub->AlarmMax());
  const int decimals = sub->Decimals();
  if (alarm != Recorder->LastAlarmState) {
    const std::string text = LoadResString("AlarmTime") + ": " + date + " " + time + " " +
                             LoadResString("AlarmDevice") + ": " + module->Name() + " " + LoadResString("chn_Channel") +
                             ": " + std::to_string(slot) + " " + LoadResString("AlarmValue") + ": " +
                             Fixed(value, decimals) + " " + LoadResString("gci_AlarmMin") + ": " +
                             Fixed(sub->AlarmMin(), decimals) + " " + LoadResString("gci_AlarmMax") + ":." +
                             Fixed(sub->AlarmMax(), decimals);
    AddAuditEvent(alarm ? TDY_AuditEventKind::DeviceAlarmStart : TDY_AuditEventKind::DeviceAlarmEnd, kennung, text);
    Recorder->LastAlarmState = alarm;
  }
  if (!Recorder->LastAlarmState || !SendEmailOnAlarmRecorder || !SendMail) return;
  const TDateTime now = Now();
  if (!AlwaysSendAlarmEmail && now - LastAlarmMailTime.load() < SendAlarmEmailInterval.load()) return;
  const std::string mail = LoadResString("AlarmTime") + ": " + date + " " + time + " " + LoadResString("AlarmDevice") +
                           ": " + module->Name() + " " + LoadResString("AlarmValue") + ": " + Fixed(value, decimals) +
                           " " + LoadResString("AlarmMessage") + " (" + Fixed(sub->AlarmMin(), decimals) + ".." +
                           Fixed(sub->AlarmMax(), decimals) + ")";
  // Queued: a mail server that hangs must not hold up the next sample.
  SendMail->PostAlarmMail(mail, module->Kennung());
  LastAlarmMailTime = now;
}

void TTv10DevHndl::RecInsertSample(int32_t task) {
  TRecTask* t = Recorder ? Recorder->GetTask(task) : nullptr;
  auto* module = t ? dynamic_cast<TTv10Modul*>(t->Device) : nullptr;
  if (!module || t->Buffer.Size() == 0) return;
  const int32_t slots = std::min(module->GetSlotCount(), 4);
  TMemoryStream2 kept;
  bool corrupt = false;
  // The data sets are given back before anything waits for the main thread below.
  {
    std::array<TTavra2GSubMod*, 4> subs{};
    std::array<TData*, 4> locked{};
    // Every lock taken is given back, whatever happens below.
    struct Unlocker {
      std::array<TData*, 4>& held;
      ~Unlocker() {
        for (TData* d : held)
          if (d) d->Unlock();
      }
    } unlocker{locked};
    for (int32_t slot = 1; slot <= slots; ++slot) {
      TTavra2GSubMod* sub = module->GetSubModul(slot);
      if (!sub) throw Exception("TTv10DevHndl.RecInsertSample: Submodul not found");
      subs[static_cast<size_t>(slot - 1)] = sub;
      // Never wait behind the main thread: a busy data set keeps its samples for the next time.
      if (TData* data = sub->Data(); data && data->TryLock(50)) locked[static_cast<size_t>(slot - 1)] = data;
    }
    const std::string bytes = t->Buffer.Bytes();
    TMemoryStream2 reader;
    reader.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    size_t pos = 0;
    while (pos < bytes.size()) {
      const int32_t slot = bytes.size() - pos >= 4 ? GetInt32(bytes, pos) : 0;
      if (slot < 1 || slot > slots) {
        corrupt = true;
        break;
      }
      TTavra2GSubMod* sub = subs[static_cast<size_t>(slot - 1)];
      TDtRecord rec(sub->GetChanCount());
      if (bytes.size() - pos - 4 < rec.Size()) {
        corrupt = true;
        break;
      }
      reader.SetPosition(static_cast<int64_t>(pos + 4));
      rec.SRead(reader);
      for (int32_t i = 0; i < rec.ValueCount(); ++i) CheckAlarm(module, sub, slot, rec, rec.GetValues(i));
      if (TData* data = locked[static_cast<size_t>(slot - 1)]) {
        if (!data->HasBuffer()) data->NewBuffer();
        data->InsertRecord(rec);
      } else {
        kept.WriteBuffer(bytes.data() + pos, static_cast<int32_t>(4 + rec.Size()));
      }
      pos += 4 + rec.Size();
    }
  }
  t->Buffer.Clear();
  if (kept.Size() > 0) t->Buffer.WriteBuffer(kept.Memory(), static_cast<int32_t>(kept.Size()));
  MirrorBuffer(*t);
  // The entries before a damaged one are stored or kept; the rest cannot be told apart any more
  // (entries have no length of their own) and are dropped, so recording goes on.
  if (corrupt) ReportRecorderError("TTv10DevHndl.RecInsertSample: Buffer corrupt");
}

void TTv10DevHndl::MirrorBuffer(TRecTask& task) {
  const std::string file = task.Device->Dir() + kRecBufFile;
  try {
    if (task.Buffer.Size() > 0) {
      WriteFileAtomic(file, task.Buffer.Bytes());
      task.BufferFileWritten = true;
    } else if (task.BufferFileWritten) {
      std::filesystem::remove(file);
      task.BufferFileWritten = false;
    }
  } catch (const std::exception& e) {
    ReportRecorderError(e.what());
  }
}

void TTv10DevHndl::RecGetLastTime(int32_t task, TDtStamp& stamp) {
  TRecTask* t = Recorder ? Recorder->GetTask(task) : nullptr;
  auto* module = t ? dynamic_cast<TTv10Modul*>(t->Device) : nullptr;
  if (!module) return;
  for (auto [slot, data] : SlotData(module)) {
    TDataLock lock(*data);
    data->NotifyRecordChanges();
    auto* dt = dynamic_cast<TDtData*>(data);
    if (!dt) continue;
    const TDtStamp newest = dt->GetNewestDt();
    if (Complete(newest) && (!Complete(stamp) || DtStampLater(newest, stamp))) stamp = newest;
  }
}

void TTv10DevHndl::RecDone() {
  RecSyncProt.reset();
  RecOnlProt.reset();
}

void TTv10DevHndl::RecDetachData() {
  TTv10Modul* module = RecModul("TTv10DevHndl.RecInsertStartRec: bad recorder tasks");
  for (auto [slot, data] : SlotData(module)) data->DetachClient(this);
}

}  // namespace qv
