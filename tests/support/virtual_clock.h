#pragma once
#include "platform/clock.h"

#include <cstdint>

// Installs itself for its lifetime: Pause() advances virtual time at once.
class VirtualClock final : public Clock {
public:
    VirtualClock() { InstallClock(this); }
    ~VirtualClock() override { InstallClock(nullptr); }
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    void Sleep(int ms) override { now_ += ms > 0 ? ms : 0; }
    std::int64_t NowMs() override { return now_; }
    void Advance(std::int64_t ms) { now_ += ms; }

private:
    std::int64_t now_ = 0;
};
