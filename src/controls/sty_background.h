#pragma once
// A windowless decorative background from up to three layers (a tiled texture, a colour gradient
// and an image) under an optional frame.
#include <string>

#include "controls/gradients.h"

namespace qv {

enum class TImageStyle : uint8_t { isCenter, isClip, isFill, isStretch, isTiled };

class TStyCustomBackground : public TGraphicControl {
public:
  explicit TStyCustomBackground(TComponent* owner);
  std::string ClassName() const override { return "TStyCustomBackground"; }

  virtual void RepaintBackground();
  virtual void PaintGradientLayer(TCanvas& canvas);
  virtual void PaintImageLayer(TCanvas& canvas, const TBitmap& picture);
  virtual void PaintTextureLayer(TCanvas& canvas, const TBitmap& picture);
  // Paints the shown layers on canvas over the control's size.
  void ComposePicture(TCanvas& canvas);
  // The frame's width: the composed picture is shifted by it.
  int FrameInset() const;

  bool Active() const { return active_; }
  virtual void SetActive(bool v);
  TColor GradientColorStart() const { return gradient_color_start_; }
  virtual void SetGradientColorStart(TColor v);
  TColor GradientColorStop() const { return gradient_color_stop_; }
  virtual void SetGradientColorStop(TColor v);
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor v);
  TFrameStyle FrameStyle() const { return frame_style_; }
  virtual void SetFrameStyle(TFrameStyle v);
  TGradientDirection GradientDirection() const { return gradient_direction_; }
  virtual void SetGradientDirection(TGradientDirection v);
  // 1 to 8.
  uint8_t GradientSmoothFactor() const { return gradient_smooth_factor_; }
  virtual void SetGradientSmoothFactor(uint8_t v);
  TBitmap& Image() { return image_; }
  virtual void SetImage(const TBitmap& v) { image_.Assign(v); }
  TImageStyle ImageStyle() const { return image_style_; }
  virtual void SetImageStyle(TImageStyle v);
  bool ShowGradient() const { return show_gradient_; }
  virtual void SetShowGradient(bool v);
  bool ShowImage() const { return show_image_; }
  virtual void SetShowImage(bool v);
  bool ShowTexture() const { return show_texture_; }
  virtual void SetShowTexture(bool v);
  TBitmap& Texture() { return texture_; }
  virtual void SetTexture(const TBitmap& v) { texture_.Assign(v); }

protected:
  void Paint() override;

private:
  bool active_ = true;
  TFrameStyle frame_style_ = TFrameStyleEx::fsNone;
  TColor frame_color_ = clBtnShadow;
  TColor start_rgb_;
  TColor gradient_color_start_ = clHotLight;
  TColor stop_rgb_;
  TColor gradient_color_stop_ = clActiveCaption;
  TGradientDirection gradient_direction_ = TGradientDirection::gdHorizontalEnd;
  uint8_t gradient_smooth_factor_ = 1;
  bool show_gradient_ = true;
  TBitmap image_;
  bool show_image_ = false;
  TImageStyle image_style_ = TImageStyle::isCenter;
  TBitmap texture_;
  bool show_texture_ = false;
};

class TStyBackground : public TStyCustomBackground {
public:
  using TStyCustomBackground::TStyCustomBackground;
  std::string ClassName() const override { return "TStyBackground"; }
};

}  // namespace qv
