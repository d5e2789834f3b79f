#include "devices/app_hooks.h"

#include <map>

#include "devices/dev_editor.h"
#include "devices/tv10_sub_mod_ed0.h"
#include "devices/visual_hooks.h"

namespace qv {

std::function<bool()> RecorderConfirmStop;
TMonitorBookService* MonitorBook = nullptr;
TAutoMonitorService* AutoMonitor = nullptr;

namespace {
// Installed by the editor dialogs; main thread only.
TDevEditorCreator dev_editor_creator;
std::map<std::string, TDevEditorCreator> editor_classes;
TChangeSensorsDlgProc change_sensors_dlg;
}  // namespace

void SetDevEditorCreator(TDevEditorCreator creator) { dev_editor_creator = std::move(creator); }
const TDevEditorCreator& DevEditorCreator() { return dev_editor_creator; }

void RegisterDevEditorClass(const std::string& name, TDevEditorCreator creator) {
  if (creator)
    editor_classes[name] = std::move(creator);
  else
    editor_classes.erase(name);
}

TDevEditorCreator FindDevEditorClass(const std::string& name) {
  const auto it = editor_classes.find(name);
  return it == editor_classes.end() ? TDevEditorCreator() : it->second;
}

void SetChangeSensorsDlgProc(TChangeSensorsDlgProc proc) { change_sensors_dlg = std::move(proc); }
const TChangeSensorsDlgProc& ChangeSensorsDlgProc() { return change_sensors_dlg; }

}  // namespace qv
