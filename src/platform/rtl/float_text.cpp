#include "platform/rtl/float_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/rtl/exception.h"

namespace qv {

namespace {

// A finite value as 0.d1d2d3... * 10^exp; digits has no trailing zeros and is empty for zero.
struct Decimal {
  bool negative = false;
  int exp = 0;
  std::string digits;
};

// The decimal digits of |value| rounded to `precision` significant digits, and to at most
// `decimals_limit` decimals when that is not negative. Halves round away from zero, as the
// runtime's text conversion does; the digits come from std::to_chars, which never looks at the
// locale.
Decimal ToDecimal(double value, int precision, int decimals_limit) {
  Decimal d;
  if (value == 0) return d;
  d.negative = std::signbit(value);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 40);
  const std::string s(buf, r.ptr);
  const size_t e_pos = s.find('e');
  std::string digits;
  for (size_t i = 0; i < e_pos; ++i)
    if (s[i] != '.') digits += s[i];
  int point = std::atoi(s.c_str() + e_pos + 1) + 1;  // value = 0.digits * 10^point
  int keep = precision;
  if (decimals_limit >= 0) keep = std::min(keep, point + decimals_limit);
  if (keep < 0) return Decimal{};
  const bool up = digits[static_cast<size_t>(keep)] >= '5';
  digits.resize(static_cast<size_t>(keep));
  if (up) {
    size_t k = digits.size();
    while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
    if (k == 0) {
      digits.insert(digits.begin(), '1');
      ++point;
    } else {
      ++digits[k - 1];
    }
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return Decimal{};
  d.digits = digits;
  d.exp = point;
  return d;
}

std::string ExponentText(int e, int min_digits, bool plus) {
  std::string n = std::to_string(std::abs(e));
  if (static_cast<int>(n.size()) < min_digits) n.insert(0, static_cast<size_t>(min_digits) - n.size(), '0');
  if (e < 0) return "E-" + n;
  return (plus ? "E+" : "E") + n;
}

// Digits in fixed notation with exactly `decimals` decimals (or as many as the digits need when
// decimals < 0).
std::string FixedText(const Decimal& d, int decimals, char sep) {
  std::string int_part, frac;
  for (int i = 0; i < d.exp; ++i)
    int_part += i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] : '0';
  if (int_part.empty()) int_part = "0";
  for (int i = d.exp; i < static_cast<int>(d.digits.size()); ++i)
    frac += i < 0 ? '0' : d.digits[static_cast<size_t>(i)];
  if (decimals >= 0) {
    if (static_cast<int>(frac.size()) < decimals) frac.append(static_cast<size_t>(decimals) - frac.size(), '0');
    frac.resize(static_cast<size_t>(decimals));
  }
  std::string out = d.negative ? "-" : "";
  out += int_part;
  if (!frac.empty()) out += sep + frac;
  return out;
}

std::string ExponentForm(const Decimal& d, int mantissa_digits, int exp_digits, bool plus, char sep) {
  std::string digits = d.digits.empty() ? "0" : d.digits;
  if (mantissa_digits > 0 && static_cast<int>(digits.size()) < mantissa_digits)
    digits.append(static_cast<size_t>(mantissa_digits) - digits.size(), '0');
  std::string out = d.negative ? "-" : "";
  out += digits[0];
  if (digits.size() > 1) out += sep + digits.substr(1);
  return out + ExponentText(d.digits.empty() ? 0 : d.exp - 1, exp_digits, plus);
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits, char sep) {
  if (!std::isfinite(value)) return NonFinite(value);
  precision = std::clamp(precision, 1, 18);
  const int exp_digits = std::clamp(digits, 0, 4);
  switch (format) {
    case TFloatFormat::ffGeneral: {
      Decimal d = ToDecimal(value, precision, -1);
      if (d.digits.empty()) return "0";
      if (d.exp > precision || d.exp < -3) return ExponentForm(d, 0, exp_digits, false, sep);
      return FixedText(d, -1, sep);
    }
    case TFloatFormat::ffExponent:
      return ExponentForm(ToDecimal(value, precision, -1), precision, exp_digits, true, sep);
    case TFloatFormat::ffFixed: {
      const int decimals = std::clamp(digits, 0, 18);
      Decimal d = ToDecimal(value, precision, decimals);
      if (d.exp > precision) return ExponentForm(ToDecimal(value, precision, -1), precision, 0, true, sep);
      return FixedText(d, decimals, sep);
    }
  }
  return {};
}

std::string FloatToStr(double value, char decimal_separator) {
  return FloatToStrF(value, TFloatFormat::ffGeneral, 15, 0, decimal_separator);
}

std::string FloatToStrScientific(double value) {
  if (!std::isfinite(value)) return NonFinite(value);
  const Decimal d = ToDecimal(value, 15, -1);
  return (d.negative ? "" : " ") + ExponentForm(d, 15, 4, true, '.');
}

std::string FloatToStrFixed(double value, int width, int decimals) {
  std::string s;
  if (!std::isfinite(value)) {
    s = NonFinite(value);
  } else {
    decimals = std::clamp(decimals, 0, 255);
    s = FixedText(ToDecimal(value, 18, decimals), decimals, '.');
  }
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
  return s;
}

bool TryStrToFloat(const std::string& text, double& value, char sep) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return false;
  size_t e = text.find_last_not_of(' ') + 1;
  std::string s = text.substr(b, e - b);
  // Validate by the runtime's grammar: sign, digits, one separator, digits, exponent.
  size_t i = 0, mantissa_digits = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++mantissa_digits;
  if (i < s.size() && s[i] == sep) {
    s[i] = '.';
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != s.size()) return false;
  const char* first = s.c_str();
  if (*first == '+') ++first;
  double v = 0;
  auto r = std::from_chars(first, s.c_str() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.c_str() + s.size()) return false;
  value = v;
  return true;
}

double StrToFloat(const std::string& text, char decimal_separator) {
  double v = 0;
  if (!TryStrToFloat(text, v, decimal_separator))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return v;
}

}  // namespace qv
