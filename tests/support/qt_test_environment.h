#pragma once
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

// One QApplication for a test program, created before its first test and
// destroyed after the last one, before the exit handlers run: the leak
// check then finds the font database released, and Qt's own statics are
// not torn down under a live application.
class QtTestEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "qt_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            app_ = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

// For test programs that make the application at first use instead: it is
// destroyed when the tests end, not by the exit handlers (which run after
// Qt's own statics are gone).
inline QApplication& TestApp()
{
    static QApplication* app = [] {
        static int argc = 1;
        static char name[] = "qt_test";
        static char* argv[] = {name, nullptr};
        struct Teardown : ::testing::Environment {
            void TearDown() override { delete QCoreApplication::instance(); }
        };
        ::testing::AddGlobalTestEnvironment(new Teardown);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Include once per test program, at namespace scope:
//   VR_QT_TEST_ENVIRONMENT();
#define VR_QT_TEST_ENVIRONMENT()                                                                 \
    [[maybe_unused]] ::testing::Environment* const vrQtTestEnvironment =                        \
        ::testing::AddGlobalTestEnvironment(new QtTestEnvironment)

// Runs the event loop until done() holds or timeoutMs of real time passed.
// The loop sleeps between events; a 5 ms timer wakes it to look at done().
inline bool ProcessUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
