// Block download (the PLC asks for the pieces, the PC answers), insert, delete, compress and clear.
#include "drivers/s7/download.h"

#include <algorithm>

#include <vaultra/byte_order.h>

#include "drivers/s7/requests.h"
#include "drivers/s7/services.h"

namespace vaultra::s7 {

namespace {

constexpr uint32_t kCpuIdentification = 0x01320004;
constexpr uint32_t kCpuProtection = 0x01320002;
constexpr uint32_t kCpuMode = 0x04240000;
constexpr int32_t kSmallListRoom = 52;
constexpr int32_t kModeListRoom = 32;
constexpr size_t kPlcJobParam = 18;
constexpr size_t kMaxPiece = 222;
constexpr uint8_t kDownloadPiece = 0x1B;
constexpr uint8_t kEndDownload = 0x1C;
// More pieces than this for one block means the PLC is not following the dialogue.
constexpr size_t kMaxPieceRequests = 4096;

// A job acknowledged with one parameter byte; the byte that arrived is left in `function`.
bool OneByteJob(Channel& channel, ConnectionRecord& record, const Bytes& param, uint8_t& function,
                size_t& got) {
    uint8_t ack[1] = {0};
    Answer answer;
    answer.wantParam = 1;
    answer.param = ack;
    const bool ok = Exchange(channel, record, s7wire::kRosctrJob, param, {}, answer);
    function = ack[0];
    got = answer.paramRead;
    return ok;
}

bool StatusList(Channel& channel, ConnectionRecord& record, uint32_t list, int32_t room) {
    std::vector<uint8_t> buffer(static_cast<size_t>(room));
    return ReadSystemStatusList(channel, record, list, buffer.data(), room) != 0;
}

// Waits for the PLC's next job of the download; its function byte is returned in `function`.
bool ReceivePlcJob(Channel& channel, ConnectionRecord& record, uint8_t& function) {
    uint8_t param[kPlcJobParam] = {};
    Answer answer;
    answer.wantParam = sizeof param;
    answer.param = param;
    if (!channel.Receive(record, answer))
        return false;
    function = param[0];
    if (answer.header.rosctr != s7wire::kRosctrJob || answer.paramRead == 0 ||
        (function != kDownloadPiece && function != kEndDownload)) {
        record.status = kStatusNoAnswer;  // not a job of this dialogue
        return false;
    }
    return true;
}

// Answers the PLC's requests with the pieces of the image, then its end-of-download job.
bool Transfer(Channel& channel, ConnectionRecord& record, const TransferImage& image) {
    const size_t total = image.bytes.size();
    size_t sent = 0;
    for (size_t request = 0; request < kMaxPieceRequests; ++request) {
        uint8_t function = 0;
        if (!ReceivePlcJob(channel, record, function))
            return false;
        if (function == kEndDownload)
            return sent == total && channel.SendReply(record, Bytes{kEndDownload}, {});
        const size_t piece = std::min(kMaxPiece, total - sent);
        const bool more = sent + piece < total;
        Bytes data;
        data.reserve(piece + 4);
        bytes::AppendBe16(data, static_cast<uint16_t>(piece));
        data.insert(data.end(), {0x00, 0xFB});
        data.insert(data.end(), image.bytes.begin() + static_cast<std::ptrdiff_t>(sent),
                    image.bytes.begin() + static_cast<std::ptrdiff_t>(sent + piece));
        if (!channel.SendReply(record, Bytes{kDownloadPiece, static_cast<uint8_t>(more ? 1 : 0)}, data))
            return false;
        sent += piece;
    }
    record.status = kStatusNoAnswer;
    return false;
}

// The insert's answer: a refusal that came with the function byte reads as status 0x28, keeping the PLC's
// error word; a refusal without it keeps the status of the exchange.
int32_t Insert(Channel& channel, ConnectionRecord& record, const std::array<uint8_t, 2>& type,
               int32_t number) {
    uint8_t function = 0;
    size_t got = 0;
    if (OneByteJob(channel, record, BlockControlParam(type, number, 'P', "_INSE"), function, got))
        return 1;
    if (got > 0)
        record.status = function;
    return 0;
}

}  // namespace

int32_t WriteBlock(Channel& channel, ConnectionRecord& record, BlockRecord* block, int32_t type) {
    const auto chars = BlockTypeChars(type);
    if (!chars || block == nullptr)
        return 0;
    const auto image = BuildTransferImage(block->image);
    if (!image) {
        record.status = kStatusNoAnswer;
        return 0;
    }
    const int32_t number = block->image[6] << 8 | block->image[7];
    if (!StatusList(channel, record, kCpuIdentification, kSmallListRoom))
        return 0;
    ++channel.pduReference;
    uint8_t function = 0;
    size_t got = 0;
    if (!OneByteJob(channel, record,
                    RequestDownloadParam(*chars, number, image->loadLength, image->codeLength), function,
                    got))
        return 0;
    const uint16_t acknowledged = channel.pduReference;
    if (!Transfer(channel, record, *image))
        return 0;
    channel.pduReference = static_cast<uint16_t>(acknowledged + 1);
    block->length = static_cast<uint16_t>(image->loadLength);
    return Insert(channel, record, *chars, number);
}

int32_t CreateBlock(Channel& channel, ConnectionRecord& record, BlockRecord* block) {
    if (block == nullptr)
        return 0;
    static constexpr std::pair<uint8_t, int32_t> kCodes[] = {{0x01, 0}, {0x08, 3}, {0x10, 4}, {0xF4, 5},
                                                             {0xF7, 1}, {0xFA, 2}, {0xFD, 6}};
    for (const auto& [code, index] : kCodes) {
        if (code == block->type)
            return WriteBlock(channel, record, block, index);
    }
    return 0;
}

int32_t DeleteBlock(Channel& channel, ConnectionRecord& record, int32_t type, int32_t number) {
    const auto chars = BlockTypeChars(type);
    if (!chars)
        return 0;
    uint8_t function = 0;
    size_t got = 0;
    return OneByteJob(channel, record, BlockControlParam(*chars, number, 'B', "_DELE"), function, got) ? 1
                                                                                                       : 0;
}

int32_t Compress(Channel& channel, ConnectionRecord& record) {
    if (!StatusList(channel, record, kCpuIdentification, kSmallListRoom))
        return 0;
    ++channel.pduReference;
    if (!StatusList(channel, record, kCpuProtection, kSmallListRoom))
        return 0;
    ++channel.pduReference;
    uint8_t function = 0;
    size_t got = 0;
    return OneByteJob(channel, record, CompressParam(), function, got) ? 1 : 0;
}

int32_t ClearAll(Channel& channel, ConnectionRecord& record) {
    if (!StatusList(channel, record, kCpuMode, kModeListRoom))
        return 0;
    uint8_t param[12] = {};
    uint8_t data[4] = {};
    Answer answer;
    answer.wantParam = sizeof param;
    answer.param = param;
    answer.takeData = true;
    answer.data = data;
    if (!Exchange(channel, record, s7wire::kRosctrUserData, ProgrammerParam(0x0C), ClearAllData(), answer))
        return 0;
    if (param[11] != 0) {
        record.status = kStatusPlcError;
        return 0;
    }
    return 1;
}

}  // namespace vaultra::s7
