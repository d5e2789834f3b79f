#pragma once
// The numeric entry field: a framed edit holding a floating-point value with fixed decimals, a pair
// of repeating spin buttons inside its right edge, limits, a step and a page step; and the button
// pair as a control of its own.
#include <functional>
#include <string>

#include "controls/sty_custom_button.h"
#include "controls/sty_edit.h"

namespace qv {

enum class TSpinDirection : uint8_t { sdUpDown, sdLeftRight };
enum class TSpinButtonType : uint8_t { sbUp, sbDown };

class TStySpinButtons : public TWinControl {
public:
  explicit TStySpinButtons(TComponent* owner);
  std::string ClassName() const override { return "TStySpinButtons"; }

  TSpinDirection Direction() const { return direction_; }
  virtual void SetDirection(TSpinDirection v);
  TOrientation Orientation() const { return orientation_; }
  virtual void SetOrientation(TOrientation v);
  bool Flat() const { return flat_; }
  virtual void SetFlat(bool v);
  void SetEnabled(bool v) override;
  void SetColor(TColor v) override;
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* c);
  // A null bitmap restores the default arrow.
  virtual void SetGlyphUpRight(const TBitmap* glyph);
  virtual void SetGlyphDownLeft(const TBitmap* glyph);
  void SetNumGlyphsUpRight(int n) { up_->SetNumGlyphs(n); }
  void SetNumGlyphsDownLeft(int n) { down_->SetNumGlyphs(n); }
  bool CustomUpRight() const { return custom_up_; }
  bool CustomDownLeft() const { return custom_down_; }
  TStyControlButton* UpRightButton() const { return up_; }
  TStyControlButton* DownLeftButton() const { return down_; }
  void SetBounds(int left, int top, int width, int height) override;

  TNotifyEvent OnUpRightClick;
  TNotifyEvent OnDownLeftClick;

  void Notification(TComponent* component, TOperation operation) override;
  void WndProc(TMessage& m) override;

protected:
  virtual TStyControlButton* CreateSpinButton();
  virtual void SpinButtonClicked(TStyControlButton* button);
  virtual void SpinButtonPressed(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y);
  virtual void SpinGlyphChanged(TStyControlButton* button);
  virtual void LayoutSpinButtons(int width, int height);
  void KeyDown(uint16_t& key, TShiftState shift) override;

private:
  TSpinDirection direction_ = TSpinDirection::sdUpDown;
  TOrientation orientation_ = TOrientation::orVertical;
  TStyControlButton* up_ = nullptr;
  TStyControlButton* down_ = nullptr;
  TWinControl* focus_control_ = nullptr;
  bool flat_ = false;
  bool custom_up_ = false, custom_down_ = false;
};

using TSpinChangingEvent = std::function<void(TComponent* sender, bool& allow_change)>;
using TSpinButtonEvent = std::function<void(TComponent* sender, TSpinButtonType button)>;

class TStySpinEdit : public TStyCustomEdit {
public:
  explicit TStySpinEdit(TComponent* owner);
  std::string ClassName() const override { return "TStySpinEdit"; }

  bool AllowKeyEdit() const { return allow_key_edit_; }
  void SetAllowKeyEdit(bool v) { allow_key_edit_ = v; }
  bool AllowBlank() const { return allow_blank_; }
  void SetAllowBlank(bool v) { allow_blank_ = v; }
  double BlankValue() const { return blank_value_; }
  void SetBlankValue(double v) { blank_value_ = v; }
  int ButtonWidth() const { return button_width_; }
  virtual void SetButtonWidth(int v);
  bool CheckRange() const { return check_range_; }
  virtual void SetCheckRange(bool v);
  uint8_t Decimals() const { return decimals_; }
  virtual void SetDecimals(uint8_t v);
  double Increment() const { return increment_; }
  void SetIncrement(double v) { increment_ = v; }
  bool IntegersOnly() const { return integers_only_; }
  virtual void SetIntegersOnly(bool v);
  double Min() const { return min_; }
  virtual void SetMin(double v);
  double Max() const { return max_; }
  virtual void SetMax(double v);
  double PageSize() const { return page_size_; }
  void SetPageSize(double v) { page_size_ = v; }
  TSpinDirection Direction() const { return buttons_->Direction(); }
  virtual void SetDirection(TSpinDirection v) { buttons_->SetDirection(v); }
  TOrientation Orientation() const { return buttons_->Orientation(); }
  virtual void SetOrientation(TOrientation v);
  void SetFlatButtons(bool v) override;
  void SetFrameStyle(TFrameStyle v) override;
  TStySpinButtons* SpinButtons() const { return buttons_; }
  virtual TStyControlButton* GetSpinButton(TSpinButtonType which) const;

  // The value lives in the text.
  virtual double Value();
  virtual void SetValue(double v);
  virtual int32_t IntValue();
  virtual void SetIntValue(int32_t v) { SetValue(v); }
  // X clamped to the limits when they differ or CheckRange is set.
  virtual double CheckValue(double x) const;
  virtual void StepUp(double amount);
  virtual void StepDown(double amount);
  virtual bool AcceptsChar(char key);

  TRect GetTextArea() const override;
  void SetHotState(bool via_mouse, bool inside) override;

  TSpinChangingEvent OnChanging;
  TSpinButtonEvent OnButtonClick;
  TNotifyEvent OnMouseWheelUp;
  TNotifyEvent OnMouseWheelDown;

  void WndProc(TMessage& m) override;
  void SetBounds(int left, int top, int width, int height) override;

protected:
  virtual void PlaceSpinButtons();
  virtual void SetEditMargins();
  virtual void UpClickHandler() { StepUp(increment_); }
  virtual void DownClickHandler() { StepDown(increment_); }
  bool CanChange();
  void NotifyButtonClick(TSpinButtonType button);
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;

private:
  char Separator() const;
  bool allow_key_edit_ = false;
  bool allow_blank_ = false;
  double blank_value_ = 0;
  TStySpinButtons* buttons_ = nullptr;
  int button_width_ = 17;
  bool check_range_ = false;
  uint8_t decimals_ = 0;
  double increment_ = 1.0;
  bool integers_only_ = true;
  double min_ = 0.0, max_ = 100.0;
  double page_size_ = 10.0;
};

}  // namespace qv
