#include "app/ui/form1.h"

#include "app/ui/app_texts.h"
#include "app/ui/clock_text.h"
#include "app/ui/dblclick_label.h"
#include "app/ui/layout.h"
#include "app/ui/receive_echo.h"
#include "platform/messages.h"
#include "platform/ui/controls.h"
#include "platform/ui/guard.h"
#include "platform/workdir.h"
#include "presets/recall.h"
#include "protocol/requests.h"
#include "serial/ecomport.h"
#include "widgets/ui/iledbar.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

QString ToQ(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string FromQ(const QString& text)
{
    return text.toLatin1().toStdString();
}

} // namespace

TForm1::TForm1(TCustomIniFile& settingsFile, std::unique_ptr<SerialDevice> device, UtcClock& clock)
    : ComPort("ComPort", std::move(device)), Hub(clock), settingsFile_(settingsFile)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Design-time settings of the port: the component's defaults are those of
    // the main window (COM1, 9600 8N1, no flow control, DTR and RTS off, all
    // events, basic settings stored).
    ComPort.OnRxChar = [this](TCustomComPort&, std::int32_t count) { ComPortRxChar(count); };
    ComPort.OnEventError = [this](TCustomComPort&, const std::string& message) { ComPortEventError(message); };
    ComPort.OnLineLost = [this](TCustomComPort&) { RunGuarded([this] { ComPortLineLost(); }); };

    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(client);
    BuildMenu();
    BuildControls(client, Form1Controls());
    FindControls();
    echo_ = std::make_unique<ReceiveEcho>(Memo1);

    for (const ChannelRow& row : kChannels)
        ComboBox1->addItem(ToQ(std::string(row.listText)));
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("SATELLITE"));

    StatusBar1->SetPanels(Form1StatusPanels());
    for (int panel = 0; panel < StatusBar1->PanelCount() && panel < 4; ++panel)
        StatusPanel[panel] = StatusBar1->Panel(panel);

    // The clock stays a coarse timer: Qt wakes a 1000 ms one on whole
    // seconds, so it keeps its second and joins the system's other wake-ups.
    // The poll paces the modem: a coarse timer would move each tick by up to
    // 5 % (25 ms) to share wake-ups; a precise one holds every period.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer2->setInterval(Pacing::PollPeriodMs);

    ApplyWindowLayout(this, Form1Window(), client);
    Hub.Subscribe(*this);
    Connect();
    Timer1->start();

    // Numbers: our conversions never consult the locale, so "." is the
    // separator whatever the regional settings; nothing to set here.
    RunGuarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    Hub.Unsubscribe(*this);
    // The port's notifications reach into this window; stop them first.
    ComPort.OnRxChar = nullptr;
    ComPort.OnEventError = nullptr;
    ComPort.OnLineLost = nullptr;
    RunGuarded([this] { ComPort.Close(); });
}

void TForm1::SetOtherWindows(QWidget* options, QWidget* scanner)
{
    options_ = options;
    scanner_ = scanner;
}

void TForm1::SetScanLevelDisplay(std::function<void(const std::string&)> show)
{
    showScanLevel_ = std::move(show);
}

