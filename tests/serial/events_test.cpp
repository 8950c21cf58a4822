// Event delivery of the port component against the fake device: the event
// thread, the hand-over to the user-interface thread (this test's thread),
// the dispatch order and what an error during delivery does.
#include "port_handlers.h"
#include "fake_serial_device.h"
#include "platform/sync_call.h"
#include "recorded_messages.h"
#include "serial/comport.h"
#include "serial/ecomport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

class EventTest : public ::testing::Test {
public:
    void SetUp() override
    {
        SetSyncWakeUp([this] {
            std::lock_guard lock(mutex);
            ++wakeUps;
            changed.notify_all();
        });
        port->OnRxChar = [this](TCustomComPort& p, std::int32_t count) {
            counts.push_back(count);
            std::string text;
            p.ReadStr(text, count);
            received += text;
        };
    }
    void TearDown() override
    {
        ClearHandlers(*port);
        port.reset();
        SetSyncWakeUp({});
        RunPendingSyncCalls();
    }

    // Waits until n hand-overs have been queued in all.
    bool WaitForWakeUps(int n)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return wakeUps >= n; });
    }
    // Acts as the user-interface thread until done holds (or 5 s passed).
    bool PumpUntil(const std::function<bool()>& done)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            WaitForSyncCalls(50);
        }
        return true;
    }

    FakeSerialDevice* fake = new FakeSerialDevice;
    std::unique_ptr<TComPort> port = std::make_unique<TComPort>("ComPort", std::unique_ptr<SerialDevice>(fake));
    std::mutex mutex;
    std::condition_variable changed;
    int wakeUps = 0;
    std::vector<std::int32_t> counts;
    std::string received;
};

TEST_F(EventTest, BytesArrivingBeforeTheHandOverRunsAreAnnouncedOnceWithTheirTotal)
{
    port->Open();
    fake->Receive("abc");
    ASSERT_TRUE(WaitForWakeUps(1)); // the event thread now waits in the hand-over
    fake->Receive("defg");
    EXPECT_TRUE(RunPendingSyncCalls());
    EXPECT_EQ(counts, std::vector<std::int32_t>{7});
    EXPECT_EQ(received, "abcdefg");
    // The second burst's event is handed over too, finds nothing and stays silent.
    ASSERT_TRUE(WaitForWakeUps(2));
    RunPendingSyncCalls();
    EXPECT_EQ(counts, std::vector<std::int32_t>{7});
}

TEST_F(EventTest, HandlersRunOnTheUserInterfaceThread)
{
    std::thread::id ranOn;
    port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        ranOn = std::this_thread::get_id();
        std::string s;
        p.ReadStr(s, n);
    };
    port->Open();
    fake->Receive("x");
    ASSERT_TRUE(WaitForSyncCalls(5000));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(EventTest, EventsOfOneWaitAreDispatchedInTheFixedOrder)
{
    std::vector<std::string> order;
    auto note = [&](const char* name) { return [&order, name](TCustomComPort&) { order.push_back(name); }; };
    auto noteLine = [&](const char* name) { return [&order, name](TCustomComPort&, bool) { order.push_back(name); }; };
    port->OnError = [&](TCustomComPort&, TComErrors e) {
        order.push_back("Error");
        EXPECT_EQ(e, TComErrors{ceFrame});
    };
    port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        order.push_back("RxChar");
        std::string s;
        p.ReadStr(s, n);
    };
    port->OnTxEmpty = note("TxEmpty");
    port->OnBreak = note("Break");
    port->OnRing = note("Ring");
    port->OnRxFlag = note("RxFlag");
    port->OnRx80Full = note("Rx80Full");
    // Queued while the device selects no events, so all arrive in one wait below.
    fake->Receive("x");
    fake->SetLineErrors(serialos::kCeFrame);
    port->Open();
    port->OnCTSChange = noteLine("CTS");
    port->OnDSRChange = noteLine("DSR");
    port->OnRLSDChange = noteLine("RLSD");
    fake->RaiseEvents(0x5ff);
    ASSERT_TRUE(WaitForSyncCalls(5000));
    EXPECT_EQ(order, (std::vector<std::string>{"Error", "RxChar", "TxEmpty", "Break", "Ring", "CTS", "DSR",
                                               "RxFlag", "RLSD", "Rx80Full"}));
}

