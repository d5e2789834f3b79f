#include "archive/dy_user_manager.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <unordered_map>

#include "archive/archive_globals.h"
#include "archive/archive_start.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "base/archive_hooks.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "crypto/as_coding.h"
#include "crypto/prime_generator.h"
#include "crypto/rsa_cryptography.h"
#include "platform/rtl/msg_dlg_types.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_encoding.h"
#include "platform/rtl/text_utils.h"

namespace qv {

TDY_UserManager* UserManager = nullptr;
std::function<std::unique_ptr<TLogonDialogPort>()> CreateLogonDialog;
std::function<std::unique_ptr<TEditUserDialogPort>()> CreateEditUserDialog;
std::function<std::unique_ptr<TAdminListDialogPort>()> CreateAdminUserDialog;
std::function<std::unique_ptr<TAdminListDialogPort>()> CreateAdminGroupDialog;
std::function<std::unique_ptr<TEditGroupDialogPort>()> CreateEditGroupDialog;
std::function<void(const std::vector<TUserSheetPage>&)> PrintUserSheet;
std::function<void(const std::string&, const std::function<void()>&)> RunUnderProgress;
std::function<void(const std::string&, bool)> SetCommandEnabled;
std::function<void()> TerminateProgram;

namespace {

const char* const RightKeys[UserRightCount] = {"IsAdmin",      "CreateDocument",  "CreateDocumentType", "SignDocument",
                                               "EditDocument", "SaveDocument",    "SaveDocumentAs",     "PageSetup",
                                               "EditDiagram",  "OptionsProtocol", "OptionsAutoMon",     "EditDevice",
                                               "ReadData",     "ShowAuditLog"};

// The commands each right enables; archive actions of rights 3 to 7 also need an open document.
struct TRightItems {
  std::vector<const char*> archive;
  std::vector<const char*> logger;
};
const TRightItems& ItemsOfRight(int right) {
  static const TRightItems table[UserRightCount] = {
      {{"AdminGroupAction", "OptionsAction"}, {}},
      {{"NewDocumentAction", "DeleteDocumentAction", "NewDocOfTypeAction"}, {}},
      {{"NewDocumentTypeAction", "EditDocumentTypeAction", "EditKnownDocumentTypeAction", "DeleteDocTypeAction"}, {}},
      {{"SignDocumentAction"}, {}},
      {{"AddCommentAction"}, {}},
      {{"FileSaveAction"}, {}},
      {{"FileSaveAsAction"}, {}},
      {{"FilePageSetupAction"}, {"FMenPageSetup"}},
      {{}, {}},
      {{}, {"OMenProtocol"}},
      {{}, {"OMenAutoMon"}},
      {{}, {"IMenComm", "IMenExplorer", "IMenDelDevice", "IMenReadCfg"}},
      {{},
       {"IMenReadMem", "IMenClearMem", "IMenSyncClock", "ReadMemButton", "IMenRecorder", "RecorderBtn",
        "AutoScrollBtn"}},
      {{"ShowAuditLogAction"}, {}}};
  return table[right];
}

int32_t StrToInt32(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) throw EConvertError("'" + text + "' is not a valid integer value");
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') throw EConvertError("'" + text + "' is not a valid integer value");
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) throw EConvertError("'" + text + "' is not a valid integer value");
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) throw EConvertError("'" + text + "' is not a valid integer value");
  return static_cast<int32_t>(v);
}

// name=value lines joined by CR LF; the first line of a name gives its value.
std::unordered_map<std::string, std::string> ParseLines(const std::string& text) {
  std::unordered_map<std::string, std::string> values;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values.emplace(line.substr(0, eq), line.substr(eq + 1));
    pos = end + 2;
  }
  return values;
}

std::string ValueOf(const std::unordered_map<std::string, std::string>& values, const char* name) {
  auto it = values.find(name);
  return it == values.end() ? std::string() : it->second;
}

std::string Line(const char* name, const std::string& value) { return std::string(name) + "=" + value + "\r\n"; }

std::string Enciphered(const std::string& text) { return ArchiveCrypt().Encrypt(Utf8ToCp1252(text)); }

std::string Deciphered(const std::string& hex) { return Cp1252ToUtf8(ArchiveCrypt().Decrypt(hex)); }

