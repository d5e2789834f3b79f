#pragma once
// What the framed edit, list box and combo box share: the colour that follows the control's state
// (normal, focused, disabled), the own frame with its hot variant, the frame controller, mouse
// enter and leave events, and Enter acting as Tab.
#include "controls/frame_paint.h"
#include "controls/sty_frame_controller.h"
#include "platform/gui/list_ctrls.h"

namespace qv {

// Enter as Tab: a Tab key-down posted to the control's own window moves the focus on.
constexpr intptr_t kPostedTab = 0x5441;  // marks the posted key-down
inline void PostTabKey(TWinControl* control) { control->PostMessage(WM_KEYDOWN, VK_TAB, kPostedTab); }
inline bool HandlePostedTab(TWinControl* control, TMessage& m) {
  if (m.Msg != WM_KEYDOWN || m.WParam != VK_TAB || m.LParam != kPostedTab) return false;
  SelectNextControl(control, true);
  return true;
}

template <class Base>
class TStyFramed : public Base {
public:
  explicit TStyFramed(TComponent* owner) : Base(owner) {
    this->PublishProperty("ParentColor", TPropertySetter::OfBool([this](bool v) { this->SetParentColor(v); }));
    this->PublishProperty("Color", TPropertySetter::OfColor([this](TColor v) { SetColor(v); }));
    this->PublishProperty("DisabledColor", TPropertySetter::OfColor([this](TColor v) { SetDisabledColor(v); }));
    this->PublishProperty("FocusColor", TPropertySetter::OfColor([this](TColor v) { SetFocusColor(v); }));
    this->PublishProperty("FrameColor", TPropertySetter::OfColor([this](TColor v) { SetFrameColor(v); }));
    this->PublishProperty("FrameHotColor", TPropertySetter::OfColor([this](TColor v) { SetFrameHotColor(v); }));
    this->PublishProperty("FrameHotTrack", TPropertySetter::OfBool([this](bool v) { SetFrameHotTrack(v); }));
    this->PublishProperty("FrameVisible", TPropertySetter::OfBool([this](bool v) { SetFrameVisible(v); }));
    this->PublishProperty("FrameHotStyle", TPropertySetter::OfText([this](const std::string& t) {
                            TFrameStyleEx s;
                            if (FrameStyleFromName(t, s)) SetFrameHotStyle(s);
                          }));
    this->PublishProperty("FrameStyle", TPropertySetter::OfText([this](const std::string& t) {
                            TFrameStyleEx s;
                            if (FrameStyleFromName(t, s)) SetFrameStyle(s);
                          }));
    this->PublishProperty("FrameSides", TPropertySetter::OfText([this](const std::string& t) {
                            TSides s;
                            if (SidesFromText(t, s)) SetFrameSides(s);
                          }));
    this->PublishProperty("FramingPreference", TPropertySetter::OfText([this](const std::string& t) {
                            SetFramingPreference(t == "fpCustomFraming" ? TFramingPreference::fpCustomFraming
                                                                        : TFramingPreference::fpXPThemes);
                          }));
  }
  ~TStyFramed() override {
    this->BeginDestroy();
    if (frame_controller_) frame_controller_->UnregisterControl(this);
  }

