#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "archive/archive_options.h"
#include "archive/archive_start.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "archive/dy_user_manager.h"
#include "archive_test_support.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/msg_dlg_types.h"

namespace qv {
namespace {

std::vector<TDY_AuditEvent> TrailEvents(const std::string& file_name) {
  std::vector<TDY_AuditEvent> events;
  for (const std::string& line : ReadAuditFileLines(file_name)) {
    TDY_AuditEvent event;
    EXPECT_TRUE(ParseAuditLine(ArchiveCrypt().Decrypt(line), event)) << line;
    events.push_back(event);
  }
  return events;
}

// The group dialog as a script: each show takes the next rights and answers OK; then Cancel.
class TScriptedGroup : public TEditGroupDialogPort {
public:
  TScriptedGroup(std::deque<uint16_t>& steps, std::vector<std::string>& captions)
      : steps_(steps), captions_(captions) {}
  void SetGroup(int32_t, const std::string& name, uint16_t rights, bool) override {
    name_ = name;
    rights_ = rights;
  }
  std::string GroupName() const override { return name_; }
  uint16_t Rights() const override { return rights_; }
  bool Modified() const override { return true; }
  void SetCaption(const std::string& caption) override {
    if (!caption.empty()) captions_.push_back(caption);
  }
  void Beep() override {}
  int ShowModal() override {
    if (steps_.empty()) return mrCancel;
    rights_ = steps_.front();
    steps_.pop_front();
    return mrOk;
  }

private:
  std::deque<uint16_t>& steps_;
  std::vector<std::string>& captions_;
  std::string name_;
  uint16_t rights_ = 0;
};

class UserAdmin : public ::testing::Test {
protected:
  UserAdmin() {
    UsersFile = folder.File("Users.dat");
    AuditTrail = &trail;
    InstallAuditService(&trail);
    CreateEditGroupDialog = [this] { return std::make_unique<TScriptedGroup>(group_steps, captions); };
    MsgDialogProc = [this](const std::string& msg, TMsgDlgType, TMsgDlgButtons, int32_t) {
      boxes.push_back(msg);
      return answer;
    };
  }
  ~UserAdmin() override {
    MsgDialogProc = nullptr;
    CreateEditGroupDialog = nullptr;
    InstallAuditService(nullptr);
    AuditTrail = nullptr;
  }
  // Groups 1 to 3; users in the groups given, named u0, u1 ...
  void MakeUsers(std::initializer_list<int32_t> groups) {
    manager.AddDefaultGroups();
    int32_t id = 1;
    for (int32_t g : groups) {
      TDY_User u;
      u.UserID = id;
      u.UserName = "u" + std::to_string(id - 1);
      u.FirstName = "F";
      u.SurName = "S";
      u.GroupID = g;
      manager.AddUser(u);
      ++id;
    }
    manager.SaveGroups();
    manager.SaveUsers();
  }
  std::vector<TDY_AuditEvent> Events() { return TrailEvents(trail.FileName()); }

