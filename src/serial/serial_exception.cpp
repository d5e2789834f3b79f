#include "serial/serial_exception.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "serial/ser_base_component.h"

namespace qv {

namespace {

struct TMessageRow {
  int32_t Code;  // as the table keeps it; looked up by absolute value
  const char* Text;
};

// Ordered by ascending absolute code. Only the rows this program can show or log are kept.
constexpr TMessageRow kMessages[] = {
    {0, "OK"},
    {-2, "File not found"},
    {-3, "Path not found"},
    {-4, "Too many open files"},
    {-5, "File access denied"},
    {-6, "Invalid file handle"},
    {-8, "Insufficient memory"},
    {-15, "Invalid drive"},
    {-18, "No more files"},
    {-100, "Attempt to read beyond end of file"},
    {-101, "Disk is full"},
    {-102, "File/device not assigned"},
    {-103, "File/device not open"},
    {-104, "File/device not open for input"},
    {-105, "File/device not open for output"},
    {-150, "Disk is write-protected"},
    {-151, "Unknown disk unit"},
    {-152, "Drive is not ready"},
    {-153, "Unknown command"},
    {-154, "Data error"},
    {-155, "Bad request structure length"},
    {-156, "Seek error"},
    {-157, "Unknown media type"},
    {-158, "Disk sector not found"},
    {-159, "Printer is out of paper"},
    {-160, "Device write error"},
    {-161, "Device read error"},
    {-162, "General failure"},
    {-1001, "Bad handle passed to com function"},
    {-1002, "Bad argument passed to function"},
    {-1003, "Got quit message"},
    {-1004, "Terminal buffer greater than 65521"},
    {-1005, "ComPort component not assigned"},
    {-1006, "Internal error creating window class"},
    {-1007, "Modem component not assigned"},
    {-1008, "Phonebook component not assigned"},
    {-1009, "Component not compatible with WinSock"},
    {-2001, "ie_BadId - Specified comport doesn't exist"},
    {-2002, "ie_Baudrate - unsupported baud rate"},
    {-2003, "ie_Bytesize - invalid byte size"},
    {-2004, "ie_Default - error in default parameters"},
    {-2005, "ie_Hardware - Specified comport in use"},
    {-2006, "ie_Memory - unable to allocate queues"},
    {-2007, "ie_NOpen - device not open"},
    {-2008, "ie_Open - device already open"},
    {-2009, "No more handles, can't open port"},
    {-2010, "No timers available"},
    {-2011, "The ComNumber property of the TSerComPort has not been set"},
    {-2012, "Comport was not opened by Tapi"},
    {-3001, "No device layer specified"},
    {-3002, "Function not supported by driver"},
    {-3003, "EnableCommNotification failed"},
    {-3004, "Failed to put entire block"},
    {-3005, "Failed to get entire block"},
    {-3006, "Output buffer too small for block"},
    {-3007, "Buffer is empty"},
    {-3008, "Tracing not enabled"},
    {-3009, "Logging not enabled"},
    {-3010, "Base address not set"},
    {-5001, "No more trigger slots"},
    {-5002, "Data trigger too long"},
    {-5003, "Bad trigger handle"},
    {-5501, "Start string is empty"},
    {-5502, "Packet size cannot be smaller than start string"},
    {-5503, "CharCount packets must have an end-condition"},
    {-5504, "End string is empty"},
    {-5505, "Packet size cannot be zero"},
    {-5506, "Packet too long"},
    // Names of the dispatcher log: entry types (15001 + type), subtypes (15100 + subtype).
    {15001, "No event"},
    {15002, "Dispatch"},
    {15003, "Trigger"},
    {15004, "Error"},
    {15005, "Thread"},
    {15006, "TrigAllc"},
    {15007, "TrigDisp"},
    {15008, "TrgHdAlc"},
    {15009, "TrgHdDsp"},
    {15010, "TrDatChg"},
    {15011, "Telnet"},
    {15012, "Fax"},
    {15013, "XModem"},
    {15014, "YModem"},
    {15015, "ZModem"},
    {15016, "Kermit"},
    {15017, "Ascii"},
    {15018, "BPlus"},
    {15019, "Packet"},
    {15020, "User"},
    {15021, "Script"},
    {15101, "ReadCom"},
    {15102, "WriteCom"},
    {15103, "Line status"},
    {15104, "Modem status"},
    {15105, "Avail"},
    {15106, "Timer"},
    {15107, "Data"},
    {15108, "Status"},
    {15109, "Start"},
    {15110, "Exit"},
    {15111, "Sleep"},
    {15112, "Wake"},
    {15113, "Data"},
    {15114, "Timer"},
    {15115, "Status"},
    {15116, "Avail"},
    {15117, "Window"},
    {15119, "Method"},
    {15342, "Enable"},
    {15343, "Disable"},
    {15344, "StringPacket"},
    {15345, "SizePacket"},
    {15346, "PcktTimeout"},
    {15347, "StartStr"},
    {15348, "EndStr"},
    {15349, "Idle"},
    {15350, "Waiting"},
    {15351, "Collecting"},
    {15501, "Time      Type      SubType       Data      OtherData"},
    {15502, "--------  --------  ------------  --------  ---------"},
    {15601, "DCTS "},
    {15602, "DDSR "},
    {15603, "TERI "},
    {15604, "DDCD "},
    {15605, "CTS "},
    {15606, "DSR "},
    {15607, "RI "},
    {15608, "DCD "},
};

static_assert(std::is_sorted(std::begin(kMessages), std::end(kMessages),
                             [](const TMessageRow& a, const TMessageRow& b) {
                               return std::abs(a.Code) < std::abs(b.Code);
                             }),
              "the message table must be ordered by absolute code");

std::string SystemErrorText(int number) {
  char buffer[256];
  const char* text = strerror_r(number, buffer, sizeof buffer);
  std::string s = text ? text : "";
  if (s.rfind("Unknown error", 0) == 0) return "";
  return CleanSystemText(s);
}

template <class E>
[[noreturn]] void Raise(int code) {
  throw E(code);
}

}  // namespace

std::string CleanSystemText(const std::string& text) {
  std::string cleaned;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 32) c = ' ';
    if (!(c == ' ' && !cleaned.empty() && cleaned.back() == ' ')) cleaned += c;
  }
  return cleaned;
}

