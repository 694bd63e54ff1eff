// Backing up one S5 PLC: read the block directory type by type and store every selected block in the
// entry's S5 program file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include <vaultra/records.h>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/front_end.h"
#include "app/station.h"

namespace vaultra::app {

// Names and line codes of the S5 block type indexes 0..6.
inline constexpr std::array<const char*, 7> kS5TypeNames = {"DB", "SB", "PB", "FB", "OB", "FX", "DX"};
inline constexpr std::array<uint8_t, 7> kS5TypeCodes = {1, 2, 4, 8, 16, 5, 12};
// Room for one block as the driver delivers it: the 10-byte header and the body.
inline constexpr std::size_t kS5BlockBufferBytes = 65536;

// The connect's block list length of a type index, in the PLC's own unit (words or bytes).
uint16_t S5TypeListLength(const ConnectionRecord& record, int type);
// The number of block numbers a backup looks at for a type: the list length, halved unless the PLC
// addresses its memory in words.
int S5TypeSelection(const ConnectionRecord& record, int type);

// The program file key of a block the driver read, or nothing when its announced length does not fit
// the buffer or a program file entry (whole words, the 5-word header at least).
std::optional<BlockKey> S5BlockKey(const S5BlockRecord& block, uint8_t number);

class S5Backup {
public:
    S5Backup(DriverBinding& drivers, Station& station, FrontEnd& ui);

    // 1 on success, 0 on failure or abort. Marks the entry, shows its texts and progress, and always
    // releases the connection before it returns. The program file is replaced only by a complete one.
    // A non-empty fileSuffix (read from the PLC) names the file NAME_suffix.S5D instead of NAME.S5D.
    int Run(CElement& e, const std::string& fileSuffix = {});

    const RunOutcome& LastOutcome() const { return outcome_; }

private:
    RunOutcome outcome_;
    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
};

}  // namespace vaultra::app
