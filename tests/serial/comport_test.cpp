// The port component against the fake device: line settings, the update
// bracket, setters, open/close order and failures, reads and writes.
#include "fake_serial_device.h"
#include "platform/sync_call.h"
#include "serial/comport.h"
#include "serial/ecomport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// The control block of the main window's configuration.
DeviceControlBlock MainWindowDcb()
{
    DeviceControlBlock d;
    d.DCBlength = 28;
    d.BaudRate = 9600;
    d.fBinary = true;
    d.XonLim = 256;
    d.XoffLim = 256;
    d.ByteSize = 8;
    d.Parity = serialos::kNoParity;
    d.StopBits = serialos::kOneStopBit;
    d.XonChar = 17;
    d.XoffChar = 19;
    return d;
}

class ComPortTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        port.reset();
        RunPendingSyncCalls();
    }

    // Runs f and returns the device calls it made.
    Calls CallsOf(const std::function<void()>& f)
    {
        fake->ClearCalls();
        f();
        return fake->Calls();
    }

    FakeSerialDevice* fake = new FakeSerialDevice;
    std::unique_ptr<TComPort> port = std::make_unique<TComPort>("ComPort", std::unique_ptr<SerialDevice>(fake));
};

const Calls kOpenCalls = {"Open COM1", "SetupComm 1024 1024", "SetCommState", "SetCommTimeouts",
                          "CreateStopSignal", "SetCommMask 0x5ff",
                          "GetCommModemStatus", "GetCommModemStatus", "GetCommModemStatus"};
const Calls kCloseCalls = {"PurgeComm 0x3", "SetCommMask 0x0", "PurgeComm 0xc", "Close"};

TEST_F(ComPortTest, MainWindowConfigurationGivesItsControlBlockAndTimeouts)
{
    EXPECT_EQ(port->Name(), "ComPort");
    EXPECT_EQ(CallsOf([&] { port->Open(); }), kOpenCalls);
    EXPECT_TRUE(port->Connected());
    EXPECT_TRUE(port->ThreadCreated());
    EXPECT_EQ(fake->LastDcb(), MainWindowDcb());
    DeviceTimeouts t;
    t.ReadIntervalTimeout = 0xFFFFFFFFu;
    t.WriteTotalTimeoutMultiplier = 100;
    t.WriteTotalTimeoutConstant = 1000;
    EXPECT_EQ(fake->LastTimeouts(), t);
    EXPECT_EQ(CallsOf([&] { port->Close(); }), kCloseCalls);
    EXPECT_FALSE(port->Connected());
    EXPECT_FALSE(port->ThreadCreated());
}

