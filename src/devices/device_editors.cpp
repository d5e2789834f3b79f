#include "devices/device_editors.h"

#include "devices/device_frame.h"

namespace qv {

void InstallDeviceEditors() {
  SetDevEditorCreator([](TWinControl* parent) { return TExplEditor::Create<TDeviceEditor>(parent); });
}

}  // namespace qv
