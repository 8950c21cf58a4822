#pragma once
#include "platform/messages.h"

#include <string>
#include <vector>

// Installs itself for its lifetime and records every box instead of showing it.
class RecordedMessages final : public MessageSink {
public:
    RecordedMessages() { InstallMessages(this); }
    ~RecordedMessages() override { InstallMessages(nullptr); }
    RecordedMessages(const RecordedMessages&) = delete;
    RecordedMessages& operator=(const RecordedMessages&) = delete;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowError(const std::string& text) override { errors.push_back(text); }

    std::vector<std::string> messages;
    std::vector<std::string> errors;
};
