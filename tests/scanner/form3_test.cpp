#include "scanner/ui/form3.h"

#include "protocol/reply_parser.h"
#include "recorded_messages.h"
#include "recording_port.h"
#include "widgets/ui/chart.h"
#include "scanner/ui/click_label.h"
#include "virtual_clock.h"

#include "qt_test_environment.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace {

VR_QT_TEST_ENVIRONMENT();

const QColor kNavy(0, 0, 128);
const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

// The main window's side of the parser: only the scan level reaches this window.
class ToScanner final : public ReplyDisplay {
public:
    explicit ToScanner(TForm3& form) : form_(form) {}
    void ShowStatusField(int, const std::string&) override {}
    void ShowOffset(const std::string&) override {}
    void ShowDecoderLock(DecoderLock) override {}
    void ShowScanLevel(const std::string& text) override { form_.ShowScanLevel(text); }

private:
    TForm3& form_;
};

class ScannerWindow : public ::testing::Test {
protected:

    QString Text(const char* name)
    {
        QWidget* w = form.findChild<QWidget*>(QString::fromLatin1(name));
        return w ? w->property("text").toString() : QStringLiteral("<missing>");
    }
    // The modem answers every request written since the last call in one receive event.
    void Answer(const std::string& level = "-47.5")
    {
        std::string data;
        for (; answered < port.writes.size(); ++answered) {
            const std::string& r = port.writes[answered].bytes;
            data += r.rfind("<1/RSL_", 0) == 0 ? ">1/RSL_" + level + "dBm]" : ">1/" + r.substr(3, r.find('_') - 3) + "_]";
        }
        if (!data.empty())
            HandleReceived(state, data, display);
    }
    void TickAndAnswer()
    {
        form.Timer1Timer();
        Answer();
    }
    bool Scanning() const { return form.Timer1()->isActive(); }

    VirtualClock clock;
    RecordedMessages boxes;
    ProgramState state;
    RecordingPort port;
    TForm3 form{state, port};
    ToScanner display{form};
    std::size_t answered = 0;
};

TEST_F(ScannerWindow, WindowLayout)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("SLM-7650 Frequency Scanner"));
    EXPECT_EQ(form.objectName(), QStringLiteral("Form3"));
    EXPECT_TRUE(form.isWindow());
    EXPECT_FALSE(form.isVisible());  // created hidden
    EXPECT_EQ(form.pos(), QPoint(55, 575));
    EXPECT_EQ(form.size(), QSize(545, 335));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.palette().color(QPalette::Window), kNavy);
    EXPECT_TRUE(form.autoFillBackground());
    EXPECT_EQ(form.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(form.font().pixelSize(), 11);

    struct Row {
        const char* name;
        const char* className;
        QRect geometry;  // for the labels: as the design font sized them
        const char* text;
        bool sizedToText = false;
    };
    const std::vector<Row> rows = {
        {"Button1", "QPushButton", {8, 16, 65, 17}, "Scan...."},
        {"CheckBox2", "QCheckBox", {88, 16, 81, 17}, "0.1 MHz step"},
        {"CheckBox1", "QCheckBox", {176, 16, 81, 17}, "Slow scann"},
        {"Label3", "TClickLabel", {384, 16, 64, 16}, "Frequency", true},
        {"Label1", "TClickLabel", {464, 16, 26, 16}, "RSL", true},
        {"Label2", "TClickLabel", {512, 16, 30, 13}, "Status", true},
        {"Chart1", "TChart", {8, 48, 529, 281}, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QWidget* w = form.findChild<QWidget*>(QString::fromLatin1(r.name));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), r.className);
        if (r.sizedToText) {
            // Sized to its text in the font at hand, which comes close to the design's.
            EXPECT_EQ(w->pos(), r.geometry.topLeft());
            EXPECT_EQ(w->size(), w->sizeHint());
            EXPECT_NEAR(w->width(), r.geometry.width(), 4);
            EXPECT_NEAR(w->height(), r.geometry.height(), 2);
        } else {
            EXPECT_EQ(w->geometry(), r.geometry);
        }
        if (*r.text) {
            EXPECT_EQ(Text(r.name), QString::fromLatin1(r.text));
        }
        EXPECT_TRUE(form.rect().contains(w->geometry())) << "inside the client area";
    }

    // Looks.
    EXPECT_EQ(form.CheckBox2()->palette().color(QPalette::WindowText), form.palette().color(QPalette::Shadow));
    EXPECT_FALSE(form.CheckBox2()->autoFillBackground());
    EXPECT_EQ(form.CheckBox1()->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    EXPECT_EQ(form.CheckBox1()->palette().color(QPalette::Window), kNavy);
    EXPECT_TRUE(form.CheckBox1()->autoFillBackground());
    const QImage slow = form.CheckBox1()->grab().toImage();
    EXPECT_EQ(slow.pixelColor(slow.width() - 1, 0), kNavy);  // the box's own background, painted
    for (TClickLabel* label : {form.Label3(), form.Label1()}) {
        EXPECT_EQ(label->palette().color(QPalette::WindowText), kLime);
        EXPECT_EQ(label->font().pixelSize(), 13);
    }
    // "Status": black text on the window colour.
    EXPECT_EQ(form.Label2()->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_FALSE(form.Label2()->autoFillBackground());
    EXPECT_EQ(form.Label2()->font().pixelSize(), 11);
    EXPECT_EQ(form.Button1()->font().pixelSize(), 11);
    EXPECT_FALSE(form.CheckBox1()->isChecked());
    EXPECT_FALSE(form.CheckBox2()->isChecked());
    EXPECT_TRUE(form.Button1()->isEnabled());

    QTimer* timer = form.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer) << "each tick on its period, not up to 5 % off";
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(timer->isSingleShot());
}

