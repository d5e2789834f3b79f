#pragma once
// The runtime's Format: "%" [index ":"] ["-"] [width] ["." precision] type, with the types
// d u x e f g n m p s and "%%"; width and precision may be "*" (taken from the arguments).
// A bad format or an argument of the wrong kind raises EConvertError.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "platform/rtl/format_settings.h"

namespace qv {

// One argument of Format: an integer, a floating-point value, a text or a pointer.
class TFormatArg {
public:
  template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
  TFormatArg(T v) : v_(static_cast<int64_t>(v)) {}  // NOLINT: implicit by design
  TFormatArg(float v) : v_(static_cast<double>(v)) {}
  TFormatArg(double v) : v_(v) {}
  TFormatArg(const char* v) : v_(std::string(v ? v : "")) {}
  TFormatArg(std::string_view v) : v_(std::string(v)) {}
  TFormatArg(const std::string& v) : v_(v) {}
  TFormatArg(const void* v) : v_(v) {}

  const std::variant<int64_t, double, std::string, const void*>& Value() const { return v_; }

private:
  std::variant<int64_t, double, std::string, const void*> v_;
};

std::string FormatV(std::string_view fmt, std::initializer_list<TFormatArg> args,
                    const TFormatSettings& settings = CurrentFormatSettings());

template <class... A>
std::string Format(std::string_view fmt, const A&... args) {
  return FormatV(fmt, {TFormatArg(args)...});
}

}  // namespace qv
