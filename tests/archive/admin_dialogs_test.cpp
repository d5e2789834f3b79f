#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive_options.h"
#include "archive/archive_start.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "archive/dy_user_manager.h"
#include "archive/forms/d52_dossaly_about_box.h"
#include "archive/forms/d53_dossaly_options.h"
#include "archive/forms/d55_edit_user.h"
#include "archive/forms/d56_edit_group.h"
#include "archive/forms/d59_admin_user.h"
#include "archive/forms/d68_print_user_data.h"
#include "archive_test_support.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_check_list.h"
#include "controls/sty_spin_edit.h"
#include "crypto/openssl_tool.h"
#include "modal_driver.h"
#include "platform/gui/folder_dialog.h"
#include "platform/gui/printers.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/file_io.h"
#include "support/file_size_limit.h"

namespace qv {
namespace {

using test::TModalDriver;

std::vector<TDY_AuditEvent> TrailEvents(const std::string& file_name) {
  std::vector<TDY_AuditEvent> events;
  for (const std::string& line : ReadAuditFileLines(file_name)) {
    TDY_AuditEvent event;
    EXPECT_TRUE(ParseAuditLine(ArchiveCrypt().Decrypt(line), event)) << line;
    events.push_back(event);
  }
  return events;
}

// A check box takes clicks on its box and its caption only.
void Tick(TControl* box) { UserClick(box, TPoint{7, box->Height() / 2}); }

void Retype(TControl* edit, const std::string& text) {
  UserClick(edit);
  UserRetype(edit, text);
}

class AdminDialogs : public ::testing::Test {
protected:
  AdminDialogs() {
    InitializeGui();
    UsersFile = folder.File("Users.dat");
    AuditTrail = &trail;
    InstallAuditService(&trail);
    CreateEditUserDialog = CreateD55EditUser;
    CreateAdminUserDialog = CreateD59AdminUser;
    CreateAdminGroupDialog = CreateD58AdminGroup;
    CreateEditGroupDialog = CreateD56EditGroup;
    PrintUserSheet = [this](const std::vector<TUserSheetPage>& pages) { printed = pages; };
  }
  ~AdminDialogs() override {
    InstallAuditService(nullptr);
    AuditTrail = nullptr;
    CreateEditUserDialog = nullptr;
    CreateAdminUserDialog = nullptr;
    CreateAdminGroupDialog = nullptr;
    CreateEditGroupDialog = nullptr;
    PrintUserSheet = nullptr;
    SetCommonDialogUser(nullptr);
  }

