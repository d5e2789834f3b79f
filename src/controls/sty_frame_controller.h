#pragma once
// The frame controller, which pushes one set of frame and colour settings to every control that
// names it, and the blinking list, one timer that makes all blinking controls change in step.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/frame_paint.h"
#include "controls/sty_messages.h"
#include "platform/gui/forms.h"

namespace qv {

// A control that copies the controller's settings itself.
class IFrameControllerClient {
public:
  virtual ~IFrameControllerClient() = default;
  virtual void ControllerChanged() = 0;
};

enum class TStyPathType : uint8_t { ptIniFile, ptRegistry };
enum class TStyRegKey : uint8_t {
  hkeyClassesRoot,
  hkeyCurrentUser,
  hkeyLocalMachine,
  hkeyUsers,
  hkeyPerformanceData,
  hkeyCurrentConfig,
  hkeyDynData
};
enum TStyRegAccessKey : uint16_t {
  keyQueryValue = 1,
  keySetValue = 2,
  keyCreateSubKey = 4,
  keyEnumerateSubKeys = 8,
  keyNotify = 16,
  keyCreateLink = 32,
  keyRead = 64,
  keyWrite = 128,
  keyExecute = 256,
  keyAllAccess = 512
};
using TStyRegAccess = uint16_t;

// Where a control would store its settings. Nothing in the program reads or writes through it, so
// its storage objects are never opened; a change only marks them for re-opening.
class TStyRegIniFile : public TComponent {
public:
  explicit TStyRegIniFile(TComponent* owner) : TComponent(owner) {}
  std::string ClassName() const override { return "TStyRegIniFile"; }
  const std::string& Path() const { return path_; }
  void SetPath(const std::string& p);
  TStyPathType PathType() const { return path_type_; }
  void SetPathType(TStyPathType t);
  TStyRegKey RegKey() const { return reg_key_; }
  void SetRegKey(TStyRegKey k);
  TStyRegAccess RegAccess() const { return reg_access_; }
  void SetRegAccess(TStyRegAccess a);
  bool ReopenNeeded() const { return reopen_; }

private:
  std::string path_;
  TStyPathType path_type_ = TStyPathType::ptIniFile;
  TStyRegKey reg_key_ = TStyRegKey::hkeyCurrentUser;
  TStyRegAccess reg_access_ = keyAllAccess;
  bool reopen_ = true;
};

// Text forms used when settings are written by property name.
std::string FrameStyleName(TFrameStyleEx style);
bool FrameStyleFromName(const std::string& name, TFrameStyleEx& style);
std::string SidesText(TSides sides);
bool SidesFromText(const std::string& text, TSides& sides);
std::string FramingPreferenceName(TFramingPreference p);

class TStyFrameController : public TComponent {
public:
  explicit TStyFrameController(TComponent* owner);
  ~TStyFrameController() override;
  std::string ClassName() const override { return "TStyFrameController"; }

  // Property indexes that say which setting changed.
  enum : int {
    kAll = 0,
    kColor,
    kFocusColor,
    kDisabledColor,
    kParentColor,
    kFlatButtonColor,
    kFlatButtons,
    kFrameColor,
    kFrameHotColor,
    kFrameHotTrack,
    kFrameHotStyle,
    kFrameSides,
    kFrameStyle,
    kFrameVisible,
    kFramingPreference
  };

  void LockUpdates();
  void UnlockUpdates();
  // Applies every setting to the control at once and follows it from then on.
  void RegisterControl(TControl* control);
  void UnregisterControl(TControl* control);
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  void PushAllSettings() { PushSettings(kAll); }
  void Assign(const TStyFrameController& source);

