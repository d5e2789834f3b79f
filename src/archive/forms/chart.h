#pragma once
// The documents' diagram: line series over a date-time bottom axis and a left and a right value
// axis, with dashed grid lines and a legend, drawn with the canvas into any rectangle (a page on
// the screen, a printer page, a PDF file), so what is printed is drawn, not copied.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/controls.h"

namespace qv {

struct TChartAxis {
  // Off: Minimum and Maximum hold; on: the range of the series on the axis.
  bool Automatic = true;
  double Minimum = 0, Maximum = 1;
  // The step between labels; 0 chooses one.
  double DesiredIncrement = 0;
  std::string Title;
  TPenStyle GridStyle = TPenStyle::psDot;
  // "#,##0" or "#,##0.00" on value axes.
  std::string ValueFormat = "#,##0.00";
  // Date-time axes: parts of FormatDateTime separated by CR, each on a line of its own.
  std::string DateTimeFormat = "hh:nn:ss";
  void SetMinMax(double minimum, double maximum) {
    Automatic = false;
    Minimum = minimum;
    Maximum = maximum;
  }
};

class TLineSeries {
public:
  std::string Title;
  TColor Color = clRed;
  TPenStyle LineStyle = TPenStyle::psSolid;
  // 0 rectangle, 1 circle, 2 triangle, 3 down triangle, 4 cross, 5 diagonal cross, 6 star,
  // 7 diamond, 8 small dot.
  int PointerStyle = 0;
  bool PointerVisible = true;
  bool ShowInLegend = true;
  bool Active = true;
  bool XValuesDateTime = true;
  // 0 the left axis, 1 the right one.
  int VertAxis = 0;
  void AddXY(double x, double y) {
    X.push_back(x);
    Y.push_back(y);
  }
  int Count() const { return static_cast<int>(X.size()); }
  double MinY() const;
  double MaxY() const;
  double MinX() const;
  double MaxX() const;
  std::vector<double> X, Y;
};

// What a chart shows; pages keep it while the chart control exists only on the shown page.
struct TChartSpec {
  bool View3D = false;
  bool LegendVisible = true;
  TChartAxis LeftAxis, RightAxis, BottomAxis;
  std::vector<TLineSeries> Series;
};

// Draws the chart into rect. ppi is the canvas's resolution, which sizes the text; line widths
// and marks grow with ppi / 96.
void DrawChart(const TChartSpec& chart, TCanvas& canvas, const TRect& rect, int ppi);

// "#,##0" style formats: digits grouped by thousands, the decimals given by the zeros after ".".
std::string FormatFloat(const std::string& format, double value);

class TChart : public TCustomControl {
public:
  explicit TChart(TComponent* owner);
  std::string ClassName() const override { return "TChart"; }
  TChartSpec Spec;
  // Draws the whole chart into rect of another canvas at its resolution.
  void DrawTo(TCanvas& canvas, const TRect& rect, int ppi) { DrawChart(Spec, canvas, rect, ppi); }

protected:
  void Paint() override;
};

}  // namespace qv
