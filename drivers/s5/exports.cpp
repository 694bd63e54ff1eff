// The exported names of one S5 driver library. Compiled once per library: VAULTRA_S5_LAN gives the
// LAN-capable one its few differences in the exchange.
#include <vaultra/tarn5.h>

#include "drivers/link/link_exports.h"
#include "drivers/s5/functions.h"
#include "drivers/s5/settings.h"

namespace s5 = vaultra::s5;
using s5::Area;
using s5::Unit;

namespace {

// Runs one exported function: a null record fails, and no exception leaves the library.
template <typename Body>
int32_t Guarded(ConnectionRecord* record, Body&& body) noexcept {
    if (record == nullptr)
        return 0;
    try {
        return body(*record);
    } catch (...) {
        record->status = s5::kErrWrite;
        return 0;
    }
}

const bool kVariantSet = [] {
#ifdef VAULTRA_S5_LAN
    s5::LibrarySettings().variant = s5::Variant::Lan;
#else
    s5::LibrarySettings().variant = s5::Variant::Serial;
#endif
    return true;
}();

int32_t Read(ConnectionRecord* r, Area area, int32_t index, int32_t count, void* buffer) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::ReadArea(rec, area, index, count, static_cast<uint8_t*>(buffer));
    });
}

int32_t Write(ConnectionRecord* r, Area area, Unit unit, int32_t index, int32_t count, void* buffer) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::WriteArea(rec, area, unit, index, count, static_cast<const uint8_t*>(buffer));
    });
}

int32_t ReadWords(ConnectionRecord* r, int32_t type, int32_t number, int32_t start, int32_t count,
                  void* buffer) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::ReadBlockWords(rec, type, number, start, count, static_cast<uint8_t*>(buffer));
    });
}

int32_t WriteWords(ConnectionRecord* r, int32_t type, int32_t number, int32_t start, int32_t count,
                   void* buffer) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::WriteBlockWords(rec, type, number, start, count, static_cast<const uint8_t*>(buffer));
    });
}

}  // namespace

// --- connection and settings ---
VAULTRA_API int32_t S5Init(ConnectionRecord* r, int32_t mode) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::Init(rec, mode); });
}
VAULTRA_API int32_t S5InitPGBus(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s5::InitPGBus(rec); });
}
VAULTRA_API int32_t S5Exit(ConnectionRecord* r, int32_t) {
    return Guarded(r, [](ConnectionRecord& rec) { return s5::Exit(rec); });
}
VAULTRA_API int32_t S5AGTest(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s5::AGTest(rec); });
}
VAULTRA_API void S5FlushCom(ConnectionRecord* r) {
    if (r != nullptr)
        vaultra::link::FlushCom(r);
}
VAULTRA_API int32_t S5SetTimeOut(int32_t ticks) {
    return s5::SetTimeOut(ticks);
}
VAULTRA_API int32_t S5SetBlockPause(int32_t ms) {
    return s5::SetBlockPause(ms);
}
VAULTRA_API int32_t S5SetRepeat(int32_t retries) {
    return s5::SetRepeat(retries);
}
VAULTRA_API int32_t S5SetFlags(int32_t flags) {
    return s5::SetFlags(flags);
}

// --- blocks ---
VAULTRA_API int32_t S5RdDir(ConnectionRecord* r, int32_t type, uint16_t* words, int32_t capacity) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::ReadDirectory(rec, type, words, capacity > 0 ? static_cast<uint32_t>(capacity) : 0);
    });
}
VAULTRA_API int32_t S5BstInfo(ConnectionRecord* r, S5BlockRecord* header, int32_t type, int32_t number,
                              uint16_t* address) {
    return Guarded(r,
                   [&](ConnectionRecord& rec) { return s5::BlockInfo(rec, header, type, number, address); });
}
VAULTRA_API int32_t S5RdBst(ConnectionRecord* r, S5BlockRecord* block, int32_t type, int32_t number,
                            int32_t unit) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::ReadBlock(rec, block, type, number, unit); });
}
VAULTRA_API int32_t S5WrBst(ConnectionRecord* r, S5BlockRecord* block, int32_t type, int32_t number,
                            int32_t unit) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::WriteBlock(rec, block, type, number, unit); });
}
VAULTRA_API int32_t S5CreateBst(ConnectionRecord* r, S5BlockRecord* block, int32_t unit) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::CreateBlock(rec, block, unit); });
}
VAULTRA_API int32_t S5DelBst(ConnectionRecord* r, int32_t type, int32_t number) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::DeleteBlock(rec, type, number); });
}
VAULTRA_API int32_t S5Compress(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s5::Compress(rec); });
}
VAULTRA_API int32_t S5ClearAll(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s5::ClearAll(rec); });
}

