// Binding the driver libraries at run time: which library an entry's interface needs, the function table
// resolved by export name, the entry's own library references, and the connect sequence of an S7 entry.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <vaultra/records.h>
#include <vaultra/tarn7.h>

#include "app/element.h"
#include "app/front_end.h"
#include "app/function_table.h"
#include "app/network_card.h"
#include "app/s5_table.h"
#include "app/station.h"

namespace vaultra::platform {
class DynamicLibrary;
}

namespace vaultra::app {

// Library file of each interface, and of the S5 program file library.
std::string_view LibraryFileName(InterfaceKind kind);
inline constexpr std::string_view kQrfLibraryFile = "libQRF.so";

// Slots of the S7 function table, in binding order.
enum class S7Slot : int {
    Init,
    Exit,
    AGTest,
    RdAdr,
    WrAdr,
    WrMB,
    RdMW,
    WrMW,
    WrEB,
    RdEW,
    WrEW,
    RdPEW,
    WrPEW,
    WrAB,
    RdAW,
    WrAW,
    RdPAW,
    WrPAW,
    RdTW,
    WrTW,
    RdZW,
    WrZW,
    RdDB,
    WrDB,
    AGStart,
    AGStop,
    AGStartStopEx,
    SetTimeOut,
    SetBlockPause,
    SetRepeat,
    SetFlags,
    CloseAll,
    RdDir,
    RdBst,
    CreateBst,
    Compress,
    ClearAll,
    DoPassword,
    NewMPILanCom,
    Count
};
inline constexpr int kS7SlotCount = static_cast<int>(S7Slot::Count);

// Export name of a slot: "S7" + name in libTARN7.so and libTARN7IP.so, "S5" + name in libTARN7RFC.so,
// except S7DoPassword and NewMPILanCom, which every library exports under that name.
std::string S7ExportName(S7Slot slot, bool rfcLibrary);

// The S7 function table, null where the bound library lacks the export.
class S7Table : public FunctionTable<S7Slot, kS7SlotCount> {
public:
    void Resolve(const platform::DynamicLibrary& library, bool rfcLibrary);

    int32_t Init(ConnectionRecord* r, int32_t mode) const { return Call<Tarn7InitFn>(S7Slot::Init, r, mode); }
    int32_t Exit(ConnectionRecord* r, int32_t mode) const { return Call<Tarn7ExitFn>(S7Slot::Exit, r, mode); }
    int32_t AGStart(ConnectionRecord* r) const { return Call<Tarn7AGStartFn>(S7Slot::AGStart, r); }
    int32_t AGStop(ConnectionRecord* r) const { return Call<Tarn7AGStopFn>(S7Slot::AGStop, r); }
    int32_t RdDir(ConnectionRecord* r, int32_t type, int16_t* presence, void* window) const {
        return Call<Tarn7RdDirFn>(S7Slot::RdDir, r, type, presence, window);
    }
    int32_t RdBst(ConnectionRecord* r, BlockRecord* b, int32_t type, int32_t number) const {
        return Call<Tarn7RdBstFn>(S7Slot::RdBst, r, b, type, number, 1);
    }
    int32_t DoPassword(ConnectionRecord* r, const uint8_t* encoded) const {
        return Call<Tarn7DoPasswordFn>(S7Slot::DoPassword, r, encoded);
    }
    int32_t SetTimeOut(int32_t v) const { return Call<Tarn7SetTimeOutFn>(S7Slot::SetTimeOut, v); }
    int32_t SetBlockPause(int32_t v) const { return Call<Tarn7SetBlockPauseFn>(S7Slot::SetBlockPause, v); }
    int32_t SetRepeat(int32_t v) const { return Call<Tarn7SetRepeatFn>(S7Slot::SetRepeat, v); }
    int32_t SetFlags(int32_t v) const { return Call<Tarn7SetFlagsFn>(S7Slot::SetFlags, v); }
    int32_t NewMPILanCom(const char* address, int32_t receiveMs, int32_t sendMs, int32_t connectMs,
                         int16_t kind, uint32_t localAddress, uint32_t netMask) const {
        return Call<Tarn7NewMPILanComFn>(S7Slot::NewMPILanCom, address, receiveMs, sendMs, connectMs, kind,
                                         localAddress, netMask);
    }
};

// The S5 program file library's exports, resolved by name.
inline constexpr std::array<std::string_view, 12> kQrfExportNames = {
    "OeffneS5Datei", "SchlS5Datei",  "LeseBuchhalter", "EntfBuchhalter", "BstZuName",  "NameZuBst",
    "BstKopfLng",    "LeseBstDaten", "EntfBstDaten",   "SchrBstDaten",   "LoescheBst", "KomprimiereDatei"};
struct QrfTable {
    std::array<void*, kQrfExportNames.size()> slots{};
    void* Get(std::string_view name) const;
    // For tests that replace an export.
    void Set(std::string_view name, void* function);
};

// The program-wide binding state: the function tables, where libraries are looked for, and the adapter
// list for LAN connections. Works on the station's shared connection record.
class DriverBinding {
public:
    DriverBinding(Station& station, FrontEnd& ui);
    DriverBinding(Station& station, FrontEnd& ui, std::vector<std::filesystem::path> libraryDirectories,
                  CNetworkCard networkCard);
    ~DriverBinding();

