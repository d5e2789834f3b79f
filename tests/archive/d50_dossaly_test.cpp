// The archive window as the program starts it: log-on, rights on both windows, the re-log-on
// after inactivity, the swap with the logger window, its settings file and closing.
#include "archive/forms/d50_dossaly.h"

#include "archive/forms/archive_window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "archive/archive_globals.h"
#include "archive/archive_start.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "archive/dy_doc_type_info.h"
#include "archive/dy_user_manager.h"
#include "archive/send_mail.h"
#include "archive/forms/d51_kiro_document.h"
#include "archive/forms/d53_dossaly_options.h"
#include "archive/forms/d54_edit_document_type.h"
#include "archive/forms/d55_edit_user.h"
#include "archive/forms/d57_logon.h"
#include "archive/forms/d60_show_log.h"
#include "archive_test_support.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "platform/gui/actions.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/mdi.h"
#include "platform/gui/menus.h"
#include "platform/gui/outline.h"
#include "platform/gui/std_ctrls.h"
#include "platform/gui/user_input.h"
#include "shell/appl_module.h"
#include "shell/program_start.h"
#include "shell/qv_main_fm.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

struct TLogonStep {
  std::string User, Password;  // an empty user cancels
};

// Runs a scripted user on the log-on dialog once it shows and has the focus where it wants it.
void ActWhenShown(std::function<void()> act, int tries = 200) {
  PostDeferredCall([act, tries] {
    const bool ready =
        D57_Logon && D57_Logon->Visible() && (!D57_Logon->ActiveControl() || D57_Logon->ActiveControl()->Focused());
    if (!ready && tries > 0) return ActWhenShown(act, tries - 1);
    act();
  });
}

// Runs act once ready() holds, looking again from the event loop (the modal loops included).
void ActWhen(std::function<bool()> ready, std::function<void()> act, int tries = 100000) {
  PostDeferredCall([ready, act, tries] {
    if (!ready() && tries > 0) return ActWhen(ready, act, tries - 1);
    act();
  });
}

class TScriptedLogon : public TLogonDialogPort {
public:
  TScriptedLogon(std::deque<TLogonStep>& steps, int& shown) : inner_(CreateD57Logon()), steps_(steps), shown_(shown) {}
  void SetUserName(const std::string& name) override { inner_->SetUserName(name); }
  std::string UserText() const override { return inner_->UserText(); }
  std::string PasswordText() const override { return inner_->PasswordText(); }
  void SetCaption(const std::string& caption) override { inner_->SetCaption(caption); }
  std::string Caption() const override { return inner_->Caption(); }
  void SetUserEditEnabled(bool enabled) override { inner_->SetUserEditEnabled(enabled); }
  void SelectUserEdit() override { inner_->SelectUserEdit(); }
  void SelectPasswordEdit() override { inner_->SelectPasswordEdit(); }
  void Beep() override { inner_->Beep(); }
  int ShowModal() override {
    ++shown_;
    TLogonStep step;
    if (!steps_.empty()) {
      step = steps_.front();
      steps_.pop_front();
    }
    ActWhenShown([step] {
      if (!D57_Logon) return;
      if (step.User.empty()) {
        UserClick(D57_Logon->CancelButton);
        return;
      }
      UserRetype(D57_Logon->UserEdit, step.User);
      UserRetype(D57_Logon->PasswordEdit, step.Password);
      UserClick(D57_Logon->OKButton);
    });
    return inner_->ShowModal();
  }

private:
  std::unique_ptr<TLogonDialogPort> inner_;
  std::deque<TLogonStep>& steps_;
  int& shown_;
};

