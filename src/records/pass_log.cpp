#include "records/pass_log.h"

#include "protocol/numbers.h"

#include <cstdint>
#include <utility>

PassLogSettings ReadPassLogSettings(TCustomIniFile& settings)
{
    const std::string section(kPassLogSection);
    PassLogSettings s;
    const std::string enabled = settings.ReadValue(section, "Enabled", "");
    std::int32_t n = 0;
    if (!enabled.empty()) {
        if (TryStrToInt(enabled, n))
            s.enabled = n != 0;
        else
            s.problem = "Enabled=" + enabled + " is not 0 or 1";
    }
    const std::string keep = settings.ReadValue(section, "KeepDays", "");
    if (!keep.empty()) {
        if (TryStrToInt(keep, n) && n >= 0)
            s.keepDays = n;
        else
            s.problem = "KeepDays=" + keep + " is not a number of days";
    }
    return s;
}

void WritePassLogEnabled(TCustomIniFile& settings, bool enabled)
{
    settings.WriteValue(std::string(kPassLogSection), "Enabled", enabled ? "1" : "0");
}

std::string PassLogRow(const StationStatus& s)
{
    std::string row = FormatUtcMs(s.statusUtcMs);
    const auto add = [&row](std::string_view field) {
        row += ',';
        row += CsvField(field);
    };
    add(s.channelText);
    add(s.haveTunedMHz ? FloatToStr(s.tunedMHz) : std::string());
    for (const std::string& field : s.statusFields)
        add(field);
    add(s.haveOffset ? s.offsetText : std::string());
    add(LockStateText(s.lock));
    row += '\n';
    return row;
}

PassLog::PassLog(StationHub& hub, FileWorker& worker, Options options)
    : hub_(hub),
      worker_(worker),
      keepDays_(options.settings.keepDays),
      enabled_(options.settings.enabled),
      daily_({options.dir, "pass-", ".csv", std::string(kPassLogHeader)}),
      health_("passlog", "Pass log", std::move(options.wake))
{
    if (!options.settings.problem.empty())
        hub_.SetNote("passlog-settings", "Pass log settings: " + options.settings.problem);
    if (enabled_)
        Start();
    hub_.Subscribe(*this);
}

PassLog::~PassLog()
{
    hub_.Unsubscribe(*this);
    worker_.Flush();  // the queued rows reach into this object
}

void PassLog::Start()
{
    if (started_)
        return;
    started_ = true;
    const std::int64_t now = hub_.Clock().NowUtcMs();
    worker_.Post([this, now] { daily_.RemoveOld(now, keepDays_); });
}

void PassLog::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    if (enabled_)
        Start();
}

void PassLog::TellHealth() { health_.Tell(hub_); }

void PassLog::Flush()
{
    worker_.Flush();
    TellHealth();
}

void PassLog::StatusReplied(const StationStatus& status)
{
    TellHealth();
    if (!enabled_ || !status.pollRunning)
        return;
    const bool queued = worker_.Post([this, at = status.statusUtcMs, row = PassLogRow(status)] {
        std::string error;
        if (daily_.Append(at, row, error))
            health_.Succeeded();
        else
            health_.Failed(error);
    });
    if (!queued)
        health_.Failed("the disk does not keep up; rows are lost");
}
