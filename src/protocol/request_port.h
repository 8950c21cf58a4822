#pragma once
#include <cstdint>
#include <string>

// What the senders need of the serial port: whether it is open, and a
// blocking write of a whole text (raising the port's error when it fails,
// "Port Not Open" when closed). The main window hands its ComPort through
// an adapter; tests use a recording fake.
class RequestPort {
public:
    virtual ~RequestPort() = default;
    virtual bool Connected() const = 0;
    virtual std::int32_t WriteStr(const std::string& text) = 0;
};
