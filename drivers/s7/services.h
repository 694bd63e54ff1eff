// The S7 functions above the transport: directory and upload, CPU control and information, memory
// areas. Each returns 1 for success and 0 for failure with the record's status set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <vaultra/records.h>

#include "drivers/s7/channel.h"
#include "drivers/s7/progress.h"

namespace vaultra::s7 {

// Connects when needed, sends one request and receives its answer.
bool Exchange(Channel& channel, ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
              std::span<const uint8_t> data, Answer& answer);

inline constexpr size_t kPresenceEntries = 65536;
inline constexpr int32_t kDirectoryTimeoutTicks = 1090;

int32_t ReadDirectory(Channel& channel, ConnectionRecord& record, int32_t type, int16_t* presence,
                      ProgressSink* progress);
int32_t BlockInfo(Channel& channel, ConnectionRecord& record, BlockRecord* block, int32_t type,
                  int32_t number, int16_t* found);
// capacity: bytes the caller's image buffer holds; 0 trusts the load length the PLC announces.
int32_t ReadBlock(Channel& channel, ConnectionRecord& record, BlockRecord* block, int32_t type,
                  int32_t number, size_t capacity);

int32_t Stop(Channel& channel, ConnectionRecord& record);
int32_t Start(Channel& channel, ConnectionRecord& record);
int32_t StartStopEx(Channel& channel, ConnectionRecord& record, int32_t mode);
int32_t Password(Channel& channel, ConnectionRecord& record, const uint8_t* password);
int32_t ReadSystemStatusList(Channel& channel, ConnectionRecord& record, uint32_t listIdAndIndex,
                             uint8_t* buffer, int32_t size);
int32_t RamToRom(Channel& channel, ConnectionRecord& record, uint32_t* result);
int32_t BlockStack(Channel& channel, ConnectionRecord& record, int16_t* flag, uint8_t* buffer);
int32_t InterruptStack(Channel& channel, ConnectionRecord& record, uint8_t* buffer, int16_t* flag);

inline constexpr size_t kBlockStackSize = 908;
inline constexpr size_t kInterruptStackSize = 88;
inline constexpr size_t kMaxMemoryBytes = 128;

// Memory access: `address` is the byte address (or timer/counter number) sent to the PLC.
int32_t ReadArea(Channel& channel, ConnectionRecord& record, uint8_t area, uint8_t size, int32_t address,
                 int32_t count, int32_t dataBlock, void* buffer);
int32_t WriteArea(Channel& channel, ConnectionRecord& record, uint8_t area, uint8_t size, int32_t address,
                  int32_t count, int32_t dataBlock, const void* buffer);
int32_t ToggleRead(Channel& channel, ConnectionRecord& record);

}  // namespace vaultra::s7
