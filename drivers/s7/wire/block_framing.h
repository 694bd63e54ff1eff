// Block framing of the MPI adapter line: DLE doubling, the XOR block check character and a decoder
// that undoes the doubling byte by byte. Pure byte helpers shared by the drivers and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vaultra::s7wire {

inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kNak = 0x15;

// Appends the content with every DLE sent twice.
void AppendDleDoubled(std::vector<uint8_t>& out, std::span<const uint8_t> content);

// XOR of every byte that travels after the granting DLE: the doubled content, DLE and ETX.
// A doubled DLE cancels itself, so a content byte 0x10 leaves the result unchanged.
uint8_t BlockCheck(std::span<const uint8_t> content);

// The whole framed body of one telegram: doubled content, DLE, ETX, block check character.
std::vector<uint8_t> FrameTelegram(std::span<const uint8_t> content);

// Undoes the DLE doubling of a received telegram one line byte at a time and keeps the running
// block check (which then must equal the byte that follows the end).
class DleDecoder {
public:
    enum class Event {
        kNone,   // a first DLE: wait for the next byte
        kData,   // a content byte is in `data`
        kEnd,    // DLE ETX (or DLE EOT for unsolicited telegrams): the check byte follows
        kError,  // a single DLE followed by something other than DLE, ETX or EOT
    };

    Event Feed(uint8_t byte, uint8_t& data);
    uint8_t Check() const { return check_; }
    void Reset() { *this = DleDecoder(); }

private:
    uint8_t check_ = 0;
    bool afterDle_ = false;
};

}  // namespace vaultra::s7wire