  void SetColor(TColor v) override {
    if (v == this->Color()) return;
    Base::SetColor(v);
    if (!updating_color_) {
      if (focus_color_ == normal_color_) focus_color_ = v;
      normal_color_ = v;
    }
    ColorChangedFrame();
  }
  TColor NormalColor() const { return normal_color_; }
  TColor DisabledColor() const { return disabled_color_; }
  virtual void SetDisabledColor(TColor v) {
    disabled_color_ = v;
    if (!this->Enabled()) ApplyStateColor();
  }
  TColor FocusColor() const { return focus_color_; }
  virtual void SetFocusColor(TColor v) {
    focus_color_ = v;
    if (this->Focused()) ApplyStateColor();
  }
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor v) { SetAndRedraw(frame_color_, v); }
  TColor FrameHotColor() const { return frame_hot_color_; }
  virtual void SetFrameHotColor(TColor v) { SetAndRedraw(frame_hot_color_, v); }
  TFrameStyle FrameHotStyle() const { return frame_hot_style_; }
  virtual void SetFrameHotStyle(TFrameStyle v) { SetAndRedraw(frame_hot_style_, v); }
  TSides FrameSides() const { return frame_sides_; }
  virtual void SetFrameSides(TSides v) { SetAndRedraw(frame_sides_, v); }
  TFrameStyle FrameStyle() const { return frame_style_; }
  virtual void SetFrameStyle(TFrameStyle v) { SetAndRedraw(frame_style_, v); }
  bool FrameHotTrack() const { return frame_hot_track_; }
  virtual void SetFrameHotTrack(bool v) {
    if (v == frame_hot_track_) return;
    frame_hot_track_ = v;
    if (v) {
      SetFrameVisible(true);
      SetFrameSides(sdAllSides);
    }
    RedrawFrame();
    this->Invalidate();
  }
  bool FrameVisible() const { return frame_visible_; }
  virtual void SetFrameVisible(bool v) {
    if (v == frame_visible_) return;
    frame_visible_ = v;
    FrameVisibleChanged();
  }
  TFramingPreference FramingPreference() const { return framing_preference_; }
  virtual void SetFramingPreference(TFramingPreference v) {
    if (v == framing_preference_) return;
    framing_preference_ = v;
    if (v == TFramingPreference::fpCustomFraming) RedrawFrame();
  }
  TStyFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TStyFrameController* fc) { BindFrameController(*this, frame_controller_, fc); }
  // Visual themes are off, so the own frame is never left to them.
  virtual bool FrameLeftToTheme() const { return false; }
  bool TabOnEnter() const { return tab_on_enter_; }
  void SetTabOnEnter(bool v) { tab_on_enter_ = v; }
  bool MouseInside() const { return mouse_inside_; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void Notification(TComponent* component, TOperation operation) override {
    Base::Notification(component, operation);
    ForgetFreedFrameController(frame_controller_, component, operation);
  }

  // Color := the colour of the state: disabled, focused or normal; the user's colours stay.
  virtual void ApplyStateColor() {
    updating_color_ = true;
    try {
      if (!this->Enabled())
        SetColor(disabled_color_);
      else if (FocusInside())
        SetColor(focus_color_);
      else
        SetColor(normal_color_);
    } catch (...) {
      updating_color_ = false;
      throw;
    }
    updating_color_ = false;
  }

protected:
  virtual void RedrawFrame() { this->Invalidate(); }
  virtual void FrameVisibleChanged() {
    if (frame_visible_) this->SetCtl3D(true);
    this->RecalcNonClient();
  }
  // After Color changed: the own frame shows the new colour.
  virtual void ColorChangedFrame() {
    if (frame_visible_ && !FrameLeftToTheme()) RedrawFrame();
  }
  virtual bool FocusInside() const { return this->Focused(); }
  bool HotNow() const { return frame_hot_track_ && (FocusInside() || mouse_inside_); }
  // The edit frame with the hot or the normal style, over the whole window.
  void PaintOwnFrame(TCanvas& c) {
    if (!frame_visible_ || FrameLeftToTheme()) return;
    if (HotNow())
      PaintEditFrame(c, this->Width(), this->Height(), frame_hot_style_, this->Color(), frame_hot_color_, frame_sides_);
    else
      PaintEditFrame(c, this->Width(), this->Height(), frame_style_, this->Color(), frame_color_, frame_sides_);
  }
  // The parent's colour arrives: it moves the user's colours as setting Color does.
  void CMParentColorChanged(TMessage& m) override {
    TColor before = this->Color();
    Base::CMParentColorChanged(m);
    TColor now = this->Color();
    if (now != before && this->ParentColor()) {
      if (focus_color_ == normal_color_) focus_color_ = now;
      normal_color_ = now;
      ColorChangedFrame();
    }
  }
  void SetMouseInside(bool v) { mouse_inside_ = v; }
  void NotifyMouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
  }
  void NotifyMouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
  }

private:
  template <class T>
  void SetAndRedraw(T& field, T v) {
    if (v == field) return;
    field = v;
    RedrawFrame();
  }
  TColor normal_color_ = clWindow;
  TColor disabled_color_ = clBtnFace;
  TColor focus_color_ = clWindow;
  TColor frame_color_ = clBtnShadow;
  TColor frame_hot_color_ = clBtnShadow;
  TFrameStyle frame_hot_style_ = TFrameStyleEx::fsFlatBold;
  TSides frame_sides_ = sdAllSides;
  TFrameStyle frame_style_ = TFrameStyleEx::fsFlat;
  bool frame_hot_track_ = false;
  bool frame_visible_ = false;
  TFramingPreference framing_preference_ = TFramingPreference::fpXPThemes;
  TStyFrameController* frame_controller_ = nullptr;
  bool updating_color_ = false;
  bool mouse_inside_ = false;
  bool tab_on_enter_ = false;
};

}  // namespace qv
