#include "remote/rigctl.h"

#include "protocol/numbers.h"

#include <array>
#include <cmath>
#include <exception>
#include <string>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

bool IsPunct(char c)
{
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
}

enum class Op {
    SetFreq,
    GetFreq,
    SetMem,
    GetMem,
    GetLevel,
    GetMode,
    GetVfo,
    GetPtt,
    GetSplitVfo,
    GetPowerstat,
    ChkVfo,
    DumpState,
    Quit,
    Recall,
    GetStatus,
    NotAvailable,  // a Hamlib command a receive-only radio has no use for
};

struct Command {
    char shortName;  // 0: long form only
    std::string_view longName;
    Op op;
    int args;        // arguments taken; -1: any (refused commands)
};

constexpr std::array kCommands{
    Command{'F', "set_freq", Op::SetFreq, 1},
    Command{'f', "get_freq", Op::GetFreq, 0},
    Command{'E', "set_mem", Op::SetMem, 1},
    Command{'e', "get_mem", Op::GetMem, 0},
    Command{'l', "get_level", Op::GetLevel, 1},
    Command{'m', "get_mode", Op::GetMode, 0},
    Command{'v', "get_vfo", Op::GetVfo, 0},
    Command{'t', "get_ptt", Op::GetPtt, 0},
    Command{'s', "get_split_vfo", Op::GetSplitVfo, 0},
    Command{0, "get_powerstat", Op::GetPowerstat, 0},
    Command{0, "chk_vfo", Op::ChkVfo, 0},
    Command{0, "dump_state", Op::DumpState, 0},
    Command{'q', "quit", Op::Quit, -1},
    Command{'Q', "quit", Op::Quit, -1},
    // Our own, for scripts.
    Command{0, "recall", Op::Recall, 1},
    Command{0, "get_status", Op::GetStatus, 0},
    // The rest of Hamlib's commands: known, but not available here.
    Command{'M', "set_mode", Op::NotAvailable, -1},
    Command{'V', "set_vfo", Op::NotAvailable, -1},
    Command{'J', "set_rit", Op::NotAvailable, -1},
    Command{'j', "get_rit", Op::NotAvailable, -1},
    Command{'Z', "set_xit", Op::NotAvailable, -1},
    Command{'z', "get_xit", Op::NotAvailable, -1},
    Command{'T', "set_ptt", Op::NotAvailable, -1},
    Command{'S', "set_split_vfo", Op::NotAvailable, -1},
    Command{'I', "set_split_freq", Op::NotAvailable, -1},
    Command{'i', "get_split_freq", Op::NotAvailable, -1},
    Command{'X', "set_split_mode", Op::NotAvailable, -1},
    Command{'x', "get_split_mode", Op::NotAvailable, -1},
    Command{'Y', "set_ant", Op::NotAvailable, -1},
    Command{'y', "get_ant", Op::NotAvailable, -1},
    Command{'b', "send_morse", Op::NotAvailable, -1},
    Command{0, "stop_morse", Op::NotAvailable, -1},
    Command{0, "wait_morse", Op::NotAvailable, -1},
    Command{0, "get_dcd", Op::NotAvailable, -1},
    Command{'R', "set_rptr_shift", Op::NotAvailable, -1},
    Command{'r', "get_rptr_shift", Op::NotAvailable, -1},
    Command{'O', "set_rptr_offs", Op::NotAvailable, -1},
    Command{'o', "get_rptr_offs", Op::NotAvailable, -1},
    Command{'C', "set_ctcss_tone", Op::NotAvailable, -1},
    Command{'c', "get_ctcss_tone", Op::NotAvailable, -1},
    Command{'D', "set_dcs_code", Op::NotAvailable, -1},
    Command{'d', "get_dcs_code", Op::NotAvailable, -1},
    Command{0, "set_ctcss_sql", Op::NotAvailable, -1},
    Command{0, "get_ctcss_sql", Op::NotAvailable, -1},
    Command{0, "set_dcs_sql", Op::NotAvailable, -1},
    Command{0, "get_dcs_sql", Op::NotAvailable, -1},
    Command{'N', "set_ts", Op::NotAvailable, -1},
    Command{'n', "get_ts", Op::NotAvailable, -1},
    Command{'U', "set_func", Op::NotAvailable, -1},
    Command{'u', "get_func", Op::NotAvailable, -1},
    Command{'L', "set_level", Op::NotAvailable, -1},
    Command{'P', "set_parm", Op::NotAvailable, -1},
    Command{'p', "get_parm", Op::NotAvailable, -1},
    Command{'B', "set_bank", Op::NotAvailable, -1},
    Command{'G', "vfo_op", Op::NotAvailable, -1},
    Command{'g', "scan", Op::NotAvailable, -1},
    Command{'H', "set_channel", Op::NotAvailable, -1},
    Command{'h', "get_channel", Op::NotAvailable, -1},
    Command{'A', "set_trn", Op::NotAvailable, -1},
    Command{'a', "get_trn", Op::NotAvailable, -1},
    Command{0, "reset", Op::NotAvailable, -1},
    Command{0, "set_powerstat", Op::NotAvailable, -1},
    Command{0, "send_dtmf", Op::NotAvailable, -1},
    Command{0, "recv_dtmf", Op::NotAvailable, -1},
    Command{'_', "get_info", Op::NotAvailable, -1},
    Command{0, "get_rig_info", Op::NotAvailable, -1},
    Command{0, "get_vfo_info", Op::NotAvailable, -1},
    Command{'1', "dump_caps", Op::NotAvailable, -1},
    Command{'2', "power2mW", Op::NotAvailable, -1},
    Command{'4', "mW2power", Op::NotAvailable, -1},
    Command{'w', "send_cmd", Op::NotAvailable, -1},
    Command{'W', "send_cmd_rx", Op::NotAvailable, -1},
    Command{0, "set_clock", Op::NotAvailable, -1},
    Command{0, "get_clock", Op::NotAvailable, -1},
    Command{0, "set_vfo_opt", Op::NotAvailable, -1},
    Command{0, "get_separator", Op::NotAvailable, -1},
    Command{0, "set_separator", Op::NotAvailable, -1},
    Command{0, "pause", Op::NotAvailable, -1},
    Command{0, "password", Op::NotAvailable, -1},
    Command{0, "set_lock_mode", Op::NotAvailable, -1},
    Command{0, "get_lock_mode", Op::NotAvailable, -1},
    Command{0, "send_raw", Op::NotAvailable, -1},
};

