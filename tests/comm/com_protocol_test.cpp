#include "comm/com_protocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "comm_fixture.h"
#include "pty_logger.h"
#include "serial/fake_dispatcher.h"
#include "serial/pty_pair.h"
#include "serial/ser_custom_com_port.h"

namespace qv {
namespace {

using test::EnglishTexts;
using test::FakeProcessWindow;
using test::FakeWindowFactory;
using test::Home;
using test::IdentifyProt;
using test::LoggerLine;
using test::RecordingHandler;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

sim::SimConfig Faults(const std::function<void(sim::Faults&)>& set) {
  sim::SimConfig c;
  set(c.faults);
  return c;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ProtocolRun, WakesAndIdentifiesTheLoggerThroughTheSerialLayer) {
  LoggerLine line;
  IdentifyProt p;
  p.Port = &line.Port();
  ASSERT_TRUE(p.Execute());
  EXPECT_EQ(p.Kennung, 0x1234);
  EXPECT_EQ(p.DevKind, 5);
  EXPECT_EQ(line.Logger().Requests(), (std::vector<std::string>{" ", "&S"}));
  EXPECT_TRUE(line.Logger().Violations().empty());
  EXPECT_EQ(p.Scan->TrialCount, 1);

  // One window, shown once and freed; the port's timer events are the port's again.
  EXPECT_EQ(line.Windows().created, 1);
  EXPECT_EQ(*line.Windows().frees, 1);
  EXPECT_EQ(ProcessWindow, nullptr);
  EXPECT_EQ(line.Port().OnTriggerTimer(), nullptr);
  EXPECT_FALSE(p.Running());
  const std::string diagnose = line.HomeFolder().Read("Diagnose.log");
  EXPECT_TRUE(Contains(diagnose, "Protocol <Wake-up> OK, tracing in Trace0.trc")) << diagnose;
  EXPECT_TRUE(Contains(diagnose, "Protocol <Identify> OK, tracing in Trace0.trc")) << diagnose;
  EXPECT_TRUE(line.Handler().Texts(mkWarning).empty());

  // The same protocol runs again.
  ASSERT_TRUE(p.Execute());
  EXPECT_EQ(line.Windows().created, 2);
}

TEST(ProtocolRun, IdentifiesTheSimulatorRunningAsAProgramOfItsOwn) {
  sim::LoggerSimProcess logger(QV_LOGGERSIM_EXE, {"--kind", "6", "--id", "4660"});
  Home home("[SerialPorts]\r\nCOM9=" + logger.SlavePath() + "\r\n");
  EnglishTexts texts;
  RecordingHandler handler;
  FakeWindowFactory windows;
  SetMainThread();
  InstallComPortMap();
  TQvComPort port;
  port.SetComNumber(9);
  port.SetOpen(true);
  IdentifyProt p;
  p.Port = &port;
  EXPECT_TRUE(p.Execute());
  EXPECT_EQ(p.Kennung, 4660);
  EXPECT_EQ(p.DevKind, 6);
  port.SetOpen(false);
  EXPECT_EQ(logger.Stop(), 0);  // the simulator saw no breach of the protocol
}

TEST(ProtocolRun, ASilentLoggerEndsEachLevelWithItsWarning) {
  LoggerLine line(Faults([](sim::Faults& f) { f.silent = true; }));
  IdentifyProt p;
  p.Port = &line.Port();
  EXPECT_FALSE(p.Execute());
  EXPECT_EQ(line.Logger().Requests(), (std::vector<std::string>{" ", " ", " "}));
  // The innermost warning carries the cause; the parent adds only its own abort line.
  EXPECT_EQ(line.Handler().Texts(mkWarning),
            (std::vector<std::string>{"The logger does not answer.\r\nWake-up aborted (trace file Trace0.trc).",
                                      "Identify aborted (trace file Trace0.trc)."}));
  const std::string protocol = line.HomeFolder().Read("Protocol.log");
  EXPECT_TRUE(Contains(protocol, "WakeUpProt: The logger does not answer.\r\nWake-up aborted")) << protocol;
  EXPECT_TRUE(Contains(protocol, "IdentifyProt: Identify aborted (trace file Trace0.trc).")) << protocol;
  EXPECT_EQ(ProcessWindow, nullptr);
  EXPECT_EQ(line.Port().OnTriggerTimer(), nullptr);
}

TEST(ProtocolRun, AWrongSumIsAFailedTrialThatTheUserMayRepeat) {
  // Frame 2 is the acknowledge of the first "&S".
  LoggerLine line(Faults([](sim::Faults& f) { f.bad_sum_frames = {2}; }));
  line.Handler().Answer = [](const std::string&, TMsgDlgButtons buttons) { return buttons & mbRetry ? mrRetry : mrOk; };
  IdentifyProt p;
  p.Port = &line.Port();
  ASSERT_TRUE(p.Execute());
  EXPECT_EQ(p.Kennung, 0x1234);
  EXPECT_EQ(p.Scan->TrialCount, 2);
  EXPECT_EQ(line.Logger().Requests(), (std::vector<std::string>{" ", "&S", "&S"}));
  EXPECT_EQ(line.Handler().dialogs, std::vector<std::string>{"The logger does not answer."});
}

TEST(ProtocolRun, ExhaustedTrialsEndTheProtocol) {
  // Every acknowledge has a wrong sum; the user always asks to repeat.
  LoggerLine line(Faults([](sim::Faults& f) { f.bad_sum_frames = {1, 3, 5, 7, 9}; }));
  line.Handler().Answer = [](const std::string&, TMsgDlgButtons buttons) { return buttons & mbRetry ? mrRetry : mrOk; };
  IdentifyProt p;
  p.UseWakeUp = false;
  p.Scan->Trials = 3;
  p.Port = &line.Port();
  EXPECT_FALSE(p.Execute());
  EXPECT_EQ(line.Logger().Requests(), (std::vector<std::string>{"&S", "&S", "&S"}));
  EXPECT_EQ(line.Handler().Texts(mkWarning).back(),
            "The logger does not answer.\r\nIdentify aborted (trace file Trace0.trc).");
  EXPECT_EQ(line.Handler().dialogs.size(), 3u);  // two questions, then the warning
}

TEST(ProtocolRun, InAutomaticModeAFailureEndsTheRunWithoutAQuestion) {
  LoggerLine line(Faults([](sim::Faults& f) { f.bad_sum_frames = {1}; }));
  line.Handler().SetModes(ProtocolEnabled | AutoModeEnabled);
  IdentifyProt p;
  p.UseWakeUp = false;
  p.Port = &line.Port();
  EXPECT_FALSE(p.Execute());
  EXPECT_TRUE(line.Handler().dialogs.empty());
  EXPECT_EQ(line.Logger().Requests(), std::vector<std::string>{"&S"});
  const std::string protocol = line.HomeFolder().Read("Protocol.log");
  EXPECT_TRUE(Contains(protocol, "Serial port: The logger does not answer.Abort")) << protocol;
  EXPECT_TRUE(Contains(protocol, "IdentifyProt: Identify aborted (trace file Trace0.trc).")) << protocol;
}

TEST(ProtocolRun, ASendRefusedForWantOfTrialsEndsTheProtocol) {
  LoggerLine line;
  IdentifyProt p;
  p.UseWakeUp = false;
  p.Scan->Trials = 0;
  p.Port = &line.Port();
  EXPECT_FALSE(p.Execute());
  EXPECT_EQ(line.Handler().Texts(mkError),
            std::vector<std::string>{"TOutTelegram.Send: Number of permitted trials exceeded"});
  EXPECT_EQ(line.Handler().Texts(mkWarning), std::vector<std::string>{"Identify aborted (trace file Trace0.trc)."});
  EXPECT_TRUE(line.Logger().Requests().empty());
}

TEST(ProtocolRun, ALateAnswerInsideTheTimeOutIsTaken) {
  LoggerLine line(Faults([](sim::Faults& f) { f.late_ms = test::ScaledMs(800); }));
  IdentifyProt p;
  p.UseWakeUp = false;
  p.AnswerTimeOut = 2;
  p.Port = &line.Port();
  ASSERT_TRUE(p.Execute());
  EXPECT_EQ(p.Kennung, 0x1234);
  EXPECT_EQ(p.Scan->TrialCount, 1);
}

TEST(ProtocolRun, AnAnswerAfterTheTimeOutIsNoResponseAndReachesNobody) {
  LoggerLine line(Faults([](sim::Faults& f) { f.late_ms = test::ScaledMs(2500); }));
  auto p = std::make_unique<IdentifyProt>();
  p->UseWakeUp = false;
  p->AnswerTimeOut = 1;
  p->Port = &line.Port();
  EXPECT_FALSE(p->Execute());
  // The question is asked once and refused (Abort); the run ends with the abort line alone.
  EXPECT_EQ(line.Handler().dialogs.front(), "The logger does not answer.");
  EXPECT_EQ(line.Handler().Texts(mkWarning).back(), "Identify aborted (trace file Trace0.trc).");
  const std::string protocol = line.HomeFolder().Read("Protocol.log");
  EXPECT_TRUE(Contains(protocol, "Serial port: The logger does not answer.Abort")) << protocol;

  // The late answer comes after the protocol is gone.
  p.reset();
  const size_t messages = line.Handler().messages.size();
  test::PumpUntil([] { return false; }, 2 * test::ScaledMs(2500));
  EXPECT_EQ(line.Handler().messages.size(), messages);
  EXPECT_EQ(line.Logger().Requests(), std::vector<std::string>{"&S"});
}

TEST(ProtocolRun, CancelWhileWaitingForTheLogger) {
  IdentifyProt* running = nullptr;
  bool pressed = false;
  LoggerLine line(Faults([](sim::Faults& f) { f.late_ms = 1500; }), [&](FakeProcessWindow& w) {
    if (!pressed && running && running->Step == 3) {
      pressed = true;
      w.PressCancel();
    }
  });
  IdentifyProt p;
  running = &p;
  p.UseWakeUp = false;
  p.Port = &line.Port();
  EXPECT_FALSE(p.Execute());
  EXPECT_TRUE(pressed);
  EXPECT_EQ(line.Handler().Texts(mkWarning),
            std::vector<std::string>{"Cancelled by the user.\r\nIdentify aborted (trace file Trace0.trc)."});
  EXPECT_EQ(line.Port().OnTriggerTimer(), nullptr);
  EXPECT_FALSE(p.Ack->Listening());
  EXPECT_FALSE(p.Id->Listening());
}

TEST(ProtocolRun, CancelDuringAChildEndsBothAndAfterItReachesTheParent) {
  {
    // During the wake-up child: the child ends with the cause, the parent with its abort line.
    IdentifyProt* running = nullptr;
    LoggerLine line(Faults([](sim::Faults& f) { f.silent = true; }), [&](FakeProcessWindow& w) {
      if (running && running->WakeUp->SpaceCount == 1) w.PressCancel();
    });
    IdentifyProt p;
    running = &p;
    p.Port = &line.Port();
    EXPECT_FALSE(p.Execute());
    EXPECT_EQ(line.Handler().Texts(mkWarning),
              (std::vector<std::string>{"Cancelled by the user.\r\nWake-up aborted (trace file Trace0.trc).",
                                        "Identify aborted (trace file Trace0.trc)."}));
  }
  {
    // After the child: the logger refuses "&S"; while the retry question is open the user
    // presses Cancel, which now reaches the parent; the question's answer changes nothing.
    LoggerLine line(Faults([](sim::Faults& f) { f.refuse["&S"] = 5; }));
    line.Handler().Answer = [](const std::string&, TMsgDlgButtons buttons) {
      if (buttons & mbRetry) {
        ProcessWindow->OnCancel(ProcessWindow);
        return mrRetry;
      }
      return mrOk;
    };
    IdentifyProt p;
    p.Port = &line.Port();
    EXPECT_FALSE(p.Execute());
    EXPECT_EQ(line.Handler().Texts(mkWarning).back(),
              "Cancelled by the user.\r\nIdentify aborted (trace file Trace0.trc).");
    EXPECT_EQ(line.Logger().Requests(), (std::vector<std::string>{" ", "&S"}));
  }
}

// The framework's own checks, on a port whose other end nobody answers.
class Framework : public ::testing::Test {
protected:
  Framework() : home_("[SerialPorts]\r\nCOM8=" + pty_.SlavePath() + "\r\n") {
    SetMainThread();
    InstallComPortMap();
    port_.SetComNumber(8);
  }
  ~Framework() override {
    if (port_.Open()) port_.SetOpen(false);
  }
  test::PtyPair pty_;
  Home home_;
  EnglishTexts texts_;
  RecordingHandler handler_;
  TQvComPort port_;
};

TEST_F(Framework, RunsRefuseAClosedPortAndAChildWithoutItsEvents) {
  IdentifyProt p;
  FakeWindowFactory windows;
  EXPECT_EQ(ErrorOf([&] { p.Execute(); }), "TComProtocol.Execute: ComPort nil or not open!");
  p.Port = &port_;
  EXPECT_EQ(ErrorOf([&] { p.Execute(); }), "TComProtocol.Execute: ComPort nil or not open!");
  EXPECT_EQ(windows.created, 0);
  EXPECT_FALSE(p.Running());

  port_.SetOpen(true);
  p.OnSuccess = [](TComProtocol*) {};
  EXPECT_EQ(ErrorOf([&] { p.ExecuteChild(); }), "TComProtocol.Execute: FOnSuccess/FOnFailure nil in child process!");
  EXPECT_EQ(port_.OnTriggerTimer(), nullptr);
  EXPECT_FALSE(p.Running());
}

TEST_F(Framework, TimerEventsOfOtherTriggersChangeOnlyLastTrigger) {
  port_.SetOpen(true);
  IdentifyProt p;
  p.UseWakeUp = false;
  p.Port = &port_;
  int ended = 0;
  p.OnSuccess = p.OnFailure = [&](TComProtocol*) { ++ended; };
  p.ExecuteChild();
  ASSERT_EQ(p.Step, 3);
  const int32_t own = p.TimerHandle();
  ASSERT_NE(own, 0);
  p.TimerTrigger(&port_, static_cast<uint16_t>(own + 8));
  EXPECT_EQ(p.LastTrigger, own + 8);
  EXPECT_EQ(p.Step, 3);
  EXPECT_TRUE(p.Running());
  // Its own timer is the no-response path; the child reports its failure to its parent.
  p.TimerTrigger(&port_, static_cast<uint16_t>(own));
  EXPECT_FALSE(p.Running());
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(p.TimerHandle(), 0);
  EXPECT_EQ(port_.OnTriggerTimer(), nullptr);
  // Nothing reaches it after its end.
  p.TimerTrigger(&port_, static_cast<uint16_t>(own));
  p.UserCancel(nullptr);
  EXPECT_EQ(ended, 1);
}

TEST_F(Framework, ACancelOfAModalRunWithoutAWindowIsAnError) {
  port_.SetOpen(true);
  IdentifyProt p;
  p.Port = &port_;
  p.InitProtocol();
  EXPECT_EQ(ErrorOf([&] { p.CancelProtocol("x", true); }), "TComProtocol.CancelProtocol: ProcessWindow nil!");
  EXPECT_EQ(handler_.Texts(mkWarning), std::vector<std::string>{"x\r\nIdentify aborted (trace file Trace0.trc)."});
  EXPECT_EQ(port_.OnTriggerTimer(), nullptr);
}

TEST_F(Framework, AFailingStepCancelsWithItsText) {
  port_.SetOpen(true);
  IdentifyProt p;
  p.UseWakeUp = false;
  p.Port = &port_;
  int failed = 0;
  p.OnSuccess = p.OnFailure = [&](TComProtocol*) { ++failed; };
  p.ExecuteChild();
  // An event that the step does not expect.
  p.ChildSuccess(nullptr);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(handler_.Texts(mkWarning),
            std::vector<std::string>{"IdentifyProt.ProtProc: invalid eventIdentify aborted (trace file Trace0.trc)."});
}

TEST_F(Framework, ALineThatGoesAwayEndsTheRunOnItsNoResponsePath) {
  port_.SetOpen(true);
  int lost = 0;
  port_.OnLineLost = [&](TComponent*) { ++lost; };
  IdentifyProt p;
  p.UseWakeUp = false;
  p.AnswerTimeOut = 60;  // not the timer: the hang-up ends it
  p.Port = &port_;
  FakeWindowFactory windows([&](FakeProcessWindow& w) {
    w.User = [&](FakeProcessWindow&) {
      if (p.Step == 3) pty_.CloseMaster();
    };
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(p.Execute());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(handler_.Texts(mkWarning),
            std::vector<std::string>{"The logger does not answer.\r\nIdentify aborted (trace file Trace0.trc)."});
  EXPECT_EQ(lost, 1);
  EXPECT_TRUE(port_.LineLost());
  EXPECT_EQ(port_.OnTriggerTimer(), nullptr);
  EXPECT_FALSE(p.Ack->Listening());
  port_.SetOpen(false);
}

// A device whose input cannot be flushed.
class UnflushableDevice : public test::FakeDispatcher {
public:
  using FakeDispatcher::FakeDispatcher;

protected:
  int PurgeDevice(int queue) override { return queue == 1 ? -5 : FakeDispatcher::PurgeDevice(queue); }
};

TEST_F(Framework, AFlushFailureAtTheEndIsOnlyDiagnosedAndTheRunStillEnds) {
  TQvComPort port;
  port.SetComNumber(1);
  port.DispatcherFactory = [](TSerCustomComPort* cp) { return std::make_unique<UnflushableDevice>(cp); };
  port.SetOpen(true);
  IdentifyProt p;
  p.UseWakeUp = false;
  p.Port = &port;
  int failed = 0;
  p.OnSuccess = [](TComProtocol*) { ADD_FAILURE(); };
  p.OnFailure = [&](TComProtocol*) { ++failed; };
  p.ExecuteChild();
  p.UserCancel(nullptr);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(handler_.Texts(mkDiagnoseOnly), std::vector<std::string>{"Exception while flushing buffer"});
  EXPECT_EQ(handler_.Texts(mkWarning).size(), 1u);
  EXPECT_EQ(port.OnTriggerTimer(), nullptr);
  port.SetOpen(false);
}

TEST_F(Framework, AProtocolFreedDuringARunGivesThePortBack) {
  port_.SetOpen(true);
  int own = 0;
  port_.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t) { ++own; });
  {
    IdentifyProt p;
    p.UseWakeUp = false;
    p.Port = &port_;
    p.OnSuccess = p.OnFailure = [](TComProtocol*) {};
    p.ExecuteChild();
    EXPECT_TRUE(p.Running());
  }
  port_.OnTriggerTimer()(&port_, 1);
  EXPECT_EQ(own, 1);
}

}  // namespace
}  // namespace qv
