#include "archive/dy_audit_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "archive/archive_start.h"
#include "archive/dy_crypt.h"
#include "base/app_globals.h"
#include "archive_test_support.h"
#include "platform/rtl/file_io.h"
#include "support/file_size_limit.h"

namespace qv {
namespace {

const TDateTime Base = EncodeDate(2026, 12, 1);

// Each reading is one second after the one before, from any thread.
class TStepClock : public TWallClock {
public:
  TDateTime Now() const override { return Base + static_cast<double>(ticks_++) / 86400.0; }
  // The stored time keeps 15 digits, about 9 microseconds here: targets lie between the ticks.
  TDateTime At(double tick) const { return Base + tick / 86400.0; }

private:
  mutable std::atomic<int> ticks_{0};
};

std::vector<TDY_AuditEvent> FileEvents(const std::string& file_name) {
  std::vector<TDY_AuditEvent> events;
  for (const std::string& line : ReadAuditFileLines(file_name)) {
    TDY_AuditEvent event;
    EXPECT_TRUE(ParseAuditLine(ArchiveCrypt().Decrypt(line), event)) << line;
    events.push_back(event);
  }
  return events;
}

class AuditTrailTest : public ::testing::Test {
protected:
  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TStepClock clock;
  TDY_AuditManager trail{clock};

  void Record(int count, const std::string& subject = "7") {
    for (int i = 0; i < count; ++i) trail.AddEvent(TAuditKind::DeviceData, subject, std::to_string(i));
  }
};

TEST_F(AuditTrailTest, EachEventIsOneEncipheredLine) {
  trail.AddEvent(TAuditKind::DeviceData, "7", "read");
  trail.SetCurrentUser(2, "anna");
  trail.AddEvent(TAuditKind::UserLogon, "anna");
  const std::string bytes = ReadFileBytes(trail.FileName());
  const std::vector<std::string> lines = ReadAuditFileLines(trail.FileName());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(bytes, lines[0] + "\r\n" + lines[1] + "\r\n");
  // Nobody logged on: user -1; the time in general format with ".".
  EXPECT_EQ(ArchiveCrypt().Decrypt(lines[0]), "46357|-1|DeviceData|7|read");
  EXPECT_EQ(ArchiveCrypt().Decrypt(lines[1]), "46357.0000115741|2|UserLogon|anna|");
}

TEST(AuditLine, FieldsAreSplitAtTheFirstFourBars) {
  struct Case {
    const char* text;
    bool event;
    int32_t user;
    TAuditKind kind;
    const char* subject;
    const char* comment;
  } cases[] = {
      {"1.5|3|UserLogon|anna|ok", true, 3, TAuditKind::UserLogon, "anna", "ok"},
      {"1,5|x|UserLogon|", true, 0, TAuditKind::UserLogon, "", ""},
      {"1.5|3|DeviceData|a|b|c", true, 3, TAuditKind::DeviceData, "a", "b|c"},  // a "|" in the subject
      {"1.5|3|Nonsense|s|", true, 3, TAuditKind::UnKnown, "s", ""},
      {"1.5|3", false, 0, TAuditKind::UnKnown, "", ""},
      {"no bars", false, 0, TAuditKind::UnKnown, "", ""},
  };
  TCapturedBoxes boxes;
  for (const Case& c : cases) {
    TDY_AuditEvent event;
    ASSERT_EQ(ParseAuditLine(c.text, event), c.event) << c.text;
    if (!c.event) continue;
    EXPECT_EQ(event.Time, 1.5);
    EXPECT_EQ(event.UserID, c.user) << c.text;
    EXPECT_EQ(event.Kind, c.kind) << c.text;
    EXPECT_EQ(event.Subject, c.subject) << c.text;
    EXPECT_EQ(event.Comment, c.comment) << c.text;
  }
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{"TDY_AuditManager:EventName2Event : unbekannter Event!"});
}

TEST_F(AuditTrailTest, AppendsFromSeveralThreadsStayWholeLinesInTimeOrder) {
  constexpr int Threads = 4, PerThread = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < Threads; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < PerThread; ++i)
        AddAuditEvent(TAuditKind::DeviceAlarmStart, "T" + std::to_string(t), std::string(static_cast<size_t>(i), 'c'));
    });
  {
    // Events of the logger side recorded before the trail existed come first, in order.
    AddAuditEvent(TAuditKind::DeviceCreated, "early");
    InstallAuditService(&trail);
  }
  for (std::thread& thread : threads) thread.join();
  InstallAuditService(nullptr);

  const std::vector<TDY_AuditEvent> events = FileEvents(trail.FileName());
  ASSERT_EQ(events.size(), static_cast<size_t>(Threads * PerThread + 1));
  std::vector<int> next(Threads, 0);
  int early = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(events[i - 1].Time, events[i].Time);
    }
    if (events[i].Subject == "early") {
      ++early;
      continue;
    }
    const int t = events[i].Subject[1] - '0';
    EXPECT_EQ(events[i].Comment.size(), static_cast<size_t>(next[static_cast<size_t>(t)]++));
  }
  EXPECT_EQ(early, 1);

  // Read back: the range of one minute, then the last page.
  int count = 0, first = 0, last = 0;
  std::vector<std::string> lines;
  trail.ReadRange(trail.FileName(), count, lines, first, last, clock.At(159.5), clock.At(99.5));
  EXPECT_EQ(count, 60);
  EXPECT_EQ(first, 100);
  EXPECT_EQ(last, 159);
  lines.clear();
  first = 0;
  last = -1;
  trail.ReadPage(trail.FileName(), 50, lines, first, last);
  EXPECT_EQ(first, Threads * PerThread + 1 - 50);
  EXPECT_EQ(lines.size(), 50u);
  EXPECT_TRUE(boxes.Texts.empty());
}

