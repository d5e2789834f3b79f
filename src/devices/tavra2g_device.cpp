#include "devices/tavra2g_device.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/meas_types.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "devices/dev_handl_service.h"
#include "devices/device_messages.h"
#include "devices/tv10_sensor_info.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/format.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {

constexpr const char* kEEParCfg = "EEPar.cfg";
constexpr const char* kEESection = "EE-Parameter";
constexpr const char* kChannelsSection = "Channels";

// Device kind and its "TavraType" code.
struct KindCode {
  uint8_t kind;
  int32_t code;
};
constexpr KindCode kKindCodes[] = {{5, 5}, {6, 40}, {7, 50}};

int32_t KindToCode(uint8_t kind) {
  for (const auto& k : kKindCodes)
    if (k.kind == kind) return k.code;
  return -1;
}

int KindFromCode(int32_t code) {
  for (const auto& k : kKindCodes)
    if (k.code == code) return k.kind;
  return -1;
}

void ShowNotCompat(const std::string& source) {
  if (MsgHandler)
    MsgHandler->HandleMessage(LoadResString("deh_DevNotCompat"), source, TMsgDlgType::mtError, mbOK, 0, 0, true,
                              mkError);
}

// The measurement type a unit text stands for; 0 for a unit that names none.
uint8_t MeashTypeOfUnit(const std::string& unit) {
  struct UnitType {
    const char* unit;
    uint8_t type;
  };
  static constexpr UnitType kUnits[] = {{"*C", 2},   {"°C", 2},  {"*F", 3},    {"°F", 3},   {"%", 5},    {"g/m3", 18},
                                        {"mBar", 7}, {"hPa", 7}, {"W/m²", 11}, {"m/s", 12}, {"l/m²", 14}};
  for (const auto& u : kUnits)
    if (unit == u.unit) return u.type;
  return 0;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

TDateTime DefaultLastUpdate() { return EncodeDate(2000, 1, 1); }

}  // namespace

// --- TTavra2GDevice ---

bool TTavra2GDevice::MarkEERead() {
  if (ee_state_ != eeDefault) return false;
  ee_state_ = eeRead;
  SaveEEState();
  return true;
}

void TTavra2GDevice::ReadEEParDone(TStream* stream, bool&, uint8_t, uint8_t) {
  if (stream && stream->Size() > 0) MarkEERead();
}

bool TTavra2GDevice::ApplyChanges() { return TDevice::ApplyChanges() && ApplyEEChanges() && TransmitEEPar(); }

// --- TTavra2GModul ---

void TTavra2GModul::SetDefaults() {
  TTavra2GDevice::SetDefaults();
  SerialNo = 0;
  MonthYear = 100;
  ProjectNo = 9999;
  RecorderInt = 1;
  last_update_.fill(DefaultLastUpdate());
}

// The image is built by the concrete class's destructor (FinishModule), while its header part
// still exists; here only the queued purge must go.
TTavra2GModul::~TTavra2GModul() {
  if (IdleTaskManager) IdleTaskManager->RemoveTask(this, nullptr);
}

void TTavra2GModul::FinishModule() {
  if (finished_) return;
  finished_ = true;
  if (IdleTaskManager) IdleTaskManager->RemoveTask(this, nullptr);
  // Nothing may leave a destructor; a failed build keeps the old image and its file.
  if (IsDiscarded()) return;
  try {
    try {
      BuildImage(&ee_image_, false);
      SaveEEParCfg();
      if (!IsNew()) WriteIni();
    } catch (const std::exception& e) {
      ReportError(e.what(), "TTavra2GModul.Destroy");
    }
  } catch (...) {
  }
  detached_.clear();
}

void TTavra2GModul::SetTavraTyp(uint8_t kind) {
  if (kind == tavra_typ_) return;
  if (EEState() != eeDefault)
    throw EDeviceError("TTavra2GModul.SetTavraTyp: Operation fails if not defaultEE in modul!");
  tavra_typ_ = kind;
}

void TTavra2GModul::SetKennung(int32_t id) {
  if (id == Kennung()) return;
  if (EEState() != eeDefault)
    throw EDeviceError("TTavra2GModul.SetKennung: Operation fails if not defaultEE in modul!");
  TDevice::SetKennung(id);
}

