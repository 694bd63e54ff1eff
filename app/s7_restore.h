// Restoring one S7 PLC: read the entry's STEP 7 project and download its blocks into the PLC.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/front_end.h"
#include "app/station.h"
#include "s7project/block_image.h"

namespace vaultra::app {

// What the restore decides after the PLC refused a block.
enum class RefusalAction {
    CompressAndRetry,  // full memory: compress, then send the block once more
    Skip,              // the PLC does not take this block: name it and go on
    StopNotTransferable,
    StopBusy,
    StopKeySwitch,
    StopUnreachable,
};

// The action for a failed S7CreateBst. PLC error words in the driver's 0x4000 status are read as the
// refusals they mean: the resources class (83xx) as status 8 with its code, busy (8404) as status 0x200.
RefusalAction DecideRefusal(uint16_t status, uint16_t plcError, bool compressedAlready);

// The project file the restore reads for a backup path: "X.S7P" gives "X/X.S7P".
std::string RestoreProjectFile(const std::string& backupPath);

class S7Restore {
public:
    using ProjectReader = std::function<bool(const std::filesystem::path&, s7project::BlockList&)>;

    S7Restore(DriverBinding& drivers, Station& station, FrontEnd& ui);

    // 1 on success, 0 on failure or abort; marks the entry and shows its texts. A non-empty fileSuffix
    // (from the PLC) names the project NAME_suffix.S7P.
    int Run(CElement& e, const std::string& fileSuffix);

    // Blocks the PLC refused in the last run ("FB 00012"), and whether one of them is part of the user
    // program (anything but SFC and SFB, which a PLC normally refuses).
    const std::vector<std::string>& RefusedBlocks() const { return refused_; }
    bool RefusedUserBlock() const { return refusedUserBlock_; }

    // Reads the project; ReadS7Project unless a test replaces it.
    ProjectReader readProject;
    // One line per failed block: the system debug output unless replaced.
    std::function<void(const std::string&)> debugOutput;

private:
    friend class RestoreRun;
    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
    std::vector<std::string> refused_;
    bool refusedUserBlock_ = false;
};

}  // namespace vaultra::app
