#include "scanner/ui/form3.h"

#include "platform/ui/guard.h"
#include "scanner/ui/chart.h"
#include "scanner/ui/click_label.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

#include <optional>

namespace {

const QColor kNavy(0, 0, 128);
const QColor kLime(0, 255, 0);
const QColor kGrey(128, 128, 128);

enum class Kind { Button, CheckBox, Label, Chart };

// The font colour of a control: the window's, a fixed one, or the system's
// 3-D dark shadow colour.
enum class FontColour { Window, Fixed, DarkShadow };

struct Control {
    const char* name;
    Kind kind;
    QRect geometry;
    const char* text;
    FontColour fontColour = FontColour::Window;
    QColor font;                       // with FontColour::Fixed
    int fontPixels = 0;                // 0: the window's 11 pixels
    std::optional<QColor> background;  // none: the window shows through
};

// The scanner window's layout, pixels at 96 dpi, client coordinates.
const Control kControls[] = {
    {"Button1", Kind::Button, {8, 16, 65, 17}, "Scan....", FontColour::Window, {}, 0, {}},
    {"CheckBox2", Kind::CheckBox, {88, 16, 81, 17}, "0.1 MHz step", FontColour::DarkShadow, {}, 0, {}},
    {"CheckBox1", Kind::CheckBox, {176, 16, 81, 17}, "Slow scann", FontColour::Fixed, kGrey, 0, kNavy},
    {"Label3", Kind::Label, {384, 16, 64, 16}, "Frequency", FontColour::Fixed, kLime, 13, {}},
    {"Label1", Kind::Label, {464, 16, 26, 16}, "RSL", FontColour::Fixed, kLime, 13, {}},
    {"Label2", Kind::Label, {512, 16, 30, 13}, "Status", FontColour::Fixed, Qt::black, 0, {}},
    {"Chart1", Kind::Chart, {8, 48, 529, 281}, "", FontColour::Window, {}, 0, {}},
};

constexpr int kTimer1IntervalMs = 100;

QColor FromTColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QFont WindowFont()
{
    // Where the design font is missing, the nearest in width, so captions fit their boxes.
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    f.setPixelSize(11);  // character height, as the layout was drawn
    return f;
}

} // namespace

TForm3::TForm3(ProgramState& state, RequestPort& port, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      controller_(state, port, *this)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("SLM-7650 Frequency Scanner"));
    setFont(WindowFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kNavy);
    setPalette(pal);
    setAutoFillBackground(true);
    move(kOuterGeometry.topLeft());  // a window's position is that of its frame
    resize(kClientSize);

    BuildControls();

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(kTimer1IntervalMs);
    connect(timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(label2_, &TClickLabel::clicked, this, [this] { Label2Click(); });
}

TForm3::~TForm3() = default;

void TForm3::BuildControls()
{
    for (const Control& c : kControls) {
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Button: w = button1_ = new QPushButton(QString::fromLatin1(c.text), this); break;
        case Kind::CheckBox: {
            auto* box = new QCheckBox(QString::fromLatin1(c.text), this);
            (QLatin1String(c.name) == QLatin1String("CheckBox1") ? checkBox1_ : checkBox2_) = box;
            w = box;
            break;
        }
        case Kind::Label: {
            auto* label = new TClickLabel(QString::fromLatin1(c.text), this);
            const QLatin1String name(c.name);
            (name == QLatin1String("Label1") ? label1_ : name == QLatin1String("Label2") ? label2_ : label3_) = label;
            w = label;
            break;
        }
        case Kind::Chart: w = chart1_ = new TChart(this); break;
        }
        w->setObjectName(QString::fromLatin1(c.name));
        w->setGeometry(c.geometry);
        QPalette pal = w->palette();
        if (c.fontColour == FontColour::Fixed) {
            pal.setColor(QPalette::WindowText, c.font);
            pal.setColor(QPalette::ButtonText, c.font);
        } else if (c.fontColour == FontColour::DarkShadow) {
            const QColor shadow = pal.color(QPalette::Shadow);
            pal.setColor(QPalette::WindowText, shadow);
            pal.setColor(QPalette::ButtonText, shadow);
        }
        if (c.background) {
            pal.setColor(QPalette::Window, *c.background);
            w->setBackgroundRole(QPalette::Window);  // buttons fill with Button otherwise
            w->setAutoFillBackground(true);
        }
        w->setPalette(pal);
        if (c.fontPixels > 0) {
            QFont f = font();
            f.setPixelSize(c.fontPixels);
            w->setFont(f);
        }
    }
}

void TForm3::ShowScanLevel(const std::string& text)
{
    label1_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    label1_->adjustSize();
}

void TForm3::Button1Click()
{
    RunGuarded([this] { controller_.Start(); });
}

void TForm3::Timer1Timer()
{
    RunGuarded([this] { controller_.Tick(); });
}

void TForm3::Label2Click()
{
    RunGuarded([this] { controller_.Stop(); });
}

void TForm3::FormClose()
{
    RunGuarded([this] { controller_.Close(); });
}

void TForm3::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();  // hidden, not destroyed
}

void TForm3::SetStatus(const std::string& text, TColor background)
{
    label2_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    QPalette pal = label2_->palette();
    pal.setColor(QPalette::Window, FromTColor(background));
    label2_->setPalette(pal);
    label2_->setAutoFillBackground(true);
    label2_->adjustSize();
}

void TForm3::SetFrequencyText(const std::string& text)
{
    label3_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    label3_->adjustSize();
}

void TForm3::SetStartEnabled(bool enabled) { button1_->setEnabled(enabled); }
void TForm3::StartTimer() { timer1_->start(); }
void TForm3::StopTimer() { timer1_->stop(); }
bool TForm3::TimerRunning() const { return timer1_->isActive(); }
bool TForm3::SlowScan() const { return checkBox1_->isChecked(); }
bool TForm3::FineStep() const { return checkBox2_->isChecked(); }
TChartSeries& TForm3::Series() { return chart1_->Series1(); }
void TForm3::RepaintChart() { chart1_->repaint(); }
