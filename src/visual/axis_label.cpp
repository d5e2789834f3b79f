#include "visual/axis_label.h"

#include <algorithm>
#include <cmath>

#include "base/dt_stamp.h"
#include "base/utils.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"
#include "visual/axis_scale.h"
#include "visual/plot_box.h"

namespace qv {

namespace {

int RoundInt(double x) { return static_cast<int>(std::nearbyint(x)); }

std::string DateText(const std::string& format, const TDtStamp& t) {
  return FormatDateTime(format, DtStampToDateTime(t));
}

}  // namespace

// ---- TAxisLabel ----

TAxisLabel::TAxisLabel(TComponent* owner, TAxisScale* axis) : TGraphicControl(owner), axis_(axis) {
  if (!axis) throw Exception("Error in TAxisLabel.Create: Axis has to be created prior to AxisLabel");
  SetAlign(TAlign::alNone);
  SetParentFont(false);
  RegisterLabelSize();
}

void TAxisLabel::RegisterLabelSize() {
  axis_->SetLabelSizeCallback([this](TAxisScale*, int& height, int& width) { ReportLabelSize(height, width); });
}

void TAxisLabel::FontChanged() { RegisterLabelSize(); }

int TAxisLabel::Extent() const { return axis_->IsVertical() ? Height() : Width(); }

void TAxisLabel::CMFontChanged(TMessage& m) {
  TGraphicControl::CMFontChanged(m);
  FontChanged();
}

void TAxisLabel::ReportLabelSize(int& height, int& width) {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  width = c.TextWidth("8");
  height = std::abs(Font().Height());
}

int TAxisLabel::TextHeight() {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  return c.TextHeight("8");
}

int TAxisLabel::LabelWidth() {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  return c.TextWidth(" 888.88");
}

int TAxisLabel::RequiredSize() {
  if (!axis_) return 0;
  if (axis_->IsVertical()) return LabelWidth();
  return static_cast<int>(std::abs(Font().Height()) * 1.5);
}

std::string TAxisLabel::ValueText(double v, int width, int decimals) { return Format("%*.*f", width, decimals, v); }

void TAxisLabel::PutText(int p, const std::string& text, bool always) {
  TCanvas& c = Canvas();
  const int tw = c.TextWidth(text), th = c.TextHeight(text);
  const uint8_t o = axis_->Orientation();
  if (o < 2) {
    const int y = p - th / 2 + PixelOffset;
    const int x = o == 0 ? Width() - tw - 3 : 2;
    if (always || (0 <= y && y < Height())) c.TextOut(x, y, text);
  } else {
    const int x = p + PixelOffset - tw / 2;
    const int y = o == 3 ? 2 : Height() - th - 2;
    if (always || (PixelOffset <= x && x < Width())) c.TextOut(x, y, text);
  }
}

void TAxisLabel::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  c.Brush().Style = TBrushStyle::bsClear;
  const double start = axis_->StartValue(), end = axis_->EndValue();
  const double step = axis_->MajorStep();
  const int d = FloatDecimals(step);
  const int w = std::max(FloatTextLength(end), FloatTextLength(start)) + d;
  const int max_steps = Extent() + 2;
  // The first value of each walk is always written.
  bool first = true;
  auto put = [&](double v) {
    PutText(axis_->ValueToPixel(v), ValueText(v, w, d), first);
    first = false;
    return true;
  };
  if (start == end) {
    put(start);
  } else if ((start < 0 && 0 < end) || (end < 0 && 0 < start)) {
    WalkAxisValues(0, end, step, max_steps, put);
    first = true;
    WalkAxisValues(0, start, -step, max_steps, put);
  } else {
    WalkAxisValues(start, end, step, max_steps, put);
  }
  if (OnPaint) OnPaint(this);
}

// ---- TDt1AxisLabel ----

TDt1AxisLabel::TDt1AxisLabel(TComponent* owner, TDtAxisScale* axis) : TAxisLabel(owner, axis) {}

TDtAxisScale* TDt1AxisLabel::DtAxis() const { return static_cast<TDtAxisScale*>(axis_); }

int TDt1AxisLabel::LabelWidth() {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  return (DtLabelChars[std::min<int>(DtAxis()->ZoomLevel(), 15)] + 1) * c.TextWidth("8");
}

std::string TDt1AxisLabel::FineFormat(int zoom_level) {
  if (zoom_level <= 1) return "mmm";
  if (zoom_level <= 3) return "d/";
  if (zoom_level <= 5) return "h";
  if (zoom_level <= 12) return "hh:nn";
  return "hh:nn:ss";
}

void TDt1AxisLabel::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  c.Brush().Style = TBrushStyle::bsClear;
  TDtAxisScale* axis = DtAxis();
  int mm, md, ms;
  axis->MajorDtStep(mm, md, ms);
  TDtStamp t = axis->FirstTick();
  if (ms == 0 && md == 0)
    IncDtStamp(t, 0, 15, 0);
  else if (ms == 0)
    IncDtStamp(t, 0, 0, 43200);
  const std::string format = FineFormat(axis->ZoomLevel());
  const TDtStamp stop = axis->StopDt();
  const int max_steps = Extent() + 2;
  for (int n = 0; n <= max_steps; ++n) {
    PutText(axis->DtToPixel(t), DateText(format, t), n == 0);
    const TDtStamp before = t;
    IncDtStamp(t, static_cast<int16_t>(mm), static_cast<int16_t>(md), ms);
    if (DtStampEqual(before, t) || !DtStampLater(stop, t) || axis->DtToPixel(t) > Extent()) break;
  }
  if (OnPaint) OnPaint(this);
}

