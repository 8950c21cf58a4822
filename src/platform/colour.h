#pragma once
#include <cstdint>

// The toolkit's colour number: red in the low byte, blue in the high byte
// (0x00BBGGRR). Stored colours read as the toolkit's, so every colour of the
// program is kept in this encoding until it is drawn.
using TColor = std::uint32_t;

constexpr TColor ColorFromRGB(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int ColorRed(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int ColorGreen(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int ColorBlue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }
