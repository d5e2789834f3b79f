#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/serial/com_port_map.h"
#include "platform/serial/comm_device.h"
#include "serial/pty_pair.h"

namespace qv {
namespace {

class ComPortMap : public ::testing::Test {
protected:
  void TearDown() override { SetComPortMapHook(nullptr); }
};

TEST_F(ComPortMap, DefaultRuleAndConfiguredDevices) {
  struct Case {
    int n;
    const char* path;
  } cases[] = {
      {0, ""},   {1, "/dev/ttyUSB0"}, {99, "/dev/ttyUSB98"}, {100, ""}, {101, "/dev/ttyACM0"}, {199, "/dev/ttyACM98"},
      {200, ""}, {201, "/dev/ttyS0"}, {255, "/dev/ttyS54"},  {256, ""}};
  for (const auto& c : cases) EXPECT_EQ(ComPortDeviceName(c.n), c.path) << c.n;

  SetComPortMapHook([](int n) { return n == 3 ? std::string("/dev/my-logger") : std::string(); });
  EXPECT_EQ(ComPortDeviceName(3), "/dev/my-logger");
  EXPECT_EQ(ComPortDeviceName(4), "/dev/ttyUSB3");
}

TEST_F(ComPortMap, PresentPortsAreListedWithoutOpening) {
  test::PtyPair pty;
  SetComPortMapHook(
      [&](int n) { return n == 240 ? pty.SlavePath() : std::string("/nonexistent/tty") + std::to_string(n); });
  EXPECT_EQ(ExistingComPorts(), std::vector<int>{240});
  EXPECT_TRUE(ComPortAvailable(240));
  EXPECT_FALSE(ComPortAvailable(5));
}

TEST(CommDevice, OpenIsExclusiveAndErrorsAreTranslated) {
  test::PtyPair pty;
  TCommDevice a, b;
  EXPECT_EQ(b.Open("/nonexistent/ttyX"), kErrorNotFound);
  ASSERT_EQ(a.Open(pty.SlavePath()), 0);
  EXPECT_EQ(b.Open(pty.SlavePath()), kErrorAccessDenied);
  EXPECT_EQ(a.Close(), 0);
  EXPECT_EQ(b.Open(pty.SlavePath()), 0);  // the exclusive flag went with the close
}

TEST(CommDevice, LineStateReachesTermios) {
  test::PtyPair pty;
  TCommDevice dev;
  ASSERT_EQ(dev.Open(pty.SlavePath()), 0);
  struct Case {
    uint32_t baud;
    uint8_t size, parity, stop;
    tcflag_t set, clear;
    speed_t speed;
  } cases[] = {
      {19200, 8, NOPARITY, ONESTOPBIT, CS8, PARENB | CSTOPB, B19200},
      {9600, 7, EVENPARITY, TWOSTOPBITS, CS7 | PARENB | CSTOPB, PARODD | CMSPAR, B9600},
      {115200, 8, ODDPARITY, ONESTOPBIT, CS8 | PARENB | PARODD, CMSPAR | CSTOPB, B115200},
      {4800, 8, MARKPARITY, ONESTOPBIT, CS8 | PARENB | PARODD | CMSPAR, CSTOPB, B4800},
      {1200, 5, SPACEPARITY, ONE5STOPBITS, CS5 | PARENB | CMSPAR | CSTOPB, PARODD, B1200},
  };
  for (const auto& c : cases) {
    TDcb dcb;
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.size;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stop;
    ASSERT_EQ(dev.SetState(dcb), 0) << c.baud;
    termios t;
    ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
    // A pseudo-terminal always keeps eight bits without parity; the rest reaches it.
    const tcflag_t pty_kept = ~(CSIZE | PARENB);
    EXPECT_EQ(t.c_cflag & (c.set | c.clear) & pty_kept, c.set & pty_kept) << c.baud;
    EXPECT_EQ(cfgetospeed(&t), c.speed) << c.baud;
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON), 0u);
    TDcb back;
    ASSERT_EQ(dev.GetState(back), 0);
    EXPECT_EQ(back.BaudRate, c.baud);
    EXPECT_EQ(back.ByteSize, c.size);
    EXPECT_EQ(back.Parity, c.parity);
    EXPECT_EQ(back.StopBits, c.stop);
  }
  TDcb odd;
  odd.BaudRate = 12345;  // no such rate on this platform
  EXPECT_NE(dev.SetState(odd), 0);
  uint32_t lines = 1;
  EXPECT_EQ(dev.GetModemStatus(lines), 0);  // a pty has no modem lines: all off, no error
  EXPECT_EQ(lines, 0u);
  EXPECT_EQ(dev.Escape(CLRDTR), 0);
}

