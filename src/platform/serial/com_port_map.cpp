#include "platform/serial/com_port_map.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace qv {

namespace {

// Guards the hook; the hook itself runs outside the lock so that it may take its own locks.
std::mutex& HookMutex() {
  static std::mutex m;
  return m;
}

TComPortMapHook& Hook() {
  static TComPortMapHook hook;
  return hook;
}

}  // namespace

void SetComPortMapHook(TComPortMapHook hook) {
  std::lock_guard<std::mutex> lock(HookMutex());
  Hook() = std::move(hook);
}

std::string ComPortDeviceName(int n) {
  TComPortMapHook hook;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    hook = Hook();
  }
  if (hook && n > 0) {
    std::string mapped = hook(n);
    if (!mapped.empty()) return mapped;
  }
  if (n >= 1 && n <= 99) return "/dev/ttyUSB" + std::to_string(n - 1);
  if (n >= 101 && n <= 199) return "/dev/ttyACM" + std::to_string(n - 101);
  if (n >= 201 && n <= 255) return "/dev/ttyS" + std::to_string(n - 201);
  return "";
}

bool ComPortExists(int n) {
  std::string path = ComPortDeviceName(n);
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::vector<int> ExistingComPorts() {
  std::vector<int> ports;
  for (int n = 1; n <= 255; ++n)
    if (ComPortExists(n)) ports.push_back(n);
  return ports;
}

bool ComPortAvailable(int n) {
  std::string path = ComPortDeviceName(n);
  if (path.empty()) return false;
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  return errno == EBUSY || errno == EACCES || errno == EPERM;
}

}  // namespace qv
