#include "shell/process_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "base/archive_hooks.h"
#include "base/idle_task_manager.h"
#include "comm/comm_fixture.h"
#include "platform/serial/com_port_map.h"
#include "platform/gui/forms.h"
#include "pty_logger.h"

namespace qv {
namespace {

// The GUI with the idle-task manager the program installs, and the archive's stand-ins.
class ProcessWindowTest : public ::testing::Test {
protected:
  ProcessWindowTest() {
    InitializeGui();
    IdleTaskManager = &tasks_;
    Application->OnIdle = [](TComponent*, bool& done) { RunIdleTasks(done); };
    InstallProcessWindowFactory();
  }
  ~ProcessWindowTest() override {
    Application->OnIdle = nullptr;
    Application->OnException = nullptr;
    ProcessWindowFactory = nullptr;
    IdleTaskManager = nullptr;
  }
  TProcessWindow* NewWindow() {
    ProcessWindow = ProcessWindowFactory();
    return dynamic_cast<TProcessWindow*>(ProcessWindow);
  }

  TIdleTaskManager tasks_;
  TArchiveStandIns archive_;
};

TEST_F(ProcessWindowTest, LaysOutItsLinesAndTheCancelButton) {
  TProcessWindow* w = NewWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->FormBorderStyle(), TBorderStyle::bsNone);
  EXPECT_TRUE(HasStyle(w->Font().Style(), TFontStyle::fsBold));
  EXPECT_EQ(w->Font().Size(), 10);
  EXPECT_FALSE(w->Text1Lbl->Visible());
  EXPECT_FALSE(w->GetCancelVisible());

  // Only the second line, one line high: centred at the top, the smallest window.
  w->SetText2("Reading the configuration");
  EXPECT_TRUE(w->Text2Lbl->Visible());
  EXPECT_EQ(w->Text2Lbl->Alignment(), TAlignment::taCenter);
  EXPECT_EQ(w->Text2Lbl->Top(), 20);
  EXPECT_EQ(w->Text2Lbl->Left(), 20);
  EXPECT_EQ(w->Text2Lbl->Width(), 450);
  EXPECT_EQ(w->ClientWidth(), 490);
  EXPECT_EQ(w->ClientHeight(), 110);
  const int arranged = w->ArrangeCount();
  w->SetText2("Reading the configuration");
  EXPECT_EQ(w->ArrangeCount(), arranged);

  // A long first line wraps; the second follows it; the Cancel button goes below, centred.
  w->SetText1(std::string(40, 'x') + " " + std::string(200, 'y') + " " + std::string(60, 'z'));
  w->SetCancelVisible(true);
  const int line1_bottom = w->Text1Lbl->Top() + w->Text1Lbl->Height();
  EXPECT_GT(w->Text1Lbl->Height(), w->Text2Lbl->Height());
  EXPECT_EQ(w->Text2Lbl->Top(), line1_bottom + 10);
  const int content = std::max(100, w->Text2Lbl->Top() + w->Text2Lbl->Height() + 10);
  EXPECT_EQ(w->CancelBtn->Left(), (490 - 113) / 2);
  EXPECT_EQ(w->CancelBtn->Top(), content);
  EXPECT_EQ(w->CancelBtn->Width(), 113);
  EXPECT_EQ(w->CancelBtn->Height(), 25);
  EXPECT_EQ(w->ClientHeight(), content + 25 + 10);

