#include "datastore/channels.h"

#include <gtest/gtest.h>

#include <cstring>

#include "datastore/chan_bytes.h"
#include "datastore/dt_record.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/stream.h"

namespace qv {
namespace {

using test::Bytes;

std::string V(std::initializer_list<uint8_t> b) { return Bytes().Raw(b); }

// A channel record in the current layout (version byte, view limits, description and types).
struct Rec {
  uint8_t key = 2;
  uint16_t flags = 0x9088;
  uint8_t version = 150;
  std::string name, sname, unit;  // Windows-1252
  std::string val_min = V(test::V0), val_max = V(test::V100), view_min = V(test::V0), view_max = V(test::V100),
              alarm_min = V(test::V0), alarm_max = V(test::V100), factor = V(test::V1);
  uint8_t decimals = 1, value_chars = 5, column_chars = 5;
  uint16_t sens_type = 0;
  std::string description;
  uint8_t meas = 1, calc = 0;

  std::string Image() const {
    return Bytes()
        .U8(key)
        .U16(flags)
        .U8(version)
        .Fixed(name, 80)
        .Fixed(sname, 21)
        .Fixed(unit, 21)
        .Raw(val_min)
        .Raw(val_max)
        .Raw(view_min)
        .Raw(view_max)
        .Raw(alarm_min)
        .Raw(alarm_max)
        .Raw(factor)
        .U8(decimals)
        .U8(value_chars)
        .U8(column_chars)
        .U16(sens_type)
        .Str(description)
        .U8(meas)
        .U8(calc);
  }
};

std::string BlockHead(uint16_t count, uint16_t header_word = 0) {
  return Bytes().U16(103).U16(header_word).U16(count).U16(count).U16(1);
}

// The date and time channels of every new device, as written.
std::string DefaultChannels() {
  Rec date;
  date.key = 0;
  date.flags = 0x9008;
  date.val_max = date.view_max = V(test::V60);
  date.alarm_max = date.factor = V(test::V0);
  date.decimals = date.value_chars = date.column_chars = 0;
  Rec time = date;
  time.key = 1;
  time.val_max = time.view_max = V(test::V600);
  time.sens_type = 600;
  return Bytes().U16(102).Raw(date.Image()).U16(101).Raw(time.Image()).Raw(test::V300);
}

std::string Write(TChannels& list) {
  TMemoryStream stream;
  list.SaveToStream(stream);
  return stream.Bytes();
}

TMemoryStream StreamOf(const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
  return stream;
}

TEST(ChannelsTest, DefaultListIsWrittenByteExactly) {
  auto list = TChannels::CreateDefault();
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(list->PseudoCount(), 2);
  EXPECT_EQ(list->ValueCount(), 0);
  EXPECT_EQ(Write(*list), BlockHead(2) + DefaultChannels());
  EXPECT_EQ(list->GetChannel(0)->Flags(), 0x9008);  // the writer keeps the view-limit bit
  EXPECT_THROW(list->GetValueChannel(0), EChannelError);
}

TEST(ChannelsTest, BlockWithLegacyRecordLoadsAndIsRewrittenInCurrentLayout) {
  // An old value record: no version byte, no view limits, the unit " W/qm " among blanks; and a
  // current record after it, which must be read from the right place.
  const std::string legacy = Bytes()
                                 .U8(7)
                                 .U16(0x0000)
                                 .Fixed("Strahlung", 80)
                                 .Fixed("Str", 21)
                                 .Fixed(" W/qm ", 21)
                                 .Raw(test::VM40)
                                 .Raw(test::V100)
                                 .Raw(test::V0)
                                 .Raw(test::V60)
                                 .Raw(test::V1)
                                 .U8(1)
                                 .U8(5)
                                 .U8(6)
                                 .U16(0);
  ASSERT_EQ(legacy.size(), 160u);
  Rec current;
  current.key = 9;
  current.name =
      "Keller \xB0"
      "C";
  current.sname = "K";
  current.unit =
      "\xB0"
      "C";
  current.description = "Nordwand";
  current.meas = 2;
  const std::string block =
      Bytes().Raw(BlockHead(4, 0xBEEF)).Raw(DefaultChannels()).U16(100).Raw(legacy).U16(100).Raw(current.Image());
  TMemoryStream stream = StreamOf(block);
  TChannels list;
  list.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(block.size()));
  ASSERT_EQ(list.ValueCount(), 2);
  EXPECT_EQ(list.HeaderWord(), 0xBEEF);

