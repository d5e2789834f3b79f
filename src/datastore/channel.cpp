#include "datastore/channel.h"

#include <algorithm>
#include <cmath>

#include "base/file_stream2.h"
#include "base/meas_types.h"
#include "base/res_string.h"
#include "datastore/chan_editor.h"
#include "datastore/dt_record.h"
#include "platform/rtl/byte_order.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/store_changed.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/text_encoding.h"

namespace qv {

namespace {

// Fixed text fields of the record: one length byte and room for max_len characters.
void PutShortString(std::string& out, const std::string& text, size_t max_len) {
  std::string bytes = Utf8ToCp1252(text);
  if (bytes.size() > max_len) bytes.resize(max_len);
  out += static_cast<char>(bytes.size());
  out += bytes;
  out.append(max_len - bytes.size(), '\0');
}

// A length byte beyond its field is taken as the whole field, so a foreign record never reads
// past the field and the stream stays aligned.
std::string GetShortString(const uint8_t* p, size_t max_len) {
  size_t len = std::min<size_t>(p[0], max_len);
  return Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(p + 1), len));
}

std::string IntegerText(double x) { return std::to_string(static_cast<int64_t>(std::nearbyint(x))); }

uint8_t Saturate(size_t n) { return static_cast<uint8_t>(std::min<size_t>(n, 255)); }

}  // namespace

// Doubles are clamped to the stored range before they become six bytes; NaN is stored as the
// upper bound, as record values are.
void PutChanValue(std::string& out, double x) {
  if (std::isnan(x) || x > MaxValue) x = MaxValue;
  if (x < NoValue) x = NoValue;
  const TValue6 bytes = DoubleToValue6(x);
  out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The images of the two bounds read as the bounds themselves, as record values do.
double GetChanValue(const uint8_t* p) {
  TValue6 bytes;
  std::copy(p, p + bytes.size(), bytes.begin());
  const double x = Value6ToDouble(bytes);
  if (x <= Value6ToDouble(NoValueImage)) return NoValue;
  if (x >= Value6ToDouble(MaxValueImage)) return MaxValue;
  return x;
}

std::string CutChanText(const std::string& text, size_t max_len) {
  std::string bytes = Utf8ToCp1252(text);
  if (bytes.size() <= max_len) return text;
  bytes.resize(max_len);
  return Cp1252ToUtf8(bytes);
}

// ---------------------------------------------------------------------------------------------
// Construction

TChannel::TChannel(Bare, uint8_t key) : key_(key) {}

TChannel::TChannel(uint8_t key) : key_(key) {
  std::string name = LoadResString("chn_Channel") + std::to_string(key);
  name_ = CutChanText(name, ChanNameLen);
  sname_ = CutChanText(name, ChanSNameLen);
  unit_.assign(1, '%');  // GCC 12 at -O3 warns falsely (-Wrestrict) on a literal assignment here
  val_min_ = 0;
  val_max_ = 100;
  view_min_ = alarm_min_ = 0;
  view_max_ = alarm_max_ = 100;
  decimals_ = 1;
  factor_ = 1.0;
  flags_ = 0x8088;
  version_ = ChannelVersion;
  meas_type_ = 1;
  calc_type_ = 0;
  sens_type_ = 0;
  ResetEditCopies();
  CalcWidths();
}

void TChannel::InitWith(uint16_t flags, uint16_t sens_type, uint8_t decimals, double factor, double alarm_max,
                        double alarm_min, double val_max, double val_min, const std::string& unit,
                        const std::string& sname, const std::string& name) {
  unit_ = CutChanText(unit, ChanUnitLen);
  sname_ = CutChanText(sname, ChanSNameLen);
  name_ = CutChanText(name, ChanNameLen);
  val_min_ = val_min;
  val_max_ = val_max;
  view_min_ = val_min;
  view_max_ = val_max;
  alarm_min_ = alarm_min;
  alarm_max_ = alarm_max;
  decimals_ = decimals;
  factor_ = factor;
  flags_ = static_cast<uint16_t>(flags | chfUnitsCurrent | chfVersioned);
  version_ = ChannelVersion;
  sens_type_ = sens_type;
  meas_type_ = 1;
  calc_type_ = 0;
  description_.clear();
  value_chars_ = column_chars_ = 10;
  ResetEditCopies();
}

std::unique_ptr<TChannel> TChannel::CreateWith(uint8_t key, uint16_t flags, uint8_t decimals, double factor,
                                               double alarm_max, double alarm_min, double val_max, double val_min,
                                               const std::string& unit, const std::string& sname,
                                               const std::string& name) {
  return CreateWithType(key, flags, 0, decimals, factor, alarm_max, alarm_min, val_max, val_min, unit, sname, name);
}

std::unique_ptr<TChannel> TChannel::CreateWithType(uint8_t key, uint16_t flags, uint16_t sens_type, uint8_t decimals,
                                                   double factor, double alarm_max, double alarm_min, double val_max,
                                                   double val_min, const std::string& unit, const std::string& sname,
                                                   const std::string& name) {
  std::unique_ptr<TChannel> channel(new TChannel(Bare{}, key));
  channel->InitWith(flags, sens_type, decimals, factor, alarm_max, alarm_min, val_max, val_min, unit, sname, name);
  channel->CalcWidths();
  return channel;
}

void TChannel::ResetEditCopies() {
  name_edit_ = name_;
  sname_edit_ = sname_;
  unit_edit_ = unit_;
  val_min_edit_ = val_min_;
  val_max_edit_ = val_max_;
  decimals_edit_ = decimals_;
  view_min_edit_ = view_min_;
  view_max_edit_ = view_max_;
  alarm_min_edit_ = alarm_min_;
  alarm_max_edit_ = alarm_max_;
}

std::unique_ptr<TChannel> TChannel::Clone() const {
  auto clone = CreateWithType(key_, flags_, sens_type_, decimals_, factor_, alarm_max_, alarm_min_, val_max_, val_min_,
                              unit_, sname_, name_);
  clone->version_ = version_;
  clone->description_ = description_;
  clone->meas_type_ = meas_type_;
  clone->calc_type_ = calc_type_;
  return clone;
}

// ---------------------------------------------------------------------------------------------
// Explorer element

void TChannel::FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) {
  if (!outline) throw EChannelError("Error in TChannel.FillOutline: Outline is nil");
  outline->AddChildObject(parent_index, GetOutlineText(name_), static_cast<TExplElement*>(this));
  SetOnSelect(std::move(on_select));
}

