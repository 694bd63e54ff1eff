// Bounded little-endian readers and writers for the directory layouts of the S5 program file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include <vaultra/byte_order.h>

namespace vaultra::qrf {

// Reads fields from a byte range; a read past the end yields zeros and clears ok() for good.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes, size_t position = 0) : bytes_(bytes) {
        Seek(position);
    }

    void Seek(size_t position) {
        if (position > bytes_.size()) {
            ok_ = false;
            return;
        }
        position_ = position;
    }
    uint8_t U8() { return Need(1) ? bytes_[position_++] : 0; }
    uint16_t U16() {
        if (!Need(2)) {
            return 0;
        }
        const uint16_t value = bytes::LoadLe16(bytes_, position_);
        position_ += 2;
        return value;
    }
    void Bytes(std::span<uint8_t> out) {
        if (!Need(out.size())) {
            std::fill(out.begin(), out.end(), uint8_t{0});
            return;
        }
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), out.size(), out.begin());
        position_ += out.size();
    }
    bool ok() const { return ok_; }

private:
    bool Need(size_t count) {
        ok_ = ok_ && bytes_.size() - position_ >= count;
        return ok_;
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool ok_ = true;
};

// Writes fields into a byte range; a write past the end is dropped and clears ok().
class ByteWriter {
public:
    explicit ByteWriter(std::span<uint8_t> bytes, size_t position = 0) : bytes_(bytes) { Seek(position); }

    void Seek(size_t position) {
        if (position > bytes_.size()) {
            ok_ = false;
            return;
        }
        position_ = position;
    }
    void U8(uint8_t value) {
        if (Need(1)) {
            bytes_[position_++] = value;
        }
    }
    void U16(uint16_t value) {
        if (Need(2)) {
            bytes::StoreLe16(bytes_, position_, value);
            position_ += 2;
        }
    }
    void Bytes(std::span<const uint8_t> data) {
        if (Need(data.size())) {
            std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
            position_ += data.size();
        }
    }
    bool ok() const { return ok_; }

private:
    bool Need(size_t count) {
        ok_ = ok_ && bytes_.size() - position_ >= count;
        return ok_;
    }

    std::span<uint8_t> bytes_;
    size_t position_ = 0;
    bool ok_ = true;
};

inline uint16_t LoadU16(std::span<const uint8_t> bytes, size_t offset) {
    return ByteReader(bytes, offset).U16();
}

inline void StoreU16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
    ByteWriter(bytes, offset).U16(value);
}

}  // namespace vaultra::qrf
