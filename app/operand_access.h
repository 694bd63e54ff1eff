// Reading and writing the trigger's PLC operands through the driver's word functions: request bits and
// the string that names the file. Both driver families address the operands the same way (word = byte / 2,
// the even byte in the high half); only the functions differ.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <vaultra/records.h>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/operand.h"

namespace vaultra::app {

// One family's word functions on an open connection; each returns the driver's result (nonzero: success).
struct OperandWords {
    std::function<int(OperandArea area, uint32_t dataBlock, uint32_t word, uint16_t& value)> read;
    std::function<int(OperandArea area, uint32_t dataBlock, uint32_t word, uint16_t value)> write;
};

// The S7 table's S7RdAW/S7RdEW/S7RdMW/S7RdDB and their write counterparts.
OperandWords S7OperandWords(const S7Table& s7, ConnectionRecord& record);

// The S5 table's S5RdAW/S5RdEW/S5RdMW/S5RdDB and their write counterparts: the same word numbers (an S5
// data word DWn holds bytes 2n and 2n+1, the even one in the high half).
OperandWords S5OperandWords(const S5Table& s5, ConnectionRecord& record);

// Nonzero on success; value becomes 0 or 1. An operand that does not parse gives 0 without a driver call.
int ReadOperandBit(const OperandWords& words, const std::string& operand, int& value);
// Sets (value nonzero) or clears the bit, the other 15 bits of its word as read.
int WriteOperandBit(const OperandWords& words, const std::string& operand, int value);
// The S7 string at "DBn.DBBb": at most 254 characters.
int ReadS7String(const OperandWords& words, const std::string& operand, std::string& text);

// A restore the PLC asked for acknowledges both of the entry's requests once the whole program is in:
// clears its backup and restore bits (those it names). Nothing for an entry without the PLC trigger.
void ClearTriggerRequests(const OperandWords& words, const CElement& e);

// The same on an S7 connection.
int ReadOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int& value);
int WriteOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int value);
int ReadS7String(const S7Table& s7, ConnectionRecord& record, const std::string& operand, std::string& text);

}  // namespace vaultra::app
