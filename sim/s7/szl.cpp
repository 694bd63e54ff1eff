#include "sim/s7/szl.h"

#include <string_view>
#include <vector>

namespace vaultra::sim::s7 {

namespace {

constexpr std::string_view kOrderNumber = "VLT 1000-0SIM1-0AA0 ";  // 20 characters
constexpr std::uint16_t kModuleIndexes[] = {0x0001, 0x0006, 0x0007};

struct Component {
    std::uint16_t index;
    std::string_view text;
};
constexpr Component kComponents[] = {
    {0x0001, "VAULTRA SIMULATED PLC"}, {0x0002, "SIM CPU"},        {0x0003, ""},
    {0x0004, "Vaultra plcsim"},        {0x0005, "S VLT-00000001"}, {0x0007, "SIM CPU"},
};

void PutText(Bytes& out, std::string_view text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0x00);
    }
}

Bytes ModuleRecord(std::uint16_t index) {
    Bytes record;
    bytes::AppendBe16(record, index);
    PutText(record, kOrderNumber, 20);
    bytes::AppendBe16(record, 0x0000);
    bytes::AppendBe16(record, index == 0x0007 ? 0x5632 : 0x0001);  // version V2.x for the firmware record
    bytes::AppendBe16(record, index == 0x0007 ? 0x0600 : 0x0001);
    return record;
}

Bytes ComponentRecord(const Component& component) {
    Bytes record;
    bytes::AppendBe16(record, component.index);
    PutText(record, component.text, 32);
    return record;
}

std::uint16_t SwitchPosition(Keyswitch keyswitch) {
    switch (keyswitch) {
        case Keyswitch::Run:
            return 1;
        case Keyswitch::RunP:
            return 2;
        case Keyswitch::Stop:
            return 3;
    }
    return 2;
}

Bytes ProtectionRecord(const Plc& plc, bool loggedOn) {
    const std::uint16_t by_switch = plc.Switch() == Keyswitch::Run ? 2 : 1;
    const std::uint16_t by_parameter = plc.IsProtected() ? 3 : 1;
    const std::uint16_t effective = loggedOn ? 1 : std::max(by_switch, by_parameter);
    Bytes record;
    bytes::AppendBe16(record, 0x0004);
    bytes::AppendBe16(record, by_switch);
    bytes::AppendBe16(record, by_parameter);
    bytes::AppendBe16(record, effective);
    bytes::AppendBe16(record, SwitchPosition(plc.Switch()));
    bytes::AppendBe16(record, 2);  // start-up switch: warm restart
    AppendZeros(record, 40 - record.size());
    return record;
}

Bytes ModeRecord(const Plc& plc) {
    Bytes record;
    bytes::AppendBe16(record, 0x4302);  // event: operating mode change
    Put8(record, 0xFF);
    Put8(record, plc.Mode() == OperatingMode::Run ? 0x08 : 0x04);
    AppendZeros(record, 20 - record.size());
    return record;
}

Bytes List(std::uint16_t id, std::uint16_t index, std::uint16_t recordLength,
           const std::vector<Bytes>& records) {
    Bytes payload;
    bytes::AppendBe16(payload, id);
    bytes::AppendBe16(payload, index);
    bytes::AppendBe16(payload, recordLength);
    bytes::AppendBe16(payload, static_cast<std::uint16_t>(records.size()));
    for (const Bytes& record : records) {
        Append(payload, record);
    }
    return payload;
}

std::optional<Bytes> ComponentList(std::uint16_t id, std::uint16_t index) {
    std::vector<Bytes> records;
    for (const Component& component : kComponents) {
        if (id == 0x001C || component.index == index) {
            records.push_back(ComponentRecord(component));
        }
    }
    return records.empty() ? std::nullopt : std::optional<Bytes>(List(id, index, 34, records));
}

std::optional<Bytes> ModuleList(std::uint16_t id, std::uint16_t index) {
    std::vector<Bytes> records;
    for (std::uint16_t module_index : kModuleIndexes) {
        if (id == 0x0011 || module_index == index) {
            records.push_back(ModuleRecord(module_index));
        }
    }
    return records.empty() ? std::nullopt : std::optional<Bytes>(List(id, index, 28, records));
}

}  // namespace

std::optional<Bytes> SystemStatusList(const Plc& plc, std::uint16_t id, std::uint16_t index, bool loggedOn) {
    switch (id) {
        case 0x0000: {
            std::vector<Bytes> ids;
            for (std::uint16_t known : {0x0000, 0x0011, 0x0111, 0x001C, 0x011C, 0x0132, 0x0424}) {
                Bytes entry;
                bytes::AppendBe16(entry, known);
                ids.push_back(entry);
            }
            return List(id, index, 2, ids);
        }
        case 0x0011:
        case 0x0111:
            return ModuleList(id, index);
        case 0x001C:
        case 0x011C:
            return ComponentList(id, index);
        case 0x0132: {
            if (index == 0x0004) {
                return List(id, index, 40, {ProtectionRecord(plc, loggedOn)});
            }
            if (index != 0x0001 && index != 0x0002 && index != 0x0005 && index != 0x0008) {
                return std::nullopt;
            }
            Bytes record;
            bytes::AppendBe16(record, index);
            AppendZeros(record, 38);
            return List(id, index, 40, {record});
        }
        case 0x0424:
            return List(id, index, 20, {ModeRecord(plc)});
        default:
            return std::nullopt;
    }
}

}  // namespace vaultra::sim::s7
