// The program's own serial device against the modem simulator on a
// pseudo-terminal: the reply bytes, carriage returns included, reach the
// program as the simulator sent them, whatever the faults.
#include "platform/serial_device.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <thread>

namespace {

using simtest::Replies;
using simtest::Sim;

class DeviceOnSim {
public:
    explicit DeviceOnSim(const std::string& path) : device_(CreateSystemSerialDevice())
    {
        opened_ = device_->Open(path);
        if (opened_ != 0)
            return;
        DeviceControlBlock dcb;
        dcb.BaudRate = 9600;
        dcb.fBinary = true;
        dcb.ByteSize = 8;
        dcb.Parity = serialos::kNoParity;
        dcb.StopBits = serialos::kOneStopBit;
        EXPECT_EQ(device_->SetupComm(1024, 1024), 0);
        EXPECT_EQ(device_->SetCommState(dcb), 0);
        DeviceTimeouts t;
        t.ReadIntervalTimeout = 0xFFFFFFFFu; // reads return what is queued
        t.WriteTotalTimeoutMultiplier = 100;
        t.WriteTotalTimeoutConstant = 1000;
        EXPECT_EQ(device_->SetCommTimeouts(t), 0);
        EXPECT_EQ(device_->SetCommMask(serialos::kEvRxChar), 0);
        stop_ = device_->CreateStopSignal();
    }
    ~DeviceOnSim()
    {
        if (opened_ == 0)
            device_->Close();
    }

    int Opened() const { return opened_; }

    void Send(const std::string& request)
    {
        std::string bytes = request + "\r";
        std::int32_t done = 0;
        ASSERT_EQ(device_->Write(bytes.data(), static_cast<std::int32_t>(bytes.size()), done), 0);
        ASSERT_EQ(done, static_cast<std::int32_t>(bytes.size()));
    }

    // Waits for line events as the event thread does and reads what is
    // queued, until `replies` "]" have come or the line reports an end. A
    // watchdog raises the stop signal so that a silent line cannot hang the test.
    WaitOutcome Receive(int replies, std::string& got)
    {
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 500 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!done)
                stop_->Raise();
        });
        WaitOutcome last = WaitOutcome::Events;
        int waits = 0;
        while (static_cast<int>(std::count(got.begin(), got.end(), ']')) < replies && waits++ < 1000) {
            std::uint32_t events = 0;
            last = device_->WaitCommEvent(*stop_, events);
            if (last == WaitOutcome::Stopped || last == WaitOutcome::WaitFailed)
                break;
            std::uint32_t errors = 0;
            std::int32_t queued = 0;
            if (device_->ClearCommError(errors, queued) != 0 || queued <= 0)
                continue;
            std::string buf(static_cast<std::size_t>(queued), '\0');
            std::int32_t n = 0;
            if (device_->Read(buf.data(), queued, n) == 0)
                got.append(buf.data(), static_cast<std::size_t>(n));
        }
        done = true;
        watchdog.join();
        return last;
    }

private:
    std::unique_ptr<SerialDevice> device_;
    std::unique_ptr<StopSignal> stop_;
    int opened_ = -1;
};

TEST(SimOnTheProgramsDevice, RepliesArriveIntactWithAndWithoutFaults)
{
    const std::vector<std::vector<std::string>> runs = {{}, {"--split"}, {"--split", "--stray"}, {"--delay", "50"}};
    for (const auto& extra : runs) {
        std::vector<std::string> args = extra;
        args.insert(args.end(), {"--seed", "21", "--offset", "1500"});
        Sim sim(args);
        DeviceOnSim line(sim.Path());
        ASSERT_EQ(line.Opened(), 0) << sim.Path();
        line.Send("<1/DF_147.800000");
        line.Send("<1/BCAS_");
        line.Send("<1/CSV_");
        line.Send("<1/RSL_");
        std::string got;
        line.Receive(4, got);
        auto replies = Replies(got);
        ASSERT_EQ(replies.size(), 4u) << got;
        EXPECT_EQ(replies[0], ">1/DF_147.800000]");
        EXPECT_TRUE(std::regex_match(replies[1], std::regex(R"(^>1/BCAS_([^,\]]*,){7}\]$)"))) << replies[1];
        EXPECT_EQ(replies[2], ">1/CSV_+1500\r   FLT\r]");
        EXPECT_TRUE(std::regex_match(replies[3], std::regex(R"(^>1/RSL_-[0-9]+\.[0-9]dBm\]$)"))) << replies[3];
    }
}

TEST(SimOnTheProgramsDevice, UnpluggedAdapterEndsTheWait)
{
    Sim sim({"--hangup-after", "1", "--seed", "22"});
    DeviceOnSim line(sim.Path());
    ASSERT_EQ(line.Opened(), 0);
    line.Send("<1/DF_150.0");
    std::string got;
    line.Receive(1, got);
    EXPECT_EQ(got, ">1/DF_150.000000]");
    std::string after;
    EXPECT_EQ(line.Receive(1, after), WaitOutcome::WaitFailed) << "the wait reports the hang-up, not a timeout";
    EXPECT_EQ(after, "");
}

} // namespace