class ArchiveWindow : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    formats_ = FormatSettings;
    ResetArchiveGlobals();
    const std::string res = std::string(QV_SOURCE_DIR) + "/res/";
    std::filesystem::create_directories(resources.Path());
    std::filesystem::copy_file(res + "quarvel.ENU", resources.File("quarvel.ENU"),
                               std::filesystem::copy_options::overwrite_existing);
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      shown.push_back(msg);
      return answer;
    });
    CreateLogonDialog = [this] { return std::make_unique<TScriptedLogon>(logons, logon_dialogs); };
  }
  void TearDown() override {
    program.reset();
    Application->ClearTerminated();
    CreateLogonDialog = nullptr;
    SetMessageDlgAnswerer(nullptr);
    SetResourceLocale(0, false);
    ResetResourceLanguageSetup();
    delete UserManager;
    UserManager = nullptr;
    ResetArchiveGlobals();
    // The program takes the formats of its language at the start.
    ReplaceFormatSettings(formats_);
  }
  TFormatSettings formats_;

  // Two users: the administrator with every right, and a reader who may only see the trail.
  void WriteUsers() {
    std::filesystem::create_directories(home.File("Dossaly"));
    TDY_UserManager users(home.File("Dossaly/Users.dat"));
    users.AddGroup({1, "Admins", static_cast<uint16_t>((1u << UserRightCount) - 1)});
    users.AddGroup({2, "Readers", static_cast<uint16_t>(1u << urShowAuditLog)});
    TDY_User admin;
    admin.UserID = 1, admin.UserName = "admin", admin.Password = "Secret12", admin.GroupID = 1;
    TDY_User reader;
    reader.UserID = 2, reader.UserName = "reader", reader.Password = "Reader34", reader.GroupID = 2;
    // An editor may comment on documents but not save them.
    users.AddGroup({3, "Editors", static_cast<uint16_t>(1u << urEditDocument)});
    TDY_User editor;
    editor.UserID = 3, editor.UserName = "editor", editor.Password = "Editor56", editor.GroupID = 3;
    users.AddUser(admin);
    users.AddUser(reader);
    users.AddUser(editor);
    users.SaveGroups();
    users.SaveUsers();
  }
  // A document of `pages` pages (one chapter per page) in the archive data folder.
  std::string WriteDocument(const std::string& name, int pages) {
    std::filesystem::create_directories(home.File("Dossaly"));
    ArchiveDataPath = home.File("Dossaly") + "/";
    TD51_KiroDocument w(nullptr);
    w.Content->DocInfo.Title = name;
    w.Content->DocInfo.Name = name;
    w.Content->DocInfo.Width = 21000, w.Content->DocInfo.Height = 29700;
    for (int i = 0; i < pages; ++i) {
      w.AddChapter("Part " + std::to_string(i + 1), 0, i > 0);
      w.AddDocElement(TDY_ElementKind::DocInfo, 0);
    }
    w.FileName = home.File("Dossaly/" + name + ".xml");
    w.SetModified(true);
    w.SaveDocument();
    EXPECT_TRUE(std::filesystem::exists(w.FileName));
    return w.FileName;
  }
  void WriteSettings(const std::string& text) { std::ofstream(home.File("Dossaly.ini")) << text; }

  void Start() {
    program = std::make_unique<TProgram>(std::vector<std::string>{"--home", home.Path()}, resources.Path());
    program->SetArchiveServices(StartArchiveServices, StopArchiveServices);
    program->SetMainWindow([] { return CreateD50Dossaly(); },
                           [] {
                             if (D50_Dossaly) D50_Dossaly->EndWithoutQuestions();
                           });
    ASSERT_TRUE(program->Start()) << program->Error();
  }
  // Runs the loop until the program ends, doing `act` on its first idle pass.
  void RunDoing(std::function<void()> act) {
    bool done_once = false;
    IdleTaskManager->AddTask(this, nullptr, [&](TIdleTaskManager*, TTimer2*, bool& done) {
      done = true;
      if (done_once) return;
      done_once = true;
      act();
    });
    program->Run();
  }
  bool ArchiveEnabled(const std::string& action) {
    const bool enabled = D50_Dossaly->Action(action)->Enabled();
    if (TMenuItem* item = D50_Dossaly->MenuItemOf(action)) {
      EXPECT_EQ(item->Enabled(), enabled) << action;
    }
    if (TSpeedButton* button = D50_Dossaly->ButtonOf(action)) {
      EXPECT_EQ(button->Enabled(), enabled) << action;
    }
    return enabled;
  }
  std::vector<TAuditKind> TrailKinds() {
    std::vector<TAuditKind> kinds;
    for (const std::string& line : ReadAuditFileLines(home.File("Dossaly/AuditLog.dat"))) {
      TDY_AuditEvent event;
      if (ParseAuditLine(ArchiveCrypt().Decrypt(line), event)) kinds.push_back(event.Kind);
    }
    return kinds;
  }

  test::TempDir resources;
  test::TempDir home;
  std::unique_ptr<TProgram> program;
  std::deque<TLogonStep> logons;
  int logon_dialogs = 0;
  std::vector<std::string> shown;
  int answer = mrOk;
};

