#pragma once
#include "protocol/program_state.h"
#include "protocol/request_port.h"

#include <string>
#include <string_view>

// What every main-window sequence sends through: the port and the
// program-wide state (LastCommand, and whatever else the sequence touches).
struct SenderContext {
    RequestPort& port;
    ProgramState& state;
};

// LastCommand := text; then LastCommand + "\r" goes out in a single write.
// A port error (e.g. "Port Not Open") propagates and ends the caller's sequence.
void SendRequest(SenderContext ctx, std::string_view text);

// The port guard of operator-started senders: true when the port is open;
// otherwise shows "First, open Com Port please !" (ShowMessage) and returns false.
bool PortGuard(SenderContext ctx);

// The manual buttons: guard, then one request, no pause.
void SendBCS(SenderContext ctx);                         // BitBtn1Click
void SendCES(SenderContext ctx);                         // Button2Click
void SendEditText(SenderContext ctx, const std::string& editText); // BitBtn2Click: sent as typed
