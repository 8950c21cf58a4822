#pragma once
#include "platform/ini_file.h"
#include "platform/serial_device.h"
#include "platform/ui/controls.h"
#include "protocol/comport_request_port.h"
#include "protocol/program_state.h"
#include "protocol/reply_parser.h"
#include "protocol/request_port.h"
#include "protocol/sender.h"
#include "protocol/status_poll.h"
#include "presets/channels.h"
#include "serial/comport.h"
#include "station/observed_request_port.h"
#include "station/station_hub.h"

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTimer;
class TDblClickLabel;
class TiLedBar;
class ReceiveEcho;

// A watch over the main window's port (the reconnection of a lost line is
// one): told when the line goes and when the operator takes the port in hand.
class PortWatch {
public:
    virtual ~PortWatch() = default;
    // The open port's line went away; the hub has it already, the port still
    // counts as open and the poll ran or not as pollRunning says. True when
    // the watch takes the loss over: the window then releases the port and
    // stops the poll without a box, the toggle left pressed (the operator's
    // wish to have the port open).
    virtual bool LineLost(const std::string& port, bool pollRunning) = 0;
    // The operator works the port: the toggle is clicked, or the window closes.
    virtual void PortInHand() = 0;
};

// The main window Form1: owns the port, the program-wide state and every
// control the operator works with. Each handler is a few lines that call the
// subsystem it belongs to; every control's signal reaches its handler
// through the handler guard, so an error is shown and the program goes on.
class TForm1 : public QMainWindow,
               private ReplyDisplay,
               private PollView,
               private ChannelView,
               private StationListener {
public:
    // settingsFile is the program-wide SettingsFile; device is the port's
    // serial device (a fake in tests); clock stamps the station's events.
    // Runs FormCreate.
    explicit TForm1(TCustomIniFile& settingsFile,
                    std::unique_ptr<SerialDevice> device = CreateSystemSerialDevice(),
                    UtcClock& clock = SystemUtcClock());
    ~TForm1() override;

    // The Options window and the scanner window, created after this one.
    void SetOtherWindows(QWidget* options, QWidget* scanner);
    // The menu of the additions ("Station"), after the menu bar's own
    // entries; made at the first call, so a build without additions shows none.
    QMenu* StationMenu();
    // Puts the Station menu's entries in groups, in the order given by their
    // object names, a separator between groups; entries not named follow.
    void ArrangeStationMenu(const std::vector<std::vector<QString>>& groups);
    // Where the parser's scan level goes (the scanner window's Label1).
    void SetScanLevelDisplay(std::function<void(const std::string&)> show);
    // The watch over the port; nullptr for none (a lost line then always
    // closes the port with its box).
    void SetPortWatch(PortWatch* watch) { portWatch_ = watch; }
    // Opens the port again with its settings and shows it open as the toggle's
    // open path does (poll box unticked, poll stopped); records nothing. When
    // the open fails its error is raised and the window is left as it was.
    void ReopenPort();

    ProgramState State;
    TComPort ComPort;
    // What the station does, for logs, network control, metrics and the
    // status bar's free panels.
    StationHub Hub;
    ComPortRequestPort ComPortWrites{ComPort};
    // Every sender writes through this one, so the hub sees every request.
    ObservedRequestPort PortRequests{ComPortWrites, Hub};

    // Controls, named as on the window (see the layout table).
    QAction* File1 = nullptr;
    QAction* Options1 = nullptr;
    QAction* About1 = nullptr;
    QLabel* Image1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QGroupBox* PresetBox = nullptr;
    QPushButton* Buttonconfig[5] = {};  // Button1config .. Button5config
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* StatusLabel[8] = {};        // Label1 .. Label8 (Label8 is also Label8 below)
    TDblClickLabel* Label8 = nullptr;
    QPushButton* Button1 = nullptr;
    TLabel* Label9 = nullptr;  // sized to its text
    QLabel* StaticText9 = nullptr;
    TiLedBar* iLedBar1 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel[4] = {};
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;

    // --- handlers (raise on error; the guard shows it) ---
    void FormCreate();
    void FormClose();
    void SpeedButton1Click();
    void Timer1Timer();
    void Button3Click();
    void Options1Click();
    void About1Click();
    void Button1Click();
    void BitBtn1Click();
    void Button2Click();
    void BitBtn2Click();
    void ComPortRxChar(std::int32_t Count);
    void CheckBox1Click();
    void Timer2Timer();
    void Label8DblClick();
    void ComboBox1Change();
    void ButtonconfigClick(int n);  // Button1configClick .. Button5configClick
    void ComPortEventError(const std::string& message);
    // The system asks the program to end (a stop signal): the close steps as
    // when the window is closed, but with nobody there to read a box an error
    // is recorded instead, and the program ends all the same.
    void EndAtSystemsRequest();
    // The line went away: the close path of the toggle, then one error.
    void ComPortLineLost();

    // Sequences asked for by network control (client: who asked): the
    // operator's own, shown alike, but a closed port raises instead of
    // showing the guard message, and every error goes back to the caller.
    void RemoteTune(double mhz);
    void RemoteChooseChannel(int index, const std::string& client);  // 0..14
    void RemoteRecall(int n, const std::string& client);             // 1..5

protected:
    // FormClose; an error keeps the window open.
    void closeEvent(QCloseEvent* event) override;

private:
    SenderContext Senders() { return {PortRequests, State}; }
    void BuildMenu();
    void FindControls();
    void Connect();
    // Runs a sequence that writes to the port; a write that failed because
    // the line is gone becomes the line-lost notice instead of a second box.
    void Sending(const std::function<void()>& send);
    // The lost line's path (ComPortLineLost); polling: the poll ran when the line went.
    void HandleLostLine(bool polling);
    // False (and the operator told why) for text the line cannot carry.
    bool RequestSendable(const QString& text);

    // ReplyDisplay
    void ShowStatusField(int k, const std::string& text) override;
    void ShowOffset(const std::string& text) override;
    void ShowDecoderLock(DecoderLock lock) override;
    void ShowScanLevel(const std::string& text) override;
    void Replied(const ParsedReply& reply) override;
    // PollView
    bool PollBoxTicked() const override;
    void SetPollBoxTicked(bool ticked) override;
    bool PollTimerEnabled() const override;
    void SetPollTimerEnabled(bool enabled) override;
    std::string OffsetCaption() const override;
    void ShowTunedFrequency(const std::string& text) override;
    void SetLevelBarPosition(double position) override;
    // ChannelView
    void SetSelectorGreen() override;
    // StationListener: the free status-bar panels show the hub's notes.
    void NotesChanged() override;
    void StopPoll();
    void EndProgram();
    // Raises when the port is closed (network control's sequences).
    std::string RecallText(int n) const;
    void RemotePortOpen() const;
    // The toggle's open path after the port has opened.
    void ShowPortOpen();

    TCustomIniFile& settingsFile_;
    StatusPoll poll_{Senders(), *this};
    QWidget* options_ = nullptr;
    QWidget* scanner_ = nullptr;
    std::function<void(const std::string&)> showScanLevel_;
    std::unique_ptr<ReceiveEcho> echo_;
    QMenu* stationMenu_ = nullptr;
    PortWatch* portWatch_ = nullptr;
};
