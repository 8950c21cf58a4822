#include "records/write_health.h"

#include <utility>

WriteHealth::WriteHealth(std::string source, std::string label, std::function<void()> wake)
    : source_(std::move(source)), label_(std::move(label)), wake_(std::move(wake))
{
}

void WriteHealth::Failed(const std::string& error)
{
    {
        std::lock_guard lock(mutex_);
        if (failing_)
            return;
        failing_ = true;
        changes_.emplace_back(error);
    }
    if (wake_)
        wake_();
}

void WriteHealth::Succeeded()
{
    {
        std::lock_guard lock(mutex_);
        if (!failing_)
            return;
        failing_ = false;
        changes_.emplace_back(std::nullopt);
    }
    if (wake_)
        wake_();
}

void WriteHealth::Tell(StationHub& hub)
{
    std::vector<std::optional<std::string>> changes;
    {
        std::lock_guard lock(mutex_);
        changes.swap(changes_);
    }
    for (auto& change : changes) {
        if (change) {
            hub.Record(EventKind::LogError, label_ + ": " + *change);
            hub.SetNote(source_, label_ + ": " + *change);
        } else {
            hub.SetNote(source_, {});
        }
    }
}