void TForm1::BuildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    File1 = bar->addAction(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Options1 = bar->addAction(QStringLiteral("Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    About1 = bar->addAction(QStringLiteral("About"));
    About1->setObjectName(QStringLiteral("About1"));
}

QMenu* TForm1::StationMenu()
{
    if (!stationMenu_) {
        stationMenu_ = menuBar()->addMenu(QStringLiteral("Station"));
        stationMenu_->setObjectName(QStringLiteral("StationMenu"));
        stationMenu_->menuAction()->setObjectName(QStringLiteral("Station1"));
    }
    return stationMenu_;
}

void TForm1::ArrangeStationMenu(const std::vector<std::vector<QString>>& groups)
{
    QMenu* menu = StationMenu();
    QList<QAction*> rest;
    for (QAction* a : menu->actions()) {
        menu->removeAction(a);
        if (a->isSeparator())
            a->deleteLater();
        else
            rest << a;
    }
    bool first = true;
    for (const std::vector<QString>& group : groups) {
        bool any = false;
        for (const QString& name : group) {
            for (QAction* a : rest) {
                if (a->objectName() != name)
                    continue;
                if (!any && !first)
                    menu->addSeparator();
                menu->addAction(a);
                rest.removeOne(a);
                any = true;
                break;
            }
        }
        first = first && !any;
    }
    if (!rest.isEmpty() && !first)
        menu->addSeparator();
    menu->addActions(rest);
}

void TForm1::FindControls()
{
    // The controls of the layout table, by class.
    QWidget* c = centralWidget();
    for (auto [button, name] : {std::pair{&SpeedButton1, "SpeedButton1"}, {&BitBtn2, "BitBtn2"}, {&Button3, "Button3"},
                                {&BitBtn1, "BitBtn1"}, {&Button2, "Button2"}, {&Button1, "Button1"}})
        *button = FindControl<QPushButton>(c, name);
    const char* recall[5] = {"Button1config", "Button2config", "Button3config", "Button4config", "Button5config"};
    for (int i = 0; i < 5; ++i)
        Buttonconfig[i] = FindControl<QPushButton>(c, recall[i]);
    for (auto [box, name] : {std::pair{&PresetBox, "PresetBox"}, {&GroupBox1, "GroupBox1"}})
        *box = FindControl<QGroupBox>(c, name);
    for (auto [box, name] : {std::pair{&CheckBox2, "CheckBox2"}, {&CheckBox1, "CheckBox1"}})
        *box = FindControl<QCheckBox>(c, name);
    const char* labels[8] = {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "Label8"};
    for (int i = 0; i < 8; ++i)
        StatusLabel[i] = FindControl<QLabel>(c, labels[i]);
    for (auto [label, name] : {std::pair{&Image1, "Image1"}, {&StaticText9, "StaticText9"}})
        *label = FindControl<QLabel>(c, name);
    ComboBox1 = FindControl<QComboBox>(c, "ComboBox1");
    Edit1 = FindControl<QLineEdit>(c, "Edit1");
    Memo1 = FindControl<QPlainTextEdit>(c, "Memo1");
    Label8 = FindControl<TDblClickLabel>(c, "Label8");
    Label9 = FindControl<TLabel>(c, "Label9");
    iLedBar1 = FindControl<TiLedBar>(c, "iLedBar1");
    StatusBar1 = FindControl<TStatusBar>(c, "StatusBar1");
}

void TForm1::Connect()
{
    connect(SpeedButton1, &QPushButton::clicked, this, Guard([this] { SpeedButton1Click(); }));
    connect(Timer1, &QTimer::timeout, this, Guard([this] { Timer1Timer(); }));
    connect(Timer2, &QTimer::timeout, this, Guard([this] { Timer2Timer(); }));
    connect(Button3, &QPushButton::clicked, this, Guard([this] { Button3Click(); }));
    connect(Options1, &QAction::triggered, this, Guard([this] { Options1Click(); }));
    connect(About1, &QAction::triggered, this, Guard([this] { About1Click(); }));
    connect(Button1, &QPushButton::clicked, this, Guard([this] { Button1Click(); }));
    connect(BitBtn1, &QPushButton::clicked, this, Guard([this] { BitBtn1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guard([this] { Button2Click(); }));
    connect(BitBtn2, &QPushButton::clicked, this, Guard([this] { BitBtn2Click(); }));
    // toggled: every change of the tick, by the operator or by the program.
    connect(CheckBox1, &QCheckBox::toggled, this, Guard([this] { CheckBox1Click(); }));
    connect(Label8, &TDblClickLabel::doubleClicked, this, Guard([this] { Label8DblClick(); }));
    // A change: the operator picks an item (also the one already shown, so a
    // channel can be sent again) or types into the edit field.
    connect(ComboBox1, &QComboBox::activated, this, Guard([this] { ComboBox1Change(); }));
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, Guard([this] { ComboBox1Change(); }));
    for (int i = 0; i < 5; ++i)
        connect(Buttonconfig[i], &QPushButton::clicked, this, Guard([this, i] { ButtonconfigClick(i + 1); }));
}

// --- creation and close -----------------------------------------------------

void TForm1::FormCreate()
{
    ComPort.LoadSettings(stIniFile, SettingsFilePath());
    const RecallCaptions captions = ReadRecallCaptions(settingsFile_);
    for (int i = 0; i < 5; ++i)
        Buttonconfig[i]->setText(ToQ(captions[static_cast<std::size_t>(i)]));
}

void TForm1::FormClose()
{
    if (portWatch_)
        portWatch_->PortInHand();
    ComPort.Close();
    RecallCaptions captions;
    for (int i = 0; i < 5; ++i)
        captions[static_cast<std::size_t>(i)] = FromQ(Buttonconfig[i]->text());
    WriteRecallCaptions(settingsFile_, captions);
    ComPort.StoreSettings(stIniFile, SettingsFilePath());
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!RunGuarded([this] { FormClose(); })) {
        event->ignore();
        return;
    }
    event->accept();
    EndProgram();
}

void TForm1::EndProgram()
{
    // Closing the main window ends the program; the other windows go with it.
    // The port is closed by now: the poll and a running scan stop first, so no
    // tick that comes before the event loop ends meets the closed port.
    StopPoll();
    if (options_)
        options_->hide();
    if (scanner_)
        scanner_->close();  // the scanner's own close stops its tick
    QCoreApplication::quit();
}

void TForm1::EndAtSystemsRequest()
{
    try {
        FormClose();
    } catch (const std::exception& e) {
        Hub.Record(EventKind::Error, e.what());
        std::fprintf(stderr, "varnetrix-reader: %s\n", e.what());
    }
    hide();
    EndProgram();
}

// --- the main window's own handlers ------------------------------------------

void TForm1::SpeedButton1Click()
{
    if (portWatch_)
        portWatch_->PortInHand();
    if (SpeedButton1->isChecked()) {
        ComPort.Open();
        Hub.PortOpened(ComPort.Port());
        ShowPortOpen();
    } else {
        ComPort.Close();
        Hub.PortClosed(ComPort.Port());
        SetFontColour(SpeedButton1, Colours::WindowText.Resolve());
        SpeedButton1->setText(QString::fromLatin1(kOpenPortCaption));
        StopPoll();
        SetBackground(ComboBox1, Colours::Red.Resolve());
    }
}

void TForm1::ShowPortOpen()
{
    SetFontColour(SpeedButton1, Colours::Red.Resolve());
    SpeedButton1->setText(QString::fromLatin1(kClosePortCaption));
    CheckBox1->setChecked(false);  // the poll box's rule runs on this change
    StopPoll();
}

void TForm1::ReopenPort()
{
    ComPort.Open();
    SpeedButton1->setChecked(true);
    ShowPortOpen();
}

void TForm1::Timer1Timer()
{
    StatusPanel[3]->setText(QString::fromLatin1(kClockPrefix) + LongTimeText(QLocale::system(), QTime::currentTime()));
}

void TForm1::Button3Click()
{
    Memo1->clear();
    echo_->Reset();
}

void TForm1::Options1Click()
{
    if (!options_)
        return;
    options_->show();
    options_->raise();
    options_->activateWindow();
}

void TForm1::About1Click() { ShowMessage(kAboutText); }

void TForm1::Button1Click()
{
    if (!scanner_)
        return;
    scanner_->show();
    scanner_->raise();
    scanner_->activateWindow();
}

// --- handlers of the other subsystems ----------------------------------------

void TForm1::BitBtn1Click() { Sending([this] { SendBCS(Senders()); }); }
void TForm1::Button2Click() { Sending([this] { SendCES(Senders()); }); }

void TForm1::BitBtn2Click()
{
    const QString text = Edit1->text();
    // A closed port gets the usual guard message, whatever the text.
    if (ComPort.Connected() && !RequestSendable(text))
        return;
    Sending([this, &text] { SendEditText(Senders(), FromQ(text)); });
}

bool TForm1::RequestSendable(const QString& text)
{
    // The line carries 8-bit characters: anything beyond Latin-1 would go out
    // as a substitute the operator did not type. Message boxes are Latin-1
    // too, so the refused characters are named by their code points.
    std::vector<char32_t> refused;
    for (char32_t c : text.toUcs4()) {
        if (c > 0xFF && std::find(refused.begin(), refused.end(), c) == refused.end())
            refused.push_back(c);
    }
    if (!refused.empty()) {
        std::string list;
        constexpr std::size_t kNamed = 16; // a pasted page must not make a page-long box
        for (std::size_t i = 0; i < refused.size() && i < kNamed; ++i) {
            if (i)
                list += ", ";
            list += QStringLiteral("U+%1").arg(static_cast<uint>(refused[i]), 4, 16, QLatin1Char('0')).toUpper().toStdString();
        }
        if (refused.size() > kNamed)
            list += ", ...";
        Messages().ShowError(std::string(kUnsendableCharsText) + list);
        return false;
    }
    if (text.size() > kMaxRequestLength) {
        Messages().ShowError(QString::fromLatin1(kRequestTooLongText)
                                 .arg(text.size())
                                 .arg(kMaxRequestLength)
                                 .toStdString());
        return false;
    }
    return true;
}

void TForm1::Sending(const std::function<void()>& send)
{
    // A failing poll tick stops the poll before its error leaves it.
    const bool polling = Timer2->isActive();
    try {
        send();
    } catch (const EComPort&) {
        if (!ComPort.Connected() || !ComPort.LineGone())
            throw;
        // The line has gone; the event thread's notice, queued behind this
        // handler, will find the port closed and stay quiet.
        HandleLostLine(polling);
    }
}

void TForm1::ComPortRxChar(std::int32_t Count)
{
    // Not guarded: an error here goes back to the event thread, which ends
    // delivery; the port then reports it once through OnEventError.
    State.ScanLevelText.clear();
    std::string data;
    ComPort.ReadStr(data, Count);
    HandleReceived(State, data, *this);
    if (CheckBox2->isChecked())
        echo_->Append(data);
}

void TForm1::CheckBox1Click() { poll_.PollBoxChanged(); }
void TForm1::Timer2Timer() { Sending([this] { poll_.Tick(); }); }
void TForm1::Label8DblClick()
{
    bool corrected = false;
    Sending([this, &corrected] {
        poll_.CorrectOffset();
        corrected = true;
    });
    if (corrected)
        Hub.Record(EventKind::OffsetCorrection,
                   FromQ(Label9->text()) + " MHz (offset " + FromQ(Label8->text()) + " Hz)");
}

void TForm1::ComboBox1Change()
{
    // Typed text selects the item it spells exactly, or none; the list keeps
    // its last pick meanwhile, which must not be sent again at every key.
    const bool typed = ComboBox1->currentIndex() < 0 ||
                       ComboBox1->currentText() != ComboBox1->itemText(ComboBox1->currentIndex());
    const int index = typed ? ComboBox1->findText(ComboBox1->currentText(),
                                                  Qt::MatchFixedString | Qt::MatchCaseSensitive)
                            : ComboBox1->currentIndex();
    if (ComPort.Connected() && index >= 0 && index < static_cast<int>(kChannels.size()))
        Hub.ChannelChosen(index, kChannels[static_cast<std::size_t>(index)].listText, Origin::Operator);
    Sending([&] { ChooseChannel(Senders(), settingsFile_, index, *this); });
}

void TForm1::ButtonconfigClick(int n)
{
    if (ComPort.Connected() && n >= 1 && n <= 5)
        Hub.Record(EventKind::Recall, RecallText(n) + " by the operator");
    Sending([this, n] { Recall(Senders(), n); });
}

void TForm1::ComPortEventError(const std::string& message) { Messages().ShowError(message); }

void TForm1::ComPortLineLost() { HandleLostLine(Timer2->isActive()); }

void TForm1::HandleLostLine(bool polling)
{
    const std::string port = ComPort.Port();
    Hub.PortLost(port, "device went away or hung up");
    if (portWatch_ && portWatch_->LineLost(port, polling)) {
        // Reconnecting: the dead line is released and the poll waits for it.
        ComPort.Close();
        StopPoll();
        return;
    }
    // The toggle's own close path, as if the operator had released it.
    SpeedButton1->setChecked(false);
    SpeedButton1Click();
    Messages().ShowError(QString::fromLatin1(kLineLostText).arg(ToQ(port)).toStdString());
}

// --- sequences asked for by network control -----------------------------------

void TForm1::RemoteTune(double mhz)
{
    RemotePortOpen();
    poll_.Retune(mhz);
}

void TForm1::RemoteChooseChannel(int index, const std::string& client)
{
    RemotePortOpen();
    const ChannelRow& row = kChannels.at(static_cast<std::size_t>(index));
    // The selector shows the item, as if the operator had picked it.
    ComboBox1->setCurrentIndex(index);
    Hub.ChannelChosen(index, row.listText, Origin::Remote, client);
    ChooseChannel(Senders(), settingsFile_, index, *this);
}

void TForm1::RemoteRecall(int n, const std::string& client)
{
    RemotePortOpen();
    if (n < 1 || n > 5)
        throw std::invalid_argument("no recall button " + std::to_string(n));
    Hub.Record(EventKind::Recall, RecallText(n) + " by remote client " + client);
    Recall(Senders(), n);
}

// "2 (FY3A)": the recall's number and its button's caption, for the station log.
std::string TForm1::RecallText(int n) const
{
    return std::to_string(n) + " (" + FromQ(Buttonconfig[n - 1]->text()) + ")";
}

void TForm1::RemotePortOpen() const
{
    // The guard's message box is for the operator only.
    if (!ComPort.Connected())
        throw std::runtime_error("Port Not Open");
}

// --- displays written by the protocol and preset code -------------------------

void TForm1::ShowStatusField(int k, const std::string& text)
{
    if (k >= 1 && k <= 7)
        StatusLabel[k - 1]->setText(ToQ(text));
}

void TForm1::ShowOffset(const std::string& text) { Label8->setText(ToQ(text)); }

void TForm1::ShowDecoderLock(DecoderLock lock)
{
    const bool ok = lock == DecoderLock::Ok;
    SetBackground(StaticText9, (ok ? Colours::Green : Colours::Red).Resolve());
    StaticText9->setText(ToQ(std::string(ok ? kDecoderLockOkText : kDecoderLockFaultText)));
}

void TForm1::ShowScanLevel(const std::string& text)
{
    if (showScanLevel_)
        showScanLevel_(text);
}

void TForm1::Replied(const ParsedReply& reply) { Hub.Replied(reply); }

bool TForm1::PollBoxTicked() const { return CheckBox1->isChecked(); }
void TForm1::SetPollBoxTicked(bool ticked) { CheckBox1->setChecked(ticked); }
bool TForm1::PollTimerEnabled() const { return Timer2->isActive(); }

void TForm1::SetPollTimerEnabled(bool enabled)
{
    if (!enabled)
        Timer2->stop();
    else if (!Timer2->isActive())
        Timer2->start();
    Hub.SetPollRunning(Timer2->isActive());
}

void TForm1::StopPoll()
{
    Timer2->stop();
    Hub.SetPollRunning(false);
}

std::string TForm1::OffsetCaption() const { return FromQ(Label8->text()); }
void TForm1::ShowTunedFrequency(const std::string& text) { Label9->setText(ToQ(text)); }
void TForm1::SetLevelBarPosition(double position) { iLedBar1->SetPosition(position); }
void TForm1::SetSelectorGreen() { SetBackground(ComboBox1, Colours::Green.Resolve()); }

void TForm1::NotesChanged()
{
    // Panels 1 and 2 (32 pixels) carry the two indicators, panel 3 the newest
    // note, shortened to its width; the tooltips carry the whole texts.
    const Indicator order[2] = {Indicator::Remote, Indicator::Metrics};
    for (int i = 0; i < 2; ++i) {
        const IndicatorText& text = Hub.IndicatorOf(order[i]);
        StatusPanel[i]->setText(ToQ(text.shortText));
        StatusPanel[i]->setToolTip(ToQ(text.longText));
        StatusPanel[i]->setAccessibleDescription(ToQ(text.longText));
    }
    const QString newest = ToQ(Hub.NewestNote());
    QLabel* panel = StatusPanel[2];
    panel->setText(panel->fontMetrics().elidedText(newest, Qt::ElideRight, panel->width() - 4));
    QStringList all;
    for (const std::string& note : Hub.NoteTexts())
        all << ToQ(note);
    panel->setToolTip(all.join(QLatin1Char('\n')));
    panel->setAccessibleDescription(newest);
}