bool TTavra2GModul::SetUpDevice() {
  const bool was_new = IsNew();
  SetLoggerId(Kennung());
  if (!TDevice::SetUpDevice()) return false;
  if (was_new) CreateSubModuls();
  return true;
}

void TTavra2GModul::CreateSubModuls() {
  for (int slot = 1; slot <= GetSlotCount(); ++slot) CreateSubModul(slot, true, nullptr);
}

std::vector<TTavra2GSubMod*> TTavra2GModul::SubModuls() const {
  std::vector<TTavra2GSubMod*> out;
  for (int i = 0; i < ChildCount(); ++i)
    if (auto* sub = dynamic_cast<TTavra2GSubMod*>(GetChild(i))) out.push_back(sub);
  return out;
}

int32_t TTavra2GModul::FindNextId(int32_t lo, int32_t hi) const {
  const int32_t id = TDevice::FindNextId(lo, hi);
  auto held = [this](int32_t v) {
    return std::any_of(detached_.begin(), detached_.end(), [v](const auto& sub) { return sub->Id() == v; });
  };
  if (detached_.empty() || !held(id)) return id;
  int32_t lowest = detached_.front()->Id(), highest = lowest;
  for (const auto& sub : detached_) {
    lowest = std::min(lowest, sub->Id());
    highest = std::max(highest, sub->Id());
  }
  if (highest >= lo - 1 && highest <= hi - 1) return TDevice::FindNextId(highest + 1, hi);
  if (lo < lowest && lowest <= hi + 1) return TDevice::FindNextId(lo, lowest - 1);
  throw EDeviceError(LoadResString("dev_NoMoreIDs"));
}

TTavra2GSubMod* TTavra2GModul::GetSubModul(int slot) const {
  if (slot < 1 || slot > GetSlotCount()) return nullptr;
  for (TTavra2GSubMod* sub : SubModuls())
    if (sub->ModChanNum == slot) return sub;
  return nullptr;
}

TTavra2GSubMod* TTavra2GModul::FindSubModul(int slot) const {
  if (slot < 1 || slot > GetSlotCount()) return nullptr;
  for (TTavra2GSubMod* sub : SubModuls())
    if (sub->NewChanNum == slot) return sub;
  for (const auto& sub : detached_)
    if (sub->NewChanNum == slot) return sub.get();
  return nullptr;
}

void TTavra2GModul::RevertChanNums() {
  for (TTavra2GSubMod* sub : SubModuls()) sub->NewChanNum = sub->ModChanNum;
}

void TTavra2GModul::ApplyChanNums() {
  // Detached sub-modules too: a new sensor's sub-module is set up once it holds its slot.
  for (TTavra2GSubMod* sub : SubModuls()) sub->ModChanNum = sub->NewChanNum;
  for (const auto& sub : detached_) sub->ModChanNum = sub->NewChanNum;
}

TDateTime TTavra2GModul::GetLastUpdate(int channel) const {
  if (channel < 1 || channel > 4) throw Exception("TTavra2GModul.GetLastUpdate: invalid channel");
  return last_update_[static_cast<size_t>(channel - 1)];
}

void TTavra2GModul::SetLastUpdate(int channel, TDateTime value) {
  if (channel < 1 || channel > 4) throw Exception("TTavra2GModul.SetLastUpdate: invalid channel");
  if (!StoreChanged(last_update_[static_cast<size_t>(channel - 1)], value)) return;
  if (!IsNew()) TIniFile2(GetIniName()).WriteDateTime(IniSection, "LastUpdate" + std::to_string(channel), value);
}

void TTavra2GModul::SetLastUpdates(const std::array<TDateTime, 4>& values, uint8_t mask) {
  std::vector<std::pair<std::string, std::string>> changed;
  for (size_t c = 0; c < 4; ++c) {
    if (!(mask & (1u << c)) || !StoreChanged(last_update_[c], values[c])) continue;
    changed.emplace_back("LastUpdate" + std::to_string(c + 1), DateTimeToTagStr(values[c]));
  }
  if (!changed.empty() && !IsNew()) TIniFile2(GetIniName()).WriteValues(IniSection, changed);
}