std::string DefaultSystemUserName() {
  struct passwd pw;
  struct passwd* found = nullptr;
  std::vector<char> buf(16384);
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found || !found->pw_name) return {};
  std::string name = found->pw_name;
  if (name.size() > 128) name.resize(128);
  return name;
}

bool FileExists(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0;
}

void SetItem(const std::string& name, bool enabled) {
  if (SetCommandEnabled) SetCommandEnabled(name, enabled);
}

}  // namespace

std::function<std::string()> SystemUserName = DefaultSystemUserName;

std::string UserAction2Param(int right) {
  if (right >= 0 && right < UserRightCount) return RightKeys[right];
  ArchiveErrorBox("UserAction2Param: Unknown Action !!");
  return "*** UNKNOWN ACTION ***";
}

std::string UserAction2String(int right) {
  if (right >= 0 && right < UserRightCount) return std::string("ua_") + RightKeys[right];
  ArchiveErrorBox("UserAction2String: Unknown Action !!");
  return "ua_UnKnown";
}

std::string UserStoredForm(const std::string& text) { return Cp1252ToUtf8(Utf8ToCp1252(text)); }

std::string GroupParamsText(const TDY_Group& group) {
  std::string text = Line("GroupID", std::to_string(group.GroupID)) + Line("GroupName", group.GroupName);
  for (int r = 0; r < UserRightCount; ++r) text += Line(RightKeys[r], group.Has(r) ? "True" : "False");
  return text;
}

std::string UserParamsText(const TDY_User& user) {
  std::string text = Line("UserID", std::to_string(user.UserID)) + Line("UserName", user.UserName) +
                     Line("Password", user.Password) + Line("FirstName", user.FirstName) +
                     Line("SurName", user.SurName) + Line("Company", user.Company) + Line("Email", user.Email) +
                     Line("UserInfo", user.UserInfo) + Line("GroupID", std::to_string(user.GroupID)) +
                     Line("RSAPrivateKey", user.RSAPrivateKey) + Line("RSAPublicKey", user.RSAPublicKey);
  if (user.HasCertificate) text += Line("Certificate", Base64Coder().EncodeString(user.Certificate));
  return text;
}

TDY_Group ParseGroupParams(const std::string& text) {
  const auto values = ParseLines(text);
  TDY_Group group;
  group.GroupID = StrToInt32(ValueOf(values, "GroupID"));
  group.GroupName = ValueOf(values, "GroupName");
  for (int r = 0; r < UserRightCount; ++r)
    if (ValueOf(values, RightKeys[r]) == "True") group.Rights |= static_cast<uint16_t>(1u << r);
  return group;
}

TDY_User ParseUserParams(const std::string& text) {
  const auto values = ParseLines(text);
  TDY_User user;
  user.UserID = StrToInt32(ValueOf(values, "UserID"));
  user.UserName = ValueOf(values, "UserName");
  user.Password = ValueOf(values, "Password");
  user.FirstName = ValueOf(values, "FirstName");
  user.SurName = ValueOf(values, "SurName");
  user.Company = ValueOf(values, "Company");
  user.Email = ValueOf(values, "Email");
  user.UserInfo = ValueOf(values, "UserInfo");
  user.GroupID = StrToInt32(ValueOf(values, "GroupID"));
  user.RSAPrivateKey = ValueOf(values, "RSAPrivateKey");
  user.RSAPublicKey = ValueOf(values, "RSAPublicKey");
  const std::string certificate = ValueOf(values, "Certificate");
  user.HasCertificate = !certificate.empty();
  if (user.HasCertificate) user.Certificate = Base64Coder().DecodeString(certificate);
  return user;
}

TDY_UserManager::TDY_UserManager(const std::string& file_name)
    : file_name_(file_name),
      follows_users_file_(file_name.empty()),
      prime_generator_(std::make_unique<TAS_PrimeGenerator>()),
      rsa_(std::make_unique<TAS_RSACryptography>()) {
  rsa_->SetPrimeGenerator(prime_generator_.get());
  rsa_->SetSmallPublicExp(0);
  if (FileExists(FileName())) Load();
}

std::string TDY_UserManager::FileName() const { return follows_users_file_ ? UsersFile : file_name_; }

TDY_UserManager::~TDY_UserManager() {
  rsa_->SetPrimeGenerator(nullptr);
  if (UserManager == this) UserManager = nullptr;
}

