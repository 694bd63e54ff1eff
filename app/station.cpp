#include "app/station.h"

#include <algorithm>

namespace vaultra::app {

CElement& EntryList::Append(CElement entry) {
    items_.push_back(std::make_unique<CElement>(std::move(entry)));
    return *items_.back();
}

size_t EntryList::RemoveMarked() {
    const auto first = std::remove_if(items_.begin(), items_.end(), [](const std::unique_ptr<CElement>& e) {
        return e->Has(flag::kMarked);
    });
    const size_t removed = static_cast<size_t>(items_.end() - first);
    items_.erase(first, items_.end());
    return removed;
}

size_t EntryList::RemoveAt(const std::vector<size_t>& positions) {
    std::vector<bool> doomed(items_.size(), false);
    for (const size_t p : positions) {
        if (p < doomed.size()) {
            doomed[p] = true;
        }
    }
    Items kept;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!doomed[i]) {
            kept.push_back(std::move(items_[i]));
        }
    }
    const size_t removed = items_.size() - kept.size();
    items_ = std::move(kept);
    return removed;
}

void Station::ApplyComPort() {
    record.port = static_cast<uint16_t>(settings.comPort - 1);
}

bool Station::AddEntry(CElement entry) {
    if (entries.size() >= kMaxEntries) {
        return false;
    }
    entries.Append(std::move(entry));
    return true;
}

size_t Station::DeleteMarked() {
    if (runBusy) {
        return 0;
    }
    return entries.RemoveMarked();
}

size_t Station::DeleteAt(const std::vector<size_t>& positions) {
    if (runBusy) {
        return 0;
    }
    return entries.RemoveAt(positions);
}

bool Station::ToggleMark(size_t index) {
    if (index >= entries.size()) {
        return false;
    }
    CElement& e = entries[index];
    e.Set(flag::kMarked, !e.Has(flag::kMarked));
    return true;
}

}  // namespace vaultra::app
