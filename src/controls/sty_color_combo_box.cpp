#include "controls/sty_color_combo_box.h"

#include <cstdio>
#include <cstdlib>

#include "base/res_string.h"
#include "controls/gradients.h"

namespace qv {

namespace {
const char* const kStandardNames[16] = {"Black",  "Maroon", "Green", "Olive",  "Navy", "Purple",  "Teal", "Gray",
                                        "Silver", "Red",    "Lime",  "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
const TColor kStandardColors[16] = {clBlack,  clMaroon, clGreen, clOlive,  clNavy, clPurple,  clTeal, clGray,
                                    clSilver, clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite};
const char* const kSystemNames[25] = {
    "ScrollBar",    "Background",     "ActiveCaption", "InactiveCaption", "Menu",
    "Window",       "WindowFrame",    "MenuText",      "WindowText",      "CaptionText",
    "ActiveBorder", "InactiveBorder", "AppWorkSpace",  "Highlight",       "HighlightText",
    "BtnFace",      "BtnShadow",      "GrayText",      "BtnText",         "InactiveCaptionText",
    "BtnHighlight", "3DDkShadow",     "3DLight",       "InfoText",        "InfoBk"};

void* ColorObject(TColor c) { return reinterpret_cast<void*>(static_cast<intptr_t>(c)); }
TColor ObjectColor(void* p) { return static_cast<TColor>(reinterpret_cast<intptr_t>(p)); }
}  // namespace

// ---------------------------------------------------------------------------------------------
void TStyColorNames::Assign(const TStyColorNames& source) {
  if (&source == this) return;
  if (ShowDefaultColor) SetDefault(source.default_);
  for (int i = 0; i < 16; ++i) SetStandardName(i, source.standard_[static_cast<size_t>(i)]);
  if (ShowSysColors)
    for (int i = 0; i < 25; ++i) SetSystemName(i, source.system_[static_cast<size_t>(i)]);
  if (ShowCustomColor) SetCustom(source.custom_);
}

void TStyColorNames::Rename(int item, const std::string& v) {
  if (!combo_ || combo_->building_ || item < 0 || item >= combo_->Count()) return;
  int keep = combo_->ItemIndex();
  combo_->SetItemText(item, v);
  combo_->SetItemIndex(keep);
  combo_->names_changed_ = true;
}

void TStyColorNames::SetDefault(const std::string& v) {
  default_ = v;
  if (ShowDefaultColor) Rename(0, v);
}
void TStyColorNames::SetCustom(const std::string& v) {
  custom_ = v;
  if (ShowCustomColor && combo_) Rename(combo_->Count() - 1, v);
}
void TStyColorNames::SetStandardName(int index, const std::string& v) {
  standard_.at(static_cast<size_t>(index)) = v;
  Rename(index + (ShowDefaultColor ? 1 : 0), v);
}
void TStyColorNames::SetSystemName(int index, const std::string& v) {
  system_.at(static_cast<size_t>(index)) = v;
  if (ShowSysColors) Rename(16 + index + (ShowDefaultColor ? 1 : 0), v);
}

// ---------------------------------------------------------------------------------------------
TStyColorComboBox::TStyColorComboBox(TComponent* owner) : TStyCustomComboBox(owner) {
  SetStyle(TComboBoxStyle2::csOwnerDrawFixed);
  color_names_ = std::make_unique<TStyColorNames>(this);
  LoadDefaultColorNames();
  RebuildList();
}

void TStyColorComboBox::LoadDefaultColorNames() {
  building_ = true;
  color_names_->SetDefault(LoadResString("Default"));
  for (int i = 0; i < 16; ++i) color_names_->SetStandardName(i, LoadResString(kStandardNames[i]));
  for (int i = 0; i < 25; ++i) color_names_->SetSystemName(i, LoadResString(kSystemNames[i]));
  color_names_->SetCustom(LoadResString("Custom"));
  building_ = false;
}

void TStyColorComboBox::RebuildList() {
  int keep = ItemIndex();
  building_ = true;
  ClearItems();
  const TStyColorNames& n = *color_names_;
  if (show_default_color_) AddItem(n.Default(), ColorObject(default_color_));
  for (int i = 0; i < 16; ++i) AddItem(n.StandardName(i), ColorObject(kStandardColors[i]));
  if (show_sys_colors_)
    for (int i = 0; i < 25; ++i) AddItem(n.SystemName(i), ColorObject(SystemColor(i)));
  if (show_custom_color_) AddItem(n.Custom(), ColorObject(custom_color_));
  building_ = false;
  SetItemIndex(keep < Count() ? keep : -1);
  Invalidate();
}

TColor TStyColorComboBox::GetItemColor(int index) const { return ObjectColor(ItemObject(index)); }

void TStyColorComboBox::SetDefaultColor(TColor v) {
  default_color_ = v;
  if (show_default_color_ && Count() > 0) {
    SetItemObject(0, ColorObject(v));
    Invalidate();
  }
}

void TStyColorComboBox::SetCustomColor(TColor v) {
  custom_color_ = v;
  if (show_custom_color_ && Count() > 0) {
    SetItemObject(Count() - 1, ColorObject(v));
    Invalidate();
  }
}

void TStyColorComboBox::SetCustomColors(const TStringList& lines) {
  custom_colors_.Assign(lines);
  NormalizeCustomColors();
}

void TStyColorComboBox::NormalizeCustomColors() {
  for (int i = 0; i < custom_colors_.Count(); ++i) {
    std::string value = custom_colors_.ValueFromIndex(i);
    char* end = nullptr;
    unsigned long long v = std::strtoull(value.c_str(), &end, 16);
    // A value that is not hexadecimal stays as it is; the dialog passes it by.
    if (value.empty() || !end || *end != 0) continue;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.6llX", v & 0xFFFFFFull);
    custom_colors_.Put(i, custom_colors_.Names(i) + "=" + buf);
  }
}

void TStyColorComboBox::SetShowSysColors(bool v) {
  if (v == show_sys_colors_) return;
  show_sys_colors_ = v;
  color_names_->ShowSysColors = v;
  RebuildList();
}
void TStyColorComboBox::SetShowDefaultColor(bool v) {
  if (v == show_default_color_) return;
  show_default_color_ = v;
  color_names_->ShowDefaultColor = v;
  RebuildList();
}
void TStyColorComboBox::SetShowCustomColor(bool v) {
  if (v == show_custom_color_) return;
  show_custom_color_ = v;
  color_names_->ShowCustomColor = v;
  RebuildList();
}
void TStyColorComboBox::SetShowColorNames(bool v) {
  if (v == show_color_names_) return;
  show_color_names_ = v;
  Invalidate();
}

TColor TStyColorComboBox::SelectedColor() const { return ItemIndex() < 0 ? default_color_ : GetItemColor(ItemIndex()); }

void TStyColorComboBox::SetSelectedColor(TColor v) {
  int found = -1;
  for (int i = 0; i < Count() && found < 0; ++i)
    if (GetItemColor(i) == v) found = i;
  if (found >= 0) {
    SetItemIndex(found);
  } else {
    SetCustomColor(v);
    // Without the custom entry no item shows the colour: none is selected rather than a wrong one.
    SetItemIndex(show_custom_color_ ? Count() - 1 : -1);
  }
  if (OnChange) OnChange(this);
}

void TStyColorComboBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  bool closed = (state & odComboBoxEdit) != 0;
  TCanvas& c = DroppedDown() && !closed ? DropList()->Canvas() : Canvas();
  if (show_color_names_) rect.Left += 24;
  c.FillRect(rect);
  bool selected = (state & odSelected) != 0;
  if (index >= 0) {
    TColor color = GetItemColor(index);
    bool custom = show_custom_color_ && index == Count() - 1;
    TRect s = rect;
    InflateRect(s, -2, -2);
    if (!closed) OffsetRect(s, 2, 0);
    if (show_color_names_) {
      s.Left -= 24;
      s.Right = s.Left + 16;
    } else if (custom) {
      s.Right -= 20;
    }
    c.Brush().Color = color;
    c.Pen().Color = clBtnShadow;
    c.Rectangle(s);
    TColor rgb = ColorToRGB(color);
    TColor edge = (GetRValue(rgb) > 128 || GetGValue(rgb) > 128 || GetBValue(rgb) > 128) ? RGB(128, 128, 128) : clBlack;
    PaintSides(c, s, edge, sdAllSides, edge);
    c.Brush().Color = selected ? clHighlight : Color();
    c.Pen().Color = selected ? clHighlightText : (Enabled() ? clWindowText : clBtnShadow);
    if (custom) {
      TColor mark = c.Pen().Color;
      for (int x : {16, 12, 8}) {
        c.Brush().Color = mark;
        c.FillRect(TRect{rect.Right - x, rect.Bottom - 7, rect.Right - x + 2, rect.Bottom - 4});
      }
      c.Brush().Color = selected ? clHighlight : Color();
    }
    if (show_color_names_) {
      if (!Enabled()) c.Font().SetColor(clBtnShadow);
      c.Brush().Style = TBrushStyle::bsClear;
      c.TextOut(rect.Left + 2, rect.Top + (rect.Height() - c.TextHeight("Yy")) / 2, Item(index));
      c.Brush().Style = TBrushStyle::bsSolid;
    }
  }
  if (selected && ShowFocus()) PaintDottedFocusFrame(c, rect);
}

void TStyColorComboBox::SelEndOk() {
  TStyCustomComboBox::SelEndOk();
  cancel_pick_ = false;
}

void TStyColorComboBox::SelEndCancel() {
  TStyCustomComboBox::SelEndCancel();
  cancel_pick_ = true;
}

void TStyColorComboBox::DoCloseUp() {
  TStyCustomComboBox::DoCloseUp();
  bool cancelled = cancel_pick_;
  cancel_pick_ = false;
  if (cancelled || !show_custom_color_ || ItemIndex() != Count() - 1) return;
  auto dialog = std::make_unique<TColorDialog>(this);
  dialog->SetColor(SelectedColor());
  dialog->CustomColors().Assign(custom_colors_);
  dialog->SetOptions(color_dlg_options_);
  if (dialog->Execute()) {
    SetCustomColors(dialog->CustomColors());
    SetCustomColor(dialog->Color());
    if (OnChange) OnChange(this);
  }
}

void TStyColorComboBox::WndProc(TMessage& m) {
  TStyCustomComboBox::WndProc(m);
  if (m.Msg == CM_FONTCHANGED) RebuildList();
}

}  // namespace qv
