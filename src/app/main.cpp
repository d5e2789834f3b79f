// The program's entry. Until the main window exists it prepares the home folder and reports it.
#include <iostream>
#include <string>
#include <vector>

#include "platform/os/home_folder.h"
#include "platform/rtl/exception.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    const std::string home = qv::ResolveHomeFolder(args);
    qv::PrepareHomeFolder(home, qv::ShippedResourceFolder());
    std::cout << "Quarvel2 V" << QV_VERSION_TEXT << "\n" << "Home folder: " << home << "\n";
  } catch (const qv::Exception& e) {
    std::cerr << "quarvel: " << e.Message() << "\n";
    return 1;
  }
  return 0;
}
