// The program as started: its entry runs the event loop with the three
// windows; closing the main window writes the settings file of the working
// directory and ends the program with exit code 0.
#include "program_run.h"
#include "temp_dir.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Seen {
    std::vector<std::string> visible;  // object names of the visible windows
    std::vector<std::string> hidden;
    std::vector<std::string> boxes;    // texts of message boxes that came up
    bool ran = false;
} seen;

// Runs inside the program once its event loop turns: looks at the windows,
// then closes the main window as the operator would.
void LookThenClose()
{
    QTimer::singleShot(300, [] {
        seen.ran = true;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName().isEmpty())
                continue;
            (w->isVisible() ? seen.visible : seen.hidden).push_back(w->objectName().toStdString());
        }
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("Form1"))
                w->close();
    });
    NoteAndCloseBoxes(seen.boxes);
}
Q_COREAPP_STARTUP_FUNCTION(LookThenClose)

TEST(Startup, ShowsTheMainWindowOnlyAndWritesTheSettingsFileAtClose)
{
    TempDir dir;
    const int code = RunProgramIn(dir.Path());

    EXPECT_EQ(code, 0);
    ASSERT_TRUE(seen.ran);
    EXPECT_EQ(seen.visible, std::vector<std::string>{"Form1"});
    auto hidden = [](const char* name) {
        return std::find(seen.hidden.begin(), seen.hidden.end(), name) != seen.hidden.end();
    };
    EXPECT_TRUE(hidden("Form2"));
    EXPECT_TRUE(hidden("Form3"));
    EXPECT_TRUE(seen.boxes.empty()) << seen.boxes.front();
    const std::string ini = ReadFileBytes(dir.File("varnetrixreader.ini"));
    EXPECT_NE(ini.find("Recall5=Conf.5"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Port=COM1"), std::string::npos) << ini;
}

} // namespace
