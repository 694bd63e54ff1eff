// Shared pieces of the S5 end-to-end tests: plcsim s5 on the pseudo-terminal or the LAN adapter, the
// real S5 libraries bound by the engine, and a trace of the driver calls that reach them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/driver_binding.h"
#include "app/recording_front_end.h"
#include "app/s5_backup.h"
#include "app/s5_program_file.h"
#include "platform/clock.h"
#include "sim/testing/plcsim_process.h"
#include "tests/app/temp_dir.h"

namespace vaultra::app::s5_test {

namespace fs = std::filesystem;
using sim::testing::PlcsimProcess;

struct Interface {
    const char* name;
    uint16_t flag;  // 0 for "S5 Direkt"
    std::array<uint8_t, 6> address;
};
inline const Interface kDirect{"direct", 0, {0, 0, 0, 0, 0, 0}};
inline const Interface kLan{"lan", flag::kS5Lan, {127, 0, 0, 1, 0, 0}};

inline constexpr uint32_t kComPort = 9;

// Wraps functions of the bound S5 table: records the calls that reach the library and caps the
// station's 60-second time-out, so that failure paths stay quick.
struct S5Trace {
    static inline std::vector<std::string> calls;
    static inline std::vector<std::string> settings;
    static inline int32_t maxTimeOut = 20;  // ticks of 55 ms
    static inline Tarn5S5InitFn init = nullptr;
    static inline Tarn5S5ExitFn exit = nullptr;
    static inline Tarn5S5AGStopFn stop = nullptr;
    static inline Tarn5S5AGStartFn start = nullptr;
    static inline Tarn5S5CompressFn compress = nullptr;
    static inline Tarn5S5SetTimeOutFn setTimeOut = nullptr;
    static inline Tarn5S5SetBlockPauseFn setBlockPause = nullptr;
    static inline Tarn5S5SetRepeatFn setRepeat = nullptr;
    static inline Tarn5S5SetFlagsFn setFlags = nullptr;
    static inline Tarn5NewMPILanComFn lanCom = nullptr;
    static inline std::string lanTarget;
    static inline int lanKind = 0;

    // Each call with the monotonic time it returned at.
    static inline std::vector<std::pair<std::string, uint64_t>> timeline;

    static int32_t Log(const char* name, int32_t result) {
        calls.push_back(std::string(name) + "=" + std::to_string(result));
        timeline.emplace_back(name, platform::MonotonicMs());
        return result;
    }
    static int32_t Init(ConnectionRecord* r, int32_t mode) { return Log("Init", init(r, mode)); }
    static int32_t Exit(ConnectionRecord* r, int32_t x) { return Log("Exit", exit(r, x)); }
    static int32_t Stop(ConnectionRecord* r) { return Log("AGStop", stop(r)); }
    static int32_t Start(ConnectionRecord* r) { return Log("AGStart", start(r)); }
    static int32_t Compress(ConnectionRecord* r) { return Log("Compress", compress(r)); }
    static int32_t SetTimeOut(int32_t v) {
        settings.push_back("TimeOut " + std::to_string(v));
        return setTimeOut(v > maxTimeOut ? maxTimeOut : v);
    }
    static int32_t SetBlockPause(int32_t v) {
        settings.push_back("BlockPause " + std::to_string(v));
        return setBlockPause(v);
    }
    static int32_t SetRepeat(int32_t v) {
        settings.push_back("Repeat " + std::to_string(v));
        return setRepeat(v);
    }
    static int32_t SetFlags(int32_t v) {
        settings.push_back("Flags " + std::to_string(v));
        return setFlags(v);
    }
    static int32_t LanCom(const char* target, int32_t a, int32_t b, int32_t c, int16_t kind, uint32_t l,
                          uint32_t m) {
        lanTarget = target;
        lanKind = kind;
        return lanCom(target, a, b, c, kind, l, m);
    }

