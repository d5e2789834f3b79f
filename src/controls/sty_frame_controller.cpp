#include "controls/sty_frame_controller.h"

#include <algorithm>

#include "platform/rtl/store_changed.h"

namespace qv {

namespace {
const char* const kFrameStyleNames[] = {"fsNone",   "fsFlat",     "fsGroove", "fsBump",  "fsLowered",  "fsButtonDown",
                                        "fsRaised", "fsButtonUp", "fsStatus", "fsPopup", "fsFlatBold", "fsFlatRounded"};
const char* const kSideNames[] = {"sdLeft", "sdTop", "sdRight", "sdBottom"};

// The list of blinking controls; main thread only.
std::unique_ptr<TStyBlinkingControlsList> g_blinking;
}  // namespace

std::string FrameStyleName(TFrameStyleEx style) { return kFrameStyleNames[static_cast<int>(style)]; }

bool FrameStyleFromName(const std::string& name, TFrameStyleEx& style) {
  for (int i = 0; i < 12; ++i)
    if (name == kFrameStyleNames[i]) {
      style = static_cast<TFrameStyleEx>(i);
      return true;
    }
  return false;
}

std::string SidesText(TSides sides) {
  std::string s = "[";
  for (int i = 0; i < 4; ++i)
    if (sides & (1 << i)) {
      if (s.size() > 1) s += ",";
      s += kSideNames[i];
    }
  return s + "]";
}

bool SidesFromText(const std::string& text, TSides& sides) {
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return false;
  TSides out = 0;
  std::string body = text.substr(1, text.size() - 2);
  size_t start = 0;
  while (start < body.size()) {
    size_t comma = body.find(',', start);
    std::string name = body.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    bool found = false;
    for (int i = 0; i < 4; ++i)
      if (name == kSideNames[i]) out |= static_cast<TSides>(1 << i), found = true;
    if (!found) return false;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  sides = out;
  return true;
}

std::string FramingPreferenceName(TFramingPreference p) {
  return p == TFramingPreference::fpCustomFraming ? "fpCustomFraming" : "fpXPThemes";
}

// ---------------------------------------------------------------------------------------------
void TStyRegIniFile::SetPath(const std::string& p) {
  if (StoreChanged(path_, p)) reopen_ = true;
}
void TStyRegIniFile::SetPathType(TStyPathType t) {
  if (StoreChanged(path_type_, t)) reopen_ = true;
}
void TStyRegIniFile::SetRegKey(TStyRegKey k) {
  if (StoreChanged(reg_key_, k)) reopen_ = true;
}
void TStyRegIniFile::SetRegAccess(TStyRegAccess a) {
  if (StoreChanged(reg_access_, a)) reopen_ = true;
}

// ---------------------------------------------------------------------------------------------
TStyFrameController::TStyFrameController(TComponent* owner) : TComponent(owner) {}

TStyFrameController::~TStyFrameController() { BeginDestroy(); }

void TStyFrameController::LockUpdates() { ++update_count_; }

void TStyFrameController::UnlockUpdates() {
  --update_count_;
  if (update_count_ <= 0) {
    update_count_ = 0;
    PushSettings(kAll);
  }
}

void TStyFrameController::RegisterControl(TControl* control) {
  if (!control || std::find(controls_.begin(), controls_.end(), control) != controls_.end()) return;
  controls_.push_back(control);
  FreeNotification(control);
  ApplyToControl(control, kAll);
}

void TStyFrameController::UnregisterControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  controls_.erase(it);
  RemoveFreeNotification(control);
}

void BindFrameController(TControl& control, TStyFrameController*& slot, TStyFrameController* fc) {
  if (fc == slot) return;
  if (slot) {
    slot->UnregisterControl(&control);
    control.RemoveFreeNotification(slot);
  }
  slot = fc;
  if (fc) {
    control.FreeNotification(fc);
    fc->RegisterControl(&control);
  }
}

void ForgetFreedFrameController(TStyFrameController*& slot, TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component == slot) slot = nullptr;
}

void TStyFrameController::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  controls_.erase(std::remove(controls_.begin(), controls_.end(), component), controls_.end());
  if (component == reg_ini_file_) reg_ini_file_ = nullptr;
}

void TStyFrameController::PushSettings(int index) {
  if (update_count_ > 0 || controls_.empty()) return;
  std::vector<TControl*> list = controls_;
  for (TControl* c : list) ApplyToControl(c, index);
}

void TStyFrameController::ApplyToControl(TControl* control, int index) {
  if (auto* client = dynamic_cast<IFrameControllerClient*>(control)) {
    client->ControllerChanged();
    return;
  }
  auto want = [index](int i) { return index == kAll || index == i; };
  if (want(kParentColor)) control->SetPublishedBool("ParentColor", parent_color_);
  if (index == kColor || (index == kAll && !parent_color_)) control->SetPublishedColor("Color", color_);
  if (want(kDisabledColor)) control->SetPublishedColor("DisabledColor", disabled_color_);
  if (want(kFocusColor)) control->SetPublishedColor("FocusColor", focus_color_);
  if (want(kFlatButtonColor)) control->SetPublishedColor("FlatButtonColor", flat_button_color_);
  if (want(kFlatButtons)) control->SetPublishedBool("FlatButtons", flat_buttons_);
  if (want(kFrameColor)) control->SetPublishedColor("FrameColor", frame_color_);
  if (want(kFrameHotColor)) control->SetPublishedColor("FrameHotColor", frame_hot_color_);
  if (want(kFrameHotTrack)) control->SetPublishedBool("FrameHotTrack", frame_hot_track_);
  if (want(kFrameHotStyle)) control->SetPublishedText("FrameHotStyle", FrameStyleName(frame_hot_style_));
  if (want(kFrameSides)) control->SetPublishedText("FrameSides", SidesText(frame_sides_));
  if (want(kFrameStyle)) control->SetPublishedText("FrameStyle", FrameStyleName(frame_style_));
  if (want(kFrameVisible)) control->SetPublishedBool("FrameVisible", frame_visible_);
  if (want(kFramingPreference))
    control->SetPublishedText("FramingPreference", FramingPreferenceName(framing_preference_));
}

