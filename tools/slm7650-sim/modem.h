#pragma once
#include "band.h"

#include <functional>
#include <optional>
#include <random>
#include <string>

namespace sim {

// The modem's remote-control side: takes one request line (without its
// terminator) and gives the reply, "]" included.
class Modem {
public:
    struct Answer {
        std::string mnemonic;              // empty when the line had none
        std::optional<std::string> reply;  // none: the modem stays silent
    };

    Modem(const Band& band, std::mt19937_64& rng);

    Answer Handle(const std::string& line);

    double TunedMHz() const { return tunedMHz_; }

    // While this says so, the decoder is out of lock however it is tuned.
    void SetLockFault(std::function<bool()> fault) { lockFault_ = std::move(fault); }

private:
    std::string Bcas();
    std::string Csv() const;
    std::string Level(double dbm) const;
    bool Locked() const;
    double OffsetHz(const Carrier& c) const;

    const Band& band_;
    std::mt19937_64& rng_;
    double tunedMHz_ = 147.8;
    std::string dataRate_ = "3/4_3500.000";
    std::string spectrum_ = "INV";
    bool remote_ = false;
    int recalled_ = 0;
    std::function<bool()> lockFault_;
};

} // namespace sim
