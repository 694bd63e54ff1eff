// The driver's functions behind the exported names, on the caller's context. Results: 1 success,
// 0 failure with the reason in the context's error word.
#pragma once

#include <cstdint>

#include <vaultra/records.h>
#include <vaultra/tarn5.h>

#include "drivers/s5/as511.h"

namespace vaultra::s5 {

// --- connection ---
int32_t Init(ConnectionRecord& r, int32_t mode);
int32_t InitPGBus(ConnectionRecord& r);
int32_t Exit(ConnectionRecord& r);
int32_t AGTest(ConnectionRecord& r);
// Re-synchronises after an error that left the line out of step; then clears the error word.
bool Precheck(Line& line);

// --- blocks ---
inline constexpr uint32_t kDirectoryCapacity = 65536;         // entries in the station's 128 KiB buffer
inline constexpr uint32_t kDefaultBodyCapacity = 65536 - 10;  // the station's 64 KiB block buffer
int32_t ReadDirectory(ConnectionRecord& r, int32_t type, uint16_t* entries, uint32_t capacity);
int32_t BlockInfo(ConnectionRecord& r, S5BlockRecord* header, int32_t type, int32_t number,
                  uint16_t* address);
int32_t ReadBlock(ConnectionRecord& r, S5BlockRecord* block, int32_t type, int32_t number, int32_t unit);
int32_t WriteBlock(ConnectionRecord& r, S5BlockRecord* block, int32_t type, int32_t number, int32_t unit);
int32_t CreateBlock(ConnectionRecord& r, const S5BlockRecord* block, int32_t unit);
int32_t DeleteBlock(ConnectionRecord& r, int32_t type, int32_t number);
int32_t Compress(ConnectionRecord& r);
int32_t ClearAll(ConnectionRecord& r);

// --- memory ---
int32_t ReadAddress(ConnectionRecord& r, uint32_t address, uint8_t* data, int32_t unit, int32_t count);
int32_t WriteAddress(ConnectionRecord& r, uint32_t address, const uint8_t* data, int32_t unit, int32_t count);

enum class Area {
    PeripheralInputs,
    PeripheralOutputs,
    Inputs,
    Outputs,
    Flags,
    SystemWords,
    Timers,
    Counters,
    SystemData,
    Absolute
};
int32_t ReadArea(ConnectionRecord& r, Area area, int32_t index, int32_t count, uint8_t* data);
int32_t WriteArea(ConnectionRecord& r, Area area, Unit unit, int32_t index, int32_t count,
                  const uint8_t* data);
int32_t ReadBlockWords(ConnectionRecord& r, int32_t type, int32_t number, int32_t start, int32_t count,
                       uint8_t* data);
int32_t WriteBlockWords(ConnectionRecord& r, int32_t type, int32_t number, int32_t start, int32_t count,
                        const uint8_t* data);

// --- control and stacks ---
int32_t Stop(ConnectionRecord& r);
int32_t Start(ConnectionRecord& r);
int32_t StartStopEx(ConnectionRecord& r, int32_t mode);
int32_t TwoValues(ConnectionRecord& r, int32_t* first, int32_t* second);
int32_t ForceOutputs(ConnectionRecord& r, int32_t count, uint8_t* data);
int32_t BlockStack(ConnectionRecord& r, int16_t* count, uint8_t* words);
int32_t InterruptStack(ConnectionRecord& r, S5InterruptRecord* records, int16_t* count);
int32_t InterruptStackEx(ConnectionRecord& r, uint8_t* words, int32_t recordWords, int16_t* extra,
                         int16_t* count);
int32_t InterruptStack945(ConnectionRecord& r, uint8_t* buffer);

}  // namespace vaultra::s5
