// The exported names of one S7 driver library. Compiled once per library: VAULTRA_S7_PREFIX_S5 gives
// the ISO-on-TCP library's S5 names, VAULTRA_S7_FLUSH_S5 the S5FlushCom name of the LAN-capable ones.
#include <vaultra/tarn7.h>

#include "drivers/link/link_exports.h"
#include "drivers/s7/download.h"
#include "drivers/s7/driver.h"
#include "drivers/s7/requests.h"
#include "drivers/s7/services.h"
#include "drivers/s7/settings.h"

#define VAULTRA_S7_PASTE2(a, b) a##b
#define VAULTRA_S7_PASTE(a, b) VAULTRA_S7_PASTE2(a, b)
#ifdef VAULTRA_S7_PREFIX_S5
#define COMMON(name) VAULTRA_S7_PASTE(S5, name)
#else
#define COMMON(name) VAULTRA_S7_PASTE(S7, name)
#endif
#ifdef VAULTRA_S7_FLUSH_S5
#define FLUSH_NAME S5FlushCom
#else
#define FLUSH_NAME S7FlushCom
#endif

namespace s7 = vaultra::s7;
using s7::ActiveChannel;
using s7::Guarded;

namespace {

// The window handle of the directory read stands for a Tarn7ProgressWindow.
class WindowProgress final : public s7::ProgressSink {
public:
    WindowProgress(Tarn7ProgressWindow* window, int32_t type) : window_(window), type_(type) {}
    bool Report(intptr_t lParam) override {
        return window_->sendMessage == nullptr ||
               window_->sendMessage(window_, TARN7_WM_USER, static_cast<uintptr_t>(type_), lParam) != 0;
    }

private:
    Tarn7ProgressWindow* window_;
    int32_t type_;
};

int32_t Read(ConnectionRecord* r, uint8_t area, uint8_t size, int32_t address, int32_t count, int32_t db,
             void* buffer) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s7::ReadArea(ActiveChannel(), rec, area, size, address, count, db, buffer);
    });
}

int32_t Write(ConnectionRecord* r, uint8_t area, uint8_t size, int32_t address, int32_t count, int32_t db,
              const void* buffer) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s7::WriteArea(ActiveChannel(), rec, area, size, address, count, db, buffer);
    });
}

// Word functions of M, E, A, PE, PA and DB address S5-style word numbers.
int32_t WordAddress(int32_t start) {
    return start * 2;
}

int32_t NoTraffic(ConnectionRecord* record) {
    if (record != nullptr)
        record->status = s7::kStatusNoAnswer;
    return 0;
}

}  // namespace

// --- init, exit, settings ---
VAULTRA_API int32_t COMMON(Init)(ConnectionRecord* r, int32_t mode) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s7::Init(rec, mode); });
}
VAULTRA_API int32_t COMMON(Exit)(ConnectionRecord* r, int32_t mode) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s7::Exit(rec, mode); });
}
VAULTRA_API int32_t COMMON(SetTimeOut)(int32_t ticks) {
    return s7::SetTimeOut(ticks);
}
VAULTRA_API int32_t COMMON(SetBlockPause)(int32_t value) {
    return s7::SetBlockPause(value);
}
VAULTRA_API int32_t COMMON(SetRepeat)(int32_t repeat) {
    return s7::SetRepeat(repeat);
}
VAULTRA_API int32_t COMMON(SetFlags)(int32_t flags) {
    return s7::SetFlags(flags);
}
VAULTRA_API int32_t COMMON(SetBaudrate)(ConnectionRecord*, int32_t rateMask) {
    return vaultra::link::S7SetBaudrate(static_cast<uint32_t>(rateMask));
}
VAULTRA_API int32_t COMMON(GetBaudrate)(ConnectionRecord*) {
    return vaultra::link::S7GetBaudrate();
}
VAULTRA_API int32_t COMMON(AGTest)(ConnectionRecord*) {
    return 1;
}
VAULTRA_API int32_t COMMON(InitPGBus)(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s7::InitPGBus(rec); });
}
VAULTRA_API int32_t COMMON(OpenAll)(void) {
    return vaultra::link::OpenAll();
}
VAULTRA_API int32_t COMMON(CloseAll)(void) {
    return vaultra::link::CloseAll();
}
VAULTRA_API int32_t COMMON(GetAdapterName)(int32_t index, char* buffer, int32_t reserved) {
    return vaultra::link::GetAdapterName(index, buffer, reserved);
}
VAULTRA_API int32_t COMMON(SetAdapterName)(const char* name) {
    return vaultra::link::SetAdapterName(name);
}
VAULTRA_API void FLUSH_NAME(ConnectionRecord* r) {
    if (r != nullptr)
        vaultra::link::FlushCom(r);
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

// --- blocks ---
VAULTRA_API int32_t COMMON(RdDir)(ConnectionRecord* r, int32_t type, int16_t* presence, void* window) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        auto* w = static_cast<Tarn7ProgressWindow*>(window);
        WindowProgress progress(w, type);
        return s7::ReadDirectory(ActiveChannel(), rec, type, presence, w != nullptr ? &progress : nullptr);
    });
}
VAULTRA_API int32_t COMMON(BstInfo)(ConnectionRecord* r, BlockRecord* block, int32_t type, int32_t number,
                                    int16_t* found) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s7::BlockInfo(ActiveChannel(), rec, block, type, number, found);
    });
}
// The last argument, ignored by callers that pass 0 or 1, may name the capacity of the image buffer.
VAULTRA_API int32_t COMMON(RdBst)(ConnectionRecord* r, BlockRecord* block, int32_t type, int32_t number,
                                  int32_t capacity) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        const size_t room = capacity > 1 ? static_cast<size_t>(capacity) : 0;
        return s7::ReadBlock(ActiveChannel(), rec, block, type, number, room);
    });
}

