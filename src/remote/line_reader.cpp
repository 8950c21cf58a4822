#include "remote/line_reader.h"

bool LineReader::Feed(std::string_view bytes, std::vector<std::string>& lines)
{
    if (refused_)
        return false;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        // A line may end in "\r\n": one byte more than the bound may wait
        // for its "\n", no more.
        if (partial_.size() + piece.size() > kMaxLine + 1) {
            refused_ = true;
            partial_.clear();
            return false;
        }
        partial_.append(piece);
        if (end == std::string_view::npos)
            return true;
        if (!partial_.empty() && partial_.back() == '\r')
            partial_.pop_back();
        if (partial_.size() > kMaxLine) {
            refused_ = true;
            partial_.clear();
            return false;
        }
        lines.push_back(std::move(partial_));
        partial_.clear();
        bytes.remove_prefix(end + 1);
    }
    return true;
}

std::string LineReader::TakeRest()
{
    std::string rest = std::move(partial_);
    partial_.clear();
    if (!rest.empty() && rest.back() == '\r')
        rest.pop_back();
    if (refused_ || rest.size() > kMaxLine)
        rest.clear();
    return rest;
}
