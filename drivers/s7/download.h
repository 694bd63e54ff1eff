// Block download and block management: the requests the PC sends, the transfer image it builds from the
// caller's block image, and the functions behind S7WrBst, S7CreateBst, S7DelBst, S7Compress, S7ClearAll.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <vaultra/records.h>

#include "drivers/s7/channel.h"

namespace vaultra::s7 {

using Bytes = std::vector<uint8_t>;

// 1A 00 01 00 00 00 00 00 09 "_0A00001P" 0D "1" load length and code length as six digits each.
Bytes RequestDownloadParam(const std::array<uint8_t, 2>& type, int32_t number, uint32_t loadLength,
                           uint32_t codeLength);
// 28 00 00 00 00 00 00 FD 00 0A 01 00 <name> <letter> 05 <service>: insert ("P", "_INSE") and delete
// ("B", "_DELE").
Bytes BlockControlParam(const std::array<uint8_t, 2>& type, int32_t number, char letter, const char* service);
// 28 00 00 00 00 00 00 FD 00 00 05 "_GARB".
Bytes CompressParam();
// The programmer command data of the clear: FF 09 00 18 00 14, seven zeros, 01, four zeros, four times
// 00 01, 00 00.
Bytes ClearAllData();

// S7 time stamp: milliseconds since local midnight, then days since 1 January 1984 (both big-endian).
using S7Timestamp = std::array<uint8_t, 6>;
S7Timestamp TimestampOf(int year, int month, int day, uint32_t millisecondsOfDay);
// The current local time as a time stamp; tests may replace the clock.
using TimestampClock = S7Timestamp (*)();
void SetTimestampClock(TimestampClock clock);

// The image the download sends: 4-byte data header (load length, 00 FB), then exactly `loadLength` bytes.
// Adjusts the caller's header as the PLC expects it (padded DB code, even segment). Nothing when the
// caller's header is unusable.
struct TransferImage {
    Bytes bytes;  // data header + load-memory image
    uint32_t loadLength = 0;
    uint32_t codeLength = 0;
};
std::optional<TransferImage> BuildTransferImage(uint8_t* image);

int32_t WriteBlock(Channel& channel, ConnectionRecord& record, BlockRecord* block, int32_t type);
// Maps the block type code of the block record to the type index; 0 without traffic for other codes.
int32_t CreateBlock(Channel& channel, ConnectionRecord& record, BlockRecord* block);
int32_t DeleteBlock(Channel& channel, ConnectionRecord& record, int32_t type, int32_t number);
int32_t Compress(Channel& channel, ConnectionRecord& record);
int32_t ClearAll(Channel& channel, ConnectionRecord& record);

}  // namespace vaultra::s7
