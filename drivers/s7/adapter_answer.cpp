// Receiving S7 answers through the MPI adapter, including answers the adapter splits into pieces.
#include <algorithm>

#include "drivers/s7/adapter_channel.h"
#include "drivers/s7/answer_match.h"
#include "drivers/s7/wire/byte_reader.h"

namespace vaultra::s7 {

using s7wire::kDle;
using s7wire::kNak;
using s7wire::kStx;
using Result = TelegramReader::Result;

namespace {

constexpr size_t kTelegramHeaderSize = s7wire::kAdapterHeaderSize + s7wire::kS7HeaderSize;
constexpr size_t kMaxContinuations = 64;

}  // namespace

bool AdapterChannel::Receive(ConnectionRecord& record, Answer& answer) {
    Bind(record);
    int stale = 0;
    for (int32_t attempt = 0; attempt < line_.Attempts(); ++attempt) {
        answer.paramRead = answer.dataStored = answer.dataReceived = answer.paramHeadRead = 0;
        uint8_t first = 0;
        if (!line_.WaitByte(first, line_.TimeoutTicks(), answer.progress, &answer.cancelled)) {
            if (answer.cancelled || line_.FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            continue;
        }
        if (first != kStx) {
            record.status = kStatusWrongControl;
            record.plcError = kStx;
            continue;
        }
        if (!line_.Answer(kDle)) {
            record.status = kStatusPort;
            return false;
        }
        if (answer.progress != nullptr)
            answer.progress->Report(kProgressAnswerStarted);

        TelegramReader reader(line_.port, line_.CharTicks());
        uint8_t raw[kTelegramHeaderSize];
        size_t got = 0;
        ReceivedHeader head;
        s7wire::ByteReader in(std::span<const uint8_t>(raw).subspan(s7wire::kAdapterHeaderSize));
        if (reader.Read(raw, kTelegramHeaderSize, got) != Result::kByte ||
            !s7wire::ReadS7Header(in, head.s7)) {
            if (line_.FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            if (!reader.Ended())
                reader.SkipToEnd();
            line_.Answer(kNak);
            continue;
        }
        head.segment = raw[4];
        head.sequence = raw[5];
        answer.header = head.s7;

        uint16_t plcError = 0;
        if (!ReadAnswerBody(reader, head.s7, answer, plcError)) {
            if (line_.FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            line_.Answer(kNak);
            continue;
        }
        uint8_t extra = 0;
        const Result tail = reader.Ended() ? Result::kEnd : reader.Next(extra);
        const bool late = answer.matchRequest && !AnswersRequest(lastRequest, answer);
        if (tail == Result::kByte) {
            // More bytes than the header announced: an error header the caller did not expect.
            uint8_t code = 0;
            reader.Next(code);
            reader.SkipToEnd();
            reader.CheckTrailer();
            line_.AcceptWithNextTelegram();
            SendAck(record, head.sequence);
            if (late) {  // the error belongs to an earlier request
                if (++stale > kMaxStaleAnswers) {
                    record.status = kStatusNoAnswer;
                    return false;
                }
                --attempt;
                continue;
            }
            SetPlcError(record, static_cast<uint16_t>(extra << 8 | code));
            return false;
        }
        if (tail == Result::kFail || !reader.CheckTrailer()) {
            if (line_.FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            line_.Answer(kNak);
            continue;
        }
        // Every way on from here starts with a telegram of ours, which carries the accept.
        line_.AcceptWithNextTelegram();
        if (late) {
            // A late answer to an earlier request: taken from the adapter and dropped.
            if (!DropAnswer(record, head, answer) || ++stale > kMaxStaleAnswers) {
                record.status = kStatusNoAnswer;
                return false;
            }
            --attempt;
            continue;
        }
        pduReference = head.s7.pduReference;
        const bool more = head.segment == s7wire::kAdapterMore;
        if (more ? !ReceiveContinuation(record, answer) : !SendAck(record, head.sequence))
            return false;
        if (plcError != 0) {
            SetPlcError(record, plcError);
            return false;
        }
        record.plcError = 0;
        record.status = kStatusOk;
        return true;
    }
    return false;
}

// Acknowledges an answer that is not wanted, fetching its further pieces when the adapter split it.
bool AdapterChannel::DropAnswer(ConnectionRecord& record, const ReceivedHeader& head, const Answer& answer) {
    if (head.segment != s7wire::kAdapterMore)
        return SendAck(record, head.sequence);
    Answer rest;
    rest.header = answer.header;
    rest.dataReceived = answer.dataReceived;
    return ReceiveContinuation(record, rest);
}

// The pieces of an answer the adapter split: each asked for with the continue telegram, the last one
// (final marker) acknowledged.
bool AdapterChannel::ReceiveContinuation(ConnectionRecord& record, Answer& answer) {
    for (size_t piece = 0; piece < kMaxContinuations; ++piece) {
        if (!line_.SendTelegram(record, s7wire::ContinueTelegram()))
            return false;
        bool received = false;
        uint8_t head[s7wire::kAdapterHeaderSize] = {};
        for (int32_t attempt = 0; attempt < line_.Attempts() && !received; ++attempt) {
            uint8_t first = 0;
            if (!line_.WaitByte(first, line_.TimeoutTicks()) || first != kStx) {
                if (line_.FailIfLost(record))
                    return false;
                record.status = kStatusNoAnswer;
                continue;
            }
            if (!line_.Answer(kDle)) {
                record.status = kStatusPort;
                return false;
            }
            TelegramReader reader(line_.port, line_.CharTicks());
            size_t got = 0;
            const size_t storedBefore = answer.dataStored, receivedBefore = answer.dataReceived;
            const size_t rest =
                answer.header.dataLength - std::min<size_t>(answer.dataReceived, answer.header.dataLength);
            const bool ok = reader.Read(head, sizeof head, got) == Result::kByte &&
                            ReadAnswerData(reader, answer, rest) != Result::kFail &&
                            (reader.Ended() || reader.SkipToEnd()) && reader.CheckTrailer();
            if (!ok) {
                if (line_.FailIfLost(record))
                    return false;
                answer.dataStored = storedBefore;  // the piece comes again after the NAK
                answer.dataReceived = receivedBefore;
                record.status = kStatusNoAnswer;
                line_.Answer(kNak);
                continue;
            }
            line_.AcceptWithNextTelegram();  // goes out with the next continue request or the ack
            received = true;
        }
        if (!received)
            return false;
        if (head[4] != s7wire::kAdapterMore)
            return SendAck(record, head[5]);
    }
    record.status = kStatusNoAnswer;
    return false;
}

}  // namespace vaultra::s7
