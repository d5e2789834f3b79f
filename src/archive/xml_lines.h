#pragma once
// Archive XML files are written one element per line, two blanks of indentation per level, values
// in UTF-8 without escaping, and read back line by line in the written order. These are the line
// writers and readers and the text forms of values. The readers are pure: they only look at the
// lines they are given.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/date_time.h"

namespace qv {

// Lines being written, and lines being read: views into the text of the file.
using TXmlLines = std::vector<std::string>;
using TXmlLineViews = std::vector<std::string_view>;
TXmlLineViews XmlLineViews(const TXmlLines& lines);

// The missing-value marker of data rows.
inline constexpr double XmlMissingValue = -1.501e38;

std::string XmlTagLine(const std::string& tag, const std::string& value, int level);
// "<text>" or "</text>"; text may carry attributes or end in " /".
std::string XmlTagOpenClose(const std::string& text, bool opening, int level);
std::string XmlDataRowLine(int32_t logger, int32_t channel, int level, double value, TDateTime time);
// The same line appended to text.
void AppendDataRowLine(std::string& text, int32_t logger, int32_t channel, int level, double value, TDateTime time);

// The line at index, or an empty line past either end, so readers never read outside the list.
std::string_view XmlLineAt(const TXmlLineViews& lines, int index);

// Readers. Those with a counter advance it by one exactly when they succeed.
bool XmlGetTagText(std::string_view line, const std::string& tag, std::string& text);
bool XmlHasTag(std::string_view line, const std::string& tag, bool opening, int& counter);
bool XmlGetAttribute(std::string_view line, const std::string& name, std::string& text);
// The first index at or after start whose line contains text, or -1.
int FindLineContaining(const TXmlLineViews& lines, const std::string& text, int start);
// A value that may go on over several lines; they are joined with CR LF.
bool XmlGetMultiLineText(const TXmlLineViews& lines, const std::string& tag, int& counter, std::string& text);
bool XmlReadString(std::string_view line, const std::string& tag, int& counter, std::string& text);
bool XmlReadMultiLineString(const TXmlLineViews& lines, const std::string& tag, int& counter, std::string& text);
// Fails (without raising) on a text that is not a decimal integer.
bool XmlReadInteger(std::string_view line, const std::string& tag, int& counter, int32_t& value);
// Raises EConvertError when the element is there but its text is not a number.
bool XmlReadFloat(std::string_view line, const std::string& tag, int& counter, double& value);
bool XmlReadBoolean(std::string_view line, const std::string& tag, int& counter, bool& value);
// Raises EConvertError when the element is there but its text is not a date-time.
bool XmlReadDateTime(std::string_view line, const std::string& tag, int& counter, TDateTime& value);
// Fails on a bad Logger, Channel or Value; raises EConvertError on a bad Time.
bool XmlReadDataRow(std::string_view line, int& counter, TDateTime& time, int32_t& logger, int32_t& channel,
                    double& value);

// Value text forms.
std::string BoolToXmlText(bool value);
bool XmlTextToBool(const std::string& text);
// The local clock time labelled "Z": yyyy-mm-ddThh:nn:ss.zzzZ.
std::string DateTimeToXmlText(TDateTime time);
// An XML-Schema date-time; "Z" gives the clock time written, an offset is applied. Any time of
// the base day gives 0. Raises EConvertError on a malformed text.
TDateTime XmlTextToDateTime(const std::string& text);
// General format, "." as decimal point, at least three exponent digits.
std::string FloatToXmlText(double value, int precision);
// Optional sign and decimal digits within 32 bits.
bool TryXmlTextToInt(std::string_view text, int32_t& value);

}  // namespace qv
