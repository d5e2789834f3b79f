// The program's entry. Until the main window exists it prepares the home folder, sets the
// application globals the lower layers build their paths from, installs the serial port map and
// the port selection form, the message handler's dialogs, the progress window and the
// connection's port choice, and reports the globals.
#include <iostream>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/msg_handler_dialogs.h"
#include "comm/process_window_service.h"
#include "comm/qv_com_port.h"
#include "platform/os/home_folder.h"
#include "platform/rtl/exception.h"
#include "serial/com_select_form.h"
#include "shell/base_dev_dialogs.h"
#include "shell/d20_select_dlg.h"
#include "shell/process_window.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    const std::string home = qv::ResolveHomeFolder(args);
    qv::PrepareHomeFolder(home, qv::ShippedResourceFolder());
    qv::ExePath = home;
    qv::IniFileName = qv::ProgramIniFileName(home, "quarvel");
    qv::InstallComPortMap();
    qv::InstallComSelectForm();
    qv::InstallMsgHandlerDialogs();
    qv::InstallProcessWindowFactory();
    qv::InstallBaseDevDialogs();
    qv::CommSelectDlgProc = qv::StartD20SelectDlg;
    std::cout << "Quarvel2 V" << QV_VERSION_TEXT << "\n"
              << "Home folder: " << home << "\n"
              << "Settings: " << qv::IniFileName << "\n";
  } catch (const qv::Exception& e) {
    std::cerr << "quarvel: " << e.Message() << "\n";
    return 1;
  }
  return 0;
}
