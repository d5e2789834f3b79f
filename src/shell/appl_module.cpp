#include "shell/appl_module.h"

#include <sys/stat.h>

#include <map>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/info_data.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "base/registry.h"
#include "comm/connection.h"
#include "comm/dev_handl_coll.h"
#include "comm/recorder.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/tv10_modul.h"
#include "platform/gui/forms.h"
#include "platform/rtl/format.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text_utils.h"
#include "visual/prot_monitor.h"

namespace qv {

std::string StoredIniVersion;
bool DoUpdate = false;
std::string VersionText;
TQvApplModule* ApplModule = nullptr;

namespace {

std::map<std::string, TApplObjectFactory>& Factories() {
  static std::map<std::string, TApplObjectFactory> factories;
  return factories;
}

bool FileExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The program path without its extension; a dot in a folder name is no extension.
std::string WithoutExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) return path.substr(0, dot);
  return path;
}

// Whether the registry profile below the home folder holds the key (or a key below it).
bool RegistryKeyExists(const std::string& key) { return TRegistry().KeyExists(key); }

}  // namespace

void RegisterApplObjectFactory(const std::string& name, TApplObjectFactory factory) {
  Factories()[name] = std::move(factory);
}
void UnregisterApplObjectFactory(const std::string& name) { Factories().erase(name); }
const TApplObjectFactory* FindApplObjectFactory(const std::string& name) {
  auto it = Factories().find(name);
  return it == Factories().end() ? nullptr : &it->second;
}

std::string GetExeVersionText() {
#if defined(QV_VERSION_MAJOR) && defined(QV_VERSION_MINOR)
  // Major and minor number only, as the program shows and stores its version.
  return Format("%d.%d", QV_VERSION_MAJOR, QV_VERSION_MINOR);
#else
  return "0";  // a build without version information
#endif
}

std::string HelpFileName(const std::string& program_path, int32_t language) {
  const char* suffix = "_E";
  switch (language) {
    case 7: suffix = "_D"; break;
    case 10: suffix = "_ES"; break;
    case 12: suffix = "_F"; break;
    case 14: suffix = "_HU"; break;
    case 16: suffix = "_I"; break;
    case 18: suffix = "_KOR"; break;
    default: break;
  }
  const std::string base = WithoutExtension(program_path);
  const std::string file = base + suffix + ".HLP";
  return FileExists(file) ? file : base + "_E.HLP";
}

// ---------------------------------------------------------------------------------------------
TApplModule::TApplModule(TComponent* owner) : TComponent(owner) {}

void TApplModule::Step(const std::string& step) {
  if (OnStep) OnStep(step);
}

void TApplModule::Start() {
  if (ExePath.empty()) throw Exception("Error in TApplModule.Create: no program folder");
  StoredIniVersion.clear();
  DoUpdate = false;
  VersionText = GetExeVersionText();
  SetIniFileName();
  SetRegistryKey();
  InitModule();
  {
    TIniFile2 ini(IniFileName);
    StoredIniVersion = ini.ReadString("Main", "IniVersion", "");
    DoUpdate = StoredIniVersion.empty() && ini.ReadInteger("Main", "DoUpdate", 0) == 1;
  }
  SetHelpFile();
  CreateInfoData();
  Step("Create InfoData");
  CreateMsgHandler();
  Step("Create MsgHandler");
  if (Application) {
    Application->OnException = [this](TComponent* sender, const std::exception& e) { AppException(sender, e); };
    installed_handler_ = true;
  }
  SetFormatSettings();
  CreateModuleObjects();
  started_ = true;
}

TApplModule::~TApplModule() {
  // A chain that failed never ran the program: [Main] stays, so an update start is not lost.
  if (started_ && StoredIniVersion != VersionText) {
    try {
      TIniFile2 ini(IniFileName);
      ini.WriteValues("Main", {{"IniVersion", VersionText}, {"DoUpdate", "0"}});
      Step("Write Main");
    } catch (const Exception& e) {
      // The settings folder may have become unwritable; the program still ends in order.
      if (MsgHandler)
        MsgHandler->HandleMessage(e.Message(), "TApplModule.Destroy", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                  mkLogOnly);
    }
  }
  delete InfoData;
  InfoData = nullptr;
  Step("Free InfoData");
  if (installed_handler_ && Application) Application->OnException = nullptr;
  if (ApplModule == this) ApplModule = nullptr;
}

void TApplModule::CreateMsgHandler() { MsgHandler = new TMsgHandler(Application); }

void TApplModule::SetIniFileName() { IniFileName = ProgramIniFileName(ExePath, ProgramFile); }

void TApplModule::AppException(TComponent*, const std::exception& e) {
  if (MsgHandler) {
    std::string name = "Exception";
    if (auto* q = dynamic_cast<const Exception*>(&e)) name = q->ClassName();
    MsgHandler->HandleMessage(e.what(), "APPLICATION Exception: " + name, TMsgDlgType::mtError, mbOK, 0, 0, true,
                              mkLogOnly);
  }
  if (Application) Application->ShowException(e);
}

void TApplModule::SetFormatSettings() {
  TFormatSettings settings = FormatSettings;
  settings.LongTimeFormat = "hh:nn:ss";
  ReplaceFormatSettings(settings);
}

// ---------------------------------------------------------------------------------------------
void TQvApplModule::CreateModuleObjects() {
  CreateDevClassRegistry();
  CreatePhoneBook();
  CreateAutobac();
  CreateConnection();
  CreateDevHandlColl();
  CreateIdleTaskManager();
  CreateRecorder();
  CreateDbShell();
  CreateExportManager();
}

