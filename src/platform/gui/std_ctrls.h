#pragma once
// Standard controls: label, button, check box, edit, memo, combo box, list box and group box.
#include <string>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/rtl/string_list.h"

namespace qv {

enum class TTextLayout { tlTop, tlCenter, tlBottom };

// A text painted on its parent.
class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* owner);
  std::string ClassName() const override { return "TCustomLabel"; }
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout l);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool v);
  bool Transparent() const { return !(control_style_ & csOpaque); }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool v);

protected:
  void Paint() override;
  void CMTextChanged(TMessage&) override;
  void CMFontChanged(TMessage&) override;
  virtual void AdjustBounds();
  uint32_t TextFlags() const;

private:
  bool auto_size_ = true;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  TTextLayout layout_ = TTextLayout::tlTop;
  bool word_wrap_ = false;
  bool show_accel_char_ = true;
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
  std::string ClassName() const override { return "TLabel"; }
};

class TButton : public TWinControl {
public:
  explicit TButton(TComponent* owner);
  std::string ClassName() const override { return "TButton"; }
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int r) { modal_result_ = r; }
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  // Fires OnClick and, with a modal result, ends the parent form's modal run with it.
  void Click() override;

protected:
  void CMTextChanged(TMessage&) override;

private:
  int modal_result_ = 0;
  bool default_ = false;
  bool cancel_ = false;
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
public:
  explicit TCheckBox(TComponent* owner);
  std::string ClassName() const override { return "TCheckBox"; }
  bool Checked() const { return state_ == TCheckBoxState::cbChecked; }
  void SetChecked(bool v) { SetState(v ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  // A change fires OnClick.
  void SetState(TCheckBoxState s);
  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool v);

protected:
  void CMTextChanged(TMessage&) override;

private:
  friend struct CheckBoxBridge;
  TCheckBoxState state_ = TCheckBoxState::cbUnchecked;
  bool allow_grayed_ = false;
};

class TEdit : public TWinControl {
public:
  explicit TEdit(TComponent* owner);
  std::string ClassName() const override { return "TEdit"; }
  int MaxLength() const { return max_length_; }
  void SetMaxLength(int n);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool v);
  char PasswordChar() const { return password_char_; }
  void SetPasswordChar(char c);
  void SelectAll();
  int SelStart() const;
  int SelLength() const;
  void SetSelStart(int pos);
  void SetSelLength(int len);
  TNotifyEvent OnChange;
  // Text alignment (left or right), the margins between the text and the client edges, and
  // whether the native edit draws a frame of its own (off where the control frames itself).
  TAlignment EditAlignment() const { return edit_alignment_; }
  void SetEditAlignment(TAlignment a);
  void SetTextMargins(int left, int right);
  int LeftMargin() const { return margin_left_; }
  int RightMargin() const { return margin_right_; }
  void SetNativeFrame(bool on);
  std::string SelText() const;
  // Pastes the clipboard's text over the selection, or cuts the selection.
  void PasteFromClipboard();
  void CutToClipboard();
  // Whether the native edit takes clipboard requests of its own (its context menu); on by default.
  void SetNativeClipboardMenu(bool on);

protected:
  void CMTextChanged(TMessage&) override;
  // The native edit shows the control's colour.
  void CMColorChanged(TMessage&) override;

private:
  TAlignment edit_alignment_ = TAlignment::taLeftJustify;
  int margin_left_ = 0, margin_right_ = 0;
  int max_length_ = 0;
  bool read_only_ = false;
  char password_char_ = 0;
};

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// The items are a string list; after changing them through Items() the control shows them the next
// time it is asked for its state or the loop runs.
class TComboBox : public TWinControl {
public:
  explicit TComboBox(TComponent* owner);
  std::string ClassName() const override { return "TComboBox"; }
  TStringList& Items();
  int ItemIndex();
  void SetItemIndex(int index);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s);
  int DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int n);
  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  void SyncItems();

protected:
  void CMTextChanged(TMessage&) override;

private:
  TStringList items_;
  bool items_dirty_ = false;
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  int drop_down_count_ = 8;
};

class TListBox : public TWinControl {
public:
  explicit TListBox(TComponent* owner);
  std::string ClassName() const override { return "TListBox"; }
  TStringList& Items();
  int ItemIndex();
  void SetItemIndex(int index);
  bool MultiSelect() const { return multi_select_; }
  void SetMultiSelect(bool v);
  bool Selected(int index);
  void SetSelected(int index, bool v);
  // Counting changes nothing, so the native selection stays.
  int Count() const { return items_.Count(); }
  void SyncItems();

private:
  TStringList items_;
  bool items_dirty_ = false;
  bool multi_select_ = false;
};

