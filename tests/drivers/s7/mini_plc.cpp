#include "tests/drivers/s7/mini_plc.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <vaultra/byte_order.h>

namespace vaultra::s7::testing {

namespace {

constexpr uint8_t kJob = 1;
constexpr uint8_t kAckData = 3;
constexpr uint8_t kUserData = 7;
// How far a request's reference may run ahead of the last one: the driver counts up by one per
// request and takes over the reference of an answer (the second answer of a memory access adds 7).
constexpr uint16_t kReferenceStep = 64;

// 32, ROSCTR, 00 00, the reference low byte first as these stations use it, lengths big-endian.
Bytes Header(uint8_t rosctr, uint16_t ref, size_t plen, size_t dlen) {
    Bytes out{0x32, rosctr, 0x00, 0x00, static_cast<uint8_t>(ref), static_cast<uint8_t>(ref >> 8)};
    bytes::AppendBe16(out, static_cast<uint16_t>(plen));
    bytes::AppendBe16(out, static_cast<uint16_t>(dlen));
    return out;
}

const uint8_t kTypes[7] = {'8', 'A', 'B', 'C', 'D', 'E', 'F'};

}  // namespace

Bytes AckPdu(uint16_t ref, uint8_t errorClass, uint8_t errorCode, const Bytes& param, const Bytes& data) {
    Bytes out = Header(kAckData, ref, param.size(), data.size());
    out.push_back(errorClass);
    out.push_back(errorCode);
    out.insert(out.end(), param.begin(), param.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes UserDataPdu(uint16_t ref, uint8_t group, uint8_t subfunction, uint8_t sequence, bool last,
                  uint16_t error, const Bytes& data) {
    Bytes param{0x00,        0x01,
                0x12,        0x08,
                0x12,        static_cast<uint8_t>(0x80 | (group & 0x0F)),
                subfunction, sequence,
                0x00,        static_cast<uint8_t>(last ? 0x00 : 0x01)};
    bytes::AppendBe16(param, error);
    Bytes out = Header(kUserData, ref, param.size(), data.size());
    out.insert(out.end(), param.begin(), param.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

MiniPlc::MiniPlc() {
    for (uint8_t area : {0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70})
        areas[area] = Bytes(65536, 0);
}

Bytes MiniPlc::MakeBlock(uint8_t typeCode, uint16_t number, size_t loadLength) {
    Bytes image(loadLength);
    for (size_t i = 0; i < loadLength; ++i)
        image[i] = static_cast<uint8_t>(i * 7 + number);
    image[0] = image[1] = 0x70;
    image[5] = typeCode;
    image[6] = static_cast<uint8_t>(number >> 8);
    image[7] = static_cast<uint8_t>(number);
    image[8] = static_cast<uint8_t>(loadLength >> 24);
    image[9] = static_cast<uint8_t>(loadLength >> 16);
    image[10] = static_cast<uint8_t>(loadLength >> 8);
    image[11] = static_cast<uint8_t>(loadLength);
    return image;
}

std::vector<Bytes> MiniPlc::Handle(const Bytes& pdu) {
    lastRequest = pdu;
    if (pdu.size() < 10 || pdu[0] != 0x32)
        return {};
    const uint16_t ref = static_cast<uint16_t>(pdu[4] | pdu[5] << 8);
    const size_t plen = bytes::LoadBe16(pdu, 6), dlen = bytes::LoadBe16(pdu, 8);
    if (pdu.size() < 10 + plen + dlen)
        return {};
    const Bytes param(pdu.begin() + 10, pdu.begin() + 10 + static_cast<long>(plen));
    const Bytes data(pdu.begin() + 10 + static_cast<long>(plen),
                     pdu.begin() + 10 + static_cast<long>(plen + dlen));
    if (!ReferenceInOrder(pdu[1], param, ref)) {
        ++referenceFaults;
        return {AckPdu(ref, 0x85, 0x00, {param.empty() ? uint8_t{0} : param[0]}, {})};
    }
    if (pdu[1] == kJob)
        return Job(ref, param, data);
    if (pdu[1] == kUserData)
        return UserData(ref, param, data);
    return {};
}

bool MiniPlc::ReferenceInOrder(uint8_t rosctr, const Bytes& param, uint16_t ref) {
    if (rosctr == kJob && !param.empty() && param[0] == 0xF0) {
        // A connect starts the count again at 2.
        lastReference_ = 2;
        return ref == 2;
    }
    if (ref < lastReference_ || ref - lastReference_ > kReferenceStep)
        return false;
    lastReference_ = ref;
    return true;
}

std::vector<Bytes> MiniPlc::Job(uint16_t ref, const Bytes& param, const Bytes& data) {
    if (failNextJob) {
        const uint16_t e = *failNextJob;
        failNextJob.reset();
        const uint8_t function = param.empty() ? 0x28 : param[0];
        return {AckPdu(ref, static_cast<uint8_t>(e >> 8), static_cast<uint8_t>(e), {function}, {})};
    }
    if (param.empty() && data.size() == 18) {
        ++seen["ramToRom"];
        return {AckPdu(ref, 0, 0, {0x28, 0x00}, {0x00})};
    }
    switch (param.empty() ? 0 : param[0]) {
        case 0xF0:
            ++seen["setup"];
            return {AckPdu(ref, 0, 0, {0xF0, 0x00, 0x00, 0x01, 0x00, 0x01, 0x01, 0xE0}, {})};
        case 0x29:
            ++seen["stop"];
            running = false;
            return {AckPdu(ref, 0, 0, {0x29}, {})};
        case 0x28:
            ++seen["start"];
            running = true;
            return {AckPdu(ref, 0, 0, {0x28}, {})};
        case 0x1D: {
            ++seen["startUpload"];
            const uint16_t number =
                static_cast<uint16_t>(std::stoi(std::string(param.begin() + 12, param.begin() + 17)));
            const auto it = blocks.find({param[11], number});
            if (it == blocks.end())
                return {AckPdu(ref, 0xD2, 0x09, {0x1D}, {})};
            uploading_ = &it->second;
            uploadOffset_ = 0;
            char digits[8];
            std::snprintf(digits, sizeof digits, "%07zu", it->second.size() % 10000000);
            Bytes p{0x1D, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x07, 0x07};
            p.insert(p.end(), digits, digits + 7);
            return {AckPdu(ref, 0, 0, p, {})};
        }
        case 0x1E: {
            ++seen["upload"];
            if (uploading_ == nullptr)
                return {AckPdu(ref, 0xD2, 0x01, {0x1E}, {})};
            const size_t n = std::min(uploadPiece, uploading_->size() - uploadOffset_);
            Bytes d;
            bytes::AppendBe16(d, static_cast<uint16_t>(n));
            d.insert(d.end(), {0x00, 0xFB});
            d.insert(d.end(), uploading_->begin() + static_cast<long>(uploadOffset_),
                     uploading_->begin() + static_cast<long>(uploadOffset_ + n));
            uploadOffset_ += n;
            return {AckPdu(ref, 0, 0, {0x1E, static_cast<uint8_t>(uploadOffset_ < uploading_->size())}, d)};
        }
        case 0x1F:
            ++seen["endUpload"];
            uploading_ = nullptr;
            return {AckPdu(ref, 0, 0, {0x1F}, {})};
        default:
            return {AckPdu(ref, 0x81, 0x04, {param.empty() ? uint8_t{0} : param[0]}, {})};
    }
}

std::vector<Bytes> MiniPlc::TypeList(uint16_t ref, uint8_t type, bool followUp) {
    if (!followUp) {
        listType_ = type;
        listOffset_ = 0;
    }
    Bytes entries;
    size_t taken = 0, index = 0;
    for (const auto& [key, image] : blocks) {
        if (key.first != listType_)
            continue;
        if (index++ < listOffset_)
            continue;
        if (taken == entriesPerAnswer)
            break;
        bytes::AppendBe16(entries, key.second);
        entries.insert(entries.end(), {0x22, 0x05});
        ++taken;
    }
    listOffset_ += taken;
    const bool last = index <= listOffset_;
    Bytes d{0xFF, 0x09};
    bytes::AppendBe16(d, static_cast<uint16_t>(entries.size()));
    d.insert(d.end(), entries.begin(), entries.end());
    return {UserDataPdu(ref, 0x43, 0x02, 0x05, last, 0, d)};
}

std::vector<Bytes> MiniPlc::UserData(uint16_t ref, const Bytes& param, const Bytes& data) {
    if (param.size() < 8)
        return {};
    const uint8_t group = param[5], sub = param[6];
    if (failNextUserData) {
        const uint16_t e = *failNextUserData;
        failNextUserData.reset();
        return {UserDataPdu(ref, group, sub, 0, true, e, {0x0A, 0x00, 0x00, 0x00})};
    }
    if (group == 0x43 && sub == 0x01) {
        ++seen["list"];
        Bytes d{0xFF, 0x09, 0x00, 0x1C};
        for (uint8_t t : kTypes) {
            uint16_t count = 0;
            for (const auto& entry : blocks)
                count += entry.first.first == t;
            d.insert(d.end(), {'0', t});
            bytes::AppendBe16(d, count);
        }
        return {UserDataPdu(ref, 0x43, 0x01, 0, true, 0, d)};
    }
    if (group == 0x43 && sub == 0x02) {
        const bool followUp = param.size() == 12;
        ++seen[followUp ? "followUp" : "listType"];
        return TypeList(ref, followUp ? listType_ : data.at(5), followUp);
    }
    if (group == 0x43 && sub == 0x03) {
        ++seen["info"];
        const uint16_t number =
            static_cast<uint16_t>(std::stoi(std::string(data.begin() + 6, data.begin() + 11)));
        const auto it = blocks.find({data[5], number});
        if (it == blocks.end())
            return {UserDataPdu(ref, 0x43, 0x03, 0, true, 0xD20E, {0x0A, 0x00, 0x00, 0x00})};
        Bytes d(82, 0);
        d[0] = 0xFF;
        d[1] = 0x09;
        d[3] = 78;
        d[10] = d[11] = 0x70;
        d[16] = static_cast<uint8_t>(number >> 8);
        d[17] = static_cast<uint8_t>(number);
        std::copy(it->second.begin() + 8, it->second.begin() + 12, d.begin() + 18);
        d[70] = 0x11;
        return {UserDataPdu(ref, 0x43, 0x03, 0, true, 0, d)};
    }
    if (group == 0x45) {
        ++seen["password"];
        const bool ok = password.empty() || Bytes(data.begin() + 4, data.end()) == password;
        return {UserDataPdu(ref, 0x45, 0x01, 0, true, ok ? 0 : 0xD602, {0x0A, 0x00, 0x00, 0x00})};
    }
    if (group == 0x44) {
        ++seen["szl"];
        Bytes d{0xFF, 0x09, 0x00, 0x1C, data[4], data[5], data[6], data[7]};
        for (uint8_t c = 0; d.size() < 32; ++c)
            d.push_back(static_cast<uint8_t>('A' + c));
        return {UserDataPdu(ref, 0x44, 0x01, 0, true, 0, d)};
    }
    if (group == 0x41 && param.size() == 12) {
        if (sub == 0x03 || sub == 0x04) {
            ++seen["stack"];
            Bytes d{0xFF, 0x09, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8};
            return {UserDataPdu(ref, 0x41, sub, 0, true, 0, d)};
        }
        if (sub == 0x10) {
            ++seen["toggle"];
            return {UserDataPdu(ref, 0x41, sub, 0, true, 0, {0xFF, 0x09, 0x00, 0x00})};
        }
        return Variables(ref, sub, data);
    }
    return {UserDataPdu(ref, group, sub, 0, true, 0x8104, {0x0A, 0x00, 0x00, 0x00})};
}

std::vector<Bytes> MiniPlc::Variables(uint16_t ref, uint8_t subfunction, const Bytes& data) {
    const Bytes ack = UserDataPdu(ref, 0x41, subfunction, 0, true, 0, {0xFF, 0x09, 0x00, 0x00});
    const uint8_t area = data.at(30) & 0xF0;
    const size_t size = data[30] & 0x0F, count = data[31];
    const size_t address = bytes::LoadBe16(data, 34), bytes = size * count;
    Bytes& memory = areas[area];
    if (subfunction == 0x02) {
        ++seen["read"];
        Bytes d{0xFF, 0x09};
        bytes::AppendBe16(d, static_cast<uint16_t>(14 + bytes));
        d.resize(18, 0);
        d.insert(d.end(), memory.begin() + static_cast<long>(address),
                 memory.begin() + static_cast<long>(address + bytes));
        return {ack, UserDataPdu(static_cast<uint16_t>(ref + 7), 0x41, 0x02, 0, true, 0, d)};
    }
    ++seen["write"];
    std::copy(data.begin() + 40, data.begin() + 40 + static_cast<long>(bytes),
              memory.begin() + static_cast<long>(address));
    Bytes d(16, 0);
    d[0] = 0xFF;
    d[1] = 0x09;
    d[14] = writeReturnCode;
    return {ack, UserDataPdu(static_cast<uint16_t>(ref + 7), 0x41, 0x08, 0, true, 0, d)};
}

}  // namespace vaultra::s7::testing