    template <typename Fn>
    static void Wrap(S5Table& table, S5Slot slot, Fn& original, Fn wrapper) {
        original = table.Get<Fn>(slot);
        if (original != nullptr) {
            table.Set(slot, reinterpret_cast<void*>(wrapper));
        }
    }
    static void Install(S5Table& table) {
        Wrap(table, S5Slot::Init, init, &Init);
        Wrap(table, S5Slot::Exit, exit, &Exit);
        Wrap(table, S5Slot::AGStop, stop, &Stop);
        Wrap(table, S5Slot::AGStart, start, &Start);
        Wrap(table, S5Slot::Compress, compress, &Compress);
        Wrap(table, S5Slot::SetTimeOut, setTimeOut, &SetTimeOut);
        Wrap(table, S5Slot::SetBlockPause, setBlockPause, &SetBlockPause);
        Wrap(table, S5Slot::SetRepeat, setRepeat, &SetRepeat);
        Wrap(table, S5Slot::SetFlags, setFlags, &SetFlags);
        Wrap(table, S5Slot::NewMPILanCom, lanCom, &LanCom);
    }
    static void Reset() {
        calls.clear();
        timeline.clear();
        settings.clear();
        maxTimeOut = 20;
        lanTarget.clear();
        lanKind = 0;
    }
};

// A station with the real libraries of build/bin, an S5 entry and plcsim s5 on the entry's transport.
class S5Station {
public:
    explicit S5Station(const Interface& transport, std::string fileName = "PRESSE.S5D")
        : transport_(transport) {
        S5Trace::Reset();
        station.settings.comPort = kComPort;
        station.settings.backupDirectory = dir.path().string() + "/";
        station.ApplyComPort();
        entry.name = "Presse";
        entry.flags = static_cast<uint16_t>(transport.flag | static_cast<uint16_t>(IntervalKind::Never));
        entry.address = transport.address;
        entry.fileName = std::move(fileName);
        drivers = std::make_unique<DriverBinding>(station, ui, std::vector<fs::path>{LibraryDir()},
                                                  CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
        drivers->afterS5Bind = S5Trace::Install;
        drivers->s5CloseWaitMs = 100;
    }

    static fs::path LibraryDir() { return PlcsimProcess::Executable().parent_path(); }

    // Starts plcsim s5 (on the same pty path or port as before when restarting) and points the
    // libraries at it.
    bool StartSim(std::vector<std::string> extra) {
        std::vector<std::string> args{"s5", "--dump-dir", (dir.path() / "dump").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        const bool pty = transport_.flag == 0;
        if (pty) {
            args.insert(args.end(), {"--as511-pty", (dir.path() / "as511").string()});
        } else {
            args.insert(args.end(), {"--lan-raw-port", std::to_string(port)});
        }
        std::string error;
        sim.reset();
        sim = PlcsimProcess::Start(args, &error);
        if (!sim) {
            ADD_FAILURE() << error;
            return false;
        }
        if (pty) {
            setenv(("VAULTRA_COM" + std::to_string(kComPort)).c_str(), sim->As511Pty()->c_str(), 1);
        } else {
            port = *sim->LanRawPort();
            setenv("VAULTRA_LAN_RAW_PORT", std::to_string(port).c_str(), 1);
        }
        return true;
    }

    fs::path FilePath() const { return dir.path() / entry.fileName; }

    testing::TempDir dir;
    Station station;
    RecordingFrontEnd ui;
    std::unique_ptr<DriverBinding> drivers;
    CElement entry;
    std::unique_ptr<PlcsimProcess> sim;
    uint16_t port = 0;

private:
    Interface transport_;
};

using Bytes = std::vector<uint8_t>;
using Blocks = std::map<std::string, Bytes>;

inline Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string BlockName(uint8_t code, int number) {
    for (std::size_t t = 0; t < kS5TypeCodes.size(); ++t) {
        if (kS5TypeCodes[t] == code) {
            return kS5TypeNames[t] + std::to_string(number);
        }
    }
    return "XX" + std::to_string(number);
}

// The simulated PLC's program, by block name ("PB1"), as stored blocks (header, length word, body).
inline Blocks PlcBlocks(S5Station& s) {
    fs::remove_all(s.dir.path() / "dump");
    EXPECT_TRUE(s.sim->Dump());
    Blocks blocks;
    for (const auto& file : fs::directory_iterator(s.dir.path() / "dump")) {
        blocks[file.path().stem().string()] = ReadBytes(file.path());
    }
    return blocks;
}

// The blocks of a program file in the same form.
inline Blocks FileBlocks(S5Station& s, const fs::path& path) {
    std::vector<StoredS5Block> stored;
    std::string bad;
    EXPECT_EQ(ReadS5File(s.drivers->Qrf(), path, stored, bad), S5FileReadError::None) << bad;
    Blocks blocks;
    for (StoredS5Block& b : stored) {
        b.data.resize(b.key.length);
        blocks[BlockName(b.key.type, b.key.number)] = std::move(b.data);
    }
    return blocks;
}

inline Blocks Without(Blocks blocks, const std::vector<std::string>& names) {
    for (const auto& n : names) {
        EXPECT_EQ(blocks.erase(n), 1u) << n;
    }
    return blocks;
}

}  // namespace vaultra::app::s5_test
