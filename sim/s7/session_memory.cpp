// Memory access of the simulated PLC: the variable-table service with its acknowledgement and value
// telegrams, the read-variable and write-variable jobs, and the variable and block status jobs.
#include <algorithm>

#include "sim/s7/errors.h"
#include "sim/s7/session.h"

namespace vaultra::sim::s7 {

namespace {

constexpr std::size_t kVartabItemOffset = 30;
constexpr std::size_t kVartabValuesOffset = 40;
constexpr std::size_t kMaxBlockStatusBytes = 600;
constexpr std::size_t kBlockStatusHead = 26;

struct AreaRange {
    Area area = Area::Flags;
    std::uint16_t db = 0;
    std::uint32_t start = 0;  // byte offset in the area
    std::uint32_t length = 0;
};

std::size_t ElementSize(std::uint8_t sizeCode) {
    switch (sizeCode) {
        case 1:
            return 1;
        case 2:
            return 2;
        case 3:
            return 4;
        case 4:
            return 2;  // timer or counter
        default:
            return 0;
    }
}

// Timers and counters are addressed by number, every other area by byte.
std::uint32_t ByteOffset(Area area, std::uint32_t address) {
    return area == Area::Timers || area == Area::Counters ? address * 2 : address;
}

// area|size, count, data block number, start address: the item of a variable-table request.
std::optional<AreaRange> ParseVartabItem(ByteView data) {
    if (data.size() < kVartabItemOffset + 6) {
        return std::nullopt;
    }
    const std::uint8_t area = data[kVartabItemOffset] >> 4;
    const std::size_t size = ElementSize(data[kVartabItemOffset] & 0x0F);
    if (area > static_cast<std::uint8_t>(Area::DataBlock) || size == 0) {
        return std::nullopt;
    }
    AreaRange range;
    range.area = static_cast<Area>(area);
    range.db = bytes::LoadBe16(data, kVartabItemOffset + 2);
    range.start = ByteOffset(range.area, bytes::LoadBe16(data, kVartabItemOffset + 4));
    range.length = static_cast<std::uint32_t>(data[kVartabItemOffset + 1] * size);
    return range;
}

// Item count and items behind two parameter words: with one item its return code lands at telegram
// data byte 14 and its values at 18.
Bytes ItemsPayload(std::uint16_t items, ByteView itemBytes) {
    Bytes data;
    bytes::AppendBe16(data, items);
    Append(data, itemBytes);
    return TisPayload(Bytes(4, 0), data);
}

// Return code, transport size (04: lengths in bits), length and values of one item.
void PutTisItem(Bytes& items, std::uint8_t returnCode, ByteView values) {
    Put8(items, returnCode);
    Put8(items, values.empty() ? 0x00 : 0x04);
    bytes::AppendBe16(items, static_cast<std::uint16_t>(values.size() * 8));
    Append(items, values);
}

// Read-variable areas of the any-pointer and the operand area they reach.
std::optional<Area> AnyPointerArea(std::uint8_t code, bool write) {
    switch (code) {
        case 0x80:
            return write ? Area::PeripheralOutputs : Area::PeripheralInputs;
        case 0x81:
            return Area::Inputs;
        case 0x82:
            return Area::Outputs;
        case 0x83:
            return Area::Flags;
        case 0x84:
            return Area::DataBlock;
        case 0x1C:
            return Area::Counters;
        case 0x1D:
            return Area::Timers;
        default:
            return std::nullopt;
    }
}

std::size_t TransportElementSize(std::uint8_t transportSize) {
    switch (transportSize) {
        case 0x01:  // bit
        case 0x02:  // byte
        case 0x03:  // char
            return 1;
        case 0x04:  // word
        case 0x05:  // int
        case 0x1C:  // counter
        case 0x1D:  // timer
            return 2;
        case 0x06:  // double word
        case 0x07:  // double int
        case 0x08:  // real
            return 4;
        default:
            return 0;
    }
}

struct VarItem {
    std::uint8_t transportSize = 0;
    AreaRange range;
    int bit = -1;  // bit number for bit access
};

std::optional<VarItem> ParseVarItem(ByteReader& reader, bool write) {
    const ByteView itemFields = reader.Take(12);
    if (itemFields.size() != 12 || itemFields[0] != 0x12 || itemFields[1] != 0x0A || itemFields[2] != 0x10) {
        return std::nullopt;
    }
    VarItem item;
    item.transportSize = itemFields[3];
    const std::size_t size = TransportElementSize(itemFields[3]);
    const auto area = AnyPointerArea(itemFields[8], write);
    if (size == 0 || !area) {
        return VarItem{};
    }
    const std::uint32_t address =
        static_cast<std::uint32_t>(itemFields[9]) << 16 | bytes::LoadBe16(itemFields, 10);
    item.range.area = *area;
    item.range.db = bytes::LoadBe16(itemFields, 6);
    const bool counted = *area == Area::Timers || *area == Area::Counters;
    item.range.start = counted ? ByteOffset(*area, address) : address >> 3;
    item.range.length = static_cast<std::uint32_t>(bytes::LoadBe16(itemFields, 4) * size);
    if (itemFields[3] == 0x01) {
        item.bit = static_cast<int>(address & 7);
        item.range.length = 1;
    }
    return item;
}

// Data transport size and length field of a read answer item: bits for bit and byte-wise data,
// bytes for timers and counters.
void PutReadItem(Bytes& data, const VarItem& item, const Bytes& values) {
    const bool octets = item.transportSize == 0x1C || item.transportSize == 0x1D;
    Put8(data, error::kItemOk);
    Put8(data, item.bit >= 0 ? 0x03 : octets ? 0x09 : 0x04);
    bytes::AppendBe16(data, static_cast<std::uint16_t>(item.bit >= 0 ? 1
                                                       : octets      ? values.size()
                                                                     : values.size() * 8));
    Append(data, values);
}

}  // namespace

std::vector<Pdu> Session::VartabRead(const Pdu& request) {
    const auto range = ParseVartabItem(request.data);
    if (!range) {
        return {Answer(request, kGroupProgrammer, 0x02, {}, error::kBadRequest)};
    }
    const auto values = plc_.Read(range->area, range->db, range->start, range->length);
    Bytes item;
    PutTisItem(item, values ? error::kItemOk : error::kItemAddressOutOfRange, values ? *values : Bytes{});
    const std::uint8_t sequence = sequence_ + 1;
    return {Answer(request, kGroupProgrammer, 0x02, {}),
            Push(kGroupProgrammer, 0x02, sequence, ItemsPayload(1, item))};
}

std::vector<Pdu> Session::VartabWrite(const Pdu& request) {
    const auto range = ParseVartabItem(request.data);
    if (!range) {
        return {Answer(request, kGroupProgrammer, 0x08, {}, error::kBadRequest)};
    }
    const ByteView data = request.data;
    std::uint8_t code = error::kItemAddressOutOfRange;
    if (data.size() >= kVartabValuesOffset + range->length &&
        plc_.Write(range->area, range->db, range->start, data.subspan(kVartabValuesOffset, range->length))) {
        code = error::kItemOk;
    }
    Bytes item;
    PutTisItem(item, code, {});
    const std::uint8_t sequence = sequence_ + 1;
    return {Answer(request, kGroupProgrammer, 0x08, {}),
            Push(kGroupProgrammer, 0x08, sequence, ItemsPayload(1, item))};
}

Pdu Session::ToggleRead(const Pdu& request) {
    return Answer(request, kGroupProgrammer, 0x10, TisPayload(Bytes(4, 0), {}));
}

Pdu Session::ReadVar(const Pdu& request) {
    ByteReader reader(request.param);
    reader.Skip(1);
    const std::uint8_t count = reader.U8();
    Bytes data;
    for (std::uint8_t i = 0; i < count; ++i) {
        const auto item = ParseVarItem(reader, false);
        if (!item) {
            return ErrorAck(request, error::kBadRequest);
        }
        if (data.size() % 2 != 0) {
            Put8(data, 0x00);
        }
        auto values = item->transportSize == 0 ? std::nullopt
                                               : plc_.Read(item->range.area, item->range.db,
                                                           item->range.start, item->range.length);
        if (!values) {
            const bool no_db =
                item->range.area == Area::DataBlock && plc_.Blocks().Find({kDB, item->range.db}) == nullptr;
            Append(data,
                   Bytes{no_db ? error::kItemNoSuchObject : error::kItemAddressOutOfRange, 0x00, 0x00, 0x00});
            continue;
        }
        if (item->bit >= 0) {
            (*values)[0] = static_cast<std::uint8_t>((*values)[0] >> item->bit & 1);
        }
        PutReadItem(data, *item, *values);
    }
    if (12 + 2 + data.size() > pduSize_) {
        return ErrorAck(request, error::kBadRequest);
    }
    return AckData(request, {0x04, count}, std::move(data));
}

Pdu Session::WriteVar(const Pdu& request) {
    ByteReader params(request.param);
    params.Skip(1);
    const std::uint8_t count = params.U8();
    ByteReader values(request.data);
    Bytes codes;
    for (std::uint8_t i = 0; i < count; ++i) {
        const auto item = ParseVarItem(params, true);
        if (!item) {
            return ErrorAck(request, error::kBadRequest);
        }
        if (values.Position() % 2 != 0) {
            values.Skip(1);
        }
        values.Skip(1);
        const std::uint8_t transport = values.U8();
        const std::uint16_t length = values.U16();
        const ByteView bytes =
            values.Take(transport == 0x03 || transport == 0x04 ? (length + 7) / 8 : length);
        if (!values.Ok()) {
            return ErrorAck(request, error::kBadRequest);
        }
        bool written = false;
        if (item->bit >= 0 && !bytes.empty()) {
            auto current = plc_.Read(item->range.area, item->range.db, item->range.start, 1);
            if (current) {
                const std::uint8_t mask = static_cast<std::uint8_t>(1 << item->bit);
                const std::uint8_t next = (bytes[0] & 1) ? ((*current)[0] | mask) : ((*current)[0] & ~mask);
                written = plc_.Write(item->range.area, item->range.db, item->range.start, Bytes{next});
            }
        } else if (item->transportSize != 0 && bytes.size() == item->range.length) {
            written = plc_.Write(item->range.area, item->range.db, item->range.start, bytes);
        }
        codes.push_back(written ? error::kItemOk : error::kItemAddressOutOfRange);
    }
    return AckData(request, {0x05, count}, std::move(codes));
}

std::vector<Pdu> Session::StatusVarInit(const Pdu& request) {
    // FF 09 len, 00 14, len, 00 00 00 01 00 00 00, answer size, five pairs 00 01, 02 00, count, items.
    ByteReader reader(request.data);
    reader.Skip(28);
    const std::uint16_t count = reader.U16();
    std::vector<StatusItem> items;
    for (std::uint16_t i = 0; i < count && reader.Ok(); ++i) {
        const std::uint8_t area_size = reader.U8();
        reader.Skip(1);
        StatusItem item;
        item.area = static_cast<Area>(std::min<std::uint8_t>(area_size >> 4, 7));
        item.size = area_size & 0x0F;
        item.db = reader.U16();
        item.address = reader.U16();
        items.push_back(item);
    }
    if (!reader.Ok() || count == 0) {
        return {Answer(request, kGroupProgrammer, 0x02, {}, error::kBadRequest)};
    }
    statusItems_ = std::move(items);
    varJob_ = nextJob_++;
    UserDataAnswer answer{kGroupProgrammer, 0x02, varJob_, 0, true, 0, false};
    return {UserData(request.reference, answer, {})};
}

Bytes Session::StatusValues() const {
    Bytes items;
    for (const StatusItem& item : statusItems_) {
        const std::size_t size = std::max<std::size_t>(2, ElementSize(item.size));
        const auto values = plc_.Read(item.area, item.db, ByteOffset(item.area, item.address),
                                      static_cast<std::uint32_t>(size));
        PutTisItem(items, values ? error::kItemOk : error::kItemAddressOutOfRange,
                   values ? *values : Bytes(size, 0));
    }
    return ItemsPayload(static_cast<std::uint16_t>(statusItems_.size()), items);
}

std::vector<Pdu> Session::StatusBlockInit(const Pdu& request) {
    // Selection list after 38 bytes of job header: pairs of register selection and status byte count.
    const Bytes& data = request.data;
    std::size_t status_bytes = 0;
    for (std::size_t i = 39; i < data.size(); i += 2) {
        status_bytes += data[i];
    }
    blockStatusBytes_ = std::min(status_bytes, kMaxBlockStatusBytes);
    blockJob_ = nextJob_++;
    UserDataAnswer answer{kGroupProgrammer, 0x01, blockJob_, 0, true, 0, false};
    Bytes values(kBlockStatusHead + blockStatusBytes_, 0);
    // The PLC sends the first status data on its own.
    return {UserData(request.reference, answer, {}), Push(kGroupProgrammer, 0x01, blockJob_, values)};
}

std::vector<Pdu> Session::StatusData(const Pdu& request) {
    const Bytes& data = request.data;
    const bool block = data.size() >= 30 && data[28] == 0x01;
    if (block ? blockJob_ == 0 : varJob_ == 0) {
        return {Answer(request, kGroupProgrammer, 0x0E, {}, error::kNoSuchJob)};
    }
    const Bytes values = block ? Bytes(kBlockStatusHead + blockStatusBytes_, 0) : StatusValues();
    const std::uint8_t job = block ? blockJob_ : varJob_;
    return {Answer(request, kGroupProgrammer, 0x0E, {}),
            Push(kGroupProgrammer, block ? 0x01 : 0x02, job, values)};
}

Pdu Session::StatusExit(const Pdu& request) {
    blockJob_ = 0;
    blockStatusBytes_ = 0;
    return Answer(request, kGroupProgrammer, 0x0F, {});
}

}  // namespace vaultra::sim::s7
