#include "archive/forms/chart.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/date_time.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format_settings.h"

namespace qv {

namespace {

constexpr int kMaxTicks = 40;

double MinOf(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double MaxOf(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// A step of 1, 2 or 5 times a power of ten that gives about `count` steps over range.
double NiceStep(double range, int count) {
  if (!(range > 0) || !std::isfinite(range)) return 1;
  const double raw = range / count;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= raw) return m * p;
  return 10 * p;
}

// Seconds between labels of a time axis, a day as 86400.
double NiceTimeStep(double span_days, int count) {
  static constexpr double kSteps[] = {1,     2,     5,      10,     15,      30,      60,      120,
                                      300,   600,   900,    1800,   3600,    7200,    10800,   21600,
                                      43200, 86400, 172800, 604800, 1209600, 2592000, 7776000, 31536000};
  const double secs = span_days * 86400.0;
  for (double s : kSteps)
    if (secs / s <= count) return s / 86400.0;
  return NiceStep(span_days, count);
}

struct TAxisRange {
  double Min = 0, Max = 1, Step = 1;
  bool Used = false;
};

TAxisRange RangeOf(const TChartSpec& chart, const TChartAxis& axis, int which, bool bottom) {
  TAxisRange r;
  double lo = 1.7e308, hi = -1.7e308;
  for (const TLineSeries& s : chart.Series) {
    if (!s.Active || s.Count() == 0) continue;
    if (!bottom && s.VertAxis != which) continue;
    r.Used = true;
    lo = std::min(lo, bottom ? s.MinX() : s.MinY());
    hi = std::max(hi, bottom ? s.MaxX() : s.MaxY());
  }
  if (!axis.Automatic) {
    r.Min = axis.Minimum;
    r.Max = axis.Maximum;
  } else if (r.Used) {
    r.Min = lo;
    r.Max = hi;
  }
  if (!(r.Max > r.Min)) {
    r.Min -= bottom ? 0.5 : 1;
    r.Max = r.Min + (bottom ? 1 : 2);
  }
  return r;
}

std::vector<std::string> DateLines(const std::string& format, double t) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t cr = format.find('\r', start);
    lines.push_back(FormatDateTime(format.substr(start, cr == std::string::npos ? std::string::npos : cr - start), t));
    if (cr == std::string::npos) break;
    start = cr + 1;
  }
  return lines;
}

void DrawPointer(TCanvas& c, int style, int x, int y, int r) {
  switch (style) {
    case 1: c.Ellipse(TRect{x - r, y - r, x + r + 1, y + r + 1}); break;
    case 2: c.Polygon({{x, y - r}, {x + r, y + r}, {x - r, y + r}}); break;
    case 3: c.Polygon({{x - r, y - r}, {x + r, y - r}, {x, y + r}}); break;
    case 4:
      c.MoveTo(x - r, y);
      c.LineTo(x + r + 1, y);
      c.MoveTo(x, y - r);
      c.LineTo(x, y + r + 1);
      break;
    case 5:
    case 6:
      c.MoveTo(x - r, y - r);
      c.LineTo(x + r + 1, y + r + 1);
      c.MoveTo(x + r, y - r);
      c.LineTo(x - r - 1, y + r + 1);
      if (style == 6) {
        c.MoveTo(x - r, y);
        c.LineTo(x + r + 1, y);
      }
      break;
    case 7: c.Polygon({{x, y - r}, {x + r, y}, {x, y + r}, {x - r, y}}); break;
    case 8: c.Rectangle(TRect{x - 1, y - 1, x + 2, y + 2}); break;
    default: c.Rectangle(TRect{x - r, y - r, x + r + 1, y + r + 1}); break;
  }
}

}  // namespace

double TLineSeries::MinY() const { return MinOf(Y); }
double TLineSeries::MaxY() const { return MaxOf(Y); }
double TLineSeries::MinX() const { return MinOf(X); }
double TLineSeries::MaxX() const { return MaxOf(X); }

std::string FormatFloat(const std::string& format, double value) {
  const size_t dot = format.find('.');
  const int decimals = dot == std::string::npos ? 0 : static_cast<int>(format.size() - dot - 1);
  const TFormatSettings& fs = FormatSettings;
  std::string text = FloatToStrF(value, TFloatFormat::ffFixed, 18, decimals, fs.DecimalSeparator);
  if (format.find(',') == std::string::npos || text.find('E') != std::string::npos) return text;
  const size_t sign = text[0] == '-' ? 1 : 0;
  size_t int_end = text.find(fs.DecimalSeparator);
  if (int_end == std::string::npos || decimals == 0) int_end = text.size();
  for (size_t p = int_end; p > sign + 3; p -= 3) text.insert(p - 3, 1, fs.ThousandSeparator);
  return text;
}

