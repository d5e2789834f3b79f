#include "base/archive_hooks.h"

#include <gtest/gtest.h>

#include <thread>

namespace qv {
namespace {

TEST(ArchiveHooks, ChangeDetailsCollectItemsAndOldAndNewValues) {
  TArchiveStandIns stand_ins;
  AddChangeDetail("audit_IdChange", "3", "4");
  EXPECT_EQ(ChangeDetails, "\r\naudit_IdChange audit_From: 3 audit_To: 4");
  AddChangeDetail("audit_DevNameChange", "", "Cellar");  // no old value: the item alone
  AddChangeDetail("", "a", "b");                         // no item: the values alone
  EXPECT_EQ(ChangeDetails,
            "\r\naudit_IdChange audit_From: 3 audit_To: 4 \r\naudit_DevNameChange  audit_From: a audit_To: b");
}

TEST(ArchiveHooks, StandInsRecordAndPutBackWhatWasInstalled) {
  EXPECT_EQ(AuditManager, nullptr);
  {
    TArchiveStandIns stand_ins;
    ChangeSubject = "7";
    AddAuditEvent(TDY_AuditEventKind::DeviceDeleted, "7", "backup");
    AuditManager->AddEvent(TDY_AuditEventKind::DeviceData);
    NoteUserActivity();
    NoteUserActivity();
    EXPECT_TRUE(AlarmChannels->AddSample("Cellar", 7, 1, 0, "", 1, 0, 10, "d", "t", 10.5));
    EXPECT_FALSE(AlarmChannels->AddSample("Cellar", 7, 1, 0, "", 1, 0, 10, "d", "t", 10.0));
    EXPECT_FALSE(AlarmChannels->AddSample("Cellar", 7, 1, 0, "", 1, 0, 10, "d", "t", -1.501e38));
    EXPECT_TRUE(AlarmChannels->AddSample("Cellar", 7, 1, 0, "", 1, 0, 10, "d", "t", -0.1));
    AlarmChannels->LogAlarms();
    stand_ins.Mail.Result = false;
    EXPECT_FALSE(SendMail->SendAlarmMail("alarm", 7, false));

    auto events = stand_ins.Audit.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Kind, TDY_AuditEventKind::DeviceDeleted);
    EXPECT_EQ(events[0].Subject, "7");
    EXPECT_EQ(events[0].Comment, "backup");
    EXPECT_EQ(events[1].Kind, TDY_AuditEventKind::DeviceData);
    EXPECT_EQ(stand_ins.UserActivity, 2);
    EXPECT_EQ(stand_ins.Alarms.Samples().size(), 4u);
    EXPECT_EQ(stand_ins.Alarms.LogCount(), 1);
    ASSERT_EQ(stand_ins.Mail.Mails().size(), 1u);
    EXPECT_EQ(stand_ins.Mail.Mails()[0].LoggerNo, 7);
  }
  EXPECT_EQ(AuditManager, nullptr);
  EXPECT_EQ(AlarmChannels, nullptr);
  EXPECT_EQ(SendMail, nullptr);
  EXPECT_TRUE(ChangeSubject.empty());
  NoteUserActivity();  // no hook: nothing happens

  // Nested stand-ins put back the outer activity hook.
  TArchiveStandIns outer;
  {
    TArchiveStandIns inner;
    NoteUserActivity();
    EXPECT_EQ(inner.UserActivity, 1);
  }
  NoteUserActivity();
  EXPECT_EQ(outer.UserActivity, 1);
}

TEST(ArchiveHooks, EventsBeforeTheArchiveExistsAreKeptInOrder) {
  ASSERT_EQ(AuditManager, nullptr);
  std::thread worker([] { AddAuditEvent(TDY_AuditEventKind::DeviceRecorderStart, "12"); });
  worker.join();
  AddAuditEvent(TDY_AuditEventKind::DeviceRecorderStopped, "12", "x");
  auto pending = TakePendingAuditEvents();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].Kind, TDY_AuditEventKind::DeviceRecorderStart);
  EXPECT_EQ(pending[1].Comment, "x");
  EXPECT_TRUE(TakePendingAuditEvents().empty());
  EXPECT_EQ(static_cast<int>(TDY_AuditEventKind::DeviceDeleted), 19);
  EXPECT_EQ(static_cast<int>(TDY_AuditEventKind::ArchiveAuditTrail), 53);
}

TEST(ArchiveHooks, EventsKeptBeforeTheArchiveAreBounded) {
  // The archive failed to start and a long recording goes on: the kept events stop growing, and
  // the trail, when it comes, learns how many were not kept.
  ASSERT_EQ(AuditManager, nullptr);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    for (size_t i = 0; i < MaxPendingAuditEvents + 250; ++i)
      AddAuditEvent(TDY_AuditEventKind::DeviceAlarmStart, std::to_string(i));
    std::vector<TPendingAuditEvent> kept;
    if (round == 0) {
      kept = TakePendingAuditEvents();
    } else {
      TRecordingAuditService trail;
      InstallAuditService(&trail);
      InstallAuditService(nullptr);
      for (const TRecordedAuditEvent& e : trail.Events()) kept.push_back({e.Kind, e.Subject, e.Comment});
    }
    ASSERT_EQ(kept.size(), MaxPendingAuditEvents + 1);
    EXPECT_EQ(kept[0].Subject, "0");
    EXPECT_EQ(kept[MaxPendingAuditEvents - 1].Subject, std::to_string(MaxPendingAuditEvents - 1));
    EXPECT_EQ(kept.back().Kind, TDY_AuditEventKind::AuditError);
    EXPECT_EQ(kept.back().Comment, "250 events before the audit trail started were not kept");
    EXPECT_TRUE(TakePendingAuditEvents().empty());
  }
}

}  // namespace
}  // namespace qv
