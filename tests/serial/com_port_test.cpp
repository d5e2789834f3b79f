#include <gtest/gtest.h>

#include <termios.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/serial/com_port_map.h"
#include "serial/fake_dispatcher.h"
#include "serial/pty_pair.h"
#include "serial/ser_custom_com_port.h"
#include "serial/ser_data_packet.h"
#include "serial/ser_win32_dispatcher.h"
#include "serial/serial_exception.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

constexpr uint16_t kCom = 7;
constexpr uint16_t kMissing = 8;

class ComPort : public ::testing::Test {
protected:
  void SetUp() override {
    SetMainThread();
    while (ProcessPostedMessages()) {
    }
    // Every other number names no device, whatever this machine has.
    SetComPortMapHook([this](int n) { return n == kCom ? pty.SlavePath() : "/nonexistent/ttyQV" + std::to_string(n); });
  }
  void TearDown() override {
    SetComPortMapHook(nullptr);
    SetComSelectHook(nullptr);
  }

  // Collects what the data events bring on the main thread, taking delay_ms for each.
  static void CollectInto(TSerComPort& port, std::string& received, int delay_ms = 0) {
    port.SetOnTriggerAvail([&received, delay_ms](TSerCustomComPort* cp, uint16_t count) {
      EXPECT_TRUE(IsMainThread());
      std::string piece(count, '\0');
      ASSERT_EQ(cp->Dispatcher()->GetBlock(reinterpret_cast<uint8_t*>(piece.data()), count), count);
      received += piece;
      if (delay_ms) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    });
  }

  // Writes in on the other end and pumps until the port has received all of it.
  void WriteAndExpect(const std::string& in, const std::string& received) {
    std::thread writer([&] { pty.Write(in); });
    bool all = test::PumpUntil([&] { return received.size() >= in.size(); });
    writer.join();
    ASSERT_TRUE(all) << received.size();
    EXPECT_EQ(received, in);
  }

  static std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131) ^ (i >> 9));
    return s;
  }

  test::PtyPair pty;
};

TEST_F(ComPort, BytesTravelInOrderBothWays) {
  TSerComPort port;
  port.SetComNumber(kCom);
  std::string received;
  CollectInto(port, received);
  port.SetOpen(true);
  ASSERT_TRUE(port.Open());

  // Several times the dispatch ring, so reads wrap it many times.
  const std::string in = Pattern(100000);
  WriteAndExpect(in, received);

  const std::string out = Pattern(50000).substr(7);
  std::string echoed;
  std::thread reader([&] { echoed = pty.Read(out.size()); });
  size_t sent = 0;
  while (sent < out.size()) {
    uint32_t room = port.OutBuffFree();
    if (room == 0) {
      WaitAndProcessMessages(1);
      continue;
    }
    uint16_t n = static_cast<uint16_t>(std::min<size_t>({room, out.size() - sent, 1500}));
    port.PutBlock(out.data() + sent, n);
    sent += n;
  }
  reader.join();
  EXPECT_EQ(echoed, out);

  int free_trigger = port.AddStatusTrigger(kStatusOutBuffFree);
  int fired = 0;
  port.SetOnTriggerOutbuffFree([&](TComponent*) { ++fired; });
  port.SetStatusTrigger(free_trigger, port.OutSize(), true);
  EXPECT_TRUE(test::PumpUntil([&] { return fired == 1; }));
  port.SetOpen(false);
  EXPECT_FALSE(port.Open());
}

TEST_F(ComPort, ASlowMainThreadLosesNothing) {
  // The dispatch ring and the device's receive queue both fill while each event is handled.
  TSerComPort port;
  port.SetComNumber(kCom);
  std::string received;
  CollectInto(port, received, 3);
  port.SetOpen(true);
  const std::string in = Pattern(60000);
  WriteAndExpect(in, received);
}

