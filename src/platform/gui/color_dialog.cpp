#include "platform/gui/color_dialog.h"

#include <QColorDialog>
#include <cstdio>

#include "platform/gui/common_dialogs.h"
#include "platform/gui/qt_private.h"

namespace qv {

namespace {
TColorDialogHook& Hook() {
  static TColorDialogHook hook;
  return hook;
}
}  // namespace

void SetColorDialogHook(TColorDialogHook hook) { Hook() = std::move(hook); }

bool TColorDialog::Execute() {
  QV_GUI_THREAD();
  if (Hook()) return Hook()(*this);
  EnsureGui();
  for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
    std::string v = custom_colors_.Values(std::string("Color") + static_cast<char>('A' + i));
    if (v.empty()) continue;
    char* end = nullptr;
    unsigned long c = std::strtoul(v.c_str(), &end, 16);
    if (end && *end == 0) QColorDialog::setCustomColor(i, ToQColor(static_cast<TColor>(c & 0xFFFFFF)));
  }
  QColorDialog dlg(ToQColor(color_));
  dlg.setOption(QColorDialog::DontUseNativeDialog, true);
  ApplyTexts(TCommonDialogCode::cdcColor, dlg, Title);
  bool read_back = false;
  const bool accepted = RunCommonDialog(*this, dlg, read_back);
  const QColor chosen = read_back ? dlg.selectedColor() : QColor();
  for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X",
                  static_cast<unsigned>(FromQRgb(QColorDialog::customColor(i).rgb())) & 0xFFFFFFu);
    custom_colors_.SetValues(std::string("Color") + static_cast<char>('A' + i), buf);
  }
  if (!accepted) return false;
  // A stand-in for the user has set the colour itself.
  if (chosen.isValid()) color_ = FromQRgb(chosen.rgb());
  return true;
}

}  // namespace qv
