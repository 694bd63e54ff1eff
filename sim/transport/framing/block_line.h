// The MPI adapter's block framing as the adapter itself frames it: a telegram travels after the
// granting DLE with every DLE in it sent twice, ends with DLE ETX (DLE EOT from some senders) and is
// followed by a check byte, the XOR of every byte from the first content byte to ETX.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/bytes.h"

namespace vaultra::sim::line {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kNak = 0x15;

// What follows the grant when the adapter sends `content`: the stuffed content, DLE ETX, check byte.
Bytes FrameBlock(ByteView content);

// Collects one telegram from the bytes that follow the grant, check byte included.
class BlockReceiver {
public:
    enum class Result {
        kMore,      // keep feeding
        kGood,      // complete and the check byte matched: Content() holds the telegram
        kBadCheck,  // complete, but the check byte differs
        kBroken,    // a single DLE followed by something other than DLE, ETX or EOT
        kTooLong,   // complete, but longer than the limit (the excess was dropped)
    };

    explicit BlockReceiver(std::size_t limit) : limit_(limit) {}
    void Restart();
    Result Take(std::uint8_t byte);
    const Bytes& Content() const { return content_; }

private:
    enum class Stage { kContent, kAfterDle, kCheck, kDone };
    void Keep(std::uint8_t byte);

    std::size_t limit_;
    Stage stage_ = Stage::kContent;
    Bytes content_;
    std::uint8_t sum_ = 0;
    bool overflow_ = false;
};

}  // namespace vaultra::sim::line
