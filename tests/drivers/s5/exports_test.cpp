// The export set of both libraries, the C program that binds every export by name, the settings, the
// PG bus and the simulator's faults.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include <vaultra/tarn5.h>

#include "s5file/program_file.h"
#include "sim/testing/plcsim_process.h"
#include "tests/drivers/s5/c_backup5.h"
#include "tests/drivers/s5/driver_api.h"

namespace vaultra::s5 {
namespace {

namespace fs = std::filesystem;
using sim::testing::PlcsimProcess;

std::string LibraryPath(const char* file) {
    return (PlcsimProcess::Executable().parent_path() / file).string();
}

std::set<std::string> DynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    FILE* pipe = popen(("nm -D --defined-only '" + library + "'").c_str(), "r");
    if (pipe == nullptr)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
            s.pop_back();
        const size_t space = s.rfind(' ');
        if (space != std::string::npos)
            names.insert(s.substr(space + 1));
    }
    pclose(pipe);
    return names;
}

std::set<std::string> Documented() {
    std::set<std::string> names{"S5FlushCom", "ComGetHandle"};
#define VAULTRA_NAME(name, params) names.insert(#name);
    TARN5_FUNCTIONS(VAULTRA_NAME)
#undef VAULTRA_NAME
    return names;
}

fs::path TempDir(const std::string& tag) {
    const fs::path dir = fs::temp_directory_path() / ("vaultra_s5x_" + tag + "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(S5Exports, BothLibrariesShowExactlyTheDocumentedNames) {
    const auto documented = Documented();
    EXPECT_EQ(documented.size(), 75u);
    EXPECT_EQ(DynamicSymbols(LibraryPath("libTARN5.so")), documented);
    EXPECT_EQ(DynamicSymbols(LibraryPath("libTARN5IP.so")), documented);
}

TEST(S5Exports, SettingsQueryWithMinusOneAndExitWithoutConnection) {
    testing::DriverApi api;
    std::string error;
    ASSERT_TRUE(api.Load(LibraryPath("libTARN5.so"), &error)) << error;
    EXPECT_EQ(api.S5SetRepeat(-1), 2);
    EXPECT_EQ(api.S5SetTimeOut(-1), 81);
    EXPECT_EQ(api.S5SetBlockPause(-1), 5);
    EXPECT_EQ(api.S5SetFlags(-1), 2);
    EXPECT_EQ(api.S5GetBaudrate(nullptr), 0x0200);
    EXPECT_EQ(api.NewMPILanCom("127.0.0.1", 1000, 1000, 1000, 1, 0, 0), -3);  // serial only
    ConnectionRecord r{};
    EXPECT_EQ(api.S5Exit(&r, 0), 0);
    EXPECT_EQ(api.S5Init(nullptr, 0), 0);
}

TEST(S5Exports, CProgramBindsEveryExportAndBacksUpThePlc) {
    const fs::path dir = TempDir("c");
    std::string error;
    auto plc = PlcsimProcess::Start(
        {"s5", "--demo", "--cpu", "word16", "--as511-pty", (dir / "com").string(), "--lan-framed-port", "0"},
        &error);
    ASSERT_TRUE(plc) << error;
    setenv("VAULTRA_COM7", plc->As511Pty()->c_str(), 1);
    setenv("VAULTRA_LAN_FRAMED_PORT", std::to_string(*plc->LanFramedPort()).c_str(), 1);
    for (const char* library : {"libTARN5.so", "libTARN5IP.so"}) {
        const fs::path out = dir / library;
        fs::create_directories(out);
        const std::string path = LibraryPath(library);
        CBackup5Job job{};
        job.libraryPath = path.c_str();
        job.serialPort = 6;
        job.outDir = out.c_str();
        ASSERT_EQ(CBackup5Run(&job), 1) << library << ": " << job.message << " missing: " << job.missing;
        EXPECT_EQ(job.exports, 75);
        EXPECT_EQ(job.blocks, 24);
    }
    CBackup5Job lan{};
    const std::string ip = LibraryPath("libTARN5IP.so");
    const fs::path out = dir / "lan";
    fs::create_directories(out);
    lan.libraryPath = ip.c_str();
    lan.lanAddress = "127.0.0.1";
    lan.lanKind = 2;
    lan.outDir = out.c_str();
    ASSERT_EQ(CBackup5Run(&lan), 1) << lan.message;
    EXPECT_EQ(lan.blocks, 24);
}

class Faulty : public ::testing::Test {
protected:
    // plcsim s5 on a raw LAN port with extra options, and TARN5IP registered for it.
    void Start(const std::vector<std::string>& extra) {
        std::vector<std::string> args{"s5", "--demo", "--lan-raw-port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        plc = PlcsimProcess::Start(args, &error);
        ASSERT_TRUE(plc) << error;
        ASSERT_TRUE(api.Load(LibraryPath("libTARN5IP.so"), &error)) << error;
        setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*plc->LanRawPort()).c_str(), 1);
        r.port = static_cast<uint16_t>(api.NewMPILanCom("127.0.0.1", 500, 500, 1000, 1, 0, 0));
        api.S5SetRepeat(0);
        api.S5SetTimeOut(18);  // about a second for the first byte of an answer
    }
    void TearDown() override {
        if (api.Loaded()) {
            api.S5Exit(&r, 0);
            api.WEP(0);
        }
    }
    std::unique_ptr<PlcsimProcess> plc;
    testing::DriverApi api;
    ConnectionRecord r{};
};

TEST_F(Faulty, BusyPlcRefusesEveryFunction) {
    Start({"--fault-busy"});
    EXPECT_EQ(api.S5Init(&r, 0), 0);
    EXPECT_EQ(r.status, TARN5_ERR_FUNCTION);
}

