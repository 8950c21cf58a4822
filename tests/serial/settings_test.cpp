// LoadSettings / StoreSettings of the port component against real INI files.
#include "fake_serial_device.h"
#include "platform/profile.h"
#include "serial/comport.h"
#include "serial/ecomport.h"
#include "unprivileged.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class PortSettings : public testing::Test {
protected:
    void TearDown() override { SetProfileWriteHook(nullptr); }

    // Loads `section` (the body of [ComPort]) into the port.
    void LoadSection(const std::string& section)
    {
        WriteFileBytes(path, "[ComPort]\n" + section);
        port.LoadSettings(stIniFile, path);
    }
    // The file's lines after storing from scratch.
    std::string StoreFresh()
    {
        fs::remove(path);
        port.StoreSettings(stIniFile, path);
        return ReadFileBytes(path);
    }

    TempDir dir;
    std::string path = dir.File("varnetrixreader.ini");
    std::shared_ptr<FakeSerialDevice> fake = std::make_shared<FakeSerialDevice>();
    TComPort port{"ComPort", fake->Share()};
};

void ExpectError(const std::function<void()>& call, int number, const std::string& message)
{
    try {
        call();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorNumber(), number);
        EXPECT_EQ(std::string(e.what()), message);
        EXPECT_EQ(e.SystemError(), -1);
    }
}

TEST_F(PortSettings, FirstRunWithoutFileKeepsDefaultsAndStoresTheSixBasicKeys)
{
    port.LoadSettings(stIniFile, path);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_FALSE(fs::exists(path));

    port.StoreSettings(stIniFile, path);
    EXPECT_EQ(ReadFileBytes(path), "[ComPort]\n"
                                   "Port=COM1\n"
                                   "BaudRate=9600\n"
                                   "StopBits=1\n"
                                   "DataBits=8\n"
                                   "Parity=None\n"
                                   "FlowControl=None\n");
}

TEST_F(PortSettings, HandEditedFileKeepsEveryLineItDoesNotChange)
{
    WriteFileBytes(path, "; station settings\r\n"
                         "[Recall]\r\n"
                         "Recall1=MetOp\r\n"
                         "\r\n"
                         "[COMPORT]\r\n"
                         "port = /dev/ttyUSB0\r\n"
                         "; baudrate=115200\r\n"
                         "baudrate=4800\r\n"
                         "DataBits=7\r\n"
                         "Buffer.InputSize=4096\r\n"
                         "\r\n"
                         "[Frequency]\r\n"
                         "MetopA=137.1\r\n");
    port.LoadSettings(stIniFile, path);
    EXPECT_EQ(port.Port(), "/dev/ttyUSB0");
    EXPECT_EQ(port.BaudRate(), br4800);
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.Buffer().InputSize(), 1024); // spBuffer is not stored

    port.SetBaudRate(br19200);
    port.StoreSettings(stIniFile, path);
    EXPECT_EQ(ReadFileBytes(path), "; station settings\r\n"
                                   "[Recall]\r\n"
                                   "Recall1=MetOp\r\n"
                                   "\r\n"
                                   "[COMPORT]\r\n"
                                   "port = /dev/ttyUSB0\r\n"
                                   "; baudrate=115200\r\n"
                                   "baudrate=19200\r\n"
                                   "DataBits=7\r\n"
                                   "Buffer.InputSize=4096\r\n"
                                   "StopBits=1\r\n"
                                   "Parity=None\r\n"
                                   "FlowControl=None\r\n"
                                   "\r\n"
                                   "[Frequency]\r\n"
                                   "MetopA=137.1\r\n");
}

