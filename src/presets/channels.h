#pragma once
#include "platform/ini_file.h"
#include "protocol/sender.h"

#include <array>
#include <string>
#include <string_view>

// One of the fifteen fixed satellite channels. The row is found by the
// selector's index alone; the list text is never used to find settings.
struct ChannelRow {
    int index;
    std::string_view listText;   // item of ComboBox1
    std::string_view key;        // key in sections "Frequency", "Datarate", "Spectrum"
    std::string_view frequency;  // defaults used when the settings file has no value
    std::string_view datarate;
    std::string_view spectrum;
};

inline constexpr std::string_view kFrequencySection = "Frequency";
inline constexpr std::string_view kDatarateSection = "Datarate";
inline constexpr std::string_view kSpectrumSection = "Spectrum";

inline constexpr std::array<ChannelRow, 15> kChannels{{
    {0, "Metop-A", "MetopA", "147.800000", "3/4_3500.000", "INV"},
    {1, "Metop-B", "MetopB", "147.800000", "3/4_3500.000", "INV"},
    {2, "Metop-C", "MetopC", "147.800000", "3/4_3500.000", "INV"},
    {3, "FY3A", "FY3A", "151.000000", "QPSK_5600.000", "NRM"},
    {4, "FY3B", "FY3B", "151.000000", "QPSK_5600.000", "NRM"},
    {5, "FY3C", "FY3C", "147.900000", "QPSK_4600.000", "NRM"},
    {6, "LRIT", "LRIT", "137.500000", "BP12_146.941", "INV"},
    {7, "NOAA-15", "NOAA15", "149.000000", "BP12_1330.800", "INV"},
    {8, "NOAA-16", "NOAA16", "144.500000", "BP12_1330.800", "INV"},
    {9, "NOAA-18", "NOAA18", "153.500000", "BP12_1330.800", "INV"},
    {10, "NOAA-19", "NOAA19", "144.500000", "BP12_1330.800", "INV"},
    {11, "Meteor-MN1", "MeteorMN1", "146.500000", "BP12_1330.800", "INV"},
    {12, "Meteor-MN2", "MeteorMN2", "146.500000", "BP12_1330.800", "INV"},
    {13, "Meteor-MN22", "MeteorMN22", "146.500000", "BP12_1330.800", "INV"},
    {14, "FY1D", "FY1D", "146.900000", "BP12_2661.600", "INV"},
}};

// The main-window controls a channel choice touches.
class ChannelView {
public:
    virtual ~ChannelView() = default;
    // ComboBox1 background green (RGB 0,128,0): a channel sequence has started.
    virtual void SetSelectorGreen() = 0;
    // Label9 caption.
    virtual void ShowTunedFrequency(const std::string& text) = 0;
};

// ComboBox1Change. Guard (message, then straight to the last step); index
// outside 0..14 sends nothing; selector green; REM; 200 ms; DF + stored
// frequency text; ChannelFrequency := that text as a number; 400 ms; SDRV +
// stored data rate; 400 ms; DSR + stored spectrum; finally Label9 :=
// ChannelFrequency in general format. Each value is read from the settings
// just before its request. A frequency that is no number raises the conversion
// error after DF went out: no SDRV/DSR, ChannelFrequency and Label9 unchanged.
void ChooseChannel(SenderContext ctx, TCustomIniFile& settings, int selectedIndex, ChannelView& view);
