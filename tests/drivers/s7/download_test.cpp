// The download dialogue and block management at the PDU level: a scripted channel plays the PLC, records
// every PDU the driver sends and hands back the PLC's answers and jobs.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "drivers/s7/answer_body.h"
#include "drivers/s7/download.h"
#include "drivers/s7/requests.h"

namespace vaultra::s7::testing {
namespace {

struct Sent {
    uint8_t rosctr = 0;
    bool reply = false;  // sent with error bytes 00 00
    uint16_t reference = 0;
    Bytes param;
    Bytes data;
};

struct Scripted {
    uint8_t rosctr = s7wire::kRosctrAckData;
    uint16_t reference = 0;
    uint16_t error = 0;  // error class and code of an acknowledgement
    Bytes param;
    Bytes data;
};

class VectorSource {
public:
    explicit VectorSource(Bytes bytes) : bytes_(std::move(bytes)) {}
    ReadResult Next(uint8_t& b) {
        if (at_ >= bytes_.size())
            return ReadResult::kEnd;
        b = bytes_[at_++];
        return ReadResult::kByte;
    }

private:
    Bytes bytes_;
    size_t at_ = 0;
};

class ScriptedChannel final : public Channel {
public:
    std::vector<Sent> sent;
    std::deque<Scripted> script;

    bool Initialise(ConnectionRecord&) override { return true; }
    bool DisconnectAndRelease(ConnectionRecord&) override { return true; }
    bool EnsureConnected(ConnectionRecord&) override { return true; }
    bool PrepareStation(ConnectionRecord&) override { return true; }
    bool StationActive(const ConnectionRecord&) const override { return true; }
    bool Send(ConnectionRecord&, uint8_t rosctr, std::span<const uint8_t> param,
              std::span<const uint8_t> data) override {
        sent.push_back(
            {rosctr, false, pduReference, {param.begin(), param.end()}, {data.begin(), data.end()}});
        return true;
    }
    bool SendReply(ConnectionRecord&, std::span<const uint8_t> param,
                   std::span<const uint8_t> data) override {
        sent.push_back({s7wire::kRosctrAckData,
                        true,
                        pduReference,
                        {param.begin(), param.end()},
                        {data.begin(), data.end()}});
        return true;
    }
    bool Receive(ConnectionRecord& record, Answer& answer) override {
        answer.paramRead = answer.dataStored = answer.dataReceived = 0;
        if (script.empty()) {
            record.status = kStatusNoAnswer;
            return false;
        }
        const Scripted s = script.front();
        script.pop_front();
        Bytes body;
        if (IsAcknowledgement(s.rosctr))
            body = {static_cast<uint8_t>(s.error >> 8), static_cast<uint8_t>(s.error)};
        body.insert(body.end(), s.param.begin(), s.param.end());
        body.insert(body.end(), s.data.begin(), s.data.end());
        answer.header = {s.rosctr, s.reference, static_cast<uint16_t>(s.param.size()),
                         static_cast<uint16_t>(s.data.size())};
        pduReference = s.reference;
        VectorSource source(body);
        uint16_t plcError = 0;
        ReadAnswerBody(source, answer.header, answer, plcError);
        if (plcError != 0) {
            SetPlcError(record, plcError);
            return false;
        }
        record.status = kStatusOk;
        record.plcError = 0;
        return true;
    }

