// Alarms of a memory read-out and of a recording reaching the archive's alarm list, audit trail
// and mail sender, with a real SMTP server on the loopback address.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_globals.h"
#include "archive/dy_alarm_channel_list.h"
#include "archive/send_mail.h"
#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "comm/recorder.h"
#include "datastore/dt_data.h"
#include "handler_fixture.h"
#include "support/mail_text.h"
#include "support/smtp_server.h"

namespace qv {
namespace {

using K = TDY_AuditEventKind;
using test::SmtpServer;
using test::SmtpServerOptions;

TMailSettings SettingsFor(const SmtpServer& server) {
  TMailSettings s;
  s.UseSmtp = true;
  s.Recipient = "ann@example.com";
  s.Subject = "Quarvel Alarm";
  s.SenderName = "Quarvel";
  s.SenderEmail = "logger@example.com";
  s.SmtpHost = "127.0.0.1";
  s.SmtpPort = server.Port();
  s.AuthRequired = false;
  return s;
}

// The archive's alarm list and mail sender in service for one test.
class RealAlarmServices {
public:
  explicit RealAlarmServices(const SmtpServer& server) : old_alarms_(AlarmChannels), old_mail_(SendMail) {
    ResetArchiveGlobals();
    mail.SetSettings(SettingsFor(server));
    AlarmChannels = &alarms;
    SendMail = &mail;
  }
  ~RealAlarmServices() {
    mail.WaitIdle();
    AlarmChannels = old_alarms_;
    SendMail = old_mail_;
    ResetArchiveGlobals();
    SendEmailOnAlarmRecorder = false;
    AlwaysSendAlarmEmail = false;
    SendAlarmEmailInterval = 15.0 / 1440.0;
    LastAlarmMailTime = 0;
  }
  TDY_AlarmChannelList alarms;
  TSendMail mail;

private:
  TAlarmChannelsService* old_alarms_;
  TAlarmMailService* old_mail_;
};

// A kind-5 logger whose memory holds 20 averages per channel from 1 March 2030 00:00 on, every
// 10 minutes; channel 1 (raw 21000 + 97 i) has its upper alarm limit between samples 10 and 11.
sim::SimConfig AlarmingMemory() {
  sim::SimConfig c;
  c.SetKind(5);
  c.id = 0x2345;
  c.samples = 20;
  c.interval = 10;
  c.kinds = 1;
  c.start = sim::DateTimeFields{2030, 3, 1, 0, 0, 0};
  sim::Bytes image = c.BuildImage();
  const size_t slot1 = 47 + 19;
  image[slot1 + 4] = 22018 & 0xFF;
  image[slot1 + 5] = 22018 >> 8;
  c.image = image;
  return c;
}

TEST(AlarmMail, AMemoryReadRecordsItsTransitionsAndMailsThemOnce) {
  SmtpServer server;
  test::HandlerLine h(AlarmingMemory());
  h.RetryLateAnswers();
  RealAlarmServices services(server);
  SendEmailOnAlarmOffline = true;
  ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
  services.mail.WaitIdle();
  EXPECT_TRUE(services.alarms.Channels().empty());  // cleared after the read

  std::vector<std::pair<K, std::string>> alarm_events;
  for (const auto& e : h.audit.events)
    if (e.first == K::DeviceAlarmStart || e.first == K::DeviceAlarmEnd || e.first == K::DeviceAlarmAtStart ||
        e.first == K::DeviceAlarmAtEnd || e.first == K::DeviceAlarmEmail || e.first == K::DeviceAlarmEmailError)
      alarm_events.push_back(e);
  const std::string logger = std::to_string(0x2345);
  EXPECT_EQ(alarm_events,
            (std::vector<std::pair<K, std::string>>{
                {K::DeviceAlarmStart, logger}, {K::DeviceAlarmAtEnd, logger}, {K::DeviceAlarmEmail, logger}}));
  ASSERT_EQ(server.Count(), 1);
  const std::string body = test::MailBody(server.Message(1));
  // Sample 11 at 01:50 starts the alarm, the last one (19, at 03:10) is still in it.
  const std::string start = "Alarm begins Time: " + FormatDateTime("ddddd", EncodeDate(2030, 3, 1)) + " 01:50:00";
  EXPECT_EQ(body.rfind(start, 0), 0u) << body;
  EXPECT_NE(body.find("\r\nAlarm at the end of the data Time: "), std::string::npos) << body;
  EXPECT_NE(body.find(" 03:10:00 Device: "), std::string::npos) << body;
  EXPECT_NE(body.find(" Channel : 1 [average] "), std::string::npos) << body;
  EXPECT_EQ(test::HeaderValue(server.Message(1), "Subject"), "Quarvel Alarm");
}

// A kind-7 logger sampling every second, with the program's connection, device tree, handler
// collection and recorder, as the recorder's own tests build it.
class Recording {
public:
  Recording() {
    config_.SetKind(7);
    config_.id = 0x2345;
    config_.sample = 1;
    logger_ = std::make_unique<sim::PtyLogger>(config_);
    link_ = ExePath + "ttyLogger";
    std::filesystem::create_symlink(logger_->SlavePath(), link_);
    std::ofstream(IniFileName, std::ios::binary) << "[SerialPorts]\r\nCOM9=" << link_ << "\r\n";
    SetMainThread();
    InstallComPortMap();
    logger_->Start();
    DevClassRegistry = &registry_;
    connection_ = std::make_unique<TConnection>();
    Connection = connection_.get();
    connection_->Port()->SetComNumber(test::LoggerLine::kCom);
    shell_ = std::make_unique<TDbShell>();
    DbShell = shell_.get();
    coll_ = std::make_unique<TTv10DevHndlColl>();
    DevHandlColl = coll_.get();
    recorder = std::make_unique<TRecorder>();
    coll_->BindRecorder(recorder.get());
    handler.Answer = [](const std::string&, TMsgDlgButtons buttons) {
      if (buttons & mbRetry) return static_cast<int>(mrRetry);
      return static_cast<int>((buttons & mbAbort) ? mrAbort : mrOk);
    };
  }
  ~Recording() {
    recorder.reset();
    coll_.reset();
    DevHandlColl = nullptr;
    shell_.reset();
    DbShell = nullptr;
    connection_.reset();
    DevClassRegistry = nullptr;
    logger_->Stop();
  }
  bool WaitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      WaitAndProcessMessages(20);
    }
    return true;
  }
  bool WaitForSamples(int n) {
    const int target = recorder->SamplesTaken() + n;
    return WaitUntil([&] { return recorder->SamplesTaken() >= target; });
  }
  TTv10Modul* Module() const { return dynamic_cast<TTv10Modul*>(shell_->Root()->GetChild(0)); }
  // The stamps, in seconds, of the records with values in a slot's weekly files.
  std::vector<int64_t> Stamps(int slot) {
    auto* data = dynamic_cast<TDtData*>(Module()->GetSubModul(slot)->Data());
    std::vector<int64_t> out;
    if (!data) return out;
    TDtStamp from{static_cast<uint16_t>(TodayDayNo() - 1), 0}, to{static_cast<uint16_t>(TodayDayNo() + 1), 86399};
    data->OpenDT(from, to, NoDtStamp, NoDtStamp);
    TDataLock lock(*data);
    data->SelectWindow(1);
    for (bool ok = data->First(); ok && out.size() < 10000; ok = data->Next())
      if (!data->DtRec()->IsEmpty()) out.push_back(int64_t{data->DtRec()->Date} * 86400 + data->DtRec()->Time);
    return out;
  }

