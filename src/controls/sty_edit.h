#pragma once
// The styled single-line edit: an edit with its own frame in the non-client area (a hot variant
// while focused or under the mouse), colours that follow its state, right alignment, Enter acting
// as Tab, and a drop-down button that descendants may show.
#include <string>

#include "controls/sty_framed.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

enum class TDropButtonState : uint8_t { up, down };

class TStyCustomEdit : public TStyFramed<TEdit> {
public:
  explicit TStyCustomEdit(TComponent* owner);
  std::string ClassName() const override { return "TStyCustomEdit"; }

  TAlignment Alignment() const { return EditAlignment(); }
  virtual void SetAlignment(TAlignment a);
  bool FlatButtons() const { return flat_buttons_; }
  virtual void SetFlatButtons(bool v);
  TColor FlatButtonColor() const { return flat_button_color_; }
  void SetFlatButtonColor(TColor v);
  bool DropButtonVisible() const { return drop_button_visible_; }
  bool DroppedDown() const { return dropped_down_; }
  TDropButtonState DropButtonState() const { return drop_button_state_; }

  // ViaMouse true records the mouse, false the focus; then the frame and the state colour follow.
  virtual void SetHotState(bool via_mouse, bool inside);
  // The area the text may use (the client rectangle here).
  virtual TRect GetTextArea() const { return ClientRect(); }
  virtual std::string GetPlainText() const { return Text(); }
  bool FocusInsideFlag() const { return focus_inside_; }

  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

  void WndProc(TMessage& m) override;

protected:
  void RedrawFrame() override;
  bool FocusInside() const override { return focus_inside_; }
  virtual void PaintDropButton(TCanvas& c, const TRect& r);
  virtual void ChangeDropButtonState(TDropButtonState state);
  virtual void ShowDropButton(bool visible);
  void RunDropDown();
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  TRect DropButtonRect() const;

private:
  void RepaintNonClient() { RecalcNonClient(); }
  bool flat_buttons_ = false;
  TColor flat_button_color_ = clBtnFace;
  bool drop_button_visible_ = false;
  TDropButtonState drop_button_state_ = TDropButtonState::up;
  bool dropped_down_ = false;
  bool focus_inside_ = false;
};

class TStyEdit : public TStyCustomEdit {
public:
  using TStyCustomEdit::TStyCustomEdit;
  std::string ClassName() const override { return "TStyEdit"; }
};

}  // namespace qv
