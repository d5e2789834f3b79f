#pragma once
// The plot box: the drawing area of a time plot. It paints the background, the grids, the alarm
// limits and the curves of logged data; each curve is reduced to the minimum and maximum of
// each slice of pixel columns before it is drawn, so every extreme reaches the screen however
// many records the window holds. Online records extend a curve by one segment.
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "base/dt_stamp.h"
#include "base/timer2.h"
#include "datastore/global_channel.h"
#include "platform/gui/controls.h"
#include "platform/gui/ext_ctrls.h"
#include "visual/axis_scale.h"

namespace qv {

class TAxisScale;
class TDtAxisScale;
class TDtData;

// One curve of a plot.
class TPlotGlbChan : public TGlobalChannel {
public:
  TPlotGlbChan(TData* data, TChannel* channel);
  std::string ClassName() const override { return "TPlotGlbChan"; }
  void Assign(const TGlobalChannel* source) override;
  std::unique_ptr<TGlobalChannel> Clone() const override;
  void StoreIniFile(TIniFile2* ini, const std::string& section) override;
  // Each key is read only when present; an unreadable colour keeps the current one and is
  // reported in the log.
  void LoadIniFile(TIniFile2& ini, const std::string& section) override;
  void LoadRegKey(TIniFile2& ini, const std::string& section) override;

  bool Visible = true;
  TColor Color = clBlack;
  TPenStyle Style = TPenStyle::psSolid;
  uint8_t gchAssignedYAxis = 0;
  bool AlarmLimits = false;
  TPoint LastPoint{-1, -1};
};

// Pen style names as stored.
std::string PenStyleName(TPenStyle style);
TPenStyle PenStyleFromName(const std::string& name);

// Reduces one curve's points, arriving in time order, to at most two per slice of W pixel
// columns: the extreme reached first at the slice's x and the one reached last at x + W div 2.
// The points go out in chunks of at most 500; each chunk after the first begins with the last
// point of the one before, so the chunks join. A gap ends the chunk.
class TSliceReducer {
public:
  using TChunkEvent = std::function<void(const std::vector<TPoint>& points)>;
  TSliceReducer(int slice_width, TChunkEvent on_chunk);
  void Add(int x, int y);
  // Add(x, map(v)) for a map whose pixels never fall as rising * v grows (rising 1 or -1). A
  // value that lies among values known to map between the slice's extremes cannot change them
  // and is not mapped at all.
  void AddValue(int x, double v, const TValuePixelMap& map, double rising) {
    const double u = rising * v;
    if (open_ && x < sx_ + width_ && low_u_ <= u && u <= high_u_) return;
    AddMapped(x, u, map(v), map, rising);
  }
  // AddValue's test for a value it need not map, for a caller's loop: x below x_limit and the
  // value (times rising) from low to high. Valid until the next call that adds or breaks.
  void FastRange(int& x_limit, double& low, double& high) const {
    x_limit = open_ ? sx_ + width_ : std::numeric_limits<int>::min();
    low = low_u_;
    high = high_u_;
  }
  // A missing value or stamp: the curve is broken here.
  void Break();
  // After the last record: the curve ends at LastPoint.
  void Finish();
  TPoint LastPoint{-1, -1};
  static constexpr size_t kChunkPoints = 500;

private:
  void EmitSlice();
  void Flush();
  // Add, widening the range of values known to map between the extremes.
  void AddMapped(int x, double u, int y, const TValuePixelMap& map, double rising);
  // A value (times rising) on pixel y near its lower (side -1) or upper (side 1) edge, or known
  // when the map does not confirm it.
  static double PixelEnd(int y, int side, double known, const TValuePixelMap& map, double rising);
  int width_, half_;
  bool open_ = false;
  int sx_ = 0, top_ = 0, bottom_ = 0;
  bool top_last_ = false;
  // Every value (times rising) from low_u_ to high_u_ maps between top_ and bottom_ (the map
  // being monotonic); an empty range (+inf to -inf) when none is known.
  static constexpr double kInf = std::numeric_limits<double>::infinity();
  double low_u_ = kInf, high_u_ = -kInf;
  std::vector<TPoint> buffer_;
  TChunkEvent on_chunk_;
};

// Slice width for a box width and a maximum of dots per curve: ceil(2 x width / dots), or
// ceil(width / 20) for fewer than 40 dots; at least 2.
int SliceWidth(int width, int max_dots);

class TPlotBox : public TCustomControl {
public:
  // ticks: the clock of the right-click timer (tests set their own).
  TPlotBox(TComponent* owner, TAxisScale* right_axis, TAxisScale* left_axis, TAxisScale* time_axis,
           const TTickSource& ticks = DefaultTickSource());
  ~TPlotBox() override;
  std::string ClassName() const override { return "TPlotBox"; }

  TAxisScale* RightAxis;
  TAxisScale* LeftAxis;
  TAxisScale* TimeAxis;
  TGlobChanList* ChanList = nullptr;
  bool LeftGrid() const { return left_grid_; }
  void SetLeftGrid(bool v);
  bool RightGrid() const { return right_grid_; }
  void SetRightGrid(bool v);
  int CurvePenWidth = 2;
  // The resolution of the canvas painted on (a printer's is higher); the hatching scales with it.
  int PixelsPerInch = kScreenPixelsPerInch;
  TNotifyEvent OnPaint;

  static int GetMaxDotsPerCurve();
  // Values below 40 are stored as 40.
  static void SetMaxDotsPerCurve(int dots);

  virtual void DrawXGrid(int offset);
  virtual void DrawLeftYGrid(int offset);
  virtual void DrawRightYGrid(int offset);
  virtual void ZoomClick(uint8_t kind, int x, int y);
  void DrawAlarmLimits(TCanvas& canvas);
  // The canvas grids, limits and curves go to: the paint canvas while painting.
  TCanvas& DrawCanvas() { return draw_canvas_ ? *draw_canvas_ : Canvas(); }

  // Left double click zooms in at the pointer (with Shift: out), right double click zooms out.
  void WndProc(TMessage& m) override;
  // A right click shows the popup menu only after the double-click time, so that a right double
  // click can zoom out without a menu.
  bool RightClickPending = false;
  bool RightDoubleClicked = false;
  // The idle task of a pending right click; answers true (done) once the time is over.
  bool RightClickIdle();
  TTimer2& RightClickTimer() { return *timer_; }

protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DrawYGrid(TAxisScale* axis, int offset);
  // A grid line of width n as n one-pixel lines at offsets 0, -1, +1, -2 ...
  void GridLine(TCanvas& c, bool horizontal, int pos, int n);
  TCanvas* draw_canvas_ = nullptr;

private:
  void ContextMenu(TMessage& m) override;
  bool left_grid_ = false, right_grid_ = false;
  std::unique_ptr<TTimer2> timer_;
  bool has_saved_menu_ = false;
  TMessage saved_menu_{};
};

class TDtPlotBox : public TPlotBox {
public:
  using TPlotBox::TPlotBox;
  std::string ClassName() const override { return "TDtPlotBox"; }

  void DrawXGrid(int offset) override;
  void ZoomClick(uint8_t kind, int x, int y) override;
  // Draws the newest record of the data set onto every visible curve that uses it.
  void OnlineInsert(TDtData* data);

  std::function<void(TComponent* sender, uint8_t kind, const TDtStamp& stamp)> OnZoomRequest;

  // Paints the whole box onto a canvas of its size (the window's, a bitmap's or a recorder's).
  void PaintOn(TCanvas& canvas);

protected:
  void Paint() override;

private:
  TDtAxisScale* DtAxis() const;
};

}  // namespace qv
