#pragma once
// Shared small utilities: locale-independent number text for files, number widths for display,
// option sets stored as token texts, bit masks on stored flag words, the system's own exception
// class and the common time spans.
#include <cstdint>
#include <string>

#include "platform/rtl/exception.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format.h"

namespace qv {

// The system's own exception class; the data-store, device and channel errors derive from it.
class Exception2 : public Exception {
public:
  using Exception::Exception;
  std::string ClassName() const override { return "Exception2"; }
  // The message is Format (Fmt, Args).
  template <class... A>
  static Exception2 CreateFmt(std::string_view fmt, const A&... args) {
    return Exception2(Format(fmt, args...));
  }
};

// Floating date-time spans, exactly as the runtime's time encoding gives them.
constexpr double TimeOneMSec = 1.0 / 86400000.0;
constexpr double TimeHundredMSec = 100.0 / 86400000.0;
constexpr double TimeOneSec = 1000.0 / 86400000.0;
constexpr double TimeOneMin = 60000.0 / 86400000.0;
constexpr double TimeOneHour = 3600000.0 / 86400000.0;
constexpr double TimeEndOfDay = 86399999.0 / 86400000.0;

// Accepts "." or "," as the decimal point. Raises EConvertError for a text with both (a thousand
// separator is never accepted) and for any text that is not a number.
double StrToFloat2(const std::string& s);
// FloatToStrF with "." as the decimal point, whatever the locale.
std::string FloatToStrF2(TFloatFormat format, int precision, int digits, double value);
// Value right-aligned in Width characters with Decimals decimals; a shortened scientific form
// ("1.2E5") when the fixed form does not fit. The decimal point is the locale's.
std::string FloatToWidthStr(uint8_t width, uint8_t decimals, double value);
// The fixed form of FloatToWidthStr appended to out with separator as the decimal point, built
// without allocating; false, with nothing appended, where FloatToWidthStr would take another form
// (not finite, wider than Width) or the value has more than 15 digits (left to FloatToWidthStr).
bool AppendFixedWidthText(std::string& out, uint8_t width, uint8_t decimals, double value, char separator);
// Decimal exponent in scientific notation (123.45 gives 2, 0.05 gives -2, 0 gives 0).
int FloatExponent(double x);
// Decimals needed to show x, from the first 8 mantissa decimals of its scientific form.
int FloatDecimals(double x);
// Estimated printed length, for axis labels.
uint8_t FloatTextLength(double x);

// Only the space character counts as a blank.
std::string TrimLeftBlanks(const std::string& s);
std::string TrimRightBlanks(const std::string& s);
std::string TrimBlanks(const std::string& s);

// Option sets are token texts searched as plain substrings. AddToken appends Token unless S
// already contains it; RemoveToken deletes its first occurrence. Both answer whether S changed.
bool AddToken(std::string& s, const std::string& token);
bool RemoveToken(std::string& s, const std::string& token);

inline void SetBits(uint16_t mask, uint16_t& flags) { flags = static_cast<uint16_t>(flags | mask); }
inline void ClearBits(uint16_t mask, uint16_t& flags) { flags = static_cast<uint16_t>(flags & ~mask); }
inline bool AnyBitSet(uint16_t mask, uint16_t flags) { return (flags & mask) != 0; }
inline bool AllBitsSet(uint16_t mask, uint16_t flags) { return (flags & mask) == mask; }

}  // namespace qv
