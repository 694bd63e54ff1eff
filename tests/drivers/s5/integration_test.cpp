// Both S5 driver libraries, loaded by file name, against plcsim s5 on the pseudo-terminal and both LAN
// framings, for a byte-addressed, a word-addressed and two 32-bit PLCs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <vaultra/tarn5.h>

#include "sim/testing/plcsim_process.h"
#include "tests/drivers/s5/c_backup5.h"
#include "tests/drivers/s5/driver_api.h"

namespace vaultra::s5 {
namespace {

namespace fs = std::filesystem;
using sim::testing::PlcsimProcess;
using testing::Bytes;

struct Setup {
    const char* library;
    const char* transport;  // pty, lan_raw, lan_framed
    const char* cpu;
};

std::string Name(const ::testing::TestParamInfo<Setup>& info) {
    std::string lib = info.param.library;
    lib = lib.substr(3, lib.size() - 6);  // TARN5, TARN5IP
    return lib + "_" + info.param.transport + "_" + info.param.cpu;
}

fs::path TempDir() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->name()) + "_" + std::to_string(getpid());
    for (char& c : name)
        c = c == '/' ? '_' : c;
    const fs::path dir = fs::temp_directory_path() / ("vaultra_s5_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes Image(const S5BlockRecord& block) {
    Bytes image(reinterpret_cast<const uint8_t*>(&block), reinterpret_cast<const uint8_t*>(&block) + 8);
    image.push_back(static_cast<uint8_t>(block.lengthWords >> 8));
    image.push_back(static_cast<uint8_t>(block.lengthWords));
    image.insert(image.end(), block.body, block.body + (block.lengthWords * 2 - 10));
    return image;
}

constexpr uint16_t kSerialPort = 4;  // COM5

// plcsim s5 with the demonstration program on one transport, and a connected driver library.
class Connected {
public:
    static std::unique_ptr<Connected> Start(const Setup& s, const std::vector<std::string>& extra,
                                            std::string* error) {
        std::unique_ptr<Connected> c(new Connected);
        c->dir = TempDir();
        std::vector<std::string> args{"s5",  "--demo",     "--cpu",
                                      s.cpu, "--dump-dir", (c->dir / "dump").string()};
        const std::string transport = s.transport;
        if (transport == "pty")
            args.insert(args.end(), {"--as511-pty", (c->dir / "com5").string()});
        else
            args.insert(args.end(), {transport == "lan_raw" ? "--lan-raw-port" : "--lan-framed-port", "0"});
        args.insert(args.end(), extra.begin(), extra.end());
        c->plc = PlcsimProcess::Start(args, error);
        if (!c->plc || !c->api.Load(PlcsimProcess::Executable().parent_path() / s.library, error))
            return nullptr;
        c->r.port = kSerialPort;
        if (transport == "pty") {
            setenv("VAULTRA_COM5", c->plc->As511Pty()->c_str(), 1);
        } else {
            const bool raw = transport == "lan_raw";
            const auto port = raw ? c->plc->LanRawPort() : c->plc->LanFramedPort();
            setenv(raw ? "VAULTRA_LAN_RAW_PORT" : "VAULTRA_LAN_FRAMED_PORT", std::to_string(*port).c_str(),
                   1);
            c->r.port =
                static_cast<uint16_t>(c->api.NewMPILanCom("127.0.0.1", 1500, 1500, 2000, raw ? 1 : 2, 0, 0));
        }
        return c;
    }
    ~Connected() {
        if (api.Loaded() && r.connected)
            api.S5Exit(&r, 0);
        if (api.Loaded())
            api.WEP(0);
    }