void TDY_UserManager::Load() {
  std::vector<std::pair<std::string, TIniFile::TKeyValues>> sections;
  try {
    ReadFileBytes(FileName());  // an unreadable file is refused, not taken as empty
    sections = TIniFile2(FileName()).ReadAllSections();
  } catch (const Exception& e) {
    refused_ = true;
    refuse_reason_ = e.Message();
    ArchiveErrorBox(FileName() + ": " + e.Message());
    return;
  }
  std::unordered_map<std::string, const TIniFile::TKeyValues*> by_name;
  for (const auto& [name, values] : sections) by_name.emplace(UpperCase(name), &values);
  auto value = [&](const std::string& section, const std::string& key, bool& found) {
    found = false;
    auto s = by_name.find(UpperCase(section));
    if (s == by_name.end()) return std::string();
    for (const auto& [k, v] : *s->second)
      if (UpperCase(k) == UpperCase(key)) {
        found = true;
        return v;
      }
    return std::string();
  };
  // A count must be a whole number no larger than the file's sections: anything else is no
  // user list of ours, and iterating it could run for ever.
  auto count = [&](const std::string& section, const std::string& key, int32_t& n) {
    bool found;
    const std::string text = value(section, key, found);
    try {
      n = StrToInt32(text);
    } catch (const EConvertError&) {
      return false;
    }
    return found && n >= 0 && static_cast<size_t>(n) <= sections.size();
  };
  int32_t num_groups = 0, num_users = 0;
  if (!count("Groups", "NumGroups", num_groups) || !count("Users", "NumUsers", num_users)) {
    refused_ = true;
    refuse_reason_ = "the file holds no valid list of groups and users";
    ArchiveErrorBox(FileName() + ": " + refuse_reason_);
    return;
  }
  groups_.clear();
  users_.clear();
  for (int32_t i = 0; i < num_groups; ++i) {
    const std::string section = "Group" + std::to_string(i);
    bool found;
    const std::string params = value(section, "Params", found);
    std::string reason = "no parameters";
    if (!params.empty()) {
      try {
        groups_.push_back(std::make_unique<TDY_Group>(ParseGroupParams(Deciphered(params))));
        continue;
      } catch (const Exception& e) {
        reason = e.Message();
      }
    }
    damaged_ = true;
    ArchiveErrorBox(LoadResString("DY_ErrorReadGroup") + " " + FileName() + " [" + section + "]: " + reason);
  }
  for (int32_t i = 0; i < num_users; ++i) {
    const std::string section = "User" + std::to_string(i);
    bool found;
    const std::string params = value(section, "Params", found);
    std::string reason = "no parameters";
    if (!params.empty()) {
      try {
        users_.push_back(std::make_unique<TDY_User>(ParseUserParams(Deciphered(params))));
        continue;
      } catch (const Exception& e) {
        reason = e.Message();
      }
    }
    damaged_ = true;
    ArchiveErrorBox(LoadResString("DY_ErrorReadUser") + " " + FileName() + " [" + section + "]: " + reason);
  }
  bool found;
  try {
    max_user_id_ = StrToInt32(value("Users", "MaxUserID", found));
  } catch (const EConvertError&) {
    max_user_id_ = 0;
  }
  loaded_ = true;
}

void TDY_UserManager::CheckWritable() const {
  if (refused_)
    throw EUsersFileError("Unable to write to " + FileName() + ": the file could not be read (" + refuse_reason_ + ")");
  if (damaged_)
    throw EUsersFileError("Unable to write to " + FileName() +
                          ": the file holds sections that could not be read and would be lost");
}

void TDY_UserManager::SaveGroups() {
  CheckWritable();
  TIniFile2 ini(FileName());
  const int32_t old_count = std::max(0, ini.ReadInteger("Groups", "NumGroups", 0));
  std::vector<std::string> erase;
  for (int32_t i = 0; i < old_count; ++i) erase.push_back("Group" + std::to_string(i));
  std::vector<std::pair<std::string, TIniFile::TKeyValues>> write;
  write.push_back({"Groups", {{"NumGroups", std::to_string(groups_.size())}}});
  for (size_t i = 0; i < groups_.size(); ++i)
    write.push_back({"Group" + std::to_string(i), {{"Params", Enciphered(GroupParamsText(*groups_[i]))}}});
  ini.ReplaceSections(erase, write);
}

