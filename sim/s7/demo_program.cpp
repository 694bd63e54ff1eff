#include "sim/s7/demo_program.h"

#include <string>
#include <vector>

#include "s7project/block_image.h"

namespace vaultra::sim::s7 {

namespace {

constexpr std::uint8_t kLanguageStl = 0x01;
constexpr std::uint8_t kLanguageLadder = 0x02;
constexpr std::uint8_t kLanguageDb = 0x05;
constexpr std::uint8_t kLanguageSdb = 0x07;

struct DemoBlock {
    std::uint8_t type;
    std::uint16_t number;
    std::uint16_t codeLength;
    std::uint16_t interfaceLength;
    std::uint16_t localData;
    const char* name;
};

// Sizes range from a 40-byte code part to a function block of more than 16 KB.
constexpr DemoBlock kStandard[] = {
    {kOB, 1, 1236, 20, 26, "CYCLE"},
    {kOB, 35, 318, 20, 22, "CYC_INT5"},
    {kOB, 80, 40, 20, 20, "CYC_FLT"},
    {kOB, 82, 64, 20, 20, "I/O_FLT1"},
    {kOB, 86, 64, 20, 20, "RACK_FLT"},
    {kOB, 100, 184, 20, 20, "COMPLETE"},
    {kOB, 121, 52, 20, 20, "PROG_ERR"},
    {kOB, 122, 52, 20, 20, "MOD_ERR"},
    {kFB, 1, 2410, 124, 48, "MOTOR"},
    {kFB, 2, 16810, 388, 120, "SEQUENCE"},
    {kFB, 10, 644, 60, 16, "VALVE"},
    {kFC, 1, 402, 36, 12, "SCALE"},
    {kFC, 2, 902, 48, 30, "ALARMS"},
    {kFC, 10, 122, 16, 4, "BLINK"},
    {kFC, 20, 64, 12, 2, "COPY"},
    {kDB, 1, 64, 124, 0, "MOTOR_1"},
    {kDB, 2, 256, 388, 0, "SEQ_1"},
    {kDB, 10, 128, 96, 0, "VALUES"},
    {kDB, 11, 65, 40, 0, "ODD"},
    {kDB, 100, 1024, 220, 0, "RECIPES"},
    {kDB, 200, 4, 12, 0, "FLAGS"},
    {kSFC, 0, 0, 40, 0, "SET_CLK"},
    {kSFC, 1, 0, 40, 0, "READ_CLK"},
    {kSFC, 20, 0, 48, 0, "BLKMOV"},
    {kSFC, 46, 0, 8, 0, "STP"},
    {kSFC, 51, 0, 64, 0, "RDSYSST"},
    {kSFB, 0, 0, 96, 0, "CTU"},
    {kSFB, 4, 0, 88, 0, "TON"},
    {kSDB, 0, 480, 0, 0, ""},
    {kSDB, 1, 212, 0, 0, ""},
    {kSDB, 2, 96, 0, 0, ""},
    {kSDB, 7, 148, 0, 0, ""},
};

// A small linear congruential generator: the same block always gets the same bytes.
class Bytes16 {
public:
    explicit Bytes16(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
    std::uint8_t Next() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(state_ >> 16);
    }

private:
    std::uint32_t state_;
};

Bytes Filled(std::size_t length, std::uint32_t seed) {
    Bytes16 generator(seed);
    Bytes bytes(length);
    for (std::uint8_t& b : bytes) {
        b = generator.Next();
    }
    return bytes;
}

// Milliseconds since midnight and days since 1984, both big-endian.
s7project::Timestamp Stamp(std::uint32_t day, std::uint32_t milliseconds) {
    return {static_cast<std::uint8_t>(milliseconds >> 24), static_cast<std::uint8_t>(milliseconds >> 16),
            static_cast<std::uint8_t>(milliseconds >> 8),  static_cast<std::uint8_t>(milliseconds),
            static_cast<std::uint8_t>(day >> 8),           static_cast<std::uint8_t>(day)};
}

std::uint8_t LanguageOf(const DemoBlock& block) {
    if (block.type == kDB) {
        return kLanguageDb;
    }
    if (block.type == kSDB) {
        return kLanguageSdb;
    }
    return block.number % 2 == 0 ? kLanguageLadder : kLanguageStl;
}

void PutName(std::array<std::uint8_t, 36>& trailer, std::size_t offset, const std::string& text) {
    for (std::size_t i = 0; i < 8 && i < text.size(); ++i) {
        trailer[offset + i] = static_cast<std::uint8_t>(text[i]);
    }
}

Bytes MakeImage(const DemoBlock& block) {
    const std::uint32_t seed = static_cast<std::uint32_t>(block.type) << 16 | block.number;
    s7project::BlockImageFields fields;
    fields.header.language = LanguageOf(block);
    fields.header.type = block.type;
    fields.header.number = block.number;
    fields.header.localDataLength = block.localData;
    if (block.type == kFB && block.number == 10) {
        fields.header.securityWord = 3;  // a know-how protected block
    }
    fields.header.timestamp1 = Stamp(14610 + block.number % 200, 28800000u + block.number * 1000u);
    fields.header.timestamp2 = Stamp(14600 + block.number % 100, 28000000u + block.number * 500u);
    fields.code = Filled(block.codeLength, seed);
    fields.interfacePart = Filled(block.interfaceLength, seed ^ 0x5A5A);
    if (block.type != kDB && block.type != kSDB && block.codeLength > 0) {
        fields.additional = {0x01, 0x00, 0x08, 0x00, 0x00, 0x00};
    }
    if (block.type != kSDB) {
        PutName(fields.trailer, 0, "VAULTRA");
        PutName(fields.trailer, 8, "DEMO");
        PutName(fields.trailer, 16, block.name);
        fields.trailer[24] = 0x11;
    }
    std::uint16_t check = 0;
    for (std::uint8_t b : fields.code) {
        check = static_cast<std::uint16_t>(check + b);
    }
    fields.trailer[26] = static_cast<std::uint8_t>(check >> 8);
    fields.trailer[27] = static_cast<std::uint8_t>(check);
    return s7project::BuildBlockImage(fields);
}

}  // namespace

std::size_t DemoBlockCount() {
    return std::size(kStandard);
}

Program MakeDemoProgram(std::size_t count) {
    const std::size_t wanted = count == 0 ? DemoBlockCount() : count;
    Program program;
    for (const DemoBlock& block : kStandard) {
        if (program.Size() == wanted) {
            break;
        }
        program.Put({block.type, block.number}, MakeImage(block));
    }
    // Further global data blocks, 40 bytes to 4 KB of values, many of them needing several uploads.
    for (std::uint16_t number = 1000; program.Size() < wanted && number < 0xFFFF; ++number) {
        const std::uint16_t length = static_cast<std::uint16_t>(40 + (number * 397u) % 4000u);
        const std::string name = "DATA" + std::to_string(number);
        const DemoBlock block{kDB, number,      length, static_cast<std::uint16_t>(24 + number % 64),
                              0,   name.c_str()};
        program.Put({kDB, number}, MakeImage(block));
    }
    return program;
}

}  // namespace vaultra::sim::s7
