#include "station/reconnect_schedule.h"

#include <algorithm>

int ReconnectSchedule::Lost(std::int64_t nowMs)
{
    if (!backAtMs_ || nowMs - *backAtMs_ >= kSettledMs || nowMs < *backAtMs_)
        nextWaitMs_ = kFirstWaitMs;
    backAtMs_.reset();
    retrying_ = true;
    attempts_ = 0;
    return TakeWait();
}

int ReconnectSchedule::Attempt() { return ++attempts_; }

int ReconnectSchedule::Failed() { return TakeWait(); }

void ReconnectSchedule::Succeeded(std::int64_t nowMs)
{
    retrying_ = false;
    backAtMs_ = nowMs;
}

void ReconnectSchedule::Stopped()
{
    retrying_ = false;
    backAtMs_.reset();
    nextWaitMs_ = kFirstWaitMs;
}

int ReconnectSchedule::TakeWait()
{
    const int wait = nextWaitMs_;
    nextWaitMs_ = std::min(wait * 2, kLongestWaitMs);
    return wait;
}
