#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/exception.h"
#include "platform/serial/com_port_map.h"
#include "serial/fake_dispatcher.h"
#include "serial/pty_pair.h"
#include "serial/ser_custom_com_port.h"
#include "serial/ser_trace.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string TraceOf(const std::string& entries, bool hex, bool all_hex, uint32_t size = 100) {
  TSerTrace t(size);
  for (size_t i = 0; i + 1 < entries.size(); i += 2) t.Add(entries[i], static_cast<uint8_t>(entries[i + 1]));
  return t.Text(hex, all_hex);
}

TEST(SerialTrace, BlocksAndByteForms) {
  struct Case {
    std::string entries;  // kind, byte, kind, byte ...
    bool hex, all_hex;
    std::string text;
  } cases[] = {
      {std::string("TAT\rR\x06", 6), false, false, "Transmit: \r\nA[13]\r\n\r\nReceive: \r\n[6]"},
      {"T T!", true, false, "Transmit: \r\n[20]!"},
      {"T T!", false, false, "Transmit: \r\n !"},
      {"TA", false, true, "Transmit: \r\n[41]"},
      {std::string("R\x07R\x0AR\xC8", 6), false, false, "Receive: \r\n[7][10][200]"},
      {std::string("R\x07R\xC8", 4), true, false, "Receive: \r\n[07][C8]"},
      {"X1", false, false, "Special-X: \r\n1"},
  };
  for (const auto& c : cases) EXPECT_EQ(TraceOf(c.entries, c.hex, c.all_hex), c.text) << c.text;

  std::string long_block;
  for (int i = 0; i < 79; ++i) long_block += std::string("T") + static_cast<char>('a' + i % 26);
  std::string text = TraceOf(long_block, false, false);
  std::string body = text.substr(std::string("Transmit: \r\n").size());
  EXPECT_EQ(body.find("\r\n"), 78u);
  EXPECT_EQ(body.size(), 78u + 2u + 1u);

  // A wrapped trace starts with the oldest surviving entry.
  EXPECT_EQ(TraceOf("TaTbTcRdRe", false, false, 3), "Transmit: \r\nc\r\n\r\nReceive: \r\nde");
  EXPECT_TRUE(TSerTrace(5).Empty());
}

TEST(SerialLog, EntriesLikeTheStoredFile) {
  uint64_t now = 5000;
  test::FakeDispatcher d;
  d.SetClock([&] { return now; });
  ASSERT_EQ(d.Open(), 0);
  ASSERT_EQ(d.StartLog(10000), 0);
  d.RegisterEventHandler(&d, [&](uint32_t msg, uint32_t value, int32_t) {
    if (msg == kTriggerAvail) {
      std::string s(value, '\0');
      d.GetBlock(reinterpret_cast<uint8_t*>(s.data()), value);
    }
  });
  d.SetLengthTrigger(1);
  int timer = d.AddTimerTrigger();
  d.SetTimerTrigger(timer, 18, true);
  now += 250;
  std::string sent = "AT\r";
  d.PutBlock(reinterpret_cast<const uint8_t*>(sent.data()), 3);
  int status = d.AddStatusTrigger(kStatusOutBuffFree);
  d.SetStatusTrigger(status, 16, true);
  now += 1000;
  d.input = "OK\r\n";
  d.HandleDeviceEvent(EV_RXCHAR);
  d.HandleTimers();
  now = 5000 + 12345;
  d.SetTimerTrigger(timer, 0, false);
  d.RemoveTrigger(status);
  d.RemoveTrigger(timer);
  d.DeregisterEventHandler(&d);
  std::string lines = d.Log()->Lines(false, false);
  std::string golden = ReadFile(std::string(QV_TEST_DATA_DIR) + "/serial_log_entries.txt");
  EXPECT_EQ(lines, golden) << lines;
}

