// The S5 function table: the exports of libTARN5.so / libTARN5IP.so the station calls, resolved by name.
#pragma once

#include <cstdint>
#include <string_view>

#include <vaultra/records.h>
// Only the pointer types: the S7 header's libTARN7RFC.so prototypes carry the same S5 names.
#define VAULTRA_TARN5_TYPES_ONLY
#include <vaultra/tarn5.h>

#include "app/function_table.h"

namespace vaultra::platform {
class DynamicLibrary;
}

namespace vaultra::app {

// Slots in binding order. The five path operations at the end open and close the H1 path of an
// "S5 H1-Bus" entry; they stay empty while the bound library does not export them.
enum class S5Slot : int {
    Init,
    InitPGBus,
    Exit,
    AGTest,
    RdAdr,
    WrAdr,
    WrBst,
    RdBst,
    AGStop,
    AGStart,
    AGStartStopEx,
    CreateBst,
    RdDir,
    Compress,
    WrDB,
    RdDB,
    RdSB,
    WrSB,
    WrPB,
    RdPB,
    WrFB,
    RdFB,
    WrOB,
    RdOB,
    WrDX,
    RdDX,
    WrFX,
    RdFX,
    WrMB,
    WrMW,
    RdMW,
    WrSY,
    WrSW,
    RdSW,
    WrPEW,
    RdPEW,
    WrPAW,
    RdPAW,
    WrEB,
    WrEW,
    RdEW,
    WrAB,
    WrAW,
    RdAW,
    WrTW,
    RdTW,
    WrZW,
    RdZW,
    WrBSW,
    RdBSW,
    WrASW,
    RdASW,
    Ustack,
    SetAB,
    BstInfo,
    ClearAll,
    SetBlockPause,
    SetTimeOut,
    SetRepeat,
    SetFlags,
    NewMPILanCom,
    InitForPath,
    ConnectH1CP,
    ConnectS5OnH1CP,
    DeleteS5OnH1Path,
    DeleteCPPath,
    Count
};
inline constexpr int kS5SlotCount = static_cast<int>(S5Slot::Count);
// The slots every S5 library has; the path operations follow them.
inline constexpr int kS5BasicSlotCount = static_cast<int>(S5Slot::InitForPath);

// Export name of a slot ("S5Init", ..., "NewMPILanCom", "S5InitForPath", ...).
std::string_view S5ExportName(S5Slot slot);

// The path operations' signatures (the public header leaves them out until the libraries export them).
using S5PathFn = int32_t (*)(ConnectionRecord* record);
using S5ConnectH1CPFn = int32_t (*)(ConnectionRecord* record, const uint8_t* address, const char* password);
using S5ConnectS5OnH1CPFn = int32_t (*)(ConnectionRecord* record, int32_t reserved);

class S5Table : public FunctionTable<S5Slot, kS5SlotCount> {
public:
    void Resolve(const platform::DynamicLibrary& library);
    // True when all five H1 path operations are bound.
    bool HasH1Path() const;

    int32_t Init(ConnectionRecord* r, int32_t mode) const {
        return Call<Tarn5S5InitFn>(S5Slot::Init, r, mode);
    }
    int32_t Exit(ConnectionRecord* r, int32_t mode) const {
        return Call<Tarn5S5ExitFn>(S5Slot::Exit, r, mode);
    }
    int32_t AGStart(ConnectionRecord* r) const { return Call<Tarn5S5AGStartFn>(S5Slot::AGStart, r); }
    int32_t AGStop(ConnectionRecord* r) const { return Call<Tarn5S5AGStopFn>(S5Slot::AGStop, r); }
    int32_t RdDir(ConnectionRecord* r, int32_t type, uint16_t* presence, int32_t capacityWords) const {
        return Call<Tarn5S5RdDirFn>(S5Slot::RdDir, r, type, presence, capacityWords);
    }
    int32_t RdBst(ConnectionRecord* r, S5BlockRecord* b, int32_t type, int32_t number) const {
        return Call<Tarn5S5RdBstFn>(S5Slot::RdBst, r, b, type, number, 1);
    }
    int32_t CreateBst(ConnectionRecord* r, S5BlockRecord* b) const {
        return Call<Tarn5S5CreateBstFn>(S5Slot::CreateBst, r, b, 1);
    }
    int32_t Compress(ConnectionRecord* r) const { return Call<Tarn5S5CompressFn>(S5Slot::Compress, r); }
    int32_t SetTimeOut(int32_t v) const { return Call<Tarn5S5SetTimeOutFn>(S5Slot::SetTimeOut, v); }
    int32_t SetBlockPause(int32_t v) const { return Call<Tarn5S5SetBlockPauseFn>(S5Slot::SetBlockPause, v); }
    int32_t SetRepeat(int32_t v) const { return Call<Tarn5S5SetRepeatFn>(S5Slot::SetRepeat, v); }
    int32_t SetFlags(int32_t v) const { return Call<Tarn5S5SetFlagsFn>(S5Slot::SetFlags, v); }
};

}  // namespace vaultra::app
