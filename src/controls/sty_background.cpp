#include "controls/sty_background.h"

#include <algorithm>

#include "controls/sty_messages.h"

namespace qv {

TStyCustomBackground::TStyCustomBackground(TComponent* owner)
    : TGraphicControl(owner), start_rgb_(ColorToRGB(clHotLight)), stop_rgb_(ColorToRGB(clActiveCaption)) {
  control_style_ &= ~csOpaque;
  SetBounds(0, 0, 200, 100);
  image_.OnChange = [this](TBitmap*) {
    if (show_image_) RepaintBackground();
  };
  texture_.OnChange = [this](TBitmap*) {
    if (show_texture_) RepaintBackground();
  };
}

void TStyCustomBackground::RepaintBackground() { Invalidate(); }

int TStyCustomBackground::FrameInset() const {
  switch (frame_style_) {
    case TFrameStyleEx::fsNone: return 0;
    case TFrameStyleEx::fsFlat:
    case TFrameStyleEx::fsStatus:
    case TFrameStyleEx::fsPopup: return 1;
    default: return 2;
  }
}

void TStyCustomBackground::PaintTextureLayer(TCanvas& canvas, const TBitmap& picture) {
  // Every picture here is a bitmap, which tiles.
  TileGraphic(canvas, picture, ClientRect());
}

void TStyCustomBackground::PaintGradientLayer(TCanvas& canvas) {
  if (!active_) return;
  // An image that covers everything hides the gradient anyway.
  if (show_image_ && (image_style_ == TImageStyle::isStretch || image_style_ == TImageStyle::isTiled)) return;
  DrawGradientArea(canvas, Rect(0, 0, Width(), Height()), gradient_direction_, gradient_color_start_,
                   gradient_color_stop_, gradient_smooth_factor_);
}

void TStyCustomBackground::PaintImageLayer(TCanvas& canvas, const TBitmap& picture) {
  const int iw = picture.Width(), ih = picture.Height();
  switch (image_style_) {
    case TImageStyle::isCenter: canvas.Draw((Width() - iw) / 2, (Height() - ih) / 2, picture); break;
    case TImageStyle::isClip: canvas.Draw(0, 0, picture); break;
    case TImageStyle::isFill: {
      if (iw <= 0 || ih <= 0) break;
      // Stretched as far as the control allows, keeping the aspect ratio.
      const double a = static_cast<double>(ih) / iw;
      int w, h;
      if (a <= static_cast<double>(Height()) / Width()) {
        w = Width();
        h = static_cast<int>(Width() * a);
      } else {
        h = Height();
        w = static_cast<int>(Height() / a);
      }
      canvas.StretchDraw(Rect(0, 0, w, h), picture);
      break;
    }
    case TImageStyle::isStretch: canvas.StretchDraw(ClientRect(), picture); break;
    case TImageStyle::isTiled:
      canvas.Draw(0, 0, picture);
      ReplicateStrip(canvas, 0, 0, ih, iw, Height(), Width());
      break;
  }
}

void TStyCustomBackground::ComposePicture(TCanvas& canvas) {
  if (show_texture_) PaintTextureLayer(canvas, texture_);
  if (show_gradient_) PaintGradientLayer(canvas);
  if (show_image_ && !image_.Empty()) PaintImageLayer(canvas, image_);
}

void TStyCustomBackground::Paint() {
  if (Width() < 5 || Height() < 5) SetBounds(Left(), Top(), std::max(Width(), 5), std::max(Height(), 5));
  TBitmap picture(Width(), Height());
  ComposePicture(picture.Canvas());
  TCanvas& c = Canvas();
  const int f = FrameInset();
  c.Draw(f, f, picture);
  if (frame_style_ == TFrameStyleEx::fsFlat)
    PaintSides(c, ClientRect(), frame_color_, sdAllSides, frame_color_);
  else
    PaintFrame(c, ClientRect(), frame_style_);
}

#define QV_BACKGROUND_SETTER(Name, Type, field)  \
  void TStyCustomBackground::Set##Name(Type v) { \
    if (v == field) return;                      \
    field = v;                                   \
    RepaintBackground();                         \
  }
QV_BACKGROUND_SETTER(Active, bool, active_)
QV_BACKGROUND_SETTER(FrameColor, TColor, frame_color_)
QV_BACKGROUND_SETTER(FrameStyle, TFrameStyle, frame_style_)
QV_BACKGROUND_SETTER(GradientDirection, TGradientDirection, gradient_direction_)
QV_BACKGROUND_SETTER(ShowImage, bool, show_image_)
#undef QV_BACKGROUND_SETTER

void TStyCustomBackground::SetGradientSmoothFactor(uint8_t v) {
  v = std::clamp<uint8_t>(v, 1, 8);
  if (v == gradient_smooth_factor_) return;
  gradient_smooth_factor_ = v;
  RepaintBackground();
}

void TStyCustomBackground::SetGradientColorStart(TColor v) {
  if (v == start_rgb_) return;
  start_rgb_ = ColorToRGB(v);
  gradient_color_start_ = v;
  RepaintBackground();
}

void TStyCustomBackground::SetGradientColorStop(TColor v) {
  if (v == stop_rgb_) return;
  stop_rgb_ = ColorToRGB(v);
  gradient_color_stop_ = v;
  RepaintBackground();
}

void TStyCustomBackground::SetImageStyle(TImageStyle v) {
  if (v == image_style_) return;
  image_style_ = v;
  if (show_image_) RepaintBackground();
}

// Texture and gradient exclude each other.
void TStyCustomBackground::SetShowTexture(bool v) {
  if (v == show_texture_) return;
  show_texture_ = v;
  show_gradient_ = !v;
  RepaintBackground();
}

void TStyCustomBackground::SetShowGradient(bool v) {
  if (v == show_gradient_) return;
  show_gradient_ = v;
  if (v)
    show_texture_ = false;
  else if (!show_image_)
    show_texture_ = true;
  RepaintBackground();
}

}  // namespace qv
