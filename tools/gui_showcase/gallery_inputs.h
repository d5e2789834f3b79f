#pragma once
#include "platform/gui/forms.h"

namespace qv {
// Adds a page of the input controls (edits, spin edits, combo and list boxes, check lists, radio
// buttons and groups) in their states at the bottom of the form, which grows to hold it.
void BuildInputsGallery(TForm* form);
}  // namespace qv