TEST_F(ComPortTest, SettingsChangedOnAnOpenPortGiveTheirControlBlockFields)
{
    struct Case {
        const char* name;
        std::function<void(TCustomComPort&)> set;
        std::function<void(DeviceControlBlock&)> expect;
    };
    const Case cases[] = {
        {"115200", [](auto& p) { p.SetBaudRate(br115200); }, [](auto& d) { d.BaudRate = 115200; }},
        {"custom 500", [](auto& p) { p.SetCustomBaudRate(500); p.SetBaudRate(brCustom); },
         [](auto& d) { d.BaudRate = 500; }},
        {"7E2", [](auto& p) { p.SetDataBits(dbSeven); p.Parity().SetBits(prEven); p.SetStopBits(sbTwoStopBits); },
         [](auto& d) { d.ByteSize = 7; d.Parity = 2; d.StopBits = 2; }},
        {"5O1.5", [](auto& p) { p.SetDataBits(dbFive); p.Parity().SetBits(prOdd); p.SetStopBits(sbOne5StopBits); },
         [](auto& d) { d.ByteSize = 5; d.Parity = 1; d.StopBits = 1; }},
        {"mark", [](auto& p) { p.Parity().SetBits(prMark); }, [](auto& d) { d.Parity = 3; }},
        {"space", [](auto& p) { p.Parity().SetBits(prSpace); }, [](auto& d) { d.Parity = 4; }},
        {"check and replace",
         [](auto& p) { p.Parity().SetCheck(true); p.Parity().SetReplace(true); p.Parity().SetReplaceChar('?'); },
         [](auto& d) { d.fParity = true; d.fErrorChar = true; d.ErrorChar = '?'; }},
        {"replace without check", [](auto& p) { p.Parity().SetReplace(true); p.Parity().SetReplaceChar('?'); },
         [](auto&) {}},
        {"hardware", [](auto& p) { p.FlowControl().SetFlowControl(fcHardware); },
         [](auto& d) { d.fOutxCtsFlow = true; d.fRtsControl = serialos::kRtsControlHandshake; }},
        {"software", [](auto& p) { p.FlowControl().SetFlowControl(fcSoftware); },
         [](auto& d) { d.fOutX = true; d.fInX = true; }},
        {"DTR on, RTS toggle",
         [](auto& p) { p.FlowControl().SetControlDTR(dtrEnable); p.FlowControl().SetControlRTS(rtsToggle); },
         [](auto& d) { d.fDtrControl = 1; d.fRtsControl = 3; }},
        {"DTR handshake, RTS on",
         [](auto& p) { p.FlowControl().SetControlDTR(dtrHandshake); p.FlowControl().SetControlRTS(rtsEnable); },
         [](auto& d) { d.fDtrControl = 2; d.fRtsControl = 1; }},
        {"DSR flags",
         [](auto& p) {
             p.FlowControl().SetOutDSRFlow(true);
             p.FlowControl().SetDSRSensitivity(true);
             p.FlowControl().SetTxContinueOnXoff(true);
         },
         [](auto& d) { d.fOutxDsrFlow = true; d.fDsrSensitivity = true; d.fTXContinueOnXoff = true; }},
        {"characters",
         [](auto& p) {
             p.SetDiscardNull(true);
             p.SetEventChar(']');
             p.FlowControl().SetXonChar(1);
             p.FlowControl().SetXoffChar(2);
         },
         [](auto& d) { d.fNull = true; d.EvtChar = ']'; d.XonChar = 1; d.XoffChar = 2; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* dev = new FakeSerialDevice;
        TComPort p("ComPort", std::unique_ptr<SerialDevice>(dev));
        p.SetEvents({});
        p.Open();
        c.set(p);
        DeviceControlBlock expected = MainWindowDcb();
        c.expect(expected);
        EXPECT_EQ(dev->LastDcb(), expected);
    }
}

TEST_F(ComPortTest, ChangeOnAnOpenPortAppliesAtOnceAndAnEqualValueDoesNothing)
{
    port->SetEvents({});
    port->Open();
    EXPECT_EQ(CallsOf([&] { port->SetBaudRate(br19200); }), Calls{"SetCommState"});
    EXPECT_EQ(CallsOf([&] { port->SetBaudRate(br19200); }), Calls{});
    EXPECT_EQ(CallsOf([&] { port->Timeouts().SetWriteTotalConstant(500); }), Calls{"SetCommTimeouts"});
    EXPECT_EQ(CallsOf([&] { port->Buffer().SetOutputSize(512); }), Calls{"SetupComm 1024 512"});
    EXPECT_TRUE(port->Connected()); // applied without closing
}

TEST_F(ComPortTest, OutermostEndUpdateAppliesEachGroupOnceInOrder)
{
    port->SetEvents({});
    port->Open();
    Calls inside = CallsOf([&] {
        port->BeginUpdate();
        port->BeginUpdate();
        port->SetBaudRate(br38400);
        port->Parity().SetBits(prOdd);
        port->Timeouts().SetReadTotalConstant(7);
        port->Buffer().SetInputSize(2048);
        port->EndUpdate();
    });
    EXPECT_EQ(inside, Calls{});
    EXPECT_EQ(CallsOf([&] { port->EndUpdate(); }),
              (Calls{"SetupComm 2048 1024", "SetCommState", "SetCommTimeouts"}));
    EXPECT_EQ(fake->LastDcb().BaudRate, 38400u);
    EXPECT_EQ(fake->LastDcb().Parity, serialos::kOddParity);
    EXPECT_EQ(fake->LastTimeouts().ReadTotalTimeoutConstant, 7u);
}

TEST_F(ComPortTest, UnmatchedEndUpdateDoesNothingAndLeavesNoDebt)
{
    port->SetEvents({});
    port->Open();
    EXPECT_EQ(CallsOf([&] { port->EndUpdate(); port->EndUpdate(); }), Calls{});
    // Had the count gone below zero, this bracket would not defer.
    port->BeginUpdate();
    EXPECT_EQ(CallsOf([&] { port->SetBaudRate(br4800); }), Calls{});
    EXPECT_EQ(CallsOf([&] { port->EndUpdate(); }), (Calls{"SetupComm 1024 1024", "SetCommState", "SetCommTimeouts"}));
}

TEST_F(ComPortTest, BracketOnAClosedPortAppliesNothing)
{
    EXPECT_EQ(CallsOf([&] {
                  port->BeginUpdate();
                  port->SetBaudRate(br1200);
                  port->EndUpdate();
              }),
              Calls{});
    port->SetEvents({});
    port->Open();
    EXPECT_EQ(fake->LastDcb().BaudRate, 1200u);
}

TEST_F(ComPortTest, PortChangedWhileOpenClosesAndReopensAtOnce)
{
    port->Open();
    Calls expected = kCloseCalls;
    Calls reopen = kOpenCalls;
    reopen[0] = "Open COM2";
    expected.insert(expected.end(), reopen.begin(), reopen.end());
    EXPECT_EQ(CallsOf([&] { port->SetPort("COM2"); }), expected);
    EXPECT_EQ(fake->OpenedPort(), "COM2");
    EXPECT_EQ(CallsOf([&] { port->SetPort("COM2"); }), Calls{});
}

TEST_F(ComPortTest, LowerCaseNameIsAChange)
{
    port->Open();
    port->SetPort("com1");
    EXPECT_EQ(port->Port(), "com1");
    EXPECT_EQ(fake->OpenedPort(), "com1");
    EXPECT_TRUE(port->Connected());
}

TEST_F(ComPortTest, PortChangedInsideABracketReopensAtOnceAndAppliesAtTheEnd)
{
    port->SetEvents({});
    port->Open();
    port->BeginUpdate();
    EXPECT_EQ(CallsOf([&] { port->SetPort("COM3"); }), (Calls{"PurgeComm 0x3", "Close", "Open COM3",
                                                              "GetCommModemStatus", "GetCommModemStatus",
                                                              "GetCommModemStatus"}));
    EXPECT_EQ(CallsOf([&] { port->EndUpdate(); }), (Calls{"SetupComm 1024 1024", "SetCommState", "SetCommTimeouts"}));
}

TEST_F(ComPortTest, SyncMethodAndPriorityCannotChangeWhileOpen)
{
    port->SetSyncMethod(smNone);
    port->SetEventThreadPriority(tpHigher);
    EXPECT_EQ(port->SyncMethod(), smNone);
    EXPECT_EQ(port->EventThreadPriority(), tpHigher);
    port->Open();
    for (auto change : {std::function<void()>([&] { port->SetSyncMethod(smWindowSync); }),
                        std::function<void()>([&] { port->SetEventThreadPriority(tpLowest); })}) {
        try {
            change();
            ADD_FAILURE() << "no error while connected";
        } catch (const EComPort& e) {
            EXPECT_STREQ(e.what(), "Cannot set property while connected");
            EXPECT_EQ(e.ErrorNumber(), 14);
        }
    }
    EXPECT_EQ(port->SyncMethod(), smNone);
    EXPECT_EQ(port->EventThreadPriority(), tpHigher);
}

TEST_F(ComPortTest, QueueSizesAreStoredEven)
{
    struct Case {
        std::int32_t set;
        std::int32_t stored;
    };
    for (auto c : {Case{1025, 1024}, Case{2001, 2000}, Case{1, 0}, Case{0, 0}, Case{-3, -3}, Case{512, 512}}) {
        port->Buffer().SetInputSize(c.set);
        port->Buffer().SetOutputSize(c.set);
        EXPECT_EQ(port->Buffer().InputSize(), c.stored) << c.set;
        EXPECT_EQ(port->Buffer().OutputSize(), c.stored) << c.set;
    }
    port->Buffer().SetInputSize(1025);
    port->Buffer().SetOutputSize(1024);
    port->SetEvents({});
    port->Open();
    EXPECT_EQ(fake->LastDcb().XonLim, 256);
    EXPECT_EQ(fake->LastDcb().XoffLim, 256);
    EXPECT_EQ(fake->Calls()[1], "SetupComm 1024 1024");
}

TEST(ComFlowControlTest, SummaryReadsFromTheFourFlags)
{
    struct Case {
        TRTSFlowControl rts;
        bool cts, xin, xout, dsr;
        TFlowControl expected;
    };
    const Case cases[] = {
        {rtsHandshake, true, false, false, false, fcHardware},
        {rtsDisable, false, true, true, false, fcSoftware},
        {rtsDisable, false, false, false, false, fcNone},
        {rtsDisable, false, false, false, true, fcNone}, // OutDSRFlow plays no part
        {rtsEnable, false, false, false, false, fcCustom},
        {rtsHandshake, false, false, false, false, fcCustom},
        {rtsDisable, true, false, false, false, fcCustom},
        {rtsDisable, false, true, false, false, fcCustom},
        {rtsHandshake, true, true, true, false, fcCustom},
    };
    for (const auto& c : cases) {
        TComFlowControl f;
        f.SetControlRTS(c.rts);
        f.SetOutCTSFlow(c.cts);
        f.SetXonXoffIn(c.xin);
        f.SetXonXoffOut(c.xout);
        f.SetOutDSRFlow(c.dsr);
        f.SetControlDTR(dtrEnable);
        EXPECT_EQ(f.FlowControl(), c.expected) << int(c.rts) << c.cts << c.xin << c.xout << c.dsr;
    }
}

TEST(ComFlowControlTest, WritingTheSummarySetsTheFlagsOrLeavesThemForCustom)
{
    struct Case {
        TFlowControl write;
        TRTSFlowControl rts;
        bool cts, xin, xout;
    };
    const Case cases[] = {
        {fcHardware, rtsHandshake, true, false, false},
        {fcSoftware, rtsDisable, false, true, true},
        {fcNone, rtsDisable, false, false, false},
        {fcCustom, rtsEnable, true, true, false}, // the starting flags
    };
    for (const auto& c : cases) {
        TComFlowControl f;
        f.SetControlRTS(rtsEnable);
        f.SetOutCTSFlow(true);
        f.SetXonXoffIn(true);
        f.SetOutDSRFlow(true);
        f.SetFlowControl(c.write);
        EXPECT_EQ(f.ControlRTS(), c.rts) << int(c.write);
        EXPECT_EQ(f.OutCTSFlow(), c.cts) << int(c.write);
        EXPECT_EQ(f.XonXoffIn(), c.xin) << int(c.write);
        EXPECT_EQ(f.XonXoffOut(), c.xout) << int(c.write);
        EXPECT_TRUE(f.OutDSRFlow()) << int(c.write); // not one of the four
    }
}

TEST_F(ComPortTest, WritingTheSummaryAlwaysReapplies)
{
    port->SetEvents({});
    port->Open();
    EXPECT_EQ(CallsOf([&] { port->FlowControl().SetFlowControl(fcCustom); }), Calls{"SetCommState"});
    EXPECT_EQ(CallsOf([&] { port->FlowControl().SetFlowControl(fcNone); }), Calls{"SetCommState"});
    EXPECT_EQ(fake->LastDcb(), MainWindowDcb());
}

TEST_F(ComPortTest, AssigningASettingsObjectCopiesAndReapplies)
{
    port->SetEvents({});
    port->Open();
    TComTimeouts t;
    t.SetReadInterval(10);
    t.SetWriteTotalMultiplier(5);
    EXPECT_EQ(CallsOf([&] { port->SetTimeouts(t); }), Calls{"SetCommTimeouts"});
    EXPECT_EQ(port->Timeouts().ReadInterval(), 10);
    EXPECT_EQ(port->Timeouts().ComPort(), port.get()); // still owned by the port
    EXPECT_EQ(fake->LastTimeouts().WriteTotalTimeoutMultiplier, 5u);
}

// Open/close notifications and their order.
class ComPortNotifyTest : public ComPortTest {
protected:
    void SetUp() override
    {
        port->OnBeforeOpen = [&](TCustomComPort&) { log.push_back("BeforeOpen"); };
        port->OnAfterOpen = [&](TCustomComPort& p) { log.push_back(p.Connected() ? "AfterOpen open" : "AfterOpen closed"); };
        port->OnBeforeClose = [&](TCustomComPort&) { log.push_back("BeforeClose"); };
        port->OnAfterClose = [&](TCustomComPort& p) { log.push_back(p.Connected() ? "AfterClose open" : "AfterClose closed"); };
        port->OnCTSChange = [&](TCustomComPort&, bool on) { log.push_back(std::string("CTS ") + (on ? "on" : "off")); };
        port->OnDSRChange = [&](TCustomComPort&, bool on) { log.push_back(std::string("DSR ") + (on ? "on" : "off")); };
        port->OnRLSDChange = [&](TCustomComPort&, bool on) { log.push_back(std::string("RLSD ") + (on ? "on" : "off")); };
    }
    std::vector<std::string> log;
};

TEST_F(ComPortNotifyTest, OpenAndCloseRaiseTheirNotificationsInOrder)
{
    fake->SetModemStatus(serialos::kMsDsrOn | serialos::kMsRlsdOn);
    port->Open();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "AfterOpen open", "CTS off", "DSR on", "RLSD on"}));
    log.clear();
    port->Close();
    EXPECT_EQ(log, (std::vector<std::string>{"CTS off", "DSR off", "RLSD off", "BeforeClose", "AfterClose closed"}));
}