// Hamlib's level names: asking for one of them is asking for a feature this
// radio lacks; any other name is an invalid parameter.
constexpr std::string_view kLevelNames[] = {
    "PREAMP",         "ATT",           "VOXDELAY",           "AF",
    "RF",             "SQL",           "IF",                 "APF",
    "NR",             "PBT_IN",        "PBT_OUT",            "CWPITCH",
    "RFPOWER",        "MICGAIN",       "KEYSPD",             "NOTCHF",
    "COMP",           "AGC",           "BKINDL",             "BAL",
    "METER",          "VOXGAIN",       "ANTIVOX",            "SLOPE_LOW",
    "SLOPE_HIGH",     "BKIN_DLYMS",    "RAWSTR",             "SWR",
    "ALC",            "STRENGTH",      "RFPOWER_METER",      "COMP_METER",
    "VD_METER",       "ID_METER",      "NOTCHF_RAW",         "MONITOR_GAIN",
    "NB",             "RFPOWER_METER_WATTS", "SPECTRUM_MODE", "SPECTRUM_SPAN",
    "SPECTRUM_EDGE_LOW", "SPECTRUM_EDGE_HIGH", "SPECTRUM_SPEED", "SPECTRUM_REF",
    "SPECTRUM_AVG",   "SPECTRUM_ATT",  "TEMP_METER",         "BAND_SELECT",
    "USB_AF",         "AGC_TIME",      "NL",                 "COMPMETER",
};

