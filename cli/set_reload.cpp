#include "cli/set_reload.h"

#include <vector>

#include "platform/files.h"

namespace vaultra::cli {

namespace {

bool SameSchedule(const app::CElement& a, const app::CElement& b) {
    return a.IntervalKindValue() == b.IntervalKindValue() && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.triggerInterval == b.triggerInterval;
}

}  // namespace

SetFileWatcher::SetFileWatcher(std::filesystem::path path) : path_(std::move(path)) {
    ChangedBytes();
}

std::optional<std::string> SetFileWatcher::ChangedBytes() {
    std::error_code ec;
    const auto stamp = std::filesystem::last_write_time(path_, ec);
    if (ec) {
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(path_, ec);
    if (ec || (stamp_ && *stamp_ == stamp && size_ == size)) {
        return std::nullopt;
    }
    auto bytes = platform::ReadFileBytes(path_);
    if (!bytes) {
        return std::nullopt;
    }
    const bool first = !stamp_.has_value();
    stamp_ = stamp;
    size_ = size;
    if (!first && *bytes == bytes_) {
        return std::nullopt;
    }
    bytes_ = *bytes;
    return first ? std::nullopt : std::move(bytes);
}

void TakeReloadedSet(app::Station& station, app::Station&& loaded) {
    constexpr uint16_t kResultBits = app::flag::kLastFailed | app::flag::kLastSucceeded;
    std::vector<bool> used(station.entries.size(), false);
    for (app::CElement& fresh : loaded.entries) {
        for (std::size_t i = 0; i < station.entries.size(); ++i) {
            const app::CElement& old = station.entries[i];
            if (used[i] || old.name != fresh.name) {
                continue;
            }
            used[i] = true;
            fresh.flags = static_cast<uint16_t>((fresh.flags & ~kResultBits) | (old.flags & kResultBits));
            if (SameSchedule(old, fresh)) {
                fresh.nextBackup = old.nextBackup;
            }
            break;
        }
    }
    const std::string adapter = station.settings.adapterName;
    station.settings = loaded.settings;
    station.settings.adapterName = adapter;
    station.entries = std::move(loaded.entries);
    station.ApplyComPort();
}

}  // namespace vaultra::cli
