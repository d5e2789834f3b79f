// The main of the test binaries that reach the GUI layer. A test must not leave the process's
// number and date formats or its language changed for the tests after it, which run in any
// order: a listener fails the test that does, and puts them back. At the end no worker thread of
// the toolkit is left running while the process exits and its memory is checked.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "base/resource_locale.h"
#include "platform/gui/forms.h"
#include "platform/rtl/format_settings.h"

namespace {

bool SameFormats(const qv::TFormatSettings& a, const qv::TFormatSettings& b) {
  const auto fields = [](const qv::TFormatSettings& f) {
    return std::tie(f.DecimalSeparator, f.ThousandSeparator, f.DateSeparator, f.TimeSeparator, f.ShortDateFormat,
                    f.LongDateFormat, f.ShortTimeFormat, f.LongTimeFormat, f.TimeAMString, f.TimePMString,
                    f.CurrencyString, f.CurrencyFormat, f.NegCurrFormat, f.CurrencyDecimals,
                    f.TwoDigitYearCenturyWindow, f.ShortMonthNames, f.LongMonthNames, f.ShortDayNames, f.LongDayNames,
                    f.ListSeparator, f.UsEnglish);
  };
  return fields(a) == fields(b);
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
    if (!SameFormats(qv::FormatSettings, formats_)) {
      ADD_FAILURE() << "The test left the number and date formats (FormatSettings) changed.";
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
  ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
  // Before the printer, so that a failure it adds is printed with its test.
  ::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
  listeners.Append(new GlobalStateGuard);
  if (printer) listeners.Append(printer);
  const int result = RUN_ALL_TESTS();
  qv::EndGuiWorkers();
  return result;
}
