// Bounded reading of received bytes: every read checks the position against the end first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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
        out = static_cast<uint16_t>(bytes_[pos_] << 8 | bytes_[pos_ + 1]);
        pos_ += 2;
        return true;
    }
    bool ReadU16Le(uint16_t& out) {
        if (!Has(2))
            return false;
        out = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    bool ReadU32Be(uint32_t& out) {
        uint16_t hi = 0, lo = 0;
        if (!Has(4) || !ReadU16Be(hi) || !ReadU16Be(lo))
            return false;
        out = static_cast<uint32_t>(hi) << 16 | lo;
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

// Big-endian appenders used by every request builder.
template <typename Buffer>
void PutU16Be(Buffer& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
template <typename Buffer>
void PutU32Be(Buffer& out, uint32_t v) {
    PutU16Be(out, static_cast<uint16_t>(v >> 16));
    PutU16Be(out, static_cast<uint16_t>(v));
}

inline uint16_t GetU16Be(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}
inline uint32_t GetU32Be(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(GetU16Be(b, at)) << 16 | GetU16Be(b, at + 2);
}

}  // namespace vaultra::s7wire
