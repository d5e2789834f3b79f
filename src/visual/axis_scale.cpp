#include "visual/axis_scale.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/exception.h"

namespace qv {

const int DtLabelChars[16] = {3, 3, 3, 3, 2, 2, 5, 5, 5, 5, 5, 5, 5, 8, 8, 8};

namespace {

constexpr int kMonthSteps[] = {1, 2, 3, 6, 12, 24};
constexpr int kDaySteps[] = {1, 2, 3, 7, 14, 28};
constexpr int kHourSteps[] = {1, 2, 3, 6, 12, 24, 48};
constexpr int kMinuteSteps[] = {1, 2, 5, 10, 20, 30, 60};
constexpr int kSecondSteps[] = {1, 2, 5, 10, 20, 30, 60};
constexpr double kStep125[] = {1.0, 2.0, 5.0};

template <size_t N>
int Pick(const int (&table)[N], double x) {
  return PickStep(table, static_cast<int>(N), x);
}

// Later stamps compare greater; both complete.
bool Earlier(const TDtStamp& a, const TDtStamp& b) { return DtStampLater(b, a); }

TDtStamp Stamp(uint16_t day, int hour, int min, int sec) { return TDtStamp{day, hour * 3600 + min * 60 + sec}; }

}  // namespace

int PickStep(const int* table, int count, double x) {
  const double ax = std::fabs(x);
  int step = table[count - 1];
  for (int i = 0; i < count; ++i)
    if (table[i] >= ax) {
      step = table[i];
      break;
    }
  return x < 0 ? -step : step;
}

void WalkAxisValues(double start, double limit, double step, int max_steps, const std::function<bool(double)>& visit) {
  if (step == 0 || std::isnan(step)) {
    visit(start);
    return;
  }
  double v = start;
  for (int n = 0; n <= max_steps; ++n) {
    if (step > 0 ? v > limit : v < limit) return;
    if (!visit(v)) return;
    const double next = v + step;
    if (next == v) return;
    v = next;
  }
}

// ---- TAxisScale ----

TAxisScale::TAxisScale(TComponent* owner, int zero_pen_width, int grid_pen_width, double upper, double lower,
                       uint8_t orientation, TAxisScale* master)
    : TGraphicControl(owner),
      orientation_(orientation),
      zero_pen_width_(zero_pen_width),
      grid_pen_width_(std::max(grid_pen_width, 1)) {
  SetAlign(TAlign::alNone);
  remembered_ = BoundsRect();
  axis_length_ = std::max(Extent(), 2);
  SetMaster(master);
  UpdateMinMinorSpacing();
  SetRange(upper, lower);
}

void TAxisScale::UpdateMinMinorSpacing() { min_minor_spacing_ = grid_pen_width_ * (IsVertical() ? 4 : 8); }

void TAxisScale::SetMaster(TAxisScale* master) {
  if (master == master_) return;
  if (master && master->IsSlave()) throw Exception("Error in TAxisScale.SetMaster: Master-Axis is a Slave");
  master_ = master;
  if (!master) {
    NeedsRecalc = true;
    Invalidate();
  }
}

double TAxisScale::MajorStep() {
  if (master_) return master_->MajorStep();
  if (NeedsRecalc) CalcSteps();
  return major_step_;
}

double TAxisScale::MinorStep() {
  if (master_) return master_->MinorStep();
  if (NeedsRecalc) CalcSteps();
  return minor_step_;
}

void TAxisScale::SetRange(double upper, double lower) {
  if (IsVertical()) {
    start_value_ = upper;
    end_value_ = lower;
  } else {
    start_value_ = lower;
    end_value_ = upper;
  }
  NeedsRecalc = true;
}

void TAxisScale::SetGridPenWidth(int width) {
  if (width == grid_pen_width_) return;
  grid_pen_width_ = std::max(width, 1);
  UpdateMinMinorSpacing();
  NeedsRecalc = true;
}

int TAxisScale::ValueToPixel(double v) { return PixelMap()(v); }

double TAxisScale::PixelToValue(int p) {
  if (master_) return master_->PixelToValue(p);
  return p * (end_value_ - start_value_) / axis_length_ + start_value_;
}

void TAxisScale::SetLabelSizeCallback(TLabelSizeEvent callback) {
  on_label_size_ = std::move(callback);
  NeedsRecalc = true;
}

int TAxisScale::LabelSpace() {
  if (on_label_size_) {
    TLabelSizeEvent callback = std::move(on_label_size_);
    on_label_size_ = nullptr;
    callback(this, LabelCharHeight, LabelCharWidth);
  }
  const int space = IsVertical() ? static_cast<int>(std::nearbyint(LabelCharHeight * 1.4)) : LabelCharWidth * 7;
  return std::max(space, 1);
}

void TAxisScale::CalcSteps() {
  const double range = end_value_ - start_value_;
  const int n = axis_length_ / LabelSpace();
  if (n == 0) {
    major_step_ = start_value_ >= end_value_ ? range - 1 : range + 1;
  } else {
    const double wanted = std::fabs(range) / n;
    // Decades from 1e-25 up; a decade above 1e20 is the last one tried.
    const double sign = start_value_ > end_value_ ? -1.0 : 1.0;
    double step = sign * 1e-25;
    for (int decade = -25;; ++decade) {
      const double c = sign * std::pow(10.0, decade);
      bool found = false;
      for (double t : kStep125) {
        step = t * c;
        if (std::fabs(step) >= wanted || decade > 20) {
          found = true;
          break;
        }
      }
      if (found) break;
    }
    major_step_ = step;
  }
  const int k = std::abs(ValueToPixel(start_value_ + major_step_) - ValueToPixel(start_value_)) / min_minor_spacing_;
  minor_step_ = major_step_;
  if (k > 0) {
    for (double div : {10.0, 5.0, 2.0})
      if (std::fabs(major_step_ / div) >= std::fabs(major_step_) / k) {
        minor_step_ = major_step_ / div;
        break;
      }
  }
  NeedsRecalc = false;
}

void TAxisScale::SetBounds(int left, int top, int width, int height) {
  TGraphicControl::SetBounds(left, top, width, height);
  const TRect r = BoundsRect();
  if (r == remembered_) return;
  remembered_ = r;
  axis_length_ = std::max(Extent(), 2);
  NeedsRecalc = true;
}

void TAxisScale::PaintSetup() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  c.Pen().Width = grid_pen_width_;
}

