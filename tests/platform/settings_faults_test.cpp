// The settings file under faults, through the objects the program uses at
// start and close: TIniFile, the recall captions and the port settings. A
// write that fails part-way leaves the file whole (the old one, or the one
// before that write); a settings path that is no usable file gives the
// defaults on reading and a clear refusal on writing, and is never touched.
#include "fake_serial_device.h"
#include "platform/ini_file.h"
#include "platform/profile.h"
#include "presets/recall.h"
#include "serial/comport.h"
#include "serial/ecomport.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const RecallCaptions kDefaults{"MetOp", "FY3A", "FY3B", "LRIT", "Conf.5"};
const RecallCaptions kOperatorCaptions{"NOAA-19", "FY3C", "Meteor", "LRIT", "Spare"};

// The disk filling up at the n-th write: from then on every write fails at
// the given step, as a refused system call would.
struct DiskFull {
    static inline int writesLeft = 0;
    static inline ProfileWriteStep failingStep = ProfileWriteStep::Writing;
    static bool Hook(ProfileWriteStep step)
    {
        if (step != failingStep)
            return true;
        return writesLeft-- > 0;
    }
};

class SettingsFaults : public testing::Test {
protected:
    void TearDown() override { SetProfileWriteHook(nullptr); }

    // What the main window does at close: the captions, then the port settings.
    void CloseSequence(TIniFile& ini, const RecallCaptions& captions)
    {
        WriteRecallCaptions(ini, captions);
        port.StoreSettings(stIniFile, ini.FileName());
    }

    TempDir dir;
    std::string path = dir.File("varnetrixreader.ini");
    std::shared_ptr<FakeSerialDevice> fake = std::make_shared<FakeSerialDevice>();
    TComPort port{"ComPort", fake->Share()};
};

TEST_F(SettingsFaults, DiskFillingUpDuringTheCloseWritesKeepsEveryCompletedWriteAndTheRestWhole)
{
    const std::string before = "; hand-edited\r\n[Frequency]\r\nMetopA=137.1\r\n[Recall]\r\nRecall1=Old\r\n";
    for (ProfileWriteStep step : {ProfileWriteStep::Writing, ProfileWriteStep::BeforeRename}) {
        // Failing at the first write, at the last caption, at the first port key.
        for (int completed : {0, 4, 5}) {
            SCOPED_TRACE("writes completed " + std::to_string(completed) +
                         (step == ProfileWriteStep::Writing ? ", fails while writing" : ", fails before rename"));
            WriteFileBytes(path, before);
            TIniFile ini(path);
            DiskFull::writesLeft = completed;
            DiskFull::failingStep = step;
            SetProfileWriteHook(&DiskFull::Hook);
            if (completed < 5) {
                try {
                    CloseSequence(ini, kOperatorCaptions);
                    ADD_FAILURE() << "the full disk went unnoticed";
                } catch (const EIniFileException& e) {
                    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
                }
            } else {
                try {
                    CloseSequence(ini, kOperatorCaptions);
                    ADD_FAILURE() << "the full disk went unnoticed";
                } catch (const EComPort& e) {
                    EXPECT_EQ(std::string(e.what()), "Failed to store settings");
                }
            }
            SetProfileWriteHook(nullptr);

            // The file is what the completed writes made of it, nothing half-done.
            EXPECT_EQ(dir.EntryCount(), 1u) << "a temporary file stayed behind";
            const std::string after = ReadFileBytes(path);
            EXPECT_EQ(after.rfind("; hand-edited\r\n[Frequency]\r\nMetopA=137.1\r\n[Recall]\r\n", 0), 0u) << after;
            RecallCaptions expected{"Old", "FY3A", "FY3B", "LRIT", "Conf.5"};
            for (int i = 0; i < completed && i < 5; ++i)
                expected[static_cast<std::size_t>(i)] = kOperatorCaptions[static_cast<std::size_t>(i)];
            EXPECT_EQ(ReadRecallCaptions(ini), expected);
            EXPECT_EQ(ini.ReadValue("ComPort", "Port", "<none>"), "<none>");
            if (completed == 0) {
                EXPECT_EQ(after, before);
            }
        }
    }
}

