#pragma once
// A tabbed list box whose items each carry a three-valued check state and an enabled flag, shown
// as a check-box glyph in the item's indent and toggled by mouse or Space; group header items
// carry no glyph. Its items load from and save to a line-per-item text.
#include <functional>
#include <string>
#include <vector>

#include "controls/sty_tabbed_list_box.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/stream.h"

namespace qv {

// State and enabled flag of one item.
struct TPacket {
  TCheckBoxState State = TCheckBoxState::cbUnchecked;
  bool Enabled = true;
};

using TStateChangingEvent =
    std::function<void(TComponent* sender, int index, TCheckBoxState new_state, bool& allow_change)>;
using TStateChangeEvent = std::function<void(TComponent* sender, int index, TCheckBoxState new_state)>;

class TStyCheckList : public TStyCustomTabbedListBox {
public:
  explicit TStyCheckList(TComponent* owner);
  std::string ClassName() const override { return "TStyCheckList"; }

  // Setting these in code raises no event.
  TCheckBoxState ItemState(int index) const;
  virtual void SetItemState(int index, TCheckBoxState state);
  bool ItemChecked(int index) const { return ItemState(index) == TCheckBoxState::cbChecked; }
  virtual void SetItemChecked(int index, bool v) {
    SetItemState(index, v ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
  }
  bool ItemEnabled(int index) const;
  virtual void SetItemEnabled(int index, bool v);

  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool v) { allow_grayed_ = v; }
  bool ToggleOnItemClick() const { return toggle_on_item_click_; }
  void SetToggleOnItemClick(bool v) { toggle_on_item_click_ = v; }
  const TBitmap& CustomGlyphs() const { return custom_glyphs_; }
  virtual void SetCustomGlyphs(const TBitmap& strip) { custom_glyphs_.Assign(strip); }
  bool UseCustomGlyphs() const { return use_custom_glyphs_; }
  virtual void SetUseCustomGlyphs(bool v);
  TColor HighlightColor() const { return highlight_color_; }
  virtual void SetHighlightColor(TColor v);
  TColor TransparentColor() const { return transparent_color_; }
  virtual void SetTransparentColor(TColor v);
  int GlyphWidth() const { return glyph_width_; }
  int GlyphHeight() const { return glyph_height_; }

  // Toggles the selected item as a click on its glyph does (asking OnChanging).
  virtual void ToggleState();
  virtual TColor MakeUniqueColor(TColor color) const;
  virtual void DrawStateGlyph(int index, TBitmap& bitmap);
  int GetItemIndent() const override { return glyph_width_ + 8; }
  int FirstColumnExtra() const override { return glyph_width_; }
  void UpdateItemHeight() override;

  // Each item as "&" enabled (0/1), blank, state (0 to 2), blank, text, blank and CR LF.
  void SaveToStream(TStream& stream) const;
  // Replaces the items; a line that is not an item line is added whole, enabled and unchecked.
  void LoadFromStream(TStream& stream);
  std::string SaveToText() const;
  void LoadFromText(const std::string& text);

  TStateChangingEvent OnChanging;
  TStateChangeEvent OnChange;

  void WndProc(TMessage& m) override;

protected:
  void DispatchDrawItem(int index, TRect rect, TOwnerDrawState state) override;
  void DefaultDrawItem(int index, TRect rect, TOwnerDrawState state) override;
  void ItemsChanged(int kind, int index) override;
  bool CanChangeState(int index, TCheckBoxState new_state);
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyUp(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;

private:
  std::vector<TPacket> packets_;
  bool allow_grayed_ = false;
  int glyph_width_ = 13, glyph_height_ = 13;
  TBitmap custom_glyphs_;
  bool use_custom_glyphs_ = false;
  TColor transparent_color_ = clOlive;
  TColor highlight_color_ = clHighlight;
  int pressed_item_ = 0;
  bool toggle_on_item_click_ = false;
  bool toggle_pending_ = false;
};

}  // namespace qv
