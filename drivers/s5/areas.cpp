// Operand areas (I/O, flags, timers, counters, system data) and data-block words.
#include "drivers/s5/functions.h"
#include "drivers/s5/memory_access.h"
#include "drivers/s5/plc_info.h"
#include "drivers/s5/settings.h"
#include "drivers/s5/word_buffer.h"

namespace vaultra::s5 {
namespace {

constexpr uint32_t kClass1ChunkedFrom = 0xB000;

// The base word of an area, read from the PLC first when the context does not know it yet.
uint16_t AreaBase(ConnectionRecord& r, Area area) {
    const bool class0 = CpuClass(r) == 0;
    switch (area) {
        case Area::PeripheralInputs:
            return Param(r, kParamPeripheralInputs);
        case Area::PeripheralOutputs:
            return Param(r, kParamPeripheralOutputs);
        case Area::Inputs:
            return Param(r, kParamInputs);
        case Area::Outputs:
            return Param(r, kParamOutputs);
        case Area::Flags:
            return Param(r, kParamFlags);
        case Area::SystemWords:
            return r.area.s5.systemWordBase;
        case Area::Timers:
            return Param(r, kParamTimers);
        case Area::Counters:
            return Param(r, kParamCounters);
        case Area::SystemData:
            return Param(r, class0 ? kParamSystemDataClass0 : kParamSystemData);
        case Area::Absolute:
            return 0;
    }
    return 0;
}

// System data of the classes other than 0 sit at 0xEA00 unless the PLC names another place.
void DefaultSystemData(ConnectionRecord& r) {
    if (CpuClass(r) == 0)
        return;
    const bool unnamed = Param(r, kParamSystemData) == 0 || (LibrarySettings().variant == Variant::Serial &&
                                                             (Param(r, kParamIdentification) & 0xFF) == 0xFF);
    if (unnamed)
        SetParam(r, kParamSystemData, kDefaultSystemDataBase);
}

bool ResolveBase(Line& line, Area area, uint16_t& base) {
    ConnectionRecord& r = line.Record();
    if (area == Area::Absolute) {
        base = 0;
        return true;
    }
    base = AreaBase(r, area);
    if (base == 0 && area != Area::SystemData) {
        AGTest(r);
        base = AreaBase(r, area);
    }
    if (area == Area::SystemData) {
        if (base == 0 && CpuClass(r) == 0)
            AGTest(r);
        DefaultSystemData(r);
        base = AreaBase(r, area);
    }
    if (base != 0) {
        line.ClearError();
        return true;
    }
    line.Fail(kErrAbsent);
    return false;
}

bool AreaPath(Area area) {
    return area == Area::PeripheralInputs || area == Area::PeripheralOutputs || area == Area::Inputs ||
           area == Area::Outputs || area == Area::Flags || area == Area::SystemWords;
}

// Word-organised PLCs keep one area byte per memory word: the reply spaces every byte with another.
bool ReadSpaced(Line& line, uint32_t address, uint8_t* data, uint32_t count, int cls) {
    const bool longAddress = cls == 3;
    const uint32_t end = address + 2 * count - 1;
    auto sendAddress = [&](uint32_t a) {
        return (!longAddress || line.SendWord(static_cast<uint16_t>(a >> 16))) &&
               line.SendWord(static_cast<uint16_t>(a));
    };
    if (!line.FunctionRequest(kFnReadMemory) || !sendAddress(address) || !sendAddress(end) ||
        !line.CloseWithEot() || !line.AcceptTelegram() || !line.SkipBytes(longAddress ? 9 : 5))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t b[4] = {};
        for (uint8_t& x : b) {
            if (!line.ReadDataByte(x))
                return false;
        }
        StoreValue(data, i, static_cast<uint16_t>(b[1] << 8 | b[3]));
    }
    return line.EndOfReply() && line.FinishFunction();
}

bool WriteSpaced(Line& line, uint32_t address, const uint8_t* data, Unit unit, uint32_t count, int cls) {
    const uint32_t end = address + static_cast<uint32_t>(unit) * count - 1;
    const bool longAddress = cls == 3;
    auto sendAddress = [&](uint32_t a) {
        return (!longAddress || line.SendWord(static_cast<uint16_t>(a >> 16))) &&
               line.SendWord(static_cast<uint16_t>(a));
    };
    return line.FunctionRequest(kFnWriteMemory) && sendAddress(address) &&
           (!longAddress || sendAddress(end)) && line.SendSpacedBlock(data, unit, count) &&
           line.CloseWithEot() && line.FinishFunction();
}

// A PLC of identification 0xD10A takes its image and flag words only as single bytes: every word becomes
// two one-byte writes, the high byte to the even byte and the low byte to the odd one, as a word write
// would leave them.
bool WriteWordsAsBytes(Line& line, uint32_t address, const uint8_t* data, uint32_t count, int cls) {
    for (uint32_t k = 0; k < count; ++k) {
        const uint16_t value = LoadValue(data, k);
        const uint8_t high = static_cast<uint8_t>(value >> 8);
        const uint8_t low = static_cast<uint8_t>(value);
        if (!WriteSpaced(line, address + 2 * k, &high, Unit::Byte, 1, cls) ||
            !WriteSpaced(line, address + 2 * k + 1, &low, Unit::Byte, 1, cls))
            return false;
    }
    return true;
}

bool WordsByteByByte(const ConnectionRecord& r, Area area, Unit unit) {
    constexpr uint16_t kByteWiseIdentification = 0xD10A;
    const bool image =
        area == Area::Inputs || area == Area::Outputs || area == Area::Flags || area == Area::SystemWords;
    return image && unit == Unit::Word && WordAddressed(r) &&
           Param(r, kParamIdentification) == kByteWiseIdentification;
}

// Class 5 reads system data straight from its fixed place.
bool ReadSystemData5(Line& line, int32_t index, uint8_t* data, uint32_t count) {
    const uint32_t start = kDefaultSystemDataBase + static_cast<uint32_t>(index);
    return line.FunctionRequest(kFnReadMemory) && line.SendWord(static_cast<uint16_t>(start)) &&
           line.SendWord(static_cast<uint16_t>(start + count - 1)) && line.CloseWithEot() &&
           line.AcceptTelegram() && line.SkipBytes(5) && line.ReadData(data, Unit::Word, count) &&
           line.EndOfReply() && line.FinishFunction();
}

// Timers, counters and system data count in words from their base; absolute words name the address.
uint32_t WordAddress(const ConnectionRecord& r, Area area, uint32_t base, int32_t index) {
    const uint32_t i = static_cast<uint32_t>(index);
    return area == Area::Absolute ? i : base + i * StepFactor(r);
}

bool ValidArea(Line& line, int32_t index, int32_t count, const void* data) {
    if (index >= 0 && count >= 0 && (data != nullptr || count == 0))
        return true;
    line.Fail(kErrRange);
    return false;
}

}  // namespace

