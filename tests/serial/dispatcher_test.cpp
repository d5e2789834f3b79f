#include <gtest/gtest.h>

#include <future>
#include <numeric>
#include <thread>

#include "serial/fake_dispatcher.h"
#include "serial/ser_base_component.h"
#include "serial/serial_exception.h"

namespace qv {
namespace {

struct Event {
  uint32_t msg, value;
  int32_t param;
};

class Dispatcher : public ::testing::Test {
protected:
  void SetUp() override {
    SetMainThread();
    d.SetClock([this] { return now; });
    ASSERT_EQ(d.Open(), 0);
    d.RegisterEventHandler(this, [this](uint32_t msg, uint32_t value, int32_t param) {
      events.push_back({msg, value, param});
      if (on_event) on_event(msg, value);
    });
  }

  std::string Take(uint32_t n) {
    std::string s(n, '\0');
    EXPECT_EQ(d.GetBlock(reinterpret_cast<uint8_t*>(s.data()), n), static_cast<int>(n));
    return s;
  }

  uint64_t now = 1000000;
  test::FakeDispatcher d;
  std::vector<Event> events;
  std::function<void(uint32_t, uint32_t)> on_event;
};

TEST_F(Dispatcher, BytesArrivingTogetherGiveOneDataAvailableEvent) {
  d.SetLengthTrigger(1);
  std::string got;
  on_event = [&](uint32_t msg, uint32_t value) {
    if (msg == kTriggerAvail) got += Take(value);
  };
  d.input = "abc";
  d.HandleDeviceEvent(EV_RXCHAR);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].msg, kTriggerAvail);
  EXPECT_EQ(events[0].value, 3u);
  EXPECT_EQ(events[0].param, d.Handle() * 65536);
  EXPECT_EQ(got, "abc");
  EXPECT_FALSE(d.CharReady());
  d.HandleDeviceEvent(0);  // nothing new: no event
  EXPECT_EQ(events.size(), 1u);
}

TEST_F(Dispatcher, PartlyConsumedDeliveryAndShortReads) {
  d.SetLengthTrigger(1);
  on_event = [&](uint32_t, uint32_t) { EXPECT_EQ(Take(2), "ab"); };
  d.input = "abc";
  ASSERT_EQ(d.ReadDeviceData(), 3u);
  EXPECT_FALSE(d.DeliverEvent(kTriggerAvail, 3, 0));  // not fully consumed
  EXPECT_EQ(d.InBuffUsed(), 1u);
  on_event = nullptr;
  uint8_t buffer[5];
  d.input = "def";
  d.ReadDeviceData();
  EXPECT_EQ(d.GetBlock(buffer, 5), ecBufferIsEmpty);  // 4 unread
  EXPECT_EQ(d.InBuffUsed(), 4u);
  EXPECT_EQ(d.PeekBlock(buffer, 4), 4);
  EXPECT_EQ(Take(4), "cdef");
}

TEST_F(Dispatcher, BytesStayInOrderAcrossRingWrapsAndAFullRing) {
  std::string sent(3 * kDispatchBufferSize + 123, '\0');
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 251);
  std::string got;
  size_t fed = 0;
  // Uneven pieces in and out, so that reads and writes meet at every kind of position.
  for (uint32_t step = 1; got.size() < sent.size(); ++step) {
    size_t piece = std::min<size_t>(sent.size() - fed, 1000 + (step * 977) % 5000);
    d.input += sent.substr(fed, piece);
    fed += piece;
    d.ReadDeviceData();
    uint32_t used = d.InBuffUsed();
    EXPECT_LE(used, kDispatchBufferSize);
    uint32_t take = std::min<uint32_t>(used, 700 + (step * 1931) % 6000);
    if (fed == sent.size() && d.input.empty()) take = used;
    got += Take(take);
  }
  EXPECT_EQ(got, sent);
}

TEST_F(Dispatcher, BytesThatKeepComingStillLetTheTimersRun) {
  d.SetLengthTrigger(1);
  int t = d.AddTimerTrigger();
  ASSERT_EQ(d.SetTimerTrigger(t, 1, true), 0);
  int fed = 0;
  // Every event takes its bytes while the next ones arrive; 10 ms pass each time.
  on_event = [&](uint32_t msg, uint32_t value) {
    if (msg != kTriggerAvail) return;
    Take(value);
    now += 10;
    if (++fed < 100) d.input += "x";
  };
  d.input = "x";
  EXPECT_TRUE(d.HandleDeviceEvent(EV_RXCHAR));  // ended after a dispatch interval
  EXPECT_LT(fed, 10);
  now += 200;  // the timer's tick has passed
  d.HandleTimers();
  EXPECT_EQ(events.back().msg, kTriggerTimer);
  while (d.HandleDeviceEvent(0)) d.HandleTimers();
  EXPECT_EQ(fed, 100);  // the rest came on later passes, nothing lost
  EXPECT_FALSE(d.CharReady());
}

