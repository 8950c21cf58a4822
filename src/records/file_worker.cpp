#include "records/file_worker.h"

#include <utility>

FileWorker::FileWorker(std::size_t maxQueued) : maxQueued_(maxQueued > 0 ? maxQueued : 1) {}

FileWorker::~FileWorker()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    work_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

bool FileWorker::Post(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= maxQueued_)
            return false;
        queue_.push_back(std::move(job));
        ++posted_;
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    work_.notify_one();
    return true;
}

void FileWorker::Flush()
{
    std::unique_lock lock(mutex_);
    const std::size_t target = posted_;
    done_.wait(lock, [&] { return finished_ >= target; });
}

void FileWorker::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            return;  // stopped with nothing left to do
        std::function<void()> job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        try {
            job();
        } catch (...) {
            // The job's own business; the queue goes on.
        }
        job = nullptr;  // what it holds goes here, not under the lock
        lock.lock();
        ++finished_;
        done_.notify_all();
    }
}