    fs::path dir;
    std::unique_ptr<PlcsimProcess> plc;
    testing::DriverApi api;
    ConnectionRecord r{};
};

class S5Integration : public ::testing::TestWithParam<Setup> {
protected:
    void SetUp() override {
        std::string error;
        c = Connected::Start(GetParam(), {}, &error);
        ASSERT_TRUE(c) << error;
        api = &c->api;
        r = &c->r;
        api->S5SetRepeat(2);
        ASSERT_EQ(api->S5Init(r, 0), 1) << std::hex << r->status;
    }
    bool WordAddressed() const { return r->area.s5.systemParams[20] == 5; }
    uint32_t Scale() const {
        const std::string cpu = GetParam().cpu;
        return cpu == "word32" || cpu == "byte32" || cpu == "d10a" ? 16 : 1;
    }

    std::unique_ptr<Connected> c;
    testing::DriverApi* api = nullptr;
    ConnectionRecord* r = nullptr;
};

TEST_P(S5Integration, EveryBlockReadsByteIdenticalWithTheDump) {
    ASSERT_TRUE(c->plc->Dump());
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(c->dir / "dump"))
        files += entry.is_regular_file() ? 1 : 0;
    std::vector<uint16_t> dir(65536);
    std::vector<uint8_t> body(65536);
    size_t blocks = 0;
    bool headerOnly = false;
    for (int type = 0; type < 7; ++type) {
        ASSERT_EQ(api->S5RdDir(r, type, dir.data(), 0), 1) << type << " " << std::hex << r->status;
        for (int n = 0; n < 256; ++n) {
            if (dir[static_cast<size_t>(n)] == 0)
                continue;
            S5BlockRecord info{};
            uint16_t address = 0;
            ASSERT_EQ(api->S5BstInfo(r, &info, type, n, &address), 1);
            EXPECT_EQ(address, dir[static_cast<size_t>(n)]);
            S5BlockRecord block{};
            block.body = body.data();
            ASSERT_EQ(api->S5RdBst(r, &block, type, n, 1), 1)
                << type << " " << n << " " << std::hex << r->status;
            EXPECT_EQ(+block.lengthWords, +info.lengthWords);
            const char* names[] = {"DB", "SB", "PB", "FB", "OB", "FX", "DX"};
            EXPECT_EQ(Image(block), ReadFile(c->dir / "dump" / (names[type] + std::to_string(n) + ".blk")))
                << names[type] << n;
            headerOnly = headerOnly || block.lengthWords == 5;
            ++blocks;
        }
    }
    EXPECT_EQ(blocks, files);
    EXPECT_EQ(blocks, 24u);
    EXPECT_TRUE(headerOnly);
}

TEST_P(S5Integration, CreateWriteDeleteAndCompress) {
    uint8_t body[12] = {0x10, 0x10, 1, 2, 3, 0x10, 5, 6, 7, 8, 9, 0x10};
    S5BlockRecord block{{0x70, 0x70}, 0x01, 200, {0x40, 0, 0, 0x11}, 11, body};
    ASSERT_EQ(api->S5CreateBst(r, &block, 1), 1) << std::hex << r->status;
    uint8_t back[12] = {};
    S5BlockRecord read{};
    read.body = back;
    ASSERT_EQ(api->S5RdBst(r, &read, TARN5_DB, 200, 1), 1);
    EXPECT_EQ(Image(read), Image(block));
    // In place: new contents over the block, then word access to it.
    // In words, which word-addressed PLCs need (bytes are refused there).
    uint16_t fresh[6] = {0x0909, 0x0909, 0x0909, 0x0909, 0x0909, 0x1010};
    S5BlockRecord over{};
    over.body = reinterpret_cast<uint8_t*>(fresh);
    ASSERT_EQ(api->S5WrBst(r, &over, TARN5_DB, 200, 2), 1) << std::hex << r->status;
    EXPECT_EQ(+over.lengthWords, 11);
    uint16_t words[6] = {};
    ASSERT_EQ(api->S5RdDB(r, 200, 0, 6, words), 1) << std::hex << r->status;
    EXPECT_EQ(words[0], 0x0909);
    EXPECT_EQ(words[5], 0x1010);
    uint16_t one = 0xBEEF;
    ASSERT_EQ(api->S5WrDB(r, 200, 5, 1, &one), 1);
    ASSERT_EQ(api->S5RdDB(r, 200, 5, 1, words), 1);
    EXPECT_EQ(words[0], 0xBEEF);
    EXPECT_EQ(api->S5RdDB(r, 200, 5, 2, words), 0);
    EXPECT_EQ(+r->status, TARN5_ERR_BEYOND_BLOCK);
    // Delete one demo block and the new one, compress, and everything left still reads.
    ASSERT_EQ(api->S5DelBst(r, TARN5_PB, 0), 1);
    ASSERT_EQ(api->S5DelBst(r, TARN5_DB, 200), 1);
    S5BlockRecord gone{};
    EXPECT_EQ(api->S5BstInfo(r, &gone, TARN5_DB, 200, nullptr), 0);
    EXPECT_EQ(+r->status, TARN5_ERR_NO_BLOCK);
    ASSERT_EQ(api->S5Compress(r), 1);
    ASSERT_TRUE(c->plc->Dump());
    std::vector<uint8_t> room(65536);
    S5BlockRecord fb{};
    fb.body = room.data();
    ASSERT_EQ(api->S5RdBst(r, &fb, TARN5_FB, 0, 1), 1);
    EXPECT_EQ(Image(fb), ReadFile(c->dir / "dump" / "FB0.blk"));
}