  // The three default groups; chef administers, ann is a user, rea a reader. Keys are present,
  // so no key is generated unless a test removes one.
  void MakeUsers(const std::string& current) {
    manager.AddDefaultGroups();
    int32_t id = 1;
    for (auto [name, group] : {std::pair{"chef", 1}, {"ann", 2}, {"rea", 3}}) {
      TDY_User u;
      u.UserID = id++;
      u.UserName = name;
      u.Password = "Secret12";
      u.FirstName = name == std::string("ann") ? "Ann" : "First";
      u.SurName = "Lee";
      u.GroupID = group;
      u.RSAPrivateKey = "30";
      u.RSAPublicKey = "30";
      manager.AddUser(u);
    }
    manager.SaveGroups();
    manager.SaveUsers();
    manager.SetCurrentUser(current);
  }
  std::vector<TDY_AuditEvent> Events() { return TrailEvents(trail.FileName()); }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TDY_AuditManager trail;
  TDY_UserManager manager;
  std::vector<TUserSheetPage> printed;
};

TEST_F(AdminDialogs, AnAdministratorEditsAUserChosenInTheList) {
  MakeUsers("chef");
  TModalDriver driver({[](TForm&) {
                         ASSERT_NE(D59_AdminUser, nullptr);
                         EXPECT_EQ(D59_AdminUser->UserListBox->Count(), 3);
                         UserClickListItem(D59_AdminUser->UserListBox, 0);
                         EXPECT_FALSE(D59_AdminUser->DeleteUserButton->Enabled());  // the first user stays
                         UserClickListItem(D59_AdminUser->UserListBox, 1);
                         EXPECT_TRUE(D59_AdminUser->DeleteUserButton->Enabled());
                         UserClick(D59_AdminUser->EditUserButton);
                       },
                       [](TForm&) {
                         ASSERT_NE(D55_EditUser, nullptr);
                         EXPECT_EQ(D55_EditUser->UserIDNameEdit->Text(), "ann");
                         EXPECT_EQ(D55_EditUser->GroupComboBox->ItemIndex(), 1);
                         EXPECT_FALSE(D55_EditUser->OkButton->Enabled());
                         Retype(D55_EditUser->FirstNameEdit, "Anna");
                         UserClick(D55_EditUser->OkButton);
                       }});
  manager.AdminUsers();
  EXPECT_EQ(driver.Done(), driver.Count());
  const auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TAuditKind::UserChanged);
  EXPECT_EQ(events[0].Subject, "ann");
  EXPECT_EQ(events[0].Comment, LoadResString("umg_FirstNameChanged") + " " + LoadResString("umg_From") + ": Ann " +
                                   LoadResString("umg_To") + ": Anna");
  TDY_UserManager reread;
  EXPECT_EQ(reread.User(1).FirstName, "Anna");
}

TEST_F(AdminDialogs, TypingAFieldBackToItsOldValueStoresNothing) {
  MakeUsers("chef");
  TModalDriver driver({[](TForm&) {
    Retype(D55_EditUser->SurNameEdit, "Lea");
    Retype(D55_EditUser->SurNameEdit, "Lee");
    UserClick(D55_EditUser->OkButton);
  }});
  EXPECT_FALSE(manager.EditUser(2));
  EXPECT_EQ(driver.Done(), 1u);
  EXPECT_TRUE(Events().empty());
}

TEST_F(AdminDialogs, AUserWithoutTheAdministrationRightChangesOnlyHisPassword) {
  MakeUsers("ann");
  TModalDriver driver({[](TForm& f) {
    ASSERT_EQ(&f, D55_EditUser);  // no user list
    EXPECT_EQ(D55_EditUser->UserIDNameEdit->Text(), "ann");
    for (TControl* c : std::initializer_list<TControl*>{D55_EditUser->UserIDNameEdit, D55_EditUser->FirstNameEdit,
                                                        D55_EditUser->SurNameEdit, D55_EditUser->CompanyEdit,
                                                        D55_EditUser->EmailEdit, D55_EditUser->GroupComboBox})
      EXPECT_FALSE(c->Enabled());
    Retype(D55_EditUser->PasswordEdit1, "Neues123");
    Retype(D55_EditUser->PasswordEdit2, "Neues123");
    UserClick(D55_EditUser->OkButton);
  }});
  manager.AdminUsers();
  EXPECT_EQ(driver.Done(), 1u);
  EXPECT_TRUE(manager.CheckPassword("ann", "Neues123"));
  const auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Comment, LoadResString("umg_PasswdChanged"));

  // The groups are not his to change.
  manager.AdminGroups();
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{LoadResString("umg_ActionNotAllowed")});
  EXPECT_EQ(Events().size(), 1u);
}

TEST_F(AdminDialogs, NewAndDeleteRunFromTheUserList) {
  MakeUsers("chef");
  TModalDriver driver({[](TForm&) { UserClick(D59_AdminUser->NewUserButton); },
                       [](TForm&) {
                         EXPECT_EQ(D55_EditUser->GroupComboBox->ItemIndex(), 1);  // the second group
                         for (auto [edit, text] : {std::pair{D55_EditUser->UserIDNameEdit, "Ann"},
                                                   {D55_EditUser->PasswordEdit1, "Geheim12"},
                                                   {D55_EditUser->PasswordEdit2, "Geheim12"},
                                                   {D55_EditUser->FirstNameEdit, "Ann"},
                                                   {D55_EditUser->SurNameEdit, "Berg"}})
                           Retype(edit, text);
                         UserClick(D55_EditUser->OkButton);
                       },
                       // Without a selection, delete asks for one.
                       [](TForm&) { UserClick(D59_AdminUser->DeleteUserButton); },
                       [](TForm& f) {
                         EXPECT_EQ(f.Text(), LoadResString("umg_PlsSelectUser"));
                         UserClickListItem(D59_AdminUser->UserListBox, 3);
                         UserClick(D59_AdminUser->DeleteUserButton);
                       }});
  manager.AdminUsers();  // "Ann" differs from "ann" only in capitals: accepted
  ASSERT_EQ(manager.UserCount(), 4);
  EXPECT_EQ(manager.User(3).UserName, "Ann");
  EXPECT_EQ(manager.User(3).UserID, 4);
  EXPECT_FALSE(manager.User(3).RSAPublicKey.empty());
  manager.AdminUsers();  // the confirmation answers OK
  EXPECT_EQ(driver.Done(), driver.Count());
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{LoadResString("umg_ConfirmDelUser")});
  EXPECT_EQ(manager.UserCount(), 3);
  const auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].Kind, TAuditKind::UserAdded);
  EXPECT_EQ(events[0].Comment, LoadResString("umg_Group") + ": " + LoadResString("ug_User"));
  EXPECT_EQ(events[1].Kind, TAuditKind::UserDeleted);
  EXPECT_EQ(events[1].Subject, "Ann");
  EXPECT_EQ(TDY_UserManager().UserCount(), 3);
}