TEST_F(ComPortNotifyTest, OpenOnOpenAndCloseOnClosedDoNothing)
{
    EXPECT_EQ(CallsOf([&] { port->Close(); port->SetConnected(false); }), Calls{});
    port->Open();
    log.clear();
    EXPECT_EQ(CallsOf([&] { port->Open(); port->SetConnected(true); }), Calls{});
    EXPECT_TRUE(log.empty());
    port->SetConnected(false);
    EXPECT_FALSE(port->Connected());
}

TEST_F(ComPortNotifyTest, WithoutEventsNoThreadIsMadeAndNotificationsStillCome)
{
    port->SetEvents({});
    port->Open();
    EXPECT_FALSE(port->ThreadCreated());
    EXPECT_EQ(fake->Calls(), (Calls{"Open COM1", "SetupComm 1024 1024", "SetCommState", "SetCommTimeouts",
                                    "GetCommModemStatus", "GetCommModemStatus", "GetCommModemStatus"}));
    port->Close();
    EXPECT_EQ(log.size(), 10u);
}

TEST_F(ComPortNotifyTest, DeviceThatCannotOpenRaisesErrorOneAndStaysClosed)
{
    fake->FailNext("Open", 2);
    try {
        port->Open();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorNumber(), 1);
        EXPECT_EQ(e.SystemError(), 2);
        EXPECT_STREQ(e.what(), "Unable to open com port (Error: 2)");
    }
    EXPECT_FALSE(port->Connected());
    EXPECT_FALSE(port->ThreadCreated());
    EXPECT_EQ(log, std::vector<std::string>{"BeforeOpen"});
    EXPECT_EQ(fake->Calls(), Calls{"Open COM1"});
}