TEST_P(S5Integration, MemoryOfEveryArea) {
    uint16_t w[3] = {0x1234, 0x1010, 0xABCD};
    uint16_t back[3] = {};
    using Fn = int32_t (*)(ConnectionRecord*, int32_t, int32_t, void*);
    const std::pair<Fn, Fn> pairs[] = {{api->S5WrMW, api->S5RdMW},   {api->S5WrEW, api->S5RdEW},
                                       {api->S5WrAW, api->S5RdAW},   {api->S5WrPEW, api->S5RdPEW},
                                       {api->S5WrPAW, api->S5RdPAW}, {api->S5WrTW, api->S5RdTW},
                                       {api->S5WrZW, api->S5RdZW}};
    for (const auto& [write, read] : pairs) {
        std::memset(back, 0, sizeof back);
        ASSERT_EQ(write(r, 4, 3, w), 1) << std::hex << r->status;
        ASSERT_EQ(read(r, 4, 3, back), 1) << std::hex << r->status;
        EXPECT_EQ(std::memcmp(back, w, sizeof w), 0) << back[0] << " " << back[1] << " " << back[2];
    }
    uint8_t bytes[2] = {0xAB, 0x10};
    const std::pair<Fn, Fn> bytePairs[] = {
        {api->S5WrMB, api->S5RdMW}, {api->S5WrEB, api->S5RdEW}, {api->S5WrAB, api->S5RdAW}};
    for (const auto& [write, read] : bytePairs) {
        ASSERT_EQ(write(r, 20, 2, bytes), 1) << std::hex << r->status;
        ASSERT_EQ(read(r, 10, 1, back), 1);
        EXPECT_EQ(back[0], 0xAB10);
    }
    // Absolute addresses: the timer words seen through RdASW/RdAdr.
    const uint32_t timers = r->area.s5.systemParams[5] * Scale();
    ASSERT_EQ(api->S5WrASW(r, static_cast<int32_t>(timers), 1, w), 1);
    ASSERT_EQ(api->S5RdAdr(r, static_cast<int32_t>(timers), back, 2, 1), 1);
    EXPECT_EQ(back[0], 0x1234);
    ASSERT_EQ(api->S5RdASW(r, static_cast<int32_t>(timers), 1, back), 1);
    EXPECT_EQ(back[0], 0x1234);
    // 300 words in one call (chunked on byte-addressed PLCs).
    std::vector<uint16_t> many(300), got(300);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = static_cast<uint16_t>(i * 0x0101 + 0x10);
    const uint32_t free = 0x0380 * (WordAddressed() ? 1u : 2u) * Scale();  // inside the block memory's end
    const uint32_t at = r->area.s5.systemParams[0] * Scale() - free;
    ASSERT_EQ(api->S5WrAdr(r, static_cast<int32_t>(at), many.data(), 2, 300), 1) << std::hex << r->status;
    ASSERT_EQ(api->S5RdAdr(r, static_cast<int32_t>(at), got.data(), 2, 300), 1) << std::hex << r->status;
    EXPECT_EQ(got, many);
    // The system words have no base in the context: refused without traffic beyond a test.
    EXPECT_EQ(api->S5RdSW(r, 0, 1, back), 0);
    EXPECT_EQ(+r->status, TARN5_ERR_ABSENT);
}

