#pragma once
// Status panes: light-weight framed text fields for a status bar, a pane polled by one shared
// 500 ms timer, and the clock pane that shows the date and time.
#include <memory>
#include <string>
#include <vector>

#include "controls/sty_frame_controller.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TStyCustomStatusPane : public TGraphicControl, public IFrameControllerClient {
public:
  explicit TStyCustomStatusPane(TComponent* owner);
  ~TStyCustomStatusPane() override;
  std::string ClassName() const override { return "TStyCustomStatusPane"; }

  virtual int GetPreferredWidth();
  virtual void GetTextRect(TRect& rect);
  virtual void DrawPaneCaption(const std::string& text);
  virtual void DrawPaneFrame();
  void ControllerChanged() override;
  virtual void SetBlinkPhase(bool on);
  // True when the pane reaches the right edge of a status bar's client area (its size grip).
  virtual bool IsAtSizeGrip(const TRect& rect);

  TAlignment Alignment() const { return alignment_; }
  virtual void SetAlignment(TAlignment v);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool v);
  bool AutoHint() const { return auto_hint_; }
  void SetAutoHint(bool v) { auto_hint_ = v; }
  int DefaultWidth() const { return default_width_; }
  virtual void SetDefaultWidth(int v);
  bool Blinking() const { return blinking_; }
  virtual void SetBlinking(bool v);
  TColor BlinkColor() const { return blink_color_; }
  virtual void SetBlinkColor(TColor v);
  // Shared by every blinking control.
  uint16_t BlinkIntervalOff() const;
  virtual void SetBlinkIntervalOff(uint16_t ms);
  uint16_t BlinkIntervalOn() const;
  virtual void SetBlinkIntervalOn(uint16_t ms);
  int BorderWidth() const { return border_width_; }
  virtual void SetBorderWidth(int v);
  int CaptionOffset() const { return caption_offset_; }
  virtual void SetCaptionOffset(int v);
  TColor FillColor() const { return fill_color_; }
  virtual void SetFillColor(TColor v);
  bool ParentFillColor() const { return parent_fill_color_; }
  virtual void SetParentFillColor(bool v);
  TColor FlatColor() const { return flat_color_; }
  virtual void SetFlatColor(TColor v);
  int FlatColorAdjustment() const { return flat_color_adjustment_; }
  virtual void SetFlatColorAdjustment(int v);
  TFrameStyle FrameStyle() const { return frame_style_; }
  virtual void SetFrameStyle(TFrameStyle v);
  TStyFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TStyFrameController* fc);
  // The colour the caption is drawn in now (the normal or the blink colour).
  TColor CurrentTextColor() const { return current_text_color_; }

  // A hint offered to the pane; with AutoHint it becomes the caption and counts as handled.
  bool HandleHint(const std::string& hint);

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void WndProc(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void Paint() override;
  void CMTextChanged(TMessage&) override;
  void CMFontChanged(TMessage&) override;
  void CMHitTest(TMessage& m) override;
  void AdjustSize();
  int FrameWidth() const;

private:
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool auto_size_ = false;
  bool auto_hint_ = false;
  int default_width_ = 40;
  TColor blink_color_ = clHighlight;
  bool blinking_ = false;
  bool blink_phase_off_ = true;
  TColor normal_text_color_;
  int border_width_ = 1;
  int caption_offset_ = 2;
  bool parent_fill_color_ = true;
  TColor fill_color_;
  TColor flat_color_ = clBtnShadow;
  int flat_color_adjustment_ = 30;
  TFrameStyle frame_style_ = TFrameStyleEx::fsFlat;
  TStyFrameController* frame_controller_ = nullptr;
  TColor current_text_color_;
};

class TStyStatusPane : public TStyCustomStatusPane {
public:
  using TStyCustomStatusPane::TStyCustomStatusPane;
  std::string ClassName() const override { return "TStyStatusPane"; }
};

class TStyPollingStatus;

// The process-wide polling timer: each tick calls every visible polling pane in registration
// order. Its ticks also wake the main loop, so idle processing keeps running.
class TStyPollingList {
public:
  TStyPollingList();
  virtual ~TStyPollingList();
  virtual int Count() const { return static_cast<int>(panes_.size()); }
  virtual bool TimerEnabled() const;
  virtual void SetTimerEnabled(bool v);
  virtual uint16_t TimerInterval() const;
  virtual void SetTimerInterval(uint16_t ms);
  void Add(TStyPollingStatus* pane);
  void Remove(TStyPollingStatus* pane);
  // The timer's tick.
  void Tick();
  bool Ticking() const { return ticking_; }

private:
  std::unique_ptr<TTimer> timer_;
  std::vector<TStyPollingStatus*> panes_;
  bool ticking_ = false;
};

// Exists while at least one polling pane exists.
TStyPollingList* PollingList();

class TStyPollingStatus : public TStyCustomStatusPane {
public:
  explicit TStyPollingStatus(TComponent* owner);
  ~TStyPollingStatus() override;
  std::string ClassName() const override { return "TStyPollingStatus"; }
  // Both act on every polling pane of the process.
  virtual bool Active() const;
  virtual void SetActive(bool v);
  virtual uint16_t Interval() const;
  virtual void SetInterval(uint16_t ms);
  TNotifyEvent OnTimerExpired;
  virtual void TimerExpired();
};

using TStyGetDateTimeEvent = std::function<void(TComponent* sender, TDateTime& date_time)>;

class TStyClockStatus : public TStyPollingStatus {
public:
  explicit TStyClockStatus(TComponent* owner, const TWallClock& clock = DefaultWallClock());
  std::string ClassName() const override { return "TStyClockStatus"; }
  const std::string& Format() const { return format_; }
  void SetFormat(const std::string& v);
  TStyGetDateTimeEvent OnGetDateTime;
  void TimerExpired() override;
  virtual void UpdateClock();
  const std::string& ShownText() const { return shown_text_; }
  void GetTextRect(TRect& rect) override;

protected:
  void Paint() override;
  void CMTextChanged(TMessage&) override;

private:
  const TWallClock& clock_;
  std::string format_;
  std::string shown_text_;
  bool updating_ = false;
};

}  // namespace qv