void DrawChart(const TChartSpec& chart, TCanvas& c, const TRect& rect, int ppi) {
  const double k = ppi / 96.0;
  auto px = [k](double v) { return std::max(1, static_cast<int>(std::lround(v * k))); };
  c.SaveState();
  c.IntersectClipRect(rect);
  c.Pen().Style = TPenStyle::psSolid;
  c.Pen().Width = 1;
  c.Pen().Color = clBlack;
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = clWhite;
  c.FillRect(rect);
  c.Font().SetName("MS Sans Serif");
  c.Font().SetSize(8);
  c.Font().SetStyle(0);
  c.Font().SetColor(clBlack);
  c.Font().SetPixelsPerInch(ppi);
  const int th = c.TextHeight("0");

  const TAxisRange left = RangeOf(chart, chart.LeftAxis, 0, false);
  const TAxisRange right = RangeOf(chart, chart.RightAxis, 1, false);
  const TAxisRange bottom = RangeOf(chart, chart.BottomAxis, 0, true);
  auto value_step = [](const TChartAxis& axis, const TAxisRange& r) {
    double step = axis.DesiredIncrement > 0 ? axis.DesiredIncrement : NiceStep(r.Max - r.Min, 6);
    while ((r.Max - r.Min) / step > kMaxTicks) step *= 2;
    return step;
  };
  const double left_step = value_step(chart.LeftAxis, left);
  const double right_step = value_step(chart.RightAxis, right);
  const double time_step = NiceTimeStep(bottom.Max - bottom.Min, 5);

  auto label_width = [&](const TChartAxis& axis, const TAxisRange& r, double step) {
    int w = 0;
    for (double v = std::ceil(r.Min / step) * step; v <= r.Max + step * 1e-9; v += step)
      w = std::max(w, c.TextWidth(FormatFloat(axis.ValueFormat, v)));
    return w;
  };
  const bool has_right = right.Used;
  const int gap = px(4);
  // Legend at the right.
  int legend_w = 0;
  std::vector<const TLineSeries*> legend;
  if (chart.LegendVisible)
    for (const TLineSeries& s : chart.Series)
      if (s.Active && s.ShowInLegend) {
        legend.push_back(&s);
        legend_w = std::max(legend_w, c.TextWidth(s.Title) + px(28));
      }
  TRect plot = rect;
  plot.Left += gap + (chart.LeftAxis.Title.empty() ? 0 : th + gap) + label_width(chart.LeftAxis, left, left_step) + gap;
  plot.Right -= gap + (legend.empty() ? 0 : legend_w + gap);
  if (has_right)
    plot.Right -=
        (chart.RightAxis.Title.empty() ? 0 : th + gap) + label_width(chart.RightAxis, right, right_step) + gap;
  const int date_lines = static_cast<int>(DateLines(chart.BottomAxis.DateTimeFormat, 0).size());
  plot.Top += th / 2 + gap;
  plot.Bottom -= gap + date_lines * th + gap;
  if (plot.IsEmpty()) {
    c.RestoreState();
    return;
  }
  auto ymap = [&](const TAxisRange& r, double v) {
    const double f = (v - r.Min) / (r.Max - r.Min);
    return plot.Bottom - static_cast<int>(std::lround(std::clamp(f, -1.0, 2.0) * plot.Height()));
  };
  auto xmap = [&](double t) {
    const double f = (t - bottom.Min) / (bottom.Max - bottom.Min);
    return plot.Left + static_cast<int>(std::lround(std::clamp(f, -1.0, 2.0) * plot.Width()));
  };

  c.Brush().Style = TBrushStyle::bsClear;
  // Grids and labels.
  auto value_axis = [&](const TChartAxis& axis, const TAxisRange& r, double step, bool is_left) {
    int ticks = 0;
    for (double v = std::ceil(r.Min / step - 1e-9) * step; v <= r.Max + step * 1e-9 && ticks < kMaxTicks;
         v += step, ++ticks) {
      const int y = ymap(r, v);
      c.Pen().Color = clGray;
      c.Pen().Style = axis.GridStyle;
      c.MoveTo(plot.Left, y);
      c.LineTo(plot.Right, y);
      const std::string text = FormatFloat(axis.ValueFormat, std::fabs(v) < step * 1e-9 ? 0.0 : v);
      const int w = c.TextWidth(text);
      c.TextOut(is_left ? plot.Left - gap - w : plot.Right + gap, y - th / 2, text);
    }
    if (!axis.Title.empty()) {
      const int tw = c.TextWidth(axis.Title);
      c.Font().SetOrientation(900);
      const int x = is_left ? rect.Left + gap : rect.Right - gap - (legend.empty() ? 0 : legend_w + gap) - th;
      c.TextOut(x, (plot.Top + plot.Bottom) / 2 + tw / 2, axis.Title);
      c.Font().SetOrientation(0);
    }
  };
  if (left.Used || !has_right) value_axis(chart.LeftAxis, left, left_step, true);
  if (has_right) value_axis(chart.RightAxis, right, right_step, false);
  {
    double t = std::ceil(bottom.Min / time_step - 1e-9) * time_step;
    for (int ticks = 0; t <= bottom.Max + time_step * 1e-9 && ticks < kMaxTicks; t += time_step, ++ticks) {
      const int x = xmap(t);
      c.Pen().Color = clGray;
      c.Pen().Style = chart.BottomAxis.GridStyle;
      c.MoveTo(x, plot.Top);
      c.LineTo(x, plot.Bottom);
      int y = plot.Bottom + gap;
      for (const std::string& line : DateLines(chart.BottomAxis.DateTimeFormat, t)) {
        c.TextOut(x - c.TextWidth(line) / 2, y, line);
        y += th;
      }
    }
  }
  c.Pen().Style = TPenStyle::psSolid;
  c.Pen().Color = clBlack;
  c.Pen().Width = 1;
  c.Brush().Style = TBrushStyle::bsClear;
  c.Rectangle(plot);

  // Series, clipped to the plot.
  c.SaveState();
  c.IntersectClipRect(plot);
  const int r = px(3);
  for (const TLineSeries& s : chart.Series) {
    if (!s.Active || s.Count() == 0) continue;
    const TAxisRange& yr = s.VertAxis == 1 ? right : left;
    std::vector<TPoint> points;
    points.reserve(s.X.size());
    for (size_t i = 0; i < s.X.size(); ++i) {
      const TPoint p{xmap(s.X[i]), ymap(yr, s.Y[i])};
      if (points.empty() || points.back().X != p.X || points.back().Y != p.Y) points.push_back(p);
    }
    c.Pen().Color = s.Color;
    c.Pen().Style = s.LineStyle;
    c.Pen().Width = px(1);
    if (points.size() > 1) c.Polyline(points);
    if (s.PointerVisible && points.size() <= 200) {
      c.Pen().Style = TPenStyle::psSolid;
      c.Pen().Width = 1;
      c.Brush().Style = TBrushStyle::bsSolid;
      c.Brush().Color = s.Color;
      for (const TPoint& p : points) DrawPointer(c, s.PointerStyle, p.X, p.Y, r);
      c.Brush().Style = TBrushStyle::bsClear;
    }
  }
  c.RestoreState();

  // Legend.
  if (!legend.empty()) {
    const int lh = th + px(2);
    TRect box{rect.Right - gap - legend_w, plot.Top, rect.Right - gap,
              plot.Top + static_cast<int>(legend.size()) * lh + px(4)};
    c.Pen().Style = TPenStyle::psSolid;
    c.Pen().Color = clBlack;
    c.Pen().Width = 1;
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = clWhite;
    c.Rectangle(box);
    c.Brush().Style = TBrushStyle::bsClear;
    int y = box.Top + px(2);
    for (const TLineSeries* s : legend) {
      c.Pen().Color = s->Color;
      c.Pen().Style = s->LineStyle;
      c.Pen().Width = px(1);
      c.MoveTo(box.Left + px(4), y + th / 2);
      c.LineTo(box.Left + px(20), y + th / 2);
      c.Pen().Style = TPenStyle::psSolid;
      c.Pen().Width = 1;
      c.TextOut(box.Left + px(24), y, s->Title);
      y += lh;
    }
  }
  c.RestoreState();
}

TChart::TChart(TComponent* owner) : TCustomControl(owner) { SetColor(clWhite); }

void TChart::Paint() { DrawChart(Spec, Canvas(), ClientRect(), kScreenPixelsPerInch); }

}  // namespace qv
