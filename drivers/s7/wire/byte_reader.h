// Bounded reading of received bytes: every read checks the position against the end first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <vaultra/byte_order.h>

namespace vaultra::s7wire {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t Position() const { return pos_; }
    size_t Remaining() const { return bytes_.size() - pos_; }
    bool Has(size_t n) const { return n <= Remaining(); }

    bool ReadU8(uint8_t& out) {
        if (!Has(1))
            return false;
        out = bytes_[pos_++];
        return true;
    }
    bool ReadU16Be(uint16_t& out) {
        if (!Has(2))
            return false;
        out = bytes::LoadBe16(bytes_, pos_);
        pos_ += 2;
        return true;
    }
    bool ReadU16Le(uint16_t& out) {
        if (!Has(2))
            return false;
        out = bytes::LoadLe16(bytes_, pos_);
        pos_ += 2;
        return true;
    }
    bool ReadU32Be(uint32_t& out) {
        if (!Has(4))
            return false;
        out = bytes::LoadBe32(bytes_, pos_);
        pos_ += 4;
        return true;
    }
    // Takes n bytes as a view into the underlying buffer.
    bool Take(size_t n, std::span<const uint8_t>& out) {
        if (!Has(n))
            return false;
        out = bytes_.subspan(pos_, n);
        pos_ += n;
        return true;
    }
    bool Skip(size_t n) {
        if (!Has(n))
            return false;
        pos_ += n;
        return true;
    }
    std::span<const uint8_t> Rest() const { return bytes_.subspan(pos_); }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

}  // namespace vaultra::s7wire
