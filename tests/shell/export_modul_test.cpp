#include "shell/export_modul.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/ini_file2.h"
#include "base/utils.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "base/msg_handler.h"
#include "datastore/data_globals.h"
#include "datastore/global_channel.h"
#include "datastore/kw_data.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format_settings.h"
#include "export_fixture.h"
#include "support/temp_dir.h"
#include "visual/data_view.h"

namespace qv {
namespace {

using test::At;
using test::AtDt;
using test::ReadFile;
using test::TDeviceData;

constexpr double M = NoValue;

// Two devices: A with temperature and pressure, B with humidity; records around 10:00 on
// 2 March 2009 with equal, interleaved and missing stamps and values.
class ExportTest : public ::testing::Test {
protected:
  ExportTest() {
    saved_ = FormatSettings;
    TFormatSettings f = saved_;
    f.DecimalSeparator = '.';
    f.DateSeparator = '/';
    f.TimeSeparator = ':';
    ReplaceFormatSettings(f);
    a_.data->SetName("Logger A");
    a_.data->SetSName("LA");
    a_.data->LoggerId = 7;
    b_.data->SetName("Logger B");
    b_.data->SetSName("LB");
    b_.data->LoggerId = 0;
    TChannel& t = *a_.Chan(0);
    t.SetName("Temperature");
    t.SetSName("T");
    t.SetUnit("C");
    t.SetDecimals(1);
    t.SetMin(-40);
    t.SetMax(85.5);
    t.SetAlarmMin(2.5);
    t.SetAlarmMax(30);
    t.SetSensType(17);
    TChannel& p = *a_.Chan(1);
    p.SetName("Pressure");
    p.SetSName("P");
    p.SetUnit("hPa");
    p.SetDecimals(2);
    p.SetMin(800);
    p.SetMax(1100);
    TChannel& h = *b_.Chan(0);
    h.SetName("Humidity");
    h.SetSName("H");
    h.SetUnit("%rH");
    h.SetDecimals(0);
    a_.Store({{At(9, 59), {20, 1000}},
              {At(10, 0), {21.5, 1012.25}},
              {At(10, 1), {21.6, M}},
              {At(10, 3), {M, M}},
              {At(10, 4), {12.5, 1013}}});
    b_.Store({{At(10, 0), {45}}, {At(10, 2), {46}}, {At(10, 4), {M}}, {At(10, 5), {47}}});
    sources_ = {{a_.data.get(), a_.Chan(0)}, {b_.data.get(), b_.Chan(0)}, {a_.data.get(), a_.Chan(1)}};
  }
  ~ExportTest() override { ReplaceFormatSettings(saved_); }

  // An export of the three columns from 10:00:00 to 10:04:00 with fixed formats.
  std::unique_ptr<TTxtExpModul> Module(const std::string& file) {
    auto m = std::make_unique<TTxtExpModul>();
    m->SetSources(&sources_);
    m->SetRange(AtDt(10, 0), AtDt(10, 4));
    m->FileName = dir_.File(file);
    m->DateFormat = "dd/mm/yyyy";
    m->TimeFormat = "hh:nn:ss";
    m->DecimalSeparator = '.';
    return m;
  }

