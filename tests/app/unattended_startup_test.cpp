// The program as started keeps its station log: the start, an error shown to
// the operator and the end, in the working directory's logs folder.
#include "app/ui/dblclick_label.h"
#include "program_run.h"
#include "temp_dir.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> boxes;

QWidget* MainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("Form1"))
            return w;
    return nullptr;
}

// Inside the program once its loop turns: the operator double-clicks the
// offset before any reply ("Hz" is no number: an error box), then closes
// the main window. Every box is noted and closed.
void ErrThenClose()
{
    QTimer::singleShot(300, [] {
        if (QWidget* form = MainWindow())
            if (auto* label = form->findChild<TDblClickLabel*>(QStringLiteral("Label8")))
                QTest::mouseDClick(label, Qt::LeftButton);
    });
    QTimer::singleShot(600, [] {
        if (QWidget* form = MainWindow())
            form->close();
    });
    NoteAndCloseBoxes(boxes);
}
Q_COREAPP_STARTUP_FUNCTION(ErrThenClose)

TEST(UnattendedStartup, TheStationLogHoldsTheStartTheErrorShownAndTheEnd)
{
    TempDir dir;
    EXPECT_EQ(RunProgramIn(dir.Path()), 0);

    EXPECT_EQ(boxes, std::vector<std::string>{"'Hz' is not a valid floating point value"});
    std::vector<std::string> lines;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path() / "logs")) {
        EXPECT_TRUE(std::regex_match(e.path().filename().string(), std::regex(R"(events-\d{4}-\d\d-\d\d\.log)")))
            << e.path();
        std::istringstream in(ReadFileBytes(e.path().string()));
        for (std::string line; std::getline(in, line);)
            lines.push_back(std::regex_replace(line, std::regex(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )"), "T "));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"T program-start Varnetrix Reader v. 0.4.3",
                                               "T error 'Hz' is not a valid floating point value", "T program-end"}));
}

} // namespace
