#include "shell/d22_about_box.h"

#include <algorithm>
#include <memory>

#include "base/archive_hooks.h"
#include "base/info_data.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

TD22_AboutBox* D22_AboutBox = nullptr;

namespace {

TLabel* NewLabel(TWinControl* parent, const std::string& text) {
  auto* label = new TLabel(parent);
  label->SetParent(parent);
  label->SetText(text);
  return label;
}

}  // namespace

TD22_AboutBox::TD22_AboutBox(TComponent* owner) : TMultilingualForm2(owner) {
  SetName("D22_AboutBox");
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  Keys().Caption(this, "d22_Caption");
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  InfoPanel = new TPanel(this);
  InfoPanel->SetParent(this);
  InfoPanel->SetBevelOuter(TPanelBevel::bvRaised);
  VersionLbl = NewLabel(InfoPanel, InfoData ? InfoData->VersionText() : "");
  VersionLbl->Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
  YearLbl = NewLabel(InfoPanel, InfoData ? InfoData->CopyrightText() : "");
  Oem1Lbl = NewLabel(InfoPanel, InfoData ? InfoData->OEM1() : "");
  Oem2Lbl = NewLabel(InfoPanel, InfoData ? InfoData->OEM2() : "");
  DevPanel = new TPanel(this);
  DevPanel->SetParent(this);
  DevPanel->SetBevelOuter(TPanelBevel::bvRaised);
  DevelopedLbl = new TLabel(DevPanel);
  DevelopedLbl->SetParent(DevPanel);
  Keys().Caption(DevelopedLbl, "d22_Developed");
  OKBtn = new TButton(this);
  OKBtn->SetParent(this);
  OKBtn->SetModalResult(mrOk);
  OKBtn->SetDefault(true);
  OKBtn->SetCancel(true);
  Keys().Caption(OKBtn, "b_&OK");
  OKBtn->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  OnShow = [this](TComponent*) { ArrangeControls(); };
  ArrangeControls();
}

TD22_AboutBox::~TD22_AboutBox() {
  if (D22_AboutBox == this) D22_AboutBox = nullptr;
}

void TD22_AboutBox::ArrangeControls() {
  TCanvas& canvas = ScreenCanvas();
  canvas.Font().Assign(Font());
  const int line = canvas.TextHeight("Ag") + 2;
  int width = std::max(canvas.TextWidth(Text()) - 150, canvas.TextWidth(VersionLbl->Text()) + 20) + 50;
  for (TLabel* l : {YearLbl, Oem1Lbl, Oem2Lbl, DevelopedLbl}) width = std::max(width, canvas.TextWidth(l->Text()) + 20);
  int top = 10;
  VersionLbl->SetBounds(10, top, width - 20, line + 2);
  top += line + 10;
  YearLbl->SetBounds(10, top, width - 20, line);
  top += line + 10;
  Oem1Lbl->SetBounds(10, top, width - 20, line);
  top += line;
  Oem2Lbl->SetBounds(10, top, width - 20, line);
  top += line;
  InfoPanel->SetBounds(5, 5, width, top + 10);
  DevelopedLbl->SetBounds(10, 5, width - 20, line);
  DevPanel->SetBounds(5, InfoPanel->Top() + InfoPanel->Height(), width, line + 10);
  const int form_width = width + 10;
  OKBtn->SetBounds(form_width / 2 - 40, DevPanel->Top() + DevPanel->Height() + 10, 75, 25);
  SetBounds(Left(), Top(), form_width, OKBtn->Top() + OKBtn->Height() + 5);
}

void ShowAboutBox() {
  auto box = std::make_unique<TD22_AboutBox>(Application);
  D22_AboutBox = box.get();
  box->ShowModal();
}

}  // namespace qv
