#include "sim/s5/program.h"

#include "s5file/program_file.h"

namespace vaultra::sim::s5 {
namespace {

// A small deterministic generator, so demonstration programs are the same on every run.
class Sequence {
public:
    explicit Sequence(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ = state_ * 1103515245u + 12345u;
        return state_ >> 8;
    }

private:
    std::uint32_t state_;
};

BlockImage MakeBlock(std::uint8_t code, std::uint8_t number, std::uint16_t lengthWords, Sequence& seq) {
    BlockImage block;
    block.header = {0x70, 0x70, code, number, 0x40, 0x00, 0x00, static_cast<std::uint8_t>(number ^ code)};
    block.lengthWords = lengthWords;
    block.body.resize((lengthWords - 5u) * 2u);
    for (std::size_t i = 0; i < block.body.size(); ++i) {
        // Every seventh byte is DLE, so the data transparency is exercised all the time.
        block.body[i] = i % 7 == 3 ? 0x10 : static_cast<std::uint8_t>(seq.Next());
    }
    return block;
}

}  // namespace

std::vector<BlockImage> MakeDemoProgram(std::size_t blocks) {
    Sequence seq(0x5A5A);
    std::vector<BlockImage> program;
    std::size_t numbers[7] = {1, 0, 0, 0, 1, 0, 1};  // DB 0 and DX 0 hold system data on a real PLC
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t type = i % 7;
        const auto number = static_cast<std::uint8_t>(numbers[type]++ % 256);
        std::uint16_t length = static_cast<std::uint16_t>(5 + 3 + seq.Next() % 200);
        if (i == 7) {
            length = 5;  // header only
        }
        program.push_back(MakeBlock(kTypeCodes[type], number, length, seq));
    }
    return program;
}

bool ReadProgramFile(const std::filesystem::path& path, std::vector<BlockImage>& blocks, std::string* error) {
    auto opened = qrf::ProgramFile::Open(path, qrf::ProgramFile::Mode::kReadExisting);
    if (!opened.file) {
        *error = path.string() + ": not a readable S5 program file";
        return false;
    }
    for (BlockKey key : opened.file->BlockList()) {
        if (key.documentation != 0) {
            continue;
        }
        std::vector<std::uint8_t> data;
        if (opened.file->ReadBlock(key, data) != qrf::Error::kNone || key.length < 10 ||
            data.size() < key.length) {
            *error = path.string() + ": a block cannot be read";
            return false;
        }
        BlockImage block;
        block.header = {0x70,
                        0x70,
                        key.type,
                        key.number,
                        key.headerByte4,
                        key.headerMore[0],
                        key.headerMore[1],
                        key.headerMore[2]};
        block.lengthWords = static_cast<std::uint16_t>(key.length / 2);
        block.body.assign(data.begin() + 10, data.begin() + key.length);
        blocks.push_back(std::move(block));
    }
    return true;
}

}  // namespace vaultra::sim::s5
