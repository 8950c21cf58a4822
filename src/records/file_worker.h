#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One thread that does the records' file work in the order it is handed in,
// so that a slow or stalled disk holds up this thread and never the window.
// The queue has a bound, so a disk that never comes back cannot eat memory:
// when it is full, Post refuses the job. The thread starts with the first
// job and sleeps while there is nothing to do.
class FileWorker {
public:
    explicit FileWorker(std::size_t maxQueued = 1024);
    // Does what is queued, then ends the thread.
    ~FileWorker();
    FileWorker(const FileWorker&) = delete;
    FileWorker& operator=(const FileWorker&) = delete;

    // Queues the job; false (and the job dropped) when the queue is full.
    // A job must not throw; one that does is ended there and the next runs.
    bool Post(std::function<void()> job);

    // Waits until every job posted before the call has run.
    void Flush();

    std::size_t MaxQueued() const { return maxQueued_; }

private:
    void Run();

    const std::size_t maxQueued_;
    std::mutex mutex_;
    std::condition_variable work_;  // a job came, or the end
    std::condition_variable done_;  // a job finished
    std::deque<std::function<void()>> queue_;
    std::size_t posted_ = 0;    // jobs ever posted
    std::size_t finished_ = 0;  // jobs ever finished
    bool stop_ = false;
    std::thread thread_;
};
