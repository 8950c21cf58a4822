#pragma once
#include <cstdint>

// The blocking pause that paces requests. The real clock sleeps the calling
// thread; tests install a virtual clock so that nothing really sleeps and
// every write can be stamped with virtual time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void Sleep(int ms) = 0;
    virtual std::int64_t NowMs() = 0;
};

// Sleeps ms milliseconds on the installed clock (the real one by default).
void Pause(int ms);

Clock& CurrentClock();

// Installs a clock for the whole process; nullptr puts the real one back.
void InstallClock(Clock* clock);