std::string TChannel::GetOutlineText(const std::string& name) const { return name; }

bool TChannel::ApplyChanges() {
  // Unit and value range are shown read-only and are not committed.
  SetName(name_edit_);
  SetSName(sname_edit_);
  SetDecimals(decimals_edit_);
  SetAlarmMin(alarm_min_edit_);
  SetAlarmMax(alarm_max_edit_);
  SetViewMin(view_min_edit_);
  SetViewMax(view_max_edit_);
  return true;
}

void TChannel::CancelChanges() { ResetEditCopies(); }

void TChannel::CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) {
  CloseEditor(false);
  const TChanEditorCreator& creator = ChanEditorCreator();
  if (!creator) return;
  std::unique_ptr<TChanEditor> editor = creator(parent);
  if (!editor) return;
  editor->SetOnModified(std::move(on_modified));
  editor->SetOnNameChange(std::move(on_name_change));
  editor->SetNameText(name_edit_);
  editor->SetSNameText(sname_edit_);
  editor->SetUnitText(unit_edit_);
  editor->SetSensType(sens_type_);
  editor->SetMinValue(val_min_edit_);
  editor->SetMaxValue(val_max_edit_);
  editor->SetDecimals(decimals_edit_);
  editor->SetAlarmMinValue(alarm_min_edit_);
  editor->SetAlarmMaxValue(alarm_max_edit_);
  editor->SetViewMinValue(view_min_edit_);
  editor->SetViewMaxValue(view_max_edit_);
  editor->SetUnitReadOnly(true);
  editor->SetRangeReadOnly(true);
  SetEditor(std::move(editor));
}

bool TChannel::AcceptEditor() {
  auto* editor = static_cast<TChanEditor*>(Editor());
  if (!editor) return true;
  if (!editor->Validate()) return false;
  name_edit_ = CutChanText(editor->GetNameText(), ChanNameLen);
  sname_edit_ = CutChanText(editor->GetSNameText(), ChanSNameLen);
  if (!editor->GetUnitReadOnly()) unit_edit_ = CutChanText(editor->GetUnitText(), ChanUnitLen);
  if (!editor->GetRangeReadOnly()) {
    val_min_edit_ = editor->ValMin;
    val_max_edit_ = editor->ValMax;
  }
  decimals_edit_ = editor->GetDecimals();
  alarm_min_edit_ = editor->AlarmMin;
  alarm_max_edit_ = editor->AlarmMax;
  view_min_edit_ = editor->ViewMin;
  view_max_edit_ = editor->ViewMax;
  return true;
}

