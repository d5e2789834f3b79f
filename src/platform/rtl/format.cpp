#include "platform/rtl/format.h"

#include "platform/rtl/float_text.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/rtl/exception.h"

namespace qv {

TFormatSettings FormatSettings;

namespace {
// Static initialisation runs on the program's main thread.
const std::thread::id g_main_thread = std::this_thread::get_id();
// Every record ever published, so that references handed out stay valid; a language switch is
// a rare user action, so the list stays short. Guarded by g_published_mutex.
std::mutex g_published_mutex;
std::deque<TFormatSettings> g_published_records{TFormatSettings{}};
std::atomic<const TFormatSettings*> g_published{&g_published_records.front()};
// Main thread only, as ReplaceFormatSettings.
std::function<void()> g_changed_hook;
}  // namespace

const TFormatSettings& CurrentFormatSettings() {
  if (std::this_thread::get_id() == g_main_thread) return FormatSettings;
  return *g_published.load(std::memory_order_acquire);
}

void ReplaceFormatSettings(const TFormatSettings& settings) {
  FormatSettings = settings;
  {
    std::lock_guard<std::mutex> lock(g_published_mutex);
    g_published_records.push_back(settings);
    g_published.store(&g_published_records.back(), std::memory_order_release);
  }
  if (g_changed_hook) g_changed_hook();
}

void SetFormatSettingsChangedHook(std::function<void()> hook) { g_changed_hook = std::move(hook); }

namespace {

[[noreturn]] void BadFormat(std::string_view fmt) {
  throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
}

// Rounds a digit string (no point) to `keep` digits, halves away from zero as the runtime
// does; answers true when the carry added a leading digit.
bool RoundDigits(std::string& digits, size_t keep) {
  if (digits.size() <= keep) {
    digits.append(keep - digits.size(), '0');
    return false;
  }
  bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (!up) return false;
  for (size_t k = keep; k-- > 0;) {
    if (digits[k] != '9') {
      ++digits[k];
      return false;
    }
    digits[k] = '0';
  }
  digits = '1' + digits;
  return true;
}

// Decimal digits of |v| rounded to `precision` significant digits, and the position of the
// decimal point relative to the first digit (1.5 gives "15", 1).
void SignificantDigits(double v, int precision, std::string& digits, int& point) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.*e", precision + 24, std::fabs(v));
  digits.clear();
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  point = (*p == 'e') ? std::atoi(p + 1) + 1 : 1;
  if (RoundDigits(digits, static_cast<size_t>(precision))) {
    digits.resize(static_cast<size_t>(precision));
    ++point;
  }
}

std::string ExponentText(int exp, int min_digits, bool plus) {
  std::string s = exp < 0 ? "-" : (plus ? "+" : "");
  std::string n = std::to_string(std::abs(exp));
  if (static_cast<int>(n.size()) < min_digits) n = std::string(static_cast<size_t>(min_digits) - n.size(), '0') + n;
  return s + n;
}

std::string TrimZeros(std::string s) {
  while (!s.empty() && s.back() == '0') s.pop_back();
  return s;
}

std::string FloatExponent(double v, int precision, int exp_digits, const TFormatSettings& fs) {
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  std::string digits;
  int point;
  SignificantDigits(v, precision, digits, point);
  if (v == 0) point = 1;
  std::string s = std::signbit(v) && v != 0 ? "-" : "";
  s += digits.substr(0, 1);
  if (digits.size() > 1) s += fs.DecimalSeparator + digits.substr(1);
  return s + "E" + ExponentText(point - 1, exp_digits, true);
}

std::string InsertThousands(const std::string& int_part, char sep) {
  std::string out;
  int n = static_cast<int>(int_part.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0 && sep != 0) out += sep;
    out += int_part[static_cast<size_t>(i)];
  }
  return out;
}

std::string FloatFixed(double v, int decimals, bool thousands, const TFormatSettings& fs) {
  if (decimals < 0) decimals = 0;
  if (decimals > 18) decimals = 18;
  if (std::fabs(v) >= 1e18) return FloatExponent(v, 15, 3, fs);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals + 24, std::fabs(v));
  std::string s = buf;
  size_t dot = s.find('.');
  std::string digits = s.substr(0, dot) + s.substr(dot + 1);
  size_t int_len = dot;
  if (RoundDigits(digits, int_len + static_cast<size_t>(decimals))) ++int_len;
  std::string int_part = digits.substr(0, int_len);
  std::string frac = digits.substr(int_len);
  bool is_zero = digits.find_first_not_of('0') == std::string::npos;
  std::string out = (std::signbit(v) && !is_zero) ? "-" : "";
  out += thousands ? InsertThousands(int_part, fs.ThousandSeparator) : int_part;
  if (!frac.empty()) out += fs.DecimalSeparator + frac;
  return out;
}

std::string FloatGeneral(double v, int precision, const TFormatSettings& fs) {
  if (precision < 1 || precision > 18) precision = 15;
  if (v == 0) return "0";
  std::string digits;
  int point;
  SignificantDigits(v, precision, digits, point);
  digits = TrimZeros(digits);
  std::string s = v < 0 ? "-" : "";
  if (point > precision || point < -3) {
    s += digits.substr(0, 1);
    if (digits.size() > 1) s += fs.DecimalSeparator + digits.substr(1);
    return s + "E" + ExponentText(point - 1, 0, false);
  }
  if (point <= 0) {
    return s + "0" + fs.DecimalSeparator + std::string(static_cast<size_t>(-point), '0') + digits;
  }
  if (static_cast<int>(digits.size()) <= point)
    return s + digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
  return s + digits.substr(0, static_cast<size_t>(point)) + fs.DecimalSeparator +
         digits.substr(static_cast<size_t>(point));
}

