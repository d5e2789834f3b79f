#include "shell/d12_enter_string.h"

#include <algorithm>
#include <memory>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

TD12_EnterString* D12_EnterString = nullptr;

namespace {
constexpr int EditLeft = 15;
constexpr int LabelWidth = 300;

// The first n characters of UTF-8 text.
std::string FirstChars(const std::string& s, int n) {
  size_t i = 0;
  for (int count = 0; i < s.size() && count < n; ++count) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  }
  return s.substr(0, i);
}
}  // namespace

TD12_EnterString::TD12_EnterString(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d12_EnterStringCaption"));
  NoteActivityOnMouse(this);
  Text1Label = MakeDlgLabel(this, "d12_Text1", EditLeft, 12, LabelWidth);
  Edit = new TEdit(this);
  Edit->SetParent(this);
  NoteActivityOnMouse(Edit);
  Text2Label = MakeDlgLabel(this, "d12_Text2", EditLeft, 0, LabelWidth);
  OKBtn = MakeDlgButton(this, "b_&OK", mrOk);
  CancelBtn = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  CancelBtn->SetDefault(true);
  HelpBtn = MakeDlgButton(this, "b_&Help", mrNone);
  HelpBtn->SetVisible(false);
  Edit->OnChange = [this](TComponent*) {
    NoteUserActivity();
    CancelBtn->SetDefault(false);
    OKBtn->SetDefault(true);
  };
  OnShow = [this](TComponent*) { ArrangeControls(); };
}

void TD12_EnterString::SetText1(const std::string& text) { Text1Label->SetText(text); }
void TD12_EnterString::SetText2(const std::string& text) { Text2Label->SetText(text); }

void TD12_EnterString::SetEditText(const std::string& text) {
  auto keep = Edit->OnChange;
  Edit->OnChange = nullptr;
  Edit->SetText(Edit->MaxLength() > 0 ? FirstChars(text, Edit->MaxLength()) : text);
  Edit->OnChange = keep;
}

void TD12_EnterString::SetMaxLength(int n) {
  Edit->SetMaxLength(n > 0 ? n : 0);
  if (n > 0) SetEditText(Edit->Text());
}

void TD12_EnterString::ArrangeControls() {
  const int n = Edit->MaxLength();
  const int edit_width = n > 0 ? n * DlgTextWidth(Edit, "W") + 10 : LabelWidth;
  Text1Label->SetWidth(LabelWidth);
  Text2Label->SetWidth(LabelWidth);
  const int edit_top = Text1Label->Text().empty() ? Text1Label->Top() : Text1Label->Top() + Text1Label->Height() + 10;
  Edit->SetBounds(EditLeft, edit_top, edit_width, 21);
  Text2Label->SetTop(Edit->Top() + Edit->Height() + 10);
  const int buttons_top =
      Text2Label->Text().empty() ? Edit->Top() + Edit->Height() + 10 : Text2Label->Top() + Text2Label->Height() + 10;
  PlaceDlgButtons(EditLeft, buttons_top, {OKBtn, CancelBtn, HelpBtn});
  int width = (edit_width < LabelWidth ? 315 : edit_width + 15) + EditLeft;
  width = std::max(width, DlgTextWidth(this, Text()) + 40);
  SetBounds(Left(), Top(), width, buttons_top + DlgButtonHeight + 10);
}

int RunD12EnterString(const std::string& caption, const std::string& text1, const std::string& text2, int max_length,
                      std::string& text) {
  auto dialog = std::make_unique<TD12_EnterString>(Application);
  D12_EnterString = dialog.get();
  struct ClearGlobal {
    ~ClearGlobal() { D12_EnterString = nullptr; }
  } clear_global;
  if (!caption.empty()) dialog->SetText(caption);
  dialog->SetText1(text1);
  dialog->SetText2(text2);
  dialog->SetMaxLength(max_length);
  dialog->SetEditText(text);
  const int result = dialog->ShowModal();
  if (result == mrOk) text = dialog->GetText();
  return result;
}

}  // namespace qv