// The archive window is the hidden main form; the user logs on, the rights of the reader reach
// both windows, and the two windows swap places by their buttons.
TEST_F(ArchiveWindow, StartsWithTheLogonAppliesTheRightsAndSwapsWithTheLoggerWindow) {
  WriteUsers();
  logons = {{"reader", "Reader34"}};
  Start();
  ASSERT_NE(D50_Dossaly, nullptr);
  ASSERT_NE(QVMainFm, nullptr);
  EXPECT_EQ(logon_dialogs, 1);
  EXPECT_EQ(UserManager->CurrentUserName(), "reader");
  EXPECT_EQ(Application->MainForm(), D50_Dossaly);
  EXPECT_FALSE(D50_Dossaly->Visible());
  EXPECT_TRUE(QVMainFm->Visible());
  // The reader may see the trail and nothing else.
  EXPECT_TRUE(ArchiveEnabled("ShowAuditLogAction"));
  for (const char* action : {"NewDocumentAction", "NewDocumentTypeAction", "AdminGroupAction", "OptionsAction",
                             "FileSaveAction", "SignDocumentAction"})
    EXPECT_FALSE(ArchiveEnabled(action)) << action;
  for (const char* item : {"OMenProtocol", "IMenExplorer", "IMenReadMem"})
    EXPECT_FALSE(QVMainFm->Item(item)->Enabled()) << item;

  RunDoing([&] {
    QVMainFm->SetWindowState(TWindowState::wsNormal);
    QVMainFm->SetBounds(40, 30, 700, 500);
    UserClick(QVMainFm->Button("ArchiveButton"));
    EXPECT_TRUE(D50_Dossaly->Visible());
    EXPECT_FALSE(QVMainFm->Visible());
    // In the logger window's place.
    EXPECT_EQ(D50_Dossaly->WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(D50_Dossaly->Width(), 700);
    EXPECT_EQ(D50_Dossaly->Height(), 500);
    UserClick(D50_Dossaly->QuarvelToolButton());
    EXPECT_FALSE(D50_Dossaly->Visible());
    EXPECT_TRUE(QVMainFm->Visible());
    ASSERT_TRUE(UserChooseMenu(QVMainFm->Item("FMenExit")));
  });
  program.reset();
  EXPECT_EQ(D50_Dossaly, nullptr);
  EXPECT_EQ(QVMainFm, nullptr);
  const std::vector<TAuditKind> kinds = TrailKinds();
  const std::vector<TAuditKind> expected = {TAuditKind::DossalyStart, TAuditKind::UserLogon, TAuditKind::UserLogoff,
                                            TAuditKind::DossalyEnd};
  std::vector<TAuditKind> seen;
  for (TAuditKind k : kinds)
    if (std::find(expected.begin(), expected.end(), k) != expected.end()) seen.push_back(k);
  EXPECT_EQ(seen, expected);
}

// After the inactivity time the log-on is asked again; another user logs on and their rights
// replace the former user's. While a window is minimised the question waits for its restore.
TEST_F(ArchiveWindow, ReLogonAfterInactivityAppliesTheNewUsersRights) {
  WriteUsers();
  WriteSettings("[Dossaly]\nUseInactTimer=1\nInactInterval=5\n");
  logons = {{"admin", "Secret12"}, {"reader", "Reader34"}};
  const std::string file = WriteDocument("first", 1);
  Start();
  ASSERT_NE(D50_Dossaly, nullptr);
  ASSERT_TRUE(D50_Dossaly->OpenDocument(file));
  EXPECT_TRUE(ArchiveEnabled("AddCommentAction"));
  EXPECT_TRUE(ArchiveEnabled("SignDocumentAction"));
  EXPECT_TRUE(ArchiveEnabled("NewDocumentAction"));
  EXPECT_TRUE(QVMainFm->Item("OMenProtocol")->Enabled());
  EXPECT_TRUE(D50_Dossaly->InactTimer->Enabled());
  EXPECT_EQ(D50_Dossaly->InactTimer->Interval(), 5u * 60000u);

  RunDoing([&] {
    QVMainFm->SetWindowState(TWindowState::wsMinimized);
    D50_Dossaly->InactTimer->Timer();  // the interval has passed
    EXPECT_EQ(logon_dialogs, 1);       // nothing asked while minimised
    EXPECT_TRUE(RelogonPending);
    QVMainFm->SetWindowState(TWindowState::wsNormal);
    EXPECT_EQ(logon_dialogs, 2);
    EXPECT_FALSE(RelogonPending);
    EXPECT_EQ(UserManager->CurrentUserName(), "reader");
    EXPECT_FALSE(ArchiveEnabled("NewDocumentAction"));
    EXPECT_FALSE(ArchiveEnabled("AdminGroupAction"));
    EXPECT_FALSE(ArchiveEnabled("AddCommentAction"));  // on the open document too
    EXPECT_FALSE(ArchiveEnabled("SignDocumentAction"));
    EXPECT_TRUE(ArchiveEnabled("ShowAuditLogAction"));
    EXPECT_FALSE(QVMainFm->Item("OMenProtocol")->Enabled());
    EXPECT_TRUE(D50_Dossaly->InactTimer->Enabled());  // counting again
    QVMainFm->Close();
  });
}

// A cancelled log-on records the end and ends the program; the settings are still written.
TEST_F(ArchiveWindow, ACancelledLogonEndsTheProgram) {
  WriteUsers();
  logons = {{"", ""}};
  Start();
  EXPECT_EQ(logon_dialogs, 1);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(QVMainFm->Visible());
  EXPECT_EQ(program->Run(), 0);
  program.reset();
  const std::vector<TAuditKind> kinds = TrailKinds();
  ASSERT_GE(kinds.size(), 2u);
  EXPECT_EQ(kinds.back(), TAuditKind::DossalyEnd);
  EXPECT_TRUE(std::find(kinds.begin(), kinds.end(), TAuditKind::UserLogoff) == kinds.end());
  EXPECT_TRUE(std::filesystem::exists(home.File("Dossaly.ini")));
}

// "Dossaly.ini" comes back as it was read: the options, the data folder with its slash, every
// document entry (also one whose section is missing) and the catalogue; a second run rewrites
// the same file.
TEST_F(ArchiveWindow, SettingsAreReadAndWrittenBackWhole) {
  WriteUsers();
  std::filesystem::create_directories(home.File("data"));
  std::filesystem::copy_file(home.File("Dossaly/Users.dat"), home.File("data/Users.dat"));
  WriteSettings("[Dossaly]\nDataPath=" + home.File("data") +
                "\nPwdOnSign=0\nInactInterval=7\nNumDocs=3\nNumDocTypes=1\nMaxDocTypeID=4\n"
                "[Document0]\nName=Week 1\nFileName=week1.xml\nDocTypeID=4\nDocOpen=0\n"
                "[Document2]\nName=Old\nFileName=C:\\old.xml\n"
                "[DocType0]\nDocTypeID=4\nName=Weekly\nFileName=weekly.dyt\n");
  std::ofstream(home.File("data/Email.ini")) << "[AlarmEmail]\nRecipient=ann@example.com\n";
  logons = {{"admin", "Secret12"}};
  Start();
  EXPECT_EQ(ArchiveDataPath, home.File("data") + "/");
  ASSERT_NE(MailSender, nullptr);
  EXPECT_EQ(MailSender->Settings().Recipient, "ann@example.com") << "the e-mail settings of the data folder";
  EXPECT_EQ(UsersFile, home.File("data/Users.dat"));
  ASSERT_EQ(D50_Dossaly->DocList.Count(), 3);
  EXPECT_EQ(D50_Dossaly->DocList.Get(1)->TypeID, -1);
  EXPECT_FALSE(PwdOnSign);
  EXPECT_EQ(InactInterval, 7);
  RunDoing([] { D50_Dossaly->Close(); });
  program.reset();

  TIniFile2 ini(home.File("Dossaly.ini"));
  EXPECT_EQ(ini.ReadString("Dossaly", "DataPath", ""), home.File("data") + "/");
  EXPECT_EQ(ini.ReadString("Dossaly", "PwdOnSign", ""), "0");
  EXPECT_EQ(ini.ReadString("Dossaly", "PwdOnStartup", ""), "1");
  EXPECT_NEAR(ini.ReadTime("Dossaly", "SendAlarmEmailInterval", 0), 15.0 / 1440, 1e-9);
  EXPECT_EQ(ini.ReadString("Dossaly", "InactInterval", ""), "7");
  EXPECT_EQ(ini.ReadString("Dossaly", "NumDocs", ""), "3");
  EXPECT_EQ(ini.ReadString("Dossaly", "NumDocTypes", ""), "1");
  EXPECT_EQ(ini.ReadString("Document0", "Name", ""), "Week 1");
  EXPECT_EQ(ini.ReadString("Document1", "DocTypeID", ""), "-1");
  EXPECT_EQ(ini.ReadString("Document2", "FileName", ""), "C:\\old.xml");
  EXPECT_EQ(ini.ReadString("DocType0", "Name", ""), "Weekly");
}

// A document whose changes the user wants saved but that cannot be saved (a signed document
// changed since) keeps the program open: no log-off, no end event, and the logger window stays.
// Once the user lets the changes go, the program closes with the document marked open.
TEST_F(ArchiveWindow, AnUnsavedDocumentRefusesTheClose) {
  WriteUsers();
  logons = {{"admin", "Secret12"}};
  WriteDocument("report", 1);
  WriteSettings("[Dossaly]\nNumDocs=1\n[Document0]\nName=report\nFileName=report.xml\nDocTypeID=-1\n");
  Start();
  ASSERT_TRUE(D50_Dossaly->OpenDocument(home.File("Dossaly/report.xml")));
  TD51_KiroDocument* doc = D50_Dossaly->ActiveDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(D50_Dossaly->PageNumEdit->Text(), "1/" + std::to_string(doc->PageCount()));
  EXPECT_TRUE(D50_Dossaly->DocList.Get(0)->DocOpen);
  doc->Signed = true;
  doc->SetModified(true);
  answer = mrYes;
  const size_t events_before = TrailKinds().size();
  RunDoing([&] {
    ASSERT_TRUE(UserChooseMenu(QVMainFm->Item("FMenExit")));
    EXPECT_FALSE(Application->Terminated());
    EXPECT_TRUE(QVMainFm->Visible());
    EXPECT_FALSE(QVMainFm->Closing);
    EXPECT_EQ(D50_Dossaly->DocumentWindowCount(), 1);
    EXPECT_EQ(UserManager->CurrentUserName(), "admin");
    EXPECT_EQ(TrailKinds().size(), events_before);
    answer = mrNo;
    ASSERT_TRUE(UserChooseMenu(QVMainFm->Item("FMenExit")));
    EXPECT_TRUE(Application->Terminated());
  });
  program.reset();
  const std::vector<TAuditKind> kinds = TrailKinds();
  ASSERT_GE(kinds.size(), 2u);
  EXPECT_EQ(kinds[kinds.size() - 2], TAuditKind::UserLogoff);
  EXPECT_EQ(kinds.back(), TAuditKind::DossalyEnd);
  TIniFile2 ini(home.File("Dossaly.ini"));
  EXPECT_EQ(ini.ReadString("Document0", "DocOpen", ""), "1");
}

// Document windows are laid out by the window menu; the page number edit shows the active
// document's page, and a page typed into it is turned to when that document has it.
TEST_F(ArchiveWindow, DocumentWindowsTileAndThePageEditFollowsTheActiveOne) {
  WriteUsers();
  logons = {{"admin", "Secret12"}};
  const std::string first = WriteDocument("first", 3);
  const std::string second = WriteDocument("second", 1);
  WriteSettings(
      "[Dossaly]\nNumDocs=2\n[Document0]\nName=first\nFileName=first.xml\n"
      "[Document1]\nName=second\nFileName=second.xml\n");
  Start();
  RunDoing([&] {
    UserClick(QVMainFm->Button("ArchiveButton"));
    ASSERT_TRUE(D50_Dossaly->Visible());
    ASSERT_TRUE(D50_Dossaly->OpenDocument(first));
    TD51_KiroDocument* one = D50_Dossaly->ActiveDocument();
    ASSERT_TRUE(D50_Dossaly->OpenDocument(second));
    TD51_KiroDocument* two = D50_Dossaly->ActiveDocument();
    ASSERT_NE(one, two);
    ASSERT_EQ(one->PageCount(), 3);
    EXPECT_EQ(D50_Dossaly->PageNumEdit->Text(), "1/1");
    // Side by side, each over the whole height.
    ASSERT_TRUE(UserChooseMenu(D50_Dossaly->MenuItemOf("WindowTileVerticalAction")));
    TMdiArea* area = D50_Dossaly->ClientArea;
    ASSERT_EQ(area->ChildCount(), 2);
    EXPECT_EQ(area->ChildBounds(0).Height(), area->Height());
    EXPECT_EQ(area->ChildBounds(0).Width() + area->ChildBounds(1).Width(), area->Width());
    ASSERT_TRUE(UserChooseMenu(D50_Dossaly->MenuItemOf("WindowTileHorizontalAction")));
    EXPECT_EQ(area->ChildBounds(0).Width(), area->Width());
    UserClick(one, {one->Width() / 2, 5});
    ASSERT_EQ(D50_Dossaly->ActiveDocument(), one);
    EXPECT_EQ(D50_Dossaly->PageNumEdit->Text(), "1/3");
    // Typed pages: one that exists is shown, the rest change nothing.
    for (const auto& [typed, page] :
         std::vector<std::pair<std::string, int>>{{"3/3", 3}, {"0", 3}, {"x", 3}, {"4", 3}, {"2", 2}}) {
      UserRetype(D50_Dossaly->PageNumEdit, typed);
      EXPECT_EQ(one->CurrentPageNumber(), page) << typed;
    }
    EXPECT_EQ(two->CurrentPageNumber(), 1);
    // Closing a document while the program runs marks it closed; one open at the end stays
    // marked open.
    one->Close();
    EXPECT_FALSE(D50_Dossaly->DocList.Get(0)->DocOpen);
    EXPECT_TRUE(D50_Dossaly->DocList.Get(1)->DocOpen);
    ASSERT_TRUE(UserChooseMenu(D50_Dossaly->MenuItemOf("FileExitAction")));
  });
  program.reset();
  TIniFile2 ini(home.File("Dossaly.ini"));
  EXPECT_EQ(ini.ReadString("Document0", "DocOpen", ""), "0");
  EXPECT_EQ(ini.ReadString("Document1", "DocOpen", ""), "1");
}

// On the first start the administrator is typed into the user dialog and is the user from then
// on: no log-on dialog follows.
TEST_F(ArchiveWindow, TheFirstStartCreatesTheAdministratorWithoutALogon) {
  bool typed = false;
  ActWhen(
      [] {
        return D55_EditUser && D55_EditUser->Visible() && D55_EditUser->ActiveControl() &&
               D55_EditUser->ActiveControl()->Focused();
      },
      [&] {
        typed = true;
        for (const char* field : {"chef", "Geheim12", "Geheim12", "Ann", "Lee"}) {
          UserType(field);
          UserKey(VK_TAB);
        }
        UserClick(D55_EditUser->OkButton);
      });
  Start();
  EXPECT_TRUE(typed);
  EXPECT_EQ(logon_dialogs, 0);
  EXPECT_EQ(UserManager->CurrentUserName(), "chef");
  EXPECT_TRUE(QVMainFm->Visible());
  EXPECT_TRUE(ArchiveEnabled("AdminGroupAction"));
  EXPECT_TRUE(std::filesystem::exists(home.File("Dossaly/Users.dat")));
  RunDoing([] { D50_Dossaly->Close(); });
}

// The audit-trail button opens the viewer on the trail, modally.
TEST_F(ArchiveWindow, TheAuditTrailButtonOpensTheViewer) {
  WriteUsers();
  logons = {{"reader", "Reader34"}};
  Start();
  std::string viewer;
  RunDoing([&] {
    UserClick(QVMainFm->Button("ArchiveButton"));
    ActWhen(
        [] {
          TModalWindow top;
          return TopModalWindow(top) && dynamic_cast<TD60_ShowLog*>(top.Form);
        },
        [&] {
          TModalWindow top;
          TopModalWindow(top);
          viewer = top.Form->ClassName();
          top.Form->Close();
        });
    UserClick(D50_Dossaly->ButtonOf("ShowAuditLogAction"));
    D50_Dossaly->Close();
  });
  EXPECT_EQ(viewer, "TD60_ShowLog");
}

// The options dialog opened from the tools menu: its OK writes the settings file at once.
TEST_F(ArchiveWindow, TheOptionsOkWritesTheSettingsAtOnce) {
  WriteUsers();
  logons = {{"admin", "Secret12"}};
  Start();
  RunDoing([&] {
    UserClick(QVMainFm->Button("ArchiveButton"));
    bool acted = false;
    bool email_shown = false;
    ActWhen([] { return D53_DossalyOptions && D53_DossalyOptions->Visible(); },
            [&] {
              acted = true;
              TControl* box = D53_DossalyOptions->PasswordOnSignCheckBox;
              UserClick(box, TPoint{7, box->Height() / 2});
              // The e-mail settings open over the options, and are left with Cancel.
              ActWhen(
                  [] {
                    TModalWindow w;
                    return TopModalWindow(w) && w.Form && w.Form->ClassName() == "TD65_EditEmail";
                  },
                  [&] {
                    email_shown = true;
                    UserClickDialogButton("Cancel");
                  });
              UserClick(D53_DossalyOptions->EditEmailButton);
              UserClick(D53_DossalyOptions->OKBtn);
            });
    ASSERT_TRUE(UserChooseMenu(D50_Dossaly->MenuItemOf("OptionsAction")));
    EXPECT_TRUE(acted);
    EXPECT_TRUE(email_shown);
    EXPECT_FALSE(PwdOnSign);
    TIniFile2 ini(home.File("Dossaly.ini"));
    EXPECT_EQ(ini.ReadString("Dossaly", "PwdOnSign", ""), "0");
    D50_Dossaly->Close();
  });
}

// A comment changes the document; the save command still follows the user's right to save.
TEST_F(ArchiveWindow, AChangedDocumentOffersSavingOnlyToAUserWhoMaySave) {
  WriteUsers();
  const std::string file = WriteDocument("first", 1);
  for (const auto& [user, password, may_save] : std::vector<std::tuple<std::string, std::string, bool>>{
           {"editor", "Editor56", false}, {"admin", "Secret12", true}}) {
    SCOPED_TRACE(user);
    logons = {{user, password}};
    Start();
    RunDoing([&] {
      UserClick(QVMainFm->Button("ArchiveButton"));
      ASSERT_TRUE(D50_Dossaly->OpenDocument(file));
      EXPECT_FALSE(ArchiveEnabled("FileSaveAction"));
      ASSERT_TRUE(UserChooseMenu(D50_Dossaly->MenuItemOf("AddCommentAction")));
      EXPECT_TRUE(D50_Dossaly->ActiveDocument()->Modified);
      EXPECT_EQ(ArchiveEnabled("FileSaveAction"), may_save);
      answer = mrNo;
      D50_Dossaly->Close();
    });
    program.reset();
    Application->ClearTerminated();
    answer = mrOk;
  }
}

// A document window keeps its own list entry when entries before it are removed: closing it
// marks that entry closed and no other.
TEST_F(ArchiveWindow, AWindowKeepsItsListEntryWhenEntriesBeforeItGo) {
  WriteUsers();
  logons = {{"admin", "Secret12"}};
  WriteDocument("first", 1);
  const std::string second = WriteDocument("second", 1);
  WriteDocument("third", 1);
  WriteSettings(
      "[Dossaly]\nNumDocs=3\n[Document0]\nName=first\nFileName=first.xml\nDocOpen=1\n"
      "[Document1]\nName=second\nFileName=second.xml\n"
      "[Document2]\nName=third\nFileName=third.xml\nDocOpen=1\n");
  Start();
  ASSERT_TRUE(D50_Dossaly->OpenDocument(second));
  TD51_KiroDocument* doc = D50_Dossaly->ActiveDocument();
  D50_Dossaly->RemoveDocListEntry(0);
  ASSERT_EQ(D50_Dossaly->DocList.Get(0)->Name, "second");
  EXPECT_TRUE(D50_Dossaly->DocList.Get(0)->DocOpen);
  doc->Close();
  EXPECT_FALSE(D50_Dossaly->DocList.Get(0)->DocOpen);
  EXPECT_TRUE(D50_Dossaly->DocList.Get(1)->DocOpen);  // "third" keeps its mark
  RunDoing([] { D50_Dossaly->Close(); });
}

// When the logger side cannot start, the program stops, and the archive's settings, which
// were never read, stay as they were.
TEST_F(ArchiveWindow, AFailedLoggerStartLeavesTheSettingsAlone) {
  WriteUsers();
  const std::string settings = "[Dossaly]\nInactInterval=9\nNumDocs=1\n[Document0]\nName=kept\nFileName=kept.xml\n";
  WriteSettings(settings);
  program = std::make_unique<TProgram>(std::vector<std::string>{"--home", home.Path()}, resources.Path());
  program->SetArchiveServices(
      [] {
        StartArchiveServices();
        // One application object that cannot be made stops the logger side's start.
        RegisterApplObjectFactory("PhoneBook", {[] { throw Exception("no phone book"); }, [] {}});
      },
      StopArchiveServices);
  program->SetMainWindow(CreateArchiveWindow, EndArchiveWithoutQuestions);
  EXPECT_FALSE(program->Start());
  program.reset();
  Application->ClearTerminated();
  std::ifstream in(home.File("Dossaly.ini"));
  const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(after, settings);
}

// SIGTERM ends the archive as well: the user is logged off and the end recorded.
TEST_F(ArchiveWindow, TheTerminationSignalLogsOffAndRecordsTheEnd) {
  WriteUsers();
  logons = {{"admin", "Secret12"}};
  Start();
  RunDoing([] { ::raise(SIGTERM); });
  program.reset();
  const std::vector<TAuditKind> kinds = TrailKinds();
  ASSERT_GE(kinds.size(), 2u);
  EXPECT_EQ(kinds[kinds.size() - 2], TAuditKind::UserLogoff);
  EXPECT_EQ(kinds.back(), TAuditKind::DossalyEnd);
}

// --- The document tree ---------------------------------------------------------------------

// An archive with the types "Test" (1) and "Empty" (2) and three documents: "a" of Test, stored
// with the "\" of older installations; "gone" of Test, whose file is missing; and an "a" opened
// from another folder.
class ArchiveTree : public ArchiveWindow {
protected:
  void SetUp() override {
    ArchiveWindow::SetUp();
    WriteUsers();
    std::filesystem::create_directories(home.File("Dossaly/Test"));
    std::filesystem::create_directories(home.File("elsewhere"));
    std::filesystem::rename(WriteDocument("a", 1), home.File("Dossaly/Test/a.xml"));
    external = home.File("elsewhere/a.xml");
    std::filesystem::rename(WriteDocument("ext", 1), external);
    for (const char* name : {"Test", "Empty"}) {
      TDY_DocTypeInfo type;
      type.Name = name;
      type.FileName = std::string(name) + ".dyt";
      type.Width = 21000, type.Height = 29700;
      type.Save(home.File("Dossaly/" + type.FileName));
    }
    WriteSettings(
        "[Dossaly]\nNumDocTypes=2\nMaxDocTypeID=2\nNumDocs=3\n"
        "[DocType0]\nDocTypeID=1\nName=Test\nFileName=Test.dyt\n"
        "[DocType1]\nDocTypeID=2\nName=Empty\nFileName=Empty.dyt\n"
        "[Document0]\nName=a\nFileName=Test\\a.xml\nDocTypeID=1\n"
        "[Document1]\nName=gone\nFileName=Test/gone.xml\nDocTypeID=1\n"
        "[Document2]\nName=a\nFileName=" +
        external + "\nDocTypeID=-1\n");
  }
  void TearDown() override {
    RunD54EditDocumentType = nullptr;
    RunD67EnterFileName = nullptr;
    ArchiveWindow::TearDown();
  }
  void StartAs(const std::string& user, const std::string& password) {
    logons = {{user, password}};
    Start();
    ASSERT_NE(D50_Dossaly, nullptr);
    D50_Dossaly->Show();
  }

  TOutline* Tree() { return D50_Dossaly->DossalyTreeView; }
  // The tree as indented lines.
  std::vector<std::string> TreeLines() {
    std::vector<std::string> lines;
    for (int n = 1; n <= Tree()->ItemCount(); ++n)
      lines.push_back(std::string(2 * (Tree()->NodeLevel(n) - 1), ' ') + Tree()->NodeText(n));
    return lines;
  }
  TPoint PointOf(const void* entry) {
    const int node = D50_Dossaly->NodeOf(entry);
    EXPECT_NE(node, 0);
    const TRect r = Tree()->ItemRect(Tree()->NodeRow(node));
    return {r.Left + 40, (r.Top + r.Bottom) / 2};
  }
  TDY_DocInfo* Doc(int index) { return D50_Dossaly->DocList.Get(index); }
  TDY_DocTypeInfo* Type(int index) { return D50_Dossaly->DocTypes->Get(index); }
  // A right click on the entry's node and a click on the pop-up entry with that caption key;
  bool ChooseFromPopup(const void* entry, const std::string& key) {
    bool chosen = false;
    const auto saved = Application->OnIdle;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      if (chosen) return;
      chosen = UserChoosePopupItem(LoadResString(key));
      done = !chosen;
    };
    UserRightClick(Tree(), PointOf(entry));
    Application->ProcessMessages();
    Application->OnIdle = saved;
    return chosen;
  }
  std::vector<TDY_AuditEvent> TrailEvents() {
    std::vector<TDY_AuditEvent> events;
    for (const std::string& line : ReadAuditFileLines(home.File("Dossaly/AuditLog.dat"))) {
      TDY_AuditEvent event;
      if (ParseAuditLine(ArchiveCrypt().Decrypt(line), event)) events.push_back(event);
    }
    return events;
  }
  int CountOf(TAuditKind kind) {
    int n = 0;
    for (const TDY_AuditEvent& e : TrailEvents()) n += e.Kind == kind;
    return n;
  }
  void End() {
    RunDoing([] { D50_Dossaly->Close(); });
  }

  std::string external;
};

