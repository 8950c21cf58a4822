// What the pass plot shows: samples from the hub and from pass log files,
// the spans of decoder lock, and the track that merges file and live samples.
#include "records/pass_log.h"
#include "records/pass_track.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

void PrintTo(const TimeSpan& span, std::ostream* os) { *os << "[" << span.from << ", " << span.to << "]"; }

namespace {

// 2026-12-11T09:41:07.250Z
constexpr std::int64_t kMorning = 1'796'982'067'250;

TEST(FieldNumber, BoundsGiveTheirValueAndOtherTextNone)
{
    const std::pair<const char*, double> numbers[] = {
        {"-45.2", -45.2}, {"<1.0E-9", 1.0e-9}, {">12.5", 12.5}, {"+1500", 1500.0}, {"<-60.0", -60.0}, {" 7 ", 7.0},
    };
    for (const auto& [text, value] : numbers)
        EXPECT_DOUBLE_EQ(FieldNumber(text), value) << text;
    for (const char* text : {"", "<", "FLT", "1,5", "nan", "inf", "<<3", "1e999"})
        EXPECT_TRUE(std::isnan(FieldNumber(text))) << text;
}

TEST(ParseUtcMs, ReadsWhatTheLogWritesAndNothingElse)
{
    for (std::int64_t ms : {std::int64_t{0}, kMorning, std::int64_t{951'782'400'000}, std::int64_t{1'798'761'599'999}}) {
        std::int64_t back = -1;
        EXPECT_TRUE(ParseUtcMs(FormatUtcMs(ms), back)) << FormatUtcMs(ms);
        EXPECT_EQ(back, ms);
    }
    std::int64_t ms = 0;
    EXPECT_TRUE(ParseUtcMs("2026-12-11T09:41:07Z", ms));
    EXPECT_EQ(ms, kMorning - 250);
    for (const char* bad : {"", "2026-12-11 09:41:07.250Z", "2026-12-11T09:41:07.250", "2026-02-30T00:00:00Z",
                            "2026-13-01T00:00:00Z", "2026-12-11T24:00:00Z", "2026-12-11T09:41:07.25Z",
                            "x026-12-11T09:41:07.250Z"})
        EXPECT_FALSE(ParseUtcMs(bad, ms)) << bad;
}

TEST(ReadPassLog, ReadsBackWhatThePassLogWrote)
{
    StationStatus s;
    s.statusUtcMs = kMorning;
    s.statusFields = {"<-60.0", "5.0E-1", "5.0E-1", "1.0E+0", "0.0", "0", "1.0E+0"};
    s.channelText = "odd \"name\",\nwith a line end";
    std::string text(kPassLogHeader);
    text += PassLogRow(s);
    s.statusUtcMs += 500;
    s.statusFields = {"-41.5", "1.0E-5", "<1.0E-9", "0.0E+0", ">12.5", "50", "0.0E+0"};
    s.haveOffset = true;
    s.offsetText = "-120";
    s.lock = LockState::Ok;
    text += PassLogRow(s);

    const PassLogReading r = ReadPassLogText(text);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.badRows, 0u);
    ASSERT_EQ(r.samples.size(), 2u);
    EXPECT_EQ(r.samples[0].utcMs, kMorning);
    EXPECT_DOUBLE_EQ(r.samples[0].levelDbm, -60.0);
    EXPECT_DOUBLE_EQ(r.samples[0].ebnoDb, 0.0);
    EXPECT_TRUE(std::isnan(r.samples[0].offsetHz));
    EXPECT_EQ(r.samples[0].lock, LockState::Unknown);
    EXPECT_DOUBLE_EQ(r.samples[1].levelDbm, -41.5);
    EXPECT_DOUBLE_EQ(r.samples[1].ebnoDb, 12.5);
    EXPECT_DOUBLE_EQ(r.samples[1].offsetHz, -120.0);
    EXPECT_EQ(r.samples[1].lock, LockState::Ok);
}

TEST(ReadPassLog, FindsColumnsByNameAndSkipsRowsWithoutATime)
{
    const PassLogReading r = ReadPassLogText("lock,time_utc,level_dbm\r\n"
                                             "OK,2026-12-11T09:41:08.250Z,-40\r\n"
                                             "\r\n"
                                             "FAULT,yesterday,-41\r\n"
                                             "FAULT,2026-12-11T09:41:07.250Z\r\n");
    EXPECT_EQ(r.badRows, 1u);
    ASSERT_EQ(r.samples.size(), 2u);
    EXPECT_EQ(r.samples[0].utcMs, kMorning) << "in time order";
    EXPECT_EQ(r.samples[0].lock, LockState::Fault);
    EXPECT_TRUE(std::isnan(r.samples[0].levelDbm)) << "a short row leaves the rest empty";
    EXPECT_DOUBLE_EQ(r.samples[1].levelDbm, -40.0);
    EXPECT_TRUE(std::isnan(r.samples[1].ebnoDb)) << "no such column";

    EXPECT_NE(ReadPassLogText("frequency_mhz,level_dbm\n136.000000,-50\n").error, "");
    EXPECT_NE(ReadPassLogText("").error, "");
}

TEST(ReadPassLog, FilesThatCannotBeReadOrAreTooLargeSayWhy)
{
    TempDir dir;
    EXPECT_NE(ReadPassLogFile(dir.Path() / "missing.csv").error.find("missing.csv"), std::string::npos);
    WriteFileBytes(dir.File("big.csv"), std::string(kPassLogHeader) + std::string(2000, '\n'));
    EXPECT_NE(ReadPassLogFile(dir.Path() / "big.csv", 1000).error.find("larger than"), std::string::npos);
    EXPECT_EQ(ReadPassLogFile(dir.Path() / "big.csv", 4000).error, "");
    WriteFileBytes(dir.File("scan.csv"), "frequency_mhz,level_dbm\n");
    EXPECT_EQ(ReadPassLogFile(dir.Path() / "scan.csv").error,
              "scan.csv is not a pass log: its first line names no time_utc column");
}

std::deque<PassSample> Locks(const char* pattern, std::int64_t stepMs = 500)
{
    // One sample per character, stepMs apart: O ok, F fault, U unknown, ' ' no row.
    std::deque<PassSample> samples;
    for (std::int64_t i = 0; pattern[i]; ++i) {
        if (pattern[i] == ' ')
            continue;
        PassSample s;
        s.utcMs = i * stepMs;
        s.lock = pattern[i] == 'O' ? LockState::Ok : pattern[i] == 'F' ? LockState::Fault : LockState::Unknown;
        samples.push_back(s);
    }
    return samples;
}

TEST(LockSpans, FromTheFirstLockedRowToTheNextRowThatIsNot)
{
    struct Case {
        const char* pattern;
        std::vector<TimeSpan> spans;
    };
    const Case cases[] = {
        {"", {}},
        {"UUFF", {}},
        {"UOOOF", {{500, 2000}}},
        {"OOFOO", {{0, 1000}, {1500, 2000}}},
        {"O", {{0, 0}}},
        {"OO      OO", {{0, 500}, {4000, 4500}}},  // rows stopped for longer than 2 s
        {"OO  OO", {{0, 2500}}},                   // a short gap keeps the span
        {"OOU", {{0, 1000}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LockSpans(Locks(c.pattern), 2000), c.spans) << "'" << c.pattern << "'";
}

PassSample At(std::int64_t ms, double level = 0)
{
    PassSample s;
    s.utcMs = ms;
    s.levelDbm = level;
    return s;
}

TEST(PassTrack, AFileReadMeanwhileKeepsTheLiveSamplesNewerThanItsLastRow)
{
    PassTrack track;
    track.Add(At(1000, -1));
    track.Add(At(1500, -2));
    track.Add(At(2000, -3));
    // The file was read after the row of 1500 was written.
    track.Merge({At(0, -10), At(500, -11), At(1000, -12), At(1500, -13)});
    std::vector<double> levels;
    for (const PassSample& s : track.Samples())
        levels.push_back(s.levelDbm);
    EXPECT_EQ(levels, (std::vector<double>{-10, -11, -12, -13, -3}));
}

TEST(PassTrack, StaysInTimeOrderWithinItsBound)
{
    PassTrack track(3);
    for (std::int64_t ms : {1000, 2000, 1500, 3000})  // the clock stepped back once
        track.Add(At(ms));
    std::vector<std::int64_t> times;
    for (const PassSample& s : track.Samples())
        times.push_back(s.utcMs);
    EXPECT_EQ(times, (std::vector<std::int64_t>{1500, 2000, 3000}));
    EXPECT_EQ(track.Nearest(0)->utcMs, 1500);
    EXPECT_EQ(track.Nearest(1760)->utcMs, 2000);
    EXPECT_EQ(track.Nearest(1740)->utcMs, 1500);
    EXPECT_EQ(track.Nearest(99999)->utcMs, 3000);
    track.Clear();
    EXPECT_EQ(track.Nearest(0), nullptr);
}

} // namespace
