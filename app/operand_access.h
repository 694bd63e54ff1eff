// Reading and writing the trigger's PLC operands through the driver's word functions: request bits and
// the string that names the file.
#pragma once

#include <string>

#include <vaultra/records.h>

#include "app/driver_binding.h"

namespace vaultra::app {

// Nonzero on success; value becomes 0 or 1. An operand that does not parse gives 0 without a driver call.
int ReadOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int& value);
// Sets (value nonzero) or clears the bit, the other 15 bits of its word as read.
int WriteOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int value);
// The S7 string at "DBn.DBBb": at most 254 characters.
int ReadS7String(const S7Table& s7, ConnectionRecord& record, const std::string& operand, std::string& text);

}  // namespace vaultra::app
