#pragma once
#include <string_view>

// Every request the program sends, as written before the carriage return that
// ends it, and the fixed pauses that pace the sequences. The modem is never
// waited for: these pauses are the only spacing between requests.

namespace Request {
inline constexpr std::string_view Terminator = "\r";

inline constexpr std::string_view REM = "<1/REM_";    // first request of every retuning sequence
inline constexpr std::string_view DF = "<1/DF_";      // + frequency in MHz
inline constexpr std::string_view SDRV = "<1/SDRV_";  // + data-rate setting "mode_rate"
inline constexpr std::string_view DSR = "<1/DSR_";    // + spectrum sense "INV" / "NRM"
inline constexpr std::string_view RMC = "<1/RMC_";    // + configuration digit 1..5
inline constexpr std::string_view BCAS = "<1/BCAS_";  // analog status (poll tick)
inline constexpr std::string_view CSV = "<1/CSV_";    // frequency offset and lock (poll tick)
inline constexpr std::string_view RSL = "<1/RSL_";    // signal level (scanner)
inline constexpr std::string_view BCS = "<1/BCS_";    // "BCS" button
inline constexpr std::string_view CES = "<1/CES_";    // "CES" button

// The data-rate argument the scanner tunes with ("<1/SDRV_1/2_200.000").
inline constexpr std::string_view ScanDataRate = "1/2_200.000";
} // namespace Request

// Pauses in milliseconds, named after the request they come before.
namespace Pacing {
inline constexpr int PollPeriodMs = 500;          // Timer2 interval
inline constexpr int PollBeforeCsvMs = 200;       // BCAS, 200, CSV

inline constexpr int CorrectionBeforeDfMs = 200;  // REM, 200, DF, 400
inline constexpr int CorrectionAfterDfMs = 400;

inline constexpr int ChannelBeforeDfMs = 200;     // REM, 200, DF, 400, SDRV, 400, DSR
inline constexpr int ChannelBeforeSdrvMs = 400;
inline constexpr int ChannelBeforeDsrMs = 400;

inline constexpr int RecallBeforeRmcMs = 400;     // REM, 400, RMC

inline constexpr int ScanBeforeSdrvMs = 200;      // REM, 200, SDRV, 500, DF, settle
inline constexpr int ScanBeforeFirstDfMs = 500;
inline constexpr int ScanSettleMs = 100;          // after every scan DF
inline constexpr int ScanSlowSettleMs = 800;      // the same while "Slow scann" is ticked
inline constexpr int ScanTickMs = 100;            // scanner Timer1 interval
} // namespace Pacing

// Shown by every operator-started sender while the port is closed.
inline constexpr std::string_view kPortGuardMessage = "First, open Com Port please !";
