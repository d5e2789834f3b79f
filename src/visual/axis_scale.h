#pragma once
// Axis scales: thin strips along the edges of a plot area that map values (or time stamps) to
// pixels and back, choose the major and minor tick steps from the room for labels, and paint
// their tick marks. Labels and grids take their positions and steps from here.
#include <cstdint>
#include <functional>

#include "base/dt_stamp.h"
#include "platform/gui/controls.h"

namespace qv {

// Pixels far outside an axis are clamped to this, so drawing coordinates stay small.
constexpr int kAxisPixelLimit = 10000;

// Walks from start towards limit by step and calls visit for each value, start included, until
// the value has passed limit. It also stops when a step leaves the value unchanged, when visit
// answers false, or after max_steps steps, so no range or step can make it run on.
void WalkAxisValues(double start, double limit, double step, int max_steps, const std::function<bool(double)>& visit);

// Rounds an axis pixel: NaN gives 0, beyond the limit the limit, else the nearest (halves even).
// Inside the limit, adding and taking away 1.5 x 2^52 rounds exactly as nearbyint does, in the
// current rounding mode, without a library call per pixel.
inline int RoundAxisPixel(double p) {
  if (!(p >= -kAxisPixelLimit)) return p < 0 ? -kAxisPixelLimit : 0;
  if (p > kAxisPixelLimit) return kAxisPixelLimit;
  constexpr double kShift = 6755399441055744.0;
  return static_cast<int>((p + kShift) - kShift);
}

// The value-to-pixel mapping of an axis taken out for long walks (the plot's curves), with the
// same arithmetic as ValueToPixel.
struct TValuePixelMap {
  double Start = 0, Range = 0;
  int Length = 2;
  int operator()(double v) const { return Range == 0 ? 0 : RoundAxisPixel(Length * ((v - Start) / Range)); }
};

class TAxisScale : public TGraphicControl {
public:
  // Orientation: 0 left Y axis, 1 right Y axis, 2 top X axis, 3 bottom X axis.
  TAxisScale(TComponent* owner, int zero_pen_width, int grid_pen_width, double upper, double lower, uint8_t orientation,
             TAxisScale* master);
  std::string ClassName() const override { return "TAxisScale"; }

  uint8_t Orientation() const { return orientation_; }
  bool IsVertical() const { return orientation_ < 2; }
  bool IsSlave() const { return master_ != nullptr; }
  TAxisScale* Master() const { return master_; }
  void SetMaster(TAxisScale* master);

  double StartValue() const { return master_ ? master_->StartValue() : start_value_; }
  double EndValue() const { return master_ ? master_->EndValue() : end_value_; }
  int AxisLength() const { return master_ ? master_->AxisLength() : axis_length_; }
  int MinMinorSpacing() const { return master_ ? master_->MinMinorSpacing() : min_minor_spacing_; }
  double MajorStep();
  double MinorStep();
  bool NeedsRecalc = true;

  void SetRange(double upper, double lower);
  int GridPenWidth() const { return grid_pen_width_; }
  void SetGridPenWidth(int width);
  int ZeroPenWidth() const { return zero_pen_width_; }
  void SetZeroPenWidth(int width) { zero_pen_width_ = width; }

  // Equal ends map every value to pixel 0.
  int ValueToPixel(double v);
  double PixelToValue(int p);
  TValuePixelMap PixelMap() const { return {StartValue(), EndValue() - StartValue(), AxisLength()}; }

  int LabelCharWidth = 6;
  int LabelCharHeight = 10;
  using TLabelSizeEvent = std::function<void(TAxisScale* sender, int& char_height, int& char_width)>;
  void SetLabelSizeCallback(TLabelSizeEvent callback);
  virtual int LabelSpace();
  virtual void CalcSteps();

  void SetBounds(int left, int top, int width, int height) override;
  TNotifyEvent OnPaint;

  // The extent along the axis of this control (its height or width).
  int Extent() const { return IsVertical() ? Height() : Width(); }

protected:
  void Paint() override;
  // Draws one tick at pixel p across the whole strip (major) or on the half towards the plot.
  void DrawTick(int p, bool major);
  void PaintSetup();
  bool TickVisible(int p) const { return p >= 0 && p <= Extent(); }
  void UpdateMinMinorSpacing();

  double start_value_ = 0, end_value_ = 1;
  int axis_length_ = 2;
  int min_minor_spacing_ = 4;
  double major_step_ = 1, minor_step_ = 1;
  uint8_t orientation_;
  int zero_pen_width_;
  int grid_pen_width_;
  TAxisScale* master_ = nullptr;
  TLabelSizeEvent on_label_size_;
  TRect remembered_{};
};

class TDtAxisScale : public TAxisScale {
public:
  TDtAxisScale(TComponent* owner, int zero_pen_width, int grid_pen_width, const TDtStamp& start, const TDtStamp& stop,
               uint8_t orientation, TDtAxisScale* master);
  std::string ClassName() const override { return "TDtAxisScale"; }

  void SetInterval(const TDtStamp& start, const TDtStamp& stop);
  TDtStamp StartDt() const { return dt_master() ? dt_master()->StartDt() : start_dt_; }
  TDtStamp StopDt() const { return dt_master() ? dt_master()->StopDt() : stop_dt_; }
  uint8_t ZoomLevel() const { return dt_master() ? dt_master()->ZoomLevel() : zoom_level_; }
  // Major step parts, minor step parts and the first tick; computed first when needed.
  int MajMonths();
  int MajDays();
  int MajSecs();
  int MinMonths();
  int MinDays();
  int MinSecs();
  TDtStamp FirstTick();

  int DtToPixel(const TDtStamp& t);
  // DtToPixel taken out for long walks: the pixel of t from its offset to the start in seconds.
  struct TDtPixelMap {
    TDtStamp Start;
    double Span = 0;
    int Length = 2;
    int operator()(const TDtStamp& t) const {
      const double offset = (double(t.Date) - Start.Date) * 86400.0 + t.Time - Start.Time;
      return Span == 0 ? 0 : RoundAxisPixel(Length * (offset / Span));
    }
  };
  TDtPixelMap DtPixelMap() const;
  // P is taken within 0..AxisLength.
  void PixelToDt(int p, TDtStamp& t);
  int LabelSpace() override;
  void CalcSteps() override;

  // The major and minor steps as (months, days, seconds), a zero step counting as one month.
  void MajorDtStep(int& months, int& days, int& secs);
  void MinorDtStep(int& months, int& days, int& secs);

protected:
  void Paint() override;

private:
  TDtAxisScale* dt_master() const { return static_cast<TDtAxisScale*>(master_); }
  void EnsureSteps();
  TDtStamp start_dt_{0, 0}, stop_dt_{0, 86398};
  uint8_t zoom_level_ = 7;
  int maj_months_ = 0, maj_days_ = 0, maj_secs_ = 0;
  int min_months_ = 0, min_days_ = 0, min_secs_ = 0;
  TDtStamp first_tick_{0, 0};
};

// Labels per zoom level 0..15: the characters a time label needs.
extern const int DtLabelChars[16];
// The first entry of the table not smaller than |x|, or its last; negative for a negative x.
int PickStep(const int* table, int count, double x);

}  // namespace qv
