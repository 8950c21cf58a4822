#pragma once
#include "protocol/reply_parser.h"

#include <array>
#include <string>
#include <utility>

// Replies as the parser hands them to the status's listeners.
inline ParsedReply BcasReply(std::array<std::string, 7> fields)
{
    ParsedReply r;
    r.kind = ReplyKind::Bcas;
    r.fields = std::move(fields);
    return r;
}

inline ParsedReply CsvReply(std::string offset, std::string lock)
{
    ParsedReply r;
    r.kind = ReplyKind::Csv;
    r.offset = std::move(offset);
    r.lockText = std::move(lock);
    return r;
}