constexpr std::string_view kStrength = "STRENGTH";
// Hamlib's S9, the zero of the strength level.
constexpr double kS9Dbm = -73.0;

constexpr std::string_view kDumpState =
    "1\n"                          // protocol version
    "1\n"                          // model
    "0\n"                          // ITU region
    "100000000.000000 200000000.000000 0x20 -1 -1 0x1 0x0\n"  // receive: 100-200 MHz, FM, VFO A
    "0 0 0 0 0 0 0\n"
    "0 0 0 0 0 0 0\n"              // no transmit range
    "0x20 1\n"                     // tuning step 1 Hz
    "0 0\n"
    "0x20 0\n"                     // any filter width
    "0 0\n"
    "0\n"                          // max RIT
    "0\n"                          // max XIT
    "0\n"                          // max IF shift
    "0\n"                          // announces
    "0\n"                          // preamps: none
    "0\n"                          // attenuators: none
    "0x0\n"                        // get functions
    "0x0\n"                        // set functions
    "0x40000000\n"                 // get levels: STRENGTH
    "0x0\n"                        // set levels
    "0x0\n"                        // get parameters
    "0x0\n"                        // set parameters
    "vfo_ops=0x0\n"
    "ptt_type=0x0\n"
    "targetable_vfo=0x0\n"
    "has_set_vfo=0\n"
    "has_get_vfo=1\n"
    "has_set_freq=1\n"
    "has_get_freq=1\n"
    "has_set_conf=0\n"
    "has_get_conf=0\n"
    "has_power2mW=0\n"
    "has_mW2power=0\n"
    "timeout=0\n"
    "rig_model=1\n"
    "rigctld_version=Varnetrix Reader 0.4.3\n"
    "done\n";

const Command* FindCommand(const RigctlLine& line)
{
    for (const Command& c : kCommands) {
        if (line.longForm ? c.longName == line.name : (c.shortName != 0 && line.name.size() == 1 && c.shortName == line.name[0]))
            return &c;
    }
    return nullptr;
}

// Builds an answer in the form the line asked for.
class Reply {
public:
    Reply(const RigctlLine& line, std::string_view longName) : line_(line)
    {
        if (!line.extended)
            return;
        text_.append(longName).append(":");
        for (std::size_t i = 0; i < line.args.size(); ++i)
            text_.append(" ").append(line.args[i]);
        text_ += line.separator;
    }

    // A value line; the extended form puts "key: " in front when there is a key.
    Reply& Value(std::string_view key, std::string_view value)
    {
        if (!line_.extended) {
            text_.append(value).append("\n");
            return *this;
        }
        if (!key.empty())
            text_.append(key).append(": ");
        text_.append(value);
        text_ += line_.separator;
        return *this;
    }

    // Ends the answer: a get command reports only in the extended form or on error.
    std::string Report(int code, bool setCommand)
    {
        if (line_.extended || code != 0 || setCommand)
            text_.append("RPRT ").append(std::to_string(code)).append("\n");
        return std::move(text_);
    }

    // An error: whatever values were added are dropped from the default form.
    std::string Error(int code)
    {
        if (!line_.extended)
            text_.clear();
        return Report(code, true);
    }

private:
    const RigctlLine& line_;
    std::string text_;
};

bool IsDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A whole number from first to last, written in plain digits.
bool TakeNumber(std::string_view text, int first, int last, int& value)
{
    if (!IsDigits(text) || text.size() > 4)
        return false;
    int n = 0;
    for (char c : text)
        n = n * 10 + (c - '0');
    if (n < first || n > last)
        return false;
    value = n;
    return true;
}