VAULTRA_API int32_t COMMON(WrBst)(ConnectionRecord* r, BlockRecord* block, int32_t type, int32_t, int32_t) {
    return Guarded(r,
                   [&](ConnectionRecord& rec) { return s7::WriteBlock(ActiveChannel(), rec, block, type); });
}
VAULTRA_API int32_t COMMON(CreateBst)(ConnectionRecord* r, BlockRecord* block, int32_t) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s7::CreateBlock(ActiveChannel(), rec, block); });
}
VAULTRA_API int32_t COMMON(DelBst)(ConnectionRecord* r, int32_t type, int32_t number) {
    return Guarded(
        r, [&](ConnectionRecord& rec) { return s7::DeleteBlock(ActiveChannel(), rec, type, number); });
}
VAULTRA_API int32_t COMMON(Compress)(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s7::Compress(ActiveChannel(), rec); });
}
VAULTRA_API int32_t COMMON(ClearAll)(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s7::ClearAll(ActiveChannel(), rec); });
}

// --- control and information ---
VAULTRA_API int32_t COMMON(AGStart)(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s7::Start(ActiveChannel(), rec); });
}
VAULTRA_API int32_t COMMON(AGStop)(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s7::Stop(ActiveChannel(), rec); });
}
VAULTRA_API int32_t COMMON(AGStartStopEx)(ConnectionRecord* r, int32_t mode) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s7::StartStopEx(ActiveChannel(), rec, mode); });
}
VAULTRA_API int32_t COMMON(BStack)(ConnectionRecord* r, int16_t* flag, uint8_t* buffer) {
    return Guarded(r,
                   [&](ConnectionRecord& rec) { return s7::BlockStack(ActiveChannel(), rec, flag, buffer); });
}
VAULTRA_API int32_t COMMON(Ustack)(ConnectionRecord* r, uint8_t* buffer, int16_t* flag) {
    return Guarded(
        r, [&](ConnectionRecord& rec) { return s7::InterruptStack(ActiveChannel(), rec, buffer, flag); });
}
VAULTRA_API int32_t S7DoPassword(ConnectionRecord* r, const uint8_t* password) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s7::Password(ActiveChannel(), rec, password); });
}
VAULTRA_API int32_t S7GetCPUName(ConnectionRecord* r, uint32_t listIdAndIndex, uint8_t* buffer,
                                 int32_t size) {
    return Guarded(r, [&](ConnectionRecord& rec) {
        return s7::ReadSystemStatusList(ActiveChannel(), rec, listIdAndIndex, buffer, size);
    });
}
VAULTRA_API int32_t S7RamnachRom(ConnectionRecord* r, uint32_t* result) {
    return Guarded(r, [&](ConnectionRecord& rec) { return s7::RamToRom(ActiveChannel(), rec, result); });
}
VAULTRA_API int32_t S7ToggleRead(ConnectionRecord* r) {
    return Guarded(r, [](ConnectionRecord& rec) { return s7::ToggleRead(ActiveChannel(), rec); });
}

// --- memory areas ---
#define VAULTRA_S7_BYTE_FUNCTIONS(area, name)                                                            \
    VAULTRA_API int32_t COMMON(name)(ConnectionRecord * r, int32_t start, int32_t count, void* buffer) { \
        return Write(r, area, s7::kSizeByte, start, count, 0, buffer);                                   \
    }
