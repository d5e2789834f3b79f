#pragma once
// The styled label: framed, three-dimensional, rotated or arc text that can blink and change
// colour while the mouse is over it.
#include <string>

#include "controls/sty_frame_controller.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

enum class TStyCondenseCaption : uint8_t { ccNone, ccAtEnd, ccWithinPath };
enum class TCenterPoint : uint8_t {
  cpUpperLeft,
  cpUpperCenter,
  cpUpperRight,
  cpLeftCenter,
  cpCenter,
  cpRightCenter,
  cpLowerLeft,
  cpLowerCenter,
  cpLowerRight
};
enum class TRotation : uint8_t { roNone, roFlat, roCurve };

class TStyLabel : public TCustomLabel, public IFrameControllerClient {
public:
  explicit TStyLabel(TComponent* owner);
  ~TStyLabel() override;
  std::string ClassName() const override { return "TStyLabel"; }

  void ControllerChanged() override;
  // The client rectangle less the border width and the frames: where the text goes.
  virtual TRect ContentRect() const;

  int Angle() const { return angle_; }
  virtual void SetAngle(int v);
  bool Blinking() const { return blinking_; }
  virtual void SetBlinking(bool v);
  TColor BlinkColor() const { return blink_color_; }
  virtual void SetBlinkColor(TColor v);
  // Shared by every blinking control.
  uint16_t BlinkIntervalOff() const;
  virtual void SetBlinkIntervalOff(uint16_t ms);
  uint16_t BlinkIntervalOn() const;
  virtual void SetBlinkIntervalOn(uint16_t ms);
  int BevelWidth() const { return bevel_width_; }
  virtual void SetBevelWidth(int v);
  TColor BorderColor() const { return border_color_; }
  virtual void SetBorderColor(TColor v);
  TFrameStyleEx BorderInner() const { return border_inner_; }
  virtual void SetBorderInner(TFrameStyleEx v);
  TFrameStyleEx BorderOuter() const { return border_outer_; }
  virtual void SetBorderOuter(TFrameStyleEx v);
  TSides BorderSides() const { return border_sides_; }
  virtual void SetBorderSides(TSides v);
  TColor BorderHighlight() const { return border_highlight_; }
  virtual void SetBorderHighlight(TColor v);
  TColor BorderShadow() const { return border_shadow_; }
  virtual void SetBorderShadow(TColor v);
  int BorderWidth() const { return border_width_; }
  virtual void SetBorderWidth(int v);
  TStyCondenseCaption CondenseCaption() const { return condense_caption_; }
  virtual void SetCondenseCaption(TStyCondenseCaption v);
  TColor FlatColor() const { return flat_color_; }
  virtual void SetFlatColor(TColor v);
  int FlatColorAdjustment() const { return flat_color_adjustment_; }
  virtual void SetFlatColorAdjustment(int v);
  TStyFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TStyFrameController* fc);
  TCenterPoint CenterPoint() const { return center_point_; }
  virtual void SetCenterPoint(TCenterPoint v);
  TColor FlyByColor() const { return fly_by_color_; }
  virtual void SetFlyByColor(TColor v);
  bool FlyByEnabled() const { return fly_by_enabled_; }
  virtual void SetFlyByEnabled(bool v);
  bool LightTextStyle() const { return light_text_style_; }
  virtual void SetLightTextStyle(bool v);
  TRotation Rotation() const { return rotation_; }
  virtual void SetRotation(TRotation v);
  TTextStyle TextStyle() const { return text_style_; }
  virtual void SetTextStyle(TTextStyle v);
  TColor HighlightColor() const { return highlight_color_; }
  virtual void SetHighlightColor(TColor v);
  TColor ShadowColor() const { return shadow_color_; }
  virtual void SetShadowColor(TColor v);
  int ShadowDepth() const { return shadow_depth_; }
  virtual void SetShadowDepth(int v);
  // The colour the caption is drawn in now.
  TColor CurrentTextColor() const { return current_color_; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void WndProc(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;
  void AdjustBounds() override;

protected:
  void Paint() override;

private:
  uint32_t LabelTextFlags() const;
  // Draws the caption in colour at rect moved by (dx, dy).
  void TextCopy(TCanvas& c, const TRect& rect, uint32_t flags, int dx, int dy, TColor color);
  void DrawFlatText(TCanvas& c, const TRect& area);
  void DrawRotatedText(TCanvas& c, const TRect& area);
  void DrawArcText(TCanvas& c);
  // Draws the 3D copies and the text at (x, y) with the canvas's current font and alignment.
  void PointCopies(TCanvas& c, int x, int y, const std::string& text, int shadow_offset);

  int angle_ = 0;
  bool blinking_ = false;
  TColor blink_color_ = clHighlight;
  int bevel_width_ = 1;
  TFrameStyleEx border_inner_ = TFrameStyleEx::fsNone;
  TFrameStyleEx border_outer_ = TFrameStyleEx::fsNone;
  TSides border_sides_ = sdAllSides;
  TColor border_color_ = clBtnFace;
  TColor border_highlight_ = clBtnHighlight;
  TColor border_shadow_ = clBtnShadow;
  int border_width_ = 0;
  TStyCondenseCaption condense_caption_ = TStyCondenseCaption::ccNone;
  TColor flat_color_ = clBtnShadow;
  int flat_color_adjustment_ = 30;
  TStyFrameController* frame_controller_ = nullptr;
  TCenterPoint center_point_ = TCenterPoint::cpCenter;
  TColor fly_by_color_ = clHighlight;
  bool fly_by_enabled_ = false;
  bool fly_by_active_ = false;
  TColor fly_by_saved_ = clWindowText;
  bool light_text_style_ = false;
  TRotation rotation_ = TRotation::roNone;
  TColor highlight_color_ = clBtnHighlight;
  TColor shadow_color_ = clBtnShadow;
  int shadow_depth_ = 2;
  TTextStyle text_style_ = TTextStyle::tsNormal;
  TColor normal_color_;
  TColor current_color_;
  bool initialising_color_ = false;
};

}  // namespace qv
