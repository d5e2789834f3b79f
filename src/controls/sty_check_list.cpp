#include "controls/sty_check_list.h"

#include <algorithm>

#include "controls/gradients.h"
#include "controls/sty_glyph_maps.h"

namespace qv {

TStyCheckList::TStyCheckList(TComponent* owner) : TStyCustomTabbedListBox(owner) {
  custom_glyphs_.OnChange = [this](TBitmap*) {
    SetUseCustomGlyphs(!custom_glyphs_.Empty());
    Invalidate();
  };
  SetStyle(TListBoxStyle::lbOwnerDrawFixed);
  UpdateItemHeight();
  SetShowGroups(true);
}

TCheckBoxState TStyCheckList::ItemState(int index) const {
  if (index < 0 || index >= static_cast<int>(packets_.size()))
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return packets_[static_cast<size_t>(index)].State;
}

void TStyCheckList::SetItemState(int index, TCheckBoxState state) {
  if (ItemState(index) == state) return;
  packets_[static_cast<size_t>(index)].State = state;
  Invalidate();
}

bool TStyCheckList::ItemEnabled(int index) const {
  if (index < 0 || index >= static_cast<int>(packets_.size()))
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return packets_[static_cast<size_t>(index)].Enabled;
}

void TStyCheckList::SetItemEnabled(int index, bool v) {
  if (ItemEnabled(index) == v) return;
  packets_[static_cast<size_t>(index)].Enabled = v;
  Invalidate();
}

void TStyCheckList::SetUseCustomGlyphs(bool v) {
  if (v == use_custom_glyphs_) return;
  use_custom_glyphs_ = v;
  if (v && !custom_glyphs_.Empty()) {
    glyph_width_ = custom_glyphs_.Width() / 6;
    glyph_height_ = custom_glyphs_.Height();
  } else {
    glyph_width_ = glyph_height_ = kGlyphSize;
  }
  UpdateItemHeight();
  Invalidate();
}

QV_STY_REPAINT_SETTER(TStyCheckList, HighlightColor, TColor, highlight_color_)
QV_STY_REPAINT_SETTER(TStyCheckList, TransparentColor, TColor, transparent_color_)

void TStyCheckList::UpdateItemHeight() { SetItemHeight(std::max(glyph_height_ + 4, FontLineHeight(Font()))); }

TColor TStyCheckList::MakeUniqueColor(TColor color) const {
  TColor rgb = ColorToRGB(color);
  if (rgb == ColorToRGB(transparent_color_) || rgb == ColorToRGB(clGray)) return NudgeRed(rgb);
  return color;
}

void TStyCheckList::ItemsChanged(int kind, int index) {
  switch (kind) {
    case kAdded:
    case kInserted: packets_.insert(packets_.begin() + index, TPacket{}); break;
    case kDeleted: packets_.erase(packets_.begin() + index); break;
    case kCleared: packets_.clear(); break;
    default: break;
  }
  TStyCustomTabbedListBox::ItemsChanged(kind, index);
}

void TStyCheckList::DrawStateGlyph(int index, TBitmap& bitmap) {
  TPacket p = packets_[static_cast<size_t>(index)];
  if (use_custom_glyphs_) {
    int i = static_cast<int>(p.State) + (p.Enabled ? 0 : 3);
    bitmap.SetSize(glyph_width_, glyph_height_);
    bitmap.Canvas().CopyRect(Rect(0, 0, glyph_width_, glyph_height_), custom_glyphs_.Canvas(),
                             Rect(i * glyph_width_, 0, (i + 1) * glyph_width_, glyph_height_));
    return;
  }
  TBuiltInGlyph g = p.State == TCheckBoxState::cbChecked  ? TBuiltInGlyph::CheckChecked
                    : p.State == TCheckBoxState::cbGrayed ? TBuiltInGlyph::CheckGrayed
                                                          : TBuiltInGlyph::CheckUnchecked;
  TColor inside = p.Enabled ? clWindow : DisabledColor();
  TColor mark = p.Enabled ? MakeUniqueColor(highlight_color_) : clBtnShadow;
  TColor frame = FrameColor();
  DrawBuiltInGlyph(bitmap, g, [&](int, int, TColor ph) {
    if (ph == clWhite || ph == clRed || ph == clFuchsia) return inside;
    if (ph == clGray) return frame;
    if (ph == clBlue) return mark;
    return ph;
  });
}

void TStyCheckList::DispatchDrawItem(int index, TRect rect, TOwnerDrawState state) {
  TCanvas& c = Canvas();
  TBitmap glyph;
  DrawStateGlyph(index, glyph);
  c.FillRect(rect);
  TBitmap shown(glyph.Width(), glyph.Height());
  shown.Assign(glyph);
  ReplaceBitmapColor(shown, transparent_color_, Color());
  int x = UseRightToLeftAlignment() ? rect.Right + 4 : rect.Left - glyph_width_ - 4;
  c.Draw(x, rect.Top + (ItemHeight() - glyph_height_) / 2, shown);
  c.Font().Assign(Font());
  if (!packets_[static_cast<size_t>(index)].Enabled || !Enabled())
    c.Font().SetColor(ColorToRGB(Color()) == ColorToRGB(clBtnShadow) ? clBtnFace : clBtnShadow);
  c.SaveState();
  c.IntersectClipRect(rect);
  if (state & odSelected) {
    c.Brush().Color = clHighlight;
    c.Font().SetColor(clHighlightText);
  }
  if (OnDrawItem)
    OnDrawItem(this, index, rect, state);
  else
    DefaultDrawItem(index, rect, state);
  c.RestoreState();
}

void TStyCheckList::DefaultDrawItem(int index, TRect rect, TOwnerDrawState) {
  TCanvas& c = Canvas();
  int y = TextTop(rect);
  c.Brush().Style = TBrushStyle::bsClear;
  if (UseRightToLeftAlignment())
    c.TextOut(rect.Right - 2 - c.TextWidth(Item(index)), y, Item(index));
  else
    TabbedTextOut(c, rect.Left + 2, y, Item(index), PixelTabStops());
  c.Brush().Style = TBrushStyle::bsSolid;
}

bool TStyCheckList::CanChangeState(int index, TCheckBoxState new_state) {
  bool allow = true;
  if (OnChanging) OnChanging(this, index, new_state, allow);
  return allow;
}

void TStyCheckList::ToggleState() {
  int i = ItemIndex();
  if (i < 0 || !ItemEnabled(i) || IsGroupItem(i)) return;
  TCheckBoxState now = ItemState(i), next;
  if (now == TCheckBoxState::cbUnchecked)
    next = allow_grayed_ ? TCheckBoxState::cbGrayed : TCheckBoxState::cbChecked;
  else if (now == TCheckBoxState::cbChecked)
    next = TCheckBoxState::cbUnchecked;
  else
    next = TCheckBoxState::cbChecked;
  bool allowed = CanChangeState(i, next);
  toggle_pending_ = false;
  if (!allowed) return;
  SetItemState(i, next);
  if (OnChange) OnChange(this, i, next);
}

void TStyCheckList::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbRight) {
    int i = ItemAtPos({x, y}, true);
    if (i >= 0 && i != ItemIndex()) {
      SetItemIndex(i);
      Click();
    }
  }
  // The press selects first; a toggle starts on the item it selected.
  TStyCustomTabbedListBox::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft) return;
  int i = ItemAtPos({x, y}, true);
  if (i < 0) return;
  TRect r = ItemRect(i);
  TRect glyph_area = UseRightToLeftAlignment() ? TRect{r.Right - glyph_width_ - 4, r.Top, r.Right, r.Bottom}
                                               : TRect{r.Left, r.Top, r.Left + glyph_width_ + 4, r.Bottom};
  if (toggle_on_item_click_ || glyph_area.Contains({x, y})) {
    toggle_pending_ = true;
    pressed_item_ = ItemIndex();
  }
}

