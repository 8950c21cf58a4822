#pragma once
#include "platform/messages.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

// The message boxes of the program: ShowMessage is the plain message box
// (text and one OK button, no icon), ShowError the error box; both carry the
// application title.
//
// Boxes are modal and the event loop keeps running inside them, so a timer
// whose handler fails would open one error box on top of the other, tick
// after tick. Therefore only one error box is open at a time: an error raised
// while it is open is not shown again if it is the one on screen or already
// waiting; a different one waits (up to kMaxWaitingErrors of them) and is
// shown when the operator has closed the current box.
class QtMessageSink final : public MessageSink {
public:
    enum class Box { Plain, Critical };
    // Runs one modal box; tests put in a recorder.
    using BoxRunner = std::function<void(Box box, const std::string& caption, const std::string& text)>;

    static constexpr std::size_t kMaxWaitingErrors = 8;

    explicit QtMessageSink(std::string caption, BoxRunner runner = RunQMessageBox);

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;

    // A modal QMessageBox over the active window: no icon for the plain box,
    // the critical icon for the error box; texts are 8-bit (Latin-1) byte strings.
    static void RunQMessageBox(Box box, const std::string& caption, const std::string& text);

private:
    std::string caption_;
    BoxRunner runner_;
    bool errorOpen_ = false;
    std::string errorShown_;
    std::deque<std::string> waiting_;
};