TEST(CommDevice, TwoPieceReadsAndWritesKeepTheirOrder) {
  test::PtyPair pty;
  TCommDevice dev;
  ASSERT_EQ(dev.Open(pty.SlavePath()), 0);
  int error = -1;
  EXPECT_EQ(dev.Write2("abc", 3, "defg", 4, &error), 7);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(pty.Read(7), "abcdefg");

  char first[4], second[16];
  EXPECT_EQ(dev.Read2(first, sizeof first, second, sizeof second, &error), 0);  // nothing there
  pty.Write("0123456789");
  uint32_t mask = 0, waiting = 0;
  for (int i = 0; i < 500 && waiting < 10; ++i) {
    ASSERT_EQ(dev.WaitEvent(mask, true, 10), 0);
    EXPECT_EQ(dev.GetStatus(&waiting, nullptr), 0u);
  }
  EXPECT_EQ(waiting, 10u);
  EXPECT_EQ(dev.Read2(first, sizeof first, second, sizeof second, &error), 10);
  EXPECT_EQ(std::string(first, 4), "0123");
  EXPECT_EQ(std::string(second, 6), "456789");
  dev.Close();
  EXPECT_EQ(dev.Read2(first, sizeof first, second, sizeof second, &error), -1);
  EXPECT_NE(error, 0);
}

TEST(CommDevice, TheReceiveQueueKeepsOrderAndIsCountedAndPurged) {
  test::PtyPair pty;
  TCommDevice dev;
  ASSERT_EQ(dev.Open(pty.SlavePath()), 0);
  ASSERT_EQ(dev.SetupQueues(8, 64), 0);
  auto arrived = [&](uint32_t count) {
    uint32_t mask = 0, waiting = 0;
    for (int i = 0; i < 500 && waiting < count; ++i) {
      dev.WaitEvent(mask, true, 10);
      dev.GetStatus(&waiting, nullptr);
    }
    return waiting;
  };
  int error;
  pty.Write("0123456789ABCDEF");
  ASSERT_EQ(arrived(16), 16u);
  EXPECT_EQ(dev.FillQueue(&error), 8);
  EXPECT_TRUE(dev.QueueFull());
  EXPECT_EQ(dev.FillQueue(&error), 0);
  uint32_t waiting = 0;
  dev.GetStatus(&waiting, nullptr);
  EXPECT_EQ(waiting, 16u);  // queued and in the kernel
  char buffer[32];
  ASSERT_EQ(dev.Read(buffer, 5, &error), 5);  // from the queue only
  EXPECT_EQ(std::string(buffer, 5), "01234");
  EXPECT_EQ(dev.FillQueue(&error), 5);  // wraps the queue's end
  char first[4], second[16];
  ASSERT_EQ(dev.Read2(first, sizeof first, second, sizeof second, &error), 11);
  EXPECT_EQ(std::string(first, 4) + std::string(second, 7), "56789ABCDEF");

  pty.Write("xyz");
  ASSERT_EQ(arrived(3), 3u);
  EXPECT_EQ(dev.FillQueue(&error), 3);
  EXPECT_EQ(dev.Purge(PURGE_RXABORT | PURGE_RXCLEAR), 0);
  EXPECT_EQ(dev.QueuedBytes(), 0u);
  EXPECT_EQ(dev.Read(buffer, sizeof buffer, &error), 0);
}

TEST(CommDevice, AWakeRacingACloseNeverWritesToAnotherFile) {
  // The port's threads wake each other while the main thread may be closing the device; the
  // numbers a close frees are taken at once by files opened next, here pipes.
  test::PtyPair pty;
  TCommDevice dev;
  std::atomic<bool> done{false};
  std::thread waker([&] {
    while (!done) {
      dev.Wake(TCommDevice::kReceive);
      dev.Wake(TCommDevice::kTransmit);
    }
  });
  std::vector<std::array<int, 2>> pipes;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(dev.Open(pty.SlavePath()), 0);
    dev.Close();
    std::array<int, 2> p;
    ASSERT_EQ(pipe2(p.data(), O_NONBLOCK | O_CLOEXEC), 0);
    pipes.push_back(p);
  }
  done = true;
  waker.join();
  for (const auto& p : pipes) {
    char b[8];
    EXPECT_EQ(read(p[0], b, sizeof b), -1);
    close(p[0]);
    close(p[1]);
  }
}

}  // namespace
}  // namespace qv