TEST_P(S5Integration, StartStopAndStacks) {
    uint16_t word = 0;
    ASSERT_EQ(api->S5AGStop(r), 1) << std::hex << r->status;
    ASSERT_EQ(api->S5RdBSW(r, 6, 1, &word), 1);
    EXPECT_EQ(word & 0x8000, 0x8000);
    uint16_t stack[TARN5_BSTACK_WORDS] = {};
    int16_t count = -1;
    ASSERT_EQ(api->S5BStack(r, &count, stack), 1) << std::hex << r->status;
    EXPECT_EQ(count, 2);
    ASSERT_EQ(api->S5AGStart(r), 1);
    ASSERT_EQ(api->S5RdBSW(r, 6, 1, &word), 1);
    EXPECT_EQ(word & 0x8000, 0);
    ASSERT_EQ(api->S5AGStartStopEx(r, 0), 1) << std::hex << r->status;
    ASSERT_EQ(api->S5RdBSW(r, 6, 1, &word), 1);
    EXPECT_EQ(word & 0x8000, 0x8000);
    ASSERT_EQ(api->S5AGStartStopEx(r, 1), 1) << std::hex << r->status;
    S5InterruptRecord records[TARN5_USTACK_RECORDS];
    ASSERT_EQ(api->S5Ustack(r, records, &count), 1) << std::hex << r->status;
    ASSERT_EQ(count, 1);
    EXPECT_EQ(+records[0].typePosition, TARN5_PB);
    EXPECT_EQ(+records[0].blockNumber, 1);
    EXPECT_EQ(+records[0].relativeAddress, 3);
    EXPECT_EQ(+records[0].dataBlockNumber, 1);
    EXPECT_EQ(+records[0].entryBytes[7], 0x07);
    int32_t first = 0;
    int32_t second = 0;
    ASSERT_EQ(api->S5SPAus(r, &first, &second), 1);
    EXPECT_EQ(second, 24);
    uint8_t outputs[2] = {0x5A, 0x10};
    ASSERT_EQ(api->S5SetAB(r, 2, outputs), 1) << std::hex << r->status;
    EXPECT_EQ(outputs[0], 0xFF);
    ASSERT_EQ(api->S5RdAW(r, 0, 1, &word), 1);
    EXPECT_EQ(word, 0x5A10);
}

const Setup kSetups[] = {
    {"libTARN5.so", "pty", "byte16"},          {"libTARN5.so", "pty", "word16"},
    {"libTARN5.so", "pty", "word32"},          {"libTARN5.so", "pty", "byte32"},
    {"libTARN5IP.so", "pty", "word16"},        {"libTARN5IP.so", "lan_raw", "byte16"},
    {"libTARN5IP.so", "lan_raw", "word16"},    {"libTARN5IP.so", "lan_raw", "word32"},
    {"libTARN5IP.so", "lan_framed", "byte16"}, {"libTARN5IP.so", "lan_framed", "word16"},
    {"libTARN5IP.so", "lan_framed", "byte32"}, {"libTARN5.so", "pty", "d10a"},
    {"libTARN5IP.so", "lan_raw", "d10a"},
};
INSTANTIATE_TEST_SUITE_P(Plcsim, S5Integration, ::testing::ValuesIn(kSetups), Name);

}  // namespace
}  // namespace vaultra::s5
