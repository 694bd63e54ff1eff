// Scripted PLC answers on the fake link, one AS511 step at a time, and the bytes a correct PC sends.
#pragma once

#include <cstdint>
#include <vector>

#include <vaultra/records.h>

#include "drivers/link/fake_link.h"

namespace vaultra::s5::testing {

using link::testing::Bytes;
using link::testing::FakeLink;

inline constexpr std::uint8_t STX = 0x02, ETX = 0x03, EOT = 0x04, ACK = 0x06, DLE = 0x10, NAK = 0x15,
                              SYN = 0x16;

// Data bytes as they travel: every 0x10 doubled.
Bytes Escaped(const Bytes& data);
Bytes Cat(std::initializer_list<Bytes> parts);
Bytes Words(std::initializer_list<std::uint16_t> words);

class ScriptedPlc {
public:
    explicit ScriptedPlc(FakeLink& link) : l_(link) {}
    // The PLC accepts function `code` (STX / DLE ACK / code / STX ... SYN DLE ETX / DLE ACK).
    ScriptedPlc& Accept(std::uint8_t code);
    // The PLC refuses function `code` with a short telegram and closes it.
    ScriptedPlc& Refuse(std::uint8_t code);
    // The PC's parameter telegram ends with DLE end; the PLC acknowledges and sends data DLE ETX.
    ScriptedPlc& Reply(std::uint8_t end, const Bytes& data);
    // The PC's telegram ends with DLE end; the PLC acknowledges and closes the function (STX 12 DLE ETX).
    ScriptedPlc& Close(std::uint8_t end);
    // The PC acknowledges the reply; the PLC closes the function.
    ScriptedPlc& Closing();
    // The AGTest exchange with the given 22 words.
    ScriptedPlc& SystemParameters(const std::vector<std::uint16_t>& words);

private:
    FakeLink& l_;
};

// Bytes the PC writes for one function request and for the end of a function.
Bytes RequestBytes(std::uint8_t code);
Bytes ClosingBytes();  // DLE ACK for the reply, DLE ACK for the closing STX, DLE ACK for 12 DLE ETX

// System parameters of a byte-addressed PLC of class 0 and a word-addressed one of class 2.
std::vector<std::uint16_t> ByteParams();
std::vector<std::uint16_t> WordParams();
void Describe(ConnectionRecord& r, const std::vector<std::uint16_t>& params);

}  // namespace vaultra::s5::testing