TEST_F(AuditTrailTest, PagesCountBackFromTheirLastLine) {
  Record(1200);
  struct Case {
    int last_in, first, last;
  } cases[] = {{-1, 700, 1199}, {700, 200, 700}, {200, 0, 200}, {5000, 699, 1199}};
  for (const Case& c : cases) {
    std::vector<std::string> lines;
    int first = -7, last = c.last_in;
    trail.ReadPage(trail.FileName(), 500, lines, first, last);
    EXPECT_EQ(first, c.first) << c.last_in;
    EXPECT_EQ(last, c.last) << c.last_in;
    EXPECT_EQ(lines.size(), static_cast<size_t>(c.last - c.first + 1)) << c.last_in;
  }
  std::vector<std::string> lines;
  int first = -7, last = -1;
  trail.ReadPage(folder.File("missing.dat"), 500, lines, first, last);
  EXPECT_EQ(first, -7);
  EXPECT_EQ(last, -1);
}

TEST_F(AuditTrailTest, TheSearchFindsTheFirstLineAtATime) {
  Record(700);
  const std::vector<std::string> lines = ReadAuditFileLines(trail.FileName());
  for (int target : {-5, 0, 1, 99, 100, 101, 350, 698, 699})
    EXPECT_EQ(FindFirstLineAt(lines, clock.At(target - 0.5)), std::max(target, 0)) << target;
  EXPECT_EQ(FindFirstLineAt(lines, clock.At(10000)), 699);  // after the last: the last

  // A range that starts after the last event shows that event only.
  int count = 0, first = 0, last = 0;
  std::vector<std::string> shown;
  trail.ReadRange(trail.FileName(), count, shown, first, last, clock.At(20000), clock.At(10000));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(first, 699);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("(7) AE_DeviceData - 699"), std::string::npos) << shown[0];
}

TEST_F(AuditTrailTest, ADamagedLineEndsTheDisplayWithTheAuditError) {
  Record(10);
  std::vector<std::string> lines = ReadAuditFileLines(trail.FileName());
  {
    std::ofstream out(trail.FileName(), std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i < lines.size(); ++i) out << (i == 4 ? std::string("ZZ") : lines[i]) << "\r\n";
  }
  std::vector<std::string> shown;
  int first = 0, last = -1;
  trail.ReadPage(trail.FileName(), 20, shown, first, last);
  EXPECT_EQ(shown.size(), 4u);
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{"AE_AuditError"});

  // The probe of the search hits no time: an empty range, not a read from line -1.
  int count = 5;
  shown.clear();
  {
    std::ofstream out(trail.FileName(), std::ios::binary | std::ios::trunc);
    out << ArchiveCrypt().Encrypt("no time here") << "\r\n" << lines[1] << "\r\n";
  }
  trail.ReadRange(trail.FileName(), count, shown, first, last, clock.At(100), clock.At(0));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(boxes.Texts.size(), 2u);
}

