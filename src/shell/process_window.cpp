#include "shell/process_window.h"

#include <algorithm>
#include <exception>

#include "base/archive_hooks.h"
#include "base/idle_task_manager.h"
#include "controls/sty_panel.h"

namespace qv {

namespace {

constexpr int kMargin = 10;
constexpr int kTextLeft = 20;
constexpr int kTextTop = 20;
constexpr int kTextWidth = 450;
constexpr int kMinContent = 100;
constexpr int kButtonWidth = 113;
constexpr int kButtonHeight = 25;
constexpr uint16_t kVkEscape = 0x1B;

}  // namespace

TProcessWindow::TProcessWindow(TComponent* owner) : TMultilingualForm2(owner) {
  SetFormBorderStyle(TBorderStyle::bsNone);
  SetPosition(TPosition::poScreenCenter);
  Font().SetSize(10);
  Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
  auto activity = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  OnMouseMove = activity;

  Panel = new TStyPanel(this);
  Panel->SetParent(this);
  Panel->SetAlign(TAlign::alClient);
  Panel->SetBevelWidth(5);
  Panel->SetColor(clYellow);
  Panel->OnMouseMove = activity;

  auto make_label = [&](TAlignment alignment) {
    auto* label = new TLabel(this);
    label->SetParent(Panel);
    label->SetAlignment(alignment);
    label->SetVisible(false);
    label->OnMouseMove = activity;
    return label;
  };
  Text1Lbl = make_label(TAlignment::taLeftJustify);
  Text2Lbl = make_label(TAlignment::taCenter);
  Text3Lbl = make_label(TAlignment::taLeftJustify);

  CancelBtn = new TButton(this);
  CancelBtn->SetParent(Panel);
  Keys().Caption(CancelBtn, "b_&Cancel");
  CancelBtn->SetBounds(0, 0, kButtonWidth, kButtonHeight);
  CancelBtn->SetCancel(true);
  CancelBtn->SetVisible(false);
  CancelBtn->OnClick = [this](TComponent*) { CancelClick(); };
  CancelBtn->OnMouseMove = activity;
  // Esc presses the Cancel button while it is shown.
  auto escape = [this](TComponent*, uint16_t& key, TShiftState) {
    if (key == kVkEscape && CancelBtn->Visible()) CancelClick();
  };
  OnKeyDown = escape;
  CancelBtn->OnKeyDown = escape;
}

TProcessWindow::~TProcessWindow() {
  NoteUserActivity();
  if (IdleTaskManager) IdleTaskManager->RemoveTask(this, nullptr);
  if (ProcessWindow == static_cast<TProcessWindowService*>(this)) ProcessWindow = nullptr;
}

void TProcessWindow::SetLine(TLabel* label, const std::string& text) {
  NoteUserActivity();
  if (text == label->Caption()) return;
  label->SetCaption(text);
  label->SetVisible(!text.empty());
  Arrange();
}

bool TProcessWindow::GetCancelVisible() const {
  NoteUserActivity();
  return CancelBtn->Visible();
}

void TProcessWindow::SetCancelVisible(bool visible) {
  NoteUserActivity();
  if (visible == CancelBtn->Visible()) return;
  CancelBtn->SetVisible(visible);
  Cancelled = false;
  Arrange();
}

void TProcessWindow::Finish(int result) {
  NoteUserActivity();
  SetModalResult(result);
}

void TProcessWindow::CancelClick() {
  NoteUserActivity();
  Cancelled = true;
  if (OnCancel) OnCancel(this);
}

void TProcessWindow::Arrange() {
  NoteUserActivity();
  ++arrange_count_;
  int top = kTextTop;
  int content_width = kMinContent;
  int content_height = kMinContent;
  for (TLabel* label : {Text1Lbl, Text2Lbl, Text3Lbl}) {
    if (!label->Visible()) continue;
    label->SetWordWrap(false);
    label->SetAutoSize(false);
    label->SetBounds(kTextLeft, top, kTextWidth, 10);
    label->SetWordWrap(true);
    label->SetAutoSize(true);
    const int bottom = label->Top() + label->Height();
    top = bottom + kMargin;
    content_width = std::max(content_width, label->Left() + label->Width() + kMargin);
    content_height = std::max(content_height, bottom + kMargin);
  }
  const int client_width = content_width + kMargin;
  if (CancelBtn->Visible()) {
    CancelBtn->SetBounds((client_width - kButtonWidth) / 2, content_height, kButtonWidth, kButtonHeight);
    content_height = std::max(content_height, CancelBtn->Top() + CancelBtn->Height());
  }
  const int client_height = content_height + kMargin;
  SetBounds(Left(), Top(), client_width + (Width() - ClientWidth()), client_height + (Height() - ClientHeight()));
}

void TProcessWindow::SetVisible(bool visible) {
  NoteUserActivity();
  if (visible == TForm::Visible()) return;
  if (!visible) {
    TMultilingualForm2::SetVisible(false);
    return;
  }
  Arrange();
  TMultilingualForm2::SetVisible(true);
  if (OnProcess && IdleTaskManager)
    IdleTaskManager->AddTask(this, nullptr, [this](TIdleTaskManager*, TTimer2*, bool& done) {
      done = true;
      RunProcess();
    });
}

void TProcessWindow::RunProcess() {
  TProcessEvent process = std::move(OnProcess);
  OnProcess = nullptr;
  if (!process) return;
  try {
    process(this);
  } catch (...) {
    // The window has no border and may have no Cancel button: the failed work must close it,
    // or nothing would. The error then goes to the application's exception display.
    Finish(mrCancel);
    throw;
  }
}

int TProcessWindow::ShowModal() {
  NoteUserActivity();
  return TForm::ShowModal();
}

void TProcessWindow::Free() {
  // Inside its own modal run (a nested start) the window goes once that run has ended.
  if (Modal())
    Release();
  else
    delete this;
}

void InstallProcessWindowFactory() {
  ProcessWindowFactory = []() -> TProcessWindowService* { return new TProcessWindow(Application); };
}

}  // namespace qv
