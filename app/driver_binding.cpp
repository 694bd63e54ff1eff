#include "app/driver_binding.h"

#include <cstdio>

#include "app/engine_texts.h"
#include "app/scan.h"
#include "app/text_catalogue.h"
#include "platform/clock.h"
#include "platform/dynlib.h"

namespace vaultra::app {

namespace {

constexpr std::array<std::string_view, kS7SlotCount> kS7SlotNames = {
    "Init",          "Exit",      "AGTest",     "RdAdr",       "WrAdr",  "WrMB",          "RdMW",
    "WrMW",          "WrEB",      "RdEW",       "WrEW",        "RdPEW",  "WrPEW",         "WrAB",
    "RdAW",          "WrAW",      "RdPAW",      "WrPAW",       "RdTW",   "WrTW",          "RdZW",
    "WrZW",          "RdDB",      "WrDB",       "AGStart",     "AGStop", "AGStartStopEx", "SetTimeOut",
    "SetBlockPause", "SetRepeat", "SetFlags",   "CloseAll",    "RdDir",  "RdBst",         "CreateBst",
    "Compress",      "ClearAll",  "DoPassword", "NewMPILanCom"};

// Settings every S7 connect gives the driver: no block pause, 81 ticks (about 4.5 s) time-out,
// three repeats, no link trace.
constexpr int32_t kS7BlockPause = 0;
constexpr int32_t kS7TimeOut = 81;
constexpr int32_t kS7Repeat = 3;
constexpr int32_t kS7Flags = 0;
constexpr uint8_t kS7BusSpeed = 2;

// Settings every S5 connect gives the driver: 7 ms block pause, 1091 ticks (about 60 s) time-out, three
// repeats, flag word 2.
constexpr int32_t kS5BlockPause = 7;
constexpr int32_t kS5TimeOut = 1091;
constexpr int32_t kS5Repeat = 3;
constexpr int32_t kS5Flags = 2;
// Slices of the quiet time after an S5 close, between which a quit request is noticed.
constexpr uint32_t kS5QuietSliceMs = 50;
constexpr const char* kH1Unavailable =
    "%s: Die Schnittstelle S5 H1-Bus ist in dieser Station nicht verfügbar.";

// NewMPILanCom arguments: receive, send and connect time-outs in milliseconds.
constexpr int32_t kLanReceiveMs = 2000;
constexpr int32_t kLanSendMs = 2000;
constexpr int32_t kLanConnectMs = 5000;

// TARN7IP for S7-LAN, TARN7RFC for S7-RFC1006, TARN7 for everything else.
std::string_view S7LibraryFile(InterfaceKind kind) {
    if (kind == InterfaceKind::S7Lan || kind == InterfaceKind::S7Rfc1006) {
        return LibraryFileName(kind);
    }
    return LibraryFileName(InterfaceKind::S7Mpi);
}

}  // namespace

std::string_view LibraryFileName(InterfaceKind kind) {
    switch (kind) {
        case InterfaceKind::S7Mpi:
            return "libTARN7.so";
        case InterfaceKind::S7Lan:
            return "libTARN7IP.so";
        case InterfaceKind::S7Rfc1006:
            return "libTARN7RFC.so";
        case InterfaceKind::S5Lan:
            return "libTARN5IP.so";
        case InterfaceKind::S5Direct:
        case InterfaceKind::S5H1:
            break;
    }
    return "libTARN5.so";
}

std::string S7ExportName(S7Slot slot, bool rfcLibrary) {
    const std::string_view name = kS7SlotNames[static_cast<std::size_t>(slot)];
    if (slot == S7Slot::NewMPILanCom) {
        return std::string(name);
    }
    const bool s7Name = !rfcLibrary || slot == S7Slot::DoPassword;
    return (s7Name ? "S7" : "S5") + std::string(name);
}

void S7Table::Resolve(const platform::DynamicLibrary& library, bool rfcLibrary) {
    for (int i = 0; i < kS7SlotCount; ++i) {
        slots_[i] = library.Symbol(S7ExportName(static_cast<S7Slot>(i), rfcLibrary).c_str());
    }
}

void* QrfTable::Get(std::string_view name) const {
    for (std::size_t i = 0; i < kQrfExportNames.size(); ++i) {
        if (kQrfExportNames[i] == name) {
            return slots[i];
        }
    }
    return nullptr;
}

void QrfTable::Set(std::string_view name, void* function) {
    for (std::size_t i = 0; i < kQrfExportNames.size(); ++i) {
        if (kQrfExportNames[i] == name) {
            slots[i] = function;
        }
    }
}

DriverBinding::DriverBinding(Station& station, FrontEnd& ui)
    : DriverBinding(station, ui, platform::DefaultLibraryDirectories(), CNetworkCard()) {}

DriverBinding::DriverBinding(Station& station, FrontEnd& ui,
                             std::vector<std::filesystem::path> libraryDirectories, CNetworkCard networkCard)
    : station_(station),
      ui_(ui),
      directories_(std::move(libraryDirectories)),
      networkCard_(std::move(networkCard)) {
    s7_.RunCallsThrough(&callRunner);
    s5_.RunCallsThrough(&callRunner);
}

DriverBinding::~DriverBinding() = default;

const platform::DynamicLibrary* DriverBinding::BindLibrary(CElement& e, std::string_view fileName) {
    const std::string key(fileName);
    e.libraryRefs.erase(key);
    std::shared_ptr<platform::DynamicLibrary> library =
        platform::DynamicLibrary::Open(directories_, fileName);
    if (!library) {
        ui_.MessageBox(key + texts::kNotFoundSuffix, MessageButtons::Ok);
        return nullptr;
    }
    const platform::DynamicLibrary* raw = library.get();
    e.libraryRefs[key] = std::move(library);
    return raw;
}

int DriverBinding::ConnectS7(CElement& e) {
    const InterfaceKind kind = InterfaceOf(e);
    const auto* library = BindLibrary(e, S7LibraryFile(kind));
    if (library == nullptr) {
        s7_.Clear();
        return 0;
    }
    s7_.Resolve(*library, kind == InterfaceKind::S7Rfc1006);
    if (afterS7Bind) {
        afterS7Bind(s7_);
    }
    ConnectionRecord& record = station_.record;
    if (kind == InterfaceKind::S7Lan || kind == InterfaceKind::S7Rfc1006) {
        record.port = LanPortSetup(record.port, e);
    } else {
        // A LAN connect earlier in this process left its link port in the shared record.
        station_.ApplyComPort();
    }
    s7_.SetBlockPause(kS7BlockPause);
    s7_.SetTimeOut(kS7TimeOut);
    s7_.SetRepeat(kS7Repeat);
    s7_.SetFlags(kS7Flags);
    record.busSpeed = kS7BusSpeed;
    switch (kind) {
        case InterfaceKind::S7Rfc1006:
            record.plcAddress = 0;
            record.rackSlot = e.address[4];
            break;
        case InterfaceKind::S7Lan:
            record.plcAddress = e.address[4];
            record.rackSlot = e.address[5];
            break;
        default:
            record.plcAddress = e.address[0];
            record.rackSlot = e.address[1];
            break;
    }
    return s7_.Init(&record, 0);
}

int DriverBinding::ConnectS5(CElement& e) {
    connectProblem_.clear();
    const InterfaceKind kind = InterfaceOf(e);
    const auto* library = BindLibrary(e, LibraryFileName(kind));
    if (library == nullptr) {
        s5_.Clear();
        return 0;
    }
    s5_.Resolve(*library);
    if (afterS5Bind) {
        afterS5Bind(s5_);
    }
    if (!AwaitS5Quiet()) {
        return 0;
    }
    // The record is shared with S7 connections, whose MPI address would read as a PG-bus station here: an
    // S5 connection starts from a zeroed record on the direct line.
    ConnectionRecord& record = station_.record;
    const uint16_t port = record.port;
    record = ConnectionRecord{};
    record.port = port;
    s5_.SetBlockPause(kS5BlockPause);
    s5_.SetTimeOut(kS5TimeOut);
    s5_.SetRepeat(kS5Repeat);
    s5_.SetFlags(kS5Flags);
    if (kind == InterfaceKind::S5H1) {
        return OpenH1Path(e) ? s5_.Init(&record, 0) : 0;
    }
    if (kind == InterfaceKind::S5Lan) {
        record.port = LanPortSetup(record.port, e);
    } else {
        station_.ApplyComPort();
    }
    return s5_.Init(&record, 0);
}

bool DriverBinding::OpenH1Path(CElement& e) {
    if (!s5_.HasH1Path()) {
        connectProblem_ = Format(Tr(kH1Unavailable), e.name.c_str());
        ui_.StatusText(connectProblem_);
        return false;
    }
    ConnectionRecord* record = &station_.record;
    const char* password = e.password.empty() ? nullptr : e.password.c_str();
    return s5_.Call<S5PathFn>(S5Slot::InitForPath, record) != 0 &&
           s5_.Call<S5ConnectH1CPFn>(S5Slot::ConnectH1CP, record, e.address.data(), password) != 0 &&
           s5_.Call<S5ConnectS5OnH1CPFn>(S5Slot::ConnectS5OnH1CP, record, 0) != 0;
}

int DriverBinding::CloseS5(CElement& e) {
    ConnectionRecord* record = &station_.record;
    if (InterfaceOf(e) == InterfaceKind::S5H1 && s5_.HasH1Path()) {
        s5_.Call<S5PathFn>(S5Slot::DeleteS5OnH1Path, record);
        s5_.Call<S5PathFn>(S5Slot::DeleteCPPath, record);
    }
    const int result = s5_.Exit(record, 0);
    lastS5CloseMs_ = platform::MonotonicMs();
    AwaitS5Quiet();
    return result;
}

bool DriverBinding::AwaitS5Quiet() {
    if (!lastS5CloseMs_) {
        return true;
    }
    for (;;) {
        const uint64_t passed = platform::MonotonicMs() - *lastS5CloseMs_;
        if (passed >= s5CloseWaitMs) {
            return true;
        }
        if (ui_.PollAbort() == AbortRequest::Quit) {
            return false;
        }
        const uint64_t left = s5CloseWaitMs - passed;
        platform::SleepMilliseconds(static_cast<uint32_t>(left < kS5QuietSliceMs ? left : kS5QuietSliceMs));
    }
}

uint16_t DriverBinding::LanPortSetup(uint16_t oldPort, const CElement& e) {
    const InterfaceKind kind = InterfaceOf(e);
    const int16_t linkKind = kind == InterfaceKind::S7Rfc1006 ? 3 : kind == InterfaceKind::S7Lan ? 2 : 1;
    char target[16];
    std::snprintf(target, sizeof target, "%d.%d.%d.%d", e.address[0], e.address[1], e.address[2],
                  e.address[3]);
    const int adapter = networkCard_.IndexOf(station_.settings.adapterName);
    // The registration goes to the library of the entry's family, bound just before.
    const auto registerLan = IsS7Interface(kind) ? s7_.Get<Tarn7NewMPILanComFn>(S7Slot::NewMPILanCom)
                                                 : s5_.Get<Tarn5NewMPILanComFn>(S5Slot::NewMPILanCom);
    const uint32_t localAddress = networkCard_.IpAddress(adapter);
    const uint32_t netMask = networkCard_.SubnetMask(adapter);
    const int32_t port = registerLan == nullptr ? 0 : RunDriverCall(&callRunner, [&] {
        return registerLan(target, kLanReceiveMs, kLanSendMs, kLanConnectMs, linkKind, localAddress, netMask);
    });
    return port > 0 && port <= 0xFFFF ? static_cast<uint16_t>(port) : oldPort;
}

int DriverBinding::BindQrf(CElement& e) {
    const auto* library = BindLibrary(e, kQrfLibraryFile);
    if (library == nullptr) {
        qrf_.slots.fill(nullptr);
        return 0;
    }
    for (std::size_t i = 0; i < kQrfExportNames.size(); ++i) {
        qrf_.slots[i] = library->Symbol(std::string(kQrfExportNames[i]).c_str());
    }
    return 1;
}

}  // namespace vaultra::app
