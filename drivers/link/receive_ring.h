// The 2048-byte receive buffer of a LAN connection. Bytes are received straight into its free space and
// taken one at a time; a fill never overwrites bytes not yet taken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace vaultra::link {

class ReceiveRing {
public:
    static constexpr std::size_t kSize = 2048;

    std::size_t Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    void Clear() { read_ = write_ = count_ = 0; }

    // The contiguous free space at the write index (pointer, length); length 0 when full.
    std::pair<std::uint8_t*, std::size_t> FreeSpace() {
        if (count_ == 0) {
            Clear();  // restart at the beginning so that a fill gets the whole buffer
        }
        const std::size_t toEnd = kSize - write_;
        const std::size_t free = kSize - count_;
        return {bytes_.data() + write_, toEnd < free ? toEnd : free};
    }
    // Accounts n bytes just placed into FreeSpace(); n must not exceed its length.
    void Commit(std::size_t n) {
        write_ = (write_ + n) % kSize;
        count_ += n;
    }
    std::uint8_t Take() {
        const std::uint8_t value = bytes_[read_];
        read_ = (read_ + 1) % kSize;
        --count_;
        return value;
    }

private:
    std::array<std::uint8_t, kSize> bytes_{};
    std::size_t read_ = 0;
    std::size_t write_ = 0;
    std::size_t count_ = 0;
};

}  // namespace vaultra::link
