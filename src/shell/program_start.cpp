#include "shell/program_start.h"

#include <sys/stat.h>

#include <iostream>

#include "base/app_globals.h"
#include "base/locale_helpers.h"
#include "base/msg_handler.h"
#include "base/forms/msg_handler_dialogs.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "base/select_dlg.h"
#include "comm/forms/comm_gui_install.h"
#include "comm/process_window_service.h"
#include "comm/qv_com_port.h"
#include "devices/forms/device_editors.h"
#include "shell/base_dev_dialogs.h"
#include "comm/forms/phone_book.h"
#include "comm/recorder.h"
#include "comm/tv10_dev_hndl.h"
#include "devices/app_hooks.h"
#include "platform/os/home_folder.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/format.h"
#include "serial/forms/com_select_form.h"
#include "shell/appl_module.h"
#include "shell/autobac.h"
#include "shell/d20_select_dlg.h"
#include "shell/d21_edit_title.h"
#include "shell/d43_print_select.h"
#include "visual/table_vo.h"
#include "visual/visual_services.h"
#include "shell/d32_insert_dt_range.h"
#include "shell/d72_sel_start_date_time.h"
#include "shell/export_manager.h"
#include "datastore/dt_navigator.h"
#include "shell/qv_main_fm.h"
#include "shell/process_window.h"
#include "shell/std_dialog_form.h"
#include "platform/gui/forms.h"