// Types in catalogue order with their documents, the rest under the external node; a missing
// file says so. Every document node stands for its own entry, also where two share a name.
TEST_F(ArchiveTree, ListsTypesWithTheirDocumentsAndTheRestUnderTheExternalNode) {
  StartAs("admin", "Secret12");
  const std::string missing = LoadResString("DY_FileDoesNotExist");
  EXPECT_EQ(TreeLines(), (std::vector<std::string>{"Dossaly", "  Test", "    a", "    gone (" + missing + ")",
                                                   "  Empty", "  " + LoadResString("DY_ExternalDoc"), "    a"}));
  EXPECT_NE(D50_Dossaly->NodeOf(Doc(0)), D50_Dossaly->NodeOf(Doc(2)));
  // Double clicks open the document of the node clicked: the one stored with "\" first, then
  // the other "a", and the first again only brings its window forward.
  UserDoubleClick(Tree(), PointOf(Doc(0)));
  ASSERT_EQ(D50_Dossaly->DocumentWindowCount(), 1);
  EXPECT_EQ(D50_Dossaly->ActiveDocument()->FileName, home.File("Dossaly/Test/a.xml"));
  TD51_KiroDocument* first = D50_Dossaly->ActiveDocument();
  UserDoubleClick(Tree(), PointOf(Doc(2)));
  ASSERT_EQ(D50_Dossaly->DocumentWindowCount(), 2);
  EXPECT_EQ(D50_Dossaly->ActiveDocument()->FileName, external);
  first->SetWindowState(TWindowState::wsMinimized);
  UserDoubleClick(Tree(), PointOf(Doc(0)));
  EXPECT_EQ(D50_Dossaly->DocumentWindowCount(), 2);
  EXPECT_EQ(D50_Dossaly->ActiveDocument(), first);
  EXPECT_NE(first->WindowState(), TWindowState::wsMinimized);
  EXPECT_TRUE(Doc(0)->DocOpen && Doc(2)->DocOpen);
  End();
}

