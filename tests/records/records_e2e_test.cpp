// The records of the running program against the modem simulator: a whole
// scan archived, a stopped one not, and pass log rows while the poll runs.
#include "app/ui/records_link.h"
#include "form_fixture.h"
#include "protocol/numbers.h"
#include "widgets/ui/chart.h"
#include "scanner/ui/form3.h"
#include "sim_process.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QTest>

#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Files(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The three windows and the records, as the program's entry makes them, on
// the simulator's line, in a working directory of their own.
class RecordsE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        wakeUp_.emplace();
        ASSERT_FALSE(sim_.Path().empty()) << "the simulator printed no device";
        WriteFileBytes(dir_.File("varnetrixreader.ini"), "[ComPort]\nPort=" + sim_.Path() + "\n");
        settings_.emplace(SettingsFilePath());
        form1_.emplace(*settings_);
        form3_.emplace(form1_->State, form1_->PortRequests);
        form1_->SetScanLevelDisplay([this](const std::string& text) { form3_->ShowScanLevel(text); });
        records_.emplace(*form1_, *form3_, *settings_);
        form1_->SpeedButton1->click();
        ASSERT_TRUE(form1_->ComPort.Connected()) << (boxes_.errors.empty() ? "" : boxes_.errors[0]);
    }
    void TearDown() override
    {
        records_.reset();
        if (form1_)
            form1_->SetScanLevelDisplay({});
        form3_.reset();
        form1_.reset();
        wakeUp_.reset();
    }

    TempDir dir_;
    WorkingDirectory cwd_{dir_.Path()};
    RecordedMessages boxes_;
    simtest::Sim sim_{{"--seed", "19"}};
    std::optional<SyncWakeUp> wakeUp_;
    std::optional<TIniFile> settings_;
    std::optional<TForm1> form1_;
    std::optional<TForm3> form3_;
    std::optional<RecordsLink> records_;
};

TEST_F(RecordsE2E, AWholeScanIsArchivedPointForPointAndAStoppedOneIsNot)
{
    TForm3& scanner = *form3_;
    scanner.Button1Click();
    ASSERT_TRUE(ProcessUntil([&] { return !scanner.Controller().Scanning(); }, 90000)) << "the scan never ended";
    records_->Scans().Flush();

    const std::vector<std::string> files = Files(dir_.Path() / "scans");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(scan-\d{8}-\d{6}Z\.csv)"))) << files[0];
    const std::vector<std::string> lines = Lines(ReadFileBytes((dir_.Path() / "scans" / files[0]).string()));
    ASSERT_EQ(lines.size(), 97u);
    EXPECT_EQ(lines[0], "frequency_mhz,level_dbm");
    const TChartSeries& plotted = scanner.Chart1()->Series1();
    ASSERT_EQ(plotted.Count(), 96);
    for (int i = 0; i < 96; ++i) {
        const std::string& row = lines[static_cast<std::size_t>(i) + 1];
        const std::size_t comma = row.find(',');
        ASSERT_NE(comma, std::string::npos) << row;
        EXPECT_EQ(row.substr(0, comma), FloatToStrF(plotted.XValues.Value[static_cast<std::size_t>(i)], ffFixed, 15, 6));
        EXPECT_EQ(StrToFloat(row.substr(comma + 1)), plotted.YValues.Value[static_cast<std::size_t>(i)]) << row;
    }
    EXPECT_EQ(lines[1].substr(0, 11), "136.000000,");
    EXPECT_EQ(lines[96].substr(0, 11), "155.000000,");

    // The plot's "Save as CSV..." gives the points shown: those of the archive.
    ASSERT_EQ(scanner.Chart1()->actions().size(), 2);
    EXPECT_EQ(scanner.Chart1()->actions()[0], records_->SaveCsvAction);
    EXPECT_EQ(scanner.Chart1()->actions()[1], records_->SavePngAction);
    records_->SaveScanCsv(QString::fromStdString(dir_.File("shown.csv")));
    EXPECT_EQ(ReadFileBytes(dir_.File("shown.csv")), ReadFileBytes((dir_.Path() / "scans" / files[0]).string()));

    scanner.Button1Click();
    ASSERT_TRUE(ProcessUntil([&] { return scanner.Chart1()->Series1().Count() >= 3; }, 20000));
    scanner.Label2Click();  // the operator stops it
    records_->Scans().Flush();
    EXPECT_EQ(Files(dir_.Path() / "scans"), files);

    // What the stopped scan plotted can still be saved, as CSV and as drawn.
    records_->SaveScanCsv(QString::fromStdString(dir_.File("stopped.csv")));
    const std::vector<std::string> stopped = Lines(ReadFileBytes(dir_.File("stopped.csv")));
    ASSERT_EQ(stopped.size(), static_cast<std::size_t>(plotted.Count()) + 1);
    for (int i = 0; i < plotted.Count(); ++i)
        EXPECT_EQ(StrToFloat(stopped[static_cast<std::size_t>(i) + 1].substr(11)),
                  plotted.YValues.Value[static_cast<std::size_t>(i)]);
    records_->SaveScanPng(QString::fromStdString(dir_.File("stopped.png")));
    const QImage png(QString::fromStdString(dir_.File("stopped.png")));
    EXPECT_GE(png.width(), scanner.Chart1()->width());
    EXPECT_GE(png.height(), scanner.Chart1()->height());
    EXPECT_EQ(png.pixelColor(2, 2), QColor(0, 0, 128)) << "the chart as drawn: navy";
    EXPECT_THROW(records_->SaveScanCsv(QString::fromStdString(dir_.File("no/such/folder/x.csv"))), std::runtime_error);
    EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
}

TEST_F(RecordsE2E, ThePollWritesARowPerStatusReplyWithTheChannelTuned)
{
    TForm1& f = *form1_;
    f.show();
    f.ComboBox1->setFocus();
    QTest::keyClick(f.ComboBox1, Qt::Key_Down);  // Metop-A
    f.CheckBox1->click();
    const auto bcas = [&] { return f.Hub.Status().replies[static_cast<std::size_t>(ReplyKind::Bcas)]; };
    ASSERT_TRUE(ProcessUntil([&] { return bcas() >= 4; }, 15000));
    f.CheckBox1->click();  // poll off: nothing more is written
    const std::uint64_t replies = bcas();
    records_->Passes().Flush();

    const std::vector<std::string> lines =
        Lines(ReadFileBytes(records_->Passes().FileFor(f.Hub.Status().statusUtcMs).string()));
    ASSERT_EQ(lines.size(), replies + 1);
    EXPECT_EQ(lines[0] + "\n", std::string(kPassLogHeader));
    const std::regex row(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z,Metop-A,147\.8,[^,]+(,[^,]*){6},[^,]*,(OK|FAULT|UNKN))");
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], row)) << lines[i];
    EXPECT_TRUE(f.Hub.NoteTexts().empty());
    EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
}

} // namespace