// --- data-block words ---
#define VAULTRA_S5_BLOCK_WORDS(rd, wr, type)                                                  \
    VAULTRA_API int32_t rd(ConnectionRecord* r, int32_t number, int32_t start, int32_t count, \
                           void* buffer) {                                                    \
        return ReadWords(r, type, number, start, count, buffer);                              \
    }                                                                                         \
    VAULTRA_API int32_t wr(ConnectionRecord* r, int32_t number, int32_t start, int32_t count, \
                           void* buffer) {                                                    \
        return WriteWords(r, type, number, start, count, buffer);                             \
    }
VAULTRA_S5_BLOCK_WORDS(S5RdDB, S5WrDB, TARN5_DB)
VAULTRA_S5_BLOCK_WORDS(S5RdSB, S5WrSB, TARN5_SB)
VAULTRA_S5_BLOCK_WORDS(S5RdPB, S5WrPB, TARN5_PB)
VAULTRA_S5_BLOCK_WORDS(S5RdFB, S5WrFB, TARN5_FB)
VAULTRA_S5_BLOCK_WORDS(S5RdOB, S5WrOB, TARN5_OB)
VAULTRA_S5_BLOCK_WORDS(S5RdFX, S5WrFX, TARN5_FX)
VAULTRA_S5_BLOCK_WORDS(S5RdDX, S5WrDX, TARN5_DX)

// --- memory ---
VAULTRA_API int32_t S5RdAdr(ConnectionRecord* r, int32_t address, void* buffer, int32_t unit, int32_t count) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::ReadAddress(rec, static_cast<uint32_t>(address), static_cast<uint8_t*>(buffer), unit,
                               count);
    });
}
VAULTRA_API int32_t S5WrAdr(ConnectionRecord* r, int32_t address, void* buffer, int32_t unit, int32_t count) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::WriteAddress(rec, static_cast<uint32_t>(address), static_cast<const uint8_t*>(buffer),
                                unit, count);
    });
}

#define VAULTRA_S5_READ(name, area)                                                             \
    VAULTRA_API int32_t name(ConnectionRecord* r, int32_t index, int32_t count, void* buffer) { \
        return Read(r, area, index, count, buffer);                                             \
    }
#define VAULTRA_S5_WRITE(name, area, unit)                                                      \
    VAULTRA_API int32_t name(ConnectionRecord* r, int32_t index, int32_t count, void* buffer) { \
        return Write(r, area, unit, index, count, buffer);                                      \
    }
