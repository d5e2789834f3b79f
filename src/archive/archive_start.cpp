#include "archive/archive_start.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "archive/archive_globals.h"
#include "archive/dy_alarm_channel_list.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_signature.h"
#include "archive/dy_user_manager.h"
#include "archive/send_mail.h"
#include "base/app_globals.h"
#include "platform/rtl/exception.h"

namespace qv {

TDY_AuditManager* AuditTrail = nullptr;
TDY_AlarmChannelList* AlarmChannelList = nullptr;
TSendMail* MailSender = nullptr;

namespace {

void StartAlarmServices() {
  if (!MailSender) {
    MailSender = new TSendMail();
    MailSender->LoadSettings();
    SendMail = MailSender;
  }
  if (!AlarmChannelList) {
    AlarmChannelList = new TDY_AlarmChannelList();
    AlarmChannels = AlarmChannelList;
  }
}

void StopAlarmServices() {
  if (AlarmChannels == AlarmChannelList) AlarmChannels = nullptr;
  delete AlarmChannelList;
  AlarmChannelList = nullptr;
  if (SendMail == MailSender) SendMail = nullptr;
  delete MailSender;
  MailSender = nullptr;
}

}  // namespace

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
  StartAlarmServices();
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
  StopAlarmServices();
  if (!AuditTrail) return;
  InstallAuditService(nullptr);
  delete AuditTrail;
  AuditTrail = nullptr;
}

}  // namespace qv
