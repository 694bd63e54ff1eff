// CPU control (start, stop, RAM to ROM), password, system status lists and stacks.
#include <algorithm>
#include <vector>

#include <vaultra/byte_order.h>

#include "drivers/link/lan.h"
#include "drivers/s7/requests.h"
#include "drivers/s7/services.h"
#include "drivers/s7/settings.h"

namespace vaultra::s7 {

namespace {

constexpr int32_t kRamToRomTimeoutTicks = 10909;
constexpr size_t kUserDataParam = 12;
constexpr size_t kControlAckParam = 8;
// A system status list answer fits one PDU.
constexpr size_t kStatusListRoom = 1024;

// A job acknowledged without data (start, stop).
int32_t ControlJob(Channel& channel, ConnectionRecord& record, const Bytes& param) {
    uint8_t ack[kControlAckParam] = {};
    Answer answer;
    answer.wantParam = sizeof ack;
    answer.param = ack;
    return Exchange(channel, record, s7wire::kRosctrJob, param, {}, answer) ? 1 : 0;
}

// User data with a 12-byte answer parameter and up to room.size() data bytes kept.
bool UserData(Channel& channel, ConnectionRecord& record, const Bytes& param, const Bytes& data,
              std::span<uint8_t> room, size_t& stored) {
    uint8_t answerParam[kUserDataParam] = {};
    Answer answer;
    answer.wantParam = sizeof answerParam;
    answer.param = answerParam;
    answer.takeData = true;
    answer.data = room;
    if (!Exchange(channel, record, s7wire::kRosctrUserData, param, data, answer))
        return false;
    stored = answer.dataStored;
    return true;
}

int32_t Stack(Channel& channel, ConnectionRecord& record, bool blockStack, uint8_t* buffer, int16_t* flag) {
    if (buffer == nullptr)
        return 0;
    const size_t room = blockStack ? kBlockStackSize : kInterruptStackSize;
    size_t stored = 0;
    if (!UserData(channel, record, ProgrammerParam(blockStack ? kProgrammerBstack : kProgrammerUstack),
                  StackData(blockStack), std::span(buffer, room), stored))
        return 0;
    if (flag != nullptr)
        *flag = 1;
    return 1;
}

}  // namespace

bool Exchange(Channel& channel, ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
              std::span<const uint8_t> data, Answer& answer) {
    answer.matchRequest = true;
    return channel.EnsureConnected(record) && channel.Send(record, rosctr, param, data) &&
           channel.Receive(record, answer);
}

int32_t Stop(Channel& channel, ConnectionRecord& record) {
    return ControlJob(channel, record, StopParam());
}

int32_t Start(Channel& channel, ConnectionRecord& record) {
    return ControlJob(channel, record, StartParam());
}

int32_t StartStopEx(Channel& channel, ConnectionRecord& record, int32_t mode) {
    switch (mode & 0xFFFF) {
        case 0:
            return Stop(channel, record);
        case 1:
        case 2:
            return Start(channel, record);
        default:
            return 0;
    }
}

int32_t Password(Channel& channel, ConnectionRecord& record, const uint8_t* password) {
    if (password == nullptr)
        return 0;
    uint8_t room[4] = {};
    size_t stored = 0;
    return UserData(channel, record, UserDataParam(kGroupSecurity, 0x01), PasswordData(password), room,
                    stored)
               ? 1
               : 0;
}

int32_t ReadSystemStatusList(Channel& channel, ConnectionRecord& record, uint32_t listIdAndIndex,
                             uint8_t* buffer, int32_t size) {
    if (buffer == nullptr || size < 0)
        return 0;
    std::vector<uint8_t> room(kStatusListRoom);
    size_t stored = 0;
    if (!UserData(channel, record, UserDataParam(kGroupCpu, 0x01), SystemStatusListData(listIdAndIndex), room,
                  stored))
        return 0;
    std::copy_n(room.begin(), std::min(stored, static_cast<size_t>(size)), buffer);
    return 1;
}

int32_t RamToRom(Channel& channel, ConnectionRecord& record, uint32_t* result) {
    ScopedTimeout longWait(kRamToRomTimeoutTicks);
    uint8_t param[4] = {};
    uint8_t data[1] = {};
    Answer answer;
    answer.wantParam = sizeof param;
    answer.param = param;
    answer.takeData = true;
    answer.data = data;
    const bool ok = Exchange(channel, record, s7wire::kRosctrJob, {}, RamToRomData(), answer);
    if (result != nullptr)
        *result = bytes::LoadBe32(param, 0);
    // The serial library also reports the function and status bytes of a failed answer.
    if (!ok && link::LinkFlavour() == link::Flavour::kSerialOnly)
        record.plcError = bytes::LoadBe16(param, 2);
    return ok ? 1 : 0;
}

int32_t BlockStack(Channel& channel, ConnectionRecord& record, int16_t* flag, uint8_t* buffer) {
    return Stack(channel, record, true, buffer, flag);
}

int32_t InterruptStack(Channel& channel, ConnectionRecord& record, uint8_t* buffer, int16_t* flag) {
    if (flag != nullptr)
        *flag = 0;
    return Stack(channel, record, false, buffer, flag);
}

}  // namespace vaultra::s7