TEST_F(Faulty, FullMemoryRefusesANewBlock) {
    Start({"--fault-memory-full"});
    ASSERT_EQ(api.S5Init(&r, 0), 1);
    uint8_t body[2] = {1, 2};
    S5BlockRecord block{{0x70, 0x70}, 0x01, 99, {0, 0, 0, 0}, 6, body};
    EXPECT_EQ(api.S5CreateBst(&r, &block, 1), 0);
    EXPECT_EQ(r.status, TARN5_ERR_REFUSED);
    uint16_t dir[256];
    EXPECT_EQ(api.S5RdDir(&r, TARN5_DB, dir, 256), 1);  // still in step
}

TEST_F(Faulty, RefusedFunctionLeavesTheConnectionInStep) {
    Start({"--fault-error", "06"});
    ASSERT_EQ(api.S5Init(&r, 0), 1);
    std::vector<uint8_t> body(65536);
    S5BlockRecord block{};
    block.body = body.data();
    EXPECT_EQ(api.S5RdBst(&r, &block, TARN5_DB, 1, 1), 0);
    EXPECT_EQ(r.status, TARN5_ERR_FUNCTION);
    S5BlockRecord info{};
    EXPECT_EQ(api.S5BstInfo(&r, &info, TARN5_DB, 1, nullptr), 1);
}

TEST_F(Faulty, CutConnectionFailsOneCallAndTheNextReconnects) {
    Start({"--fault-cut-after", "2"});
    ASSERT_EQ(api.S5Init(&r, 0), 1);
    uint16_t dir[256];
    ASSERT_EQ(api.S5RdDir(&r, TARN5_DB, dir, 256), 1);
    EXPECT_EQ(api.S5RdDir(&r, TARN5_DB, dir, 256), 0);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(api.S5RdDir(&r, TARN5_DB, dir, 256), 1) << std::hex << r.status;
}

TEST_F(Faulty, SilentPlcFailsWithinBoundedTime) {
    Start({"--fault-silent-after", "1"});
    ASSERT_EQ(api.S5Init(&r, 0), 1);
    uint16_t dir[256];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(api.S5RdDir(&r, TARN5_DB, dir, 256), 0);
    EXPECT_EQ(r.status, TARN5_ERR_NO_BYTE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

TEST(S5Program, ProgramFileBlocksAreServedAsStored) {
    const fs::path dir = TempDir("program");
    const fs::path file = dir / "LINE1ST.S5D";
    std::vector<uint8_t> image{0x70, 0x70, 0x04, 0x07, 0x41, 0x01, 0x02, 0x03,
                               0x00, 0x08, 0x10, 0x20, 0x30, 0x40, 0x50, 0x10};
    {
        auto opened = qrf::ProgramFile::Open(file, qrf::ProgramFile::Mode::kUpdateOrCreate);
        ASSERT_TRUE(opened.file);
        BlockKey key{0x04, 0x07, 0, static_cast<uint16_t>(image.size()), 0x41, {0x01, 0x02, 0x03}};
        ASSERT_EQ(opened.file->WriteBlock(key, image), qrf::Error::kNone);
    }
    std::string error;
    auto plc = PlcsimProcess::Start({"s5", "--program", file.string(), "--lan-raw-port", "0"}, &error);
    ASSERT_TRUE(plc) << error;
    testing::DriverApi api;
    ASSERT_TRUE(api.Load(LibraryPath("libTARN5IP.so"), &error)) << error;
    setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*plc->LanRawPort()).c_str(), 1);
    ConnectionRecord r{};
    r.port = static_cast<uint16_t>(api.NewMPILanCom("127.0.0.1", 1000, 1000, 1000, 1, 0, 0));
    ASSERT_EQ(api.S5Init(&r, 0), 1);
    uint8_t body[6] = {};
    S5BlockRecord block{};
    block.body = body;
    ASSERT_EQ(api.S5RdBst(&r, &block, TARN5_PB, 7, 1), 1) << std::hex << r.status;
    EXPECT_EQ(block.lengthWords, 8);
    EXPECT_EQ(block.headerBytes[0], 0x41);
    EXPECT_EQ(std::vector<uint8_t>(body, body + 6), std::vector<uint8_t>(image.begin() + 10, image.end()));
    api.S5Exit(&r, 0);
    api.WEP(0);
}

TEST(S5PgBus, OnlyTheSelectedStationAnswers) {
    const fs::path dir = TempDir("pgbus");
    std::string error;
    auto plc = PlcsimProcess::Start(
        {"s5", "--demo", "--pg-bus-station", "3", "--as511-pty", (dir / "com").string()}, &error);
    ASSERT_TRUE(plc) << error;
    setenv("VAULTRA_COM8", plc->As511Pty()->c_str(), 1);
    testing::DriverApi api;
    ASSERT_TRUE(api.Load(LibraryPath("libTARN5.so"), &error)) << error;
    api.S5SetRepeat(0);
    ConnectionRecord r{};
    r.port = 7;
    r.plcAddress = 4;
    EXPECT_EQ(api.S5InitPGBus(&r), 0);
    EXPECT_EQ(r.status, TARN5_ERR_SELECT_SILENT);
    r.plcAddress = 3;
    ASSERT_EQ(api.S5InitPGBus(&r), 1) << std::hex << r.status;
    ASSERT_EQ(api.S5Init(&r, 2), 1) << std::hex << r.status;
    uint16_t words[256];
    EXPECT_EQ(api.S5RdDir(&r, TARN5_PB, words, 256), 1);
    api.S5Exit(&r, 0);
    api.WEP(0);
}

}  // namespace
}  // namespace vaultra::s5