TEST_F(ComPort, FlushingTheOutputNeverSendsStaleBytes) {
  // Each block is one distinct byte value, so what the other end sees must be a prefix of each
  // block in turn (the rest was flushed), then the end mark: never an older block again.
  TSerComPort port;
  port.SetComNumber(kCom);
  port.SetOpen(true);
  const std::string end_mark(4, '\xFF');
  std::string seen;
  std::thread reader([&] {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (seen.find(end_mark) == std::string::npos && std::chrono::steady_clock::now() < until)
      seen += pty.Read(1, 50);
  });
  for (int block = 1; block <= 200; ++block) {
    port.PutString(std::string(16, static_cast<char>(block)));
    port.Dispatcher()->FlushOutBuffer();
  }
  EXPECT_TRUE(test::PumpUntil([&] { return port.Dispatcher()->OutBuffUsed() == 0; }, 10000));
  port.PutString(end_mark);
  reader.join();
  ASSERT_GE(seen.size(), end_mark.size());
  ASSERT_EQ(seen.substr(seen.size() - end_mark.size()), end_mark);
  seen.resize(seen.size() - end_mark.size());
  for (size_t i = 1; i < seen.size(); ++i)
    ASSERT_LE(static_cast<uint8_t>(seen[i - 1]), static_cast<uint8_t>(seen[i])) << "at " << i;
  for (int block = 1; block <= 200; ++block)
    EXPECT_LE(std::count(seen.begin(), seen.end(), static_cast<char>(block)), 16) << block;
}

TEST_F(ComPort, OpenFailuresRaiseTheirExceptions) {
  TSerComPort a, b, missing, unset;
  a.SetComNumber(kCom);
  a.SetOpen(true);
  b.SetComNumber(kCom);
  try {
    b.SetOpen(true);
    ADD_FAILURE() << "a port in use opened twice";
  } catch (const EAlreadyOpen& e) {
    EXPECT_EQ(e.ErrorCode, ecAlreadyOpen);
    EXPECT_EQ(e.Message(), "ie_Open - device already open");
  }
  EXPECT_FALSE(b.Open());
  EXPECT_EQ(b.CurrentDispatcher(), nullptr);

  missing.SetComNumber(kMissing);
  EXPECT_THROW(missing.SetOpen(true), EBadId);
  EXPECT_FALSE(missing.Open());

  unset.PromptForPort = false;
  EXPECT_THROW(unset.SetOpen(true), ENoPortSelected);
  unset.PromptForPort = true;
  EXPECT_THROW(unset.SetOpen(true), ENoPortSelected);  // nobody to ask
  SetComSelectHook([] { return 0; });                  // cancelled
  EXPECT_THROW(unset.SetOpen(true), ENoPortSelected);
  EXPECT_FALSE(unset.Open());

  a.SetOpen(false);
  SetComSelectHook([] { return int{kCom}; });
  unset.SetOpen(true);
  EXPECT_TRUE(unset.Open());
  EXPECT_EQ(unset.ComNumber(), kCom);
  EXPECT_EQ(SelectablePorts(), std::vector<int>{kCom});  // in use still counts as present
}