TEST_F(AuditTrailTest, ArchivingMovesTheTrailAndKeepsTheRecentEvents) {
  Record(20, "old");
  std::ofstream(folder.File("taken.dat")) << "keep";
  EXPECT_FALSE(trail.ArchiveLog(folder.File("taken.dat"), clock.At(9.5)));
  EXPECT_EQ(ReadFileBytes(folder.File("taken.dat")), "keep");
  EXPECT_EQ(ReadAuditFileLines(trail.FileName()).size(), 20u);

  ASSERT_TRUE(trail.ArchiveLog(folder.File("AuditTrail_20261201.dat"), clock.At(14.5)));
  EXPECT_EQ(ReadAuditFileLines(folder.File("AuditTrail_20261201.dat")).size(), 20u);
  const std::vector<TDY_AuditEvent> events = FileEvents(trail.FileName());
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].Comment, "15");
  EXPECT_EQ(events[5].Kind, TAuditKind::ArchiveAuditTrail);
  EXPECT_EQ(events[5].Subject, folder.File("AuditTrail_20261201.dat"));
}

TEST_F(AuditTrailTest, CollectingForADocumentSkipsAlarmMailsAndOtherSubjects) {
  trail.AddEvent(TAuditKind::DocumentCreated, "Cold/a.xml");
  trail.AddEvent(TAuditKind::DeviceAlarmEmail, "Cold/a.xml");
  trail.AddEvent(TAuditKind::DocumentSaved, "Cold/b.xml");
  trail.AddEvent(TAuditKind::DocumentSaved, "Cold/a.xml");
  trail.AddEvent(TAuditKind::DocumentSigned, "Cold/a.xml");
  TDY_AuditEventList dest;
  trail.CollectForSubject("Cold/a.xml", dest, clock.At(3.5), clock.At(-0.5));
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest.Get(0).Kind, TAuditKind::DocumentCreated);
  EXPECT_EQ(dest.Get(1).Kind, TAuditKind::DocumentSaved);
}

TEST_F(AuditTrailTest, ADocumentNamedOutsideWindows1252FindsItsOwnEvents) {
  // The trail stores "?" for the omega; the document still asks with its own name.
  trail.AddEvent(TAuditKind::DocumentCreated, "Cold/Bericht Ω.xml");
  trail.AddEvent(TAuditKind::DocumentSaved, "Cold/Bericht.xml");
  trail.AddEvent(TAuditKind::DocumentSigned, "Cold/Bericht Ω.xml");
  TDY_AuditEventList dest;
  trail.CollectForSubject("Cold/Bericht Ω.xml", dest, clock.At(2.5), clock.At(-0.5));
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest.Get(0).Kind, TAuditKind::DocumentCreated);
  EXPECT_EQ(dest.Get(1).Kind, TAuditKind::DocumentSigned);
}

// Every 10 s; after 3 hours the clock goes back one hour, as at the end of summer time.
class TClockGoingBack : public TWallClock {
public:
  static constexpr int StepAt = 1080, Back = 3600;
  TDateTime Now() const override { return At(ticks_++); }
  static double Seconds(int tick) { return tick * 10.0 - (tick >= StepAt ? Back : 0); }
  static TDateTime At(int tick) { return Base + Seconds(tick) / 86400.0; }

private:
  mutable std::atomic<int> ticks_{0};
};

TEST(AuditTrailClockBack, EveryLineAtOrAfterTheTimeIsFound) {
  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TClockGoingBack clock;
  TDY_AuditManager trail(clock);
  constexpr int Lines = 1800;
  for (int i = 0; i < Lines; ++i) trail.AddEvent(TAuditKind::DeviceAlarmStart, "7", std::to_string(i));
  const std::vector<std::string> lines = ReadAuditFileLines(trail.FileName());
  ASSERT_EQ(lines.size(), static_cast<size_t>(Lines));
  for (double seconds : {-5.0, 0.0, 5000.0, 7195.0, 8995.0, 9000.0, 10005.0, 10795.0, 12000.0, 14385.0, 20000.0}) {
    SCOPED_TRACE(seconds);
    const TDateTime t = Base + seconds / 86400.0;
    int first = Lines - 1;  // a time after every line gives the last line
    for (int i = 0; i < Lines; ++i)
      if (TClockGoingBack::Seconds(i) >= seconds) {
        first = i;
        break;
      }
    EXPECT_EQ(FindFirstLineAt(lines, t), first);
  }

  // The hour recorded twice: the readers take both of its runs.
  const TDateTime from = Base + 9000.0 / 86400.0, to = Base + 1.0;
  int count = 0, first = 0, last = 0;
  std::vector<std::string> shown;
  trail.ReadRange(trail.FileName(), count, shown, first, last, to, from);
  EXPECT_EQ(first, 900);
  EXPECT_EQ(count, Lines - 900);
  trail.LoadSince(from);
  EXPECT_EQ(trail.Events().Count(), Lines - 900);
  TDY_AuditEventList dest;
  trail.CollectForSubject("7", dest, to, from);
  EXPECT_EQ(dest.Count(), (1080 - 900) + (Lines - 1260));
  EXPECT_TRUE(boxes.Texts.empty());
}

