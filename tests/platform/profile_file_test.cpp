// The profile functions against real files in a temporary directory.
#include "platform/profile.h"
#include "temp_dir.h"
#include "unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class ProfileFile : public testing::Test {
protected:
    void TearDown() override { SetProfileWriteHook(nullptr); }

    std::string Read(const std::string& section, const std::string& key, const std::string& def = "<default>")
    {
        return ProfileReadString(section, key, def, path);
    }

    TempDir dir;
    std::string path = dir.File("varnetrixreader.ini");
};

TEST_F(ProfileFile, MissingFileReadsDefaultsAndFirstWriteCreatesIt)
{
    EXPECT_EQ(Read("ComPort", "Port", "COM1"), "COM1");
    EXPECT_FALSE(fs::exists(path)); // reading never creates
    ASSERT_TRUE(ProfileWriteString("ComPort", "Port", "COM1", path));
    ASSERT_TRUE(ProfileWriteString("ComPort", "BaudRate", "9600", path));
    ASSERT_TRUE(ProfileWriteString("Recall", "Recall1", "MetOp", path));
    ASSERT_TRUE(ProfileWriteString("ComPort", "port", "COM2", path));
    EXPECT_EQ(ReadFileBytes(path), "[ComPort]\nPort=COM2\nBaudRate=9600\n[Recall]\nRecall1=MetOp\n");
    EXPECT_EQ(Read("COMPORT", "PORT"), "COM2");
    EXPECT_EQ(dir.EntryCount(), 1u); // no temporary file left
}

TEST_F(ProfileFile, HandEditedFileKeepsEveryOtherLineByteForByte)
{
    const std::string head = "; Varnetrix settings\r\n"
                             "[FREQUENCY]\r\n"
                             "metopa = 137.9 \r\n"
                             "\r\n"
                             "[comport]\r\n"
                             "port=COM3\r\n"
                             ";BaudRate=4800\r\n";
    const std::string tail = "\r\n[Other]\r\nbinary=\x01\xff\x7f\r\n";
    WriteFileBytes(path, head + tail);

    ASSERT_TRUE(ProfileWriteString("ComPort", "Port", "COM1", path));
    ASSERT_TRUE(ProfileWriteString("ComPort", "BaudRate", "9600", path));
    ASSERT_TRUE(ProfileWriteString("Recall", "Recall1", "MetOp", path));

    EXPECT_EQ(ReadFileBytes(path), "; Varnetrix settings\r\n"
                                   "[FREQUENCY]\r\n"
                                   "metopa = 137.9 \r\n"
                                   "\r\n"
                                   "[comport]\r\n"
                                   "port=COM1\r\n"
                                   "BaudRate=9600\r\n"
                                   ";BaudRate=4800\r\n" +
                                       tail + "[Recall]\r\nRecall1=MetOp\r\n");
    EXPECT_EQ(Read("Frequency", "MetopA"), "137.9");
}

TEST_F(ProfileFile, EmptyValueAndLongValue)
{
    const std::string longValue(3000, 'v');
    WriteFileBytes(path, "[S]\nempty=\nlong=" + longValue + "x\n");
    EXPECT_EQ(Read("S", "empty"), "");
    EXPECT_EQ(Read("S", "long"), longValue.substr(0, 2047));
    EXPECT_EQ(Read("S", "missing", longValue), longValue.substr(0, 2047)); // the default too
}

