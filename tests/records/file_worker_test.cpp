// The file worker: jobs in order off the caller's thread, a bounded queue,
// nothing lost at the end.
#include "records/file_worker.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(FileWorker, RunsJobsInOrderOnItsOwnThreadAndFlushWaitsForThem)
{
    FileWorker worker;
    std::vector<int> done;  // written by the worker only, read after Flush
    std::thread::id ranOn;
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(worker.Post([&, i] {
            done.push_back(i);
            ranOn = std::this_thread::get_id();
        }));
    worker.Flush();
    ASSERT_EQ(done.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(done[static_cast<std::size_t>(i)], i);
    EXPECT_NE(ranOn, std::this_thread::get_id());
}

TEST(FileWorker, AFullQueueRefusesJobsWhileTheDiskIsStalled)
{
    FileWorker worker(3);
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    ASSERT_TRUE(worker.Post([&started, go] {
        started.set_value();
        go.wait();  // a write that hangs
    }));
    started.get_future().wait();
    int ran = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(worker.Post([&ran] { ++ran; })) << i;
    EXPECT_FALSE(worker.Post([&ran] { ran += 100; }));
    release.set_value();
    worker.Flush();
    EXPECT_EQ(ran, 3);
    EXPECT_TRUE(worker.Post([&ran] { ++ran; })) << "room again once the disk is back";
    worker.Flush();
    EXPECT_EQ(ran, 4);
}

TEST(FileWorker, AThrowingJobEndsOnlyItselfAndTheEndRunsWhatIsQueued)
{
    int ran = 0;
    {
        FileWorker worker;
        worker.Post([] { throw std::runtime_error("disk on fire"); });
        for (int i = 0; i < 10; ++i)
            worker.Post([&ran] { ++ran; });
    }
    EXPECT_EQ(ran, 10);
}

} // namespace
