#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "comm/forms/comm_gui_install.h"
#include "comm/dev_handl_coll.h"
#include "comm/forms/recorder_controls.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/menus.h"
#include "platform/rtl/file_io.h"
#include "recorder_fixture.h"

namespace qv {
namespace {

// The hooks bind real menu items: the collection's items follow it, and the items of a window
// that goes before the collection are forgotten, never touched again, and new ones bind.
TEST(CommGuiHooks, MenuItemsOfAWindowThatGoesFirstAreForgotten) {
  InitializeGui();
  InstallCommGuiHooks();
  TDevHandlColl coll;
  auto window = std::make_unique<TForm>(nullptr);
  auto* menu = new TMainMenu(window.get());
  auto* cfg = new TMenuItem(window.get());
  auto* type = new TMenuItem(window.get());
  menu->Items()->Add(cfg);
  menu->Items()->Add(type);
  coll.SetReadCfgMenu(cfg);
  coll.SetDevTypeMenu(type);
  EXPECT_FALSE(cfg->Enabled());  // no handler can read a configuration
  EXPECT_FALSE(type->Visible());
  EXPECT_NE(cfg->OnClick, nullptr);

  window.reset();
  coll.UpdateMenus();

  TMenuItem again(nullptr);
  coll.SetReadCfgMenu(&again);
  EXPECT_FALSE(again.Enabled());
  EXPECT_NE(again.OnClick, nullptr);
  coll.SetReadCfgMenu(nullptr);
  EXPECT_EQ(again.OnClick, nullptr);
}

// The connection's item: enabled while no connection is open, forgotten when freed first.
TEST(CommGuiHooks, TheConnectionForgetsItsMenuItemWhenItGoesFirst) {
  InitializeGui();
  InstallCommGuiHooks();
  test::Home home;
  TConnection connection;
  auto* item = new TMenuItem(nullptr);
  item->SetEnabled(false);
  connection.SetCommMenu(item);
  EXPECT_EQ(connection.CommMenu(), item);
  EXPECT_TRUE(item->Enabled());
  delete item;
  EXPECT_EQ(connection.CommMenu(), nullptr);
}

// The recorder's status pane and box tell of a lost line and of its return.
TEST(RecorderControls, ALostLineShowsInThePaneAndTheBox) {
  test::Home home;
  test::EnglishTexts texts;
  TPaintBox box(nullptr);
  TPanel pane(nullptr);
  TRecorder recorder;
  TRecorderControls& controls = RecorderControls(recorder);
  EXPECT_EQ(&RecorderControls(recorder), &controls);
  controls.SetStatusBox(&box);
  controls.SetStatusPane(&pane);
  controls.ShowLineLost("gone");
  EXPECT_EQ(pane.Caption(), "gone");
  EXPECT_EQ(box.Hint(), "gone");
  controls.ShowLineBack();
  EXPECT_EQ(pane.Caption(), "");
  EXPECT_EQ(box.Hint(), "The recorder is running");
  controls.ShowLineLost("again");
  controls.ShowLineLost("");  // the recording ended without its line
  EXPECT_EQ(pane.Caption(), "");
  EXPECT_EQ(box.Hint(), "again");
}

// The status bar's box shows the running recorder: a yellow dot walking along y 12 and two red
// dots circling; stopped, it draws nothing and has no hint.
TEST(Recorder, TheStatusBoxAnimatesWhileRecording) {
  std::unique_ptr<TPaintBox> box;  // outlives the recorder that paints it
  RecorderLine line;
  box = std::make_unique<TPaintBox>(nullptr);
  box->SetBounds(0, 0, 16, 16);
  RecorderControls(*line.recorder).SetStatusBox(box.get());
  auto paint = [&] {
    TBitmap bitmap(16, 16);
    bitmap.Canvas().StartRecording();
    box->PaintTo(bitmap.Canvas(), 0, 0);
    std::vector<TCanvasCall> dots;
    for (const TCanvasCall& c : bitmap.Canvas().Calls())
      if (c.Op == "FillRect") dots.push_back(c);
    return dots;
  };
  EXPECT_TRUE(paint().empty());
  line.recorder->Start();
  ASSERT_TRUE(line.recorder->Running());
  EXPECT_EQ(box->Hint(), "The recorder is running");
  const std::vector<TCanvasCall> dots = paint();
  ASSERT_EQ(dots.size(), 3u);
  EXPECT_EQ(dots[0].Brush.Color, clYellow);
  EXPECT_EQ(dots[0].Rect.Top, 12);
  EXPECT_EQ(dots[0].Rect.Right - dots[0].Rect.Left, 2);
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(dots[i].Brush.Color, clRed);
    const int cx = i == 1 ? 3 : 11;
    EXPECT_LE(std::abs(dots[i].Rect.Left - cx), 4);
    EXPECT_LE(std::abs(dots[i].Rect.Top - 5), 4);
  }
  line.recorder->Stop();
  EXPECT_TRUE(paint().empty());
  EXPECT_EQ(box->Hint(), "");
}

// What a desktop session that ends does to the program: SIGTERM during a recording. It returns
// the number of failed checks, so that the child's exit code tells them.
int RecordUntilTerminated() {
  int failures = 0;
  auto check = [&](bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "failed: %s\n", what);
    ++failures;
  };
  InitializeGui();
  {
    RecorderLine line;
    line.recorder->Start();
    TTv10Modul* m = line.Module();
    if (!line.recorder->Running() || !m) return 100;
    // Slot 1's data set is busy: its samples wait in the buffer file.
    TData* data = m->GetSubModul(1)->Data();
    data->Lock();
    check(line.WaitForSamples(2), "samples taken");
    SetTerminationSignalHandler([](int) {
      StopRecording();
      Application->Terminate();
    });
    ::kill(::getpid(), SIGTERM);
    Application->Run();
    Application->ClearTerminated();
    SetTerminationSignalHandler(nullptr);
    check(!line.recorder->Running(), "recording stopped");
    check(line.handler.dialogs.size() == 1, "nothing asked besides the battery warning");
    data->Unlock();
    const std::string file = m->Dir() + kRecBufFile;
    const std::string buffered = std::filesystem::exists(file) ? ReadFileBytes(file) : std::string();
    check(buffered.size() >= 2 * 34u && buffered.size() % 34 == 0, "RecBuf.bin holds whole samples");
    check(Samples(line.Stored(2)).size() >= 2, "weekly files hold the samples");
    const auto kinds = line.AuditKinds();
    check(!kinds.empty() && kinds.back() == TDY_AuditEventKind::DeviceRecorderStopped, "stop audited");
  }
  return failures;
}

TEST(RecorderSignal, SigtermEndsTheRecordingInOrderAndTheProcessExitsNormally) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(RecordUntilTerminated()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qv