void TAxisScale::DrawTick(int p, bool major) {
  if (!TickVisible(p)) return;
  TCanvas& c = Canvas();
  const int w = Width(), h = Height();
  if (IsVertical()) {
    int x0 = 0, x1 = w;
    if (!major) {
      if (orientation_ == 0)
        x0 = w / 2;
      else
        x1 = w - w / 2;
    }
    c.MoveTo(x0, p);
    c.LineTo(x1, p);
  } else {
    int y0 = 0, y1 = h;
    if (!major) {
      if (orientation_ == 2)
        y0 = h / 2;
      else
        y1 = h - h / 2;
    }
    c.MoveTo(p, y0);
    c.LineTo(p, y1);
  }
}

void TAxisScale::Paint() {
  PaintSetup();
  const double start = StartValue(), end = EndValue();
  if (start == end) {
    // Equal ends have no scale: only the start tick.
    DrawTick(ValueToPixel(start), true);
    if (OnPaint) OnPaint(this);
    return;
  }
  double eps = std::fabs(end - start) / 1000;
  if (eps == 0) eps = 0.00001;
  double major = MajorStep();
  if (!(std::fabs(major) > eps)) major = PixelToValue(Extent()) - PixelToValue(0);
  double minor = MinorStep();
  if (!(std::fabs(minor) > eps)) minor = major;
  const int max_steps = Extent() + 2;
  TCanvas& c = Canvas();
  bool zero_pen = false;
  auto walk = [&](double s, double limit, double M, double m) {
    WalkAxisValues(s, limit, M, max_steps, [&](double v) {
      const int p = ValueToPixel(v);
      DrawTick(p, true);
      if (zero_pen) {
        c.Pen().Width = grid_pen_width_;
        zero_pen = false;
      }
      // Minor ticks up to the next major one; stop when a step changes nothing.
      const double next = v + M;
      int count = 0;
      for (double w = v + m; (M > 0 ? w < next : w > next) && count < max_steps; w += m, ++count) {
        if (w + m == w) break;
        DrawTick(ValueToPixel(w), false);
      }
      // Past the far end of the strip nothing more can show.
      return (M > 0) == (end > start) ? p <= Extent() : p >= 0;
    });
  };
  const bool zero_inside = (start < 0 && 0 < end) || (end < 0 && 0 < start);
  if (zero_inside) {
    c.Pen().Width = zero_pen_width_;
    zero_pen = true;
    walk(0, end, major, minor);
    walk(0, start, -major, -minor);
  } else {
    walk(start, end, major, minor);
  }
  if (OnPaint) OnPaint(this);
}