TEST_F(AdminDialogs, TheLastAdministratorCannotLeaveTheAdministrators) {
  MakeUsers("ann");  // ann may not administer, but chef is the only administrator
  manager.SetCurrentUser("chef");
  TModalDriver driver({[](TForm&) {
                         UserClick(D55_EditUser->GroupComboBox);
                         UserKey(VK_DOWN);
                         UserKey(VK_RETURN);
                         EXPECT_EQ(D55_EditUser->GroupComboBox->ItemIndex(), 1);
                         UserClick(D55_EditUser->OkButton);
                       },
                       [](TForm& f) {
                         EXPECT_EQ(f.Text(), LoadResString("umg_AdminNeeded"));  // still open
                         UserClick(D55_EditUser->CancelButton);
                       }});
  EXPECT_FALSE(manager.EditUser(1));
  EXPECT_EQ(driver.Done(), 2u);
  EXPECT_EQ(manager.User(0).GroupID, 1);
  EXPECT_TRUE(Events().empty());
}

TEST_F(AdminDialogs, GroupRightsAreTickedAndTheFirstGroupKeepsAdministration) {
  MakeUsers("chef");
  auto click_item = [](int index) {
    TStyCheckList* list = D56_EditGroup->GroupPermissionsCheckListBox;
    const TRect r = list->ItemRect(index);
    UserClick(list, TPoint{r.Left + 8, (r.Top + r.Bottom) / 2});
  };
  TModalDriver driver({[](TForm&) { UserClick(D58_AdminGroup->EditGroupButton); },
                       [](TForm& f) {
                         EXPECT_EQ(f.Text(), LoadResString("umg_PlsSelectGroup"));
                         UserClickListItem(D58_AdminGroup->GroupListBox, 2);
                         UserClick(D58_AdminGroup->EditGroupButton);
                       },
                       [&](TForm&) {
                         EXPECT_EQ(D56_EditGroup->GroupIDEdit->Text(), "3");
                         EXPECT_FALSE(D56_EditGroup->GroupPermissionsCheckListBox->ItemChecked(urShowAuditLog));
                         click_item(urShowAuditLog);
                         Retype(D56_EditGroup->GroupNameEdit, "Auditors");
                         UserClick(D56_EditGroup->OKButton);
                       },
                       [](TForm&) {
                         UserClickListItem(D58_AdminGroup->GroupListBox, 0);
                         UserClick(D58_AdminGroup->EditGroupButton);
                       },
                       [&](TForm&) {
                         EXPECT_FALSE(D56_EditGroup->GroupPermissionsCheckListBox->ItemEnabled(urIsAdmin));
                         click_item(urIsAdmin);  // refused: the item is disabled
                         EXPECT_TRUE(D56_EditGroup->GroupPermissionsCheckListBox->ItemChecked(urIsAdmin));
                         UserClick(D56_EditGroup->CancelButton);
                       }});
  manager.AdminGroups();
  manager.AdminGroups();
  EXPECT_EQ(driver.Done(), driver.Count());
  EXPECT_EQ(manager.Group(2).Rights, 1u << urShowAuditLog);
  EXPECT_EQ(manager.Group(2).GroupName, "Auditors");
  const auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TAuditKind::GroupChanged);
  EXPECT_EQ(events[0].Subject, "Auditors");
  EXPECT_EQ(TDY_UserManager().Group(2).Rights, 1u << urShowAuditLog);
}

TEST_F(AdminDialogs, TheUserSheetIsPrintedFromTheList) {
  MakeUsers("chef");
  TModalDriver driver({[](TForm&) { UserClick(D59_AdminUser->Button1); }});
  manager.AdminUsers();
  EXPECT_EQ(driver.Done(), 1u);
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(printed[0].size(), 3u + 3 * 7);

  // Thirteen users print as two jobs.
  std::vector<TUserSheetPage> pages = {TUserSheetPage(3 + 12 * 7, "x"), TUserSheetPage(3 + 7, "y")};
  const std::string pdf = folder.File("sheet.pdf");
  Printer().SetOutputFile(pdf);
  TD68_PrintUserData form(nullptr);
  const std::vector<std::string> titles = form.PrintPages(pages);
  Printer().SetOutputFile("");
  EXPECT_EQ(titles, (std::vector<std::string>{"Dossaly_Users-1", "Dossaly_Users-2"}));
  EXPECT_TRUE(std::filesystem::exists(pdf));
}

