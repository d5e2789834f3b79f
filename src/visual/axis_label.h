#pragma once
// Axis labels: the values of an axis's major ticks beside it, the two rows of time texts under a
// time axis (the fine row at each tick, the coarse row naming years, months or days), and the
// caption strip that names each Y axis's unit with a coloured dot per visible curve.
#include <string>

#include "platform/gui/controls.h"

namespace qv {

class TAxisScale;
class TDtAxisScale;
class TGlobChanList;

class TAxisLabel : public TGraphicControl {
public:
  // A null axis raises "Error in TAxisLabel.Create: Axis has to be created prior to AxisLabel".
  TAxisLabel(TComponent* owner, TAxisScale* axis);
  std::string ClassName() const override { return "TAxisLabel"; }

  TAxisScale* Axis() const { return axis_; }
  int PixelOffset = 0;
  TNotifyEvent OnPaint;

  virtual void RegisterLabelSize();
  virtual void FontChanged();
  // Pixels a vertical label column needs.
  virtual int LabelWidth();
  int RequiredSize();
  // The height of one label text in the label font.
  int TextHeight();
  // The text of a numeric label: fixed-point, right-justified in the field width.
  static std::string ValueText(double v, int width, int decimals);

protected:
  void Paint() override;
  void CMFontChanged(TMessage& m) override;
  void ReportLabelSize(int& height, int& width);
  // The label's extent along its axis.
  int Extent() const;
  // Writes text centred (horizontal axes) or beside the axis (vertical) at axis pixel p.
  void PutText(int p, const std::string& text, bool always);

  TAxisScale* axis_;
};

// The fine row of a time axis.
class TDt1AxisLabel : public TAxisLabel {
public:
  TDt1AxisLabel(TComponent* owner, TDtAxisScale* axis);
  std::string ClassName() const override { return "TDt1AxisLabel"; }
  int LabelWidth() override;
  // The format of the fine texts at a zoom level.
  static std::string FineFormat(int zoom_level);

protected:
  void Paint() override;
  TDtAxisScale* DtAxis() const;
};

// The coarse row of a time axis; it reports no label metrics (the fine row does).
class TDt2AxisLabel : public TDt1AxisLabel {
public:
  TDt2AxisLabel(TComponent* owner, TDtAxisScale* axis);
  std::string ClassName() const override { return "TDt2AxisLabel"; }
  void RegisterLabelSize() override;

protected:
  void Paint() override;
};

class TYAxCaption : public TGraphicControl {
public:
  explicit TYAxCaption(TComponent* owner);
  std::string ClassName() const override { return "TYAxCaption"; }
  const std::string& Captions(int index) const { return captions_[index == 1 ? 1 : 0]; }
  void SetCaption(int index, const std::string& text);
  TGlobChanList* ChanList = nullptr;
  bool AutoHeight = true;
  virtual void AdjustHeight();
  TNotifyEvent OnPaint;

protected:
  void Paint() override;
  void CMFontChanged(TMessage& m) override;

private:
  std::string captions_[2];
};

}  // namespace qv
