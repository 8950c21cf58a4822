// The main window through its controls: port toggle, manual requests, the
// receive handler, the clock, menu commands, creation and close with the
// settings file, and the errors of its handlers.
#include "app/ui/app_texts.h"
#include "app/ui/dblclick_label.h"
#include "app/ui/layout.h"
#include "platform/ui/guard.h"
#include "form_fixture.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTime>
#include <QTimer>

#include "serial/ecomport.h"
#include "widgets/ui/iledbar.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <vector>
#include <chrono>
#include <thread>

namespace {

using Write = FakeSerialDevice::WriteRecord;

QColor ButtonTextColour(QPushButton* b) { return b->palette().color(QPalette::ButtonText); }
QColor Background(QWidget* w) { return w->palette().color(QPalette::Window); }

// The port toggle's look and what stands behind it.
struct ToggleState {
    bool pressed;
    std::string caption;
    QColor font;
    bool connected;
    bool pollTimer;
    bool operator==(const ToggleState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const ToggleState& s)
{
    return os << (s.pressed ? "pressed " : "released ") << s.caption << " " << s.font.name().toStdString()
              << (s.connected ? " connected" : " closed") << (s.pollTimer ? " polling" : "");
}

ToggleState StateOf(TForm1& f)
{
    return {f.SpeedButton1->isChecked(), Latin1(f.SpeedButton1->text()), ButtonTextColour(f.SpeedButton1),
            f.ComPort.Connected(), f.Timer2->isActive()};
}

const QColor kRed(255, 0, 0);

TEST_F(FormTest, PortToggleGoesThroughTheStatesOfTheTable)
{
    TForm1& f = MakeForm();
    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    const ToggleState afterStart{false, "Open Port", windowText, false, false};
    const ToggleState open{true, "Close Port", kRed, true, false};
    const ToggleState closedAgain{false, "Open Port", windowText, false, false};

    EXPECT_EQ(StateOf(f), afterStart);
    for (const ToggleState& expected : {open, closedAgain, open, closedAgain}) {
        f.SpeedButton1->click();
        EXPECT_EQ(StateOf(f), expected);
    }
    EXPECT_EQ(Background(f.ComboBox1), kRed);
    EXPECT_TRUE(boxes_.errors.empty());
    EXPECT_TRUE(boxes_.messages.empty());
    EXPECT_EQ(fake_->OpenedPort(), "COM1");
}

TEST_F(FormTest, FailedOpenLeavesTheTogglePressedAndTheNextClickRunsTheClosePath)
{
    TForm1& f = MakeForm();
    const QColor oldFont = ButtonTextColour(f.SpeedButton1);
    SetBackground(f.ComboBox1, QColor(0, 128, 0));  // as after a channel choice
    fake_->FailNext("Open", 2);

    f.SpeedButton1->click();
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{"Unable to open com port (Error: 2)"});
    EXPECT_EQ(StateOf(f), (ToggleState{true, "Open Port", oldFont, false, false}));
    EXPECT_EQ(Background(f.ComboBox1), QColor(0, 128, 0)) << "the rest of the open step is skipped";

    f.SpeedButton1->click();
    EXPECT_EQ(StateOf(f), (ToggleState{false, "Open Port", oldFont, false, false}));
    EXPECT_EQ(Background(f.ComboBox1), kRed);
    EXPECT_EQ(boxes_.errors.size(), 1u);
}

TEST_F(FormTest, OpeningWithThePollBoxTickedUnticksItAndLeavesThePollOff)
{
    OpenPort();
    TForm1& f = Form();
    f.CheckBox1->click();
    ASSERT_TRUE(f.Timer2->isActive());

    f.SpeedButton1->click();  // close: the box keeps its tick, the poll stops
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.Timer2->isActive());

    f.SpeedButton1->click();  // open again
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.Timer2->isActive());
    EXPECT_TRUE(boxes_.messages.empty()) << "the rule ran with the port open: no guard message";
}

