#include "options.h"

#include <charconv>
#include <cstdlib>

namespace sim {

namespace {

bool ParseLong(const std::string& text, long& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseDouble(const std::string& text, double& value)
{
    const char* begin = text.data();
    if (!text.empty() && text[0] == '+')
        ++begin;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && begin != end;
}

// "AFTER:FOR" in seconds: AFTER >= 0, FOR > 0, neither beyond a million.
bool ParseWindow(const std::string& text, double& after, double& duration)
{
    const auto colon = text.find(':');
    return colon != std::string::npos && ParseDouble(text.substr(0, colon), after) &&
           ParseDouble(text.substr(colon + 1), duration) && after >= 0 && duration > 0 && after <= 1e6 &&
           duration <= 1e6;
}

} // namespace

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasInlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        auto needValue = [&]() -> bool {
            if (hasInlineValue)
                return true;
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        long number = 0;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--verbose" || arg == "-v") {
            o.verbose = true;
        } else if (arg == "--split") {
            o.split = true;
        } else if (arg == "--bytewise") {
            o.bytewise = true;
        } else if (arg == "--stray") {
            o.stray = true;
        } else if (arg == "--device" || arg == "--link" || arg == "--silent") {
            if (!needValue())
                return std::nullopt;
            if (value.empty()) {
                error = "option " + arg + " needs a non-empty value";
                return std::nullopt;
            }
            if (arg == "--device")
                o.device = value;
            else if (arg == "--link")
                o.link = value;
            else
                o.silent.insert(value);
        } else if (arg == "--delay" || arg == "--hangup-after" || arg == "--seed") {
            if (!needValue())
                return std::nullopt;
            if (!ParseLong(value, number) || number < 0 || (arg == "--delay" && number > 600000)) {
                error = "option " + arg + ": '" + value + "' is not a valid number";
                return std::nullopt;
            }
            if (arg == "--delay")
                o.delayMs = static_cast<int>(number);
            else if (arg == "--hangup-after")
                o.hangupAfter = number;
            else {
                o.seed = static_cast<std::uint64_t>(number);
                o.seedGiven = true;
            }
        } else if (arg == "--offset") {
            if (!needValue())
                return std::nullopt;
            double hz = 0;
            if (!ParseDouble(value, hz) || hz < -20000 || hz > 20000) {
                error = "option --offset: '" + value + "' is not an offset in Hz between -20000 and 20000";
                return std::nullopt;
            }
            o.offsetHz = hz;
        } else if (arg == "--drop-lock" || arg == "--unplug") {
            if (!needValue())
                return std::nullopt;
            double after = 0, duration = 0;
            if (!ParseWindow(value, after, duration)) {
                error = "option " + arg + ": '" + value + "' is not AFTER:FOR in seconds (AFTER >= 0, FOR > 0)";
                return std::nullopt;
            }
            (arg == "--drop-lock" ? o.dropLockAfterS : o.unplugAfterS) = after;
            (arg == "--drop-lock" ? o.dropLockForS : o.unplugForS) = duration;
        } else {
            error = "unknown option '" + arg + "' (see --help)";
            return std::nullopt;
        }
    }
    if (o.unplugAfterS >= 0 && (o.link.empty() || !o.device.empty())) {
        // The new pseudo-terminal gets a name of its own; only the link finds it again.
        error = "option --unplug needs --link and serves a pseudo-terminal, not --device";
        return std::nullopt;
    }
    return o;
}

std::string HelpText()
{
    return R"(Usage: slm7650-sim [options]

Plays an SLM-7650 satellite modem on its remote-control port. Without
--device it creates a pseudo-terminal and prints the device path to open on
the first line of its output. It answers requests "<1/MNEMONIC_ARG" ended by
a carriage return (or a line feed) with replies ">1/MNEMONIC_...]".

Understood: REM, DF_<MHz>, SDRV_<mode_rate>, DSR_<INV|NRM>, RMC_<1-5>,
BCAS, CSV, RSL, BCS, CES. Anything else gets ">1/ERR_...]".

The band holds a noise floor near -58 dBm and carriers at 137.5, 144.5,
146.5, 146.9, 147.8, 147.9, 149.0, 151.0 and 153.5 MHz. Each carrier sits a
little off its nominal frequency; CSV reports tuned minus carrier frequency
in Hz, so tuning to (tuned - offset) puts the carrier in the centre. The
decoder locks when tuned within 300 Hz of a carrier with its data rate.

Options:
  --device PATH     serve this serial device instead of a pseudo-terminal;
                    ends when the device hangs up
  --link PATH       place a symbolic link to the served device at PATH
                    (an existing symbolic link there is replaced; removed at exit)
  --offset HZ       every carrier sits HZ below its nominal frequency, so CSV
                    reports +HZ when tuned to the nominal frequency
                    (default: a different offset per carrier)
  --split           write each reply in random pieces with small gaps
  --bytewise        write each reply one byte at a time, 1 ms apart
  --delay MS        wait MS milliseconds before each reply
  --stray           write stray bytes (line feeds, noise) after each reply
  --silent MNEMONIC never answer this request (may be repeated)
  --drop-lock AFTER:FOR
                    the decoder loses lock AFTER seconds after start for FOR
                    seconds, however well tuned (CSV and BCAS report it)
  --hangup-after N  close the line after answering N requests, as an
                    unplugged adapter would, and exit
  --unplug AFTER:FOR
                    AFTER seconds after start close the line and remove the
                    --link, as an adapter pulled out; FOR seconds later serve a
                    new pseudo-terminal under the same --link, as the adapter
                    plugged in again (its path is printed as a further line);
                    the modem keeps its settings meanwhile. Needs --link
  --seed N          seed for level noise and faults (default: random)
  -v, --verbose     log requests and replies on standard error
  -h, --help        show this text

Stops cleanly on SIGINT, SIGTERM or SIGHUP (exit code 0).
)";
}

} // namespace sim
