// Parameter and data parts of the S7 requests the driver sends (block functions, upload, control,
// system status lists, variable-table memory access). Byte layouts only; no state.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vaultra::s7 {

using Bytes = std::vector<uint8_t>;

inline constexpr int kBlockTypeCount = 7;

// The two ASCII characters of a block type index ("0A" for DB ...); nullopt outside 0..6.
std::optional<std::array<uint8_t, 2>> BlockTypeChars(int32_t typeIndex);

// Type characters followed by the number as five decimal digits (number modulo 100000).
Bytes BlockName(const std::array<uint8_t, 2>& type, int32_t number);

// User data parameter 00 01 12 04 11 <group> <subfunction> 00.
Bytes UserDataParam(uint8_t group, uint8_t subfunction);
// Follow-up for the next part of a long answer: 00 01 12 08 12 <group> <subfunction> <sequence>
// <data unit reference> 00 00 00.
Bytes FollowUpParam(uint8_t group, uint8_t subfunction, uint8_t sequence, uint8_t dataUnitReference);
// Programmer command parameter 00 01 12 08 12 41 <subfunction> 00 00 00 00 00.
Bytes ProgrammerParam(uint8_t subfunction);

inline constexpr uint8_t kGroupBlocks = 0x43;
inline constexpr uint8_t kGroupCpu = 0x44;
inline constexpr uint8_t kGroupSecurity = 0x45;
inline constexpr uint8_t kListAll = 0x01;
inline constexpr uint8_t kListOfType = 0x02;
inline constexpr uint8_t kBlockInfo = 0x03;

Bytes ListAllData();                                                      // 0A 00 00 00
Bytes ListOfTypeData(const std::array<uint8_t, 2>& type);                 // FF 09 00 02 t t
Bytes BlockInfoData(const std::array<uint8_t, 2>& type, int32_t number);  // FF 09 00 08 name "B"

Bytes StartUploadParam(const std::array<uint8_t, 2>& type, int32_t number);
// Upload (1E) and end upload (1F) with the last two bytes of the upload identifier.
Bytes UploadParam(uint8_t function, uint8_t id2, uint8_t id3);
inline constexpr uint8_t kUpload = 0x1E;
inline constexpr uint8_t kEndUpload = 0x1F;

Bytes StopParam();
Bytes StartParam();
Bytes RamToRomData();
Bytes PasswordData(const uint8_t* password);
Bytes SystemStatusListData(uint32_t listIdAndIndex);
Bytes StackData(bool blockStack);
Bytes ToggleReadData();

// Memory areas (high nibble) and element sizes.
enum Area : uint8_t {
    kAreaFlags = 0x00,
    kAreaInputs = 0x10,
    kAreaOutputs = 0x20,
    kAreaPeripheralInputs = 0x30,
    kAreaPeripheralOutputs = 0x40,
    kAreaTimers = 0x50,
    kAreaCounters = 0x60,
    kAreaDataBlock = 0x70,
};
inline constexpr uint8_t kSizeByte = 1;
inline constexpr uint8_t kSizeWord = 2;

struct MemoryRange {
    uint8_t area = kAreaFlags;
    uint8_t size = kSizeByte;
    uint8_t count = 0;
    uint16_t dataBlock = 0;
    uint16_t address = 0;  // byte address, or timer/counter number
};

Bytes ReadVariableData(const MemoryRange& range);
Bytes WriteVariableData(const MemoryRange& range, const Bytes& values);

inline constexpr uint8_t kProgrammerRead = 0x02;
inline constexpr uint8_t kProgrammerWrite = 0x08;
inline constexpr uint8_t kProgrammerToggle = 0x10;
inline constexpr uint8_t kProgrammerUstack = 0x03;
inline constexpr uint8_t kProgrammerBstack = 0x04;

}  // namespace vaultra::s7
