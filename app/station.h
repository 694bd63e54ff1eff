// The open backup set and the station state around it: settings, entries, the shared connection record and
// the flag that tells whether a run is working through the list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <vaultra/records.h>

#include "app/element.h"

namespace vaultra::app {

// Station-wide settings; the set file carries all but adapterName (kept in the per-user settings store).
struct StationSettings {
    uint32_t comPort = 1;           // COM1 = 1
    std::string backupDirectory;    // prefix of every entry's file, no separator inserted
    uint32_t retryMinutes = 10;     // 1..32767
    uint32_t stopPlc = 0;           // 0/1
    uint32_t skipSystemBlocks = 1;  // 0/1
    uint32_t noWriteBack = 1;       // 0/1
    std::string adapterName;
};

// The largest entry count a set file can carry: a file announcing 1024 or more opens empty.
inline constexpr size_t kMaxEntries = 1023;

// Entries in list order. Entries live at stable addresses: adding or removing others never moves them.
class EntryList {
public:
    template <typename Element, typename Base>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CElement;
        using difference_type = std::ptrdiff_t;
        using pointer = Element*;
        using reference = Element&;
        explicit Iterator(Base it) : it_(it) {}
        Element& operator*() const { return **it_; }
        Element* operator->() const { return it_->get(); }
        Iterator& operator++() {
            ++it_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return it_ == other.it_; }

    private:
        Base it_;
    };
    using Items = std::vector<std::unique_ptr<CElement>>;
    using iterator = Iterator<CElement, Items::iterator>;
    using const_iterator = Iterator<const CElement, Items::const_iterator>;

    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    CElement& operator[](size_t index) { return *items_[index]; }
    const CElement& operator[](size_t index) const { return *items_[index]; }
    iterator begin() { return iterator(items_.begin()); }
    iterator end() { return iterator(items_.end()); }
    const_iterator begin() const { return const_iterator(items_.begin()); }
    const_iterator end() const { return const_iterator(items_.end()); }

    // Appends at the end and returns the stored entry.
    CElement& Append(CElement entry);
    // Removes (and destroys) every entry whose Marked bit is set; returns how many.
    size_t RemoveMarked();
    // Removes the entries at these positions (positions outside the list are ignored); returns how many.
    size_t RemoveAt(const std::vector<size_t>& positions);
    void Clear() { items_.clear(); }

private:
    Items items_;
};

// The application's one open backup set with the state every run and command shares.
class Station {
public:
    StationSettings settings;
    EntryList entries;
    ConnectionRecord record{};  // shared by every driver call
    bool runBusy = false;       // set while a timer pass or a run-all command works through the list

    // Starts an empty set; the settings keep their values.
    void NewSet() { entries.Clear(); }

    // record.port = comPort - 1, as whenever comPort is loaded or confirmed and before every serial connect.
    void ApplyComPort();

    // Appends an entry; false (nothing added) when the set already holds kMaxEntries.
    bool AddEntry(CElement entry);

    // Deletes every marked entry; does nothing (returns 0) while runBusy is set.
    size_t DeleteMarked();
    // Deletes the entries at these positions; does nothing (returns 0) while runBusy is set.
    size_t DeleteAt(const std::vector<size_t>& positions);

    // Flips Marked of the entry at index; false when the index is outside the list.
    bool ToggleMark(size_t index);

    // backupDirectory immediately followed by the entry's fileName.
    std::string FullPath(const CElement& e) const { return settings.backupDirectory + e.fileName; }
};

// German message for an entry that does not fit into the set any more.
inline constexpr const char* kSetFullMessage =
    "Ein Sicherungssatz kann h\xC3\xB6"
    "chstens 1023 Eintr\xC3\xA4ge enthalten!";

}  // namespace vaultra::app
