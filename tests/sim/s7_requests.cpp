#include "s7_requests.h"

#include <cstdio>

#include "sim/transport/framing/tpkt.h"

namespace vaultra::sim::test {

Bytes FromHex(std::string_view hex) {
    Bytes out;
    int half = -1;
    for (char c : hex) {
        int value = -1;
        if (c >= '0' && c <= '9') {
            value = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            value = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            value = c - 'a' + 10;
        }
        if (value < 0) {
            continue;
        }
        if (half < 0) {
            half = value;
        } else {
            out.push_back(static_cast<std::uint8_t>(half << 4 | value));
            half = -1;
        }
    }
    return out;
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        Append(out, part);
    }
    return out;
}

namespace {

Bytes Pdu(std::uint8_t rosctr, const Bytes& param, const Bytes& data, bool errorBytes) {
    // The drivers put the PDU reference low byte first; 0x0002 therefore travels as 02 00.
    Bytes out = {0x32, rosctr, 0x00, 0x00, 0x02, 0x00};
    bytes::AppendBe16(out, static_cast<std::uint16_t>(param.size()));
    bytes::AppendBe16(out, static_cast<std::uint16_t>(data.size()));
    if (errorBytes) {
        Append(out, Bytes{0x00, 0x00});
    }
    Append(out, param);
    Append(out, data);
    return out;
}

Bytes Programmer(std::uint8_t sub, Bytes data) {
    return UserDataPdu(Bytes{0x00, 0x01, 0x12, 0x08, 0x12, 0x41, sub, 0x00, 0x00, 0x00, 0x00, 0x00},
                       std::move(data));
}

Bytes FivePairs() {
    return FromHex("00 01 00 01 00 01 00 01 00 01");
}

}  // namespace

Bytes IsoConnectPacket(std::uint8_t rackSlot) {
    Bytes request = FromHex("11 E0 00 00 00 01 00 C0 01 08 C1 02 01 00 C2 02 02");
    request.push_back(rackSlot);
    return tpkt::Packet(request);
}

Bytes JobPdu(Bytes param, Bytes data) {
    return Pdu(0x01, param, data, false);
}
Bytes UserDataPdu(Bytes param, Bytes data) {
    return Pdu(0x07, param, data, false);
}
Bytes AckDataPdu(Bytes param, Bytes data) {
    return Pdu(0x03, param, data, true);
}

Bytes SetupRequest(std::uint16_t pduSize) {
    Bytes param = FromHex("F0 00 00 01 00 02");
    bytes::AppendBe16(param, pduSize);
    return JobPdu(param);
}

Bytes ListBlocksRequest() {
    return UserDataPdu(FromHex("00 01 12 04 11 43 01 00"), FromHex("0A 00 00 00"));
}

Bytes ListTypeRequest(char typeChar) {
    return UserDataPdu(FromHex("00 01 12 04 11 43 02 00"),
                       Bytes{0xFF, 0x09, 0x00, 0x02, '0', static_cast<std::uint8_t>(typeChar)});
}

Bytes ListTypeFollowUp(std::uint8_t sequence, std::uint8_t dataUnit) {
    return UserDataPdu(Bytes{0x00, 0x01, 0x12, 0x08, 0x12, 0x43, 0x02, sequence, dataUnit, 0x00, 0x00, 0x00},
                       FromHex("0A 00 00 00"));
}

Bytes BlockInfoRequest(std::string_view blockName) {
    return UserDataPdu(FromHex("00 01 12 04 11 43 03 00"),
                       Concat({FromHex("FF 09 00 08"), Text(blockName), Text("B")}));
}

Bytes StartUploadRequest(std::string_view blockName) {
    return JobPdu(Concat({FromHex("1D 00 00 00 00 00 00 00 09 5F"), Text(blockName), Text("A")}));
}

Bytes UploadRequest(ByteView uploadId) {
    return JobPdu(Bytes{0x1E, 0x00, 0x00, 0x00, 0x00, 0x00, uploadId[2], uploadId[3]});
}