  // An empty text hides its line.
  w->SetText1("");
  EXPECT_FALSE(w->Text1Lbl->Visible());
  EXPECT_EQ(w->Text2Lbl->Top(), 20);
  w->Free();
  EXPECT_EQ(ProcessWindow, nullptr);
  EXPECT_GT(archive_.UserActivity, 0);
}

TEST_F(ProcessWindowTest, CancelSetsCancelledAndAChangeOfTheButtonClearsIt) {
  TProcessWindow* w = NewWindow();
  int cancels = 0;
  w->OnCancel = [&](TProcessWindowService* sender) {
    EXPECT_EQ(sender, ProcessWindow);
    ++cancels;
  };
  w->SetCancelVisible(true);
  w->CancelBtn->Click();
  EXPECT_TRUE(w->Cancelled);
  EXPECT_EQ(cancels, 1);
  w->SetCancelVisible(true);  // no change
  EXPECT_TRUE(w->Cancelled);
  w->SetCancelVisible(false);
  EXPECT_FALSE(w->Cancelled);
  w->CancelBtn->Click();
  w->SetCancelVisible(true);
  EXPECT_FALSE(w->Cancelled);
  w->Free();
}

TEST_F(ProcessWindowTest, TheWorkStartsOnceFromTheFirstIdlePassAndFinishEndsTheRun) {
  test::EnglishTexts texts;
  TProcessWindow* w = NewWindow();
  int started = 0;
  const std::string png = std::string(QV_BINARY_DIR) + "/process_window.png";
  w->OnProcess = [&](TProcessWindowService* sender) {
    ++started;
    EXPECT_EQ(sender, w);
    EXPECT_TRUE(w->Visible());
    EXPECT_TRUE(w->Modal());
    EXPECT_EQ(w->OnProcess, nullptr);
    w->SetText1("Quarvel2");
    w->SetText2("Reading the logger's memory");
    w->SetText3("Channel 2 of 4, block 17 of 120");
    w->SetCancelVisible(true);
    Application->ProcessMessages();
    EXPECT_TRUE(SaveWindowImage(w, png));
    PostDeferredCall([w] { w->Finish(mrOk); });
  };
  EXPECT_EQ(w->ShowModal(), mrOk);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(tasks_.Count(), 0);
  EXPECT_FALSE(w->Visible());
  w->Free();
  EXPECT_EQ(ProcessWindow, nullptr);
}

TEST_F(ProcessWindowTest, WithoutWorkNoTaskIsRegistered) {
  TProcessWindow* w = NewWindow();
  w->Show();
  EXPECT_EQ(tasks_.Count(), 0);
  w->Hide();
  PostDeferredCall([w] {
    EXPECT_EQ(IdleTaskManager->Count(), 0);
    w->Finish(mrCancel);
  });
  EXPECT_EQ(w->ShowModal(), mrCancel);
  w->Free();
}

TEST_F(ProcessWindowTest, FailingWorkEndsTheRunAndReachesTheExceptionHandler) {
  std::string shown;
  Application->OnException = [&](TComponent*, const std::exception& e) { shown = e.what(); };
  TProcessWindow* w = NewWindow();
  w->OnProcess = [](TProcessWindowService*) { throw std::runtime_error("printer gone"); };
  EXPECT_EQ(w->ShowModal(), mrCancel);
  EXPECT_EQ(shown, "printer gone");
  w->Free();
}

TEST_F(ProcessWindowTest, AWindowFreedBeforeItsFirstIdlePassLeavesNoTask) {
  TProcessWindow* w = NewWindow();
  w->OnProcess = [](TProcessWindowService*) { ADD_FAILURE() << "started after the free"; };
  w->Show();
  EXPECT_EQ(tasks_.Count(), 1);
  w->Free();
  EXPECT_EQ(tasks_.Count(), 0);
  EXPECT_EQ(ProcessWindow, nullptr);
  Application->ProcessMessages();
}

// The identify request against the simulated logger, run under the real progress window.
class ProtocolUnderTheWindow : public ProcessWindowTest {
protected:
  void Start(int late_ms) {
    sim::SimConfig config;
    config.faults.late_ms = late_ms;
    logger_ = std::make_unique<sim::PtyLogger>(config);
    home_ = std::make_unique<test::Home>("[SerialPorts]\r\nCOM9=" + logger_->SlavePath() + "\r\n");
    InstallComPortMap();
    logger_->Start();
    handler_ = std::make_unique<test::RecordingHandler>();
    port_ = std::make_unique<TQvComPort>();
    port_->SetComNumber(9);
    port_->SetOpen(true);
  }
  ~ProtocolUnderTheWindow() override {
    port_.reset();
    handler_.reset();
    if (logger_) logger_->Stop();
  }

  test::EnglishTexts texts_;
  std::unique_ptr<sim::PtyLogger> logger_;
  std::unique_ptr<test::Home> home_;
  std::unique_ptr<test::RecordingHandler> handler_;
  std::unique_ptr<TQvComPort> port_;
};

TEST_F(ProtocolUnderTheWindow, RunsToItsEndAndTheCancelButtonEndsIt) {
  Start(1500);
  test::IdentifyProt p;
  p.UseWakeUp = false;
  p.Port = port_.get();
  bool clicked = false;
  TTimer timer(nullptr);
  timer.SetInterval(50);
  timer.OnTimer = [&](TComponent*) {
    auto* w = dynamic_cast<TProcessWindow*>(ProcessWindow);
    if (clicked || !w || p.Step != 3) return;
    clicked = true;
    // The protocol's own handler is hooked to the window while it runs.
    w->CancelBtn->Click();
  };
  EXPECT_FALSE(p.Execute());
  EXPECT_TRUE(clicked);
  EXPECT_EQ(ProcessWindow, nullptr);
  EXPECT_EQ(handler_->Texts(mkWarning),
            std::vector<std::string>{"Cancelled by the user.\r\nIdentify aborted (trace file Trace0.trc)."});
  timer.SetEnabled(false);

  // Without Cancel the answer comes and the run succeeds.
  EXPECT_TRUE(p.Execute());
  EXPECT_EQ(p.Kennung, 0x1234);
  EXPECT_EQ(ProcessWindow, nullptr);
}

}  // namespace
}  // namespace qv