void TTavra2GModul::ReadIni() {
  TTavra2GDevice::ReadIni();
  TIniFile2 ini(GetIniName());
  int32_t e2 = ReadIniInteger(ini, kEESection, "E2Version", E2Version);
  if (e2 >= 0 && e2 <= 255) E2Version = static_cast<uint8_t>(e2);
  int kind = KindFromCode(ReadIniInteger(ini, kEESection, "TavraType", 5));
  if (kind < 0)
    ShowNotCompat("TTavra2GModul.ReadIni");
  else
    tavra_typ_ = static_cast<uint8_t>(kind);
  if (tavra_typ_ == 7) {
    int index = RecIntIndex(ini.ReadString(kEESection, "RecorderInt", std::string(Tv10RecIntNames[1])));
    if (index >= 0) RecorderInt = static_cast<uint8_t>(index);
  }
  for (int c = 1; c <= 4; ++c)
    last_update_[static_cast<size_t>(c - 1)] =
        ini.ReadDateTime(IniSection, "LastUpdate" + std::to_string(c), last_update_[static_cast<size_t>(c - 1)]);
}

void TTavra2GModul::WriteIni() {
  TTavra2GDevice::WriteIni();
  if (Dir().empty() || Dir() == InvalidDir || !FileExists(GetIniName())) return;
  TIniFile2 ini(GetIniName());
  std::vector<std::pair<std::string, std::string>> values{{"E2Version", std::to_string(E2Version)}};
  int32_t code = KindToCode(tavra_typ_);
  if (code < 0)
    ShowNotCompat("TTavra2GModul.WriteIni");
  else
    values.emplace_back("TavraType", std::to_string(code));
  if (tavra_typ_ == 7)
    values.emplace_back("RecorderInt", std::string(Tv10RecIntNames.at(RecorderInt % Tv10IntervalCount)));
  ini.WriteValues(kEESection, values);
  for (int c = 1; c <= 4; ++c)
    ini.WriteDateTime(IniSection, "LastUpdate" + std::to_string(c), last_update_[static_cast<size_t>(c - 1)]);
}

void TTavra2GModul::SaveEEParCfg() {
  if (Dir().empty() || Dir() == InvalidDir || !IsFolder(Dir())) return;
  std::string path = FindFileIgnoringCase(Dir(), kEEParCfg);
  if (path.empty()) path = Dir() + kEEParCfg;
  if (ee_image_.Size() == 0) {
    if (image_refused_) return;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw EInOutError(path + ": " + std::strerror(errno), errno);
    return;
  }
  WriteFileAtomic(path, ee_image_.Bytes());
}

