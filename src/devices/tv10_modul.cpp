#include "devices/tv10_modul.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/archive_hooks.h"
#include "base/ini_file2.h"
#include "base/utils.h"
#include "base/res_string.h"
#include "devices/dev_handl_service.h"
#include "devices/tv10_sub_mod_ed0.h"
#include "platform/rtl/format.h"
#include "platform/rtl/byte_order.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/text_encoding.h"

namespace qv {

namespace {

constexpr const char* kEESection = "EE-Parameter";
constexpr int kNameSize = 12;
constexpr int kNameOffset = 11;

// Offsets of the header fields behind the names, from the logger id on.
struct HeaderTail {
  int id, id_byte, sample, save, height, presel, presel_dt, pcb;
};
HeaderTail TailOffsets(int slots) {
  const int base = kNameOffset + kNameSize * (1 + slots);
  return {base, base + 2, base + 3, base + 7, base + 9, base + 11, base + 12, base + 18};
}

void PutU8(std::string& b, int offset, uint8_t v) { b[static_cast<size_t>(offset)] = static_cast<char>(v); }
void PutU16(std::string& b, int offset, uint16_t v) {
  PutLE16(reinterpret_cast<uint8_t*>(&b[static_cast<size_t>(offset)]), v);
}
void PutU32(std::string& b, int offset, uint32_t v) {
  PutLE32(reinterpret_cast<uint8_t*>(&b[static_cast<size_t>(offset)]), v);
}
uint8_t U8(const std::string& b, int offset) { return static_cast<uint8_t>(b[static_cast<size_t>(offset)]); }
uint16_t U16(const std::string& b, int offset) { return GetLE16(reinterpret_cast<const uint8_t*>(b.data() + offset)); }
int16_t S16(const std::string& b, int offset) { return static_cast<int16_t>(U16(b, offset)); }

// A name field: Windows-1252, cut to 12 bytes, zero-filled (no terminator when full).
void PutName(std::string& b, int offset, const std::string& name) {
  const std::string bytes = Utf8ToCp1252(name).substr(0, kNameSize);
  std::copy(bytes.begin(), bytes.end(), b.begin() + offset);
}
std::string GetName(const std::string& b, int offset) {
  std::string bytes = b.substr(static_cast<size_t>(offset), kNameSize);
  bytes = bytes.substr(0, bytes.find('\0'));
  return Cp1252ToUtf8(bytes);
}

// Rounded to the nearest integer and limited to lo..hi.
int32_t RoundLimited(double v, int32_t lo, int32_t hi) {
  if (!(v > lo)) return lo;
  if (!(v < hi)) return hi;
  return static_cast<int32_t>(std::nearbyint(v));
}

// The raw maximum of a slot's range (minimum at +8, maximum at +10); ranges above the signed
// field are stored as their unsigned bits. False for a range that is empty or upside down.
bool SlotRange(const std::string& slot, int at, int32_t& raw_max) {
  const int32_t raw_min = S16(slot, at + 8);
  raw_max = S16(slot, at + 10);
  if (raw_max < raw_min) raw_max = U16(slot, at + 10);
  return raw_max > raw_min;
}

// Sensor types whose range is stored in whole units rather than tenths.
bool WholeUnits(uint8_t type) { return type == 9 || type == 12 || type == 13 || type == 14; }

// Everything from the stream's position to its end.
std::string RestOf(TStream& stream) {
  std::string bytes(static_cast<size_t>(std::max<int64_t>(stream.Size() - stream.Position(), 0)), '\0');
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  return bytes;
}

TDateTime Jan2000() { return EncodeDate(2000, 1, 1); }

}  // namespace

TDateTime DTRecToDateTime(const TDTRec& rec) {
  TDateTime date = 0, time = 0;
  if (!TryEncodeDate(2000 + rec[0], rec[1], rec[2], date) || !TryEncodeTime(rec[3], rec[4], rec[5], 0, time))
    return -1000.0;
  return date + time;
}

TDTRec DateTimeToDTRec(TDateTime dt) {
  if (!(dt > Jan2000() && dt < EncodeDate(2256, 1, 1))) return {0, 1, 1, 0, 0, 0};
  uint16_t y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  return {static_cast<uint8_t>(y - 2000), static_cast<uint8_t>(mo), static_cast<uint8_t>(d),
          static_cast<uint8_t>(h),        static_cast<uint8_t>(mi), static_cast<uint8_t>(s)};
}

// --- TTv10Modul ---

void TTv10Modul::SetDefaults() {
  TTavra2GModul::SetDefaults();
  ProjectNo = 3;
  tavra_typ_ = 0;
  SlotNames = {};
  IdByte = 1;
  SampleIntIdx.SetAll(0);
  SaveIntIdx.SetAll(Tv10FirstSaveIndex);
  LocalHeight.SetAll(0);
  PreSelEnabled.SetAll(false);
  PreSelDateTime.SetAll(Jan2000());
  SensorPcb.SetAll(0);
  StoringMode.SetAll(1);
  StorCircular.SetAll(true);
  NewSName.clear();
}

TTv10Modul::~TTv10Modul() { FinishModule(); }

void TTv10Modul::SetSName(const std::string& sname) {
  if (EEState() == eeDefault) return;
  NewSName = sname;
  if (sname != SName() && EEState() == eeRead) SetEEState(eeChanged);
}

int TTv10Modul::GetSlotCount() const { return tavra_typ_ == 0 ? 0 : GetSubModSlotCount(tavra_typ_); }

TTavra2GSubMod* TTv10Modul::CreateSubModul(int slot, bool set_up, const TSensTypeInfo* info) {
  auto sub = TTavra2GSubMod::CreateSub<TTv10SubModul>(this);
  sub->SetId(FindNextId(1, MaxId));
  TTv10SensorInfo entry;
  if (info && FindSensorInfo((*info)[0], (*info)[1], E2Version, entry))
    sub->SetName(entry.Name);
  else
    sub->SetName(LoadResString("chn_Channel") + std::to_string(slot));
  sub->ModChanNum = sub->NewChanNum = slot;
  TTv10SubModul* result = sub.get();
  if (set_up && sub->SetUpDevice()) {
    sub.release();  // the module owns it now
  } else {
    Detached().push_back(std::move(sub));
  }
  return result;
}

TTv10SubModul* TTv10Modul::CreateSensorSubModul(uint8_t pcb, uint8_t type, uint8_t e2_version) {
  int count = 0;
  for (TTavra2GSubMod* sub : SubModuls()) count += dynamic_cast<TTv10SubModul*>(sub) ? 1 : 0;
  auto sub = TTavra2GSubMod::CreateSub<TTv10SubModul>(this);
  sub->SetId(FindNextId(1, MaxId));
  sub->ModChanNum = sub->NewChanNum = 0;
  sub->SetEEState(eeRead);
  sub->SetSNameDirect(LoadResString("chn_Channel") + std::to_string(count + 1));
  TTv10SensorInfo entry;
  sub->SetName(FindSensorInfo(pcb, type, e2_version, entry) ? entry.Name : sub->SName());
  sub->SetSensorInfo(pcb, type, e2_version);
  if (!sub->SetUpDevice()) return nullptr;
  return sub.release();  // the module owns it now
}

void TTv10Modul::ApplyDefTempUnit(bool to_fahrenheit) {
  if (EEState() == eeDefault) return;
  TTv10SensorInfo entry;
  auto catalogue_name = [&](const TTv10SubModul* sub, const std::string& fallback) {
    return FindSensorInfo(sub->SensorPcb, sub->SensorType, E2Version, entry) ? entry.Name : fallback;
  };
  if (tavra_typ_ == 7) {
    for (int slot = 1; slot <= 2; ++slot)
      if (auto* sub = dynamic_cast<TTv10SubModul*>(GetSubModul(slot))) sub->SetName(catalogue_name(sub, sub->Name()));
    return;
  }
  bool any = false;
  const std::string channel_word = LoadResString("chn_Channel");
  for (int slot = 1; slot <= GetSlotCount(); ++slot) {
    auto* holder = dynamic_cast<TTv10SubModul*>(GetSubModul(slot));
    if (holder && holder->SensorType == 9) holder->SetDecimals(0);
    const uint8_t type = holder ? holder->SensorType : 0;
    uint8_t new_type = type;
    if (to_fahrenheit && (type == 1 || type == 129)) new_type = static_cast<uint8_t>(type + 1);
    if (!to_fahrenheit && (type == 2 || type == 130)) new_type = static_cast<uint8_t>(type - 1);
    if (new_type == type) {
      if (holder && holder->Name().find(channel_word) != std::string::npos)
        holder->SetName(catalogue_name(holder, holder->Name()));
      continue;
    }
    any = true;
    TTv10SubModul* taker = nullptr;
    for (TTavra2GSubMod* s : SubModuls()) {
      auto* sub = dynamic_cast<TTv10SubModul*>(s);
      if (sub && sub != holder && sub->SensorPcb == SensorPcb.Value && sub->SensorType == new_type && sub->Id() == slot)
        taker = sub;
    }
    const std::string untitled = LoadResString("dev_Untitled") + std::to_string(slot);
    if (taker) {
      if (holder) holder->ModChanNum = holder->NewChanNum = 0;
      taker->ModChanNum = taker->NewChanNum = slot;
    } else if (!holder || holder->HasDataFiles()) {
      if (holder) holder->ModChanNum = holder->NewChanNum = 0;
      auto sub = TTavra2GSubMod::CreateSub<TTv10SubModul>(this);
      sub->SetId(FindNextId(1, MaxId));
      sub->ModChanNum = sub->NewChanNum = slot;
      sub->SetEEState(eeRead);
      sub->SetSensorInfo(SensorPcb.Value, new_type, E2Version);
      sub->SetSNameDirect(untitled);
      sub->SetName(catalogue_name(sub.get(), untitled));
      if (sub->SetUpDevice()) sub.release();  // the module owns it now
    } else {
      holder->SetSensorInfo(SensorPcb.Value, new_type, E2Version);
      holder->SetSNameDirect(untitled);
      holder->SetName(catalogue_name(holder, untitled));
    }
  }
  if (any) {
    try {
      BuildImage(&EEImage(), false);
      bool written = false;
      for (int asked = 0; !written;) {
        written = DevHandlService && DevHandlService->WriteConfig(this, true);
        if (written) break;
        if (DevHandlService) DevHandlService->CloseConnection();
        if (asked++ >= kMaxRetries ||
            !AskRetry(Format(LoadResString("dev_MsgNoConn"), Name()), LoadResString("dev_EEParTransm")))
          break;
      }
      if (written) {
        SaveEEParCfg();
      } else {
        LoadEEParCfg();
        bool changed = false;
        if (EEImage().Size() > 0) ReadEEPar(&EEImage(), changed, E2Version, tavra_typ_);
      }
    } catch (const std::exception& e) {
      ReportError(e.what(), "TTv10Modul.ApplyDefTempUnit");
    }
    if (DevHandlService) DevHandlService->CloseConnection();
  }
  SetEEState(eeRead);
  for (TTavra2GSubMod* sub : SubModuls()) {
    sub->CancelChanges();
    sub->SaveEEState();
    sub->SetEEState(eeRead);
  }
}

void TTv10Modul::CheckImage(const std::string& bytes) const {
  const int slots = GetSlotCount();
  if (slots == 0 || static_cast<int>(bytes.size()) < Tv10ImageSize(slots))
    throw EDeviceError("TTv10Modul.ReadEEPar: configuration block too short");
  const uint8_t e2 = U8(bytes, 10);
  const uint8_t pcb = U8(bytes, TailOffsets(slots).pcb);
  TTv10SensorInfo entry;
  for (int s = 0; s < slots; ++s) {
    const int at = Tv10HeaderSize(slots) + kTv10SlotPartSize * s;
    if (!FindSensorInfo(pcb, U8(bytes, at), e2, entry))
      throw Exception("TTv10SubModul.SetSensorInfo: invalid SensorType/Pcb/E²Version");
    // An empty or upside-down range scales no value: its alarm limits would change at every
    // write and read-back.
    int32_t raw_max = 0;
    if (!SlotRange(bytes, at, raw_max))
      throw EDeviceError(Format("TTv10Modul.ReadEEPar: the measuring range of slot %d is empty or reversed", s + 1));
  }
}

void TTv10Modul::WriteHeader(TStream& stream, bool buffered) {
  const int slots = GetSlotCount();
  const HeaderTail t = TailOffsets(slots);
  std::string b(static_cast<size_t>(Tv10HeaderSize(slots)), '\0');
  PutU16(b, 0, SerialNo);
  PutU16(b, 2, MonthYear);
  PutU16(b, 4, ProjectNo);
  PutU8(b, 6, PartList);
  PutU8(b, 7, CircuitDiagram);
  PutU8(b, 8, HwVersion);
  PutU8(b, 9, SwVersion);
  PutU8(b, 10, E2Version);
  PutName(b, kNameOffset, buffered ? NewSName : SName());
  for (int s = 1; s <= slots; ++s) {
    auto* sub = dynamic_cast<TTv10SubModul*>(buffered ? FindSubModul(s) : GetSubModul(s));
    if (sub) PutName(b, kNameOffset + kNameSize * s, buffered ? sub->NewSName : sub->SName());
  }
  PutU16(b, t.id, Kennung() >= 0 && Kennung() <= 65535 ? static_cast<uint16_t>(Kennung()) : 0);
  PutU8(b, t.id_byte, IdByte);
  auto pick = [buffered](const auto& v) { return buffered ? v.Pending : v.Value; };
  PutU32(b, t.sample, Tv10SampleIntervals.at(std::min<size_t>(pick(SampleIntIdx), Tv10IntervalCount - 1)));
  PutU16(b, t.save, Tv10SaveIntervals.at(std::min<size_t>(pick(SaveIntIdx), Tv10IntervalCount - 1)));
  PutU16(b, t.height, static_cast<uint16_t>(RoundLimited(static_cast<double>(pick(LocalHeight)) * 10, -1000, 20000)));
  PutU8(b, t.presel, pick(PreSelEnabled) ? 1 : 0);
  const TDTRec rec = DateTimeToDTRec(pick(PreSelDateTime));
  std::copy(rec.begin(), rec.end(), b.begin() + t.presel_dt);
  PutU8(b, t.pcb, pick(SensorPcb));
  stream.WriteBuffer(b.data(), static_cast<int32_t>(b.size()));
}

void TTv10Modul::WriteEEPar(TStream* stream) {
  if (!stream) throw EDeviceError("TTv10Modul.WriteEEPar: Stream must not be NIL!");
  BuildImage(stream, false);
}

void TTv10Modul::WriteEEBufPar(TStream* stream) {
  if (!stream) throw EDeviceError("TTv10Modul.WriteEEBufPar: Stream must not be NIL!");
  BuildImage(stream, true);
}

void TTv10Modul::ReadEEPar(TStream* stream, bool& changed, uint8_t e2_version, uint8_t kind) {
  if (!stream) throw EDeviceError("TTv10Modul.ReadEEPar: Stream must not be NIL!");
  if (stream->Size() == 0) return;
  stream->SetPosition(0);
  const std::string b = RestOf(*stream);
  // The whole block is checked before anything of it is taken.
  CheckImage(b);
  const int slots = GetSlotCount();
  const HeaderTail t = TailOffsets(slots);
  auto take = [&changed](auto& field, auto value) {
    if (field != value) changed = true;
    field = value;
  };
  take(SerialNo, U16(b, 0));
  take(MonthYear, U16(b, 2));
  take(ProjectNo, U16(b, 4));
  take(PartList, U8(b, 6));
  take(CircuitDiagram, U8(b, 7));
  take(HwVersion, U8(b, 8));
  take(SwVersion, U8(b, 9));
  take(E2Version, U8(b, 10));
  const std::string name = GetName(b, kNameOffset);
  if (name != SName()) changed = true;
  SetSNameDirect(name);
  SlotNames = {};
  for (int s = 0; s < slots; ++s) SlotNames[static_cast<size_t>(s)] = GetName(b, kNameOffset + kNameSize * (s + 1));
  if (const uint16_t id = U16(b, t.id); id != 0 && id != Kennung()) {
    changed = true;
    TDevice::SetKennung(id);
  }
  take(IdByte, U8(b, t.id_byte));
  const auto sample =
      static_cast<uint8_t>(SampleIntIndex(GetLE32(reinterpret_cast<const uint8_t*>(b.data() + t.sample))));
  auto save = static_cast<uint8_t>(SaveIntIndex(U16(b, t.save)));
  if (save < sample) save = sample;
  changed |= SampleIntIdx.Take(sample);
  changed |= SaveIntIdx.Take(save);
  const int16_t raw_height = S16(b, t.height);
  const float height = raw_height < -1000 ? -100.0f : raw_height <= 20000 ? raw_height / 10.0f : 2000.0f;
  changed |= LocalHeight.Take(height);
  TDTRec rec;
  std::copy_n(b.begin() + t.presel_dt, 6, rec.begin());
  const TDateTime start = DTRecToDateTime(rec);
  if (U8(b, t.presel) == 0 || start < Now()) {
    PreSelEnabled.Take(false);
    PreSelDateTime.Take(Jan2000());
  } else {
    changed |= PreSelEnabled.Take(true);
    changed |= PreSelDateTime.Take(start);
  }
  changed |= SensorPcb.Take(U8(b, t.pcb));
  stream->SetPosition(Tv10HeaderSize(slots));
  TTavra2GModul::ReadEEPar(stream, changed, e2_version, kind);
}

void TTv10Modul::SaveEEState() {
  NewSName = SName();
  for (auto* v : {&SampleIntIdx, &SaveIntIdx, &SensorPcb, &StoringMode}) v->Pending = v->Value;
  LocalHeight.Pending = LocalHeight.Value;
  PreSelEnabled.Pending = PreSelEnabled.Value;
  StorCircular.Pending = StorCircular.Value;
  PreSelDateTime.Pending = PreSelDateTime.Value;
}

void TTv10Modul::CancelChanges() {
  TTavra2GModul::CancelChanges();
  for (auto* v : {&SampleIntIdx, &SaveIntIdx, &SensorPcb, &StoringMode}) v->Edit = v->Value;
  LocalHeight.Edit = LocalHeight.Value;
  PreSelEnabled.Edit = PreSelEnabled.Value;
  StorCircular.Edit = StorCircular.Value;
  PreSelDateTime.Edit = PreSelDateTime.Value;
}

bool TTv10Modul::ApplyEEChanges() {
  if (EEState() == eeDefault) return false;
  SetStorCircular(StorCircular.Edit);
  SetStoringMode(StoringMode.Edit);
  SetSampleIntIdx(SampleIntIdx.Edit);
  SetSaveIntIdx(SaveIntIdx.Edit);
  const TDateTime now = Now();
  const bool current_off = !PreSelEnabled.Value || PreSelDateTime.Value < now;
  const bool edited_off = !PreSelEnabled.Edit || PreSelDateTime.Edit < now;
  if (current_off && edited_off) {
    PreSelEnabled.Value = PreSelEnabled.Edit = false;
    PreSelDateTime.Value = PreSelDateTime.Edit = Jan2000();
  } else {
    SetPreSelEnabled(PreSelEnabled.Edit);
    SetPreSelDateTime(PreSelDateTime.Edit);
  }
  SetLocalHeight(LocalHeight.Edit);
  return true;
}

// --- TTv10SubModul ---

void TTv10SubModul::SetDefaults() {
  TTavra2GSubMod::SetDefaults();
  SensorPcb = SensorType = 0;
  AlarmAtSample.SetAll(true);
  AlarmMinPending = 0;
  AlarmMaxPending = 100;
  AlarmHyst.SetAll(0);
  Offset.SetAll(0);
  NewSName.clear();
}

TTv10SubModul::~TTv10SubModul() {
  if (IsDiscarded() || IsNew()) return;
  try {
    try {
      WriteIni();
    } catch (const std::exception& e) {
      ReportError(e.what(), "TTv10SubModul.Destroy");
    }
  } catch (...) {
  }
}

namespace {
const char* const kAbrKeys[] = {"chn_AbrMin", "chn_AbrMax", "chn_AbrAve"};
}

std::string TTv10SubModul::GetChanName(int index) const {
  return index >= 0 && index < 3 ? Name() + " [" + LoadResString(kAbrKeys[index]) + "]" : Name();
}

std::string TTv10SubModul::GetChanSName(int index) const {
  return index >= 0 && index < 3 ? SName() + " [" + LoadResString(kAbrKeys[index]) + "]" : SName();
}

std::string TTv10SubModul::GetChanUnit(int index) const { return index >= 0 && index < 3 ? Unit() : ""; }

void TTv10SubModul::SetSName(const std::string& sname) {
  if (EEState() == eeDefault) return;
  NewSName = sname;
  if (sname != SName() && EEState() == eeRead) SetEEState(eeChanged);
}

TTv10Modul* TTv10SubModul::Module(const char* operation) const {
  auto* module = dynamic_cast<TTv10Modul*>(Parent());
  if (!module) throw Exception(std::string("TTv10SubModul.") + operation + ": Parent nil or invalid!");
  return module;
}

void TTv10SubModul::SetSensorType(uint8_t type) {
  SensorType = type;
  if (auto* module = dynamic_cast<TTv10Modul*>(Parent()))
    SetSensorInfo(module->SensorPcb.Value, type, module->E2Version);
}

void TTv10SubModul::SetSensorInfo(uint8_t pcb, uint8_t type, uint8_t e2_version) {
  TTv10SensorInfo entry;
  if (!FindSensorInfo(pcb, type, e2_version, entry))
    throw Exception("TTv10SubModul.SetSensorInfo: invalid SensorType/Pcb/E²Version");
  SensorPcb = pcb;
  SensorType = type;
  SetUnit(entry.Unit);
  if (AlarmMin() == ValMin()) SetAlarmMinDirect(entry.ValMin);
  if (AlarmMax() == ValMax()) SetAlarmMaxDirect(entry.ValMax);
  SetValMin(entry.ValMin);
  SetValMax(entry.ValMax);
  SetMeashType(entry.MeashType);
  SetCalcType(0);
  if (!IsNew() && std::filesystem::exists(GetIniName()))
    TIniFile2(GetIniName())
        .WriteValues(kEESection, {{"SensorPcb", std::to_string(pcb)}, {"SensorType", std::to_string(type)}});
}

void TTv10SubModul::WriteSlot(TStream* stream, bool buffered, const char* operation) {
  if (!stream) throw EDeviceError(std::string("TTv10SubModul.") + operation + ": Stream must not be NIL!");
  TTv10Modul* module = Module(operation);
  std::string b(kTv10SlotPartSize, '\0');
  const double val_min = ValMin(), val_max = ValMax();
  const double alarm_min = buffered ? AlarmMinPending : AlarmMin();
  const double alarm_max = buffered ? AlarmMaxPending : AlarmMax();
  const double hyst = buffered ? AlarmHyst.Pending : AlarmHyst.Value;
  const double offset = buffered ? Offset.Pending : Offset.Value;
  const bool at_sample = buffered ? AlarmAtSample.Pending : AlarmAtSample.Value;
  const uint8_t mode = buffered ? module->StoringMode.Pending : module->StoringMode.Value;
  const bool circular = buffered ? module->StorCircular.Pending : module->StorCircular.Value;
  auto alarm_raw = [&](double v) -> uint16_t {
    if (v > val_max) return kRawFullScale;
    if (v >= val_min) return ValueToRaw(v);
    return 0;
  };
  PutU8(b, 0, SensorType);
  PutU8(b, 1, static_cast<uint8_t>((at_sample ? 0x10 : 0) | (mode & 0x07) | (circular ? 0x08 : 0)));
  PutU16(b, 2, alarm_raw(alarm_min));
  PutU16(b, 4, alarm_raw(alarm_max));
  const uint16_t hyst_raw = ValueToRaw(val_min + hyst);
  PutU16(b, 6, hyst_raw > kRawFullScale ? 0 : hyst_raw);
  // Ranges above the signed field (°F sensors up to 3308.0) are kept as their unsigned bits.
  const double scale = WholeUnits(SensorType) ? 1 : 10;
  PutU16(b, 8, static_cast<uint16_t>(RoundLimited(val_min * scale, -32768, 65535)));
  PutU16(b, 10, static_cast<uint16_t>(RoundLimited(val_max * scale, -32768, 65535)));
  const int32_t off = SensorType == 9 ? RoundLimited(offset, -2000, 2000)
                      : offset > 20   ? 200
                      : offset < -20  ? -200
                                      : RoundLimited(offset * 10, -200, 200);
  PutU16(b, 12, static_cast<uint16_t>(off));
  stream->WriteBuffer(b.data(), kTv10SlotPartSize);
}

void TTv10SubModul::WriteEEPar(TStream* stream) { WriteSlot(stream, false, "WriteEEPar"); }
void TTv10SubModul::WriteEEBufPar(TStream* stream) { WriteSlot(stream, true, "WriteEEBufPar"); }

void TTv10SubModul::ReadEEPar(TStream* stream, bool& changed, uint8_t, uint8_t kind) {
  if (!stream) throw EDeviceError("TTv10SubModul.ReadEEPar: Stream must not be NIL!");
  TTv10Modul* module = Module("ReadEEPar");
  const bool kind7 = kind == 7;
  const std::string previous_sname = EEState() == eeDefault || NewSName.empty() ? SName() : NewSName;
  const double prev_alarm_min = AlarmMinEdit, prev_alarm_max = AlarmMaxEdit;
  const double prev_hyst = AlarmHyst.Edit;
  const float prev_offset = Offset.Edit;
  // What the slot held before: the sensor type resets range and alarms to the catalogue's.
  const float old_min = ValMin(), old_max = ValMax();
  const double old_alarm_min = AlarmMin(), old_alarm_max = AlarmMax();

  const std::string& slot_name = module->SlotNames.at(static_cast<size_t>(std::clamp(ModChanNum, 1, 4) - 1));
  if (!kind7 && slot_name != SName()) changed = true;
  SetSNameDirect(slot_name);

  std::string b(kTv10SlotPartSize, '\0');
  if (stream->Position() < stream->Size()) {
    stream->ReadBuffer(b.data(), kTv10SlotPartSize);
    const uint8_t type = U8(b, 0);
    if (type != SensorType) changed = true;
    SetSensorType(type);
    const uint8_t flags = U8(b, 1);
    changed |= AlarmAtSample.Take((flags & 0x10) != 0);
    if (ModChanNum == 1) {
      changed |= module->StorCircular.Take((flags & 0x08) != 0);
      changed |= module->StoringMode.Take(static_cast<uint8_t>(flags & 0x07));
    }
    // The range first: the raw alarm values are scaled over the range the logger uses.
    const double scale = WholeUnits(type) ? 1 : 10;
    const int32_t raw_min = S16(b, 8);
    int32_t raw_max = 0;
    SlotRange(b, 0, raw_max);
    const auto val_min = static_cast<float>(raw_min / scale), val_max = static_cast<float>(raw_max / scale);
    if (val_min != old_min || val_max != old_max) changed = true;
    SetValMin(val_min);
    SetValMax(val_max);
    const double alarm_min = RawToValue(U16(b, 2)), alarm_max = RawToValue(U16(b, 4));
    if (!kind7 && (alarm_min != old_alarm_min || alarm_max != old_alarm_max)) changed = true;
    SetAlarmMinDirect(alarm_min);
    SetAlarmMaxDirect(alarm_max);
    // An erased or invalid hysteresis reads as none.
    const uint16_t hyst_raw = U16(b, 6);
    const double hyst = hyst_raw >= kRawInvalid ? 0.0 : RawToValue(hyst_raw) - ValMin();
    if (AlarmHyst.Take(hyst) && !kind7) changed = true;
    const int16_t raw_off = S16(b, 12);
    const float offset = type == 9        ? static_cast<float>(std::clamp<int16_t>(raw_off, -2000, 2000))
                         : raw_off < -200 ? -20.0f
                         : raw_off > 200  ? 20.0f
                                          : raw_off / 10.0f;
    if (Offset.Take(offset) && !kind7) changed = true;
  }
  if (kind7) {
    SetSNameDirect(previous_sname);
    if (prev_alarm_min != prev_alarm_max) {
      SetAlarmMinDirect(prev_alarm_min);
      SetAlarmMaxDirect(prev_alarm_max);
      AlarmHyst.Value = AlarmHyst.Edit = prev_hyst;
      Offset.Value = Offset.Edit = prev_offset;
    } else {
      SetAlarmMinDirect(ValMin());
      SetAlarmMaxDirect(ValMax());
    }
  }
}

void TTv10SubModul::SaveEEState() {
  NewSName = SName();
  AlarmAtSample.Pending = AlarmAtSample.Value;
  AlarmMinPending = AlarmMin();
  AlarmMaxPending = AlarmMax();
  AlarmHyst.Pending = AlarmHyst.Value;
  Offset.Pending = Offset.Value;
}

bool TTv10SubModul::ApplyEEChanges() {
  if (EEState() == eeDefault || ModChanNum == 0) return true;
  SetOffset(Offset.Edit);
  SetAlarmAtSample(AlarmAtSample.Edit);
  SetAlarmMin(AlarmMinEdit);
  SetAlarmMax(AlarmMaxEdit);
  SetAlarmHyst(AlarmHyst.Edit);
  return true;
}

bool TTv10SubModul::ApplyChanges() {
  SetDecimals(DecimalsEdit);
  SetViewMin(ViewMinEdit);
  SetViewMax(ViewMaxEdit);
  return TTavra2GSubMod::ApplyChanges();
}

void TTv10SubModul::CancelChanges() {
  TTavra2GSubMod::CancelChanges();
  Offset.Edit = Offset.Value;
  AlarmAtSample.Edit = AlarmAtSample.Value;
  AlarmHyst.Edit = AlarmHyst.Value;
}

void TTv10SubModul::ExtractSensTypeInfo(TStream* stream, TSensTypeInfo* info, uint8_t) {
  if (!stream || !info || stream->Position() >= stream->Size())
    throw Exception("TTv10SubModul.ExtractSensTypeInfo: Invalid Stream or Info");
  const int64_t pos = stream->Position();
  stream->ReadBuffer(&(*info)[1], 1);
  stream->SetPosition(pos);
}

bool TTv10SubModul::AcceptSensTypeInfo(const TSensTypeInfo* info) const {
  if (!info) throw Exception("TTv10SubModul.AcceptSensTypeInfo: PInfo must not be nil!");
  if (!HasDataFiles()) return true;
  return SensorPcb == (*info)[0] && SensorType == (*info)[1];
}

void TTv10SubModul::ReadIni() {
  TTavra2GSubMod::ReadIni();
  TIniFile2 ini(GetIniName());
  const int32_t pcb = ReadIniInteger(ini, kEESection, "SensorPcb", SensorPcb);
  if (pcb >= 0 && pcb <= 14) SensorPcb = static_cast<uint8_t>(pcb);
  const int32_t type = ReadIniInteger(ini, kEESection, "SensorType", SensorType);
  if (type >= 0 && type <= 255) SensorType = static_cast<uint8_t>(type);
  AlarmAtSample.SetAll(ReadIniBool(ini, kEESection, "AlarmAtSample", AlarmAtSample.Value));
  auto read = [&](const char* key, double current) {
    try {
      return ini.ReadFloat2(kEESection, key, current);
    } catch (const std::exception& e) {
      ReportError(e.what(), "TTv10SubModul.ReadIni");
      return current;
    }
  };
  Offset.SetAll(static_cast<float>(std::clamp(read("Offset", Offset.Value), kNoValue, -kNoValue)));
  double hyst = read("AlarmHyst", AlarmHyst.Value);
  if (hyst > ValMax()) hyst = ValMax();
  if (!(hyst >= 0)) hyst = 0;
  AlarmHyst.SetAll(hyst);
  AlarmMinPending = AlarmMin();
  AlarmMaxPending = AlarmMax();
}

void TTv10SubModul::WriteIni() {
  TTavra2GSubMod::WriteIni();
  if (Dir().empty() || Dir() == InvalidDir || !std::filesystem::exists(GetIniName())) return;
  TIniFile2 ini(GetIniName());
  ini.WriteValues(kEESection, {{"SensorPcb", std::to_string(SensorPcb)},
                               {"SensorType", std::to_string(SensorType)},
                               {"AlarmAtSample", AlarmAtSample.Value ? "1" : "0"}});
  ini.WriteFloat2(kEESection, "AlarmHyst", AlarmHyst.Value, 5, 2);
  ini.WriteFloat2(kEESection, "Offset", Offset.Value, 5, 3);
}

// --- registry ---

void TTv10DevClassReg::RegisterDefaults() {
  TDevClassRegistry::RegisterDefaults();
  RegisterClass({"TTv10Modul", [](TDevice* parent, const std::string& dir) -> TDevice* {
                   TTv10Modul* module = TDevice::CreateFromDir<TTv10Modul>(parent, dir);
                   module->LoadImage();
                   return module;
                 }});
  RegisterClass({"TTv10SubModul", [](TDevice* parent, const std::string& dir) -> TDevice* {
                   return TDevice::CreateFromDir<TTv10SubModul>(parent, dir);
                 }});
}

// --- editor of a slot ---

TDevEditorCreator TTv10SubModul::GetEditorClass() const { return FindDevEditorClass("TTv10SubModEd"); }

void TTv10SubModul::CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) {
  TTavra2GSubMod::CreateEditor(parent, std::move(on_modified), std::move(on_name_change));
  auto* editor = dynamic_cast<TTv10SubModEd0*>(Editor());
  if (!editor) return;
  editor->SetUpdating(true);
  editor->SetIdReadOnly(true);
  if (EEState() != eeDefault) {
    const auto* module = dynamic_cast<TTv10Modul*>(Parent());
    editor->SetParamsInvalid(false);
    editor->SetBoard(SensorPcb);
    editor->SetSensorType(SensorType);
    editor->SetE2Version(module ? module->E2Version : 0);
    editor->SetModChanNum(NewChanNum);
    editor->SetOffset(Offset.Edit);
    editor->SetAlarmAt(AlarmAtSample.Edit ? 1 : 0);
    editor->SetAlarmMin(AlarmMinEdit);
    editor->SetAlarmMax(AlarmMaxEdit);
    editor->SetAlarmHyst(AlarmHyst.Edit);
    editor->SetUnit(Unit());
  } else {
    editor->SetParamsInvalid(true);
  }
  editor->SetDecimals(DecimalsEdit);
  editor->SetViewMin(ViewMinEdit);
  editor->SetViewMax(ViewMaxEdit);
  editor->SetUpdating(false);
}

