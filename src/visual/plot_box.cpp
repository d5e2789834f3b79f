#include "visual/plot_box.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/ini_file2.h"
#include "base/idle_task_manager.h"
#include "base/msg_handler.h"
#include "datastore/channel.h"
#include "datastore/data.h"
#include "datastore/dt_data.h"
#include "platform/gui/forms.h"
#include "platform/rtl/exception.h"
#include "visual/axis_scale.h"

namespace qv {

namespace {

constexpr TColor kGridGrey = RGB(128, 128, 128);
constexpr double kBadFloat = -1.501e38;
int max_dots_per_curve = 1000;

constexpr std::pair<const char*, TPenStyle> kPenStyles[] = {{"solid", TPenStyle::psSolid},
                                                            {"dash", TPenStyle::psDash},
                                                            {"dot", TPenStyle::psDot},
                                                            {"dashdot", TPenStyle::psDashDot},
                                                            {"dashdotdot", TPenStyle::psDashDotDot},
                                                            {"clear", TPenStyle::psClear},
                                                            {"insideframe", TPenStyle::psInsideFrame}};

bool Complete(const TDtStamp& t) { return t.Date != NoDayNo && t.Time >= 0; }

void FlushChunk(TCanvas& c, const std::vector<TPoint>& points) {
  if (points.empty()) return;
  if (points.size() == 1) {
    c.MoveTo(points[0].X, points[0].Y);
    c.LineTo(points[0].X, points[0].Y);
  } else {
    c.Polyline(points);
  }
}

// Restores the screen cursor when painting ends, also through an exception.
struct THourGlass {
  THourGlass() {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~THourGlass() {
    if (Screen) Screen->SetCursor(crDefault);
  }
};

}  // namespace

std::string PenStyleName(TPenStyle style) {
  for (const auto& [name, s] : kPenStyles)
    if (s == style) return name;
  return "solid";
}

TPenStyle PenStyleFromName(const std::string& name) {
  for (const auto& [n, s] : kPenStyles)
    if (name == n) return s;
  return TPenStyle::psSolid;
}

// ---- TPlotGlbChan ----

TPlotGlbChan::TPlotGlbChan(TData* data, TChannel* channel) : TGlobalChannel(data, channel) {}

void TPlotGlbChan::Assign(const TGlobalChannel* source) {
  TGlobalChannel::Assign(source);
  if (const auto* p = dynamic_cast<const TPlotGlbChan*>(source)) {
    Visible = p->Visible;
    Color = p->Color;
    Style = p->Style;
    gchAssignedYAxis = p->gchAssignedYAxis;
    AlarmLimits = p->AlarmLimits;
    LastPoint = p->LastPoint;
  }
}

std::unique_ptr<TGlobalChannel> TPlotGlbChan::Clone() const {
  auto c = std::make_unique<TPlotGlbChan>(Data(), Channel());
  c->Assign(this);
  return c;
}

void TPlotGlbChan::StoreIniFile(TIniFile2* ini, const std::string& section) {
  TGlobalChannel::StoreIniFile(ini, section);
  ini->WriteBool(section, "Visible", Visible);
  ini->WriteString(section, "Color", ColorToString(Color));
  ini->WriteString(section, "Style", PenStyleName(Style));
  ini->WriteInteger(section, "AssignedYAxis", gchAssignedYAxis);
  ini->WriteBool(section, "AlarmLimits", AlarmLimits);
}

void TPlotGlbChan::LoadIniFile(TIniFile2& ini, const std::string& section) {
  if (ini.ValueExists(section, "Visible")) Visible = ini.ReadBool(section, "Visible", true);
  if (ini.ValueExists(section, "Color")) {
    const std::string text = ini.ReadString(section, "Color", "");
    TColor color;
    if (StringToColor(text, color))
      Color = color;
    else if (MsgHandler)
      MsgHandler->DoMessage("Unreadable curve colour \"" + text + "\" in [" + section + "]", "", TMsgDlgType::mtError,
                            mbOK, 0, mrOk, true, mkLogOnly);
  }
  if (ini.ValueExists(section, "Style")) Style = PenStyleFromName(ini.ReadString(section, "Style", "solid"));
  if (ini.ValueExists(section, "AlarmLimits")) AlarmLimits = ini.ReadBool(section, "AlarmLimits", false);
}

void TPlotGlbChan::LoadRegKey(TIniFile2& ini, const std::string& section) { LoadIniFile(ini, section); }

// ---- TSliceReducer ----

int SliceWidth(int width, int max_dots) {
  const int w = max_dots < 40 ? (width + 19) / 20 : (2 * width + max_dots - 1) / max_dots;
  return std::max(w, 2);
}

TSliceReducer::TSliceReducer(int slice_width, TChunkEvent on_chunk)
    : width_(std::max(slice_width, 2)), half_(std::max(slice_width, 2) / 2), on_chunk_(std::move(on_chunk)) {
  buffer_.reserve(kChunkPoints + 1);
}

void TSliceReducer::Add(int x, int y) {
  if (open_ && x >= sx_ + width_) EmitSlice();
  if (!open_) {
    // A point without its value: no value is known to map into the new slice.
    low_u_ = kInf;
    high_u_ = -kInf;
    open_ = true;
    sx_ = x;
    top_ = bottom_ = y;
    top_last_ = false;
    return;
  }
  if (y < top_) {
    top_ = y;
    top_last_ = true;
  } else if (y > bottom_) {
    bottom_ = y;
    top_last_ = false;
  }
}

double TSliceReducer::PixelEnd(int y, int side, double known, const TValuePixelMap& map, double rising) {
  // Just inside the pixel's edge; the map itself has the last word.
  const double v = map.Start + map.Range * ((y + side * 0.49) / map.Length);
  return std::isfinite(v) && map(v) == y ? rising * v : known;
}

void TSliceReducer::AddMapped(int x, double u, int y, const TValuePixelMap& map, double rising) {
  if (open_ && x >= sx_ + width_) EmitSlice();
  if (!open_) {
    open_ = true;
    sx_ = x;
    top_ = bottom_ = y;
    top_last_ = false;
    low_u_ = std::min(u, PixelEnd(y, -1, u, map, rising));
    high_u_ = std::max(u, PixelEnd(y, 1, u, map, rising));
    return;
  }
  // Every value between two that map between the extremes maps there too.
  if (y < top_) {
    top_ = y;
    top_last_ = true;
    low_u_ = std::min({low_u_, u, PixelEnd(y, -1, u, map, rising)});
  } else if (y > bottom_) {
    bottom_ = y;
    top_last_ = false;
    high_u_ = std::max({high_u_, u, PixelEnd(y, 1, u, map, rising)});
  } else {
    low_u_ = std::min(low_u_, u);
    high_u_ = std::max(high_u_, u);
  }
}

void TSliceReducer::EmitSlice() {
  if (!open_) return;
  open_ = false;
  if (top_ == bottom_) {
    buffer_.push_back({sx_, top_});
  } else {
    buffer_.push_back({sx_, top_last_ ? bottom_ : top_});
    buffer_.push_back({sx_ + half_, top_last_ ? top_ : bottom_});
  }
  if (buffer_.size() >= kChunkPoints) {
    const TPoint last = buffer_.back();
    Flush();
    buffer_.push_back(last);
  }
}

void TSliceReducer::Flush() {
  if (buffer_.empty()) return;
  on_chunk_(buffer_);
  LastPoint = buffer_.back();
  buffer_.clear();
}

void TSliceReducer::Finish() {
  EmitSlice();
  Flush();
}

void TSliceReducer::Break() {
  EmitSlice();
  Flush();
  LastPoint = TPoint{-1, -1};
}

// ---- TPlotBox ----

TPlotBox::TPlotBox(TComponent* owner, TAxisScale* right_axis, TAxisScale* left_axis, TAxisScale* time_axis,
                   const TTickSource& ticks)
    : TCustomControl(owner),
      RightAxis(right_axis),
      LeftAxis(left_axis),
      TimeAxis(time_axis),
      timer_(std::make_unique<TTimer2>(500, ticks)) {
  SetCursor(crCross);
}

TPlotBox::~TPlotBox() {
  if (IdleTaskManager) IdleTaskManager->RemoveTask(this, timer_.get());
}

bool TPlotBox::RightClickIdle() {
  if (!timer_->Expired()) return false;
  RightClickPending = false;
  RightDoubleClicked = false;
  if (has_saved_menu_) {
    has_saved_menu_ = false;
    TMessage m = saved_menu_;
    TCustomControl::ContextMenu(m);
  }
  return true;
}

void TPlotBox::ContextMenu(TMessage& m) {
  if (RightClickPending || RightDoubleClicked) {
    // Shown when the double-click time is over, unless a double click came first.
    saved_menu_ = m;
    has_saved_menu_ = !RightDoubleClicked;
    RightDoubleClicked = false;
    m.Result = 1;
    return;
  }
  TCustomControl::ContextMenu(m);
}

int TPlotBox::GetMaxDotsPerCurve() { return max_dots_per_curve; }
void TPlotBox::SetMaxDotsPerCurve(int dots) { max_dots_per_curve = std::max(dots, 40); }

void TPlotBox::SetLeftGrid(bool v) {
  if (v == left_grid_) return;
  left_grid_ = v;
  Invalidate();
}

void TPlotBox::SetRightGrid(bool v) {
  if (v == right_grid_) return;
  right_grid_ = v;
  Invalidate();
}

void TPlotBox::GridLine(TCanvas& c, bool horizontal, int pos, int n) {
  for (int i = 0; i < std::max(n, 1); ++i) {
    const int d = (i % 2 == 0) ? -(i / 2) : (i + 1) / 2;
    if (horizontal) {
      c.MoveTo(1, pos + d);
      c.LineTo(Width() - 1, pos + d);
    } else {
      c.MoveTo(pos + d, 1);
      c.LineTo(pos + d, Height() - 1);
    }
  }
}

void TPlotBox::DrawXGrid(int offset) {
  if (!TimeAxis) return;
  TCanvas& c = DrawCanvas();
  c.Pen().Width = 1;
  WalkAxisValues(TimeAxis->StartValue(), TimeAxis->EndValue(), TimeAxis->MajorStep(), Width() + 2, [&](double v) {
    const int x = offset + TimeAxis->ValueToPixel(v);
    if (1 < x && x < Width() - 2) GridLine(c, false, x, 1);
    return true;
  });
}

void TPlotBox::DrawYGrid(TAxisScale* axis, int offset) {
  if (!axis) return;
  TCanvas& c = DrawCanvas();
  c.Pen().Width = 1;
  c.Pen().Style = TPenStyle::psDot;
  const double start = axis->StartValue(), end = axis->EndValue(), step = axis->MajorStep();
  const int n = axis->GridPenWidth();
  const int max_steps = Height() + 2;
  auto line = [&](double v) {
    const int y = offset + axis->ValueToPixel(v);
    if (1 < y && y < Height() - 2) GridLine(c, true, y, n);
    return true;
  };
  if (start == end) return;
  if ((start < 0 && 0 < end) || (end < 0 && 0 < start)) {
    c.Pen().Style = TPenStyle::psDash;
    const int y = offset + axis->ValueToPixel(0);
    if (1 < y && y < Height() - 2) GridLine(c, true, y, axis->ZeroPenWidth());
    c.Pen().Style = TPenStyle::psDot;
    WalkAxisValues(step, end, step, max_steps, line);
    WalkAxisValues(-step, start, -step, max_steps, line);
  } else {
    WalkAxisValues(start, end, step, max_steps, line);
  }
}

void TPlotBox::DrawLeftYGrid(int offset) {
  if (left_grid_) DrawYGrid(LeftAxis, offset);
}

void TPlotBox::DrawRightYGrid(int offset) {
  if (right_grid_) DrawYGrid(RightAxis, offset);
}

void TPlotBox::DrawAlarmLimits(TCanvas& c) {
  if (!ChanList) return;
  const int count = ChanList->Count();
  const int g = static_cast<int>(std::nearbyint(PixelsPerInch * 8.0 / 72.0));
  for (int i = 0; i < count; ++i) {
    auto* curve = dynamic_cast<TPlotGlbChan*>(ChanList->GetGlobChan_I(i));
    if (!curve || !curve->Visible || !curve->AlarmLimits) continue;
    TAxisScale* axis = curve->gchAssignedYAxis == 1 ? RightAxis : LeftAxis;
    if (!axis) continue;
    c.Pen().Style = TPenStyle::psSolid;
    c.Pen().Width = CurvePenWidth;
    c.Pen().Color = curve->Color;
    const int h0 = i * g / count + 1;
    auto limit = [&](double value, int dir) {
      const int y = axis->ValueToPixel(value);
      c.MoveTo(1, y);
      c.LineTo(Width() - 1, y);
      c.Pen().Width = 1;
      for (int h = h0; h <= Width() - g - 1 && g > 0; h += g) {
        c.MoveTo(h, y);
        c.LineTo(h + g, y + dir * g);
      }
      c.Pen().Width = CurvePenWidth;
    };
    limit(curve->Channel()->AlarmMin(), 1);
    limit(curve->Channel()->AlarmMax(), -1);
  }
}

void TPlotBox::ZoomClick(uint8_t, int, int) {}

void TPlotBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbRight && !(shift & ssDouble) && IdleTaskManager) {
    RightClickPending = true;
    RightDoubleClicked = false;
    has_saved_menu_ = false;
    timer_->SetInterval(static_cast<uint32_t>(DoubleClickTime()));
    timer_->Restart();
    IdleTaskManager->AddTask(this, timer_.get(),
                             [this](TIdleTaskManager*, TTimer2*, bool& done) { done = RightClickIdle(); });
  }
  if (!Focused() && CanFocus()) SetFocus();
  TCustomControl::MouseDown(button, shift, x, y);
}

