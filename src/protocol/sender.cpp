#include "protocol/sender.h"

#include "platform/messages.h"
#include "protocol/requests.h"

void SendRequest(SenderContext ctx, std::string_view text)
{
    ctx.state.LastCommand.assign(text);
    // One write for text and terminator: a request split over two writes could
    // reach the modem with another sender's bytes in between.
    std::string frame;
    frame.reserve(ctx.state.LastCommand.size() + Request::Terminator.size());
    frame.append(ctx.state.LastCommand).append(Request::Terminator);
    ctx.port.WriteStr(frame);
}

bool PortGuard(SenderContext ctx)
{
    if (ctx.port.Connected())
        return true;
    ShowMessage(std::string(kPortGuardMessage));
    return false;
}

void SendBCS(SenderContext ctx)
{
    if (PortGuard(ctx))
        SendRequest(ctx, Request::BCS);
}

void SendCES(SenderContext ctx)
{
    if (PortGuard(ctx))
        SendRequest(ctx, Request::CES);
}

void SendEditText(SenderContext ctx, const std::string& editText)
{
    if (PortGuard(ctx))
        SendRequest(ctx, editText);
}
