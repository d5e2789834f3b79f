#include "comm/qv_com_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "base/app_globals.h"
#include "platform/os/message_queue.h"
#include "platform/rtl/file_io.h"
#include "platform/serial/com_port_map.h"
#include "comm_fixture.h"
#include "pty_logger.h"

namespace qv {
namespace {

using test::Home;

TEST(QvComPort, ChoosesTheFirstMissingTraceFileElseTheOldest) {
  struct Case {
    const char* what;
    std::string ini;
    std::vector<std::pair<int, int>> files;  // number, age in seconds
    const char* chosen;
  } cases[] = {
      {"no files", "", {}, "Trace0.trc"},
      {"one file", "", {{0, 100}}, "Trace1.trc"},
      {"all ten",
       "",
       {{0, 90}, {1, 80}, {2, 70}, {3, 60}, {4, 500}, {5, 50}, {6, 40}, {7, 30}, {8, 20}, {9, 10}},
       "Trace4.trc"},
      {"equal times",
       "",
       {{0, 60}, {1, 60}, {2, 60}, {3, 60}, {4, 60}, {5, 60}, {6, 60}, {7, 60}, {8, 60}, {9, 60}},
       "Trace0.trc"},
      {"gap", "", {{0, 100}, {5, 900}}, "Trace1.trc"},
      {"three files only", "[Comm]\r\nAutoTraceCnt=3\r\n", {{0, 100}, {1, 300}, {2, 200}, {3, 900}}, "Trace1.trc"},
  };
  for (const auto& c : cases) {
    Home home(c.ini);
    for (auto [n, age] : c.files) home.Trace(n, age);
    TQvComPort port;
    EXPECT_EQ(port.CurrentTraceFile(), c.chosen) << c.what;
    EXPECT_EQ(port.TraceName, ExePath + c.chosen) << c.what;
    EXPECT_EQ(port.PreviousTraceFile(), "") << c.what;
  }

  // Once all are there, each rewrite moves the choice on to the next oldest.
  Home home;
  for (int n = 0; n < 10; ++n) home.Trace(n, 1000 - n * 10);
  TQvComPort port;
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(port.CurrentTraceFile(), "Trace" + std::to_string(n) + ".trc");
    home.Trace(n, 0);
    port.SelectTraceFile();
    EXPECT_EQ(port.PreviousTraceFile(), "Trace" + std::to_string(n) + ".trc");
  }
}

TEST(QvComPort, TakesItsSettingsFromSectionComm) {
  struct Case {
    const char* what;
    std::string ini;
    std::string sub;  // home folder below the temporary one
    bool auto_trace;
    int32_t count, size;
    bool use_logging;
    uint32_t log_size;
    std::string log_name;  // below the home folder
    TTraceLogState tracing, logging;
    std::string current;
  } cases[] = {
      {"defaults", "", "", true, 10, 10000, false, 10000, "SERIAL.LOG", tlOn, tlOff, "Trace0.trc"},
      {"largest", "[Comm]\r\nAutoTraceCnt=50\r\nAutoTraceSize=4000000\r\nLogSize=16000000\r\nUseLogging=1\r\n", "",
       true, 50, 4000000, true, 16000000, "SERIAL.LOG", tlOn, tlOn, "Trace0.trc"},
      {"smallest", "[Comm]\r\nAutoTraceCnt=1\r\nAutoTraceSize=1\r\nLogSize=1\r\n", "", true, 1, 1, false, 1,
       "SERIAL.LOG", tlOn, tlOff, "Trace0.trc"},
      {"too large", "[Comm]\r\nAutoTraceCnt=60\r\nAutoTraceSize=4000001\r\nLogSize=16000001\r\n", "", true, 10, 10000,
       false, 10000, "SERIAL.LOG", tlOn, tlOff, "Trace0.trc"},
      {"too small", "[Comm]\r\nAutoTraceCnt=0\r\nAutoTraceSize=0\r\nLogSize=0\r\n", "", true, 10, 10000, false, 10000,
       "SERIAL.LOG", tlOn, tlOff, "Trace0.trc"},
      {"no trace", "[Comm]\r\nAutoTrace=0\r\nAutoTraceSize=500\r\n", "", false, 10, 500, false, 10000, "SERIAL.LOG",
       tlOff, tlOff, ""},
      {"log without extension", "[Comm]\r\nLogName=Serial\r\n", "", true, 10, 10000, false, 10000, "Serial.trc", tlOn,
       tlOff, "Trace0.trc"},
      {"log with extension", "[Comm]\r\nLogName=Serial.log\r\n", "", true, 10, 10000, false, 10000, "Serial.log", tlOn,
       tlOff, "Trace0.trc"},
      {"log out of the home folder", "[Comm]\r\nLogName=../Serial.log\r\n", "", true, 10, 10000, false, 10000,
       "SERIAL.LOG", tlOn, tlOff, "Trace0.trc"},
      {"log in a sub-folder", "[Comm]\r\nLogName=logs\\Serial.log\r\n", "", true, 10, 10000, false, 10000, "SERIAL.LOG",
       tlOn, tlOff, "Trace0.trc"},
      {"log named as the home folder", "[Comm]\r\nLogName=.\r\n", "", true, 10, 10000, false, 10000, "SERIAL.LOG", tlOn,
       tlOff, "Trace0.trc"},
      {"empty log name", "[Comm]\r\nLogName=\r\n", "", true, 10, 10000, false, 10000, "SERIAL.LOG", tlOn, tlOff,
       "Trace0.trc"},
      {"dot in the home folder", "[Comm]\r\nLogName=Serial\r\n", "home.d", true, 10, 10000, false, 10000, "Serial",
       tlOn, tlOff, "Trace0.trc"},
  };
  for (const auto& c : cases) {
    Home home(c.ini, c.sub);
    TQvComPort port;
    EXPECT_EQ(port.AutoTrace, c.auto_trace) << c.what;
    EXPECT_EQ(port.AutoTraceCnt, c.count) << c.what;
    EXPECT_EQ(port.AutoTraceSize, c.size) << c.what;
    EXPECT_EQ(port.UseLogging, c.use_logging) << c.what;
    EXPECT_EQ(port.LogSize(), c.log_size) << c.what;
    EXPECT_EQ(port.LogName, ExePath + c.log_name) << c.what;
    EXPECT_EQ(port.Tracing(), c.tracing) << c.what;
    EXPECT_EQ(port.Logging(), c.logging) << c.what;
    EXPECT_EQ(port.TraceSize(), c.auto_trace ? static_cast<uint32_t>(c.size) : 10000u) << c.what;
    EXPECT_EQ(port.TraceName, c.auto_trace ? ExePath + c.current : "SERIAL.TRC") << c.what;
    EXPECT_EQ(port.CurrentTraceFile(), c.current) << c.what;
    EXPECT_FALSE(port.TraceHex) << c.what;
    EXPECT_FALSE(port.LogHex) << c.what;
    EXPECT_FALSE(port.Open()) << c.what;
  }
}

// The program's port on a pseudo-terminal with a simulated logger behind it, the COM number
// mapped through [SerialPorts] of the program's INI file.
class QvComPortOnLine : public ::testing::Test {
protected:
  static constexpr int kCom = 7;