TEST_F(ComPort, AWorkerOpensAndClosesWithThePortChosenOnTheMainThread) {
  std::atomic<bool> asked_on_main{false};
  SetComSelectHook([&] {
    asked_on_main = IsMainThread();
    return int{kCom};
  });
  TSerComPort port;
  std::atomic<int> step{0};
  std::atomic<bool> open_seen{false};
  std::thread worker([&] {
    port.SetOpen(true);
    open_seen = port.Open();
    port.PutString("ping");
    step = 1;
    while (step == 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    port.SetOpen(false);
    step = 3;
  });
  ASSERT_TRUE(test::PumpUntil([&] { return step.load() == 1; }));
  EXPECT_EQ(pty.Read(4), "ping");
  step = 2;
  ASSERT_TRUE(test::PumpUntil([&] { return step.load() == 3; }));
  worker.join();
  EXPECT_TRUE(asked_on_main);
  EXPECT_TRUE(open_seen);
  EXPECT_EQ(port.ComNumber(), kCom);
  EXPECT_FALSE(port.Open());
}

TEST_F(ComPort, StoredOpenHappensWhenLoaded) {
  std::vector<std::string> shown;
  SetSerialShowException([&](const std::exception& e) { shown.push_back(e.what()); });
  TSerComPort good, bad;
  for (TSerComPort* p : {&good, &bad}) {
    p->BeginLoading();
    p->SetOpen(true);
    EXPECT_FALSE(p->CurrentDispatcher());
  }
  good.SetComNumber(kCom);
  bad.SetComNumber(kMissing);
  good.Loaded();
  bad.Loaded();
  SetSerialShowException(nullptr);
  EXPECT_TRUE(good.Open());
  EXPECT_FALSE(bad.Open());
  EXPECT_EQ(shown, std::vector<std::string>{"ie_BadId - Specified comport doesn't exist"});
}

TEST_F(ComPort, TriggersOnAClosedPort) {
  TSerComPort port;
  port.SetComNumber(kCom);
  port.RemoveTrigger(8);  // closed: nothing happens
  port.AutoOpen = false;
  EXPECT_THROW(port.AddTimerTrigger(), ECommNotOpen);
  EXPECT_EQ(port.OutBuffFree(), port.OutSize());
  port.AutoOpen = true;
  int t = port.AddTimerTrigger();  // opens the port first
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(t, 8);
  EXPECT_THROW(port.SetTimerTrigger(t + 8, 1, true), EBadTriggerHandle);
}

// CPU time of the whole process while the main thread sleeps for wall_ms.
double ProcessCpuMsWhileIdle(int wall_ms) {
  auto cpu_ms = [] {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
  };
  double before = cpu_ms();
  std::this_thread::sleep_for(std::chrono::milliseconds(wall_ms));
  return cpu_ms() - before;
}

TEST_F(ComPort, AHangUpIsReportedOnceAndNoThreadSpins) {
  // With and without an owner's handler: without one the port shows the error itself.
  for (bool handled : {true, false}) {
    SCOPED_TRACE(handled);
    test::PtyPair line;
    SetComPortMapHook([&](int n) { return n == kCom ? line.SlavePath() : std::string(); });
    std::vector<std::string> shown;
    SetSerialShowException([&](const std::exception& e) { shown.push_back(e.what()); });
    std::vector<int> notices;
    int lost = 0;
    TSerComPort port;
    port.SetComNumber(kCom);
    port.AddOpenCloseCallback(
        this, [&](TSerCustomComPort*, int kind) { notices.push_back(kind); }, false);
    if (handled) port.OnLineLost = [&](TComponent*) { ++lost; };
    port.SetOpen(true);
    int timer = port.AddTimerTrigger();
    int timer_fired = 0;
    port.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t) { ++timer_fired; });

    line.CloseMaster();
    ASSERT_TRUE(test::PumpUntil([&] { return port.LineLost(); }));
    // The threads sleep: a second of wall time costs a small share of a second of CPU time
    // (a spinning thread would take all of it, whatever else the machine does).
    EXPECT_LT(ProcessCpuMsWhileIdle(1000), 250.0);
    // A protocol waiting for an answer still gets its time-out.
    port.SetTimerTrigger(timer, 1, true);
    ASSERT_TRUE(test::PumpUntil([&] { return timer_fired == 1; }));
    test::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(std::count(notices.begin(), notices.end(), kPortLineLost), 1);
    if (handled) {
      EXPECT_EQ(lost, 1);
      EXPECT_TRUE(shown.empty());
    } else {
      EXPECT_EQ(shown, std::vector<std::string>{port.LineLostText()});
    }
    port.SetOpen(false);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.LineLost());
    SetSerialShowException(nullptr);
  }
}

// Nothing sent after a hang-up could go out: a send is refused with the hang-up's error and
// queues nothing, and the flushes of a protocol's end stay quiet.
TEST_F(ComPort, AfterAHangUpSendsAreRefusedAndFlushesAreQuiet) {
  test::PtyPair line;
  SetComPortMapHook([&](int n) { return n == kCom ? line.SlavePath() : std::string(); });
  TSerComPort port;
  port.SetComNumber(kCom);
  port.OnLineLost = [](TComponent*) {};
  port.SetOpen(true);
  line.CloseMaster();
  ASSERT_TRUE(test::PumpUntil([&] { return port.LineLost(); }));
  try {
    port.PutString("$?E");
    ADD_FAILURE() << "the send was taken";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), port.LineLostText());
  }
  EXPECT_EQ(port.Dispatcher()->OutBuffUsed(), 0u);
  EXPECT_NO_THROW(port.FlushInBuffer());
  EXPECT_EQ(port.Dispatcher()->FlushOutBuffer(), 0);
  port.SetOpen(false);
  EXPECT_FALSE(port.Open());
}

