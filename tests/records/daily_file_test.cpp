#include "records/daily_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kDay = 86'400'000;
// 2026-12-11T23:59:59.900Z and 2026-12-12T00:00:00.400Z
constexpr std::int64_t kBeforeMidnight = 1'797'033'599'900;
constexpr std::int64_t kAfterMidnight = 1'797'033'600'400;

class Daily : public ::testing::Test {
protected:
    DailyFile::Options Options(std::uintmax_t maxBytes = 1024 * 1024)
    {
        return {dir.Path() / "logs", "pass-", ".csv", "a,b\n", maxBytes};
    }
    std::string Read(const char* name) { return ReadFileBytes((dir.Path() / "logs" / name).string()); }

    TempDir dir;
    std::string error;
};

TEST_F(Daily, NewFileBeginsWithTheHeaderAndRowsGoToTheirUtcDay)
{
    DailyFile log(Options());
    ASSERT_TRUE(log.Append(kBeforeMidnight, "1,2\n", error)) << error;
    ASSERT_TRUE(log.Append(kAfterMidnight, "3,4\n", error)) << error;
    ASSERT_TRUE(log.Append(kAfterMidnight + 500, "5,6\n", error)) << error;
    EXPECT_EQ(Read("pass-2026-12-11.csv"), "a,b\n1,2\n");
    EXPECT_EQ(Read("pass-2026-12-12.csv"), "a,b\n3,4\n5,6\n");
}

TEST_F(Daily, AnExistingFileGetsNoSecondHeader)
{
    {
        DailyFile log(Options());
        ASSERT_TRUE(log.Append(kBeforeMidnight, "1,2\n", error)) << error;
    }
    DailyFile again(Options());
    ASSERT_TRUE(again.Append(kBeforeMidnight, "3,4\n", error)) << error;
    EXPECT_EQ(Read("pass-2026-12-11.csv"), "a,b\n1,2\n3,4\n");
}

TEST_F(Daily, EachRowIsOnDiskWhenAppendReturns)
{
    DailyFile log(Options());
    ASSERT_TRUE(log.Append(kBeforeMidnight, "1,2\n", error)) << error;
    // Read while the writer still holds the file open: nothing waits in a buffer.
    EXPECT_EQ(Read("pass-2026-12-11.csv"), "a,b\n1,2\n");
}

TEST_F(Daily, AFullDayTakesNoMoreRowsAndSaysWhy)
{
    DailyFile log(Options(12));
    ASSERT_TRUE(log.Append(kBeforeMidnight, "1,2\n", error)) << error;
    EXPECT_FALSE(log.Append(kBeforeMidnight, "3,4,5,6\n", error));
    EXPECT_NE(error.find("limit of 12 bytes"), std::string::npos) << error;
    EXPECT_EQ(Read("pass-2026-12-11.csv"), "a,b\n1,2\n");
    EXPECT_TRUE(log.Append(kAfterMidnight, "7,8\n", error)) << error;  // a new day, a new file
}

TEST_F(Daily, AFolderThatCannotBeMadeIsAnErrorNotACrash)
{
    WriteFileBytes((dir.Path() / "logs").string(), "a file where the folder should be");
    DailyFile log(Options());
    EXPECT_FALSE(log.Append(kBeforeMidnight, "1,2\n", error));
    EXPECT_NE(error.find("logs"), std::string::npos) << error;
    fs::remove(dir.Path() / "logs");
    EXPECT_TRUE(log.Append(kBeforeMidnight, "1,2\n", error)) << error;  // it comes back by itself
}

TEST_F(Daily, RemoveOldTakesOnlyThisLogsFilesOlderThanKeepDays)
{
    fs::create_directories(dir.Path() / "logs");
    const char* names[] = {"pass-2026-11-09.csv", "pass-2026-11-10.csv", "pass-2026-12-11.csv",
                           "events-2026-01-01.log", "pass-2026-1-01.csv", "pass-notadate.csv", "pass-2026-13-01.csv"};
    for (const char* n : names)
        WriteFileBytes((dir.Path() / "logs" / n).string(), "x");
    DailyFile log(Options());
    // 31 days kept before 2026-12-11: 2026-11-10 stays, 2026-11-09 goes.
    EXPECT_EQ(log.RemoveOld(kBeforeMidnight, 31), 1);
    EXPECT_FALSE(fs::exists(dir.Path() / "logs" / "pass-2026-11-09.csv"));
    for (std::size_t i = 1; i < std::size(names); ++i)
        EXPECT_TRUE(fs::exists(dir.Path() / "logs" / names[i])) << names[i];
    EXPECT_EQ(log.RemoveOld(kBeforeMidnight + 40 * kDay, 31), 2);
}

TEST(CsvField, QuotesOnlyWhatNeedsIt)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"<1.0E-9", "<1.0E-9"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CsvField(in), out) << in;
}

} // namespace