TEST_F(FormTest, SendWritesTheEditTextAsTypedFollowedByACarriageReturn)
{
    OpenPort();
    TForm1& f = Form();
    struct Case {
        const char* typed;
        const char* written;
    };
    for (const Case& c : {Case{"<1/REM_", "<1/REM_\r"}, Case{"", "\r"}, Case{"DF 137", "DF 137\r"}}) {
        fake_->ClearCalls();
        const auto before = fake_->writes().size();
        f.Edit1->setText(QString::fromLatin1(c.typed));
        f.BitBtn2->click();
        const auto writes = fake_->writes();
        ASSERT_EQ(writes.size(), before + 1) << c.typed;
        EXPECT_EQ(writes.back().bytes, c.written);
        EXPECT_EQ(f.State.LastCommand, c.typed);
    }
}

TEST_F(FormTest, SendRefusesTextTheLineCannotCarryAndSendsNothing)
{
    OpenPort();
    TForm1& f = Form();
    struct Case {
        const char* name;
        QString typed;
        std::string error;
    };
    const QString longest(1024, QLatin1Char('A'));
    const Case cases[] = {
        {"Cyrillic and euro", QString::fromUtf8("DF \u0416 1\u20ac\u0416"),
         "The request contains characters that cannot be sent over the serial line: U+0416, U+20AC"},
        {"outside the basic plane", QString::fromUtf8("<1/\U0001F600_"),
         "The request contains characters that cannot be sent over the serial line: U+1F600"},
        {"one past the bound", longest + QLatin1Char('A'), "The request is too long to send (1025 characters; at most 1024)."},
        {"a pasted megabyte", QString(1 << 20, QLatin1Char('x')),
         // The line edit itself keeps at most its maxLength of 32767.
         "The request is too long to send (32767 characters; at most 1024)."},
    };
    f.State.LastCommand = "<1/CSV_";
    for (const Case& c : cases) {
        boxes_.errors.clear();
        f.Edit1->setText(c.typed);
        f.BitBtn2->click();
        EXPECT_EQ(boxes_.errors, std::vector<std::string>{c.error}) << c.name;
        EXPECT_TRUE(boxes_.messages.empty()) << c.name;
    }
    EXPECT_TRUE(fake_->writes().empty());
    EXPECT_EQ(f.State.LastCommand, "<1/CSV_");

    // Latin-1 beyond ASCII goes out as typed, and the bound itself is allowed.
    for (const QString& typed : {QString::fromUtf8("DF \u00e9\u00ff"), longest}) {
        boxes_.errors.clear();
        f.Edit1->setText(typed);
        f.BitBtn2->click();
        EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
        ASSERT_FALSE(fake_->writes().empty());
        EXPECT_EQ(fake_->writes().back().bytes, typed.toLatin1().toStdString() + "\r");
    }
}

TEST_F(FormTest, ManualRequestsWithThePortClosedShowTheGuardOnceAndSendNothing)
{
    TForm1& f = MakeForm();
    f.State.LastCommand = "<1/CSV_";
    for (QPushButton* button : {f.BitBtn1, f.Button2, f.BitBtn2}) {
        boxes_.messages.clear();
        button->click();
        EXPECT_EQ(boxes_.messages, std::vector<std::string>{"First, open Com Port please !"})
            << Latin1(button->text());
        EXPECT_EQ(f.State.LastCommand, "<1/CSV_");
    }
    EXPECT_TRUE(fake_->writes().empty());
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(FormTest, ManualRequestButtonsSendTheirRequests)
{
    OpenPort();
    Form().BitBtn1->click();
    Form().Button2->click();
    EXPECT_EQ(fake_->Written(), "<1/BCS_\r<1/CES_\r");
}

TEST_F(FormTest, AnErrorInAHandlerIsShownAndTheProgramGoesOn)
{
    OpenPort();
    TForm1& f = Form();
    fake_->FailNext("Write", 5);
    f.BitBtn1->click();
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{"WriteFile function failed (Error: 5)"});

    f.BitBtn1->click();  // the same button works again
    EXPECT_EQ(fake_->Written(), "<1/BCS_\r");
    EXPECT_TRUE(f.ComPort.Connected());
    EXPECT_EQ(boxes_.errors.size(), 1u);
}

TEST_F(FormTest, OffsetDoubleClickBeforeTheFirstReplyShowsTheConversionErrorWithThePollOff)
{
    OpenPort();
    TForm1& f = Form();
    f.CheckBox1->click();
    QTest::mouseDClick(f.Label8, Qt::LeftButton);
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{"'Hz' is not a valid floating point value"});
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.Timer2->isActive());
    EXPECT_TRUE(fake_->writes().empty());
}

