#include "modem.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

struct Stored {
    double freqMHz;
    const char* dataRate;
    const char* spectrum;
};

// The configurations held in the modem, recalled with RMC_1 to RMC_5.
constexpr Stored kStored[5] = {
    {147.8, "3/4_3500.000", "INV"},   // Metop
    {151.0, "QPSK_5600.000", "NRM"},  // FY3A/B
    {144.5, "BP12_1330.800", "INV"},  // NOAA-19
    {146.5, "BP12_1330.800", "INV"},  // Meteor
    {137.5, "BP12_146.941", "INV"},   // LRIT
};

std::string Format(const char* fmt, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

bool ParseFrequency(const std::string& text, double& mhz)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, mhz, std::chars_format::fixed);
    return ec == std::errc() && ptr == end && mhz >= 50.0 && mhz <= 200.0;
}

std::string Reply(const std::string& mnemonic, const std::string& content)
{
    return ">1/" + mnemonic + "_" + content + "]";
}

} // namespace

Modem::Modem(const Band& band, std::mt19937_64& rng) : band_(band), rng_(rng) {}

Modem::Answer Modem::Handle(const std::string& line)
{
    if (line.size() < 3 || line[0] != '<' || line[2] != '/' || line[1] < '0' || line[1] > '9')
        return {"", Reply("ERR", "syntax error")};
    if (line[1] != '1')
        return {"", std::nullopt}; // another address on the line: not ours

    std::size_t i = 3;
    while (i < line.size() && line[i] >= 'A' && line[i] <= 'Z')
        ++i;
    std::string mnemonic = line.substr(3, i - 3);
    if (mnemonic.empty() || (i < line.size() && line[i] != '_'))
        return {"", Reply("ERR", "syntax error")};
    std::string arg = i < line.size() ? line.substr(i + 1) : std::string();

    auto ack = [&](const std::string& content) { return Answer{mnemonic, Reply(mnemonic, content)}; };
    auto refuse = [&]() { return Answer{mnemonic, Reply(mnemonic, "?")}; };

    if (mnemonic == "REM") {
        remote_ = true;
        return ack("ON");
    }
    if (mnemonic == "DF") {
        double mhz = 0;
        if (!ParseFrequency(arg, mhz))
            return refuse();
        tunedMHz_ = mhz;
        return ack(Format("%.6f", tunedMHz_));
    }
    if (mnemonic == "SDRV") {
        auto sep = arg.find('_');
        if (sep == std::string::npos || sep == 0 || sep + 1 == arg.size())
            return refuse();
        dataRate_ = arg;
        return ack(dataRate_);
    }
    if (mnemonic == "DSR") {
        if (arg != "INV" && arg != "NRM")
            return refuse();
        spectrum_ = arg;
        return ack(spectrum_);
    }
    if (mnemonic == "RMC") {
        if (arg.size() != 1 || arg[0] < '1' || arg[0] > '5')
            return refuse();
        recalled_ = arg[0] - '0';
        const Stored& s = kStored[recalled_ - 1];
        tunedMHz_ = s.freqMHz;
        dataRate_ = s.dataRate;
        spectrum_ = s.spectrum;
        return ack(arg);
    }
    if (mnemonic == "BCAS")
        return ack(Bcas());
    if (mnemonic == "CSV")
        return {mnemonic, ">1/CSV_" + Csv() + "]"};
    if (mnemonic == "RSL")
        return ack(Level(band_.LevelAt(tunedMHz_, rng_)) + "dBm");
    if (mnemonic == "BCS") {
        return ack("RF=" + Format("%.6f", tunedMHz_) + ",DR=" + dataRate_ + ",SP=" + spectrum_ +
                   ",LK=" + (Locked() ? "OK" : "FLT") + ",RM=" + (remote_ ? "ON" : "OFF") +
                   ",CF=" + std::to_string(recalled_));
    }
    if (mnemonic == "CES") {
        std::normal_distribution<double> jitter(0.0, 0.01);
        return ack("+5V=" + Format("%.2f", 5.02 + jitter(rng_)) + ",+12V=" + Format("%.2f", 11.97 + jitter(rng_)) +
                   ",-12V=" + Format("%.2f", -12.04 + jitter(rng_)) + ",PLL=LOCKED,LO=LOCKED,TEMP=" +
                   Format("%.1f", 38.5 + 10 * jitter(rng_)) + "C");
    }
    return {mnemonic, Reply("ERR", "unknown command " + mnemonic)};
}

std::string Modem::Level(double dbm) const
{
    if (dbm < Band::kLowestReportedDbm)
        return "<" + Format("%.1f", Band::kLowestReportedDbm);
    return Format("%.1f", dbm);
}

double Modem::OffsetHz(const Carrier& c) const
{
    return std::round((tunedMHz_ - c.CentreMHz()) * 1e6);
}

bool Modem::Locked() const
{
    if (lockFault_ && lockFault_())
        return false;
    const Carrier* c = band_.CarrierNear(tunedMHz_);
    return c && std::fabs(OffsetHz(*c)) <= Band::kLockHz && c->dataRate == dataRate_;
}

std::string Modem::Bcas()
{
    double level = band_.LevelAt(tunedMHz_, rng_);
    bool locked = Locked();
    double ebn0 = locked ? std::clamp(0.35 * (level - Band::kFloorDbm), 0.0, 25.0) : 0.0;
    double raw = locked ? 0.5 * std::erfc(std::sqrt(std::pow(10.0, ebn0 / 10.0))) : 0.5;
    double corrected = locked ? std::max(raw * raw * 1e-2, 1e-9) : 0.5;
    std::string s;
    s += Level(level) + ",";
    s += Format("%.1E", std::max(raw, 1e-9)) + ",";
    s += Format("%.1E", corrected) + ",";
    s += Format("%.1E", locked ? 0.0 : 1.0) + ",";
    s += Format("%.1f", ebn0) + ",";
    s += std::string(locked ? "50" : "0") + ",";
    s += Format("%.1E", locked ? 0.0 : 1.0) + ",";
    return s;
}

std::string Modem::Csv() const
{
    const Carrier* c = band_.CarrierNear(tunedMHz_);
    char offset[32];
    std::snprintf(offset, sizeof offset, "%+.0f", (c ? OffsetHz(*c) : 0.0) + 0.0) /* no "-0" */;
    return std::string(offset) + "\r   " + (Locked() ? "OK" : "FLT") + "\r";
}

} // namespace sim