void TChannel::Changed() {
  if (owner_callback_) owner_callback_(this);
}

// ---------------------------------------------------------------------------------------------
// Setters

void TChannel::SetName(const std::string& text) {
  std::string cut = CutChanText(text, ChanNameLen);
  if (cut == name_) return;
  name_ = name_edit_ = cut;
  Changed();
}

void TChannel::SetSName(const std::string& text) {
  std::string cut = CutChanText(text, ChanSNameLen);
  if (cut == sname_) return;
  sname_ = sname_edit_ = cut;
  CalcWidths();
  Changed();
}

void TChannel::SetUnit(const std::string& text) {
  std::string cut = CutChanText(text, ChanUnitLen);
  if (cut == unit_) return;
  unit_ = unit_edit_ = cut;
  CalcWidths();
  Changed();
}

void TChannel::SetMin(double x) {
  if (x == val_min_) return;
  val_min_ = val_min_edit_ = x;
  CalcWidths();
  Changed();
}

void TChannel::SetMax(double x) {
  if (x == val_max_) return;
  val_max_ = val_max_edit_ = x;
  CalcWidths();
  Changed();
}

void TChannel::SetDecimals(uint8_t n) {
  if (n == decimals_) return;
  decimals_ = decimals_edit_ = n;
  CalcWidths();
  Changed();
}

void TChannel::SetViewMin(double x) {
  if (x == view_min_) return;
  view_min_ = view_min_edit_ = x;
  Changed();
}

void TChannel::SetViewMax(double x) {
  if (x == view_max_) return;
  view_max_ = view_max_edit_ = x;
  Changed();
}

void TChannel::SetAlarmMin(double x) {
  if (x == alarm_min_) return;
  alarm_min_ = alarm_min_edit_ = x;
  Changed();
}

void TChannel::SetAlarmMax(double x) {
  if (x == alarm_max_) return;
  alarm_max_ = alarm_max_edit_ = x;
  Changed();
}

// The two types exclude each other and are never both 0. A type beyond the tables is refused:
// stored, it would make the whole channel block unreadable.
void TChannel::SetMeasType(uint8_t t) {
  if (t >= MeasTypeCount) throw EChannelError("Error in TChannel.SetMeasType: invalid type " + std::to_string(t));
  if (t == meas_type_) return;
  if (t != 0) {
    meas_type_ = t;
    calc_type_ = 0;
  } else {
    meas_type_ = calc_type_ == 0 ? 1 : 0;
  }
}

void TChannel::SetCalcType(uint8_t t) {
  if (t >= CalcTypeCount) throw EChannelError("Error in TChannel.SetCalcType: invalid type " + std::to_string(t));
  if (!StoreChanged(calc_type_, t)) return;
  if (t != 0)
    meas_type_ = 0;
  else if (meas_type_ == 0)
    meas_type_ = 1;
}

void TChannel::SetDescription(const std::string& text) { description_ = CutChanText(text, ChanDescriptionLen); }
void TChannel::SetNameEdit(const std::string& text) { name_edit_ = CutChanText(text, ChanNameLen); }
void TChannel::SetSNameEdit(const std::string& text) { sname_edit_ = CutChanText(text, ChanSNameLen); }
void TChannel::SetUnitEdit(const std::string& text) { unit_edit_ = CutChanText(text, ChanUnitLen); }

// ---------------------------------------------------------------------------------------------
// Widths and value texts

