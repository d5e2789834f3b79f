#include "platform/os/os_random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "platform/rtl/exception.h"

namespace qv {

void FillOsRandom(void* buf, size_t len) {
  auto* p = static_cast<unsigned char*>(buf);
  while (len > 0) {
    ssize_t got = getrandom(p, len, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw Exception(std::string("getrandom failed: ") + std::strerror(errno));
    }
    p += got;
    len -= static_cast<size_t>(got);
  }
}

}  // namespace qv