TEST_F(ComPortTest, FailingApplyStepClosesTheHandleAgain)
{
    struct Case {
        const char* call;
        int number;
        const char* message;
    };
    const Case cases[] = {
        {"SetupComm", 9, "SetupComm function failed (Error: 22)"},
        {"SetCommState", 7, "SetCommState function failed (Error: 22)"},
        {"SetCommTimeouts", 8, "SetCommTimeouts failed (Error: 22)"},
        // A port whose line events cannot be selected would look open and stay silent.
        {"SetCommMask", 1, "Unable to open com port (Error: 22)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        fake->FailNext(c.call, 22);
        fake->ClearCalls();
        try {
            port->Open();
            ADD_FAILURE() << "no error";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.ErrorNumber(), c.number);
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_FALSE(port->Connected());
        EXPECT_FALSE(port->ThreadCreated());
        EXPECT_FALSE(fake->IsOpen());
        EXPECT_EQ(fake->Calls().back(), "Close");
    }
}

TEST_F(ComPortTest, FailedReapplyKeepsTheNewValue)
{
    port->SetEvents({});
    port->Open();
    fake->FailNext("SetCommState", 22);
    EXPECT_THROW(port->SetBaudRate(br2400), EComPort);
    EXPECT_EQ(port->BaudRate(), br2400);
    EXPECT_TRUE(port->Connected());
}

TEST_F(ComPortTest, ModemStatusFailureAfterOpenLeavesThePortOpenWithItsThread)
{
    fake->FailNext("GetCommModemStatus", 5);
    try {
        port->Open();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorNumber(), 11);
    }
    EXPECT_TRUE(port->Connected());
    EXPECT_TRUE(port->ThreadCreated());
}