// The packets match on the dispatch thread while the window's data events reach a busy main
// thread late and read there (run under ThreadSanitizer too). No frame reaches the packets twice
// or out of order, and once the window stops reading every frame arrives whole.
TEST_F(ComPort, LateDataEventsWhilePacketsAreMatched) {
  // A window that gets little time: its data events come late.
  struct QuickSend : TSerWin32Dispatcher {
    explicit QuickSend(TSerCustomComPort* owner) : TSerWin32Dispatcher(owner) { send_timeout_ms_ = 2; }
  };
  TSerComPort port;
  port.SetComNumber(kCom);
  port.DispatcherFactory = [](TSerCustomComPort* cp) { return std::make_unique<QuickSend>(cp); };
  bool window_reads = true;
  size_t window_bytes = 0;
  port.SetOnTriggerAvail([&](TSerCustomComPort* cp, uint16_t count) {
    if (!window_reads) return;
    std::string piece(count, '\0');
    ASSERT_EQ(cp->Dispatcher()->GetBlock(reinterpret_cast<uint8_t*>(piece.data()), count), count);
    window_bytes += count;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  });
  TSerDataPacket packet;
  packet.SetStartString("$");
  packet.SetEndCond(ecPacketSize);
  packet.SetPacketSize(8);
  packet.SetIgnoreCase(false);
  packet.SetComPort(&port);
  std::vector<int> frames;  // the numbers of the whole frames the packets got
  packet.OnStringPacket = [&](TSerDataPacket*, const std::string& data) {
    if (data.size() == 8 && data[0] == '$' && data[7] == '#' &&
        std::all_of(data.begin() + 1, data.begin() + 7, [](char c) { return c >= '0' && c <= '9'; }))
      frames.push_back(std::stoi(data.substr(1, 6)));
  };
  port.SetOpen(true);
  packet.SetEnabled(true);
  auto frame = [](int n) {
    char text[16];
    std::snprintf(text, sizeof text, "$%06d#", n);
    return std::string(text);
  };
  auto write_frames = [&](const std::string& lead, int from, int to) {
    std::atomic<bool> written{false};
    std::thread writer([&] {
      pty.Write(lead);
      for (int n = from; n < to; ++n) {
        pty.Write(frame(n));
        if (n % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      written = true;
    });
    test::PumpUntil([&] { return written.load(); }, 20000);
    writer.join();
  };
  // The window takes some bytes of the frames, so some frames are cut.
  write_frames("", 0, 2000);
  window_reads = false;
  test::PumpUntil([] { return false; }, 50);  // late events still queued read nothing now
  // The filler completes a packet cut short, so that the frames after it are whole.
  write_frames("########", 2000, 2200);
  ASSERT_TRUE(test::PumpUntil([&] { return !frames.empty() && frames.back() == 2199; }, 20000));
  for (size_t i = 1; i < frames.size(); ++i) ASSERT_LT(frames[i - 1], frames[i]) << "at " << i;
  EXPECT_EQ(std::count_if(frames.begin(), frames.end(), [](int n) { return n >= 2000; }), 200);
  packet.SetComPort(nullptr);
  port.SetOpen(false);
}

TEST_F(ComPort, AnAnswerWaitingWhenThePacketsJoinIsDelivered) {
  // The other end answers before the port has opened. The port's window is told first and
  // reads nothing; the packets, which join when the port has opened, still get the answer.
  pty.Write("HELLO");
  TSerComPort port;
  port.SetComNumber(kCom);
  int window_events = 0;
  port.SetOnTriggerAvail([&](TSerCustomComPort*, uint16_t) { ++window_events; });
  TSerDataPacket packet;
  packet.SetStartString("HE");
  packet.SetEndCond(ecPacketSize);
  packet.SetPacketSize(5);
  packet.SetIgnoreCase(false);
  packet.SetComPort(&port);
  packet.SetEnabled(true);
  std::string got;
  packet.OnStringPacket = [&](TSerDataPacket*, const std::string& data) { got += data; };
  // Registered after the packets' manager, this notice comes before the manager's.
  port.AddOpenCloseCallback(
      this,
      [&](TSerCustomComPort*, int kind) {
        if (kind == kPortOpened) {
          EXPECT_TRUE(test::PumpUntil([&] { return window_events > 0; }));
        }
      },
      false);
  port.SetOpen(true);
  EXPECT_TRUE(test::PumpUntil([&] { return got.size() >= 5; }, 3000));
  EXPECT_EQ(got, "HELLO");
  port.RemoveOpenCloseCallback(this);
}

TEST_F(ComPort, ALateDataEventCarriesWhatIsReadableWhenItArrives) {
  // The main thread was busy: the data event comes late, after another reader took some of its
  // bytes or all of them.
  struct Case {
    uint32_t taken;
    std::vector<uint16_t> counts;
    std::string read;
  } cases[] = {{0, {4}, "abcd"}, {2, {2}, "cd"}, {4, {}, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.taken);
    TSerComPort port;
    port.SetComNumber(kCom);
    test::FakeDispatcher* fake = nullptr;
    port.DispatcherFactory = [&](TSerCustomComPort* cp) {
      auto d = std::make_unique<test::FakeDispatcher>(cp);
      fake = d.get();
      return d;
    };
    std::vector<uint16_t> counts;
    std::string read;
    port.SetOnTriggerAvail([&](TSerCustomComPort* cp, uint16_t count) {
      counts.push_back(count);
      std::string piece(count, '\0');
      ASSERT_EQ(cp->Dispatcher()->GetBlock(reinterpret_cast<uint8_t*>(piece.data()), count), count);
      read += piece;
    });
    port.SetOpen(true);
    ASSERT_NE(fake, nullptr);
    fake->SetSendTimeout(20);
    fake->input = "abcd";
    std::thread([&] { fake->HandleDeviceEvent(EV_RXCHAR); }).join();  // not taken in time
    uint8_t taken[4];
    if (c.taken) {
      ASSERT_EQ(fake->GetBlock(taken, c.taken), static_cast<int>(c.taken));
    }
    ProcessPostedMessages();
    EXPECT_EQ(counts, c.counts);
    EXPECT_EQ(read, c.read);
    port.SetOpen(false);
  }
}

TEST_F(ComPort, TimerEventArrivesOnTheMainThread) {
  std::atomic<uint64_t> now{55 * 100000};
  TSerComPort port;
  port.Clock = [&] { return now.load(); };
  port.SetComNumber(kCom);
  std::vector<uint16_t> fired;
  port.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t handle) {
    EXPECT_TRUE(IsMainThread());
    fired.push_back(handle);
  });
  port.SetOpen(true);
  int t = port.AddTimerTrigger();
  port.SetTimerTrigger(t, SecondsToTicks(1), true);
  now += 18 * 55;
  test::PumpUntil([] { return false; }, 150);  // three dispatch passes: not yet expired
  EXPECT_TRUE(fired.empty());
  now += 55;
  ASSERT_TRUE(test::PumpUntil([&] { return !fired.empty(); }));
  EXPECT_EQ(fired, std::vector<uint16_t>{static_cast<uint16_t>(t)});
}

