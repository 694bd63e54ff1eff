#include <gtest/gtest.h>

#include <vector>

#include "drivers/s7/wire/block_framing.h"
#include "drivers/s7/wire/iso_framing.h"
#include "drivers/s7/wire/s7_header.h"

namespace vaultra::s7wire {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BlockFraming, DleIsDoubledAndLeavesTheCheckUnchanged) {
    const Bytes plain{0x01, 0x03, 0x02};
    const Bytes withDle{0x01, 0x10, 0x03, 0x02};
    Bytes doubled;
    AppendDleDoubled(doubled, withDle);
    EXPECT_EQ(doubled, (Bytes{0x01, 0x10, 0x10, 0x03, 0x02}));
    EXPECT_EQ(BlockCheck(plain), BlockCheck(withDle));
    // 01 ^ 03 ^ 02 ^ DLE ^ ETX
    EXPECT_EQ(BlockCheck(plain), 0x01 ^ 0x03 ^ 0x02 ^ 0x10 ^ 0x03);
}

TEST(BlockFraming, FrameEndsWithDleEtxAndCheck) {
    const Bytes content{0x01, 0x08, 0x02};
    EXPECT_EQ(FrameTelegram(content),
              (Bytes{0x01, 0x08, 0x02, 0x10, 0x03, 0x01 ^ 0x08 ^ 0x02 ^ 0x10 ^ 0x03}));
    EXPECT_EQ(FrameTelegram({}), (Bytes{0x10, 0x03, 0x13}));
}

TEST(BlockFraming, DecoderRoundTripsAndComputesTheSenderCheck) {
    const Bytes content{0x10, 0x00, 0x10, 0x10, 0x03, 0x02};
    const Bytes framed = FrameTelegram(content);
    DleDecoder decoder;
    Bytes decoded;
    size_t i = 0;
    for (; i < framed.size(); ++i) {
        uint8_t data = 0;
        const auto event = decoder.Feed(framed[i], data);
        if (event == DleDecoder::Event::kData)
            decoded.push_back(data);
        if (event == DleDecoder::Event::kEnd)
            break;
        ASSERT_NE(event, DleDecoder::Event::kError);
    }
    EXPECT_EQ(decoded, content);
    ASSERT_EQ(i + 2, framed.size());
    EXPECT_EQ(decoder.Check(), framed.back());
}

TEST(BlockFraming, DecoderRejectsALoneDle) {
    DleDecoder decoder;
    uint8_t data = 0;
    EXPECT_EQ(decoder.Feed(0x10, data), DleDecoder::Event::kNone);
    EXPECT_EQ(decoder.Feed(0x41, data), DleDecoder::Event::kError);
    decoder.Reset();
    EXPECT_EQ(decoder.Feed(0x10, data), DleDecoder::Event::kNone);
    EXPECT_EQ(decoder.Feed(0x04, data), DleDecoder::Event::kEnd);  // DLE EOT ends unsolicited telegrams
}

TEST(IsoFraming, ConnectionRequestCarriesRackSlotInTheRemoteTsap) {
    const auto cr = ConnectionRequest(0x02);
    EXPECT_EQ(Bytes(cr.begin(), cr.end()), (Bytes{0x11, 0xE0, 0x00, 0x00, 0x00, 0x01, 0x00, 0xC0, 0x01, 0x08,
                                                  0xC1, 0x02, 0x01, 0x00, 0xC2, 0x02, 0x02, 0x02}));
}

TEST(IsoFraming, ConnectConfirmYieldsPeerReferenceAndDisconnectEchoesIt) {
    Bytes cc{0x11, 0xD0, 0x00, 0x01, 0x44, 0x31, 0x00, 0xC0, 0x01,
             0x0A, 0xC1, 0x02, 0x01, 0x00, 0xC2, 0x02, 0x02, 0x00};
    std::array<uint8_t, 2> ref{};
    ASSERT_TRUE(ParseConnectionConfirm(cc, ref));
    EXPECT_EQ(ref, (std::array<uint8_t, 2>{0x44, 0x31}));
    const auto dr = DisconnectRequest(ref);
    EXPECT_EQ(Bytes(dr.begin(), dr.end()), (Bytes{0x06, 0x80, 0x44, 0x31, 0x00, 0x01, 0x00}));
    cc[1] = 0x80;
    EXPECT_FALSE(ParseConnectionConfirm(cc, ref));
    EXPECT_FALSE(ParseConnectionConfirm(std::span(cc).first(17), ref));
}

TEST(S7Header, ReferenceGoesLowByteFirstAndLengthsBigEndian) {
    const Bytes param{0xF0, 0x00, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0};
    const Bytes pdu = BuildS7Pdu(kRosctrJob, 0x0102, param, {});
    EXPECT_EQ(Bytes(pdu.begin(), pdu.begin() + 10),
              (Bytes{0x32, 0x01, 0x00, 0x00, 0x02, 0x01, 0x00, 0x08, 0x00, 0x00}));
    ByteReader in(pdu);
    S7Header h;
    ASSERT_TRUE(ReadS7Header(in, h));
    EXPECT_EQ(h.pduReference, 0x0102);
    EXPECT_EQ(h.paramLength, 8);
    EXPECT_EQ(in.Position(), 10u);
}

TEST(S7Header, AcknowledgementErrorBytesAreNotCountedInTheParameterLength) {
    const Bytes pdu = BuildS7Pdu(kRosctrAckData, 7, Bytes{0x1C}, {}, true);
    EXPECT_EQ(pdu, (Bytes{0x32, 0x03, 0x00, 0x00, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x1C}));
}

TEST(S7Header, ShortOrForeignHeadersAreRejected) {
    const Bytes foreign{0x33, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
    ByteReader a(foreign);
    S7Header h;
    EXPECT_FALSE(ReadS7Header(a, h));
    const Bytes shortHeader{0x32, 0x01, 0, 0, 0, 0, 0, 0, 0};
    ByteReader b(shortHeader);
    EXPECT_FALSE(ReadS7Header(b, h));
}

TEST(ByteReader, NeverReadsPastTheEnd) {
    const Bytes b{0x12, 0x34, 0x56};
    ByteReader in(b);
    uint32_t v32 = 0;
    EXPECT_FALSE(in.ReadU32Be(v32));
    uint16_t v = 0;
    EXPECT_TRUE(in.ReadU16Be(v));
    EXPECT_EQ(v, 0x1234);
    EXPECT_FALSE(in.ReadU16Be(v));
    std::span<const uint8_t> rest;
    EXPECT_FALSE(in.Take(2, rest));
    EXPECT_TRUE(in.Take(1, rest));
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(AdapterHeader, FixedTelegrams) {
    const auto h = AdapterDataHeader(0x2A, false);
    EXPECT_EQ(Bytes(h.begin(), h.end()), (Bytes{0x00, 0x0C, 0x03, 0x03, 0xF0, 0x2A}));
    const auto ack = AdapterAck(0x05);
    EXPECT_EQ(Bytes(ack.begin(), ack.end()), (Bytes{0x00, 0x0C, 0x03, 0x03, 0xB0, 0x01, 0x05}));
}

}  // namespace
}  // namespace vaultra::s7wire
