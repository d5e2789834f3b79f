#pragma once
// The logger family's nodes: a logger module whose configuration image lives in the logger's
// EEPROM (kept beside it in "EEPar.cfg"), and its sensor slots, each a hidden child node with
// value channels and weekly data files. Every configuration value exists as read from the
// logger, as edited, and as pending for the next transmission; EEState tells which of them
// differ.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/file_stream2.h"
#include "devices/device.h"

namespace qv {

// Configuration state of a logger node.
enum TEEState : uint8_t { eeDefault = 0, eeRead = 1, eeChanged = 2, eeTransmitting = 3 };

// The missing-value marker of scaled logger values, and the raw scale's limits.
constexpr double kNoValue = -1.501e38;
constexpr uint16_t kRawFullScale = 65520;
constexpr uint16_t kRawInvalid = 0xFFF1;

// Sensor board and sensor type of one slot, as the module offers it to its sub-modules.
using TSensTypeInfo = std::array<uint8_t, 2>;

// A configuration value as read from the logger (what WriteEEPar writes), as edited (what the
// editor shows), and as pending (what WriteEEBufPar sends).
template <class T>
struct TEEValue {
  T Value{}, Edit{}, Pending{};
  void SetAll(const T& v) { Value = Edit = Pending = v; }
  // Value and edit copy, as a parse sets them; true when the value changed.
  bool Take(const T& v) {
    Edit = v;
    if (Value == v) return false;
    Value = v;
    return true;
  }
};

class TTavra2GDevice : public TDevice {
public:
  uint8_t EEState() const { return ee_state_; }
  void SetEEState(uint8_t state) { ee_state_ = state; }

  // Image parts; a node in state 0 writes nothing.
  virtual void WriteEEPar(TStream* stream) = 0;
  virtual void WriteEEParPost(TStream* /*stream*/) {}
  virtual void WriteEEBufPar(TStream* stream) = 0;
  virtual void WriteEEBufParPost(TStream* /*stream*/) {}
  virtual void ReadEEPar(TStream* stream, bool& changed, uint8_t e2_version, uint8_t kind) = 0;
  // MarkEERead for a present, non-empty stream.
  virtual void ReadEEParDone(TStream* stream, bool& changed, uint8_t e2_version, uint8_t kind);
  // Pending values := values.
  virtual void SaveEEState() = 0;
  // Pending values := edit copies.
  virtual bool ApplyEEChanges() = 0;
  virtual bool TransmitEEPar() = 0;

  // From state 0 to state 1 with SaveEEState; false in any other state.
  bool MarkEERead();
  // The node's own changes, then ApplyEEChanges, then TransmitEEPar.
  bool ApplyChanges() override;

protected:
  // A pending value set by a setter: moves a read node to state 2 when it differs from the
  // value; nothing in state 0.
  template <class T>
  void SetPending(T& pending, const T& value, const T& new_pending) {
    if (ee_state_ == eeDefault) return;
    pending = new_pending;
    if (new_pending != value && ee_state_ == eeRead) ee_state_ = eeChanged;
  }

private:
  uint8_t ee_state_ = eeDefault;
};

class TTavra2GSubMod;

class TTavra2GModul : public TTavra2GDevice {
public:
  ~TTavra2GModul() override;

  std::string ClassName() const override { return "TTavra2GModul"; }

  // The image as last read from the logger or built for it; empty when none is known.
  TMemoryStream2& EEImage() { return ee_image_; }
  bool SensorsChanged = false;
  uint8_t TavraTyp() const { return tavra_typ_; }
  // Only in state 0 ("TTavra2GModul.SetTavraTyp: Operation fails if not defaultEE in modul!").
  virtual void SetTavraTyp(uint8_t kind);
  // Only in state 0 ("TTavra2GModul.SetKennung: Operation fails if not defaultEE in modul!").
  void SetKennung(int32_t id);

  // The first fields of the image.
  uint16_t SerialNo = 0;
  uint16_t MonthYear = 100;
  uint16_t ProjectNo = 9999;
  uint8_t PartList = 0, CircuitDiagram = 0, HwVersion = 0, SwVersion = 0, E2Version = 0;
  uint8_t RecorderInt = 1;