VAULTRA_S5_READ(S5RdPEW, Area::PeripheralInputs)
VAULTRA_S5_WRITE(S5WrPEW, Area::PeripheralInputs, Unit::Word)
VAULTRA_S5_READ(S5RdPAW, Area::PeripheralOutputs)
VAULTRA_S5_WRITE(S5WrPAW, Area::PeripheralOutputs, Unit::Word)
VAULTRA_S5_READ(S5RdEW, Area::Inputs)
VAULTRA_S5_WRITE(S5WrEB, Area::Inputs, Unit::Byte)
VAULTRA_S5_WRITE(S5WrEW, Area::Inputs, Unit::Word)
VAULTRA_S5_READ(S5RdAW, Area::Outputs)
VAULTRA_S5_WRITE(S5WrAB, Area::Outputs, Unit::Byte)
VAULTRA_S5_WRITE(S5WrAW, Area::Outputs, Unit::Word)
VAULTRA_S5_READ(S5RdMW, Area::Flags)
VAULTRA_S5_WRITE(S5WrMB, Area::Flags, Unit::Byte)
VAULTRA_S5_WRITE(S5WrMW, Area::Flags, Unit::Word)
VAULTRA_S5_READ(S5RdSW, Area::SystemWords)
VAULTRA_S5_WRITE(S5WrSY, Area::SystemWords, Unit::Byte)
VAULTRA_S5_WRITE(S5WrSW, Area::SystemWords, Unit::Word)
VAULTRA_S5_READ(S5RdTW, Area::Timers)
VAULTRA_S5_WRITE(S5WrTW, Area::Timers, Unit::Word)
VAULTRA_S5_READ(S5RdZW, Area::Counters)
VAULTRA_S5_WRITE(S5WrZW, Area::Counters, Unit::Word)
VAULTRA_S5_READ(S5RdBSW, Area::SystemData)
VAULTRA_S5_WRITE(S5WrBSW, Area::SystemData, Unit::Word)
VAULTRA_S5_READ(S5RdASW, Area::Absolute)
VAULTRA_S5_WRITE(S5WrASW, Area::Absolute, Unit::Word)

// --- control and stacks ---
VAULTRA_API int32_t S5AGStop(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s5::Stop(rec); });
}
VAULTRA_API int32_t S5AGStart(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s5::Start(rec); });
}
VAULTRA_API int32_t S5AGStartStopEx(ConnectionRecord* r, int32_t mode) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::StartStopEx(rec, mode); });
}
VAULTRA_API int32_t S5SetAB(ConnectionRecord* r, int32_t count, uint8_t* data) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::ForceOutputs(rec, count, data); });
}
VAULTRA_API int32_t S5SPAus(ConnectionRecord* r, int32_t* first, int32_t* second) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::TwoValues(rec, first, second); });
}
VAULTRA_API int32_t S5Ustack(ConnectionRecord* r, S5InterruptRecord* records, int16_t* count) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::InterruptStack(rec, records, count); });
}
VAULTRA_API int32_t S5UstackEx(ConnectionRecord* r, uint16_t* words, int32_t recordWords, int16_t* extra,
                               int16_t* count) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::InterruptStackEx(rec, reinterpret_cast<uint8_t*>(words), recordWords, extra, count);
    });
}
VAULTRA_API int32_t S5Ustack945(ConnectionRecord* r, uint8_t* buffer) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s5::InterruptStack945(rec, buffer); });
}
VAULTRA_API int32_t S5BStack(ConnectionRecord* r, int16_t* count, uint16_t* words) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s5::BlockStack(rec, count, reinterpret_cast<uint8_t*>(words));
    });
}

// --- link ---
VAULTRA_API int32_t S5OpenAll(void) {
    return vaultra::link::OpenAll();
}
VAULTRA_API int32_t S5CloseAll(void) {
    return vaultra::link::CloseAll();
}
VAULTRA_API int32_t S5GetBaudrate(ConnectionRecord*) {
    return vaultra::link::S5GetBaudrate();
}
VAULTRA_API int32_t S5SetBaudrate(ConnectionRecord*, int32_t rateCode) {
    return vaultra::link::S5SetBaudrate(rateCode);
}
VAULTRA_API int32_t S5GetAdapterName(int32_t index, char* buffer, int32_t reserved) {
    return vaultra::link::GetAdapterName(index, buffer, reserved);
}
VAULTRA_API int32_t S5SetAdapterName(const char* name) {
    return vaultra::link::SetAdapterName(name);
}
VAULTRA_API void* ComGetHandle(uint16_t port) {
    return vaultra::link::GetHandle(port);
}
VAULTRA_API int32_t NewMPILanCom(const char* address, int32_t receiveTimeoutMs, int32_t sendTimeoutMs,
                                 int32_t connectTimeoutMs, int16_t kind, uint32_t localAddress,
                                 uint32_t netMask) {
    return vaultra::link::NewMPILanCom(address, receiveTimeoutMs, sendTimeoutMs, connectTimeoutMs, kind,
                                       localAddress, netMask);
}
VAULTRA_API int32_t WEP(int32_t reserved) {
    return vaultra::link::Wep(reserved);
}
