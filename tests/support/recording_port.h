#pragma once
#include "platform/clock.h"
#include "protocol/request_port.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A RequestPort that records each write with the time of the installed clock.
// A closed port raises "Port Not Open" like the real component; failAfter
// makes the n-th and later writes raise a write error.
class RecordingPort final : public RequestPort {
public:
    struct Write {
        std::int64_t atMs;
        std::string bytes;
        bool operator==(const Write&) const = default;
    };

    bool Connected() const override { return open; }
    std::int32_t WriteStr(const std::string& text) override
    {
        if (!open)
            throw std::runtime_error("Port Not Open");
        if (failAfter >= 0 && static_cast<int>(writes.size()) >= failAfter)
            throw std::runtime_error("WriteFile function failed (Error: 5)");
        writes.push_back({CurrentClock().NowMs(), text});
        return static_cast<std::int32_t>(text.size());
    }

    bool open = true;
    int failAfter = -1;
    std::vector<Write> writes;
};
