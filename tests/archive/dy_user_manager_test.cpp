#include "archive/dy_user_manager.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>

#include "archive/archive_start.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "archive_test_support.h"
#include "base/res_string.h"
#include "crypto/rsa_cryptography.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/msg_dlg_types.h"

namespace qv {
namespace {

// Written by hand from the file's layout: the Params plain texts were enciphered with the openssl
// tool (des-ede3, ECB, no padding, the short tail left as it is), so it checks the cipher as well.
// Group 2 and user 0 hold Windows-1252 letters; user 1 a certificate.
const std::string GoldenFile = std::string(QV_TEST_DATA_DIR) + "/users_golden.dat";

struct TLogonStep {
  int result;
  std::string user, password;
};

class TScriptedLogon : public TLogonDialogPort {
public:
  explicit TScriptedLogon(std::deque<TLogonStep>& steps, std::vector<std::string>& log) : steps_(steps), log_(log) {}
  void SetUserName(const std::string& name) override { user_ = name; }
  std::string UserText() const override { return user_; }
  std::string PasswordText() const override { return password_; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  std::string Caption() const override { return caption_; }
  void SetUserEditEnabled(bool enabled) override { log_.push_back(enabled ? "user edit on" : "user edit off"); }
  void SelectUserEdit() override { log_.push_back("select user"); }
  void SelectPasswordEdit() override { log_.push_back("select password"); }
  void Beep() override { log_.push_back("beep"); }
  int ShowModal() override {
    log_.push_back("show [" + user_ + "] " + caption_);
    if (steps_.empty()) return mrCancel;
    TLogonStep step = steps_.front();
    steps_.pop_front();
    if (!step.user.empty()) user_ = step.user;
    password_ = step.password;
    return step.result;
  }

private:
  std::deque<TLogonStep>& steps_;
  std::vector<std::string>& log_;
  std::string user_, password_, caption_;
};

struct TUserInput {
  int result = mrOk;
  std::string user, password1, password2, first, sur;
};

class TScriptedEditUser : public TEditUserDialogPort {
public:
  TScriptedEditUser(std::deque<TUserInput>& steps, std::vector<std::string>& log) : steps_(steps), log_(log) {}
  void SetGroups(const std::vector<std::string>& names, int selected) override {
    log_.push_back("groups " + std::to_string(names.size()) + " selected " + std::to_string(selected));
    selected_ = selected;
  }
  int SelectedGroup() const override { return selected_; }
  void SetGroupEnabled(bool enabled) override { log_.push_back(enabled ? "group on" : "group off"); }
  void SetCaption(const std::string& caption) override {
    if (!caption.empty()) log_.push_back("caption " + caption);
  }
  std::string UserText() const override { return in_.user; }
  std::string Password1() const override { return in_.password1; }
  std::string Password2() const override { return in_.password2; }
  std::string FirstName() const override { return in_.first; }
  std::string SurName() const override { return in_.sur; }
  std::string Company() const override { return "Acme"; }
  std::string Email() const override { return ""; }
  bool Modified() const override { return true; }
  void Beep() override { log_.push_back("beep"); }
  int ShowModal() override {
    if (steps_.empty()) return mrCancel;
    in_ = steps_.front();
    steps_.pop_front();
    return in_.result;
  }

private:
  std::deque<TUserInput>& steps_;
  std::vector<std::string>& log_;
  TUserInput in_;
  int selected_ = -1;
};

std::vector<TDY_AuditEvent> TrailEvents(const std::string& file_name) {
  std::vector<TDY_AuditEvent> events;
  for (const std::string& line : ReadAuditFileLines(file_name)) {
    TDY_AuditEvent event;
    EXPECT_TRUE(ParseAuditLine(ArchiveCrypt().Decrypt(line), event)) << line;
    events.push_back(event);
  }
  return events;
}

class UserManagerTest : public ::testing::Test {
protected:
  UserManagerTest() {
    UsersFile = folder.File("Users.dat");
    AuditTrail = &trail;
    InstallAuditService(&trail);
    CreateLogonDialog = [this] { return std::make_unique<TScriptedLogon>(logon_steps, log); };
    CreateEditUserDialog = [this] { return std::make_unique<TScriptedEditUser>(user_steps, log); };
    SetCommandEnabled = [this](const std::string& item, bool enabled) { items[item] = enabled; };
    TerminateProgram = [this] { terminated = true; };
  }
  ~UserManagerTest() override {
    InstallAuditService(nullptr);
    AuditTrail = nullptr;
    CreateLogonDialog = nullptr;
    CreateEditUserDialog = nullptr;
    SetCommandEnabled = nullptr;
    TerminateProgram = nullptr;
    SystemUserName = saved_system_user;
  }
  void UseGolden() { std::filesystem::copy_file(GoldenFile, UsersFile); }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TDY_AuditManager trail;
  std::deque<TLogonStep> logon_steps;
  std::deque<TUserInput> user_steps;
  std::vector<std::string> log;
  std::map<std::string, bool> items;
  bool terminated = false;
  std::function<std::string()> saved_system_user = SystemUserName;
};

TEST_F(UserManagerTest, TheGoldenFileLoadsAndIsWrittenBackByteForByte) {
  UseGolden();
  {
    TDY_UserManager manager;
    ASSERT_TRUE(manager.Loaded());
    ASSERT_EQ(manager.GroupCount(), 3);
    EXPECT_EQ(manager.Group(1).GroupID, 2);
    EXPECT_EQ(manager.Group(1).GroupName, "Prüfer");
    EXPECT_EQ(manager.Group(0).Rights, 0x3FFF);
    EXPECT_EQ(manager.Group(1).Rights, 0x3FFE);
    EXPECT_EQ(manager.Group(2).Rights, 0);
    ASSERT_EQ(manager.UserCount(), 2);
    const TDY_User& ann = manager.User(0);
    EXPECT_EQ(ann.UserID, 1);
    EXPECT_EQ(ann.UserName, "admin");
    EXPECT_EQ(ann.Password, "Secret12");
    EXPECT_EQ(ann.SurName, "Müller");
    EXPECT_EQ(ann.Email, "ann@example.com");
    EXPECT_EQ(ann.RSAPrivateKey, "30060201070201AB");
    EXPECT_FALSE(ann.HasCertificate);
    const TDY_User& bob = manager.User(1);
    EXPECT_EQ(bob.UserInfo, "note");
    EXPECT_EQ(bob.GroupID, 3);
    EXPECT_TRUE(bob.HasCertificate);
    EXPECT_EQ(bob.Certificate, "3003020101");
    EXPECT_EQ(manager.MaxUserID(), 7);
    EXPECT_EQ(manager.NextUserId(), 8);
    manager.SetMaxUserID(7);
    std::string key;
    ASSERT_TRUE(manager.FindUserPublicKey("bob", key));
    EXPECT_EQ(key, "3006020107020105");
    EXPECT_FALSE(manager.FindUserPublicKey("Bob", key));

    // Saving what was read gives the same bytes, in place and into a new file.
    manager.SaveGroups();
    manager.SaveUsers();
    EXPECT_EQ(ReadFileBytes(UsersFile), ReadFileBytes(GoldenFile));
    std::filesystem::remove(UsersFile);
    manager.SaveGroups();
    manager.SaveUsers();
    EXPECT_EQ(ReadFileBytes(UsersFile), ReadFileBytes(GoldenFile));
  }
  EXPECT_TRUE(boxes.Texts.empty());
}

TEST(UserRights, KeysAndDisplayKeysInBitOrder) {
  TCapturedBoxes boxes;
  const char* keys[] = {"IsAdmin",        "CreateDocument", "CreateDocumentType", "SignDocument", "EditDocument",
                        "SaveDocument",   "SaveDocumentAs", "PageSetup",          "EditDiagram",  "OptionsProtocol",
                        "OptionsAutoMon", "EditDevice",     "ReadData",           "ShowAuditLog"};
  for (int r = 0; r < UserRightCount; ++r) {
    EXPECT_EQ(UserAction2Param(r), keys[r]);
    EXPECT_EQ(UserAction2String(r), std::string("ua_") + keys[r]);
  }
  EXPECT_TRUE(boxes.Texts.empty());
  for (int r : {-1, 14, 15}) {
    EXPECT_EQ(UserAction2Param(r), "*** UNKNOWN ACTION ***");
    EXPECT_EQ(UserAction2String(r), "ua_UnKnown");
  }
  ASSERT_EQ(boxes.Texts.size(), 6u);
  EXPECT_EQ(boxes.Texts[0], "UserAction2Param: Unknown Action !!");
  EXPECT_EQ(boxes.Texts[1], "UserAction2String: Unknown Action !!");
}

// A damaged file never stops the start and is never written over.
TEST_F(UserManagerTest, DamagedFilesAreReportedAndNeverOverwritten) {
  const std::string golden = ReadFileBytes(GoldenFile);
  auto params_of = [&](const std::string& section) {
    const size_t begin = golden.find(section + "\r\n") + section.size() + 2;
    return golden.substr(begin, golden.find("\r\n", begin) - begin);
  };
  const std::string user1_params = params_of("[User1]");
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = golden;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  auto with_user1 = [&](const std::string& plain) {
    return replaced(user1_params, "Params=" + ArchiveCrypt().Encrypt(plain));
  };
  struct TCase {
    const char* name;
    std::string bytes;  // empty: Users.dat is a folder, which cannot be read
    bool refused;
    int users;
    const char* box;  // what the first box holds
  } cases[] = {
      {"params not hex", replaced(user1_params, "Params=XYZ"), false, 1, "[User1]"},
      {"user id not a number", with_user1("UserID=seven\r\nUserName=bob\r\nGroupID=3\r\n"), false, 1, "[User1]"},
      {"group id not a number", replaced(params_of("[Group0]"), "Params=" + ArchiveCrypt().Encrypt("GroupID=x\r\n")),
       false, 2, "[Group0]"},
      {"count beyond the sections", replaced("NumUsers=2", "NumUsers=3"), false, 2, "[User2]: no parameters"},
      {"huge count", replaced("NumUsers=2", "NumUsers=2000000000"), true, 0, "no valid list"},
      {"truncated", golden.substr(0, golden.find("[Users]") + 12), true, 0, "no valid list"},
      {"not a users file", "hello\r\n", true, 0, "no valid list"},
      {"unreadable", "", true, 0, "Users.dat"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(UsersFile);
    if (c.bytes.empty())
      std::filesystem::create_directory(UsersFile);
    else
      WriteFileAtomic(UsersFile, c.bytes);
    boxes.Texts.clear();
    TDY_UserManager manager;
    EXPECT_EQ(manager.Refused(), c.refused);
    EXPECT_EQ(manager.Loaded(), !c.refused);
    EXPECT_EQ(manager.UserCount(), c.users);
    ASSERT_FALSE(boxes.Texts.empty());
    EXPECT_NE(boxes.Texts[0].find(UsersFile), std::string::npos) << boxes.Texts[0];
    EXPECT_NE(boxes.Texts[0].find(c.box), std::string::npos) << boxes.Texts[0];
    // No first start over it, no log-on, no save.
    manager.EnsureAdministrator();
    EXPECT_TRUE(log.empty());
    if (c.refused) {
      EXPECT_FALSE(manager.Logon(false));
    }
    EXPECT_THROW(manager.SaveUsers(), EUsersFileError);
    EXPECT_THROW(manager.SaveGroups(), EUsersFileError);
    if (!c.bytes.empty()) {
      EXPECT_EQ(ReadFileBytes(UsersFile), c.bytes);
    }
  }
}

TEST_F(UserManagerTest, TheFirstStartCreatesTheGroupsAndTheAdministratorWithKeys) {
  TDY_UserManager manager;
  EXPECT_FALSE(manager.Loaded());
  user_steps = {{mrOk, "chef", "Geheim1", "Geheim2", "Ann", "Lee"},
                {mrOk, "chef", "aaaa", "aaaa", "Ann", ""},
                {mrOk, "chef", "Geheim€Ω1", "Geheim€Ω1", "Ann", "Lee"}};
  manager.EnsureAdministrator();
  ASSERT_TRUE(manager.Loaded());
  const std::vector<std::string> expected_log = {"groups 3 selected 0",
                                                 "group off",
                                                 "caption " + LoadResString("umg_AddAdmin"),
                                                 "beep",
                                                 "caption " + LoadResString("umg_PasswdMismatch"),
                                                 "beep",
                                                 "caption " + LoadResString("umg_PasswdInvalid")};
  EXPECT_EQ(log, expected_log);
  ASSERT_EQ(manager.UserCount(), 1);
  EXPECT_EQ(manager.CurrentUserName(), "chef");
  EXPECT_EQ(manager.CurrentGroup(), &manager.Group(0));
  // The password as stored: a character outside Windows-1252 became "?".
  EXPECT_EQ(manager.User(0).Password, "Geheim€?1");
  EXPECT_EQ(manager.Group(0).GroupName, LoadResString("ug_Admin"));

  // A 512-bit modulus with a leading zero byte and a random exponent.
  std::string n_hex, e_hex;
  TAS_RSACryptography::ParseKeyDER(manager.User(0).RSAPublicKey, n_hex, e_hex);
  EXPECT_EQ(n_hex.size(), 130u);
  EXPECT_EQ(n_hex.substr(0, 2), "00");
  std::string n2_hex, d_hex;
  TAS_RSACryptography::ParseKeyDER(manager.User(0).RSAPrivateKey, n2_hex, d_hex);
  EXPECT_EQ(n2_hex, n_hex);

  const std::string text = ReadFileBytes(UsersFile);
  for (const char* line : {"NumGroups=3\r\n", "[Group0]", "[Group1]", "[Group2]", "NumUsers=1\r\n", "MaxUserID=1\r\n",
                           "[User0]\r\nParams="})
    EXPECT_NE(text.find(line), std::string::npos) << line;

  const std::vector<TDY_AuditEvent> events = TrailEvents(trail.FileName());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TAuditKind::UserAdded);
  EXPECT_EQ(events[0].Subject, "chef");
  EXPECT_EQ(events[0].Comment, LoadResString("umg_Group") + ": " + LoadResString("ug_Admin"));

  // After a restart the same typed password logs on: it is compared in its stored form.
  TDY_UserManager again;
  ASSERT_EQ(again.UserCount(), 1);
  EXPECT_TRUE(again.CheckPassword("chef", "Geheim€Ω1"));
  EXPECT_EQ(again.User(0).RSAPublicKey, manager.User(0).RSAPublicKey);
}

TEST_F(UserManagerTest, NoFirstAdministratorEndsTheProgram) {
  TDY_UserManager manager;
  manager.EnsureAdministrator();
  EXPECT_FALSE(manager.Loaded());
  EXPECT_TRUE(terminated);
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{LoadResString("umg_AdminNeeded")});
  EXPECT_FALSE(std::filesystem::exists(UsersFile));
  const std::vector<TDY_AuditEvent> events = TrailEvents(trail.FileName());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TAuditKind::DossalyEnd);
}

TEST_F(UserManagerTest, LogonRetriesUntilNameAndPasswordMatchAndRecordsEachAttempt) {
  UseGolden();
  TDY_UserManager manager;
  logon_steps = {{mrOk, "Admin", "Secret12"}, {mrOk, "admin", "secret12"}, {mrOk, "admin", "Secret12"}};
  ASSERT_TRUE(manager.Logon(false));
  EXPECT_EQ(manager.CurrentUserId(), 1);
  EXPECT_EQ(manager.CurrentGroup(), &manager.Group(0));
  const std::string name_failure = LoadResString("umg_LogonFailureName");
  const std::string password_failure = LoadResString("umg_LogonFailurePasswd");
  const std::vector<std::string> expected_log = {"show [] ",
                                                 "beep",
                                                 "select user",
                                                 "show [Admin] " + name_failure,
                                                 "beep",
                                                 "select password",
                                                 "show [admin] " + password_failure};
  EXPECT_EQ(log, expected_log);
  manager.Logoff();

  const std::vector<TDY_AuditEvent> events = TrailEvents(trail.FileName());
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].Kind, TAuditKind::UserLogonFailure);
  EXPECT_EQ(events[0].Subject, "Admin");
  EXPECT_EQ(events[0].Comment, name_failure);
  EXPECT_EQ(events[0].UserID, -1);
  EXPECT_EQ(events[1].Comment, password_failure);
  // From the log-on on, events carry the user.
  EXPECT_EQ(events[2].Kind, TAuditKind::UserLogon);
  EXPECT_EQ(events[2].UserID, 1);
  EXPECT_EQ(events[3].Kind, TAuditKind::UserLogoff);
  EXPECT_EQ(manager.CurrentUserName(), "");
}

