#include "records/daily_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::FILE* OpenAppend(const fs::path& path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"ab");
#else
    return std::fopen(path.c_str(), "ab");
#endif
}

std::string Reason(const fs::path& path, int err)
{
    return "cannot write " + path.string() + ": " + std::strerror(err);
}

// The day of a name <prefix>YYYY-MM-DD<suffix>, or false when it is not one.
bool DayOfName(const std::string& name, const std::string& prefix, const std::string& suffix, UtcDate& date)
{
    constexpr std::size_t kDateLength = 10;
    if (name.size() != prefix.size() + kDateLength + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string d = name.substr(prefix.size(), kDateLength);
    for (std::size_t i = 0; i < kDateLength; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? d[i] != '-' : (d[i] < '0' || d[i] > '9'))
            return false;
    }
    date.year = std::stoi(d.substr(0, 4));
    date.month = static_cast<unsigned>(std::stoi(d.substr(5, 2)));
    date.day = static_cast<unsigned>(std::stoi(d.substr(8, 2)));
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31;
}

} // namespace

DailyFile::DailyFile(Options options) : options_(std::move(options)) {}

DailyFile::~DailyFile() { CloseFile(); }

void DailyFile::CloseFile()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

fs::path DailyFile::PathFor(const UtcDate& date) const
{
    return options_.dir / (options_.prefix + FormatUtcDate(date) + options_.suffix);
}

bool DailyFile::OpenFor(const UtcDate& date, std::string& error)
{
    CloseFile();
    const fs::path path = PathFor(date);
    std::error_code ec;
    fs::create_directories(options_.dir, ec);
    if (ec) {
        error = "cannot create " + options_.dir.string() + ": " + ec.message();
        return false;
    }
    errno = 0;
    file_ = OpenAppend(path);
    if (!file_) {
        error = Reason(path, errno);
        return false;
    }
    fileDay_ = DaysSinceEpoch(date);
    const auto size = fs::file_size(path, ec);
    fileBytes_ = ec ? 0 : size;
    return true;
}

bool DailyFile::Append(std::int64_t utcMs, std::string_view line, std::string& error)
{
    const UtcDate date = UtcDateOf(utcMs);
    if (!file_ || fileDay_ != DaysSinceEpoch(date)) {
        if (!OpenFor(date, error))
            return false;
    }
    std::string out;
    if (fileBytes_ == 0)
        out = options_.header;
    out.append(line);
    if (fileBytes_ + out.size() > options_.maxBytes) {
        error = "cannot write " + PathFor(date).string() + ": the day's file has reached its limit of " +
                std::to_string(options_.maxBytes) + " bytes";
        return false;
    }
    errno = 0;
    const std::size_t written = std::fwrite(out.data(), 1, out.size(), file_);
    const bool flushed = std::fflush(file_) == 0;
    if (written != out.size() || !flushed) {
        const int err = errno ? errno : EIO;
        error = Reason(PathFor(date), err);
        // Reopened at the next line: the stream's state after a failed write
        // is not worth trusting, and the file may have come back meanwhile.
        CloseFile();
        return false;
    }
    fileBytes_ += out.size();
    return true;
}

int DailyFile::RemoveOld(std::int64_t nowUtcMs, int keepDays)
{
    const std::int64_t today = DaysSinceEpoch(UtcDateOf(nowUtcMs));
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(options_.dir, ec), end; !ec && it != end; it.increment(ec)) {
        UtcDate date{};
        if (!it->is_regular_file(ec) ||
            !DayOfName(it->path().filename().string(), options_.prefix, options_.suffix, date))
            continue;
        if (today - DaysSinceEpoch(date) > keepDays) {
            std::error_code rm;
            if (file_ && DaysSinceEpoch(date) == fileDay_)
                CloseFile();
            if (fs::remove(it->path(), rm))
                ++removed;
        }
    }
    return removed;
}

std::string CsvField(std::string_view field)
{
    if (field.find_first_of("\",\r\n") == std::string_view::npos)
        return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}
