// The system asks the program to end with SIGTERM (a service manager's stop,
// a shutdown): it ends like a closed window, settings written, exit code 0,
// and with nobody there it opens no box, not even when the close fails.
#include "program_run.h"
#include "temp_dir.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> boxes;

void SignalSoon()
{
    QTimer::singleShot(300, [] { std::raise(SIGTERM); });
    NoteAndCloseBoxes(boxes, 20);
}
Q_COREAPP_STARTUP_FUNCTION(SignalSoon)

TEST(StopSignal, EndsLikeAClosedWindowAndWritesTheSettings)
{
    TempDir dir;
    boxes.clear();
    EXPECT_EQ(RunProgramIn(dir.Path()), 0);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    const std::string ini = ReadFileBytes(dir.File("varnetrixreader.ini"));
    EXPECT_NE(ini.find("Recall1=MetOp"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Port=COM1"), std::string::npos) << ini;
    // The handler is gone with the program: the default action is back.
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(StopSignal, ASettingsFileThatCannotBeWrittenOpensNoBoxAndTheProgramStillEnds)
{
    TempDir dir;
    boxes.clear();
    // A folder where the file should be: refused whoever runs the test.
    std::filesystem::create_directory(dir.Path() / "varnetrixreader.ini");
    EXPECT_EQ(RunProgramIn(dir.Path()), 0);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

} // namespace
