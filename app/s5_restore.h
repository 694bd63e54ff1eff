// Restoring one S5 PLC: read the entry's S5 program file and load its blocks into the PLC.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/front_end.h"
#include "app/station.h"

namespace vaultra::app {

// What the restore does after the PLC refused a block.
enum class S5RefusalAction {
    CompressAndRetry,  // memory full: compress, then send the block once more
    Skip,              // the PLC does not take this block: name it and go on
    StopNotTransferable,
    StopBusy,
    StopUnreachable,
};

// The action for a failed S5CreateBst; a block still refused after a compress is not transferable.
S5RefusalAction DecideS5Refusal(uint16_t status, uint16_t plcError, bool compressedAlready);

// Type indexes in the order a restore loads them: SB, PB, FB, FX, OB, DB, DX.
inline constexpr std::array<int, 7> kS5RestoreOrder = {1, 2, 3, 5, 4, 0, 6};

class S5Restore {
public:
    S5Restore(DriverBinding& drivers, Station& station, FrontEnd& ui);

    // 1 when every block meant for the PLC was loaded, 0 otherwise; marks the entry and shows its texts.
    // The program file is read whole before the PLC is contacted. A non-empty fileSuffix (read from the
    // PLC) names the file NAME_suffix.S5D instead of NAME.S5D.
    int Run(CElement& e, const std::string& fileSuffix = {});

    // Blocks the PLC refused in the last run ("FB 012").
    const std::vector<std::string>& RefusedBlocks() const { return refused_; }

private:
    friend class S5RestoreRun;
    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
    std::vector<std::string> refused_;
};

}  // namespace vaultra::app