  TArchiveTestFolder folder;
  TDY_AuditManager trail;
  TDY_UserManager manager;
  std::deque<uint16_t> group_steps;
  std::vector<std::string> captions, boxes;
  int answer = mrOk;
};

TEST_F(UserAdmin, DeletingRefusesTheCurrentUserAndTheLastAdministrator) {
  struct TCase {
    const char* name;
    std::vector<int32_t> groups;  // of u0, u1, u2
    int current, deleted, answer;
    const char* box;
    bool removed;
  } cases[] = {
      {"the current user", {1, 1, 2}, 1, 1, mrOk, "umg_ActionNotAllowed", false},
      {"the last administrator", {1, 2, 2}, 1, 0, mrOk, "umg_AdminNeeded", false},
      {"one of two administrators", {1, 1, 2}, 2, 0, mrOk, "umg_ConfirmDelUser", true},
      {"not confirmed", {1, 2, 2}, 0, 2, mrCancel, "umg_ConfirmDelUser", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(UsersFile);
    std::filesystem::remove(trail.FileName());
    TDY_UserManager m;
    m.AddDefaultGroups();
    for (size_t i = 0; i < c.groups.size(); ++i) {
      TDY_User u;
      u.UserID = static_cast<int32_t>(i + 1);
      u.UserName = "u" + std::to_string(i);
      u.GroupID = c.groups[i];
      m.AddUser(u);
    }
    m.SaveGroups();
    m.SaveUsers();
    m.SetCurrentUser("u" + std::to_string(c.current));
    boxes.clear();
    answer = c.answer;
    EXPECT_EQ(m.DeleteUser(c.deleted), c.removed);
    EXPECT_EQ(boxes, std::vector<std::string>{LoadResString(c.box)});
    EXPECT_EQ(TDY_UserManager().UserCount(), c.removed ? 2 : 3);
    EXPECT_EQ(m.CurrentUserName(), "u" + std::to_string(c.current));
    const auto events = Events();
    ASSERT_EQ(events.size(), c.removed ? 1u : 0u);
    if (c.removed) {
      EXPECT_EQ(events[0].Kind, TAuditKind::UserDeleted);
      EXPECT_EQ(events[0].Subject, "u" + std::to_string(c.deleted));
    }
  }
}

TEST_F(UserAdmin, AGroupKeepsTheAdministrationRightWhileOnlyItsUsersAdminister) {
  MakeUsers({2, 3});
  manager.Group(1).Rights = 0x3FFF;  // u0 administers through the second group
  manager.SaveGroups();
  group_steps = {0x3FFE, 0x3FFF & ~(1u << urShowAuditLog)};
  manager.EditGroup(2);
  EXPECT_EQ(captions, std::vector<std::string>{LoadResString("umg_AdminNeeded")});
  EXPECT_EQ(manager.Group(1).Rights, 0x3FFF & ~(1u << urShowAuditLog));
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_EQ(Events()[0].Kind, TAuditKind::GroupChanged);

  // The first group always keeps it, whatever the dialog answers.
  group_steps = {0};
  manager.EditGroup(1);
  EXPECT_EQ(manager.Group(0).Rights, 1u << urIsAdmin);
}

TEST_F(UserAdmin, TheUserSheetPutsTwelveUsersOnAPage) {
  MakeUsers({1, 2, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 7});
  manager.User(0).Company = "Acme";
  manager.User(0).Email = "u0@acme.org";
  const std::vector<TUserSheetPage> pages = manager.UserSheetPages();
  ASSERT_EQ(pages.size(), 2u);
  ASSERT_EQ(pages[0].size(), 3u + 12 * 7);
  const TUserSheetPage first(pages[0].begin(), pages[0].begin() + 10);
  EXPECT_EQ(first, (TUserSheetPage{"", "", "", "\tD68_UserID: u0", "\tD68_Name: F S", "\tD68_Company: Acme",
                                   "\tD68_Email: u0@acme.org", "\tD68_UserGroup: ug_Admin", "", ""}));
  EXPECT_EQ(pages[1], (TUserSheetPage{"", "", "", "\tD68_UserID: u12", "\tD68_Name: F S", "\tD68_Company: ",
                                      "\tD68_Email: ", "\tD68_UserGroup: ", "", ""}));  // group 7 is missing
}

TEST_F(UserAdmin, OnlyANetChangeOfThePasswordOptionsIsRecorded) {
  struct TCase {
    bool startup, sign;
    std::vector<TAuditKind> events;
  } cases[] = {{true, true, {}},
               {false, true, {TAuditKind::LogonPwdOff}},
               {true, false, {TAuditKind::SignPwdOff}},
               {false, false, {TAuditKind::LogonPwdOff, TAuditKind::SignPwdOff}}};
  for (const TCase& c : cases) {
    std::filesystem::remove(trail.FileName());
    PwdOnStartup = PwdOnSign = true;
    TArchiveOptions o = CurrentArchiveOptions();
    o.PwdOnStartup = c.startup;
    o.PwdOnSign = c.sign;
    StoreArchiveOptions(o);
    std::vector<TAuditKind> kinds;
    for (const auto& e : Events()) kinds.push_back(e.Kind);
    EXPECT_EQ(kinds, c.events);
    EXPECT_EQ(PwdOnStartup, c.startup);
    EXPECT_EQ(PwdOnSign, c.sign);
    // Back on again.
    std::filesystem::remove(trail.FileName());
    StoreArchiveOptions(CurrentArchiveOptions());
    EXPECT_TRUE(Events().empty());
  }
  PwdOnStartup = false;
  TArchiveOptions o = CurrentArchiveOptions();
  o.PwdOnStartup = true;
  StoreArchiveOptions(o);
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_EQ(Events()[0].Kind, TAuditKind::LogonPwdOn);
}

TEST_F(UserAdmin, TheDataFolderNeverMovesIntoItself) {
  const std::string old_path = ArchiveDataPath;
  WriteFileAtomic(old_path + "Users.dat", "x");
  std::string error;
  EXPECT_FALSE(MoveArchiveDataPath(old_path + "inner", error));
  EXPECT_NE(error.find("inside"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(old_path + "inner"));
  EXPECT_TRUE(MoveArchiveDataPath(old_path.substr(0, old_path.size() - 1), error));  // the same folder
  EXPECT_EQ(ArchiveDataPath, old_path);
}

}  // namespace
}  // namespace qv
