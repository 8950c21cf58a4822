// The port setup dialog: its lists, and what OK, Cancel and failures do to
// the port, with the port on the fake serial device.
#include "fake_serial_device.h"
#include "serial/comport.h"
#include "serial/ecomport.h"
#include "serial/ui/com_setup.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// The application object lives from the first test to the end of the run.
// It goes before the process exits: destroyed from an exit handler it would
// delete QtTest's input devices a second time.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    static QApplication& App()
    {
        static int argc = 1;
        static char name[] = "setup_dialog_test";
        static char* argv[] = {name, nullptr};
        if (!app_)
            app_ = new QApplication(argc, argv);
        return *app_;
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    static inline QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

QApplication& App() { return QtApplicationEnvironment::App(); }

std::vector<std::string> Entries(const QComboBox* c)
{
    std::vector<std::string> out;
    for (int i = 0; i < c->count(); ++i)
        out.push_back(c->itemText(i).toStdString());
    return out;
}

// Picks an entry as the operator does, with the arrow keys.
void Pick(TComComboBox* combo, const std::string& text)
{
    const int target = combo->findText(QString::fromStdString(text));
    ASSERT_GE(target, 0) << text;
    for (int guard = 0; combo->currentIndex() != target && guard < 64; ++guard)
        QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(combo->currentIndex(), target) << text;
}

int Count(const std::vector<std::string>& calls, const std::string& prefix)
{
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

// The next widget the Tab key reaches (the focus chain also holds widgets
// that take no focus from the keyboard).
QWidget* NextTabStop(QWidget* w)
{
    for (QWidget* n = w->nextInFocusChain(); n != w; n = n->nextInFocusChain())
        if ((n->focusPolicy() & Qt::TabFocus) == Qt::TabFocus)
            return n;
    return nullptr;
}

int SetupDialogsAlive()
{
    int n = 0;
    for (QWidget* w : QApplication::allWidgets())
        n += dynamic_cast<TComSetupFrm*>(w) != nullptr;
    return n;
}

class SetupDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        SetPortEnumerator([] { return std::vector<std::string>{"COM2", "COM10", "COM1"}; });
    }
    void TearDown() override
    {
        SetPortEnumerator({});
        SetSetupDialogRunner({});
        SetEditComPortFunction({});
    }

    // Runs EditComPort; `operate` plays the operator and returns the result.
    void Edit(std::function<int(TComSetupFrm&)> operate)
    {
        SetSetupDialogRunner(std::move(operate));
        EditComPort(port);
    }

    void OpenPort()
    {
        port.Open();
        fake->ClearCalls();
    }

    std::shared_ptr<FakeSerialDevice> fake = std::make_shared<FakeSerialDevice>();
    TComPort port{"ComPort", fake->Share()};
};

