#include "controls/sty_status_pane.h"

#include <algorithm>

#include "controls/sty_messages.h"
#include "controls/sty_toolbar.h"

namespace qv {

namespace {
// The size grip's share of a status bar that a pane at its right end leaves to the bar.
constexpr int kGripWidth = 12;
}  // namespace

TStyCustomStatusPane::TStyCustomStatusPane(TComponent* owner)
    : TGraphicControl(owner),
      normal_text_color_(Font().Color()),
      fill_color_(Color()),
      current_text_color_(Font().Color()) {
  SetBounds(0, 0, 100, 20);
  SetParentColor(true);
  RegisterBlinker(this);
}

TStyCustomStatusPane::~TStyCustomStatusPane() {
  BeginDestroy();
  UnregisterBlinker(this);
  if (frame_controller_) frame_controller_->UnregisterControl(this);
}

int TStyCustomStatusPane::FrameWidth() const {
  switch (frame_style_) {
    case TFrameStyleEx::fsNone:
    case TFrameStyleEx::fsFlatRounded: return 0;
    case TFrameStyleEx::fsFlat:
    case TFrameStyleEx::fsStatus:
    case TFrameStyleEx::fsPopup: return 1;
    default: return 2;
  }
}

int TStyCustomStatusPane::GetPreferredWidth() {
  if (Caption().empty()) return default_width_;
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  TRect r{0, 0, 0, 0};
  c.DrawText(Caption(), r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
  return r.Width() + 2 * border_width_ + caption_offset_ + 6;
}

void TStyCustomStatusPane::AdjustSize() {
  if (auto_size_) SetWidth(GetPreferredWidth());
}

void TStyCustomStatusPane::GetTextRect(TRect& rect) {
  rect = ClientRect();
  int d = border_width_ + FrameWidth();
  InflateRect(rect, -d, -d);
}

bool TStyCustomStatusPane::IsAtSizeGrip(const TRect&) {
  auto* bar = dynamic_cast<TStyStatusBar*>(Parent());
  if (!bar) return false;
  int pane_right = ClientToScreen(Point(Width(), 0)).X;
  int bar_right = bar->ClientToScreen(Point(bar->ClientRect().Right, 0)).X;
  return pane_right >= bar_right;
}

void TStyCustomStatusPane::Paint() {
  DrawPaneFrame();
  DrawPaneCaption(Caption());
}

void TStyCustomStatusPane::DrawPaneFrame() {
  TCanvas& c = Canvas();
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Color();
  c.FillRect(ClientRect());
  TRect r = ClientRect();
  InflateRect(r, -border_width_, -border_width_);
  if (frame_style_ != TFrameStyleEx::fsFlat) {
    PaintFrame(c, r, frame_style_);
    return;
  }
  // Flat: four lines without the corner pixels.
  c.Pen().Style = TPenStyle::psSolid;
  c.Pen().Width = 1;
  c.Pen().Color = ShiftColor(flat_color_, flat_color_adjustment_);
  auto line = [&c](int x1, int y1, int x2, int y2) {
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  line(r.Left, r.Top + 1, r.Left, r.Bottom - 1);
  line(r.Left + 1, r.Top, r.Right - 1, r.Top);
  line(r.Right - 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  line(r.Left + 1, r.Bottom - 1, r.Right - 1, r.Bottom - 1);
}

void TStyCustomStatusPane::DrawPaneCaption(const std::string& text) {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Font().SetColor(current_text_color_);
  TRect r;
  GetTextRect(r);
  int x;
  switch (alignment_) {
    case TAlignment::taRightJustify:
      x = r.Right - caption_offset_ - 1;
      c.SetTextAlign(TA_RIGHT | TA_TOP);
      break;
    case TAlignment::taCenter:
      x = r.Left + r.Width() / 2;
      c.SetTextAlign(TA_CENTER | TA_TOP);
      break;
    default:
      x = r.Left + caption_offset_ + 1;
      c.SetTextAlign(TA_LEFT | TA_TOP);
      break;
  }
  int y = r.Top + (r.Height() - c.TextHeight("Pp")) / 2;
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = fill_color_;
  c.FillRect(r);
  c.Brush().Style = TBrushStyle::bsClear;
  c.SaveState();
  c.IntersectClipRect(r);
  if (!Enabled()) {
    c.Font().SetColor(clBtnHighlight);
    c.TextOut(x + 1, y + 1, text);
    c.Font().SetColor(clBtnShadow);
  }
  c.TextOut(x, y, text);
  c.RestoreState();
  c.SetTextAlign(TA_LEFT | TA_TOP);
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyCustomStatusPane::ControllerChanged() {
  if (frame_controller_ && frame_controller_->FrameVisible()) {
    frame_style_ = frame_controller_->FrameStyle();
    flat_color_ = frame_controller_->FrameColor();
    flat_color_adjustment_ = 0;
    SetFillColor(frame_controller_->Color());
    SetParentColor(frame_controller_->ParentColor());
  }
  Invalidate();
}

void TStyCustomStatusPane::SetFrameController(TStyFrameController* fc) {
  BindFrameController(*this, frame_controller_, fc);
}

void TStyCustomStatusPane::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  ForgetFreedFrameController(frame_controller_, component, operation);
}

void TStyCustomStatusPane::SetBlinkPhase(bool on) {
  blink_phase_off_ = !on;
  current_text_color_ = on ? blink_color_ : normal_text_color_;
  Repaint();
}

void TStyCustomStatusPane::SetBlinking(bool v) {
  if (v == blinking_) return;
  blinking_ = v;
  if (!v) {
    blink_phase_off_ = true;
    current_text_color_ = normal_text_color_;
    Repaint();
  }
}

uint16_t TStyCustomStatusPane::BlinkIntervalOff() const { return BlinkingControlsList()->IntervalOff(); }
void TStyCustomStatusPane::SetBlinkIntervalOff(uint16_t ms) { BlinkingControlsList()->SetIntervalOff(ms); }
uint16_t TStyCustomStatusPane::BlinkIntervalOn() const { return BlinkingControlsList()->IntervalOn(); }
void TStyCustomStatusPane::SetBlinkIntervalOn(uint16_t ms) { BlinkingControlsList()->SetIntervalOn(ms); }

QV_STY_REPAINT_SETTER(TStyCustomStatusPane, Alignment, TAlignment, alignment_)
QV_STY_REPAINT_SETTER(TStyCustomStatusPane, BlinkColor, TColor, blink_color_)
QV_STY_REPAINT_SETTER(TStyCustomStatusPane, BorderWidth, int, border_width_)
QV_STY_REPAINT_SETTER(TStyCustomStatusPane, FlatColor, TColor, flat_color_)
QV_STY_REPAINT_SETTER(TStyCustomStatusPane, FlatColorAdjustment, int, flat_color_adjustment_)
QV_STY_REPAINT_SETTER(TStyCustomStatusPane, FrameStyle, TFrameStyle, frame_style_)

void TStyCustomStatusPane::SetAutoSize(bool v) {
  if (v == auto_size_) return;
  auto_size_ = v;
  AdjustSize();
}

void TStyCustomStatusPane::SetDefaultWidth(int v) {
  if (v == default_width_) return;
  default_width_ = v;
  AdjustSize();
}

void TStyCustomStatusPane::SetCaptionOffset(int v) {
  if (v == caption_offset_) return;
  caption_offset_ = v;
  Invalidate();
  AdjustSize();
}

void TStyCustomStatusPane::SetFillColor(TColor v) {
  if (v == fill_color_) return;
  fill_color_ = v;
  parent_fill_color_ = false;
  Invalidate();
}

void TStyCustomStatusPane::SetParentFillColor(bool v) {
  if (v == parent_fill_color_) return;
  parent_fill_color_ = v;
  if (Parent()) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

bool TStyCustomStatusPane::HandleHint(const std::string& hint) {
  if (!auto_hint_) return false;
  SetCaption(hint);
  return true;
}

void TStyCustomStatusPane::CMTextChanged(TMessage&) {
  Invalidate();
  AdjustSize();
}

void TStyCustomStatusPane::CMFontChanged(TMessage&) {
  normal_text_color_ = Font().Color();
  if (!blinking_ || blink_phase_off_) current_text_color_ = normal_text_color_;
  Invalidate();
  AdjustSize();
}

void TStyCustomStatusPane::CMHitTest(TMessage& m) {
  m.Result = HTCLIENT;
  auto* bar = dynamic_cast<TStyStatusBar*>(Parent());
  if (!bar || !IsAtSizeGrip(ClientRect())) return;
  // Points over the bar's grip go to the bar, so the window can still be sized there.
  TPoint at = ClientToScreen(Point(LoWordSigned(m.LParam), HiWordSigned(m.LParam)));
  int bar_right = bar->ClientToScreen(Point(bar->ClientRect().Right, 0)).X;
  if (at.X >= bar_right - kGripWidth) m.Result = HTNOWHERE;
}

void TStyCustomStatusPane::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_STY_BLINKQUERY: m.Result = blinking_ ? 1 : 0; return;
    case CM_STY_BLINKSTATE:
      if (blinking_) SetBlinkPhase(m.WParam != 0);
      return;
    case CM_COLORCHANGED:
    case CM_PARENTCOLORCHANGED:
      TGraphicControl::WndProc(m);
      if (parent_fill_color_) fill_color_ = Color();
      Invalidate();
      return;
    case CM_MOUSEENTER:
      TGraphicControl::WndProc(m);
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      TGraphicControl::WndProc(m);
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    default: break;
  }
  TGraphicControl::WndProc(m);
}

// ---------------------------------------------------------------------------------------------
namespace {
std::unique_ptr<TStyPollingList> g_polling;
}

TStyPollingList* PollingList() { return g_polling.get(); }

TStyPollingList::TStyPollingList() : timer_(std::make_unique<TTimer>(nullptr)) {
  timer_->SetInterval(500);
  timer_->OnTimer = [this](TComponent*) { Tick(); };
  timer_->SetEnabled(true);
}

TStyPollingList::~TStyPollingList() = default;

bool TStyPollingList::TimerEnabled() const { return timer_->Enabled(); }
void TStyPollingList::SetTimerEnabled(bool v) {
  if (v != timer_->Enabled()) timer_->SetEnabled(v);
}
uint16_t TStyPollingList::TimerInterval() const { return static_cast<uint16_t>(timer_->Interval()); }
void TStyPollingList::SetTimerInterval(uint16_t ms) {
  if (ms != timer_->Interval()) timer_->SetInterval(ms);
}

void TStyPollingList::Add(TStyPollingStatus* pane) {
  if (std::find(panes_.begin(), panes_.end(), pane) == panes_.end()) panes_.push_back(pane);
}

void TStyPollingList::Remove(TStyPollingStatus* pane) {
  panes_.erase(std::remove(panes_.begin(), panes_.end(), pane), panes_.end());
}

void TStyPollingList::Tick() {
  // A handler may free or create panes: walk a copy and skip those that left meanwhile.
  std::vector<TStyPollingStatus*> list = panes_;
  ticking_ = true;
  try {
    for (TStyPollingStatus* p : list)
      if (std::find(panes_.begin(), panes_.end(), p) != panes_.end() && p->Visible()) p->TimerExpired();
  } catch (...) {
    ticking_ = false;
    throw;
  }
  ticking_ = false;
}

TStyPollingStatus::TStyPollingStatus(TComponent* owner) : TStyCustomStatusPane(owner) {
  if (!g_polling) g_polling = std::make_unique<TStyPollingList>();
  g_polling->Add(this);
}

TStyPollingStatus::~TStyPollingStatus() {
  if (!g_polling) return;
  g_polling->Remove(this);
  if (g_polling->Count() > 0) return;
  if (!g_polling->Ticking()) {
    g_polling.reset();
    return;
  }
  // The last pane left from inside a tick: the list goes once the tick is over.
  TStyPollingList* list = g_polling.release();
  PostDeferredCall([list] { delete list; });
}

bool TStyPollingStatus::Active() const { return g_polling->TimerEnabled(); }
void TStyPollingStatus::SetActive(bool v) { g_polling->SetTimerEnabled(v); }
uint16_t TStyPollingStatus::Interval() const { return g_polling->TimerInterval(); }
void TStyPollingStatus::SetInterval(uint16_t ms) { g_polling->SetTimerInterval(ms); }

void TStyPollingStatus::TimerExpired() {
  if (OnTimerExpired) OnTimerExpired(this);
}

// ---------------------------------------------------------------------------------------------
TStyClockStatus::TStyClockStatus(TComponent* owner, const TWallClock& clock) : TStyPollingStatus(owner), clock_(clock) {
  SetWidth(150);
  UpdateClock();
}

void TStyClockStatus::SetFormat(const std::string& v) {
  if (v == format_) return;
  format_ = v;
  UpdateClock();
  Invalidate();
}

void TStyClockStatus::TimerExpired() {
  UpdateClock();
  TStyPollingStatus::TimerExpired();
}

void TStyClockStatus::UpdateClock() {
  TDateTime now = clock_.Now();
  if (OnGetDateTime) OnGetDateTime(this, now);
  // An empty format is the runtime's "c": the short date and the long time.
  std::string text = FormatDateTime(format_.empty() ? "c" : format_, now);
  if (text == shown_text_) return;
  shown_text_ = text;
  updating_ = true;
  SetCaption(text);
  updating_ = false;
  AdjustSize();
  // Only the text changes: it is drawn at once, without repainting the frame.
  if (Parent() && Visible()) DrawPaneCaption(shown_text_);
}

void TStyClockStatus::CMTextChanged(TMessage& m) {
  if (!updating_) TStyCustomStatusPane::CMTextChanged(m);
}

void TStyClockStatus::GetTextRect(TRect& rect) {
  TStyCustomStatusPane::GetTextRect(rect);
  if (IsAtSizeGrip(rect)) rect.Right -= kGripWidth;
}

void TStyClockStatus::Paint() {
  if (Caption() != shown_text_) {
    updating_ = true;
    SetCaption(shown_text_);
    updating_ = false;
  }
  TStyCustomStatusPane::Paint();
}

}  // namespace qv
