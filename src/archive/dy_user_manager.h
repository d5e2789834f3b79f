#pragma once
// The archive's users and groups: "Users.dat" (an INI file whose sections hold the enciphered
// parameters of one group or user), the first administrator, log-on and log-off, the rights of
// the current user and their effect on the commands of both windows. The dialogs are reached
// through small ports that the program installs, so this model links no GUI.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"

namespace qv {

class TAS_RSACryptography;
class TAS_PrimeGenerator;

QV_DECLARE_EXCEPTION(EUsersFileError, Exception);

inline constexpr int UserRightCount = 14;
// The rights in bit order.
enum TDY_UserRight : int {
  urIsAdmin,
  urCreateDocument,
  urCreateDocumentType,
  urSignDocument,
  urEditDocument,
  urSaveDocument,
  urSaveDocumentAs,
  urPageSetup,
  urEditDiagram,
  urOptionsProtocol,
  urOptionsAutoMon,
  urEditDevice,
  urReadData,
  urShowAuditLog
};

// The key of a right in "Users.dat"; "*** UNKNOWN ACTION ***" (with an error box) outside 0 to 13.
std::string UserAction2Param(int right);
// The translation key shown in the group editor; "ua_UnKnown" (with an error box) outside 0 to 13.
std::string UserAction2String(int right);

// Texts are kept in the form "Users.dat" stores them (Windows-1252 and back), so what is
// compared after a restart is what was compared before.
std::string UserStoredForm(const std::string& text);

struct TDY_User {
  int32_t UserID = 0;
  std::string UserName;
  std::string Password;
  std::string FirstName, SurName, Company, Email;
  std::string UserInfo;
  int32_t GroupID = 0;
  std::string Certificate;
  std::string RSAPrivateKey, RSAPublicKey;
  bool HasCertificate = false;
};

struct TDY_Group {
  int32_t GroupID = 0;
  std::string GroupName;
  uint16_t Rights = 0;  // bit n = right n
  bool Has(int right) const { return right >= 0 && right < UserRightCount && (Rights >> right) & 1; }
};

// The plain text of a group's or a user's Params before enciphering, and back. Parsing raises
// EConvertError for an id that is not a whole number.
std::string GroupParamsText(const TDY_Group& group);
std::string UserParamsText(const TDY_User& user);
TDY_Group ParseGroupParams(const std::string& text);
TDY_User ParseUserParams(const std::string& text);

// The log-on dialog as the log-on drives it.
class TLogonDialogPort {
public:
  virtual ~TLogonDialogPort() = default;
  virtual void SetUserName(const std::string& name) = 0;
  virtual std::string UserText() const = 0;
  virtual std::string PasswordText() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetUserEditEnabled(bool enabled) = 0;
  // Selects the edit's text and makes it first in the tab order.
  virtual void SelectUserEdit() = 0;
  virtual void SelectPasswordEdit() = 0;
  virtual void Beep() = 0;
  virtual int ShowModal() = 0;
};

// The user dialog as adding a user drives it.
class TEditUserDialogPort {
public:
  virtual ~TEditUserDialogPort() = default;
  // Group names in list order; the selected index.
  virtual void SetGroups(const std::vector<std::string>& names, int selected) = 0;
  virtual int SelectedGroup() const = 0;
  virtual void SetGroupEnabled(bool enabled) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string UserText() const = 0;
  virtual std::string Password1() const = 0;
  virtual std::string Password2() const = 0;
  virtual std::string FirstName() const = 0;
  virtual std::string SurName() const = 0;
  virtual std::string Company() const = 0;
  virtual std::string Email() const = 0;
  // Set by every change of an edit or the group; cleared when prepared.
  virtual bool Modified() const = 0;
  virtual void Beep() = 0;
  virtual int ShowModal() = 0;
  // Editing a stored user: the edits, the hidden id and the certificate (the box ticked when the
  // user has one).
  virtual void SetUser(const TDY_User& /*user*/) {}
  // The name, personal data and group; off when a user without the administration right edits
  // himself, so that only the password can change.
  virtual void SetPersonalEnabled(bool /*enabled*/) {}
  virtual void ClearModified() {}
  virtual bool HasCertificate() const { return false; }
  // The certificate as its hexadecimal DER text lines; empty without one.
  virtual std::string CertificateText() const { return std::string(); }
  // A certificate was imported in the dialog; otherwise an edited user keeps his stored one, also
  // one the dialog could not read.
  virtual bool CertificateImported() const { return false; }
};

// The user list (results: edit mrOk, new 6, delete 9, print 10) or the group list (edit mrOk).
class TAdminListDialogPort {
public:
  virtual ~TAdminListDialogPort() = default;
  virtual void SetItems(const std::vector<std::string>& names) = 0;
  // -1 without a selection.
  virtual int SelectedIndex() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Beep() = 0;
  virtual int ShowModal() = 0;
};
inline constexpr int mrNewUser = 6;
inline constexpr int mrDeleteUser = 9;
inline constexpr int mrPrintUsers = 10;

// The group dialog: id, name and the rights, one tick per right in bit order.
class TEditGroupDialogPort {
public:
  virtual ~TEditGroupDialogPort() = default;
  // admin_fixed: the administration right cannot be unticked (the first group keeps it).
  virtual void SetGroup(int32_t id, const std::string& name, uint16_t rights, bool admin_fixed) = 0;
  virtual std::string GroupName() const = 0;
  virtual uint16_t Rights() const = 0;
  virtual bool Modified() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Beep() = 0;
  virtual int ShowModal() = 0;
};

// One printed page of the user sheet: its lines.
using TUserSheetPage = std::vector<std::string>;

// What the program installs; without them log-on and adding users show nothing and fail.
extern std::function<std::unique_ptr<TLogonDialogPort>()> CreateLogonDialog;
extern std::function<std::unique_ptr<TEditUserDialogPort>()> CreateEditUserDialog;
extern std::function<std::unique_ptr<TAdminListDialogPort>()> CreateAdminUserDialog;
extern std::function<std::unique_ptr<TAdminListDialogPort>()> CreateAdminGroupDialog;
extern std::function<std::unique_ptr<TEditGroupDialogPort>()> CreateEditGroupDialog;
// Asks with the print dialog and prints each page as its own job "Dossaly_Users-" + number.
extern std::function<void(const std::vector<TUserSheetPage>& pages)> PrintUserSheet;
// Runs the key generation under the progress window with the given text; without it the work
// runs at once.
extern std::function<void(const std::string& text, const std::function<void()>& work)> RunUnderProgress;
// Sets the Enabled state of a named command of a window (archive actions, logger window items);
// a name nothing answers to changes nothing.
extern std::function<void(const std::string& item, bool enabled)> SetCommandEnabled;
// Ends the program (first start without an administrator).
extern std::function<void()> TerminateProgram;
// The log-on name of the system's user; empty when there is none.
extern std::function<std::string()> SystemUserName;

class TDY_UserManager {
public:
  // Reads file_name (UsersFile when empty) when it exists. A file that cannot be read, or that
  // holds no user list, is refused with an error box naming it and the reason: no user can log
  // on, and the file is never written. A damaged section is reported and skipped; the rest loads,
  // and the file is then kept as it is (saves are refused) so nothing of it is lost.
  explicit TDY_UserManager(const std::string& file_name = std::string());
  ~TDY_UserManager();
  TDY_UserManager(const TDY_UserManager&) = delete;
  TDY_UserManager& operator=(const TDY_UserManager&) = delete;