TEST_F(FormTest, AboutShowsTheProgramVersion)
{
    MakeForm().About1->trigger();
    EXPECT_EQ(boxes_.messages, std::vector<std::string>{"Varnetrix Reader v.0.4.3 Jul 2019"});
}

TEST_F(FormTest, FileMenuDoesNothing)
{
    TForm1& f = MakeForm();
    f.File1->trigger();
    EXPECT_TRUE(boxes_.messages.empty());
    EXPECT_TRUE(boxes_.errors.empty());
    EXPECT_TRUE(f.File1->menu() == nullptr);
}

TEST_F(FormTest, OptionsAndFreqScanShowTheirWindows)
{
    TForm1& f = MakeForm();
    QWidget options, scanner;
    f.SetOtherWindows(&options, &scanner);
    f.Options1->trigger();
    EXPECT_TRUE(options.isVisible());
    EXPECT_FALSE(scanner.isVisible());
    f.Button1->click();
    EXPECT_TRUE(scanner.isVisible());
    f.Options1->trigger();  // already visible: stays, brought to the front
    EXPECT_TRUE(options.isVisible());
}

TEST_F(FormTest, ClockPanelIsEmptyUntilTheFirstTickThenShowsTheLocalTime)
{
    TForm1& f = MakeForm();
    EXPECT_TRUE(f.StatusPanel[3]->text().isEmpty());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 1000);

    ASSERT_TRUE(ProcessUntil([&] { return !f.StatusPanel[3]->text().isEmpty(); }, 3000));
    const QString text = f.StatusPanel[3]->text();
    ASSERT_TRUE(text.startsWith(QStringLiteral("Local Time  "))) << text.toStdString();
    const QString clock = text.mid(12);
#ifdef _WIN32
    // The user's long time format (under Wine's English one "h:mm:ss AP"),
    // without a time zone.
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')).trimmed();
#else
    // The long format of the C locale the tests run in: hours, minutes, seconds.
    const QString format = QStringLiteral("HH:mm:ss");
#endif
    const QTime shown = QTime::fromString(clock, format);
    ASSERT_TRUE(shown.isValid()) << clock.toStdString();
    EXPECT_LE(std::abs(shown.secsTo(QTime::currentTime())), 2);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(f.StatusPanel[i]->text().isEmpty());
}