Bytes EndUploadRequest(ByteView uploadId) {
    return JobPdu(Bytes{0x1F, 0x00, 0x00, 0x00, 0x00, 0x00, uploadId[2], uploadId[3]});
}

Bytes RequestDownloadRequest(std::string_view blockName, std::uint32_t loadLength, std::uint32_t codeLength) {
    char lengths[32];
    std::snprintf(lengths, sizeof lengths, "10%05u0%05u", loadLength, codeLength);
    return JobPdu(Concat({FromHex("1A 00 01 00 00 00 00 00 09 5F"), Text(blockName), Text("P"), FromHex("0D"),
                          Text(lengths)}));
}

Bytes DownloadAnswer(ByteView piece, bool more) {
    Bytes data;
    bytes::AppendBe16(data, static_cast<std::uint16_t>(piece.size()));
    Append(data, Bytes{0x00, 0xFB});
    Append(data, piece);
    return AckDataPdu(Bytes{0x1B, static_cast<std::uint8_t>(more ? 0x01 : 0x00)}, data);
}

Bytes EndDownloadAnswer() {
    return AckDataPdu(Bytes{0x1C});
}

Bytes ControlRequest(std::string_view blockName, std::string_view service) {
    const std::string letter = service == "_DELE" ? "B" : "P";
    return JobPdu(Concat({FromHex("28 00 00 00 00 00 00 FD 00 0A 01 00"), Text(blockName), Text(letter),
                          Bytes{static_cast<std::uint8_t>(service.size())}, Text(service)}));
}

Bytes CompressRequest() {
    return JobPdu(Concat({FromHex("28 00 00 00 00 00 00 FD 00 00 05"), Text("_GARB")}));
}
Bytes StartRequest() {
    return JobPdu(Concat({FromHex("28 00 00 00 00 00 00 FD 00 00 09"), Text("P_PROGRAM")}));
}
Bytes StopRequest() {
    return JobPdu(Concat({FromHex("29 00 00 00 00 00 09"), Text("P_PROGRAM")}));
}

Bytes RamToRomRequest() {
    // Announced as data, not as parameter, by the drivers.
    return JobPdu({}, Concat({FromHex("28 00 00 00 00 00 00 FD 00 02 45 50 05"), Text("_MODU")}));
}

Bytes PasswordRequest(ByteView eightBytes) {
    return UserDataPdu(FromHex("00 01 12 04 11 45 01 00"),
                       Concat({FromHex("FF 09 00 08"), Bytes(eightBytes.begin(), eightBytes.end())}));
}

Bytes SzlRequest(std::uint16_t id, std::uint16_t index) {
    Bytes data = FromHex("FF 09 00 04");
    bytes::AppendBe16(data, id);
    bytes::AppendBe16(data, index);
    return UserDataPdu(FromHex("00 01 12 04 11 44 01 00"), data);
}

Bytes VartabReadRequest(std::uint8_t areaSize, std::uint8_t count, std::uint16_t db, std::uint16_t start) {
    Bytes data = Concat({FromHex("FF 09 00 20 00 14 00 08 00 00 00 00 00 01 00 08"), FivePairs(),
                         FromHex("00 00 00 01"), Bytes{areaSize, count}});
    bytes::AppendBe16(data, db);
    bytes::AppendBe16(data, start);
    return Programmer(0x02, data);
}

Bytes VartabWriteRequest(std::uint8_t areaSize, std::uint8_t count, std::uint16_t db, std::uint16_t start,
                         ByteView values) {
    Bytes data = FromHex("FF 09");
    bytes::AppendBe16(data, static_cast<std::uint16_t>(36 + values.size()));
    Append(data, Concat({FromHex("00 14 00 0E 00 00 00 00 00 01 00 04"), FivePairs(), FromHex("00 00 00 01"),
                         Bytes{areaSize, count}}));
    bytes::AppendBe16(data, db);
    bytes::AppendBe16(data, start);
    Append(data, FromHex("00 09 00 02"));
    Append(data, values);
    return Programmer(0x08, data);
}