// ---- TDtAxisScale ----

namespace {
// The interval an invalid or reversed one becomes: day 0 from 00:00:00 to 23:59:58.
bool ValidInterval(const TDtStamp& start, const TDtStamp& stop) {
  return start.Date != NoDayNo && start.Time >= 0 && stop.Date != NoDayNo && stop.Time >= 0 &&
         DtStampLater(stop, start);
}
double IntervalSecs(const TDtStamp& start, const TDtStamp& stop) {
  return ValidInterval(start, stop) ? DtStampDiffSecs(start, stop) : 86398.0;
}
}  // namespace

TDtAxisScale::TDtAxisScale(TComponent* owner, int zero_pen_width, int grid_pen_width, const TDtStamp& start,
                           const TDtStamp& stop, uint8_t orientation, TDtAxisScale* master)
    : TAxisScale(owner, zero_pen_width, grid_pen_width, IntervalSecs(start, stop), 0, orientation, master) {
  SetInterval(start, stop);
}

void TDtAxisScale::SetInterval(const TDtStamp& start, const TDtStamp& stop) {
  if (ValidInterval(start, stop)) {
    if (!(DtStampEqual(start, start_dt_) && DtStampEqual(stop, stop_dt_))) {
      start_dt_ = start;
      stop_dt_ = stop;
      zoom_level_ = ZoomLevelOfSpan(start, stop);
      first_tick_ = start;
    }
  } else {
    start_dt_ = TDtStamp{0, 0};
    stop_dt_ = TDtStamp{0, 86398};
    zoom_level_ = 7;
    first_tick_ = start_dt_;
  }
  NeedsRecalc = true;
}

void TDtAxisScale::EnsureSteps() {
  if (NeedsRecalc) CalcSteps();
}

int TDtAxisScale::MajMonths() {
  if (dt_master()) return dt_master()->MajMonths();
  EnsureSteps();
  return maj_months_;
}
int TDtAxisScale::MajDays() {
  if (dt_master()) return dt_master()->MajDays();
  EnsureSteps();
  return maj_days_;
}
int TDtAxisScale::MajSecs() {
  if (dt_master()) return dt_master()->MajSecs();
  EnsureSteps();
  return maj_secs_;
}
int TDtAxisScale::MinMonths() {
  if (dt_master()) return dt_master()->MinMonths();
  EnsureSteps();
  return min_months_;
}
int TDtAxisScale::MinDays() {
  if (dt_master()) return dt_master()->MinDays();
  EnsureSteps();
  return min_days_;
}
int TDtAxisScale::MinSecs() {
  if (dt_master()) return dt_master()->MinSecs();
  EnsureSteps();
  return min_secs_;
}
TDtStamp TDtAxisScale::FirstTick() {
  if (dt_master()) return dt_master()->FirstTick();
  EnsureSteps();
  return first_tick_;
}

