#include "sim/s7/plc.h"

#include <algorithm>

namespace vaultra::sim::s7 {

namespace {

// Deterministic, recognisable start values so reads show something other than zeros.
Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0xFF);
    }
    return bytes;
}

}  // namespace

Plc::Plc(PlcOptions options, Program program, Log log)
    : options_(std::move(options)),
      program_(std::move(program)),
      log_(log),
      mode_(options_.keyswitch == Keyswitch::Stop ? OperatingMode::Stop : OperatingMode::Run),
      fragmented_(options_.faults.fragmented),
      flags_(kFlagBytes, 0),
      inputs_(Pattern(kProcessImageBytes, 0x11)),
      outputs_(kProcessImageBytes, 0),
      peripheralInputs_(Pattern(kPeripheralBytes, 0x31)),
      peripheralOutputs_(kPeripheralBytes, 0),
      timers_(kTimerCount * 2, 0),
      counters_(kCounterCount * 2, 0) {}

bool Plc::HasRoomFor(std::size_t bytes, std::size_t replaced) const {
    const std::size_t used = program_.TotalBytes() - replaced;
    return used + bytes <= options_.memoryBytes;
}

Bytes Plc::EncodedPassword() const {
    return EncodePassword(options_.password);
}

const Bytes* Plc::AreaBytes(Area area) const {
    switch (area) {
        case Area::Flags:
            return &flags_;
        case Area::Inputs:
            return &inputs_;
        case Area::Outputs:
            return &outputs_;
        case Area::PeripheralInputs:
            return &peripheralInputs_;
        case Area::PeripheralOutputs:
            return &peripheralOutputs_;
        case Area::Timers:
            return &timers_;
        case Area::Counters:
            return &counters_;
        case Area::DataBlock:
            return nullptr;
    }
    return nullptr;
}

std::optional<Bytes> Plc::Read(Area area, std::uint16_t db, std::uint32_t start, std::uint32_t length) const {
    ByteView source;
    if (area == Area::DataBlock) {
        const Bytes* image = program_.Find({kDB, db});
        if (image == nullptr) {
            return std::nullopt;
        }
        source = CodePart(*image);
    } else {
        source = *AreaBytes(area);
    }
    if (start > source.size() || length > source.size() - start) {
        return std::nullopt;
    }
    return Bytes(source.begin() + start, source.begin() + start + length);
}

bool Plc::Write(Area area, std::uint16_t db, std::uint32_t start, ByteView values) {
    std::span<std::uint8_t> target;
    if (area == Area::DataBlock) {
        Bytes* image = program_.FindMutable({kDB, db});
        if (image == nullptr) {
            return false;
        }
        const ByteView code = CodePart(*image);
        target = std::span<std::uint8_t>(image->data() + (code.data() - image->data()), code.size());
    } else {
        target = *const_cast<Bytes*>(AreaBytes(area));
    }
    if (start > target.size() || values.size() > target.size() - start) {
        return false;
    }
    std::copy(values.begin(), values.end(), target.begin() + start);
    return true;
}

Bytes EncodePassword(const std::string& password) {
    std::uint8_t in[8] = {};
    for (std::size_t i = 0; i < 8 && i < password.size(); ++i) {
        in[i] = static_cast<std::uint8_t>(password[i]);
    }
    Bytes out(8, 0);
    if (in[0] == 0) {
        return out;
    }
    out[0] = static_cast<std::uint8_t>(in[0] ^ 0x55);
    out[1] = static_cast<std::uint8_t>(in[1] ^ 0x55);
    for (std::size_t i = 2; i < 8; ++i) {
        out[i] = static_cast<std::uint8_t>(in[i] ^ out[i - 2] ^ 0x55);
    }
    return out;
}

}  // namespace vaultra::sim::s7