// A test process may shorten every timer trigger by one factor (the program leaves it at 1).
TEST_F(ComPort, TheTimerScaleShortensEveryTimerTrigger) {
  struct Restore {
    ~Restore() { SetTimerScale(1.0); }
  } restore;
  SetTimerScale(0.25);
  std::atomic<uint64_t> now{55 * 100000};
  TSerComPort port;
  port.Clock = [&] { return now.load(); };
  port.SetComNumber(kCom);
  int fired = 0;
  port.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t) { ++fired; });
  port.SetOpen(true);
  int t = port.AddTimerTrigger();
  port.SetTimerTrigger(t, SecondsToTicks(5), true);  // 91 ticks, a quarter rounded: 23
  now += 23 * 55;
  test::PumpUntil([] { return false; }, 150);
  EXPECT_EQ(fired, 0);
  now += 55;
  ASSERT_TRUE(test::PumpUntil([&] { return fired == 1; }));
  // A timer shortened keeps a tick.
  SetTimerScale(0.01);
  port.SetTimerTrigger(t, 20, true);
  now += 55;
  test::PumpUntil([] { return false; }, 150);
  EXPECT_EQ(fired, 1);
  now += 55;
  EXPECT_TRUE(test::PumpUntil([&] { return fired == 2; }));
}