TDtAxisScale::TDtPixelMap TDtAxisScale::DtPixelMap() const {
  if (dt_master()) return dt_master()->DtPixelMap();
  const double span = (double(stop_dt_.Date) - start_dt_.Date) * 86400.0 + stop_dt_.Time - start_dt_.Time;
  return TDtPixelMap{start_dt_, span, AxisLength()};
}

int TDtAxisScale::DtToPixel(const TDtStamp& t) { return DtPixelMap()(t); }

void TDtAxisScale::PixelToDt(int p, TDtStamp& t) {
  if (dt_master()) {
    dt_master()->PixelToDt(p, t);
    return;
  }
  p = std::clamp(p, 0, AxisLength());
  const double span = (double(stop_dt_.Date) - start_dt_.Date) * 86400.0 + stop_dt_.Time - start_dt_.Time;
  const double s = std::nearbyint(double(p) / AxisLength() * span);
  const int64_t d = static_cast<int64_t>(s / 86400.0);
  int64_t day = start_dt_.Date + d;
  int64_t secs = start_dt_.Time + static_cast<int64_t>(std::nearbyint(s - double(d) * 86400.0));
  if (secs > 86399) {
    ++day;
    secs -= 86400;
  }
  t.Date = static_cast<uint16_t>(std::min<int64_t>(day, LastDayNo));
  t.Time = static_cast<int32_t>(secs);
}

int TDtAxisScale::LabelSpace() {
  if (IsVertical()) return TAxisScale::LabelSpace();
  TAxisScale::LabelSpace();  // takes the reported label metrics
  return std::max((DtLabelChars[std::min<int>(ZoomLevel(), 15)] + 1) * LabelCharWidth, 1);
}

void TDtAxisScale::CalcSteps() {
  maj_months_ = maj_days_ = maj_secs_ = 0;
  min_months_ = min_days_ = min_secs_ = 0;
  first_tick_ = start_dt_;
  uint16_t d1, m1, y1, d2, m2, y2;
  DayNoToDate(start_dt_.Date, d1, m1, y1);
  DayNoToDate(stop_dt_.Date, d2, m2, y2);
  uint8_t h1, n1, s1, h2, n2, s2;
  SecsToTime(start_dt_.Time, h1, n1, s1);
  SecsToTime(stop_dt_.Time, h2, n2, s2);
  const double span_days = DtStampDiffDays(start_dt_, stop_dt_);
  const double span_secs = DtStampDiffSecs(start_dt_, stop_dt_);
  const int n = axis_length_ / LabelSpace();
  if (n <= 0) {
    if (span_secs > 86398) {
      maj_secs_ = 1;
      maj_days_ = min_days_ = static_cast<int>(span_days) + 1;
    } else {
      maj_secs_ = min_secs_ = static_cast<int>(span_secs) + 1;
    }
    if (y1 != y2)
      first_tick_ = TDtStamp{DateToDayNo(1, 1, (y1 + y2) / 2 + 1), 0};
    else if (m1 != m2)
      first_tick_ = TDtStamp{DateToDayNo(1, std::min((m1 + m2) / 2 + 1, 12), y1), 0};
    else if (d1 != d2)
      first_tick_ = TDtStamp{DateToDayNo(std::min<int>((d1 + d2) / 2 + 1, DaysOfMonth(m1, y1)), m1, y1), 0};
    else if (h1 != h2)
      first_tick_ = Stamp(start_dt_.Date, std::min((h1 + h2) / 2 + 1, 23), 0, 0);
    else if (n1 != n2)
      first_tick_ = Stamp(start_dt_.Date, h1, std::min((n1 + n2) / 2 + 1, 59), 0);
    else
      first_tick_ = Stamp(start_dt_.Date, h1, n1, std::min((s1 + s2) / 2 + 1, 59));
    NeedsRecalc = false;
    return;
  }
  const uint8_t level = zoom_level_;
  auto k_of = [&](const TDtStamp& from) {
    TDtStamp to = from;
    IncDtStamp(to, static_cast<int16_t>(maj_months_), static_cast<int16_t>(maj_days_), maj_secs_);
    return std::abs(DtToPixel(to) - DtToPixel(from)) / min_minor_spacing_;
  };
  if (level <= 1) {
    maj_months_ = Pick(kMonthSteps, span_days / (n * 30.5));
    first_tick_ = TDtStamp{DateToDayNo(1, m1, y1), 0};
    const int k = k_of(first_tick_);
    if (k == 0)
      min_months_ = maj_months_;
    else
      min_days_ = Pick(kDaySteps, maj_months_ * 30.5 / k);
  } else if (level <= 3) {
    maj_days_ = Pick(kDaySteps, span_days / n);
    first_tick_ = TDtStamp{start_dt_.Date, 0};
    const int k = k_of(first_tick_);
    if (k == 0)
      min_days_ = maj_days_;
    else
      min_days_ = Pick(kDaySteps, double(maj_days_) / k);
  } else if (level <= 9) {
    maj_secs_ = Pick(kHourSteps, span_secs / 3600 / n) * 3600;
    first_tick_ = level <= 7 ? TDtStamp{start_dt_.Date, 0} : Stamp(start_dt_.Date, h1, 0, 0);
    const int k = k_of(level == 6 || level == 7 ? start_dt_ : first_tick_);
    if (k == 0)
      min_secs_ = maj_secs_;
    else if (level <= 7)
      min_secs_ = Pick(kHourSteps, maj_secs_ / (k * 3600.0)) * 3600;
    else
      min_secs_ = Pick(kMinuteSteps, maj_secs_ / 60.0 / k) * 60;
  } else if (level <= 12) {
    maj_secs_ = Pick(kMinuteSteps, span_secs / 60 / n) * 60;
    first_tick_ = Stamp(start_dt_.Date, h1, n1, 0);
    const int k = k_of(first_tick_);
    min_secs_ = k == 0 ? maj_secs_ : Pick(kMinuteSteps, maj_secs_ / 60.0 / k) * 60;
  } else {
    maj_secs_ = Pick(kSecondSteps, span_secs / n);
    first_tick_ = start_dt_;
    const int k = k_of(first_tick_);
    min_secs_ = k == 0 ? maj_secs_ : Pick(kSecondSteps, double(maj_secs_) / k);
  }
  NeedsRecalc = false;
}

