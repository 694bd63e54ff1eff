// The export set of each library and the functions that answer without traffic.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include <vaultra/tarn7.h>

#include "sim/testing/plcsim_process.h"

namespace vaultra::s7 {
namespace {

using sim::testing::PlcsimProcess;

const char* const kCommon[] = {
    "Init",           "Exit",           "SetTimeOut", "SetBlockPause", "SetRepeat", "SetFlags",
    "SetBaudrate",    "GetBaudrate",    "AGTest",     "InitPGBus",     "OpenAll",   "CloseAll",
    "GetAdapterName", "SetAdapterName", "WrBst",      "CreateBst",     "DelBst",    "Compress",
    "ClearAll",       "RdDir",          "BstInfo",    "RdBst",         "AGStart",   "AGStop",
    "AGStartStopEx",  "BStack",         "Ustack",     "WrMB",          "RdMW",      "WrMW",
    "WrEB",           "RdEW",           "WrEW",       "RdPEW",         "WrPEW",     "WrAB",
    "RdAW",           "WrAW",           "RdPAW",      "WrPAW",         "RdTW",      "WrTW",
    "RdZW",           "WrZW",           "RdDB",       "WrDB",          "RdSB",      "WrSB",
    "RdPB",           "WrPB",           "RdFB",       "WrFB",          "RdOB",      "WrOB",
    "RdFX",           "WrFX",           "RdDX",       "WrDX",          "RdAdr",     "WrAdr",
    "RdASW",          "WrASW",          "RdBSW",      "WrBSW",         "RdSW",      "WrSW",
    "WrSY",           "SetAB",          "SPAus",      "UstackEx",      "Ustack945"};
const char* const kAlwaysS7[] = {"S7DoPassword", "S7GetCPUName", "S7RamnachRom", "S7ToggleRead"};
const char* const kPathFunctions[] = {"S5ConnectS5OnH1CP",  "S5ConnectKORMUXOnH1CP", "S5ConnectL2CP",
                                      "S5ConnectS5OnL2CP",  "S5ConnectKORMUXOnL2CP", "S5ConnectL1CP",
                                      "S5ConnectS5OnL1CP",  "S5ConnectKORMUX",       "S5DeleteKORMUXOnH1Path",
                                      "S5DeleteS5OnH1Path", "S5ConnectH1CP",         "S5DeleteCPPath",
                                      "S5InitForPath"};

std::set<std::string> Expected(const char* prefix, const char* flush) {
    std::set<std::string> names{flush, "ComGetHandle", "NewMPILanCom", "WEP"};
    for (const char* n : kCommon)
        names.insert(std::string(prefix) + n);
    for (const char* n : kAlwaysS7)
        names.insert(n);
    for (const char* n : kPathFunctions)
        names.insert(n);
    return names;
}

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

TEST(Exports, EachLibraryShowsExactlyItsDocumentedNames) {
    EXPECT_EQ(DynamicSymbols(LibraryPath("libTARN7.so")), Expected("S7", "S7FlushCom"));
    EXPECT_EQ(DynamicSymbols(LibraryPath("libTARN7IP.so")), Expected("S7", "S5FlushCom"));
    EXPECT_EQ(DynamicSymbols(LibraryPath("libTARN7RFC.so")), Expected("S5", "S5FlushCom"));
}

class Loaded {
public:
    explicit Loaded(const char* file) : handle_(dlopen(LibraryPath(file).c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~Loaded() {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    template <typename Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(dlsym(handle_, name));
    }
    bool Ok() const { return handle_ != nullptr; }

private:
    void* handle_;
};

TEST(Exports, SettingsQueryWithMinusOneAndReturnThePreviousValue) {
    Loaded lib("libTARN7IP.so");
    ASSERT_TRUE(lib.Ok());
    auto repeat = lib.Get<Tarn7SetRepeatFn>("S7SetRepeat");
    EXPECT_EQ(repeat(-1), 2);  // default
    EXPECT_EQ(repeat(0), 2);
    EXPECT_EQ(repeat(-1), 0);
    EXPECT_EQ(repeat(2), 0);
    auto timeout = lib.Get<Tarn7SetTimeOutFn>("S7SetTimeOut");
    EXPECT_EQ(timeout(-1), 136);
    EXPECT_EQ(timeout(81), 136);
    EXPECT_EQ(timeout(136), 81);
    auto pause = lib.Get<Tarn7SetBlockPauseFn>("S7SetBlockPause");
    EXPECT_EQ(pause(-1), 5);
    auto flags = lib.Get<Tarn7SetFlagsFn>("S7SetFlags");
    EXPECT_EQ(flags(-1), 2);
}

TEST(Exports, BaudRateMasks) {
    Loaded lib("libTARN7.so");
    auto set = lib.Get<Tarn7SetBaudrateFn>("S7SetBaudrate");
    auto get = lib.Get<Tarn7GetBaudrateFn>("S7GetBaudrate");
    EXPECT_EQ(get(nullptr), 0x2000);
    EXPECT_EQ(set(nullptr, 0x100000), 1);
    EXPECT_EQ(get(nullptr), 0x200000);
    EXPECT_EQ(set(nullptr, 0x1000 | 0x1000000), 1);
    EXPECT_EQ(get(nullptr), 0x2000);
    EXPECT_EQ(set(nullptr, 0x4), 0);
    EXPECT_EQ(get(nullptr), 0x2000);
}

TEST(Exports, FunctionsWithoutTraffic) {
    Loaded lib("libTARN7RFC.so");
    ConnectionRecord record{};
    EXPECT_EQ(lib.Get<Tarn7AGTestFn>("S5AGTest")(&record), 1);
    EXPECT_EQ(lib.Get<Tarn7AGStartStopExFn>("S5AGStartStopEx")(&record, 3), 0);
    EXPECT_EQ(lib.Get<Tarn7OpenAllFn>("S5OpenAll")(), 1);
    EXPECT_EQ(lib.Get<Tarn7RdSBFn>("S5RdSB")(&record, 0, 0, 0, 0), 0);
    EXPECT_EQ(lib.Get<Tarn7SetAdapterNameFn>("S5SetAdapterName")("eth0"), 0);
    record.status = 0;
    EXPECT_EQ(lib.Get<Tarn7ConnectL2CPFn>("S5ConnectL2CP")(&record, 0), 0);
    EXPECT_EQ(+record.status, 1);
    record.status = 0;
    EXPECT_EQ(lib.Get<Tarn7DeleteS5OnH1PathFn>("S5DeleteS5OnH1Path")(&record), 0);
    EXPECT_EQ(+record.status, 1);
    EXPECT_EQ(lib.Get<Tarn7DeleteCPPathFn>("S5DeleteCPPath")(&record), 1);
    int32_t value = 7;
    EXPECT_EQ(lib.Get<Tarn7InitForPathFn>("S5InitForPath")(&value), 0);
    EXPECT_EQ(value, 0);
    // null records are refused, not followed
    EXPECT_EQ(lib.Get<Tarn7InitFn>("S5Init")(nullptr, 0), 0);

    Loaded serial("libTARN7.so");
    EXPECT_EQ(serial.Get<Tarn7NewMPILanComFn>("NewMPILanCom")("127.0.0.1", 1, 1, 1, 1, 0, 0), -3);
}

TEST(Exports, InitModeOneOnlyOpensThePort) {
    std::string error;
    const auto dir =
        std::filesystem::temp_directory_path() / ("vaultra_s7_mode1_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto sim = PlcsimProcess::Start({"s7", "--demo", "--mpi-pty", (dir / "mpi").string()}, &error);
    ASSERT_TRUE(sim) << error;
    setenv("VAULTRA_COM9", sim->MpiPty()->c_str(), 1);
    Loaded lib("libTARN7.so");
    ConnectionRecord record{};
    record.port = 8;
    record.status = 0x55;
    ASSERT_EQ(lib.Get<Tarn7InitFn>("S7Init")(&record, 1), 1);
    EXPECT_EQ(record.connected, 1);
    EXPECT_EQ(+record.status, 0);
    EXPECT_EQ(+record.adapterMode, 1u);
    EXPECT_EQ(lib.Get<Tarn7SetTimeOutFn>("S7SetTimeOut")(-1), 545);
    EXPECT_NE(lib.Get<Tarn7ComGetHandleFn>("ComGetHandle")(8), nullptr);
    EXPECT_EQ(lib.Get<Tarn7ExitFn>("S7Exit")(&record, 2), 1);
    EXPECT_EQ(record.connected, 0);
    EXPECT_EQ(lib.Get<Tarn7ComGetHandleFn>("ComGetHandle")(8), nullptr);
    // the default mode initialises the adapter and restores the normal time-out
    ASSERT_EQ(lib.Get<Tarn7InitFn>("S7Init")(&record, 0), 1) << record.status;
    EXPECT_EQ(+record.adapterMode, 0u);
    EXPECT_EQ(lib.Get<Tarn7SetTimeOutFn>("S7SetTimeOut")(-1), 136);
    EXPECT_EQ(lib.Get<Tarn7InitPGBusFn>("S7InitPGBus")(&(record.plcAddress = 2, record)), 1);
    EXPECT_EQ(lib.Get<Tarn7ExitFn>("S7Exit")(&record, 0), 1);
    std::filesystem::remove_all(dir);
}

TEST(Exports, FailedInitReleasesThePortAndReportsStatus8000) {
    Loaded lib("libTARN7.so");
    setenv("VAULTRA_COM10", "/nonexistent/vaultra-tty", 1);
    ConnectionRecord record{};
    record.port = 9;
    record.connected = 1;
    EXPECT_EQ(lib.Get<Tarn7InitFn>("S7Init")(&record, 0), 0);
    EXPECT_EQ(+record.status, 0x8000);
    EXPECT_EQ(record.connected, 0);
}

}  // namespace
}  // namespace vaultra::s7