  TFormatSettings saved_;
  // The program's registry, in place before the first data set registers.
  TDataGlobals globals_;
  TDataGlobals* const registered_ = (DataGlobals = &globals_);
  test::TempDir dir_;
  TDeviceData a_{dir_.Path() + "A/", 2};
  TDeviceData b_{dir_.Path() + "B/", 1};
  TChanSelList sources_;
};

// Each choice of separator, decimal separator, header rows and line end against its golden file.
// QV_WRITE_GOLDEN=1 writes the files anew (look at every change before it is committed).
TEST_F(ExportTest, WritesTheGoldenFileOfEachChoice) {
  struct Case {
    const char* golden;
    int field_sep;
    char decimal;
    uint16_t info_set;
    int line_end;
    bool time_only;
    const char* bad_value;
  };
  const uint16_t all = (1u << ChanInfoItemCount) - 1;
  const std::vector<Case> cases = {
      {"tab_point_none_crlf.txt", 0, '.', 0, 0, false, ""},
      {"pipe_comma_all_lf.txt", 1, ',', all, 2, false, ""},
      {"slash_point_some_cr.txt", 2, '.', (1u << ciChanNr) | (1u << ciUnit) | (1u << ciLoggerId), 1, false, "?"},
      {"backslash_comma_limits_crlf.txt", 3, ',', (1u << ciChanMin) | (1u << ciAlarmMin) | (1u << ciAlarmMax), 0, false,
       "n/a"},
      {"blank_point_names_timeonly_lf.txt", 4, '.', (1u << ciSourceName) | (1u << ciChanSName) | (1u << ciSensId), 2,
       true, "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    auto m = Module(c.golden);
    m->FieldSeparator = FieldSepChars[c.field_sep];
    m->DecimalSeparator = c.decimal;
    m->InfoSet = c.info_set;
    m->LineEnd = LineEndTexts[c.line_end];
    m->TimeOnly = c.time_only;
    m->BadValueString = c.bad_value;
    m->Execute();
    const std::string golden = std::string(QV_TEST_DATA_DIR) + "/export/" + c.golden;
    if (std::getenv("QV_WRITE_GOLDEN")) std::ofstream(golden, std::ios::binary) << ReadFile(m->FileName);
    EXPECT_EQ(ReadFile(m->FileName), ReadFile(golden));
  }
}

TEST_F(ExportTest, AppendingKeepsTheContentAndWritesRowsOnly) {
  const std::string old = "earlier export\r\n";
  std::ofstream(dir_.File("x.txt"), std::ios::binary) << old;
  std::ofstream(dir_.File("empty.txt"), std::ios::binary);
  auto fresh = Module("fresh.txt");
  fresh->InfoSet = 1u << ciChanNr;
  fresh->Execute();
  const std::string full = ReadFile(fresh->FileName);
  const std::string rows = full.substr(full.find("gci_Data\r\n") + 10);
  ASSERT_FALSE(rows.empty());

  auto m = Module("x.txt");
  m->InfoSet = 1u << ciChanNr;
  m->Append = true;
  m->Execute();
  EXPECT_EQ(ReadFile(m->FileName), old + rows);
  // An empty file gets the header; without Append an existing file is replaced.
  m->FileName = dir_.File("empty.txt");
  m->Execute();
  EXPECT_EQ(ReadFile(m->FileName), full);
  m->FileName = dir_.File("x.txt");
  m->Append = false;
  m->Execute();
  EXPECT_EQ(ReadFile(m->FileName), full);
}

// A range of three years is read a year at a time and written whole: every row once, in time
// order, also the rows on the stamps where one year's window ends and the next begins.
TEST_F(ExportTest, ARangeOfThreeYearsWritesEveryRow) {
  TDeviceData daily(dir_.Path() + "D/", 1);
  TDeviceData weekly(dir_.Path() + "W/", 1);
  daily.Chan(0)->SetDecimals(1);
  weekly.Chan(0)->SetDecimals(0);
  const uint16_t first = DateToDayNo(1, 1, 2019), last = DateToDayNo(31, 12, 2021);
  constexpr int32_t Noon = 12 * 3600;
  // Stamp -> the two columns' values (M where a device has no record).
  std::map<std::pair<uint16_t, int32_t>, std::vector<double>> rows;
  std::vector<std::pair<TDtStamp, std::vector<double>>> d, w;
  auto add = [&](TDtStamp t, int column, double v) {
    auto& row = rows.try_emplace({t.Date, t.Time}, std::vector<double>{M, M}).first->second;
    row[column] = v;
    (column == 0 ? d : w).push_back({t, {v}});
  };
  for (int n = first - 1; n <= last + 1; ++n) {
    const auto day = static_cast<uint16_t>(n);
    add({day, Noon}, 0, (n % 700) / 10.0);
    if (n % 7 == 0) add({day, Noon}, 1, n % 90);
    // Just before a year's window ends.
    uint16_t dd, mm, yy;
    DayNoToDate(day, dd, mm, yy);
    if (dd == 1 && mm == 1) add({day, Noon - 1}, 1, 99);
  }
  add({last, Noon + 1}, 0, 1.5);
  // Weekly data sets are written a few weeks at a time.
  auto store = [](TDeviceData& dev, const std::vector<std::pair<TDtStamp, std::vector<double>>>& recs) {
    for (size_t from = 0; from < recs.size();) {
      const TDtStamp start{recs[from].first.Date, 0};
      const TDtStamp stop{static_cast<uint16_t>(start.Date + 27), 86399};
      dev.data->OpenDT(start, stop, NoDtStamp, NoDtStamp);
      TDataLock lock(*dev.data);
      for (; from < recs.size() && DtStampLaterOrEqual(stop, recs[from].first); ++from) {
        TDtRecord r(1);
        r.Date = recs[from].first.Date;
        r.Time = recs[from].first.Time;
        r.SetValues(0, recs[from].second[0]);
        dev.data->InsertRecord(r);
      }
      ASSERT_EQ(dev.data->Flush(), drDone);
    }
    dev.data->FreeBuffer();
  };
  store(daily, d);
  store(weekly, w);

  TChanSelList sources = {{daily.data.get(), daily.Chan(0)}, {weekly.data.get(), weekly.Chan(0)}};
  TTxtExpModul m;
  m.SetSources(&sources);
  const TDtStamp start{first, Noon}, stop{last, Noon};
  m.SetRange(DtStampToDateTime(start), DtStampToDateTime(stop));
  m.FileName = dir_.File("years.txt");
  m.DateFormat = "yyyy\"-\"mm\"-\"dd";
  m.TimeFormat = "hh\":\"nn\":\"ss";
  m.DecimalSeparator = '.';
  m.FieldSeparator = '|';
  m.LineEnd = "\n";
  m.BadValueString = "-";
  m.Execute();

  std::string expected;
  size_t count = 0;
  for (const auto& [stamp, values] : rows) {
    const TDtStamp t{stamp.first, stamp.second};
    if (DtStampLater(start, t) || DtStampLater(t, stop)) continue;
    expected += FormatDateTime("yyyy\"-\"mm\"-\"dd\"|\"hh\":\"nn\":\"ss", DtStampToDateTime(t));
    expected += "|" + (values[0] <= M ? "-" : daily.Chan(0)->ValueToColStr(values[0]));
    expected += "|" + (values[1] <= M ? "-" : weekly.Chan(0)->ValueToColStr(values[1])) + "\n";
    ++count;
  }
  ASSERT_GT(count, 3u * 365);
  // Named by the first row that differs: the whole file is too long to show.
  const std::string written = ReadFile(m.FileName);
  const auto at = std::mismatch(expected.begin(), expected.end(), written.begin(), written.end());
  auto row_at = [](const std::string& text, std::string::const_iterator it) {
    const size_t pos = static_cast<size_t>(it - text.begin());
    const size_t begin = text.rfind('\n', pos == 0 ? 0 : pos - 1);
    const size_t from = begin == std::string::npos || pos == 0 ? 0 : begin + 1;
    return text.substr(from, text.find('\n', from) - from);
  };
  EXPECT_TRUE(written == expected) << "row " << std::count(expected.begin(), at.first, '\n') + 1 << " of " << count
                                   << ": expected \"" << row_at(expected, at.first) << "\", written \""
                                   << row_at(written, at.second) << "\"";
}

// A row writer that fails from its third row on.
class TFailingRec : public TTxtExpImpRec {
public:
  using TTxtExpImpRec::TTxtExpImpRec;
  void DoExport() override {
    if (++rows_ >= 3) throw EWriteError("disk full");
    TTxtExpImpRec::DoExport();
  }

private:
  int rows_ = 0;
};
class TFailingModul : public TTxtExpModul {
public:
  std::unique_ptr<TExpImpRecord> CreateRecord(int32_t value_count) override {
    return std::make_unique<TFailingRec>(value_count);
  }
};

TEST_F(ExportTest, AFailedExportLeavesTheFileAsItWas) {
  const std::string old = "earlier export\r\n";
  std::ofstream(dir_.File("x.txt"), std::ios::binary) << old;
  for (bool append : {true, false}) {
    TFailingModul m;
    m.SetSources(&sources_);
    m.SetRange(AtDt(10, 0), AtDt(10, 4));
    m.InfoSet = 1u << ciChanNr;
    m.Append = append;
    for (const std::string name : {"x.txt", "new.txt"}) {
      m.FileName = dir_.File(name);
      EXPECT_THROW(m.Execute(), EWriteError);
    }
    EXPECT_EQ(ReadFile(dir_.File("x.txt")), old);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("new.txt")));
  }
  // Nothing else is left in the folder.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_.Path()))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"x.txt"});
  // A file that cannot be made names itself and the system's reason, with or without Append.
  std::ofstream(dir_.File("in-the-way"), std::ios::binary) << "a file where a folder would be";
  for (bool append : {false, true}) {
    for (const auto& [name, err] :
         {std::pair<std::string, int>{"missing/y.txt", ENOENT}, {"in-the-way/y.txt", ENOTDIR}}) {
      auto m = Module(name);
      m->Append = append;
      try {
        m->Execute();
        ADD_FAILURE() << name;
      } catch (const EFCreateError& e) {
        const std::string text = e.Message();
        EXPECT_NE(text.find(dir_.File(name)), std::string::npos) << text;
        EXPECT_NE(text.find(std::strerror(err)), std::string::npos) << text;
      }
    }
  }
}

TEST_F(ExportTest, ACommaSystemSeparatorIsReplacedInRowsAndLimits) {
  TFormatSettings f = FormatSettings;
  f.DecimalSeparator = ',';
  ReplaceFormatSettings(f);
  auto m = Module("c.txt");
  m->InfoSet = 1u << ciAlarmMin;
  m->FieldSeparator = '|';
  m->LineEnd = "\n";
  m->SetRange(AtDt(10, 4), AtDt(10, 4));
  m->Execute();
  EXPECT_EQ(ReadFile(m->FileName), "gci_AlarmMin||2.5|0|0\ngci_Data\n02/03/2009|10:04:00| 12.5||1013.00\n");
}

TEST_F(ExportTest, RowTextsOfBadStampsAndUnboundColumns) {
  TTxtExpImpRec r(2);
  r.DateFormat = "yyyy-mm-dd";
  r.TimeFormat = "hh:nn";
  r.FieldSeparator = ';';
  r.SetLineEnd("\n");
  r.BadValueString = "";
  r.SetValues(0, 12.25);
  const std::vector<std::tuple<uint16_t, int32_t, bool, std::string>> cases = {
      {At(10, 4).Date, At(10, 4).Time, false, "2009-03-02;10:04;    12.3;\n"},
      {NoDayNo, At(10, 4).Time, false, "Bad Date/Time;    12.3;\n"},
      {At(10, 4).Date, -1, false, "Bad Date/Time;    12.3;\n"},
      {NoDayNo, At(10, 4).Time, true, "10:04;    12.3;\n"},
      {At(10, 4).Date, -1, true, "Bad Time;    12.3;\n"},
  };
  for (const auto& [date, time, time_only, text] : cases) {
    r.Date = date;
    r.Time = time;
    r.TimeOnly = time_only;
    EXPECT_EQ(r.RowText(), text);
  }
}

// The row text as the export built it before its texts were built in place: the reference the
// prepared stamp and number texts must equal.
std::string ReferenceRowText(const TTxtExpImpRec& r) {
  std::string text;
  if (r.TimeOnly) {
    text = r.Time == -1 ? "Bad Time" : FormatDateTime(r.TimeFormat, SecsToDateTime(r.Time));
  } else if (r.Date == NoDayNo || r.Time == -1) {
    text = "Bad Date/Time";
  } else {
    text = FormatDateTime(r.DateFormat + '"' + r.FieldSeparator + '"' + r.TimeFormat,
                          DtStampToDateTime(TDtStamp{r.Date, r.Time}));
  }
  for (int32_t i = 0; i < r.ValueCount(); ++i) {
    const double v = r.GetValues(i);
    text += r.FieldSeparator;
    if (v <= NoValue) {
      text += r.BadValueString;
      continue;
    }
    std::string value = FloatToWidthStr(8, 1, v);
    if (size_t p = value.find(CurrentFormatSettings().DecimalSeparator); p != std::string::npos)
      value[p] = r.DecimalSeparator;
    text += value;
  }
  return text + r.LineEnd();
}

// The fixed column text equals FloatToWidthStr (with the separator put in) wherever it is built,
// and is built for every ordinary value; exact halves round away from zero.
TEST(ExportNumberText, FixedColumnTextsEqualTheFormatter) {
  auto reference = [](uint8_t width, uint8_t decimals, double v, char sep) {
    std::string text = FloatToWidthStr(width, decimals, v);
    if (size_t p = text.find(CurrentFormatSettings().DecimalSeparator); p != std::string::npos) text[p] = sep;
    return text;
  };
  auto check = [&](uint8_t width, uint8_t decimals, double v, char sep) {
    std::string text = "x";
    const bool built = AppendFixedWidthText(text, width, decimals, v, sep);
    if (built)
      EXPECT_EQ(text, "x" + reference(width, decimals, v, sep)) << v << " w" << int{width} << " d" << int{decimals};
    else
      EXPECT_EQ(text, "x");
    return built;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::tuple<uint8_t, uint8_t, double, bool>> cases = {
      // width, decimals, value, built in place
      {8, 1, 0.0, true},
      {8, 1, -0.0, true},
      {8, 1, 0.05, true},
      {8, 1, -0.05, true},
      {8, 1, -0.04, true},
      {8, 1, 0.25, true},
      {8, 1, -0.25, true},
      {8, 0, 0.5, true},
      {8, 0, 2.5, true},
      {8, 0, -2.5, true},
      {8, 2, 0.125, true},
      {8, 2, 1.005, true},
      {8, 2, 999.995, true},
      {8, 1, 99999.95, true},
      {7, 1, 99999.96, false},
      {3, 1, 12.5, false},
      {4, 1, -9.96, false},
      {5, 1, -9.96, true},
      {20, 0, 1e14, true},
      {20, 0, 1e15, false},
      {20, 1, 123456789012.35, true},
      {20, 15, 0.123456789012345, true},
      {20, 16, 0.5, false},
      {8, 2, 5e-324, true},
      {8, 2, -1e-20, true},
      {30, 2, 1.7e308, false},
      {8, 1, inf, false},
      {8, 1, -inf, false},
      {8, 1, std::numeric_limits<double>::quiet_NaN(), false},
      {0, 0, 7.0, false},
      {1, 0, 7.0, true},
      {8, 3, 0.0005, true},
      {8, 3, 0.0004999, true},
  };
  for (const auto& [width, decimals, v, built] : cases) {
    EXPECT_EQ(check(width, decimals, v, ','), built) << v << " w" << int{width} << " d" << int{decimals};
  }
  std::mt19937_64 random(48);
  std::uniform_int_distribution<int> exponent(-12, 16), digits(0, 15), width(1, 24);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int64_t> whole(-2000000, 2000000);
  int built = 0;
  for (int i = 0; i < 100000; ++i) {
    const auto d = static_cast<uint8_t>(digits(random));
    // Every other value an exact binary fraction, many of them halves at some decimal.
    const double v = i % 2 ? mantissa(random) * std::pow(10.0, exponent(random))
                           : static_cast<double>(whole(random)) / static_cast<double>(1 << (i % 12));
    built += check(static_cast<uint8_t>(width(random)), d, v, '.') ? 1 : 0;
  }
  EXPECT_GT(built, 30000);
  // Values a few units in the last place from a half at the last decimal, where the scaled
  // product's rounding error decides between the two neighbours.
  std::uniform_int_distribution<int> ulps(-4, 4);
  for (int i = 0; i < 100000; ++i) {
    const auto d = static_cast<uint8_t>(digits(random));
    double v = (static_cast<double>(whole(random)) + 0.5) / std::pow(10.0, d);
    for (int k = ulps(random); k != 0; k += k > 0 ? -1 : 1) v = std::nextafter(v, k > 0 ? 1e300 : -1e300);
    check(24, d, v, '.');
  }
}

// The prepared stamp text equals FormatDateTime on every format, the ones it leaves to
// FormatDateTime included, over the whole calendar and with other date and time separators.
TEST_F(ExportTest, RowTextsEqualTheFormatterOnFormatsAndStamps) {
  const std::vector<std::pair<std::string, std::string>> formats = {
      {"dd\".\"mm\".\"yyyy", "hh\":\"nn\":\"ss"},
      {"d/m/yy", "h:n:s"},
      {"yyyy-mm-dd", "hh:mm"},  // m after h is the minute
      {"mmmm d, yyyy", "hh:nn"},
      {"ddd dd", "t"},
      {"'Day' dd mm", "hh 'h' nn z zzz"},
      {"yymmdd", "hh:nn am/pm"},
      {"c", ""},
      {"dd'x", "hh"},
      {"\"", "ss"},
  };
  std::mt19937 random(48);
  std::uniform_int_distribution<int> day(0, LastDayNo), secs(0, 86399), value(-20000, 20000);
  TTxtExpImpRec r(2);
  r.SetLineEnd("\r\n");
  r.BadValueString = "<>";
  r.DecimalSeparator = ',';
  for (const char date_sep : {'/', '-'}) {
    TFormatSettings f = CurrentFormatSettings();
    f.DateSeparator = date_sep;
    f.TimeSeparator = date_sep == '/' ? ':' : '.';
    ReplaceFormatSettings(f);
    for (const auto& [date_format, time_format] : formats) {
      r.DateFormat = date_format;
      r.TimeFormat = time_format;
      for (int i = 0; i < 400; ++i) {
        r.TimeOnly = i % 5 == 4;
        r.FieldSeparator = i % 3 ? '\t' : ' ';
        r.Date = i < 4 ? std::vector<uint16_t>{0, 1, LastDayNo, 366}[i] : static_cast<uint16_t>(day(random));
        r.Time = i < 4 ? std::vector<int32_t>{0, 86399, 43200, 59}[i] : secs(random);
        r.SetValues(0, value(random) / 100.0);
        r.SetValues(1, i % 7 ? value(random) / 16.0 : M);
        EXPECT_EQ(r.RowText(), ReferenceRowText(r))
            << date_format << " " << time_format << " " << r.Date << " " << r.Time;
      }
    }
  }
}

TEST_F(ExportTest, ErrorsCarryTheirFixedTexts) {
  auto text_of = [](const std::function<void()>& f) -> std::string {
    try {
      f();
    } catch (const Exception& e) {
      return e.what();
    }
    return "no error";
  };
  TTxtExpImpRec r(2);
  TGlobChanList one;
  one.Add(std::make_unique<TGlobalChannel>(a_.data.get(), a_.Chan(0)));
  TTxtExpModul empty;
  TTxtExpModul no_range;
  no_range.SetSources(&sources_);
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { r.SetGlobChanList(nullptr); }, "TExpImpRecord.SetGlobChanList: invalid GlobChanList"},
      {[&] { r.SetGlobChanList(&one); }, "TExpImpRecord.SetGlobChanList: invalid GlobChanList"},
      {[&] { r.SetLineEnd(""); }, "TTxtExpImpRec.SetLineEnd: no empty line end!"},
      {[&] { r.DoExport(); }, "TTxtExpImpRec.DoExport: Stream nil"},
      {[&] { r.DoImport(); }, "TTxtExpImpRec.DoImport: method not tested!"},
      {[&] { empty.SetSources(nullptr); }, "TExportModul.SetSources: SelectList nil!"},
      {[&] { empty.Execute(); }, "TExportModul.Execute: GlobChanList/DataView = nil"},
      {[&] { no_range.Execute(); }, "TExportModul.Execute: invalid date/time range"},
      {[&] { StringToFieldSep("tab"); }, "StringToFieldSep: invalid string: tab"},
      {[&] { RdStrToLineEnd("CRLF"); }, "RdStrToLineEnd: invalid string: CRLF"},
  };
  for (const auto& [f, text] : cases) EXPECT_EQ(text_of(f), text);
  // A range with an unset end is not taken.
  no_range.SetRange(AtDt(10, 0), NoDateTime);
  EXPECT_EQ(no_range.StartDt, NoDateTime);
}

