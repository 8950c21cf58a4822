#pragma once
// A station for the protocol and server tests: records what network control
// asks it to do, and can be told to be closed, scanning or failing.
#include "protocol/numbers.h"
#include "remote/remote_station.h"

#include <functional>
#include <string>
#include <vector>

class FakeStation final : public RemoteStation {
public:
    const StationStatus& Status() const override { return status; }
    bool PortOpen() const override { return portOpen; }
    bool Scanning() const override { return scanning; }

    void Tune(double mhz) override { Run("tune " + FloatToStrF(mhz, ffFixed, 9, 6)); }
    void ChooseChannel(int index, const std::string& client) override
    {
        Run("channel " + std::to_string(index) + " by " + client);
    }
    void Recall(int n, const std::string& client) override { Run("recall " + std::to_string(n) + " by " + client); }

    StationStatus status;
    bool portOpen = true;
    bool scanning = false;
    // Runs inside every sequence after it has been recorded (a pause, a
    // failure that raises, ...).
    std::function<void(const std::string&)> during;
    std::vector<std::string> calls;

private:
    void Run(std::string call)
    {
        calls.push_back(call);
        if (during)
            during(call);
    }
};
