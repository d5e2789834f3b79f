// Serial port over a pseudo-terminal: the delay from the last byte of a packet arriving to its
// data event on the main thread, and the throughput of a 1 MiB transfer through the port
// relative to reading and writing the same pseudo-terminal directly. And the packet matcher on
// a packet as long as it keeps.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/message_queue.h"
#include "platform/serial/com_port_map.h"
#include "serial/packet_matcher.h"
#include "serial/ser_custom_com_port.h"
#include "serial/ser_data_packet.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint16_t kCom = 1;
constexpr size_t kMiB = 1 << 20;

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    grantpt(master);
    unlockpt(master);
    char name[128];
    ptsname_r(master, name, sizeof name);
    slave = name;
    qv::SetComPortMapHook([this](int) { return slave; });
  }
  ~Pty() {
    qv::SetComPortMapHook(nullptr);
    close(master);
  }
  int master;
  std::string slave;
};

void WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
    }
  }
}

size_t ReadAll(int fd, size_t size) {
  std::vector<char> buffer(65536);
  size_t done = 0;
  while (done < size) {
    ssize_t n = read(fd, buffer.data(), std::min(buffer.size(), size - done));
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 100);
    }
  }
  return done;
}

// A port on the pty that collects what arrives on the main thread.
struct ReceivingPort {
  ReceivingPort() {
    port.SetComNumber(kCom);
    port.SetBaud(115200);
    port.SetOnTriggerAvail([this](qv::TSerCustomComPort* cp, uint16_t count) {
      buffer.resize(count);
      cp->Dispatcher()->GetBlock(buffer.data(), count);
      received += count;
      ++events;
    });
    port.SetOpen(true);
  }
  void WaitFor(size_t total) {
    while (received < total) qv::WaitAndProcessMessages(1);
  }
  qv::TSerComPort port;
  std::vector<uint8_t> buffer;
  size_t received = 0;
  size_t events = 0;
};

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
  return v[i];
}

void BM_SerialPacketToEventDelay(benchmark::State& state) {
  qv::SetMainThread();
  Pty pty;
  ReceivingPort rx;
  const std::string packet = std::string("$?T\x0A\x00\xC1\x00 sixteen", 16);
  const int samples = Brief() ? 50 : 2000;
  std::vector<double> delays_us;
  for (auto _ : state) {
    delays_us.clear();
    for (int i = 0; i < samples; ++i) {
      size_t target = rx.received + packet.size();
      WriteAll(pty.master, packet.data(), packet.size());
      auto arrived = Clock::now();
      rx.WaitFor(target);
      delays_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - arrived).count());
    }
  }
  state.counters["median_us"] = Percentile(delays_us, 0.5);
  state.counters["p99_us"] = Percentile(delays_us, 0.99);
}
BENCHMARK(BM_SerialPacketToEventDelay)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same delay when the packet is cut out by a data packet and handed over by synchronisation.
void BM_SerialDataPacketDelay(benchmark::State& state) {
  qv::SetMainThread();
  Pty pty;
  qv::TSerComPort port;
  port.SetComNumber(kCom);
  port.SetBaud(115200);
  qv::TSerDataPacket packet;
  packet.SetStartString("$?T");
  packet.SetEndCond(qv::ecPacketSize);
  packet.SetPacketSize(16);
  packet.SetIgnoreCase(false);
  packet.AutoEnable = true;
  packet.SetComPort(&port);
  size_t packets = 0;
  packet.OnPacket = [&](qv::TSerDataPacket*, const uint8_t*, int32_t) { ++packets; };
  port.SetOpen(true);
  packet.SetEnabled(true);
  const std::string telegram = std::string("$?T\x0A\x00\xC1\x00 sixteen", 16);
  const int samples = Brief() ? 50 : 2000;
  std::vector<double> delays_us;
  for (auto _ : state) {
    delays_us.clear();
    for (int i = 0; i < samples; ++i) {
      size_t target = packets + 1;
      WriteAll(pty.master, telegram.data(), telegram.size());
      auto arrived = Clock::now();
      while (packets < target) qv::WaitAndProcessMessages(1);
      delays_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - arrived).count());
    }
  }
  state.counters["median_us"] = Percentile(delays_us, 0.5);
  state.counters["p99_us"] = Percentile(delays_us, 0.99);
}
BENCHMARK(BM_SerialDataPacketDelay)->Iterations(1)->Unit(benchmark::kMillisecond);