TEST_F(EventTest, LineErrorEventWithoutFlagsRaisesNoOnError)
{
    std::vector<TComErrors> errors;
    port->OnError = [&](TCustomComPort&, TComErrors e) { errors.push_back(e); };
    port->Open();
    fake->RaiseEvents(serialos::kEvErr);
    ASSERT_TRUE(WaitForSyncCalls(5000));
    EXPECT_TRUE(errors.empty());
    fake->SetLineErrors(serialos::kCeOverrun | serialos::kCeRxParity); // parity not checked
    fake->RaiseEvents(serialos::kEvErr);
    ASSERT_TRUE(WaitForSyncCalls(5000));
    EXPECT_EQ(errors, std::vector<TComErrors>{TComErrors{ceOverrun}});
}

TEST_F(EventTest, WithoutTriggersOnRxCharTheBytesComeAsABlock)
{
    std::string block;
    port->OnRxBuf = [&](TCustomComPort&, const void* buffer, std::int32_t count) {
        block.assign(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    };
    port->SetTriggersOnRxChar(false);
    port->Open();
    fake->Receive("hello");
    ASSERT_TRUE(WaitForSyncCalls(5000));
    EXPECT_EQ(block, "hello");
    EXPECT_TRUE(counts.empty());
    EXPECT_EQ(fake->PendingInput(), "");
}

TEST_F(EventTest, CloseRunsTheQueuedHandOverFirstWithThePortStillOpen)
{
    bool openInHandler = false;
    port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        openInHandler = p.Connected();
        p.ReadStr(received, n);
    };
    port->Open();
    fake->Receive("xyz");
    ASSERT_TRUE(WaitForWakeUps(1));
    port->Close();
    EXPECT_TRUE(openInHandler);
    EXPECT_EQ(received, "xyz");
    EXPECT_FALSE(port->Connected());
}

