#include "archive/xml_lines.h"

#include <charconv>
#include <string_view>
#include <cmath>

#include "base/utils.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/text_encoding.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

std::string Indent(int level) { return std::string(static_cast<size_t>(std::max(level, 0)) * 2, ' '); }

bool Digits(std::string_view text, size_t& pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

[[noreturn]] void BadDateTime(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
}

// The value of the first name="..." in the line, without copying (data rows are read by the
// hundred thousand).
bool AttributeView(std::string_view line, std::string_view name, std::string_view& text) {
  for (size_t at = line.find(name); at != std::string_view::npos; at = line.find(name, at + 1)) {
    const size_t from = at + name.size();
    if (line.compare(from, 2, "=\"") != 0) continue;
    const size_t end = line.find('"', from + 2);
    if (end == std::string_view::npos) return false;
    text = line.substr(from + 2, end - from - 2);
    return true;
  }
  return false;
}

// A data row exactly as AppendDataRowLine writes it (blanks, then <DataRow Time="…" Logger="…"
// Channel="…" Value="…"): the four values in one pass. False for any other form.
bool CanonicalDataRow(std::string_view line, std::string_view& time, std::string_view& logger,
                      std::string_view& channel, std::string_view& value) {
  size_t p = line.find_first_not_of(' ');
  if (p == std::string_view::npos) return false;
  auto take = [&](std::string_view head, std::string_view& out) {
    if (line.compare(p, head.size(), head) != 0) return false;
    p += head.size();
    const size_t end = line.find('"', p);
    if (end == std::string_view::npos) return false;
    out = line.substr(p, end - p);
    p = end;
    return true;
  };
  return take("<DataRow Time=\"", time) && take("\" Logger=\"", logger) && take("\" Channel=\"", channel) &&
         take("\" Value=\"", value);
}

char* PutDigits(char* p, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return p + width;
}

TDateTime ParseXmlDateTime(std::string_view text);
void AppendDateTimeXmlText(std::string& text, TDateTime time);
void AppendFloatXmlText(std::string& out, double value, int precision);

}  // namespace

std::string_view XmlLineAt(const TXmlLineViews& lines, int index) {
  return index >= 0 && static_cast<size_t>(index) < lines.size() ? lines[static_cast<size_t>(index)]
                                                                 : std::string_view();
}

TXmlLineViews XmlLineViews(const TXmlLines& lines) { return TXmlLineViews(lines.begin(), lines.end()); }

std::string XmlTagLine(const std::string& tag, const std::string& value, int level) {
  return Indent(level) + "<" + tag + ">" + value + "</" + tag + ">";
}

std::string XmlTagOpenClose(const std::string& text, bool opening, int level) {
  return Indent(level) + (opening ? "<" : "</") + text + ">";
}

std::string XmlDataRowLine(int32_t logger, int32_t channel, int level, double value, TDateTime time) {
  std::string line;
  line.reserve(static_cast<size_t>(std::max(level, 0)) * 2 + 100);
  AppendDataRowLine(line, logger, channel, level, value, time);
  return line;
}

void AppendDataRowLine(std::string& line, int32_t logger, int32_t channel, int level, double value, TDateTime time) {
  line.append(static_cast<size_t>(std::max(level, 0)) * 2, ' ');
  char number[16];
  line += "<DataRow Time=\"";
  AppendDateTimeXmlText(line, time);
  line += "\" Logger=\"";
  line.append(number, std::to_chars(number, number + sizeof number, logger).ptr);
  line += "\" Channel=\"";
  line.append(number, std::to_chars(number, number + sizeof number, channel).ptr);
  line += "\" Value=\"";
  AppendFloatXmlText(line, value, 6);
  line += "\" />";
}

bool XmlGetTagText(std::string_view line, const std::string& tag, std::string& text) {
  const std::string open = "<" + tag + ">";
  const size_t start = line.find(open);
  if (start == std::string::npos) return false;
  const size_t from = start + open.size();
  const size_t end = line.find("</" + tag + ">", from);
  if (end == std::string::npos) return false;
  text.assign(line.substr(from, end - from));
  return true;
}

bool XmlHasTag(std::string_view line, const std::string& tag, bool opening, int& counter) {
  const bool found = line.find(opening ? "<" + tag : "</" + tag + ">") != std::string::npos;
  if (found) ++counter;
  return found;
}

bool XmlGetAttribute(std::string_view line, const std::string& name, std::string& text) {
  std::string_view view;
  if (!AttributeView(line, name, view)) return false;
  text.assign(view);
  return true;
}

int FindLineContaining(const TXmlLineViews& lines, const std::string& text, int start) {
  for (size_t i = static_cast<size_t>(std::max(start, 0)); i < lines.size(); ++i)
    if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
  return -1;
}

