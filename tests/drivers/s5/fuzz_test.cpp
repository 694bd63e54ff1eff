// Random PLC replies, drawn mostly from the control characters so that exchanges get deep, never crash a
// driver function or make it write outside the caller's buffer (exact-size heap buffers, checked by the
// sanitizer build), and every function returns within bounded (virtual) time.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include <vaultra/tarn5.h>

#include "drivers/s5/functions.h"
#include "drivers/s5/settings.h"
#include "tests/drivers/s5/script.h"

namespace vaultra::s5::testing {
namespace {

constexpr std::uint8_t kAlphabet[] = {STX, DLE, DLE, ACK, ETX, EOT, SYN, 0x12, 0x00, 0x09, 0x25, NAK};

Bytes RandomAnswer(std::mt19937& rng) {
    Bytes out(rng() % 6);
    for (std::uint8_t& b : out)
        b = rng() % 4 == 0 ? static_cast<std::uint8_t>(rng()) : kAlphabet[rng() % sizeof kAlphabet];
    return out;
}

// Every driver function once, each with buffers of exactly the size it may use.
std::vector<std::function<void(ConnectionRecord&)>> Calls() {
    return {
        [](ConnectionRecord& r) { AGTest(r); },
        [](ConnectionRecord& r) {
            std::vector<uint16_t> dir(16);
            ReadDirectory(r, TARN5_DB, dir.data(), 16);
        },
        [](ConnectionRecord& r) {
            S5BlockRecord header{};
            uint16_t address = 0;
            BlockInfo(r, &header, TARN5_PB, 1, &address);
        },
        [](ConnectionRecord& r) {
            std::vector<uint8_t> body(8);
            S5BlockRecord block{};
            block.lengthWords = 9;
            block.body = body.data();
            ReadBlock(r, &block, TARN5_FB, 2, 1);
        },
        [](ConnectionRecord& r) {
            std::vector<uint8_t> body(8, 0x10);
            S5BlockRecord block{{0x70, 0x70}, 1, 2, {0, 0, 0, 0}, 9, body.data()};
            CreateBlock(r, &block, 1);
            WriteBlock(r, &block, TARN5_DB, 2, 1);
        },
        [](ConnectionRecord& r) { DeleteBlock(r, TARN5_OB, 1); },
        [](ConnectionRecord& r) { Compress(r); },
        [](ConnectionRecord& r) {
            std::vector<uint8_t> data(6);
            ReadAddress(r, 0x1000, data.data(), 2, 3);
            ReadArea(r, Area::Flags, 1, 3, data.data());
            ReadArea(r, Area::Inputs, 1, 3, data.data());
            ReadArea(r, Area::SystemData, 1, 3, data.data());
            ReadBlockWords(r, TARN5_DB, 1, 0, 3, data.data());
            WriteArea(r, Area::Outputs, Unit::Byte, 1, 6, data.data());
        },
        [](ConnectionRecord& r) {
            Stop(r);
            StartStopEx(r, 1);
            int32_t a = 0, b = 0;
            TwoValues(r, &a, &b);
        },
        [](ConnectionRecord& r) {
            std::vector<uint8_t> words(2 * TARN5_BSTACK_WORDS);
            int16_t count = 0;
            BlockStack(r, &count, words.data());
        },
        [](ConnectionRecord& r) {
            std::vector<S5InterruptRecord> records(TARN5_USTACK_RECORDS);
            int16_t count = 0;
            InterruptStack(r, records.data(), &count);
            std::vector<uint8_t> words(2 * 8 * 3);
            int16_t extra = 0;
            InterruptStackEx(r, words.data(), 3, &extra, &count);
            std::vector<uint8_t> buffer(TARN5_USTACK945_BYTES);
            InterruptStack945(r, buffer.data());
        },
        [](ConnectionRecord& r) {
            std::vector<uint8_t> outputs(4, 0x10);
            ForceOutputs(r, 4, outputs.data());
        },
    };
}

TEST(S5Fuzz, RandomRepliesNeverCrashOrOverrun) {
    ResetLibrarySettings();
    const auto calls = Calls();
    const std::vector<std::uint16_t> descriptions[] = {ByteParams(), WordParams()};
    for (std::uint32_t seed = 0; seed < 300; ++seed) {
        std::mt19937 rng(seed);
        link::testing::FakeLinkScope fake;
        for (int i = 0; i < 3000; ++i)
            fake.link.OnWrite({}, RandomAnswer(rng), rng() % 3 == 0 ? 2000 : 0);
        ConnectionRecord r{};
        auto params = descriptions[seed % 2];
        params[19] = static_cast<std::uint16_t>(seed % 7 == 0 ? 0x0006 : seed % 5 == 0 ? 0x0005 : params[19]);
        Describe(r, params);
        const auto before = fake.link.NowMs();
        for (const auto& call : calls)
            call(r);
        // Every wait is bounded: even the long compression wait ends with the virtual clock.
        EXPECT_LT(fake.link.NowMs() - before, 479985ull * 55 * 2) << seed;
    }
}

}  // namespace
}  // namespace vaultra::s5::testing