TEST_F(ExportTest, OnlyWeeklyDataSetsBecomeColumnsAndTheCopiesAreAnonymous) {
  TDtRecord rec(1);
  TKwData* a = a_.data.get();
  struct TOther : TDtData {
    using TDtData::TDtData;
    int32_t WriteData() override { return drDone; }
    int32_t ReadData() override { return drDone; }
    std::string DefineIdent() override { return "other"; }
    std::string GetName() override { return "other"; }
    std::string GetSName() override { return "other"; }
    bool NoData() override { return true; }
  } other("", &rec);
  TChanSelList list = {{&other, a_.Chan(0)}, {a, a_.Chan(1)}, {a, a_.Chan(0)}};
  TTxtExpModul m;
  m.SetSources(&list);
  ASSERT_EQ(m.GlobChanList()->Count(), 2);
  EXPECT_EQ(m.Record()->ValueCount(), 2);
  EXPECT_EQ(m.View()->DtRec(), m.Record());
  TData* copy = m.GlobChanList()->GetData_I(0);
  EXPECT_NE(copy, a);
  EXPECT_EQ(copy->GetDataIdent(), "$$NoIdent$$");
  EXPECT_EQ(copy->GetName(), "Logger A");
  EXPECT_EQ(copy->LoggerId, 7);
  EXPECT_EQ(globals_.FindData(a->GetDataIdent()), a);
  // New sources replace the old ones; none leaves the export without view and record.
  m.SetSources(&sources_);
  EXPECT_EQ(m.Record()->ValueCount(), 3);
  EXPECT_EQ(m.Record()->GlobChanList(), m.GlobChanList());
  TChanSelList none;
  m.SetSources(&none);
  EXPECT_EQ(m.View(), nullptr);
  EXPECT_EQ(m.Record(), nullptr);
}