TEST_F(Dispatcher, SecondReadNeverOverwritesUnreadBytes) {
  // Tail ahead of the head: the free room ends at the tail, the device still holds more.
  d.input = std::string(kDispatchBufferSize, 'a');
  d.ReadDeviceData();
  Take(100);
  d.input = std::string(300, 'b');
  EXPECT_EQ(d.ReadDeviceData(), 100u);
  EXPECT_EQ(d.InBuffUsed(), kDispatchBufferSize);
  EXPECT_EQ(d.ReadDeviceData(), 0u);  // full: nothing read
  EXPECT_EQ(Take(kDispatchBufferSize - 100), std::string(kDispatchBufferSize - 100, 'a'));
  EXPECT_EQ(Take(100), std::string(100, 'b'));
}

TEST_F(Dispatcher, SendRingLimits) {
  std::string block(4096, 'x');
  EXPECT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 4000), 0);
  EXPECT_EQ(d.OutBuffFree(), 96u);
  EXPECT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 97), ecOutputBufferTooSmall);
  EXPECT_EQ(d.OutBuffUsed(), 4000u);  // nothing queued
  EXPECT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 96), 0);
  EXPECT_EQ(d.OutBuffFree(), 0u);
  EXPECT_EQ(d.PutBlock(nullptr, 0), 0);
  // A send that wraps the ring's end keeps its order.
  d.Drain(4090);
  std::string wrap = "0123456789";
  EXPECT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(wrap.data()), 10), 0);
  EXPECT_EQ(d.Queued(), "xxxxxx" + wrap);
}

TEST_F(Dispatcher, StatusTriggersFireOnceUntilRearmed) {
  int free_trigger = d.AddStatusTrigger(kStatusOutBuffFree);
  int used_trigger = d.AddStatusTrigger(kStatusOutBuffUsed);
  int sent_trigger = d.AddStatusTrigger(kStatusOutSent);
  EXPECT_EQ(free_trigger & 7, kStatusOutBuffFree);
  EXPECT_EQ(used_trigger & 7, kStatusOutBuffUsed);
  std::string block(4090, 'x');
  d.PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 4090);
  ASSERT_EQ(d.SetStatusTrigger(free_trigger, 10, true), 0);
  ASSERT_EQ(d.SetStatusTrigger(used_trigger, 0, true), 0);
  d.HandleTimers();
  EXPECT_TRUE(events.empty());  // 6 free, 4090 used; the sent trigger is not armed
  d.Drain(4);
  d.HandleTimers();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].msg, kTriggerStatus);
  EXPECT_EQ(events[0].value, static_cast<uint32_t>(free_trigger));
  EXPECT_EQ(events[0].param & 0xFFFF, 10);  // the free count
  d.Drain(100);
  d.HandleTimers();
  EXPECT_EQ(events.size(), 1u);  // one-shot
  d.Drain(3986);
  ASSERT_EQ(d.SetStatusTrigger(sent_trigger, 0, true), 0);
  d.HandleTimers();
  ASSERT_EQ(events.size(), 3u);  // used trigger (ring empty), then the sent flag
  EXPECT_EQ(events[1].value, static_cast<uint32_t>(used_trigger));
  EXPECT_EQ(events[2].value, static_cast<uint32_t>(sent_trigger));
}

TEST_F(Dispatcher, ModemAndLineErrorTriggers) {
  int modem = d.AddStatusTrigger(kStatusModem);
  int line = d.AddStatusTrigger(kStatusLine);
  d.SetStatusTrigger(modem, MS_CTS_ON, true);  // watch CTS
  d.SetStatusTrigger(line, 2, true);           // the port's parity bit (1 overrun, 4 framing, 8 break)
  d.modem_lines = MS_DSR_ON;
  d.HandleDeviceEvent(EV_DSR);
  EXPECT_TRUE(events.empty());
  d.modem_lines = MS_DSR_ON | MS_CTS_ON;
  d.HandleDeviceEvent(EV_CTS);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].value, static_cast<uint32_t>(modem));
  d.errors = CE_OVERRUN;
  d.HandleDeviceEvent(EV_ERR);
  EXPECT_EQ(events.size(), 1u);  // overrun is not watched
  d.errors = CE_RXPARITY;
  d.HandleDeviceEvent(EV_ERR);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].value, static_cast<uint32_t>(line));
  EXPECT_EQ(d.LineErrorCode(), 2);  // overrun comes first
  EXPECT_EQ(d.LineErrorCode(), 3);
  EXPECT_EQ(d.LineErrorCode(), 0);
}

