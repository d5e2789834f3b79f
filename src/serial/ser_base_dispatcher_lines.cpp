// The dispatcher's line and flow settings, modem and line status.
#include "serial/ser_base_dispatcher.h"

#include <algorithm>

#include "serial/ser_base_dispatcher_parts.h"
#include "serial/ser_trace.h"
#include "serial/serial_exception.h"

namespace qv {

// ---- line and flow settings ----

uint32_t TSerBaseDispatcher::LineChangeWaitMs(uint32_t baud, int data_bits, int parity, int stop_code) {
  if (baud == 0) return 0;
  uint64_t bit_time = 10000000u / baud;  // tenths of a microsecond
  uint64_t bits =
      static_cast<uint64_t>(data_bits) + 2 + (parity != NOPARITY ? 1 : 0) + (stop_code != ONESTOPBIT ? 1 : 0);
  uint64_t wait = bit_time * bits * 18;
  if (wait < 10000) wait *= 2;
  return static_cast<uint32_t>((wait + 9999) / 10000);
}

int TSerBaseDispatcher::ApplyLineSettings(uint32_t baud, int parity, int stop_bits, int data_bits) {
  TDcb wanted;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    TDcb current;
    if (ReadDeviceState(current) < 0) return ecBadHandle;
    wanted = current;
    if (baud != 0) wanted.BaudRate = baud;
    if (parity >= 0 && parity <= 4) wanted.Parity = static_cast<uint8_t>(parity);
    if (data_bits != 9) wanted.ByteSize = static_cast<uint8_t>(data_bits);
    if (stop_bits != 3) wanted.StopBits = stop_bits <= 1 ? ONESTOPBIT : TWOSTOPBITS;
    if (wanted.ByteSize == 5) wanted.StopBits = ONE5STOPBITS;
    if (wanted.BaudRate == current.BaudRate && wanted.Parity == current.Parity && wanted.ByteSize == current.ByteSize &&
        wanted.StopBits == current.StopBits)
      return 0;
  }
  // Let what is queued leave at the old settings first.
  for (int look = 0; look < 5000 && OutBuffUsed() > 0; ++look) SleepMs(2);
  SleepMs(LineChangeWaitMs(wanted.BaudRate, wanted.ByteSize, wanted.Parity, wanted.StopBits));
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb;
  if (ReadDeviceState(dcb) < 0) return ecBadHandle;
  dcb.BaudRate = wanted.BaudRate;
  dcb.Parity = wanted.Parity;
  dcb.ByteSize = wanted.ByteSize;
  dcb.StopBits = wanted.StopBits;
  dcb.Binary = true;
  dcb.ParityCheck = false;
  dcb.DsrSensitivity = false;
  dcb.TxContinueOnXoff = true;
  dcb.Null = false;
  return WriteDcb(dcb);
}

void TSerBaseDispatcher::ReadLineSettings(uint32_t& baud, int& parity, int& stop_bits, int& data_bits) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb;
  ReadDeviceState(dcb);
  baud = dcb.BaudRate;
  parity = dcb.Parity;
  stop_bits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
  data_bits = dcb.ByteSize;
}

int TSerBaseDispatcher::ApplyHWFlow(int32_t full, int32_t resume, uint32_t options) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (full < resume || full > static_cast<int32_t>(in_size_)) return ecBadArgument;
  TDcb dcb = dcb_;
  dtr_handshake_ = options & 1;
  rts_handshake_ = options & 2;
  dcb.DtrControl = dtr_handshake_ ? LINE_CONTROL_HANDSHAKE : (dtr_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE);
  dcb.RtsControl = rts_handshake_ ? LINE_CONTROL_HANDSHAKE : (rts_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE);
  dcb.OutxDsrFlow = options & 4;
  dcb.OutxCtsFlow = options & 8;
  dcb.XoffLim = static_cast<uint16_t>(in_size_ - static_cast<uint32_t>(full));
  dcb.XonLim = static_cast<uint16_t>(resume);
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::ApplySWFlow(int32_t full, int32_t resume, uint32_t options) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (full < resume || full > static_cast<int32_t>(in_size_)) return ecBadArgument;
  TDcb dcb = dcb_;
  dcb.InX = options & 2;
  dcb.OutX = options & 1;
  dcb.XoffLim = static_cast<uint16_t>(in_size_ - static_cast<uint32_t>(full));
  dcb.XonLim = static_cast<uint16_t>(resume);
  dcb.XonChar = 17;
  dcb.XoffChar = 19;
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::SWFlowOff() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb = dcb_;
  dcb.InX = dcb.OutX = false;
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::ApplyFlowChars(char xon, char xoff) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb = dcb_;
  dcb.XonChar = xon;
  dcb.XoffChar = xoff;
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::SetDtrLine(bool on) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (dtr_handshake_) return 1;
  if (EscapeFunction(on ? SETDTR : CLRDTR) != 0) return ecBadArgument;
  dtr_ = on;
  dcb_.DtrControl = on ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  return 0;
}

int TSerBaseDispatcher::SetRtsLine(bool on) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (rts_handshake_) return 1;
  if (EscapeFunction(on ? SETRTS : CLRRTS) != 0) return ecBadArgument;
  rts_ = on;
  dcb_.RtsControl = on ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  return 0;
}

int TSerBaseDispatcher::WriteDcb(TDcb dcb) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (!dtr_handshake_) dcb.DtrControl = dtr_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  if (!rts_handshake_) dcb.RtsControl = rts_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  int r = WriteDeviceState(dcb);
  if (r < 0) return r;
  dcb_ = dcb;
  last_baud_ = dcb.BaudRate;
  if (!dtr_handshake_) EscapeFunction(dtr_ ? SETDTR : CLRDTR);
  if (!rts_handshake_ && !rs485_) EscapeFunction(rts_ ? SETRTS : CLRRTS);
  return 0;
}

void TSerBaseDispatcher::RefreshModemStatus() {
  uint32_t lines = 0;
  if (ReadModemLines(lines) != 0) return;
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  uint8_t now = static_cast<uint8_t>(lines & 0xF0);
  uint8_t changes = static_cast<uint8_t>(((modem_status_ ^ now) & 0xF0) >> 4);
  modem_status_ = static_cast<uint8_t>(now | changes);
}

int TSerBaseDispatcher::LineErrorCode() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  static constexpr struct {
    uint16_t bit;
    int code;
  } kCodes[] = {{leOverflow, 1}, {leOverrun, 2}, {leParity, 3}, {leFraming, 4}, {leBreak, 9}};
  for (const auto& c : kCodes)
    if (line_error_ & c.bit) {
      line_error_ &= static_cast<uint16_t>(~c.bit);
      return c.code;
    }
  return 0;
}

bool TSerBaseDispatcher::LineBreakSeen() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  bool seen = line_error_ & leBreak;
  line_error_ &= static_cast<uint16_t>(~leBreak);
  return seen;
}

}  // namespace qv
