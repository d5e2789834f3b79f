#pragma once
// The desktop's colour dialog with the 16 custom colours as "ColorA=" to "ColorP=" lines, each
// value a colour (red in the low byte) in hexadecimal.
#include <cstdint>
#include <functional>

#include "platform/gui/common_dialogs.h"
#include "platform/gui/graphics.h"
#include "platform/rtl/component.h"
#include "platform/rtl/string_list.h"

namespace qv {

enum TColorDialogOption : uint8_t {
  cdFullOpen = 1,
  cdPreventFullOpen = 2,
  cdShowHelp = 4,
  cdSolidColor = 8,
  cdAnyColor = 16
};
using TColorDialogOptions = uint8_t;

class TColorDialog : public TCommonDialog {
public:
  explicit TColorDialog(TComponent* owner) : TCommonDialog(owner) {}
  std::string ClassName() const override { return "TColorDialog"; }
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TStringList& CustomColors() { return custom_colors_; }
  TColorDialogOptions Options() const { return options_; }
  void SetOptions(TColorDialogOptions o) { options_ = o; }
  // Shows the dialog; true when the user chose a colour.
  bool Execute() override;

private:
  TColor color_ = clBlack;
  TStringList custom_colors_;
  TColorDialogOptions options_ = 0;
};

// Tests answer the dialog: the hook runs instead of it and answers as Execute does.
using TColorDialogHook = std::function<bool(TColorDialog& dialog)>;
void SetColorDialogHook(TColorDialogHook hook);

}  // namespace qv
