#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace sim {

struct Options {
    std::string device;   // serve this device instead of a new pseudo-terminal
    std::string link;     // place a symlink to the served device here
    bool split = false;   // write replies in random pieces with small gaps
    bool bytewise = false; // write replies one byte at a time, a millisecond apart
    int delayMs = 0;      // wait this long before each reply
    bool stray = false;   // write stray bytes after each reply
    std::set<std::string> silent;  // mnemonics never answered
    long hangupAfter = -1;         // close our side after this many requests
    std::optional<double> offsetHz;  // reported offset at nominal tuning, all carriers
    double dropLockAfterS = -1;      // the decoder loses lock this long after start ...
    double dropLockForS = 0;         // ... for this long, however well tuned
    double unplugAfterS = -1;        // the line goes away this long after start ...
    double unplugForS = 0;           // ... and a new one appears under --link this much later
    std::uint64_t seed = 0;
    bool seedGiven = false;
    bool verbose = false;  // log requests and replies on stderr
    bool help = false;
};

// Parses the command line; on an error returns nothing and fills error.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

std::string HelpText();

} // namespace sim