    // Releases the entry's reference to this library file, loads it again and keeps the new reference in
    // the entry. Shows "<file> nicht gefunden!" and returns null when it cannot be loaded.
    const platform::DynamicLibrary* BindLibrary(CElement& e, std::string_view fileName);

    // Binds the entry's S7 library, sets up the LAN endpoint, configures the driver, fills the record's
    // address fields and opens the connection. 1 when open; close it with S7().Exit(record, 0).
    int ConnectS7(CElement& e);
    // Binds the entry's S5 library, configures the driver, sets up the LAN endpoint and opens the
    // connection: the result of S5Init (nonzero when open). "S5 H1-Bus" needs the path operations; without
    // them it fails with a status text and none of them is called. Close it with CloseS5.
    int ConnectS5(CElement& e);
    // Closes an S5 connection (the H1 path first) and keeps the line quiet for s5CloseWaitMs, so that the
    // next S5 connect never follows a close earlier than that; a quit request ends the wait early.
    // Returns S5Exit's result.
    int CloseS5(CElement& e);
    // The link port for a LAN interface: a new port from NewMPILanCom, or oldPort when it fails.
    uint16_t LanPortSetup(uint16_t oldPort, const CElement& e);
    // Binds the S5 program file library for the entry; 1 when bound.
    int BindQrf(CElement& e);

    const S7Table& S7() const { return s7_; }
    S7Table& S7() { return s7_; }
    const S5Table& S5() const { return s5_; }
    S5Table& S5() { return s5_; }
    const QrfTable& Qrf() const { return qrf_; }
    QrfTable& Qrf() { return qrf_; }
    ConnectionRecord& Record() { return station_.record; }
    CNetworkCard& NetworkCard() { return networkCard_; }

    // Called after every S7 library has been bound, before its first call: lets a trace or a test wrap
    // functions of the table.
    std::function<void(S7Table&)> afterS7Bind;
    // The same for every S5 library.
    std::function<void(S5Table&)> afterS5Bind;

    // Runs every call into a bound driver library (the tables' calls and the LAN registration); empty, they
    // run inline. The desktop program runs them on a helper thread so that its window keeps serving events.
    DriverCallRunner callRunner;

    // Why the last connect failed when the driver cannot say (an interface this station cannot reach);
    // empty otherwise.
    const std::string& ConnectProblem() const { return connectProblem_; }

    // PLCs need the line quiet for 5 s after an S5 close; tests shorten it.
    uint32_t s5CloseWaitMs = 5000;

private:
    bool OpenH1Path(CElement& e);
    // Waits until s5CloseWaitMs have passed since the last S5 close; false when a quit request ended it.
    bool AwaitS5Quiet();

    Station& station_;
    FrontEnd& ui_;
    std::vector<std::filesystem::path> directories_;
    CNetworkCard networkCard_;
    S7Table s7_;
    S5Table s5_;
    QrfTable qrf_;
    std::string connectProblem_;
    std::optional<uint64_t> lastS5CloseMs_;
};

}  // namespace vaultra::app