namespace {

std::string Fixed2(double v) { return FloatToStrF2(TFloatFormat::ffFixed, 15, 2, v); }

}  // namespace

bool TTv10SubModul::AcceptEditor() {
  if (!TTavra2GSubMod::AcceptEditor()) return false;
  auto* editor = dynamic_cast<TTv10SubModEd0*>(Editor());
  if (!editor) return true;
  const std::string item = LoadResString("chn_Channel") + " " + std::to_string(ModChanNum) + " ";
  const auto detail = [&item](const char* key, const std::string& old_text, const std::string& new_text) {
    AddChangeDetail(item + LoadResString(key), old_text, new_text);
  };
  if (EEState() != eeDefault) {
    if (editor->GetOffset() != Offset.Edit) {
      detail("audit_OffsetChange", Fixed2(Offset.Edit), Fixed2(editor->GetOffset()));
      Offset.Edit = editor->GetOffset();
    }
    const bool at_sample = editor->GetAlarmAt() == 1;
    if (at_sample != AlarmAtSample.Edit) {
      const auto text = [](bool b) { return LoadResString(b ? "audit_AlarmAtSample" : "audit_AlarmAtStoring"); };
      detail("audit_AlarmAtSampleChange", text(AlarmAtSample.Edit), text(at_sample));
      AlarmAtSample.Edit = at_sample;
    }
    if (editor->GetAlarmMin() != AlarmMinEdit) {
      detail("audit_AlarmMinChange", Fixed2(AlarmMinEdit), Fixed2(editor->GetAlarmMin()));
      AlarmMinEdit = editor->GetAlarmMin();
    }
    if (editor->GetAlarmMax() != AlarmMaxEdit) {
      detail("audit_AlarmMaxChange", Fixed2(AlarmMaxEdit), Fixed2(editor->GetAlarmMax()));
      AlarmMaxEdit = editor->GetAlarmMax();
    }
    if (editor->GetAlarmHyst() != AlarmHyst.Edit) {
      detail("audit_AlarmHystChange", Fixed2(AlarmHyst.Edit), Fixed2(editor->GetAlarmHyst()));
      AlarmHyst.Edit = editor->GetAlarmHyst();
    }
  }
  if (editor->DecimalsEdited() && editor->GetDecimals() != DecimalsEdit) {
    detail("audit_DecChange", std::to_string(DecimalsEdit), std::to_string(editor->GetDecimals()));
    DecimalsEdit = static_cast<uint8_t>(editor->GetDecimals());
  }
  if (editor->GetViewMin() != ViewMinEdit) {
    detail("audit_ViewMinChange", Fixed2(ViewMinEdit), Fixed2(editor->GetViewMin()));
    ViewMinEdit = editor->GetViewMin();
  }
  if (editor->GetViewMax() != ViewMaxEdit) {
    detail("audit_ViewMaxChange", Fixed2(ViewMaxEdit), Fixed2(editor->GetViewMax()));
    ViewMaxEdit = editor->GetViewMax();
  }
  return true;
}

