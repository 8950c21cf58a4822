#pragma once
#include <cstdint>

// The line error counts a POSIX serial driver keeps (Linux: TIOCGICOUNT).
// The serial device turns their changes into line error flags and events.
struct LineCounters {
    std::uint32_t frame = 0;
    std::uint32_t overrun = 0;
    std::uint32_t parity = 0;
    std::uint32_t brk = 0;
    std::uint32_t bufOverrun = 0;
};

// Where the serial device reads the counts of an open descriptor from; false
// when the device keeps none (a pseudo-terminal). The default asks the
// driver. Tests install their own to stand for a driver that counts; nullptr
// restores the default. For the whole process.
using LineCounterSource = bool (*)(int fd, LineCounters& counters);
void SetLineCounterSource(LineCounterSource source);
