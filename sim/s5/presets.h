// Operand values the simulated S5 PLC starts with (and sets again on SIGUSR1), so that it can ask the
// station for service: request bits ("M10.0=1", "DB100.DBX2.1=1") and a name string ("DB100.DBB4=A12").
#pragma once

#include <optional>
#include <string>

#include "sim/s5/plc.h"

namespace vaultra::sim::s5 {

// Sets or clears one bit. Flags, inputs and outputs are byte areas (on word-addressed PLCs one area byte
// in the low half of each memory word); a data block bit lives in data word byte/2, the even byte in the
// high half. An error text when the preset cannot be parsed or the address does not exist.
std::optional<std::string> ApplyBitPreset(Plc& plc, const std::string& preset);

// Writes a string (maximum length byte, current length byte, characters) into a data block from byte b on.
// A data block that does not exist is loaded with room for the string. An error text on failure.
std::optional<std::string> ApplyStringPreset(Plc& plc, const std::string& preset);

}  // namespace vaultra::sim::s5
