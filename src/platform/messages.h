#pragma once
#include <string>

// The plain message box (one OK button) and the standard error box, both
// captioned with the application title. Logic that must tell the operator
// something goes through this sink, so tests record messages instead of
// blocking in a modal loop. The program installs the Qt boxes at start-up.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
};

MessageSink& Messages();

// Installs a sink for the whole process; nullptr restores the default,
// which writes to the standard error stream.
void InstallMessages(MessageSink* sink);

inline void ShowMessage(const std::string& text) { Messages().ShowMessage(text); }
