#include "platform/ini_file.h"
#include "platform/workdir.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// Each test changes the working directory; the fixture puts it back.
class WorkingDirectory : public testing::Test {
protected:
    void TearDown() override { fs::current_path(saved); }
    fs::path saved = fs::current_path();
};

TEST_F(WorkingDirectory, SettingsFileLivesInTheCurrentDirectory)
{
    TempDir dir;
    fs::current_path(dir.Path());
    const std::string cwd = fs::canonical(dir.Path()).string();
    EXPECT_EQ(GetWorkingDirectory(), cwd);
    EXPECT_EQ(SettingsFilePath(), cwd + "/varnetrixreader.ini");

    TIniFile(SettingsFilePath()).WriteValue("Recall", "Recall1", "MetOp");
    EXPECT_EQ(ReadFileBytes(dir.File("varnetrixreader.ini")), "[Recall]\nRecall1=MetOp\n");
}

TEST_F(WorkingDirectory, RootGetsNoDoubledSeparator)
{
    fs::current_path("/");
    EXPECT_EQ(GetWorkingDirectory(), "/");
    EXPECT_EQ(SettingsFilePath(), "/varnetrixreader.ini");
}

TEST_F(WorkingDirectory, LongPathIsReportedWhole)
{
    TempDir dir;
    fs::path deep = fs::canonical(dir.Path());
    for (int i = 0; i < 40; ++i)
        deep /= std::string(60, static_cast<char>('a' + i % 26));
    fs::create_directories(deep);
    fs::current_path(deep);
    EXPECT_EQ(GetWorkingDirectory(), deep.string());
    EXPECT_GT(GetWorkingDirectory().size(), 2400u);
}

TEST_F(WorkingDirectory, RemovedDirectoryGivesARelativePathThatCannotBeWritten)
{
    TempDir dir;
    const fs::path gone = dir.Path() / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone);
    EXPECT_EQ(SettingsFilePath(), "./varnetrixreader.ini");
    TIniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.ReadValue("Recall", "Recall1", "MetOp"), "MetOp");
    EXPECT_THROW(ini.WriteValue("Recall", "Recall1", "x"), EIniFileException);
}

} // namespace
