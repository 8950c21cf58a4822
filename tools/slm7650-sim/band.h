#pragma once
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

struct Carrier {
    double nominalMHz;
    double levelDbm;      // level at the carrier's centre
    double offsetHz;      // the modem reports this when tuned to nominalMHz
    std::string dataRate; // the SDRV argument the decoder locks with
    double CentreMHz() const { return nominalMHz - offsetHz * 1e-6; }
};

// A small receive band: noise floor plus a few carriers.
class Band {
public:
    static constexpr double kFloorDbm = -58.0;
    static constexpr double kLowestReportedDbm = -60.0;
    // Carriers are seen in the offset measurement within this distance.
    static constexpr double kCaptureHz = 25000.0;
    static constexpr double kLockHz = 300.0;

    // offsetHz replaces every carrier's own offset when given.
    explicit Band(std::optional<double> offsetHz);

    // The level in dBm at a frequency, with a little noise from rng.
    double LevelAt(double freqMHz, std::mt19937_64& rng) const;
    // The carrier within capture range of a frequency, the strongest if several.
    const Carrier* CarrierNear(double freqMHz) const;

    const std::vector<Carrier>& Carriers() const { return carriers_; }

private:
    std::vector<Carrier> carriers_;
};

} // namespace sim
