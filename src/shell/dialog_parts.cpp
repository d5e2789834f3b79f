#include "shell/dialog_parts.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/gui/graphics.h"

namespace qv {

TButton* MakeDlgButton(TForm* form, const std::string& key, int modal_result) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetText(LoadResString(key));
  b->SetModalResult(modal_result);
  b->SetBounds(0, 0, DlgButtonWidth, DlgButtonHeight);
  NoteActivityOnMouse(b);
  return b;
}

TLabel* MakeDlgLabel(TForm* form, const std::string& key, int left, int top, int width) {
  auto* l = new TLabel(form);
  l->SetParent(form);
  l->SetWordWrap(true);
  l->SetBounds(left, top, width, 13);
  l->SetText(LoadResString(key));
  return l;
}

void NoteActivityOnMouse(TControl* control) {
  control->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
}

int DlgTextWidth(const TControl* control, const std::string& text) {
  TCanvas& canvas = ScreenCanvas();
  canvas.Font().Assign(control->Font());
  return canvas.TextWidth(text);
}

void PlaceDlgButtons(int left, int top, std::initializer_list<TButton*> buttons) {
  for (TButton* b : buttons) {
    if (!b->Visible()) continue;
    b->SetBounds(left, top, DlgButtonWidth, DlgButtonHeight);
    left += DlgButtonWidth + DlgButtonGap;
  }
}

}  // namespace qv