Bytes ClearAllRequest() {
    return UserDataPdu(FromHex("00 01 12 08 12 41 0C 00 00 00 00 00"),
                       Concat({FromHex("FF 09 00 18 00 14 00 00 00 00 00 00 00 01 00 00 00 00"),
                               FromHex("00 01 00 01 00 01 00 01 00 00")}));
}

Bytes BlockStackRequest() {
    return Programmer(0x04, Concat({FromHex("FF 09 00 1A 00 14 00 02 00 00 00 00 00 01 00 00"), FivePairs(),
                                    FromHex("00 00 00 00")}));
}

Bytes InterruptStackRequest() {
    return Programmer(0x03, Concat({FromHex("FF 09 00 1A 00 14 00 02 00 00 00 00 00 01 00 00"), FivePairs(),
                                    FromHex("00 00 01 00")}));
}

Bytes ToggleReadRequest() {
    return Programmer(0x10, Concat({FromHex("FF 09 00 1C 00 14 00 04 00 00 00 00 00 01 00 00"), FivePairs(),
                                    FromHex("00 00 00 00 00 00")}));
}

Bytes StatusVarInitRequest(const std::vector<Bytes>& items) {
    const std::uint16_t n = static_cast<std::uint16_t>(items.size());
    Bytes data = FromHex("FF 09");
    bytes::AppendBe16(data, static_cast<std::uint16_t>(n * 6 + 26));
    Append(data, FromHex("00 14"));
    bytes::AppendBe16(data, static_cast<std::uint16_t>(n * 6 + 2));
    Append(data, FromHex("00 00 00 01 00 00 00"));
    Put8(data, static_cast<std::uint8_t>(n * 6 + 2));
    Append(data, FivePairs());
    Append(data, FromHex("02 00"));
    bytes::AppendBe16(data, n);
    for (const Bytes& item : items) {
        Append(data, item);
    }
    return Programmer(0x02, data);
}

Bytes StatusDataRequest(std::uint8_t first, std::uint8_t second) {
    return Programmer(0x0E, Concat({FromHex("FF 09 00 1A 00 14 00 02 00 00 00 00 00 01 00 00 00 00"),
                                    FromHex("00 01 00 01 00 01 00 01 00 00"), Bytes{first, second}}));
}

Bytes StatusBlockInitRequest(ByteView selection) {
    Bytes data = FromHex("FF 09");
    bytes::AppendBe16(data, static_cast<std::uint16_t>(34 + selection.size()));
    Append(data, FromHex("00 1C"));
    bytes::AppendBe16(data, static_cast<std::uint16_t>(selection.size() + 2));
    Append(data, Concat({FromHex("00 00 00 01 00 00 00 1A"), FivePairs(),
                         FromHex("06 00 00 0E 00 00 00 40 00 00 80 0F")}));
    Append(data, selection);
    return Programmer(0x01, data);
}

Bytes StatusExitRequest(std::uint8_t first, std::uint8_t second) {
    return Programmer(0x0F, Concat({FromHex("FF 09 00 1C 00 14 00 04 00 00 00 00 00 01 00 00 00 00"),
                                    FromHex("00 01 00 01 00 01 00 01 00 00 01 01"), Bytes{first, second}}));
}

Bytes AnyItem(std::uint8_t transportSize, std::uint16_t count, std::uint16_t db, std::uint8_t area,
              std::uint32_t bitAddress) {
    Bytes item = {0x12, 0x0A, 0x10, transportSize};
    bytes::AppendBe16(item, count);
    bytes::AppendBe16(item, db);
    Put8(item, area);
    Put8(item, static_cast<std::uint8_t>(bitAddress >> 16));
    bytes::AppendBe16(item, static_cast<std::uint16_t>(bitAddress));
    return item;
}

Bytes ReadVarRequest(const std::vector<Bytes>& items) {
    Bytes param = {0x04, static_cast<std::uint8_t>(items.size())};
    for (const Bytes& item : items) {
        Append(param, item);
    }
    return JobPdu(param);
}