void TTavra2GModul::LoadEEParCfg() {
  ee_image_.Clear();
  const std::string path = FindFileIgnoringCase(Dir(), kEEParCfg);
  if (path.empty()) return;
  const std::string bytes = ReadFileBytes(path);
  ee_image_.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void TTavra2GModul::LoadImage() {
  try {
    LoadEEParCfg();
    if (ee_image_.Size() > 0) {
      bool changed = false;
      ReadEEPar(&ee_image_, changed, E2Version, tavra_typ_);
    }
  } catch (const std::exception& e) {
    // The module loads without its image; the file stays for the next read from the logger.
    ReportError(std::string(e.what()) + " (" + Dir() + kEEParCfg + ")", "TTavra2GModul.CreateFromDir");
    ee_image_.Clear();
    image_refused_ = true;
  }
  for (TTavra2GSubMod* sub : SubModuls())
    if (sub->ModChanNum <= 0) sub->MarkEERead();
}

void TTavra2GModul::BuildImage(TStream* target, bool buffered) {
  if (!target) return;
  TMemoryStream2 scratch;
  if (EEState() != eeDefault) {
    WriteHeader(scratch, buffered);
    if (buffered)
      TTavra2GModul::WriteEEBufPar(&scratch);
    else
      TTavra2GModul::WriteEEPar(&scratch);
  }
  // A refused file on disk is kept until a read from the logger replaces it.
  if (scratch.Size() == 0 && image_refused_) return;
  target->SetSize(0);
  target->SetPosition(0);
  if (scratch.Size() > 0) target->WriteBuffer(scratch.Memory(), static_cast<int32_t>(scratch.Size()));
}

void TTavra2GModul::WriteEEPar(TStream* stream) {
  if (EEState() == eeDefault || !stream) return;
  for (int slot = 1; slot <= GetSlotCount(); ++slot) {
    TTavra2GSubMod* sub = GetSubModul(slot);
    if (!sub) throw EDeviceError("TTavra2GModul.WriteEEPar: no submodul for device channel!");
    if (sub->EEState() == eeDefault) {
      stream->SetSize(0);
      throw EDeviceError("TTavra2GModul.WriteEEPar: Operation fails with defaultEE in submodul!");
    }
    sub->WriteEEPar(stream);
  }
  WriteEEParPost(stream);
  for (int slot = 1; slot <= GetSlotCount(); ++slot) GetSubModul(slot)->WriteEEParPost(stream);
}

void TTavra2GModul::WriteEEBufPar(TStream* stream) {
  if (EEState() == eeDefault || !stream) return;
  for (int slot = 1; slot <= GetSlotCount(); ++slot) {
    TTavra2GSubMod* sub = FindSubModul(slot);
    if (!sub) throw EDeviceError("TTavra2GModul.WriteEEBufPar: no submodul for device channel!");
    if (sub->EEState() == eeDefault) {
      stream->SetSize(0);
      throw EDeviceError("TTavra2GModul.WriteEEBufPar: Operation fails with defaultEE in submodul!");
    }
    sub->WriteEEBufPar(stream);
  }
  WriteEEBufParPost(stream);
  for (int slot = 1; slot <= GetSlotCount(); ++slot) FindSubModul(slot)->WriteEEBufParPost(stream);
}

void TTavra2GModul::ReadEEPar(TStream* stream, bool& changed, uint8_t e2_version, uint8_t kind) {
  TSensTypeInfo info = NewSensTypeInfo();
  for (int slot = 1; slot <= GetSlotCount(); ++slot) {
    TTavra2GSubMod* candidate = GetSubModul(slot);
    auto free_for = [slot](const TTavra2GSubMod* sub) { return sub->ModChanNum <= 0 || sub->ModChanNum >= slot; };
    if (!candidate)
      for (TTavra2GSubMod* sub : SubModuls())
        if (free_for(sub)) {
          candidate = sub;
          break;
        }
    if (!candidate) {
      candidate = CreateSubModul(slot, true, nullptr);
      changed = true;
    }
    candidate->ExtractSensTypeInfo(stream, &info, e2_version);
    if (!candidate->AcceptSensTypeInfo(&info)) {
      candidate = nullptr;
      for (TTavra2GSubMod* sub : SubModuls())
        if (free_for(sub) && sub->AcceptSensTypeInfo(&info)) {
          candidate = sub;
          break;
        }
      if (!candidate) {
        candidate = CreateSubModul(slot, true, &info);
        changed = true;
      }
    }
    // A pending slot number (a sensor change not yet sent) stays: the read before a transmission
    // must not undo it.
    auto take_slot = [](TTavra2GSubMod* sub, int32_t number) {
      if (sub->NewChanNum == sub->ModChanNum) sub->NewChanNum = number;
      sub->ModChanNum = number;
    };
    TTavra2GSubMod* former = GetSubModul(slot);
    if (former && former != candidate) take_slot(former, 0);
    take_slot(candidate, slot);
    candidate->ReadEEPar(stream, changed, e2_version, kind);
  }
  ReadEEParDone(stream, changed, e2_version, kind);
  for (int slot = 1; slot <= GetSlotCount(); ++slot) {
    TTavra2GSubMod* sub = GetSubModul(slot);
    if (!sub) throw Exception("TTavra2GModul.ReadEEPar: Error submodul not found");
    sub->ReadEEParDone(stream, changed, e2_version, kind);
  }
}

namespace {
// Passes nodes on to the outline and remembers the first one added (the module's own).
class FirstNodeOutline : public TExplOutline {
public:
  explicit FirstNodeOutline(TExplOutline& outline) : outline_(outline) {}
  int AddChildObject(int parent_index, const std::string& text, void* object) override {
    const int index = outline_.AddChildObject(parent_index, text, object);
    if (first < 0) first = index;
    return index;
  }
  int first = -1;

private:
  TExplOutline& outline_;
};
}  // namespace

void TTavra2GModul::FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) {
  if (!outline) throw EDeviceError("Error in TDevice.FillOutline: Outline is nil");
  FirstNodeOutline watch(*outline);
  TTavra2GDevice::FillOutline(&watch, parent_index, on_select);
  const int index = watch.first >= 0 ? watch.first : parent_index;
  for (const auto& sub : detached_) sub->FillOutline(outline, index, on_select);
}