TEST_F(ComPortTest, AbortFailureInCloseLeavesThePortOpen)
{
    port->Open();
    fake->FailNext("PurgeComm", 6);
    try {
        port->Close();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "PurgeComm function failed (Error: 6)");
    }
    EXPECT_TRUE(port->Connected());
    EXPECT_TRUE(port->ThreadCreated());
    port->Close();
    EXPECT_FALSE(port->Connected());
}

TEST_F(ComPortTest, FailedHandleCloseStillMarksThePortClosed)
{
    port->SetEvents({});
    port->Open();
    fake->FailNext("Close", 5);
    port->Close();
    EXPECT_FALSE(port->Connected());
}

TEST_F(ComPortTest, ReadsAndWritesOnAClosedPortRaisePortNotOpen)
{
    std::string text = "kept";
    char buffer[4];
    const std::function<void()> ops[] = {
        [&] { port->WriteStr("x"); },
        [&] { port->ReadStr(text, 5); },
        [&] { port->Write("x", 1); },
        [&] { port->Read(buffer, 4); },
    };
    for (const auto& op : ops) {
        try {
            op();
            ADD_FAILURE() << "no error";
        } catch (const EComPort& e) {
            EXPECT_STREQ(e.what(), "Port Not Open");
            EXPECT_EQ(e.ErrorNumber(), 24);
            EXPECT_EQ(e.SystemError(), -1);
        }
    }
    EXPECT_EQ(text, "kept");
}