  // Made without a file name, the manager follows UsersFile, so a changed data folder takes
  // effect at the next read or write.
  std::string FileName() const;
  bool Loaded() const { return loaded_; }
  // The file exists but could not be taken whole.
  bool Refused() const { return refused_; }
  bool Damaged() const { return damaged_; }

  void EnsureAdministrator();
  bool Logon(bool reauthenticate);
  void Logoff();
  bool HasRight(int right) const;
  void ApplyRights(bool document_open);

  std::string CurrentUserName() const;
  std::string CurrentUserCertificate() const;
  std::string CurrentUserPrivateKey() const;
  std::string CurrentUserPublicKey() const;
  int32_t CurrentUserId() const;
  const TDY_User* CurrentUser() const { return current_user_; }
  const TDY_Group* CurrentGroup() const { return current_group_; }

  std::string UserNameOfId(int32_t id) const;
  int IndexOfUserName(const std::string& name) const;
  int IndexOfUserId(int32_t id) const;
  int IndexOfGroupId(int32_t id) const;
  bool CheckPassword(const std::string& name, const std::string& password) const;
  void SetCurrentUser(const std::string& name);
  int32_t NextUserId();
  int WindowsUserIndex(std::string& name) const;
  // The stored public key text of the user of that name; false when no user has the name.
  bool FindUserPublicKey(const std::string& name, std::string& public_key) const;