// --- editor of the logger ---

TDevEditorCreator TTv10Modul::GetEditorClass() const { return FindDevEditorClass("TTv10ModEditor"); }

void TTv10Modul::CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) {
  TTavra2GModul::CreateEditor(parent, std::move(on_modified), std::move(on_name_change));
  auto* editor = dynamic_cast<TTv10ModEditor0*>(Editor());
  if (!editor) return;
  editor->SetUpdating(true);
  if (EEState() == eeDefault) {
    editor->SetParamsInvalid(true);
  } else {
    editor->SetParamsInvalid(false);
    editor->SetLoggerId(Kennung());
    editor->SetKind(TavraTyp());
    editor->SetSerialNo(SerialNo);
    editor->SetMonthYear(MonthYear);
    editor->SetProjectNo(ProjectNo);
    editor->SetPartList(PartList);
    editor->SetCircuitDiagram(CircuitDiagram);
    editor->SetHwVersion(HwVersion);
    editor->SetSwVersion(SwVersion);
    editor->SetE2Version(E2Version);
    editor->SetStorCircular(StorCircular.Edit);
    editor->SetStoringMode(StoringMode.Edit);
    editor->SetSampleIntIdx(SampleIntIdx.Edit);
    editor->SetSaveIntIdx(SaveIntIdx.Edit);
    // A start that is off or already past is shown as none.
    if (!PreSelEnabled.Edit || PreSelDateTime.Edit < Now()) {
      editor->SetPreSelEnabled(false);
      editor->SetPreSelDateTime(EncodeDate(2000, 1, 1));
    } else {
      editor->SetPreSelEnabled(true);
      editor->SetPreSelDateTime(PreSelDateTime.Edit);
    }
    editor->SetBoard(SensorPcb.Edit);
    editor->SetLocalHeight(LocalHeight.Edit);
    for (int slot = 1; slot <= 4; ++slot) {
      const auto* sub = dynamic_cast<const TTv10SubModul*>(FindSubModul(slot));
      const bool shown = slot <= 2 || TavraTyp() == 6;
      editor->SetSlotType(slot, shown && sub ? sub->SensorType : 0);
    }
    if (TavraTyp() == 7) {
      editor->SetSaveIntIdx(RecorderInt);
      editor->SetSampleIntIdx(RecorderInt);
    }
  }
  editor->OnChangeSensors = [this](TExplEditor*) { ChangeSensors(); };
  for (int slot = 1; slot <= 4; ++slot)
    editor->OnJumpSlot[static_cast<size_t>(slot - 1)] = [this, slot](TExplEditor*) {
      if (TTavra2GSubMod* sub = FindSubModul(slot)) SelectElement(sub, false);
    };
  editor->SetUpdating(false);
}

