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

bool AppendFixedWidthText(std::string& out, uint8_t width, uint8_t decimals, double value, char separator) {
  static constexpr double Pow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (!std::isfinite(value) || decimals > 15) return false;
  const double a = std::fabs(value);
  const double scaled = a * Pow10[decimals];
  // Up to 15 digits all come out exact; longer texts are rounded to 18 digits first, which is
  // left to FloatToWidthStr.
  if (!(scaled < 1e15)) return false;
  char text[48];
  char* end;
  // Halves round away from zero as in FloatToStrFixed; std::to_chars rounds them to even. A half
  // is exact only where the scaled product is (fma gives the product's rounding error).
  if (scaled >= 0.5 && std::fma(a, Pow10[decimals], -scaled) == 0 && scaled - std::floor(scaled) == 0.5) {
    char digits[24];
    char* d_end = std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(scaled) + 1).ptr;
    size_t n = static_cast<size_t>(d_end - digits);
    // At least one integer digit before the decimals.
    size_t lead = n <= decimals ? decimals + 1 - n : 0;
    end = text;
    for (size_t k = 0; k < lead + n; ++k) {
      if (decimals > 0 && k == lead + n - decimals) *end++ = '.';
      *end++ = k < lead ? '0' : digits[k - lead];
    }
  } else {
    end = std::to_chars(text, text + sizeof text, a, std::chars_format::fixed, decimals).ptr;
  }
  bool zero = true;
  for (const char* c = text; c != end; ++c)
    if (*c >= '1' && *c <= '9') zero = false;
  // A value that rounds to zero carries no sign.
  const bool minus = std::signbit(value) && !zero;
  const size_t chars = static_cast<size_t>(end - text) + (minus ? 1 : 0);
  if (chars > width) return false;
  out.append(width - chars, ' ');
  if (minus) out += '-';
  for (const char* c = text; c != end; ++c) out += *c == '.' ? separator : *c;
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