bool TTavra2GModul::AskRetry(const std::string& message, const std::string& title) {
  if (!MsgHandler) return false;
  uint16_t answer = MsgHandler->HandleMessage(message, title, TMsgDlgType::mtCustom, mbYes | mbCancel | mbRetry, 0,
                                              mrCancel, true, mkError);
  if (answer == mrYes) {
    if (DevHandlService) DevHandlService->EditConnection();
    return true;
  }
  return answer == mrRetry;
}

void TTavra2GModul::QueuePurge() {
  if (!IdleTaskManager) return;
  IdleTaskManager->RemoveTask(this, nullptr);
  IdleTaskManager->AddTask(this, nullptr, [this](TIdleTaskManager*, TTimer2*, bool& done) {
    done = true;
    PurgeUnusedSubModuls();
  });
}

void TTavra2GModul::PurgeUnusedSubModuls() {
  for (TTavra2GSubMod* sub : SubModuls())
    if (sub->ModChanNum == 0 && !sub->HasDataFiles()) EraseChild(sub, false);
  detached_.clear();
}

void TTavra2GModul::CancelChanges() {
  TTavra2GDevice::CancelChanges();
  SensorsChanged = false;
  QueuePurge();
}

bool TTavra2GModul::TransmitEEPar() {
  bool any_sub = false;
  for (TTavra2GSubMod* sub : SubModuls())
    if (sub->EEState() >= eeChanged) {
      sub->SetEEState(eeTransmitting);
      any_sub = true;
    }
  if (EEState() < eeChanged && !any_sub && !SensorsChanged) return true;
  SetEEState(eeTransmitting);
  SensorsChanged = false;
  const std::string title = LoadResString("dev_EEParTransm");
  std::string message = Format(LoadResString("dev_MsgNoConn"), Name());
  if (!MsgHandler || !(MsgHandler->Modes() & AutoModeEnabled))
    message += Format(LoadResString("dev_MsgNoConn2"), std::string("\n")) + "\n" +
               Format(LoadResString("dev_MsgNoConn3"), std::string("\n"));
  const bool kind7 = tavra_typ_ == 7;
  auto close = [&] {
    if (!kind7 && DevHandlService) DevHandlService->CloseConnection();
  };

  bool result = false;
  bool changed = false;
  bool read = false;
  for (int asked = 0;;) {
    changed = false;
    read = DevHandlService && DevHandlService->ReadCfgDevice(this, true, changed, false);
    if (read) break;
    if (DevHandlService) DevHandlService->CloseConnection();
    if (asked++ >= kMaxRetries || !AskRetry(message, title)) break;
  }
  if (read && changed) {
    close();
    if (MsgHandler)
      MsgHandler->HandleMessage(Format(LoadResString("dev_MsgConfigModif"), Name(), std::string("\n")), title,
                                TMsgDlgType::mtCustom, mbOK, 0, 0, true, mkError);
  } else if (read) {
    // The slot assignment before the transmission, restored when it fails, so that the tree
    // keeps matching what the logger holds.
    std::vector<std::pair<TTavra2GSubMod*, int32_t>> old_slots;
    for (TTavra2GSubMod* sub : SubModuls()) old_slots.emplace_back(sub, sub->ModChanNum);
    for (const auto& sub : detached_) old_slots.emplace_back(sub.get(), sub->ModChanNum);
    const std::string old_image = ee_image_.Bytes();
    ApplyChanNums();
    bool written = false;
    try {
      BuildImage(&ee_image_, true);
      written = kind7;
      for (int asked = 0; !written;) {
        written = DevHandlService && DevHandlService->WriteConfig(this, true);
        if (written) break;
        if (DevHandlService) DevHandlService->CloseConnection();
        if (asked++ >= kMaxRetries || !AskRetry(message, title)) break;
      }
    } catch (const std::exception& e) {
      ReportError(e.what(), "TTavra2GModul.TransmitEEPar");
    }
    if (written) {
      for (auto it = detached_.begin(); it != detached_.end();) {
        TTavra2GSubMod* sub = it->get();
        if (sub->ModChanNum > 0 && sub->SetUpDevice()) {
          it->release();
          it = detached_.erase(it);
        } else {
          ++it;
        }
      }
      bool dummy = false;
      ee_image_.SetPosition(0);
      ReadEEPar(&ee_image_, dummy, E2Version, tavra_typ_);
      image_refused_ = false;
      SaveEEParCfg();
      result = true;
    } else {
      for (auto& [sub, slot] : old_slots) sub->ModChanNum = sub->NewChanNum = slot;
      ee_image_.Clear();
      ee_image_.WriteBuffer(old_image.data(), static_cast<int32_t>(old_image.size()));
    }
  }
  QueuePurge();
  close();
  CancelChanges();
  SaveEEState();
  SetEEState(eeRead);
  for (TTavra2GSubMod* sub : SubModuls()) {
    sub->CancelChanges();
    sub->SaveEEState();
    sub->SetEEState(eeRead);
  }
  return result;
}