void TStyFrameController::Assign(const TStyFrameController& s) {
  LockUpdates();
  color_ = s.color_;
  parent_color_ = s.parent_color_;
  disabled_color_ = s.disabled_color_;
  focus_color_ = s.focus_color_;
  flat_button_color_ = s.flat_button_color_;
  flat_buttons_ = s.flat_buttons_;
  frame_color_ = s.frame_color_;
  frame_hot_color_ = s.frame_hot_color_;
  frame_hot_track_ = s.frame_hot_track_;
  frame_hot_style_ = s.frame_hot_style_;
  frame_sides_ = s.frame_sides_;
  frame_style_ = s.frame_style_;
  frame_visible_ = s.frame_visible_;
  framing_preference_ = s.framing_preference_;
  UnlockUpdates();
}

void TStyFrameController::SetColor(TColor v) {
  if (v == color_) return;
  if (color_ == focus_color_) focus_color_ = v;
  color_ = v;
  parent_color_ = false;
  PushSettings(kColor);
}
void TStyFrameController::SetParentColor(bool v) {
  if (!StoreChanged(parent_color_, v)) return;
  PushSettings(kParentColor);
  if (!v) PushSettings(kColor);
}

#define QV_SETTER(Name, field, index)                      \
  void TStyFrameController::Set##Name(decltype(field) v) { \
    if (v == field) return;                                \
    field = v;                                             \
    PushSettings(index);                                   \
  }
QV_SETTER(DisabledColor, disabled_color_, kDisabledColor)
QV_SETTER(FocusColor, focus_color_, kFocusColor)
QV_SETTER(FlatButtonColor, flat_button_color_, kFlatButtonColor)
QV_SETTER(FlatButtons, flat_buttons_, kFlatButtons)
QV_SETTER(FrameColor, frame_color_, kFrameColor)
QV_SETTER(FrameHotColor, frame_hot_color_, kFrameHotColor)
QV_SETTER(FrameHotStyle, frame_hot_style_, kFrameHotStyle)
QV_SETTER(FrameSides, frame_sides_, kFrameSides)
QV_SETTER(FrameStyle, frame_style_, kFrameStyle)
QV_SETTER(FrameVisible, frame_visible_, kFrameVisible)
QV_SETTER(FramingPreference, framing_preference_, kFramingPreference)
#undef QV_SETTER

void TStyFrameController::SetFrameHotTrack(bool v) {
  if (!StoreChanged(frame_hot_track_, v)) return;
  if (v) {
    SetFrameVisible(true);
    frame_sides_ = sdAllSides;
  }
  PushSettings(kFrameHotTrack);
}

void TStyFrameController::SetRegIniFile(TStyRegIniFile* f) {
  if (f == reg_ini_file_) return;
  if (reg_ini_file_) RemoveFreeNotification(reg_ini_file_);
  reg_ini_file_ = f;
  if (f) FreeNotification(f);
}

// ---------------------------------------------------------------------------------------------
TStyBlinkingControlsList::TStyBlinkingControlsList() : timer_(std::make_unique<TTimer>(nullptr)) {
  timer_->SetInterval(interval_off_);
  timer_->OnTimer = [this](TComponent*) { Tick(); };
  timer_->SetEnabled(true);
}

TStyBlinkingControlsList::~TStyBlinkingControlsList() = default;

void TStyBlinkingControlsList::RegisterBlinker(TControl* control) {
  if (std::find(controls_.begin(), controls_.end(), control) == controls_.end()) controls_.push_back(control);
}

void TStyBlinkingControlsList::UnregisterBlinker(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TStyBlinkingControlsList::Tick() {
  if (state_ != 0) {
    state_ = 0;
    timer_->SetInterval(interval_off_);
  } else {
    state_ = 1;
    timer_->SetInterval(interval_on_);
  }
  // A handler may free or create controls: walk a copy and skip those that left meanwhile.
  std::vector<TControl*> list = controls_;
  ticking_ = true;
  try {
    for (TControl* c : list) {
      if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
      if (c->Perform(CM_STY_BLINKQUERY, 0, 0) == 1) c->Perform(CM_STY_BLINKSTATE, state_, 0);
    }
  } catch (...) {
    ticking_ = false;
    throw;
  }
  ticking_ = false;
}

TStyBlinkingControlsList* BlinkingControlsList() { return g_blinking.get(); }

void RegisterBlinker(TControl* control) {
  if (!g_blinking) g_blinking = std::make_unique<TStyBlinkingControlsList>();
  g_blinking->RegisterBlinker(control);
}

void UnregisterBlinker(TControl* control) {
  if (!g_blinking) return;
  g_blinking->UnregisterBlinker(control);
  if (g_blinking->Count() > 0) return;
  if (!g_blinking->Ticking()) {
    g_blinking.reset();
    return;
  }
  // The last control left from inside a tick: the list goes once the tick is over.
  TStyBlinkingControlsList* list = g_blinking.release();
  PostDeferredCall([list] { delete list; });
}

}  // namespace qv
