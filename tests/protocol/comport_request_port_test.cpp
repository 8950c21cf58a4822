// The senders over the real port component (on the fake device): each
// request reaches the device as one write, and the component's errors pass
// through the adapter unchanged.
#include "protocol/comport_request_port.h"
#include "protocol/sender.h"

#include "presets/channels.h"

#include "fake_serial_device.h"
#include "memory_ini_file.h"
#include "platform/sync_call.h"
#include "recorded_messages.h"
#include "serial/ecomport.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class NoView final : public ChannelView {
public:
    void SetSelectorGreen() override {}
    void ShowTunedFrequency(const std::string& text) override { label9 = text; }
    std::string label9;
};

struct AdapterFixture : ::testing::Test {
    ~AdapterFixture() override
    {
        port.reset();
        RunPendingSyncCalls();
    }

    VirtualClock clock;
    RecordedMessages boxes;
    FakeSerialDevice* fake = new FakeSerialDevice;
    std::unique_ptr<TComPort> port = std::make_unique<TComPort>("ComPort", std::unique_ptr<SerialDevice>(fake));
    ComPortRequestPort requests{*port};
    ProgramState state;
    SenderContext ctx{requests, state};
};

TEST_F(AdapterFixture, ChannelSequenceReachesTheDeviceOneWritePerRequest)
{
    port->Open();
    ASSERT_TRUE(requests.Connected());
    MemoryIniFile settings;
    NoView view;
    ChooseChannel(ctx, settings, 3, view);
    EXPECT_EQ(fake->writes(), (std::vector<FakeSerialDevice::WriteRecord>{{0, "<1/REM_\r"},
                                                                          {200, "<1/DF_151.000000\r"},
                                                                          {600, "<1/SDRV_QPSK_5600.000\r"},
                                                                          {1000, "<1/DSR_NRM\r"}}));
    EXPECT_EQ(view.label9, "151");
}

TEST_F(AdapterFixture, ClosedComponentRefusesThroughGuardAndRaisesPortNotOpenUnguarded)
{
    EXPECT_FALSE(requests.Connected());
    SendBCS(ctx);
    EXPECT_EQ(boxes.messages, (std::vector<std::string>{"First, open Com Port please !"}));
    try {
        SendRequest(ctx, "<1/REM_");
        FAIL() << "expected Port Not Open";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Port Not Open");
    }
    EXPECT_TRUE(fake->writes().empty());
}

TEST_F(AdapterFixture, DeviceWriteFailureReachesTheSender)
{
    port->Open();
    fake->FailNext("Write", 5);
    EXPECT_THROW(SendRequest(ctx, "<1/CES_"), EComPort);
    EXPECT_EQ(state.LastCommand, "<1/CES_");
}

} // namespace
