#pragma once
// Result codes of the serial library, their English texts, and the exceptions they become at
// the library's public surface.
#include <cstdint>
#include <string>

#include "platform/rtl/exception.h"

namespace qv {

class TSerBaseComponent;

// Result codes (0 = success, negative = error).
constexpr int ecOK = 0;
constexpr int ecFileNotFound = -2;
constexpr int ecPathNotFound = -3;
constexpr int ecAccessDenied = -5;
constexpr int ecOutOfMemory = -8;
constexpr int ecBadHandle = -1001;
constexpr int ecBadArgument = -1002;
constexpr int ecBadId = -2001;
constexpr int ecNotOpen = -2007;
constexpr int ecAlreadyOpen = -2008;
constexpr int ecNoPortSelected = -2011;
constexpr int ecNotOpenedByTapi = -2012;
constexpr int ecNullApi = -3001;
constexpr int ecPutBlockFail = -3004;
constexpr int ecOutputBufferTooSmall = -3006;
constexpr int ecBufferIsEmpty = -3007;
constexpr int ecTracingNotEnabled = -3008;
constexpr int ecLoggingNotEnabled = -3009;
constexpr int ecNoMoreTriggers = -5001;
constexpr int ecTriggerTooLong = -5002;
constexpr int ecBadTriggerHandle = -5003;
constexpr int ecStartStringEmpty = -5501;
constexpr int ecPacketTooSmall = -5502;
constexpr int ecNoEndCharCount = -5503;
constexpr int ecEmptyEndString = -5504;
constexpr int ecZeroSizePacket = -5505;
constexpr int ecPacketTooLong = -5506;

// The text of a result code (sign ignored): the library's table, else the system's text of
// that error number, cleaned of control characters and double blanks; "" when neither exists.
// At most 255 characters.
std::string LibraryErrorText(int code);
// A system message text as the table shows it: control characters become blanks and no two
// blanks stay adjacent.
std::string CleanSystemText(const std::string& text);

class ESerialException : public Exception {
public:
  // ErrorCode := code, message := the code's text.
  explicit ESerialException(int code) : Exception(LibraryErrorText(code)), ErrorCode(code) {}
  // ErrorCode := 0, message := text.
  explicit ESerialException(std::string text) : Exception(std::move(text)), ErrorCode(0) {}
  std::string ClassName() const override { return "ESerialException"; }
  int ErrorCode;
};

QV_DECLARE_EXCEPTION(EGeneral, ESerialException);
QV_DECLARE_EXCEPTION(EBadArgument, EGeneral);
QV_DECLARE_EXCEPTION(EGotQuitMsg, EGeneral);
QV_DECLARE_EXCEPTION(EBufferTooBig, EGeneral);
QV_DECLARE_EXCEPTION(EPortNotAssigned, EGeneral);
QV_DECLARE_EXCEPTION(EInternal, EGeneral);
QV_DECLARE_EXCEPTION(EModemNotAssigned, EGeneral);
QV_DECLARE_EXCEPTION(EPhonebookNotAssigned, EGeneral);
QV_DECLARE_EXCEPTION(ECannotUseWithWinSock, EGeneral);

QV_DECLARE_EXCEPTION(EOpenComm, ESerialException);
QV_DECLARE_EXCEPTION(EBadId, EOpenComm);
QV_DECLARE_EXCEPTION(EBaudRate, EOpenComm);
QV_DECLARE_EXCEPTION(EByteSize, EOpenComm);
QV_DECLARE_EXCEPTION(EDefault, EOpenComm);
QV_DECLARE_EXCEPTION(EHardware, EOpenComm);
QV_DECLARE_EXCEPTION(EMemory, EOpenComm);
QV_DECLARE_EXCEPTION(ECommNotOpen, EOpenComm);
QV_DECLARE_EXCEPTION(EAlreadyOpen, EOpenComm);
QV_DECLARE_EXCEPTION(ENoHandles, EOpenComm);
QV_DECLARE_EXCEPTION(ENoTimers, EOpenComm);
QV_DECLARE_EXCEPTION(ENoPortSelected, EOpenComm);
QV_DECLARE_EXCEPTION(ENotOpenedByTapi, EOpenComm);

QV_DECLARE_EXCEPTION(ESerialIO, ESerialException);
QV_DECLARE_EXCEPTION(ENullApi, ESerialIO);
QV_DECLARE_EXCEPTION(ERegisterHandlerFailed, ESerialIO);
QV_DECLARE_EXCEPTION(EPutBlockFail, ESerialIO);
QV_DECLARE_EXCEPTION(EGetBlockFail, ESerialIO);
QV_DECLARE_EXCEPTION(EOutputBufferTooSmall, ESerialIO);
QV_DECLARE_EXCEPTION(EBufferIsEmpty, ESerialIO);
QV_DECLARE_EXCEPTION(ETracingNotEnabled, ESerialIO);
QV_DECLARE_EXCEPTION(ELoggingNotEnabled, ESerialIO);
QV_DECLARE_EXCEPTION(EBaseAddressNotSet, ESerialIO);

QV_DECLARE_EXCEPTION(EModem, ESerialException);
QV_DECLARE_EXCEPTION(EModemNotStarted, EModem);
QV_DECLARE_EXCEPTION(EModemBusy, EModem);
QV_DECLARE_EXCEPTION(EModemNotDialing, EModem);
QV_DECLARE_EXCEPTION(EModemNotResponding, EModem);
QV_DECLARE_EXCEPTION(EModemRejectedCommand, EModem);
QV_DECLARE_EXCEPTION(EModemStatusMismatch, EModem);
QV_DECLARE_EXCEPTION(EAlreadyDialing, EModem);
QV_DECLARE_EXCEPTION(ENotDialing, EModem);

QV_DECLARE_EXCEPTION(ETrigger, ESerialException);
QV_DECLARE_EXCEPTION(ENoMoreTriggers, ETrigger);
QV_DECLARE_EXCEPTION(ETriggerTooLong, ETrigger);
QV_DECLARE_EXCEPTION(EBadTriggerHandle, ETrigger);

QV_DECLARE_EXCEPTION(EPacket, ESerialException);
QV_DECLARE_EXCEPTION(EInvalidProperty, EPacket);

QV_DECLARE_EXCEPTION(EProtocol, ESerialException);

QV_DECLARE_EXCEPTION(EINI, ESerialException);
QV_DECLARE_EXCEPTION(EKeyTooLong, EINI);
QV_DECLARE_EXCEPTION(EDataTooLarge, EINI);
QV_DECLARE_EXCEPTION(EIniWrite, EINI);
QV_DECLARE_EXCEPTION(EIniRead, EINI);
QV_DECLARE_EXCEPTION(ERecordExists, EINI);
QV_DECLARE_EXCEPTION(ERecordNotFound, EINI);
QV_DECLARE_EXCEPTION(EDatabaseFull, EINI);
QV_DECLARE_EXCEPTION(EDatabaseEmpty, EINI);
QV_DECLARE_EXCEPTION(EBadFieldList, EINI);
QV_DECLARE_EXCEPTION(EBadFieldForIndex, EINI);

QV_DECLARE_EXCEPTION(EFax, ESerialException);
QV_DECLARE_EXCEPTION(EFaxBadFormat, EFax);
QV_DECLARE_EXCEPTION(EBadGraphicsFormat, EFax);
QV_DECLARE_EXCEPTION(EConvertAbort, EFax);
QV_DECLARE_EXCEPTION(EUnpackAbort, EFax);
QV_DECLARE_EXCEPTION(ECantMakeBitmap, EFax);
QV_DECLARE_EXCEPTION(EInvalidPageNumber, EFax);
QV_DECLARE_EXCEPTION(EFaxBadMachine, EFax);
QV_DECLARE_EXCEPTION(EFaxBadModemResult, EFax);
QV_DECLARE_EXCEPTION(EFaxTrainError, EFax);
QV_DECLARE_EXCEPTION(EFaxInitError, EFax);
QV_DECLARE_EXCEPTION(EFaxBusy, EFax);
QV_DECLARE_EXCEPTION(EFaxVoiceCall, EFax);
QV_DECLARE_EXCEPTION(EFaxDataCall, EFax);
QV_DECLARE_EXCEPTION(EFaxNoDialTone, EFax);
QV_DECLARE_EXCEPTION(EFaxNoCarrier, EFax);
QV_DECLARE_EXCEPTION(EFaxSessionError, EFax);
QV_DECLARE_EXCEPTION(EFaxPageError, EFax);

// Telephony errors are raised as the branch class with their code.
QV_DECLARE_EXCEPTION(ETapi, ESerialException);
QV_DECLARE_EXCEPTION(ERas, ESerialException);
QV_DECLARE_EXCEPTION(ERasLoadFail, ERas);

// Returns code when it is >= 0 or while component is being loaded; otherwise raises the
// exception of that code and does not return.
int RaiseOnError(const TSerBaseComponent* component, int code);

}  // namespace qv