int32_t ReadArea(ConnectionRecord& r, Area area, int32_t index, int32_t count, uint8_t* data) {
    Line line(r);
    uint16_t base = 0;
    if (!Precheck(line) || !ValidArea(line, index, count, data) || !ResolveBase(line, area, base))
        return 0;
    const int cls = CpuClass(r);
    const uint32_t n = static_cast<uint32_t>(count);
    if (area == Area::SystemData && cls == 5)
        return ReadSystemData5(line, index, data, n) ? 1 : 0;
    const uint32_t at = ScaledBase(cls, base);
    if (!AreaPath(area))
        return ReadMemory(line, WordAddress(r, area, at, index), data, Unit::Word, n) ? 1 : 0;
    const uint32_t address = at + static_cast<uint32_t>(index) * 2;
    const bool spaced = cls == 2 || cls == 3 || (cls == 1 && address < kClass1ChunkedFrom);
    const bool ok =
        spaced ? ReadSpaced(line, address, data, n, cls) : ReadMemory(line, address, data, Unit::Word, n);
    return ok ? 1 : 0;
}

int32_t WriteArea(ConnectionRecord& r, Area area, Unit unit, int32_t index, int32_t count,
                  const uint8_t* data) {
    Line line(r);
    uint16_t base = 0;
    if (!Precheck(line) || !ValidArea(line, index, count, data) || !ResolveBase(line, area, base))
        return 0;
    const int cls = CpuClass(r);
    const uint32_t n = static_cast<uint32_t>(count);
    const uint32_t at = ScaledBase(cls, base);
    if (!AreaPath(area))
        return WriteMemory(line, WordAddress(r, area, at, index), data, Unit::Word, n) ? 1 : 0;
    const uint32_t address = at + static_cast<uint32_t>(unit) * static_cast<uint32_t>(index);
    if (!WordAddressed(r) || cls == 4)
        return WriteMemory(line, address, data, unit, n) ? 1 : 0;
    if (WordsByteByByte(r, area, unit))
        return WriteWordsAsBytes(line, address, data, n, cls) ? 1 : 0;
    return WriteSpaced(line, address, data, unit, n, cls) ? 1 : 0;
}

namespace {

// Address of words start .. start + count - 1 of a block's body, or 0 with the error word set.
uint32_t BlockWordsAddress(Line& line, int32_t type, int32_t number, int32_t start, int32_t count) {
    uint8_t header[8] = {};
    uint16_t length = 0;
    uint16_t address = 0;
    if (!QueryBlock(line, type, number, header, length, address))
        return 0;
    if (address == 0) {
        line.Fail(kErrAbsent);
        return 0;
    }
    if (start < 0 || count < 0 || length < 5 || int32_t{length} - 5 < start + count) {
        line.Fail(kErrBeyondBlock);
        return 0;
    }
    ConnectionRecord& r = line.Record();
    return ScaledBase(CpuClass(r), address) + static_cast<uint32_t>(start) * StepFactor(r);
}

}  // namespace

int32_t ReadBlockWords(ConnectionRecord& r, int32_t type, int32_t number, int32_t start, int32_t count,
                       uint8_t* data) {
    Line line(r);
    if (!Precheck(line) || !ValidArea(line, start, count, data))
        return 0;
    const uint32_t at = BlockWordsAddress(line, type, number, start, count);
    return at != 0 && ReadMemory(line, at, data, Unit::Word, static_cast<uint32_t>(count)) ? 1 : 0;
}

int32_t WriteBlockWords(ConnectionRecord& r, int32_t type, int32_t number, int32_t start, int32_t count,
                        const uint8_t* data) {
    Line line(r);
    if (!Precheck(line) || !ValidArea(line, start, count, data))
        return 0;
    const uint32_t at = BlockWordsAddress(line, type, number, start, count);
    return at != 0 && WriteMemory(line, at, data, Unit::Word, static_cast<uint32_t>(count)) ? 1 : 0;
}

}  // namespace vaultra::s5
