#pragma once
#include "station/utc_clock.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

// Lines appended to one file per UTC day, <dir>/<prefix>YYYY-MM-DD<suffix>,
// for the logs a station keeps. Each line goes out in one write and is
// flushed, so a crash loses at most the line being written; a file that
// reaches maxBytes takes no more lines that day, so a flood cannot fill the
// disk. Not thread-safe: one owner on one thread.
class DailyFile {
public:
    struct Options {
        std::filesystem::path dir;
        std::string prefix;             // "pass-"
        std::string suffix;             // ".csv"
        std::string header;             // first line of a new file, with its line end; may be empty
        std::uintmax_t maxBytes = 256u * 1024u * 1024u;
    };

    explicit DailyFile(Options options);
    ~DailyFile();
    DailyFile(const DailyFile&) = delete;
    DailyFile& operator=(const DailyFile&) = delete;

    // Appends line (with its own line end) to the file of utcMs's day; a new
    // file starts with the header. False, with the reason, when it could not.
    bool Append(std::int64_t utcMs, std::string_view line, std::string& error);

    // Removes this log's files whose day lies more than keepDays days before
    // the day of nowUtcMs; other files are left alone. Returns how many went.
    int RemoveOld(std::int64_t nowUtcMs, int keepDays);

    std::filesystem::path PathFor(const UtcDate& date) const;

private:
    bool OpenFor(const UtcDate& date, std::string& error);
    void CloseFile();

    Options options_;
    std::FILE* file_ = nullptr;
    std::int64_t fileDay_ = 0;  // days since the epoch of the open file
    std::uintmax_t fileBytes_ = 0;
};

// The field as RFC 4180 wants it: quoted, with its quotes doubled, when it
// holds a quote, a comma or a line end; else as it is.
std::string CsvField(std::string_view field);
