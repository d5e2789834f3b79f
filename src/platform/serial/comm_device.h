#pragma once
// One open serial device: the communications calls the serial library makes of the operating
// system (open not shared, line state, queues, modem lines, reads, writes and event waits), on
// termios and poll.
//
// Results are 0 for success or a positive system error number as the library expects it:
// kErrorNotFound when the device does not exist, kErrorAccessDenied when it is in use,
// kErrorGeneralFailure for an I/O error, any other errno as it stands.
//
// What termios cannot do is kept in the line state but not applied: the DTR/DSR handshake, DSR
// sensitivity and the XON/XOFF limits. The receive queue of SetupQueues is kept here, in front
// of the kernel's own small one: FillQueue moves what the line brings into it while the
// program's buffer is full, and the reads take from it first. Modem-line and line-error
// information exists only where the driver reports it (not on pseudo-terminals, where the lines
// read as all off and switching them succeeds without effect).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qv {

constexpr int kErrorNotFound = 2;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorGeneralFailure = 162;

// Parity and stop-bit codes of the line state.
constexpr uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
// How DTR and RTS are driven.
constexpr uint8_t LINE_CONTROL_DISABLE = 0, LINE_CONTROL_ENABLE = 1, LINE_CONTROL_HANDSHAKE = 2;

// The device's line state (the device control block).
struct TDcb {
  uint32_t BaudRate = 9600;
  uint8_t ByteSize = 8;
  uint8_t Parity = NOPARITY;
  uint8_t StopBits = ONESTOPBIT;
  uint8_t DtrControl = LINE_CONTROL_ENABLE;
  uint8_t RtsControl = LINE_CONTROL_ENABLE;
  bool Binary = true;
  bool ParityCheck = false;
  bool OutxCtsFlow = false;
  bool OutxDsrFlow = false;
  bool DsrSensitivity = false;
  bool TxContinueOnXoff = true;
  bool OutX = false;  // stop sending on XOFF
  bool InX = false;   // send XOFF/XON as the input fills and empties
  bool Null = false;  // strip null bytes
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  char XonChar = 17;
  char XoffChar = 19;
};

// Line-error bits of GetStatus.
constexpr uint32_t CE_RXOVER = 0x01, CE_OVERRUN = 0x02, CE_RXPARITY = 0x04, CE_FRAME = 0x08, CE_BREAK = 0x10;
// Modem-line bits of GetModemStatus.
constexpr uint32_t MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;
// Escape functions.
constexpr int SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6, SETBREAK = 8, CLRBREAK = 9;
// Purge flags.
constexpr uint32_t PURGE_TXABORT = 0x01, PURGE_RXABORT = 0x02, PURGE_TXCLEAR = 0x04, PURGE_RXCLEAR = 0x08;
// Events of WaitEvent.
constexpr uint32_t EV_RXCHAR = 0x0001, EV_CTS = 0x0008, EV_DSR = 0x0010, EV_RLSD = 0x0020, EV_BREAK = 0x0040,
                   EV_ERR = 0x0080, EV_RING = 0x0100;
// The device hung up (the other end of a pseudo-terminal closed, the adapter was pulled) and
// holds nothing more to read: nothing will come from it again.
constexpr uint32_t EV_HANGUP = 0x8000;

class TCommDevice {
public:
  TCommDevice();
  ~TCommDevice();
  TCommDevice(const TCommDevice&) = delete;
  TCommDevice& operator=(const TCommDevice&) = delete;

  // Opens path for reading and writing, exclusively (TIOCEXCL and an exclusive flock).
  int Open(const std::string& path);
  // Gives up exclusivity and closes. 0 also when nothing was open.
  int Close();
  bool IsOpen() const { return fd_ >= 0; }

  int GetState(TDcb& dcb) const;
  int SetState(const TDcb& dcb);
  // The driver's queue sizes: the receive queue takes in_size bytes (from the next moment it is
  // empty); the transmit size is stored only.
  int SetupQueues(uint32_t in_size, uint32_t out_size);
  int Purge(uint32_t flags);
  // Line errors since the last call (CE_ bits) and the bytes waiting in each direction (input:
  // the receive queue and the kernel's).
  uint32_t GetStatus(uint32_t* in_queue, uint32_t* out_queue);
  int GetModemStatus(uint32_t& status);
  int Escape(int function);
  // Waits until everything written has left the device.
  int Drain();

  // Non-blocking; the bytes read or written, 0 when none could be, -1 with the error in *error.
  long Read(void* buffer, size_t count, int* error);
  long Write(const void* data, size_t count, int* error);
  // As Read and Write, with first and then second as one piece: one system call.
  long Read2(void* first, size_t first_count, void* second, size_t second_count, int* error);
  long Write2(const void* first, size_t first_count, const void* second, size_t second_count, int* error);
  // Moves what the kernel holds into the receive queue while it has room; the bytes moved.
  long FillQueue(int* error);
  bool QueueFull();
  uint32_t QueuedBytes();

  // Waits until bytes can be read (mask EV_RXCHAR), the device hung up and has nothing left to
  // read (mask EV_HANGUP) or until Wake(kReceive) (mask 0); with
  // watch_input false only the wake-up ends the wait. timeout_ms < 0 waits without limit.
  // Returns 0, or the error number when the wait itself failed.
  int WaitEvent(uint32_t& mask, bool watch_input, int timeout_ms);
  // Waits until bytes can be written or Wake(kTransmit); answers true when writable.
  bool WaitWritable(int timeout_ms);
  enum TWaiter { kReceive = 0, kTransmit = 1 };
  void Wake(TWaiter waiter);

private:
  int fd_ = -1;
  // Eventfds for Wake, made with the object and closed with it (never while a thread may wake).
  int wake_fd_[2] = {-1, -1};
  // The receive queue: a ring of in_queue_size_ bytes. rx_mutex_ also keeps a read that takes
  // from the queue and then from the kernel in one piece, so that the order stays. A leaf lock,
  // taken under the dispatcher's reading and main locks.
  std::mutex rx_mutex_;
  std::vector<uint8_t> rx_queue_;
  size_t rx_start_ = 0, rx_count_ = 0;
  void ResizeQueueLocked();
  size_t TakeQueuedLocked(uint8_t* buffer, size_t count);
  TDcb dcb_;  // what termios does not hold, and the whole state once set
  bool state_set_ = false;
  uint32_t in_queue_size_ = 0, out_queue_size_ = 0;
  // Error counters of the driver at the last GetStatus, where it has them.
  int last_overrun_ = 0, last_parity_ = 0, last_frame_ = 0, last_brk_ = 0, last_buf_overrun_ = 0;
  bool counters_valid_ = false;
  // False once the driver said it keeps no error counters or modem lines (a pseudo-terminal).
  std::atomic<bool> counters_supported_{true}, lines_supported_{true};
};

// The system error number of errno value e as the serial library sees it.
int CommErrorFromErrno(int e);

}  // namespace qv
