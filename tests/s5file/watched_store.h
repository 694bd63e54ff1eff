// A memory byte store that records how far writes reached: a change must never write beyond the file's
// own sectors and what it adds (shared by the damaged-file tests and the fuzz target).
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "s5file/sector_file.h"

namespace vaultra::qrf::testing {

class WatchedStore : public MemoryStore {
public:
    using MemoryStore::MemoryStore;
    bool WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
        furthestWrite = std::max<uint64_t>(furthestWrite, offset + data.size());
        return MemoryStore::WriteAt(offset, data);
    }
    uint64_t furthestWrite = 0;
};

}  // namespace vaultra::qrf::testing
