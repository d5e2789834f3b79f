// The program on a desktop with a window manager: where its windows land, how they stay where
// the program puts them, and that the user can reach them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "base/res_string.h"
#include "base/resource_locale.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/menus.h"
#include "platform/gui/user_input.h"
#include "platform/os/message_queue.h"
#include "shell/program_start.h"
#include "shell/qv_main_fm.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::string Text(const TRect& r) {
  return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + " " + std::to_string(r.Width()) + "x" +
         std::to_string(r.Height()) + ")";
}
bool Inside(const TRect& inner, const TRect& outer) {
  return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}

// The whole program in a fresh home folder; message boxes are answered OK.
class Desktop : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      shown.push_back(msg);
      return static_cast<int>(mrOk);
    });
    ASSERT_EQ(Screen->MonitorCount(), 1);
    work_area = Screen->Monitors(0).WorkareaRect;
  }
  void TearDown() override {
    program.reset();
    Application->ClearTerminated();
    SetMessageDlgAnswerer(nullptr);
    SetResourceLocale(0, false);
    ResetResourceLanguageSetup();
  }
  TQVMainFm* StartProgram() {
    program = std::make_unique<TProgram>(std::vector<std::string>{"--home", home.Path()},
                                         std::string(QV_SOURCE_DIR) + "/res/");
    EXPECT_TRUE(program->Start()) << program->Error();
    TQVMainFm* w = program->MainForm();
    if (w) w->Show();
    return w;
  }
  // Runs the loop until the window manager has done what done() waits for; false when it had
  // ample time and did not.
  static bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Application->ProcessMessages();
      WaitAndProcessMessages(10);
    }
    Settle();
    return true;
  }
  // Lets what the window manager sends after a change arrive.
  static void Settle() {
    for (int i = 0; i < 20; ++i) {
      Application->ProcessMessages();
      WaitAndProcessMessages(10);
    }
  }
  bool Maximised(TForm* w) const {
    return w->WindowState() == TWindowState::wsMaximized && WindowFrameRect(w) == work_area;
  }

  test::TempDir home;
  std::unique_ptr<TProgram> program;
  std::vector<std::string> shown;
  TRect work_area;
};

TEST_F(Desktop, TheMainWindowOpensMaximisedOnTheScreenAndStaysSo) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(WaitFor([&] { return Maximised(w); }))
      << "frame " << Text(WindowFrameRect(w)) << " on " << Text(work_area) << ", maximised "
      << (w->WindowState() == TWindowState::wsMaximized);
  // The form reads back its frame's corner.
  EXPECT_EQ(w->Left(), work_area.Left);
  EXPECT_EQ(w->Top(), work_area.Top);
  // Rebuilding the menu bar lays the window out again; it stays where it is.
  for (int i = 0; i < 3; ++i) w->SetMenu(w->Menu());
  Settle();
  EXPECT_TRUE(Maximised(w)) << "frame " << Text(WindowFrameRect(w));
  EXPECT_TRUE(shown.empty()) << shown.front();
}

TEST_F(Desktop, MovesAndResizesLeaveTheWindowWhereTheProgramPutIt) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Maximised(w); }));
  w->SetWindowState(TWindowState::wsNormal);
  ASSERT_TRUE(WaitFor([&] { return w->WindowState() == TWindowState::wsNormal && !Maximised(w); }));
  struct Place {
    int left, top, width, height;
  };
  std::vector<Place> places{{100, 80, 600, 400}, {40, 30, 700, 500}, {0, 0, 500, 300}, {300, 200, 560, 400}};
  // Steps of a window moved along: a fed-back frame would add up.
  for (int i = 1; i <= 10; ++i) places.push_back({300 + 10 * i, 200 + 5 * i, 560, 400});
  for (const Place& p : places) {
    SCOPED_TRACE(Text(Bounds(p.left, p.top, p.width, p.height)));
    w->SetBounds(p.left, p.top, p.width, p.height);
    ASSERT_TRUE(WaitFor([&] {
      const TRect f = WindowFrameRect(w);
      return f.Left == p.left && f.Top == p.top && f.Width() >= p.width && f.Height() >= p.height;
    })) << "frame "
        << Text(WindowFrameRect(w));
    EXPECT_EQ(Text(w->BoundsRect()), Text(Bounds(p.left, p.top, p.width, p.height)));
    EXPECT_TRUE(Inside(WindowFrameRect(w), work_area)) << Text(WindowFrameRect(w));
  }
  // Laying the window out again leaves it in place.
  w->SetMenu(w->Menu());
  Settle();
  const TRect f = WindowFrameRect(w);
  EXPECT_EQ(f.Left, 400);
  EXPECT_EQ(f.Top, 250);
  EXPECT_EQ(Text(w->BoundsRect()), Text(Bounds(400, 250, 560, 400)));
}