// The station may tune now, or the error number that says why not.
int TuningRefusal(RemoteStation& station)
{
    if (!station.PortOpen())
        return RigError::PowerOff;
    if (station.Scanning())
        return RigError::Rejected;
    return RigError::Ok;
}

// Carries out a sequence; its errors become error numbers.
template <class F>
int RunSequence(RemoteStation& station, F&& sequence)
{
    if (const int refused = TuningRefusal(station))
        return refused;
    try {
        sequence();
        return RigError::Ok;
    } catch (const EConvertError&) {
        return RigError::InvalidConfig;
    } catch (...) {
        return RigError::PowerOff;
    }
}

// The level of the last BCAS reply in dB over S9, when it holds a number.
bool StrengthOverS9(const StationStatus& status, long& db)
{
    if (!status.haveStatus)
        return false;
    std::string level = status.statusFields[0];
    if (!level.empty() && level.front() == '<')
        level.erase(0, 1);
    if (!level.empty() && level.front() == '>')
        level.erase(0, 1);
    double dbm = 0.0;
    if (!TryStrToFloat(level, dbm) || !std::isfinite(dbm) || std::fabs(dbm) > 1e6)
        return false;
    db = std::lround(dbm - kS9Dbm);
    return true;
}

// A value as the modem sent it, kept to one line of printable text.
std::string OneLine(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

std::string Answer(const RigctlLine& line, const Command& command, RemoteStation& station, const std::string& client)
{
    Reply reply(line, command.longName);
    if (command.op == Op::NotAvailable)
        return reply.Error(RigError::NotAvailable);
    if (command.args >= 0 && static_cast<int>(line.args.size()) != command.args)
        return reply.Error(RigError::InvalidParameter);

    const StationStatus& status = station.Status();
    switch (command.op) {
    case Op::SetFreq: {
        double hz = 0.0;
        if (!TryStrToFloat(line.args[0], hz) || !std::isfinite(hz) || hz < kRemoteMinHz || hz > kRemoteMaxHz)
            return reply.Error(RigError::InvalidParameter);
        return reply.Report(RunSequence(station, [&] { station.Tune(hz / 1e6); }), true);
    }
    case Op::GetFreq: {
        const long long hz = status.haveTunedMHz && std::fabs(status.tunedMHz) < 1e9
                                 ? std::llround(status.tunedMHz * 1e6)
                                 : 0;
        reply.Value("Frequency", std::to_string(hz));
        return reply.Report(RigError::Ok, false);
    }
    case Op::SetMem: {
        int channel = 0;
        if (!TakeNumber(line.args[0], 1, 15, channel))
            return reply.Error(RigError::InvalidParameter);
        return reply.Report(RunSequence(station, [&] { station.ChooseChannel(channel - 1, client); }), true);
    }
    case Op::GetMem:
        reply.Value("Memory#", std::to_string(status.channelIndex >= 0 ? status.channelIndex + 1 : 0));
        return reply.Report(RigError::Ok, false);
    case Op::GetLevel: {
        const std::string& name = line.args[0];
        if (name == "?") {
            reply.Value("", std::string(kStrength) + " ");
            return reply.Report(RigError::Ok, false);
        }
        bool known = false;
        for (std::string_view n : kLevelNames)
            known = known || n == name;
        if (!known)
            return reply.Error(RigError::InvalidParameter);
        long db = 0;
        if (name != kStrength || !StrengthOverS9(status, db))
            return reply.Error(RigError::NotAvailable);
        reply.Value("", std::to_string(db));  // rigctld gives the level no key
        return reply.Report(RigError::Ok, false);
    }
    case Op::GetMode:
        reply.Value("Mode", "FM").Value("Passband", "0");
        return reply.Report(RigError::Ok, false);
    case Op::GetVfo:
        reply.Value("VFO", "VFOA");
        return reply.Report(RigError::Ok, false);
    case Op::GetPtt:
        reply.Value("PTT", "0");  // receive only: never transmitting
        return reply.Report(RigError::Ok, false);
    case Op::GetSplitVfo:
        reply.Value("Split", "0").Value("TX VFO", "VFOA");
        return reply.Report(RigError::Ok, false);
    case Op::GetPowerstat:
        reply.Value("Power Status", "1");
        return reply.Report(RigError::Ok, false);
    case Op::ChkVfo:
        // rigctld answers this one bare, without echo or report.
        if (!line.extended)
            return "0\n";
        return line.separator == '\n' ? "ChkVFO: 0\n" : "ChkVFO: 0\n\n";
    case Op::DumpState: {
        std::string text;
        if (line.extended)
            text.append("dump_state:").append(1, line.separator);
        text.append(kDumpState);
        if (line.extended)
            text.append("RPRT 0\n");
        return text;
    }
    case Op::Recall: {
        int n = 0;
        if (!TakeNumber(line.args[0], 1, 5, n))
            return reply.Error(RigError::InvalidParameter);
        return reply.Report(RunSequence(station, [&] { station.Recall(n, client); }), true);
    }
    case Op::GetStatus: {
        static constexpr std::array<std::string_view, 7> kFieldKeys{
            "level_dbm", "raw_ber", "corrected_ber", "read_error", "ebno_db", "buffer_fill", "frame_ber"};
        // One "key: value" record each, in both forms.
        auto record = [&](std::string_view key, const std::string& value) {
            reply.Value("", std::string(key) + ": " + OneLine(value));
        };
        record("channel", status.channelText);
        record("frequency_mhz", status.haveTuned ? status.tunedText : std::string());
        for (std::size_t k = 0; k < kFieldKeys.size(); ++k)
            record(kFieldKeys[k], status.haveStatus ? status.statusFields[k] : std::string());
        record("offset_hz", status.haveOffset ? status.offsetText : std::string());
        record("lock", std::string(LockStateText(status.lock)));
        return reply.Report(RigError::Ok, false);
    }
    case Op::Quit:
    case Op::NotAvailable:
        break;
    }
    return reply.Error(RigError::NotImplemented);
}

} // namespace