bool TQvApplModule::CreateRegistered(const std::string& name, const std::string& global, bool note_missing) {
  const TApplObjectFactory* f = FindApplObjectFactory(name);
  if (!f || !f->Create) {
    if (note_missing) Step("Create " + global + " (not built)");
    return false;
  }
  made_.emplace_back(global, *f);
  f->Create();
  Step("Create " + global);
  return true;
}

void TQvApplModule::FreeRegistered(const std::string& global) {
  for (auto it = made_.begin(); it != made_.end(); ++it) {
    if (it->first != global) continue;
    if (it->second.Free) it->second.Free();
    made_.erase(it);
    Step("Free " + global);
    return;
  }
}

void TQvApplModule::CreateDevClassRegistry() {
  DevClassRegistry = new TDevClassRegistry();
  Step("Create DevClassRegistry");
}
void TQvApplModule::CreateDbShell() {
  DbShell = new TDbShell();
  Step("Create DbShell");
}
void TQvApplModule::CreateConnection() {
  Connection = new TConnection();
  Step("Create Connection");
}
void TQvApplModule::CreateDevHandlColl() {
  DevHandlColl = new TDevHandlColl();
  Step("Create DevHandlColl");
}
void TQvApplModule::CreatePhoneBook() { CreateRegistered("PhoneBook", "PhoneBook"); }
void TQvApplModule::CreateAutobac() { CreateRegistered("Autobac", "Autobac"); }
void TQvApplModule::CreateRecorder() { CreateRegistered("Recorder", "Recorder"); }
void TQvApplModule::CreateExportManager() { CreateRegistered("ExportManager", "ExportManager"); }

void TQvApplModule::CreateIdleTaskManager() {
  IdleTaskManager = new TIdleTaskManager();
  if (Application) Application->OnIdle = [this](TComponent* sender, bool& done) { AppIdle(sender, done); };
  Step("Create IdleTaskManager");
}

void TQvApplModule::CreateMsgHandler() { MsgHandler = new TQvMsgHandler(Application); }

void TQvApplModule::AppIdle(TComponent*, bool& done) { RunIdleTasks(done); }

void TQvApplModule::SetHelpFile() {
  // No help window of an earlier language stays open ("quit" has nothing to close here).
  int32_t language = 9;
  {
    TIniFile2 ini(IniFileName);
    language = ini.ReadInteger("Language", "Locale", 9);
  }
  help_file_ = HelpFileName(ExePath + ProgramFile, language);
}

TQvApplModule::~TQvApplModule() {
  // Each step frees its object even when an earlier one failed, so nothing is left behind.
  auto guarded = [this](const char* what, const std::function<void()>& fn) {
    try {
      fn();
    } catch (const std::exception& e) {
      if (MsgHandler)
        MsgHandler->HandleMessage(e.what(), std::string("Free ") + what, TMsgDlgType::mtError, mbOK, 0, 0, true,
                                  mkLogOnly);
    }
  };
  // A running recording saves through the device tree, the handlers and the connection.
  guarded("Recorder", [this] {
    if (!Recorder || !Recorder->Running()) return;
    StopRecording();
    Step("Stop Recorder");
  });
  guarded("DbShell", [this] {
    if (!DbShell) return;
    delete DbShell;
    DbShell = nullptr;
    Step("Free DbShell");
  });
  guarded("DevHandlColl", [this] {
    FreeRegistered("DevHandlColl");
    if (!DevHandlColl) return;
    delete DevHandlColl;
    DevHandlColl = nullptr;
    Step("Free DevHandlColl");
  });
  guarded("Connection", [this] {
    if (!Connection) return;
    delete Connection;
    Connection = nullptr;
    Step("Free Connection");
  });
  guarded("PhoneBook", [this] { FreeRegistered("PhoneBook"); });
  guarded("Autobac", [this] { FreeRegistered("Autobac"); });
  guarded("ExportManager", [this] { FreeRegistered("ExportManager"); });
  guarded("Recorder", [this] { FreeRegistered("Recorder"); });
  guarded("DevClassRegistry", [this] {
    if (!DevClassRegistry) return;
    delete DevClassRegistry;
    DevClassRegistry = nullptr;
    Step("Free DevClassRegistry");
  });
  guarded("IdleTaskManager", [this] {
    if (!IdleTaskManager) return;
    if (Application) Application->OnIdle = nullptr;
    delete IdleTaskManager;
    IdleTaskManager = nullptr;
    Step("Free IdleTaskManager");
  });
}

// ---------------------------------------------------------------------------------------------
void TTv10AppModul::CreateInfoData() { InfoData = new TInfoData("Quarvel V" + VersionText, "1999"); }

void TTv10AppModul::SetRegistryKey() {
  RegistryKey =
      RegistryKeyExists("\\Software\\Quarvel\\Qv2_tv10") ? "\\Software\\Quarvel\\Qv2_tv10" : "\\Software\\Quarvel\\Qv2";
}

void TTv10AppModul::CreateDevClassRegistry() {
  DevClassRegistry = new TTv10DevClassReg();
  Step("Create DevClassRegistry");
}

void TTv10AppModul::CreateDevHandlColl() {
  // The family's collection, once its layer registers it; the plain one until then.
  if (!CreateRegistered("TTv10DevHndlColl", "DevHandlColl", false)) TQvApplModule::CreateDevHandlColl();
}

}  // namespace qv
