#include "pty_logger.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace qv::sim {
namespace {

using test::F;
using test::H;
using test::Hex;

// The program's end of the line, as the serial layer opens it.
class Port {
public:
  explicit Port(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd_, 0) << path;
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~Port() { close(fd_); }
  int Fd() const { return fd_; }
  void Write(const Bytes& b) { ASSERT_EQ(write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
  // Reads exactly n bytes, or what came within the time limit.
  Bytes Read(size_t n, int limit_ms = 5000) {
    Bytes out;
    const int64_t end = SteadyMillis() + limit_ms;
    while (out.size() < n) {
      pollfd p{fd_, POLLIN, 0};
      int left = static_cast<int>(end - SteadyMillis());
      if (left <= 0 || poll(&p, 1, left) <= 0) break;
      uint8_t buf[4096];
      ssize_t got = read(fd_, buf, std::min(sizeof buf, n - out.size()));
      if (got > 0) out.insert(out.end(), buf, buf + got);
    }
    return out;
  }
  Bytes Ask(const Bytes& request, size_t answer_len) {
    Write(request);
    return Read(answer_len);
  }

private:
  int fd_ = -1;
};

TEST(PtyLogger, AnswersOverAPseudoTerminalAcrossReopens) {
  SimConfig config;
  config.ParseArgs({"--clock", "2024-06-01 12:00:00", "--samples", "10", "--channels", "1"});
  PtyLogger logger(config);
  std::vector<std::string> traced;
  logger.SetTrace([&](const std::string& r) { traced.push_back(r); });
  logger.Start();
  {
    Port port(logger.SlavePath());
    EXPECT_EQ(Hex(port.Ask(H("20"), 5)), "23 20 20 63 00");
    EXPECT_EQ(Hex(port.Ask(H("26 53 79 00"), 12)), "24 26 53 9D 00 26 53 34 12 05 C4 00");
  }
  {
    // The program closes the port between operations and opens it again.
    Port port(logger.SlavePath());
    EXPECT_EQ(Hex(port.Ask(H("3F 31 34 12 00 00 B6 00"), 5)), "24 3F 31 94 00");
    Bytes answer = port.Ask(H("3F 54 00 01 01 00 00 00 95 00"), 7 + 128);
    ASSERT_EQ(answer.size(), 135u);
    EXPECT_EQ(Hex(Bytes(answer.begin(), answer.begin() + 7)), Hex(F("$?T", H("01 00"))));
    EXPECT_TRUE(BlockCrcOk(Bytes(answer.begin() + 7, answer.end())));
    port.Write(H("24 3F 54 B7 00"));
    EXPECT_TRUE(port.Read(1, 200).empty()) << "no unsolicited bytes";
  }
  logger.Stop();
  EXPECT_EQ(traced, (std::vector<std::string>{" ", "&S", "?1", "?T", "$?T"}));
  EXPECT_TRUE(logger.Violations().empty());
  EXPECT_EQ(logger.Clock().year, 2024);
}

TEST(PtyLogger, PacedModeTakesTheLineTimeAtTheProgramsRate) {
  PtyLogger logger{SimConfig{}};
  logger.Start();
  Port port(logger.SlavePath());
  termios tio{};
  tcgetattr(port.Fd(), &tio);
  cfsetspeed(&tio, B9600);
  tcsetattr(port.Fd(), TCSANOW, &tio);
  const int64_t start = SteadyMillis();
  Bytes answer = port.Ask(H("3F 45 34 12 00 00 CA 00"), 7 + 128);
  const int64_t elapsed = SteadyMillis() - start;
  ASSERT_EQ(answer.size(), 135u);
  // 8 request bytes and 135 answer bytes at 960 bytes a second: at least 148 ms.
  EXPECT_GE(elapsed, 148);
}

TEST(LoggerSimProcess, RunsAsAChildProcess) {
  LoggerSimProcess sim(QV_LOGGERSIM_EXE, {"--kind", "6", "--burst", "--id", "0x1234", "--samples", "2000"});
  ASSERT_EQ(sim.SlavePath().rfind("/dev/pts/", 0), 0u) << sim.SlavePath();
  {
    Port port(sim.SlavePath());
    EXPECT_EQ(Hex(port.Ask(H("20"), 5)), "23 20 20 63 00");
    EXPECT_EQ(Hex(port.Ask(H("26 53 79 00"), 12)), "24 26 53 9D 00 26 53 34 12 28 E7 00");
    Bytes answer = port.Ask(H("3F 45 34 12 00 00 CA 00"), 7 + 200);
    ASSERT_EQ(answer.size(), 207u);
    EXPECT_TRUE(BlockCrcOk(Bytes(answer.begin() + 7, answer.end())));
    port.Write(H("24 3F 45 A8 00"));
    // A 4000-byte memory block follows its announcement in the same write.
    EXPECT_EQ(Hex(port.Ask(H("3F 33 34 12 00 00 B8 00"), 5)), "24 3F 33 96 00");
    answer = port.Ask(H("3F 54 00 01 01 00 00 00 95 00"), 7 + 4000);
    ASSERT_EQ(answer.size(), 4007u);
    EXPECT_EQ(Hex(Bytes(answer.begin(), answer.begin() + 7)), Hex(F("$?T", H("04 00"))));
    EXPECT_TRUE(BlockCrcOk(Bytes(answer.begin() + 7, answer.end())));
    EXPECT_EQ(Hex(Bytes(answer.begin() + 7, answer.begin() + 9)), "FD FF");
  }
  EXPECT_EQ(sim.Stop(), 0);

  // The simulator's self-checks show in its exit status.
  LoggerSimProcess wrong(QV_LOGGERSIM_EXE, {"--kind", "5"});
  {
    Port port(wrong.SlavePath());
    EXPECT_EQ(Hex(port.Ask(H("3F 45 35 12 00 00 CB 00"), 5)), "23 3F 45 A7 00");
  }
  EXPECT_EQ(wrong.Stop(), 3);
}

}  // namespace
}  // namespace qv::sim