// ---- TDt2AxisLabel ----

TDt2AxisLabel::TDt2AxisLabel(TComponent* owner, TDtAxisScale* axis) : TDt1AxisLabel(owner, axis) {}

void TDt2AxisLabel::RegisterLabelSize() {}

void TDt2AxisLabel::Paint() {
  TDtAxisScale* axis = DtAxis();
  if (axis->IsVertical() || axis->StartDt().Date == 0) return;
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  c.Brush().Style = TBrushStyle::bsClear;
  const TDtStamp f = axis->FirstTick(), s = axis->StopDt();
  const int level = axis->ZoomLevel();
  const int y = axis->Orientation() == 3 ? 2 : Height() - c.TextHeight("8") - 2;
  auto put = [&](int x, const std::string& text) {
    const std::string cut = text.substr(0, 21);
    c.TextOut(x - c.TextWidth(cut) / 2, y, cut);
  };
  const std::string day_format = "ddd\",\"ddddd";
  if (level >= 8) {
    if (f.Date == s.Date) {
      put(Width() / 2, DateText(day_format, f));
    } else {
      const TDtStamp midnight{s.Date, 0};
      const int xf = axis->DtToPixel(f) + PixelOffset, xm = axis->DtToPixel(midnight) + PixelOffset,
                xs = axis->DtToPixel(s) + PixelOffset;
      put((xf + xm) / 2, DateText(day_format, f));
      put((xm + xs) / 2, DateText(day_format, s));
    }
    if (OnPaint) OnPaint(this);
    return;
  }
  uint16_t d, m, yr;
  DayNoToDate(f.Date, d, m, yr);
  int gap;
  std::string format;
  TDtStamp t;
  int step_months = 0, step_days = 0;
  if (level <= 1) {
    gap = static_cast<int>(c.TextWidth("9999") * 1.3);
    format = "yyyy";
    const int month = m >= 6 && m <= 11 ? m + 1 : 6;
    t = TDtStamp{DateToDayNo(15, month, yr), 0};
    step_months = 12;
  } else if (level <= 3) {
    gap = static_cast<int>(c.TextWidth("MMM.9999") * 1.3);
    format = "mmm/yyyy";
    t = TDtStamp{DateToDayNo(15, m, yr), 0};
    step_months = 1;
  } else {
    gap = static_cast<int>(c.TextWidth("Fr,22.12.9999") * 1.2);
    format = day_format;
    t = f;
    IncDtStamp(t, 0, 0, 43200);
    step_days = 1;
  }
  bool first = true;
  int last_x = 0;
  for (int n = 0; n <= Extent() + 2 && DtStampLater(s, t); ++n) {
    const int x = axis->DtToPixel(t) + PixelOffset;
    if (PixelOffset <= x && x < Width() && (first || x >= last_x + gap)) {
      put(x, DateText(format, t));
      last_x = x;
      first = false;
    }
    TDtStamp next = t;
    if (level <= 1 && n == 0) {
      // After the first text every year is named at mid-June.
      next = TDtStamp{DateToDayNo(15, 6, static_cast<int32_t>(yr) + 1), 0};
    } else {
      IncDtStamp(next, static_cast<int16_t>(step_months), static_cast<int16_t>(step_days), 0);
    }
    if (DtStampEqual(next, t) || next.Date == NoDayNo) break;
    t = next;
  }
  if (OnPaint) OnPaint(this);
}

// ---- TYAxCaption ----

TYAxCaption::TYAxCaption(TComponent* owner) : TGraphicControl(owner) {
  SetAlign(TAlign::alNone);
  SetHeight(5);
}

void TYAxCaption::SetCaption(int index, const std::string& text) {
  if ((index == 0 || index == 1) && captions_[index] != text) {
    captions_[index] = text;
    AdjustHeight();
  }
  Invalidate();
}

void TYAxCaption::AdjustHeight() {
  if (!AutoHeight) return;
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  int h = 5;
  for (const std::string& caption : captions_)
    if (!caption.empty()) h = std::max(h, c.TextHeight(caption));
  SetHeight(h);
}

void TYAxCaption::CMFontChanged(TMessage& m) {
  TGraphicControl::CMFontChanged(m);
  AdjustHeight();
}

void TYAxCaption::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  c.TextOut(0, 0, captions_[0]);
  const int w1 = captions_[1].empty() ? 0 : c.TextWidth(captions_[1]);
  c.TextOut(Width() - w1, 0, captions_[1]);
  const int h = Height();
  int a = captions_[0].empty() ? 0 : c.TextWidth(captions_[0]);
  int right = Width() - w1;
  const int dot = RoundInt(2.0 * h / 5), top = RoundInt(3.0 * h / 5), gap = RoundInt(h / 5.0);
  if (ChanList) {
    for (int i = 0; i < ChanList->Count(); ++i) {
      auto* curve = dynamic_cast<TPlotGlbChan*>(ChanList->GetGlobChan_I(i));
      if (!curve || !curve->Visible) continue;
      c.Pen().Color = clBlack;
      c.Pen().Style = curve->Style;
      c.Brush().Color = curve->Color;
      c.Brush().Style = TBrushStyle::bsSolid;
      if (curve->gchAssignedYAxis == 1) {
        right -= dot;
        c.Ellipse(TRect{right - dot, top, right, h});
        right -= gap;
      } else {
        a += dot;
        c.Ellipse(TRect{a, top, a + dot, h});
        a += gap;
      }
    }
  }
  if (OnPaint) OnPaint(this);
}

}  // namespace qv