bool XmlGetMultiLineText(const TXmlLineViews& lines, const std::string& tag, int& counter, std::string& text) {
  if (counter < 0 || static_cast<size_t>(counter) >= lines.size()) return false;
  const std::string_view first = lines[static_cast<size_t>(counter)];
  const std::string open = "<" + tag + ">";
  const std::string close = "</" + tag + ">";
  const size_t start = first.find(open);
  if (start == std::string::npos) return false;
  const size_t from = start + open.size();
  const size_t end = first.find(close, from);
  if (end != std::string::npos) {
    text.assign(first.substr(from, end - from));
    ++counter;
    return true;
  }
  const int last = FindLineContaining(lines, close, counter);
  if (last < 0) return false;
  std::string value(first.substr(from));
  for (int i = counter + 1; i < last; ++i) {
    value += "\r\n";
    value += lines[static_cast<size_t>(i)];
  }
  const std::string_view closing = lines[static_cast<size_t>(last)];
  value += "\r\n";
  value += closing.substr(0, closing.find(close));
  text = std::move(value);
  counter = last + 1;
  return true;
}

bool XmlReadString(std::string_view line, const std::string& tag, int& counter, std::string& text) {
  std::string raw;
  if (!XmlGetTagText(line, tag, raw)) return false;
  text = TextLineToUtf8(raw);
  ++counter;
  return true;
}

bool XmlReadMultiLineString(const TXmlLineViews& lines, const std::string& tag, int& counter, std::string& text) {
  std::string raw;
  if (!XmlGetMultiLineText(lines, tag, counter, raw)) return false;
  text = TextLineToUtf8(raw);
  return true;
}

bool TryXmlTextToInt(std::string_view text, int32_t& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  int32_t v = 0;
  const auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last) return false;
  value = v;
  return true;
}

bool XmlReadInteger(std::string_view line, const std::string& tag, int& counter, int32_t& value) {
  std::string raw;
  if (!XmlGetTagText(line, tag, raw) || !TryXmlTextToInt(raw, value)) return false;
  ++counter;
  return true;
}

bool XmlReadFloat(std::string_view line, const std::string& tag, int& counter, double& value) {
  std::string raw;
  if (!XmlGetTagText(line, tag, raw)) return false;
  value = StrToFloat2(raw);
  ++counter;
  return true;
}

bool XmlReadBoolean(std::string_view line, const std::string& tag, int& counter, bool& value) {
  std::string raw;
  if (!XmlGetTagText(line, tag, raw)) return false;
  value = XmlTextToBool(raw);
  ++counter;
  return true;
}

bool XmlReadDateTime(std::string_view line, const std::string& tag, int& counter, TDateTime& value) {
  std::string raw;
  if (!XmlGetTagText(line, tag, raw)) return false;
  value = XmlTextToDateTime(raw);
  ++counter;
  return true;
}

bool XmlReadDataRow(std::string_view line, int& counter, TDateTime& time, int32_t& logger, int32_t& channel,
                    double& value) {
  if (line.find("<DataRow") == std::string::npos) return false;
  std::string_view time_text, logger_text, channel_text, value_text;
  // The form the writer gives, read in one pass; any other order or spacing by name.
  if (!CanonicalDataRow(line, time_text, logger_text, channel_text, value_text) &&
      (!AttributeView(line, "Time", time_text) || !AttributeView(line, "Logger", logger_text) ||
       !AttributeView(line, "Channel", channel_text) || !AttributeView(line, "Value", value_text)))
    return false;
  int32_t l = 0, c = 0;
  double v = 0;
  if (!TryXmlTextToInt(logger_text, l) || !TryXmlTextToInt(channel_text, c)) return false;
  try {
    v = StrToFloat2(std::string(value_text));
  } catch (const EConvertError&) {
    return false;
  }
  time = ParseXmlDateTime(time_text);
  logger = l;
  channel = c;
  value = v;
  ++counter;
  return true;
}

std::string BoolToXmlText(bool value) { return value ? "True" : "False"; }

bool XmlTextToBool(const std::string& text) { return UpperCase(text) == "TRUE"; }

std::string DateTimeToXmlText(TDateTime time) {
  std::string text;
  AppendDateTimeXmlText(text, time);
  return text;
}

namespace {

void AppendDateTimeXmlText(std::string& text, TDateTime time) {
  uint16_t year = 0, month = 0, day = 0, hour = 0, min = 0, sec = 0, msec = 0;
  DecodeDate(time, year, month, day);
  DecodeTime(time, hour, min, sec, msec);
  char buf[24];
  char* p = PutDigits(buf, year, 4);
  *p++ = '-';
  p = PutDigits(p, month, 2);
  *p++ = '-';
  p = PutDigits(p, day, 2);
  *p++ = 'T';
  p = PutDigits(p, hour, 2);
  *p++ = ':';
  p = PutDigits(p, min, 2);
  *p++ = ':';
  p = PutDigits(p, sec, 2);
  *p++ = '.';
  p = PutDigits(p, msec, 3);
  *p++ = 'Z';
  text.append(buf, static_cast<size_t>(p - buf));
}

}  // namespace