void TDY_UserManager::SaveUsers() {
  CheckWritable();
  TIniFile2 ini(FileName());
  const int32_t old_count = std::max(0, ini.ReadInteger("Users", "NumUsers", 0));
  std::vector<std::string> erase;
  for (int32_t i = 0; i < old_count; ++i) erase.push_back("User" + std::to_string(i));
  std::vector<std::pair<std::string, TIniFile::TKeyValues>> write;
  write.push_back(
      {"Users", {{"NumUsers", std::to_string(users_.size())}, {"MaxUserID", std::to_string(max_user_id_)}}});
  for (size_t i = 0; i < users_.size(); ++i)
    write.push_back({"User" + std::to_string(i), {{"Params", Enciphered(UserParamsText(*users_[i]))}}});
  ini.ReplaceSections(erase, write);
}

void TDY_UserManager::AddDefaultGroups() {
  AddGroup({1, UserStoredForm(LoadResString("ug_Admin")), 0x3FFF});
  AddGroup({2, UserStoredForm(LoadResString("ug_User")), 0x3FFE});
  AddGroup({3, UserStoredForm(LoadResString("ug_Reader")), 0});
}

void TDY_UserManager::EnsureAdministrator() {
  if (loaded_ || refused_) return;
  ::mkdir(ArchiveDataPath.c_str(), 0777);
  groups_.clear();
  AddDefaultGroups();
  if (EditUser(-2)) {
    SaveGroups();
    current_user_ = users_.front().get();
    current_group_ = groups_.front().get();
    SetAuditUser();
    loaded_ = true;
    return;
  }
  ArchiveErrorBox(LoadResString("umg_AdminNeeded"));
  AddAuditEvent(TDY_AuditEventKind::DossalyEnd);
  if (TerminateProgram) TerminateProgram();
}

bool TDY_UserManager::Logon(bool reauthenticate) {
  if (!loaded_ || !CreateLogonDialog) return false;
  std::unique_ptr<TLogonDialogPort> dialog = CreateLogonDialog();
  bool ok = false;
  if (current_user_) {
    dialog->SetUserName(current_user_->UserName);
    dialog->SetCaption(LoadResString("umg_EnterPassword"));
    if (reauthenticate) dialog->SetUserEditEnabled(false);
  } else if (UseWinLogon) {
    std::string name;
    const int index = WindowsUserIndex(name);
    if (index >= 0) {
      dialog->SetUserName(users_[static_cast<size_t>(index)]->UserName);
      if (!PwdOnStartup) {
        // Only the user: HasRight looks the group up by the user's GroupID.
        current_user_ = users_[static_cast<size_t>(index)].get();
        SetAuditUser();
        ok = true;
      }
    }
  }
  while (!ok) {
    const int result = dialog->ShowModal();
    if (result == mrCancel) break;
    if (result != mrOk) continue;
    const std::string name = dialog->UserText();
    if (CheckPassword(name, dialog->PasswordText())) {
      SetCurrentUser(UserStoredForm(name));
      ok = true;
      break;
    }
    dialog->Beep();
    if (IndexOfUserName(name) < 0) {
      dialog->SetCaption(LoadResString("umg_LogonFailureName"));
      dialog->SelectUserEdit();
    } else {
      dialog->SetCaption(LoadResString("umg_LogonFailurePasswd"));
      dialog->SelectPasswordEdit();
    }
    if (!reauthenticate) AddAuditEvent(TDY_AuditEventKind::UserLogonFailure, name, dialog->Caption());
  }
  if (!reauthenticate) AddAuditEvent(ok ? TDY_AuditEventKind::UserLogon : TDY_AuditEventKind::UserLogonCancel);
  return ok;
}

void TDY_UserManager::Logoff() {
  current_user_ = nullptr;
  current_group_ = nullptr;
  SetAuditUser();
  AddAuditEvent(TDY_AuditEventKind::UserLogoff);
  ApplyRights(false);
}

bool TDY_UserManager::HasRight(int right) const {
  if (!current_user_) return false;
  const int g = IndexOfGroupId(current_user_->GroupID);
  return g >= 0 && groups_[static_cast<size_t>(g)]->Has(right);
}

