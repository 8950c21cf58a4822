#include "platform/sync_call.h"
#include "recorded_messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

class SyncCallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSyncWakeUp([this] { ++wakeUps; });
    }
    void TearDown() override
    {
        RunPendingSyncCalls();
        SetSyncWakeUp({});
    }
    std::atomic<int> wakeUps{0};
};

TEST_F(SyncCallTest, WorkerCallRunsOnTheUiThreadWhileTheWorkerWaits)
{
    const auto ui = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        Synchronize([&] { ranOn = std::this_thread::get_id(); });
        workerDone = true;
    });
    // The worker cannot finish before the UI side has run its call.
    ASSERT_TRUE(WaitForSyncCalls(5000));
    worker.join();
    EXPECT_TRUE(workerDone);
    EXPECT_EQ(ranOn, ui);
    EXPECT_EQ(wakeUps.load(), 1);
}

TEST_F(SyncCallTest, ErrorOfTheCallIsRaisedAgainInTheWorkerAndNotShown)
{
    RecordedMessages boxes;
    std::string caught;
    std::thread worker([&] {
        try {
            Synchronize([] { throw std::runtime_error("handler failed"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    ASSERT_TRUE(WaitForSyncCalls(5000));
    worker.join();
    EXPECT_EQ(caught, "handler failed");
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(SyncCallTest, CallOnTheUiThreadRunsAtOnce)
{
    bool ran = false;
    Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(wakeUps.load(), 0);
    EXPECT_FALSE(RunPendingSyncCalls());
}

TEST_F(SyncCallTest, QueuedCallsRunInOrderWithoutBlockingTheWorker)
{
    RecordedMessages boxes;
    std::vector<int> order;
    std::thread worker([&] {
        QueueSyncCall([&] { order.push_back(1); });
        QueueSyncCall([] { throw std::runtime_error("posted call failed"); });
        QueueSyncCall([&] { order.push_back(3); });
    });
    worker.join(); // returned without anyone running the calls
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(RunPendingSyncCalls());
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    EXPECT_EQ(boxes.errors, std::vector<std::string>{"posted call failed"});
    EXPECT_EQ(wakeUps.load(), 3);
}

// A modal loop inside a running call keeps serving later hand-overs.
TEST_F(SyncCallTest, NestedRunInsideACallServesLaterHandOvers)
{
    std::vector<std::string> order;
    std::thread second;
    std::thread first([&] {
        Synchronize([&] {
            order.push_back("first begins");
            second = std::thread([&] { Synchronize([&] { order.push_back("second"); }); });
            while (wakeUps.load() < 2)
                std::this_thread::yield();
            RunPendingSyncCalls(); // as a message box's loop would
            order.push_back("first ends");
        });
    });
    ASSERT_TRUE(WaitForSyncCalls(5000));
    first.join();
    second.join();
    EXPECT_EQ(order, (std::vector<std::string>{"first begins", "second", "first ends"}));
}

TEST_F(SyncCallTest, WaitingForAThreadStillRunsItsHandOvers)
{
    std::atomic<bool> finished{false};
    bool ran = false;
    std::thread worker([&] {
        Synchronize([&] { ran = true; });
        finished = true;
        NotifySyncWaiters();
    });
    RunSyncCallsUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_TRUE(ran);
}

TEST_F(SyncCallTest, WaitForSyncCallsTimesOutWhenNothingComes)
{
    EXPECT_FALSE(WaitForSyncCalls(20));
}

} // namespace
