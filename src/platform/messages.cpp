#include "messages.h"

#include <atomic>
#include <cstdio>

namespace {

class StderrSink final : public MessageSink {
public:
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ShowError(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
};

StderrSink fallback;
std::atomic<MessageSink*> installed{nullptr};

} // namespace

MessageSink& Messages()
{
    MessageSink* s = installed.load();
    return s ? *s : fallback;
}

void InstallMessages(MessageSink* sink) { installed.store(sink); }
