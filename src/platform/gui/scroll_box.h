#pragma once
// A scroll box: a windowed control whose children lie on an area larger than the box. Scroll bars
// appear when the children reach past the visible part (automatic scrolling); scrolling moves the
// children, so a child's Left and Top stay relative to the visible client area.
#include "platform/gui/controls.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TScrollBox : public TWinControl {
public:
  explicit TScrollBox(TComponent* owner);
  std::string ClassName() const override { return "TScrollBox"; }

  bool AutoScroll() const { return auto_scroll_; }
  void SetAutoScroll(bool v);
  int HorzPosition() const { return hpos_; }
  int VertPosition() const { return vpos_; }
  // Clamped to the scrollable range; the children move by the difference.
  void SetHorzPosition(int position);
  void SetVertPosition(int position);
  // The extent of the children on the whole area, from its top-left corner.
  int HorzRange() const { return hrange_; }
  int VertRange() const { return vrange_; }
  TScrollBar* HorzScrollBar() const { return hbar_; }
  TScrollBar* VertScrollBar() const { return vbar_; }
  // The visible part of the area, without the shown scroll bars.
  TRect ClientRect() const override;

protected:
  void AlignControls(TControl* control, TRect& rect) override;

private:
  void UpdateScrollBars();
  void ScrollTo(int hpos, int vpos);
  bool IsBar(const TControl* c) const { return c == hbar_ || c == vbar_; }

  TScrollBar* hbar_ = nullptr;
  TScrollBar* vbar_ = nullptr;
  bool auto_scroll_ = true;
  int hpos_ = 0, vpos_ = 0;
  int hrange_ = 0, vrange_ = 0;
  bool updating_ = false;
};

}  // namespace qv
