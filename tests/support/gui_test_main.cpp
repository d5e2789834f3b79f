// The main of the test binaries that reach the GUI layer. A test must not leave the process's
// number and date formats or its language changed for the tests after it, which run in any
// order: a listener fails the test that does, and puts them back. At the end no worker thread of
// the toolkit is left running while the process exits and its memory is checked.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/resource_locale.h"
#include "platform/gui/forms.h"
#include "platform/rtl/format_settings.h"

namespace {

// The names of the fields that differ; "" when none does.
std::string ChangedFormats(const qv::TFormatSettings& a, const qv::TFormatSettings& b) {
  std::string out;
  const auto field = [&out](const char* name, const auto& x, const auto& y) {
    if (!(x == y)) out += std::string(out.empty() ? "" : ", ") + name;
  };
  field("DecimalSeparator", a.DecimalSeparator, b.DecimalSeparator);
  field("ThousandSeparator", a.ThousandSeparator, b.ThousandSeparator);
  field("DateSeparator", a.DateSeparator, b.DateSeparator);
  field("TimeSeparator", a.TimeSeparator, b.TimeSeparator);
  field("ShortDateFormat", a.ShortDateFormat, b.ShortDateFormat);
  field("LongDateFormat", a.LongDateFormat, b.LongDateFormat);
  field("ShortTimeFormat", a.ShortTimeFormat, b.ShortTimeFormat);
  field("LongTimeFormat", a.LongTimeFormat, b.LongTimeFormat);
  field("TimeAMString", a.TimeAMString, b.TimeAMString);
  field("TimePMString", a.TimePMString, b.TimePMString);
  field("CurrencyString", a.CurrencyString, b.CurrencyString);
  field("CurrencyFormat", a.CurrencyFormat, b.CurrencyFormat);
  field("NegCurrFormat", a.NegCurrFormat, b.NegCurrFormat);
  field("CurrencyDecimals", a.CurrencyDecimals, b.CurrencyDecimals);
  field("TwoDigitYearCenturyWindow", a.TwoDigitYearCenturyWindow, b.TwoDigitYearCenturyWindow);
  field("ShortMonthNames", a.ShortMonthNames, b.ShortMonthNames);
  field("LongMonthNames", a.LongMonthNames, b.LongMonthNames);
  field("ShortDayNames", a.ShortDayNames, b.ShortDayNames);
  field("LongDayNames", a.LongDayNames, b.LongDayNames);
  field("ListSeparator", a.ListSeparator, b.ListSeparator);
  field("UsEnglish", a.UsEnglish, b.UsEnglish);
  return out;
}

class GlobalStateGuard : public ::testing::EmptyTestEventListener {
public:
  void OnTestStart(const ::testing::TestInfo&) override {
    formats_ = qv::FormatSettings;
    locale_ = qv::CurrentResourceLocale();
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (qv::CurrentResourceLocale() != locale_) {
      ADD_FAILURE() << "The test left the language changed (locale " << qv::CurrentResourceLocale() << ", was "
                    << locale_ << ").";
      qv::SetResourceLocale(locale_, false);
    }
    if (const std::string changed = ChangedFormats(qv::FormatSettings, formats_); !changed.empty()) {
      ADD_FAILURE() << "The test left the number and date formats changed: " << changed << ".";
      qv::ReplaceFormatSettings(formats_);
    }
  }

private:
  qv::TFormatSettings formats_;
  uint32_t locale_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // After the printer: the ends of tests reach the listeners in reverse order, so a failure the
  // guard adds is printed with its test.
  ::testing::UnitTest::GetInstance()->listeners().Append(new GlobalStateGuard);
  const int result = RUN_ALL_TESTS();
  qv::EndGuiWorkers();
  return result;
}