namespace {

std::string StoringModeText(uint8_t mode) {
  std::string text;
  for (const auto& [bit, key] :
       {std::pair{1, "audit_StoreModeAvg"}, {4, "audit_StoreModeMin"}, {2, "audit_StoreModeMax"}})
    if (mode & bit) text += (text.empty() ? "" : "/") + LoadResString(key);
  return text;
}

std::string IntervalName(uint8_t index) {
  return index < Tv10IntervalCount ? std::string(Tv10RecIntNames[index]) : std::to_string(index);
}

}  // namespace

bool TTv10Modul::AcceptEditor() {
  if (!TTavra2GModul::AcceptEditor()) return false;
  auto* editor = dynamic_cast<TTv10ModEditor0*>(Editor());
  if (!editor || EEState() == eeDefault) return true;
  const auto detail = [](const char* key, const std::string& old_text, const std::string& new_text) {
    AddChangeDetail(LoadResString(key), old_text, new_text);
  };
  if (editor->GetStorCircular() != StorCircular.Edit) {
    const auto text = [](bool b) { return LoadResString(b ? "audit_StoreRingMode" : "audit_StoreStartMode"); };
    detail("audit_StoreRingChange", text(StorCircular.Edit), text(editor->GetStorCircular()));
    StorCircular.Edit = editor->GetStorCircular();
  }
  if (editor->GetStoringMode() != StoringMode.Edit) {
    detail("audit_StoreModeChange", StoringModeText(StoringMode.Edit), StoringModeText(editor->GetStoringMode()));
    StoringMode.Edit = editor->GetStoringMode();
  }
  if (TavraTyp() == 7) {
    RecorderInt = editor->GetSampleIntIdx();
  } else {
    if (editor->GetSampleIntIdx() != SampleIntIdx.Edit) {
      detail("audit_SampleIntChange", IntervalName(SampleIntIdx.Edit), IntervalName(editor->GetSampleIntIdx()));
      SampleIntIdx.Edit = editor->GetSampleIntIdx();
    }
    if (editor->GetSaveIntIdx() != SaveIntIdx.Edit) {
      detail("audit_SaveIntChange", IntervalName(SaveIntIdx.Edit), IntervalName(editor->GetSaveIntIdx()));
      SaveIntIdx.Edit = editor->GetSaveIntIdx();
    }
  }
  if (editor->GetPreSelEnabled() != PreSelEnabled.Edit) {
    const auto text = [](bool b) { return LoadResString(b ? "audit_True" : "audit_False"); };
    detail("audit_PreSelectChange", text(PreSelEnabled.Edit), text(editor->GetPreSelEnabled()));
    PreSelEnabled.Edit = editor->GetPreSelEnabled();
  }
  if (editor->GetPreSelDateTime() != PreSelDateTime.Edit) {
    detail("audit_PreSelDtChange", FormatDateTime("c", PreSelDateTime.Edit),
           FormatDateTime("c", editor->GetPreSelDateTime()));
    PreSelDateTime.Edit = editor->GetPreSelDateTime();
  }
  if (editor->GetLocalHeight() != LocalHeight.Edit) {
    detail("audit_LocalHeightChange", Fixed2(LocalHeight.Edit), Fixed2(editor->GetLocalHeight()));
    LocalHeight.Edit = editor->GetLocalHeight();
  }
  return true;
}