void TDtAxisScale::MajorDtStep(int& months, int& days, int& secs) {
  months = MajMonths(), days = MajDays(), secs = MajSecs();
  if (months + days + secs < 1) months = 1, days = 0, secs = 0;
}

void TDtAxisScale::MinorDtStep(int& months, int& days, int& secs) {
  months = MinMonths(), days = MinDays(), secs = MinSecs();
  if (months + days + secs < 1) months = 1, days = 0, secs = 0;
}

void TDtAxisScale::Paint() {
  PaintSetup();
  int mm, md, ms, nm, nd, ns;
  MajorDtStep(mm, md, ms);
  MinorDtStep(nm, nd, ns);
  const TDtStamp stop = StopDt();
  const int max_steps = Extent() + 2;
  TDtStamp cur = FirstTick();
  TDtStamp m = cur;
  IncDtStamp(m, static_cast<int16_t>(nm), static_cast<int16_t>(nd), ns);
  for (int steps = 0; steps <= max_steps; ++steps) {
    DrawTick(DtToPixel(cur), true);
    const TDtStamp before = cur;
    IncDtStamp(cur, static_cast<int16_t>(mm), static_cast<int16_t>(md), ms);
    for (int count = 0; Earlier(m, cur) && count <= max_steps; ++count) {
      DrawTick(DtToPixel(m), false);
      const TDtStamp prev = m;
      IncDtStamp(m, static_cast<int16_t>(nm), static_cast<int16_t>(nd), ns);
      if (DtStampEqual(prev, m)) break;
    }
    m = cur;
    // A step that the calendar's end swallows, or a tick past the strip, ends the walk.
    if (DtStampEqual(before, cur) || !Earlier(cur, stop) || DtToPixel(cur) > Extent()) break;
  }
  if (OnPaint) OnPaint(this);
}

}  // namespace qv