TEST_F(Desktop, TheCommunicationDialogOpensWhollyOnTheScreenCentred) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Maximised(w); }));
  // The dialog runs modally: a timer looks at it once the window manager has framed it.
  bool seen = false;
  TRect frame, bounds;
  int ticks = 0;
  TTimer timer(nullptr);
  timer.SetInterval(20);
  timer.OnTimer = [&](TComponent*) {
    ++ticks;
    for (int i = 0; i < Screen->FormCount(); ++i) {
      TForm* f = Screen->Forms(i);
      if (f == w || !f->Modal() || f->ModalResult() != mrNone) continue;
      const TRect outer = WindowFrameRect(f);
      // Framed: the window manager put its title bar around the client area.
      if (outer.Height() > f->Height() || ticks > 500) {
        seen = true;
        frame = outer;
        bounds = f->BoundsRect();
        f->SetModalResult(mrCancel);
      }
    }
  };
  w->Item("IMenComm")->Click();
  timer.SetEnabled(false);
  ASSERT_TRUE(seen);
  EXPECT_GT(frame.Height(), bounds.Height()) << "not framed: " << Text(frame);
  EXPECT_EQ(frame.Left, bounds.Left);
  EXPECT_EQ(frame.Top, bounds.Top);
  EXPECT_TRUE(Inside(frame, work_area)) << Text(frame) << " on " << Text(work_area);
  // Centred on the screen, which the maximised main window covers.
  const TRect screen{0, 0, Screen->Width(), Screen->Height()};
  EXPECT_NEAR(frame.Left + frame.Width() / 2, screen.Width() / 2, 4) << Text(frame);
  EXPECT_NEAR(frame.Top + frame.Height() / 2, screen.Height() / 2, 12) << Text(frame);
  EXPECT_TRUE(shown.empty()) << shown.front();
}

// The user's menus: an item two levels down is chosen with clicks, from the menu bar down, and a
// disabled one is not.
TEST_F(Desktop, MenusOpenAndTheirItemsAreChosenWithClicks) {
  TForm form(nullptr);
  form.SetBounds(100, 100, 400, 300);
  auto* menu = new TMainMenu(&form);
  const auto add = [&](TMenuItem* parent, const std::string& caption) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  };
  TMenuItem* file = add(menu->Items(), "&File");
  TMenuItem* open = add(file, "&Open");
  TMenuItem* edit = add(menu->Items(), "&Edit");
  add(edit, "&Copy");
  TMenuItem* more = add(edit, "&More");
  TMenuItem* deep = add(more, "&Deep");
  TMenuItem* off = add(more, "O&ff");
  off->SetEnabled(false);
  std::vector<std::string> clicked;
  for (TMenuItem* i : {open, deep, off}) i->OnClick = [&, i](TComponent*) { clicked.push_back(i->Caption()); };
  form.SetMenu(menu);
  form.Show();
  // The user clicks once the window manager has framed the window.
  ASSERT_TRUE(WaitFor([&] { return WindowFrameRect(&form).Height() > form.Height(); }));
  ASSERT_TRUE(UserChooseMenu(open));
  ASSERT_TRUE(UserChooseMenu(deep));
  EXPECT_FALSE(UserChooseMenu(off));
  ASSERT_TRUE(UserChooseMenu(open));
  EXPECT_EQ(clicked, (std::vector<std::string>{"&Open", "&Deep", "&Open"}));
}

// Runs scenarios of the shell's test binary on this desktop (the display and platform that this
// process has). Its exit status, and on failure the end of what it printed.
int RunShellScenarios(const std::string& filter, std::string& output) {
  const test::TempDir dir;
  const std::string log = dir.File("shell.log");
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) _exit(127);
    dup2(fd, 1);
    dup2(fd, 2);
    // The scenarios run whole: a sharded run of this binary must not shard the child as well.
    for (const char* name : {"GTEST_TOTAL_SHARDS", "GTEST_SHARD_INDEX", "GTEST_SHARD_STATUS_FILE"}) unsetenv(name);
    const std::string flag = "--gtest_filter=" + filter;
    execl(QV_SHELL_TESTS, QV_SHELL_TESTS, flag.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  output = text.str();
  if (output.size() > 6000) output = output.substr(output.size() - 6000);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A recording started right after the switch to the logger just read, as a user does it with the
// mouse and the keys on a desktop: the menus that the switch rebuilds while its notes are open,
// and the pointer's own events from the server on the rebuilt windows.
TEST(DesktopScenarios, RecordingStartsRightAfterASwitchToTheLoggerJustRead) {
  std::string output;
  EXPECT_EQ(RunShellScenarios("MainWindow.RecordingStartsRightAfterASwitchToTheLoggerJustRead", output), 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

}  // namespace
}  // namespace qv
