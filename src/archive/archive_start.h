#pragma once
// The archive's part of the program start: its settings and data folder below the program's home
// folder, and the audit trail, which from then on records every event of the lower layers.
namespace qv {

class TDY_AlarmChannelList;
class TDY_AuditManager;
class TSendMail;

// The audit trail, null before the start and after the end.
extern TDY_AuditManager* AuditTrail;
// The alarm list and the alarm mail sender that the read-out and the recorder reach, null
// before the start and after the end.
extern TDY_AlarmChannelList* AlarmChannelList;
extern TSendMail* MailSender;

// Sets the archive's files below ExePath, creates the data folder when missing, creates the
// audit trail and installs it, handing it the events recorded before. Raises when the folder
// cannot be created or a kept event cannot be written; the events then stay kept in memory.
// Then puts the alarm list and the mail sender, with the stored e-mail settings, in service.
void StartArchiveServices();
// Removes the alarm list, the mail sender (after its queued mails) and the audit trail from
// service and frees them.
void StopArchiveServices();

}  // namespace qv