  TChannel* old = list.GetValueChannel(0);
  EXPECT_EQ(old->Key(), 7);
  EXPECT_EQ(old->Flags(), 0x8408);
  EXPECT_EQ(old->Version(), 150);
  EXPECT_EQ(old->Unit(), " W/qm ");
  EXPECT_EQ(old->ValMin(), -40);
  EXPECT_EQ(old->ViewMin(), -40);
  EXPECT_EQ(old->ViewMax(), 100);
  EXPECT_EQ(old->AlarmMax(), 60);
  EXPECT_EQ(old->Description(), "");
  EXPECT_EQ(old->MeasType(), 1);
  EXPECT_EQ(old->CalcType(), 0);
  EXPECT_EQ(old->ValueChars(), 5);  // widths come from the record
  EXPECT_EQ(old->ColumnChars(), 6);

  TChannel* cur = list.FindByKey(9);
  ASSERT_NE(cur, nullptr);
  EXPECT_EQ(cur->Name(), "Keller °C");
  EXPECT_EQ(cur->Unit(), "°C");
  EXPECT_EQ(cur->Description(), "Nordwand");
  EXPECT_EQ(cur->MeasType(), 2);
  EXPECT_EQ(list.IndexOfKey(9), 1);

  // Written again: the legacy record in the current layout, everything else unchanged.
  Rec upgraded;
  upgraded.key = 7;
  upgraded.flags = 0x9408;
  upgraded.name = "Strahlung";
  upgraded.sname = "Str";
  upgraded.unit = " W/qm ";
  upgraded.val_min = upgraded.view_min = V(test::VM40);
  upgraded.alarm_max = V(test::V60);
  upgraded.column_chars = 6;
  EXPECT_EQ(Write(list), Bytes()
                             .Raw(BlockHead(4, 0xBEEF))
                             .Raw(DefaultChannels())
                             .U16(100)
                             .Raw(upgraded.Image())
                             .U16(100)
                             .Raw(current.Image())
                             .str());
}

TEST(ChannelsTest, CloneIsADeepCopyWithEqualBlock) {
  auto list = TChannels::CreateDefault();
  list->Add(std::make_unique<TChannel>(list->NewKey()));
  list->GetValueChannel(0)->SetDescription("Ost");
  auto clone = list->Clone();
  EXPECT_EQ(Write(*clone), Write(*list));
  EXPECT_NE(clone->GetChannel(2), list->GetChannel(2));
  // The clone's channels report to the clone.
  int calls = 0;
  clone->SetOnChange([&](void*) { ++calls; });
  clone->GetValueChannel(0)->SetName("x");
  EXPECT_EQ(calls, 1);
}

TEST(ChannelsTest, NewKey) {
  auto keys_list = [](std::initializer_list<int> keys) {
    auto list = TChannels::CreateDefault();
    for (int key : keys) list->Add(std::make_unique<TChannel>(static_cast<uint8_t>(key)));
    return list;
  };
  EXPECT_EQ(TChannels().NewKey(), 2);
  EXPECT_EQ(keys_list({})->NewKey(), 2);
  EXPECT_EQ(keys_list({2, 3, 9})->NewKey(), 10);
  EXPECT_EQ(keys_list({2, 255, 3})->NewKey(), 4);
  TChannels only_value;
  only_value.Add(std::make_unique<TChannel>(0));
  EXPECT_EQ(only_value.NewKey(), 2);  // the largest key counts as at least 1

  auto full = TChannels::CreateDefault();
  for (int key = 2; key < 255; ++key) full->Add(std::make_unique<TChannel>(static_cast<uint8_t>(key)));
  EXPECT_EQ(full->ValueCount(), 253);
  EXPECT_EQ(full->NewKey(), 255);
  full->Add(std::make_unique<TChannel>(255));
  try {
    full->NewKey();
    FAIL();
  } catch (const EChannelError& e) {
    EXPECT_EQ(e.Message(), "chn_TooManyChannels");
  }
}

TEST(ChannelsTest, IndexesAndKeys) {
  auto list = TChannels::CreateDefault();
  list->Add(std::make_unique<TChannel>(5));
  list->Add(std::make_unique<TChannel>(1));  // a value channel may reuse a pseudo-channel's key
  EXPECT_EQ(list->IndexOfKey(1), 1);
  EXPECT_EQ(list->FindByKey(1), list->GetChannel(3));
  EXPECT_EQ(list->FindByKey(0), nullptr);  // pseudo-channels are not found
  EXPECT_EQ(list->FindByKey(-1), nullptr);
  EXPECT_EQ(list->IndexOfKey(7), -1);
  for (int bad : {-1, 4}) {
    try {
      list->GetChannel(bad);
      FAIL() << bad;
    } catch (const EChannelError& e) {
      EXPECT_EQ(e.Message(), "chn_InvalidIndex");
    }
  }
  EXPECT_THROW(list->GetValueChannel(2), EChannelError);

  TChannels values;
  values.Add(std::make_unique<TChannel>(2));
  EXPECT_EQ(values.PseudoCount(), 0);
  EXPECT_EQ(values.GetValueChannel(0)->Key(), 2);
  EXPECT_EQ(TChannels().ValueCount(), 0);
  EXPECT_EQ(values.ClassIdOf(nullptr), 0);
  EXPECT_EQ(values.CreateChannel(99, 2), nullptr);
}

TEST(ChannelsTest, ChangeEvent) {
  auto list = TChannels::CreateDefault();
  std::vector<void*> first, second;
  list->SetOnChange([&](void* sender) { first.push_back(sender); });
  list->SetOnChange([&](void* sender) { second.push_back(sender); });  // ignored
  list->Add(std::make_unique<TChannel>(2));
  TChannel* channel = list->GetValueChannel(0);
  channel->SetName("Flur");
  channel->SetName("Flur");  // unchanged: no event
  channel->SetMeasType(5);   // types report no change
  EXPECT_EQ(first, (std::vector<void*>{list.get(), channel}));
  EXPECT_TRUE(second.empty());

  list->SetOnChange(nullptr);
  list->SetOnChange([&](void* sender) { second.push_back(sender); });
  channel->SetUnit("K");
  EXPECT_EQ(second, std::vector<void*>{channel});
}

// A block of the two pseudo-channels and n value channels.
std::string BlockWithValues(int n) {
  Rec value;
  std::string image = Bytes().U16(100).Raw(value.Image());
  return Bytes().Raw(BlockHead(static_cast<uint16_t>(n + 2))).Raw(DefaultChannels()).Repeat(image, n);
}

TEST(ChannelsTest, DamagedBlocksAreRefused) {
  const std::string good = BlockWithValues(1);
  const std::string invalid_id = "TChannels.LoadFromStream: Invalid Id for object type!";
  Rec bad_meas, bad_calc, newer, long_text;
  bad_meas.meas = 24;
  bad_calc.calc = 19;
  newer.version = 151;
  std::string huge_description = Bytes().U16(100).Raw(Rec().Image().substr(0, 173)).U16(0xFFFF).Raw("abc");

  struct Case {
    const char* what;
    std::string block;
    std::string message;
    int channels_kept;
    bool version_error = false;
  };
  const Case cases[] = {
      {"block id", Bytes().U16(104).Raw(good.substr(2)), invalid_id, 0},
      {"class id", Bytes().Raw(BlockHead(1)).U16(99).Raw(Rec().Image()), invalid_id, 0},
      {"empty", "", "chn_LoadFieldError", 0},
      {"short head", good.substr(0, 7), "chn_LoadFieldError", 0},
      {"cut in a record", good.substr(0, good.size() - 3), "chn_LoadFieldError", 2},
      {"cut in the extra", good.substr(0, 10 + 2 + 177 + 2 + 177 + 3), "chn_LoadFieldError", 1},
      {"count too large", BlockWithValues(1).replace(4, 2, "\x04\x00", 2), "chn_LoadFieldError", 3},
      {"description longer than the data", Bytes().Raw(BlockHead(1)).Raw(huge_description), "chn_LoadFieldError", 0},
      {"measurement type", Bytes().Raw(BlockHead(1)).U16(100).Raw(bad_meas.Image()), "chn_LoadFieldError", 0},
      {"calculation type", Bytes().Raw(BlockHead(1)).U16(100).Raw(bad_calc.Image()), "chn_LoadFieldError", 0},
      {"version", Bytes().Raw(BlockHead(1)).U16(100).Raw(newer.Image()), "chn_VersionNotCompatible", 0, true},
      {"256 value channels", BlockWithValues(256), "chn_LoadFieldError", 257},
      {"pseudo after value",
       Bytes().Raw(BlockHead(2)).U16(100).Raw(Rec().Image()).Raw(DefaultChannels().substr(0, 2 + 177)),
       "chn_LoadFieldError", 1},
      {"third pseudo", Bytes().Raw(BlockHead(3)).Raw(DefaultChannels()).Raw(DefaultChannels().substr(0, 179)),
       "chn_LoadFieldError", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryStream stream = StreamOf(c.block);
    TChannels list;
    try {
      list.LoadFromStream(stream);
      ADD_FAILURE() << "accepted";
    } catch (const EChanVersionError& e) {
      EXPECT_TRUE(c.version_error);
      EXPECT_EQ(e.Message(), c.message);
    } catch (const EChanLoadError& e) {
      EXPECT_FALSE(c.version_error);
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(list.Count(), c.channels_kept);
    EXPECT_LE(stream.Position(), static_cast<int64_t>(c.block.size()));
  }
}

TEST(ChannelsTest, OddButReadableBlocks) {
  // 255 value channels are the most a record can hold.
  {
    TMemoryStream stream = StreamOf(BlockWithValues(255));
    TChannels list;
    list.LoadFromStream(stream);
    EXPECT_EQ(list.ValueCount(), 255);
  }
  // A negative count reads no channel; the channels of a second block are appended.
  {
    TMemoryStream stream = StreamOf(BlockHead(0x8000) + BlockWithValues(1));
    TChannels list;
    list.LoadFromStream(stream);
    EXPECT_EQ(list.Count(), 0);
    list.LoadFromStream(stream);
    EXPECT_EQ(list.Count(), 3);
  }
  // Length bytes beyond their fields take the whole field and keep the stream aligned.
  {
    std::string image = Rec().Image();
    image[4] = '\xFF';    // name
    image[84] = '\x30';   // short name
    image[105] = '\x15';  // unit
    std::string block = Bytes().Raw(BlockHead(2)).U16(100).Raw(image).U16(100).Raw(Rec().Image());
    TMemoryStream stream = StreamOf(block);
    TChannels list;
    list.LoadFromStream(stream);
    ASSERT_EQ(list.ValueCount(), 2);
    EXPECT_EQ(list.GetChannel(0)->Name(), std::string(79, '\0'));
    EXPECT_EQ(list.GetChannel(0)->SName().size(), 20u);
    EXPECT_EQ(list.GetChannel(0)->Unit().size(), 20u);
    EXPECT_EQ(list.GetChannel(1)->Key(), 2);
  }
}

// A stream that refuses to write beyond a number of bytes.
class ShortStream : public TMemoryStream {
public:
  explicit ShortStream(int64_t room) : room_(room) {}
  int32_t Write(const void* buffer, int32_t count) override {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, room_ - Position()));
    return TMemoryStream::Write(buffer, std::max(n, 0));
  }

private:
  int64_t room_;
};

TEST(ChannelsTest, WriteErrorsBecomeSaveErrors) {
  auto list = TChannels::CreateDefault();
  for (int64_t room : {0, 5, 100, 10 + 2 + 177 + 2 + 180}) {
    ShortStream stream(room);
    try {
      list->SaveToStream(stream);
      ADD_FAILURE() << room;
    } catch (const EChanSaveError& e) {
      EXPECT_EQ(e.Message(), "chn_SaveFieldError");
    }
  }
}

TEST(ChannelsTest, PseudoChannels) {
  TTimeChannel time(1);
  TDateChannel date(0);
  EXPECT_EQ(time.Flags(), 0x8008);
  EXPECT_EQ(time.SensType(), 600);
  EXPECT_EQ(time.ValMax(), 600);
  EXPECT_EQ(time.Extra(), 300);
  EXPECT_EQ(time.ValueChars(), 0);
  EXPECT_EQ(date.ValMax(), 60);
  EXPECT_EQ(date.SensType(), 0);

  // Values are bit patterns: the integer in the low bytes, the rest zero.
  const double secs = SecsAsValue(3723);
  uint64_t bits;
  std::memcpy(&bits, &secs, 8);
  EXPECT_EQ(bits, 3723u);
  EXPECT_EQ(ValueAsSecs(SecsAsValue(-1)), -1);
  const double minus_one = SecsAsValue(-1);
  std::memcpy(&bits, &minus_one, 8);
  EXPECT_EQ(bits, 0xFFFFFFFFu);
  EXPECT_EQ(ValueAsDayNo(DayNoAsValue(0xFFFF)), 0xFFFF);

  TFormatSettings saved = FormatSettings;
  FormatSettings.LongTimeFormat = "hh:nn:ss";
  FormatSettings.ShortDateFormat = "dd.mm.yyyy";
  FormatSettings.DateSeparator = '.';
  EXPECT_EQ(time.ValueToStr(SecsAsValue(3723)), "01:02:03");
  EXPECT_EQ(ValueAsSecs(time.StrToValue("01:02:03")), 3723);
  EXPECT_EQ(date.ValueToColStr(DayNoAsValue(2)), "03.01.1900");
  EXPECT_EQ(ValueAsDayNo(date.StrToValue("03.01.1900")), 2);
  std::string buffer = "x";
  EXPECT_EQ(time.StrCatValue(buffer, SecsAsValue(0)), "x00:00:00");
  EXPECT_EQ(date.StrPValue(buffer, DayNoAsValue(2)), "03.01.1900");
  auto chars = [](const std::string& text) { return static_cast<int>(text.size()); };
  EXPECT_EQ(time.ValueWidth(chars), 8);
  EXPECT_EQ(date.ColWidth(chars), 10);
  FormatSettings = saved;

  // Clones are built from the rounded integers and keep the class.
  auto odd = TTimeChannel::CreateWith(1, 0x0100, 299, 601, 0, "s", "T", "Time");
  EXPECT_EQ(odd->Flags(), 0x8108);
  EXPECT_EQ(odd->ValueChars(), 10);
  auto clone = odd->Clone();
  ASSERT_NE(dynamic_cast<TTimeChannel*>(clone.get()), nullptr);
  EXPECT_EQ(static_cast<TTimeChannel*>(clone.get())->Extra(), 299);
  EXPECT_EQ(clone->ValMax(), 601);
  EXPECT_EQ(clone->Name(), "Time");
  auto date_clone = date.Clone();
  EXPECT_NE(dynamic_cast<TDateChannel*>(date_clone.get()), nullptr);
  EXPECT_EQ(date_clone->ValMax(), 60);
}

TEST(ChannelsTest, TimeChannelExtraIsClampedWhenWritten) {
  TChannels list;
  auto time = std::make_unique<TTimeChannel>(1);
  time->SetExtra(1e39);
  list.Add(std::move(time));
  const std::string bytes = Write(list);
  EXPECT_EQ(bytes.substr(bytes.size() - 6), V(test::VMax));
}

}  // namespace
}  // namespace qv
