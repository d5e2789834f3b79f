// One window with the styled controls and the standard controls, for looking at them.
// Usage: gui_showcase [--screenshot FILE.png]
#include <cstring>
#include <iostream>
#include <string>

#include "controls/gradients.h"
#include "controls/sty_custom_button.h"
#include "controls/sty_panel.h"
#include "controls/sty_tool_button.h"
#include "controls/sty_toolbar.h"
#include "platform/gui/std_ctrls.h"
#include "gallery_inputs.h"

namespace qv {
void BuildPanesGallery(TForm* form);
namespace {

// A push button drawn with the styled text of the custom button.
class DemoButton : public TStyCustomButton {
public:
  using TStyCustomButton::TStyCustomButton;

protected:
  void ReleasedInside() override { Click(); }
  void RefreshLook() override { Invalidate(); }
  void Paint() override {
    TCanvas& c = Canvas();
    TRect r = PaintFrame(c, ClientRect(), ShowDown() ? TFrameStyleEx::fsButtonDown : TFrameStyleEx::fsButtonUp);
    c.Brush().Color = Color();
    c.FillRect(r);
    DrawStyledText(c, r, DT_CENTER | DT_WORDBREAK);
  }
};

// Images of the tool buttons, drawn here.
void FillImages(TImageList& images) {
  images.SetSize(16, 16);
  TBitmap strip(16 * 4, 16);
  TCanvas& c = strip.Canvas();
  c.Brush().Color = clFuchsia;
  c.FillRect(Rect(0, 0, 64, 16));
  c.Pen().Color = clBlack;
  c.Brush().Color = clYellow;
  c.Rectangle(Rect(2, 3, 14, 13));  // a folder
  c.Brush().Color = clLime;
  c.Ellipse(Rect(18, 2, 30, 14));  // a lamp
  c.Brush().Color = clAqua;
  c.Polygon({{34, 13}, {40, 2}, {46, 13}});  // a peak
  c.Brush().Color = clRed;
  c.Rectangle(Rect(50, 2, 62, 14));
  c.Pen().Color = clWhite;
  c.MoveTo(52, 8);
  c.LineTo(60, 8);
  images.AddMasked(strip, clFuchsia);
}

TForm* BuildShowcase() {
  auto* form = new TForm(Application);
  form->SetCaption("Quarvel2 controls");
  form->SetBounds(40, 40, 720, 470);
  form->SetPosition(TPosition::poScreenCenter);

  auto* images = new TImageList(form);
  FillImages(*images);
  auto* menu = new TPopupMenu(form);
  for (const char* caption : {"First entry", "Second entry", "Third"}) {
    auto* item = new TMenuItem(form);
    item->SetCaption(caption);
    menu->Items()->Add(item);
  }

  auto* bar = new TStyToolbar(form);
  bar->SetParent(form);
  bar->SetImages(images);
  bar->SetTextOptions(TStyToolbarTextOptions::ttoSelectiveTextOnRight);
  const char* captions[] = {"Open", "Record", "Plot", "Stop"};
  for (int i = 0; i < 4; ++i) {
    auto* b = new TStyToolButton(form);
    b->SetImageIndex(i);
    b->SetCaption(captions[i]);
    if (i == 1 || i == 2) b->SetGroupIndex(1);
    if (i == 1) b->SetDown(true);
    if (i == 3) {
      b->SetToolStyle(TStyToolStyle::tsDropDown);
      b->SetDropDownMenu(menu);
    }
    b->SetParent(bar);
    if (i == 0) {
      auto* s = new TStySpacer(form);
      s->SetGrooved(true);
      s->SetParent(bar);
    }
  }

  auto* status = new TStyStatusBar(form);
  status->SetParent(form);
  const char* panes[] = {"Ready", "COM1", "12:00:00"};
  int widths[] = {300, 120, 120};
  for (int i = 0; i < 3; ++i) {
    auto* pane = new TStyPanel(form);
    pane->SetBorderOuter(TFrameStyleEx::fsStatus);
    pane->SetAlignment(TAlignment::taLeftJustify);
    pane->SetCaption(panes[i]);
    pane->SetBounds(i * 400, 0, widths[i], 19);
    pane->SetAlign(TAlign::alLeft);
    pane->SetParent(status);
  }

  auto* body = new TStyPanel(form);
  body->SetBorderOuter(TFrameStyleEx::fsNone);
  body->SetAlign(TAlign::alClient);
  body->SetParent(form);

  // A row of panels, one per frame style.
  struct Frame {
    TFrameStyleEx style;
    const char* name;
  } frames[] = {{TFrameStyleEx::fsFlat, "Flat"},         {TFrameStyleEx::fsGroove, "Groove"},
                {TFrameStyleEx::fsBump, "Bump"},         {TFrameStyleEx::fsLowered, "Lowered"},
                {TFrameStyleEx::fsRaised, "Raised"},     {TFrameStyleEx::fsButtonUp, "ButtonUp"},
                {TFrameStyleEx::fsStatus, "Status"},     {TFrameStyleEx::fsPopup, "Popup"},
                {TFrameStyleEx::fsFlatBold, "FlatBold"}, {TFrameStyleEx::fsFlatRounded, "Rounded"}};
  int x = 8;
  for (const Frame& f : frames) {
    auto* p = new TStyPanel(form);
    p->SetBorderOuter(f.style);
    p->SetFlatColorAdjustment(0);
    p->SetCaption(f.name);
    p->SetBounds(x, 8, 64, 40);
    p->SetParent(body);
    x += 70;
  }
  auto* grid = new TStyPanel(form);
  grid->SetBorderOuter(TFrameStyleEx::fsLowered);
  grid->SetShowGrid(true);
  grid->SetColor(clWindow);
  grid->SetCaption("Grid");
  grid->SetAlignmentVertical(TAlignmentVertical::avBottom);
  grid->SetBounds(8, 56, 130, 80);
  grid->SetParent(body);

  auto* shade = new TPaintBox(form);
  shade->SetBounds(146, 56, 200, 80);
  shade->OnPaint = [shade](TComponent*) {
    TCanvas& c = shade->Canvas();
    DrawGradientArea(c, Rect(0, 0, 96, 80), TGradientDirection::gdHorizontalEnd, clNavy, clWhite, 1);
    DrawGradientArea(c, Rect(104, 0, 200, 80), TGradientDirection::gdSquareBox, clMaroon, clYellow, 4);
  };
  shade->SetParent(body);

  auto* group = new TStyGroupBox(form);
  group->SetCaption("Group box");
  group->SetBounds(356, 56, 340, 150);
  group->SetParent(body);
  auto* label = new TLabel(form);
  label->SetCaption("Logger name:");
  label->SetBounds(12, 24, 80, 17);
  label->SetParent(group);
  auto* edit = new TEdit(form);
  edit->SetText("Cellar sensor");
  edit->SetBounds(100, 20, 140, 21);
  edit->SetParent(group);
  auto* combo = new TComboBox(form);
  combo->SetBounds(100, 48, 140, 21);
  combo->SetParent(group);
  combo->Items().Add("1 minute");
  combo->Items().Add("10 minutes");
  combo->SetItemIndex(1);
  auto* check = new TCheckBox(form);
  check->SetCaption("Record online");
  check->SetChecked(true);
  check->SetBounds(12, 80, 120, 20);
  check->SetParent(group);
  auto* ok = new TButton(form);
  ok->SetCaption("OK");
  ok->SetBounds(250, 20, 75, 25);
  ok->SetParent(group);
  auto* up = new TStyControlButton(form);
  up->SetStyle(TStyControlButtonStyle::cbsUp);
  up->SetBounds(250, 52, 17, 11);
  up->SetParent(group);
  auto* down = new TStyControlButton(form);
  down->SetStyle(TStyControlButtonStyle::cbsDown);
  down->SetBounds(250, 63, 17, 11);
  down->SetParent(group);
  auto* drop = new TStyControlButton(form);
  drop->SetStyle(TStyControlButtonStyle::cbsDropDown);
  drop->SetFlat(true);
  drop->SetBounds(270, 52, 17, 21);
  drop->SetParent(group);

  auto* list = new TListBox(form);
  list->SetBounds(8, 146, 130, 90);
  list->SetParent(body);
  for (const char* s : {"Temperature", "Humidity", "Dew point", "Pressure"}) list->Items().Add(s);

  auto* line = new TBevel(form);
  line->SetShape(TBevelShape::bsTopLine);
  line->SetBounds(146, 146, 200, 2);
  line->SetParent(body);
  auto* speed = new TSpeedButton(form);
  speed->SetCaption("Speed");
  speed->SetBounds(146, 156, 60, 24);
  speed->SetParent(body);
  auto* styled = new DemoButton(form);
  styled->SetCaption("Raised text");
  styled->SetTextStyle(TTextStyle::tsRaised);
  styled->SetBounds(214, 156, 132, 24);
  styled->SetParent(body);

  auto* custom = new TStyGroupBox(form);
  custom->SetCaption("Top line");
  custom->SetGroupStyle(TStyGroupBoxStyle::gsTopLine);
  custom->SetBounds(356, 214, 340, 40);
  custom->SetParent(body);
  BuildInputsGallery(form);
  return form;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  qv::InitializeGui(argc, argv);
  std::string screenshot;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = argv[i + 1];
  qv::Application->SetTitle("Quarvel2");
  qv::TForm* form = qv::BuildShowcase();
  qv::BuildPanesGallery(form);
  qv::Application->SetMainForm(form);
  if (screenshot.empty()) {
    qv::Application->Run();
    return 0;
  }
  form->Show();
  for (int i = 0; i < 5; ++i) qv::Application->ProcessMessages();
  if (!qv::SaveWindowImage(form, screenshot)) {
    std::cerr << "gui_showcase: cannot write " << screenshot << "\n";
    return 1;
  }
  return 0;
}