void TStyCheckList::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && toggle_pending_ && ItemIndex() == pressed_item_ &&
      ClientRect().Contains({x, y}))
    ToggleState();
  toggle_pending_ = false;
  TStyCustomTabbedListBox::MouseUp(button, shift, x, y);
}

void TStyCheckList::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE) toggle_pending_ = true;
  pressed_item_ = ItemIndex();
  TStyCustomTabbedListBox::KeyDown(key, shift);
}

void TStyCheckList::KeyUp(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE && toggle_pending_) ToggleState();
  TStyCustomTabbedListBox::KeyUp(key, shift);
}

void TStyCheckList::KeyPress(char& key) {
  // Space toggles; it never starts a search.
  if (key == ' ') {
    key = 0;
    return;
  }
  TStyCustomTabbedListBox::KeyPress(key);
}

void TStyCheckList::WndProc(TMessage& m) {
  TStyCustomTabbedListBox::WndProc(m);
  if (m.Msg == CM_ENABLEDCHANGED)
    for (TPacket& p : packets_) p.Enabled = Enabled();
  if (m.Msg == CM_FONTCHANGED) UpdateItemHeight();
}

std::string TStyCheckList::SaveToText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    std::string text = Item(i);
    // A line break inside a text would split the item when it is read back.
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    const TPacket& p = packets_[static_cast<size_t>(i)];
    out += '&';
    out += p.Enabled ? '1' : '0';
    out += ' ';
    out += static_cast<char>('0' + static_cast<int>(p.State));
    out += ' ';
    out += text;
    out += " \r\n";
  }
  return out;
}

void TStyCheckList::LoadFromText(const std::string& text) {
  BeginUpdate();
  try {
    ClearItems();
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      start = end == std::string::npos ? text.size() : end + 1;
      if (end != std::string::npos && text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
      bool entry = line.size() >= 5 && line[0] == '&' && (line[1] == '0' || line[1] == '1') && line[2] == ' ' &&
                   line[3] >= '0' && line[3] <= '2' && line[4] == ' ';
      if (!entry) {
        AddItem(line);
        continue;
      }
      std::string item = line.substr(5);
      // The blank the writer puts before the line end is not part of the text.
      if (!item.empty() && item.back() == ' ') item.pop_back();
      int i = AddItem(item);
      packets_[static_cast<size_t>(i)] = TPacket{static_cast<TCheckBoxState>(line[3] - '0'), line[1] == '1'};
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStyCheckList::SaveToStream(TStream& stream) const {
  std::string text = SaveToText();
  stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void TStyCheckList::LoadFromStream(TStream& stream) {
  int64_t n = stream.Size() - stream.Position();
  std::string text(static_cast<size_t>(std::max<int64_t>(0, n)), '\0');
  if (n > 0) stream.ReadBuffer(text.data(), static_cast<int32_t>(n));
  LoadFromText(text);
}

}  // namespace qv
