// Block information and block upload.
#include <algorithm>
#include <cstring>
#include <vector>

#include <vaultra/byte_order.h>

#include "drivers/s7/requests.h"
#include "drivers/s7/services.h"
#include "drivers/s7/wire/byte_reader.h"

namespace vaultra::s7 {

namespace {

constexpr uint8_t kMark = 0x84;
constexpr size_t kInfoData = 82;
constexpr size_t kInfoVersionAt = 70;
constexpr size_t kStartUploadParam = 18;
constexpr size_t kUploadParam = 4;
constexpr size_t kPieceHeader = 4;  // length, 00 FB
constexpr size_t kBlockHeader = 36;
constexpr size_t kLoadLengthAt = 8;  // in the block header, 32 bits
constexpr size_t kUploadRoom = 2048;
constexpr size_t kLengthDigitsAt = 11;
constexpr size_t kMaxLengthDigits = 7;

void FillBlockRecord(BlockRecord& block, int32_t type, uint8_t marker0, uint8_t marker1, int32_t number,
                     uint8_t version, uint16_t length) {
    block.marker[0] = marker0;
    block.marker[1] = marker1;
    block.type = static_cast<uint8_t>(type);
    block.number = static_cast<uint8_t>(number);
    block.mark = kMark;
    block.version = version;
    block.reserved[0] = block.reserved[1] = 0;
    block.length = length;
}

// The total length of the start-upload answer: its length string read as a decimal number.
bool UploadTotal(const uint8_t* param, size_t got, size_t& total) {
    if (got < kLengthDigitsAt)
        return false;
    const size_t digits = param[kLengthDigitsAt - 1];
    if (digits == 0 || digits > kMaxLengthDigits || got < kLengthDigitsAt + digits)
        return false;
    total = 0;
    for (size_t i = 0; i < digits; ++i) {
        const uint8_t c = param[kLengthDigitsAt + i];
        if (c < '0' || c > '9')
            return false;
        total = total * 10 + (c - '0');
    }
    return true;
}

struct UploadJob {
    Channel& channel;
    ConnectionRecord& record;
    uint8_t id2 = 0;
    uint8_t id3 = 0;
};

// One upload answer into `room`; returns the data bytes received after the piece header.
bool UploadPiece(UploadJob& job, std::vector<uint8_t>& room, size_t& stored) {
    uint8_t param[kUploadParam] = {};
    Answer answer;
    answer.wantParam = kUploadParam;
    answer.param = param;
    answer.takeData = true;
    answer.data = room;
    if (!Exchange(job.channel, job.record, s7wire::kRosctrJob, UploadParam(kUpload, job.id2, job.id3), {},
                  answer))
        return false;
    stored = answer.dataStored;
    if (stored <= kPieceHeader) {
        job.record.status = kStatusNoAnswer;  // an empty piece would never end the upload
        return false;
    }
    return true;
}

// End upload. A missing answer still counts as done; only a PLC error fails.
int32_t EndUpload(UploadJob& job) {
    uint8_t param[1] = {};
    Answer answer;
    answer.wantParam = 1;
    answer.param = param;
    if (Exchange(job.channel, job.record, s7wire::kRosctrJob, UploadParam(kEndUpload, job.id2, job.id3), {},
                 answer))
        return 1;
    if (job.record.status == kStatusPlcError)
        return 0;
    job.record.status = kStatusOk;
    return 1;
}

}  // namespace

int32_t BlockInfo(Channel& channel, ConnectionRecord& record, BlockRecord* block, int32_t type,
                  int32_t number, int16_t* found) {
    const auto chars = BlockTypeChars(type);
    if (!chars || block == nullptr)
        return 0;
    uint8_t param[12] = {};
    std::vector<uint8_t> data(kInfoData);
    Answer answer;
    answer.wantParam = sizeof param;
    answer.param = param;
    answer.takeData = true;
    answer.data = data;
    if (!Exchange(channel, record, s7wire::kRosctrUserData, UserDataParam(kGroupBlocks, kBlockInfo),
                  BlockInfoData(*chars, number), answer))
        return 0;
    if (answer.dataStored <= kInfoVersionAt || data[0] != 0xFF || data[1] != 0x09)
        return 0;
    FillBlockRecord(*block, type, data[10], data[11], data[17], data[kInfoVersionAt],
                    bytes::LoadBe16(data, 20));
    if (found != nullptr)
        *found = -1;
    record.status = kStatusOk;
    return 1;
}

int32_t ReadBlock(Channel& channel, ConnectionRecord& record, BlockRecord* block, int32_t type,
                  int32_t number, size_t capacity) {
    const auto chars = BlockTypeChars(type);
    if (!chars || block == nullptr || block->image == nullptr)
        return 0;
    uint8_t param[kStartUploadParam] = {};
    Answer start;
    start.wantParam = sizeof param;
    start.param = param;
    size_t total = 0;
    if (!Exchange(channel, record, s7wire::kRosctrJob, StartUploadParam(*chars, number), {}, start))
        return 0;
    if (!UploadTotal(param, start.paramRead, total) || total < kBlockHeader ||
        (capacity != 0 && total > capacity)) {
        record.status = kStatusNoAnswer;  // a length the caller's buffer cannot hold is refused
        return 0;
    }
    UploadJob job{channel, record, param[8], param[9]};

    uint8_t header[kBlockHeader] = {};
    std::vector<uint8_t> room(kUploadRoom);
    size_t received = 0;  // block bytes so far (without piece headers)
    while (received < total) {
        size_t stored = 0;
        if (!UploadPiece(job, room, stored))
            return 0;
        const size_t pieceBytes = stored - kPieceHeader;
        for (size_t i = 0; i < pieceBytes && received < total; ++i, ++received) {
            const uint8_t b = room[kPieceHeader + i];
            if (received < kBlockHeader) {
                header[received] = b;
            } else {
                block->image[received] = b;  // bytes past the announced total are cut off above
            }
        }
    }
    // A header announcing another length than the bytes that came would make the caller store bytes the
    // PLC never sent: the upload is refused as cut short, and the caller's buffer keeps no header.
    if (bytes::LoadBe32(header, kLoadLengthAt) != total) {
        EndUpload(job);
        record.status = kStatusNoAnswer;
        return 0;
    }
    std::memcpy(block->image, header, kBlockHeader);
    FillBlockRecord(*block, type, 0x70, 0x70, number, 0, bytes::LoadBe16(header, 10));
    return EndUpload(job);
}

}  // namespace vaultra::s7
