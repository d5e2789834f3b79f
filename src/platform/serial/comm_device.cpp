#include "platform/serial/comm_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qv {

namespace {

struct SpeedRow {
  uint32_t baud;
  speed_t code;
};

constexpr SpeedRow kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(uint32_t baud, speed_t& code) {
  for (const auto& row : kSpeeds)
    if (row.baud == baud) {
      code = row.code;
      return true;
    }
  return false;
}

uint32_t SpeedBaud(speed_t code) {
  for (const auto& row : kSpeeds)
    if (row.code == code) return row.baud;
  return 0;
}

// A pseudo-terminal has no modem lines; switching or reading them is not an error there.
bool NoModemLines(int e) { return e == ENOTTY || e == EINVAL; }

}  // namespace

int CommErrorFromErrno(int e) {
  switch (e) {
    case EBUSY:
    case EWOULDBLOCK:  // the refused lock
      return kErrorAccessDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO: return kErrorNotFound;
    case EIO: return kErrorGeneralFailure;
    default: return e;
  }
}

// The wake-up descriptors live as long as the object: the port's threads wake each other at any
// moment, also while the device is being closed, and a descriptor closed under them would let a
// wake-up land in whatever file takes its number next.
TCommDevice::TCommDevice() {
  for (int& w : wake_fd_) w = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

TCommDevice::~TCommDevice() {
  Close();
  for (int& w : wake_fd_)
    if (w >= 0) close(w), w = -1;
}

int TCommDevice::Open(const std::string& path) {
  if (fd_ >= 0) return kErrorAccessDenied;
  if (path.empty()) return kErrorNotFound;
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return CommErrorFromErrno(errno);
  if (!isatty(fd)) {
    close(fd);
    return kErrorNotFound;
  }
  // TIOCEXCL does not hold against a privileged process, the lock does.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    close(fd);
    return CommErrorFromErrno(e == EWOULDBLOCK ? EBUSY : e);
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    int e = errno;
    close(fd);
    return CommErrorFromErrno(e);
  }
  if (wake_fd_[0] < 0 || wake_fd_[1] < 0) {
    ioctl(fd, TIOCNXCL);
    close(fd);
    return CommErrorFromErrno(EMFILE);  // the object could get no wake-up descriptors
  }
  // Wake-ups left from the last session mean nothing to this one.
  for (int w : wake_fd_) {
    uint64_t v;
    while (read(w, &v, sizeof v) > 0) {
    }
  }
  // Raw from the start, whatever the line settings become: no echo, no line editing, no
  // translation of bytes, reads that return at once.
  termios t;
  if (tcgetattr(fd, &t) == 0) {
    speed_t speed = cfgetospeed(&t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
  }
  fd_ = fd;
  counters_valid_ = false;
  counters_supported_ = lines_supported_ = true;
  state_set_ = false;
  dcb_ = TDcb{};
  return 0;
}

int TCommDevice::Close() {
  if (fd_ < 0) return 0;
  // A pseudo-terminal keeps the exclusive flag after the close while its master stays open.
  ioctl(fd_, TIOCNXCL);
  int result = close(fd_) == 0 ? 0 : CommErrorFromErrno(errno);
  fd_ = -1;
  {
    std::lock_guard<std::mutex> lock(rx_mutex_);
    rx_queue_.Clear();
  }
  return result;
}

int TCommDevice::GetState(TDcb& dcb) const {
  if (fd_ < 0) return EBADF;
  termios t;
  if (tcgetattr(fd_, &t) != 0) return CommErrorFromErrno(errno);
  if (state_set_) {
    // What was set, also where the driver quietly keeps its own (a pseudo-terminal always has
    // eight bits without parity).
    dcb = dcb_;
    return 0;
  }
  dcb = dcb_;
  dcb.BaudRate = SpeedBaud(cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  if (!(t.c_cflag & PARENB))
    dcb.Parity = NOPARITY;
  else if (t.c_cflag & CMSPAR)
    dcb.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  else
    dcb.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  if (t.c_cflag & CSTOPB)
    dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  else
    dcb.StopBits = ONESTOPBIT;
  dcb.OutX = (t.c_iflag & IXON) != 0;
  dcb.InX = (t.c_iflag & IXOFF) != 0;
  dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  return 0;
}

int TCommDevice::SetState(const TDcb& dcb) {
  if (fd_ < 0) return EBADF;
  speed_t speed;
  if (!SpeedCode(dcb.BaudRate, speed)) return EINVAL;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS) return EINVAL;
  termios t;
  if (tcgetattr(fd_, &t) != 0) return CommErrorFromErrno(errno);
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: t.c_cflag |= PARENB; break;
    case MARKPARITY: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  // With five data bits the UART sends one and a half stop bits for CSTOPB.
  if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
  // RTS/CTS is one setting in termios and works both ways.
  if (dcb.OutxCtsFlow || dcb.RtsControl == LINE_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (dcb.OutX) t.c_iflag |= IXON;
  if (dcb.InX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  if (tcsetattr(fd_, TCSANOW, &t) != 0) return CommErrorFromErrno(errno);
  dcb_ = dcb;
  state_set_ = true;
  if (dcb.DtrControl != LINE_CONTROL_HANDSHAKE) {
    int r = Escape(dcb.DtrControl == LINE_CONTROL_ENABLE ? SETDTR : CLRDTR);
    if (r != 0) return r;
  }
  if (dcb.RtsControl != LINE_CONTROL_HANDSHAKE) {
    int r = Escape(dcb.RtsControl == LINE_CONTROL_ENABLE ? SETRTS : CLRRTS);
    if (r != 0) return r;
  }
  return 0;
}

int TCommDevice::SetupQueues(uint32_t in_size, uint32_t out_size) {
  if (fd_ < 0) return EBADF;
  std::lock_guard<std::mutex> lock(rx_mutex_);
  in_queue_size_ = in_size;
  out_queue_size_ = out_size;
  if (rx_queue_.Empty()) ResizeQueueLocked();
  return 0;
}

int TCommDevice::Purge(uint32_t flags) {
  if (fd_ < 0) return EBADF;
  bool tx = flags & (PURGE_TXABORT | PURGE_TXCLEAR), rx = flags & (PURGE_RXABORT | PURGE_RXCLEAR);
  if (!tx && !rx) return 0;
  int queue = tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH;
  if (rx) {
    std::lock_guard<std::mutex> lock(rx_mutex_);
    rx_queue_.Clear();
    if (rx_queue_.Capacity() != in_queue_size_) ResizeQueueLocked();
  }
  return tcflush(fd_, queue) == 0 ? 0 : CommErrorFromErrno(errno);
}

uint32_t TCommDevice::GetStatus(uint32_t* in_queue, uint32_t* out_queue) {
  // The receiving thread asks before every read: only what is wanted, and the error counters
  // only from a driver that has them.
  int in = 0, out = 0;
  if (fd_ >= 0) {
    if (in_queue && ioctl(fd_, FIONREAD, &in) != 0) in = 0;
    if (out_queue && ioctl(fd_, TIOCOUTQ, &out) != 0) out = 0;
  }
  if (in_queue) *in_queue = static_cast<uint32_t>(in) + QueuedBytes();
  if (out_queue) *out_queue = static_cast<uint32_t>(out);
  uint32_t errors = 0;
  serial_icounter_struct c{};
  if (fd_ >= 0 && counters_supported_ && ioctl(fd_, TIOCGICOUNT, &c) == 0) {
    if (counters_valid_) {
      if (c.buf_overrun != last_buf_overrun_) errors |= CE_RXOVER;
      if (c.overrun != last_overrun_) errors |= CE_OVERRUN;
      if (c.parity != last_parity_) errors |= CE_RXPARITY;
      if (c.frame != last_frame_) errors |= CE_FRAME;
      if (c.brk != last_brk_) errors |= CE_BREAK;
    }
    last_buf_overrun_ = c.buf_overrun;
    last_overrun_ = c.overrun;
    last_parity_ = c.parity;
    last_frame_ = c.frame;
    last_brk_ = c.brk;
    counters_valid_ = true;
  } else if (fd_ >= 0 && counters_supported_ && NoModemLines(errno)) {
    counters_supported_ = false;
  }
  return errors;
}

int TCommDevice::GetModemStatus(uint32_t& status) {
  status = 0;
  if (fd_ < 0) return EBADF;
  if (!lines_supported_) return 0;
  int lines = 0;
  if (ioctl(fd_, TIOCMGET, &lines) != 0) {
    if (!NoModemLines(errno)) return CommErrorFromErrno(errno);
    lines_supported_ = false;  // asked on every dispatch pass: do not ask again
    return 0;
  }
  if (lines & TIOCM_CTS) status |= MS_CTS_ON;
  if (lines & TIOCM_DSR) status |= MS_DSR_ON;
  if (lines & TIOCM_RI) status |= MS_RING_ON;
  if (lines & TIOCM_CD) status |= MS_RLSD_ON;
  return 0;
}

int TCommDevice::Escape(int function) {
  if (fd_ < 0) return EBADF;
  int bits = 0;
  unsigned long request = 0;
  switch (function) {
    case SETDTR: bits = TIOCM_DTR, request = TIOCMBIS; break;
    case CLRDTR: bits = TIOCM_DTR, request = TIOCMBIC; break;
    case SETRTS: bits = TIOCM_RTS, request = TIOCMBIS; break;
    case CLRRTS: bits = TIOCM_RTS, request = TIOCMBIC; break;
    case SETBREAK: request = TIOCSBRK; break;
    case CLRBREAK: request = TIOCCBRK; break;
    default: return EINVAL;
  }
  int r = bits ? ioctl(fd_, request, &bits) : ioctl(fd_, request);
  if (r != 0 && !NoModemLines(errno)) return CommErrorFromErrno(errno);
  return 0;
}

int TCommDevice::Drain() {
  if (fd_ < 0) return EBADF;
  return tcdrain(fd_) == 0 ? 0 : CommErrorFromErrno(errno);
}

namespace {
// readv or writev of two pieces; the result as Read and Write give it.
template <typename Call>
long TwoPieces(int fd, Call call, void* first, size_t first_count, void* second, size_t second_count, int* error) {
  if (error) *error = 0;
  if (fd < 0) {
    if (error) *error = EBADF;
    return -1;
  }
  iovec parts[2] = {{first, first_count}, {second, second_count}};
  for (;;) {
    ssize_t n = call(fd, parts, second_count ? 2 : 1);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    if (error) *error = CommErrorFromErrno(errno);
    return -1;
  }
}
}  // namespace

void TCommDevice::ResizeQueueLocked() { rx_queue_.Reset(in_queue_size_); }

size_t TCommDevice::TakeQueuedLocked(uint8_t* buffer, size_t count) {
  size_t n = std::min(count, rx_queue_.Used());
  if (n == 0) return 0;
  rx_queue_.Peek(0, buffer, n);
  rx_queue_.Drop(n);
  if (rx_queue_.Empty() && rx_queue_.Capacity() != in_queue_size_) ResizeQueueLocked();
  return n;
}

long TCommDevice::Read(void* buffer, size_t count, int* error) { return Read2(buffer, count, nullptr, 0, error); }

long TCommDevice::Read2(void* first, size_t first_count, void* second, size_t second_count, int* error) {
  std::lock_guard<std::mutex> lock(rx_mutex_);
  if (error) *error = 0;
  if (fd_ < 0) {
    if (error) *error = EBADF;
    return -1;
  }
  // The queue's bytes came first; what is still missing comes from the kernel.
  auto* a = static_cast<uint8_t*>(first);
  auto* b = static_cast<uint8_t*>(second);
  size_t got_a = TakeQueuedLocked(a, first_count);
  size_t got_b = got_a == first_count ? TakeQueuedLocked(b, second_count) : 0;
  size_t got = got_a + got_b;
  if (got == first_count + second_count) return static_cast<long>(got);
  iovec parts[2] = {{a + got_a, first_count - got_a}, {b + got_b, second_count - got_b}};
  iovec* from = got_a == first_count ? &parts[1] : &parts[0];
  int count = from == &parts[0] && second_count > 0 ? 2 : 1;
  for (;;) {
    ssize_t n = readv(fd_, from, count);
    if (n >= 0) return static_cast<long>(got + static_cast<size_t>(n));
    if (errno == EINTR) continue;
    if (errno == EAGAIN || got > 0) return static_cast<long>(got);  // an error shows at the next read
    if (error) *error = CommErrorFromErrno(errno);
    return -1;
  }
}

long TCommDevice::FillQueue(int* error) {
  std::lock_guard<std::mutex> lock(rx_mutex_);
  if (error) *error = 0;
  if (fd_ < 0) {
    if (error) *error = EBADF;
    return -1;
  }
  const TByteSpans room = rx_queue_.FreeSpans();
  if (room.Total() == 0) return 0;
  iovec parts[2] = {{room.First, room.FirstCount}, {room.Second, room.SecondCount}};
  for (;;) {
    ssize_t n = readv(fd_, parts, room.SecondCount > 0 ? 2 : 1);
    if (n >= 0) {
      rx_queue_.Commit(static_cast<size_t>(n));
      return static_cast<long>(n);
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    if (error) *error = CommErrorFromErrno(errno);
    return -1;
  }
}

bool TCommDevice::QueueFull() {
  std::lock_guard<std::mutex> lock(rx_mutex_);
  return rx_queue_.Free() == 0;
}

uint32_t TCommDevice::QueuedBytes() {
  std::lock_guard<std::mutex> lock(rx_mutex_);
  return static_cast<uint32_t>(rx_queue_.Used());
}

long TCommDevice::Write2(const void* first, size_t first_count, const void* second, size_t second_count, int* error) {
  return TwoPieces(fd_, writev, const_cast<void*>(first), first_count, const_cast<void*>(second), second_count, error);
}

long TCommDevice::Write(const void* data, size_t count, int* error) {
  if (error) *error = 0;
  if (fd_ < 0) {
    if (error) *error = EBADF;
    return -1;
  }
  for (;;) {
    ssize_t n = write(fd_, data, count);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    if (error) *error = CommErrorFromErrno(errno);
    return -1;
  }
}

int TCommDevice::WaitEvent(uint32_t& mask, bool watch_input, int timeout_ms) {
  mask = 0;
  if (fd_ < 0) return EBADF;
  pollfd fds[2] = {{wake_fd_[kReceive], POLLIN, 0}, {fd_, POLLIN, 0}};
  int r;
  do {
    r = poll(fds, watch_input ? 2 : 1, timeout_ms);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return CommErrorFromErrno(errno);
  if (fds[0].revents & POLLIN) {
    uint64_t v;
    while (read(wake_fd_[kReceive], &v, sizeof v) > 0) {
    }
  }
  if (!watch_input) return 0;
  if (fds[1].revents & (POLLHUP | POLLERR)) {
    // A line that hung up (the other end of a pseudo-terminal closed, a USB adapter pulled)
    // stays readable for poll for ever while reads give nothing and FIONREAD fails: it is a
    // hang-up once nothing is left to read, not a receive event.
    int in = 0;
    if ((fds[1].revents & POLLIN) && ioctl(fd_, FIONREAD, &in) == 0 && in > 0)
      mask |= EV_RXCHAR;
    else
      mask |= EV_HANGUP;
  } else if (fds[1].revents & POLLIN) {
    mask |= EV_RXCHAR;
  }
  return 0;
}

bool TCommDevice::WaitWritable(int timeout_ms) {
  if (fd_ < 0) return false;
  pollfd fds[2] = {{wake_fd_[kTransmit], POLLIN, 0}, {fd_, POLLOUT, 0}};
  int r;
  do {
    r = poll(fds, 2, timeout_ms);
  } while (r < 0 && errno == EINTR);
  if (r <= 0) return false;
  if (fds[0].revents & POLLIN) {
    uint64_t v;
    while (read(wake_fd_[kTransmit], &v, sizeof v) > 0) {
    }
  }
  return (fds[1].revents & POLLOUT) != 0;
}

void TCommDevice::Wake(TWaiter waiter) {
  int fd = wake_fd_[waiter];
  if (fd < 0) return;
  uint64_t one = 1;
  ssize_t r = write(fd, &one, sizeof one);
  (void)r;
}

}  // namespace qv
