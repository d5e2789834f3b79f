#pragma once
// The archive's part of the program start: its settings and data folder below the program's home
// folder, and the audit trail, which from then on records every event of the lower layers.
namespace qv {

class TDY_AuditManager;

// The audit trail, null before the start and after the end.
extern TDY_AuditManager* AuditTrail;

// Sets the archive's files below ExePath, creates the data folder when missing, creates the
// audit trail and installs it, handing it the events recorded before. Raises when the folder
// cannot be created or a kept event cannot be written; the events then stay kept in memory.
void StartArchiveServices();
// Removes the audit trail from service and frees it.
void StopArchiveServices();

}  // namespace qv
