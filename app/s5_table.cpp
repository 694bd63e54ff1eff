#include "app/s5_table.h"

#include <array>
#include <string>

#include "platform/dynlib.h"

namespace vaultra::app {

namespace {

constexpr std::array<std::string_view, kS5SlotCount> kS5ExportNames = {"S5Init",
                                                                       "S5InitPGBus",
                                                                       "S5Exit",
                                                                       "S5AGTest",
                                                                       "S5RdAdr",
                                                                       "S5WrAdr",
                                                                       "S5WrBst",
                                                                       "S5RdBst",
                                                                       "S5AGStop",
                                                                       "S5AGStart",
                                                                       "S5AGStartStopEx",
                                                                       "S5CreateBst",
                                                                       "S5RdDir",
                                                                       "S5Compress",
                                                                       "S5WrDB",
                                                                       "S5RdDB",
                                                                       "S5RdSB",
                                                                       "S5WrSB",
                                                                       "S5WrPB",
                                                                       "S5RdPB",
                                                                       "S5WrFB",
                                                                       "S5RdFB",
                                                                       "S5WrOB",
                                                                       "S5RdOB",
                                                                       "S5WrDX",
                                                                       "S5RdDX",
                                                                       "S5WrFX",
                                                                       "S5RdFX",
                                                                       "S5WrMB",
                                                                       "S5WrMW",
                                                                       "S5RdMW",
                                                                       "S5WrSY",
                                                                       "S5WrSW",
                                                                       "S5RdSW",
                                                                       "S5WrPEW",
                                                                       "S5RdPEW",
                                                                       "S5WrPAW",
                                                                       "S5RdPAW",
                                                                       "S5WrEB",
                                                                       "S5WrEW",
                                                                       "S5RdEW",
                                                                       "S5WrAB",
                                                                       "S5WrAW",
                                                                       "S5RdAW",
                                                                       "S5WrTW",
                                                                       "S5RdTW",
                                                                       "S5WrZW",
                                                                       "S5RdZW",
                                                                       "S5WrBSW",
                                                                       "S5RdBSW",
                                                                       "S5WrASW",
                                                                       "S5RdASW",
                                                                       "S5Ustack",
                                                                       "S5SetAB",
                                                                       "S5BstInfo",
                                                                       "S5ClearAll",
                                                                       "S5SetBlockPause",
                                                                       "S5SetTimeOut",
                                                                       "S5SetRepeat",
                                                                       "S5SetFlags",
                                                                       "NewMPILanCom",
                                                                       "S5InitForPath",
                                                                       "S5ConnectH1CP",
                                                                       "S5ConnectS5OnH1CP",
                                                                       "S5DeleteS5OnH1Path",
                                                                       "S5DeleteCPPath"};

}  // namespace

std::string_view S5ExportName(S5Slot slot) {
    return kS5ExportNames[static_cast<std::size_t>(slot)];
}

void S5Table::Resolve(const platform::DynamicLibrary& library) {
    for (int i = 0; i < kS5SlotCount; ++i) {
        slots_[static_cast<std::size_t>(i)] = library.Symbol(std::string(kS5ExportNames[i]).c_str());
    }
}

bool S5Table::HasH1Path() const {
    for (int i = kS5BasicSlotCount; i < kS5SlotCount; ++i) {
        if (!Has(static_cast<S5Slot>(i))) {
            return false;
        }
    }
    return true;
}

}  // namespace vaultra::app
