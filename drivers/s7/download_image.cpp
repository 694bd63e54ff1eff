// What the download sends: its request parameters and the load-memory image built from the caller's
// block image.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "drivers/s7/download.h"
#include "drivers/s7/wire/byte_reader.h"
#include "platform/time.h"

namespace vaultra::s7 {

namespace {

// Block image header fields (big-endian) the download reads or rewrites.
constexpr size_t kHeaderLength = 36;
constexpr size_t kTrailerLength = 36;
constexpr size_t kTypeAt = 5;
constexpr size_t kLoadLengthAt = 8;
constexpr size_t kCodeStampAt = 16;
constexpr size_t kInterfaceStampAt = 22;
constexpr size_t kInterfaceLengthAt = 28;
constexpr size_t kSegmentLengthAt = 30;
constexpr size_t kLocalDataAt = 32;
constexpr size_t kCodeLengthAt = 34;
constexpr uint8_t kTypeDb = 0x0A;
constexpr uint8_t kTypeSdb = 0x0B;

void AppendText(Bytes& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

void AppendName(Bytes& out, const std::array<uint8_t, 2>& type, int32_t number) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%05d", static_cast<int>(static_cast<uint32_t>(number) % 100000u));
    out.push_back(type[0]);
    out.push_back(type[1]);
    AppendText(out, digits);
}

uint16_t Get16(const uint8_t* image, size_t at) {
    return static_cast<uint16_t>(image[at] << 8 | image[at + 1]);
}

void Put16(uint8_t* image, size_t at, uint32_t value) {
    image[at] = static_cast<uint8_t>(value >> 8);
    image[at + 1] = static_cast<uint8_t>(value);
}

void Put32(uint8_t* image, size_t at, uint32_t value) {
    Put16(image, at, value >> 16);
    Put16(image, at + 2, value & 0xFFFF);
}

bool AllZero(const uint8_t* bytes, size_t n) {
    return std::all_of(bytes, bytes + n, [](uint8_t b) { return b == 0; });
}

int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

S7Timestamp SystemTimestamp() {
    const int64_t now = platform::CurrentTime();
    const platform::LocalDateTime t = platform::ToLocalTime(now);
    const uint32_t ms = static_cast<uint32_t>((t.hour * 3600 + t.minute * 60 + t.second) * 1000);
    return TimestampOf(t.year, t.month, t.day, ms);
}

TimestampClock gClock = &SystemTimestamp;

// The parts as they follow the header in a stored image: code, interface, additional (segment) part.
struct SourceParts {
    uint32_t code = 0;
    uint32_t interfacePart = 0;
    uint32_t segment = 0;
};

// The rewritten header of a non-SDB block; the caller's bytes 0-7 and 12-15 (marker, version, attribute,
// language, type, number, security word) are kept as they are.
void RewriteHeader(uint8_t* out, const uint8_t* caller, const TransferImage& t, const SourceParts& sent,
                   bool db) {
    std::memcpy(out, caller, kHeaderLength);
    Put32(out, kLoadLengthAt, t.loadLength);
    const S7Timestamp now = gClock();
    if (AllZero(caller + kCodeStampAt, now.size()))
        std::copy(now.begin(), now.end(), out + kCodeStampAt);
    std::copy(now.begin(), now.end(), out + kInterfaceStampAt);
    Put16(out, kInterfaceLengthAt, sent.interfacePart);
    Put16(out, kSegmentLengthAt, sent.segment);
    Put16(out, kLocalDataAt, db ? 0 : Get16(caller, kLocalDataAt));
    Put16(out, kCodeLengthAt, t.codeLength);
}

}  // namespace

Bytes RequestDownloadParam(const std::array<uint8_t, 2>& type, int32_t number, uint32_t loadLength,
                           uint32_t codeLength) {
    Bytes out{0x1A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, '_'};
    AppendName(out, type, number);
    out.push_back('P');
    out.push_back(0x0D);
    char lengths[16];
    // Six digits each: a leading "0" and five digits for every block up to 99999 bytes.
    std::snprintf(lengths, sizeof lengths, "1%06u%06u", loadLength % 1000000u, codeLength % 1000000u);
    AppendText(out, lengths);
    return out;
}

Bytes BlockControlParam(const std::array<uint8_t, 2>& type, int32_t number, char letter,
                        const char* service) {
    Bytes out{0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x0A, 0x01, 0x00};
    AppendName(out, type, number);
    out.push_back(static_cast<uint8_t>(letter));
    out.push_back(0x05);
    AppendText(out, service);
    return out;
}

Bytes CompressParam() {
    Bytes out{0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x00, 0x05};
    AppendText(out, "_GARB");
    return out;
}

Bytes ClearAllData() {
    Bytes out{0xFF, 0x09, 0x00, 0x18, 0x00, 0x14};
    out.insert(out.end(), 7, 0x00);
    out.push_back(0x01);
    out.insert(out.end(), 4, 0x00);
    for (int i = 0; i < 4; ++i)
        out.insert(out.end(), {0x00, 0x01});
    out.insert(out.end(), {0x00, 0x00});
    return out;
}

S7Timestamp TimestampOf(int year, int month, int day, uint32_t millisecondsOfDay) {
    const int64_t days = DaysFromCivil(year, month, day) - DaysFromCivil(1984, 1, 1);
    const uint16_t d = static_cast<uint16_t>(std::clamp<int64_t>(days, 0, 0xFFFF));
    const uint32_t ms = millisecondsOfDay;
    return {static_cast<uint8_t>(ms >> 24), static_cast<uint8_t>(ms >> 16), static_cast<uint8_t>(ms >> 8),
            static_cast<uint8_t>(ms),       static_cast<uint8_t>(d >> 8),   static_cast<uint8_t>(d)};
}

void SetTimestampClock(TimestampClock clock) {
    gClock = clock != nullptr ? clock : &SystemTimestamp;
}

std::optional<TransferImage> BuildTransferImage(uint8_t* image) {
    if (image == nullptr || image[0] != 0x70 || image[1] != 0x70)
        return std::nullopt;
    const uint8_t type = image[kTypeAt];
    TransferImage t;
    if (type == kTypeSdb) {
        // System data go back exactly as they came, header included.
        t.loadLength = Get16(image, kLoadLengthAt + 2);
        if (t.loadLength < kHeaderLength)
            return std::nullopt;
        t.codeLength = Get16(image, kCodeLengthAt);
        t.bytes.assign(image, image + t.loadLength);
        return t;
    }
    const bool db = type == kTypeDb;
    const SourceParts source{Get16(image, kCodeLengthAt), Get16(image, kInterfaceLengthAt),
                             Get16(image, kSegmentLengthAt)};
    SourceParts sent = source;
    const bool padded = db && source.code % 2 != 0;
    if (db)
        sent.segment = 0;  // a data block has no segment part and no local data
    sent.code += padded ? 1 : 0;
    sent.segment += sent.segment % 2;
    t.codeLength = sent.code;
    t.loadLength = sent.code + sent.interfacePart + sent.segment + kHeaderLength + kTrailerLength;

    // The caller's header shows what was sent.
    Put16(image, kCodeLengthAt, sent.code);
    Put16(image, kSegmentLengthAt, sent.segment);
    if (db)
        Put16(image, kLocalDataAt, 0);
    Put32(image, kLoadLengthAt, t.loadLength);

    t.bytes.assign(t.loadLength, 0);
    uint8_t* out = t.bytes.data();
    RewriteHeader(out, image, t, sent, db);
    const uint8_t* in = image + kHeaderLength;
    size_t at = kHeaderLength;
    if (padded) {
        // The last code byte moves one place on, a zero byte before it.
        std::copy(in, in + source.code - 1, out + at);
        out[at + source.code] = in[source.code - 1];
    } else {
        std::copy(in, in + source.code, out + at);
    }
    at += sent.code;
    in += source.code;
    std::copy(in, in + source.interfacePart, out + at);
    at += sent.interfacePart;
    in += source.interfacePart;
    if (!db)
        std::copy(in, in + source.segment, out + at);
    at += sent.segment;
    in += source.segment;
    std::copy(in, in + kTrailerLength, out + at);
    return t;
}

}  // namespace vaultra::s7
