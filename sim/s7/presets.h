// Operand values a simulated PLC starts with, so that it can ask the station for service: request bits
// ("M10.0=1", "DB5.DBX2.1=1") and a string ("DB5.DBB0=A12").
#pragma once

#include <optional>
#include <string>

#include "sim/s7/plc.h"

namespace vaultra::sim::s7 {

// Sets one bit; "AREA BYTE.BIT=0|1" with the areas M/F, E/I, A/Q, or "DBn.DBXb.i=0|1". An error text when
// the preset cannot be parsed or the address does not exist.
std::optional<std::string> ApplyBitPreset(Plc& plc, const std::string& preset);

// Writes an S7 string (maximum length byte, current length byte, characters) at "DBn.DBBb=TEXT". A data
// block that does not exist is created with room for the string. An error text on failure.
std::optional<std::string> ApplyStringPreset(Plc& plc, const std::string& preset);

}  // namespace vaultra::sim::s7