// --- TTavra2GSubMod ---

void TTavra2GSubMod::SetDefaults() {
  TTavra2GDevice::SetDefaults();
  SetHiddenField(true);
  SetDeletable(false);
}

std::string TTavra2GSubMod::GetChanName(int) const { return Name(); }
std::string TTavra2GSubMod::GetChanSName(int) const { return SName(); }
std::string TTavra2GSubMod::GetChanUnit(int) const { return unit_; }

std::unique_ptr<TChannels> TTavra2GSubMod::CreateChannels() const {
  auto channels = TChannels::CreateDefault();
  for (int i = 0; i < GetChanCount(); ++i) {
    auto channel = std::make_unique<TChannel>(channels->NewKey());
    channel->SetFlags(0x8088);
    channel->SetDecimals(1);
    channel->SetFactor(1.0);
    channel->SetMin(0);
    channel->SetMax(100);
    channel->SetAlarmMin(0);
    channel->SetAlarmMax(100);
    channel->SetName(GetChanName(i).substr(0, 79));
    channel->SetSName(GetChanSName(i).substr(0, 20));
    channel->SetUnit(GetChanUnit(i).substr(0, 20));
    channels->Add(std::move(channel));
  }
  return channels;
}

void TTavra2GSubMod::SetName(const std::string& name) {
  const bool differs = name != Name();
  TTavra2GDevice::SetName(name);
  if (differs) ForValueChannels([this](TChannel& c, int i) { c.SetName(GetChanName(i).substr(0, 79)); });
}

void TTavra2GSubMod::SetSName(const std::string& sname) {
  const bool differs = sname != SName();
  TTavra2GDevice::SetSName(sname);
  if (differs) ForValueChannels([this](TChannel& c, int i) { c.SetSName(GetChanSName(i).substr(0, 20)); });
}

void TTavra2GSubMod::WriteKey(const std::string& section, const std::string& key, const std::string& value) {
  if (!IsNew() && FileExists(GetIniName())) TIniFile2(GetIniName()).WriteString(section, key, value);
}

void TTavra2GSubMod::WriteFloatKey(const std::string& key, double value) {
  if (!IsNew() && FileExists(GetIniName())) TIniFile2(GetIniName()).WriteFloat2(kChannelsSection, key, value, 5, 2);
}

void TTavra2GSubMod::SetUnit(const std::string& unit) {
  if (unit == unit_) return;
  unit_ = unit;
  WriteKey(kChannelsSection, "Unit", unit);
  ForValueChannels([this](TChannel& c, int i) { c.SetUnit(GetChanUnit(i).substr(0, 20)); });
  if (uint8_t type = MeashTypeOfUnit(unit)) SetMeashType(type);
}

void TTavra2GSubMod::SetDecimals(uint8_t n) {
  if (!StoreChanged(decimals_, n)) return;
  DecimalsEdit = n;
  WriteKey(kChannelsSection, "Decimals", std::to_string(n));
  ForValueChannels([n](TChannel& c, int) { c.SetDecimals(n); });
}

