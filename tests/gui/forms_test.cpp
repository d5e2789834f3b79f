#include "platform/gui/forms.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <thread>

#include "platform/gui/std_ctrls.h"
#include "platform/gui/user_input.h"

namespace qv {
namespace {

TEST(Forms, ShowModalReturnsTheResultOnceCloseQueryAgrees) {
  TForm form(nullptr);
  int queries = 0;
  form.OnCloseQuery = [&](TComponent*, bool& can) { can = ++queries > 1; };
  int idle_step = 0;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (!form.Modal()) return;
    ++idle_step;
    if (idle_step == 1)
      form.SetModalResult(mrOk);  // refused by the first query
    else if (idle_step == 2)
      form.SetModalResult(mrYes);  // accepted
  };
  EXPECT_EQ(form.ShowModal(), mrYes);
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(form.Visible());
  Application->OnIdle = nullptr;
}

// A click from the idle pass ends the modal loop at once: the events the click sends are handled
// inside the pass, and the loop must not then sleep until something else happens. The timer only
// ends a loop that slept.
TEST(Forms, AClickFromTheIdlePassEndsTheModalLoopAtOnce) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetBounds(10, 10, 80, 25);
  ok->SetModalResult(mrOk);
  TTimer slept(nullptr);
  slept.SetInterval(10000);
  slept.OnTimer = [&](TComponent*) { form.SetModalResult(mrAbort); };
  bool clicked = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (!form.Modal() || clicked) return;
    clicked = true;
    UserClick(ok);
  };
  EXPECT_EQ(form.ShowModal(), mrOk);
  Application->OnIdle = nullptr;
}

TEST(Forms, CloseHidesOrFreesAsOnCloseDecides) {
  auto* form = new TForm(nullptr);
  bool destroyed = false;
  form->OnDestroy = [&](TComponent*) { destroyed = true; };
  form->Show();
  form->Close();
  EXPECT_FALSE(form->Visible());
  form->Show();
  form->OnClose = [](TComponent*, TCloseAction& a) { a = TCloseAction::caFree; };
  form->Close();
  EXPECT_FALSE(destroyed);  // freed later, from the loop
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
}

TEST(Forms, ModalFormClosedWithFreeIsFreedAfterShowModalReturns) {
  auto* form = new TForm(nullptr);
  bool destroyed = false;
  form->OnDestroy = [&](TComponent*) { destroyed = true; };
  form->OnClose = [](TComponent*, TCloseAction& a) { a = TCloseAction::caFree; };
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (!destroyed && form->Modal()) form->SetModalResult(mrOk);
  };
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_FALSE(destroyed);  // the caller may still read the form
  Application->OnIdle = nullptr;
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
}

TEST(Forms, FormReleasedDuringItsModalLoopIsFreedAfterShowModalReturns) {
  auto* form = new TForm(nullptr);
  bool destroyed = false;
  form->OnDestroy = [&](TComponent*) { destroyed = true; };
  int step = 0;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (destroyed || !form->Modal()) return;
    done = false;  // more passes while the release is handled
    if (++step == 1)
      form->Release();
    else if (step == 3)
      form->SetModalResult(mrOk);
  };
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_FALSE(destroyed);
  Application->OnIdle = nullptr;
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
}

TEST(Forms, FormReleasedBeforeAnotherModalLoopIsFreedOnlyAfterThatLoop) {
  // The releasing handler still runs while the other form is modal.
  auto* released = new TForm(nullptr);
  bool destroyed = false;
  released->OnDestroy = [&](TComponent*) { destroyed = true; };
  TForm dialog(nullptr);
  int step = 0;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = !dialog.Modal();
    if (dialog.Modal() && ++step == 3) dialog.SetModalResult(mrOk);
  };
  released->Release();
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_FALSE(destroyed);
  Application->OnIdle = nullptr;
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
}

