#include "sim/s5/plc.h"

#include <algorithm>
#include <fstream>

namespace vaultra::sim::s5 {
namespace {

constexpr std::uint32_t kRunWordIndex = 6;
constexpr std::uint16_t kStopBit = 0x8000;

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

Plc::Plc(PlcOptions options, const Log& log)
    : options_(std::move(options)),
      log_(log),
      memory_(static_cast<std::size_t>(options_.cpu.memoryUnits) * (options_.cpu.wordAddressed ? 2 : 1), 0),
      next_(options_.cpu.blockStart) {}

bool Plc::InMemory(std::uint32_t start, std::uint32_t count) const {
    return start < Cpu().memoryUnits && count <= Cpu().memoryUnits - start;
}

Bytes Plc::ReadUnits(std::uint32_t start, std::uint32_t count) const {
    const std::size_t from = std::size_t{start} * UnitBytes();
    const std::size_t n = std::size_t{count} * UnitBytes();
    return Bytes(memory_.begin() + static_cast<std::ptrdiff_t>(from),
                 memory_.begin() + static_cast<std::ptrdiff_t>(from + n));
}

void Plc::WriteUnits(std::uint32_t start, ByteView bytes) {
    const std::size_t from = std::size_t{start} * UnitBytes();
    const std::size_t n = std::min(bytes.size(), memory_.size() - std::min(from, memory_.size()));
    std::copy_n(bytes.begin(), n, memory_.begin() + static_cast<std::ptrdiff_t>(from));
}

const Plc::Entry* Plc::Find(std::uint8_t code, std::uint8_t number) const {
    const auto it = blocks_.find({code, number});
    return it == blocks_.end() ? nullptr : &it->second;
}

std::array<std::uint8_t, 8> Plc::Header(const Entry& entry) const {
    const Bytes stored = ReadUnits(entry.address - HeaderUnits(), HeaderUnits());
    std::array<std::uint8_t, 8> header{};
    std::copy_n(stored.begin(), header.size(), header.begin());
    return header;
}

Bytes Plc::Body(const Entry& entry) const {
    return ReadUnits(entry.address, BodyUnits(entry.lengthWords));
}

std::vector<std::uint16_t> Plc::Directory(std::uint8_t code) const {
    std::vector<std::uint16_t> words(Cpu().directoryEntries, 0);
    for (const auto& [key, entry] : blocks_) {
        if (key.first == code && key.second < words.size()) {
            words[key.second] = Cpu().LineAddress(entry.address);
        }
    }
    return words;
}

bool Plc::Load(const BlockImage& block) {
    if (block.lengthWords < 5 || block.body.size() != (block.lengthWords - 5u) * 2u) {
        return false;
    }
    const std::uint32_t body = AlignUp(next_ + HeaderUnits(), Cpu().Alignment());
    const std::uint32_t end = body + BodyUnits(block.lengthWords);
    if (end > Cpu().blockEnd) {
        return false;
    }
    Bytes header(block.header.begin(), block.header.end());
    bytes::AppendBe16(header, block.lengthWords);
    WriteUnits(body - HeaderUnits(), header);
    WriteUnits(body, block.body);
    blocks_[{block.Code(), block.Number()}] = Entry{body, block.lengthWords};
    next_ = end;
    return true;
}

bool Plc::Delete(std::uint8_t code, std::uint8_t number) {
    return blocks_.erase({code, number}) == 1;
}

// Moves every block down in address order so that the gaps of deleted blocks close.
void Plc::Compress() {
    std::vector<std::pair<std::pair<std::uint8_t, std::uint8_t>, Entry>> order(blocks_.begin(),
                                                                               blocks_.end());
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.second.address < b.second.address; });
    next_ = Cpu().blockStart;
    for (auto& [key, entry] : order) {
        const Bytes image =
            ReadUnits(entry.address - HeaderUnits(), HeaderUnits() + BodyUnits(entry.lengthWords));
        const std::uint32_t body = AlignUp(next_ + HeaderUnits(), Cpu().Alignment());
        WriteUnits(body - HeaderUnits(), image);
        blocks_[key].address = body;
        next_ = body + BodyUnits(entry.lengthWords);
    }
}

void Plc::ClearAll() {
    blocks_.clear();
    next_ = Cpu().blockStart;
    SetRunning(false);
}

bool Plc::Running() const {
    const Bytes word =
        ReadUnits(Cpu().systemData + kRunWordIndex * Cpu().UnitsPerWord(), Cpu().UnitsPerWord());
    return (bytes::LoadBe16(word, 0) & kStopBit) == 0;
}

void Plc::SetRunning(bool run) {
    const std::uint32_t at = Cpu().systemData + kRunWordIndex * Cpu().UnitsPerWord();
    Bytes word = ReadUnits(at, Cpu().UnitsPerWord());
    const std::uint16_t value = bytes::LoadBe16(word, 0);
    bytes::StoreBe16(
        word, 0,
        run ? static_cast<std::uint16_t>(value & ~kStopBit) : static_cast<std::uint16_t>(value | kStopBit));
    WriteUnits(at, word);
}

bool Plc::Dump(const std::filesystem::path& dir, std::string* error) const {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (const auto& [key, entry] : blocks_) {
        const auto position = TypePosition(key.first);
        const std::string name =
            std::string(position ? kTypeNames[static_cast<std::size_t>(*position)] : "XX") +
            std::to_string(key.second) + ".blk";
        const auto header = Header(entry);
        Bytes image(header.begin(), header.end());
        bytes::AppendBe16(image, entry.lengthWords);
        const Bytes body = Body(entry);
        Append(image, body);
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out) {
            *error = (dir / name).string() + " cannot be written";
            return false;
        }
    }
    return true;
}

}  // namespace vaultra::sim::s5