TEST_F(UserManagerTest, CancelEndsTheLogonAndReauthenticationRecordsNothing) {
  UseGolden();
  TDY_UserManager manager;
  logon_steps = {{mrCancel, "", ""}};
  EXPECT_FALSE(manager.Logon(false));
  ASSERT_EQ(TrailEvents(trail.FileName()).back().Kind, TAuditKind::UserLogonCancel);

  manager.SetCurrentUser("bob");
  log.clear();
  logon_steps = {{mrOk, "", "wrong"}, {mrOk, "", "Pass9word"}};
  EXPECT_TRUE(manager.Logon(true));
  EXPECT_EQ(log.front(), "user edit off");
  EXPECT_EQ(log[1], "show [bob] " + LoadResString("umg_EnterPassword"));
  EXPECT_EQ(TrailEvents(trail.FileName()).size(), 1u);
}

TEST_F(UserManagerTest, TheSystemUserNameLogsOnWithoutPasswordWhenAllowed) {
  UseGolden();
  UseWinLogon = true;
  PwdOnStartup = false;
  SystemUserName = [] { return std::string("bob"); };
  TDY_UserManager manager;
  EXPECT_TRUE(manager.Logon(false));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(manager.CurrentUserName(), "bob");
  EXPECT_EQ(manager.CurrentGroup(), nullptr);
  EXPECT_FALSE(manager.HasRight(urReadData));

  // Another system name: the dialog with an empty user edit.
  TDY_UserManager second;
  SystemUserName = [] { return std::string("carol"); };
  logon_steps = {{mrCancel, "", ""}};
  EXPECT_FALSE(second.Logon(false));
  EXPECT_EQ(log, std::vector<std::string>{"show [] "});
}

