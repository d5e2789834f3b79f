#pragma once
// The channel list: the pseudo-channels of a record's date and time first, then one value channel
// per value of the records, stored together as one channel block.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datastore/channel.h"

namespace qv {

// Channel class ids of the block.
constexpr uint16_t ChanClassValue = 100;
constexpr uint16_t ChanClassTime = 101;
constexpr uint16_t ChanClassDate = 102;
constexpr uint16_t ChannelBlockId = 103;

// Values of the pseudo-channels carry an integer in the low bytes of the 8-byte value, the other
// bytes zero: seconds since midnight (signed 32-bit) or a day number (unsigned 16-bit). They are
// bit patterns, never numbers to compute with.
double SecsAsValue(int32_t secs);
int32_t ValueAsSecs(double value);
double DayNoAsValue(uint16_t day_no);
uint16_t ValueAsDayNo(double value);

// What the two pseudo-channels share: their texts are dates or times, their widths are fixed.
class TPseudoChannel : public TChannel {
public:
  void CalcWidths() override {}
  std::string ValueToColStr(double value) const override { return ValueToStr(value); }
  std::string& StrCatValue(std::string& buffer, double value) const override;
  std::string& StrPValue(std::string& buffer, double value) const override;

protected:
  TPseudoChannel(Bare bare, uint8_t key) : TChannel(bare, key) {}
  TPseudoChannel(uint8_t key, uint16_t sens_type, double val_max);
};

// Pseudo-channel of a record's time.
class TTimeChannel : public TPseudoChannel {
public:
  explicit TTimeChannel(uint8_t key);
  static std::unique_ptr<TTimeChannel> CreateWith(uint8_t key, uint16_t flags, int32_t extra, int32_t val_max,
                                                  int32_t val_min, const std::string& unit, const std::string& sname,
                                                  const std::string& name);
  static std::unique_ptr<TTimeChannel> CreateWithType(uint8_t key, uint16_t flags, uint16_t sens_type, int32_t extra,
                                                      int32_t val_max, int32_t val_min, const std::string& unit,
                                                      const std::string& sname, const std::string& name);

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  std::unique_ptr<TChannel> Clone() const override;
  std::string ValueToStr(double value) const override;
  double StrToValue(const std::string& text) const override;
  int ValueWidth(const TTextWidthFunc& measure) const override;

  double Extra() const { return extra_; }
  void SetExtra(double extra) { extra_ = extra; }

private:
  TTimeChannel(Bare bare, uint8_t key) : TPseudoChannel(bare, key) {}
  double extra_ = 300;
};

// Pseudo-channel of a record's date.
class TDateChannel : public TPseudoChannel {
public:
  explicit TDateChannel(uint8_t key);
  static std::unique_ptr<TDateChannel> CreateWith(uint8_t key, uint16_t flags, uint16_t val_max, uint16_t val_min,
                                                  const std::string& unit, const std::string& sname,
                                                  const std::string& name);

  std::unique_ptr<TChannel> Clone() const override;
  std::string ValueToStr(double value) const override;
  double StrToValue(const std::string& text) const override;
  int ValueWidth(const TTextWidthFunc& measure) const override;

private:
  TDateChannel(Bare bare, uint8_t key) : TPseudoChannel(bare, key) {}
};

class TChannels {
public:
  TChannels() = default;
  TChannels(const TChannels&) = delete;
  TChannels& operator=(const TChannels&) = delete;
  virtual ~TChannels() = default;
  // The two pseudo-channels every device's list starts with.
  static std::unique_ptr<TChannels> CreateDefault();

  // A new channel of the class id (nullptr for an unknown id), reporting its changes to this list.
  virtual std::unique_ptr<TChannel> CreateChannel(uint16_t class_id, uint8_t key);
  virtual uint16_t ClassIdOf(const TChannel* channel) const;
  // Appends the block's channels behind those already in the list.
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);

  void Add(std::unique_ptr<TChannel> channel);
  int Count() const { return static_cast<int>(channels_.size()); }
  int PseudoCount() const;
  int ValueCount() const { return std::max(Count() - PseudoCount(), 0); }
  TChannel* GetChannel(int index) const;
  TChannel* GetValueChannel(int value_index) const;
  TChannel* FindByKey(int key) const;
  int IndexOfKey(int key) const;
  uint8_t NewKey() const;
  std::unique_ptr<TChannels> Clone();

  uint16_t HeaderWord() const { return header_word_; }
  void SetHeaderWord(uint16_t word) { header_word_ = word; }
  // Fills an empty event or clears it; a second handler over an assigned one is ignored.
  void SetOnChange(TChangeEvent handler);
  void DoChange(void* sender);

private:
  void Adopt(TChannel& channel);

  uint16_t header_word_ = 0;
  TChangeEvent on_change_;
  std::vector<std::unique_ptr<TChannel>> channels_;
};

}  // namespace qv
