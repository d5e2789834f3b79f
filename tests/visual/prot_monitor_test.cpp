// The protocol monitor: the log's tail when the page opens, the newest lines as they are
// written (also those of other threads), at most 100 of them, and the page following the
// protocol switch.
#include "visual/prot_monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/res_string.h"
#include "platform/gui/std_ctrls.h"
#include "platform/os/message_queue.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"
#include "visual/vis_fixture.h"

namespace qv {
namespace {

std::string Lines(int from, int to, const std::string& prefix = "line ") {
  std::string out;
  for (int i = from; i <= to; ++i) out += prefix + std::to_string(i) + "\r\n";
  return out;
}

TEST(ProtocolTail, CompleteLinesOfTheTail) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"cut", {}},
      {"cut line\r\nfirst\r\nlast", {"first", "last"}},
      {"cut\r\nfirst\r\nsecond\r\n", {"first", "second"}},
      {"cut\nunix\r\n\r\nafter blank\r\n", {"unix", "", "after blank"}},
      // Older logs hold Windows-1252.
      {"cut\r\nGr\xfc\xdf"
       "e\r\n",
       {"Grüße"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ProtocolTailLines(c.bytes, 100), c.lines) << c.bytes;
  std::vector<std::string> many = ProtocolTailLines("x\r\n" + Lines(1, 150), 100);
  ASSERT_EQ(many.size(), 100u);
  EXPECT_EQ(many.front(), "line 51");
  EXPECT_EQ(many.back(), "line 150");
}

class ProtMonitorTest : public ::testing::Test, public test::VisFixture {
protected:
  ProtMonitorTest() {
    Selector = &selector_;
    MonitorClassReg = &monitor_classes_;
    monitor_classes_.RegisterClass(&DDTMonitorClass);
    book = new TMonitorBook(form.get());
    book->SetParent(form.get());
    MonitorBook = book;
  }
  ~ProtMonitorTest() override {
    handler.reset();
    delete book;
    MonitorClassReg = nullptr;
    Selector = nullptr;
  }
  void MakeHandler() { handler = std::make_unique<TQvMsgHandler>(nullptr, dir.Path(), dir.File("quarvel.INI")); }
  void Log(const std::string& text) {
    handler->HandleMessage("", text, TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  }
  std::vector<std::string> Shown() const {
    return ProtMonitor ? ProtMonitor->Memo()->Lines() : std::vector<std::string>{};
  }

  TMonitorBook* book = nullptr;
  std::unique_ptr<TQvMsgHandler> handler;

private:
  TSelector selector_;
  TMonitorClassReg monitor_classes_;
};

TEST_F(ProtMonitorTest, OpensWithTheLogsTailAndKeepsTheNewest100Lines) {
  // About 10 KB of log: the page shows the complete lines of its last 3000 bytes.
  const std::string log = Lines(1, 800, "entry ");
  dir.Write("Protocol.log", log);
  MakeHandler();
  handler->SetModes(ProtocolEnabled);
  ASSERT_NE(ProtMonitor, nullptr);
  EXPECT_EQ(ProtMonitor->GroupIndex, 1100);
  EXPECT_EQ(book->TabSet()->Tab(ProtMonitor->PageIndex), "Protocol");
  const std::string tail = dir.Read("Protocol.log").substr(dir.Read("Protocol.log").size() - 3000);
  std::vector<std::string> expected = ProtocolTailLines(tail, 100);
  EXPECT_EQ(Shown(), expected);
  EXPECT_LE(Shown().size(), 100u);
  EXPECT_NE(Shown().back().find(LoadResString("mhd_ProtocolStarted")), std::string::npos) << Shown().back();

  for (int i = 1; i <= 150; ++i) Log("new " + std::to_string(i));
  ASSERT_EQ(Shown().size(), 100u);
  EXPECT_EQ(Shown().front(), "new 51: ");
  EXPECT_EQ(Shown().back(), "new 150: ");

  // A worker's line arrives through the main thread's queue.
  std::thread([this] { Log("from worker"); }).join();
  EXPECT_NE(Shown().back(), "from worker: ");
  ProcessPostedMessages();
  EXPECT_EQ(Shown().back(), "from worker: ");
  EXPECT_EQ(Shown().size(), 100u);

  // Switching the protocol off closes the page; on again opens it with the log's tail.
  handler->SetModes(0);
  EXPECT_EQ(ProtMonitor, nullptr);
  EXPECT_EQ(book->GetMonitorCount(), 1);
  handler->SetModes(ProtocolEnabled);
  ASSERT_NE(ProtMonitor, nullptr);
  EXPECT_EQ(ProtMonitor->GroupIndex, 1100);
  const std::vector<std::string> again = Shown();
  ASSERT_FALSE(again.empty());
  EXPECT_NE(again.back().find(LoadResString("mhd_ProtocolStarted")), std::string::npos) << again.back();
  EXPECT_TRUE(std::any_of(again.begin(), again.end(), [](const std::string& l) {
    return l.find(LoadResString("mhd_ProtocolStopped")) != std::string::npos;
  }));
}

TEST_F(ProtMonitorTest, ShortOrMissingLogAndThePagesLimits) {
  MakeHandler();
  // No log yet: the page opens empty.
  UpdateProtMonitor(handler.get());
  EXPECT_EQ(ProtMonitor, nullptr) << "protocol off";
  handler->SetModes(AutoModeEnabled);
  UpdateProtMonitor(handler.get());
  ASSERT_NE(ProtMonitor, nullptr);
  EXPECT_TRUE(Shown().empty());
  handler->SetModes(0);
  UpdateProtMonitor(handler.get());
  EXPECT_EQ(ProtMonitor, nullptr);

  dir.Write("Protocol.log", "first\r\nsecond\r\nthird\r\n");
  handler->SetModes(AutoModeEnabled);
  UpdateProtMonitor(handler.get());
  ASSERT_NE(ProtMonitor, nullptr);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"second", "third"}));
  EXPECT_FALSE(ProtMonitor->IsEmpty());
  EXPECT_EQ(ProtMonitor->MonOptions(), 0);
  TVisObj* vo = nullptr;
  EXPECT_THROW(ProtMonitor->InsertVisObj(100, &DtPlotVOClass, vo), Exception);
  EXPECT_THROW(ProtMonitor->DeleteVisObj(nullptr, false), Exception);
  EXPECT_THROW(ProtMonitor->VODestroy(nullptr), Exception);
  // The book frees its pages itself; the handler forgets the page.
  delete ProtMonitor;
  EXPECT_EQ(ProtMonitor, nullptr);
}

}  // namespace
}  // namespace qv
