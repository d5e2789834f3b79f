// Writes PNGs of the logger main window: empty, after a memory read of a simulated logger with
// the logger's automatic monitor and with a plot of its channels, the protocol page and the
// automatic backup's page. Usage: mainwin_showcase OUTPUT_FOLDER [LOCALE]
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "comm/connection.h"
#include "datastore/dt_navigator.h"
#include "devices/db_shell.h"
#include "devices/tv10_modul.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "pty_logger.h"
#include "shell/ab_monitor.h"
#include "shell/autobac.h"
#include "shell/d72_sel_start_date_time.h"
#include "shell/program_start.h"
#include "shell/qv_main_fm.h"
#include "base/msg_handler.h"
#include "visual/auto_monitor.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_vo.h"
#include "visual/prot_monitor.h"

namespace qv {
namespace {

bool Save(TQVMainFm* w, const std::string& file) {
  Application->ProcessMessages();
  if (!SaveWindowImage(w, file)) {
    std::cerr << "cannot write " << file << "\n";
    return false;
  }
  std::cout << file << "\n";
  return true;
}

int Run(const std::string& out, const std::string& locale) {
  std::filesystem::create_directories(out);
  const std::string home = std::filesystem::temp_directory_path() / ("mainwin_showcase_" + std::to_string(::getpid()));
  std::filesystem::create_directories(home);
  sim::SimConfig sim;
  sim.SetKind(5);
  sim.id = 0x2345;
  sim.samples = 150;
  sim.interval = 10;
  sim::PtyLogger logger(sim);
  logger.Start();
  std::ofstream(home + "/quarvel.INI") << "[SerialPorts]\r\nCOM9=" << logger.SlavePath()
                                       << "\r\n[Connection]\r\nComNumber=9\r\n";
  SetMessageDlgAnswerer([](const std::string&, TMsgDlgType, TMsgDlgButtons buttons) {
    return static_cast<int>((buttons & mbYes) ? mrYes : (buttons & mbRetry) ? mrRetry : mrOk);
  });
  int failures = 0;
  {
    std::vector<std::string> args{"--home", home};
    if (!locale.empty()) args.push_back(locale);
    TProgram program(args, QV_RES_DIR);
    if (!program.Start()) return 1;
    TQVMainFm* w = program.MainForm();
    w->Show();
    w->SetWindowState(TWindowState::wsNormal);
    w->SetBounds(0, 0, 1000, 640);
    for (int i = 0; i < 5; ++i) Application->ProcessMessages(), Application->DoIdle();
    failures += !Save(w, out + "/main_window_empty.png");
    // Protocol logging on: its page opens and follows the log.
    MsgHandler->SetModes(MsgHandler->Modes() | ProtocolEnabled);

    // The start-date question of the memory read: everything.
    IdleTaskManager->AddTask(&failures, nullptr, [](TIdleTaskManager*, TTimer2*, bool&) {
      if (D72_SelStartDateTime && D72_SelStartDateTime->Modal() && D72_SelStartDateTime->ModalResult() == mrNone) {
        D72_SelStartDateTime->ReadAllData->SetChecked(true);
        D72_SelStartDateTime->OKBtn->Click();
      }
    });
    w->Item("IMenReadCfg")->Click();
    // The user picks the logger just read.
    if (w->DeviceComboB->Items().Count() > 0) {
      w->DeviceComboB->SetItemIndex(0);
      w->DeviceComboB->OnSelect(w->DeviceComboB);
    }
    w->Button("ReadMemButton")->Click();
    IdleTaskManager->RemoveTask(&failures, nullptr);
    auto* module =
        DbShell && DbShell->Root()->ChildCount() ? dynamic_cast<TTv10Modul*>(DbShell->Root()->GetChild(0)) : nullptr;
    if (!module) {
      std::cerr << "the logger was not read\n";
      return 1;
    }
    for (int i = 0; i < 30; ++i) {
      Application->ProcessMessages(), Application->DoIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The read switched to the logger, whose automatic pages were built.
    TMonitorBook* book = w->Book();
    const int auto_page = book->FirstPageOfGroup(TAutoMonitor::kGroup);
    if (auto_page < 0) {
      std::cerr << "no automatic monitor\n";
      return 1;
    }
    book->SetTabIndex(auto_page);
    w->Button("LastButton")->Click();
    for (int i = 0; i < 30; ++i) {
      Application->ProcessMessages(), Application->DoIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    failures += !Save(w, out + "/main_window_automon.png");
    int user_page = book->FirstPageOfGroup(100);
    if (user_page < 0) user_page = book->AddGroupMonitor(100, &DDTMonitorClass)->PageIndex;
    book->SetTabIndex(user_page);
    // The deferred update hands the page's buttons over.
    for (int i = 0; i < 30; ++i) {
      Application->ProcessMessages(), Application->DoIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    w->MonButton1->Click();
    auto* page = dynamic_cast<TDDTMonitor*>(w->Book()->GetSelMonMan());
    auto* plot = page && !page->DiagramList().empty() ? dynamic_cast<TDtPlotVO*>(page->DiagramList()[0]) : nullptr;
    if (!plot) {
      std::cerr << "no plot\n";
      return 1;
    }
    TTavra2GSubMod* sub = module->GetSubModul(1);
    for (int v = 0; v < sub->Channels()->ValueCount(); ++v)
      plot->AddGlobChan(sub->Data(), sub->Channels()->GetValueChannel(v));
    w->Button("LastButton")->Click();
    for (int i = 0; i < 30; ++i) {
      Application->ProcessMessages(), Application->DoIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    failures += !Save(w, out + "/main_window_plot.png");

    // The protocol page shows the newest lines of the protocol of the read.
    if (!ProtMonitor) {
      std::cerr << "no protocol monitor\n";
      return 1;
    }
    book->SetTabIndex(ProtMonitor->PageIndex);
    for (int i = 0; i < 10; ++i) Application->ProcessMessages(), Application->DoIdle();
    failures += !Save(w, out + "/main_window_protocol.png");
    // The automatic backup's page, switched on, after the data files just read were saved.
    {
      TIniFile2 ini(IniFileName);
      ini.WriteString("Autobac", "Ext", ".QVR.ini ");
      ini.WriteString("Autobac", "Destination", home + "/Backup/");
      ini.WriteInteger("Autobac", "ScanInt", 5);
    }
    if (Autobac) Autobac->SetEnabled(true);
    if (!AbMonitor) {
      std::cerr << "no backup page\n";
      return 1;
    }
    w->Book()->SetTabIndex(AbMonitor->PageIndex);
    AbMonitor->Scan();
    AbMonitor->CopyPass();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages(), Application->DoIdle();
    failures += !Save(w, out + "/main_window_autobackup.png");
  }
  SetMessageDlgAnswerer(nullptr);
  logger.Stop();
  std::filesystem::remove_all(home);
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: mainwin_showcase OUTPUT_FOLDER [LOCALE]\n";
    return 2;
  }
  qv::InitializeGui(argc, argv);
  return qv::Run(argv[1], argc > 2 ? argv[2] : "");
}
