#pragma once
// Drawn list controls: a list box and a combo box whose items, selection, keys and painting are
// the layer's own, so owner-drawn items, incremental searches and completion behave the same on
// every machine. Also the small services they share: the default beep, the wheel's line count,
// tabbed text and moving the focus on as Tab does.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/rtl/string_list.h"

namespace qv {

// The desktop's default beep. Tests read how many sounded.
void MessageBeep();
int BeepCount();
// Lines one wheel notch scrolls.
int WheelScrollLines();
// The wheel's notches of a WM_MOUSEWHEEL message (positive: away from the user).
inline int WheelDelta(uintptr_t wparam) { return static_cast<int16_t>((wparam >> 16) & 0xFFFF); }

// Moves the focus to the next (or previous) tab stop of the form that holds `from`, as Tab does.
void SelectNextControl(TWinControl* from, bool forward = true);

// Text with tab characters drawn cell by cell: tab stop i is at x + positions[i] pixels; past the
// last stop (or without stops) tabs go to the next multiple of 8 average character widths.
void TabbedTextOut(TCanvas& canvas, int x, int y, const std::string& text, const std::vector<int>& positions);
int TabbedTextWidth(const TCanvas& canvas, const std::string& text, const std::vector<int>& positions);

// A small window over everything that shows one line of text (item hints).
class THintWindow : public TCustomControl {
public:
  explicit THintWindow(TComponent* owner);
  std::string ClassName() const override { return "THintWindow"; }
  // The size the text needs (origin 0, 0), at most max_width wide.
  TRect CalcHintRect(int max_width, const std::string& text);
  // Shows the text at a rectangle in screen coordinates.
  void ActivateHint(const TRect& screen_rect, const std::string& text);
  void ReleaseHint();
  bool HintVisible() const { return shown_; }
  TRect ScreenRect() const { return screen_rect_; }

protected:
  void Paint() override;

private:
  bool shown_ = false;
  TRect screen_rect_;
};

// Owner-draw item states.
enum TOwnerDrawStateFlag : uint16_t {
  odSelected = 1,
  odFocused = 2,
  odDisabled = 4,
  odComboBoxEdit = 8,
  odDefault = 16
};
using TOwnerDrawState = uint16_t;

// Items with an object pointer each, as the drawn lists keep them.
struct TListItem {
  std::string Text;
  void* Object = nullptr;
};

enum class TListBoxStyle { lbStandard, lbOwnerDrawFixed };

class TCustomListBox : public TCustomControl {
public:
  explicit TCustomListBox(TComponent* owner);
  std::string ClassName() const override { return "TCustomListBox"; }

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Item(int index) const;
  void* ItemObject(int index) const;
  void SetItemObject(int index, void* object);
  // Add answers the new item's index (its sorted place when Sorted).
  virtual int AddItem(const std::string& text, void* object = nullptr);
  virtual void InsertItem(int index, const std::string& text, void* object = nullptr);
  virtual void DeleteItem(int index);
  virtual void ClearItems();
  virtual void SetItemText(int index, const std::string& text);
  // Replaces every item by the strings (and objects) of the list.
  void SetItems(const TStringList& list);
  std::vector<std::string> ItemTexts() const;
  // Inside a bracket the list does not repaint.
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  bool Updating() const { return update_count_ > 0; }

  int ItemIndex() const { return item_index_; }
  virtual void SetItemIndex(int index);
  bool MultiSelect() const { return multi_select_; }
  void SetMultiSelect(bool v);
  bool ExtendedSelect() const { return extended_select_; }
  void SetExtendedSelect(bool v) { extended_select_ = v; }
  bool Selected(int index) const;
  void SetSelected(int index, bool v);
  int SelCount() const;
  virtual void SelectAll();
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  TListBoxStyle Style() const { return style_; }
  virtual void SetStyle(TListBoxStyle s);
  int ItemHeight() const { return item_height_; }
  virtual void SetItemHeight(int h);
  int TopIndex() const { return top_index_; }
  void SetTopIndex(int index);
  // Scrolls by lines (negative: up), within the range.
  void ScrollLines(int lines);
  int MaxTopIndex() const;
  int VisibleCount() const;
  // The item at a client point; -1 when there is none (or Count when `existing` is false and the
  // point lies below the last item).
  int ItemAtPos(TPoint p, bool existing) const;
  TRect ItemRect(int index) const;
  // Prefix search from the top, ignoring letter case; -1 when nothing matches.
  int FindPrefix(const std::string& prefix) const;
  // The vertical scroll bar at the right while the items do not fit.
  bool ScrollBarShown() const { return Count() > VisibleCount(); }
  TRect ScrollBarRect() const;
  TRect ScrollThumbRect() const;
  // The scrollable width; stored for the horizontal scroll bar.
  int HorzExtentValue() const { return horz_extent_; }
  void SetHorzExtentValue(int w);

  TNotifyEvent OnChange;

protected:
  void Paint() override;
  // Draws one item; the default fills it and writes its text 2 pixels in.
  virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
  // After every item change (with its index; -1 for a clear).
  virtual void ItemsChanged(int kind, int index);
  enum { kAdded = 0, kInserted = 1, kDeleted = 2, kCleared = 3, kReplaced = 4 };
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;
  // Selects by the user: selection and click.
  void SelectByUser(int index);
  void MakeVisible(int index);
  void Repaint2();

private:
  void Clamp();
  std::vector<TListItem> items_;
  std::vector<bool> selected_;
  int item_index_ = -1;
  int top_index_ = 0;
  int item_height_ = 16;
  int update_count_ = 0;
  int horz_extent_ = 0;
  int thumb_grab_ = -1;  // where the thumb was taken while it is dragged
  bool multi_select_ = false;
  bool extended_select_ = true;
  bool sorted_ = false;
  TListBoxStyle style_ = TListBoxStyle::lbStandard;
};

enum class TComboBoxStyle2 { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox;

// The list a drawn combo box shows while it is dropped down.
class TComboDropList : public TCustomListBox {
public:
  TComboDropList(TComponent* owner, TCustomComboBox* combo);
  std::string ClassName() const override { return "TComboDropList"; }

protected:
  void DrawItem(int index, TRect rect, TOwnerDrawState state) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  TCustomComboBox* combo_;
};

class TCustomComboBox : public TCustomControl {
public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  std::string ClassName() const override { return "TCustomComboBox"; }