// A handler that closes (or reopens) its own port: the event thread waits
// for that very handler, so Close must not wait for the thread.
TEST_F(EventTest, HandlerClosingItsOwnPortDoesNotHang)
{
    struct Case {
        const char* name;
        std::function<void(TCustomComPort&)> inHandler;
        bool openAfter;
    };
    const Case cases[] = {
        {"close", [](TCustomComPort& p) { p.Close(); }, false},
        {"reopen on another device", [](TCustomComPort& p) { p.SetPort(p.Port() == "COM1" ? "COM2" : "COM1"); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool once = true;
        port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
            std::string s;
            p.ReadStr(s, n);
            counts.push_back(n);
            if (once) {
                once = false;
                c.inHandler(p);
            }
        };
        port->Open();
        fake->Receive("ab");
        ASSERT_TRUE(PumpUntil([&] { return !counts.empty(); }));
        EXPECT_EQ(port->Connected(), c.openAfter);
        if (!c.openAfter)
            port->Open();
        // Delivery goes on with the new thread.
        fake->Receive("cde");
        ASSERT_TRUE(PumpUntil([&] { return counts.size() == 2; }));
        EXPECT_EQ(counts.back(), 3);
        port->Close();
        counts.clear();
    }
}

// A handler that closes or reopens its own port ends the batch it runs in:
// the rest of the batch (here a CTS change that came with the bytes) would
// otherwise act on a closed device or on a session that is not its own.
TEST_F(EventTest, HandlerClosingOrReopeningItsOwnPortEndsItsBatch)
{
    struct Case {
        const char* name;
        TSyncMethod sync;
        bool reopen;
    };
    const Case cases[] = {
        {"close, thread sync", smThreadSync, false},
        {"reopen, thread sync", smThreadSync, true},
        {"close, window sync", smWindowSync, false},
        {"reopen, window sync", smWindowSync, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordedMessages boxes;
        std::vector<std::string> eventErrors;
        int rx = 0;
        int ctsNotices = 0;
        port->SetSyncMethod(c.sync);
        port->OnEventError = [&](TCustomComPort&, const std::string& m) { eventErrors.push_back(m); };
        port->OnCTSChange = [&](TCustomComPort&, bool) { ++ctsNotices; };
        port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
            std::string s;
            p.ReadStr(s, n);
            if (++rx == 1) {
                if (c.reopen)
                    p.SetPort(p.Port() == "COM1" ? "COM2" : "COM1");
                else
                    p.Close();
            }
        };
        port->Open();
        ctsNotices = 0; // the one after opening
        fake->Receive("ab", serialos::kEvCts);
        ASSERT_TRUE(PumpUntil([&] { return rx == 1; }));
        RunSyncCallsFor(100);
        // The close's own notice (and the reopen's), none from the rest of the batch.
        EXPECT_EQ(ctsNotices, c.reopen ? 2 : 1);
        EXPECT_EQ(rx, 1);
        EXPECT_TRUE(eventErrors.empty()) << eventErrors.front();
        EXPECT_TRUE(boxes.errors.empty()) << boxes.errors.front();
        EXPECT_EQ(port->Connected(), c.reopen);
        port->Close();
        ClearHandlers(*port);
        port->SetSyncMethod(smThreadSync);
    }
}

// The mend: an error during a hand-over ends delivery as before, but is
// handed to the user-interface side once instead of vanishing.
TEST_F(EventTest, ErrorDuringAHandOverEndsDeliveryAndIsReportedOnce)
{
    struct Case {
        const char* name;
        std::function<void(EventTest&)> arm;
        const char* message;
    };
    const Case cases[] = {
        {"handler",
         [](EventTest& t) {
             t.port->OnRxChar = [&t](TCustomComPort&, std::int32_t n) {
                 t.counts.push_back(n);
                 throw std::runtime_error("reply parser failed");
             };
         },
         "reply parser failed"},
        {"input count", [](EventTest& t) { t.fake->FailNext("ClearCommError", 5); },
         "ClearCommError function failed (Error: 5)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordedMessages boxes;
        std::vector<std::string> eventErrors;
        port->OnEventError = [&](TCustomComPort& p, const std::string& m) {
            EXPECT_EQ(&p, port.get());
            eventErrors.push_back(m);
        };
        c.arm(*this);
        port->Open();
        fake->Receive("a");
        ASSERT_TRUE(PumpUntil([&] { return !eventErrors.empty(); }));
        EXPECT_EQ(eventErrors, std::vector<std::string>{c.message});

        // Later bytes raise nothing; the error is not repeated; writes work.
        std::size_t seen = counts.size();
        fake->Receive("b");
        RunSyncCallsFor(100);
        EXPECT_EQ(counts.size(), seen);
        EXPECT_EQ(eventErrors.size(), 1u);
        EXPECT_EQ(port->WriteStr("<1/CSV_\r"), 8);
        EXPECT_TRUE(port->Connected());
        EXPECT_TRUE(boxes.errors.empty());

        // Closing and opening again restores delivery.
        port->Close();
        SetUp(); // the normal handler again
        port->Open();
        fake->Receive("c");
        ASSERT_TRUE(PumpUntil([&] { return counts.size() > seen; }));
        EXPECT_EQ(received.back(), 'c');
        EXPECT_EQ(eventErrors.size(), 1u);
        port->Close();
        fake->ClearFailures();
        counts.clear();
        received.clear();
    }
}

TEST_F(EventTest, SkippedOutcomeWaitsAgain)
{
    port->Open();
    fake->FailNext("WaitOutcome", 1);
    fake->Receive("a");
    ASSERT_TRUE(fake->WaitUntilIdle()); // that wake-up was dropped, the thread waits again
    EXPECT_TRUE(counts.empty());
    fake->Receive("b");
    ASSERT_TRUE(WaitForSyncCalls(5000));
    EXPECT_EQ(counts, std::vector<std::int32_t>{2});
}

TEST_F(EventTest, DeviceGoneEndsTheEventLoopWithoutSpinningAndCloseReturns)
{
    port->Open();
    ASSERT_TRUE(fake->WaitUntilIdle());
    fake->HangUp();
    RunSyncCallsFor(100);
    EXPECT_EQ(fake->WaitCount(), 1); // one wait, then the loop ended
    port->Close();
    EXPECT_FALSE(port->Connected());
    EXPECT_FALSE(fake->IsOpen());
}

TEST_F(EventTest, LineLostIsReportedOnceAndCloseReleasesALineThatCannotBePurged)
{
    int lost = 0;
    bool openWhenLost = false;
    port->OnLineLost = [&](TCustomComPort& p) {
        ++lost;
        openWhenLost = p.Connected();
    };
    port->Open();
    ASSERT_TRUE(fake->WaitUntilIdle());
    EXPECT_FALSE(port->LineLost());
    fake->HangUp();
    ASSERT_TRUE(PumpUntil([&] { return lost > 0; }));
    RunSyncCallsFor(100);
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(openWhenLost);
    EXPECT_TRUE(port->LineLost());

    // A vanished device refuses the purge; the port must close all the same.
    fake->FailNext("PurgeComm", 5, -1);
    EXPECT_NO_THROW(port->Close());
    EXPECT_FALSE(port->Connected());
    EXPECT_FALSE(fake->IsOpen());
}

TEST_F(EventTest, LineLostNoticeOfAClosedSessionIsDropped)
{
    int lost = 0;
    port->OnLineLost = [&](TCustomComPort&) { ++lost; };
    port->Open();
    ASSERT_TRUE(fake->WaitUntilIdle());
    fake->HangUp();
    ASSERT_TRUE(WaitForWakeUps(1)); // queued, not yet run
    port->Close();
    RunSyncCallsFor(100);
    EXPECT_EQ(lost, 0);
    EXPECT_FALSE(port->Connected());
}

// A Close that ends in an error leaves the port open in the same session:
// the loss of its line, noticed later, still reaches the handler.
TEST_F(EventTest, CloseThatFailsKeepsTheSessionAndALaterLineLossIsReported)
{
    struct Case {
        const char* name;
        std::function<void(EventTest&)> arm;
    };
    const Case cases[] = {
        {"abort fails", [](EventTest& t) { t.fake->FailNext("PurgeComm", 5); }},
        {"before-close handler raises",
         [](EventTest& t) {
             t.port->OnBeforeClose = [&t](TCustomComPort& p) {
                 p.OnBeforeClose = nullptr;
                 throw std::runtime_error("refused");
             };
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int lost = 0;
        port->OnLineLost = [&](TCustomComPort&) { ++lost; };
        port->Open();
        ASSERT_TRUE(fake->WaitUntilIdle());
        c.arm(*this);
        EXPECT_ANY_THROW(port->Close());
        ASSERT_TRUE(port->Connected());
        fake->HangUp();
        EXPECT_TRUE(PumpUntil([&] { return lost == 1; }));
        port->Close();
        EXPECT_FALSE(port->Connected());
        fake->ClearFailures();
    }
}

TEST_F(EventTest, PurgeFailureOnALiveLineStillStopsTheClose)
{
    port->Open();
    ASSERT_TRUE(fake->WaitUntilIdle());
    fake->FailNext("PurgeComm", 5);
    EXPECT_THROW(port->Close(), EComPort);
    EXPECT_TRUE(port->Connected());
}

TEST_F(EventTest, WindowSyncReleasesTheEventThreadAtOnceAndKeepsDeliveringAfterErrors)
{
    RecordedMessages boxes;
    port->SetSyncMethod(smWindowSync);
    bool fail = true;
    port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        std::string s;
        p.ReadStr(s, n);
        counts.push_back(n);
        received += s;
        if (fail)
            throw std::runtime_error("handler failed");
    };
    port->Open();
    fake->Receive("ab");
    // Nobody has served the queue, yet the event thread is already waiting again.
    ASSERT_TRUE(fake->WaitUntilIdle());
    EXPECT_TRUE(counts.empty());
    ASSERT_TRUE(WaitForSyncCalls(5000));
    EXPECT_EQ(counts, std::vector<std::int32_t>{2});
    EXPECT_EQ(boxes.errors, std::vector<std::string>{"handler failed"});
    fail = false;
    fake->Receive("cd");
    ASSERT_TRUE(PumpUntil([&] { return counts.size() == 2; }));
    EXPECT_EQ(received, "abcd");
}

// Events still queued when Close has detached the window never reach a
// closed port. Both ways are made to happen: served before the close, and
// still queued after it. For the second, another thread stands in as the
// user-interface thread while the port closes, so Close does not serve the
// queue while it waits for the event thread.
TEST_F(EventTest, WindowSyncEventsNeverReachAClosedPort)
{
    std::vector<bool> openWhenCalled;
    port->SetSyncMethod(smWindowSync);
    port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        std::string s;
        p.ReadStr(s, n);
        openWhenCalled.push_back(p.Connected());
    };
    port->Open();
    fake->Receive("ab");
    ASSERT_TRUE(WaitForWakeUps(1));
    EXPECT_TRUE(RunPendingSyncCalls());
    EXPECT_EQ(openWhenCalled, std::vector<bool>{true}) << "served while open: the handler ran";

    fake->Receive("cd");
    ASSERT_TRUE(WaitForWakeUps(2));
    std::thread([] { SetSyncMainThread(); }).join();
    port->Close();
    SetSyncMainThread();
    EXPECT_TRUE(RunPendingSyncCalls()) << "the call queued before the close was still there";
    EXPECT_EQ(openWhenCalled, std::vector<bool>{true}) << "nothing reached the closed port";
    EXPECT_FALSE(port->Connected());
}

TEST_F(EventTest, WithoutSyncHandlersRunOnTheEventThread)
{
    std::mutex m;
    std::condition_variable cv;
    std::thread::id ranOn;
    port->SetSyncMethod(smNone);
    port->OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        std::string s;
        p.ReadStr(s, n);
        std::lock_guard lock(m);
        ranOn = std::this_thread::get_id();
        cv.notify_all();
    };
    port->Open();
    fake->Receive("z");
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return ranOn != std::thread::id(); }));
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_EQ(wakeUps, 0);
}

} // namespace