std::optional<RigctlLine> ParseRigctlLine(std::string_view text)
{
    std::size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
    };
    skipBlanks();
    if (pos == text.size() || text[pos] == '#')
        return std::nullopt;

    RigctlLine line;
    const char first = text[pos];
    if (IsPunct(first) && first != '\\' && first != '?' && first != '_') {
        line.extended = true;
        line.separator = first == '+' ? '\n' : first;
        ++pos;
        skipBlanks();
        if (pos == text.size())
            return std::nullopt;
    }
    if (text[pos] == '\\') {
        line.longForm = true;
        const std::size_t begin = ++pos;
        while (pos < text.size() && !IsBlank(text[pos]))
            ++pos;
        line.name.assign(text.substr(begin, pos - begin));
    } else {
        line.name.assign(1, text[pos++]);
    }
    for (;;) {
        skipBlanks();
        if (pos == text.size())
            break;
        const std::size_t begin = pos;
        while (pos < text.size() && !IsBlank(text[pos]))
            ++pos;
        line.args.emplace_back(text.substr(begin, pos - begin));
    }
    return line;
}

RigctlAnswer AnswerRigctl(std::string_view text, RemoteStation& station, const std::string& client)
{
    const std::optional<RigctlLine> line = ParseRigctlLine(text);
    if (!line)
        return {};
    const Command* command = FindCommand(*line);
    if (!command) {
        const std::string_view echoName = line->name;
        return {Reply(*line, echoName).Error(RigError::NotImplemented)};
    }
    if (command->op == Op::Quit)
        return {"RPRT 0\n", true};
    try {
        return {Answer(*line, *command, station, client)};
    } catch (...) {
        // Only a failing allocation gets here; the client still gets an answer.
        return {"RPRT " + std::to_string(RigError::Internal) + "\n"};
    }
}

std::string_view RigctlDumpState() { return kDumpState; }