// A document whose file vanished is recorded as deleted, reported with its path and dropped.
TEST_F(ArchiveTree, AMissingFileIsRecordedAndLeavesTheList) {
  StartAs("admin", "Secret12");
  shown.clear();
  UserDoubleClick(Tree(), PointOf(Doc(1)));
  EXPECT_EQ(D50_Dossaly->DocumentWindowCount(), 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], LoadResString("DY_FileDoesNotExist") + " [" + home.File("Dossaly/Test/gone.xml") + "]");
  ASSERT_EQ(D50_Dossaly->DocList.Count(), 2);
  EXPECT_EQ(Doc(1)->FileName, external);
  EXPECT_EQ(TreeLines().size(), 6u);
  const TDY_AuditEvent last = TrailEvents().back();
  EXPECT_EQ(last.Kind, TAuditKind::DocumentDeleted);
  EXPECT_EQ(last.Subject, "Test/gone.xml");
  EXPECT_EQ(last.Comment, LoadResString("DY_FileDoesNotExist"));
  End();
}

// Deleting through the pop-up menu: the file, the entry and the settings go, the deletion is
// recorded; a type's documents move to the external node and its folder stays. A reader may
// open documents but not delete them, nor edit a type with a double click.
TEST_F(ArchiveTree, TreeCommandsFollowTheRights) {
  int edits = 0;
  RunD54EditDocumentType = [&](const std::string&) -> std::unique_ptr<TDY_DocTypeInfo> {
    ++edits;
    return nullptr;
  };
  StartAs("reader", "Reader34");
  EXPECT_FALSE(ArchiveEnabled("DeleteDocumentAction"));
  EXPECT_TRUE(ChooseFromPopup(Doc(0), "m_ShowDocument"));
  EXPECT_EQ(D50_Dossaly->DocumentWindowCount(), 1);
  EXPECT_FALSE(D50_Dossaly->MenuItemOf("DeleteDocumentAction")->Enabled());
  UserDoubleClick(Tree(), PointOf(Type(0)));
  EXPECT_EQ(edits, 0);
  EXPECT_FALSE(D50_Dossaly->MenuItemOf("EditKnownDocumentTypeAction")->Enabled());
  End();
  program.reset();

  StartAs("admin", "Secret12");
  answer = mrYes;
  ASSERT_TRUE(ChooseFromPopup(Doc(0), "m_DeleteDocument"));
  EXPECT_FALSE(std::filesystem::exists(home.File("Dossaly/Test/a.xml")));
  ASSERT_EQ(D50_Dossaly->DocList.Count(), 2);
  EXPECT_EQ(Doc(0)->Name, "gone");
  EXPECT_EQ(TrailEvents().back().Kind, TAuditKind::DocumentDeleted);
  EXPECT_EQ(TrailEvents().back().Subject, "Test\\a.xml");
  EXPECT_EQ(TIniFile(home.File("Dossaly.ini")).ReadInteger("Dossaly", "NumDocs", -1), 2);
  UserDoubleClick(Tree(), PointOf(Type(0)));
  EXPECT_EQ(edits, 1);

  ASSERT_TRUE(ChooseFromPopup(Type(0), "m_deleteDocType"));
  EXPECT_FALSE(std::filesystem::exists(home.File("Dossaly/Test.dyt")));
  EXPECT_TRUE(std::filesystem::is_directory(home.File("Dossaly/Test")));
  EXPECT_EQ(TrailEvents().back().Kind, TAuditKind::DocTypeDeleted);
  EXPECT_EQ(TrailEvents().back().Subject, "Test.dyt");
  EXPECT_EQ(TIniFile(home.File("Dossaly.ini")).ReadInteger("Dossaly", "NumDocTypes", -1), 1);
  const std::string missing = LoadResString("DY_FileDoesNotExist");
  EXPECT_EQ(TreeLines(), (std::vector<std::string>{"Dossaly", "  Empty", "  " + LoadResString("DY_ExternalDoc"),
                                                   "    gone (" + missing + ")", "    a"}));
  End();
}

