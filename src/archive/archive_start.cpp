#include "archive/archive_start.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "archive/archive_globals.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_signature.h"
#include "archive/dy_user_manager.h"
#include "base/app_globals.h"
#include "platform/rtl/exception.h"

namespace qv {

TDY_AuditManager* AuditTrail = nullptr;

void StartArchiveServices() {
  ArchiveIniFile = ExePath + "Dossaly.ini";
  ArchiveDataPath = ExePath + "Dossaly/";
  UsersFile = ArchiveDataPath + "Users.dat";
  if (::mkdir(ArchiveDataPath.c_str(), 0755) != 0 && errno != EEXIST)
    throw EInOutError("Cannot create " + ArchiveDataPath + ": " + std::strerror(errno), errno);
  // A signature is checked against the key its signer has in the users file.
  SignerStoredPublicKey = [](const std::string& user_name) {
    std::string key;
    if (UserManager && UserManager->FindUserPublicKey(user_name, key)) return key;
    return std::string();
  };
  if (AuditTrail) return;
  auto* trail = new TDY_AuditManager();
  try {
    InstallAuditService(trail);
  } catch (...) {
    delete trail;
    throw;
  }
  AuditTrail = trail;
}

void StopArchiveServices() {
  SignerStoredPublicKey = nullptr;
  if (!AuditTrail) return;
  InstallAuditService(nullptr);
  delete AuditTrail;
  AuditTrail = nullptr;
}

}  // namespace qv
