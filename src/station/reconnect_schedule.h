#pragma once
#include <cstdint>
#include <optional>

// When to try opening a lost line again: the first attempt 1 s after the
// loss, then with the wait doubling up to 30 s. A line lost again within a
// minute of coming back goes on with the waits where they had got to, so an
// adapter that drops out over and over is not reopened every second.
// Times are steady milliseconds (the pause clock), never the wall clock.
class ReconnectSchedule {
public:
    static constexpr int kFirstWaitMs = 1000;
    static constexpr int kLongestWaitMs = 30'000;
    static constexpr std::int64_t kSettledMs = 60'000;

    // The line went away: retrying begins. Returns the wait before the first attempt.
    int Lost(std::int64_t nowMs);
    // An attempt begins; returns its number in this loss (1 for the first).
    int Attempt();
    // The attempt failed: returns the wait before the next.
    int Failed();
    // The attempt opened the line: retrying ends.
    void Succeeded(std::int64_t nowMs);
    // Retrying given up (by the operator): the next loss starts afresh.
    void Stopped();

    bool Retrying() const { return retrying_; }
    int Attempts() const { return attempts_; }

private:
    int TakeWait();

    bool retrying_ = false;
    int attempts_ = 0;
    int nextWaitMs_ = kFirstWaitMs;
    std::optional<std::int64_t> backAtMs_;  // when the line came back last
};