// Where a form lands when shown: its Left and Top (the outer corner) after Show.
TEST(Forms, ShownFormsAreCentredAsAskedAndKeptOnTheScreen) {
  InitializeGui();
  const TRect area = Screen->Monitors(0).WorkareaRect;
  TForm owner(nullptr);
  owner.SetBounds(area.Left + 40, area.Top + 30, 400, 300);
  owner.Show();
  // The window system's frame around the client area (offscreen too has one).
  const int fw = WindowFrameRect(&owner).Width() - owner.Width();
  const int fh = WindowFrameRect(&owner).Height() - owner.Height();
  struct Case {
    const char* what;
    TPosition position;
    TRect bounds;  // before Show
    TPoint shown;  // Left and Top after Show
  };
  const int right = area.Right, bottom = area.Bottom;
  const Case cases[] = {
      {"designed, on the screen",
       TPosition::poDesigned,
       Bounds(area.Left + 50, area.Top + 60, 200, 100),
       {area.Left + 50, area.Top + 60}},
      {"designed, partly off but its top edge on",
       TPosition::poDesigned,
       Bounds(right - 100, area.Top + 10, 200, 100),
       {right - 100, area.Top + 10}},
      {"stored off every screen", TPosition::poDesigned, Bounds(-5000, 4000, 200, 100), {area.Left, bottom - 100 - fh}},
      {"title bar above the screen",
       TPosition::poDesigned,
       Bounds(area.Left + 20, area.Top - 646, 200, 700),
       {area.Left + 20, area.Top}},
      {"centred on the screen",
       TPosition::poScreenCenter,
       Bounds(0, 0, 200, 100),
       {(Screen->Width() - 200 - fw) / 2, (Screen->Height() - 100 - fh) / 2}},
      {"centred on its owner",
       TPosition::poOwnerFormCenter,
       Bounds(0, 0, 200, 100),
       {area.Left + 40 + 100, area.Top + 30 + 100}},
  };
  for (const TBorderStyle style : {TBorderStyle::bsSizeable, TBorderStyle::bsDialog})
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (style == TBorderStyle::bsDialog ? ", dialog frame" : ""));
      TForm form(&owner);
      form.SetFormBorderStyle(style);
      form.SetPosition(c.position);
      form.SetBounds(c.bounds.Left, c.bounds.Top, c.bounds.Width(), c.bounds.Height());
      form.Show();
      Application->ProcessMessages();
      EXPECT_EQ(form.Left(), c.shown.X);
      EXPECT_EQ(form.Top(), c.shown.Y);
      EXPECT_EQ(form.Width(), c.bounds.Width());
      EXPECT_EQ(form.Height(), c.bounds.Height());
      // The window system put the frame's corner there.
      EXPECT_EQ(WindowFrameRect(&form).Left, c.shown.X);
      EXPECT_EQ(WindowFrameRect(&form).Top, c.shown.Y);
    }
  // A dialog centred on an owner near the screen's corner lies wholly on the screen.
  owner.SetBounds(right - 150, bottom - 100, 300, 200);
  TForm dialog(&owner);
  dialog.SetPosition(TPosition::poOwnerFormCenter);
  dialog.SetBounds(0, 0, 240, 160);
  dialog.Show();
  EXPECT_EQ(dialog.Left(), right - 240 - fw);
  EXPECT_EQ(dialog.Top(), bottom - 160 - fh);
  EXPECT_EQ(WindowFrameRect(&dialog).Right, right);
  EXPECT_EQ(WindowFrameRect(&dialog).Bottom, bottom);
}

// OnShow may still size a dialog: it is centred with the size it shows with.
TEST(Forms, ADialogSizedInOnShowIsCentredWithThatSize) {
  InitializeGui();
  TForm dialog(nullptr);
  dialog.SetPosition(TPosition::poScreenCenter);
  dialog.SetBounds(0, 0, 100, 80);
  dialog.OnShow = [&](TComponent*) { dialog.SetBounds(dialog.Left(), dialog.Top(), 300, 200); };
  dialog.Show();
  // Within the frame, which is not known before the dialog was first shown.
  EXPECT_NEAR(dialog.Left(), (Screen->Width() - 300) / 2, 4);
  EXPECT_NEAR(dialog.Top(), (Screen->Height() - 200) / 2, 4);
}

TEST(FormsDeathTest, TimerAndWindowCallsFromAWorkerThreadAssert) {
#ifdef NDEBUG
  GTEST_SKIP() << "assertions are compiled out";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  InitializeGui();
  auto on_worker = [](const std::function<void()>& fn) { std::thread(fn).join(); };
  TForm form(nullptr);
  TTimer timer(nullptr);
  EXPECT_DEATH(on_worker([] { TTimer t(nullptr); }), "main thread");
  EXPECT_DEATH(on_worker([&] { timer.SetInterval(7); }), "main thread");
  EXPECT_DEATH(on_worker([&] { form.Invalidate(); }), "main thread");
}

TEST(Forms, MessageDlgTakesScriptedAnswers) {
  std::string seen;
  SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType, TMsgDlgButtons b) {
    seen = msg;
    return (b & mbNo) ? mrNo : mrOk;
  });
  EXPECT_EQ(MessageDlg("Delete?", TMsgDlgType::mtConfirmation, mbYes | mbNo), mrNo);
  EXPECT_EQ(seen, "Delete?");
  try {
    throw Exception("Broken");
  } catch (...) {
    Application->HandleException();
  }
  EXPECT_EQ(seen, "Broken.");
  SetMessageDlgAnswerer(nullptr);
}

