#include "base/utils.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

struct SciParts {
  std::string mantissa;  // sign or blank, digit, ".", 14 decimals
  int exponent = 0;
};

SciParts SplitScientific(double x) {
  std::string s = FloatToStrScientific(x);
  size_t e = s.find('E');
  if (e == std::string::npos) return {s, 0};  // not finite
  return {s.substr(0, e), std::atoi(s.c_str() + e + 1)};
}

}  // namespace

double StrToFloat2(const std::string& s) {
  if (s.find('.') != std::string::npos && s.find(',') != std::string::npos)
    throw EConvertError("StrToFloat2: " + s + "ThousandSeparator not permitted");
  std::string t = s;
  if (size_t comma = t.find(','); comma != std::string::npos) t[comma] = '.';
  double v = 0;
  if (!TryStrToFloat(t, v, '.')) throw EConvertError("'" + s + "' is not a valid floating point value");
  return v;
}

std::string FloatToStrF2(TFloatFormat format, int precision, int digits, double value) {
  return FloatToStrF(value, format, precision, digits, '.');
}

std::string FloatToWidthStr(uint8_t width, uint8_t decimals, double value) {
  std::string out = FloatToStrFixed(value, width, decimals);
  if (out.size() > width && std::isfinite(value)) {
    SciParts sci = SplitScientific(value);
    const std::string exp_text = std::to_string(sci.exponent);
    const int l = static_cast<int>(width) - static_cast<int>(exp_text.size());
    const int r = l - 1;
    double m = 0;
    TryStrToFloat(sci.mantissa, m, '.');
    std::string mantissa;
    if (l < 2) {
      mantissa.clear();
    } else if (m > 0) {
      mantissa = FloatToStrFixed(m, r, r > 2 ? r - 2 : 0);
    } else if (r == 1) {
      mantissa = "-";
    } else {
      mantissa = FloatToStrFixed(m, r, r <= 3 ? 0 : r - 3);
    }
    out = mantissa + "E" + exp_text;
  }
  if (size_t point = out.find('.'); point != std::string::npos) out[point] = CurrentFormatSettings().DecimalSeparator;
  return out;
}

namespace {

// The digits of n with decimals of them after a point and at least one before it.
char* FixedDigits(char* out, uint64_t n, uint8_t decimals) {
  char digits[24];
  const char* d_end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  const size_t count = static_cast<size_t>(d_end - digits);
  const size_t lead = count <= decimals ? decimals + 1 - count : 0;
  for (size_t k = 0; k < lead + count; ++k) {
    if (decimals > 0 && k == lead + count - decimals) *out++ = '.';
    *out++ = k < lead ? '0' : digits[k - lead];
  }
  return out;
}

}  // namespace

bool AppendFixedWidthText(std::string& out, uint8_t width, uint8_t decimals, double value, char separator) {
  static constexpr double Pow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (!std::isfinite(value) || decimals > 15) return false;
  const double a = std::fabs(value);
  const double scaled = a * Pow10[decimals];
  // Up to 15 digits all come out exact; longer texts are rounded to 18 digits first, which is
  // left to FloatToWidthStr.
  if (!(scaled < 1e15)) return false;
  // A minus sign, then the digits (at most 15 and a point).
  char text[48];
  char* const digits = text + 1;
  char* end;
  // The integer part of the scaled value and its fraction, both exact.
  const auto whole = static_cast<uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(whole);
  if (fraction == 0.5 && std::fma(a, Pow10[decimals], -scaled) == 0) {
    // Halves round away from zero as in FloatToStrFixed; std::to_chars rounds them to even. A
    // half is exact only where the scaled product is (fma gives the product's rounding error).
    end = FixedDigits(digits, whole + 1, decimals);
  } else if (fraction != 0.5) {
    // The halves below 1e15 are doubles, and the rounded product lies on the same side of each
    // of them as the exact one (or on it): the fraction rounds the exact value as to_chars does.
    end = FixedDigits(digits, whole + (fraction > 0.5 ? 1 : 0), decimals);
  } else {
    end = std::to_chars(digits, text + sizeof text, a, std::chars_format::fixed, decimals).ptr;
  }
  bool zero = true;
  for (char* c = digits; c != end; ++c) {
    if (*c >= '1' && *c <= '9') zero = false;
    if (*c == '.') *c = separator;
  }
  // A value that rounds to zero carries no sign.
  const bool minus = std::signbit(value) && !zero;
  const char* const first = minus ? text : digits;
  if (minus) text[0] = '-';
  const size_t chars = static_cast<size_t>(end - first);
  if (chars > width) return false;
  // Character by character: a field has a few of them, and a block copy or fill of a few bytes
  // starts slower than that.
  for (size_t i = chars; i < width; ++i) out.push_back(' ');
  for (const char* c = first; c != end; ++c) out.push_back(*c);
  return true;
}

int FloatExponent(double x) { return SplitScientific(x).exponent; }

int FloatDecimals(double x) {
  if (!std::isfinite(x)) return 0;
  const std::string decimals = SplitScientific(x).mantissa.substr(3, 8);
  int k = 0;
  for (int i = 0; i < static_cast<int>(decimals.size()); ++i)
    if (decimals[static_cast<size_t>(i)] != '0') k = i + 1;
  if (std::fabs(x) < 1) k -= FloatExponent(x);
  return k < 0 ? 0 : k;
}

uint8_t FloatTextLength(double x) {
  const int e = FloatExponent(x);
  const int d = FloatDecimals(x);
  int n;
  if (e <= 0)
    n = (e + d + 2) & 0xFF;
  else if (e < d)
    n = e + d + 1;
  else
    n = e + 1;
  if (x < 0) ++n;
  return static_cast<uint8_t>(n);
}

std::string TrimLeftBlanks(const std::string& s) { return TrimLeft(s, " "); }
std::string TrimRightBlanks(const std::string& s) { return TrimRight(s, " "); }
std::string TrimBlanks(const std::string& s) { return Trim(s, " "); }

bool AddToken(std::string& s, const std::string& token) {
  if (s.find(token) != std::string::npos) return false;
  s += token;
  return true;
}

bool RemoveToken(std::string& s, const std::string& token) {
  size_t pos = s.find(token);
  if (pos == std::string::npos) return false;
  s.erase(pos, token.size());
  return true;
}

}  // namespace qv
