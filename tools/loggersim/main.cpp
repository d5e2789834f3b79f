// loggersim: a simulated logger of kind 5, 6 or 7 on a pseudo-terminal. Prints the slave path
// on the first line of its output and answers the program's telegrams until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "pty_logger.h"

namespace {

const char kUsage[] =
    "usage: loggersim [--config FILE] [--key value ...]\n"
    "  --kind 5|6|7  --id N  --ee N  --baud N|line  --mode paced|burst  --clock \"YYYY-MM-DD HH:MM:SS\"\n"
    "  --board N  --slot1 TYPE[,MIN,MAX] ... --slot4  --image FILE (configuration image)  --sample SEC (sample "
    "interval)\n"
    "  memory: --channels N  --start TIME  --interval MIN  --kinds BITS(4 min,2 max,1 avg)\n"
    "          --samples N  --gap AFTER:SKIP\n"
    "  current values: --current SLOT:MIN,MAX,AVG (raw words)\n"
    "  faults: --silent  --wake-after N  --late MS  --late-wake MS  --refuse CMD[:N]\n"
    "          --bad-sum FRAME  --bad-crc cfg|BLOCK[:COPIES]  --truncate cfg|BLOCK[:COPIES]\n"
    "          --type-code N  --answer-ee N  --image-id N  --block-count N  --final-nack [N]\n"
    "          --bad-clear-ack  --bad-header K:crc|K:interval:V|K:pcb:V  --ff-padding\n"
    "  --trace  print every request on standard error\n"
    "The program reaches the logger through [SerialPorts] COMn=<printed path> in its INI file.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool trace = false;
  std::vector<std::string> settings;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--trace")
      trace = true;
    else
      settings.push_back(a);
  }
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  // Blocked before the logger's thread starts, so only sigwait below sees them.
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  try {
    qv::sim::SimConfig config;
    config.ParseArgs(settings);
    qv::sim::PtyLogger logger(config);
    if (trace) logger.SetTrace([](const std::string& r) { std::cerr << "loggersim: <- \"" << r << "\"\n"; });
    logger.Start();
    std::cout << logger.SlavePath() << std::endl;
    std::cerr << "loggersim: kind " << config.kind << ", Kennung " << config.id << ", EE version " << config.ee
              << " on " << logger.SlavePath() << " (add COMn=" << logger.SlavePath()
              << " to [SerialPorts] of the program's INI file)\n";
    int sig = 0;
    sigwait(&stop_signals, &sig);
    logger.Stop();
    const auto violations = logger.Violations();
    for (const std::string& v : violations) std::cerr << "loggersim: violation: " << v << "\n";
    return violations.empty() ? 0 : 3;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n" << kUsage;
    return 2;
  }
}