// A multi-line text box holding whole lines. The lines are kept here; the native box shows
// them (read-only or not, with or without word wrap, with the scroll bars asked for) and stays
// at its last line when a line is appended.
class TMemo : public TWinControl {
public:
  explicit TMemo(TComponent* owner);
  std::string ClassName() const override { return "TMemo"; }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  const std::string& Line(int index) const { return lines_.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Lines() const { return lines_; }
  void AddLine(const std::string& line);
  // Replaces every line at once; to_end puts the caret after the last line and scrolls to it,
  // otherwise the view starts at the first line.
  void SetLines(std::vector<std::string> lines, bool to_end);
  // The line at the top of the view.
  int TopLine() const;
  // Index outside the lines: nothing.
  void DeleteLine(int index);
  void ClearLines();
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool v);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool v);
  void SetScrollBars(bool horizontal, bool vertical);
  // The text the native box shows, lines joined by line feeds.
  std::string ShownText() const;
  // The lines joined with CR LF, and the lines of such a text (CR LF, CR or LF).
  std::string LinesText() const;
  void SetLinesText(const std::string& text);
  // The user changed the text; the lines hold it already.
  TNotifyEvent OnChange;

protected:
  void CMColorChanged(TMessage&) override;

private:
  void ShowLines(bool to_end);
  std::vector<std::string> lines_;
  bool read_only_ = false;
  bool word_wrap_ = true;
  bool showing_ = false;
};

// A captioned frame around a group of controls; the controls take it as their parent.
class TGroupBox : public TCustomControl {
public:
  explicit TGroupBox(TComponent* owner);
  std::string ClassName() const override { return "TGroupBox"; }

protected:
  void Paint() override;
};

// A radio button; buttons with the same parent exclude each other. Becoming checked fires OnClick.
class TRadioButton : public TWinControl {
public:
  explicit TRadioButton(TComponent* owner);
  std::string ClassName() const override { return "TRadioButton"; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  void Click() override;

protected:
  void CMTextChanged(TMessage&) override;

private:
  friend struct RadioButtonBridge;
  bool checked_ = false;
};

// A framed group of radio buttons, one per item, in one column; ItemIndex is the checked one
// (-1: none). A change of ItemIndex fires OnClick.
class TRadioGroup : public TGroupBox {
public:
  explicit TRadioGroup(TComponent* owner);
  std::string ClassName() const override { return "TRadioGroup"; }
  void SetItems(const std::vector<std::string>& items);
  int ItemCount() const { return static_cast<int>(buttons_.size()); }
  TRadioButton* Button(int index) const { return buttons_.at(static_cast<size_t>(index)); }
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int index);

protected:
  void Resize() override;

private:
  void ArrangeButtons();
  std::vector<TRadioButton*> buttons_;
  int item_index_ = -1;
};

// What moved a scroll bar: the arrows, the page areas, the thumb while dragged and at its release.
enum class TScrollCode {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scPosition,
  scTrack,
  scTop,
  scBottom,
  scEndScroll
};

enum class TScrollBarKind { sbHorizontal, sbVertical };

// A scroll bar, vertical unless its kind is set. OnScroll tells each move with the position it
// would take; the handler may change that position.
class TScrollBar : public TWinControl {
public:
  explicit TScrollBar(TComponent* owner);
  std::string ClassName() const override { return "TScrollBar"; }
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind kind);
  // The part of the range one page shows (the thumb's length).
  void SetPageSize(int page);
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetRange(int min, int max);
  int Position() const { return position_; }
  // Moves the thumb; OnScroll is not called.
  void SetPosition(int position);
  // The user moved the bar: calls OnScroll and takes the position it leaves.
  void Scroll(TScrollCode code, int position);
  std::function<void(TComponent* sender, TScrollCode code, int& position)> OnScroll;

private:
  int min_ = 0, max_ = 100, position_ = 0;
  TScrollBarKind kind_ = TScrollBarKind::sbVertical;
};

enum class TDateTimeKind { dtkDate, dtkTime };

// A date picker (with a drop-down calendar) or a time picker. DateTime holds both parts; the
// picker shows and edits the part of its kind.
class TDateTimePicker : public TWinControl {
public:
  explicit TDateTimePicker(TComponent* owner);
  std::string ClassName() const override { return "TDateTimePicker"; }
  TDateTimeKind Kind() const { return kind_; }
  void SetKind(TDateTimeKind kind);
  double DateTime() const { return value_; }
  // Shows the value; OnChange is not called.
  void SetDateTime(double value);
  // The user changed the value: calls OnChange.
  virtual void Change();
  TNotifyEvent OnChange;
  // The text the native picker shows.
  std::string ShownText() const;
  // Takes the program's current short date format and language (after a change of language).
  void ApplyFormat();

private:
  void ShowValue();
  TDateTimeKind kind_ = TDateTimeKind::dtkDate;
  double value_ = 0;
  bool showing_ = false;
};

}  // namespace qv
