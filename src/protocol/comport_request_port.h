#pragma once
#include "protocol/request_port.h"
#include "serial/comport.h"

#include <cstdint>
#include <string>

// The main window's ComPort as the senders see it. Errors of the component
// ("Port Not Open", write failures) pass through unchanged.
class ComPortRequestPort final : public RequestPort {
public:
    explicit ComPortRequestPort(TCustomComPort& port) : port_(port) {}
    bool Connected() const override { return port_.Connected(); }
    std::int32_t WriteStr(const std::string& text) override { return port_.WriteStr(text); }

private:
    TCustomComPort& port_;
};