// Certificates made by openssl, imported through the open dialog.
TEST_F(AdminDialogs, CertificatesAreImportedFromGoodFilesOnly) {
  if (!test::OpensslAvailable()) GTEST_SKIP() << "openssl not installed";
  const std::string pem = folder.File("c.pem"), der = folder.File("c.der");
  test::RunOpenssl("req -x509 -newkey rsa:1024 -nodes -keyout " + folder.File("k.pem") + " -out " + pem +
                   " -subj /CN=ann -days 1");
  test::RunOpenssl("x509 -in " + pem + " -outform DER -out " + der);
  ASSERT_TRUE(std::filesystem::exists(der));
  std::filesystem::copy_file(der, folder.File("c.cer"));
  std::filesystem::copy_file(pem, folder.File("c.txt"));
  WriteFileAtomic(folder.File("bad.cer"), std::string("\x30\x82\x01\x00garbage", 12));
  WriteFileAtomic(folder.File("bad.pem"), "no armour here\n");
  struct TCase {
    std::string file;
    bool stored;
    bool error;
  } cases[] = {{"c.pem", true, false},   {"c.der", true, false},   {"c.cer", true, false},
               {"bad.cer", false, true}, {"bad.pem", false, true}, {"c.txt", false, false}};
  MakeUsers("chef");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.file);
    manager.User(1).HasCertificate = false;
    manager.User(1).Certificate.clear();
    boxes.Texts.clear();
    const std::string chosen = folder.File(c.file);
    SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
      EXPECT_EQ(d.Title, LoadResString("TD55_ReadCert"));
      static_cast<TOpenDialog&>(d).FileName = chosen;
      return true;
    });
    TModalDriver driver({[&](TForm&) {
      UserClick(D55_EditUser->BtnChangeCertificate);
      EXPECT_EQ(D55_EditUser->CheckBox1->Checked(), c.stored);
      UserClick(D55_EditUser->OkButton);  // disabled unless something loaded
      if (!c.stored) UserClick(D55_EditUser->CancelButton);
    }});
    EXPECT_EQ(manager.EditUser(2), c.stored);
    EXPECT_EQ(manager.User(1).HasCertificate, c.stored);
    ASSERT_EQ(boxes.Texts.size(), c.error ? 1u : 0u);
    if (c.error) {
      EXPECT_EQ(boxes.Texts[0].rfind(LoadResString("DY_ErrorReadCert") + " [", 0), 0u) << boxes.Texts[0];
    }
  }
  // The stored certificate comes back into the dialog.
  TModalDriver driver({[](TForm&) {
    EXPECT_TRUE(D55_EditUser->CheckBox1->Checked());
    EXPECT_FALSE(D55_EditUser->GetCertificateText().empty());
    UserClick(D55_EditUser->CancelButton);
  }});
  manager.User(1).HasCertificate = true;
  manager.User(1).Certificate = TDY_UserManager().User(1).Certificate;
  EXPECT_FALSE(manager.EditUser(2));
  EXPECT_TRUE(boxes.Texts.empty());

  // A stored certificate the dialog cannot read is reported and kept when other fields change.
  manager.User(1).Certificate = "30 03 02 01\r\n";
  TModalDriver change({[](TForm&) {
    EXPECT_FALSE(D55_EditUser->CheckBox1->Checked());
    Retype(D55_EditUser->CompanyEdit, "Acme");
    UserClick(D55_EditUser->OkButton);
  }});
  EXPECT_TRUE(manager.EditUser(2));
  EXPECT_EQ(change.Done(), 1u);
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0].rfind(LoadResString("DY_ErrorReadCert"), 0), 0u);
  EXPECT_TRUE(manager.User(1).HasCertificate);
  EXPECT_EQ(manager.User(1).Certificate, "30 03 02 01\r\n");
}

