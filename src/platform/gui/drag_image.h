#pragma once
// The drag image of a bar dragged without live resizing (splitters, size panels). The desktop
// offers no drawing over the whole screen, so the image is a checker pattern that inverts every
// other pixel, shown on top of the control's top-level window. Showing the same rectangle again
// removes it, as drawing an inverted image twice does.
#include <vector>

#include "platform/gui/controls.h"

namespace qv {

void ToggleDragImage(TControl* control, const TRect& client_rect);
// The drag images over the control's top-level window, in the control's client coordinates.
std::vector<TRect> DragImages(const TControl* control);

}  // namespace qv
