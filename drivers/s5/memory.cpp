// Memory by absolute address, by operand area and by data-block word.
#include <algorithm>

#include "drivers/s5/functions.h"
#include "drivers/s5/memory_access.h"
#include "drivers/s5/plc_info.h"
#include "drivers/s5/settings.h"
#include "drivers/s5/word_buffer.h"

namespace vaultra::s5 {
namespace {

constexpr uint32_t kReadChunk = 512;
constexpr uint32_t kByteWriteChunk = 256;
constexpr uint32_t kWordWriteChunk = 128;
constexpr uint32_t kClass1ChunkedFrom = 0xB000;
constexpr size_t kMaxSkippedReply = 2 * 65536 + 16;

bool SendAddress(Line& line, uint32_t address, bool longAddress) {
    return (!longAddress || line.SendWord(static_cast<uint16_t>(address >> 16))) &&
           line.SendWord(static_cast<uint16_t>(address));
}

// Reply header of a memory read: start and end as the PLC understood them.
bool ReadHeader(Line& line, bool longAddress, uint32_t& start, uint32_t& end) {
    uint16_t w[4] = {};
    const int n = longAddress ? 4 : 2;
    for (int i = 0; i < n; ++i) {
        if (!line.ReadDataWord(w[i]))
            return false;
    }
    start = longAddress ? uint32_t{w[0]} << 16 | w[1] : w[0];
    end = longAddress ? uint32_t{w[2]} << 16 | w[3] : w[1];
    return true;
}

// The PLC refused or cut the range: close the function and say which.
bool RangeRefused(Line& line) {
    const bool clean = line.SkipToEnd(kMaxSkippedReply) && line.EndOfReply() && line.FinishFunction();
    line.Fail(clean ? kErrRange : kErrRefused);
    return false;
}

bool ReadRequest(Line& line, uint32_t start, uint32_t end, bool longAddress) {
    return line.FunctionRequest(kFnReadMemory) && SendAddress(line, start, longAddress) &&
           SendAddress(line, end, longAddress) && line.CloseWithEot() && line.AcceptTelegram();
}

bool ReadWhole(Line& line, uint32_t address, uint8_t* data, Unit unit, uint32_t count, int cls) {
    const bool longAddress = cls == 3;
    const bool inclusive = cls != 5 && !(cls == 3 && LibrarySettings().variant == Variant::Serial);
    const uint32_t end = address + static_cast<uint32_t>(unit) * count / 2 - (inclusive ? 1 : 0);
    uint32_t hs = 0;
    uint32_t he = 0;
    if (!ReadRequest(line, address, end, longAddress) || !line.SkipBytes(1) ||
        !ReadHeader(line, longAddress, hs, he))
        return false;
    if ((hs == address && he == end) || (hs != 0 && he != 0))
        return RangeRefused(line);
    const int32_t got =
        unit == Unit::Byte ? line.ReadBytesToEnd(data, count) : line.ReadWordsToEnd(data, count);
    if (got < 0 || !line.FinishFunction())
        return false;
    if (static_cast<uint32_t>(got) >= count)
        return true;
    line.Fail(kErrRange);
    return false;
}

bool ReadChunked(Line& line, uint32_t address, uint8_t* data, Unit unit, uint32_t count, int cls) {
    const bool longAddress = cls == 4;
    const uint32_t total = count * static_cast<uint32_t>(unit);
    for (uint32_t done = 0; done < total;) {
        const uint32_t chunk = std::min(kReadChunk, total - done);
        const uint32_t start = address + done;
        uint32_t hs = 0;
        uint32_t he = 0;
        if (!ReadRequest(line, start, start + chunk - 1, longAddress) || !line.SkipBytes(1) ||
            !ReadHeader(line, longAddress, hs, he))
            return false;
        if ((hs == start && he + 1 == start + chunk) || (hs != 0 && he != 0))
            return RangeRefused(line);
        if (!line.ReadData(data + done, unit, chunk / static_cast<uint32_t>(unit)) || !line.EndOfReply() ||
            !line.FinishFunction())
            return false;
        done += chunk;
    }
    return true;
}

bool WriteWords(Line& line, uint32_t address, const uint8_t* data, uint32_t count, int cls) {
    for (uint32_t done = 0; done < count; done += kWordWriteChunk) {
        const uint32_t items = std::min(kWordWriteChunk, count - done);
        const uint32_t start = address + done;
        const bool sent = line.FunctionRequest(kFnWriteMemory) && SendAddress(line, start, cls == 3) &&
                          (cls != 3 || SendAddress(line, start + items - 1, true)) &&
                          line.SendBlock(data + 2 * done, Unit::Word, items) && line.CloseWithEot();
        if (!sent || !line.FinishFunction())
            return false;
    }
    return true;
}

bool WriteBytes(Line& line, uint32_t address, const uint8_t* data, Unit unit, uint32_t count, int cls) {
    const uint32_t total = count * static_cast<uint32_t>(unit);
    for (uint32_t done = 0; done < total;) {
        const uint32_t chunk = std::min(kByteWriteChunk, total - done);
        const uint32_t start = address + done;
        const bool sent = line.FunctionRequest(kFnWriteMemory) && SendAddress(line, start, cls == 4) &&
                          (cls != 4 || SendAddress(line, start + chunk - 1, true)) &&
                          line.SendBlock(data + done, unit, chunk / static_cast<uint32_t>(unit)) &&
                          line.CloseWithEot();
        if (!sent || !line.FinishFunction())
            return false;
        done += chunk;
    }
    return true;
}

}  // namespace

bool ReadMemory(Line& line, uint32_t address, uint8_t* data, Unit unit, uint32_t count) {
    if (count == 0)
        return true;
    const int cls = CpuClass(line.Record());
    const bool whole = cls == 2 || cls == 3 || cls == 5 || (cls == 1 && address < kClass1ChunkedFrom);
    return whole ? ReadWhole(line, address, data, unit, count, cls)
                 : ReadChunked(line, address, data, unit, count, cls);
}

bool WriteMemory(Line& line, uint32_t address, const uint8_t* data, Unit unit, uint32_t count) {
    const int cls = CpuClass(line.Record());
    if (WordAddressed(line.Record())) {
        if (unit != Unit::Word) {
            line.Fail(kErrRange);
            return false;
        }
        return WriteWords(line, address, data, count, cls);
    }
    return WriteBytes(line, address, data, unit, count, cls);
}

namespace {

bool ValidTransfer(Line& line, const void* data, int32_t unit, int32_t count) {
    if ((unit == 1 || unit == 2) && count >= 0 && (data != nullptr || count == 0))
        return true;
    line.Fail(kErrRange);
    return false;
}

}  // namespace

int32_t ReadAddress(ConnectionRecord& r, uint32_t address, uint8_t* data, int32_t unit, int32_t count) {
    Line line(r);
    if (!Precheck(line) || !ValidTransfer(line, data, unit, count))
        return 0;
    return ReadMemory(line, address, data, static_cast<Unit>(unit), static_cast<uint32_t>(count)) ? 1 : 0;
}

int32_t WriteAddress(ConnectionRecord& r, uint32_t address, const uint8_t* data, int32_t unit,
                     int32_t count) {
    Line line(r);
    if (!Precheck(line) || !ValidTransfer(line, data, unit, count))
        return 0;
    return WriteMemory(line, address, data, static_cast<Unit>(unit), static_cast<uint32_t>(count)) ? 1 : 0;
}

}  // namespace vaultra::s5
