#pragma once
// The application modules: the chain that creates every application-wide object of the logger
// software in a fixed order at start-up and frees them at the end, and the application globals
// that go with it (version, update start, registry key, help file).
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/registry.h"
#include "platform/rtl/component.h"

namespace qv {

// The version that [Main] IniVersion was read as at start; empty when missing.
extern std::string StoredIniVersion;
// True on the first start after an update: no stored IniVersion and [Main] DoUpdate=1.
extern bool DoUpdate;
// The program's version, "major.minor".
extern std::string VersionText;

// How an application-wide object whose type a later layer builds is made and freed: that layer
// registers both under the object's global name ("PhoneBook", "Autobac", "Recorder",
// "ExportManager") or under the family's class name ("TTv10DevHndlColl"). Create assigns the
// global, Free frees the object and clears it.
struct TApplObjectFactory {
  std::function<void()> Create;
  std::function<void()> Free;
};
void RegisterApplObjectFactory(const std::string& name, TApplObjectFactory factory);
void UnregisterApplObjectFactory(const std::string& name);
const TApplObjectFactory* FindApplObjectFactory(const std::string& name);

// "major.minor" of the running program; "0" when it carries no version.
std::string GetExeVersionText();
// The help file for a language number: the program path without extension + "_D", "_ES", "_F",
// "_HU", "_I" or "_KOR" (languages 7, 10, 12, 14, 16, 18) + ".HLP", else and when that file is
// missing the "_E.HLP" name.
std::string HelpFileName(const std::string& program_path, int32_t language);

class TApplModule : public TComponent {
public:
  explicit TApplModule(TComponent* owner);
  // Writes [Main] when the stored version differs from the running one, frees InfoData and
  // removes the exception handler. The message handler stays: it goes last, by its owner.
  ~TApplModule() override;
  std::string ClassName() const override { return "TApplModule"; }

  // Runs the start-up chain; a module is made with CreateApplModule, which calls it once.
  void Start();

  virtual void InitModule() {}
  virtual void CreateMsgHandler();
  virtual void CreateInfoData() = 0;
  virtual void SetIniFileName();
  virtual void SetRegistryKey() = 0;
  // The application's exception hook: logs the exception, then shows it.
  virtual void AppException(TComponent* sender, const std::exception& e);
  virtual void SetFormatSettings();
  virtual void SetHelpFile() = 0;
  // Called by the main form after it created the module.
  virtual void FormLoaded() {}

  // Each step of the chain as it runs ("Create Connection", "Free DbShell", ...), for tests.
  std::function<void(const std::string& step)> OnStep;
  const std::string& HelpFile() const { return help_file_; }
  // The running program's file; the INI and help file names are made from its name.
  std::string ProgramFile = "quarvel";

protected:
  // The objects of the descendant, created after the base chain.
  virtual void CreateModuleObjects() {}
  void Step(const std::string& step);
  std::string help_file_;

private:
  bool installed_handler_ = false;
  bool started_ = false;
};

class TQvApplModule : public TApplModule {
public:
  explicit TQvApplModule(TComponent* owner) : TApplModule(owner) {}
  // Frees the objects in the order DbShell, DevHandlColl, Connection, PhoneBook, Autobac,
  // ExportManager, Recorder, DevClassRegistry, IdleTaskManager.
  ~TQvApplModule() override;
  std::string ClassName() const override { return "TQvApplModule"; }

  virtual void CreateDevClassRegistry();
  virtual void CreateDbShell();
  virtual void CreateConnection();
  virtual void CreateDevHandlColl();
  virtual void CreatePhoneBook();
  virtual void CreateAutobac();
  virtual void CreateRecorder();
  virtual void CreateExportManager();
  void CreateIdleTaskManager();
  void SetHelpFile() override;
  // The program's handler shows the protocol live on its monitor page.
  void CreateMsgHandler() override;
  // The application's idle handler: one pass of the idle tasks.
  void AppIdle(TComponent* sender, bool& done);

protected:
  void CreateModuleObjects() override;
  // Runs the registered factory of name; false without one (noted as a step not built).
  bool CreateRegistered(const std::string& name, const std::string& global, bool note_missing = true);
  void FreeRegistered(const std::string& global);

private:
  // Which factory made each registered object, so that it is freed by the same one.
  std::vector<std::pair<std::string, TApplObjectFactory>> made_;
};

// The module of the logger family.
class TTv10AppModul : public TQvApplModule {
public:
  explicit TTv10AppModul(TComponent* owner) : TQvApplModule(owner) {}
  std::string ClassName() const override { return "TTv10AppModul"; }
  void CreateInfoData() override;
  void SetRegistryKey() override;
  void CreateDevClassRegistry() override;
  void CreateDevHandlColl() override;
};

// The program's module; null before it exists.
extern TQvApplModule* ApplModule;

// Creates a module, sets ApplModule and runs its start-up chain; a failing chain frees what it
// created (the module included) and the error passes on.
template <class M>
M* CreateApplModule(TComponent* owner, const std::function<void(M&)>& prepare = nullptr) {
  auto* m = new M(owner);
  ApplModule = m;
  try {
    if (prepare) prepare(*m);
    m->Start();
  } catch (...) {
    delete m;
    throw;
  }
  return m;
}

}  // namespace qv