TEST_F(SettingsFaults, FileSizeLimitRefusesTheWriteAsTheSystemWould)
{
    // A real refusal by the kernel, not the hook: writes past the limit fail
    // with EFBIG (the signal that would end the process is ignored meanwhile).
    const std::string before = "[Recall]\nRecall1=" + std::string(8000, 'a') + "\n";
    WriteFileBytes(path, before);
    TIniFile ini(path);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool refused = false;
    std::string message;
    try {
        ini.WriteValue("Recall", "Recall2", "NOAA");
    } catch (const EIniFileException& e) {
        refused = true;
        message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(refused);
    EXPECT_EQ(message, "Unable to write to " + path);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

struct OddPath {
    const char* name;
    std::function<void(const TempDir&, const std::string&)> make;
    RecallCaptions captions;  // what ReadRecallCaptions gives
    std::string port;         // the port name LoadSettings leaves
    bool writable;            // the close writes go through
    std::string kept;         // bytes a successful write must leave as they were
};

// The first n bytes of a file, without reading all of a huge one.
std::string Head(const std::string& path, std::size_t n)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(n, '\0');
    in.read(head.data(), static_cast<std::streamsize>(n));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

std::string Garbage()
{
    std::string g;
    std::uint32_t x = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        x = x * 1103515245u + 12345u;
        g += static_cast<char>(x >> 24);
    }
    return g;
}

TEST_F(SettingsFaults, SettingsPathThatIsNoUsableFileGivesDefaultsAndIsNeverDamaged)
{
    const std::string megaLine(1024 * 1024, 'x');
    const OddPath cases[] = {
        {"a directory", [](const TempDir&, const std::string& p) { fs::create_directory(p); }, kDefaults, "COM1",
         false, ""},
        {"a dangling symbolic link",
         [](const TempDir& d, const std::string& p) { fs::create_symlink(d.File("gone.ini"), p); }, kDefaults,
         "COM1", false, ""},
        {"a named pipe nobody writes to", // an open that waits for a writer would hang the start
         [](const TempDir&, const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, kDefaults, "COM1",
         false, ""},
        {"a sparse file of 100 MB",
         [](const TempDir&, const std::string& p) {
             WriteFileBytes(p, "[Recall]\nRecall1=Big\n[ComPort]\nPort=COM4\n");
             ASSERT_EQ(::truncate(p.c_str(), 100LL * 1024 * 1024), 0);
         },
         kDefaults, "COM1", false, ""},
        {"binary garbage around the sections",
         [](const TempDir&, const std::string& p) {
             WriteFileBytes(p, Garbage() + "\n[Recall]\nRecall2=NOAA\n[ComPort]\nPort=COM7\n" + Garbage());
         },
         {"MetOp", "NOAA", "FY3B", "LRIT", "Conf.5"}, "COM7", true, Garbage()},
        {"a line of 1 MB",
         [&](const TempDir&, const std::string& p) {
             WriteFileBytes(p, "[Recall]\nRecall1=" + megaLine + "\nRecall3=LRIT-2\n[ComPort]\nPort=COM2\n");
         },
         {std::string(2047, 'x'), "FY3A", "LRIT-2", "LRIT", "Conf.5"}, "COM2", true, "\nRecall3="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir where;
        const std::string p = where.File("varnetrixreader.ini");
        c.make(where, p);
        const std::string headBefore = fs::is_regular_file(p) ? Head(p, 64) : "";
        const std::size_t entriesBefore = where.EntryCount();
        const fs::file_type typeBefore = fs::symlink_status(p).type();

        // Start-up: the port settings and the captions.
        TComPort startPort{"ComPort", std::make_shared<FakeSerialDevice>()->Share()};
        EXPECT_NO_THROW(startPort.LoadSettings(stIniFile, p));
        EXPECT_EQ(startPort.Port(), c.port);
        EXPECT_EQ(startPort.BaudRate(), br9600);
        TIniFile ini(p);
        EXPECT_EQ(ReadRecallCaptions(ini), c.captions);

        // Close: the captions, then the port settings.
        if (c.writable) {
            WriteRecallCaptions(ini, kOperatorCaptions);
            startPort.StoreSettings(stIniFile, p);
            EXPECT_EQ(ReadRecallCaptions(ini), kOperatorCaptions);
            TComPort again{"ComPort", std::make_shared<FakeSerialDevice>()->Share()};
            again.LoadSettings(stIniFile, p);
            EXPECT_EQ(again.Port(), c.port);
            // The lines the program did not write are still there byte for byte.
            const std::string after = ReadFileBytes(p);
            EXPECT_NE(after.find(c.kept), std::string::npos);
            EXPECT_LT(after.size(), 3u * 64 * 1024) << "the long value was replaced, not kept beside";
        } else {
            try {
                WriteRecallCaptions(ini, kOperatorCaptions);
                ADD_FAILURE() << "written";
            } catch (const EIniFileException& e) {
                EXPECT_EQ(std::string(e.what()), "Unable to write to " + p);
            }
            try {
                startPort.StoreSettings(stIniFile, p);
                ADD_FAILURE() << "stored";
            } catch (const EComPort& e) {
                EXPECT_EQ(std::string(e.what()), "Failed to store settings");
            }
            EXPECT_EQ(where.EntryCount(), entriesBefore) << "nothing created beside it";
            EXPECT_EQ(fs::symlink_status(p).type(), typeBefore) << "replaced by something else";
            if (fs::is_regular_file(p)) {
                EXPECT_EQ(fs::file_size(p), 100u * 1024 * 1024);
                EXPECT_EQ(Head(p, 64), headBefore);
            }
            EXPECT_FALSE(fs::exists(where.File("gone.ini"))) << "the link's target was created";
        }
    }
}

} // namespace