std::string LibraryErrorText(int code) {
  int key = std::abs(code);
  auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), key,
                             [](const TMessageRow& row, int k) { return std::abs(row.Code) < k; });
  std::string text = (it != std::end(kMessages) && std::abs(it->Code) == key) ? it->Text : SystemErrorText(key);
  if (text.size() > 255) text.resize(255);
  return text;
}

int RaiseOnError(const TSerBaseComponent* component, int code) {
  if (code >= 0 || (component && component->Loading())) return code;
  if (code == -8) throw EOutOfMemory(LibraryErrorText(code));
  if (code <= -2 && code >= -162) throw EInOutError(LibraryErrorText(code), -code);
  switch (code) {
    case -1002: Raise<EBadArgument>(code);
    case -1003: Raise<EGotQuitMsg>(code);
    case -1004: Raise<EBufferTooBig>(code);
    case -1005: Raise<EPortNotAssigned>(code);
    case -1006:
    case -7003:
    case -7006:
    case -7012: Raise<EInternal>(code);
    case -1007: Raise<EModemNotAssigned>(code);
    case -1008: Raise<EPhonebookNotAssigned>(code);
    case -1009: Raise<ECannotUseWithWinSock>(code);
    case -2001: Raise<EBadId>(code);
    case -2002: Raise<EBaudRate>(code);
    case -2003: Raise<EByteSize>(code);
    case -2004: Raise<EDefault>(code);
    case -2005: Raise<EHardware>(code);
    case -2006: Raise<EMemory>(code);
    case -2007: Raise<ECommNotOpen>(code);
    case -2008: Raise<EAlreadyOpen>(code);
    case -2009: Raise<ENoHandles>(code);
    case -2010: Raise<ENoTimers>(code);
    case -2011: Raise<ENoPortSelected>(code);
    case -2012: Raise<ENotOpenedByTapi>(code);
    case -3001: Raise<ENullApi>(code);
    case -3003: Raise<ERegisterHandlerFailed>(code);
    case -3004: Raise<EPutBlockFail>(code);
    case -3005: Raise<EGetBlockFail>(code);
    case -3006: Raise<EOutputBufferTooSmall>(code);
    case -3007: Raise<EBufferIsEmpty>(code);
    case -3008: Raise<ETracingNotEnabled>(code);
    case -3009: Raise<ELoggingNotEnabled>(code);
    case -3010: Raise<EBaseAddressNotSet>(code);
    case -4001: Raise<EModemNotStarted>(code);
    case -4002: Raise<EModemBusy>(code);
    case -4003: Raise<EModemNotDialing>(code);
    case -4004: Raise<ENotDialing>(code);
    case -4005: Raise<EAlreadyDialing>(code);
    case -4006: Raise<EModemNotResponding>(code);
    case -4007: Raise<EModemRejectedCommand>(code);
    case -4008: Raise<EModemStatusMismatch>(code);
    case -5001: Raise<ENoMoreTriggers>(code);
    case -5002: Raise<ETriggerTooLong>(code);
    case -5003: Raise<EBadTriggerHandle>(code);
    case -6006:
    case -6008:
    case -6009: Raise<EProtocol>(code);
    case -7001: Raise<EKeyTooLong>(code);
    case -7002: Raise<EDataTooLarge>(code);
    case -7004: Raise<EIniWrite>(code);
    case -7005: Raise<EIniRead>(code);
    case -7007: Raise<ERecordExists>(code);
    case -7008: Raise<ERecordNotFound>(code);
    case -7010: Raise<EDatabaseFull>(code);
    case -7011: Raise<EDatabaseEmpty>(code);
    case -7013: Raise<EBadFieldList>(code);
    case -7014: Raise<EBadFieldForIndex>(code);
    case -8001: Raise<EFaxBadFormat>(code);
    case -8002: Raise<EBadGraphicsFormat>(code);
    case -8003: Raise<EConvertAbort>(code);
    case -8004: Raise<EUnpackAbort>(code);
    case -8005: Raise<ECantMakeBitmap>(code);
    case -8053: Raise<EInvalidPageNumber>(code);
    case -8060: Raise<EFaxBadMachine>(code);
    case -8061: Raise<EFaxBadModemResult>(code);
    case -8062: Raise<EFaxTrainError>(code);
    case -8063: Raise<EFaxInitError>(code);
    case -8064: Raise<EFaxBusy>(code);
    case -8065: Raise<EFaxVoiceCall>(code);
    case -8066: Raise<EFaxDataCall>(code);
    case -8067: Raise<EFaxNoDialTone>(code);
    case -8068: Raise<EFaxNoCarrier>(code);
    case -8069: Raise<EFaxSessionError>(code);
    case -8070: Raise<EFaxPageError>(code);
    case -13980: Raise<ERasLoadFail>(code);
    default: break;
  }
  if (code <= -13801 && code >= -13942) Raise<ETapi>(code);
  throw ESerialException(std::string("Serial exception"));
}

}  // namespace qv
