#pragma once
// A styled group box that shows a list of texts as radio buttons in columns, keeps the index of the
// selected one and lets a handler refuse a change of selection.
#include <functional>
#include <string>
#include <vector>

#include "controls/sty_panel.h"
#include "controls/sty_radio_button.h"

namespace qv {

class TStyCustomRadioGroup;

class TStyGroupButton : public TStyRadioButton {
public:
  explicit TStyGroupButton(TStyCustomRadioGroup* group);
  ~TStyGroupButton() override;
  std::string ClassName() const override { return "TStyGroupButton"; }
  void WndProc(TMessage& m) override;

protected:
  void KeyPress(char& key) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;

private:
  TStyCustomRadioGroup* group_;
  bool in_click_ = false;
};

using TStyIndexChangingEvent = std::function<void(TComponent* sender, int new_index, bool& allow_change)>;

class TStyCustomRadioGroup : public TStyCustomGroupBox {
public:
  explicit TStyCustomRadioGroup(TComponent* owner);
  ~TStyCustomRadioGroup() override;
  std::string ClassName() const override { return "TStyCustomRadioGroup"; }

  // The item texts; every change rebuilds the buttons.
  const TStringList& Items() const { return items_; }
  virtual void SetItems(const TStringList& items);
  void AddItem(const std::string& text);
  void DeleteItem(int index);
  void ClearItems();
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  virtual TStyGroupButton* GetButton(int index) const { return buttons_.at(static_cast<size_t>(index)); }

  int ItemIndex() const { return item_index_; }
  virtual void SetItemIndex(int v);
  int Columns() const { return columns_; }
  virtual void SetColumns(int v);
  TFont& ItemFont() { return item_font_; }
  virtual void SetItemFont(const TFont& f);
  bool ItemFontChanged() const { return item_font_changed_; }
  int ItemHeight() const { return item_height_; }
  virtual void SetItemHeight(int v) { SetAndArrange(item_height_, v); }
  bool SpaceEvenly() const { return space_evenly_; }
  virtual void SetSpaceEvenly(bool v) { SetAndArrange(space_evenly_, v); }
  int StartXPos() const { return start_x_pos_; }
  virtual void SetStartXPos(int v) { SetAndArrange(start_x_pos_, v); }
  int StartYPos() const { return start_y_pos_; }
  virtual void SetStartYPos(int v) { SetAndArrange(start_y_pos_, v); }
  int VerticalSpacing() const { return vertical_spacing_; }
  virtual void SetVerticalSpacing(int v) { SetAndArrange(vertical_spacing_, v); }
  const TBitmap& CustomGlyphs() const { return custom_glyphs_; }
  virtual void SetCustomGlyphs(const TBitmap& strip);
  bool UseCustomGlyphs() const { return use_custom_glyphs_; }
  virtual void SetUseCustomGlyphs(bool v);
  TColor TransparentColor() const { return transparent_color_; }
  virtual void SetTransparentColor(TColor v) { SetAndArrange(transparent_color_, v); }
  TColor WinMaskColor() const { return win_mask_color_; }
  virtual void SetWinMaskColor(TColor v) { SetAndArrange(win_mask_color_, v); }
  bool LightTextStyle() const { return light_text_style_; }
  virtual void SetLightTextStyle(bool v) { SetAndArrange(light_text_style_, v); }
  TTextStyle TextStyle() const { return text_style_; }
  virtual void SetTextStyle(TTextStyle v) { SetAndArrange(text_style_, v); }
  TColor TextHighlightColor() const { return text_highlight_color_; }
  virtual void SetTextHighlightColor(TColor v) { SetAndArrange(text_highlight_color_, v); }
  TColor TextShadowColor() const { return text_shadow_color_; }
  virtual void SetTextShadowColor(TColor v) { SetAndArrange(text_shadow_color_, v); }
  int TextShadowDepth() const { return text_shadow_depth_; }
  virtual void SetTextShadowDepth(int v) { SetAndArrange(text_shadow_depth_, v); }
  TColor ItemFrameColor() const { return item_frame_color_; }
  virtual void SetItemFrameColor(TColor v) { SetAndArrange(item_frame_color_, v); }
  bool ItemHotTrack() const { return item_hot_track_; }
  virtual void SetItemHotTrack(bool v) { SetAndArrange(item_hot_track_, v); }
  TColor ItemHotTrackColor() const { return item_hot_track_color_; }
  virtual void SetItemHotTrackColor(TColor v) { SetAndArrange(item_hot_track_color_, v); }
  TStyHotTrackColorType ItemHotTrackColorType() const { return item_hot_track_color_type_; }
  virtual void SetItemHotTrackColorType(TStyHotTrackColorType v) { SetAndArrange(item_hot_track_color_type_, v); }
  TColor ItemHighlightColor() const { return item_highlight_color_; }
  virtual void SetItemHighlightColor(TColor v) { SetAndArrange(item_highlight_color_, v); }
  bool TabOnEnter() const { return tab_on_enter_; }
  void SetTabOnEnter(bool v) { tab_on_enter_ = v; }
  void SetText(const std::string& text) override;
  void SetGroupStyle(TStyGroupBoxStyle v) override;
  void SetTransparent(bool v) override;
  void ControllerChanged() override;
  virtual bool CanModify() const { return true; }

  // Scales the item metrics by m / d as the form's scaling does.
  void ChangeScale(int m, int d);

  TStyIndexChangingEvent OnChanging;

  void WndProc(TMessage& m) override;

protected:
  friend class TStyGroupButton;
  virtual void SetButtonCount(int count);
  virtual void ArrangeButtons();
  virtual void UpdateButtons();
  bool CanChange(int new_index);
  void ButtonClicked(TStyGroupButton* button);
  void ItemsChanged();
  void Resize() override;
  void KeyPress(char& key) override;

private:
  template <class T>
  void SetAndArrange(T& field, T v) {
    if (v == field) return;
    field = v;
    ArrangeButtons();
  }
  std::vector<TStyGroupButton*> buttons_;
  TFont item_font_;
  bool item_font_changed_ = false;
  bool following_font_ = false;
  TStringList items_;
  int item_index_ = -1;
  int columns_ = 1;
  bool updating_ = false;
  bool space_evenly_ = false;
  int start_x_pos_ = 8, start_y_pos_ = 2, vertical_spacing_ = 3, item_height_ = 17;
  int glyph_width_ = 13, glyph_height_ = 13;
  TBitmap custom_glyphs_;
  bool use_custom_glyphs_ = false;
  TColor transparent_color_ = clOlive;
  TColor win_mask_color_ = clTeal;
  bool light_text_style_ = false;
  TTextStyle text_style_ = TTextStyle::tsNormal;
  TColor text_highlight_color_ = clBtnHighlight;
  TColor text_shadow_color_ = clBtnShadow;
  int text_shadow_depth_ = 2;
  bool tab_on_enter_ = false;
  TColor item_frame_color_ = clBtnShadow;
  bool item_hot_track_ = false;
  TColor item_hot_track_color_ = clHighlight;
  TStyHotTrackColorType item_hot_track_color_type_ = TStyHotTrackColorType::htctComplement;
  TColor item_highlight_color_ = clHighlight;
};

class TStyRadioGroup : public TStyCustomRadioGroup {
public:
  using TStyCustomRadioGroup::TStyCustomRadioGroup;
  std::string ClassName() const override { return "TStyRadioGroup"; }
};

}  // namespace qv
