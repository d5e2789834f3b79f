#include "devices/app_hooks.h"

#include "devices/dev_editor.h"
#include "devices/visual_hooks.h"

namespace qv {

TSelectDlgProc SelectDlgProc;
std::function<bool()> RecorderConfirmStop;
TMonitorBookService* MonitorBook = nullptr;
TAutoMonitorService* AutoMonitor = nullptr;

namespace {
TDevEditorCreator dev_editor_creator;  // installed by the editor dialogs; main thread only
}

int RunSelectDlg(const std::string& caption, const std::string& text1, const std::string& text2, uint8_t style,
                 TStringList& list, int32_t& index) {
  return SelectDlgProc ? SelectDlgProc(caption, text1, text2, style, list, index) : 2;
}

void SetDevEditorCreator(TDevEditorCreator creator) { dev_editor_creator = std::move(creator); }
const TDevEditorCreator& DevEditorCreator() { return dev_editor_creator; }

}  // namespace qv