class OptionsDialog : public ::testing::Test {
protected:
  OptionsDialog() {
    InitializeGui();
    UsersFile = ArchiveDataPath + "Users.dat";
    AuditTrail = &trail;
    InstallAuditService(&trail);
  }
  ~OptionsDialog() override {
    std::error_code ec;
    std::filesystem::remove_all(elsewhere, ec);
    InstallAuditService(nullptr);
    AuditTrail = nullptr;
    SetCommonDialogUser(nullptr);
    AnyDocumentOpen = nullptr;
  }
  std::vector<TDY_AuditEvent> Events() { return TrailEvents(trail.FileName()); }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TDY_AuditManager trail;
  // A folder outside the data folder.
  std::string elsewhere = [] {
    char pattern[] = "/tmp/qv_moved_XXXXXX";
    return std::string(::mkdtemp(pattern));
  }();
};

TEST_F(OptionsDialog, OptionsAreEditedStoredAndShownAgain) {
  UseWinLogon = false;
  PwdOnStartup = true;
  PwdOnSign = true;
  AlwaysSendAlarmEmail = false;
  InactInterval = 5;
  int shown_interval = 0;
  TModalDriver driver({[&](TForm& f) {
    TD53_DossalyOptions& d = static_cast<TD53_DossalyOptions&>(f);
    EXPECT_FALSE(d.OKBtn->Enabled());
    EXPECT_FALSE(d.PasswordOnStartupCheckBox->Enabled());
    EXPECT_TRUE(d.AlarmEmailDateTimePicker->Enabled());
    // Password on start-up off and on again: only the final state counts.
    Tick(d.UseWindowsLogonCheckBox);
    EXPECT_TRUE(d.PasswordOnStartupCheckBox->Enabled());
    EXPECT_TRUE(d.OKBtn->Enabled());
    Tick(d.PasswordOnStartupCheckBox);
    Tick(d.PasswordOnStartupCheckBox);
    Tick(d.PasswordOnSignCheckBox);
    Tick(d.SendEmailOnAlarmOfflineCheckBox);
    Tick(d.SendEmailOnAlarmRecorderCheckBox);
    Tick(d.AlwaysSendAlarmEmailCheckBox);
    EXPECT_FALSE(d.AlarmEmailDateTimePicker->Enabled());
    Tick(d.CheckInactTimer);
    UserClick(d.InactInterval, TPoint{10, d.InactInterval->Height() / 2});
    EXPECT_TRUE(d.InactInterval->Focused());
    UserKey(VK_UP);
    shown_interval = d.InactInterval->IntValue();
    EXPECT_GT(shown_interval, 5);
    UserClick(d.OKBtn);
  }});
  ASSERT_TRUE(ShowD53DossalyOptions());
  EXPECT_EQ(driver.Done(), 1u);
  EXPECT_TRUE(UseWinLogon);
  EXPECT_TRUE(PwdOnStartup);
  EXPECT_FALSE(PwdOnSign);
  EXPECT_TRUE(SendEmailOnAlarmOffline);
  EXPECT_TRUE(SendEmailOnAlarmRecorder);
  EXPECT_TRUE(AlwaysSendAlarmEmail);
  EXPECT_TRUE(UseInactTimer);
  EXPECT_EQ(InactInterval, shown_interval);
  const auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TAuditKind::SignPwdOff);

  TModalDriver again({[&](TForm& f) {
    TD53_DossalyOptions& d = static_cast<TD53_DossalyOptions&>(f);
    EXPECT_TRUE(d.UseWindowsLogonCheckBox->Checked());
    EXPECT_TRUE(d.PasswordOnStartupCheckBox->Enabled());
    EXPECT_FALSE(d.PasswordOnSignCheckBox->Checked());
    EXPECT_FALSE(d.AlarmEmailDateTimePicker->Enabled());
    EXPECT_EQ(d.InactInterval->IntValue(), shown_interval);
    EXPECT_FALSE(d.OKBtn->Enabled());
    UserClick(d.CancelBtn);
  }});
  EXPECT_FALSE(ShowD53DossalyOptions());
  EXPECT_EQ(again.Done(), 1u);
}

// The data folder with a users file, a document type folder and a large document.
void FillDataFolder(const std::string& path) {
  WriteFileAtomic(path + "Users.dat", "[Groups]\r\nNumGroups=0\r\n[Users]\r\nNumUsers=0\r\n");
  std::filesystem::create_directory(path + "Reports");
  WriteFileAtomic(path + "Reports/big.xml", std::string(256 * 1024, 'd'));
  WriteFileAtomic(path + "Reports/small.xml", "<doc/>");
}