TEST(SerialLog, RingKeepsTheNewestAndLongDataWraps) {
  TSerLog log(100);
  std::string big(90, 'x');
  log.Add(1, 1, 0, 1, big.data(), 90);  // head and data do not fit: not recorded
  EXPECT_TRUE(log.Empty());
  for (uint32_t i = 0; i < 10; ++i) log.Add(2, 5, i, i, nullptr, 0);
  auto entries = log.Entries();
  ASSERT_EQ(entries.size(), 6u);  // 6 heads of 16 bytes fit into 100
  EXPECT_EQ(entries.front().Value, 4u);
  EXPECT_EQ(entries.back().Value, 9u);

  TSerLog wide(1000);
  std::string data(40, 'd');
  wide.Add(1, 1, 12345, 40, data.data(), 40);
  uint32_t lines4 = 0xB0;  // modem status texts for the set bits
  wide.Add(1, 4, 12345678, lines4, nullptr, 0);
  std::string text = wide.Lines(false, false);
  EXPECT_EQ(text.substr(0, 46), "0012.345  Dispatch  ReadCom       00000028  dd");
  EXPECT_NE(text.find(std::string(34, 'd') + "\r\n" + std::string(44, ' ') + std::string(6, 'd') + "\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("12345.678  Dispatch  Modem status  000000b0   (CTS DSR DCD)\r\n"), std::string::npos);

  std::string header = SerLogHeader("COM7", "01/02/26, 03:04:05");
  EXPECT_EQ(header.substr(0, 14), "SERIAL v4.06\r\n");
  EXPECT_NE(header.find("\r\nCompiler : GCC "), std::string::npos);
  EXPECT_NE(header.find("\r\nOperating System : "), std::string::npos);
  EXPECT_NE(header.find("\r\nDevice: COM7\r\nDate/time: 01/02/26, 03:04:05\r\n"
                        "Time      Type      SubType       Data      OtherData\r\n"
                        "--------  --------  ------------  --------  ---------\r\n"),
            std::string::npos);
}

TEST(SerialTrace, AnAppendOnAFullDiskLeavesTheFileAsItWas) {
  test::TempDir dir;
  const std::string name = dir.File("SERIAL.TRC");
  dir.Write("SERIAL.TRC", "Transmit: \r\nAT");
  struct Case {
    const char* file;  // present before, or not
    size_t limit;
  } cases[] = {{"SERIAL.TRC", 20}, {"NEW.TRC", 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = dir.File(c.file);
    const bool existed = std::filesystem::exists(path);
    const std::string before = ReadFile(path);
    std::string message;
    {
      test::FileSizeLimit full(c.limit);
      try {
        WriteSerialTextFile(path, "\r\n\r\nReceive: \r\nOK", true);
      } catch (const EInOutError& e) {
        message = e.Message();
      }
    }
    EXPECT_NE(message.find(path + "\": File too large"), std::string::npos) << message;
    EXPECT_EQ(std::filesystem::exists(path), existed);
    EXPECT_EQ(ReadFile(path), before);
  }
  WriteSerialTextFile(name, "\r\n\r\nReceive: \r\nOK", true);
  EXPECT_EQ(ReadFile(name), "Transmit: \r\nAT\r\n\r\nReceive: \r\nOK");
}

TEST(SerialTrace, PortWritesItsTraceAndLogWhenItCloses) {
  SetMainThread();
  test::PtyPair pty;
  test::TempDir dir;
  SetComPortMapHook([&](int) { return pty.SlavePath(); });
  TSerComPort port;
  port.SetComNumber(3);
  port.TraceName = dir.File("SERIAL.TRC");
  port.LogName = dir.File("SERIAL.LOG");
  port.TraceHex = false;
  port.SetTracing(tlDump);  // closed: only on or off is kept, nothing is written
  EXPECT_EQ(port.Tracing(), tlOff);
  port.SetTracing(tlOn);
  port.SetLogging(tlOn);
  std::string got;
  port.SetOnTriggerAvail([&](TSerCustomComPort* cp, uint16_t count) {
    std::string s(count, '\0');
    cp->Dispatcher()->GetBlock(reinterpret_cast<uint8_t*>(s.data()), count);
    got += s;
  });
  port.SetOpen(true);
  EXPECT_EQ(port.Tracing(), tlOn);
  port.PutString("AT\r");
  EXPECT_EQ(pty.Read(3), "AT\r");
  pty.Write("OK");
  for (int i = 0; i < 500 && got.size() < 2; ++i) WaitAndProcessMessages(10);
  port.SetOpen(false);
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(port.Logging(), tlOff);
  EXPECT_EQ(ReadFile(dir.File("SERIAL.TRC")), "Transmit: \r\nAT[13]\r\n\r\nReceive: \r\nOK");
  std::string log = ReadFile(dir.File("SERIAL.LOG"));
  EXPECT_EQ(log.substr(0, 14), "SERIAL v4.06\r\n");
  EXPECT_NE(log.find("\r\nDevice: COM3\r\n"), std::string::npos);
  EXPECT_NE(log.find("Dispatch  WriteCom      00000003  AT[0D]"), std::string::npos);
  SetComPortMapHook(nullptr);
}

}  // namespace
}  // namespace qv