  virtual int GetSlotCount() const = 0;
  // One set-up sub-module per slot.
  void CreateSubModuls();
  virtual TTavra2GSubMod* CreateSubModul(int slot, bool set_up, const TSensTypeInfo* info) = 0;
  virtual TSensTypeInfo NewSensTypeInfo() const = 0;

  // The child holding slot (by ModChanNum); null outside 1..GetSlotCount.
  TTavra2GSubMod* GetSubModul(int slot) const;
  // The child (or detached sub-module) that takes slot at the next transmission.
  TTavra2GSubMod* FindSubModul(int slot) const;
  void RevertChanNums();
  void ApplyChanNums();
  std::vector<TTavra2GSubMod*> SubModuls() const;
  // As the node's, but ids that detached sub-modules hold are not handed out (EDeviceError
  // "dev_NoMoreIDs" when none is left).
  int32_t FindNextId(int32_t lo, int32_t hi) const;
  // Sub-modules made for a new sensor assignment and not yet part of the tree.
  std::vector<std::unique_ptr<TTavra2GSubMod>>& Detached() { return detached_; }

  TDateTime GetLastUpdate(int channel) const;
  // Writes "LastUpdate" + channel of section "Device" at once when the value changes.
  void SetLastUpdate(int channel, TDateTime value);
  // The channels of mask (bit 0 for channel 1) take values[channel - 1]; the changed ones are
  // written in one rewrite of the file.
  void SetLastUpdates(const std::array<TDateTime, 4>& values, uint8_t mask);

  // Writes the image to "EEPar.cfg" of the module folder, or deletes that file for an empty
  // image.
  void SaveEEParCfg();
  // Replaces the image by the contents of "EEPar.cfg" (empty when there is none).
  void LoadEEParCfg();
  // After the folder was loaded: loads "EEPar.cfg" and parses it. A refused image is reported
  // and left on disk; the module stays in state 0 without it.
  void LoadImage();

  void WriteEEPar(TStream* stream) override;
  void WriteEEBufPar(TStream* stream) override;
  void ReadEEPar(TStream* stream, bool& changed, uint8_t e2_version, uint8_t kind) override;
  bool TransmitEEPar() override;
  void CancelChanges() override;
  bool SetUpDevice() override;
  void ReadIni() override;
  void WriteIni() override;
  // The node's outline, then the detached sub-modules under the module's node.
  void FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) override;
  // Erases slotless sub-modules without data and frees the detached ones.
  void PurgeUnusedSubModuls();

  // Number of retry questions of a transmission.
  static constexpr int kMaxRetries = 5;

protected:
  void SetDefaults() override;
  // Checks an image before anything of it is taken; raises the error that refuses it.
  virtual void CheckImage(const std::string& bytes) const = 0;
  // The module's header part of the image from values (pending when buffered).
  virtual void WriteHeader(TStream& stream, bool buffered) = 0;
  // Builds an image into a scratch stream and replaces target with it only when complete.
  void BuildImage(TStream* target, bool buffered);
  // The retry question after a failed exchange: true for Retry, and for Yes after the
  // connection settings were shown; false for Cancel.
  bool AskRetry(const std::string& message, const std::string& title);
  void QueuePurge();
  // Builds the image from the values, saves "EEPar.cfg" and the INI keys, and frees the
  // detached sub-modules; every concrete class calls it first in its destructor.
  void FinishModule();

  uint8_t tavra_typ_ = 0;

private:
  TMemoryStream2 ee_image_;
  std::vector<std::unique_ptr<TTavra2GSubMod>> detached_;
  std::array<TDateTime, 4> last_update_{};
  bool finished_ = false;
  // "EEPar.cfg" could not be taken; it stays on disk until a read from the logger replaces it.
  bool image_refused_ = false;
};