TEST_F(ComPortTest, EmptyWriteAndZeroReadStartNothing)
{
    port->SetEvents({});
    port->Open();
    fake->Receive("abc");
    std::string text = "old";
    EXPECT_EQ(CallsOf([&] {
                  EXPECT_EQ(port->WriteStr(""), 0);
                  EXPECT_EQ(port->ReadStr(text, 0), 0);
              }),
              Calls{});
    EXPECT_EQ(text, "");
    EXPECT_TRUE(fake->writes().empty());
}

TEST_F(ComPortTest, WritesReachTheDeviceAndReadsTakeWhatIsQueued)
{
    port->SetEvents({});
    port->Open();
    EXPECT_EQ(port->WriteStr("<1/REM_\r"), 8);
    EXPECT_EQ(fake->Written(), "<1/REM_\r");
    fake->Receive("]ok");
    EXPECT_EQ(port->InputCount(), 3);
    std::string text;
    EXPECT_EQ(port->ReadStr(text, 10), 3);
    EXPECT_EQ(text, "]ok");
    EXPECT_EQ(port->InputCount(), 0);
}

TEST_F(ComPortTest, WriteThatRunsIntoTheTimeoutReturnsFewerBytes)
{
    port->SetEvents({});
    port->Open();
    fake->SetWriteLimit(3);
    EXPECT_EQ(port->WriteStr("abcdef"), 3);
    EXPECT_EQ(fake->Written(), "abc");
}

