#include "datastore/channel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/meas_types.h"
#include "datastore/chan_bytes.h"
#include "datastore/chan_editor.h"
#include "datastore/dt_record.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/text_encoding.h"

namespace qv {
namespace {

using test::Bytes;

std::string Saved(TChannel& channel) {
  TMemoryStream stream;
  channel.SaveToStream(stream);
  return stream.Bytes();
}

std::unique_ptr<TChannel> Loaded(const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
  auto channel = std::make_unique<TChannel>(0);
  channel->LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(bytes.size()));
  return channel;
}

TEST(ChannelTest, NewChannelAndItsRecord) {
  TChannel channel(12);
  EXPECT_EQ(channel.Name(), "chn_Channel12");
  EXPECT_EQ(channel.SName(), "chn_Channel12");
  EXPECT_EQ(channel.Unit(), "%");
  EXPECT_EQ(channel.Flags(), 0x8088);
  EXPECT_EQ(channel.ValueChars(), 5);  // "100" + "." + one decimal
  EXPECT_EQ(channel.ColumnChars(), 13);
  EXPECT_EQ(channel.NameEdit(), channel.Name());
  EXPECT_EQ(channel.ViewMaxEdit(), 100);

  const std::string expected = Bytes()
                                   .U8(12)
                                   .U16(0x9088)
                                   .U8(150)
                                   .Fixed("chn_Channel12", 80)
                                   .Fixed("chn_Channel12", 21)
                                   .Fixed("%", 21)
                                   .Raw(test::V0)
                                   .Raw(test::V100)
                                   .Raw(test::V0)
                                   .Raw(test::V100)
                                   .Raw(test::V0)
                                   .Raw(test::V100)
                                   .Raw(test::V1)
                                   .U8(1)
                                   .U8(5)
                                   .U8(13)
                                   .U16(0)
                                   .U16(0)
                                   .U8(1)
                                   .U8(0);
  EXPECT_EQ(Saved(channel), expected);
  EXPECT_EQ(channel.Flags(), 0x9088);  // the writer marks the channel itself

  auto loaded = Loaded(expected);
  EXPECT_EQ(Saved(*loaded), expected);
  EXPECT_EQ(loaded->Key(), 12);
}

TEST(ChannelTest, TextsAreWindows1252AndCutToTheirFields) {
  auto channel =
      TChannel::CreateWith(3, 0, 2, 1.0, 30, -10, 50, -20, "W/m²", std::string(30, 'S'), std::string(85, 'N') + "ü");
  EXPECT_EQ(channel->Name(), std::string(79, 'N'));
  EXPECT_EQ(channel->SName(), std::string(20, 'S'));
  channel->SetDescription("Süd €");
  channel->SetUnit("m³/h ✓");  // the check mark has no Windows-1252 byte
  const std::string bytes = Saved(*channel);
  EXPECT_EQ(bytes.substr(105, 8), std::string("\x06m\xB3/h ?\0", 8));
  EXPECT_EQ(bytes.substr(173, 7), std::string("\x05\x00S\xFC"
                                              "d \x80",
                                              7));
  auto loaded = Loaded(bytes);
  EXPECT_EQ(loaded->Unit(), "m³/h ?");
  EXPECT_EQ(loaded->Description(), "Süd €");
  EXPECT_EQ(loaded->Name(), std::string(79, 'N'));
}

TEST(ChannelTest, LegacyRecordsDeriveTheirTypes) {
  struct Case {
    uint16_t flags;
    uint16_t sens_type;
    const char* unit;
    uint16_t flags_after;
    uint8_t meas, calc;
  };
  const Case cases[] = {
      {0x0000, 0, " W/qm ", 0x8408, 1, 0}, {0x0000, 0, "l/qm", 0x8108, 1, 0}, {0x0000, 0, "°", 0x8208, 1, 0},
      {0x0000, 0, "km/h", 0x8808, 1, 0},   {0x0000, 0, "m/s", 0x8808, 1, 0},  {0x0000, 0, "W/QM", 0x8008, 1, 0},
      {0x2300, 0, "", 0xA308, 0, 5},       {0x2100, 0, "°", 0xA308, 0, 5},    {0x2200, 0, "", 0xA208, 0, 3},
      {0x0000, 102, "", 0x8008, 0, 5},     {0x0000, 104, "", 0x8008, 0, 3},   {0x0000, 103, "", 0x8008, 0, 16},
      {0x8000, 0, "W/qm", 0x8008, 1, 0},   {0x1000, 0, "m/s", 0x9808, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.flags << " " << c.unit);
    const bool view = (c.flags & 0x9000) != 0;
    Bytes record;
    record.U8(4).U16(c.flags).Fixed("Alt", 80).Fixed("A", 21).Fixed(Utf8ToCp1252(c.unit), 21);
    record.Raw(test::V0).Raw(test::V100);
    if (view) record.Raw(test::V0).Raw(test::V60);
    record.Raw(test::V0).Raw(test::V60).Raw(test::V1).U8(0).U8(3).U8(3).U16(c.sens_type);
    auto channel = Loaded(record);
    EXPECT_EQ(channel->Flags(), c.flags_after);
    EXPECT_EQ(channel->Version(), 150);
    EXPECT_EQ(channel->MeasType(), c.meas);
    EXPECT_EQ(channel->CalcType(), c.calc);
    EXPECT_EQ(channel->ViewMax(), view ? 60 : 100);
  }
}

TEST(ChannelTest, BoundsAndNaNAreStoredAsTheBoundImages) {
  TChannel channel(2);
  channel.SetMin(NoValue);
  channel.SetMax(std::numeric_limits<double>::quiet_NaN());
  channel.SetAlarmMin(-1e300);
  channel.SetAlarmMax(std::numeric_limits<double>::infinity());
  channel.SetFactor(std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(channel.Flags() & chfExponential);
  const std::string bytes = Saved(channel);
  auto six = [&](size_t offset) { return bytes.substr(offset, 6); };
  const std::string no = Bytes().Raw(test::VNo), max = Bytes().Raw(test::VMax);
  EXPECT_EQ(six(126), no);   // value minimum
  EXPECT_EQ(six(132), max);  // value maximum (NaN)
  EXPECT_EQ(six(150), no);   // alarm minimum
  EXPECT_EQ(six(156), max);  // alarm maximum
  EXPECT_EQ(six(162), max);  // factor (NaN)
  auto loaded = Loaded(bytes);
  EXPECT_EQ(loaded->ValMin(), NoValue);
  EXPECT_EQ(loaded->ValMax(), MaxValue);
  EXPECT_EQ(loaded->Factor(), MaxValue);
}

TEST(ChannelTest, Widths) {
  struct Case {
    double min, max;
    uint8_t decimals;
    uint8_t value_chars;
    bool exponential;
  };
  const Case cases[] = {
      {0, 100, 1, 5, false},
      {0, 100, 0, 3, false},
      {-40.5, 60, 2, 6, false},
      {0, 2.5, 0, 1, false},
      {0, 3e9, 2, 11, true},
      {-3e9, 0, 0, 10, true},
      {0, 3e9, 20, 29, true},
      {0, 100, 255, 255, false},
      {0, 3e9, 255, 255, true},
      // A maximum below the integer range or a minimum above it (a damaged block, a setter).
      {0, -1e30, 0, 10, true},
      {1e30, 0, 0, 10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.min << " " << c.max << " " << int{c.decimals});
    auto channel = TChannel::CreateWith(2, 0, c.decimals, 1, 0, 0, c.max, c.min, "", "", "");
    EXPECT_EQ(channel->ValueChars(), c.value_chars);
    EXPECT_EQ(channel->ColumnChars(), c.value_chars);
    EXPECT_EQ((channel->Flags() & chfExponential) != 0, c.exponential);
  }
  auto channel = TChannel::CreateWith(2, 0, 1, 1, 0, 0, 100, 0, "Grad", "Temperatur Nord", "");
  EXPECT_EQ(channel->ColumnChars(), 15);
  auto chars = [](const std::string& text) { return static_cast<int>(text.size()); };
  EXPECT_EQ(channel->ValueWidth(chars), 5);
  EXPECT_EQ(channel->ColWidth(chars), 15);
  channel->SetMax(3e9);
  EXPECT_EQ(channel->ValueWidth(chars), 10);  // " 3.0E+0009"
}

TEST(ChannelTest, ValueTexts) {
  auto channel = TChannel::CreateWith(2, 0, 1, 1, 0, 0, 100, 0, "", "", "");
  ASSERT_EQ(channel->ValueChars(), 5);
  EXPECT_EQ(channel->ValueToStr(NoValue), "     ");
  EXPECT_EQ(channel->ValueToColStr(NoValue), "-----");
  EXPECT_EQ(channel->StrToValue("12,5"), 12.5);
  EXPECT_EQ(channel->StrToValue("-3.25"), -3.25);
  EXPECT_EQ(channel->StrToValue("zwölf"), NoValue);
  EXPECT_EQ(channel->StrToValue("1,000.5"), NoValue);
  std::string buffer = "A;";
  EXPECT_EQ(channel->StrCatValue(buffer, 12.34), "A; 12.3");
  EXPECT_EQ(channel->StrCatValue(buffer, NoValue), "A; 12.3-----");
  EXPECT_EQ(channel->StrPValue(buffer, -7), " -7.0");
  channel->SetSName(std::string(20, 'x'));  // wider column
  EXPECT_EQ(channel->ValueToColStr(NoValue), std::string(20, '-'));
  EXPECT_EQ(channel->StrPValue(buffer, 1e30).size(), 20u);
  EXPECT_TRUE(channel->OutsideAlarm(-0.1));
  EXPECT_FALSE(channel->OutsideAlarm(0));
}

TEST(ChannelTest, SettersAndTypes) {
  TChannel channel(2);
  int changes = 0;
  channel.SetOwnerCallback([&](void* sender) {
    EXPECT_EQ(sender, &channel);
    ++changes;
  });
  channel.SetName(channel.Name());
  channel.SetMin(0);
  channel.SetDecimals(1);
  EXPECT_EQ(changes, 0);
  channel.SetDecimals(0);
  EXPECT_EQ(channel.ValueChars(), 3);
  EXPECT_EQ(channel.DecimalsEdit(), 0);
  channel.SetViewMax(80);
  EXPECT_EQ(changes, 2);

  channel.SetMeasType(0);  // never both types 0
  EXPECT_EQ(channel.MeasType(), 1);
  channel.SetCalcType(5);
  EXPECT_EQ(channel.MeasType(), 0);
  EXPECT_EQ(channel.CalcType(), 5);
  channel.SetMeasType(0);
  EXPECT_EQ(channel.MeasType(), 0);
  channel.SetMeasType(3);
  EXPECT_EQ(channel.CalcType(), 0);
  channel.SetCalcType(0);
  EXPECT_EQ(channel.MeasType(), 3);
  channel.SetCalcType(7);
  channel.SetCalcType(0);
  EXPECT_EQ(channel.MeasType(), 1);
  EXPECT_EQ(changes, 2);

  // A type the channel record could not be read back with is refused and changes nothing.
  EXPECT_THROW(channel.SetMeasType(MeasTypeCount), EChannelError);
  EXPECT_THROW(channel.SetCalcType(CalcTypeCount), EChannelError);
  EXPECT_THROW(channel.SetCalcType(255), EChannelError);
  EXPECT_EQ(channel.MeasType(), 1);
  EXPECT_EQ(channel.CalcType(), 0);
}

TEST(ChannelTest, CloneCopiesTheDescription) {
  auto channel = TChannel::CreateWithType(9, 0x0100, 104, 2, 0.5, 90, 10, 200, -50, "hPa", "P", "Druck");
  channel->SetViewMin(0);
  channel->SetDescription("Keller");
  channel->SetCalcType(3);
  auto clone = channel->Clone();
  EXPECT_EQ(clone->Key(), 9);
  EXPECT_EQ(clone->Flags(), channel->Flags());
  EXPECT_EQ(clone->SensType(), 104);
  EXPECT_EQ(clone->Factor(), 0.5);
  EXPECT_EQ(clone->AlarmMin(), 10);
  EXPECT_EQ(clone->Description(), "Keller");
  EXPECT_EQ(clone->CalcType(), 3);
  EXPECT_EQ(clone->MeasType(), 0);
  EXPECT_EQ(clone->ViewMin(), -50);  // a clone's view limits are its range
}

// An editor without a frame: it keeps what it is given and what the test types.
class FakeChanEditor : public TChanEditor {
public:
  const TExplFrameClass* GetFrameClass() const override { return nullptr; }
  bool Validate() override { return valid; }
  std::string GetNameText() const override { return name; }
  void SetNameText(const std::string& t) override { name = t; }
  std::string GetSNameText() const override { return sname; }
  void SetSNameText(const std::string& t) override { sname = t; }
  std::string GetUnitText() const override { return unit; }
  void SetUnitText(const std::string& t) override { unit = t; }
  bool GetUnitReadOnly() const override { return unit_read_only; }
  void SetUnitReadOnly(bool r) override { unit_read_only = r; }
  void SetSensType(uint16_t t) override { sens_type = t; }
  void SetMinValue(double v) override { min = v; }
  void SetMaxValue(double v) override { max = v; }
  bool GetRangeReadOnly() const override { return range_read_only; }
  void SetRangeReadOnly(bool r) override { range_read_only = r; }
  uint8_t GetDecimals() const override { return decimals; }
  void SetDecimals(uint8_t d) override { decimals = d; }
  void SetAlarmMinValue(double v) override { AlarmMin = v; }
  void SetAlarmMaxValue(double v) override { AlarmMax = v; }
  void SetViewMinValue(double v) override { ViewMin = v; }
  void SetViewMaxValue(double v) override { ViewMax = v; }

  bool valid = true, unit_read_only = false, range_read_only = false;
  std::string name, sname, unit;
  uint16_t sens_type = 0;
  double min = 0, max = 0;
  uint8_t decimals = 0;
};

class ChannelEditorTest : public testing::Test {
protected:
  void SetUp() override {
    SetChanEditorCreator([](TWinControl*) { return std::make_unique<FakeChanEditor>(); });
  }
  void TearDown() override { SetChanEditorCreator(nullptr); }
};

TEST_F(ChannelEditorTest, EditAcceptApplyAndCancel) {
  auto channel = TChannel::CreateWithType(4, 0, 301, 1, 1, 80, 5, 100, 0, "°C", "T", "Temp");
  int changes = 0;
  channel->SetOwnerCallback([&](void*) { ++changes; });
  channel->CreateEditor(nullptr, nullptr, nullptr);
  auto* editor = static_cast<FakeChanEditor*>(channel->Editor());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->name, "Temp");
  EXPECT_EQ(editor->unit, "°C");
  EXPECT_EQ(editor->sens_type, 301);
  EXPECT_EQ(editor->max, 100);
  EXPECT_EQ(editor->decimals, 1);
  EXPECT_EQ(editor->AlarmMax, 80);
  EXPECT_TRUE(editor->unit_read_only);
  EXPECT_TRUE(editor->range_read_only);
  EXPECT_EQ(editor->ValMin, NoValue);

  editor->name = std::string(90, 'n');
  editor->unit = "K";
  editor->decimals = 2;
  editor->AlarmMin = -5;
  editor->ViewMax = 70;
  editor->valid = false;
  EXPECT_FALSE(channel->CloseEditor(true));
  EXPECT_EQ(channel->NameEdit(), "Temp");
  editor->valid = true;
  EXPECT_TRUE(channel->CloseEditor(true));
  EXPECT_EQ(channel->Editor(), nullptr);
  EXPECT_EQ(channel->NameEdit(), std::string(79, 'n'));
  EXPECT_EQ(channel->UnitEdit(), "°C");  // read-only unit is not taken
  EXPECT_EQ(channel->Name(), "Temp");    // not committed before the explorer's OK
  EXPECT_EQ(changes, 0);

  channel->CancelChanges();
  EXPECT_EQ(channel->NameEdit(), "Temp");
  EXPECT_EQ(channel->AlarmMinEdit(), 5);

  channel->SetNameEdit("Vorlauf");
  channel->SetAlarmMinEdit(-5);
  channel->SetUnitEdit("K");
  channel->SetValMaxEdit(200);
  EXPECT_TRUE(channel->ApplyChanges());
  EXPECT_EQ(channel->Name(), "Vorlauf");
  EXPECT_EQ(channel->AlarmMin(), -5);
  EXPECT_EQ(channel->Unit(), "°C");
  EXPECT_EQ(channel->ValMax(), 100);
  EXPECT_EQ(changes, 2);
}

TEST_F(ChannelEditorTest, EditableUnitAndRangeAreTaken) {
  TChannel channel(2);
  channel.CreateEditor(nullptr, nullptr, nullptr);
  auto* editor = static_cast<FakeChanEditor*>(channel.Editor());
  editor->unit_read_only = editor->range_read_only = false;
  editor->unit = std::string(25, 'u');
  editor->ValMin = -1;
  editor->ValMax = 1;
  EXPECT_TRUE(channel.AcceptEditor());
  EXPECT_EQ(channel.UnitEdit(), std::string(20, 'u'));
  EXPECT_EQ(channel.ValMinEdit(), -1);
  EXPECT_EQ(channel.ValMaxEdit(), 1);
}

TEST(ChannelOutlineTest, FillOutline) {
  struct Outline : TExplOutline {
    int AddChildObject(int parent, const std::string& text, void* object) override {
      added = {parent, text, object};
      return 7;
    }
    std::tuple<int, std::string, void*> added;
  } outline;
  TChannel channel(2);
  channel.SetName("Nord");
  channel.FillOutline(&outline, 3, nullptr);
  EXPECT_EQ(outline.added, std::make_tuple(3, std::string("Nord"), static_cast<void*>(&channel)));
  try {
    channel.FillOutline(nullptr, 0, nullptr);
    FAIL();
  } catch (const EChannelError& e) {
    EXPECT_EQ(e.Message(), "Error in TChannel.FillOutline: Outline is nil");
  }
  // Without an installed editor creator no editor opens and accepting succeeds.
  channel.CreateEditor(nullptr, nullptr, nullptr);
  EXPECT_EQ(channel.Editor(), nullptr);
  EXPECT_TRUE(channel.AcceptEditor());
}

}  // namespace
}  // namespace qv
