#include "datastore/channels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "base/dt_stamp.h"
#include "base/res_string.h"
#include "platform/rtl/byte_order.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/stream.h"

namespace qv {

double SecsAsValue(int32_t secs) { return std::bit_cast<double>(static_cast<uint64_t>(static_cast<uint32_t>(secs))); }
int32_t ValueAsSecs(double value) {
  return static_cast<int32_t>(static_cast<uint32_t>(std::bit_cast<uint64_t>(value)));
}
double DayNoAsValue(uint16_t day_no) { return std::bit_cast<double>(static_cast<uint64_t>(day_no)); }
uint16_t ValueAsDayNo(double value) { return static_cast<uint16_t>(std::bit_cast<uint64_t>(value)); }

namespace {

// Rounded half to even and held inside the integer type, for the integer arguments of a clone.
template <class Int>
Int RoundTo(double x) {
  if (std::isnan(x)) return 0;
  const double r = std::nearbyint(x);
  if (r <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
  if (r >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
  return static_cast<Int>(r);
}

std::string Cut20(std::string text) {
  if (text.size() > 20) text.resize(20);
  return text;
}

bool IsPseudo(const TChannel* channel) { return dynamic_cast<const TPseudoChannel*>(channel) != nullptr; }

EChanLoadError InvalidIdError() { return EChanLoadError("TChannels.LoadFromStream: Invalid Id for object type!"); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pseudo-channels

// Empty texts, no decimals, factor 0, alarm limits 0 and 0, view limits = range; the widths stay
// 0 until a record is read.
TPseudoChannel::TPseudoChannel(uint8_t key, uint16_t sens_type, double val_max) : TChannel(Bare{}, key) {
  flags_ = 0x8008;
  version_ = ChannelVersion;
  sens_type_ = sens_type;
  val_min_ = view_min_ = 0;
  val_max_ = view_max_ = val_max;
  alarm_min_ = alarm_max_ = 0;
  decimals_ = 0;
  factor_ = 0;
  meas_type_ = 1;
  calc_type_ = 0;
  ResetEditCopies();
}

std::string& TPseudoChannel::StrCatValue(std::string& buffer, double value) const {
  buffer += Cut20(ValueToStr(value));
  return buffer;
}

std::string& TPseudoChannel::StrPValue(std::string& buffer, double value) const {
  buffer = Cut20(ValueToStr(value));
  return buffer;
}

// ---------------------------------------------------------------------------------------------
// Time channel

TTimeChannel::TTimeChannel(uint8_t key) : TPseudoChannel(key, 600, 600) {}

std::unique_ptr<TTimeChannel> TTimeChannel::CreateWith(uint8_t key, uint16_t flags, int32_t extra, int32_t val_max,
                                                       int32_t val_min, const std::string& unit,
                                                       const std::string& sname, const std::string& name) {
  return CreateWithType(key, flags, 0, extra, val_max, val_min, unit, sname, name);
}

std::unique_ptr<TTimeChannel> TTimeChannel::CreateWithType(uint8_t key, uint16_t flags, uint16_t sens_type,
                                                           int32_t extra, int32_t val_max, int32_t val_min,
                                                           const std::string& unit, const std::string& sname,
                                                           const std::string& name) {
  std::unique_ptr<TTimeChannel> channel(new TTimeChannel(Bare{}, key));
  channel->InitWith(flags, sens_type, 0, 0, 0, 0, val_max, val_min, unit, sname, name);
  channel->extra_ = extra;
  return channel;
}

void TTimeChannel::LoadFromStream(TStream& stream) {
  GuardRead([&] {
    ReadRecord(stream);
    uint8_t bytes[6];
    stream.ReadBuffer(bytes, 6);
    extra_ = GetChanValue(bytes);
  });
}

void TTimeChannel::SaveToStream(TStream& stream) {
  GuardWrite([&] {
    WriteRecord(stream);
    std::string bytes;
    PutChanValue(bytes, extra_);
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  });
}

std::unique_ptr<TChannel> TTimeChannel::Clone() const {
  return CreateWith(key_, flags_, RoundTo<int32_t>(extra_), RoundTo<int32_t>(val_max_), RoundTo<int32_t>(val_min_),
                    unit_, sname_, name_);
}

std::string TTimeChannel::ValueToStr(double value) const {
  return FormatSecs(CurrentFormatSettings().LongTimeFormat, ValueAsSecs(value));
}

double TTimeChannel::StrToValue(const std::string& text) const { return SecsAsValue(StrToSecs(text)); }

int TTimeChannel::ValueWidth(const TTextWidthFunc& measure) const {
  return measure(FormatSecs(CurrentFormatSettings().LongTimeFormat, 0));
}

// ---------------------------------------------------------------------------------------------
// Date channel

TDateChannel::TDateChannel(uint8_t key) : TPseudoChannel(key, 0, 60) {}

std::unique_ptr<TDateChannel> TDateChannel::CreateWith(uint8_t key, uint16_t flags, uint16_t val_max, uint16_t val_min,
                                                       const std::string& unit, const std::string& sname,
                                                       const std::string& name) {
  std::unique_ptr<TDateChannel> channel(new TDateChannel(Bare{}, key));
  channel->InitWith(flags, 0, 0, 0, 0, 0, val_max, val_min, unit, sname, name);
  return channel;
}

std::unique_ptr<TChannel> TDateChannel::Clone() const {
  return CreateWith(key_, flags_, RoundTo<uint16_t>(val_max_), RoundTo<uint16_t>(val_min_), unit_, sname_, name_);
}

std::string TDateChannel::ValueToStr(double value) const {
  return FormatDayNo(CurrentFormatSettings().ShortDateFormat, ValueAsDayNo(value));
}

double TDateChannel::StrToValue(const std::string& text) const { return DayNoAsValue(StrToDayNo(text)); }

int TDateChannel::ValueWidth(const TTextWidthFunc& measure) const {
  return measure(FormatDayNo(CurrentFormatSettings().ShortDateFormat, DateToDayNo(31, 12, 2000)));
}

// ---------------------------------------------------------------------------------------------
// Channel list

std::unique_ptr<TChannels> TChannels::CreateDefault() {
  auto list = std::make_unique<TChannels>();
  list->Add(std::make_unique<TDateChannel>(0));
  list->Add(std::make_unique<TTimeChannel>(1));
  return list;
}

void TChannels::Adopt(TChannel& channel) {
  channel.SetOwnerCallback([this](void* sender) { DoChange(sender); });
}

std::unique_ptr<TChannel> TChannels::CreateChannel(uint16_t class_id, uint8_t key) {
  std::unique_ptr<TChannel> channel;
  switch (class_id) {
    case ChanClassValue: channel = std::make_unique<TChannel>(key); break;
    case ChanClassTime: channel = std::make_unique<TTimeChannel>(key); break;
    case ChanClassDate: channel = std::make_unique<TDateChannel>(key); break;
    default: return nullptr;
  }
  Adopt(*channel);
  return channel;
}

uint16_t TChannels::ClassIdOf(const TChannel* channel) const {
  if (!channel) return 0;
  if (dynamic_cast<const TTimeChannel*>(channel)) return ChanClassTime;
  if (dynamic_cast<const TDateChannel*>(channel)) return ChanClassDate;
  return ChanClassValue;
}

void TChannels::Add(std::unique_ptr<TChannel> channel) {
  if (!channel) return;
  Adopt(*channel);
  channels_.push_back(std::move(channel));
  DoChange(this);
}

int TChannels::PseudoCount() const {
  int count = 0;
  for (int i = 0; i < std::min(Count(), 2); ++i)
    if (IsPseudo(channels_[static_cast<size_t>(i)].get())) ++count;
  return count;
}

TChannel* TChannels::GetChannel(int index) const {
  if (index < 0 || index >= Count()) throw EChannelError(LoadResString("chn_InvalidIndex"));
  return channels_[static_cast<size_t>(index)].get();
}

TChannel* TChannels::GetValueChannel(int value_index) const {
  if (value_index < 0 || value_index >= ValueCount()) throw EChannelError(LoadResString("chn_InvalidIndex"));
  return channels_[static_cast<size_t>(value_index + PseudoCount())].get();
}

int TChannels::IndexOfKey(int key) const {
  if (key < 0) return -1;
  for (int i = 0; i < ValueCount(); ++i)
    if (GetValueChannel(i)->Key() == key) return i;
  return -1;
}

TChannel* TChannels::FindByKey(int key) const {
  int index = IndexOfKey(key);
  return index < 0 ? nullptr : GetValueChannel(index);
}

uint8_t TChannels::NewKey() const {
  if (ValueCount() > 253) throw EChannelError(LoadResString("chn_TooManyChannels"));
  if (channels_.empty()) return 2;
  int largest = 1;
  for (const auto& channel : channels_) largest = std::max<int>(largest, channel->Key());
  if (largest < 255) return static_cast<uint8_t>(largest + 1);
  for (int key = 2; key <= 255; ++key) {
    bool used =
        std::any_of(channels_.begin(), channels_.end(), [key](const auto& channel) { return channel->Key() == key; });
    if (!used) return static_cast<uint8_t>(key);
  }
  throw EChannelError(LoadResString("chn_TooManyChannels"));
}

void TChannels::SetOnChange(TChangeEvent handler) {
  if (!handler || !on_change_) on_change_ = std::move(handler);
}

void TChannels::DoChange(void* sender) {
  if (on_change_) on_change_(sender);
}

void TChannels::LoadFromStream(TStream& stream) {
  try {
    uint8_t head[10];
    stream.ReadBuffer(head, 2);
    if (GetLE16(head) != ChannelBlockId) throw InvalidIdError();
    stream.ReadBuffer(head + 2, 8);
    header_word_ = GetLE16(head + 2);
    const int count = static_cast<int16_t>(GetLE16(head + 4));
    // A record holds at most 255 values, so no block has more channels than that and the two
    // pseudo-channels; the count is not trusted beyond it.
    channels_.reserve(channels_.size() + static_cast<size_t>(std::clamp(count, 0, 257)));
    for (int i = 0; i < count; ++i) {
      uint8_t word[2];
      stream.ReadBuffer(word, 2);
      std::unique_ptr<TChannel> channel = CreateChannel(GetLE16(word), static_cast<uint8_t>(i));
      if (!channel) throw InvalidIdError();
      // Pseudo-channels stand before every value channel, at index 0 or 1; value channels are
      // at most 255. A block that breaks this would put values under the wrong channel.
      const bool pseudo = IsPseudo(channel.get());
      if (pseudo ? (Count() > 1 || Count() > PseudoCount()) : ValueCount() >= 255)
        throw EChanLoadError(LoadResString("chn_LoadFieldError"));
      channel->LoadFromStream(stream);
      channels_.push_back(std::move(channel));
    }
  } catch (const EChannelError&) {
    throw;
  } catch (const EReadError&) {
    throw EChanLoadError(LoadResString("chn_LoadFieldError"));
  }
}

void TChannels::SaveToStream(TStream& stream) {
  try {
    uint8_t head[10];
    PutLE16(head, ChannelBlockId);
    PutLE16(head + 2, header_word_);
    PutLE16(head + 4, static_cast<uint16_t>(Count()));
    PutLE16(head + 6, static_cast<uint16_t>(Count()));
    PutLE16(head + 8, 1);
    stream.WriteBuffer(head, sizeof head);
    for (const auto& channel : channels_) {
      uint8_t word[2];
      PutLE16(word, ClassIdOf(channel.get()));
      stream.WriteBuffer(word, 2);
      channel->SaveToStream(stream);
    }
  } catch (const EWriteError&) {
    throw EChanSaveError(LoadResString("chn_SaveFieldError"));
  }
}

std::unique_ptr<TChannels> TChannels::Clone() {
  TMemoryStream stream;
  SaveToStream(stream);
  stream.SetPosition(0);
  auto clone = std::make_unique<TChannels>();
  clone->LoadFromStream(stream);
  return clone;
}

}  // namespace qv
