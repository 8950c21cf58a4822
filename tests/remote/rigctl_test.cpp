// The rigctld line protocol without a network: cutting the stream into
// lines, taking lines apart, and each command's answer in the default and
// the extended form. Where rigctld has an answer of its own (Hamlib 4.5,
// "rigctld -m 1"), ours has the same form.
#include "fake_station.h"
#include "remote/line_reader.h"
#include "remote/rigctl.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string kClient = "127.0.0.1:50112";

// --- lines --------------------------------------------------------------------

TEST(LineReader, CutsAtLineEndsAcrossPiecesAndDropsTheTerminator)
{
    LineReader reader;
    std::vector<std::string> lines;
    EXPECT_TRUE(reader.Feed("F 1371", lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(reader.Feed("00000\r", lines));
    EXPECT_TRUE(reader.Feed("\nf\n\nE 4\r\ne", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"F 137100000", "f", "", "E 4"}));
    EXPECT_EQ(reader.Pending(), 1u);
    EXPECT_EQ(reader.TakeRest(), "e");  // the stream ended without a line end
    EXPECT_EQ(reader.TakeRest(), "");
}

TEST(LineReader, ALineOverTheBoundIsRefusedAsSoonAsItIsKnownAndNothingIsHeldForIt)
{
    const std::string longest(LineReader::kMaxLine, 'x');
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        bool fits;
        std::size_t lines;
    };
    const Case cases[] = {
        {"the bound itself", {longest + "\n"}, true, 1},
        {"the bound with CR LF", {longest + "\r", "\n"}, true, 1},
        {"one byte over", {"f\n" + longest + "y\n"}, false, 1},
        {"CR not followed by LF", {longest + "\rz"}, false, 0},
        {"endless, in small pieces", std::vector<std::string>(600, "abcd"), false, 0},
    };
    for (const Case& c : cases) {
        LineReader reader;
        std::vector<std::string> lines;
        bool fits = true;
        for (const std::string& piece : c.pieces) {
            fits = reader.Feed(piece, lines);
            EXPECT_LE(reader.Pending(), LineReader::kMaxLine + 1) << c.name;
            if (!fits)
                break;
        }
        EXPECT_EQ(fits, c.fits) << c.name;
        EXPECT_EQ(lines.size(), c.lines) << c.name;
        if (!c.fits) {
            EXPECT_FALSE(reader.Feed("f\n", lines)) << c.name << ": nothing more is taken";
            EXPECT_EQ(reader.TakeRest(), "") << c.name;
        }
    }
}

// --- taking lines apart --------------------------------------------------------

TEST(RigctlParse, ShortAndLongFormsExtendedPrefixesArgumentsAndSilentLines)
{
    struct Case {
        const char* line;
        bool command;
        bool extended;
        char separator;
        bool longForm;
        const char* name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"f", true, false, '\n', false, "f", {}},
        {"  F\t137100000.000000 ", true, false, '\n', false, "F", {"137100000.000000"}},
        {"F137100000", true, false, '\n', false, "F", {"137100000"}},
        {"\\set_freq 1.371e8", true, false, '\n', true, "set_freq", {"1.371e8"}},
        {"+\\get_freq", true, true, '\n', true, "get_freq", {}},
        {";f", true, true, ';', false, "f", {}},
        {"|M FM 0", true, true, '|', false, "M", {"FM", "0"}},
        {"e ", true, false, '\n', false, "e", {}},
        {"_", true, false, '\n', false, "_", {}},
        {"?", true, false, '\n', false, "?", {}},
        {"\\", true, false, '\n', true, "", {}},
        {"", false, false, '\n', false, "", {}},
        {" \t", false, false, '\n', false, "", {}},
        {"# a comment", false, false, '\n', false, "", {}},
        {"+", false, false, '\n', false, "", {}},
    };
    for (const Case& c : cases) {
        const auto line = ParseRigctlLine(c.line);
        ASSERT_EQ(line.has_value(), c.command) << c.line;
        if (!line)
            continue;
        EXPECT_EQ(line->extended, c.extended) << c.line;
        EXPECT_EQ(line->separator, c.separator) << c.line;
        EXPECT_EQ(line->longForm, c.longForm) << c.line;
        EXPECT_EQ(line->name, c.name) << c.line;
        EXPECT_EQ(line->args, c.args) << c.line;
    }
}

// --- answers -------------------------------------------------------------------

struct Exchange {
    const char* line;
    std::string answer;
};