TEST_F(FormTest, PollTimerIsPreciseAndTheClockKeepsItsSecond)
{
    TForm1& f = MakeForm();
    // A coarse timer may fire each tick up to 5 % early or late; the poll's
    // period holds to 1 % (measured in bench/poll_period_bench).
    EXPECT_EQ(f.Timer2->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(f.Timer2->interval(), 500);
    // The clock's coarse 1000 ms timer is woken on whole seconds.
    EXPECT_EQ(f.Timer1->timerType(), Qt::CoarseTimer);
    EXPECT_EQ(f.Timer1->interval(), 1000);
}

// --- receiving ------------------------------------------------------------------

TEST_F(FormTest, RepliesFillTheStatusLabelsAndTheDecoderLockDisplay)
{
    OpenPort();
    TForm1& f = Form();
    Receive(">1/BCAS_-45.3,1.0E-3,2.0E-7,4.5,7.1,50,0.0,x]");
    const char* expected[] = {"-45.3", "1.0E-3", "2.0E-7", "4.5", "7.1", "50", "0.0"};
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(Latin1(f.StatusLabel[k]->text()), expected[k]) << "Label" << k + 1;
    EXPECT_EQ(f.State.LevelText, "-45.3");

    struct LockCase {
        const char* reply;
        const char* offset;
        const char* text;
        QColor background;
    };
    const QColor unknownBackground = Background(f.StaticText9);
    const LockCase cases[] = {
        {">1/CSV_+1500\r   X\r]", "+1500", "Decoder lock status UNKN", unknownBackground},
        {">1/CSV_-250\rLK OK\r]", "-250", "Decoder lock status OK", QColor(0, 128, 0)},
        {">1/CSV_+12\rLK FLT\r]", "+12", "Decoder lock status FAULT", QColor(255, 0, 0)},
        {">1/CSV_+7\rLK ??\r]", "+7", "Decoder lock status FAULT", QColor(255, 0, 0)},
    };
    for (const LockCase& c : cases) {
        Receive(c.reply);
        EXPECT_EQ(Latin1(f.Label8->text()), c.offset);
        EXPECT_EQ(Latin1(f.StaticText9->text()), c.text);
        EXPECT_EQ(Background(f.StaticText9), c.background) << c.text;
    }
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(FormTest, EchoAppendsTheRawBytesOnlyWhileTicked)
{
    OpenPort();
    TForm1& f = Form();
    ASSERT_FALSE(f.CheckBox2->isChecked());
    Receive(">1/REM_OK]\r");
    EXPECT_TRUE(f.Memo1->toPlainText().isEmpty());

    f.CheckBox2->click();
    f.Memo1->setPlainText(QStringLiteral("typed"));
    Receive(">1/BCS_A\rB]");
    Receive("\xB0]\r");  // 8-bit bytes come through as Latin-1
    Receive("\n>1/CES_\n\r]");
    // Every line end (CR, LF, or CR LF even when split between events) is one
    // line break of the box; all other bytes are as received.
    EXPECT_EQ(Latin1(f.Memo1->toPlainText()), "typed>1/BCS_A\nB]\xB0]\n>1/CES_\n\n]");

    f.Button3->click();
    EXPECT_TRUE(f.Memo1->toPlainText().isEmpty());
}

TEST_F(FormTest, EchoFollowsTheNewTextUnlessTheOperatorScrolledBack)
{
    OpenPort();
    TForm1& f = Form();
    f.show();
    f.CheckBox2->click();
    QScrollBar* bar = f.Memo1->verticalScrollBar();
    std::string many;
    for (int i = 0; i < 40; ++i)
        many += ">1/BCS_" + std::to_string(i) + "]\r";
    Receive(many);
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    Receive(many);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(FormTest, AnErrorWhileReceivingIsShownOnceAndEndsDelivery)
{
    OpenPort();
    TForm1& f = Form();
    fake_->FailNext("Read", 5);
    fake_->Receive(">1/BCAS_a,b,c,d,e,f,g,h]");
    ASSERT_TRUE(ProcessUntil([&] { return !boxes_.errors.empty(); }));
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{"ReadFile function failed (Error: 5)"});

    fake_->Receive(">1/BCAS_a,b,c,d,e,f,g,h]");
    ProcessUntil([] { return false; }, 200);
    EXPECT_EQ(boxes_.errors.size(), 1u);
    EXPECT_EQ(Latin1(f.StatusLabel[0]->text()), "dBm") << "no further delivery";
    EXPECT_TRUE(f.ComPort.Connected());

    f.SpeedButton1->click();  // closing and opening again restores delivery
    f.SpeedButton1->click();
    ASSERT_TRUE(fake_->WaitUntilIdle());
    Receive(">1/BCAS_a,b,c,d,e,f,g,h]");
    EXPECT_EQ(Latin1(f.StatusLabel[0]->text()), "a");
}

// --- subsystems on the window ------------------------------------------------------

TEST_F(FormTest, PickingAChannelSendsItsSequenceOnceAndPickingItAgainResendsIt)
{
    OpenPort();
    TForm1& f = Form();
    f.show();
    f.ComboBox1->setFocus();
    for (int i = 0; i < 4; ++i)  // from no item down to the fourth, FY3A
        QTest::keyClick(f.ComboBox1, Qt::Key_Down);
    ASSERT_EQ(f.ComboBox1->currentIndex(), 3);
    const auto writes = fake_->writes();
    ASSERT_GE(writes.size(), 4u);
    const std::vector<Write> lastSequence(writes.end() - 4, writes.end());
    const std::int64_t t = lastSequence[0].atMs;
    EXPECT_EQ(lastSequence, (std::vector<Write>{{t, "<1/REM_\r"},
                                                {t + 200, "<1/DF_151.000000\r"},
                                                {t + 600, "<1/SDRV_QPSK_5600.000\r"},
                                                {t + 1000, "<1/DSR_NRM\r"}}));
    EXPECT_EQ(writes.size(), 16u) << "one sequence per pick";
    EXPECT_EQ(Latin1(f.Label9->text()), "151");
    EXPECT_EQ(Background(f.ComboBox1), QColor(0, 128, 0));
    EXPECT_DOUBLE_EQ(f.State.ChannelFrequency, 151.0);

    // After the port was closed and opened again, the same channel is sent again.
    f.SpeedButton1->click();
    f.SpeedButton1->click();
    ASSERT_EQ(Background(f.ComboBox1), kRed);
    emit f.ComboBox1->activated(3);
    EXPECT_EQ(fake_->writes().size(), 20u);
    EXPECT_EQ(Background(f.ComboBox1), QColor(0, 128, 0));
}

TEST_F(FormTest, TypingIntoTheSelectorSendsOnlyTheChannelItSpells)
{
    OpenPort();
    TForm1& f = Form();
    f.show();
    f.ComboBox1->setFocus();
    f.ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(f.ComboBox1->lineEdit(), "LRIX");
    EXPECT_TRUE(fake_->writes().empty());
    EXPECT_EQ(Latin1(f.Label9->text()), "0") << "each change still shows the channel frequency";

    QTest::keyClick(f.ComboBox1->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(f.ComboBox1->lineEdit(), "T");  // "LRIT"
    ASSERT_EQ(fake_->writes().size(), 4u) << Latin1(f.ComboBox1->currentText());
    EXPECT_EQ(fake_->writes()[1].bytes, "<1/DF_137.500000\r");
    EXPECT_EQ(Latin1(f.Label9->text()), "137.5");
}

TEST_F(FormTest, ChannelChoiceWithThePortClosedShowsTheGuardOnce)
{
    TForm1& f = MakeForm();
    emit f.ComboBox1->activated(0);
    EXPECT_EQ(boxes_.messages, std::vector<std::string>{"First, open Com Port please !"});
    EXPECT_EQ(Latin1(f.Label9->text()), "0");
    EXPECT_EQ(Background(f.ComboBox1), kRed);
}

TEST_F(FormTest, RecallButtonSendsRemThenItsConfigurationNumber)
{
    OpenPort();
    TForm1& f = Form();
    f.Buttonconfig[2]->click();
    EXPECT_EQ(fake_->writes(), (std::vector<Write>{{0, "<1/REM_\r"}, {400, "<1/RMC_3\r"}}));
    EXPECT_EQ(f.State.LastCommand, "<1/RMC_3");
}

TEST_F(FormTest, PollWriteFailingBecauseTheLineIsGoneGivesOnlyTheLineLostError)
{
    OpenPort();
    TForm1& f = Form();
    // On a live line a failed write stays the component's own error.
    fake_->FailNext("Write", 5);
    EXPECT_THROW(f.Timer2Timer(), EComPort);
    EXPECT_TRUE(f.ComPort.Connected());

    f.CheckBox1->click();
    ASSERT_TRUE(f.Timer2->isActive());
    // The event thread has seen the line go; its notice is still queued when
    // the next tick's write fails.
    LoseTheLine();
    EXPECT_NO_THROW(f.Timer2Timer());
    ProcessUntil([] { return false; }, 300);

    EXPECT_EQ(boxes_.errors, std::vector<std::string>{LineLostError()});
    EXPECT_FALSE(f.ComPort.Connected());
    EXPECT_FALSE(f.SpeedButton1->isChecked());
    EXPECT_FALSE(f.Timer2->isActive());
    EXPECT_FALSE(fake_->IsOpen());
}

// Every sender the operator starts: a write that fails because the line is
// gone gives the one line-lost error, not a second box for the write.
struct LostLineSender {
    const char* name;
    std::function<void(TForm1&)> start;
};

void PrintTo(const LostLineSender& c, std::ostream* os) { *os << c.name; }

class SenderOnALostLine : public FormTest, public ::testing::WithParamInterface<LostLineSender> {};

TEST_P(SenderOnALostLine, GivesOnlyTheLineLostError)
{
    OpenPort();
    TForm1& f = Form();
    f.Label8->setText(QStringLiteral("1500"));  // a measured offset, so the correction gets to its requests
    LoseTheLine();
    EXPECT_TRUE(RunGuarded([&] { GetParam().start(f); }));
    ProcessUntil([] { return false; }, 300);

    EXPECT_EQ(boxes_.errors, std::vector<std::string>{LineLostError()});
    EXPECT_FALSE(f.ComPort.Connected());
    EXPECT_FALSE(f.SpeedButton1->isChecked());
}

INSTANTIATE_TEST_SUITE_P(
    Senders, SenderOnALostLine,
    ::testing::Values(LostLineSender{"OffsetCorrection", [](TForm1& f) { f.Label8DblClick(); }},
                      LostLineSender{"Bcs", [](TForm1& f) { f.BitBtn1Click(); }},
                      LostLineSender{"Recall", [](TForm1& f) { f.ButtonconfigClick(2); }},
                      LostLineSender{"Send", [](TForm1& f) { f.BitBtn2Click(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormTest, PollTicksSendBcasAndCsvAndMoveTheLevelBar)
{
    OpenPort();
    TForm1& f = Form();
    f.CheckBox1->click();
    ASSERT_TRUE(f.Timer2->isActive());
    EXPECT_EQ(f.Timer2->interval(), 500);
    Receive(">1/BCAS_<-52.5,a,b,c,d,e,f,]");
    ASSERT_TRUE(ProcessUntil([&] { return fake_->writes().size() >= 2; }, 3000));
    f.CheckBox1->click();
    EXPECT_FALSE(f.Timer2->isActive());
    const auto writes = fake_->writes();
    EXPECT_EQ(writes[0].bytes, "<1/BCAS_\r");
    EXPECT_EQ(writes[1].bytes, "<1/CSV_\r");
    EXPECT_EQ(writes[1].atMs - writes[0].atMs, 200);
    EXPECT_DOUBLE_EQ(f.iLedBar1->Position(), -525.0);
}

TEST_F(FormTest, LevelBarTakesTheLevelUnroundedAndClampsWhatLiesOutsideItsRange)
{
    OpenPort();
    TForm1& f = Form();
    const TiLedBarModel& bar = f.iLedBar1->Model();
    const int segments = bar.SegmentCount(f.iLedBar1->width(), f.iLedBar1->height());
    ASSERT_EQ(segments, 250);
    struct Case {
        const char* level;
        double position;
        int lit;
    };
    const Case cases[] = {
        {"-59.96", -599.6, 1},  // above the bottom: one segment, not none
        {"-49.94", -499.4, 56}, // just below the first green segment: all blue
        {"2e8", -150, 250},     // far above the range: full
        {"-45.3", -453, 82},
        {"-1e300", -600, 0},    // far below: empty
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        Receive(std::string(">1/BCAS_") + c.level + ",a,b,c,d,e,f,]");
        f.Timer2Timer();
        EXPECT_DOUBLE_EQ(f.iLedBar1->Position(), c.position);
        EXPECT_EQ(bar.LitCount(segments), c.lit);
    }
}

// --- creation and close -------------------------------------------------------------

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

TEST_F(FormTest, FirstRunWithoutSettingsFileWritesRecallAndPortSectionsAtClose)
{
    TForm1& f = MakeForm();
    const char* captions[] = {"MetOp", "FY3A", "FY3B", "LRIT", "Conf.5"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Latin1(f.Buttonconfig[i]->text()), captions[i]);
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));

    EXPECT_TRUE(f.close());
    EXPECT_EQ(Lines(ReadFileBytes(SettingsPath())),
              (std::vector<std::string>{"[Recall]", "Recall1=MetOp", "Recall2=FY3A", "Recall3=FY3B", "Recall4=LRIT",
                                        "Recall5=Conf.5", "[ComPort]", "Port=COM1", "BaudRate=9600", "StopBits=1",
                                        "DataBits=8", "Parity=None", "FlowControl=None"}));
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(FormTest, SettingsOfTheWorkingDirectoryAreReadAtCreationAndRewrittenAtClose)
{
    WriteSettings("; station 2\n[ComPort]\nPort=COM7\nBaudRate=19200\n[Recall]\nRecall2=NOAA\n[Frequency]\nFY3A=150.5\n");
    TForm1& f = MakeForm();
    EXPECT_EQ(f.ComPort.Port(), "COM7");
    EXPECT_EQ(f.ComPort.BaudRate(), br19200);
    EXPECT_EQ(Latin1(f.Buttonconfig[1]->text()), "NOAA");
    EXPECT_EQ(Latin1(f.Buttonconfig[0]->text()), "MetOp");

    f.ComPort.SetBaudRate(br4800);  // as the setup dialog would
    EXPECT_TRUE(f.close());
    const auto lines = Lines(ReadFileBytes(SettingsPath()));
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_EQ(lines.front(), "; station 2");
    EXPECT_TRUE(has("Recall2=NOAA"));
    EXPECT_TRUE(has("Recall5=Conf.5"));
    EXPECT_TRUE(has("BaudRate=4800"));
    EXPECT_TRUE(has("Port=COM7"));
    EXPECT_TRUE(has("FY3A=150.5"));
}

// Records, for each write, whether the port was still open then.
class WatchingIniFile final : public TCustomIniFile {
public:
    WatchingIniFile(const std::string& path, FakeSerialDevice& device) : TCustomIniFile(path), file_(path), device_(device) {}
    std::string ReadValue(const std::string& s, const std::string& k, const std::string& d) override
    {
        return file_.ReadValue(s, k, d);
    }
    void WriteValue(const std::string& s, const std::string& k, const std::string& v) override
    {
        openAtWrite.push_back(device_.IsOpen());
        file_.WriteValue(s, k, v);
    }
    std::vector<bool> openAtWrite;

private:
    TIniFile file_;
    FakeSerialDevice& device_;
};

// A settings file whose reads fail, to see what creation does with an error.
class FailingIniFile final : public TCustomIniFile {
public:
    FailingIniFile() : TCustomIniFile("failing.ini") {}
    std::string ReadValue(const std::string&, const std::string&, const std::string&) override
    {
        throw EIniFileException("Unable to read failing.ini");
    }
    void WriteValue(const std::string&, const std::string&, const std::string&) override {}
};

TEST_F(FormTest, AnErrorWhileCreatingIsShownAndTheWindowKeepsItsDesignTimeCaptions)
{
    FailingIniFile failing;
    TForm1 f(failing, fake_->Share());
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{"Unable to read failing.ini"});
    EXPECT_EQ(Latin1(f.Buttonconfig[4]->text()), "Conf. 5");
    f.SpeedButton1->click();  // the window works
    EXPECT_TRUE(f.ComPort.Connected());
}

TEST_F(FormTest, ClosingWithThePortOpenClosesItBeforeWritingSettings)
{
    WatchingIniFile watched(SettingsFilePath(), *fake_);
    auto form = std::make_unique<TForm1>(watched, fake_->Share());
    form->SpeedButton1->click();
    ASSERT_TRUE(fake_->IsOpen());
    EXPECT_TRUE(form->close());
    EXPECT_EQ(watched.openAtWrite, std::vector<bool>(5, false));
    EXPECT_FALSE(form->ComPort.Connected());
    EXPECT_NE(ReadFileBytes(SettingsPath()).find("[ComPort]"), std::string::npos);
}

struct RefusedCase {
    const char* what;
    std::function<void(const std::string& path)> prepare;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.what; }

class RefusedSettingsWrite : public FormTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedSettingsWrite, IsShownAtCloseAndTheWindowStaysOpenWithThePortClosed)
{
    // Both are refused for every user, the superuser included: no write bit
    // for anyone, and no file at all.
    GetParam().prepare(SettingsPath());
    TForm1& f = MakeForm();
    f.show();
    f.SpeedButton1->click();
    ASSERT_TRUE(f.ComPort.Connected());
    EXPECT_FALSE(f.close());
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{"Unable to write to " + SettingsFilePath()});
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.ComPort.Connected()) << "the port was closed first";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedSettingsWrite,
    ::testing::Values(RefusedCase{"read-only file",
                                  [](const std::string& path) {
                                      WriteFileBytes(path, "[Recall]\nRecall1=MetOp\n");
                                      std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                                                             std::filesystem::perms::group_read |
                                                                             std::filesystem::perms::others_read);
                                  }},
                      RefusedCase{"directory in the file's place",
                                  [](const std::string& path) { std::filesystem::create_directory(path); }}),
    [](const auto& info) { return info.index == 0 ? std::string("ReadOnlyFile") : std::string("DirectoryInItsPlace"); });

} // namespace
