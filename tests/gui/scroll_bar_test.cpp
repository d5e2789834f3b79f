#include <gtest/gtest.h>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {
namespace {

// Each move is offered to the handler, which decides where the bar stands; while the thumb is
// dragged it stays where the user holds it.
TEST(ScrollBarTest, TheHandlerDecidesThePosition) {
  InitializeGui();
  TForm form(nullptr);
  auto* bar = new TScrollBar(&form);
  bar->SetParent(&form);
  bar->SetRange(0, 500);
  bar->SetPosition(600);
  EXPECT_EQ(bar->Position(), 500);
  std::vector<std::pair<TScrollCode, int>> seen;
  bar->OnScroll = [&](TComponent*, TScrollCode code, int& position) {
    seen.emplace_back(code, position);
    position = 7;
  };
  bar->Scroll(TScrollCode::scLineDown, 501);
  EXPECT_EQ(bar->Position(), 7);
  bar->Scroll(TScrollCode::scTrack, 300);
  EXPECT_EQ(bar->Position(), 7);
  EXPECT_EQ(seen,
            (std::vector<std::pair<TScrollCode, int>>{{TScrollCode::scLineDown, 500}, {TScrollCode::scTrack, 300}}));
  bar->SetRange(10, 5);  // an empty range holds its minimum only
  EXPECT_EQ(bar->Max(), 10);
  EXPECT_EQ(bar->Position(), 10);
}

}  // namespace
}  // namespace qv
