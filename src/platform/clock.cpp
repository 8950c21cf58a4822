#include "clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class SteadyClock final : public Clock {
public:
    void Sleep(int ms) override
    {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    std::int64_t NowMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

SteadyClock realClock;
std::atomic<Clock*> installed{nullptr};

} // namespace

Clock& CurrentClock()
{
    Clock* c = installed.load();
    return c ? *c : realClock;
}

void InstallClock(Clock* clock) { installed.store(clock); }

void Pause(int ms) { CurrentClock().Sleep(ms); }