// The program's message handler for a test: records each message and its kind, shows nothing.
class TLogRecorder : public TMsgHandler {
public:
  explicit TLogRecorder(const test::TempDir& dir) : TMsgHandler(nullptr, dir.Path(), dir.File("QV.INI")) {
    MsgHandler = this;
  }
  uint16_t HandleMessage(const std::string& msg, const std::string&, TMsgDlgType, TMsgDlgButtons, int32_t,
                         uint16_t default_result, bool, TMsgKind kind) override {
    lines.emplace_back(msg, kind);
    return default_result;
  }
  std::vector<std::pair<std::string, TMsgKind>> lines;
};

TEST(ExportSettings, NamesAndStoredFormsRoundTrip) {
  EXPECT_EQ(GetChanInfoName(ciUnit), "gci_Unit");
  EXPECT_EQ(GetChanInfoName(128 + ciUnit), "gci_Unit");
  EXPECT_EQ(GetChanInfoName(ChanInfoItemCount), "* N/A *");
  for (int i = 0; i < FieldSepCount; ++i) EXPECT_EQ(StringToFieldSep(FieldSepNames[i]), i);
  for (int i = 0; i < LineEndCount; ++i) EXPECT_EQ(RdStrToLineEnd(LineEndNames[i]), i);

  test::TempDir dir;
  TIniFile2 ini(dir.File("QV.INI"));
  const TExportSettings defaults = ReadExportSettings(ini);
  EXPECT_EQ(defaults.InfoSet, 0);
  EXPECT_EQ(defaults.DateFormat, CurrentFormatSettings().ShortDateFormat);
  EXPECT_EQ(defaults.DecimalSeparator, CurrentFormatSettings().DecimalSeparator);
  EXPECT_EQ(defaults.FieldSeparator, 0);
  EXPECT_EQ(defaults.LineEnd, 0);
  EXPECT_EQ(defaults.BadValueString, "");

  TExportSettings s;
  s.InfoSet = (1u << ciChanNr) | (1u << ciLoggerId);
  s.DateFormat = "yyyy\"-\"mm\"-\"dd";
  s.TimeFormat = "hh\":\"nn";
  s.DecimalSeparator = ',';
  s.FieldSeparator = 4;
  s.LineEnd = 2;
  s.BadValueString = "n/a";
  WriteExportSettings(ini, s);
  EXPECT_EQ(ini.ReadString("Export", "GlobChanInfo", ""), "gci_ChanNr-gci_LoggerId-");
  EXPECT_EQ(ini.ReadString("Export", "FieldSeparator", ""), "< >");
  EXPECT_EQ(ini.ReadString("Export", "LineEnd", ""), "LF");
  EXPECT_EQ(ini.ReadString("Export", "BadValueString", ""), "<n/a>");
  const TExportSettings back = ReadExportSettings(ini);
  EXPECT_EQ(back.InfoSet, s.InfoSet);
  EXPECT_EQ(back.DateFormat, s.DateFormat);
  EXPECT_EQ(back.TimeFormat, s.TimeFormat);
  EXPECT_EQ(back.DecimalSeparator, ',');
  EXPECT_EQ(back.FieldSeparator, 4);
  EXPECT_EQ(back.LineEnd, 2);
  EXPECT_EQ(back.BadValueString, "n/a");

  // Text left over keeps no items; bad names and empty values fall back to the defaults.
  ini.WriteString("Export", "GlobChanInfo", "gci_ChanNr-unknown-");
  ini.WriteString("Export", "FieldSeparator", "tab");
  ini.WriteString("Export", "DecimalSeparator", "");
  ini.WriteString("Export", "BadValueString", "");
  const TExportSettings bad = ReadExportSettings(ini);
  EXPECT_EQ(bad.InfoSet, 0);
  EXPECT_EQ(bad.FieldSeparator, 0);
  EXPECT_EQ(bad.DecimalSeparator, CurrentFormatSettings().DecimalSeparator);
  EXPECT_EQ(bad.BadValueString, "");

  // A hand-edited separator beyond ASCII is never cut to its first byte: the system's stands in,
  // and the protocol says so.
  for (const char* text : {"\u066B", "\u00B7x"}) {
    TLogRecorder log(dir);
    ini.WriteString("Export", "DecimalSeparator", text);
    EXPECT_EQ(ReadExportSettings(ini).DecimalSeparator, CurrentFormatSettings().DecimalSeparator) << text;
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].first.find(text), std::string::npos) << log.lines[0].first;
    EXPECT_EQ(log.lines[0].second, mkLogOnly);
  }
  ini.WriteString("Export", "DecimalSeparator", ",x");
  EXPECT_EQ(ReadExportSettings(ini).DecimalSeparator, ',');
}

}  // namespace
}  // namespace qv