TEST_F(SetupDialog, ListsShowThePortsSortedAndTheCurrentValues)
{
    std::vector<std::vector<std::string>> entries;
    std::vector<std::string> shown;
    Edit([&](TComSetupFrm& d) {
        for (int n = 1; n <= 6; ++n) {
            entries.push_back(Entries(d.Combo(n)));
            shown.push_back(d.Combo(n)->currentText().toStdString());
        }
        return int(QDialog::Rejected);
    });
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0], (std::vector<std::string>{"COM1", "COM10", "COM2"}));
    EXPECT_EQ(entries[1], (std::vector<std::string>{"Custom", "110", "300", "600", "1200", "2400", "4800", "9600",
                                                    "14400", "19200", "38400", "56000", "57600", "115200", "128000",
                                                    "256000"}));
    EXPECT_EQ(entries[2], (std::vector<std::string>{"5", "6", "7", "8"}));
    EXPECT_EQ(entries[3], (std::vector<std::string>{"1", "1.5", "2"}));
    EXPECT_EQ(entries[4], (std::vector<std::string>{"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(entries[5], (std::vector<std::string>{"Hardware", "Software", "None", "Custom"}));
    EXPECT_EQ(shown, (std::vector<std::string>{"COM1", "9600", "8", "1", "None", "None"}));
    EXPECT_EQ(SetupDialogsAlive(), 0);
}

TEST_F(SetupDialog, HasItsCaptionsPlacesAndTabOrder)
{
    TComSetupFrm d;
    EXPECT_EQ(d.windowTitle(), "Setup");
    EXPECT_EQ(d.size(), QSize(231, 216));
    EXPECT_EQ(d.GroupBox1->geometry(), QRect(8, 8, 217, 169));
    EXPECT_EQ(d.GroupBox1->title(), " Settings ");
    const char* captions[] = {"Port", "Baud rate", "Data bits", "Stop bits", "Parity", "Flow control"};
    QLabel* labels[] = {d.Label1, d.Label2, d.Label3, d.Label4, d.Label5, d.Label6};
    const TComProperty properties[] = {cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(labels[i]->text(), captions[i]);
        EXPECT_EQ(labels[i]->parentWidget(), d.GroupBox1);
        EXPECT_EQ(labels[i]->pos(), QPoint(8, 24 + 24 * i));
        EXPECT_EQ(d.Combo(i + 1)->parentWidget(), d.GroupBox1);
        EXPECT_EQ(d.Combo(i + 1)->geometry(), QRect(80, 16 + 24 * i, 129, 21));
        EXPECT_EQ(d.Combo(i + 1)->ComProperty(), properties[i]);
        EXPECT_FALSE(d.Combo(i + 1)->isEditable());
        if (i > 0) {
            EXPECT_EQ(NextTabStop(d.Combo(i)), d.Combo(i + 1));
        }
    }
    EXPECT_EQ(d.Button1->text(), "OK");
    EXPECT_EQ(d.Button1->geometry(), QRect(70, 184, 75, 25));
    EXPECT_TRUE(d.Button1->isDefault());
    EXPECT_EQ(d.Button2->text(), "Cancel");
    EXPECT_EQ(d.Button2->geometry(), QRect(150, 184, 75, 25));
    EXPECT_EQ(NextTabStop(d.Combo6), d.Button1);
    EXPECT_EQ(NextTabStop(d.Button1), d.Button2);
}

TEST_F(SetupDialog, NewPortOnAnOpenPortReopensAndAppliesOnce)
{
    OpenPort();
    Edit([](TComSetupFrm& d) {
        Pick(d.Combo1, "COM2");
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(port.Port(), "COM2");
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(fake->OpenedPort(), "COM2");
    auto calls = fake->Calls();
    EXPECT_EQ(Count(calls, "Close"), 1);
    EXPECT_EQ(Count(calls, "Open "), 1);
    EXPECT_EQ(Count(calls, "SetupComm "), 1);
    EXPECT_EQ(Count(calls, "SetCommState"), 1);
    EXPECT_EQ(Count(calls, "SetCommTimeouts"), 1);
    auto at = [&](const std::string& c) { return std::find(calls.begin(), calls.end(), c) - calls.begin(); };
    EXPECT_LT(at("Close"), at("Open COM2"));
    EXPECT_LT(at("Open COM2"), at("SetCommState"));
}

TEST_F(SetupDialog, NewPortOnAClosedPortOnlyChangesTheName)
{
    Edit([](TComSetupFrm& d) {
        Pick(d.Combo1, "COM10");
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(port.Port(), "COM10");
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(fake->Calls().empty());
}

TEST_F(SetupDialog, NewBitRateOnAnOpenPortAppliesOnceWithoutReopening)
{
    OpenPort();
    Edit([](TComSetupFrm& d) {
        Pick(d.Combo2, "19200");
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(port.BaudRate(), br19200);
    auto calls = fake->Calls();
    EXPECT_EQ(Count(calls, "Close"), 0);
    EXPECT_EQ(Count(calls, "Open"), 0);
    EXPECT_EQ(Count(calls, "SetupComm "), 1);
    EXPECT_EQ(Count(calls, "SetCommState"), 1);
    EXPECT_EQ(Count(calls, "SetCommTimeouts"), 1);
    EXPECT_EQ(fake->LastDcb().BaudRate, 19200u);
}

TEST_F(SetupDialog, EveryListIsWrittenOnOk)
{
    Edit([](TComSetupFrm& d) {
        Pick(d.Combo1, "COM2");
        Pick(d.Combo2, "115200");
        Pick(d.Combo3, "7");
        Pick(d.Combo4, "2");
        Pick(d.Combo5, "Even");
        Pick(d.Combo6, "Hardware");
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(port.Port(), "COM2");
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(port.Parity().Bits(), prEven);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcHardware);
}

TEST_F(SetupDialog, CancelAfterChangingEveryListLeavesThePortAsItWas)
{
    OpenPort();
    const auto dcb = fake->LastDcb();
    Edit([](TComSetupFrm& d) {
        Pick(d.Combo1, "COM2");
        Pick(d.Combo2, "300");
        Pick(d.Combo3, "5");
        Pick(d.Combo4, "1.5");
        Pick(d.Combo5, "Mark");
        Pick(d.Combo6, "Software");
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(fake->Calls().empty());
    EXPECT_EQ(fake->LastDcb(), dcb);
}

TEST_F(SetupDialog, FailingNewPortStopsTheWritingClosesTheBracketAndRaises)
{
    OpenPort();
    fake->FailNext("Open", 2);
    try {
        Edit([](TComSetupFrm& d) {
            Pick(d.Combo1, "COM2");
            Pick(d.Combo2, "19200");
            return int(QDialog::Accepted);
        });
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorNumber(), CE_OpenFailed + 1);
        EXPECT_NE(std::string(e.what()).find("Unable to open com port"), std::string::npos) << e.what();
    }
    EXPECT_EQ(SetupDialogsAlive(), 0);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "COM2");
    EXPECT_EQ(port.BaudRate(), br9600) << "lists after the port list are not written";

    // The bracket is closed: with the port open again, a setter applies at once.
    port.Open();
    fake->ClearCalls();
    port.SetBaudRate(br38400);
    EXPECT_EQ(Count(fake->Calls(), "SetCommState"), 1);
}

TEST_F(SetupDialog, OkWithoutAListedCurrentPortKeepsOrNormalisesTheName)
{
    struct Case {
        const char* current;
        int shownIndex;
        const char* afterOk;
    };
    const Case cases[] = {
        {"/dev/ttyUSB7", -1, "/dev/ttyUSB7"},  // unplugged adapter: kept
        {"", -1, ""},
        {"com10", 1, "COM10"},  // found ignoring case: written as listed
    };
    for (const auto& c : cases) {
        port.SetPort(c.current);
        int shown = -2;
        Edit([&](TComSetupFrm& d) {
            shown = d.Combo1->currentIndex();
            Pick(d.Combo2, "4800");
            return int(QDialog::Accepted);
        });
        EXPECT_EQ(shown, c.shownIndex) << c.current;
        EXPECT_EQ(port.Port(), c.afterOk) << c.current;
        EXPECT_EQ(port.BaudRate(), br4800) << c.current;
    }
}

TEST_F(SetupDialog, NoSerialPortsGiveAnEmptyPortList)
{
    SetPortEnumerator([] { return std::vector<std::string>{}; });
    int count = -1;
    Edit([&](TComSetupFrm& d) {
        count = d.Combo1->count();
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(count, 0);
    EXPECT_EQ(port.Port(), "COM1");
}

TEST_F(SetupDialog, ShowSetupDialogRunsTheRealModalDialog)
{
    RegisterComSetupDialog();
    struct Case {
        Qt::Key closeWith;  // Enter presses the default button
        TBaudRate expected;
    };
    const Case cases[] = {{Qt::Key_Return, br57600}, {Qt::Key_Escape, br9600}};
    for (const auto& c : cases) {
        port.SetBaudRate(br9600);
        bool sawDialog = false;
        QTimer::singleShot(0, [&] {
            auto* d = dynamic_cast<TComSetupFrm*>(QApplication::activeModalWidget());
            if (!d)
                return;
            sawDialog = d->isVisible();
            Pick(d->Combo2, "57600");
            QTest::keyClick(d, c.closeWith);
        });
        port.ShowSetupDialog();
        EXPECT_TRUE(sawDialog);
        EXPECT_EQ(port.BaudRate(), c.expected);
    }
    EXPECT_EQ(SetupDialogsAlive(), 0);
}

// The worker on its own: operator picks with AutoApply, and unbinding.
TEST(SetupComSelect, AutoApplyWritesEachPickAtOnce)
{
    auto fake = std::make_shared<FakeSerialDevice>();
    TComPort port("ComPort", fake->Share());
    TComSelect select;
    select.SetComProperty(cpParity);
    select.SetComPort(&port);
    EXPECT_EQ(select.Items()[static_cast<std::size_t>(select.ItemIndex())], "None");
    select.Change(2); // "Even", not applied
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(select.Parity(), prEven);
    select.SetAutoApply(true);
    select.Change(1); // "Odd"
    EXPECT_EQ(port.Parity().Bits(), prOdd);
}

TEST(SetupComSelect, UnbindingSelectsTheFirstEntryAndWritesNothingMore)
{
    auto fake = std::make_shared<FakeSerialDevice>();
    auto port = std::make_unique<TComPort>("ComPort", fake->Share());
    port->SetStopBits(sbTwoStopBits);
    TComSelect select;
    int changes = 0;
    select.OnListChanged = [&] { ++changes; };
    select.SetComProperty(cpStopBits);
    EXPECT_EQ(select.ItemIndex(), 0) << "no port bound: first entry";
    select.SetComPort(port.get());
    EXPECT_EQ(select.ItemIndex(), 2);
    select.PortDestroyed();
    port.reset();
    EXPECT_EQ(select.ComPort(), nullptr);
    EXPECT_EQ(select.ItemIndex(), 0);
    select.ApplySettings(); // nothing bound: must not touch the gone port
    EXPECT_GE(changes, 3);
}

// The list follows the bound port's life: destroyed, it unbinds the list.
TEST(SetupComSelect, DestroyedPortUnbindsTheListWhichShowsItsFirstEntry)
{
    App();
    auto fake = std::make_shared<FakeSerialDevice>();
    auto port = std::make_unique<TComPort>("ComPort", fake->Share());
    port->SetStopBits(sbTwoStopBits);
    TComComboBox combo;
    combo.SetComProperty(cpStopBits);
    combo.SetComPort(port.get());
    ASSERT_EQ(combo.currentText(), "2");

    port.reset();
    EXPECT_EQ(combo.ComPort(), nullptr);
    EXPECT_EQ(combo.ComSelect().ItemIndex(), 0);
    EXPECT_EQ(combo.currentText(), "1") << "the list shows its first entry";
    combo.ApplySettings();  // nothing bound: must not touch the gone port
    combo.UpdateSettings();
}

TEST(SetupComSelect, ARequestEndsWithTheBindingOrTheList)
{
    auto fake = std::make_shared<FakeSerialDevice>();
    auto first = std::make_unique<TComPort>("First", fake->Share());
    TComPort second("Second", fake->Share());

    // Bound to another port since: the first one's end is none of its business.
    TComSelect rebound;
    rebound.SetComProperty(cpParity);
    rebound.SetComPort(first.get());
    rebound.SetComPort(&second);
    // Gone before the port: the port's end must not reach it.
    auto gone = std::make_unique<TComSelect>();
    gone->SetComProperty(cpParity);
    gone->SetComPort(first.get());
    gone.reset();

    first.reset();
    EXPECT_EQ(rebound.ComPort(), &second);
}

} // namespace