std::string TChannel::ExponentialText(double value) const {
  // The runtime's exponential form with a total width of Decimals + 9: sign or blank, one digit,
  // at least one decimal, "E", exponent sign and four digits.
  const size_t width = static_cast<size_t>(decimals_) + 9;
  std::string text;
  if (std::isfinite(value)) {
    const int decimals = std::max<int>(decimals_, 1);
    text = FloatToStrF(value, TFloatFormat::ffExponent, std::min(decimals + 1, 18), 4);
    if (decimals + 1 > 18) text.insert(text.find('E'), static_cast<size_t>(decimals + 1 - 18), '0');
    if (text[0] != '-') text.insert(0, 1, ' ');
  } else {
    text = FloatToStrF(value, TFloatFormat::ffExponent, 18, 4);
  }
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

void TChannel::CalcWidths() {
  size_t chars;
  // A limit outside the 32-bit range (either limit, on either side) or not finite has no
  // integer text; it takes the exponential form.
  auto integral = [](double x) { return std::isfinite(x) && x >= -2147483648.0 && x <= 2147483647.0; };
  if (!integral(val_max_) || !integral(val_min_)) {
    chars = std::max(ExponentialText(val_max_).size(), ExponentialText(val_min_).size());
    SetBits(chfExponential, flags_);
  } else {
    chars = std::max(IntegerText(val_max_).size(), IntegerText(val_min_).size());
    if (decimals_ > 0) chars += static_cast<size_t>(decimals_) + 1;
    ClearBits(chfExponential, flags_);
  }
  // Widths are bytes; many decimals must not wrap them.
  value_chars_ = Saturate(chars);
  column_chars_ = Saturate(std::max({chars, Utf8ToCp1252(sname_).size(), Utf8ToCp1252(unit_).size()}));
}

std::string TChannel::ValueToStr(double value) const {
  if (value <= NoValue) return std::string(value_chars_, ' ');
  return FloatToWidthStr(value_chars_, decimals_, value);
}

double TChannel::StrToValue(const std::string& text) const {
  std::string s = text;
  size_t comma = s.find(',');
  if (comma != std::string::npos) s[comma] = '.';
  double value;
  return TryStrToFloat(s, value, '.') ? value : NoValue;
}

std::string TChannel::ValueToColStr(double value) const {
  if (value <= NoValue) return std::string(column_chars_, '-');
  return FloatToWidthStr(column_chars_, decimals_, value);
}

std::string& TChannel::StrCatValue(std::string& buffer, double value) const {
  std::string text =
      value <= NoValue ? std::string(column_chars_, '-') : FloatToStrFixed(value, column_chars_, decimals_);
  if (text.size() > 20) text.resize(20);
  buffer += text;
  return buffer;
}

std::string& TChannel::StrPValue(std::string& buffer, double value) const {
  buffer.clear();
  return StrCatValue(buffer, value);
}

int TChannel::ValueWidth(const TTextWidthFunc& measure) const {
  auto text = [&](double v) {
    return AnyBitSet(chfExponential, flags_) ? ExponentialText(v) : FloatToStrFixed(v, value_chars_, decimals_);
  };
  return std::max(measure(text(val_max_)), measure(text(val_min_)));
}

int TChannel::SNameWidth(const TTextWidthFunc& measure) const { return measure(sname_); }

int TChannel::ColWidth(const TTextWidthFunc& measure) const {
  return std::max({ValueWidth(measure), SNameWidth(measure), measure(unit_)});
}

// ---------------------------------------------------------------------------------------------
// Channel record

void TChannel::GuardRead(const std::function<void()>& read) {
  try {
    read();
  } catch (const EReadError&) {
    throw EChanLoadError(LoadResString("chn_LoadFieldError"));
  }
}

void TChannel::GuardWrite(const std::function<void()>& write) {
  try {
    write();
  } catch (const EWriteError&) {
    throw EChanSaveError(LoadResString("chn_SaveFieldError"));
  }
}

void TChannel::LoadFromStream(TStream& stream) {
  GuardRead([&] { ReadRecord(stream); });
}

void TChannel::SaveToStream(TStream& stream) {
  GuardWrite([&] { WriteRecord(stream); });
}

void TChannel::ReadRecord(TStream& stream) {
  uint8_t head[3];
  stream.ReadBuffer(head, 3);
  key_ = head[0];
  flags_ = GetLE16(head + 1);
  if (AnyBitSet(chfVersioned, flags_)) {
    uint8_t version;
    stream.ReadBuffer(&version, 1);
    version_ = version;
    if (version_ > ChannelVersion) throw EChanVersionError(LoadResString("chn_VersionNotCompatible"));
  }

  // Texts (80 + 21 + 21 bytes), then the value range.
  uint8_t texts[122 + 12];
  stream.ReadBuffer(texts, sizeof texts);
  name_ = GetShortString(texts, ChanNameLen);
  sname_ = GetShortString(texts + 80, ChanSNameLen);
  unit_ = GetShortString(texts + 101, ChanUnitLen);
  val_min_ = GetChanValue(texts + 122);
  val_max_ = GetChanValue(texts + 128);

  if (AnyBitSet(chfViewLimits | chfUnitsCurrent, flags_)) {
    uint8_t view[12];
    stream.ReadBuffer(view, sizeof view);
    view_min_ = GetChanValue(view);
    view_max_ = GetChanValue(view + 6);
  } else {
    view_min_ = val_min_;
    view_max_ = val_max_;
  }

  uint8_t rest[18 + 3 + 2];
  stream.ReadBuffer(rest, sizeof rest);
  alarm_min_ = GetChanValue(rest);
  alarm_max_ = GetChanValue(rest + 6);
  factor_ = GetChanValue(rest + 12);
  decimals_ = rest[18];
  value_chars_ = rest[19];
  column_chars_ = rest[20];
  sens_type_ = GetLE16(rest + 21);
  ResetEditCopies();

  if (!AnyBitSet(chfUnitsCurrent, flags_)) {
    // An old record: recognise the units that had their own bits.
    SetBits(chfUnitsCurrent, flags_);
    const std::string unit = TrimBlanks(unit_);
    if (unit == "W/qm")
      SetBits(chfUnitWqm, flags_);
    else if (unit == "l/qm")
      SetBits(chfUnitLqm, flags_);
    else if (unit == "°")
      SetBits(chfUnitDegree, flags_);
    else if (unit == "m/s" || unit == "km/h")
      SetBits(chfUnitSpeed, flags_);
  }

  if (AnyBitSet(chfVersioned, flags_)) {
    std::string description;
    StreamReadStr(stream, description);
    description_ = CutChanText(description, ChanDescriptionLen);
    uint8_t types[2];
    stream.ReadBuffer(types, 2);
    if (types[0] >= MeasTypeCount || types[1] >= CalcTypeCount) throw EReadError("Invalid EnumVar");
    meas_type_ = types[0];
    calc_type_ = types[1];
  } else {
    // No version byte: derive the types from the old flags and sensor types.
    SetBits(chfVersioned, flags_);
    description_.clear();
    if (AllBitsSet(0x2300, flags_) || sens_type_ == 102) {
      meas_type_ = 0;
      calc_type_ = 5;
    } else if (AllBitsSet(0x2200, flags_) || sens_type_ == 104) {
      meas_type_ = 0;
      calc_type_ = 3;
    } else if (sens_type_ == 103) {
      meas_type_ = 0;
      calc_type_ = 16;
    } else {
      meas_type_ = 1;
      calc_type_ = 0;
    }
  }
  version_ = ChannelVersion;
}

void TChannel::WriteRecord(TStream& stream) {
  SetBits(chfViewLimits, flags_);
  std::string out;
  out.reserve(200);
  out += static_cast<char>(key_);
  uint8_t word[2];
  PutLE16(word, flags_);
  out.append(reinterpret_cast<const char*>(word), 2);
  const bool versioned = version_ >= ChannelVersion;
  if (versioned) out += static_cast<char>(version_);
  PutShortString(out, name_, ChanNameLen);
  PutShortString(out, sname_, ChanSNameLen);
  PutShortString(out, unit_, ChanUnitLen);
  for (double x : {val_min_, val_max_, view_min_, view_max_, alarm_min_, alarm_max_, factor_}) PutChanValue(out, x);
  out += static_cast<char>(decimals_);
  out += static_cast<char>(value_chars_);
  out += static_cast<char>(column_chars_);
  PutLE16(word, sens_type_);
  out.append(reinterpret_cast<const char*>(word), 2);
  stream.WriteBuffer(out.data(), static_cast<int32_t>(out.size()));
  if (versioned) {
    StreamWriteStr(description_, stream);
    const uint8_t types[2] = {meas_type_, calc_type_};
    stream.WriteBuffer(types, 2);
  }
}

// ---------------------------------------------------------------------------------------------
// Channel editor creator

namespace {
// Installed once at start-up by the layer that holds the editor dialogs.
TChanEditorCreator chan_editor_creator;
}  // namespace

TChanEditor::TChanEditor() : ValMin(NoValue), ValMax(NoValue) {}

void SetChanEditorCreator(TChanEditorCreator creator) { chan_editor_creator = std::move(creator); }
const TChanEditorCreator& ChanEditorCreator() { return chan_editor_creator; }

}  // namespace qv
