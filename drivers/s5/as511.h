// The AS511 exchange on one context: control characters, data transparency (DLE doubling), telegram
// primitives, the function request and the end-of-function handshake. Every primitive returns true on
// success; a failure leaves the reason in the context's error word (and the offending byte in its
// last-response word).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <vaultra/records.h>

#include "drivers/link/com.h"

namespace vaultra::s5 {

inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kSyn = 0x16;
inline constexpr uint8_t kEndOfFunction = 0x12;

// Error words.
inline constexpr uint16_t kErrNoByte = 0x0001;
inline constexpr uint16_t kErrUnexpected = 0x0002;
inline constexpr uint16_t kErrRefused = 0x0008;
inline constexpr uint16_t kErrDle = 0x0010;
inline constexpr uint16_t kErrNoBlock = 0x0020;
inline constexpr uint16_t kErrRange = 0x0040;
inline constexpr uint16_t kErrForcing = 0x0080;
inline constexpr uint16_t kErrBeyondBlock = 0x0100;
inline constexpr uint16_t kErrAbsent = 0x0200;
inline constexpr uint16_t kErrSetAB = 0x0400;
inline constexpr uint16_t kErrSelectRefused = 0x1000;
inline constexpr uint16_t kErrSelectSilent = 0x2000;
inline constexpr uint16_t kErrFunction = 0x4000;
inline constexpr uint16_t kErrInitOpen = 0x8003;
inline constexpr uint16_t kErrPgBusOpen = 0x8004;
inline constexpr uint16_t kErrWrite = 0x8005;

// Function codes.
inline constexpr uint8_t kFnWriteMemory = 0x03;
inline constexpr uint8_t kFnReadMemory = 0x04;
inline constexpr uint8_t kFnReadBlock = 0x06;
inline constexpr uint8_t kFnCompress = 0x07;
inline constexpr uint8_t kFnCreateBlock = 0x08;
inline constexpr uint8_t kFnDeleteBlock = 0x09;
inline constexpr uint8_t kFnClearAll = 0x11;
inline constexpr uint8_t kFnForceRequest = 0x13;
inline constexpr uint8_t kFnForcePrepare = 0x17;
inline constexpr uint8_t kFnSystemParameters = 0x18;
inline constexpr uint8_t kFnTwoValues = 0x19;
inline constexpr uint8_t kFnBlockInfo = 0x1A;
inline constexpr uint8_t kFnDirectory = 0x1B;
inline constexpr uint8_t kFnBlockStack = 0x1C;
inline constexpr uint8_t kFnInterruptStack = 0x1D;
inline constexpr uint8_t kFnStartStop = 0x1E;

enum class Unit : uint32_t { Byte = 1, Word = 2 };

class Line {
public:
    explicit Line(ConnectionRecord& record) : r_(record), port_(record.port) {}

    ConnectionRecord& Record() { return r_; }
    link::Port Port() const { return port_; }
    uint16_t Error() const { return r_.status; }
    void Fail(uint16_t error) { r_.status = error; }
    void FailWith(uint16_t error, uint8_t byte) {
        r_.status = error;
        r_.plcError = byte;
    }
    void ClearError() {
        r_.status = 0;
        r_.plcError = 0;
    }

    // --- sending ---
    bool SendByte(uint8_t b);
    bool SendDlePair(uint8_t x);
    bool SendData(uint8_t b);
    bool SendWord(uint16_t w);
    // unit 1: count bytes; unit 2: count words (big-endian in data), with the block pause.
    bool SendBlock(const uint8_t* data, Unit unit, size_t count);
    // As SendBlock, every byte preceded by a raw 0x00, without pauses.
    bool SendSpacedBlock(const uint8_t* data, Unit unit, size_t count);

    // --- receiving ---
    bool ReadByte(uint8_t& b);
    bool ExpectByte(uint8_t x);
    bool ExpectDlePair(uint8_t x);
    bool ExpectByteTimed(uint8_t x);  // within the response time-out; sets no error word
    bool ReadDataByte(uint8_t& b);
    bool ReadDataWord(uint16_t& w);
    // count items into data (words stored big-endian), with the short-reply tolerance.
    bool ReadData(uint8_t* data, Unit unit, size_t count);
    // Words until DLE ETX/EOT, storing at most max; the number of words delivered, -1 on failure.
    int32_t ReadWordsToEnd(uint8_t* data, size_t max);
    // Bytes until DLE ETX/EOT, storing at most max; the number of bytes delivered, -1 on failure.
    int32_t ReadBytesToEnd(uint8_t* data, size_t max);
    bool SkipBytes(size_t n);
    // Drops bytes until a DLE (pushed back for EndOfReply); bounded by the line going silent.
    bool DropToDle(size_t limit);
    // Reads the rest of a reply that the driver refuses to store, up to its end mark (pushed back for
    // EndOfReply); at most limit bytes.
    bool SkipToEnd(size_t limit);

    // --- telegrams ---
    void Abort();
    bool ExpectDleAck();
    bool OpenTelegram();
    bool AcceptTelegram();
    bool CloseWithEtx();
    bool CloseWithEot();
    bool EndOfReply();
    bool FinishFunction();
    bool FunctionRequest(uint8_t code);
    bool PgBusSelect();

private:
    bool BlockPause(int& counter, int limit);
    bool ReadEndMark(uint8_t& after);
    void NoteTimedFailure();
    void DrainRefusal(uint8_t first);
    bool ReadSelectEcho(uint8_t station);

    ConnectionRecord& r_;
    link::Port port_;
    bool lastWasDle_ = false;  // the byte that made the last data read fail was DLE
    bool timedGot_ = false;    // the last timed wait received a byte ...
    uint8_t timedByte_ = 0;    // ... this one
};

}  // namespace vaultra::s5
