#include "platform/ui/stop_signals.h"

struct StopSignals::Impl {};

StopSignals::StopSignals(std::function<void(int)>) {}
StopSignals::~StopSignals() = default;