void TDY_UserManager::ApplyRights(bool document_open) {
  SetItem("FilePrintAction", document_open);
  SetItem("FilePrintSetupAction", document_open);
  for (int r = 0; r < UserRightCount; ++r) {
    const bool has = HasRight(r);
    const bool needs_document = r >= urSignDocument && r <= urPageSetup;
    for (const char* item : ItemsOfRight(r).archive) SetItem(item, needs_document ? document_open && has : has);
    for (const char* item : ItemsOfRight(r).logger) SetItem(item, has);
  }
}

std::string TDY_UserManager::CurrentUserName() const { return current_user_ ? current_user_->UserName : ""; }
std::string TDY_UserManager::CurrentUserCertificate() const { return current_user_ ? current_user_->Certificate : ""; }
std::string TDY_UserManager::CurrentUserPrivateKey() const { return current_user_ ? current_user_->RSAPrivateKey : ""; }
std::string TDY_UserManager::CurrentUserPublicKey() const { return current_user_ ? current_user_->RSAPublicKey : ""; }
int32_t TDY_UserManager::CurrentUserId() const { return current_user_ ? current_user_->UserID : -1; }

std::string TDY_UserManager::UserNameOfId(int32_t id) const {
  const int i = IndexOfUserId(id);
  return i < 0 ? std::string() : users_[static_cast<size_t>(i)]->UserName;
}

int TDY_UserManager::IndexOfUserName(const std::string& name) const {
  const std::string stored = UserStoredForm(name);
  for (size_t i = 0; i < users_.size(); ++i)
    if (users_[i]->UserName == stored) return static_cast<int>(i);
  return -1;
}

int TDY_UserManager::IndexOfUserId(int32_t id) const {
  for (size_t i = 0; i < users_.size(); ++i)
    if (users_[i]->UserID == id) return static_cast<int>(i);
  return -1;
}

int TDY_UserManager::IndexOfGroupId(int32_t id) const {
  for (size_t i = 0; i < groups_.size(); ++i)
    if (groups_[i]->GroupID == id) return static_cast<int>(i);
  return -1;
}

bool TDY_UserManager::CheckPassword(const std::string& name, const std::string& password) const {
  const int i = IndexOfUserName(name);
  return i >= 0 && users_[static_cast<size_t>(i)]->Password == UserStoredForm(password);
}

void TDY_UserManager::SetCurrentUser(const std::string& name) {
  const int i = IndexOfUserName(name);
  if (i < 0) {
    ArchiveInfoBox("User not Found !");
    return;
  }
  current_user_ = users_[static_cast<size_t>(i)].get();
  SetAuditUser();
  const int g = IndexOfGroupId(current_user_->GroupID);
  if (g < 0) {
    ArchiveInfoBox("Group not Found !");
    return;
  }
  current_group_ = groups_[static_cast<size_t>(g)].get();
}

void TDY_UserManager::SetAuditUser() {
  if (AuditTrail) AuditTrail->SetCurrentUser(CurrentUserId(), CurrentUserName());
}

int32_t TDY_UserManager::NextUserId() {
  if (max_user_id_ == 0)
    for (const auto& u : users_) max_user_id_ = std::max(max_user_id_, u->UserID);
  return ++max_user_id_;
}

int TDY_UserManager::WindowsUserIndex(std::string& name) const {
  name = SystemUserName ? SystemUserName() : std::string();
  if (name.size() > 128) name.resize(128);
  return name.empty() ? -1 : IndexOfUserName(name);
}

bool TDY_UserManager::FindUserPublicKey(const std::string& name, std::string& public_key) const {
  const int i = IndexOfUserName(name);
  if (i < 0) return false;
  public_key = users_[static_cast<size_t>(i)]->RSAPublicKey;
  return true;
}

void TDY_UserManager::GenerateKeysFor(TDY_User& user) {
  key_user_ = &user;
  auto work = [this] {
    if (!key_user_) return;
    rsa_->GenerateKeys(64);
    key_user_->RSAPrivateKey = rsa_->PrivateKeyBitValue();
    key_user_->RSAPublicKey = rsa_->PublicKeyBitValue();
  };
  if (RunUnderProgress)
    RunUnderProgress(LoadResString("umg_GenKeys"), work);
  else
    work();
  key_user_ = nullptr;
}

