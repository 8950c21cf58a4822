#pragma once
#include <string>

class QPlainTextEdit;

// The "Show receiving string" echo into the receive box: received bytes are
// appended at the end as they came, never by re-setting the whole text, so
// each receive event costs the size of its data, not of the box. Bytes are
// 8-bit (Latin-1). A carriage return, a line feed or the pair shows as one
// line break, the box's own form of a line end, also when the pair is split
// between two events.
class ReceiveEcho {
public:
    explicit ReceiveEcho(QPlainTextEdit* box) : box_(box) {}

    void Append(const std::string& data);
    // The box was emptied ("Clear").
    void Reset() { afterCr_ = false; }

private:
    QPlainTextEdit* box_;
    bool afterCr_ = false;  // the last byte appended was a carriage return
};