  QvComPortOnLine()
      : logger_(sim::SimConfig{}),
        home_("[Comm]\r\nUseLogging=1\r\n[SerialPorts]\r\nCOM" + std::to_string(kCom) + "=" + logger_.SlavePath() +
              "\r\n") {
    SetMainThread();
    InstallComPortMap();
    logger_.Start();
    port_.SetComNumber(kCom);
    port_.SetOnTriggerAvail([this](TSerCustomComPort* cp, uint16_t count) {
      std::string s(count, '\0');
      cp->Dispatcher()->GetBlock(reinterpret_cast<uint8_t*>(s.data()), count);
      received_ += s;
      if (close_on_answer_ && received_.size() >= 5) cp->SetOpen(false);
    });
  }
  ~QvComPortOnLine() override { logger_.Stop(); }

  // One wake-up space and the logger's answer; the port is closed afterwards.
  void Converse() {
    received_.clear();
    port_.SetOpen(true);
    ASSERT_TRUE(port_.Open());
    port_.PutString(" ");
    for (int i = 0; i < 500 && port_.Open() && received_.size() < 5; ++i) WaitAndProcessMessages(10);
    for (int i = 0; i < 500 && port_.Open() && close_on_answer_; ++i) WaitAndProcessMessages(10);
    ASSERT_EQ(received_, std::string("#  c\0", 5));
    if (port_.Open()) port_.SetOpen(false);
  }

  sim::PtyLogger logger_;
  Home home_;
  TQvComPort port_;
  std::string received_;
  bool close_on_answer_ = false;
};

TEST_F(QvComPortOnLine, EachConnectionWritesTheNextTraceFile) {
  EXPECT_EQ(ComPortDeviceName(kCom), logger_.SlavePath());
  EXPECT_EQ(ComPortDeviceName(kCom + 1), "/dev/ttyUSB7");  // no key: the fixed rule

  const std::string trace = "Transmit: \r\n \r\n\r\nReceive: \r\n#  c[0]";
  Converse();
  EXPECT_EQ(ReadFileBytes(ExePath + "Trace0.trc"), trace);
  EXPECT_EQ(port_.CurrentTraceFile(), "Trace1.trc");
  EXPECT_EQ(port_.Tracing(), tlOn);
  EXPECT_EQ(port_.Logging(), tlOn);
  std::string log = ReadFileBytes(ExePath + "SERIAL.LOG");
  EXPECT_EQ(log.substr(0, 14), "SERIAL v4.06\r\n");
  EXPECT_NE(log.find("\r\nDevice: COM7\r\n"), std::string::npos);

  Converse();
  EXPECT_EQ(ReadFileBytes(ExePath + "Trace1.trc"), trace);
  EXPECT_EQ(port_.PreviousTraceFile(), "Trace1.trc");
  EXPECT_EQ(port_.CurrentTraceFile(), "Trace2.trc");
}

TEST_F(QvComPortOnLine, AConnectionClosedFromItsOwnEventIsTracedAndSoIsTheNext) {
  close_on_answer_ = true;
  Converse();
  EXPECT_FALSE(port_.Open());
  EXPECT_TRUE(home_.Exists("Trace0.trc"));
  close_on_answer_ = false;
  Converse();
  EXPECT_TRUE(home_.Exists("Trace1.trc"));
  EXPECT_EQ(port_.CurrentTraceFile(), "Trace2.trc");
}

TEST_F(QvComPortOnLine, ATraceThatCannotBeWrittenStillClosesAndRearms) {
  port_.TraceName = ExePath + "no such folder/Trace0.trc";
  port_.SetOpen(true);
  port_.PutString(" ");
  EXPECT_THROW(port_.SetOpen(false), Exception);
  EXPECT_FALSE(port_.Open());
  EXPECT_EQ(port_.Tracing(), tlOn);
  EXPECT_EQ(port_.Logging(), tlOn);
}

}  // namespace
}  // namespace qv