// The slave end opened directly, raw, as the reference for the port.
int OpenRawSlave(const Pty& pty) {
  int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t;
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

double DirectReceiveSeconds(Pty& pty, const std::string& data) {
  int fd = OpenRawSlave(pty);
  auto start = Clock::now();
  std::thread writer([&] { WriteAll(pty.master, data.data(), data.size()); });
  ReadAll(fd, data.size());
  writer.join();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  close(fd);
  return seconds;
}

double DirectSendSeconds(Pty& pty, const std::string& data) {
  int fd = OpenRawSlave(pty);
  auto start = Clock::now();
  std::thread reader([&] { ReadAll(pty.master, data.size()); });
  WriteAll(fd, data.data(), data.size());
  reader.join();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  close(fd);
  return seconds;
}

// Both figures of the same run, same pty and same sizes, and their ratio (port / direct).
void SetThroughputCounters(benchmark::State& state, size_t size, double direct_seconds, double port_seconds) {
  double bytes = static_cast<double>(state.iterations()) * static_cast<double>(size);
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["direct_MBps"] = bytes / direct_seconds / 1e6;
  state.counters["port_MBps"] = bytes / port_seconds / 1e6;
  state.counters["relative_to_direct"] = direct_seconds / port_seconds;
}

void BM_SerialReceive1MiB(benchmark::State& state) {
  qv::SetMainThread();
  Pty pty;
  const std::string data(kMiB, 'x');
  double port_seconds = 0, direct_seconds = 0;
  for (auto _ : state) {
    direct_seconds += DirectReceiveSeconds(pty, data);
    ReceivingPort rx;
    auto start = Clock::now();
    std::thread writer([&] { WriteAll(pty.master, data.data(), data.size()); });
    rx.WaitFor(data.size());
    writer.join();
    state.counters["bytes_per_event"] = static_cast<double>(data.size()) / static_cast<double>(rx.events);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    port_seconds += seconds;
    state.SetIterationTime(seconds);
  }
  SetThroughputCounters(state, data.size(), direct_seconds, port_seconds);
}
BENCHMARK(BM_SerialReceive1MiB)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SerialSend1MiB(benchmark::State& state) {
  qv::SetMainThread();
  Pty pty;
  const std::string data(kMiB, 'y');
  double port_seconds = 0, direct_seconds = 0;
  for (auto _ : state) {
    direct_seconds += DirectSendSeconds(pty, data);
    qv::TSerComPort port;
    port.SetComNumber(kCom);
    port.SetOutSize(65535);
    port.SetOpen(true);
    auto start = Clock::now();
    std::thread reader([&] { ReadAll(pty.master, data.size()); });
    size_t sent = 0;
    while (sent < data.size()) {
      uint32_t room = port.OutBuffFree();
      if (room == 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        continue;
      }
      uint16_t n = static_cast<uint16_t>(std::min<size_t>({room, data.size() - sent, 65535}));
      port.PutBlock(data.data() + sent, n);
      sent += n;
    }
    reader.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    port_seconds += seconds;
    state.SetIterationTime(seconds);
  }
  SetThroughputCounters(state, data.size(), direct_seconds, port_seconds);
}
BENCHMARK(BM_SerialSend1MiB)->UseManualTime()->Unit(benchmark::kMillisecond);

// A packet whose end string comes only after the longest packet the matcher keeps (16 MiB),
// fed in pieces of the dispatch buffer's size: the time grows with the size, not its square.
void BM_PacketMatcherLongPacketEndString(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const std::string wire = "<" + std::string(size - 4, 'x') + "END";
  constexpr size_t kPiece = 8192;
  for (auto _ : state) {
    qv::TPacketSettings settings;
    settings.StartString = "<";
    settings.EndCond = qv::ecString;
    settings.EndString = "END";
    qv::TPacketMatcher matcher;
    matcher.Enable(matcher.Add(settings));
    qv::TPacketFound found;
    bool complete = false;
    for (size_t at = 0; at < wire.size(); at += kPiece) {
      matcher.Append(reinterpret_cast<const uint8_t*>(wire.data()) + at, std::min(kPiece, wire.size() - at));
      complete = matcher.Next(found);
    }
    if (!complete || found.End != wire.size()) state.SkipWithError("the packet was not found");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_PacketMatcherLongPacketEndString)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
