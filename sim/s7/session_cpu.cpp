// CPU control and information of the simulated PLC: start, stop, password, system status lists,
// clearing the program and the stacks.
#include <algorithm>

#include "sim/s7/errors.h"
#include "sim/s7/session.h"
#include "sim/s7/szl.h"

namespace vaultra::sim::s7 {

namespace {

constexpr std::size_t kInterruptStackBytes = 84;

// The block stack in STOP: the open blocks, OB1 calling FB1 calling FC1, each entry type, number and
// the return address.
Bytes BlockStackPayload(const Program& program) {
    Bytes payload;
    const BlockId chain[] = {{kOB, 1}, {kFB, 1}, {kFC, 1}};
    std::uint16_t depth = 0;
    Bytes entries;
    for (const BlockId& id : chain) {
        if (program.Find(id) == nullptr) {
            continue;
        }
        Put8(entries, id.type);
        Put8(entries, 0x00);
        bytes::AppendBe16(entries, id.number);
        bytes::AppendBe32(entries, 0x00000010u * (depth + 1));
        ++depth;
    }
    bytes::AppendBe16(payload, depth);
    Append(payload, entries);
    return TisPayload(Bytes(4, 0), payload);
}

Bytes InterruptStackPayload(OperatingMode mode) {
    Bytes data(kInterruptStackBytes - 8, 0);
    data[0] = mode == OperatingMode::Stop ? 0x04 : 0x08;
    data[1] = 0x4E;  // cause: stop requested by the programming device
    for (std::size_t i = 2; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 3);
    }
    return TisPayload(Bytes(4, 0), data);
}

}  // namespace

Pdu Session::StartStop(const Pdu& request, Service service) {
    if (service == Service::Start) {
        if (plc_.Switch() == Keyswitch::Stop) {
            return ErrorAck(request, error::kWrongMode);
        }
        plc_.SetMode(OperatingMode::Run);
        plc_.Logger().Trace(name_ + ": PLC in RUN");
        return AckData(request, {0x28});
    }
    plc_.SetMode(OperatingMode::Stop);
    plc_.Logger().Trace(name_ + ": PLC in STOP");
    return AckData(request, {0x29});
}

Pdu Session::Password(const Pdu& request, Service service) {
    const std::uint8_t sub = service == Service::Password ? 0x01 : 0x02;
    if (service == Service::LogOff) {
        loggedOn_ = false;
        return Answer(request, kGroupSecurity, sub, {});
    }
    const Bytes& data = request.data;
    if (data.size() < 12 || data[0] != 0xFF) {
        return Answer(request, kGroupSecurity, sub, {}, error::kBadRequest);
    }
    const Bytes given(data.begin() + 4, data.begin() + 12);
    if (plc_.IsProtected() && given != plc_.EncodedPassword()) {
        return Answer(request, kGroupSecurity, sub, {}, error::kWrongPassword);
    }
    loggedOn_ = true;
    return Answer(request, kGroupSecurity, sub, {});
}

Pdu Session::ReadSzl(const Pdu& request) {
    const Bytes& data = request.data;
    if (data.size() < 8 || data[0] != 0xFF) {
        return Answer(request, kGroupCpu, 0x01, {}, error::kBadRequest);
    }
    const auto list = SystemStatusList(plc_, bytes::LoadBe16(data, 4), bytes::LoadBe16(data, 6), loggedOn_);
    if (!list) {
        return Answer(request, kGroupCpu, 0x01, {}, error::kNoSuchList);
    }
    return Answer(request, kGroupCpu, 0x01, *list);
}

Pdu Session::ClearAll(const Pdu& request) {
    if (plc_.Mode() != OperatingMode::Stop) {
        return Answer(request, kGroupProgrammer, 0x0C, {}, error::kWrongMode);
    }
    // The user program goes; system data and the system's own blocks stay.
    std::vector<BlockId> doomed;
    for (const auto& [id, image] : plc_.Blocks().Blocks()) {
        if (id.type != kSDB && id.type != kSFC && id.type != kSFB) {
            doomed.push_back(id);
        }
    }
    for (const BlockId& id : doomed) {
        plc_.Blocks().Erase(id);
    }
    passive_.clear();
    plc_.Logger().Trace(name_ + ": program cleared, " + std::to_string(doomed.size()) + " blocks deleted");
    return Answer(request, kGroupProgrammer, 0x0C, {});
}

Pdu Session::Stack(const Pdu& request, Service service) {
    if (service == Service::InterruptStack) {
        return Answer(request, kGroupProgrammer, 0x03, InterruptStackPayload(plc_.Mode()));
    }
    // The block stack only exists while the CPU stands in STOP.
    if (plc_.Mode() != OperatingMode::Stop) {
        return Answer(request, kGroupProgrammer, 0x04, {}, error::kWrongMode);
    }
    return Answer(request, kGroupProgrammer, 0x04, BlockStackPayload(plc_.Blocks()));
}

}  // namespace vaultra::sim::s7