bool TDY_UserManager::AdminRemains(int user_index, int32_t new_group_id, bool remove_user, int group_index,
                                   uint16_t new_rights) const {
  for (size_t i = 0; i < users_.size(); ++i) {
    int32_t group_id = users_[i]->GroupID;
    if (static_cast<int>(i) == user_index) {
      if (remove_user) continue;
      group_id = new_group_id;
    }
    const int g = IndexOfGroupId(group_id);
    if (g < 0) continue;
    const uint16_t rights = g == group_index ? new_rights : groups_[static_cast<size_t>(g)]->Rights;
    if (rights & (1u << urIsAdmin)) return true;
  }
  return false;
}

namespace {

std::string ChangeItem(const char* key, const std::string& old_value, const std::string& new_value) {
  return LoadResString(key) + " " + LoadResString("umg_From") + ": " + old_value + " " + LoadResString("umg_To") +
         ": " + new_value;
}

void AppendItem(std::string& comment, const std::string& item) {
  if (!comment.empty()) comment += " ";
  comment += item;
}

void WarningBox(const std::string& text) {
  if (MsgDialogProc) MsgDialogProc(text, TMsgDlgType::mtWarning, mbOK, 0);
}

}  // namespace

bool TDY_UserManager::EditUser(int32_t id) { return AddOrEditUser(id); }

bool TDY_UserManager::AddOrEditUser(int32_t id) {
  if (!CreateEditUserDialog || groups_.empty()) return false;
  const int edited = id >= 0 ? IndexOfUserId(id) : -1;
  if (id >= 0 && edited < 0) return false;
  std::unique_ptr<TEditUserDialogPort> dialog = CreateEditUserDialog();
  std::vector<std::string> names;
  for (const auto& g : groups_) names.push_back(g->GroupName);
  const bool first_admin = id == -2;
  int selected = first_admin ? 0 : std::min<int>(1, static_cast<int>(names.size()) - 1);
  if (edited >= 0) {
    const int g = IndexOfGroupId(users_[static_cast<size_t>(edited)]->GroupID);
    if (g >= 0) selected = g;
  }
  dialog->SetGroups(names, selected);
  if (edited >= 0) dialog->SetUser(*users_[static_cast<size_t>(edited)]);
  if (first_admin) {
    dialog->SetGroupEnabled(false);
    dialog->SetCaption(LoadResString("umg_AddAdmin"));
  } else if (!HasRight(urIsAdmin)) {
    dialog->SetGroupEnabled(false);
    dialog->SetPersonalEnabled(false);
  }
  dialog->ClearModified();
  for (;;) {
    const int result = dialog->ShowModal();
    if (result == mrCancel) return false;
    if (result != mrOk) continue;
    if (!dialog->Modified()) return false;
    const std::string name = UserStoredForm(dialog->UserText());
    const std::string password = UserStoredForm(dialog->Password1());
    const std::string first = UserStoredForm(dialog->FirstName());
    const std::string sur = UserStoredForm(dialog->SurName());
    const bool same = password == UserStoredForm(dialog->Password2());
    const bool valid = IsValidPassword(name, password);
    const int holder = IndexOfUserName(name);
    const bool used = holder >= 0 && holder != edited;
    const int g = std::min<int>(std::max(0, dialog->SelectedGroup()), GroupCount() - 1);
    const int32_t group_id = groups_[static_cast<size_t>(g)]->GroupID;
    std::string caption;
    if (!same || !valid || name.empty() || sur.empty() || first.empty() || used) {
      if (name.empty()) caption = "umg_NoUser";
      if (used) caption = "umg_UserExists";
      if (sur.empty()) caption = "umg_NoSurName";
      if (first.empty()) caption = "umg_NoFirstName";
      if (password.empty()) caption = "umg_NoPassword";
      if (!same) caption = "umg_PasswdMismatch";
      if (!valid) caption = "umg_PasswdInvalid";
    } else if (edited >= 0 && AdminRemains(-1, 0, false, -1, 0) && !AdminRemains(edited, group_id, false, -1, 0)) {
      caption = "umg_AdminNeeded";  // nobody would be left to administer
    }
    if (!caption.empty()) {
      dialog->SetCaption("");
      dialog->Beep();
      dialog->SetCaption(LoadResString(caption));
      continue;
    }
    const std::string company = UserStoredForm(dialog->Company());
    const std::string email = UserStoredForm(dialog->Email());
    const bool has_certificate = dialog->HasCertificate();
    const std::string certificate = has_certificate ? dialog->CertificateText() : std::string();
    if (edited < 0) {
      TDY_User user;
      user.UserID = NextUserId();
      user.UserName = name;
      user.Password = password;
      user.FirstName = first;
      user.SurName = sur;
      user.Company = company;
      user.Email = email;
      user.GroupID = group_id;
      user.HasCertificate = has_certificate;
      user.Certificate = certificate;
      const std::string comment = LoadResString("umg_Group") + ": " + groups_[static_cast<size_t>(g)]->GroupName;
      GenerateKeysFor(user);
      AddUser(user);
      try {
        SaveUsers();
      } catch (...) {
        users_.pop_back();  // not stored: the list stays as the file has it
        throw;
      }
      AddAuditEvent(TDY_AuditEventKind::UserAdded, name, comment);
      return true;
    }
    TDY_User& user = *users_[static_cast<size_t>(edited)];
    const TDY_User before = user;
    std::string comment;
    auto take = [&](std::string& field, const std::string& value, const char* key) {
      if (field == value) return;
      if (key)
        AppendItem(comment, ChangeItem(key, field, value));
      else
        AppendItem(comment, LoadResString("umg_PasswdChanged"));
      field = value;
    };
    take(user.UserName, name, "umg_UserChanged");
    take(user.Password, password, nullptr);
    take(user.FirstName, first, "umg_FirstNameChanged");
    take(user.SurName, sur, "umg_SurNameChanged");
    take(user.Company, company, "umg_CompanyChanged");
    take(user.Email, email, "umg_EmailChanged");
    if (user.GroupID != group_id) {
      const int old_g = IndexOfGroupId(user.GroupID);
      AppendItem(comment, ChangeItem("umg_GroupChanged",
                                     old_g < 0 ? std::string() : groups_[static_cast<size_t>(old_g)]->GroupName,
                                     groups_[static_cast<size_t>(g)]->GroupName));
      user.GroupID = group_id;
    }
    // A certificate imported in the dialog is kept: dropping it would lose what the user chose.
    auto hex_only = [](const std::string& text) {
      std::string hex;
      for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
          hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return hex;
    };
    if (dialog->CertificateImported() &&
        (user.HasCertificate != has_certificate || hex_only(user.Certificate) != hex_only(certificate))) {
      AppendItem(comment, LoadResString("umg_CertChanged"));
      user.HasCertificate = has_certificate;
      user.Certificate = certificate;
    }
    bool stored = !comment.empty();
    if (user.RSAPrivateKey.empty()) {
      GenerateKeysFor(user);
      stored = true;
    }
    if (!stored) return false;
    try {
      SaveUsers();
    } catch (...) {
      user = before;  // not stored: the user stays as the file has it
      throw;
    }
    if (current_user_ == &user) SetCurrentUser(user.UserName);
    AddAuditEvent(TDY_AuditEventKind::UserChanged, name, comment);
    return true;
  }
}

