#include "qt_test_environment.h"
#include "platform/sync_call.h"
#include "platform/ui/guard.h"
#include "platform/ui/qt_messages.h"
#include "platform/ui/sync_wakeup.h"
#include "recorded_messages.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

int VisibleMessageBoxes()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible())
            ++n;
    return n;
}

// --- handler guard -------------------------------------------------------------

struct GuardCase {
    const char* what;
    std::function<void()> handler;
    bool completes;
    std::vector<std::string> errors;
};

TEST(HandlerGuard, ShowsWhatEscapesAndReportsWhetherTheHandlerCompleted)
{
    const GuardCase cases[] = {
        {"no error", [] {}, true, {}},
        {"standard error", [] { throw std::runtime_error("Unable to open com port (Error: 2)"); }, false,
         {"Unable to open com port (Error: 2)"}},
        {"error without a message", [] { throw 42; }, false, {""}},
    };
    for (const GuardCase& c : cases) {
        RecordedMessages boxes;
        EXPECT_EQ(RunGuarded(c.handler), c.completes) << c.what;
        EXPECT_EQ(boxes.errors, c.errors) << c.what;
        EXPECT_TRUE(boxes.messages.empty()) << c.what;
    }
}

TEST(HandlerGuard, KeepsAnErrorOfAConnectedHandlerOutOfQtAndTheButtonWorksOn)
{
    TestApp();
    RecordedMessages boxes;
    QPushButton button;
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, &button, Guard([&] {
        ++clicks;
        throw std::runtime_error("Port Not Open");
    }));
    button.click();
    button.click();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(boxes.errors, (std::vector<std::string>{"Port Not Open", "Port Not Open"}));
}

// --- message boxes ---------------------------------------------------------------

// Records each box; `during` runs while the first box is "open", as a timer
// tick inside the modal loop would.
struct BoxLog {
    struct Shown {
        QtMessageSink::Box box;
        std::string caption;
        std::string text;
        bool operator==(const Shown&) const = default;
    };
    std::vector<Shown> shown;
    std::function<void()> during;
    QtMessageSink::BoxRunner Runner()
    {
        return [this](QtMessageSink::Box box, const std::string& caption, const std::string& text) {
            shown.push_back({box, caption, text});
            if (auto f = std::exchange(during, nullptr))
                f();
        };
    }
};

using Box = QtMessageSink::Box;
const std::string kTitle = "Varnetrix Reader v. 0.4.3";

TEST(QtMessageSink, ShowsMessagesAndErrorsWithTheApplicationTitle)
{
    BoxLog log;
    QtMessageSink sink(kTitle, log.Runner());
    sink.ShowMessage("First, open Com Port please !");
    sink.ShowError("Failed to load settings");
    EXPECT_EQ(log.shown, (std::vector<BoxLog::Shown>{{Box::Plain, kTitle, "First, open Com Port please !"},
                                                     {Box::Critical, kTitle, "Failed to load settings"}}));
}

TEST(QtMessageSink, OpensOneErrorBoxAtATimeAndLosesNoDistinctError)
{
    BoxLog log;
    QtMessageSink sink(kTitle, log.Runner());
    // While the first box is open a repeating source fails again and again,
    // and one other error comes up twice.
    log.during = [&] {
        for (int tick = 0; tick < 5; ++tick)
            sink.ShowError("'' is not a valid floating point value");
        sink.ShowError("Port Not Open");
        sink.ShowError("Port Not Open");
    };
    sink.ShowError("'' is not a valid floating point value");
    EXPECT_EQ(log.shown, (std::vector<BoxLog::Shown>{{Box::Critical, kTitle, "'' is not a valid floating point value"},
                                                     {Box::Critical, kTitle, "Port Not Open"}}));

    // Once the operator has closed the box, the same error is shown again.
    sink.ShowError("Port Not Open");
    EXPECT_EQ(log.shown.size(), 3u);
}

TEST(QtMessageSink, KeepsABoundedNumberOfWaitingErrors)
{
    BoxLog log;
    QtMessageSink sink(kTitle, log.Runner());
    log.during = [&] {
        for (int i = 0; i < 100; ++i)
            sink.ShowError("error " + std::to_string(i));
    };
    sink.ShowError("first");
    ASSERT_EQ(log.shown.size(), 1 + QtMessageSink::kMaxWaitingErrors);
    EXPECT_EQ(log.shown[1].text, "error 0");
    EXPECT_EQ(log.shown.back().text, "error " + std::to_string(QtMessageSink::kMaxWaitingErrors - 1));
}

