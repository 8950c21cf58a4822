#include "presets/channels.h"

#include "platform/clock.h"
#include "protocol/numbers.h"
#include "protocol/requests.h"

namespace {

std::string Read(TCustomIniFile& settings, std::string_view section, std::string_view key,
                 std::string_view def)
{
    return settings.ReadValue(std::string(section), std::string(key), std::string(def));
}

void Tune(SenderContext ctx, TCustomIniFile& settings, const ChannelRow& row, ChannelView& view)
{
    view.SetSelectorGreen();
    SendRequest(ctx, Request::REM);
    Pause(Pacing::ChannelBeforeDfMs);

    // Each value is read just before the request that uses it, so an edit of
    // the file while the program runs counts from the next choice on.
    const std::string frequency = Read(settings, kFrequencySection, row.key, row.frequency);
    SendRequest(ctx, std::string(Request::DF) + frequency);
    // Sent as stored, converted afterwards: a text that is no number has
    // already gone out when the error ends the sequence.
    ctx.state.ChannelFrequency = StrToFloat(frequency);
    Pause(Pacing::ChannelBeforeSdrvMs);

    const std::string datarate = Read(settings, kDatarateSection, row.key, row.datarate);
    SendRequest(ctx, std::string(Request::SDRV) + datarate);
    Pause(Pacing::ChannelBeforeDsrMs);

    const std::string spectrum = Read(settings, kSpectrumSection, row.key, row.spectrum);
    SendRequest(ctx, std::string(Request::DSR) + spectrum);
}

} // namespace

void ChooseChannel(SenderContext ctx, TCustomIniFile& settings, int selectedIndex, ChannelView& view)
{
    if (PortGuard(ctx) && selectedIndex >= 0 && selectedIndex < static_cast<int>(kChannels.size()))
        Tune(ctx, settings, kChannels[static_cast<std::size_t>(selectedIndex)], view);
    // Also after a refusal: the channel's frequency replaces a corrected one.
    view.ShowTunedFrequency(FloatToStr(ctx.state.ChannelFrequency));
}