// Runs the main loop until `stop` is posted to the returned window.
struct LoopFixture : ::testing::Test {
  void SetUp() override {
    InitializeGui();
    wnd = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == kStop)
        Application->Terminate();
      else {
        order.push_back(static_cast<int>(m.WParam));
        ++delivered;
        m.Result = static_cast<intptr_t>(m.WParam) * 10;
      }
    });
  }
  void TearDown() override {
    DeallocateHWnd(wnd);
    Application->OnIdle = nullptr;
    Application->ClearTerminated();
  }
  void RunLoop() {
    // The application object is shared by the whole test binary.
    Application->ClearTerminated();
    Application->Run();
  }
  static constexpr uint32_t kStop = WM_USER + 99;
  HWND wnd = nullptr;
  std::vector<int> order;
  std::atomic<int> delivered{0};
};

TEST_F(LoopFixture, PostsAndSendsFromAThreadArriveInOrderThroughTheQtLoop) {
  std::atomic<bool> timed_out{false};
  intptr_t sent = 0;
  std::thread worker([&] {
    for (int i = 1; i <= 5; ++i) PostMessage(wnd, WM_USER, static_cast<uintptr_t>(i), 0);
    sent = SendMessage(wnd, WM_USER, 6, 0);
    PostMessage(wnd, kStop, 0, 0);
  });
  RunLoop();
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(sent, 60);
  (void)timed_out;
}

TEST_F(LoopFixture, SendTimesOutWhileTheMainThreadIsBusy) {
  bool ok = true;
  intptr_t result = -1;
  std::atomic<bool> send_returned{false}, busy{false};
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    // Keep the main thread busy until the sender gave up.
    busy = true;
    while (!send_returned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Application->OnIdle = nullptr;
  };
  std::thread worker([&] {
    while (!busy) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ok = SendMessageTimeout(wnd, WM_USER, 7, 0, 50, &result);
    send_returned = true;
    PostMessage(wnd, kStop, 0, 0);
  });
  RunLoop();
  worker.join();
  EXPECT_FALSE(ok);
  EXPECT_TRUE(order.empty());  // withdrawn, never delivered
}

TEST_F(LoopFixture, IdleRunsOncePerDrainedQueueAndNotWhileNothingHappens) {
  std::atomic<int> idles{0};
  std::atomic<bool> posted{false};
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    // The first pass waits until the worker has queued its batch.
    if (++idles == 1)
      while (!posted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::atomic<int> idles_while_quiet{-1};
  std::thread worker([&] {
    while (idles == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int i = 1; i <= 3; ++i) PostMessage(wnd, WM_USER, static_cast<uintptr_t>(i), 0);
    posted = true;
    while (delivered < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    idles_while_quiet = idles.load();
    PostMessage(wnd, kStop, 0, 0);
  });
  RunLoop();
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  // One pass when the loop first ran dry, one after the batch, none while nothing happened.
  EXPECT_EQ(idles_while_quiet, 2);
}

TEST_F(LoopFixture, TimerTicksFromTheLoopUntilDisabled) {
  TTimer timer(nullptr);
  timer.SetInterval(5);
  int ticks = 0;
  timer.OnTimer = [&](TComponent*) {
    if (++ticks == 3) {
      timer.SetEnabled(false);
      PostMessage(wnd, kStop, 0, 0);
    }
  };
  RunLoop();
  EXPECT_EQ(ticks, 3);
}

TEST_F(LoopFixture, IdleWithDoneFalseRunsAgainWithoutEvents) {
  int passes = 0;
  Application->OnIdle = [&](TComponent*, bool& done) {
    ++passes;
    done = passes >= 5;
    if (passes == 5) PostMessage(wnd, kStop, 0, 0);
  };
  RunLoop();
  EXPECT_GE(passes, 5);
}

// SIGTERM and SIGHUP reach their handler from the main loop, one call per signal, never inside
// the signal handler; without a handler the default action is back.
TEST_F(LoopFixture, TerminationSignalsAreHandledFromTheLoop) {
  std::vector<int> seen;
  bool in_loop = false;
  SetTerminationSignalHandler([&](int signal) {
    EXPECT_TRUE(in_loop);
    seen.push_back(signal);
    if (seen.size() == 2) Application->Terminate();
  });
  ::raise(SIGTERM);
  ::raise(SIGHUP);
  EXPECT_TRUE(seen.empty());
  in_loop = true;
  RunLoop();
  SetTerminationSignalHandler(nullptr);
  EXPECT_EQ(seen, (std::vector<int>{SIGTERM, SIGHUP}));
  struct sigaction action {};
  ::sigaction(SIGTERM, nullptr, &action);
  EXPECT_EQ(action.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace qv