TEST(QtMessageSink, TwoFailingTimersUnderRealErrorBoxesNeverStackThem)
{
    TestApp();
    // Qt does not re-enter a timer whose handler is still in its box, but
    // another timer keeps ticking inside that box.
    std::vector<std::string> shown;
    QtMessageSink sink(kTitle, [&](Box box, const std::string& caption, const std::string& text) {
        shown.push_back(text);
        QtMessageSink::RunQMessageBox(box, caption, text);
    });
    InstallMessages(&sink);

    int ticks = 0;
    int mostBoxes = 0;
    QTimer pollTimer, scanTimer;
    for (auto [timer, text] : {std::pair{&pollTimer, "WriteFile function failed (Error: 5)"},
                               std::pair{&scanTimer, "'' is not a valid floating point value"}}) {
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, Guard([&, message = std::string(text)] {
            ++ticks;
            throw std::runtime_error(message);
        }));
        timer->start();
    }
    QTimer observer;  // counts the boxes on screen throughout
    QObject::connect(&observer, &QTimer::timeout, [&] { mostBoxes = std::max(mostBoxes, VisibleMessageBoxes()); });
    observer.start(2);
    int ticksAtClose = 0;
    auto closeBox = [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    };
    QTimer::singleShot(300, [&] {
        ticksAtClose = ticks;
        pollTimer.stop();
        scanTimer.stop();
        closeBox();
    });
    QTimer::singleShot(450, closeBox);  // the waiting error's box
    QEventLoop loop;
    QTimer::singleShot(600, &loop, &QEventLoop::quit);
    loop.exec();
    InstallMessages(nullptr);

    EXPECT_GT(ticksAtClose, 3) << "a timer kept ticking inside the box";
    EXPECT_EQ(mostBoxes, 1);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(VisibleMessageBoxes(), 0);
}

TEST(QtMessageSink, RealBoxesShowTheirTextTitleOneOkButtonAndOnlyTheErrorAnIcon)
{
    TestApp();
    struct Case {
        Box box;
        QMessageBox::Icon icon;
    };
    for (const Case& c : {Case{Box::Plain, QMessageBox::NoIcon}, Case{Box::Critical, QMessageBox::Critical}}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!shown)
                return;
            seen = true;
            EXPECT_EQ(shown->icon(), c.icon);
            EXPECT_EQ(shown->windowTitle().toStdString(), kTitle);
            EXPECT_EQ(shown->text(), QStringLiteral("Varnetrix Reader v.0.4.3 Jul 2019"));
            EXPECT_EQ(shown->standardButtons(), QMessageBox::Ok);
            shown->accept();
        });
        QtMessageSink::RunQMessageBox(c.box, kTitle, "Varnetrix Reader v.0.4.3 Jul 2019");
        EXPECT_TRUE(seen);
    }
}

// --- wake-up of the synchronised call -------------------------------------------

TEST(SyncWakeUp, RunsAHandOverOnTheUserInterfaceThreadAlsoInsideAMessageBox)
{
    TestApp();
    SyncWakeUp wakeUp;
    QtMessageSink sink(kTitle);
    const std::thread::id uiThread = std::this_thread::get_id();

    std::atomic<bool> ranOnUi{false};
    std::atomic<int> boxesSeen{-1};
    std::thread worker;
    // Once the error box is open, a worker hands over a call; the call runs
    // in the box's modal loop and closes the box.
    QTimer::singleShot(50, [&] {
        worker = std::thread([&] {
            Synchronize([&] {
                ranOnUi = std::this_thread::get_id() == uiThread;
                boxesSeen = VisibleMessageBoxes();
                if (QWidget* box = QApplication::activeModalWidget())
                    box->close();
            });
        });
    });
    QTimer guardTimer;  // ends the test instead of hanging if nothing closes the box
    guardTimer.setSingleShot(true);
    QObject::connect(&guardTimer, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    guardTimer.start(5000);
    sink.ShowError("box that the hand-over closes");
    guardTimer.stop();
    worker.join();

    EXPECT_TRUE(ranOnUi);
    EXPECT_EQ(boxesSeen, 1);
    EXPECT_GE(wakeUp.Deliveries(), 1);
}

TEST(SyncWakeUp, AnErrorOfAHandOverGoesBackToTheWorker)
{
    TestApp();
    SyncWakeUp wakeUp;
    std::string caught;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            Synchronize([] { throw std::runtime_error("ReadFile function failed (Error: 5)"); });
        } catch (const std::exception& e) {
            caught = e.what();
        }
        done = true;
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done)
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    worker.join();
    EXPECT_EQ(caught, "ReadFile function failed (Error: 5)");
}

} // namespace