TEST_F(AuditTrailTest, AFailedAppendLeavesTheTrailAsItWasAndSaysWhy) {
  // No trail yet and room for a few bytes only: no file is left behind.
  {
    test::FileSizeLimit full(10);
    EXPECT_THROW(trail.AddEvent(TAuditKind::DeviceData, "7", "first"), EInOutError);
  }
  EXPECT_FALSE(std::filesystem::exists(trail.FileName()));

  Record(3);
  const std::string before = ReadFileBytes(trail.FileName());
  std::string message;
  {
    // The disk fills up 10 bytes into the next line.
    test::FileSizeLimit full(before.size() + 10);
    try {
      trail.AddEvent(TAuditKind::DeviceAlarmStart, "7", "lost");
    } catch (const EInOutError& e) {
      message = e.Message();
    }
  }
  EXPECT_NE(message.find(trail.FileName()), std::string::npos) << message;
  EXPECT_NE(message.find("File too large"), std::string::npos) << message;
  EXPECT_EQ(ReadFileBytes(trail.FileName()), before);

  // With room again the next event is a line of its own that every reader takes.
  trail.AddEvent(TAuditKind::DeviceAlarmEnd, "7", "kept");
  const std::vector<TDY_AuditEvent> events = FileEvents(trail.FileName());
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[3].Comment, "kept");
}

TEST_F(AuditTrailTest, RecordedEventsAreNotHeldInMemory) {
  // A long recording with alarms: the events live in the file, the manager keeps none of them,
  // also not after a document collected its own.
  Record(3000, "alarm");
  trail.AddEvent(TAuditKind::DocumentCreated, "Cold/a.xml");
  EXPECT_EQ(trail.Events().Count(), 0);
  TDY_AuditEventList dest;
  trail.CollectForSubject("Cold/a.xml", dest, clock.At(5000), clock.At(-0.5));
  EXPECT_EQ(dest.Count(), 1);
  EXPECT_EQ(trail.Events().Count(), 0);
  // Asked for, the events are loaded.
  trail.LoadSince(clock.At(2999.5));
  EXPECT_EQ(trail.Events().Count(), 1);
}

TEST(AuditEvent, CategoriesTextsAndDisplay) {
  struct Case {
    TAuditKind kind;
    int type;
    const char* text;
  } cases[] = {{TAuditKind::DossalyStart, 0, "AE_DYStart"},
               {TAuditKind::DeviceRecorderStopped, 1, "AE_DeviceRecorderStop"},
               {TAuditKind::DeviceConfigChangedExtern, 1, "AE_DeviceConfigChangeExtern"},
               {TAuditKind::DeviceAlarmEmail, 1, "AE_DeviceAlarmEmail"},
               {TAuditKind::DeviceAlarmEmailError, 0, "AE_DeviceAlarmEmailError"},
               {TAuditKind::DocumentInvalid, 2, "AE_DocumentInvalid"},
               {TAuditKind::DocTypeSaved, 3, "AE_DocTypeSaved"},
               {TAuditKind::CommentDeleted, 2, "AE_CommentDeleted"},
               {TAuditKind::DeviceAlarmAtEnd, 1, "AE_DeviceAlarmAtEnd"},
               {TAuditKind::ArchiveAuditTrail, 0, "AE_ArchiveAuditTrail"}};
  for (const Case& c : cases) {
    TDY_AuditEvent event(c.kind, 0, "", "", -1, "");
    EXPECT_EQ(event.EventType(), c.type) << c.text;
    EXPECT_EQ(event.GetEventText(), c.text);
    EXPECT_EQ(EventName2Event(event.GetEventName()), c.kind);
  }
  TDY_AuditEvent event(TAuditKind::DocumentSaved, EncodeDate(2004, 3, 17), "Cold/a.xml", "v2", 2, "anna");
  EXPECT_EQ(event.DisplayText(),
            DateTimeText(event.Time) + " <anna> [AET_Document] (Cold/a.xml) AE_DocumentSaved - v2");
  event.UserName.clear();
  event.Subject.clear();
  event.Comment.clear();
  EXPECT_EQ(event.DisplayText(), DateTimeText(event.Time) + " [AET_Document] AE_DocumentSaved");
}

