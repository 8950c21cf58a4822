#include "presets/recall.h"

#include "platform/clock.h"
#include "protocol/requests.h"

#include <stdexcept>

void Recall(SenderContext ctx, int n)
{
    if (n < 1 || n > static_cast<int>(kRecallButtons.size()))
        throw std::invalid_argument("Recall: configuration number " + std::to_string(n) + " is not 1 to 5");
    if (!PortGuard(ctx))
        return;
    SendRequest(ctx, Request::REM);
    Pause(Pacing::RecallBeforeRmcMs);
    SendRequest(ctx, std::string(Request::RMC) + std::to_string(n));
}

RecallCaptions ReadRecallCaptions(TCustomIniFile& settings)
{
    RecallCaptions captions;
    for (std::size_t i = 0; i < kRecallButtons.size(); ++i)
        captions[i] = settings.ReadValue(std::string(kRecallSection), std::string(kRecallButtons[i].key),
                                         std::string(kRecallButtons[i].defaultCaption));
    return captions;
}

void WriteRecallCaptions(TCustomIniFile& settings, const RecallCaptions& captions)
{
    for (std::size_t i = 0; i < kRecallButtons.size(); ++i)
        settings.WriteValue(std::string(kRecallSection), std::string(kRecallButtons[i].key), captions[i]);
}
