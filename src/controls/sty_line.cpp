#include "controls/sty_line.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "controls/sty_messages.h"
#include "controls/sty_round.h"

namespace qv {

TStyLine::TStyLine(TComponent* owner) : TGraphicControl(owner) { UpdatePoints(); }

void TStyLine::UpdatePoints() {
  if (line_slope_ == TStyLineSlope::lsDown) {
    start_ = {margin_, margin_};
    end_ = {Width() - margin_, Height() - margin_};
  } else {
    start_ = {margin_, Height() - margin_};
    end_ = {Width() - margin_, margin_};
  }
}

void TStyLine::SetBounds(int left, int top, int width, int height) {
  TGraphicControl::SetBounds(left, top, std::max(width, 2 * margin_), std::max(height, 2 * margin_));
  UpdatePoints();
}

bool TStyLine::HasArrow(bool at_start) const {
  return show_arrows_ == TStyShowArrows::saBoth ||
         show_arrows_ == (at_start ? TStyShowArrows::saStart : TStyShowArrows::saEnd);
}

void TStyLine::SetArrowLength(int v) {
  v = std::max(v, 0);  // a negative length would put the ends outside the control
  if (v == arrow_length_) return;
  arrow_length_ = v;
  margin_ = v / 2;
  SetBounds(Left(), Top(), Width(), Height());
  UpdatePoints();
  Invalidate();
}

QV_STY_REPAINT_SETTER(TStyLine, LineColor, TColor, line_color_)
QV_STY_REPAINT_SETTER(TStyLine, LineStyle, TPenStyle, line_style_)
QV_STY_REPAINT_SETTER(TStyLine, ShowArrows, TStyShowArrows, show_arrows_)

void TStyLine::SetLineSlope(TStyLineSlope v) {
  if (v == line_slope_) return;
  line_slope_ = v;
  UpdatePoints();
  Invalidate();
}

void TStyLine::SetLineWidth(int v) {
  if (v == line_width_) return;
  // With arrowheads the width stays odd, so the line ends in the middle of the arrowhead.
  if (show_arrows_ != TStyShowArrows::saNone && v % 2 == 0) v += v > line_width_ ? 1 : -1;
  line_width_ = std::max(v, 1);
  Invalidate();
}

void TStyLine::Paint() {
  TCanvas& c = Canvas();
  const double pi = std::numbers::pi;
  const bool vertical = start_.X == end_.X;
  const double theta =
      vertical ? pi / 2 : std::atan(static_cast<double>(end_.Y - start_.Y) / static_cast<double>(end_.X - start_.X));
  // A vertical rising line runs from the bottom up: its offsets point the other way.
  const int sign = line_slope_ == TStyLineSlope::lsUp && theta == pi / 2 ? -1 : 1;
  TPoint from = start_, to = end_;
  if (show_arrows_ != TStyShowArrows::saNone) {
    const int h = arrow_length_ / 2;
    TPoint d{sign * RoundHalfEven(std::cos(theta) * h), sign * RoundHalfEven(std::sin(theta) * h)};
    if (HasArrow(true)) from = {start_.X + d.X, start_.Y + d.Y};
    if (HasArrow(false)) to = {end_.X - d.X, end_.Y - d.Y};
  }
  c.Brush().Style = TBrushStyle::bsClear;
  c.Pen().Color = line_color_;
  c.Pen().Style = line_style_;
  c.Pen().Width = line_width_;
  c.MoveTo(from.X, from.Y);
  c.LineTo(to.X, to.Y);
  if (show_arrows_ != TStyShowArrows::saNone) {
    const double len = arrow_length_;
    TPoint a{sign * RoundHalfEven(std::cos(theta - pi / 8) * len),
             sign * RoundHalfEven(std::sin(theta - pi / 8) * len)};
    TPoint b{sign * RoundHalfEven(std::cos(theta + pi / 8) * len),
             sign * RoundHalfEven(std::sin(theta + pi / 8) * len)};
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = line_color_;
    c.Pen().Style = TPenStyle::psSolid;
    c.Pen().Width = 1;
    if (HasArrow(true)) c.Polygon({start_, {start_.X + b.X, start_.Y + b.Y}, {start_.X + a.X, start_.Y + a.Y}});
    if (HasArrow(false)) c.Polygon({end_, {end_.X - b.X, end_.Y - b.Y}, {end_.X - a.X, end_.Y - a.Y}});
  }
  c.Pen().Width = 1;
  c.Pen().Style = TPenStyle::psSolid;
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyLine::CMHitTest(TMessage& m) {
  const TPoint p{LoWordSigned(m.LParam), HiWordSigned(m.LParam)};
  const int t = std::max(line_width_ / 2, 4);
  m.Result = HTNOWHERE;
  TRect band = ClientRect();
  InflateRect(band, -(margin_ - t), -(margin_ - t));
  if (!band.Contains(p)) return;
  if (start_.X == end_.X) {
    if (std::abs(p.X - start_.X) <= t) m.Result = HTCLIENT;
    return;
  }
  const double slope = static_cast<double>(end_.Y - start_.Y) / static_cast<double>(end_.X - start_.X);
  auto at = [&](int ox, int oy) { return RoundHalfEven(slope * (p.X + ox - start_.X) + oy + start_.Y); };
  // The two bounds are the line moved by t across itself, both ways. (Moving a falling line by
  // (-t, -t) or a rising one by (t, -t) would move it along itself at 45 degrees and leave no
  // band to hit.)
  int y1, y2;
  if (line_slope_ == TStyLineSlope::lsDown) {
    y1 = at(t, t);
    y2 = at(-t, -t);
  } else {
    y1 = at(-t, t);
    y2 = at(t, -t);
  }
  if (p.Y >= std::min(y1, y2) && p.Y <= std::max(y1, y2)) m.Result = HTCLIENT;
}

void TStyLine::CMMouseEnter(TMessage&) {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TStyLine::CMMouseLeave(TMessage&) {
  if (OnMouseLeave) OnMouseLeave(this);
}

}  // namespace qv
