// Backing up one S7 PLC: read the block directory type by type, upload every selected block and store the
// blocks as a STEP 7 project.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include <vaultra/records.h>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/front_end.h"
#include "app/station.h"
#include "s7project/block_image.h"

namespace vaultra::app {

// Type names of the block type indexes 0..6, and the order in which a backup visits the types.
inline constexpr std::array<const char*, 7> kS7TypeNames = {"DB", "SDB", "SFC", "FB", "OB", "FC", "SFB"};
inline constexpr std::array<int, 7> kS7TypeVisitOrder = {4, 6, 2, 0, 3, 5, 1};
// Block numbers a backup looks at: 0..4095, although the presence table has room for 65536.
inline constexpr int kS7HighestBlockNumber = 4095;
// Room for the largest block image an upload can announce (seven decimal digits).
inline constexpr std::size_t kS7MaxImageLength = 9'999'999;

class S7Backup {
public:
    using ProjectWriter = std::function<bool(const std::filesystem::path&, const s7project::BlockList&)>;
    using OperandBitWriter = std::function<int(ConnectionRecord&, const std::string& operand, int value)>;

    S7Backup(DriverBinding& drivers, Station& station, FrontEnd& ui);

    // 1 on success, 0 on failure or abort. Marks the entry, shows its texts and progress, and always
    // releases the connection before it returns. A non-empty fileSuffix (read from the PLC) names the
    // project NAME_suffix.S7P instead of NAME.S7P.
    int Run(CElement& e, const std::string& fileSuffix);

    // Stores the project; WriteS7Project unless a test replaces it.
    ProjectWriter writeProject;
    // Clears the backup request bit of a triggered backup; without one the bit is left alone.
    OperandBitWriter writeOperandBit;

    // What the last Run did: blocks and bytes stored, the project path, or why it failed.
    const RunOutcome& LastOutcome() const { return outcome_; }

private:
    RunOutcome outcome_;
    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
};

// True when a PLC-supplied suffix can go into a file name as it is: not empty, no path separators, no
// "..", no control characters, and short enough that the file name stays within 255 bytes.
bool IsPlainFileNameFragment(const std::string& suffix, std::size_t fileNameLength);

// backupDirectory + fileName, with "_" + suffix inserted before the last four characters when the suffix is
// not empty. Nothing when the suffix is not a plain fragment or the file name would climb out of the
// backup directory through "..".
std::optional<std::string> S7ProjectPath(const std::string& backupDirectory, const std::string& fileName,
                                         const std::string& fileSuffix);

// The length of the image S7RdBst left in the buffer: the 32-bit load length of its header. Nothing when
// the image has no header, or its load length does not fit the buffer or disagrees with the 16-bit length
// the driver reported: storing it would store bytes the PLC never sent.
std::optional<std::size_t> UploadedImageLength(const BlockRecord& block, std::span<const std::uint8_t> image);

}  // namespace vaultra::app
