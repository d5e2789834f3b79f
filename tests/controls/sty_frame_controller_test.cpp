#include "controls/sty_frame_controller.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// A control that publishes some of the controller's settings and logs each write.
class Framed : public TCustomControl {
public:
  explicit Framed(TComponent* owner, bool with_focus = true) : TCustomControl(owner) {
    PublishProperty("ParentColor",
                    TPropertySetter::OfBool([this](bool v) { log.push_back("ParentColor=" + std::to_string(v)); }));
    PublishProperty("Color",
                    TPropertySetter::OfColor([this](TColor c) { log.push_back("Color=" + std::to_string(c)); }));
    if (with_focus)
      PublishProperty("FocusColor",
                      TPropertySetter::OfColor([this](TColor c) { log.push_back("FocusColor=" + std::to_string(c)); }));
    PublishProperty("FrameSides",
                    TPropertySetter::OfText([this](const std::string& t) { log.push_back("FrameSides=" + t); }));
    PublishProperty("FrameStyle",
                    TPropertySetter::OfText([this](const std::string& t) { log.push_back("FrameStyle=" + t); }));
    PublishProperty("FrameVisible",
                    TPropertySetter::OfBool([this](bool v) { log.push_back("FrameVisible=" + std::to_string(v)); }));
  }
  std::vector<std::string> log;
};

class Client : public TCustomControl, public IFrameControllerClient {
public:
  using TCustomControl::TCustomControl;
  void ControllerChanged() override { ++changes; }
  int changes = 0;
};

TEST(FrameController, RegisteringWritesEveryPublishedSettingInOrder) {
  TStyFrameController fc(nullptr);
  Framed with(nullptr), without(nullptr, false);
  fc.RegisterControl(&with);
  fc.RegisterControl(&without);
  std::vector<std::string> all = {"ParentColor=0",
                                  "Color=" + std::to_string(clWindow),
                                  "FocusColor=" + std::to_string(clWindow),
                                  "FrameSides=[sdLeft,sdTop,sdRight,sdBottom]",
                                  "FrameStyle=fsFlat",
                                  "FrameVisible=0"};
  EXPECT_EQ(with.log, all);
  EXPECT_EQ(without.log.size(), all.size() - 1);  // no FocusColor: simply skipped

  with.log.clear();
  fc.SetParentColor(true);
  EXPECT_EQ(with.log, (std::vector<std::string>{"ParentColor=1"}));
  with.log.clear();
  fc.PushAllSettings();
  EXPECT_EQ(std::count(with.log.begin(), with.log.end(), "Color=" + std::to_string(clWindow)), 0);  // parent colour on
}

TEST(FrameController, SettersFollowTheirRules) {
  TStyFrameController fc(nullptr);
  Framed f(nullptr);
  fc.RegisterControl(&f);
  f.log.clear();
  fc.SetColor(clWindow);  // unchanged: nothing, ParentColor untouched
  EXPECT_TRUE(f.log.empty());
  fc.SetColor(clRed);  // FocusColor equal before: follows without its own update
  EXPECT_EQ(fc.FocusColor(), clRed);
  EXPECT_EQ(f.log, (std::vector<std::string>{"Color=" + std::to_string(clRed)}));
  f.log.clear();
  fc.SetFrameSides(SideBit(TSide::sdTop));
  fc.SetFrameHotTrack(true);
  EXPECT_TRUE(fc.FrameVisible());
  EXPECT_EQ(fc.FrameSides(), sdAllSides);
  EXPECT_EQ(f.log, (std::vector<std::string>{"FrameSides=[sdTop]", "FrameVisible=1"}));

  f.log.clear();
  fc.LockUpdates();
  fc.LockUpdates();
  fc.SetFrameStyle(TFrameStyleEx::fsLowered);
  fc.UnlockUpdates();
  EXPECT_TRUE(f.log.empty());
  fc.UnlockUpdates();
  fc.UnlockUpdates();  // never below zero: another full push
  EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "FrameStyle=fsLowered"), 2);
}

TEST(FrameController, ClientsCopyThemselvesAndFreedControlsLeave) {
  TStyFrameController fc(nullptr);
  Client client(nullptr);
  fc.RegisterControl(&client);
  fc.SetFrameColor(clRed);
  EXPECT_EQ(client.changes, 2);
  {
    Framed gone(nullptr);
    fc.RegisterControl(&gone);
    EXPECT_EQ(fc.ControlCount(), 2);
  }
  EXPECT_EQ(fc.ControlCount(), 1);
  fc.SetFrameColor(clBlue);  // would touch the freed control otherwise (ASan)
  TStyRegIniFile* store = new TStyRegIniFile(nullptr);
  fc.SetRegIniFile(store);
  delete store;
  EXPECT_EQ(fc.RegIniFile(), nullptr);
  TSides sides = 0;
  EXPECT_TRUE(SidesFromText("[sdLeft, sdBottom]", sides));
  EXPECT_EQ(sides, SideBit(TSide::sdLeft) | SideBit(TSide::sdBottom));
  EXPECT_FALSE(SidesFromText("[sdMiddle]", sides));
}

class Blinker : public TCustomControl {
public:
  Blinker(TComponent* owner, bool blinking) : TCustomControl(owner), blinking(blinking) { RegisterBlinker(this); }
  ~Blinker() override { UnregisterBlinker(this); }
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_STY_BLINKQUERY)
      m.Result = blinking ? 1 : 0;
    else if (m.Msg == CM_STY_BLINKSTATE) {
      states.push_back(static_cast<int>(m.WParam));
      if (on_state) on_state();
    } else
      TCustomControl::WndProc(m);
  }
  bool blinking;
  std::vector<int> states;
  std::function<void()> on_state;
};

TEST(BlinkingList, TicksFlipTheStateForControlsThatBlink) {
  auto* a = new Blinker(nullptr, true);
  auto* b = new Blinker(nullptr, false);
  TStyBlinkingControlsList* list = BlinkingControlsList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->BlinkState(), 1);
  EXPECT_EQ(list->Timer().Interval(), 500u);
  list->SetIntervalOn(300);
  list->Tick();
  list->Tick();
  EXPECT_EQ(a->states, (std::vector<int>{0, 1}));
  EXPECT_TRUE(b->states.empty());
  EXPECT_EQ(list->Timer().Interval(), 300u);
  delete a;
  delete b;
  EXPECT_EQ(BlinkingControlsList(), nullptr);
  Blinker again(nullptr, true);
  EXPECT_EQ(BlinkingControlsList()->IntervalOn(), 500);
}

TEST(BlinkingList, AControlFreedDuringATickIsSkipped) {
  auto* first = new Blinker(nullptr, true);
  auto* second = new Blinker(nullptr, true);
  first->on_state = [&] {
    delete second;
    second = nullptr;
  };
  BlinkingControlsList()->Tick();
  EXPECT_EQ(first->states.size(), 1u);
  first->on_state = nullptr;
  delete first;
  Application->ProcessMessages();
  EXPECT_EQ(BlinkingControlsList(), nullptr);
}

}  // namespace
}  // namespace qv
