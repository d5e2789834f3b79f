#include "platform/gui/scroll_box.h"

#include <algorithm>

namespace qv {

namespace {
constexpr int kBarSize = 17;
}

TScrollBox::TScrollBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 41);
  SetTabStop(false);
  hbar_ = new TScrollBar(this);
  hbar_->SetKind(TScrollBarKind::sbHorizontal);
  vbar_ = new TScrollBar(this);
  for (TScrollBar* bar : {hbar_, vbar_}) {
    bar->SetVisible(false);
    bar->SetParent(this);
  }
  hbar_->OnScroll = [this](TComponent*, TScrollCode, int& position) {
    SetHorzPosition(position);
    position = hpos_;
  };
  vbar_->OnScroll = [this](TComponent*, TScrollCode, int& position) {
    SetVertPosition(position);
    position = vpos_;
  };
}

TRect TScrollBox::ClientRect() const {
  TRect r = WindowClientRect();
  if (vbar_ && vbar_->Visible()) r.Right = std::max(r.Left, r.Right - kBarSize);
  if (hbar_ && hbar_->Visible()) r.Bottom = std::max(r.Top, r.Bottom - kBarSize);
  return r;
}

void TScrollBox::SetAutoScroll(bool v) {
  if (v == auto_scroll_) return;
  auto_scroll_ = v;
  Realign();
}

void TScrollBox::SetHorzPosition(int position) { ScrollTo(position, vpos_); }
void TScrollBox::SetVertPosition(int position) { ScrollTo(hpos_, position); }

void TScrollBox::ScrollTo(int hpos, int vpos) {
  const TRect client = ClientRect();
  hpos = std::clamp(hpos, 0, std::max(0, hrange_ - client.Width()));
  vpos = std::clamp(vpos, 0, std::max(0, vrange_ - client.Height()));
  const int dx = hpos_ - hpos, dy = vpos_ - vpos;
  if (dx == 0 && dy == 0) return;
  // The positions change first, so that a child that keeps its place on the whole area (from its
  // Left plus the position) sees the same place while it moves.
  hpos_ = hpos;
  vpos_ = vpos;
  DisableAlign();
  try {
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (!IsBar(c)) c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
    }
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
  hbar_->SetPosition(hpos_);
  vbar_->SetPosition(vpos_);
  Invalidate();
}

void TScrollBox::AlignControls(TControl* control, TRect& rect) {
  TWinControl::AlignControls(control, rect);
  UpdateScrollBars();
}

void TScrollBox::UpdateScrollBars() {
  if (updating_ || !hbar_ || !vbar_) return;
  updating_ = true;
  try {
    int right = 0, bottom = 0;
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (IsBar(c) || !c->Visible()) continue;
      right = std::max(right, c->Left() + c->Width() + hpos_);
      bottom = std::max(bottom, c->Top() + c->Height() + vpos_);
    }
    hrange_ = right;
    vrange_ = bottom;
    const TRect whole = WindowClientRect();
    bool vshow = auto_scroll_ && vrange_ > whole.Height();
    const bool hshow = auto_scroll_ && hrange_ > whole.Width() - (vshow ? kBarSize : 0);
    if (hshow && !vshow) vshow = auto_scroll_ && vrange_ > whole.Height() - kBarSize;
    const int cw = std::max(0, whole.Width() - (vshow ? kBarSize : 0));
    const int ch = std::max(0, whole.Height() - (hshow ? kBarSize : 0));
    vbar_->SetBounds(cw, 0, kBarSize, ch);
    hbar_->SetBounds(0, ch, cw, kBarSize);
    vbar_->SetRange(0, std::max(0, vrange_ - ch));
    hbar_->SetRange(0, std::max(0, hrange_ - cw));
    vbar_->SetPageSize(ch);
    hbar_->SetPageSize(cw);
    vbar_->SetVisible(vshow);
    hbar_->SetVisible(hshow);
    if (vshow) vbar_->BringToFront();
    if (hshow) hbar_->BringToFront();
    updating_ = false;
  } catch (...) {
    updating_ = false;
    throw;
  }
  // A range that shrank below the shown part scrolls back.
  ScrollTo(hpos_, vpos_);
}

}  // namespace qv