TEST(AuditEventList, XmlRoundTripKeepsMultiLineComments) {
  TDY_AuditEventList list;
  list.Add(TDY_AuditEvent(TAuditKind::Comment, EncodeDate(2004, 3, 18), "Cold/a.xml", "line 1\r\nline 2", 2, "anna"));
  list.Add(TDY_AuditEvent(TAuditKind::DocumentCreated, EncodeDate(2004, 3, 17), "Cold/a.xml", "", 2, "anna"));
  TXmlLines lines{"before"};
  list.WriteXml(lines, 2);
  lines.push_back("after");
  TDY_AuditEventList read;
  int index = 1;
  ASSERT_TRUE(read.ReadXml(XmlLineViews(lines), index));
  EXPECT_EQ(lines[static_cast<size_t>(index)], "after");
  ASSERT_EQ(read.Count(), 2);
  EXPECT_EQ(read.Get(0).Kind, TAuditKind::DocumentCreated);  // sorted by time
  EXPECT_EQ(read.Get(1).Comment, "line 1\r\nline 2");
  EXPECT_EQ(read.Get(1).UserName, "anna");
  EXPECT_EQ(read.Get(1).UserID, 2);

  index = 0;
  EXPECT_FALSE(read.ReadXml(XmlLineViews(lines), index));  // no AuditLog at the index: nothing read
  EXPECT_EQ(index, 0);
}

TEST(ArchiveStart, TheTrailTakesOverTheEventsRecordedBeforeIt) {
  TArchiveTestFolder folder;
  const std::string old_exe_path = ExePath;
  ExePath = folder.File("");
  AddAuditEvent(TAuditKind::DeviceCreated, "12");
  StartArchiveServices();
  ASSERT_NE(AuditTrail, nullptr);
  EXPECT_EQ(AuditManager, AuditTrail);
  EXPECT_EQ(ArchiveDataPath, folder.File("Dossaly/"));
  EXPECT_EQ(ArchiveIniFile, folder.File("Dossaly.ini"));
  EXPECT_EQ(UsersFile, folder.File("Dossaly/Users.dat"));
  AddAuditEvent(TAuditKind::DeviceMemCleared, "12");
  StopArchiveServices();
  EXPECT_EQ(AuditManager, nullptr);
  EXPECT_EQ(AuditTrail, nullptr);
  AddAuditEvent(TAuditKind::DeviceClockSync, "12");  // kept again until the next trail
  EXPECT_EQ(TakePendingAuditEvents().size(), 1u);

  const std::vector<TDY_AuditEvent> events = FileEvents(folder.File("Dossaly/AuditLog.dat"));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].Kind, TAuditKind::DeviceCreated);
  EXPECT_EQ(events[1].Kind, TAuditKind::DeviceMemCleared);
  ExePath = old_exe_path;
}

TEST(ArchiveStart, AKeptEventThatCannotBeWrittenStaysKept) {
  TArchiveTestFolder folder;
  ArchiveDataPath = folder.File("missing/");  // appends fail: no such folder
  TDY_AuditManager trail;
  AddAuditEvent(TAuditKind::DeviceCreated, "1");
  AddAuditEvent(TAuditKind::DeviceCreated, "2");
  EXPECT_THROW(InstallAuditService(&trail), EInOutError);
  EXPECT_EQ(AuditManager, nullptr);
  const auto kept = TakePendingAuditEvents();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].Subject, "1");
}

// A trail being uninstalled while another thread writes to it: the uninstall waits for the write,
// so whoever uninstalled it may free it at once.
TEST(ArchiveStart, UninstallingWaitsForAnEventBeingWritten) {
  class SlowTrail : public TAuditService {
  public:
    std::atomic<bool> inside{false};
    std::atomic<bool> done{false};

  protected:
    void RecordEvent(TAuditKind, const std::string&, const std::string&) override {
      inside = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      done = true;
    }
  };
  auto* trail = new SlowTrail;
  InstallAuditService(trail);
  std::thread worker([] { AddAuditEvent(TAuditKind::DeviceAlarmStart, "7"); });
  while (!trail->inside) std::this_thread::yield();
  InstallAuditService(nullptr);
  EXPECT_TRUE(trail->done) << "the trail was uninstalled while an event was being written to it";
  worker.join();
  delete trail;
  EXPECT_TRUE(TakePendingAuditEvents().empty());
}

}  // namespace
}  // namespace qv