void TTavra2GSubMod::SetValMin(float x) {
  const float old = val_min_;
  if (!StoreChanged(val_min_, x)) return;
  ValMinEdit = x;
  WriteFloatKey("ValMin", x);
  ForValueChannels([x](TChannel& c, int) { c.SetMin(x); });
  if (view_min_ == old) SetViewMin(x);
  if (alarm_min_ == old) SetAlarmMin(x);
}

void TTavra2GSubMod::SetValMax(float x) {
  const float old = val_max_;
  if (!StoreChanged(val_max_, x)) return;
  ValMaxEdit = x;
  WriteFloatKey("ValMax", x);
  ForValueChannels([x](TChannel& c, int) { c.SetMax(x); });
  if (view_max_ == old) SetViewMax(x);
  if (alarm_max_ == old) SetAlarmMax(x);
}

void TTavra2GSubMod::SetViewMin(double x) {
  if (!StoreChanged(view_min_, x)) return;
  ViewMinEdit = x;
  WriteFloatKey("ViewMin", x);
  ForValueChannels([x](TChannel& c, int) { c.SetViewMin(x); });
}

void TTavra2GSubMod::SetViewMax(double x) {
  if (!StoreChanged(view_max_, x)) return;
  ViewMaxEdit = x;
  WriteFloatKey("ViewMax", x);
  ForValueChannels([x](TChannel& c, int) { c.SetViewMax(x); });
}

void TTavra2GSubMod::SetAlarmMin(double x) { SetAlarmMinDirect(x); }
void TTavra2GSubMod::SetAlarmMax(double x) { SetAlarmMaxDirect(x); }

void TTavra2GSubMod::SetAlarmMinDirect(double x) {
  AlarmMinEdit = x;
  if (!StoreChanged(alarm_min_, x)) return;
  WriteFloatKey("AlarmMin", x);
  ForValueChannels([x](TChannel& c, int) { c.SetAlarmMin(x); });
}

void TTavra2GSubMod::SetAlarmMaxDirect(double x) {
  AlarmMaxEdit = x;
  if (!StoreChanged(alarm_max_, x)) return;
  WriteFloatKey("AlarmMax", x);
  ForValueChannels([x](TChannel& c, int) { c.SetAlarmMax(x); });
}

void TTavra2GSubMod::SetMeashType(uint8_t type) {
  if (!StoreChanged(meash_type_, type)) return;
  WriteKey(kChannelsSection, "MeashType", MeasTypeName(type));
  ForValueChannels([type](TChannel& c, int) { c.SetMeasType(type); });
}

void TTavra2GSubMod::SetCalcType(uint8_t type) {
  if (!StoreChanged(calc_type_, type)) return;
  WriteKey(kChannelsSection, "CalcType", CalcTypeName(type));
  ForValueChannels([type](TChannel& c, int) { c.SetCalcType(type); });
}

double TTavra2GSubMod::RawToValue(uint16_t raw) const {
  if (raw >= kRawInvalid) return kNoValue;
  return val_min_ + (static_cast<double>(val_max_) - val_min_) * raw / kRawFullScale;
}

uint16_t TTavra2GSubMod::ValueToRaw(double value) const {
  if (!(value > kNoValue && value <= -kNoValue) || val_max_ == val_min_) return kRawInvalid;
  const double r = (value - val_min_) * kRawFullScale / (static_cast<double>(val_max_) - val_min_);
  if (!(r >= 0 && r <= kRawFullScale)) return kRawInvalid;
  return static_cast<uint16_t>(std::nearbyint(r));
}

void TTavra2GSubMod::FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) {
  if (!outline) throw EDeviceError("Error in TTavra2GSubMod.FillOutline: Outline is nil");
  const int index = outline->AddChildObject(parent_index, GetOutlineText(Name()), static_cast<TExplElement*>(this));
  SetOnSelect(on_select);
  for (int i = 0; i < ChildCount(); ++i) GetChild(i)->FillOutline(outline, index, on_select);
  if (TChannels* channels = Channels())
    for (int i = GetChanCount(); i < channels->ValueCount(); ++i)
      channels->GetValueChannel(i)->FillOutline(outline, index, on_select);
}

bool TTavra2GSubMod::HasDataFiles() const { return Data() && !Data()->NoData(); }