TEST_F(ComPort, CloseFromInsideAHandlerCompletesLaterAndCanReopen) {
  std::atomic<uint64_t> now{0};
  TSerComPort port;
  port.Clock = [&] { return now.load(); };
  port.SetComNumber(kCom);
  int closes = 0, opens = 0;
  port.OnPortClose = [&](TComponent*) { ++closes; };
  port.OnPortOpen = [&](TComponent*) { ++opens; };
  bool reopen = true;
  bool open_inside = false;
  port.SetOnTriggerTimer([&](TSerCustomComPort* cp, uint16_t) {
    cp->SetOpen(false);
    open_inside = cp->Open();  // the close finishes when the dispatcher has stopped delivering
    if (reopen) cp->SetOpen(true);
  });
  port.SetOpen(true);
  int t = port.AddTimerTrigger();
  port.SetTimerTrigger(t, 1, true);
  now += 1000;
  ASSERT_TRUE(test::PumpUntil([&] { return closes == 1 && opens == 2; }));
  EXPECT_TRUE(open_inside);
  EXPECT_TRUE(port.Open());
  // The timer came back with the reopen: it fires again once armed, and this time the port
  // stays closed.
  reopen = false;
  port.SetTimerTrigger(t, 1, true);
  now += 1000;
  ASSERT_TRUE(test::PumpUntil([&] { return !port.Open(); }));
  EXPECT_EQ(port.CurrentDispatcher(), nullptr);
  TCommDevice other;
  EXPECT_EQ(other.Open(pty.SlavePath()), 0);  // the device was given back
}

// A dispatcher whose threads take a while to wind down after a close asked for inside a handler,
// as on a busy machine.
class LingeringDispatcher : public TSerWin32Dispatcher {
public:
  using TSerWin32Dispatcher::TSerWin32Dispatcher;
  ~LingeringDispatcher() override {
    if (lingering_.joinable()) lingering_.join();
  }
  void Linger(std::chrono::milliseconds ms) {
    ++running_threads_;
    lingering_ = std::thread([this, ms] {
      std::this_thread::sleep_for(ms);
      --running_threads_;
    });
  }

private:
  std::thread lingering_;
};

TEST_F(ComPort, ADeferredCloseLetsTheMainLoopWaitForTheDispatcher) {
  std::atomic<uint64_t> now{0};
  TSerComPort port;
  port.Clock = [&] { return now.load(); };
  port.DispatcherFactory = [](TSerCustomComPort* cp) { return std::make_unique<LingeringDispatcher>(cp); };
  port.SetComNumber(kCom);
  port.SetOnTriggerTimer([](TSerCustomComPort* cp, uint16_t) {
    static_cast<LingeringDispatcher*>(cp->CurrentDispatcher())->Linger(std::chrono::milliseconds(200));
    cp->SetOpen(false);
  });
  port.SetOpen(true);
  int t = port.AddTimerTrigger();
  port.SetTimerTrigger(t, 1, true);
  now += 1000;
  ASSERT_TRUE(test::PumpUntil([&] { return port.CurrentDispatcher() && port.CurrentDispatcher()->ClosePending(); }));
  // Callers wait in passes of the main loop; the pending close must not make each pass return
  // at once, or such a wait runs out long before the dispatcher has stopped.
  int passes = 0;
  while (port.Open() && passes < 1000) {
    WaitAndProcessMessages(10);
    ++passes;
  }
  EXPECT_FALSE(port.Open());
  EXPECT_LT(passes, 100);
}