Bytes WriteVarRequest(const std::vector<Bytes>& items, ByteView data) {
    Bytes param = {0x05, static_cast<std::uint8_t>(items.size())};
    for (const Bytes& item : items) {
        Append(param, item);
    }
    return JobPdu(param, Bytes(data.begin(), data.end()));
}

std::uint16_t ErrorOf(const s7::Pdu& pdu) {
    if (pdu.rosctr == s7::Rosctr::UserData) {
        return pdu.param.size() >= 12 ? static_cast<std::uint16_t>(pdu.param[10] << 8 | pdu.param[11])
                                      : 0xFFFF;
    }
    return static_cast<std::uint16_t>(pdu.errorClass << 8 | pdu.errorCode);
}

Bytes PayloadOf(const s7::Pdu& pdu) {
    if (pdu.data.size() < 4 || pdu.data[0] != 0xFF || pdu.data[1] != 0x09) {
        return {};
    }
    const std::size_t length = bytes::LoadBe16(pdu.data, 2);
    EXPECT_EQ(length, pdu.data.size() - 4) << "user-data length field";
    return Bytes(pdu.data.begin() + 4, pdu.data.end());
}

Harness::Harness(s7::PlcOptions options, s7::Program program)
    : plc_(std::move(options), std::move(program), Log(false)),
      session_(std::make_unique<s7::Session>(plc_, "test")) {}

void Harness::Reconnect() {
    session_ = std::make_unique<s7::Session>(plc_, "test");
}

std::vector<s7::Pdu> Harness::Send(const Bytes& request) {
    std::vector<s7::Pdu> answers;
    for (const Bytes& bytes : session_->Handle(request).pdus) {
        std::string why;
        auto pdu = s7::DecodePdu(bytes, &why);
        EXPECT_TRUE(pdu.has_value()) << why;
        if (pdu) {
            EXPECT_EQ(s7::EncodePdu(*pdu), bytes) << "answer carries bytes beyond its announced parts";
            answers.push_back(std::move(*pdu));
        }
    }
    return answers;
}

s7::Pdu Harness::One(const Bytes& request) {
    auto answers = Send(request);
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? s7::Pdu{} : answers.front();
}

Bytes Harness::Upload(std::string_view blockName, int* answers) {
    const s7::Pdu start = One(StartUploadRequest(blockName));
    if (ErrorOf(start) != 0 || start.param.size() != 16) {
        return {};
    }
    const Bytes id(start.param.begin() + 4, start.param.begin() + 8);
    const std::size_t total = std::stoul(std::string(start.param.begin() + 9, start.param.end()));
    Bytes image;
    int count = 0;
    while (image.size() < total && count < 10000) {
        const s7::Pdu piece = One(UploadRequest(id));
        ++count;
        if (ErrorOf(piece) != 0 || piece.data.size() <= 4) {
            return {};
        }
        image.insert(image.end(), piece.data.begin() + 4, piece.data.end());
    }
    if (answers != nullptr) {
        *answers = count;
    }
    const s7::Pdu end = One(EndUploadRequest(id));
    return ErrorOf(end) == 0 ? image : Bytes{};
}

bool Harness::Download(std::string_view blockName, ByteView image) {
    auto answers = Send(RequestDownloadRequest(blockName, static_cast<std::uint32_t>(image.size()), 0));
    std::size_t sent = 0;
    for (int guard = 0; guard < 10000; ++guard) {
        if (answers.empty() || answers.back().rosctr != s7::Rosctr::Job) {
            return false;
        }
        if (answers.back().param[0] == 0x1C) {
            break;
        }
        const std::size_t length = std::min<std::size_t>(222, image.size() - sent);
        answers = Send(DownloadAnswer(image.subspan(sent, length), sent + length < image.size()));
        sent += length;
    }
    EXPECT_TRUE(Send(EndDownloadAnswer()).empty());
    return ErrorOf(One(ControlRequest(blockName, "_INSE"))) == 0;
}

}  // namespace vaultra::sim::test