std::string Currency(double v, int decimals, const TFormatSettings& fs) {
  std::string n = FloatFixed(std::fabs(v), decimals, true, fs);
  std::string c = fs.CurrencyString;
  std::string s;
  switch (fs.CurrencyFormat) {
    case 1: s = n + c; break;
    case 2: s = c + " " + n; break;
    case 3: s = n + " " + c; break;
    default: s = c + n; break;
  }
  return v < 0 ? "-" + s : s;
}

}  // namespace

std::string FormatV(std::string_view fmt, std::initializer_list<TFormatArg> arg_list, const TFormatSettings& fs) {
  std::vector<const TFormatArg*> args;
  for (const TFormatArg& a : arg_list) args.push_back(&a);
  std::string out;
  size_t next_arg = 0;
  size_t i = 0;
  auto take = [&](std::string_view whole) -> const TFormatArg& {
    if (next_arg >= args.size()) throw EConvertError("No argument for format '" + std::string(whole) + "'");
    return *args[next_arg++];
  };
  while (i < fmt.size()) {
    char c = fmt[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    size_t start = i++;
    if (i < fmt.size() && fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // Reads a number or "*"; -1 when neither is there.
    auto number = [&](std::string_view whole) -> long {
      if (i < fmt.size() && fmt[i] == '*') {
        ++i;
        const TFormatArg& a = take(whole);
        if (!std::holds_alternative<int64_t>(a.Value())) BadFormat(whole);
        int64_t n = std::get<int64_t>(a.Value());
        if (n > 100000) BadFormat(whole);  // the same bound as a written width
        return static_cast<long>(n);
      }
      if (i >= fmt.size() || fmt[i] < '0' || fmt[i] > '9') return -1;
      long n = 0;
      while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
        n = n * 10 + (fmt[i] - '0');
        if (n > 100000) BadFormat(fmt);
        ++i;
      }
      return n;
    };
    long n = number(fmt);
    if (i < fmt.size() && fmt[i] == ':') {
      if (n < 0) n = 0;
      next_arg = static_cast<size_t>(n);
      ++i;
      n = -2;
    }
    bool left = false;
    if (i < fmt.size() && fmt[i] == '-') {
      left = true;
      ++i;
    }
    long width = n >= 0 ? n : number(fmt);
    long prec = -1;
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      prec = number(fmt);
      if (prec < 0) prec = 0;
    }
    if (i >= fmt.size()) BadFormat(fmt);
    char type = static_cast<char>(fmt[i] | 0x20);
    ++i;
    std::string_view whole = fmt.substr(start, i - start);
    const TFormatArg& a = take(fmt);
    const auto& v = a.Value();
    std::string text;
    auto as_double = [&]() -> double {
      if (!std::holds_alternative<double>(v)) BadFormat(whole);
      return std::get<double>(v);
    };
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        if (!std::holds_alternative<int64_t>(v)) BadFormat(whole);
        int64_t x = std::get<int64_t>(v);
        bool neg = false;
        uint64_t mag;
        if (type == 'd') {
          neg = x < 0;
          mag = neg ? 0 - static_cast<uint64_t>(x) : static_cast<uint64_t>(x);
        } else {
          // Unsigned and hex forms show a negative 32-bit value as its two's complement.
          mag = (x < 0 && x >= INT32_MIN) ? static_cast<uint32_t>(x) : static_cast<uint64_t>(x);
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, type == 'x' ? "%llX" : "%llu", static_cast<unsigned long long>(mag));
        text = buf;
        if (prec >= 0 && static_cast<long>(text.size()) < prec)
          text = std::string(static_cast<size_t>(prec) - text.size(), '0') + text;
        if (neg) text = '-' + text;
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm':
        if (!std::isfinite(as_double())) {  // as the runtime's float text: "INF", "-INF", "NAN"
          text = FloatToStr(as_double());
          break;
        }
        switch (type) {
          case 'e': text = FloatExponent(as_double(), prec < 0 ? 15 : static_cast<int>(prec), 3, fs); break;
          case 'f': text = FloatFixed(as_double(), prec < 0 ? 2 : static_cast<int>(prec), false, fs); break;
          case 'g': text = FloatGeneral(as_double(), prec < 0 ? 15 : static_cast<int>(prec), fs); break;
          case 'n': text = FloatFixed(as_double(), prec < 0 ? 2 : static_cast<int>(prec), true, fs); break;
          case 'm': text = Currency(as_double(), prec < 0 ? fs.CurrencyDecimals : static_cast<int>(prec), fs); break;
        }
        break;
      case 'p': {
        if (!std::holds_alternative<const void*>(v)) BadFormat(whole);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(std::get<const void*>(v))));
        text = buf;
        break;
      }
      case 's': {
        if (!std::holds_alternative<std::string>(v)) BadFormat(whole);
        text = std::get<std::string>(v);
        if (prec >= 0 && static_cast<long>(text.size()) > prec) text.resize(static_cast<size_t>(prec));
        break;
      }
      default: BadFormat(whole);
    }
    if (width > 0 && static_cast<long>(text.size()) < width) {
      std::string pad(static_cast<size_t>(width) - text.size(), ' ');
      text = left ? text + pad : pad + text;
    }
    out += text;
  }
  return out;
}

}  // namespace qv
