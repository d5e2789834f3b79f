// The showcase's part for labels, status panes and the clock, the splitter, the size panel, the
// background and the line control: a strip added at the bottom of the window.
#include "controls/sty_background.h"
#include "controls/sty_label.h"
#include "controls/sty_line.h"
#include "controls/sty_size_panel.h"
#include "controls/sty_splitter.h"
#include "controls/sty_status_pane.h"
#include "controls/sty_toolbar.h"
#include "platform/gui/forms.h"

namespace qv {

namespace {
TStyLabel* AddLabel(TWinControl* parent, const char* caption, int x, int y, int w, int h) {
  auto* l = new TStyLabel(parent);
  l->SetAutoSize(false);
  l->SetCaption(caption);
  l->SetBounds(x, y, w, h);
  l->SetParent(parent);
  return l;
}
}  // namespace

void BuildPanesGallery(TForm* form) {
  const int height = 270;
  form->SetHeight(form->Height() + height);
  auto* strip = new TStyPanel(form);
  strip->SetBorderOuter(TFrameStyleEx::fsGroove);
  strip->SetBorderSides(SideBit(TSide::sdTop));
  strip->SetBounds(0, 0, form->ClientWidth(), height);
  strip->SetAlign(TAlign::alBottom);
  strip->SetParent(form);

  // Labels in their styles.
  auto* raised = AddLabel(strip, "Raised", 8, 10, 80, 24);
  raised->SetTextStyle(TTextStyle::tsRaised);
  raised->Font().SetSize(12);
  auto* recessed = AddLabel(strip, "Recessed", 92, 10, 90, 24);
  recessed->SetTextStyle(TTextStyle::tsRecessed);
  recessed->Font().SetSize(12);
  auto* shadow = AddLabel(strip, "Shadow", 186, 10, 80, 24);
  shadow->SetTextStyle(TTextStyle::tsShadow);
  shadow->Font().SetSize(12);
  auto* framed = AddLabel(strip, "Framed", 8, 40, 84, 24);
  framed->SetBorderOuter(TFrameStyleEx::fsGroove);
  framed->SetBorderWidth(1);
  framed->SetAlignment(TAlignment::taCenter);
  framed->SetLayout(TTextLayout::tlCenter);
  auto* status_like = AddLabel(strip, "Status frame", 98, 40, 84, 24);
  status_like->SetBorderOuter(TFrameStyleEx::fsStatus);
  status_like->SetLayout(TTextLayout::tlCenter);
  auto* disabled = AddLabel(strip, "Disabled", 186, 40, 80, 24);
  disabled->SetLayout(TTextLayout::tlCenter);
  disabled->SetEnabled(false);
  auto* turned = AddLabel(strip, "Turned 30°", 8, 70, 120, 70);
  turned->SetAngle(30);
  turned->SetBorderOuter(TFrameStyleEx::fsFlat);
  auto* arc = AddLabel(strip, "Along an arc", 134, 70, 132, 90);
  arc->SetRotation(TRotation::roCurve);
  arc->SetAngle(70);
  arc->SetCenterPoint(TCenterPoint::cpLowerCenter);
  arc->SetBorderOuter(TFrameStyleEx::fsFlat);
  auto* blinking = AddLabel(strip, "Blinking", 8, 146, 120, 20);
  blinking->SetBlinking(true);
  blinking->Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));

  // A splitter with a hot spot; its right pane holds a stacked splitter.
  auto* split = new TStySplitter(form);
  split->SetBounds(280, 10, 230, 110);
  split->SetBorderOuter(TFrameStyleEx::fsLowered);
  split->SetParent(strip);
  split->SetHotSpotVisible(true);
  split->SetPosition(90);
  AddLabel(split->UpperLeft().Pane(), "Upper left", 6, 6, 76, 18);
  auto* inner = new TStySplitter(form);
  inner->SetOrientation(TOrientation::orVertical);
  inner->SetSplitterStyle(TSplitterStyle::ssBump);
  inner->SetParent(split->LowerRight().Pane());
  inner->SetAlign(TAlign::alClient);
  inner->SetPosition(45);
  inner->LowerRight().SetColor(clWindow);
  AddLabel(inner->UpperLeft().Pane(), "Top", 6, 6, 60, 18);
  AddLabel(inner->LowerRight().Pane(), "Bottom", 6, 6, 60, 18)->SetColor(clWindow);

  // A size panel with its bar and hot spot, in a framed box.
  auto* box = new TStyPanel(form);
  box->SetBorderOuter(TFrameStyleEx::fsLowered);
  box->SetColor(clWindow);
  box->SetCaption("Rest of the box ");
  box->SetAlignment(TAlignment::taRightJustify);
  box->SetBounds(280, 128, 230, 98);
  box->SetParent(strip);
  auto* sizer = new TStySizePanel(form);
  sizer->SetParent(box);
  sizer->SetWidth(100);
  sizer->SetSizeBarStyle(TSplitterStyle::ssGroove);
  sizer->SetHotSpotVisible(true);
  sizer->SetCaption("Size panel");

  // Backgrounds: gradients under frames.
  auto* back = new TStyBackground(form);
  back->SetBounds(520, 10, 190, 60);
  back->SetFrameStyle(TFrameStyleEx::fsRaised);
  back->SetGradientDirection(TGradientDirection::gdVerticalEnd);
  back->SetParent(strip);
  auto* boxed = new TStyBackground(form);
  boxed->SetBounds(520, 76, 90, 60);
  boxed->SetFrameStyle(TFrameStyleEx::fsFlat);
  boxed->SetGradientDirection(TGradientDirection::gdSquareBox);
  boxed->SetGradientColorStart(clNavy);
  boxed->SetGradientColorStop(clAqua);
  boxed->SetGradientSmoothFactor(4);
  boxed->SetParent(strip);

  // Lines: the curve-style samples and one with arrowheads.
  const TPenStyle styles[] = {TPenStyle::psSolid, TPenStyle::psDashDot, TPenStyle::psDashDotDot};
  for (int i = 0; i < 3; ++i) {
    auto* line = new TStyLine(form);
    line->SetBounds(616, 76 + 20 * i, 100, 20);
    line->SetLineStyle(styles[i]);
    line->SetParent(strip);
  }
  auto* arrow = new TStyLine(form);
  arrow->SetBounds(520, 142, 190, 60);
  arrow->SetLineSlope(TStyLineSlope::lsUp);
  arrow->SetShowArrows(TStyShowArrows::saBoth);
  arrow->SetLineWidth(2);
  arrow->SetLineColor(clMaroon);
  arrow->SetParent(strip);

  // A status bar with a message pane, a blinking pane and the clock at the size grip.
  auto* bar = new TStyStatusBar(form);
  bar->SetParent(strip);
  auto* message = new TStyStatusPane(form);
  message->SetFrameStyle(TFrameStyleEx::fsStatus);
  message->SetCaption("Ready");
  message->SetBounds(2, 2, 249, 17);
  message->SetParent(bar);
  auto* alarm = new TStyStatusPane(form);
  alarm->SetCaption("Alarm");
  alarm->SetBlinking(true);
  alarm->SetAlignment(TAlignment::taCenter);
  alarm->SetBounds(256, 2, 80, 17);
  alarm->SetParent(bar);
  auto* clock = new TStyClockStatus(form);
  clock->SetFrameStyle(TFrameStyleEx::fsStatus);
  clock->SetWidth(160);
  clock->SetAlign(TAlign::alRight);
  clock->SetParent(bar);
}

}  // namespace qv