TEST_F(OptionsDialog, TheDataFolderMovesWithEverythingInIt) {
  const std::string old_path = ArchiveDataPath;
  FillDataFolder(old_path);
  const std::string target = elsewhere + "/moved";
  TDY_UserManager users;  // made before the move
  SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
    static_cast<TFolderDialog&>(d).Folder = target;
    return true;
  });
  TModalDriver driver({[](TForm& f) { UserClick(static_cast<TD53_DossalyOptions&>(f).ChangePathButton); }});
  EXPECT_TRUE(ShowD53DossalyOptions());  // the move ends the dialog with OK
  EXPECT_EQ(driver.Done(), 1u);
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{LoadResString("DY_FilesCopied")});
  EXPECT_EQ(ArchiveDataPath, target + "/");
  EXPECT_EQ(UsersFile, target + "/Users.dat");
  EXPECT_EQ(ReadFileBytes(target + "/Reports/big.xml").size(), 256u * 1024);
  EXPECT_TRUE(std::filesystem::exists(old_path + "Reports/big.xml"));  // the old folder stays as it was
  // The users file follows at once.
  EXPECT_EQ(users.FileName(), target + "/Users.dat");
}

TEST_F(OptionsDialog, AMoveThatFailsHalfWayKeepsTheOldFolderInUse) {
  const std::string old_path = ArchiveDataPath;
  FillDataFolder(old_path);
  const std::string target = elsewhere + "/full";
  SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
    static_cast<TFolderDialog&>(d).Folder = target;
    return true;
  });
  TModalDriver driver({[](TForm& f) {
                         test::FileSizeLimit full(64 * 1024);  // the target fills up at the large file
                         UserClick(static_cast<TD53_DossalyOptions&>(f).ChangePathButton);
                       },
                       [&](TForm& f) {
                         TD53_DossalyOptions& d = static_cast<TD53_DossalyOptions&>(f);
                         EXPECT_EQ(d.DYPathEdit->Text(), old_path);  // still open, old folder
                         UserClick(d.CancelBtn);
                       }});
  EXPECT_FALSE(ShowD53DossalyOptions());
  EXPECT_EQ(driver.Done(), 2u);
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0].rfind(LoadResString("D53_CopyFailed"), 0), 0u) << boxes.Texts[0];
  EXPECT_EQ(ArchiveDataPath, old_path);
  EXPECT_EQ(UsersFile, old_path + "Users.dat");
  EXPECT_EQ(ReadFileBytes(old_path + "Reports/big.xml"), std::string(256 * 1024, 'd'));
  EXPECT_EQ(ReadFileBytes(old_path + "Users.dat"), "[Groups]\r\nNumGroups=0\r\n[Users]\r\nNumUsers=0\r\n");
}

TEST_F(OptionsDialog, TheDataFolderStaysWhileDocumentsAreOpenOrWhenChosenAgain) {
  const std::string old_path = ArchiveDataPath;
  FillDataFolder(old_path);
  int asked = 0;
  SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
    ++asked;
    static_cast<TFolderDialog&>(d).Folder = old_path.substr(0, old_path.size() - 1);  // the same folder
    return true;
  });
  bool open = true;
  AnyDocumentOpen = [&] { return open; };
  TModalDriver driver({[&](TForm& f) {
    TD53_DossalyOptions& d = static_cast<TD53_DossalyOptions&>(f);
    UserClick(d.ChangePathButton);
    EXPECT_EQ(asked, 0);
    open = false;
    UserClick(d.ChangePathButton);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(d.OKBtn->Enabled());  // nothing happened
    UserClick(d.CancelBtn);
  }});
  EXPECT_FALSE(ShowD53DossalyOptions());
  EXPECT_EQ(driver.Done(), 1u);
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{LoadResString("D53_DocumentsOpen")});
  EXPECT_EQ(ArchiveDataPath, old_path);
}

TEST(AboutBox, ShowsTheProgramVersion) {
  InitializeGui();
  TModalDriver driver({[](TForm& f) {
    ASSERT_EQ(&f, D52_DossalyAboutBox);
    EXPECT_EQ(f.Text(), LoadResString("D52_DossalyInfo"));
    EXPECT_NE(D52_DossalyAboutBox->Version->Text().find(ArchiveVersionText()), std::string::npos);
    UserClick(D52_DossalyAboutBox->OKButton);
  }});
  ShowD52DossalyAboutBox();
  EXPECT_EQ(driver.Done(), 1u);
  const std::string v = ArchiveVersionText();
  ASSERT_EQ(std::count(v.begin(), v.end(), '.'), 1) << v;  // major.minor
}

}  // namespace
}  // namespace qv
