#pragma once
// Floating-point text as the runtime writes and reads it. Every routine takes its decimal
// separator as an argument and never consults the C locale, so two threads may format with
// different separators at once.
#include <string>

namespace qv {

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed };

// General: Precision significant digits, fixed notation while the decimal exponent is at most
// Precision - 1 and the value is at least 1E-5 in size, else "dE-ddd" with at least Digits exponent
// digits; trailing zeros dropped. Exponent: Precision digits in "d.dddE+dddd" form. Fixed: Digits
// decimals, rounded to Precision significant digits first; the exponent form when the integer
// part has more than Precision digits. Precision is taken in 1..18, Digits in 0..18 (0..4 for the
// exponent's digit count).
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits, char decimal_separator = '.');
// General format with 15 significant digits.
std::string FloatToStr(double value, char decimal_separator = '.');
// The runtime's default scientific text: sign or blank, one digit, ".", 14 decimals, "E",
// exponent sign and four digits (" 1.23456000000000E+0005").
std::string FloatToStrScientific(double value);
// Fixed notation with Decimals decimals and "." right-aligned in Width characters; longer when
// it does not fit.
std::string FloatToStrFixed(double value, int width, int decimals);

// Blanks around the number are ignored; only decimal_separator is taken as the decimal point.
// Throws EConvertError "'S' is not a valid floating point value".
double StrToFloat(const std::string& text, char decimal_separator = '.');
bool TryStrToFloat(const std::string& text, double& value, char decimal_separator = '.');

}  // namespace qv
