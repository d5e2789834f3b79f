#pragma once
// The styled combo box: its own frame and flat drop-down button, state colours, a read-only mode,
// wheel stepping, and its own incremental search (list styles) and completion of typed text
// against the items (edit styles).
#include <functional>
#include <memory>
#include <string>

#include "controls/sty_framed.h"
#include "platform/gui/forms.h"

namespace qv {

using TStyDeleteComboItemEvent = std::function<void(TComponent* sender, void* item)>;

class TStyCustomComboBox : public TStyFramed<TCustomComboBox> {
public:
  explicit TStyCustomComboBox(TComponent* owner);
  ~TStyCustomComboBox() override;
  std::string ClassName() const override { return "TStyCustomComboBox"; }

  virtual void UpdateFrameState(bool by_mouse, bool inside);
  virtual void SignalInvalidKey();
  virtual void SelectByPrefix(const std::string& text);
  virtual bool CompleteFromItems(const std::string& text);
  virtual int FindItemByPrefix(const std::string& text) const { return FindPrefix(text); }
  virtual int IndexOfText(const std::string& text) const { return FindExact(text); }
  // Sets the text without completing it.
  virtual void SetTextNoComplete(const std::string& text);

  bool AutoComplete() const { return auto_complete_; }
  void SetAutoComplete(bool v) { auto_complete_ = v; }
  bool AllowEdit() const { return allow_edit_; }
  void SetAllowEdit(bool v) { allow_edit_ = v; }
  bool BeepOnInvalidKey() const { return beep_on_invalid_key_; }
  void SetBeepOnInvalidKey(bool v) { beep_on_invalid_key_ = v; }
  bool FlatButtons() const { return flat_buttons_; }
  virtual void SetFlatButtons(bool v);
  TColor FlatButtonColor() const { return flat_button_color_; }
  virtual void SetFlatButtonColor(TColor v);
  bool KeepSearchCase() const { return keep_search_case_; }
  void SetKeepSearchCase(bool v) { keep_search_case_ = v; }
  int DropDownWidth() const { return DroppedWidth(); }
  virtual void SetDropDownWidth(int v);
  bool ReadOnly() const { return read_only_; }
  virtual void SetReadOnly(bool v);
  void SetItemHeight(int h) override;
  bool ShowFocus() const { return show_focus_; }
  void SetShowFocus(bool v) { show_focus_ = v; }
  const std::string& SearchText() const { return search_text_; }
  TTimer& SearchTimer() { return *search_timer_; }
  TRect FlatButtonRect() const;

  TStyDeleteComboItemEvent OnDeleteItem;
  TNotifyEvent OnMatch;
  TNotifyEvent OnNotInList;
  TNotifyEvent OnSelEndCancel;
  TNotifyEvent OnSelEndOk;

  void CutToClipboard() override;
  void PasteFromClipboard() override;
  void WndProc(TMessage& m) override;

protected:
  void RedrawFrame() override { Invalidate(); }
  void FrameVisibleChanged() override;
  bool FocusInside() const override { return focus_inside_; }
  void Paint() override;
  void DrawItem(int index, TRect rect, TOwnerDrawState state) override;
  void SelEndOk() override;
  void SelEndCancel() override;
  void EditChanged() override;
  void ItemDeleting(void* object) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;
  // The steps of every style after the search and completion.
  void FinishKeyPress(char& key);
  void FireKeyPress(char key);

private:
  bool CompletionKeyDown(uint16_t& key, TShiftState shift);
  bool CompletionChar(char& key);
  bool ListSearchChar(char& key);
  void CompleteAfterClipboard();
  void TimerFired();
  bool auto_complete_ = true;
  bool allow_edit_ = true;
  bool beep_on_invalid_key_ = true;
  bool flat_buttons_ = false;
  TColor flat_button_color_ = clBtnFace;
  bool keep_search_case_ = false;
  std::string search_text_;
  int key_marker_ = 0;
  std::unique_ptr<TTimer> search_timer_;
  bool typing_ = false;
  bool closing_by_escape_ = false;
  bool enter_pressed_ = false;
  bool read_only_ = false;
  bool system_key_down_ = false;
  bool paste_noted_ = false;
  bool focus_inside_ = false;
  bool show_focus_ = true;
};

class TStyComboBox : public TStyCustomComboBox {
public:
  using TStyCustomComboBox::TStyCustomComboBox;
  std::string ClassName() const override { return "TStyComboBox"; }
};

}  // namespace qv