class Rigctl : public ::testing::Test {
protected:
    std::string Ask(const std::string& line) { return AnswerRigctl(line, station, kClient).text; }
    void Expect(const std::vector<Exchange>& exchanges)
    {
        for (const Exchange& e : exchanges)
            EXPECT_EQ(Ask(e.line), e.answer) << e.line;
    }

    void Tuned(const std::string& text, double mhz)
    {
        station.status.haveTuned = true;
        station.status.tunedText = text;
        station.status.haveTunedMHz = true;
        station.status.tunedMHz = mhz;
    }
    void Bcas(const std::string& level)
    {
        station.status.haveStatus = true;
        station.status.statusFields = {level, "1.0E-3", "2.0E-7", "4.5", "7.1", "50", "0.0"};
    }

    FakeStation station;
};

TEST_F(Rigctl, TuningSendsTheFrequencyInMegahertzAndAnswersInEitherForm)
{
    const std::vector<Exchange> exchanges = {
        {"F 137100000", "RPRT 0\n"},
        {"F 137100000.000000", "RPRT 0\n"},  // as rigctl -m 2 sends it
        {"\\set_freq 1.371e8", "RPRT 0\n"},
        {"F 137100000.7", "RPRT 0\n"},
        {"F 100000000", "RPRT 0\n"},
        {"F 200000000", "RPRT 0\n"},
        {"+F 137100000", "set_freq: 137100000\nRPRT 0\n"},
        {";\\set_freq 137100000", "set_freq: 137100000;RPRT 0\n"},
    };
    Expect(exchanges);
    EXPECT_EQ(station.calls, (std::vector<std::string>{"tune 137.100000", "tune 137.100000", "tune 137.100000",
                                                       "tune 137.100001", "tune 100.000000", "tune 200.000000",
                                                       "tune 137.100000", "tune 137.100000"}));
}

TEST_F(Rigctl, MalformedOrFarOffFrequenciesAreRefusedAndNothingIsTuned)
{
    const std::vector<Exchange> exchanges = {
        {"F abc", "RPRT -1\n"},        {"F", "RPRT -1\n"},
        {"F 99999999.9", "RPRT -1\n"}, {"F 200000000.1", "RPRT -1\n"},
        {"F -137100000", "RPRT -1\n"}, {"F 137,1e6", "RPRT -1\n"},
        {"F 0x82BCE60", "RPRT -1\n"},  {"F inf", "RPRT -1\n"},
        {"F nan", "RPRT -1\n"},        {"F 1e400", "RPRT -1\n"},
        {"F 137100000 1", "RPRT -1\n"}, {"F 137.1MHz", "RPRT -1\n"},
        {"+F abc", "set_freq: abc\nRPRT -1\n"},
    };
    Expect(exchanges);
    EXPECT_TRUE(station.calls.empty());
}

TEST_F(Rigctl, GetFrequencyIsTheLastDfSentInWholeHertz)
{
    EXPECT_EQ(Ask("f"), "0\n");  // nothing tuned yet
    Tuned("137.098500", 137.0985);
    Expect({{"f", "137098500\n"},
                   {"\\get_freq", "137098500\n"},
                   {"+f", "get_freq:\nFrequency: 137098500\nRPRT 0\n"},
                   {";f", "get_freq:;Frequency: 137098500;RPRT 0\n"},
                   {"f x", "RPRT -1\n"}});
}

TEST_F(Rigctl, ChannelsAreOneToFifteenInTheSelectorsOrder)
{
    EXPECT_EQ(Ask("e"), "0\n");  // none chosen yet
    Expect({{"E 4", "RPRT 0\n"},
                   {"\\set_mem 1", "RPRT 0\n"},
                   {"+E 15", "set_mem: 15\nRPRT 0\n"},
                   {"E 0", "RPRT -1\n"},
                   {"E 16", "RPRT -1\n"},
                   {"E 4.0", "RPRT -1\n"},
                   {"E -1", "RPRT -1\n"},
                   {"E FY3A", "RPRT -1\n"},
                   {"E", "RPRT -1\n"},
                   {"E 99999999999", "RPRT -1\n"}});
    EXPECT_EQ(station.calls, (std::vector<std::string>{"channel 3 by " + kClient, "channel 0 by " + kClient,
                                                       "channel 14 by " + kClient}));
    station.status.channelIndex = 3;
    Expect({{"e", "4\n"}, {"\\get_mem", "4\n"}, {"+e", "get_mem:\nMemory#: 4\nRPRT 0\n"}});
}