TEST_F(Dispatcher, TimerFiresAtTheFirstPassAfterExpiryAndReusesItsInterval) {
  int t = d.AddTimerTrigger();
  ASSERT_GT(t, 0);
  now = 55 * 1000;  // on a tick boundary
  ASSERT_EQ(d.SetTimerTrigger(t, 18, true), 0);
  now += 18 * 55;
  d.HandleTimers();
  EXPECT_TRUE(events.empty());
  now += 55;
  d.HandleTimers();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].msg, kTriggerTimer);
  EXPECT_EQ(events[0].value, static_cast<uint32_t>(t));
  now += 10000;
  d.HandleTimers();
  EXPECT_EQ(events.size(), 1u);                 // one-shot
  ASSERT_EQ(d.SetTimerTrigger(t, 0, true), 0);  // 0 keeps 18 ticks
  now += 18 * 55;
  d.HandleTimers();
  EXPECT_EQ(events.size(), 1u);
  now += 55;
  d.HandleTimers();
  EXPECT_EQ(events.size(), 2u);
  ASSERT_EQ(d.SetTimerTrigger(t, 5, false), 0);
  now += 100000;
  d.HandleTimers();
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(Dispatcher, TriggerHandleRules) {
  EXPECT_EQ(d.AddTimerTrigger(), 8);
  EXPECT_EQ(d.AddStatusTrigger(3), 16 | 3);
  EXPECT_EQ(d.AddStatusTrigger(6), ecBadArgument);
  EXPECT_EQ(d.SetTimerTrigger(16 | 3, 1, true), ecBadTriggerHandle);
  EXPECT_EQ(d.SetStatusTrigger(8, 1, true), ecBadTriggerHandle);
  EXPECT_EQ(d.RemoveTrigger(999), ecBadTriggerHandle);
  d.SetLengthTrigger(1);
  EXPECT_EQ(d.RemoveTrigger(1), 0);
  EXPECT_EQ(d.LengthTrigger(), 0);

  // Hand out the rest of the 4095 fresh handles, then only freed ones up to 4096 come back.
  std::vector<int> handles;
  for (int i = 3; i < 4096; ++i) handles.push_back(d.AddTimerTrigger());
  EXPECT_EQ(handles.back(), 4095 * 8);
  EXPECT_EQ(d.AddTimerTrigger(), ecNoMoreTriggers);
  EXPECT_EQ(d.RemoveTrigger(40 * 8), 0);
  EXPECT_EQ(d.RemoveTrigger(8), 0);
  EXPECT_EQ(d.RemoveTrigger(16 | 3), 0);
  EXPECT_EQ(d.AddTimerTrigger(), 8);
  EXPECT_EQ(d.AddStatusTrigger(1), 16 | 1);
  EXPECT_EQ(d.AddTimerTrigger(), 40 * 8);
  EXPECT_EQ(d.AddTimerTrigger(), ecNoMoreTriggers);
}

TEST_F(Dispatcher, SavedTriggersComeBackAfterAReopen) {
  d.SetLengthTrigger(1);
  int t = d.AddTimerTrigger();
  d.SetTimerTrigger(t, 36, true);
  TTriggerSave save;
  d.SaveTriggers(save);
  d.CloseDispatcherPort();
  ASSERT_EQ(d.Open(), 0);
  EXPECT_EQ(d.LengthTrigger(), 0);
  EXPECT_EQ(d.SetTimerTrigger(t, 1, true), ecBadTriggerHandle);
  d.RestoreTriggers(save);
  EXPECT_EQ(d.LengthTrigger(), 1);
  EXPECT_EQ(d.SetTimerTrigger(t, 0, true), 0);
  EXPECT_NE(d.AddTimerTrigger(), t);
}