// A file that cannot be deleted is reported with its path; the entry stays and nothing is
// recorded. A file that is gone already counts as deleted.
TEST_F(ArchiveTree, AFailingDeleteRecordsNothingAndKeepsTheEntry) {
  // A folder in the document's place: no user, root included, can unlink it.
  std::filesystem::remove(external);
  std::filesystem::create_directories(external + "/inside");
  StartAs("admin", "Secret12");
  const int deleted_before = CountOf(TAuditKind::DocumentDeleted);
  answer = mrYes;
  shown.clear();
  ASSERT_TRUE(ChooseFromPopup(Doc(2), "m_DeleteDocument"));
  ASSERT_EQ(shown.size(), 2u);  // the confirmation, then the error
  EXPECT_NE(shown[1].find(" [" + external + "]"), std::string::npos) << shown[1];
  EXPECT_EQ(D50_Dossaly->DocList.Count(), 3);
  EXPECT_EQ(CountOf(TAuditKind::DocumentDeleted), deleted_before);
  EXPECT_TRUE(std::filesystem::exists(external + "/inside"));

  shown.clear();
  ASSERT_TRUE(ChooseFromPopup(Doc(1), "m_DeleteDocument"));
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(D50_Dossaly->DocList.Count(), 2);
  EXPECT_EQ(CountOf(TAuditKind::DocumentDeleted), deleted_before + 1);
  End();
}

