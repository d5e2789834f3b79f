#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/serial/com_port_map.h"
#include "serial/pty_pair.h"
#include "serial/ser_custom_com_port.h"
#include "serial/ser_data_packet.h"
#include "serial/serial_exception.h"
#include "support/temp_dir.h"

using namespace std::string_literals;

namespace qv {
namespace {

constexpr uint16_t kCom = 9;

class DataPacket : public ::testing::Test {
protected:
  void SetUp() override {
    SetMainThread();
    while (ProcessPostedMessages()) {
    }
    SetComPortMapHook([this](int n) { return n == kCom ? pty.SlavePath() : std::string(); });
    port = std::make_unique<TSerComPort>();
    port->Clock = [this] { return now.load(); };
    port->SetComNumber(kCom);
  }
  void TearDown() override {
    packets.clear();
    port.reset();
    while (ProcessPostedMessages()) {
    }
    SetComPortMapHook(nullptr);
  }

  TSerDataPacket& Telegram(const std::string& start, int32_t size) {
    packets.push_back(std::make_unique<TSerDataPacket>());
    TSerDataPacket& p = *packets.back();
    p.SetStartString(start);
    p.SetEndCond(ecPacketSize);
    p.SetPacketSize(size);
    p.SetIgnoreCase(false);
    p.AutoEnable = false;
    p.SetComPort(port.get());
    p.OnStringPacket = [this](TSerDataPacket* sender, const std::string& data) {
      EXPECT_TRUE(IsMainThread());
      got.push_back(sender->StartString() + "=" + data);
    };
    return p;
  }