TEST_F(Rigctl, RecallTakesTheButtonsOneToFive)
{
    Expect({{"\\recall 3", "RPRT 0\n"},
                   {"+\\recall 5", "recall: 5\nRPRT 0\n"},
                   {"\\recall 0", "RPRT -1\n"},
                   {"\\recall 6", "RPRT -1\n"},
                   {"\\recall", "RPRT -1\n"}});
    EXPECT_EQ(station.calls, (std::vector<std::string>{"recall 3 by " + kClient, "recall 5 by " + kClient}));
}

TEST_F(Rigctl, TuningIsRefusedWithThePortClosedOrWhileAScanRunsAndErrorsBecomeNumbers)
{
    struct Case {
        const char* name;
        bool open;
        bool scanning;
        std::function<void(const std::string&)> during;
        const char* answer;
        bool called;
    };
    const Case cases[] = {
        {"port closed", false, false, nullptr, "RPRT -20\n", false},
        {"scan running", true, true, nullptr, "RPRT -9\n", false},
        {"write fails", true, false, [](const std::string&) { throw std::runtime_error("WriteFile failed"); },
         "RPRT -20\n", true},
        {"stored frequency no number", true, false,
         [](const std::string&) { throw EConvertError("'147,8' is not a valid floating point value"); }, "RPRT -2\n",
         true},
    };
    for (const Case& c : cases) {
        for (const char* line : {"F 137100000", "E 1", "\\recall 1"}) {
            station = FakeStation();
            station.portOpen = c.open;
            station.scanning = c.scanning;
            station.during = c.during;
            EXPECT_EQ(Ask(line), c.answer) << c.name << ": " << line;
            EXPECT_EQ(station.calls.size(), c.called ? 1u : 0u) << c.name << ": " << line;
        }
    }
    // Asking is not tuning: the get commands answer whatever the port does.
    station = FakeStation();
    station.portOpen = false;
    station.scanning = true;
    EXPECT_EQ(Ask("f"), "0\n");
    EXPECT_EQ(Ask("e"), "0\n");
}

TEST_F(Rigctl, StrengthIsTheLastBcasLevelInDecibelsOverS9)
{
    EXPECT_EQ(Ask("l STRENGTH"), "RPRT -11\n");  // no BCAS reply yet
    struct Case {
        const char* level;
        const char* answer;
    };
    const Case cases[] = {
        {"-45.2", "28\n"}, {"-73", "0\n"},    {"<-60.0", "13\n"},    {">-20.0", "53\n"}, {"-100.5", "-28\n"},
        {"-45.5", "28\n"}, {"", "RPRT -11\n"}, {"abc", "RPRT -11\n"}, {"-1e300", "RPRT -11\n"},
    };
    for (const Case& c : cases) {
        Bcas(c.level);
        EXPECT_EQ(Ask("l STRENGTH"), c.answer) << c.level;
    }
    Bcas("-45.2");
    Expect({{"\\get_level STRENGTH", "28\n"},
                   {"+l STRENGTH", "get_level: STRENGTH\n28\nRPRT 0\n"},  // rigctld gives the value no key
                   {";l STRENGTH", "get_level: STRENGTH;28;RPRT 0\n"},
                   {"l ?", "STRENGTH \n"},
                   {"l AF", "RPRT -11\n"},
                   {"l RAWSTR", "RPRT -11\n"},
                   {"l FOO", "RPRT -1\n"},
                   {"l strength", "RPRT -1\n"},
                   {"+l FOO", "get_level: FOO\nRPRT -1\n"},
                   {"l", "RPRT -1\n"}});
}

TEST_F(Rigctl, AReceiveOnlyRadioAnswersWhatHamlibClientsAskOnConnecting)
{
    const std::string dump(RigctlDumpState());
    Expect({{"\\chk_vfo", "0\n"},
                   {"+\\chk_vfo", "ChkVFO: 0\n"},
                   {";\\chk_vfo", "ChkVFO: 0\n\n"},
                   {"\\dump_state", dump},
                   {"+\\dump_state", "dump_state:\n" + dump + "RPRT 0\n"},
                   {"m", "FM\n0\n"},
                   {"\\get_mode", "FM\n0\n"},
                   {"+m", "get_mode:\nMode: FM\nPassband: 0\nRPRT 0\n"},
                   {";m", "get_mode:;Mode: FM;Passband: 0;RPRT 0\n"},
                   {"v", "VFOA\n"},
                   {"+v", "get_vfo:\nVFO: VFOA\nRPRT 0\n"},
                   {"t", "0\n"},
                   {"+t", "get_ptt:\nPTT: 0\nRPRT 0\n"},
                   {"s", "0\nVFOA\n"},
                   {"+s", "get_split_vfo:\nSplit: 0\nTX VFO: VFOA\nRPRT 0\n"},
                   {"\\get_powerstat", "1\n"},
                   {"+\\get_powerstat", "get_powerstat:\nPower Status: 1\nRPRT 0\n"}});
    // The dump: protocol 1, a receive range of 100-200 MHz, no transmit
    // range, the strength level only, and the closing "done".
    EXPECT_EQ(dump.rfind("1\n1\n0\n100000000.000000 200000000.000000 0x20 -1 -1 0x1 0x0\n0 0 0 0 0 0 0\n0 0 0 0 0 0 0\n", 0),
              0u);
    EXPECT_NE(dump.find("\n0x40000000\n"), std::string::npos);
    EXPECT_NE(dump.find("\nhas_set_freq=1\nhas_get_freq=1\n"), std::string::npos);
    EXPECT_EQ(dump.substr(dump.size() - 5), "done\n");
}

