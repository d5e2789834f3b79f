#include "archive/dy_alarm_channel_list.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "archive_test_support.h"
#include "base/archive_hooks.h"
#include "platform/rtl/format_settings.h"
#include "support/english_texts.h"

namespace qv {
namespace {

using K = TDY_AuditEventKind;
constexpr double In = 20.0, Out = 45.0;  // inside and outside the band 0..40

// Feeds the values to channel 1 of logger 7 (store mode 0), stamped 10:00:00, 10:00:01, ...
void Feed(TDY_AlarmChannelList& list, const std::vector<double>& values, int32_t logger = 7, int32_t chan = 1) {
  int second = 0;
  for (double v : values)
    list.AddSample("Cellar", logger, chan, 0, "°C", 1, 0.0, 40.0, "01.12.2026", "10:00:0" + std::to_string(second++),
                   v);
}

std::vector<K> Kinds(const TRecordingAuditService& audit) {
  std::vector<K> out;
  for (const auto& e : audit.Events()) out.push_back(e.Kind);
  return out;
}

std::string Times(const TDY_AlarmChannel& c) {
  std::string out;
  for (const auto& s : c.Samples) out += s.TimeText.substr(7) + (s.InAlarm ? "!" : "") + " ";
  return out;
}

// What each sequence keeps and what it records: the first and latest sample of each run, and
// events 49 to 52 at the right samples.
TEST(AlarmChannelList, SequencesKeepTheirRunsAndRecordTheirTransitions) {
  test::EnglishTexts texts;
  struct Case {
    std::vector<double> values;
    std::string kept;                               // seconds of the kept samples, "!" in alarm
    std::vector<std::pair<K, std::string>> events;  // kind and the second of its sample
  };
  const Case cases[] = {
      {{In, In, In, In}, "0 3 ", {}},
      {{Out}, "0! ", {}},  // a single value gives no event
      {{In, In, Out, Out, In}, "0 1 2! 3! 4 ", {{K::DeviceAlarmStart, "2"}, {K::DeviceAlarmEnd, "4"}}},
      // The alarm's start keeps the time it began, its end the latest alarm value.
      {{In, Out, Out, Out}, "0 1! 3! ", {{K::DeviceAlarmStart, "1"}, {K::DeviceAlarmAtEnd, "3"}}},
      {{Out, Out, Out}, "0! 2! ", {{K::DeviceAlarmAtStart, "0"}, {K::DeviceAlarmAtEnd, "2"}}},
      // Limits and the missing-value marker are not in alarm.
      {{In, 0.0, 40.0, -1.501e38}, "0 3 ", {}},
      {{In, In, In, Out, In, In, In}, "0 2 3! 4 6 ", {{K::DeviceAlarmStart, "3"}, {K::DeviceAlarmEnd, "4"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.values));
    TArchiveStandIns archive;
    TDY_AlarmChannelList list;
    Feed(list, c.values);
    ASSERT_EQ(list.Channels().size(), 1u);
    EXPECT_EQ(Times(list.Channels()[0]), c.kept);
    list.LogAlarms();
    const auto events = archive.Audit.Events();
    ASSERT_EQ(events.size(), c.events.size());
    for (size_t i = 0; i < events.size(); ++i) {
      EXPECT_EQ(events[i].Kind, c.events[i].first);
      EXPECT_EQ(events[i].Subject, "7");
      EXPECT_NE(events[i].Comment.find("10:00:0" + c.events[i].second + " "), std::string::npos) << events[i].Comment;
    }
  }
}

TEST(AlarmChannelList, AlarmTextShowsModeValueAndLimitsWithTheLocalesSeparator) {
  test::EnglishTexts texts;
  TFormatSettings saved = CurrentFormatSettings();
  TFormatSettings comma = saved;
  comma.DecimalSeparator = ',';
  ReplaceFormatSettings(comma);
  TDY_AlarmChannel channel;
  channel.DeviceName = "Cellar";
  channel.ChanNo = 3;
  channel.StoreMode = 1;
  channel.AlarmMin = -5;
  channel.AlarmMax = 8.25;
  channel.Decimals = 2;
  channel.Unit = "°C";
  const TDY_AlarmData sample{9.5, "01.12.2026", "10:00:00", true};
  EXPECT_EQ(TDY_AlarmChannelList::AlarmText(channel, sample),
            "Time: 01.12.2026 10:00:00 Device: Cellar Channel : 3 [maximum] Value: 9,50 °C "
            "Lower alarm limit: -5,00 Upper alarm limit:.8,25");
  channel.StoreMode = 5;
  EXPECT_NE(TDY_AlarmChannelList::AlarmText(channel, sample).find(" [] Value"), std::string::npos);
  ReplaceFormatSettings(saved);
}

// Two loggers with the same channel number keep apart; the first call's name and limits stay.
TEST(AlarmChannelList, ChannelsAreKeyedByLoggerChannelAndStoreMode) {
  TArchiveStandIns archive;
  TDY_AlarmChannelList list;
  Feed(list, {In, Out}, 7, 1);
  Feed(list, {In, In}, 8, 1);
  list.AddSample("Other", 7, 1, 2, "", 0, 0, 40, "01.12.2026", "10:00:09", Out);
  // Judged by the limits given; the channel keeps those of its first call.
  list.AddSample("Renamed", 7, 1, 0, "", 0, 50, 60, "01.12.2026", "10:00:09", 55.0);
  const auto channels = list.Channels();
  ASSERT_EQ(channels.size(), 3u);
  EXPECT_EQ(channels[0].DeviceName, "Cellar");
  EXPECT_EQ(channels[0].AlarmMin, 0.0);
  EXPECT_EQ(Times(channels[0]), "0 1! 9 ");
  EXPECT_EQ(channels[1].LoggerNo, 8);
  EXPECT_EQ(Times(channels[1]), "0 1 ");
  list.LogAlarms();
  EXPECT_EQ(Kinds(archive.Audit), (std::vector<K>{K::DeviceAlarmStart, K::DeviceAlarmEnd}));
  list.Clear();
  EXPECT_TRUE(list.Channels().empty());
}

// The mail holds one line per transition, goes out once per read-out with the last channel's
// logger number, and only when mailing is enabled.
TEST(AlarmChannelList, MailAlarmsQueuesOneMailWhenEnabled) {
  test::EnglishTexts texts;
  TArchiveTestFolder folder;
  TArchiveStandIns archive;
  TFixedClock clock(46000.5);
  TDY_AlarmChannelList list(clock);
  Feed(list, {In, Out, In}, 7, 1);
  Feed(list, {Out, Out}, 9, 2);
  LastAlarmMailTime = 12;
  list.MailAlarms();  // mailing off
  EXPECT_TRUE(archive.Mail.Mails().empty());
  EXPECT_EQ(LastAlarmMailTime.load(), 12);
  SendEmailOnAlarmOffline = true;
  list.MailAlarms();
  const auto mails = archive.Mail.Mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].LoggerNo, 9);
  EXPECT_FALSE(mails[0].Quiet);
  std::vector<std::string> lines;
  for (size_t pos = 0, end; pos <= mails[0].Text.size(); pos = end + 2) {
    end = mails[0].Text.find("\r\n", pos);
    if (end == std::string::npos) end = mails[0].Text.size();
    lines.push_back(mails[0].Text.substr(pos, end - pos));
  }
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Alarm begins Time: 01.12.2026 10:00:01 Device: Cellar", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("Alarm ends Time: 01.12.2026 10:00:02", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("Alarm at the start of the data Time: 01.12.2026 10:00:00", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind("Alarm at the end of the data Time: 01.12.2026 10:00:01", 0), 0u) << lines[3];
  EXPECT_EQ(LastAlarmMailTime.load(), 46000.5);
  // Nothing to report: no mail.
  list.Clear();
  Feed(list, {In, In});
  list.MailAlarms();
  EXPECT_EQ(archive.Mail.Mails().size(), 1u);
  LastAlarmMailTime = 0;
}

// The recorder's worker adds while the main thread clears: the list stays whole.
TEST(AlarmChannelList, AddAndClearFromTwoThreads) {
  TDY_AlarmChannelList list;
  std::thread worker([&] {
    for (int i = 0; i < 20000; ++i) list.AddSample("x", 1, i % 4, 0, "", 0, 0, 40, "d", "t", i % 3 ? In : Out);
  });
  for (int i = 0; i < 2000; ++i) {
    list.Clear();
    (void)list.Reports();
  }
  worker.join();
  EXPECT_LE(list.Channels().size(), 4u);
}

}  // namespace
}  // namespace qv