// --- change of sensors ---

namespace {

constexpr std::array<const char*, 4> kSensChangeKeys = {"audit_Sens1Change", "audit_Sens2Change", "audit_Sens3Change",
                                                        "audit_Sens4Change"};

// The catalogue name of a sensor, or the untitled name with the type number.
bool SensorText(uint8_t board, uint8_t type, uint8_t e2_version, std::string& text) {
  TTv10SensorInfo info;
  if (FindSensorInfo(board, type, e2_version, info)) {
    text = info.Name;
    return true;
  }
  text = LoadResString("dev_Untitled") + "(" + std::to_string(type) + ")";
  return false;
}

}  // namespace

void TTv10Modul::ChangeSensors() {
  const TChangeSensorsDlgProc& dialog = ChangeSensorsDlgProc();
  if (EEState() == eeDefault || !dialog || !AcceptEditor()) return;
  const int slots = TavraTyp() == 6 ? 4 : 2;
  const uint8_t board = SensorPcb.Value;
  std::array<uint8_t, 4> old_types{};
  for (int s = 1; s <= slots; ++s)
    if (const auto* sub = dynamic_cast<const TTv10SubModul*>(FindSubModul(s)))
      old_types[static_cast<size_t>(s - 1)] = sub->SensorType;
  std::array<uint8_t, 4> types = old_types;
  if (!dialog(TavraTyp(), board, E2Version, types)) return;

  bool any = false;
  for (int s = 1; s <= slots; ++s) {
    const uint8_t old_type = old_types[static_cast<size_t>(s - 1)], new_type = types[static_cast<size_t>(s - 1)];
    if (old_type == new_type) continue;
    any = true;
    std::string old_text, new_text;
    const bool old_known = SensorText(board, old_type, E2Version, old_text);
    SensorText(board, new_type, E2Version, new_text);
    if (!old_known) new_text = LoadResString("dev_Untitled") + "(" + std::to_string(new_type) + ")";
    AddChangeDetail(LoadResString(kSensChangeKeys[static_cast<size_t>(s - 1)]), old_text, new_text);
  }
  if (!any) return;
  SensorsChanged = true;
  if (Editor()) Editor()->DoModified();

  TTavra2GSubMod* first_holder = nullptr;
  TTavra2GSubMod* slot1_choice = nullptr;
  for (int s = 1; s <= slots; ++s) {
    const uint8_t new_type = types[static_cast<size_t>(s - 1)];
    if (old_types[static_cast<size_t>(s - 1)] == new_type) continue;
    if (TTavra2GSubMod* former = FindSubModul(s); former && !(s > 1 && former == slot1_choice)) {
      former->SaveEEState();
      former->NewChanNum = 0;
    }
    TTavra2GSubMod* holder = nullptr;
    std::vector<TTavra2GSubMod*> candidates = SubModuls();
    for (const auto& d : Detached()) candidates.push_back(d.get());
    for (TTavra2GSubMod* c : candidates) {
      const auto* sub = dynamic_cast<const TTv10SubModul*>(c);
      // One holding another slot stays there: taking it would leave that slot without a holder.
      const bool free_for_slot = c->NewChanNum == 0 || c->NewChanNum == s;
      if (sub && free_for_slot && sub->SensorPcb == board && sub->SensorType == new_type && sub->Id() == s) {
        holder = c;
        break;
      }
    }
    if (!holder) {
      auto* sub = static_cast<TTv10SubModul*>(CreateSubModul(s, false, nullptr));
      // Not yet a slot's holder in the logger: cancelling leaves it without a slot.
      sub->ModChanNum = 0;
      sub->SetEEState(eeRead);
      sub->SetLoggerId(Kennung());
      TTv10SensorInfo info;
      if (FindSensorInfo(board, new_type, E2Version, info))
        sub->SetSensorType(new_type);
      else
        sub->SensorType = new_type;
      sub->SetSNameDirect(LoadResString("dev_Untitled") + std::to_string(s));
      sub->SetName(FindSensorInfo(board, new_type, E2Version, info) ? info.Name : sub->SName());
      holder = sub;
    }
    holder->NewChanNum = s;
    if (s == 1) slot1_choice = holder;
    if (!first_holder) first_holder = holder;
  }
  if (first_holder) SelectElement(first_holder, true);
}

}  // namespace qv
