#include "shell/ab_frame.h"

#include <algorithm>

#include "base/res_string.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

namespace {
constexpr int kMargin = 8;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;
// The four buttons below the groups take their width.
constexpr int kGroupWidth = 4 * kButtonWidth + 3 * kButtonGap;
constexpr int kEditHeight = 21;
constexpr int kListLeft = kMargin + kGroupWidth + 16;
constexpr int kMinuteMs = 60000;

template <class T>
T* Make(TWinControl* parent, TComponent* owner, const char* name, int left, int top, int width, int height) {
  T* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  c->SetBounds(left, top, width, height);
  return c;
}
}  // namespace

TAbFrame::TAbFrame(TComponent* owner) : TCustomPanel(owner) {
  SetName("AbFrame");
  SetBevelOuter(TPanelBevel::bvNone);
  SetCaption("");

  ExtensionGroup = Make<TGroupBox>(this, this, "ExtensionGroup", kMargin, kMargin, kGroupWidth, 178);
  EnterExtLabel = Make<TLabel>(ExtensionGroup, this, "EnterExtLabel", 12, 22, 240, 17);
  ExtensionEdit = Make<TEdit>(ExtensionGroup, this, "ExtensionEdit", 12, 40, 64, kEditHeight);
  ExtensionEdit->SetMaxLength(3);
  AddBtn =
      Make<TButton>(ExtensionGroup, this, "AddBtn", kGroupWidth - 12 - kButtonWidth, 38, kButtonWidth, kButtonHeight);
  DelExtLabel = Make<TLabel>(ExtensionGroup, this, "DelExtLabel", 12, 72, 240, 17);
  ExtensionList = Make<TListBox>(ExtensionGroup, this, "ExtensionList", 12, 90, kGroupWidth - 32 - kButtonWidth, 78);
  ExtensionList->SetMultiSelect(true);
  ExtensionList->Items().SetSorted(true);
  DeleteBtn = Make<TButton>(ExtensionGroup, this, "DeleteBtn", kGroupWidth - 12 - kButtonWidth, 90, kButtonWidth,
                            kButtonHeight);

  IntervalGroup = Make<TGroupBox>(this, this, "IntervalGroup", kMargin, 194, kGroupWidth, 54);
  IntervalEdit = Make<TStySpinEdit>(IntervalGroup, this, "IntervalEdit", 12, 22, 64, kEditHeight);
  IntervalEdit->SetIntegersOnly(true);
  IntervalEdit->SetMin(MinInterval);
  IntervalEdit->SetMax(MaxInterval);
  IntervalEdit->SetAllowKeyEdit(true);
  IntervalEdit->SetIntValue(MinInterval);
  MinuteLabel = Make<TLabel>(IntervalGroup, this, "MinuteLabel", 84, 25, 160, 17);

  DestRootGroup = Make<TGroupBox>(this, this, "DestRootGroup", kMargin, 256, kGroupWidth, 54);
  DestRootEdit = Make<TEdit>(DestRootGroup, this, "DestRootEdit", 12, 22, kGroupWidth - 24, kEditHeight);

  const int top = 322;
  int left = kMargin;
  // Help last: it is hidden while no help files are installed.
  for (auto [slot, name] : {std::pair{&AcceptBtn, "AcceptBtn"}, std::pair{&UndoBtn, "UndoBtn"},
                            std::pair{&StopBtn, "StopBtn"}, std::pair{&HelpBtn, "HelpBtn"}}) {
    *slot = Make<TButton>(this, this, name, left, top, kButtonWidth, kButtonHeight);
    left += kButtonWidth + kButtonGap;
  }
  AcceptBtn->SetEnabled(false);
  HelpBtn->SetVisible(false);

  SavedFilesLabel = Make<TLabel>(this, this, "SavedFilesLabel", kListLeft, kMargin + 6, 240, 17);
  SavedFileM = Make<TMemo>(this, this, "SavedFileM", kListLeft, kMargin + 26, 300, 300);
  SavedFileM->SetReadOnly(true);

  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->SetInterval(kMinuteMs);

  OnResize = [this](TComponent*) { Arrange(); };
  UpdateLanguage();
}

void TAbFrame::UpdateLanguage() {
  ExtensionGroup->SetCaption(LoadResString("abf_Extension"));
  EnterExtLabel->SetCaption(LoadResString("abf_EnterExt"));
  DelExtLabel->SetCaption(LoadResString("abf_DelExt"));
  AddBtn->SetCaption(LoadResString("abf_Add"));
  DeleteBtn->SetCaption(LoadResString("abf_Delete"));
  IntervalGroup->SetCaption(LoadResString("abf_ScanInt"));
  MinuteLabel->SetCaption(LoadResString("abf_Minute"));
  DestRootGroup->SetCaption(LoadResString("abf_DestRoot"));
  AcceptBtn->SetCaption(LoadResString("b_&Accept"));
  UndoBtn->SetCaption(LoadResString("b_&Undo"));
  HelpBtn->SetCaption(LoadResString("b_&Help"));
  StopBtn->SetCaption(LoadResString("abf_Stop"));
  SavedFilesLabel->SetCaption(LoadResString("abf_SavedFiles"));
}

void TAbFrame::Arrange() {
  const int width = std::max(ClientWidth() - kListLeft - kMargin, 120);
  const int height = std::max(ClientHeight() - SavedFileM->Top() - kMargin, 60);
  SavedFileM->SetBounds(kListLeft, SavedFileM->Top(), width, height);
}

}  // namespace qv
