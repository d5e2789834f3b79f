// The input controls in their states: normal, focused (hot frame), disabled, read-only, with
// groups, tab stops, check states and radio glyphs.
#include "gallery_inputs.h"

#include "controls/sty_check_list.h"
#include "controls/sty_color_combo_box.h"
#include "controls/sty_combo_box.h"
#include "controls/sty_edit.h"
#include "controls/sty_list_box.h"
#include "controls/sty_panel.h"
#include "controls/sty_radio_group.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

namespace {
void Caption(TWinControl* parent, int x, int y, const char* text) {
  auto* l = new TLabel(parent);
  l->SetCaption(text);
  l->SetLeft(x);
  l->SetTop(y);
  l->SetParent(parent);
}
}  // namespace

void BuildInputsGallery(TForm* form) {
  constexpr int kHeight = 290;
  form->SetHeight(form->Height() + kHeight);
  auto* page = new TStyPanel(form);
  page->SetBorderOuter(TFrameStyleEx::fsGroove);
  page->SetHeight(kHeight);
  page->SetAlign(TAlign::alBottom);
  page->SetParent(form);

  // Edits and spin edits.
  Caption(page, 8, 6, "Edits");
  auto* edit = new TStyEdit(form);
  edit->SetText("Cellar sensor");
  edit->SetBounds(8, 24, 130, 21);
  edit->SetParent(page);
  auto* hot = new TStyEdit(form);
  hot->SetFrameHotTrack(true);
  hot->SetFocusColor(clInfoBk);
  hot->SetText("Hot frame (focus)");
  hot->SetBounds(8, 50, 130, 21);
  hot->SetParent(page);
  auto* flat = new TStyEdit(form);
  flat->SetFrameVisible(true);
  flat->SetFrameStyle(TFrameStyleEx::fsStatus);
  flat->SetAlignment(TAlignment::taRightJustify);
  flat->SetText("Right, status");
  flat->SetBounds(8, 76, 130, 21);
  flat->SetParent(page);
  auto* off = new TStyEdit(form);
  off->SetText("Disabled");
  off->SetBounds(8, 102, 130, 21);
  off->SetParent(page);
  off->SetEnabled(false);
  Caption(page, 8, 130, "Spin edits");
  auto* spin = new TStySpinEdit(form);
  spin->SetMax(12);
  spin->SetValue(7);
  spin->SetBounds(8, 148, 60, 21);
  spin->SetParent(page);
  auto* margin = new TStySpinEdit(form);
  margin->SetIntegersOnly(false);
  margin->SetDecimals(2);
  margin->SetMax(6);
  margin->SetIncrement(0.1);
  margin->SetValue(2.5);
  margin->SetFrameVisible(true);
  margin->SetFlatButtons(true);
  margin->SetBounds(76, 148, 62, 21);
  margin->SetParent(page);
  auto* spin_off = new TStySpinEdit(form);
  spin_off->SetValue(3);
  spin_off->SetBounds(8, 176, 60, 21);
  spin_off->SetParent(page);
  spin_off->SetEnabled(false);
  auto* across = new TStySpinEdit(form);
  across->SetOrientation(TOrientation::orHorizontal);
  across->SetDirection(TSpinDirection::sdLeftRight);
  across->SetValue(42);
  across->SetBounds(76, 176, 62, 21);
  across->SetParent(page);

  // Combo boxes.
  Caption(page, 150, 6, "Combo boxes");
  auto* combo = new TStyComboBox(form);
  for (const char* s : {"Alpha", "Beta", "Gamma"}) combo->AddItem(s);
  combo->SetItemIndex(1);
  combo->SetBounds(150, 24, 140, 21);
  combo->SetParent(page);
  auto* framed = new TStyComboBox(form);
  framed->SetStyle(TComboBoxStyle2::csDropDownList);
  for (const char* s : {"1 minute", "10 minutes", "1 hour"}) framed->AddItem(s);
  framed->SetItemIndex(0);
  framed->SetFrameVisible(true);
  framed->SetFlatButtons(true);
  framed->SetBounds(150, 50, 140, 21);
  framed->SetParent(page);
  auto* ro = new TStyComboBox(form);
  ro->AddItem("Read-only");
  ro->SetItemIndex(0);
  ro->SetReadOnly(true);
  ro->SetBounds(150, 76, 140, 21);
  ro->SetParent(page);
  auto* combo_off = new TStyComboBox(form);
  combo_off->AddItem("Disabled");
  combo_off->SetItemIndex(0);
  combo_off->SetBounds(150, 102, 140, 21);
  combo_off->SetParent(page);
  combo_off->SetEnabled(false);
  Caption(page, 150, 130, "Colour combo boxes");
  auto* colors = new TStyColorComboBox(form);
  colors->SetShowSysColors(false);
  colors->SetItemHeight(16);
  colors->SetSelectedColor(clRed);
  colors->SetBounds(150, 148, 140, 22);
  colors->SetParent(page);
  auto* custom = new TStyColorComboBox(form);
  custom->SetSelectedColor(RGB(30, 144, 255));
  custom->SetBounds(150, 176, 140, 22);
  custom->SetParent(page);
  auto* open = new TStyColorComboBox(form);
  open->SetShowSysColors(false);
  open->SetSelectedColor(clTeal);
  open->SetDropDownCount(3);
  open->SetBounds(150, 204, 140, 22);
  open->SetParent(page);

  // List boxes.
  Caption(page, 302, 6, "List box with groups");
  auto* list = new TStyListBox(form);
  list->SetShowGroups(true);
  for (const char* s : {"//Sensors", "Temperature", "Humidity", "//Derived", "Dew point", "Absolute humidity"})
    list->AddItem(s);
  list->SetItemIndex(2);
  list->SetBounds(302, 24, 140, 110);
  list->SetParent(page);
  Caption(page, 302, 140, "Check list with tab stops");
  auto* checks = new TStyCheckList(form);
  checks->SetTabStopsMode(TStyTabStopsMode::tsmAutomatic);
  for (const char* s : {"//Info", "Name\tT1",
                        "Unit\t\xC2\xB0"
                        "C",
                        "Range\t-40..85", "Alarm\toff"})
    checks->AddItem(s);
  checks->SetItemState(1, TCheckBoxState::cbChecked);
  checks->SetItemState(2, TCheckBoxState::cbGrayed);
  checks->SetItemState(3, TCheckBoxState::cbChecked);
  checks->SetItemEnabled(3, false);
  checks->SetItemIndex(1);
  checks->SetBounds(302, 158, 140, 112);
  checks->SetParent(page);

  // Radio buttons and groups.
  Caption(page, 456, 6, "Radio buttons");
  struct Radio {
    const char* caption;
    bool checked, hot, enabled;
  } radios[] = {{"Classic", true, false, true},
                {"Classic, off", false, false, true},
                {"Hot-track glyph", true, true, true},
                {"Disabled", false, true, false}};
  int y = 24;
  for (const Radio& r : radios) {
    auto* holder = new TStyPanel(form);
    holder->SetBorderOuter(TFrameStyleEx::fsNone);
    holder->SetBounds(456, y, 125, 19);
    holder->SetParent(page);
    auto* b = new TStyRadioButton(form);
    b->SetCaption(r.caption);
    b->SetHotTrack(r.hot);
    b->SetBounds(0, 0, 125, 19);
    b->SetParent(holder);
    b->SetChecked(r.checked);
    b->SetEnabled(r.enabled);
    y += 22;
  }
  auto* group = new TStyRadioGroup(form);
  group->SetCaption("Interval");
  group->SetGroupStyle(TStyGroupBoxStyle::gsStandard);
  group->SetColumns(3);
  group->SetItemHotTrack(true);
  TStringList items;
  for (const char* s : {"1 s", "2 s", "5 s", "10 s", "30 s", "1 min", "5 min"}) items.Add(s);
  group->SetItems(items);
  group->SetItemIndex(4);
  group->SetBounds(456, 116, 250, 100);
  group->SetParent(page);
  auto* plain = new TStyRadioGroup(form);
  plain->SetCaption("Language");
  TStringList langs;
  for (const char* s : {"English", "Deutsch"}) langs.Add(s);
  plain->SetItems(langs);
  plain->SetColumns(2);
  plain->SetItemIndex(0);
  plain->SetBounds(456, 222, 250, 50);
  plain->SetParent(page);

  form->OnShow = [hot, open](TComponent*) {
    hot->SetFocus();
    open->SetDroppedDown(true);
  };
}

}  // namespace qv