TEST_F(Dispatcher, HandlersRemovedDuringDeliveryAreSkippedAfterwards) {
  int calls = 0;
  int key = 0;
  d.RegisterEventHandler(&key, [&](uint32_t, uint32_t, int32_t) { ++calls; });
  on_event = [&](uint32_t, uint32_t) { d.DeregisterEventHandler(&key); };
  int t = d.AddTimerTrigger();
  d.SetTimerTrigger(t, 1, true);
  now += 1000;
  d.HandleTimers();
  EXPECT_EQ(calls, 0);
  d.SetTimerTrigger(t, 1, true);
  now += 1000;
  d.HandleTimers();
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(Dispatcher, AThrowingHandlerIsShownAndDeliveryGoesOn) {
  std::vector<std::string> shown;
  SetSerialShowException([&](const std::exception& e) { shown.push_back(e.what()); });
  int later_calls = 0;
  int key = 0;
  d.RegisterEventHandler(&key, [&](uint32_t, uint32_t, int32_t) { ++later_calls; });
  bool thrown = false;
  on_event = [&](uint32_t, uint32_t) {
    if (!thrown) {
      thrown = true;
      throw std::runtime_error("handler failed");
    }
  };
  int t = d.AddTimerTrigger();
  d.SetTimerTrigger(t, 1, true);
  now += 1000;
  EXPECT_NO_THROW(d.HandleTimers());
  EXPECT_EQ(shown, std::vector<std::string>{"handler failed"});
  EXPECT_EQ(later_calls, 1);  // the handlers after it still get the event
  EXPECT_FALSE(d.Delivering());
  d.SetTimerTrigger(t, 1, true);
  now += 1000;
  d.HandleTimers();
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(later_calls, 2);
  SetSerialShowException(nullptr);
}

TEST_F(Dispatcher, WindowsGetEventsOnlyWhenThePortWantsThem) {
  std::vector<uint32_t> seen;
  HWND wnd = AllocateHWnd([&](TMessage& m) { seen.push_back(m.Msg); });
  d.RegisterWindowHandler(wnd);
  int t = d.AddTimerTrigger();
  d.SetTimerTrigger(t, 1, true);
  now += 1000;
  d.HandleTimers();
  EXPECT_TRUE(seen.empty());
  d.UpdateHandlerFlags(1);
  d.SetTimerTrigger(t, 1, true);
  now += 1000;
  d.HandleTimers();  // on the main thread the window is called directly
  EXPECT_EQ(seen, std::vector<uint32_t>{kTriggerTimer});
  d.DeregisterWindowHandler(wnd);
  DeallocateHWnd(wnd);
}

TEST_F(Dispatcher, EventsOfABusyMainThreadArriveLateInOrder) {
  std::vector<uint32_t> seen;
  HWND wnd = AllocateHWnd([&](TMessage& m) { seen.push_back(m.WParam); });
  d.RegisterWindowHandler(wnd);
  d.UpdateHandlerFlags(1);
  d.SetSendTimeout(20);
  int a = d.AddTimerTrigger(), b = d.AddTimerTrigger();
  d.SetTimerTrigger(a, 1, true);
  d.SetTimerTrigger(b, 2, true);
  now += 1000;
  std::thread worker([&] { d.HandleTimers(); });  // the main thread does not pump meanwhile
  worker.join();
  EXPECT_TRUE(seen.empty());
  ProcessPostedMessages();
  EXPECT_EQ(seen, (std::vector<uint32_t>{static_cast<uint32_t>(a), static_cast<uint32_t>(b)}));
  d.DeregisterWindowHandler(wnd);
  DeallocateHWnd(wnd);
}

// Only the thread that runs a delivery reads within it. A data event that reached the main thread
// late, while the dispatch thread hands newer bytes to the packets, takes nothing then: the
// packets get every byte once, in order.
TEST_F(Dispatcher, ALateReaderOnAnotherThreadTakesNothingDuringADelivery) {
  d.input = "abcdef";
  ASSERT_EQ(d.ReadDeviceData(), 6u);
  std::promise<void> first_half, main_done;
  std::shared_future<void> main_done_seen = main_done.get_future().share();
  std::string got;
  on_event = [&](uint32_t msg, uint32_t) {
    if (msg != kTriggerAvail) return;
    got += Take(3);
    first_half.set_value();
    main_done_seen.wait();
    got += Take(3);
  };
  std::thread worker([&] { d.DeliverEvent(kTriggerAvail, 6, 0); });
  first_half.get_future().wait();
  uint8_t buffer[2];
  EXPECT_EQ(d.InBuffReadable(), 0u);
  EXPECT_EQ(d.GetBlock(buffer, 2), ecBufferIsEmpty);
  main_done.set_value();
  worker.join();
  EXPECT_EQ(got, "abcdef");
  EXPECT_EQ(d.InBuffUsed(), 0u);
  // Outside a delivery any thread reads.
  d.input = "gh";
  d.ReadDeviceData();
  EXPECT_EQ(d.InBuffReadable(), 2u);
  EXPECT_EQ(Take(2), "gh");
}

TEST(DispatcherReceivers, BytesWaitingForTheirReceiversAreAnnouncedWhenTheyRegister) {
  // Bytes come while the port is opening: nobody listens yet, or only the port's window, which
  // takes no data events or takes them and reads nothing. Once the packets register they get
  // every byte, once.
  SetMainThread();
  enum { kNobody, kWindowAlone, kWindowReadingNothing };
  for (int before : {kNobody, kWindowAlone, kWindowReadingNothing}) {
    SCOPED_TRACE(before);
    test::FakeDispatcher d;
    ASSERT_EQ(d.Open(), 0);
    d.SetLengthTrigger(1);
    int window_events = 0;
    HWND wnd = AllocateHWnd([&](TMessage& m) { window_events += m.Msg == kTriggerAvail; });
    if (before != kNobody) d.RegisterWindowHandler(wnd);
    if (before == kWindowReadingNothing) d.UpdateHandlerFlags(1);
    d.input = "abc";
    d.HandleDeviceEvent(EV_RXCHAR);
    EXPECT_EQ(window_events, before == kWindowReadingNothing ? 1 : 0);

    std::vector<uint32_t> counts;
    std::string got;
    int key;
    d.RegisterEventHandler(&key, [&](uint32_t msg, uint32_t value, int32_t) {
      if (msg != kTriggerAvail) return;
      counts.push_back(value);
      std::string piece(value, '\0');
      ASSERT_EQ(d.GetBlock(reinterpret_cast<uint8_t*>(piece.data()), value), static_cast<int>(value));
      got += piece;
    });
    d.HandleDeviceEvent(0);
    d.HandleDeviceEvent(0);
    EXPECT_EQ(counts, std::vector<uint32_t>{3});
    EXPECT_EQ(got, "abc");
    d.DeregisterEventHandler(&key);
    d.DeregisterWindowHandler(wnd);
    DeallocateHWnd(wnd);
  }
}

TEST_F(Dispatcher, LineSettings) {
  struct Case {
    uint32_t baud;
    int bits, parity, stop_code;
    uint32_t ms;
  } waits[] = {{19200, 8, 0, ONESTOPBIT, 10}, {115200, 8, 0, ONESTOPBIT, 2}, {9600, 8, 2, TWOSTOPBITS, 23}};
  for (const auto& c : waits)
    EXPECT_EQ(TSerBaseDispatcher::LineChangeWaitMs(c.baud, c.bits, c.parity, c.stop_code), c.ms) << c.baud;

  int writes = d.state_writes;
  d.sleeps.clear();
  EXPECT_EQ(d.ApplyLineSettings(19200, 0, 1, 8), 0);  // unchanged: no device call, no wait
  EXPECT_EQ(d.state_writes, writes);
  EXPECT_TRUE(d.sleeps.empty());
  EXPECT_EQ(d.ApplyLineSettings(0, 5, 2, 5), 0);  // keeps rate and parity; 5 bits: 1.5 stop bits
  EXPECT_EQ(d.state.BaudRate, 19200u);
  EXPECT_EQ(d.state.ByteSize, 5);
  EXPECT_EQ(d.state.StopBits, ONE5STOPBITS);
  EXPECT_EQ(d.ApplyLineSettings(9600, 2, 3, 8), 0);  // stop bits 3 keep the current code
  EXPECT_EQ(d.state.StopBits, ONE5STOPBITS);
  EXPECT_EQ(d.state.Parity, EVENPARITY);
  EXPECT_EQ(d.LastBaud(), 9600u);

  EXPECT_EQ(d.ApplyHWFlow(100, 200, 2), ecBadArgument);
  EXPECT_EQ(d.ApplyHWFlow(5000, 10, 2), ecBadArgument);
  EXPECT_EQ(d.ApplyHWFlow(3686, 409, 2 | 8), 0);
  EXPECT_EQ(d.state.RtsControl, LINE_CONTROL_HANDSHAKE);
  EXPECT_TRUE(d.state.OutxCtsFlow);
  EXPECT_EQ(d.state.XoffLim, 4096 - 3686);
  EXPECT_EQ(d.state.XonLim, 409);
  EXPECT_EQ(d.SetRtsLine(false), 1);  // under handshake: ignored
  EXPECT_EQ(d.SetDtrLine(false), 0);
  EXPECT_EQ(d.state.DtrControl, LINE_CONTROL_ENABLE);  // the state is rewritten on the next write
  EXPECT_EQ(d.ApplySWFlow(3072, 1024, 3), 0);
  EXPECT_TRUE(d.state.InX && d.state.OutX);
  EXPECT_EQ(d.state.DtrControl, LINE_CONTROL_DISABLE);
  EXPECT_EQ(d.SWFlowOff(), 0);
  EXPECT_FALSE(d.state.InX || d.state.OutX);
}

}  // namespace
}  // namespace qv