namespace qv {

namespace {
constexpr uint32_t EnglishUS = 0x0409;
}  // namespace

TProgram::TProgram(std::vector<std::string> args, std::string resource_dir)
    : args_(std::move(args)), resource_dir_(std::move(resource_dir)) {}

void TProgram::SetMainWindow(std::function<TForm*()> create, std::function<void()> end_on_signal) {
  create_main_ = std::move(create);
  end_main_on_signal_ = std::move(end_on_signal);
}

void TProgram::SetArchiveServices(std::function<void()> start, std::function<void()> stop) {
  archive_start_ = std::move(start);
  archive_stop_ = std::move(stop);
}

void TProgram::Report(const std::string& text) {
  reports_.push_back(text);
  std::cerr << "quarvel: " << text << "\n";
  MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
}

void TProgram::Fail(const std::string& text) {
  error_ = text;
  std::cerr << "quarvel: " << text << "\n";
  MessageDlg(text, TMsgDlgType::mtError, mbOK);
}

bool TProgram::Start() {
  InitializeGui();
  Application->SetTitle("Quarvel2");
  std::string home;
  try {
    home = ResolveHomeFolder(args_);
    PrepareHomeFolder(home, resource_dir_);
  } catch (const Exception& e) {
    // No language file can be read without the home folder, so this text stays English.
    Fail("Quarvel2 cannot use its home folder " + home + ": " + e.Message());
    return false;
  }
  ExePath = home;
  IniFileName = ProgramIniFileName(home, "quarvel");
  SetCmdLineParams(args_);
  // The language files are named after the program, whatever the running file is called.
  TResourceLanguageSetup languages = DefaultResourceLanguageSetup();
  languages.ModuleFile = home + "quarvel";
  languages.EmbeddedFolder = resource_dir_;
  SetResourceLanguageSetup(languages);
  InstallComPortMap();
  InstallComSelectForm();
  InstallMsgHandlerDialogs();
  InstallCommGuiHooks();
  InstallProcessWindowFactory();
  InstallCommonDialogTexts();
  InstallDeviceEditors();
  SelectDlgProc = StartD20SelectDlg;
  MultiSelectDlgProc = StartD20MultiSelectDlg;
  EditTitleDlgProc = StartD21EditTitle;
  PrintSelectDlgProc = [](int32_t& selection) {
    Td43_PrintSelect* dialog = PrintSelectDialog();
    const int result = dialog->ShowModal();
    selection = dialog->ItemIndex();
    return result;
  };
  PictureDialogProc = []() -> TOpenPictureDialog* {
    return StdDialogForm ? StdDialogForm->OpenPictureDialog : nullptr;
  };
  SelStartDateTimeProc = RunD72SelStartDateTime;
  DeleteProgramRegistryKey = [](const std::string& key) { EraseRegistryKey(RegistryKey + key); };
  InsertDtRangeDialog = [](TDateTime& start, TDateTime& stop) { return RunD32InsertDtRange(start, stop) == mrOk; };

  // The application-wide objects whose types the layers below the shell build.
  RegisterApplObjectFactory("TTv10DevHndlColl", {[] { DevHandlColl = new TTv10DevHndlColl(); },
                                                 [] {
                                                   delete DevHandlColl;
                                                   DevHandlColl = nullptr;
                                                 }});
  RegisterApplObjectFactory("Recorder", {[] {
                                           new TRecorder();
                                           if (DevHandlColl) DevHandlColl->BindRecorder(Recorder);
                                           RecorderConfirmStop = [] { return !Recorder || Recorder->ConfirmStop(); };
                                         },
                                         [] {
                                           RecorderConfirmStop = nullptr;
                                           delete Recorder;
                                         }});
  RegisterApplObjectFactory("ExportManager", {[] { new TExportManager(); }, [] { delete ExportManager; }});
  RegisterApplObjectFactory("PhoneBook", {[] { PhoneBook = new TPhoneBook(); },
                                          [] {
                                            delete PhoneBook;
                                            PhoneBook = nullptr;
                                          }});
  RegisterAutobac();

  LoadLanguage();
  if (!CheckSettingsFile()) return false;
  if (archive_start_) {
    try {
      archive_start_();
    } catch (const std::exception& e) {
      // The events stay kept in memory; the program can still read and show logger data.
      Report(Format(LoadResString("app_ArchiveStartFailed"), std::string(e.what())));
    }
  }
  // The main window has the module chain made; a failure there has been shown and logged.
  if (create_main_) {
    top_form_ = create_main_();
    main_form_ = QVMainFm;
    if (!main_form_) {
      error_ = Format(LoadResString("app_StartFailed"), std::string("no main window"));
      return false;
    }
  } else {
    main_form_ = CreateQVMainFm(Application);
  }
  if (main_form_->InitFailed()) {
    error_ = Format(LoadResString("app_StartFailed"), main_form_->InitError());
    std::cerr << "quarvel: " << error_ << "\n";
    if (!MsgHandler) MessageDlg(error_, TMsgDlgType::mtError, mbOK);
    return false;
  }
  try {
    // The protocol options dialog hangs on the message handler the module chain made.
    InstallBaseDevDialogs();
    StdDialogForm = new TStdDialogForm(Application);
    Application->SetMainForm(top_form_ ? top_form_ : main_form_);
    SetTerminationSignalHandler([this](int) { EndOnSignal(); });
    signals_ = true;
  } catch (const std::exception& e) {
    Fail(Format(LoadResString("app_StartFailed"), std::string(e.what())));
    return false;
  }
  return true;
}

void TProgram::LoadLanguage() {
  const uint32_t wanted = ChosenLanguageLocale();
  if (SetResourceLocale(wanted, true)) return;
  // English, then the built-in texts, so the user can still read what follows.
  if (!SetResourceLocale(EnglishUS, true)) SetResourceLocale(0, true);
  const std::string file = SpecificLanguageFile(ResourceLanguageSetup().ModuleFile, wanted);
  Report(Format(LoadResString("app_LanguageFileMissing"), file.empty() ? std::to_string(wanted) : file));
}

bool TProgram::CheckSettingsFile() {
  const std::string dir = ExePath;
  const std::string name = IniFileName.substr(dir.size());
  struct stat st {};
  if (::stat(IniFileName.c_str(), &st) != 0) {
    if (FindFileIgnoringCase(dir, name).empty()) return true;  // a first start: no settings yet
  }
  try {
    ReadFileBytes(IniFileName);
  } catch (const Exception& e) {
    // Every part of the program writes its settings into this file; running on would replace
    // settings it could not read with defaults.
    Fail(Format(LoadResString("app_SettingsUnreadable"), e.Message()));
    return false;
  }
  return true;
}

int TProgram::Run() {
  if (!main_form_) return 1;
  // A main form of its own has shown the logger window when the start went well.
  const bool show_main = Application->ShowMainForm;
  if (top_form_)
    Application->ShowMainForm = false;
  else
    main_form_->Show();
  Application->Run();
  Application->ShowMainForm = show_main;
  Shutdown();
  // The windows and modules are gone; nothing a dialog's loop could reach is left half freed.
  // An end by SIGTERM or SIGHUP asks nobody: what could not be saved stays in the log.
  const std::vector<std::string> unsaved = MsgHandler ? MsgHandler->TakeShutdownMessages() : std::vector<std::string>{};
  if (!unsaved.empty() && !ending_) {
    std::string text = LoadResString("app_ShutdownErrors");
    for (const std::string& line : unsaved) text += "\n\n" + line;
    MessageDlg(text, TMsgDlgType::mtError, mbOK);
  }
  return 0;
}

void TProgram::EndOnSignal() {
  // The end of closing the main window, without its question: a running recording is stopped
  // and saved now, the rest is freed in order once the loop has ended.
  if (ending_) return;
  ending_ = true;
  StopRecording();
  if (top_form_ && end_main_on_signal_) end_main_on_signal_();
  if (main_form_) main_form_->Closing = true;
  Application->Terminate();
}

void TProgram::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  // Freeing the windows and the module chain writes what they hold. A dialog's loop would run
  // idle tasks and timers of objects half freed: what goes wrong now is logged and kept.
  if (MsgHandler) MsgHandler->BeginShutdown();
  if (top_form_) {
    delete top_form_;  // frees the logger window too
    top_form_ = nullptr;
  } else {
    delete main_form_;
  }
  main_form_ = nullptr;
  delete StdDialogForm;
  // A chain whose window could not be made.
  delete ApplModule;
  ApplModule = nullptr;
  if (archive_stop_) archive_stop_();
}

TProgram::~TProgram() {
  Shutdown();
  // The message handler goes last and logs the program's end.
  delete MsgHandler;
  MsgHandler = nullptr;
  if (signals_) SetTerminationSignalHandler(nullptr);
}

}  // namespace qv
