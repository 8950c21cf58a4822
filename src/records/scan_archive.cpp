#include "records/scan_archive.h"

#include "protocol/numbers.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::FILE* OpenNew(const fs::path& path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

std::string Reason(const fs::path& path, int err) { return "cannot write " + path.string() + ": " + std::strerror(err); }

} // namespace

std::string ScanCsv(std::vector<ScanPoint> points)
{
    std::stable_sort(points.begin(), points.end(), [](const ScanPoint& a, const ScanPoint& b) { return a.mhz < b.mhz; });
    std::string csv = "frequency_mhz,level_dbm\n";
    for (const ScanPoint& p : points)
        csv += FloatToStrF(p.mhz, ffFixed, 15, 6) + ',' + CsvField(p.levelText) + '\n';
    return csv;
}

std::vector<ScanPoint> PointsShown(const TChartSeries& series, const std::vector<ScanPoint>& recorded)
{
    const std::vector<double>& xs = series.XValues.Value;
    const std::vector<double>& ys = series.YValues.Value;
    std::vector<ScanPoint> sorted = recorded;
    std::stable_sort(sorted.begin(), sorted.end(), [](const ScanPoint& a, const ScanPoint& b) { return a.mhz < b.mhz; });
    bool same = sorted.size() == xs.size();
    for (std::size_t i = 0; same && i < xs.size(); ++i)
        same = sorted[i].mhz == xs[i];
    if (same)
        return sorted;
    std::vector<ScanPoint> shown;
    shown.reserve(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i)
        shown.push_back({xs[i], FloatToStr(ys[i])});
    return shown;
}

std::string ScanArchiveName(std::int64_t startUtcMs)
{
    const std::string t = FormatUtcMs(startUtcMs);  // 2026-12-11T09:41:07.250Z
    return "scan-" + t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2) + '-' + t.substr(11, 2) + t.substr(14, 2) +
           t.substr(17, 2) + "Z.csv";
}

int RemoveOldScans(const fs::path& dir, std::int64_t nowUtcMs, int keepDays)
{
    const std::int64_t today = DaysSinceEpoch(UtcDateOf(nowUtcMs));
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        // scan-YYYYMMDD-HHMMSSZ.csv or scan-YYYYMMDD-HHMMSSZ-N.csv
        const std::string name = it->path().filename().string();
        constexpr std::size_t kStem = 21;  // "scan-20261211-094107Z"
        if (name.size() < kStem + 4 || name.compare(0, 5, "scan-") != 0 || name[13] != '-' || name[20] != 'Z' ||
            name.compare(name.size() - 4, 4, ".csv") != 0)
            continue;
        bool digits = true;
        for (std::size_t i : {5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 14u, 15u, 16u, 17u, 18u, 19u})
            digits = digits && name[i] >= '0' && name[i] <= '9';
        const std::string rest = name.substr(kStem, name.size() - kStem - 4);
        bool suffix = rest.empty() || (rest.size() > 1 && rest[0] == '-');
        for (std::size_t i = 1; suffix && i < rest.size(); ++i)
            suffix = rest[i] >= '0' && rest[i] <= '9';
        if (!digits || !suffix || !it->is_regular_file(ec))
            continue;
        const UtcDate date{std::stoi(name.substr(5, 4)), static_cast<unsigned>(std::stoi(name.substr(9, 2))),
                           static_cast<unsigned>(std::stoi(name.substr(11, 2)))};
        if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31)
            continue;
        std::error_code rm;
        if (today - DaysSinceEpoch(date) > keepDays && fs::remove(it->path(), rm))
            ++removed;
    }
    return removed;
}

bool WriteWholeFile(const fs::path& path, const std::string& text, std::string& error)
{
    errno = 0;
    std::FILE* f = OpenNew(path);
    if (!f) {
        error = Reason(path, errno ? errno : EIO);
        return false;
    }
    const bool wrote = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const int writeErr = errno;
    const bool closed = std::fclose(f) == 0;
    if (!wrote || !closed) {
        error = Reason(path, writeErr ? writeErr : (errno ? errno : EIO));
        return false;
    }
    return true;
}

bool WriteNewFile(const fs::path& dir, const std::string& name, const std::string& text, fs::path& written,
                  std::string& error)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create " + dir.string() + ": " + ec.message();
        return false;
    }
    const fs::path part = dir / (name + ".part");
    if (!WriteWholeFile(part, text, error)) {
        fs::remove(part, ec);
        return false;
    }
    const fs::path base(name);
    const std::string stem = base.stem().string();
    const std::string ext = base.extension().string();
    constexpr int kMaxTries = 100;
    for (int n = 1; n <= kMaxTries; ++n) {
        const fs::path target = dir / (n == 1 ? name : stem + '-' + std::to_string(n) + ext);
        if (fs::exists(target, ec))
            continue;
        fs::rename(part, target, ec);
        if (ec) {
            error = "cannot write " + target.string() + ": " + ec.message();
            fs::remove(part, ec);
            return false;
        }
        written = target;
        return true;
    }
    fs::remove(part, ec);
    error = "cannot write " + (dir / name).string() + ": the name and its numbered forms are taken";
    return false;
}

ScanArchive::ScanArchive(StationHub& hub, FileWorker& worker, fs::path dir, std::function<void()> wake,
                         int keepDays)
    : hub_(hub), worker_(worker), dir_(std::move(dir)), health_("scanarchive", "Scan archive", std::move(wake))
{
    if (keepDays >= 0)
        worker_.Post([dir = dir_, now = hub_.Clock().NowUtcMs(), keepDays] { RemoveOldScans(dir, now, keepDays); });
}

ScanArchive::~ScanArchive() { worker_.Flush(); }

void ScanArchive::TellHealth() { health_.Tell(hub_); }

void ScanArchive::Flush()
{
    worker_.Flush();
    TellHealth();
}

void ScanArchive::ScanStarted()
{
    startUtcMs_ = hub_.Clock().NowUtcMs();
    points_.clear();
}

void ScanArchive::PointRecorded(double mhz, const std::string& levelText) { points_.push_back({mhz, levelText}); }

void ScanArchive::ScanFinished(const TChartSeries& points)
{
    TellHealth();
    auto job = [this, name = ScanArchiveName(startUtcMs_), csv = ScanCsv(PointsShown(points, points_))] {
        fs::path written;
        std::string error;
        if (WriteNewFile(dir_, name, csv, written, error))
            health_.Succeeded();
        else
            health_.Failed(error);
    };
    if (!worker_.Post(std::move(job)))
        health_.Failed("the disk does not keep up; the scan of " + FormatUtcMs(startUtcMs_) + " is not saved");
}
