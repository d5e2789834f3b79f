#include "archive/forms/d52_dossaly_about_box.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/gui/ext_ctrls.h"
#include "shell/dialog_parts.h"

namespace qv {

TD52_DossalyAboutBox* D52_DossalyAboutBox = nullptr;

std::string ArchiveVersionText() { return QV_VERSION_MAJOR_MINOR; }

namespace {

// The program's icon: a sheet with a curve, as the program draws it everywhere.
void PaintIcon(TPaintBox* box) {
  TCanvas& c = box->Canvas();
  const int w = box->Width(), h = box->Height();
  c.Pen().Color = clNavy;
  c.Pen().Width = 2;
  c.Brush().Color = clWhite;
  c.Rectangle(4, 2, w - 4, h - 2);
  c.Pen().Color = clTeal;
  c.Pen().Width = 3;
  c.Polyline({{10, h - 14}, {w / 3, h / 2}, {w / 2, h - 20}, {w - 10, 12}});
}

TLabel* PanelLabel(TPanel* panel, const std::string& text, int top) {
  auto* l = new TLabel(panel);
  l->SetParent(panel);
  l->SetText(text);
  l->SetBounds(72, top, 250, 18);
  NoteActivityOnMouse(l);
  return l;
}

}  // namespace

TD52_DossalyAboutBox::TD52_DossalyAboutBox(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poOwnerFormCenter);
  SetText(LoadResString("D52_DossalyInfo"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetBevelOuter(TPanelBevel::bvLowered);
  Panel1->SetBounds(8, 8, 336, 110);
  NoteActivityOnMouse(Panel1);
  ProgramIcon = new TPaintBox(Panel1);
  ProgramIcon->SetParent(Panel1);
  ProgramIcon->SetBounds(12, 14, 48, 48);
  ProgramIcon->OnPaint = [this](TComponent*) { PaintIcon(ProgramIcon); };
  ProductName = PanelLabel(Panel1, LoadResString("D52_ProductName"), 16);
  ProductName->Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
  Version = PanelLabel(Panel1, LoadResString("D52_Version") + " " + ArchiveVersionText(), 40);
  Notice = PanelLabel(Panel1, LoadResString("D52_Notice"), 72);
  OKButton = MakeDlgButton(this, "b_&OK", mrOk);
  OKButton->SetDefault(true);
  OKButton->SetBounds((352 - DlgButtonWidth) / 2, 128, DlgButtonWidth, DlgButtonHeight);
  NoteActivityOnMouse(OKButton);
  SetBounds(Left(), Top(), 352 + 4, 128 + DlgButtonHeight + 14);
  SetActiveControl(OKButton);
}

void ShowD52DossalyAboutBox() {
  TD52_DossalyAboutBox form(Application);
  D52_DossalyAboutBox = &form;
  form.ShowModal();
  D52_DossalyAboutBox = nullptr;
}

}  // namespace qv