struct LoadCase {
    const char* name;
    const char* section;                         // body of [ComPort]
    std::function<void(TComPort&)> before;       // settings held before the load
    std::function<void(const TComPort&)> check;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class LoadForms : public PortSettings, public testing::WithParamInterface<LoadCase> {};

TEST_P(LoadForms, ConvertsTheStoredText)
{
    port.SetStoredProps(TStoredProps::All());
    if (GetParam().before)
        GetParam().before(port);
    LoadSection(GetParam().section);
    GetParam().check(port);
}

const LoadCase kLoadCases[] = {
    {"CustomWithRate", "BaudRate=Custom\nCustomBaudRate=500\n", nullptr,
     [](const TComPort& p) { EXPECT_EQ(p.BaudRate(), brCustom); EXPECT_EQ(p.CustomBaudRate(), 500); }},
    {"CustomWithoutRateGives9600", "BaudRate=custom\n", [](TComPort& p) { p.SetCustomBaudRate(1234); },
     [](const TComPort& p) { EXPECT_EQ(p.BaudRate(), brCustom); EXPECT_EQ(p.CustomBaudRate(), 9600); }},
    {"CustomRateIgnoredWithoutCustom", "BaudRate=9600\nCustomBaudRate=500\n",
     [](TComPort& p) { p.SetCustomBaudRate(1234); },
     [](const TComPort& p) { EXPECT_EQ(p.BaudRate(), br9600); EXPECT_EQ(p.CustomBaudRate(), 1234); }},
    {"UnknownRateGivesFallbackNotCurrent", "BaudRate=12345\n", [](TComPort& p) { p.SetBaudRate(br4800); },
     [](const TComPort& p) { EXPECT_EQ(p.BaudRate(), br9600); }},
    {"ThreeStopBits", "StopBits=3\n", [](TComPort& p) { p.SetStopBits(sbTwoStopBits); },
     [](const TComPort& p) { EXPECT_EQ(p.StopBits(), sbOneStopBit); }},
    {"OneAndAHalfStopBits", "StopBits=1.5\n", nullptr,
     [](const TComPort& p) { EXPECT_EQ(p.StopBits(), sbOne5StopBits); }},
    {"NineDataBits", "DataBits=9\n", [](TComPort& p) { p.SetDataBits(dbSeven); },
     [](const TComPort& p) { EXPECT_EQ(p.DataBits(), dbEight); }},
    {"ParityInLowerCase", "Parity=even\n", nullptr,
     [](const TComPort& p) { EXPECT_EQ(p.Parity().Bits(), prEven); }},
    {"MissingKeysKeepCurrent", "", [](TComPort& p) { p.SetPort("COM4"); p.SetBaudRate(br2400); p.Buffer().SetInputSize(4096); },
     [](const TComPort& p) { EXPECT_EQ(p.Port(), "COM4"); EXPECT_EQ(p.BaudRate(), br2400); EXPECT_EQ(p.Buffer().InputSize(), 4096); }},
    {"EmptyPortIsTakenVerbatim", "Port=\n", nullptr, [](const TComPort& p) { EXPECT_EQ(p.Port(), ""); }},
    {"FlowControlHardware", "FlowControl=Hardware\n", nullptr,
     [](const TComPort& p) {
         EXPECT_EQ(p.FlowControl().ControlRTS(), rtsHandshake);
         EXPECT_TRUE(p.FlowControl().OutCTSFlow());
         EXPECT_EQ(p.FlowControl().FlowControl(), fcHardware);
     }},
    // Custom and unknown texts leave every flag as it was.
    {"FlowControlCustom", "FlowControl=Custom\n",
     [](TComPort& p) { p.FlowControl().SetOutCTSFlow(true); p.FlowControl().SetXonXoffIn(true); },
     [](const TComPort& p) {
         EXPECT_TRUE(p.FlowControl().OutCTSFlow());
         EXPECT_TRUE(p.FlowControl().XonXoffIn());
         EXPECT_EQ(p.FlowControl().ControlRTS(), rtsDisable);
     }},
    {"FlowControlUnknown", "FlowControl=RTS/CTS\n",
     [](TComPort& p) { p.FlowControl().SetControlRTS(rtsToggle); },
     [](const TComPort& p) { EXPECT_EQ(p.FlowControl().ControlRTS(), rtsToggle); }},
    {"RtsDtrTexts", "FlowControl.ControlRTS=toggle\nFlowControl.ControlDTR=Toggle\n",
     [](TComPort& p) { p.FlowControl().SetControlDTR(dtrEnable); },
     [](const TComPort& p) {
         EXPECT_EQ(p.FlowControl().ControlRTS(), rtsToggle);
         EXPECT_EQ(p.FlowControl().ControlDTR(), dtrDisable); // DTR has no toggle: fallback
     }},
    {"BadIntegerKeepsCurrent", "Buffer.InputSize=big\nTimeouts.ReadInterval=$FFFFFFFF\nTimeouts.WriteTotalConstant=0x1F4\n",
     [](TComPort& p) { p.Buffer().SetInputSize(2048); },
     [](const TComPort& p) {
         EXPECT_EQ(p.Buffer().InputSize(), 2048);
         EXPECT_EQ(p.Timeouts().ReadInterval(), -1);
         EXPECT_EQ(p.Timeouts().WriteTotalConstant(), 500);
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, LoadForms, testing::ValuesIn(kLoadCases),
                         [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST_F(PortSettings, YesNoForm)
{
    port.SetStoredProps({spOthers});
    const struct {
        const char* text;
        bool expected;
    } cases[] = {{"Yes", true}, {"yes", true}, {"YES", true}, {"yEs", true}, {"Y", false},
                 {"No", false}, {"yes please", false}, {"1", false}, {"true", false}, {"", false}};
    for (const auto& c : cases) {
        port.SetDiscardNull(!c.expected); // a text that is not "yes" gives false, not the current value
        LoadSection(std::string("DiscardNull=") + c.text + "\n");
        EXPECT_EQ(port.DiscardNull(), c.expected) << '"' << c.text << '"';
    }
    port.SetDiscardNull(true);
    EXPECT_EQ(StoreFresh(), "[ComPort]\nEventChar=#0\nDiscardNull=Yes\n");
    port.SetDiscardNull(false);
    EXPECT_EQ(StoreFresh(), "[ComPort]\nEventChar=#0\nDiscardNull=No\n");
}

TEST_F(PortSettings, CharacterForm)
{
    port.SetStoredProps({spOthers});
    const struct {
        unsigned char byte;
        const char* text;
    } stored[] = {{17, "#17"}, {0, "#0"}, {32, "#32"}, {33, "!"}, {'A', "A"},
                  {127, "\x7f"}, {128, "#128"}, {255, "#255"}};
    for (const auto& c : stored) {
        port.SetEventChar(static_cast<char>(c.byte));
        EXPECT_EQ(StoreFresh(), std::string("[ComPort]\nEventChar=") + c.text + "\nDiscardNull=No\n")
            << int(c.byte);
        port.SetEventChar(1);
        port.LoadSettings(stIniFile, path);
        EXPECT_EQ(static_cast<unsigned char>(port.EventChar()), c.byte) << "read back " << c.text;
    }

    const struct {
        const char* text;
        unsigned char expected;
    } read[] = {{"", 0}, {"#", '#'}, {"#abc", 0}, {"#65", 'A'}, {"#$41", 'A'}, {"#300", 0},
                {"#-1", 0}, {"A", 'A'}, {"Abc", 'A'}, {"#0", 0}};
    for (const auto& c : read) {
        port.SetEventChar(1);
        LoadSection(std::string("EventChar=") + c.text + "\n");
        EXPECT_EQ(static_cast<unsigned char>(port.EventChar()), c.expected) << '"' << c.text << '"';
    }
}

TEST_F(PortSettings, AllGroupsInOrderAndBack)
{
    port.SetStoredProps(TStoredProps::All());
    port.SetPort("/dev/ttyUSB1");
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.SetStopBits(sbTwoStopBits);
    port.SetDataBits(dbSeven);
    port.Parity().SetBits(prMark);
    port.FlowControl().SetFlowControl(fcSoftware);
    port.SetEventChar('\n');
    port.SetDiscardNull(true);
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('?');
    port.Buffer().SetOutputSize(2048);
    port.Buffer().SetInputSize(4097);
    port.Timeouts().SetReadInterval(10);
    port.Timeouts().SetReadTotalConstant(20);
    port.Timeouts().SetReadTotalMultiplier(30);
    port.Timeouts().SetWriteTotalConstant(40);
    port.Timeouts().SetWriteTotalMultiplier(50);
    port.FlowControl().SetControlDTR(dtrHandshake);
    port.FlowControl().SetDSRSensitivity(true);
    port.FlowControl().SetOutDSRFlow(true);
    port.FlowControl().SetTxContinueOnXoff(true);
    port.FlowControl().SetXoffChar(static_cast<char>(0x93));
    port.FlowControl().SetXonChar('Q');

    EXPECT_EQ(StoreFresh(), "[ComPort]\n"
                            "Port=/dev/ttyUSB1\n"
                            "BaudRate=Custom\n"
                            "CustomBaudRate=250000\n"
                            "StopBits=2\n"
                            "DataBits=7\n"
                            "Parity=Mark\n"
                            "FlowControl=Software\n"
                            "EventChar=#10\n"
                            "DiscardNull=Yes\n"
                            "Parity.Check=Yes\n"
                            "Parity.Replace=Yes\n"
                            "Parity.ReplaceChar=?\n"
                            "Buffer.OutputSize=2048\n"
                            "Buffer.InputSize=4096\n"
                            "Timeouts.ReadInterval=10\n"
                            "Timeouts.ReadTotalConstant=20\n"
                            "Timeouts.ReadTotalMultiplier=30\n"
                            "Timeouts.WriteTotalConstant=40\n"
                            "Timeouts.WriteTotalMultiplier=50\n"
                            "FlowControl.ControlRTS=Disable\n"
                            "FlowControl.ControlDTR=Handshake\n"
                            "FlowControl.DSRSensitivity=Yes\n"
                            "FlowControl.OutCTSFlow=No\n"
                            "FlowControl.OutDSRFlow=Yes\n"
                            "FlowControl.TxContinueOnXoff=Yes\n"
                            "FlowControl.XonXoffIn=Yes\n"
                            "FlowControl.XonXoffOut=Yes\n"
                            "FlowControl.XoffChar=#147\n"
                            "FlowControl.XonChar=Q\n");

    TComPort other("ComPort", std::make_shared<FakeSerialDevice>()->Share());
    other.SetStoredProps(TStoredProps::All());
    other.LoadSettings(stIniFile, path);
    EXPECT_EQ(other.Port(), "/dev/ttyUSB1");
    EXPECT_EQ(other.BaudRate(), brCustom);
    EXPECT_EQ(other.CustomBaudRate(), 250000);
    EXPECT_EQ(other.StopBits(), sbTwoStopBits);
    EXPECT_EQ(other.DataBits(), dbSeven);
    EXPECT_EQ(other.Parity().Bits(), prMark);
    EXPECT_EQ(other.FlowControl().FlowControl(), fcSoftware);
    EXPECT_EQ(other.EventChar(), '\n');
    EXPECT_TRUE(other.DiscardNull());
    EXPECT_TRUE(other.Parity().Check());
    EXPECT_TRUE(other.Parity().Replace());
    EXPECT_EQ(other.Parity().ReplaceChar(), '?');
    EXPECT_EQ(other.Buffer().OutputSize(), 2048);
    EXPECT_EQ(other.Buffer().InputSize(), 4096);
    EXPECT_EQ(other.Timeouts().ReadInterval(), 10);
    EXPECT_EQ(other.Timeouts().ReadTotalConstant(), 20);
    EXPECT_EQ(other.Timeouts().ReadTotalMultiplier(), 30);
    EXPECT_EQ(other.Timeouts().WriteTotalConstant(), 40);
    EXPECT_EQ(other.Timeouts().WriteTotalMultiplier(), 50);
    EXPECT_EQ(other.FlowControl().ControlDTR(), dtrHandshake);
    EXPECT_TRUE(other.FlowControl().DSRSensitivity());
    EXPECT_TRUE(other.FlowControl().OutDSRFlow());
    EXPECT_TRUE(other.FlowControl().TxContinueOnXoff());
    EXPECT_EQ(other.FlowControl().XoffChar(), static_cast<char>(0x93));
    EXPECT_EQ(other.FlowControl().XonChar(), 'Q');
}

TEST_F(PortSettings, OldCustomRateStaysInTheFileAndIsIgnored)
{
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(500);
    port.StoreSettings(stIniFile, path);
    port.SetBaudRate(br9600);
    port.StoreSettings(stIniFile, path);
    EXPECT_EQ(ReadFileBytes(path), "[ComPort]\nPort=COM1\nBaudRate=9600\nCustomBaudRate=500\n"
                                   "StopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n");
    TComPort other("ComPort", std::make_shared<FakeSerialDevice>()->Share());
    other.LoadSettings(stIniFile, path);
    EXPECT_EQ(other.BaudRate(), br9600);
    EXPECT_EQ(other.CustomBaudRate(), 9600);
}

TEST_F(PortSettings, SectionIsTheComponentName)
{
    port.SetName("Modem2");
    LoadSection("Port=COM5\n"); // [ComPort] is not this component's section
    EXPECT_EQ(port.Port(), "COM1");
    port.StoreSettings(stIniFile, path);
    EXPECT_NE(ReadFileBytes(path).find("[ComPort]\nPort=COM5\n[Modem2]\nPort=COM1\n"), std::string::npos);
}

bool RefuseEveryWrite(ProfileWriteStep) { return false; }

TEST_F(PortSettings, RefusedWritesRaiseFailedToStoreAndLeaveTheFile)
{
    const std::string before = "[ComPort]\r\nPort=COM3\r\n";
    WriteFileBytes(path, before);
    // As root the permission bits stop nothing, so the refusal is injected where the system would refuse.
    SetProfileWriteHook(&RefuseEveryWrite);
    ExpectError([&] { port.StoreSettings(stIniFile, path); }, 16, "Failed to store settings");
    SetProfileWriteHook(nullptr);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(dir.EntryCount(), 1u);

    fs::create_directory(dir.File("a-directory"));
    ExpectError([&] { port.StoreSettings(stIniFile, dir.File("a-directory")); }, 16, "Failed to store settings");
    ExpectError([&] { port.StoreSettings(stIniFile, dir.File("missing/x.ini")); }, 16, "Failed to store settings");
}

TEST_F(PortSettings, ReadOnlyFileRaisesFailedToStore)
{
    const std::string before = "[ComPort]\nPort=COM3\n";
    WriteFileBytes(path, before);
    fs::permissions(path, fs::perms(0444));
    ExpectError([&] { port.StoreSettings(stIniFile, path); }, 16, "Failed to store settings");
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST_F(PortSettings, UnwritableDirectoryAndAFileThisUserMayNotWriteRaiseFailedToStore)
{
    // The superuser passes every permission check: this runs as a normal user.
    const std::string before = "[ComPort]\nPort=COM3\n";
    WriteFileBytes(path, before);
    ASSERT_TRUE(GiveToUnprivilegedUser(dir.Path().string()));
    RunUnprivileged([&] {
        fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        ExpectError([&] { port.StoreSettings(stIniFile, path); }, 16, "Failed to store settings");
        fs::permissions(dir.Path(), fs::perms::owner_all);

        fs::permissions(path, fs::perms(0466)); // others may write, this user (the owner) may not
        ExpectError([&] { port.StoreSettings(stIniFile, path); }, 16, "Failed to store settings");
        fs::permissions(path, fs::perms(0644));
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(dir.EntryCount(), 1u);

        // With its rights back the same user stores: the refusals were the permissions'.
        port.StoreSettings(stIniFile, path);
        EXPECT_NE(ReadFileBytes(path).find("BaudRate=9600"), std::string::npos);
    });
}

TEST_F(PortSettings, NoRegistryHere)
{
    ExpectError([&] { port.LoadSettings(stRegistry, "HKEY_CURRENT_USER\\Software\\Varnetrix"); }, 17,
                "Failed to load settings");
    ExpectError([&] { port.StoreSettings(stRegistry, "HKEY_CURRENT_USER\\Software\\Varnetrix"); }, 16,
                "Failed to store settings");
}

// Open-port cases: the device calls that change the line, in order.
std::vector<std::string> LineCalls(const FakeSerialDevice& fake)
{
    std::vector<std::string> out;
    for (const std::string& c : fake.Calls())
        if (c.rfind("Open", 0) == 0 || c == "Close" || c.rfind("SetupComm", 0) == 0 || c == "SetCommState" ||
            c == "SetCommTimeouts")
            out.push_back(c);
    return out;
}

TEST_F(PortSettings, LoadWhileOpenReopensOnceAndAppliesOnceAtTheEnd)
{
    port.Open();
    fake->ClearCalls();
    LoadSection("Port=COM7\nBaudRate=4800\nStopBits=2\nDataBits=7\nParity=Odd\nFlowControl=Hardware\n");
    EXPECT_EQ(LineCalls(*fake), (std::vector<std::string>{"Close", "Open COM7", "SetupComm 1024 1024",
                                                          "SetCommState", "SetCommTimeouts"}));
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(fake->OpenedPort(), "COM7");
    EXPECT_EQ(fake->LastDcb().BaudRate, 4800u);
    EXPECT_EQ(fake->LastDcb().fOutxCtsFlow, true);

    fake->ClearCalls();
    LoadSection("Port=COM7\nBaudRate=4800\n"); // same port: no reopen, one apply
    EXPECT_EQ(LineCalls(*fake), (std::vector<std::string>{"SetupComm 1024 1024", "SetCommState", "SetCommTimeouts"}));
    port.Close();
}

TEST_F(PortSettings, FailedLoadRaisesFailedToLoadAndClosesTheBracket)
{
    port.Open();
    fake->FailNext("SetCommState", 31);
    ExpectError([&] { LoadSection("BaudRate=19200\n"); }, 17, "Failed to load settings");
    EXPECT_EQ(port.BaudRate(), br19200); // set before the failure, stays set

    // The update bracket was closed: a later change reaches the device at once.
    fake->ClearCalls();
    port.SetBaudRate(br38400);
    EXPECT_EQ(LineCalls(*fake), std::vector<std::string>{"SetCommState"});
    EXPECT_EQ(fake->LastDcb().BaudRate, 38400u);

    // A reopen on the new port that fails is reported the same way.
    fake->FailNext("Open", 2);
    ExpectError([&] { LoadSection("Port=COM9\nBaudRate=9600\n"); }, 17, "Failed to load settings");
    EXPECT_EQ(port.Port(), "COM9");
    EXPECT_FALSE(port.Connected());
    fake->ClearCalls();
    port.Open(); // with the bracket left open this would apply nothing
    EXPECT_EQ(LineCalls(*fake), (std::vector<std::string>{"Open COM9", "SetupComm 1024 1024", "SetCommState",
                                                          "SetCommTimeouts"}));
    port.Close();
}

} // namespace