void TDY_UserManager::AdminUsers() {
  if (!HasRight(urIsAdmin)) {
    if (current_user_) EditUser(current_user_->UserID);
    return;
  }
  if (!CreateAdminUserDialog) return;
  std::unique_ptr<TAdminListDialogPort> dialog = CreateAdminUserDialog();
  std::vector<std::string> names;
  for (const auto& u : users_) names.push_back(u->UserName);
  dialog->SetItems(names);
  for (;;) {
    const int result = dialog->ShowModal();
    const int selected = dialog->SelectedIndex();
    const bool has_selection = selected >= 0 && selected < UserCount();
    if ((result == mrOk || result == mrDeleteUser) && !has_selection) {
      dialog->Beep();
      dialog->SetCaption(LoadResString("umg_PlsSelectUser"));
      continue;
    }
    dialog.reset();  // the list closes before the next dialog opens
    if (result == mrOk)
      EditUser(users_[static_cast<size_t>(selected)]->UserID);
    else if (result == mrNewUser)
      EditUser(-1);
    else if (result == mrDeleteUser)
      DeleteUser(selected);
    else if (result == mrPrintUsers)
      PrintUsers();
    return;
  }
}

bool TDY_UserManager::DeleteUser(int index) {
  if (index < 0 || index >= UserCount()) return false;
  TDY_User* user = users_[static_cast<size_t>(index)].get();
  if (user == current_user_) {
    WarningBox(LoadResString("umg_ActionNotAllowed"));
    return false;
  }
  if (AdminRemains(-1, 0, false, -1, 0) && !AdminRemains(index, 0, true, -1, 0)) {
    WarningBox(LoadResString("umg_AdminNeeded"));
    return false;
  }
  if (!MsgDialogProc ||
      MsgDialogProc(LoadResString("umg_ConfirmDelUser"), TMsgDlgType::mtConfirmation, mbOKCancel, 0) != mrOk)
    return false;
  std::unique_ptr<TDY_User> removed = std::move(users_[static_cast<size_t>(index)]);
  users_.erase(users_.begin() + index);
  try {
    SaveUsers();
  } catch (...) {
    users_.insert(users_.begin() + index, std::move(removed));
    throw;
  }
  AddAuditEvent(TDY_AuditEventKind::UserDeleted, removed->UserName);
  return true;
}