void TPlotBox::WndProc(TMessage& m) {
  if (m.Msg == WM_LBUTTONDBLCLK) {
    if (m.WParam & MK_SHIFT)
      ZoomClick(2, 0, 0);
    else
      ZoomClick(1, LoWordSigned(m.LParam), HiWordSigned(m.LParam));
    return;
  }
  if (m.Msg == WM_RBUTTONDBLCLK) {
    RightClickPending = false;
    RightDoubleClicked = true;
    has_saved_menu_ = false;
    if (IdleTaskManager) IdleTaskManager->RemoveTask(this, timer_.get());
    ZoomClick(2, 0, 0);
    return;
  }
  TCustomControl::WndProc(m);
}

// ---- TDtPlotBox ----

TDtAxisScale* TDtPlotBox::DtAxis() const { return dynamic_cast<TDtAxisScale*>(TimeAxis); }

void TDtPlotBox::DrawXGrid(int offset) {
  TDtAxisScale* axis = DtAxis();
  if (!axis || !(LeftGrid() || RightGrid())) return;
  TCanvas& c = DrawCanvas();
  int mm, md, ms;
  axis->MajorDtStep(mm, md, ms);
  const TDtStamp stop = axis->StopDt();
  const uint8_t level = axis->ZoomLevel();
  TDtStamp t = axis->FirstTick();
  c.Pen().Width = 1;
  for (int steps = 0; steps <= Width() + 2 && DtStampLater(stop, t); ++steps) {
    const int x = offset + axis->DtToPixel(t);
    if (offset + 1 < x && x < Width() - 2) {
      uint16_t d, mo, y;
      DayNoToDate(t.Date, d, mo, y);
      const bool boundary = level == 0   ? (d == 1 && mo == 1 && t.Time == 0)
                            : level <= 3 ? (d == 1 && t.Time == 0)
                                         : t.Time == 0;
      c.Pen().Style = boundary ? TPenStyle::psDash : TPenStyle::psDot;
      GridLine(c, false, x, boundary ? axis->ZeroPenWidth() : axis->GridPenWidth());
    }
    const TDtStamp before = t;
    IncDtStamp(t, static_cast<int16_t>(mm), static_cast<int16_t>(md), ms);
    if (DtStampEqual(before, t) || x > Width()) break;
  }
}

