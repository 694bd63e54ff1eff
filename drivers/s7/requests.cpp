#include "drivers/s7/requests.h"

#include <vaultra/byte_order.h>

#include "drivers/s7/wire/byte_reader.h"

namespace vaultra::s7 {

namespace {

void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes);
}
void Append(Bytes& out, const Bytes& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
void AppendText(Bytes& out, const char* text) {
    for (; *text != '\0'; ++text)
        out.push_back(static_cast<uint8_t>(*text));
}
void AppendPairs(Bytes& out, int pairs) {
    for (int i = 0; i < pairs; ++i)
        Append(out, {0x00, 0x01});
}
void AppendZeros(Bytes& out, int n) {
    out.insert(out.end(), static_cast<size_t>(n), 0x00);
}
// Requests grow after their fixed start; room reserved up front keeps every append in place.
Bytes Start(std::initializer_list<uint8_t> bytes) {
    Bytes out;
    out.reserve(64);
    Append(out, bytes);
    return out;
}

}  // namespace

std::optional<std::array<uint8_t, 2>> BlockTypeChars(int32_t typeIndex) {
    static constexpr char kCodes[kBlockTypeCount] = {'A', 'B', 'D', 'E', '8', 'C', 'F'};
    if (typeIndex < 0 || typeIndex >= kBlockTypeCount)
        return std::nullopt;
    return std::array<uint8_t, 2>{'0', static_cast<uint8_t>(kCodes[typeIndex])};
}

Bytes BlockName(const std::array<uint8_t, 2>& type, int32_t number) {
    Bytes out = Start({type[0], type[1]});
    uint32_t value = static_cast<uint32_t>(number) % 100000u;
    uint8_t digits[5];
    for (int i = 4; i >= 0; --i, value /= 10)
        digits[i] = static_cast<uint8_t>('0' + value % 10);
    out.insert(out.end(), digits, digits + 5);
    return out;
}

Bytes UserDataParam(uint8_t group, uint8_t subfunction) {
    return {0x00, 0x01, 0x12, 0x04, 0x11, group, subfunction, 0x00};
}

Bytes FollowUpParam(uint8_t group, uint8_t subfunction, uint8_t sequence, uint8_t dataUnitReference) {
    return {0x00, 0x01, 0x12, 0x08, 0x12, group, subfunction, sequence, dataUnitReference, 0x00, 0x00, 0x00};
}

Bytes ProgrammerParam(uint8_t subfunction) {
    return {0x00, 0x01, 0x12, 0x08, 0x12, 0x41, subfunction, 0x00, 0x00, 0x00, 0x00, 0x00};
}

Bytes ListAllData() {
    return {0x0A, 0x00, 0x00, 0x00};
}

Bytes ListOfTypeData(const std::array<uint8_t, 2>& type) {
    return {0xFF, 0x09, 0x00, 0x02, type[0], type[1]};
}

Bytes BlockInfoData(const std::array<uint8_t, 2>& type, int32_t number) {
    Bytes out = Start({0xFF, 0x09, 0x00, 0x08});
    Append(out, BlockName(type, number));
    out.push_back('B');
    return out;
}

Bytes StartUploadParam(const std::array<uint8_t, 2>& type, int32_t number) {
    Bytes out = Start({0x1D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, '_'});
    Append(out, BlockName(type, number));
    out.push_back('A');
    return out;
}

Bytes UploadParam(uint8_t function, uint8_t id2, uint8_t id3) {
    return {function, 0x00, 0x00, 0x00, 0x00, 0x00, id2, id3};
}

Bytes StopParam() {
    Bytes out = Start({0x29, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09});
    AppendText(out, "P_PROGRAM");
    return out;
}

Bytes StartParam() {
    Bytes out = Start({0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x00, 0x09});
    AppendText(out, "P_PROGRAM");
    return out;
}

Bytes RamToRomData() {
    Bytes out = Start({0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x02, 0x45, 0x50, 0x05});
    AppendText(out, "_MODU");
    return out;
}

Bytes PasswordData(const uint8_t* password) {
    Bytes out = Start({0xFF, 0x09, 0x00, 0x08});
    out.insert(out.end(), password, password + 8);
    return out;
}

Bytes SystemStatusListData(uint32_t listIdAndIndex) {
    Bytes out = Start({0xFF, 0x09, 0x00, 0x04});
    bytes::AppendBe32(out, listIdAndIndex);
    return out;
}

Bytes StackData(bool blockStack) {
    Bytes out = Start({0xFF, 0x09, 0x00, 0x1A, 0x00, 0x14, 0x00, 0x02});
    AppendZeros(out, 5);
    Append(out, {0x01, 0x00, 0x00});
    AppendPairs(out, 5);
    if (blockStack) {
        AppendZeros(out, 4);
    } else {
        Append(out, {0x00, 0x00, 0x01, 0x00});
    }
    return out;
}

Bytes ToggleReadData() {
    Bytes out = Start({0xFF, 0x09, 0x00, 0x1C, 0x00, 0x14, 0x00, 0x04});
    AppendZeros(out, 5);
    Append(out, {0x01, 0x00, 0x00});
    AppendPairs(out, 5);
    AppendZeros(out, 6);
    return out;
}

namespace {
void AppendRange(Bytes& out, const MemoryRange& range) {
    AppendPairs(out, 5);
    Append(out, {0x00, 0x00, 0x00, 0x01, static_cast<uint8_t>(range.area | range.size), range.count});
    bytes::AppendBe16(out, range.dataBlock);
    bytes::AppendBe16(out, range.address);
}
}  // namespace

Bytes ReadVariableData(const MemoryRange& range) {
    Bytes out = Start(
        {0xFF, 0x09, 0x00, 0x20, 0x00, 0x14, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08});
    AppendRange(out, range);
    return out;
}

Bytes WriteVariableData(const MemoryRange& range, const Bytes& values) {
    Bytes out = Start(
        {0xFF, 0x09, 0x00, 0x26, 0x00, 0x14, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x04});
    AppendRange(out, range);
    Append(out, {0x00, 0x09, 0x00, 0x02});
    Append(out, values);
    return out;
}

}  // namespace vaultra::s7
