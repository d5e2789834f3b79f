#pragma once
// The styled list box: the frame and state colours of the framed edit, an incremental search
// with a reset timer, group header items marked by a text prefix and painted over a gradient, an
// owner-draw indent, a horizontal extent sized to the widest item and wheel scrolling that leaves
// the selection alone.
#include <functional>
#include <memory>
#include <string>

#include "controls/sty_framed.h"
#include "platform/gui/forms.h"

namespace qv {

using TDrawItemEvent = std::function<void(TComponent* control, int index, TRect rect, TOwnerDrawState state)>;

class TStyCustomListBox : public TStyFramed<TCustomListBox> {
public:
  explicit TStyCustomListBox(TComponent* owner);
  ~TStyCustomListBox() override;
  std::string ClassName() const override { return "TStyCustomListBox"; }

  virtual void SetHotState(bool via_mouse, bool inside);
  virtual int GetItemIndent() const { return owner_draw_indent_; }
  virtual void UpdateItemHeight();
  virtual void GroupFontChanged() {}
  virtual int FindItemPrefix(const std::string& text) const { return FindPrefix(text); }
  virtual bool IsGroupItem(int index) const;
  virtual bool InGroup(int index) const { return FindGroup(index) != -1; }
  virtual int FindGroup(int index) const;
  virtual void UpdateHorzExtent();

  int HorzExtent() const { return HorzExtentValue(); }
  virtual void SetHorzExtent(int v);
  bool HorzScrollBar() const { return horz_scroll_bar_; }
  virtual void SetHorzScrollBar(bool v);
  int OwnerDrawIndent() const { return owner_draw_indent_; }
  virtual void SetOwnerDrawIndent(int v);
  bool IncrementalSearch() const { return incremental_search_; }
  void SetIncrementalSearch(bool v) { incremental_search_ = v; }
  bool BeepOnInvalidKey() const { return beep_on_invalid_key_; }
  void SetBeepOnInvalidKey(bool v) { beep_on_invalid_key_ = v; }
  bool ShowItemHints() const { return show_item_hints_; }
  void SetShowItemHints(bool v) { show_item_hints_ = v; }
  bool UseGradients() const { return use_gradients_; }
  virtual void SetUseGradients(bool v);
  TColor GroupColor() const { return group_color_; }
  virtual void SetGroupColor(TColor v);
  TFont& GroupFont() { return group_font_; }
  virtual void SetGroupFont(const TFont& f) { group_font_.Assign(f); }
  bool GroupFontSet() const { return group_font_changed_; }
  const std::string& GroupPrefix() const { return group_prefix_; }
  virtual void SetGroupPrefix(const std::string& v);
  bool ShowGroups() const { return show_groups_; }
  virtual void SetShowGroups(bool v);
  // The characters typed so far for the search.
  const std::string& SearchText() const { return search_text_; }
  TTimer& SearchTimer() { return *search_timer_; }
  // The hint that shows a clipped item's whole text (null until first needed).
  THintWindow* ItemHint() const { return hint_.get(); }

  TDrawItemEvent OnDrawItem;
  TNotifyEvent OnMatch;
  TNotifyEvent OnDeleteItems;

  void WndProc(TMessage& m) override;

protected:
  void RedrawFrame() override { RecalcNonClient(); }
  void DrawItem(int index, TRect rect, TOwnerDrawState state) override;
  virtual void DispatchDrawItem(int index, TRect rect, TOwnerDrawState state);
  virtual void DrawGroupItem(int index, TRect rect, TOwnerDrawState state);
  virtual void DefaultDrawItem(int index, TRect rect, TOwnerDrawState state);
  // The top of the item text inside rect, as the group headers place it.
  int TextTop(const TRect& rect);
  void ItemsChanged(int kind, int index) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void Resize() override;
  void UpdateItemHint(TPoint p);
  void HideItemHint();
  void Match(const std::string& text);

private:
  void TimerFired();
  bool horz_scroll_bar_ = false;
  int owner_draw_indent_ = 0;
  bool incremental_search_ = true;
  bool beep_on_invalid_key_ = true;
  bool show_item_hints_ = true;
  bool use_gradients_ = true;
  TColor group_color_ = clInactiveCaptionText;
  TFont group_font_;
  bool group_font_changed_ = false;
  bool group_font_internal_ = false;
  std::string group_prefix_ = "//";
  bool show_groups_ = false;
  std::string search_text_;
  std::unique_ptr<TTimer> search_timer_;
  int key_marker_ = 0;
  std::unique_ptr<THintWindow> hint_;
};

class TStyListBox : public TStyCustomListBox {
public:
  using TStyCustomListBox::TStyCustomListBox;
  std::string ClassName() const override { return "TStyListBox"; }
};

}  // namespace qv