TDateTime XmlTextToDateTime(const std::string& text) { return ParseXmlDateTime(text); }

namespace {

TDateTime ParseXmlDateTime(std::string_view text) {
  size_t pos = 0;
  int year = 0, month = 0, day = 0, hour = 0, min = 0, sec = 0;
  if (!Digits(text, pos, 4, year) || !Expect(text, pos, '-') || !Digits(text, pos, 2, month) ||
      !Expect(text, pos, '-') || !Digits(text, pos, 2, day) || !Expect(text, pos, 'T') || !Digits(text, pos, 2, hour) ||
      !Expect(text, pos, ':') || !Digits(text, pos, 2, min) || !Expect(text, pos, ':') || !Digits(text, pos, 2, sec))
    BadDateTime(text);
  // Fractions of a second: as many digits as given, kept to the millisecond.
  double fraction = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    double scale = 0.1;
    const size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      fraction += (text[pos] - '0') * scale;
      scale /= 10;
      ++pos;
    }
    if (pos == start) BadDateTime(text);
  }
  int offset_min = 0;
  if (pos < text.size() && text[pos] == 'Z') {
    ++pos;
  } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    const int sign = text[pos] == '-' ? -1 : 1;
    ++pos;
    int oh = 0, om = 0;
    if (!Digits(text, pos, 2, oh) || !Expect(text, pos, ':') || !Digits(text, pos, 2, om) || oh > 14 || om > 59)
      BadDateTime(text);
    offset_min = sign * (oh * 60 + om);
  }
  if (pos != text.size()) BadDateTime(text);
  TDateTime date = 0, clock = 0;
  if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, min, sec, 0, clock)) BadDateTime(text);
  const double msec = std::round(fraction * 1000);
  const double clock_time = clock + msec * (1.0 / 86400000.0);
  // The runtime's date-time: the time of day counts forward from the date also before 1899.
  TDateTime result = date >= 0 ? date + clock_time : date - clock_time;
  result -= offset_min / 1440.0;
  if (std::trunc(result) == 0) return 0;
  return result;
}

}  // namespace

namespace {

// The general form straight from the shortest round-trip digits, when they are no more than the
// precision: rounding the exact value to that many digits then gives those same digits, so the
// text is the one the full conversion gives, without its exact expansion (data rows are written
// by the hundred thousand). False when the value needs rounding.
bool AppendShortGeneral(std::string& out, double value, int precision) {
  if (value == 0 || !std::isfinite(value)) return false;
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  if (r.ec != std::errc()) return false;
  const std::string_view s(buf, static_cast<size_t>(r.ptr - buf));
  const size_t e = s.find('e');
  const bool negative = s[0] == '-';
  char digits[24];
  size_t count = 0;
  for (size_t i = negative ? 1 : 0; i < e; ++i)
    if (s[i] != '.') digits[count++] = s[i];
  while (count > 1 && digits[count - 1] == '0') --count;
  if (static_cast<int>(count) > precision) return false;
  int exponent = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), exponent);
  const int point = exponent + 1;  // value = 0.digits * 10^point
  if (negative) out += '-';
  if (point > precision || point < -3) {
    out += digits[0];
    if (count > 1) {
      out += '.';
      out.append(digits + 1, count - 1);
    }
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 100) out += '0';
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out.append(digits, count);
  } else if (static_cast<size_t>(point) >= count) {
    out.append(digits, count);
    out.append(static_cast<size_t>(point) - count, '0');
  } else {
    out.append(digits, static_cast<size_t>(point));
    out += '.';
    out.append(digits + point, count - static_cast<size_t>(point));
  }
  return true;
}

}  // namespace

std::string FloatToXmlText(double value, int precision) {
  std::string text;
  if (AppendShortGeneral(text, value, precision)) return text;
  text = FloatToStrF2(TFloatFormat::ffGeneral, precision, 3, value);
  // The files carry the exponent's sign also when it is positive (-1.501E+038).
  const size_t e = text.find('E');
  if (e != std::string::npos && e + 1 < text.size() && text[e + 1] != '-' && text[e + 1] != '+')
    text.insert(e + 1, "+");
  return text;
}

namespace {

void AppendFloatXmlText(std::string& out, double value, int precision) {
  if (!AppendShortGeneral(out, value, precision)) out += FloatToXmlText(value, precision);
}

}  // namespace

}  // namespace qv