  TColor Color() const { return color_; }
  void SetColor(TColor v);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool v);
  TColor DisabledColor() const { return disabled_color_; }
  void SetDisabledColor(TColor v);
  TColor FocusColor() const { return focus_color_; }
  void SetFocusColor(TColor v);
  TColor FlatButtonColor() const { return flat_button_color_; }
  void SetFlatButtonColor(TColor v);
  bool FlatButtons() const { return flat_buttons_; }
  void SetFlatButtons(bool v);
  TColor FrameColor() const { return frame_color_; }
  void SetFrameColor(TColor v);
  TColor FrameHotColor() const { return frame_hot_color_; }
  void SetFrameHotColor(TColor v);
  bool FrameHotTrack() const { return frame_hot_track_; }
  void SetFrameHotTrack(bool v);
  TFrameStyle FrameHotStyle() const { return frame_hot_style_; }
  void SetFrameHotStyle(TFrameStyle v);
  TSides FrameSides() const { return frame_sides_; }
  void SetFrameSides(TSides v);
  TFrameStyle FrameStyle() const { return frame_style_; }
  void SetFrameStyle(TFrameStyle v);
  bool FrameVisible() const { return frame_visible_; }
  void SetFrameVisible(bool v);
  TFramingPreference FramingPreference() const { return framing_preference_; }
  void SetFramingPreference(TFramingPreference v);
  TStyRegIniFile* RegIniFile() const { return reg_ini_file_; }
  void SetRegIniFile(TStyRegIniFile* f);

  void Notification(TComponent* component, TOperation operation) override;

protected:
  virtual void ApplyToControl(TControl* control, int index);
  virtual void PushSettings(int index);

private:
  int update_count_ = 0;
  std::vector<TControl*> controls_;
  TColor color_ = clWindow;
  bool parent_color_ = false;
  TColor disabled_color_ = clBtnFace;
  TColor focus_color_ = clWindow;
  TColor flat_button_color_ = clBtnFace;
  bool flat_buttons_ = true;
  TColor frame_color_ = clBtnShadow;
  TColor frame_hot_color_ = clBtnShadow;
  bool frame_hot_track_ = false;
  TFrameStyle frame_hot_style_ = TFrameStyleEx::fsFlatBold;
  TSides frame_sides_ = sdAllSides;
  TFrameStyle frame_style_ = TFrameStyleEx::fsFlat;
  bool frame_visible_ = false;
  TFramingPreference framing_preference_ = TFramingPreference::fpXPThemes;
  TStyRegIniFile* reg_ini_file_ = nullptr;
};

// The link of a styled control to its controller, kept in the control's slot: binding registers
// the control with the new controller (which applies its settings) and watches for the
// controller's free, after the old one lets the control go.
void BindFrameController(TControl& control, TStyFrameController*& slot, TStyFrameController* fc);
// From the control's Notification: a controller being freed is forgotten.
void ForgetFreedFrameController(TStyFrameController*& slot, TComponent* component, TOperation operation);

// One timer for every blinking control. State 1 shows the blink colour, 0 the normal colour.
class TStyBlinkingControlsList {
public:
  TStyBlinkingControlsList();
  ~TStyBlinkingControlsList();
  void RegisterBlinker(TControl* control);
  void UnregisterBlinker(TControl* control);
  int Count() const { return static_cast<int>(controls_.size()); }
  uint8_t BlinkState() const { return state_; }
  uint16_t IntervalOn() const { return interval_on_; }
  void SetIntervalOn(uint16_t ms) { interval_on_ = ms; }
  uint16_t IntervalOff() const { return interval_off_; }
  void SetIntervalOff(uint16_t ms) { interval_off_ = ms; }
  const TTimer& Timer() const { return *timer_; }
  // The timer's tick: flips the state and tells every control that blinks now.
  void Tick();
  bool Ticking() const { return ticking_; }

private:
  bool ticking_ = false;
  uint8_t state_ = 1;
  uint16_t interval_on_ = 500, interval_off_ = 500;
  std::unique_ptr<TTimer> timer_;
  std::vector<TControl*> controls_;
};

// The process-wide list: created by the first registration, freed with the last control.
TStyBlinkingControlsList* BlinkingControlsList();
void RegisterBlinker(TControl* control);
void UnregisterBlinker(TControl* control);

}  // namespace qv