TEST_F(ComPortTest, DeviceFailuresOfReadWriteAndCountsRaiseTheirErrors)
{
    struct Case {
        const char* call;
        std::function<void(TCustomComPort&)> op;
        const char* message;
    };
    const Case cases[] = {
        {"Write", [](auto& p) { p.WriteStr("x"); }, "WriteFile function failed (Error: 5)"},
        {"Read", [](auto& p) { std::string s; p.ReadStr(s, 3); }, "ReadFile function failed (Error: 5)"},
        {"ClearCommError", [](auto& p) { p.InputCount(); }, "ClearCommError function failed (Error: 5)"},
        {"ClearCommError", [](auto& p) { p.LastErrors(); }, "ClearCommError function failed (Error: 5)"},
        {"GetCommModemStatus", [](auto& p) { p.Signals(); }, "GetCommModemStatus function failed (Error: 5)"},
    };
    port->SetEvents({});
    port->Open();
    for (const auto& c : cases) {
        fake->FailNext(c.call, 5);
        try {
            c.op(*port);
            ADD_FAILURE() << c.call << ": no error";
        } catch (const EComPort& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_TRUE(port->Connected());
    }
}

TEST_F(ComPortTest, LineErrorsTranslateWithParityOnlyWhenChecked)
{
    port->SetEvents({});
    port->Open();
    const std::uint32_t all = serialos::kCeFrame | serialos::kCeRxParity | serialos::kCeOverrun |
                              serialos::kCeBreak | serialos::kCeIoe | serialos::kCeMode | serialos::kCeRxOver |
                              serialos::kCeTxFull;
    fake->SetLineErrors(all);
    EXPECT_EQ(port->LastErrors(), TComErrors::All().Exclude(ceRxParity));
    EXPECT_TRUE(port->LastErrors().Empty()); // read and cleared
    port->Parity().SetCheck(true);
    fake->SetLineErrors(serialos::kCeRxParity | serialos::kCeOverrun);
    EXPECT_EQ(port->LastErrors(), (TComErrors{ceRxParity, ceOverrun}));
}

TEST_F(ComPortTest, SignalsAreTheModemStatusShiftedByFour)
{
    port->SetEvents({});
    port->Open();
    fake->SetModemStatus(serialos::kMsCtsOn | serialos::kMsRingOn);
    EXPECT_EQ(port->Signals(), (TComSignals{csCTS, csRing}));
}

TEST(ComPortLifetimeTest, DestroyingAnOpenPortClosesTheDevice)
{
    auto fake = std::make_shared<FakeSerialDevice>();
    {
        TComPort port("ComPort", fake->Share());
        port.Open();
        EXPECT_TRUE(fake->IsOpen());
    }
    EXPECT_FALSE(fake->IsOpen());
    EXPECT_EQ(fake->Calls().back(), "Close");
}

TEST(ComPortSetupDialogTest, ShowSetupDialogRunsTheRegisteredFunction)
{
    TComPort port("ComPort", std::make_unique<FakeSerialDevice>());
    port.ShowSetupDialog(); // none registered: nothing happens
    TCustomComPort* edited = nullptr;
    SetEditComPortFunction([&](TCustomComPort& p) { edited = &p; });
    port.ShowSetupDialog();
    SetEditComPortFunction({});
    EXPECT_EQ(edited, &port);
}

} // namespace