  test::Home home;
  test::EnglishTexts texts;
  test::RecordingHandler handler;
  test::FakeWindowFactory windows;
  TArchiveStandIns archive;
  std::unique_ptr<TRecorder> recorder;

private:
  sim::SimConfig config_;
  std::unique_ptr<sim::PtyLogger> logger_;
  std::string link_;
  TTv10DevClassReg registry_;
  std::unique_ptr<TConnection> connection_;
  std::unique_ptr<TDbShell> shell_;
  std::unique_ptr<TTv10DevHndlColl> coll_;
};

// The recording's values are in alarm and its one mail per interval goes to a server that takes
// it and never answers: the recording keeps sampling on its grid while the mail hangs, and the
// mail ends by the time-out as a failure in the audit trail.
TEST(AlarmMail, ARecordingKeepsItsGridWhileItsAlarmMailHangs) {
  SmtpServer stalled(SmtpServerOptions::StalledAfterData());
  Recording r;
  RealAlarmServices services(stalled);
  services.mail.SendTimeoutMs = 8000;
  SendEmailOnAlarmRecorder = true;
  SendAlarmEmailInterval = 1.0;  // a day: one mail for the whole recording
  // A first recording brings the logger into the tree; its limits are then set below its values.
  r.recorder->Start();
  ASSERT_TRUE(r.WaitForSamples(1));
  r.recorder->Stop();
  for (int slot = 1; slot <= 2; ++slot) {
    TTavra2GSubMod* sub = r.Module()->GetSubModul(slot);
    sub->SetAlarmMinDirect(sub->ValMin() - 2);
    sub->SetAlarmMaxDirect(sub->ValMin() - 1);
  }
  const size_t stamps_before = r.Stamps(1).size();
  r.recorder->Start();
  ASSERT_TRUE(r.WaitUntil([&] { return stalled.Count() == 1; }));
  // The server holds the mail; samples go on arriving meanwhile.
  ASSERT_TRUE(r.WaitForSamples(3));
  const auto events_meanwhile = r.archive.Audit.Events();
  EXPECT_TRUE(std::none_of(events_meanwhile.begin(), events_meanwhile.end(), [](const auto& e) {
    return e.Kind == K::DeviceAlarmEmailError;
  })) << "the mail ended before the samples came";
  services.mail.WaitIdle();
  ASSERT_TRUE(r.WaitForSamples(1));
  r.recorder->Stop();

  const std::vector<int64_t> stamps = r.Stamps(1);
  ASSERT_GE(stamps.size(), stamps_before + 5);
  for (size_t i = stamps_before + 1; i < stamps.size(); ++i) EXPECT_GT(stamps[i], stamps[i - 1]);
  std::vector<K> kinds;
  for (const auto& e : r.archive.Audit.Events())
    if (e.Kind >= K::DeviceAlarm && e.Kind <= K::DeviceAlarmEmailError)
      kinds.push_back(e.Kind);
    else if (e.Kind >= K::DeviceAlarmAtStart && e.Kind <= K::DeviceAlarmAtEnd)
      kinds.push_back(e.Kind);
  // The alarm begins once and one mail (the only one of the interval) fails by the time-out.
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), K::DeviceAlarmStart), 1);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), K::DeviceAlarmEmailError), 1);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), K::DeviceAlarmEmail), 0);
  EXPECT_EQ(stalled.Count(), 1);
  EXPECT_NE(services.mail.LastError().find("imeout"), std::string::npos) << services.mail.LastError();
}

}  // namespace
}  // namespace qv
