#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Cuts a client's byte stream into command lines: one command a line, ended
// by "\n" or "\r\n" (the terminator is not part of the line). A line longer
// than kMaxLine bytes is refused as soon as it is known to be too long, so
// that an endless line never holds more than kMaxLine bytes here.
class LineReader {
public:
    static constexpr std::size_t kMaxLine = 1024;

    // Appends the lines that the bytes complete to lines. False when a line
    // is too long: the lines before it have been appended, the rest of the
    // stream is of no use and nothing more should be fed.
    bool Feed(std::string_view bytes, std::vector<std::string>& lines);

    // The stream ended: the unterminated rest (empty when there is none),
    // taken as a last line so that "F 137100000" without a line end is not lost.
    std::string TakeRest();

    std::size_t Pending() const { return partial_.size(); }

private:
    std::string partial_;
    bool refused_ = false;
};
