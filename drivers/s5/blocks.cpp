// Block functions: directory, block information, reading, writing in place, loading, deleting,
// compressing and the overall reset.
#include <algorithm>
#include <cstring>

#include "drivers/link/com.h"
#include "drivers/s5/functions.h"
#include "drivers/s5/memory_access.h"
#include "drivers/s5/plc_info.h"
#include "drivers/s5/settings.h"
#include "drivers/s5/word_buffer.h"

namespace vaultra::s5 {
namespace {

constexpr int32_t kCompressTicks = 479985;
constexpr int32_t kClearAllTicks = 728;
constexpr uint8_t kRoomForBlock = 0x09;
constexpr uint16_t kHeaderWords = 5;
constexpr size_t kHeaderBytes = 8;

// Type code, number and parameter telegram of the block functions.
bool BlockRequest(Line& line, uint8_t function, int32_t type, int32_t number, bool endWithEot) {
    return line.FunctionRequest(function) && line.SendData(TypeCode(type)) &&
           line.SendData(static_cast<uint8_t>(number)) &&
           (endWithEot ? line.CloseWithEot() : line.CloseWithEtx()) && line.AcceptTelegram();
}

bool ValidBlock(Line& line, int32_t type, int32_t number) {
    if (TypeCode(type) != 0 && number >= 0 && number <= 0xFF)
        return true;
    line.Fail(kErrAbsent);
    return false;
}

// A status byte other than 0: the block is not there; the function is still closed properly.
bool BlockStatus(Line& line) {
    uint8_t status = 0;
    if (!line.ReadByte(status))
        return false;
    if (status == 0)
        return true;
    line.FailWith(kErrNoBlock, status);
    if (line.EndOfReply())
        line.FinishFunction();
    line.FailWith(kErrNoBlock, status);
    return false;
}

// Words of the directory reply; false when the reply breaks off, or (overflow set) when it was read to
// its end but did not fit.
bool ReadDirectoryWords(Line& line, uint16_t* entries, uint32_t capacity, bool& overflow) {
    if (!line.ExpectByte(0x00))
        return false;
    uint32_t stored = 0;
    for (uint32_t n = 0; n <= kDirectoryCapacity; ++n) {
        uint8_t high = 0;
        uint8_t low = 0;
        if (!line.ReadByte(high))
            return false;
        if (high == kDle) {
            uint8_t after = 0;
            if (!line.ReadByte(after))
                return false;
            if (after == kEtx || after == kEot) {
                return line.SendDlePair(kAck) && !overflow;
            }
            if (after != kDle) {
                line.FailWith(kErrUnexpected, after);
                return false;
            }
        }
        if (!line.ReadDataByte(low))
            return false;
        if (stored < capacity)
            entries[stored++] = static_cast<uint16_t>(high << 8 | low);
        else
            overflow = true;
    }
    line.Fail(kErrUnexpected);
    return false;
}

void StoreHeader(S5BlockRecord* block, const uint8_t* header, uint16_t length) {
    std::memcpy(block, header, kHeaderBytes);
    block->lengthWords = length;
}

// Reads what follows a header that the driver refuses and closes the function, so the line stays in step.
bool RefuseRest(Line& line) {
    if (line.SkipToEnd(2 * 65536 + 16) && line.EndOfReply())
        line.FinishFunction();
    line.Fail(kErrUnexpected);
    return false;
}

Unit BlockUnit(int32_t unit) {
    return unit == 2 ? Unit::Word : Unit::Byte;
}

}  // namespace

bool QueryBlock(Line& line, int32_t type, int32_t number, uint8_t* header, uint16_t& length,
                uint16_t& address) {
    if (!ValidBlock(line, type, number) || !BlockRequest(line, kFnBlockInfo, type, number, false) ||
        !BlockStatus(line))
        return false;
    return line.ReadDataWord(address) && line.ReadData(header, Unit::Byte, kHeaderBytes) &&
           line.ReadDataWord(length) && line.EndOfReply() && line.FinishFunction();
}

int32_t ReadDirectory(ConnectionRecord& r, int32_t type, uint16_t* entries, uint32_t capacity) {
    if (DirectoryEntries(r, type) == 0 || entries == nullptr)
        return 0;
    Line line(r);
    if (!Precheck(line))
        return 0;
    const uint32_t room = capacity == 0 ? kDirectoryCapacity : std::min(capacity, kDirectoryCapacity);
    if (!line.FunctionRequest(kFnDirectory) || !line.SendData(TypeCode(type)) || !line.CloseWithEot() ||
        !line.AcceptTelegram())
        return 0;
    bool overflow = false;
    if (!ReadDirectoryWords(line, entries, room, overflow)) {
        if (overflow) {  // the PLC is still in step: close the function, then refuse the directory
            line.FinishFunction();
            line.Fail(kErrUnexpected);
        }
        return 0;
    }
    return line.FinishFunction() ? 1 : 0;
}

int32_t BlockInfo(ConnectionRecord& r, S5BlockRecord* header, int32_t type, int32_t number,
                  uint16_t* address) {
    if (address != nullptr)
        *address = 0;
    Line line(r);
    if (!Precheck(line))
        return 0;
    uint8_t bytes[kHeaderBytes] = {};
    uint16_t length = 0;
    uint16_t found = 0;
    if (!QueryBlock(line, type, number, bytes, length, found))
        return 0;
    if (header != nullptr)
        StoreHeader(header, bytes, length);
    if (address != nullptr)
        *address = found;
    return 1;
}

int32_t ReadBlock(ConnectionRecord& r, S5BlockRecord* block, int32_t type, int32_t number, int32_t unit) {
    Line line(r);
    if (block == nullptr || !Precheck(line) || !ValidBlock(line, type, number))
        return 0;
    const uint32_t room = block->lengthWords >= kHeaderWords ? block->lengthWords * 2u - 10u
                          : block->lengthWords == 0          ? kDefaultBodyCapacity
                                                             : 0;
    if (!BlockRequest(line, kFnReadBlock, type, number, false) || !BlockStatus(line))
        return 0;
    uint8_t header[kHeaderBytes] = {};
    uint16_t length = 0;
    if (!line.ReadData(header, Unit::Byte, kHeaderBytes) || !line.ReadDataWord(length))
        return 0;
    const uint32_t body = length >= kHeaderWords ? length * 2u - 10u : 0;
    if (length < kHeaderWords || body > room || (body > 0 && block->body == nullptr))
        return RefuseRest(line);
    StoreHeader(block, header, length);
    const Unit u = BlockUnit(unit);
    return line.ReadData(block->body, u, body / static_cast<uint32_t>(u)) && line.EndOfReply() &&
                   line.FinishFunction()
               ? 1
               : 0;
}

int32_t WriteBlock(ConnectionRecord& r, S5BlockRecord* block, int32_t type, int32_t number, int32_t unit) {
    Line line(r);
    if (block == nullptr || !Precheck(line))
        return 0;
    uint8_t header[kHeaderBytes] = {};
    uint16_t length = 0;
    uint16_t address = 0;
    if (!QueryBlock(line, type, number, header, length, address))
        return 0;
    StoreHeader(block, header, length);
    if (address == 0 || length < kHeaderWords) {
        line.Fail(kErrAbsent);
        return 0;
    }
    const Unit u = BlockUnit(unit);
    const uint32_t items = (length * 2u - 10u) / static_cast<uint32_t>(u);
    if (items > 0 && block->body == nullptr)
        return 0;
    const uint32_t at = ScaledBase(CpuClass(r), address);
    return WriteMemory(line, at, block->body, u, items) ? 1 : 0;
}

int32_t CreateBlock(ConnectionRecord& r, const S5BlockRecord* block, int32_t unit) {
    Line line(r);
    if (block == nullptr || !Precheck(line))
        return 0;
    const uint16_t length = block->lengthWords;
    const uint32_t body = length >= kHeaderWords ? length * 2u - 10u : 0;
    if (length < kHeaderWords || (body > 0 && block->body == nullptr)) {
        line.Fail(kErrAbsent);
        return 0;
    }
    if (!line.FunctionRequest(kFnCreateBlock) || !line.SendData(block->type) ||
        !line.SendData(block->number) || !line.SendWord(length) || !line.CloseWithEtx() ||
        !line.AcceptTelegram())
        return 0;
    uint8_t answer = 0;
    if (!line.ReadDataByte(answer))
        return 0;
    if (answer != kRoomForBlock) {
        line.FailWith(kErrRefused, answer);
        if (line.EndOfReply())
            line.FinishFunction();
        line.FailWith(kErrRefused, answer);
        return 0;
    }
    uint8_t header[kHeaderBytes];
    std::memcpy(header, block, kHeaderBytes);
    const Unit u = BlockUnit(unit);
    if (!line.EndOfReply() || !line.OpenTelegram() || !line.SendByte(0x00) ||
        !line.SendBlock(header, Unit::Byte, kHeaderBytes) || !line.SendWord(length) ||
        !line.SendBlock(block->body, u, body / static_cast<uint32_t>(u)) || !line.CloseWithEot())
        return 0;
    int32_t ticks = LibrarySettings().timeoutTicks;
    if (LibrarySettings().variant == Variant::Lan && r.port >= link::kFirstLanPort)
        ticks = std::max(ticks, static_cast<int32_t>((length / 128 * 250 + length * 4) / 55));
    ScopedTimeout timeout(ticks);
    return line.FinishFunction() ? 1 : 0;
}

int32_t DeleteBlock(ConnectionRecord& r, int32_t type, int32_t number) {
    Line line(r);
    if (!Precheck(line) || !ValidBlock(line, type, number))
        return 0;
    AGTest(r);
    line.ClearError();
    if (!BlockRequest(line, kFnDeleteBlock, type, number, true))
        return 0;
    uint8_t answer = 0;
    if (!line.ReadByte(answer)) {
        line.Abort();
        return 0;
    }
    if (answer == kEndOfFunction)
        return line.EndOfReply() ? 1 : 0;
    line.FailWith(kErrNoBlock, answer);
    if (line.EndOfReply())
        line.FinishFunction();
    line.FailWith(kErrNoBlock, answer);
    return 0;
}

namespace {
int32_t LongFunction(ConnectionRecord& r, uint8_t function, int32_t ticks) {
    Line line(r);
    if (!Precheck(line) || !line.FunctionRequest(function) || !line.CloseWithEot())
        return 0;
    ScopedTimeout timeout(ticks);
    return line.FinishFunction() ? 1 : 0;
}
}  // namespace

int32_t Compress(ConnectionRecord& r) {
    return LongFunction(r, kFnCompress, kCompressTicks);
}

int32_t ClearAll(ConnectionRecord& r) {
    return LongFunction(r, kFnClearAll, kClearAllTicks);
}

}  // namespace vaultra::s5
