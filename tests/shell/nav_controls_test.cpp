#include "shell/nav_controls.h"

#include <gtest/gtest.h>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"

namespace qv {
namespace {

class Navigator : public TNavigator0 {
public:
  void BigStepLeft() override { ++steps; }
  void GotoNewest() override { ++newest; }
  void Zoom() override { ++zooms; }
  int steps = 0;
  int newest = 0;
  int zooms = 0;
};

TEST(NavControls, ButtonsAndMenuItemsOfTheMainWindowRunTheirCommands) {
  InitializeGui();
  TForm form(nullptr);
  auto* step = new TSpeedButton(&form);
  step->SetName("BStepLeftBtn");
  step->SetParent(&form);
  auto* last = new TButton(&form);
  last->SetName("LastButton");
  last->SetParent(&form);
  auto* zoom = new TMenuItem(&form);
  zoom->SetName("EMenZoom");
  auto* label = new TLabel(&form);
  label->SetName("UnzoomButton");
  EXPECT_EQ(MakeNavControl(label), nullptr) << "only buttons and menu items run commands";
  EXPECT_EQ(MakeNavControl(nullptr), nullptr);

  Navigator nav;
  for (TComponent* c : {static_cast<TComponent*>(step), static_cast<TComponent*>(last), static_cast<TComponent*>(zoom)})
    nav.BindControl(MakeNavControl(c));
  EXPECT_EQ(nav.Form(), &form);
  ASSERT_NE(nav.BoundButton(ncGotoNewest), nullptr);
  EXPECT_EQ(nav.BoundButton(ncGotoNewest)->Component(), last);
  EXPECT_EQ(nav.BoundMenuItem(ncZoom)->Form(), &form);
  EXPECT_FALSE(step->Enabled() || last->Enabled() || zoom->Enabled()) << "bound controls wait for an update";

  for (TNavControl* c : {nav.BoundButton(ncBigStepLeft), nav.BoundButton(ncGotoNewest), nav.BoundMenuItem(ncZoom)})
    c->SetEnabled(true);
  EXPECT_TRUE(step->Enabled() && last->Enabled() && zoom->Enabled());
  step->Click();
  last->Click();
  zoom->Click();
  EXPECT_EQ(nav.steps, 1);
  EXPECT_EQ(nav.newest, 1);
  EXPECT_EQ(nav.zooms, 1);
}

}  // namespace
}  // namespace qv
