#include "comm/tv10_dev_hndl.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/ini_file.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/connection.h"
#include "comm/tv10_mem_prot.h"
#include "comm/tv10_prot.h"
#include "devices/db_shell.h"
#include "devices/tv10_modul.h"
#include "devices/visual_hooks.h"
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
  if (AuditManager) AuditManager->AddEvent(TDY_AuditEventKind::DeviceCreated, std::to_string(module->Kennung()));
  module->ApplyDefTempUnit(DefTempIsF);
}

bool TTv10DevHndl::Connected(bool /*interactive*/) {
  if (Connection->InProcess()) return true;
  ApplyPortSettings();
  return Connection->Connect();
}

bool TTv10DevHndl::WithConnection(const char* nil_error, bool disconnect, const std::function<bool()>& body) {
  if (!Connection || !Connection->Port()) throw Exception(nil_error);
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
    if (DevKind == 7) return true;
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
    if (ok && AuditManager) {
      if (FCurModul)
        AuditManager->AddEvent(TDY_AuditEventKind::DeviceClockSync, std::to_string(FCurModul->Kennung()));
      else
        AuditManager->AddEvent(TDY_AuditEventKind::DeviceClockSync);
    }
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
    if (ok && AuditManager) {
      if (FCurModul)
        AuditManager->AddEvent(TDY_AuditEventKind::DeviceMemCleared, std::to_string(FCurModul->Kennung()));
      else
        AuditManager->AddEvent(TDY_AuditEventKind::DeviceMemCleared);
    }
    RegisterNewModul();
    return ok;
  });
}

TTv10DevHndlColl::TTv10DevHndlColl() {
  RegisterHndlType<TTv10DevHndl>();
  SelectStored();
}

}  // namespace qv