TEST_F(ProfileFile, WriteKeepsTheFileModeAndGoesThroughASymlink)
{
    WriteFileBytes(path, "[S]\nk=1\n");
    fs::permissions(path, fs::perms(0640));
    const std::string link = dir.File("link.ini");
    fs::create_symlink(path, link);

    ASSERT_TRUE(ProfileWriteString("S", "k", "2", link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(path), "[S]\nk=2\n");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_EQ(ProfileReadString("S", "k", "", link), "2");
}

TEST_F(ProfileFile, UnusablePathsReadDefaultsAndRefuseWrites)
{
    fs::create_directory(dir.File("a-directory"));
    fs::create_symlink(dir.File("nowhere"), dir.File("dangling.ini"));
    const std::string paths[] = {
        dir.File("a-directory"),               // the settings path is a directory
        dir.File("dangling.ini"),              // a link to nothing: we do not create its target
        dir.File("no-such-dir/varnetrixreader.ini"),
        dir.File("a-directory/") ,
        "",
    };
    for (const std::string& p : paths) {
        EXPECT_EQ(ProfileReadString("S", "k", "def", p), "def") << p;
        EXPECT_FALSE(ProfileWriteString("S", "k", "v", p)) << p;
    }
    EXPECT_FALSE(fs::exists(dir.File("nowhere")));
    EXPECT_EQ(dir.EntryCount(), 2u);
}

TEST_F(ProfileFile, RefusedEntryLeavesFileAlone)
{
    WriteFileBytes(path, "[S]\nk=1\n");
    EXPECT_FALSE(ProfileWriteString("S", "k", "2\n[Injected]\nx=y", path));
    EXPECT_FALSE(ProfileWriteString("S", "a=b", "2", path));
    EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");
}

TEST_F(ProfileFile, OversizedFileIsNotTakenForSettings)
{
    // Sparse: large without costing the disk.
    {
        std::ofstream out(path, std::ios::binary);
        out << "[S]\nk=1\n";
    }
    fs::resize_file(path, 100u * 1024 * 1024);
    EXPECT_EQ(Read("S", "k"), "<default>");
    EXPECT_FALSE(ProfileWriteString("S", "k", "2", path));
    EXPECT_EQ(fs::file_size(path), 100u * 1024 * 1024);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST_F(ProfileFile, LongLinesAndBinaryGarbageSurviveAWrite)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 131 + 7) % 256);
    const std::string before = "[S]\nhuge=" + std::string(1024 * 1024, 'h') + "\n" + garbage + "\n";
    WriteFileBytes(path, before);

    EXPECT_EQ(Read("S", "huge").size(), 2047u);
    ASSERT_TRUE(ProfileWriteString("T", "k", "v", path));
    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(Read("T", "k"), "v");
}

bool FailWhileWriting(ProfileWriteStep step) { return step != ProfileWriteStep::Writing; }
bool FailBeforeRename(ProfileWriteStep step) { return step != ProfileWriteStep::BeforeRename; }

TEST_F(ProfileFile, InterruptedWriteLeavesOldFileWholeAndNoTemporary)
{
    const std::string before = "; keep\r\n[ComPort]\r\nPort=COM3\r\n" + std::string(10000, ';') + "\r\n";
    for (ProfileWriteHook hook : {&FailWhileWriting, &FailBeforeRename}) {
        WriteFileBytes(path, before);
        SetProfileWriteHook(hook);
        EXPECT_FALSE(ProfileWriteString("ComPort", "Port", "COM1", path));
        EXPECT_FALSE(ProfileWriteString("New", "k", "v", dir.File("new.ini")));
        SetProfileWriteHook(nullptr);
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(dir.EntryCount(), 1u) << "a temporary file or the new file stayed behind";
    }
}

TEST_F(ProfileFile, ReadOnlyFileIsRefused)
{
    // No write bit for anyone: refused for every user, the superuser included.
    WriteFileBytes(path, "[S]\nk=1\n");
    fs::permissions(path, fs::perms(0444));
    EXPECT_FALSE(ProfileWriteString("S", "k", "2", path));
    EXPECT_FALSE(ProfileWriteString("T", "k", "2", path));
    EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");
    EXPECT_EQ(dir.EntryCount(), 1u);
    EXPECT_EQ(Read("S", "k"), "1"); // still readable
}

TEST_F(ProfileFile, FileAndDirectoryThisUserMayNotWriteAreRefused)
{
    // The superuser passes every permission check: this runs as a normal user.
    WriteFileBytes(path, "[S]\nk=1\n");
    ASSERT_TRUE(GiveToUnprivilegedUser(dir.Path().string()));
    RunUnprivileged([&] {
        fs::permissions(path, fs::perms(0466)); // others may write, this user (the owner) may not
        EXPECT_FALSE(ProfileWriteString("S", "k", "2", path));
        EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");

        fs::permissions(path, fs::perms(0644));
        fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(ProfileWriteString("S", "k", "2", path));
        EXPECT_FALSE(ProfileWriteString("S", "k", "2", dir.File("new.ini")));
        fs::permissions(dir.Path(), fs::perms::owner_all);
        EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");
        EXPECT_EQ(dir.EntryCount(), 1u);

        // With its rights back the same user writes: the refusals were the permissions'.
        EXPECT_TRUE(ProfileWriteString("S", "k", "2", path));
        EXPECT_EQ(Read("S", "k"), "2");
    });
}

} // namespace
