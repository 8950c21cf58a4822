#pragma once
// The program run through its entry, as started: helpers for the test
// programs that drive it from a Q_COREAPP_STARTUP_FUNCTION.
#include "app/ui/app_main.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <filesystem>
#include <string>
#include <vector>

// Nothing may wait for an operator: every message box that comes up is noted
// in texts and closed, looking every intervalMs. Call once the application exists.
inline void NoteAndCloseBoxes(std::vector<std::string>& texts, int intervalMs = 50)
{
    auto* watch = new QTimer(QCoreApplication::instance());
    QObject::connect(watch, &QTimer::timeout, [&texts] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts.push_back(box->text().toStdString());
            box->close();
        }
    });
    watch->start(intervalMs);
}

// Runs the program with dir as its working directory; returns its exit code.
inline int RunProgramIn(const std::filesystem::path& dir)
{
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    char name[] = "varnetrix-reader";
    const int code = RunVarnetrixReader(name);
    std::filesystem::current_path(old);
    return code;
}