class TTavra2GSubMod : public TTavra2GDevice {
public:
  // A new sub-module below parent with the channel list of its class; the list is made here
  // ("Error in TTavra2GSubMod.Create: Channels must be nil!" for a given one).
  template <class T>
  static std::unique_ptr<T> CreateSub(TDevice* parent, std::unique_ptr<TChannels> channels = nullptr) {
    if (channels) throw EDeviceError("Error in TTavra2GSubMod.Create: Channels must be nil!");
    std::unique_ptr<T> node = TDevice::Create<T>(parent);
    node->SetChannels(node->CreateChannels());
    return node;
  }
  // The concrete slot class writes its Device.ini keys in its destructor.
  std::string ClassName() const override { return "TTavra2GSubMod"; }

  const std::string& Unit() const { return unit_; }
  float ValMin() const { return val_min_; }
  float ValMax() const { return val_max_; }
  uint8_t Decimals() const { return decimals_; }
  double ViewMin() const { return view_min_; }
  double ViewMax() const { return view_max_; }
  double AlarmMin() const { return alarm_min_; }
  double AlarmMax() const { return alarm_max_; }
  uint8_t MeashType() const { return meash_type_; }
  uint8_t CalcType() const { return calc_type_; }

  // Edit copies, as the editor sets them.
  float ValMinEdit = 0, ValMaxEdit = 100;
  uint8_t DecimalsEdit = 1;
  double ViewMinEdit = 0, ViewMaxEdit = 100, AlarmMinEdit = 0, AlarmMaxEdit = 100;

  int32_t ModChanNum = 0;
  int32_t NewChanNum = 0;

  virtual int GetChanCount() const { return 0; }
  virtual std::string GetChanName(int index) const;
  virtual std::string GetChanSName(int index) const;
  virtual std::string GetChanUnit(int index) const;
  // The list of a new sub-module: the pseudo-channels and GetChanCount value channels.
  std::unique_ptr<TChannels> CreateChannels() const;

  // Peeks the slot's sensor type at the stream's position into info.
  virtual void ExtractSensTypeInfo(TStream* stream, TSensTypeInfo* info, uint8_t e2_version) = 0;
  virtual bool AcceptSensTypeInfo(const TSensTypeInfo* info) const = 0;

  void SetName(const std::string& name) override;
  void SetSName(const std::string& sname) override;
  virtual void SetUnit(const std::string& unit);
  virtual void SetDecimals(uint8_t n);
  virtual void SetValMin(float x);
  virtual void SetValMax(float x);
  void SetViewMin(double x);
  void SetViewMax(double x);
  virtual void SetAlarmMin(double x);
  virtual void SetAlarmMax(double x);
  // The direct setters of the alarm limits (value and edit copy).
  void SetAlarmMinDirect(double x);
  void SetAlarmMaxDirect(double x);
  void SetMeashType(uint8_t type);
  void SetCalcType(uint8_t type);

  double RawToValue(uint16_t raw) const;
  uint16_t ValueToRaw(double value) const;
  // True when the node holds weekly data files.
  bool HasDataFiles() const;

  int GetNodeKind() const override { return 2; }
  // Its own node even though hidden, its children, then only the value channels beyond the
  // first GetChanCount (those stand for the slot itself).
  void FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) override;
  std::string GetOutlineText(const std::string& name) const override { return name; }
  void ReadIni() override;
  void WriteIni() override;
  void CancelChanges() override;
  bool TransmitEEPar() override;

protected:
  void SetDefaults() override;
  // Applies fn to each of the first GetChanCount value channels.
  template <class Fn>
  void ForValueChannels(Fn fn) {
    TChannels* channels = Channels();
    if (!channels) return;
    for (int i = 0; i < GetChanCount() && i < channels->ValueCount(); ++i) fn(*channels->GetValueChannel(i), i);
  }
  void WriteKey(const std::string& section, const std::string& key, const std::string& value);
  void WriteFloatKey(const std::string& key, double value);

private:
  std::string unit_;
  float val_min_ = 0, val_max_ = 100;
  uint8_t decimals_ = 1;
  double view_min_ = 0, view_max_ = 100, alarm_min_ = 0, alarm_max_ = 100;
  uint8_t meash_type_ = 1, calc_type_ = 0;
};

}  // namespace qv