// New documents of a type are named in the type's folder: the dated name, or the name typed in
// the dialog, then "-k" for the smallest free k.
TEST_F(ArchiveTree, NewDocumentsOfATypeGetFreeNamesInTheTypesFolder) {
  ArchiveDataPath = home.File("Dossaly") + "/";
  const std::string dated = "Test-" + DateStamp(DefaultWallClock().Now());
  for (const std::string& f :
       {"Test/" + dated + ".xml", std::string("Test/r.xml"), std::string("Test/r-1.xml"), std::string("Test/r-3.xml")})
    std::ofstream(home.File("Dossaly/") + f) << "x";
  const std::vector<std::tuple<std::string, std::string>> cases = {
      {"Test-19991231", "Test/Test-19991231.xml"},
      {dated, "Test/" + dated + "-1.xml"},
      {"r", "Test/r-2.xml"},
      {"r-1", "Test/r-1-1.xml"},
  };
  for (const auto& [base, name] : cases) EXPECT_EQ(FreeDocumentName("Test", base), name) << base;
}

// The new-type command opens the type editor; the type named there is saved in its file and
// joins the catalogue.
TEST_F(ArchiveTree, ANewTypeIsMadeInTheTypeEditor) {
  StartAs("admin", "Secret12");
  RunDoing([&] {
    bool edited = false;
    ActWhen([] { return D54_EditDocumentType && D54_EditDocumentType->Visible(); },
            [&] {
              edited = true;
              UserClick(D54_EditDocumentType->DocTypeNameEdit);
              UserType("Weekly");
              UserClick(D54_EditDocumentType->OkButton);
            });
    ASSERT_TRUE(UserChooseMenu(D50_Dossaly->MenuItemOf("NewDocumentTypeAction")));
    EXPECT_TRUE(edited);
    ASSERT_EQ(D50_Dossaly->DocTypes->Count(), 3);
    EXPECT_EQ(D50_Dossaly->DocTypes->Get(2)->Name, "Weekly");
    EXPECT_TRUE(std::filesystem::exists(home.File("Dossaly/") + D50_Dossaly->DocTypes->Get(2)->FileName));
    D50_Dossaly->Close();
  });
}

// A file chosen in the open dialog joins the list with its full path under the external node,
// named with its extension; choosing it again opens no second window.
TEST_F(ArchiveTree, AFileFromTheOpenDialogIsKeptWithItsFullPath) {
  StartAs("admin", "Secret12");
  const std::string other = home.File("elsewhere/b.xml");
  std::filesystem::copy_file(external, other);
  D50_Dossaly->FileOpenActionAccept({other, other});
  ASSERT_EQ(D50_Dossaly->DocList.Count(), 4);
  EXPECT_EQ(Doc(3)->Name, "b.xml");
  EXPECT_EQ(Doc(3)->FileName, other);
  EXPECT_EQ(Doc(3)->TypeID, -1);
  EXPECT_EQ(TreeLines().back(), "    b.xml");
  EXPECT_EQ(D50_Dossaly->DocumentWindowCount(), 1);
  End();
}

}  // namespace
}  // namespace qv