#define VAULTRA_S7_WORD_FUNCTIONS(area, rd, wr, address)                                               \
    VAULTRA_API int32_t COMMON(rd)(ConnectionRecord * r, int32_t start, int32_t count, void* buffer) { \
        return Read(r, area, s7::kSizeWord, address(start), count, 0, buffer);                         \
    }                                                                                                  \
    VAULTRA_API int32_t COMMON(wr)(ConnectionRecord * r, int32_t start, int32_t count, void* buffer) { \
        return Write(r, area, s7::kSizeWord, address(start), count, 0, buffer);                        \
    }
#define VAULTRA_S7_SAME(start) (start)

VAULTRA_S7_BYTE_FUNCTIONS(s7::kAreaFlags, WrMB)
VAULTRA_S7_BYTE_FUNCTIONS(s7::kAreaInputs, WrEB)
VAULTRA_S7_BYTE_FUNCTIONS(s7::kAreaOutputs, WrAB)
VAULTRA_S7_WORD_FUNCTIONS(s7::kAreaFlags, RdMW, WrMW, WordAddress)
VAULTRA_S7_WORD_FUNCTIONS(s7::kAreaInputs, RdEW, WrEW, WordAddress)
VAULTRA_S7_WORD_FUNCTIONS(s7::kAreaOutputs, RdAW, WrAW, WordAddress)
VAULTRA_S7_WORD_FUNCTIONS(s7::kAreaPeripheralInputs, RdPEW, WrPEW, WordAddress)
VAULTRA_S7_WORD_FUNCTIONS(s7::kAreaPeripheralOutputs, RdPAW, WrPAW, WordAddress)
VAULTRA_S7_WORD_FUNCTIONS(s7::kAreaTimers, RdTW, WrTW, VAULTRA_S7_SAME)
VAULTRA_S7_WORD_FUNCTIONS(s7::kAreaCounters, RdZW, WrZW, VAULTRA_S7_SAME)

VAULTRA_API int32_t COMMON(RdDB)(ConnectionRecord* r, int32_t db, int32_t start, int32_t count,
                                 void* buffer) {
    return Read(r, s7::kAreaDataBlock, s7::kSizeWord, WordAddress(start), count, db, buffer);
}
VAULTRA_API int32_t COMMON(WrDB)(ConnectionRecord* r, int32_t db, int32_t start, int32_t count,
                                 void* buffer) {
    return Write(r, s7::kAreaDataBlock, s7::kSizeWord, WordAddress(start), count, db, buffer);
}

// --- compatibility with the S5 family: no traffic ---
#define VAULTRA_S7_COMPAT(name, params)       \
    VAULTRA_API int32_t COMMON(name) params { \
        return 0;                             \
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
TARN7_COMPAT_FUNCTIONS(VAULTRA_S7_COMPAT)
#pragma GCC diagnostic pop

#define VAULTRA_S7_PATH_FAILS(name)                              \
    VAULTRA_API int32_t S5##name(ConnectionRecord* r, int32_t) { \
        return NoTraffic(r);                                     \
    }
VAULTRA_S7_PATH_FAILS(ConnectS5OnH1CP)
VAULTRA_S7_PATH_FAILS(ConnectKORMUXOnH1CP)
VAULTRA_S7_PATH_FAILS(ConnectL2CP)
VAULTRA_S7_PATH_FAILS(ConnectS5OnL2CP)
VAULTRA_S7_PATH_FAILS(ConnectKORMUXOnL2CP)
VAULTRA_S7_PATH_FAILS(ConnectL1CP)
VAULTRA_S7_PATH_FAILS(ConnectS5OnL1CP)
VAULTRA_S7_PATH_FAILS(ConnectKORMUX)
VAULTRA_API int32_t S5DeleteKORMUXOnH1Path(ConnectionRecord* r) {
    return NoTraffic(r);
}
VAULTRA_API int32_t S5DeleteS5OnH1Path(ConnectionRecord* r) {
    return NoTraffic(r);
}
VAULTRA_API int32_t S5ConnectH1CP(ConnectionRecord*, int32_t, int32_t) {
    return 0;
}
VAULTRA_API int32_t S5DeleteCPPath(ConnectionRecord*) {
    return 1;
}
VAULTRA_API int32_t S5InitForPath(int32_t* value) {
    if (value != nullptr)
        *value = 0;
    return 0;
}
