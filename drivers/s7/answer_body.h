// The parameter and data parts of an S7 answer, read from any byte source (an adapter telegram or an
// ISO-on-TCP packet). Every count the PLC announces is bounded by the room the caller gave.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <vaultra/byte_order.h>

#include "drivers/s7/channel.h"

namespace vaultra::s7 {

enum class ReadResult { kByte, kEnd, kFail };

inline bool IsAcknowledgement(uint8_t rosctr) {
    return rosctr == s7wire::kRosctrAck || rosctr == s7wire::kRosctrAckData;
}

// Stores data bytes up to the caller's room and counts every byte that arrived.
template <typename Source>
ReadResult ReadAnswerData(Source& source, Answer& answer, size_t n) {
    uint8_t b = 0;
    for (size_t i = 0; i < n; ++i) {
        const ReadResult r = source.Next(b);
        if (r != ReadResult::kByte)
            return r;
        if (answer.dataStored < answer.data.size())
            answer.data[answer.dataStored++] = b;
        ++answer.dataReceived;
    }
    return ReadResult::kByte;
}

// Reads `n` bytes into out (null drops them); stops early at the end of the source.
template <typename Source>
ReadResult ReadBytes(Source& source, uint8_t* out, size_t n, size_t& got) {
    got = 0;
    while (got < n) {
        uint8_t b = 0;
        const ReadResult r = source.Next(b);
        if (r != ReadResult::kByte)
            return r;
        if (out != nullptr)
            out[got] = b;
        ++got;
    }
    return ReadResult::kByte;
}

// The whole parameter part: the bytes the caller wants go to `wanted`, the first ones are kept for matching
// the answer to its request, the rest is skipped so the data part stays in place. Stops early at the end of
// the source (a PLC may send fewer parameter bytes than a caller asks for).
template <typename Source>
bool ReadParameter(Source& source, size_t length, std::span<uint8_t> wanted, Answer& answer) {
    size_t i = 0;
    for (; i < length; ++i) {
        uint8_t b = 0;
        const ReadResult r = source.Next(b);
        if (r == ReadResult::kFail)
            return false;
        if (r == ReadResult::kEnd)
            break;
        if (i < wanted.size())
            wanted[i] = b;
        if (i < answer.paramHead.size())
            answer.paramHead[i] = b;
    }
    answer.paramRead += std::min(i, wanted.size());
    answer.paramHeadRead = std::min(i, answer.paramHead.size());
    return true;
}

// After the S7 header: the acknowledgement's error bytes (which count as the first two parameter bytes
// for a caller that wants more than two), the parameter bytes wanted (the rest of the parameter part is
// skipped, so the data part stays in place) and the data part. A non-zero error class/code, or the error
// field of a user-data parameter, is returned in plcError.
template <typename Source>
bool ReadAnswerBody(Source& source, const s7wire::S7Header& h, Answer& answer, uint16_t& plcError) {
    size_t got = 0;
    const bool ack = IsAcknowledgement(h.rosctr);
    if (ack) {
        uint8_t error[2] = {0, 0};
        if (ReadBytes(source, error, 2, got) == ReadResult::kFail)
            return false;
        if (got == 2 && (error[0] | error[1]))
            plcError = bytes::LoadBe16(error, 0);
        if (answer.wantParam > 2 && got == 2) {
            std::copy(error, error + 2, answer.param);
            answer.paramRead = 2;
        }
    }
    const size_t want = answer.wantParam > answer.paramRead
                            ? std::min<size_t>(answer.wantParam - answer.paramRead, h.paramLength)
                            : 0;
    if (!ReadParameter(source, h.paramLength, std::span(answer.param + answer.paramRead, want), answer))
        return false;
    // Only user data carry an error field there; a PLC's own job (download) has its file name there.
    if (h.rosctr == s7wire::kRosctrUserData && h.paramLength > 8 && answer.paramRead >= 12 &&
        (answer.param[10] | answer.param[11]))
        plcError = bytes::LoadBe16(std::span(answer.param, 12), 10);
    return ReadAnswerData(source, answer, h.dataLength) != ReadResult::kFail;
}

}  // namespace vaultra::s7