  TComboBoxStyle2 Style() const { return style_; }
  virtual void SetStyle(TComboBoxStyle2 s);
  // Styles with an edit part.
  bool HasEdit() const { return style_ == TComboBoxStyle2::csDropDown || style_ == TComboBoxStyle2::csSimple; }
  bool OwnerDrawn() const {
    return style_ == TComboBoxStyle2::csOwnerDrawFixed || style_ == TComboBoxStyle2::csOwnerDrawVariable;
  }

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Item(int index) const;
  void* ItemObject(int index) const;
  void SetItemObject(int index, void* object);
  int AddItem(const std::string& text, void* object = nullptr);
  void InsertItem(int index, const std::string& text, void* object = nullptr);
  void DeleteItem(int index);
  void ClearItems();
  void SetItemText(int index, const std::string& text);
  void SetItems(const TStringList& list);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v) { sorted_ = v; }

  int ItemIndex() const { return item_index_; }
  // Selects without events; the edit text becomes the item's text.
  virtual void SetItemIndex(int index);
  // The edit text (the selected item's text without an edit part).
  std::string EditText() const { return text_; }
  // Sets the edit text; the item index follows an exact match (ignoring case).
  void SetEditText(const std::string& text);
  int SelStart() const { return sel_start_; }
  int SelLength() const { return sel_length_; }
  void SetSelStart(int pos);
  void SetSelLength(int len);
  std::string SelText() const;
  void SelectAllText();
  int MaxLength() const { return max_length_; }
  void SetMaxLength(int n) { max_length_ = n; }
  bool EditReadOnly() const { return edit_read_only_; }
  void SetEditReadOnly(bool v) { edit_read_only_ = v; }
  bool AutoDropDown() const { return auto_drop_down_; }
  void SetAutoDropDown(bool v) { auto_drop_down_ = v; }
  int DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int n) { drop_down_count_ = n; }
  int ItemHeight() const { return item_height_; }
  virtual void SetItemHeight(int h);
  int DroppedWidth() const { return dropped_width_; }
  void SetDroppedWidth(int w) { dropped_width_ = w; }
  bool DroppedDown() const { return list_ != nullptr; }
  void SetDroppedDown(bool v);
  // The dropped list (null while closed).
  TCustomListBox* DropList() const { return list_; }
  // Prefix search from the top ignoring case, and the exact look-up ignoring case.
  int FindPrefix(const std::string& prefix) const;
  int FindExact(const std::string& text) const;
  // The width of the drop-down button strip.
  static int ButtonWidth();

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  std::function<void(TComponent*, int index, TRect rect, TOwnerDrawState state)> OnDrawItem;

  // Clipboard requests, as the edit part receives them.
  virtual void CutToClipboard();
  virtual void CopyToClipboard();
  virtual void PasteFromClipboard();
  void Notification(TComponent* component, TOperation operation) override;

protected:
  friend class TComboDropList;
  void Paint() override;
  // Draws an item in the list or, with odComboBoxEdit, in the closed box.
  virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
  // Notifications of the list.
  virtual void SelEndOk();
  virtual void SelEndCancel();
  virtual void DoCloseUp();
  virtual void DoDropDown();
  // The edit text changed by typing or the clipboard.
  virtual void EditChanged();
  // An item is being deleted (its object, which may be null).
  virtual void ItemDeleting(void* object) { (void)object; }
  // The default handling of keys and characters (after OnKeyDown and OnKeyPress).
  virtual void EditKeyDown(uint16_t& key, TShiftState shift);
  virtual void EditChar(char& key);
  // A change of the selection by the user: the text follows, then OnClick and OnChange.
  void SelectByUser(int index);
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;
  TRect EditRect() const;
  TRect ButtonRect() const;
  // Replaces the selected text (typing, pasting).
  void ReplaceSelection(const std::string& text);
  // Removes the character before the caret (or the selection).
  void DeleteBack();
  void DeleteForward();
  // The item the dropped list shows as selected.
  int ListIndex() const;
  void SetListIndex(int index);

private:
  void ChooseFromList(int index);
  std::vector<TListItem> items_;
  TComboBoxStyle2 style_ = TComboBoxStyle2::csDropDown;
  std::string text_;
  int item_index_ = -1;
  int sel_start_ = 0, sel_length_ = 0;
  int max_length_ = 0;
  bool edit_read_only_ = false;
  bool auto_drop_down_ = false;
  bool sorted_ = false;
  int drop_down_count_ = 8;
  int item_height_ = 16;
  int dropped_width_ = 0;
  TComboDropList* list_ = nullptr;
};

// Byte positions of whole UTF-8 characters: the start of the character before pos, and the end
// of the one at pos.
int PrevCharPos(const std::string& text, int pos);
int NextCharPos(const std::string& text, int pos);
// Case-insensitive prefix and equality tests (ASCII letters and the Latin-1 letters of UTF-8).
bool StartsTextI(const std::string& prefix, const std::string& text);
bool SameTextI(const std::string& a, const std::string& b);
// A typed character (the keyboard's Latin-1 code) as UTF-8 text.
std::string TypedCharText(unsigned char ch);

}  // namespace qv