void TDtPlotBox::Paint() { PaintOn(Canvas()); }

void TDtPlotBox::PaintOn(TCanvas& c) {
  THourGlass hourglass;
  draw_canvas_ = &c;
  struct TReset {
    TCanvas*& p;
    ~TReset() { p = nullptr; }
  } reset{draw_canvas_};
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  c.Pen().Color = Color();
  c.Pen().Mode = TPenMode::pmCopy;
  const int width = Width(), height = Height();
  const int slice = SliceWidth(width, GetMaxDotsPerCurve());
  c.Brush().Color = clWhite;
  c.Pen().Color = clBlack;
  c.Pen().Width = 1;
  c.Pen().Style = TPenStyle::psSolid;
  c.Rectangle(0, 0, width, height);
  c.Pen().Color = kGridGrey;
  c.Pen().Style = TPenStyle::psDot;
  DrawXGrid(0);
  DrawLeftYGrid(0);
  DrawRightYGrid(0);
  DrawAlarmLimits(c);
  c.Pen().Style = TPenStyle::psSolid;
  c.Pen().Width = CurvePenWidth;

  TDtAxisScale* time_axis = DtAxis();
  if (ChanList && time_axis) {
    // Curves of one data set are reduced in one pass over its records; the chunks are kept per
    // curve and drawn in list order afterwards, as if each curve had been read on its own.
    const int count = ChanList->Count();
    std::vector<std::vector<std::vector<TPoint>>> chunks(static_cast<size_t>(count));
    std::vector<bool> done(static_cast<size_t>(count), false);
    for (int i = 0; i < count; ++i) {
      auto* first = dynamic_cast<TPlotGlbChan*>(ChanList->GetGlobChan_I(i));
      if (done[static_cast<size_t>(i)] || !first) continue;
      auto* data = dynamic_cast<TDtData*>(first->Data());
      struct TCurve {
        TPlotGlbChan* chan;
        TValuePixelMap map;
        int index;
        std::unique_ptr<TSliceReducer> reducer;
        // 1 or -1 as the pixels follow the values or run against them; 0 when not known.
        double rising = 0;
      };
      std::vector<TCurve> curves;
      for (int j = i; j < count; ++j) {
        auto* curve = dynamic_cast<TPlotGlbChan*>(ChanList->GetGlobChan_I(j));
        if (!curve || curve->Data() != first->Data()) continue;
        done[static_cast<size_t>(j)] = true;
        curve->LastPoint = TPoint{-1, -1};
        TAxisScale* axis = curve->gchAssignedYAxis == 1 ? RightAxis : LeftAxis;
        if (!curve->Visible || !data || !axis || curve->ValueIndex() < 0) continue;
        auto& out = chunks[static_cast<size_t>(j)];
        curves.push_back(
            {curve, axis->PixelMap(), curve->ValueIndex(),
             std::make_unique<TSliceReducer>(slice, [&out](const std::vector<TPoint>& p) { out.push_back(p); })});
        const TValuePixelMap& map = curves.back().map;
        if (std::isfinite(map.Start) && std::isfinite(map.Range) && map.Range != 0)
          curves.back().rising = (map.Range > 0) == (map.Length > 0) ? 1 : -1;
      }
      if (curves.empty()) continue;
      TDataLock lock(*data);
      data->SelectWindow(1);
      const TDtAxisScale::TDtPixelMap x_of = time_axis->DtPixelMap();
      TDtCursor rec = data->Records();
      const bool indices_valid =
          std::all_of(curves.begin(), curves.end(), [&](const TCurve& cv) { return cv.index < rec.ValueCount(); });
      if (!indices_valid) {
        // Record by record, so that a bad index raises its error.
        while (rec.Next()) {
          const TDtStamp t = rec.Stamp();
          const bool stamped = Complete(t);
          const int x = stamped ? x_of(t) : 0;
          for (TCurve& cv : curves) {
            const double v = rec.Value(cv.index);
            if (!(v > kBadFloat && stamped))
              cv.reducer->Break();
            else if (cv.rising != 0)
              cv.reducer->AddValue(x, v, cv.map, cv.rising);
            else
              cv.reducer->Add(x, cv.map(v));
          }
        }
      }
      // Blocks of records: the pixel x of each record once, then each curve through the block
      // with the reducer's test for values it need not map kept at hand.
      constexpr int kBlock = 256;
      constexpr int kNoX = std::numeric_limits<int>::max();  // a record without a complete stamp
      const uint8_t* at[kBlock];
      int xs[kBlock];
      for (bool more = indices_valid; more;) {
        int n = 0;
        while (n < kBlock && (more = rec.Next())) {
          const TDtStamp t = rec.Stamp();
          at[n] = rec.RecordBytes();
          xs[n] = Complete(t) ? x_of(t) : kNoX;
          ++n;
        }
        for (TCurve& cv : curves) {
          TSliceReducer& r = *cv.reducer;
          const int offset = 12 + 6 * cv.index;
          if (cv.rising == 0) {
            for (int j = 0; j < n; ++j) {
              const double v = StoredValue(at[j] + offset);
              if (v > kBadFloat && xs[j] != kNoX)
                r.Add(xs[j], cv.map(v));
              else
                r.Break();
            }
            continue;
          }
          int limit;
          double low, high;
          r.FastRange(limit, low, high);
          for (int j = 0; j < n; ++j) {
            const double v = StoredValue(at[j] + offset);
            const double u = cv.rising * v;
            if (xs[j] < limit && v > kBadFloat && low <= u && u <= high) continue;
            if (v > kBadFloat && xs[j] != kNoX)
              r.AddValue(xs[j], v, cv.map, cv.rising);
            else
              r.Break();
            r.FastRange(limit, low, high);
          }
        }
      }
      for (TCurve& cv : curves) {
        cv.reducer->Finish();
        // The online insertion continues from the last point drawn.
        cv.chan->LastPoint = cv.reducer->LastPoint;
      }
    }
    for (int i = 0; i < count; ++i) {
      auto* curve = dynamic_cast<TPlotGlbChan*>(ChanList->GetGlobChan_I(i));
      if (!curve || chunks[static_cast<size_t>(i)].empty()) continue;
      c.Pen().Color = curve->Color;
      c.Pen().Style = curve->Style;
      for (const auto& chunk : chunks[static_cast<size_t>(i)]) FlushChunk(c, chunk);
    }
  }
  if (OnPaint) OnPaint(this);
}

