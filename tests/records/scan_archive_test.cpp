// The scan archive: the file of a finished scan, none for a stopped one, the
// CSV of the points shown, and new files that never replace old ones.
#include "records/scan_archive.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// 2026-12-11T09:41:07.250Z
constexpr std::int64_t kMorning = 1'796'982'067'250;

class FixedClock final : public UtcClock {
public:
    std::int64_t NowUtcMs() override { return now; }
    std::int64_t now = kMorning;
};

std::vector<std::string> Names(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ScanCsv, FrequenciesWithSixDecimalsInXOrderAndLevelsAsSent)
{
    const std::vector<ScanPoint> points = {
        {140.0, "-50.1"}, {138.0, "-44"}, {140.0, "-50.2"}, {154.99999999999892, "<-60.0"}, {136.2, "-5\"7"},
    };
    EXPECT_EQ(ScanCsv(points), "frequency_mhz,level_dbm\n"
                               "136.200000,\"-5\"\"7\"\n"
                               "138.000000,-44\n"
                               "140.000000,-50.1\n"
                               "140.000000,-50.2\n"
                               "155.000000,<-60.0\n");
    EXPECT_EQ(ScanCsv({}), "frequency_mhz,level_dbm\n");
}

TEST(ScanCsv, PointsShownKeepTheirTextsWhileTheyAreThoseOfThePlot)
{
    TChartSeries series;
    series.AddXY(136.0, -45.0);
    series.AddXY(136.2, -44.5);
    const std::vector<ScanPoint> recorded = {{136.0, "-45.00"}, {136.2, "-44.5"}};
    EXPECT_EQ(ScanCsv(PointsShown(series, recorded)), "frequency_mhz,level_dbm\n136.000000,-45.00\n136.200000,-44.5\n");
    // The plot holds other points than those recorded: its own numbers.
    series.AddXY(136.4, -43.25);
    EXPECT_EQ(ScanCsv(PointsShown(series, recorded)),
              "frequency_mhz,level_dbm\n136.000000,-45\n136.200000,-44.5\n136.400000,-43.25\n");
}

TEST(ScanArchiveName, IsTheUtcStartToTheSecond)
{
    EXPECT_EQ(ScanArchiveName(kMorning), "scan-20261211-094107Z.csv");
    EXPECT_EQ(ScanArchiveName(0), "scan-19700101-000000Z.csv");
}

TEST(WriteNewFile, NeverReplacesAFileAndLeavesNoTemporaryBehind)
{
    TempDir dir;
    const fs::path scans = dir.Path() / "scans";
    fs::path written;
    std::string error;
    for (const char* text : {"one", "two", "three"})
        ASSERT_TRUE(WriteNewFile(scans, "scan-20261211-094107Z.csv", text, written, error)) << error;
    EXPECT_EQ(written, scans / "scan-20261211-094107Z-3.csv");
    EXPECT_EQ(Names(scans), (std::vector<std::string>{"scan-20261211-094107Z-2.csv", "scan-20261211-094107Z-3.csv",
                                                      "scan-20261211-094107Z.csv"}));
    EXPECT_EQ(ReadFileBytes((scans / "scan-20261211-094107Z.csv").string()), "one");
    EXPECT_EQ(ReadFileBytes((scans / "scan-20261211-094107Z-2.csv").string()), "two");

    WriteFileBytes(dir.File("blocked"), "a file where the folder should be");
    EXPECT_FALSE(WriteNewFile(dir.Path() / "blocked", "x.csv", "x", written, error));
    EXPECT_NE(error.find("blocked"), std::string::npos) << error;
}

TEST(RemoveOldScans, TakesOnlyArchivedScansOlderThanKeepDays)
{
    TempDir dir;
    const char* names[] = {"scan-20261109-235959Z.csv", "scan-20261109-120000Z-2.csv", "scan-20261110-000000Z.csv",
                           "scan-20261211-094107Z.csv", "scan-20261109-120000Z-x.csv", "scan-20261109-120000.csv",
                           "pass-2026-11-01.csv", "scan-20261309-120000Z.csv"};
    for (const char* n : names)
        WriteFileBytes(dir.File(n), "x");
    // 2026-12-11 keeping 31 days: the two scans of 2026-11-09 go, 2026-11-10 stays.
    EXPECT_EQ(RemoveOldScans(dir.Path(), kMorning, 31), 2);
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"pass-2026-11-01.csv", "scan-20261109-120000.csv", "scan-20261109-120000Z-x.csv",
                                        "scan-20261110-000000Z.csv", "scan-20261211-094107Z.csv",
                                        "scan-20261309-120000Z.csv"}));
    EXPECT_EQ(RemoveOldScans(dir.Path() / "missing", kMorning, 31), 0);
}

// The archive driven as the scan controller drives its listeners.
class ScanArchiveTest : public ::testing::Test {
protected:
    void Scan(int points, bool reachEnd)
    {
        archive.ScanStarted();
        series.Clear();
        for (int i = 0; i < points; ++i) {
            const double mhz = 136.0 + 0.2 * i;
            series.AddXY(mhz, -50.0 + i % 7);
            archive.PointRecorded(mhz, std::to_string(-50 + i % 7) + ".0");
        }
        if (reachEnd)
            archive.ScanFinished(series);
        else
            archive.ScanStopped();
    }
    fs::path Scans() const { return dir.Path() / "scans"; }

    TempDir dir;
    FixedClock clock;
    StationHub hub{clock};
    FileWorker worker;
    ScanArchive archive{hub, worker, Scans()};
    TChartSeries series;
};

TEST_F(ScanArchiveTest, AFinishedScanIsSavedUnderItsStartTimeAStoppedOneIsNot)
{
    Scan(3, true);
    clock.now += 60'000;
    Scan(2, false);
    archive.Flush();
    ASSERT_EQ(Names(Scans()), std::vector<std::string>{"scan-20261211-094107Z.csv"});
    EXPECT_EQ(ReadFileBytes((Scans() / "scan-20261211-094107Z.csv").string()),
              "frequency_mhz,level_dbm\n136.000000,-50.0\n136.200000,-49.0\n136.400000,-48.0\n");
    EXPECT_EQ(archive.Points().size(), 2u) << "the stopped scan's points stay for the plot's export";
    EXPECT_TRUE(hub.NoteTexts().empty());
}

TEST_F(ScanArchiveTest, AFolderThatCannotBeWrittenIsSaidOnce)
{
    WriteFileBytes(Scans().string(), "a file where the folder should be");
    Scan(2, true);
    Scan(2, true);
    archive.Flush();
    ASSERT_EQ(hub.NoteTexts().size(), 1u);
    EXPECT_EQ(hub.NewestNote().rfind("Scan archive: cannot create", 0), 0u) << hub.NewestNote();
    fs::remove(Scans());
    Scan(2, true);
    archive.Flush();
    EXPECT_TRUE(hub.NoteTexts().empty());
    EXPECT_EQ(Names(Scans()).size(), 1u);
}

} // namespace
