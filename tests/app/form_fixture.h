#pragma once
// A main window on a fake serial device, in a fresh working directory, with
// virtual time and recorded message boxes.
#include "app/ui/form1.h"
#include "fake_serial_device.h"
#include "platform/ini_file.h"
#include "platform/ui/sync_wakeup.h"
#include "platform/workdir.h"
#include "qt_test_environment.h"
#include "recorded_messages.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QApplication>
#include <QPushButton>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

// Makes a directory the working directory for its lifetime.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& dir) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

inline std::string Latin1(const QString& s) { return s.toLatin1().toStdString(); }

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        wakeUp_.emplace();
        settings_.emplace(SettingsFilePath());
    }
    void TearDown() override
    {
        form_.reset();
        wakeUp_.reset();
    }

    // Settings file content to start with (before MakeForm).
    void WriteSettings(const std::string& text) { WriteFileBytes(SettingsPath(), text); }
    std::string SettingsPath() const { return dir_.File("varnetrixreader.ini"); }

    TForm1& MakeForm()
    {
        form_ = std::make_unique<TForm1>(*settings_, fake_->Share());
        return *form_;
    }
    TForm1& Form() { return *form_; }

    void OpenPort()
    {
        if (!form_)
            MakeForm();
        form_->SpeedButton1->click();
        ASSERT_TRUE(form_->ComPort.Connected());
        ASSERT_TRUE(fake_->WaitUntilIdle());
    }

    // Injects bytes and waits until the receive handler has taken them.
    void Receive(const std::string& bytes)
    {
        fake_->Receive(bytes);
        ASSERT_TRUE(ProcessUntil([&] { return fake_->PendingInput().empty() && fake_->WaitUntilIdle(0); }));
        QCoreApplication::processEvents();
    }

    // The far end hangs up. Returns once the event thread has seen the line
    // go (its notice is then still queued behind the test); the next write
    // fails as on a gone line.
    void LoseTheLine()
    {
        fake_->HangUp();
        for (int i = 0; i < 500 && !form_->ComPort.LineLost(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(form_->ComPort.LineLost());
        fake_->FailNext("Write", 5, -1);
    }
    // The one error box a lost line gives.
    std::string LineLostError() const
    {
        return "The serial line on " + form_->ComPort.Port() +
               " was lost (the device went away or hung up). The port has been closed.";
    }

    TempDir dir_;
    WorkingDirectory cwd_{dir_.Path()};
    VirtualClock clock_;
    RecordedMessages boxes_;
    std::shared_ptr<FakeSerialDevice> fake_ = std::make_shared<FakeSerialDevice>();
    std::optional<SyncWakeUp> wakeUp_;
    std::optional<TIniFile> settings_;
    std::unique_ptr<TForm1> form_;
};