void TDtPlotBox::ZoomClick(uint8_t kind, int x, int) {
  TDtAxisScale* axis = DtAxis();
  if (!OnZoomRequest || !axis) return;
  TDtStamp t = NoDtStamp;
  if (kind == 0)
    axis->PixelToDt(Width() / 2, t);
  else if (kind == 1)
    axis->PixelToDt(x, t);
  OnZoomRequest(this, kind, t);
}

void TDtPlotBox::OnlineInsert(TDtData* data) {
  TDtAxisScale* axis = DtAxis();
  if (!data || !ChanList || ChanList->Count() == 0 || !axis) return;
  TDataLock lock(*data);
  const TDtStamp t = data->GetNewestDt();
  if (!Complete(t)) return;
  const int x = axis->DtToPixel(t);
  TCanvas& c = ControlCanvas(this);
  for (int i = 0; i < ChanList->Count(); ++i) {
    auto* curve = dynamic_cast<TPlotGlbChan*>(ChanList->GetGlobChan_I(i));
    if (!curve || !curve->Visible || curve->Data() != data) continue;
    if (x >= Width() + 10 && curve->LastPoint.X >= Width() + 10) continue;
    const double v = data->GetNewestValue(curve->ValueIndex());
    if (!(v > kBadFloat)) {
      curve->LastPoint = TPoint{-1, -1};
      continue;
    }
    TAxisScale* axis_y;
    if (curve->gchAssignedYAxis == 0)
      axis_y = LeftAxis;
    else if (curve->gchAssignedYAxis == 1)
      axis_y = RightAxis;
    else
      throw Exception("TDtPlotBox.OnlineInsert: invalid GlobChan.gchAssignedYAxis");
    const int y = axis_y->ValueToPixel(v);
    c.Pen().Color = curve->Color;
    c.Pen().Style = curve->Style;
    c.Pen().Width = CurvePenWidth;
    if (curve->LastPoint.X < 0 || curve->LastPoint.Y < 0)
      c.MoveTo(x, y);
    else
      c.MoveTo(curve->LastPoint.X, curve->LastPoint.Y);
    c.LineTo(x, y);
    curve->LastPoint = TPoint{x, y};
  }
}

}  // namespace qv
