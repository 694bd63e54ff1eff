// The three driver libraries, loaded by file name, against plcsim on every transport.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <vaultra/tarn7.h>

#include "sim/testing/plcsim_process.h"
#include "tests/drivers/s7/c_backup.h"

namespace vaultra::s7 {
namespace {

namespace fs = std::filesystem;
using sim::testing::PlcsimProcess;

struct Transport {
    const char* name;
    const char* library;
    bool s5Names;
    const char* simOption;  // plcsim option of the transport
    int16_t lanKind;        // 0: serial port
};

const Transport kTransports[] = {
    {"pty", "libTARN7.so", false, "--mpi-pty", 0},
    {"lan_raw", "libTARN7IP.so", false, "--lan-raw-port", 1},
    {"lan_framed", "libTARN7IP.so", false, "--lan-framed-port", 2},
    {"iso", "libTARN7RFC.so", true, "--iso-port", 3},
};

constexpr uint16_t kSerialPort = 4;  // COM5

fs::path TempDir(const std::string& tag) {
    const fs::path dir =
        fs::temp_directory_path() / ("vaultra_s7_" + tag + "_" + std::to_string(getpid()) + "_" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A loaded driver library with its functions found by name.
class Library {
public:
    explicit Library(const Transport& t) : transport_(t) {
        handle_ =
            dlopen((PlcsimProcess::Executable().parent_path() / t.library).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    ~Library() {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    bool Loaded() const { return handle_ != nullptr; }
    template <typename Fn>
    Fn Get(const std::string& common) const {
        const bool s7Only = common == "DoPassword" || common == "GetCPUName" || common == "RamnachRom" ||
                            common == "ToggleRead";
        const std::string name = (transport_.s5Names && !s7Only ? "S5" : "S7") + common;
        return reinterpret_cast<Fn>(dlsym(handle_, name.c_str()));
    }
    template <typename Fn>
    Fn Plain(const char* name) const {
        return reinterpret_cast<Fn>(dlsym(handle_, name));
    }

private:
    const Transport& transport_;
    void* handle_ = nullptr;
};

class DriverIntegration : public ::testing::TestWithParam<Transport> {
protected:
    // Starts plcsim with the transport of the test and points the library at it.
    void StartSim(std::vector<std::string> extra) {
        const Transport& t = GetParam();
        dir_ = TempDir(t.name);
        std::vector<std::string> args{"s7", "--dump-dir", (dir_ / "dump").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(t.simOption);
        args.push_back(t.lanKind == 0 ? (dir_ / "mpi").string() : "0");
        std::string error;
        sim_ = PlcsimProcess::Start(args, &error);
        ASSERT_TRUE(sim_) << error;
        switch (t.lanKind) {
            case 0:
                setenv(("VAULTRA_COM" + std::to_string(kSerialPort + 1)).c_str(), sim_->MpiPty()->c_str(), 1);
                break;
            case 1:
                setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*sim_->LanRawPort()).c_str(), 1);
                break;
            case 2:
                setenv("VAULTRA_LAN_FRAMED_PORT", std::to_string(*sim_->LanFramedPort()).c_str(), 1);
                break;
            default:
                setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim_->IsoPort()).c_str(), 1);
        }
    }

    // Init through the library as the station does it, with short time-outs for the failure tests.
    bool Connect(Library& lib, int32_t timeoutTicks = 40, int32_t repeat = 1) {
        lib.Get<Tarn7SetTimeOutFn>("SetTimeOut")(timeoutTicks);
        lib.Get<Tarn7SetRepeatFn>("SetRepeat")(repeat);
        record_ = ConnectionRecord{};
        record_.port = kSerialPort;
        if (GetParam().lanKind != 0) {
            const int32_t port = lib.Plain<Tarn7NewMPILanComFn>("NewMPILanCom")(
                "127.0.0.1", 2000, 2000, 5000, GetParam().lanKind, 0xFFFFFFFF, 0);
            if (port < 128)
                return false;
            record_.port = static_cast<uint16_t>(port);
        }
        record_.busSpeed = 2;
        record_.plcAddress = GetParam().lanKind == 3 ? 0 : 2;
        record_.rackSlot = 2;
        return lib.Get<Tarn7InitFn>("Init")(&record_, 0) == 1;
    }

    fs::path dir_;
    std::unique_ptr<PlcsimProcess> sim_;
    ConnectionRecord record_{};
};

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_P(DriverIntegration, CProgramBacksUpTheWholeProgramByteIdentical) {
    StartSim({"--demo-blocks", "600"});
    const fs::path out = dir_ / "backup";
    fs::create_directories(out);
    const std::string library = (PlcsimProcess::Executable().parent_path() / GetParam().library).string();
    CBackupJob job{};
    job.libraryPath = library.c_str();
    job.s5Names = GetParam().s5Names;
    job.lanAddress = GetParam().lanKind != 0 ? "127.0.0.1" : nullptr;
    job.lanKind = GetParam().lanKind;
    job.serialPort = kSerialPort;
    job.plcAddress = GetParam().lanKind == 3 ? 0 : 2;
    job.rackSlot = 2;
    job.outDir = out.c_str();
    ASSERT_EQ(CBackupRun(&job), 1) << job.message;
    EXPECT_EQ(std::string(job.missing), "");

    ASSERT_TRUE(sim_->Dump());
    std::map<std::string, fs::path> dumped;
    for (const auto& entry : fs::directory_iterator(dir_ / "dump"))
        dumped[entry.path().filename()] = entry.path();
    EXPECT_GE(dumped.size(), 600u);
    EXPECT_EQ(static_cast<size_t>(job.blocks), dumped.size());
    for (const auto& [name, path] : dumped) {
        ASSERT_TRUE(fs::exists(out / name)) << name;
        EXPECT_EQ(ReadFile(out / name), ReadFile(path)) << name;
    }
}

TEST_P(DriverIntegration, MemoryOfEveryAreaIsWrittenAndReadBack) {
    StartSim({"--demo"});
    Library lib(GetParam());
    ASSERT_TRUE(lib.Loaded());
    ASSERT_TRUE(Connect(lib)) << record_.status;
    const char* areas[][2] = {{"RdMW", "WrMW"},   {"RdEW", "WrEW"}, {"RdAW", "WrAW"}, {"RdPEW", "WrPEW"},
                              {"RdPAW", "WrPAW"}, {"RdTW", "WrTW"}, {"RdZW", "WrZW"}};
    uint16_t value = 0x1200;
    for (const auto& area : areas) {
        uint16_t words[3] = {value, static_cast<uint16_t>(value + 1), 0x10FF};
        ASSERT_EQ(lib.Get<Tarn7WrMWFn>(area[1])(&record_, 4, 3, words), 1)
            << area[1] << " " << record_.status;
        uint16_t back[3] = {};
        ASSERT_EQ(lib.Get<Tarn7RdMWFn>(area[0])(&record_, 4, 3, back), 1) << area[0] << " " << record_.status;
        EXPECT_EQ(back[0], value) << area[0];
        EXPECT_EQ(back[2], 0x10FF) << area[0];
        value += 0x100;
    }
    const uint8_t bytes[2] = {0xAB, 0xCD};
    ASSERT_EQ(lib.Get<Tarn7WrMBFn>("WrMB")(&record_, 20, 2, const_cast<uint8_t*>(bytes)), 1);
    uint16_t word = 0;
    ASSERT_EQ(lib.Get<Tarn7RdMWFn>("RdMW")(&record_, 10, 1, &word), 1);
    EXPECT_EQ(word, 0xABCD);  // flag bytes 20 and 21 are flag word 10
    for (const char* name : {"WrEB", "WrAB"})
        EXPECT_EQ(lib.Get<Tarn7WrMBFn>(name)(&record_, 0, 1, &word), 1);

    uint16_t dbWords[64];
    for (int i = 0; i < 64; ++i)
        dbWords[i] = static_cast<uint16_t>(i * 0x101);
    ASSERT_EQ(lib.Get<Tarn7WrDBFn>("WrDB")(&record_, 2, 0, 64, dbWords), 1) << record_.status;
    uint16_t dbBack[64] = {};
    ASSERT_EQ(lib.Get<Tarn7RdDBFn>("RdDB")(&record_, 2, 0, 64, dbBack), 1) << record_.status;
    EXPECT_EQ(std::vector<uint16_t>(dbBack, dbBack + 64), std::vector<uint16_t>(dbWords, dbWords + 64));
    EXPECT_EQ(lib.Get<Tarn7RdDBFn>("RdDB")(&record_, 1, 0, 65, dbBack), 0);
    EXPECT_EQ(+record_.status, 0x800);
    EXPECT_EQ(lib.Get<Tarn7ToggleReadFn>("ToggleRead")(&record_), 1);
    EXPECT_EQ(lib.Get<Tarn7ExitFn>("Exit")(&record_, 0), 1);
}

TEST_P(DriverIntegration, StopStartAndPassword) {
    StartSim({"--demo", "--password", "GEHEIM"});
    Library lib(GetParam());
    ASSERT_TRUE(Connect(lib)) << record_.status;
    const uint8_t wrong[8] = {'x', 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(lib.Get<Tarn7DoPasswordFn>("DoPassword")(&record_, wrong), 0);
    EXPECT_EQ(+record_.status, 0x4000);
    EXPECT_NE(+record_.plcError, 0);
    uint8_t right[8] = {};
    CBackupEncodePassword("GEHEIM", right);
    EXPECT_EQ(lib.Get<Tarn7DoPasswordFn>("DoPassword")(&record_, right), 1) << record_.status;
    EXPECT_EQ(lib.Get<Tarn7AGStopFn>("AGStop")(&record_), 1) << record_.status;
    EXPECT_EQ(lib.Get<Tarn7AGStartStopExFn>("AGStartStopEx")(&record_, 2), 1) << record_.status;
    EXPECT_EQ(lib.Get<Tarn7AGStartStopExFn>("AGStartStopEx")(&record_, 3), 0);
    uint8_t name[64] = {};
    EXPECT_EQ(lib.Get<Tarn7GetCPUNameFn>("GetCPUName")(&record_, 0x001C0000, name, sizeof name), 1);
    EXPECT_EQ(name[0], 0xFF);
    EXPECT_EQ(lib.Get<Tarn7ExitFn>("Exit")(&record_, 0), 1);
}

TEST_P(DriverIntegration, MemoryAccessFollowsAStationChange) {
    if (GetParam().lanKind == 3)
        GTEST_SKIP() << "ISO-on-TCP has no MPI station address";
    StartSim({"--demo"});
    Library lib(GetParam());
    ASSERT_TRUE(Connect(lib)) << record_.status;
    uint16_t word = 0;
    ASSERT_EQ(lib.Get<Tarn7RdMWFn>("RdMW")(&record_, 0, 1, &word), 1);
    record_.plcAddress = 3;  // no such station on this bus
    EXPECT_EQ(lib.Get<Tarn7RdMWFn>("RdMW")(&record_, 0, 1, &word), 0);
    EXPECT_EQ(+record_.status, 0x2000);
    record_.plcAddress = 2;
    EXPECT_EQ(lib.Get<Tarn7RdMWFn>("RdMW")(&record_, 0, 1, &word), 1) << record_.status;
    lib.Get<Tarn7ExitFn>("Exit")(&record_, 0);
}

TEST_P(DriverIntegration, PlcFallingSilentOrCuttingMidUploadFailsAndReleasesThePort) {
    for (const char* fault : {"--fault-silent-after", "--fault-cut-after"}) {
        SCOPED_TRACE(fault);
        sim_.reset();
        StartSim({"--demo-blocks", "40", fault, "12"});
        Library lib(GetParam());
        ASSERT_TRUE(Connect(lib, 10, 0)) << record_.status;
        std::vector<int16_t> table(65536, 0);
        std::vector<uint8_t> buffer(65536);
        int failures = 0;
        for (int type = 0; type < 7 && failures == 0; ++type) {
            std::fill(table.begin(), table.end(), int16_t{0});
            if (lib.Get<Tarn7RdDirFn>("RdDir")(&record_, type, table.data(), nullptr) != 1) {
                ++failures;
                break;
            }
            for (int n = 0; n < 65536 && failures == 0; ++n) {
                if (table[n] != -1)
                    continue;
                BlockRecord block{};
                block.image = buffer.data();
                failures += lib.Get<Tarn7RdBstFn>("RdBst")(&record_, &block, type, n, 65536) != 1;
            }
        }
        EXPECT_EQ(failures, 1);
        EXPECT_NE(+record_.status, 0);
        lib.Get<Tarn7ExitFn>("Exit")(&record_, 0);
        EXPECT_EQ(record_.connected, 0);
        EXPECT_EQ(lib.Plain<Tarn7ComGetHandleFn>("ComGetHandle")(record_.port), nullptr);
    }
}

// Uploads every block with a number up to 4095, by (type index, number).
std::map<std::pair<int, int>, std::vector<uint8_t>> UploadAll(Library& lib, ConnectionRecord& record) {
    std::map<std::pair<int, int>, std::vector<uint8_t>> blocks;
    std::vector<int16_t> table(65536);
    std::vector<uint8_t> buffer(1 << 20);
    for (int type = 0; type < 7; ++type) {
        std::fill(table.begin(), table.end(), 0);
        if (lib.Get<Tarn7RdDirFn>("RdDir")(&record, type, table.data(), nullptr) != 1)
            return {};
        for (int n = 0; n < 4096; ++n) {
            if (table[n] != -1)
                continue;
            BlockRecord block{};
            block.image = buffer.data();
            if (lib.Get<Tarn7RdBstFn>("RdBst")(&record, &block, type, n,
                                               static_cast<int32_t>(buffer.size())) != 1)
                return {};
            const size_t load = buffer[8] << 24 | buffer[9] << 16 | buffer[10] << 8 | buffer[11];
            blocks[{type, n}].assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(load));
        }
    }
    return blocks;
}

// A downloaded block equals the uploaded one apart from the interface time stamp and, for a data block
// with an odd code length, the zero byte that pads its code (one before the last code byte).
void ExpectSameApartFromDownloadChanges(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                                        const std::string& name) {
    const size_t code = before[34] << 8 | before[35];
    const bool padded = before[5] == 0x0A && code % 2 == 1;
    ASSERT_EQ(after.size(), before.size() + (padded ? 1 : 0)) << name;
    for (size_t i = 0, j = 0; i < before.size(); ++i, ++j) {
        if (padded && i == 36 + code - 1) {
            EXPECT_EQ(after[j], 0) << name;
            ++j;
        }
        const bool changes = (i >= 22 && i < 28) || (padded && (i == 11 || i == 35 || i == 10 || i == 34));
        if (!changes && after[j] != before[i]) {
            ADD_FAILURE() << name << " differs at byte " << i;
            return;
        }
    }
}

TEST_P(DriverIntegration, ClearedProgramComesBackByDownload) {
    StartSim({"--demo-blocks", "60"});
    Library lib(GetParam());
    ASSERT_TRUE(lib.Loaded());
    ASSERT_TRUE(Connect(lib, 40, 1)) << record_.status;
    const auto before = UploadAll(lib, record_);
    ASSERT_EQ(before.size(), 60u);
    ASSERT_EQ(lib.Get<Tarn7ClearAllFn>("ClearAll")(&record_), 0);  // in RUN the PLC refuses
    EXPECT_EQ(+record_.status, 0x4000);
    ASSERT_EQ(lib.Get<Tarn7AGStopFn>("AGStop")(&record_), 1);
    ASSERT_EQ(lib.Get<Tarn7ClearAllFn>("ClearAll")(&record_), 1) << record_.status;
    static constexpr uint8_t kCodes[] = {0x01, 0xF7, 0xFA, 0x08, 0x10, 0xF4, 0xFD};
    int refused = 0;
    for (const auto& [id, image] : before) {
        if (id.first == 1 || id.first == 2 || id.first == 6)
            continue;  // system data and the system's own functions stay in a cleared PLC
        std::vector<uint8_t> copy = image;
        BlockRecord block{};
        block.type = kCodes[id.first];
        block.image = copy.data();
        refused += lib.Get<Tarn7CreateBstFn>("CreateBst")(&record_, &block, 1) != 1;
    }
    EXPECT_EQ(refused, 0) << record_.status << " " << record_.plcError;
    const auto after = UploadAll(lib, record_);
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [id, image] : before)
        ExpectSameApartFromDownloadChanges(image, after.at(id),
                                           std::to_string(id.first) + "/" + std::to_string(id.second));
    ASSERT_EQ(lib.Get<Tarn7DelBstFn>("DelBst")(&record_, 0, 11), 1);
    EXPECT_EQ(lib.Get<Tarn7DelBstFn>("DelBst")(&record_, 0, 11), 0);
    EXPECT_EQ(lib.Get<Tarn7CompressFn>("Compress")(&record_), 1);
    lib.Get<Tarn7ExitFn>("Exit")(&record_, 0);
}

TEST_P(DriverIntegration, SystemFunctionIsRefusedAtInsertAndFullMemoryAtTheRequest) {
    StartSim({"--demo", "--fault-fragmented"});
    Library lib(GetParam());
    ASSERT_TRUE(Connect(lib, 40, 1)) << record_.status;
    const auto blocks = UploadAll(lib, record_);
    std::vector<uint8_t> ob1 = blocks.at({4, 1});
    BlockRecord block{};
    block.type = 0x10;
    block.image = ob1.data();
    EXPECT_EQ(lib.Get<Tarn7CreateBstFn>("CreateBst")(&record_, &block, 1), 0);
    EXPECT_EQ(+record_.status, 0x4000);
    EXPECT_EQ(+record_.plcError, 0x8304);
    ASSERT_EQ(lib.Get<Tarn7CompressFn>("Compress")(&record_), 1);
    EXPECT_EQ(lib.Get<Tarn7CreateBstFn>("CreateBst")(&record_, &block, 1), 1) << record_.status;
    std::vector<uint8_t> sfc = blocks.at({2, 20});
    block.type = 0xFA;
    block.image = sfc.data();
    EXPECT_EQ(lib.Get<Tarn7CreateBstFn>("CreateBst")(&record_, &block, 1), 0);
    EXPECT_EQ(+record_.status, 0x28);
    lib.Get<Tarn7ExitFn>("Exit")(&record_, 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, DriverIntegration, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vaultra::s7