    // The PLC's side of one download of `pieces` requests.
    void ScriptDownload(int pieces, uint16_t ackReference = 0x0230) {
        script.push_back(UserDataAnswer());
        script.push_back({s7wire::kRosctrAckData, ackReference, 0, {0x1A}, {}});
        for (int i = 0; i < pieces; ++i)
            script.push_back(PlcJob(0x1B));
        script.push_back(PlcJob(0x1C));
    }
    static Scripted UserDataAnswer(uint16_t error = 0) {
        return {s7wire::kRosctrUserData,
                0x0100,
                0,
                {0x00, 0x01, 0x12, 0x08, 0x12, 0x84, 0x01, 0x01, 0x00, 0x00, static_cast<uint8_t>(error >> 8),
                 static_cast<uint8_t>(error)},
                {0xFF, 0x09, 0x00, 0x00}};
    }
    static Scripted PlcJob(uint8_t function) {
        Bytes param{function, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09};
        for (char c : std::string("_0A00007P"))
            param.push_back(static_cast<uint8_t>(c));
        return {s7wire::kRosctrJob, 0x0101, 0, param, {}};
    }
};

Bytes Text(const std::string& s) {
    return {s.begin(), s.end()};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A block image as the project stores it: header, code, interface, segment, 36-byte trailer.
Bytes Image(uint8_t type, uint16_t number, uint16_t code, uint16_t iface, uint16_t segment) {
    Bytes image(36, 0);
    image[0] = image[1] = 0x70;
    image[2] = 1;
    image[3] = 1;
    image[4] = 2;  // ladder: the download keeps the language
    image[5] = type;
    image[6] = static_cast<uint8_t>(number >> 8);
    image[7] = static_cast<uint8_t>(number);
    const uint32_t load = 72u + code + iface + segment;
    image[8] = static_cast<uint8_t>(load >> 24);
    image[9] = static_cast<uint8_t>(load >> 16);
    image[10] = static_cast<uint8_t>(load >> 8);
    image[11] = static_cast<uint8_t>(load);
    for (int i = 16; i < 22; ++i)
        image[i] = static_cast<uint8_t>(0x40 + i);  // code time stamp
    for (int i = 22; i < 28; ++i)
        image[i] = static_cast<uint8_t>(0x50 + i);  // interface time stamp
    image[28] = static_cast<uint8_t>(iface >> 8);
    image[29] = static_cast<uint8_t>(iface);
    image[30] = static_cast<uint8_t>(segment >> 8);
    image[31] = static_cast<uint8_t>(segment);
    image[33] = 0x16;  // local data
    image[34] = static_cast<uint8_t>(code >> 8);
    image[35] = static_cast<uint8_t>(code);
    for (uint32_t i = 0; i < code + iface + segment + 36u; ++i)
        image.push_back(static_cast<uint8_t>(i * 7 + 1));
    return image;
}

S7Timestamp FixedClock() {
    return TimestampOf(2026, 12, 8, 12 * 3600 * 1000);
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override { SetTimestampClock(&FixedClock); }
    void TearDown() override { SetTimestampClock(nullptr); }

    // The pieces the driver answered with, joined without their 4-byte data headers.
    Bytes Transferred() const {
        Bytes out;
        for (const Sent& s : channel.sent) {
            if (s.reply && s.param.size() == 2 && s.param[0] == 0x1B)
                out.insert(out.end(), s.data.begin() + 4, s.data.end());
        }
        return out;
    }

    ScriptedChannel channel;
    ConnectionRecord record{};
};

TEST(DownloadRequests, BlockSevenIsNamedWithFiveDigitsInEveryRequest) {
    const std::array<uint8_t, 2> db{'0', 'A'};
    EXPECT_EQ(RequestDownloadParam(db, 7, 1234, 66),
              Concat({{0x1A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09},
                      Text("_0A00007P"),
                      {0x0D},
                      Text("1001234000066")}));
    EXPECT_EQ(RequestDownloadParam(db, 7, 1234, 66).size(), 32u);
    EXPECT_EQ(BlockControlParam(db, 7, 'P', "_INSE"),
              Concat({{0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x0A, 0x01, 0x00},
                      Text("0A00007P"),
                      {0x05},
                      Text("_INSE")}));
    EXPECT_EQ(BlockControlParam(db, 7, 'B', "_DELE").size(), 26u);
    EXPECT_EQ(CompressParam(),
              Concat({{0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x00, 0x05}, Text("_GARB")}));
    EXPECT_EQ(ClearAllData(), (Bytes{0xFF, 0x09, 0x00, 0x18, 0x00, 0x14, 0, 0, 0, 0, 0, 0, 0, 0x01,
                                     0,    0,    0,    0,    0x00, 0x01, 0, 1, 0, 1, 0, 1, 0, 0}));
}

TEST(DownloadRequests, TimestampCountsDaysFrom1984AndMillisecondsOfTheDay) {
    EXPECT_EQ(TimestampOf(1984, 1, 1, 0), (S7Timestamp{0, 0, 0, 0, 0, 0}));
    // 1 March 1984 follows 29 February: 31 + 29 days.
    EXPECT_EQ(TimestampOf(1984, 3, 1, 1000), (S7Timestamp{0, 0, 0x03, 0xE8, 0, 60}));
    EXPECT_EQ(TimestampOf(2026, 12, 8, 86399999), (S7Timestamp{0x05, 0x26, 0x5B, 0xFF, 0x3D, 0x42}));
}

TEST_F(DownloadTest, OddDataBlockCodeIsPaddedAndTheCallersHeaderShowsIt) {
    Bytes image = Image(0x0A, 7, 65, 40, 0);
    const Bytes original = image;
    auto t = BuildTransferImage(image.data());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->codeLength, 66u);
    EXPECT_EQ(t->loadLength, 66u + 40u + 72u);
    EXPECT_EQ(image[34] << 8 | image[35], 66);
    EXPECT_EQ(image[11], 66 + 40 + 72);
    EXPECT_EQ(image[33], 0);  // a data block has no local data
    const Bytes& b = t->bytes;
    ASSERT_EQ(b.size(), t->loadLength);
    // code: first 64 bytes, a zero, then the last code byte
    EXPECT_TRUE(std::equal(b.begin() + 36, b.begin() + 100, original.begin() + 36));
    EXPECT_EQ(b[100], 0);
    EXPECT_EQ(b[101], original[36 + 64]);
    // interface and trailer follow unchanged
    EXPECT_TRUE(std::equal(b.begin() + 102, b.end(), original.begin() + 101));
    // language kept, code stamp kept, interface stamp now
    EXPECT_EQ(b[4], 2);
    EXPECT_TRUE(std::equal(b.begin() + 16, b.begin() + 22, original.begin() + 16));
    const S7Timestamp now = FixedClock();
    EXPECT_TRUE(std::equal(now.begin(), now.end(), b.begin() + 22));
}

TEST_F(DownloadTest, ZeroCodeTimestampBecomesNowAndOddSegmentIsEvened) {
    Bytes image = Image(0x0C, 3, 20, 10, 5);
    std::fill(image.begin() + 16, image.begin() + 22, 0);
    auto t = BuildTransferImage(image.data());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->loadLength, 20u + 10u + 6u + 72u);
    const S7Timestamp now = FixedClock();
    EXPECT_TRUE(std::equal(now.begin(), now.end(), t->bytes.begin() + 16));
    EXPECT_EQ(image[31], 6);
    EXPECT_EQ(t->bytes[36 + 20 + 10 + 5], 0);  // the segment's padding byte
}

TEST_F(DownloadTest, ImageOf222BytesGoesInOnePieceMarkedLast) {
    // 222 bytes: 36 header + 150 code + 0 + 36 trailer
    Bytes image = Image(0x08, 1, 150, 0, 0);
    channel.ScriptDownload(1, 0x0230);
    EXPECT_EQ(WriteBlock(channel, record, nullptr, 4), 0);
    BlockRecord block{};
    block.image = image.data();
    channel.script.push_back({s7wire::kRosctrAckData, 0x0231, 0, {0x28}, {}});
    ASSERT_EQ(WriteBlock(channel, record, &block, 4), 1) << record.status;
    // status list, request download, one piece, end of download answer, insert
    ASSERT_EQ(channel.sent.size(), 5u);
    EXPECT_EQ(channel.sent[0].rosctr, s7wire::kRosctrUserData);
    EXPECT_EQ(channel.sent[0].data, (Bytes{0xFF, 0x09, 0x00, 0x04, 0x01, 0x32, 0x00, 0x04}));
    EXPECT_EQ(channel.sent[1].param, RequestDownloadParam({'0', '8'}, 1, 222, 150));
    EXPECT_TRUE(channel.sent[2].reply);
    EXPECT_EQ(channel.sent[2].param, (Bytes{0x1B, 0x00}));
    EXPECT_EQ(Bytes(channel.sent[2].data.begin(), channel.sent[2].data.begin() + 4),
              (Bytes{0x00, 0xDE, 0x00, 0xFB}));
    EXPECT_EQ(channel.sent[3].param, Bytes{0x1C});
    EXPECT_TRUE(channel.sent[3].reply);
    EXPECT_EQ(channel.sent[4].param, BlockControlParam({'0', '8'}, 1, 'P', "_INSE"));
    EXPECT_EQ(channel.sent[4].reference, 0x0231);  // the acknowledgement's reference + 1
    EXPECT_EQ(Transferred().size(), 222u);
}

TEST_F(DownloadTest, LongImageGoesIn222BytePiecesUntilTheLast) {
    Bytes image = Image(0x0E, 2, 400, 100, 6);
    const Bytes original = image;
    BlockRecord block{};
    block.image = image.data();
    channel.ScriptDownload(3);
    channel.script.push_back({s7wire::kRosctrAckData, 0, 0, {0x28}, {}});
    ASSERT_EQ(WriteBlock(channel, record, &block, 3), 1) << record.status;
    std::vector<Bytes> params;
    for (const Sent& s : channel.sent) {
        if (s.reply)
            params.push_back(s.param);
    }
    EXPECT_EQ(params, (std::vector<Bytes>{{0x1B, 0x01}, {0x1B, 0x01}, {0x1B, 0x00}, {0x1C}}));
    const Bytes moved = Transferred();
    ASSERT_EQ(moved.size(), original.size());
    // apart from the interface time stamp every byte is the caller's
    for (size_t i = 0; i < moved.size(); ++i) {
        if (i < 22 || i >= 28) {
            EXPECT_EQ(moved[i], original[i]) << i;
        }
    }
    EXPECT_EQ(block.length, original.size());
}

TEST_F(DownloadTest, SystemDataBlockIsSentWithItsHeaderUnchanged) {
    Bytes image = Image(0x0B, 2, 100, 0, 0);
    const Bytes original = image;
    BlockRecord block{};
    block.type = 0xF7;
    block.image = image.data();
    channel.ScriptDownload(1);
    channel.script.push_back({s7wire::kRosctrAckData, 0, 0, {0x28}, {}});
    ASSERT_EQ(CreateBlock(channel, record, &block), 1) << record.status;
    EXPECT_EQ(Transferred(), original);
    EXPECT_EQ(channel.sent[1].param, RequestDownloadParam({'0', 'B'}, 2, 172, 100));
}

TEST_F(DownloadTest, UnknownTypeCodeSendsNothing) {
    Bytes image = Image(0x08, 1, 10, 0, 0);
    BlockRecord block{};
    block.type = 0x33;
    block.image = image.data();
    EXPECT_EQ(CreateBlock(channel, record, &block), 0);
    EXPECT_TRUE(channel.sent.empty());
}

TEST_F(DownloadTest, FullMemoryAtTheRequestIsThePlcsErrorWord) {
    Bytes image = Image(0x08, 1, 10, 0, 0);
    BlockRecord block{};
    block.image = image.data();
    channel.script.push_back(ScriptedChannel::UserDataAnswer());
    channel.script.push_back({s7wire::kRosctrAck, 0, 0x8304, {}, {}});
    EXPECT_EQ(WriteBlock(channel, record, &block, 4), 0);
    EXPECT_EQ(+record.status, kStatusPlcError);
    EXPECT_EQ(+record.plcError, 0x8304);
    EXPECT_EQ(channel.sent.size(), 2u);  // nothing transferred
}

TEST_F(DownloadTest, RefusedInsertWithItsFunctionByteIsStatus28) {
    Bytes image = Image(0x0D, 1, 10, 0, 0);
    BlockRecord block{};
    block.image = image.data();
    channel.ScriptDownload(1);
    channel.script.push_back({s7wire::kRosctrAckData, 0, 0x8104, {0x28}, {}});
    EXPECT_EQ(WriteBlock(channel, record, &block, 2), 0);
    EXPECT_EQ(+record.status, 0x28);
    EXPECT_EQ(+record.plcError, 0x8104);  // kept for the station's log
}

TEST_F(DownloadTest, PlcThatStopsAskingFailsTheDownload) {
    Bytes image = Image(0x08, 1, 500, 0, 0);
    BlockRecord block{};
    block.image = image.data();
    channel.script.push_back(ScriptedChannel::UserDataAnswer());
    channel.script.push_back({s7wire::kRosctrAckData, 0, 0, {0x1A}, {}});
    channel.script.push_back(ScriptedChannel::PlcJob(0x1B));
    EXPECT_EQ(WriteBlock(channel, record, &block, 4), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
    // An end of download before the whole image went is not acknowledged.
    channel.sent.clear();
    channel.ScriptDownload(0);
    EXPECT_EQ(WriteBlock(channel, record, &block, 4), 0);
    for (const Sent& s : channel.sent)
        EXPECT_NE(s.param, Bytes{0x1C});
}

TEST_F(DownloadTest, CompressReadsTwoListsThenCollectsGarbage) {
    channel.script.push_back(ScriptedChannel::UserDataAnswer());
    channel.script.push_back(ScriptedChannel::UserDataAnswer());
    channel.script.push_back({s7wire::kRosctrAckData, 0, 0, {0x28}, {}});
    channel.pduReference = 10;
    ASSERT_EQ(Compress(channel, record), 1);
    ASSERT_EQ(channel.sent.size(), 3u);
    EXPECT_EQ(channel.sent[1].data, (Bytes{0xFF, 0x09, 0x00, 0x04, 0x01, 0x32, 0x00, 0x02}));
    EXPECT_EQ(channel.sent[2].param, CompressParam());
}

TEST_F(DownloadTest, ClearAllRefusedInRunIsStatus4000) {
    channel.script.push_back(ScriptedChannel::UserDataAnswer());
    channel.script.push_back(ScriptedChannel::UserDataAnswer(0xD20E));
    EXPECT_EQ(ClearAll(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusPlcError);
    EXPECT_EQ(channel.sent[0].data, (Bytes{0xFF, 0x09, 0x00, 0x04, 0x04, 0x24, 0x00, 0x00}));
    EXPECT_EQ(channel.sent[1].param, ProgrammerParam(0x0C));
    EXPECT_EQ(channel.sent[1].data, ClearAllData());

    channel.script.push_back(ScriptedChannel::UserDataAnswer());
    channel.script.push_back(ScriptedChannel::UserDataAnswer());
    EXPECT_EQ(ClearAll(channel, record), 1);
}

TEST_F(DownloadTest, DeleteNamesTheBlockWithLetterB) {
    channel.script.push_back({s7wire::kRosctrAckData, 0, 0, {0x28}, {}});
    ASSERT_EQ(DeleteBlock(channel, record, 5, 12), 1);
    EXPECT_EQ(channel.sent[0].param, BlockControlParam({'0', 'C'}, 12, 'B', "_DELE"));
}

}  // namespace
}  // namespace vaultra::s7::testing
