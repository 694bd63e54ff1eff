// Operand areas through the programmer's variable-table service: one contiguous range per request,
// answered by an acknowledgement and a second telegram with the values (or the write confirmation).
#include <algorithm>
#include <vector>

#include <vaultra/byte_order.h>

#include "drivers/s7/requests.h"
#include "drivers/s7/services.h"
#include "drivers/s7/wire/byte_reader.h"

namespace vaultra::s7 {

namespace {

constexpr size_t kUserDataParam = 12;
constexpr size_t kAckData = 4;
constexpr size_t kValueRoom = 1042;
constexpr size_t kValuesAt = 18;
constexpr uint16_t kNoValuesLength = 14;
constexpr size_t kConfirmData = 16;
constexpr size_t kConfirmReturnCodeAt = 14;
constexpr uint8_t kItemSuccess = 0xFF;

bool RangeFits(ConnectionRecord& record, uint8_t size, int32_t count, int32_t address, int32_t dataBlock,
               MemoryRange& range) {
    const int64_t bytes = static_cast<int64_t>(count) * size;
    if (count < 0 || bytes > static_cast<int64_t>(kMaxMemoryBytes) || address < 0 || address > 0xFFFF ||
        dataBlock < 0 || dataBlock > 0xFFFF) {
        record.status = kStatusTooLong;
        return false;
    }
    range.size = size;
    range.count = static_cast<uint8_t>(count);
    range.address = static_cast<uint16_t>(address);
    range.dataBlock = static_cast<uint16_t>(dataBlock);
    return true;
}

// Words travel big-endian and live in host order in the caller's buffer.
void CopySwapped(const uint8_t* from, uint8_t* to, size_t bytes, uint8_t size) {
    if (size == kSizeByte) {
        std::copy_n(from, bytes, to);
        return;
    }
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        const uint16_t word = bytes::LoadBe16(std::span(from + i, 2), 0);
        bytes::StoreLe16(std::span(to + i, 2), 0, word);
    }
}

// matchRequest: the answer to the request just sent (the value telegram after it is the PLC's own).
bool ReceiveUserData(Channel& channel, ConnectionRecord& record, std::span<uint8_t> room, size_t& stored,
                     bool matchRequest) {
    uint8_t param[kUserDataParam] = {};
    Answer answer;
    answer.wantParam = sizeof param;
    answer.param = param;
    answer.takeData = true;
    answer.data = room;
    answer.matchRequest = matchRequest;
    if (!channel.Receive(record, answer))
        return false;
    stored = answer.dataStored;
    return true;
}

// Sends with the station-change rules, then takes the acknowledgement and the second telegram.
bool VariableExchange(Channel& channel, ConnectionRecord& record, uint8_t subfunction, const Bytes& data,
                      std::vector<uint8_t>& second, size_t& stored) {
    if (!channel.PrepareStation(record) ||
        !channel.Send(record, s7wire::kRosctrUserData, ProgrammerParam(subfunction), data))
        return false;
    uint8_t ack[kAckData] = {};
    size_t ackStored = 0;
    if (!ReceiveUserData(channel, record, ack, ackStored, true))
        return false;
    const uint16_t reference = channel.pduReference;
    if (!ReceiveUserData(channel, record, second, stored, false))
        return false;
    channel.pduReference = static_cast<uint16_t>(reference + 1);
    return true;
}

}  // namespace

int32_t ReadArea(Channel& channel, ConnectionRecord& record, uint8_t area, uint8_t size, int32_t address,
                 int32_t count, int32_t dataBlock, void* buffer) {
    ++channel.pduReference;
    MemoryRange range;
    range.area = area;
    if (!RangeFits(record, size, count, address, dataBlock, range) || buffer == nullptr)
        return 0;
    std::vector<uint8_t> values(kValueRoom);
    size_t stored = 0;
    if (!VariableExchange(channel, record, kProgrammerRead, ReadVariableData(range), values, stored))
        return 0;
    const size_t bytes = static_cast<size_t>(count) * size;
    if (stored < kValuesAt || bytes::LoadBe16(values, 2) <= kNoValuesLength || stored < kValuesAt + bytes) {
        record.status = kStatusNoValues;
        return 0;
    }
    CopySwapped(values.data() + kValuesAt, static_cast<uint8_t*>(buffer), bytes, size);
    record.status = kStatusOk;
    return 1;
}

int32_t WriteArea(Channel& channel, ConnectionRecord& record, uint8_t area, uint8_t size, int32_t address,
                  int32_t count, int32_t dataBlock, const void* buffer) {
    MemoryRange range;
    range.area = area;
    if (!RangeFits(record, size, count, address, dataBlock, range) || buffer == nullptr)
        return 0;
    const size_t bytes = static_cast<size_t>(count) * size;
    Bytes values(bytes);
    CopySwapped(static_cast<const uint8_t*>(buffer), values.data(), bytes, size);
    std::vector<uint8_t> confirmation(kConfirmData);
    size_t stored = 0;
    if (!VariableExchange(channel, record, kProgrammerWrite, WriteVariableData(range, values), confirmation,
                          stored))
        return 0;
    if (stored <= kConfirmReturnCodeAt || confirmation[kConfirmReturnCodeAt] != kItemSuccess) {
        record.status = kStatusNoValues;
        return 0;
    }
    record.status = kStatusOk;
    return 1;
}

int32_t ToggleRead(Channel& channel, ConnectionRecord& record) {
    if (!channel.PrepareStation(record) ||
        !channel.Send(record, s7wire::kRosctrUserData, ProgrammerParam(kProgrammerToggle), ToggleReadData()))
        return 0;
    uint8_t room[12] = {};
    size_t stored = 0;
    if (!ReceiveUserData(channel, record, room, stored, true))
        return 0;
    record.status = kStatusOk;
    return 1;
}

}  // namespace vaultra::s7