void TTavra2GSubMod::ReadIni() {
  SetHiddenField(false);
  TTavra2GDevice::ReadIni();
  TIniFile2 ini(GetIniName());
  ModChanNum = NewChanNum = ReadIniInteger(ini, IniSection, "ModChanNum", ModChanNum);
  std::string unit = ini.ReadString(kChannelsSection, "Unit", "");
  if (!unit.empty()) {
    unit_ = unit;
    if (TChannels* channels = Channels())
      for (int i = 0; i < channels->ValueCount(); ++i) {
        TChannel* c = channels->GetValueChannel(i);
        if ((!c->Name().empty() || !c->SName().empty()) && c->Unit().empty()) c->SetUnit(unit.substr(0, 20));
      }
  }
  int32_t decimals = ReadIniInteger(ini, kChannelsSection, "Decimals", decimals_);
  decimals_ = DecimalsEdit = static_cast<uint8_t>(std::clamp(decimals, 0, 255));
  auto read = [&](const char* key, double current) {
    try {
      return ini.ReadFloat2(kChannelsSection, key, current);
    } catch (const std::exception& e) {
      ReportError(e.what(), "TTavra2GSubMod.ReadIni");
      return current;
    }
  };
  val_min_ = ValMinEdit = static_cast<float>(read("ValMin", val_min_));
  val_max_ = ValMaxEdit = static_cast<float>(read("ValMax", val_max_));
  view_min_ = ViewMinEdit = read("ViewMin", view_min_);
  view_max_ = ViewMaxEdit = read("ViewMax", view_max_);
  alarm_min_ = AlarmMinEdit = read("AlarmMin", alarm_min_);
  alarm_max_ = AlarmMaxEdit = read("AlarmMax", alarm_max_);
  // The neutral type is offered as "none" so that a stored type always wins.
  const std::string offered = MeasTypeName(meash_type_ == 1 ? 0 : meash_type_);
  meash_type_ = MeasTypeFromName(ini.ReadString(kChannelsSection, "MeashType", offered));
  if (ini.ReadString(kChannelsSection, "MeashType", offered) == "mtNone") meash_type_ = 0;
  if (meash_type_ != 0)
    calc_type_ = 0;
  else
    calc_type_ = CalcTypeFromName(ini.ReadString(kChannelsSection, "CalcType", CalcTypeName(calc_type_)));
  if (meash_type_ == 0 && calc_type_ == 0) meash_type_ = 1;
}

void TTavra2GSubMod::WriteIni() {
  TTavra2GDevice::WriteIni();
  if (Dir().empty() || Dir() == InvalidDir || !FileExists(GetIniName())) return;
  TIniFile2 ini(GetIniName());
  ini.WriteInteger(IniSection, "ModChanNum", ModChanNum);
  ini.WriteString(kChannelsSection, "Unit", unit_);
  ini.WriteInteger(kChannelsSection, "Decimals", decimals_);
  ini.WriteFloat2(kChannelsSection, "ValMin", val_min_, 5, 2);
  ini.WriteFloat2(kChannelsSection, "ValMax", val_max_, 5, 2);
  ini.WriteFloat2(kChannelsSection, "ViewMin", view_min_, 5, 2);
  ini.WriteFloat2(kChannelsSection, "ViewMax", view_max_, 5, 2);
  ini.WriteFloat2(kChannelsSection, "AlarmMin", alarm_min_, 5, 2);
  ini.WriteFloat2(kChannelsSection, "AlarmMax", alarm_max_, 5, 2);
  ini.WriteString(kChannelsSection, "MeashType", MeasTypeName(meash_type_));
  ini.WriteString(kChannelsSection, "CalcType", CalcTypeName(calc_type_));
}

void TTavra2GSubMod::CancelChanges() {
  TTavra2GDevice::CancelChanges();
  ValMinEdit = val_min_;
  ValMaxEdit = val_max_;
  DecimalsEdit = decimals_;
  ViewMinEdit = view_min_;
  ViewMaxEdit = view_max_;
  AlarmMinEdit = alarm_min_;
  AlarmMaxEdit = alarm_max_;
  NewChanNum = ModChanNum;
}

bool TTavra2GSubMod::TransmitEEPar() {
  if (EEState() >= eeChanged) SetEEState(eeTransmitting);
  return true;
}

}  // namespace qv