TEST_F(ScannerWindow, ScanThroughTheControls)
{
    form.Timer1()->setInterval(1000 * 1000);  // ticks are driven by hand here
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    Answer();
    EXPECT_TRUE(Scanning());
    EXPECT_FALSE(form.Button1()->isEnabled());
    EXPECT_EQ(form.Label2()->text(), QStringLiteral("Busy"));
    EXPECT_EQ(form.Label2()->palette().color(QPalette::Window), kRed);
    EXPECT_TRUE(form.Label2()->autoFillBackground());
    EXPECT_EQ(form.Label3()->text(), QStringLiteral("136.0 MHz"));
    EXPECT_EQ(form.Label3()->size(), form.Label3()->sizeHint());  // sized to its text
    EXPECT_EQ(form.Label2()->size(), form.Label2()->sizeHint());

    TickAndAnswer();  // RSL, answered
    EXPECT_EQ(form.Label1()->text(), QStringLiteral("-47.5"));
    EXPECT_EQ(form.Label1()->size(), form.Label1()->sizeHint());
    TickAndAnswer();  // the point, then 136.2 is tuned
    TLineSeries& series = form.Chart1()->Series1();
    ASSERT_EQ(series.Count(), 1);
    EXPECT_EQ(series.XValues.Value[0], 136.0);
    EXPECT_EQ(series.YValues.Value[0], -47.5);
    EXPECT_EQ(form.Label3()->text(), QStringLiteral("136.2 MHz"));

    // The check boxes are read at every use.
    QTest::mouseClick(form.CheckBox2(), Qt::LeftButton, {}, QPoint(6, 8));
    QTest::mouseClick(form.CheckBox1(), Qt::LeftButton, {}, QPoint(6, 8));
    ASSERT_TRUE(form.CheckBox2()->isChecked());
    ASSERT_TRUE(form.CheckBox1()->isChecked());
    TickAndAnswer();
    TickAndAnswer();
    ASSERT_EQ(series.Count(), 2);
    EXPECT_EQ(port.writes.back().bytes, "<1/DF_136.300000\r");
    EXPECT_EQ(clock.NowMs() - port.writes.back().atMs, 800);

    // Closed mid-scan: hidden, the tick stops, and it shows "Busy" when shown again.
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(Scanning());
    form.show();
    EXPECT_EQ(form.Label2()->text(), QStringLiteral("Busy"));
    EXPECT_EQ(form.Label2()->palette().color(QPalette::Window), kRed);
    EXPECT_FALSE(form.Button1()->isEnabled());
    EXPECT_EQ(series.Count(), 2);  // the plot stays

    QTest::mouseClick(form.Label2(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(form.Label2()->text(), QStringLiteral("Free"));
    EXPECT_EQ(form.Label2()->palette().color(QPalette::Window), kGreen);
    EXPECT_TRUE(form.Button1()->isEnabled());
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(ScannerWindow, StartWithThePortClosed)
{
    form.Chart1()->Series1().AddXY(140.0, -50.0);
    port.open = false;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    EXPECT_EQ(boxes.messages, std::vector<std::string>{"First, open Com Port please !"});
    EXPECT_TRUE(form.Button1()->isEnabled());
    EXPECT_FALSE(Scanning());
    EXPECT_EQ(form.Label2()->text(), QStringLiteral("Status"));
    EXPECT_EQ(form.Chart1()->Series1().Count(), 1);
}

TEST_F(ScannerWindow, FailingPortShowsOneErrorAndFreesTheWindow)
{
    form.Timer1()->setInterval(1000 * 1000);
    port.failAfter = 3;  // the first RSL fails
    form.Button1Click();
    Answer();
    for (int ticks = 0; ticks < 10 && Scanning(); ++ticks)
        form.Timer1Timer();
    EXPECT_FALSE(Scanning());
    EXPECT_EQ(boxes.errors.size(), 1u);
    EXPECT_TRUE(form.Button1()->isEnabled());
    EXPECT_EQ(form.Label2()->text(), QStringLiteral("Free"));
}

} // namespace
