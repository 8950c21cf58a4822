#include "band.h"

#include <cmath>

namespace sim {

Band::Band(std::optional<double> offsetHz)
    : carriers_{
          {137.5, -41.0, +1500.0, "BP12_146.941"},
          {144.5, -36.5, -250.0, "BP12_1330.800"},
          {146.5, -44.0, +800.0, "BP12_1330.800"},
          {146.9, -47.0, -1200.0, "BP12_2661.600"},
          {147.8, -33.0, +1500.0, "3/4_3500.000"},
          {147.9, -39.5, -600.0, "QPSK_4600.000"},
          {149.0, -45.5, +350.0, "BP12_1330.800"},
          {151.0, -31.0, -250.0, "QPSK_5600.000"},
          {153.5, -42.5, +2100.0, "BP12_1330.800"},
      }
{
    if (offsetHz)
        for (auto& c : carriers_)
            c.offsetHz = *offsetHz;
}

double Band::LevelAt(double freqMHz, std::mt19937_64& rng) const
{
    // Powers add in milliwatts. Each carrier falls off by 5 dB at 100 kHz
    // from its centre and 20 dB at 200 kHz, so a 0.2 MHz sweep always lands
    // on every carrier's slope.
    double mw = std::pow(10.0, kFloorDbm / 10.0);
    for (const auto& c : carriers_) {
        double d = (freqMHz - c.CentreMHz()) / 0.1;
        double dbm = c.levelDbm - 5.0 * d * d;
        if (dbm > kFloorDbm - 40.0)
            mw += std::pow(10.0, dbm / 10.0);
    }
    std::normal_distribution<double> noise(0.0, 0.25);
    return 10.0 * std::log10(mw) + noise(rng);
}

const Carrier* Band::CarrierNear(double freqMHz) const
{
    const Carrier* best = nullptr;
    for (const auto& c : carriers_) {
        if (std::fabs(freqMHz - c.CentreMHz()) * 1e6 > kCaptureHz)
            continue;
        if (!best || c.levelDbm > best->levelDbm)
            best = &c;
    }
    return best;
}

} // namespace sim