// A dispatcher that receives an answer just as the port closes: after the close has begun and
// before the device is shut.
class AnswerOnClose : public TSerWin32Dispatcher {
public:
  AnswerOnClose(TSerCustomComPort* cp, test::PtyPair& pty) : TSerWin32Dispatcher(cp), pty_(pty) {}

protected:
  int CloseDevice() override {
    pty_.Write("late");
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (!Delivering() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return TSerWin32Dispatcher::CloseDevice();
  }

private:
  test::PtyPair& pty_;
};

TEST_F(ComPort, AnAnswerArrivingDuringACloseDoesNotDeferIt) {
  TSerComPort port;
  port.DispatcherFactory = [this](TSerCustomComPort* cp) { return std::make_unique<AnswerOnClose>(cp, pty); };
  port.SetComNumber(kCom);
  bool closing = false;
  int late = 0;
  port.SetOnTriggerAvail([&](TSerCustomComPort*, uint16_t) { late += closing; });
  port.SetOpen(true);
  closing = true;
  port.SetOpen(false);
  // Closed at once, and no event started once the close had begun.
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.CurrentDispatcher(), nullptr);
  test::PumpUntil([] { return false; }, 50);
  EXPECT_EQ(late, 0);
}

TEST_F(ComPort, ANewNumberOnAnOpenPortKeepsTriggersAndTracing) {
  test::PtyPair other;
  SetComPortMapHook([&](int n) {
    return n == kCom ? pty.SlavePath() : n == kCom + 1 ? other.SlavePath() : std::string("/nonexistent/tty");
  });
  std::atomic<uint64_t> now{0};
  TSerComPort port;
  port.Clock = [&] { return now.load(); };
  port.SetComNumber(kCom);
  test::TempDir dir;
  port.TraceName = dir.File("SERIAL.TRC");
  port.SetTracing(tlOn);
  port.SetOpen(true);
  int t = port.AddTimerTrigger();
  int fired = 0;
  port.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t handle) { fired += handle == t; });
  port.SetComNumber(kCom + 1);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.Tracing(), tlOn);
  port.PutString("moved");
  EXPECT_EQ(other.Read(5), "moved");
  port.SetTimerTrigger(t, 1, true);  // the handle is still known
  now += 1000;
  EXPECT_TRUE(test::PumpUntil([&] { return fired == 1; }));
}

TEST_F(ComPort, SettingsReachTheOpenPort) {
  TSerComPort port;
  port.SetComNumber(kCom);
  port.SetRS485Mode(true);
  EXPECT_FALSE(port.RTS());
  port.SetHWFlowOptions(hwfUseRTS);
  EXPECT_EQ(port.BufferFull(), 3686);
  EXPECT_EQ(port.BufferResume(), 409);
  EXPECT_FALSE(port.RS485Mode());
  port.SetHWFlowOptions(0);
  port.SetBufferFull(0);
  port.SetBufferResume(0);
  port.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(port.BufferFull(), 3072);
  EXPECT_EQ(port.BufferResume(), 1024);
  port.SetBufferFull(5000);  // above InSize: stays within it
  EXPECT_EQ(port.BufferFull(), 3686);
  port.SetSWFlowOptions(swfNone);

  port.SetOpen(true);
  termios t;
  ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B19200);
  port.SetBaud(9600);
  ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(port.CurrentDispatcher()->LastBaud(), 9600u);
  port.SetStopBits(2);
  ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_THROW(port.SetBaud(12345), EInOutError);  // no such rate: raised, value kept
  EXPECT_EQ(port.Baud(), 12345u);

  EXPECT_THROW(port.SetComNumber(kMissing), EBadId);  // the reopen fails: the port stays closed
  EXPECT_FALSE(port.Open());
}

TEST_F(ComPort, AFailingTraceFileStillClosesThePort) {
  TSerComPort port;
  port.SetComNumber(kCom);
  port.TraceName = "/nonexistent/folder/SERIAL.TRC";
  port.SetTracing(tlOn);
  port.SetOpen(true);
  port.PutString("hello");
  EXPECT_THROW(port.SetOpen(false), EInOutError);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.Tracing(), tlOff);
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
}

}  // namespace
}  // namespace qv