void TDY_UserManager::AdminGroups() {
  if (!HasRight(urIsAdmin)) {
    WarningBox(LoadResString("umg_ActionNotAllowed"));
    return;
  }
  if (!CreateAdminGroupDialog) return;
  std::unique_ptr<TAdminListDialogPort> dialog = CreateAdminGroupDialog();
  std::vector<std::string> names;
  for (const auto& g : groups_) names.push_back(g->GroupName);
  dialog->SetItems(names);
  for (;;) {
    const int result = dialog->ShowModal();
    if (result != mrOk) return;
    const int selected = dialog->SelectedIndex();
    if (selected < 0 || selected >= GroupCount()) {
      dialog->Beep();
      dialog->SetCaption(LoadResString("umg_PlsSelectGroup"));
      continue;
    }
    dialog.reset();
    EditGroup(groups_[static_cast<size_t>(selected)]->GroupID);
    return;
  }
}

void TDY_UserManager::EditGroup(int32_t group_id) {
  const int index = IndexOfGroupId(group_id);
  if (index < 0 || !CreateEditGroupDialog) return;
  TDY_Group& group = *groups_[static_cast<size_t>(index)];
  std::unique_ptr<TEditGroupDialogPort> dialog = CreateEditGroupDialog();
  const bool admin_fixed = group.GroupID == 1;
  dialog->SetGroup(group.GroupID, group.GroupName, group.Rights, admin_fixed);
  for (;;) {
    const int result = dialog->ShowModal();
    if (result == mrCancel) return;
    if (result != mrOk) continue;
    if (!dialog->Modified()) return;
    uint16_t rights = static_cast<uint16_t>(dialog->Rights() & ((1u << UserRightCount) - 1));
    if (admin_fixed) rights |= 1u << urIsAdmin;
    if (AdminRemains(-1, 0, false, -1, 0) && !AdminRemains(-1, 0, false, index, rights)) {
      dialog->SetCaption("");
      dialog->Beep();
      dialog->SetCaption(LoadResString("umg_AdminNeeded"));
      continue;
    }
    const TDY_Group before = group;
    group.Rights = rights;
    group.GroupName = UserStoredForm(dialog->GroupName());
    try {
      SaveGroups();
    } catch (...) {
      group = before;
      throw;
    }
    AddAuditEvent(TDY_AuditEventKind::GroupChanged, group.GroupName);
    return;
  }
}

std::vector<TUserSheetPage> TDY_UserManager::UserSheetPages() const {
  constexpr size_t UsersPerPage = 12;
  std::vector<TUserSheetPage> pages;
  auto line = [](const char* key, const std::string& value) { return "\t" + LoadResString(key) + ": " + value; };
  for (size_t i = 0; i < users_.size() || pages.empty(); ++i) {
    if (i % UsersPerPage == 0) pages.push_back({"", "", ""});
    if (i >= users_.size()) break;
    const TDY_User& u = *users_[i];
    TUserSheetPage& page = pages.back();
    const int g = IndexOfGroupId(u.GroupID);
    page.push_back(line("D68_UserID", u.UserName));
    page.push_back(line("D68_Name", u.FirstName + " " + u.SurName));
    page.push_back(line("D68_Company", u.Company));
    page.push_back(line("D68_Email", u.Email));
    page.push_back(line("D68_UserGroup", g < 0 ? std::string() : groups_[static_cast<size_t>(g)]->GroupName));
    page.push_back("");
    page.push_back("");
  }
  return pages;
}

void TDY_UserManager::PrintUsers() {
  if (PrintUserSheet) PrintUserSheet(UserSheetPages());
}

}  // namespace qv