TEST_F(UserManagerTest, RightsEnableTheCommandsOfBothWindows) {
  UseGolden();
  TDY_UserManager manager;
  manager.SetCurrentUser("bob");  // group 3: no rights
  manager.ApplyRights(true);
  EXPECT_TRUE(items.at("FilePrintAction"));
  for (const char* item : {"AdminGroupAction", "SignDocumentAction", "FMenPageSetup", "ReadMemButton", "RecorderBtn",
                           "AutoScrollBtn", "IMenComm", "OMenProtocol", "OMenAutoMon", "ShowAuditLogAction"})
    EXPECT_FALSE(items.at(item)) << item;

  manager.SetCurrentUser("admin");
  manager.ApplyRights(false);
  EXPECT_FALSE(items.at("FilePrintAction"));
  EXPECT_FALSE(items.at("SignDocumentAction"));
  EXPECT_FALSE(items.at("FilePageSetupAction"));
  for (const char* item : {"AdminGroupAction", "NewDocumentAction", "FMenPageSetup", "ReadMemButton", "IMenExplorer"})
    EXPECT_TRUE(items.at(item)) << item;
  manager.ApplyRights(true);
  EXPECT_TRUE(items.at("SignDocumentAction"));
  EXPECT_TRUE(manager.HasRight(urIsAdmin));
  EXPECT_FALSE(manager.HasRight(14));
}

}  // namespace
}  // namespace qv