TEST_F(Rigctl, QuitAnswersAndEndsTheSession)
{
    for (const char* line : {"q", "Q", "+q", "\\quit", "q now"}) {
        const RigctlAnswer a = AnswerRigctl(line, station, kClient);
        EXPECT_EQ(a.text, "RPRT 0\n") << line;
        EXPECT_TRUE(a.close) << line;
    }
    EXPECT_FALSE(AnswerRigctl("f", station, kClient).close);
}

TEST_F(Rigctl, HamlibCommandsWithoutUseHereAreNotAvailableAndUnknownOnesNotImplemented)
{
    Expect({{"M FM 0", "RPRT -11\n"},
                   {"+M USB 2400", "set_mode: USB 2400\nRPRT -11\n"},
                   {"\\set_mode FM 0", "RPRT -11\n"},
                   {"V VFOA", "RPRT -11\n"},
                   {"T 1", "RPRT -11\n"},
                   {"L STRENGTH 1", "RPRT -11\n"},
                   {"\\set_powerstat 0", "RPRT -11\n"},
                   {"_", "RPRT -11\n"},
                   {"1", "RPRT -11\n"},
                   {"\\dump_caps", "RPRT -11\n"},
                   {"+\\get_rig_info", "get_rig_info:\nRPRT -11\n"},
                   {"K", "RPRT -4\n"},
                   {"?", "RPRT -4\n"},
                   {"\\foo", "RPRT -4\n"},
                   {"+\\foo 1", "foo: 1\nRPRT -4\n"},
                   {"\\SET_FREQ 137100000", "RPRT -4\n"},
                   {"\\", "RPRT -4\n"},
                   {std::string("\x01\xff", 2).c_str(), "RPRT -4\n"}});
    EXPECT_TRUE(station.calls.empty());
    // Lines that get no answer at all.
    for (const char* line : {"", "   ", "#f", "+"})
        EXPECT_EQ(Ask(line), "") << '"' << line << '"';
}

TEST_F(Rigctl, GetStatusGivesEveryValueOfTheLastPollAsTheModemSentIt)
{
    const std::string before =
        "channel: \nfrequency_mhz: \nlevel_dbm: \nraw_ber: \ncorrected_ber: \nread_error: \nebno_db: \n"
        "buffer_fill: \nframe_ber: \noffset_hz: \nlock: UNKN\n";
    EXPECT_EQ(Ask("\\get_status"), before);

    station.status.channelIndex = 0;
    station.status.channelText = "Metop-A";
    Tuned("137.098500", 137.0985);
    station.status.haveStatus = true;
    station.status.statusFields = {"<-60.0", "1.0E-3", "2.0E-7", "4.5", "7.1", "50", "0.0\r"};
    station.status.haveOffset = true;
    station.status.offsetText = "+1500";
    station.status.lock = LockState::Fault;
    const std::string after =
        "channel: Metop-A\nfrequency_mhz: 137.098500\nlevel_dbm: <-60.0\nraw_ber: 1.0E-3\ncorrected_ber: 2.0E-7\n"
        "read_error: 4.5\nebno_db: 7.1\nbuffer_fill: 50\nframe_ber: 0.0?\noffset_hz: +1500\nlock: FAULT\n";
    EXPECT_EQ(Ask("\\get_status"), after);  // a control character would break the line: shown as "?"
    EXPECT_EQ(Ask("+\\get_status"), "get_status:\n" + after + "RPRT 0\n");
    EXPECT_EQ(Ask("\\get_status now"), "RPRT -1\n");
}

} // namespace