  test::PtyPair pty;
  std::atomic<uint64_t> now{0};
  std::unique_ptr<TSerComPort> port;
  std::vector<std::unique_ptr<TSerDataPacket>> packets;
  std::vector<std::string> got;
};

TEST_F(DataPacket, TelegramsArriveOnTheMainThreadEarliestStartFirst) {
  TSerDataPacket& nak = Telegram("#", 5);
  TSerDataPacket& answer = Telegram("$?T", 7);
  answer.SetName("Answer");
  test::TempDir dir;
  port->LogName = dir.File("SERIAL.LOG");
  port->SetLogging(tlOn);
  port->SetOpen(true);
  nak.SetEnabled(true);
  answer.SetEnabled(true);
  // A count of 35 puts a "#" inside the answer; the nak packet joined first.
  pty.Write(
      "xx$?T#\x00\xDA\x00"
      "#?T\xB6\x00"s);
  ASSERT_TRUE(test::PumpUntil([&] { return got.size() == 2; }));
  EXPECT_EQ(got[0], "$?T=$?T#\x00\xDA\x00"s);
  EXPECT_EQ(got[1], "#=#?T\xB6\x00"s);
  EXPECT_FALSE(answer.Enabled());
  port->SetOpen(false);
  std::string log = dir.Read("SERIAL.LOG");
  for (const char* step : {"Packet    Enable        00000000  Packet:Answer", "Packet    StartStr      00000000  $?T",
                           "Packet    Collecting    00000000  Packet:Answer", "Packet    SizePacket    00000000  $?T#"})
    EXPECT_NE(log.find(step), std::string::npos) << step;
}

TEST_F(DataPacket, BlockBehindItsAnswerInOneReadIsCollected) {
  TSerDataPacket& answer = Telegram("$?T", 7);
  packets.push_back(std::make_unique<TSerDataPacket>());
  TSerDataPacket& block = *packets.back();
  block.SetStartCond(scAnyData);
  block.SetEndCond(ecPacketSize);
  block.SetPacketSize(10);
  block.AutoEnable = false;
  block.SetComPort(port.get());
  std::string block_data;
  block.OnPacket = [&](TSerDataPacket*, const uint8_t* data, int32_t size) {
    block_data.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
  };
  answer.OnStringPacket = [&](TSerDataPacket*, const std::string&) { block.SetEnabled(true); };
  port->SetOpen(true);
  answer.SetEnabled(true);
  pty.Write(
      "$?T\x01\x00\x98\x00"
      "0123456789"s);
  ASSERT_TRUE(test::PumpUntil([&] { return !block_data.empty(); }));
  EXPECT_EQ(block_data, "0123456789");
}

TEST_F(DataPacket, BlockTimesOutCountedFromItsEnable) {
  packets.push_back(std::make_unique<TSerDataPacket>());
  TSerDataPacket& block = *packets.back();
  block.SetStartCond(scAnyData);
  block.SetEndCond(ecPacketSize);
  block.SetPacketSize(128);
  block.TimeOut = SecondsToTicks(1);
  block.SetComPort(port.get());
  int timeouts = 0;
  block.OnTimeout = [&](TComponent*) {
    EXPECT_TRUE(IsMainThread());
    ++timeouts;
  };
  port->SetOpen(true);
  block.SetEnabled(true);
  pty.Write("partial");
  test::PumpUntil([] { return false; }, 150);
  EXPECT_EQ(timeouts, 0);
  now += 19 * 55;
  ASSERT_TRUE(test::PumpUntil([&] { return timeouts == 1; }));
  EXPECT_FALSE(block.Enabled());
}

TEST_F(DataPacket, PortClosedFromInsideAPacketEvent) {
  TSerDataPacket& answer = Telegram("$", 3);
  answer.OnStringPacket = [&](TSerDataPacket*, const std::string& data) {
    got.push_back(data);
    port->SetOpen(false);
  };
  port->SetOpen(true);
  answer.SetEnabled(true);
  pty.Write("$ab$cd");
  ASSERT_TRUE(test::PumpUntil([&] { return !port->Open(); }));
  EXPECT_EQ(got, std::vector<std::string>{"$ab"});
  // Enabled again, the packet listens once the port is open again.
  answer.OnStringPacket = [&](TSerDataPacket*, const std::string& data) { got.push_back(data); };
  answer.SetEnabled(true);
  port->SetOpen(true);
  pty.Write("$ef");
  ASSERT_TRUE(test::PumpUntil([&] { return got.size() == 2; }));
  EXPECT_EQ(got[1], "$ef");
}

TEST_F(DataPacket, InvalidSettingsAndAPortThatGoesAway) {
  TSerDataPacket& p = Telegram("", 5);
  try {
    p.SetEnabled(true);
    ADD_FAILURE();
  } catch (const EInvalidProperty& e) {
    EXPECT_EQ(e.Message(), "Start string is empty");
  }
  EXPECT_FALSE(p.Enabled());
  port.reset();
  EXPECT_EQ(p.ComPort(), nullptr);
}

TEST_F(DataPacket, OwnerFreesPortsAndPacketsInEitherOrder) {
  for (bool port_first : {true, false}) {
    auto owner = std::make_unique<TComponent>(nullptr);
    TSerComPort* owned_port = nullptr;
    TSerDataPacket* owned_packet = nullptr;
    if (port_first) owned_port = new TSerComPort(owner.get());
    owned_packet = new TSerDataPacket(owner.get());
    if (!port_first) owned_port = new TSerComPort(owner.get());
    EXPECT_EQ(owned_port->ClassName(), "TSerComPort");
    EXPECT_EQ(SearchComPort(owner.get()), owned_port);
    owned_port->SetComNumber(kCom);
    owned_packet->SetStartString("$");
    owned_packet->SetEndCond(ecPacketSize);
    owned_packet->SetPacketSize(2);
    owned_packet->SetComPort(owned_port);
    owned_port->SetOpen(true);
    owned_packet->SetEnabled(true);
    owner.reset();  // the last made is freed first
    while (ProcessPostedMessages()) {
    }
  }
  // A port taken away from the owner is let go by its packets.
  TComponent owner(nullptr);
  auto* owned_port = new TSerComPort(&owner);
  auto* owned_packet = new TSerDataPacket(&owner);
  owned_packet->SetComPort(owned_port);
  owner.RemoveComponent(owned_port);
  EXPECT_EQ(owned_packet->ComPort(), nullptr);
  delete owned_port;
  while (ProcessPostedMessages()) {
  }
}

}  // namespace
}  // namespace qv
