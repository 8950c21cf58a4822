// The Windows profile functions and settings path on real files (run under Wine).
#include "platform/profile.h"
#include "platform/workdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class Win32ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char base[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, base), 0u);
        char dir[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(base, "vrp", 0, dir), 0u);
        DeleteFileA(dir); // a unique name; we want a directory of it
        ASSERT_TRUE(CreateDirectoryA(dir, nullptr));
        dir_ = dir;
        path_ = dir_ + "\\settings.ini";
    }
    void TearDown() override {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    std::string dir_;
    std::string path_;
};

TEST_F(Win32ProfileTest, MissingFileGivesDefaultsAndTheFirstWriteCreatesIt) {
    EXPECT_EQ(ProfileReadString("Recall", "Recall1", "MetOp", path_), "MetOp");
    ASSERT_TRUE(ProfileWriteString("Recall", "Recall1", "Custom", path_));
    ProfileFlush(path_);
    EXPECT_EQ(ProfileReadString("Recall", "Recall1", "MetOp", path_), "Custom");
    EXPECT_NE(ReadAll(path_).find("Recall1=Custom"), std::string::npos);
}

TEST_F(Win32ProfileTest, ReplacesInPlaceIgnoringCaseAndKeepsOtherLines) {
    const std::string before = "; operator notes\r\n"
                               "[Frequency]\r\n"
                               "MetopA=147.800000\r\n"
                               "FY3A=151.000000\r\n"
                               "[Other]\r\n"
                               "Keep=me\r\n";
    WriteAll(path_, before);
    ASSERT_TRUE(ProfileWriteString("frequency", "METOPA", "147.812500", path_));
    ASSERT_TRUE(ProfileWriteString("Other", "Added", "1", path_));
    ASSERT_TRUE(ProfileWriteString("ComPort", "Port", "COM2", path_));
    ProfileFlush(path_);

    const std::string after = ReadAll(path_);
    // The replaced value stays where it was, under the name as first written.
    EXPECT_NE(after.find("[Frequency]\r\nMetopA=147.812500\r\nFY3A=151.000000\r\n"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("; operator notes\r\n"), std::string::npos);
    EXPECT_NE(after.find("Keep=me\r\n"), std::string::npos);
    EXPECT_LT(after.find("Keep=me"), after.find("Added=1"));
    EXPECT_LT(after.find("Added=1"), after.find("[ComPort]"));

    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"FREQUENCY", "metopa", "147.812500"},
        {"Frequency", "fy3a", "151.000000"},
        {"comport", "PORT", "COM2"},
        {"Frequency", "NOAA15", "149.000000"}, // absent: the default
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProfileReadString(c.section, c.key, "149.000000", path_), c.expected)
            << c.section << "/" << c.key;
}

TEST_F(Win32ProfileTest, EmptyValueIsNotTheDefaultAndLongValuesAreCut) {
    const std::string longValue(3000, 'x');
    WriteAll(path_, "[Recall]\r\nRecall1=\r\nRecall2=" + longValue + "\r\n");
    EXPECT_EQ(ProfileReadString("Recall", "Recall1", "MetOp", path_), "");
    EXPECT_EQ(ProfileReadString("Recall", "Recall2", "FY3A", path_), longValue.substr(0, 2047));
}

TEST_F(Win32ProfileTest, ReadOnlyFileIsRefusedAndLeftAlone) {
    const std::string before = "[Recall]\r\nRecall1=MetOp\r\n";
    WriteAll(path_, before);
    ASSERT_TRUE(SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(ProfileWriteString("Recall", "Recall1", "Changed", path_));
    EXPECT_FALSE(ProfileWriteString("Recall", "Recall9", "New", path_));
    ProfileFlush(path_);
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_EQ(ProfileReadString("Recall", "Recall1", "", path_), "MetOp");
}

TEST_F(Win32ProfileTest, UnwritableDirectoryIsRefused) {
    const std::string missing = dir_ + "\\no-such-dir\\settings.ini";
    EXPECT_FALSE(ProfileWriteString("Recall", "Recall1", "x", missing));
    EXPECT_EQ(ProfileReadString("Recall", "Recall1", "MetOp", missing), "MetOp");
}

// The settings file is placed in the working directory of the moment.
TEST_F(Win32ProfileTest, SettingsPathFollowsTheWorkingDirectory) {
    char saved[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    EXPECT_EQ(PathSeparator(), '\\');

    ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
    EXPECT_EQ(GetWorkingDirectory(), dir_);
    EXPECT_EQ(SettingsFilePath(), dir_ + "\\varnetrixreader.ini");

    // At a drive root the directory already ends in "\": two in a row, as formed.
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_EQ(SettingsFilePath(), "C:\\\\varnetrixreader.ini");

    ASSERT_TRUE(SetCurrentDirectoryA(saved));
}

} // namespace
