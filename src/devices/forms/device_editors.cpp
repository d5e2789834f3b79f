#include "devices/forms/device_editors.h"

#include "devices/forms/d38_tv10_edit_sens.h"
#include "devices/forms/device_frame.h"
#include "devices/forms/tv10_mod_editor.h"
#include "devices/forms/tv10_sub_mod_ed.h"

namespace qv {

void InstallDeviceEditors() {
  SetDevEditorCreator([](TWinControl* parent) { return TExplEditor::Create<TDeviceEditor>(parent); });
  SetChangeSensorsDlgProc(RunChangeSensorsDialog);
  RegisterDevEditorClass("TTv10ModEditor",
                         [](TWinControl* parent) { return TExplEditor::Create<TTv10ModEditor>(parent); });
  RegisterDevEditorClass("TTv10SubModEd",
                         [](TWinControl* parent) { return TExplEditor::Create<TTv10SubModEd>(parent); });
}

}  // namespace qv
