#include "controls/sty_radio_group.h"

#include <algorithm>
#include <cmath>

#include "controls/gradients.h"
#include "controls/sty_framed.h"
#include "platform/gui/forms.h"

namespace qv {

TStyGroupButton::TStyGroupButton(TStyCustomRadioGroup* group) : TStyRadioButton(group), group_(group) {
  group->buttons_.push_back(this);
  SetVisible(false);
  SetEnabled(group->Enabled());
  SetParentFont(false);
  OnClick = [this](TComponent*) { group_->ButtonClicked(this); };
  SetParent(group);
}

TStyGroupButton::~TStyGroupButton() {
  BeginDestroy();
  auto& list = group_->buttons_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TStyGroupButton::WndProc(TMessage& m) {
  bool press = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK;
  bool release = m.Msg == WM_LBUTTONUP;
  if (press || release) {
    if (!group_->CanModify()) return;
    if (release && in_click_) return;
    in_click_ = release;
    try {
      TStyRadioButton::WndProc(m);
    } catch (...) {
      in_click_ = false;
      Application->HandleException(this);
    }
    in_click_ = false;
    return;
  }
  TStyRadioButton::WndProc(m);
}

void TStyGroupButton::KeyPress(char& key) {
  TStyRadioButton::KeyPress(key);
  group_->KeyPress(key);
  if ((key == '\b' || key == ' ') && !group_->CanModify()) key = 0;
}

void TStyGroupButton::KeyDown(uint16_t& key, TShiftState shift) {
  TStyRadioButton::KeyDown(key, shift);
  if (key) group_->KeyDown(key, shift);
}

// ---------------------------------------------------------------------------------------------
TStyCustomRadioGroup::TStyCustomRadioGroup(TComponent* owner) : TStyCustomGroupBox(owner) {
  control_style_ &= ~static_cast<uint32_t>(csReplicatable);
  item_font_.OnChange = [this](TFont*) {
    if (!following_font_) item_font_changed_ = true;
    ArrangeButtons();
    Invalidate();
  };
  custom_glyphs_.OnChange = [this](TBitmap*) {
    SetUseCustomGlyphs(true);
    Invalidate();
  };
}

TStyCustomRadioGroup::~TStyCustomRadioGroup() {
  BeginDestroy();
  while (!buttons_.empty()) delete buttons_.back();
}

void TStyCustomRadioGroup::SetItems(const TStringList& items) {
  items_.Assign(items);
  ItemsChanged();
}
void TStyCustomRadioGroup::AddItem(const std::string& text) {
  items_.Add(text);
  ItemsChanged();
}
void TStyCustomRadioGroup::DeleteItem(int index) {
  items_.Delete(index);
  ItemsChanged();
}
void TStyCustomRadioGroup::ClearItems() {
  items_.Clear();
  ItemsChanged();
}

void TStyCustomRadioGroup::ItemsChanged() {
  if (item_index_ >= items_.Count()) item_index_ = items_.Count() - 1;
  UpdateButtons();
}

void TStyCustomRadioGroup::SetButtonCount(int count) {
  while (ButtonCount() < count) new TStyGroupButton(this);
  while (ButtonCount() > count) delete buttons_.back();
}

void TStyCustomRadioGroup::UpdateButtons() {
  SetButtonCount(items_.Count());
  for (int i = 0; i < ButtonCount(); ++i) buttons_[static_cast<size_t>(i)]->SetCaption(items_[i]);
  if (item_index_ >= 0 && item_index_ < ButtonCount()) {
    updating_ = true;
    try {
      buttons_[static_cast<size_t>(item_index_)]->SetChecked(true);
    } catch (...) {
      updating_ = false;
      throw;
    }
    updating_ = false;
  }
  ArrangeButtons();
  Invalidate();
}

void TStyCustomRadioGroup::SetItemIndex(int v) {
  v = std::clamp(v, -1, ButtonCount() - 1);
  if (v == item_index_) return;
  if (item_index_ >= 0) buttons_[static_cast<size_t>(item_index_)]->SetChecked(false);
  item_index_ = v;
  if (v >= 0) buttons_[static_cast<size_t>(v)]->SetChecked(true);
}

void TStyCustomRadioGroup::SetColumns(int v) {
  v = std::clamp(v, 1, 16);
  if (v == columns_) return;
  columns_ = v;
  ArrangeButtons();
  Invalidate();
}

void TStyCustomRadioGroup::SetItemFont(const TFont& f) {
  if (&f == &item_font_) return;
  item_font_.Assign(f);
  item_font_changed_ = true;
  ArrangeButtons();
}

void TStyCustomRadioGroup::SetCustomGlyphs(const TBitmap& strip) {
  custom_glyphs_.Assign(strip);
  ArrangeButtons();
}

void TStyCustomRadioGroup::SetUseCustomGlyphs(bool v) {
  if (v == use_custom_glyphs_) return;
  use_custom_glyphs_ = v;
  if (v && !custom_glyphs_.Empty()) {
    glyph_width_ = custom_glyphs_.Width() / 6;
    glyph_height_ = custom_glyphs_.Height();
  } else {
    glyph_width_ = glyph_height_ = 13;
  }
  ArrangeButtons();
}

void TStyCustomRadioGroup::SetText(const std::string& text) {
  TStyCustomGroupBox::SetText(text);
  ArrangeButtons();
}
void TStyCustomRadioGroup::SetGroupStyle(TStyGroupBoxStyle v) {
  TStyCustomGroupBox::SetGroupStyle(v);
  ArrangeButtons();
  Invalidate();
}
void TStyCustomRadioGroup::SetTransparent(bool v) {
  TStyCustomGroupBox::SetTransparent(v);
  ArrangeButtons();
}

void TStyCustomRadioGroup::ControllerChanged() {
  if (!FrameController() || !FrameController()->FrameVisible()) return;
  if (GroupStyle() == TStyGroupBoxStyle::gsCustom) TStyCustomGroupBox::ControllerChanged();
  SetItemFrameColor(FrameController()->FrameColor());
  for (TStyGroupButton* b : buttons_) b->SetDisabledColor(FrameController()->DisabledColor());
}

bool TStyCustomRadioGroup::CanChange(int new_index) {
  bool allow = true;
  if (OnChanging) OnChanging(this, new_index, allow);
  return allow;
}

void TStyCustomRadioGroup::ButtonClicked(TStyGroupButton* button) {
  if (updating_) return;
  int index = static_cast<int>(std::find(buttons_.begin(), buttons_.end(), button) - buttons_.begin());
  if (CanChange(index)) {
    item_index_ = index;
    Changed();
    Click();
    return;
  }
  // Refused: the old selection comes back (checked directly, then focused as the user left it).
  updating_ = true;
  try {
    if (item_index_ >= 0) {
      TStyGroupButton* old = buttons_[static_cast<size_t>(item_index_)];
      old->SetChecked(true);
      old->SetFocus();
    } else {
      button->SetChecked(false);
    }
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TStyCustomRadioGroup::ArrangeButtons() {
  int n = ButtonCount();
  if (n == 0) return;
  int per_column = (n + columns_ - 1) / columns_;
  int column_width = space_evenly_ ? std::max(0, (Width() - start_x_pos_ - 2 * BorderWidth() - 10) / columns_) : 0;
  int h = FontLineHeight(Font());
  int top;
  if (GroupStyle() == TStyGroupBoxStyle::gsStandard) {
    top = Caption().empty() ? h / 2 + 2 + start_y_pos_ : h + start_y_pos_;
  } else {
    auto two_pixel = [](TFrameStyleEx s) { return s >= TFrameStyleEx::fsGroove && s <= TFrameStyleEx::fsButtonUp; };
    int b = BorderWidth() + 1 + (two_pixel(BorderOuter()) ? 2 : 0) + (two_pixel(BorderInner()) ? 2 : 0);
    top = Caption().empty() ? b + start_y_pos_ : b + h + start_y_pos_;
  }
  std::vector<int> widths(static_cast<size_t>(columns_), 0);
  if (!space_evenly_) {
    TCanvas& c = ScreenCanvas();
    c.Font().Assign(item_font_);
    for (int i = 0; i < n; ++i) {
      int w = c.TextWidth(buttons_[static_cast<size_t>(i)]->Caption()) + glyph_width_ + 12;
      int& col = widths[static_cast<size_t>(i / per_column)];
      col = std::max(col, w);
    }
  }
  bool rtl = UseRightToLeftAlignment();
  for (int i = 0; i < n; ++i) {
    TStyGroupButton* b = buttons_[static_cast<size_t>(i)];
    int c = i / per_column, r = i % per_column;
    int y = r * (item_height_ + vertical_spacing_) + top;
    if (space_evenly_) {
      int x = rtl ? ClientWidth() - c * column_width - column_width - start_x_pos_ : c * column_width + start_x_pos_;
      b->SetBounds(x, y, column_width, item_height_);
    } else {
      int x = 0;
      for (int k = 0; k < c; ++k) x += widths[static_cast<size_t>(k)];
      int cw = widths[static_cast<size_t>(c)];
      int left = rtl ? ClientWidth() - x - cw + 4 - start_x_pos_ : x + start_x_pos_;
      b->SetBounds(left, y, std::max(0, cw - 4), item_height_);
    }
    b->SetVisible(true);
    b->Font().Assign(item_font_);
    b->SetBiDiMode(BiDiMode());
    b->SetAlignment(rtl ? TAlignment::taLeftJustify : TAlignment::taRightJustify);
    b->SetTextHighlightColor(text_highlight_color_);
    b->SetTextShadowColor(text_shadow_color_);
    b->SetTextShadowDepth(text_shadow_depth_);
    b->SetLightTextStyle(light_text_style_);
    b->SetTextStyle(text_style_);
    b->SetTransparent(Transparent());
    b->SetWinMaskColor(win_mask_color_);
    b->SetTransparentColor(transparent_color_);
    if (!custom_glyphs_.Empty()) b->SetCustomGlyphs(custom_glyphs_);
    b->SetUseCustomGlyphs(use_custom_glyphs_ && !custom_glyphs_.Empty());
    b->SetFrameColor(item_frame_color_);
    b->SetHotTrack(item_hot_track_);
    b->SetHighlightColor(item_highlight_color_);
    b->SetHotTrackColor(item_hot_track_color_);
    b->SetHotTrackColorType(item_hot_track_color_type_);
  }
}

void TStyCustomRadioGroup::ChangeScale(int m, int d) {
  if (d == 0) return;
  auto mul_div = [m, d](int v) {
    return static_cast<int>(std::llround(static_cast<double>(static_cast<int64_t>(v) * m) / d));
  };
  if (item_font_changed_) item_font_.SetSize(mul_div(item_font_.Size()));
  vertical_spacing_ = mul_div(vertical_spacing_);
  item_height_ = mul_div(item_height_);
  start_y_pos_ = mul_div(start_y_pos_);
  ArrangeButtons();
}

void TStyCustomRadioGroup::Resize() {
  TStyCustomGroupBox::Resize();
  ArrangeButtons();
}

void TStyCustomRadioGroup::KeyPress(char& key) {
  if (key == '\r' && tab_on_enter_) {
    key = 0;
    PostTabKey(this);
    return;
  }
  TStyCustomGroupBox::KeyPress(key);
}

void TStyCustomRadioGroup::WndProc(TMessage& m) {
  if (HandlePostedTab(this, m)) return;
  switch (m.Msg) {
    case CM_FONTCHANGED:
      TStyCustomGroupBox::WndProc(m);
      if (!item_font_changed_) {
        following_font_ = true;
        item_font_.Assign(Font());
        following_font_ = false;
      }
      ArrangeButtons();
      Invalidate();
      return;
    case CM_ENABLEDCHANGED:
      TStyCustomGroupBox::WndProc(m);
      for (TStyGroupButton* b : buttons_) b->SetEnabled(Enabled());
      Invalidate();
      return;
    default: TStyCustomGroupBox::WndProc(m);
  }
}

}  // namespace qv
