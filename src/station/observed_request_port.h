#pragma once
#include "protocol/request_port.h"
#include "station/station_hub.h"

#include <cstdint>
#include <string>
#include <string_view>

// A request port that tells the hub of every request that went out whole, so
// the tuned frequency and the request count follow every sender (main
// window, scanner, network control) without each of them reporting it.
class ObservedRequestPort final : public RequestPort {
public:
    ObservedRequestPort(RequestPort& port, StationHub& hub) : port_(port), hub_(hub) {}

    bool Connected() const override { return port_.Connected(); }

    std::int32_t WriteStr(const std::string& text) override
    {
        const std::int32_t written = port_.WriteStr(text);
        std::string_view request(text);
        if (!request.empty() && request.back() == '\r')
            request.remove_suffix(1);
        hub_.RequestWritten(request);
        return written;
    }

private:
    RequestPort& port_;
    StationHub& hub_;
};
