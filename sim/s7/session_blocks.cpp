// Block functions of the simulated PLC: directory, block information, upload, the PLC-driven download
// dialogue, insert and delete.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "s7project/block_image.h"
#include "sim/s7/errors.h"
#include "sim/s7/session.h"

namespace vaultra::sim::s7 {

namespace {

constexpr std::uint8_t kBlockFlags = 0x22;
constexpr std::size_t kBlockInfoSize = 78;
// Upload identifiers start at 7; a PLC runs only a few uploads at once and refuses more as busy.
constexpr std::uint32_t kFirstUploadId = 7;
constexpr std::size_t kMaxUploads = 16;

// Seven decimal digits of a length as the upload announces it.
std::string Digits(std::uint32_t value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", width, value);
    return text;
}

// "_0A00001P": underscore, block name, file-system letter. Nothing when malformed.
std::optional<BlockId> ParseFileName(ByteView name) {
    if (name.size() != 9 || name[0] != '_') {
        return std::nullopt;
    }
    return ParseBlockName(name.subspan(1, 7));
}

// Decimal digits as a number; nothing when any character is not a digit.
std::optional<std::uint32_t> ParseDigits(ByteView digits) {
    std::uint32_t value = 0;
    for (std::uint8_t c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

Bytes BlockInfoPayload(BlockId id, ByteView image) {
    Bytes info(kBlockInfoSize, 0);
    info[0] = 0x01;
    info[1] = id.type;
    info[6] = 'p';
    info[7] = 'p';
    info[8] = 0x01;
    info[9] = image[3];
    info[10] = image[4];
    info[11] = id.type;
    bytes::StoreBe16(info, 12, id.number);
    std::copy(image.begin() + 8, image.begin() + 36, info.begin() + 14);  // load length ... code length
    const auto parts = s7project::SplitBlockParts(image);
    if (parts && parts->trailer.size() == s7project::kBlockTrailerLength) {
        std::copy(parts->trailer.begin(), parts->trailer.begin() + 24, info.begin() + 42);
        info[66] = parts->trailer[24];
        info[68] = parts->trailer[26];
        info[69] = parts->trailer[27];
    }
    return info;
}

}  // namespace

Pdu Session::ListBlocks(const Pdu& request) {
    Bytes payload;
    for (std::uint8_t type : kListedTypes) {
        Put8(payload, '0');
        Put8(payload, static_cast<std::uint8_t>(FormatBlockName({type, 0})[1]));
        bytes::AppendBe16(payload, static_cast<std::uint16_t>(plc_.Blocks().Count(type)));
    }
    return Answer(request, kGroupBlocks, 0x01, payload);
}

Pdu Session::ListType(const Pdu& request) {
    const Bytes& data = request.data;
    // A follow-up asks for the next part of the previous answer and carries no type.
    if (data.empty() || data[0] != 0xFF) {
        if (!directory_) {
            return Answer(request, kGroupBlocks, 0x02, {}, error::kNoSuchJob);
        }
        return DirectoryPage(request);
    }
    const auto type = data.size() >= 6 ? TypeFromChars(data[4], data[5]) : std::nullopt;
    if (!type) {
        return Answer(request, kGroupBlocks, 0x02, {}, error::kBlockNameSyntax);
    }
    directory_ = DirectoryCursor{*type, 0};
    return DirectoryPage(request);
}

Pdu Session::DirectoryPage(const Pdu& request) {
    const std::vector<std::uint16_t> numbers = plc_.Blocks().Numbers(directory_->type);
    const std::size_t fits = (pduSize_ - 26u) / 4u;
    const std::size_t page =
        std::max<std::size_t>(1, std::min<std::size_t>(plc_.Options().directoryPage, fits));
    const std::size_t first = std::min(directory_->next, numbers.size());
    const std::size_t end = std::min(first + page, numbers.size());
    Bytes payload;
    for (std::size_t i = first; i < end; ++i) {
        const Bytes* image = plc_.Blocks().Find({directory_->type, numbers[i]});
        bytes::AppendBe16(payload, numbers[i]);
        Put8(payload, kBlockFlags);
        Put8(payload, image != nullptr ? (*image)[4] : 0);
    }
    UserDataAnswer answer;
    answer.group = kGroupBlocks;
    answer.subfunction = 0x02;
    answer.sequence = ++sequence_;
    answer.last = end >= numbers.size();
    answer.dataUnit = answer.last && first == 0 ? 0 : 0x01;
    if (answer.last) {
        directory_.reset();
    } else {
        directory_->next = end;
    }
    return UserData(request.reference, answer, payload);
}

Pdu Session::BlockInfo(const Pdu& request) {
    const Bytes& data = request.data;
    const auto id = data.size() >= 11 ? ParseBlockName(ByteView(data).subspan(4, 7)) : std::nullopt;
    if (!id) {
        return Answer(request, kGroupBlocks, 0x03, {}, error::kBlockNameSyntax);
    }
    const Bytes* image = plc_.Blocks().Find(*id);
    if (image == nullptr || !s7project::ReadBlockHeader(*image)) {
        return Answer(request, kGroupBlocks, 0x03, {}, error::kBlockNotFound);
    }
    return Answer(request, kGroupBlocks, 0x03, BlockInfoPayload(*id, *image));
}

Pdu Session::StartUpload(const Pdu& request) {
    const ByteView param = request.param;
    const auto id = param.size() >= 18 && param[8] == 9 ? ParseFileName(param.subspan(9, 9)) : std::nullopt;
    if (!id) {
        return ErrorAck(request, error::kBlockNameSyntax);
    }
    const Bytes* image = plc_.Blocks().Find(*id);
    if (image == nullptr) {
        return ErrorAck(request, error::kBlockNotFound);
    }
    const auto upload_id = FreeUploadId();
    if (!upload_id) {
        return ErrorAck(request, error::kBusy);
    }
    uploads_[*upload_id] = Upload{*id, 0};
    Bytes answer = {0x1D, 0x00, 0x01, 0x00};
    bytes::AppendBe32(answer, *upload_id);
    Put8(answer, 7);
    AppendText(answer, Digits(static_cast<std::uint32_t>(image->size()), 7));
    return AckData(request, std::move(answer));
}

std::optional<std::uint32_t> Session::FreeUploadId() const {
    // Like a PLC, hand out the lowest identifier no running upload holds, so that identifiers stay
    // small however many uploads one connection makes (some clients keep only their low byte).
    std::uint32_t candidate = kFirstUploadId;
    for (const auto& [taken, upload] : uploads_) {
        if (taken != candidate) {
            break;
        }
        ++candidate;
    }
    if (uploads_.size() >= kMaxUploads) {
        return std::nullopt;
    }
    return candidate;
}

Pdu Session::UploadPiece(const Pdu& request) {
    const auto it =
        request.param.size() >= 8 ? uploads_.find(bytes::LoadBe32(request.param, 4)) : uploads_.end();
    if (it == uploads_.end()) {
        return ErrorAck(request, error::kNoSuchJob);
    }
    const Bytes* image = plc_.Blocks().Find(it->second.id);
    if (image == nullptr) {
        return ErrorAck(request, error::kBlockNotFound);
    }
    const std::size_t offset = std::min(it->second.offset, image->size());
    const std::size_t length = std::min(PieceSize(), image->size() - offset);
    it->second.offset = offset + length;
    const bool more = it->second.offset < image->size();
    Bytes data;
    data.reserve(4 + length);
    bytes::AppendBe16(data, static_cast<std::uint16_t>(length));
    bytes::AppendBe16(data, 0x00FB);
    Append(data, ByteView(*image).subspan(offset, length));
    return AckData(request, {0x1E, static_cast<std::uint8_t>(more ? 0x01 : 0x00)}, std::move(data));
}

Pdu Session::EndUpload(const Pdu& request) {
    const auto it =
        request.param.size() >= 8 ? uploads_.find(bytes::LoadBe32(request.param, 4)) : uploads_.end();
    if (it == uploads_.end()) {
        return ErrorAck(request, error::kNoSuchJob);
    }
    uploads_.erase(it);
    return AckData(request, {0x1F});
}

std::vector<Pdu> Session::RequestDownload(const Pdu& request) {
    // 1A 00 01 00 00 00 00 00, name length, "_0A00001P", length of the rest, "1", load length, code length.
    ByteReader reader(request.param);
    reader.Skip(8);
    const ByteView file_name = reader.Take(reader.U8());
    const ByteView lengths = reader.Take(reader.U8());
    const auto id = ParseFileName(file_name);
    if (!reader.Ok() || !id) {
        return {ErrorAck(request, error::kBlockNameSyntax)};
    }
    const auto load_length = lengths.size() >= 7 ? ParseDigits(lengths.subspan(1, 6)) : std::nullopt;
    if (!load_length || *load_length < s7project::kBlockHeaderLength + s7project::kBlockTrailerLength) {
        return {ErrorAck(request, error::kBadRequest)};
    }
    const Bytes* existing = plc_.Blocks().Find(*id);
    if (plc_.Options().faults.memoryFull || plc_.Fragmented() ||
        !plc_.HasRoomFor(*load_length, existing ? existing->size() : 0)) {
        return {ErrorAck(request, error::kMemoryFull)};
    }
    download_ = Download{*id, std::string(file_name.begin(), file_name.end()), *load_length, {}};
    plc_.Logger().Trace(name_ + ": download of " + BlockName(*id) + ", " + std::to_string(*load_length) +
                        " bytes");
    return {AckData(request, {0x1A}), DownloadJob(0x1B)};
}

Pdu Session::DownloadJob(std::uint8_t function) {
    Pdu job;
    job.rosctr = Rosctr::Job;
    job.reference = NextPlcReference();
    job.param = {function, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09};
    AppendText(job.param, download_->fileName);
    return job;
}

std::vector<Pdu> Session::DownloadPiece(const Pdu& request) {
    if (!download_) {
        return {};
    }
    ByteReader reader(request.data);
    const std::uint16_t length = reader.U16();
    reader.Skip(2);
    const ByteView piece = reader.Take(length);
    Download& download = *download_;
    if (!reader.Ok() || download.received.size() + piece.size() > download.loadLength) {
        plc_.Logger().Note(name_ + ": download piece does not fit the announced length; download dropped");
        download_.reset();
        return {};
    }
    Append(download.received, piece);
    const bool last = request.param.size() < 2 || request.param[1] == 0x00;
    return {DownloadJob(last || download.received.size() == download.loadLength ? 0x1C : 0x1B)};
}

std::vector<Pdu> Session::EndDownload(const Pdu&) {
    if (!download_) {
        return {};
    }
    Download download = std::move(*download_);
    download_.reset();
    if (download.received.size() != download.loadLength || !s7project::ReadBlockHeader(download.received)) {
        plc_.Logger().Note(name_ + ": incomplete download of " + BlockName(download.id) + " dropped");
        return {};
    }
    passive_[download.id] = std::move(download.received);
    return {};
}

namespace {

// A refused insert names its function, as PLCs answer the program-invocation service.
Pdu RefuseInsert(const Pdu& request, std::uint16_t error) {
    Pdu answer = ErrorAck(request, error);
    answer.rosctr = Rosctr::AckData;
    answer.param = {0x28};
    return answer;
}

}  // namespace

Pdu Session::InsertOrDelete(const Pdu& request, Service service) {
    const auto job = ParseControl(request.param);
    if (!job) {
        return ErrorAck(request, error::kBadRequest);
    }
    // Argument block: block count, 00, then per block two type characters, five digits, file-system letter.
    const Bytes& arguments = job->arguments;
    const std::size_t count = arguments.empty() ? 0 : arguments[0];
    if (count == 0 || arguments.size() < 2 + count * 8) {
        return ErrorAck(request, error::kBlockNameSyntax);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto id = ParseBlockName(ByteView(arguments).subspan(2 + i * 8, 7));
        if (!id) {
            return ErrorAck(request, error::kBlockNameSyntax);
        }
        if (service == Service::Delete) {
            if (!plc_.Blocks().Erase(*id)) {
                return ErrorAck(request, error::kBlockNotFound);
            }
            continue;
        }
        const auto passive = passive_.find(*id);
        if (passive == passive_.end()) {
            return RefuseInsert(request, error::kBlockNotFound);
        }
        // The system's own functions are part of the operating system, not of the user program.
        if (id->type == kSFC || id->type == kSFB) {
            passive_.erase(passive);
            return RefuseInsert(request, error::kNotSupported);
        }
        const Bytes* existing = plc_.Blocks().Find(*id);
        if (!plc_.HasRoomFor(passive->second.size(), existing ? existing->size() : 0)) {
            return RefuseInsert(request, error::kMemoryFull);
        }
        plc_.Blocks().Put(*id, std::move(passive->second));
        passive_.erase(passive);
        plc_.Logger().Trace(name_ + ": inserted " + BlockName(*id));
    }
    return AckData(request, {0x28});
}

}  // namespace vaultra::sim::s7
