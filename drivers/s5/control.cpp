// Run/stop, the two memory values, output forcing and the block and interrupt stacks.
#include <cstring>
#include <vector>

#include "drivers/link/com.h"
#include "drivers/s5/functions.h"
#include "drivers/s5/memory_access.h"
#include "drivers/s5/plc_info.h"
#include "drivers/s5/word_buffer.h"

namespace vaultra::s5 {
namespace {

constexpr int32_t kRunWordIndex = 6;
constexpr uint16_t kStopBit = 0x8000;
constexpr uint8_t kStartStopDone = 0x12;
constexpr uint8_t kStartStopDoneClass4 = 0x26;
constexpr uint8_t kStartStopAccepted = 0x25;
constexpr size_t kDropLimit = 4096;

int32_t SetStopBit(ConnectionRecord& r, bool stop) {
    uint8_t words[8] = {};
    if (ReadArea(r, Area::SystemData, kRunWordIndex, 4, words) != 1)
        return 0;
    const uint16_t w = LoadValue(words, 0);
    StoreValue(words, 0, stop ? static_cast<uint16_t>(w | kStopBit) : static_cast<uint16_t>(w & ~kStopBit));
    return WriteArea(r, Area::SystemData, Unit::Word, kRunWordIndex, 1, words);
}

// A refused stack request: resynchronise on the next DLE.
int32_t StackRefused(Line& line, uint8_t status) {
    if (line.DropToDle(kDropLimit))
        line.EndOfReply();
    line.FailWith(kErrFunction, status);
    return 0;
}

// The interrupt stack request and the PLC's status byte that starts its reply.
bool RequestStack(Line& line, uint8_t& status) {
    return line.FunctionRequest(kFnInterruptStack) && line.CloseWithEot() && line.AcceptTelegram() &&
           line.ReadByte(status);
}

// A refused stack request whose reply ends at once.
int32_t StackRefusedWithEnd(Line& line, uint8_t status) {
    if (line.EndOfReply())
        line.FinishFunction();
    line.FailWith(kErrFunction, status);
    return 0;
}

// The function request with an empty parameter telegram and the start of the reply.
bool EmptyRequest(Line& line, uint8_t function) {
    return line.FunctionRequest(function) && line.SendDlePair(kEot) && line.ExpectDleAck() &&
           line.AcceptTelegram();
}

// True when the next bytes are the end mark (left in the ring for EndOfReply).
bool AtEndMark(Line& line) {
    uint8_t b = 0;
    if (!line.ReadByte(b))
        return true;
    if (b != kDle) {
        link::ComPushBack(line.Port(), b);
        return false;
    }
    uint8_t c = 0;
    if (!line.ReadByte(c))
        return true;
    link::ComPushBack(line.Port(), kDle);
    link::ComPushBack(line.Port(), c);
    return c == kEtx || c == kEot;
}

bool ReadEntry(Line& line, S5InterruptRecord& rec) {
    uint8_t items[4];
    uint8_t words[12];
    if (!line.ReadData(items, Unit::Word, 2) || !line.ReadData(rec.entryBytes, Unit::Byte, 8) ||
        !line.ReadData(words, Unit::Word, 6))
        return false;
    std::memcpy(rec.items, items, sizeof items);
    std::memcpy(rec.entryWords, words, sizeof words);
    return true;
}

// The block whose code holds each entry's return address, and the number of its data block.
void LocateBlocks(ConnectionRecord& r, S5InterruptRecord* records, int entries) {
    std::vector<uint16_t> dir(kDirectoryCapacity);
    for (int e = 0; e < entries; ++e) {
        S5InterruptRecord& rec = records[e];
        rec.relativeAddress = 0xFFFF;
        if (rec.entryWords[0] != 0 && ReadDirectory(r, TARN5_DB, dir.data(), kDirectoryCapacity) == 1) {
            for (uint32_t n = 0; n < DirectoryEntries(r, TARN5_DB) && n < 256; ++n)
                if (dir[n] == rec.entryWords[0]) {
                    rec.dataBlockNumber = static_cast<uint8_t>(n);
                    break;
                }
        }
        uint32_t best = 0x10000;
        for (int type = TARN5_SB; type <= TARN5_FX; ++type) {
            if (DirectoryEntries(r, type) == 0 || ReadDirectory(r, type, dir.data(), kDirectoryCapacity) != 1)
                continue;
            for (uint32_t n = 0; n < DirectoryEntries(r, type) && n < 256; ++n) {
                const uint16_t a = dir[n];
                if (a == 0 || a > rec.entryWords[2] || uint32_t{rec.entryWords[2]} - a >= best)
                    continue;
                best = rec.entryWords[2] - a;
                rec.blockAddress = a;
                rec.blockNumber = static_cast<uint8_t>(n);
                rec.typePosition = static_cast<uint16_t>(type);
                rec.relativeAddress = static_cast<uint16_t>(best);
            }
        }
        rec.entryBytes[7] &= 0x07;
    }
}

}  // namespace

int32_t Stop(ConnectionRecord& r) {
    return SetStopBit(r, true);
}

int32_t Start(ConnectionRecord& r) {
    return SetStopBit(r, false);
}

int32_t StartStopEx(ConnectionRecord& r, int32_t mode) {
    Line line(r);
    if (!Precheck(line))
        return 0;
    if (mode < 0 || mode > 3) {
        line.Fail(kErrRefused);
        return 0;
    }
    uint8_t answer = 0;
    if (!line.FunctionRequest(kFnStartStop) || !line.SendData(static_cast<uint8_t>(mode)) ||
        !line.CloseWithEot() || !line.AcceptTelegram() || !line.ReadByte(answer)) {
        line.Abort();
        return 0;
    }
    if (mode == 0 && answer == (CpuClass(r) == 4 ? kStartStopDoneClass4 : kStartStopDone))
        return line.EndOfReply() ? 1 : 0;
    if (mode != 0 && answer == kStartStopAccepted)
        return line.EndOfReply() && line.FinishFunction() ? 1 : 0;
    if (line.EndOfReply())
        line.FinishFunction();
    if (mode != 0)
        line.FailWith(kErrRefused, answer);
    else
        line.Fail(kErrRefused);
    return 0;
}

int32_t TwoValues(ConnectionRecord& r, int32_t* first, int32_t* second) {
    if (first != nullptr)
        *first = 0;
    if (second != nullptr)
        *second = 0;
    Line line(r);
    if (!Precheck(line) || !EmptyRequest(line, kFnTwoValues) || !line.ExpectByte(0x00))
        return 0;
    const uint16_t id = Param(r, kParamIdentification);
    const bool wide = CpuClass(r) == 3 && (id & 0xF) != 8 && id != 0xD10A;
    int32_t values[2] = {};
    for (int32_t& v : values) {
        uint16_t high = 0;
        uint16_t low = 0;
        if ((wide && !line.ReadDataWord(high)) || !line.ReadDataWord(low))
            return 0;
        v = static_cast<int32_t>(uint32_t{high} << 16 | low);
    }
    if (!line.EndOfReply() || !line.FinishFunction())
        return 0;
    if (first != nullptr)
        *first = values[0];
    if (second != nullptr)
        *second = values[1];
    return 1;
}

int32_t BlockStack(ConnectionRecord& r, int16_t* count, uint8_t* words) {
    Line line(r);
    uint8_t status = 0;
    if (words == nullptr || !Precheck(line) || !EmptyRequest(line, kFnBlockStack) || !line.ReadByte(status))
        return 0;
    if (status != 0)
        return StackRefused(line, status);
    const int32_t n = line.ReadWordsToEnd(words, TARN5_BSTACK_WORDS);
    if (n < 0)
        return 0;
    if (count != nullptr)
        *count = static_cast<int16_t>(n);
    return line.FinishFunction() ? 1 : 0;
}

int32_t InterruptStack(ConnectionRecord& r, S5InterruptRecord* records, int16_t* count) {
    if (records == nullptr)
        return 0;
    std::memset(records, 0, sizeof(S5InterruptRecord) * TARN5_USTACK_RECORDS);
    uint8_t system[6] = {};
    if (ReadArea(r, Area::SystemData, 5, 3, system) != 1)
        return 0;
    std::memcpy(records[0].systemData, system, sizeof system);
    Line line(r);
    uint8_t status = 0;
    if (!RequestStack(line, status))
        return 0;
    if (status != 0)
        return StackRefused(line, status);
    uint8_t reply[2] = {};
    if (!line.ReadData(reply, Unit::Word, 1))
        return 0;
    std::memcpy(&records[0].replyWord, reply, sizeof reply);
    int entries = 0;
    while (entries < TARN5_USTACK_RECORDS && !AtEndMark(line)) {
        if (!ReadEntry(line, records[entries]))
            return 0;
        ++entries;
    }
    if (!line.EndOfReply() || !line.FinishFunction())
        return 0;
    if (count != nullptr)
        *count = static_cast<int16_t>(entries);
    LocateBlocks(r, records, entries);
    line.ClearError();
    return 1;
}

int32_t InterruptStackEx(ConnectionRecord& r, uint8_t* words, int32_t recordWords, int16_t* extra,
                         int16_t* count) {
    Line line(r);
    if (words == nullptr || recordWords <= 0 || !Precheck(line))
        return 0;
    uint8_t status = 0;
    if (!RequestStack(line, status))
        return 0;
    if (status != 0)
        return StackRefusedWithEnd(line, status);
    if (count != nullptr)
        *count = 0;
    if ((Param(r, kParamIdentification) & 0xF) != 8) {
        uint16_t w = 0;
        if (!line.ReadDataWord(w))
            return 0;
        if (extra != nullptr)
            *extra = static_cast<int16_t>(w);
    }
    const int32_t n = line.ReadWordsToEnd(words, static_cast<size_t>(TARN5_USTACK_RECORDS) * recordWords);
    if (n < 0)
        return 0;
    if (count != nullptr)
        *count = static_cast<int16_t>(n / recordWords);
    return line.FinishFunction() ? 1 : 0;
}

int32_t InterruptStack945(ConnectionRecord& r, uint8_t* buffer) {
    if (buffer == nullptr)
        return 0;
    std::memset(buffer, 0, TARN5_USTACK945_BYTES);
    if (ReadArea(r, Area::SystemData, 5, 4, buffer) != 1)
        return 0;
    Line line(r);
    uint8_t status = 0;
    if (!RequestStack(line, status))
        return 0;
    if (status != 0)
        return StackRefusedWithEnd(line, status);
    return line.ReadData(buffer + 8, Unit::Word, 36) && line.EndOfReply() && line.FinishFunction() ? 1 : 0;
}

}  // namespace vaultra::s5
