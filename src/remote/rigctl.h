#pragma once
#include "remote/remote_station.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Hamlib's rigctld line protocol, as far as a receive-only radio answers it:
// one command a line, a short form ("F 137100000") or a long one
// ("\set_freq 137100000"); a set command answers "RPRT 0" or "RPRT -n"
// (Hamlib's error numbers), a get command its values, one a line. A first
// punctuation character asks for the extended form: the command echoed by
// its long name, "Key: value" records and "RPRT n" at the end; "+" ends every
// record with a line end, any other character separates them with itself.

// Hamlib's error numbers as rigctld reports them.
namespace RigError {
inline constexpr int Ok = 0;
inline constexpr int InvalidParameter = -1;  // RIG_EINVAL
inline constexpr int InvalidConfig = -2;     // RIG_ECONF: a channel's stored frequency is no number
inline constexpr int NotImplemented = -4;    // RIG_ENIMPL: no such command
inline constexpr int Internal = -7;          // RIG_EINTERNAL
inline constexpr int Rejected = -9;          // RIG_ERJCTED: a scan owns the tuner
inline constexpr int NotAvailable = -11;     // RIG_ENAVAIL: a radio without that feature
inline constexpr int PowerOff = -20;         // RIG_EPOWER: the modem's line is closed or failed
} // namespace RigError

// One command line taken apart; no meaning attached yet.
struct RigctlLine {
    bool extended = false;
    char separator = '\n';       // of the extended form's records
    bool longForm = false;       // "\name"
    std::string name;            // the command character, or the long name without "\"
    std::vector<std::string> args;
};

// Nothing for an empty line or a "#" comment, which get no answer.
std::optional<RigctlLine> ParseRigctlLine(std::string_view line);

// The frequencies a tuning command may ask for, in Hz: far outside the
// modem's 136-155 MHz input band is refused.
inline constexpr double kRemoteMinHz = 100e6;
inline constexpr double kRemoteMaxHz = 200e6;

struct RigctlAnswer {
    std::string text;    // bytes for the client; empty: no answer
    bool close = false;  // the client asked to end the session
};

// Parses and carries out one command line for client (its address, for the
// station's records). Never raises and never shows anything: every error
// becomes an error number for the client.
RigctlAnswer AnswerRigctl(std::string_view line, RemoteStation& station, const std::string& client);

// The state dump Hamlib clients ask for on connecting: a receive-only radio,
// 100-200 MHz, one VFO, one mode, the signal strength as its only level.
std::string_view RigctlDumpState();
