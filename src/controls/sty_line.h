#pragma once
// A windowless straight line across the control's bounds with optional arrowheads, hit only
// near the line.
#include <string>

#include "platform/gui/controls.h"

namespace qv {

enum class TStyLineSlope : uint8_t { lsDown, lsUp };
enum class TStyShowArrows : uint8_t { saNone, saStart, saEnd, saBoth };

class TStyLine : public TGraphicControl {
public:
  explicit TStyLine(TComponent* owner);
  std::string ClassName() const override { return "TStyLine"; }

  int ArrowLength() const { return arrow_length_; }
  virtual void SetArrowLength(int v);
  TColor LineColor() const { return line_color_; }
  virtual void SetLineColor(TColor v);
  TStyLineSlope LineSlope() const { return line_slope_; }
  virtual void SetLineSlope(TStyLineSlope v);
  TPenStyle LineStyle() const { return line_style_; }
  virtual void SetLineStyle(TPenStyle v);
  int LineWidth() const { return line_width_; }
  virtual void SetLineWidth(int v);
  TStyShowArrows ShowArrows() const { return show_arrows_; }
  virtual void SetShowArrows(TStyShowArrows v);

  TPoint StartPoint() const { return start_; }
  TPoint EndPoint() const { return end_; }
  int Margin() const { return margin_; }

  // A size below twice the margin is raised to it.
  void SetBounds(int left, int top, int width, int height) override;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

protected:
  void Paint() override;
  void CMHitTest(TMessage& m) override;
  void CMMouseEnter(TMessage&) override;
  void CMMouseLeave(TMessage&) override;

private:
  void UpdatePoints();
  bool HasArrow(bool at_start) const;

  int margin_ = 10;
  TPoint start_, end_;
  TColor line_color_ = clWindowText;
  TStyLineSlope line_slope_ = TStyLineSlope::lsDown;
  TPenStyle line_style_ = TPenStyle::psSolid;
  int line_width_ = 1;
  int arrow_length_ = 10;
  TStyShowArrows show_arrows_ = TStyShowArrows::saNone;
};

}  // namespace qv
