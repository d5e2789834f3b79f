#pragma once
// The channel choice of the archive's data import: the global-channel dialog of the logger side,
// captioned for the archive and without the move buttons. Installed as SelectChannelsDialog.
#include "datastore/data.h"

namespace qv {

class TD41_SetupGlChans;

// Captions the dialog for the archive and hides its move buttons.
void SetUpSelectChannelsDialog(TD41_SetupGlChans& dialog);

// Shows the dialog modal on cells, which it edits in place; true on OK. False at once when the
// dialog is open already.
bool SelectChannelsWithDialog(TChanSelList& cells);

}  // namespace qv