  // Each rewrites the file at once; raises EUsersFileError (naming the file and the reason) when
  // the file was refused or is damaged, or when it cannot be written.
  void SaveGroups();
  void SaveUsers();
  void GenerateKeysFor(TDY_User& user);
  // Id >= 0 edits that user, -1 adds a user, -2 the first administrator; answers whether
  // something was stored.
  bool EditUser(int32_t id);
  // The user administration; without the administration right the current user edits himself.
  void AdminUsers();
  // Removes the user after the confirmation; refused (with a warning box) for the current user
  // and for the last user who holds the administration right. Answers whether it was removed.
  bool DeleteUser(int index);
  void AdminGroups();
  void EditGroup(int32_t group_id);
  void PrintUsers();
  // The user sheet: 12 users a page.
  std::vector<TUserSheetPage> UserSheetPages() const;
  // Whether some user still holds the administration right when the user at user_index moves to
  // group new_group_id (removed when remove_user) and the group at group_index gets new_rights.
  // -1 leaves the user or the group unchanged.
  bool AdminRemains(int user_index, int32_t new_group_id, bool remove_user, int group_index, uint16_t new_rights) const;

  int UserCount() const { return static_cast<int>(users_.size()); }
  int GroupCount() const { return static_cast<int>(groups_.size()); }
  TDY_User& User(int index) { return *users_.at(static_cast<size_t>(index)); }
  TDY_Group& Group(int index) { return *groups_.at(static_cast<size_t>(index)); }
  void AddGroup(const TDY_Group& group) { groups_.push_back(std::make_unique<TDY_Group>(group)); }
  void AddUser(const TDY_User& user) { users_.push_back(std::make_unique<TDY_User>(user)); }
  void AddDefaultGroups();
  int32_t MaxUserID() const { return max_user_id_; }
  void SetMaxUserID(int32_t value) { max_user_id_ = value; }

private:
  void Load();
  void CheckWritable() const;
  bool AddOrEditUser(int32_t id);
  void SetAuditUser();

  std::string file_name_;
  bool follows_users_file_ = false;
  std::vector<std::unique_ptr<TDY_User>> users_;
  std::vector<std::unique_ptr<TDY_Group>> groups_;
  TDY_User* current_user_ = nullptr;
  TDY_Group* current_group_ = nullptr;
  std::unique_ptr<TAS_PrimeGenerator> prime_generator_;
  std::unique_ptr<TAS_RSACryptography> rsa_;
  bool loaded_ = false;
  bool refused_ = false;
  bool damaged_ = false;
  std::string refuse_reason_;
  TDY_User* key_user_ = nullptr;
  int32_t max_user_id_ = 0;
};

// The archive's user manager; null until the archive starts.
extern TDY_UserManager* UserManager;

}  // namespace qv
