// Memory transfers inside an already checked function (no Precheck), shared by the block, memory and
// control functions.
#pragma once

#include <cstdint>

#include "drivers/s5/as511.h"

namespace vaultra::s5 {

// count items of the unit at a PLC address, in one request or in chunks as the PLC class needs.
bool ReadMemory(Line& line, uint32_t address, uint8_t* data, Unit unit, uint32_t count);
bool WriteMemory(Line& line, uint32_t address, const uint8_t* data, Unit unit, uint32_t count);
// Header bytes 0..7, length in words and address of one block (function 0x1A).
bool QueryBlock(Line& line, int32_t type, int32_t number, uint8_t* header, uint16_t& length,
                uint16_t& address);

}  // namespace vaultra::s5
