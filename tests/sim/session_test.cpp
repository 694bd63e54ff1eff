// The simulated PLC's answers to each S7 service, checked byte by byte from the client's requests.
#include <gtest/gtest.h>

#include <set>

#include "s7_requests.h"
#include "sim/s7/errors.h"

namespace vaultra::sim::test {
namespace {

using s7::Rosctr;

s7::Program DataBlocks(int count) {
    s7::Program program;
    for (int i = 0; i < count; ++i) {
        Bytes image(80, 0);
        image[0] = image[1] = 0x70;
        image[4] = 0x05;
        image[5] = s7::kDB;
        bytes::StoreBe16(image, 6, static_cast<std::uint16_t>(i + 1));
        bytes::StoreBe32(image, 8, 80);
        bytes::StoreBe16(image, 34, 8);
        program.Put({s7::kDB, static_cast<std::uint16_t>(i + 1)}, image);
    }
    return program;
}

TEST(SetupCommunication, NegotiatesThePduSizeDownToTheClientsRequest) {
    Harness h;
    const s7::Pdu small = h.One(SetupRequest(240));
    EXPECT_EQ(small.rosctr, Rosctr::AckData);
    EXPECT_EQ(small.reference, (std::array<std::uint8_t, 2>{0x02, 0x00}));
    EXPECT_EQ(small.param, FromHex("F0 00 00 01 00 01 00 F0"));
    const s7::Pdu large = h.One(SetupRequest(960));
    EXPECT_EQ(large.param, FromHex("F0 00 00 01 00 01 01 E0"));
}

TEST(Directory, ListsTheCountOfEveryTypeInTheDriversOrder) {
    Harness h;
    const s7::Pdu answer = h.One(ListBlocksRequest());
    EXPECT_EQ(answer.param, FromHex("00 01 12 08 12 83 01 01 00 00 00 00"));
    const Bytes payload = PayloadOf(answer);
    ASSERT_EQ(payload.size(), 28u);
    const char types[] = {'8', 'E', 'C', 'A', 'B', 'D', 'F'};
    const std::uint8_t kinds[] = {s7::kOB, s7::kFB, s7::kFC, s7::kDB, s7::kSDB, s7::kSFC, s7::kSFB};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(payload[i * 4], '0');
        EXPECT_EQ(payload[i * 4 + 1], types[i]);
        EXPECT_EQ(bytes::LoadBe16(payload, i * 4 + 2), h.Plc().Blocks().Count(kinds[i]));
    }
}

TEST(Directory, FiftyTwoBlocksComeInOneAnswerAndTheFiftyThirdInAFollowUp) {
    Harness exact({}, DataBlocks(52));
    const s7::Pdu one = exact.One(ListTypeRequest('A'));
    EXPECT_EQ(one.param[9], 0x00) << "last data unit";
    EXPECT_EQ(PayloadOf(one).size(), 52u * 4);

    Harness more({}, DataBlocks(53));
    const s7::Pdu first = more.One(ListTypeRequest('A'));
    const Bytes entries = PayloadOf(first);
    ASSERT_EQ(entries.size(), 52u * 4);
    EXPECT_EQ(first.param[9], 0x01) << "more follows";
    EXPECT_EQ(Bytes(entries.begin(), entries.begin() + 4), FromHex("00 01 22 05"));
    const s7::Pdu second = more.One(ListTypeFollowUp(first.param[7], first.param[8]));
    EXPECT_EQ(PayloadOf(second), FromHex("00 35 22 05"));
    EXPECT_EQ(second.param[9], 0x00);
    // Nothing is pending any more.
    EXPECT_EQ(ErrorOf(more.One(ListTypeFollowUp(0, 0))), s7::error::kNoSuchJob);
}

TEST(Directory, PageShrinksToTheNegotiatedPduAndRefusesUnknownTypes) {
    Harness h({}, DataBlocks(20));
    h.One(SetupRequest(64));
    EXPECT_EQ(PayloadOf(h.One(ListTypeRequest('A'))).size(), 9u * 4);
    const s7::Pdu bad = h.One(ListTypeRequest('Z'));
    EXPECT_EQ(ErrorOf(bad), s7::error::kBlockNameSyntax);
    EXPECT_EQ(bad.data, FromHex("0A 00 00 00"));
}

TEST(BlockInfo, PutsTheHeaderFieldsWhereTheDriversReadThem) {
    Harness h;
    const Bytes& image = *h.Plc().Blocks().Find({s7::kDB, 10});
    const s7::Pdu answer = h.One(BlockInfoRequest("0A00010"));
    ASSERT_EQ(answer.data.size(), 82u);
    const Bytes& d = answer.data;
    EXPECT_EQ(d[10], 'p');
    EXPECT_EQ(d[11], 'p');
    EXPECT_EQ(bytes::LoadBe16(d, 16), 10);
    EXPECT_EQ(bytes::LoadBe32(d, 18), image.size());
    EXPECT_EQ(d[70], image[image.size() - 36 + 24]) << "block version from the trailer";
    EXPECT_EQ(ErrorOf(h.One(BlockInfoRequest("0A00999"))), s7::error::kBlockNotFound);
}

TEST(Upload, ReturnsTheWholeImageInPiecesOfAtMost222Bytes) {
    Harness h;
    h.One(SetupRequest(480));
    const Bytes& image = *h.Plc().Blocks().Find({s7::kFB, 2});
    ASSERT_GT(image.size(), 16u * 1024);
    const s7::Pdu start = h.One(StartUploadRequest("0E00002"));
    ASSERT_EQ(start.param.size(), 16u);
    EXPECT_EQ(start.param[0], 0x1D);
    EXPECT_EQ(bytes::LoadBe16(start.param, 4), 0) << "upload identifiers stay small";
    EXPECT_EQ(std::string(start.param.begin() + 9, start.param.end()),
              std::string(7 - std::to_string(image.size()).size(), '0') + std::to_string(image.size()));
    const Bytes id(start.param.begin() + 4, start.param.begin() + 8);
    Bytes received;
    int answers = 0;
    while (received.size() < image.size() && answers < 200) {
        const s7::Pdu piece = h.One(UploadRequest(id));
        ++answers;
        ASSERT_EQ(piece.param.size(), 2u);
        ASSERT_GE(piece.data.size(), 4u);
        EXPECT_EQ(bytes::LoadBe16(piece.data, 0), piece.data.size() - 4);
        EXPECT_EQ(bytes::LoadBe16(piece.data, 2), 0x00FB);
        EXPECT_LE(piece.data.size() - 4, 222u);
        received.insert(received.end(), piece.data.begin() + 4, piece.data.end());
        EXPECT_EQ(piece.param[1], received.size() < image.size() ? 0x01 : 0x00);
    }
    EXPECT_EQ(received, image);
    EXPECT_EQ(answers, static_cast<int>((image.size() + 221) / 222));
    EXPECT_EQ(h.One(EndUploadRequest(id)).param, FromHex("1F"));
    EXPECT_EQ(ErrorOf(h.One(UploadRequest(id))), s7::error::kNoSuchJob) << "ended upload is gone";
}

TEST(Upload, SmallBlockComesInOneAnswerAndMissingBlockGetsAnErrorHeader) {
    Harness h;
    int answers = 0;
    EXPECT_EQ(h.Upload("0800080", &answers), *h.Plc().Blocks().Find({s7::kOB, 80}));
    EXPECT_EQ(answers, 1);
    const s7::Pdu missing = h.One(StartUploadRequest("0800007"));
    EXPECT_EQ(missing.rosctr, Rosctr::Ack);
    EXPECT_EQ(ErrorOf(missing), s7::error::kBlockNotFound);
    EXPECT_TRUE(missing.param.empty());
    EXPECT_TRUE(missing.data.empty());
}

std::uint32_t UploadIdOf(const s7::Pdu& start) {
    return start.param.size() >= 8 ? bytes::LoadBe32(start.param, 4) : 0;
}

TEST(Upload, IdentifiersAreReusedOnceAnUploadHasEnded) {
    Harness h;
    std::set<std::uint32_t> ids;
    for (int i = 0; i < 320; ++i) {
        const s7::Pdu start = h.One(StartUploadRequest("0800001"));
        ASSERT_EQ(ErrorOf(start), 0) << "upload " << i;
        ids.insert(UploadIdOf(start));
        const Bytes id(start.param.begin() + 4, start.param.begin() + 8);
        ASSERT_EQ(h.One(UploadRequest(id)).param.size(), 2u);
        ASSERT_EQ(h.One(EndUploadRequest(id)).param, FromHex("1F")) << "upload " << i;
    }
    EXPECT_EQ(ids, std::set<std::uint32_t>{7}) << "320 uploads one after another share one identifier";

    // With uploads open at once, an ended one frees the lowest identifier for the next start.
    std::vector<Bytes> open;
    for (int i = 0; i < 3; ++i) {
        const s7::Pdu start = h.One(StartUploadRequest("0800001"));
        EXPECT_EQ(UploadIdOf(start), 7u + i);
        open.emplace_back(start.param.begin() + 4, start.param.begin() + 8);
    }
    h.One(EndUploadRequest(open[0]));
    EXPECT_EQ(UploadIdOf(h.One(StartUploadRequest("0800001"))), 7u);
    EXPECT_EQ(UploadIdOf(h.One(StartUploadRequest("0800001"))), 10u);
    EXPECT_EQ(h.One(UploadRequest(open[1])).param.size(), 2u) << "the other uploads go on";
}

TEST(Upload, AClientThatNeverEndsItsUploadsIsRefusedAsBusy) {
    Harness h;
    int started = 0;
    while (started < 100 && ErrorOf(h.One(StartUploadRequest("0800001"))) == 0) {
        ++started;
    }
    EXPECT_EQ(started, 16);
    EXPECT_EQ(ErrorOf(h.One(StartUploadRequest("0800001"))), s7::error::kBusy);
    h.One(EndUploadRequest(FromHex("00 00 00 0C")));
    EXPECT_EQ(UploadIdOf(h.One(StartUploadRequest("0800001"))), 12u);
}

TEST(Download, ThePlcDrivesTheTransferAndTheNextConnectionUploadsTheBlock) {
    Harness h;
    Bytes image = *h.Plc().Blocks().Find({s7::kFB, 1});
    bytes::StoreBe16(image, 6, 50);
    const auto first = h.Send(RequestDownloadRequest("0E00050", static_cast<std::uint32_t>(image.size()), 0));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].param, FromHex("1A"));
    EXPECT_EQ(first[1].rosctr, Rosctr::Job);
    EXPECT_EQ(first[1].param, Concat({FromHex("1B 00 01 00 00 00 00 00 09"), Text("_0E00050P")}));
    std::size_t sent = 0;
    int jobs = 1;
    for (auto last = first.back(); last.param[0] == 0x1B && jobs < 100; ++jobs) {
        const std::size_t n = std::min<std::size_t>(222, image.size() - sent);
        const auto next = h.Send(DownloadAnswer(ByteView(image).subspan(sent, n), sent + n < image.size()));
        sent += n;
        ASSERT_EQ(next.size(), 1u);
        last = next.front();
    }
    EXPECT_EQ(sent, image.size());
    EXPECT_TRUE(h.Send(EndDownloadAnswer()).empty());
    EXPECT_EQ(h.Plc().Blocks().Find({s7::kFB, 50}), nullptr) << "not active before the insert";
    EXPECT_EQ(h.One(ControlRequest("0E00050", "_INSE")).param, FromHex("28"));
    h.Reconnect();
    EXPECT_EQ(h.Upload("0E00050"), image);
}

TEST(Download, ExactlyOnePieceOf222BytesEndsTheTransfer) {
    Harness h;
    Bytes image = *h.Plc().Blocks().Find({s7::kOB, 80});
    image.resize(222);
    bytes::StoreBe32(image, 8, 222);
    h.Send(RequestDownloadRequest("0800081", 222, 0));
    const auto after = h.Send(DownloadAnswer(image, false));
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].param[0], 0x1C);
    EXPECT_TRUE(h.Send(EndDownloadAnswer()).empty());
    EXPECT_EQ(ErrorOf(h.One(ControlRequest("0800081", "_INSE"))), 0);
    EXPECT_EQ(*h.Plc().Blocks().Find({s7::kOB, 81}), image);
}

TEST(Download, ShortOrOverlongTransfersAreNotInserted) {
    Harness h;
    const Bytes& image = *h.Plc().Blocks().Find({s7::kFC, 1});
    h.Send(RequestDownloadRequest("0C00099", static_cast<std::uint32_t>(image.size()), 0));
    h.Send(DownloadAnswer(ByteView(image).first(100), false));
    h.Send(EndDownloadAnswer());
    EXPECT_EQ(ErrorOf(h.One(ControlRequest("0C00099", "_INSE"))), s7::error::kBlockNotFound);

    h.Send(RequestDownloadRequest("0C00098", 100, 0));
    EXPECT_TRUE(h.Send(DownloadAnswer(ByteView(image).first(150), true)).empty())
        << "piece beyond the length";
    EXPECT_EQ(ErrorOf(h.One(ControlRequest("0C00098", "_INSE"))), s7::error::kBlockNotFound);
}

TEST(Download, FullMemoryRefusesTheRequest) {
    s7::PlcOptions options;
    options.memoryBytes = s7::MakeDemoProgram().TotalBytes() + 100;
    Harness h(options);
    EXPECT_EQ(ErrorOf(h.One(RequestDownloadRequest("0A00500", 200, 100))), s7::error::kMemoryFull);
    // Replacing a block only needs room for the difference.
    const auto& db10 = *h.Plc().Blocks().Find({s7::kDB, 10});
    EXPECT_EQ(h.Send(RequestDownloadRequest("0A00010", static_cast<std::uint32_t>(db10.size()), 0)).size(),
              2u);

    s7::PlcOptions full;
    full.faults.memoryFull = true;
    Harness refusing(full);
    EXPECT_EQ(ErrorOf(refusing.One(RequestDownloadRequest("0A00500", 200, 100))), s7::error::kMemoryFull);
}

TEST(BlockManagement, DeleteCompressAndCopyRamToRom) {
    Harness h;
    EXPECT_EQ(h.One(ControlRequest("0C00001", "_DELE")).param, FromHex("28"));
    EXPECT_EQ(h.Plc().Blocks().Find({s7::kFC, 1}), nullptr);
    EXPECT_EQ(ErrorOf(h.One(ControlRequest("0C00001", "_DELE"))), s7::error::kBlockNotFound);
    EXPECT_EQ(h.One(CompressRequest()).param, FromHex("28"));
    const s7::Pdu rom = h.One(RamToRomRequest());
    EXPECT_EQ(rom.rosctr, Rosctr::AckData);
    EXPECT_EQ(rom.param, FromHex("28"));
}

TEST(BlockManagement, ClearAllNeedsStopAndKeepsSystemBlocks) {
    Harness h;
    const s7::Pdu refused = h.One(ClearAllRequest());
    EXPECT_EQ(ErrorOf(refused), s7::error::kWrongMode);
    EXPECT_EQ(h.One(StopRequest()).param, FromHex("29"));
    const s7::Pdu cleared = h.One(ClearAllRequest());
    EXPECT_EQ(cleared.param[11], 0x00);
    for (const auto& [id, image] : h.Plc().Blocks().Blocks()) {
        EXPECT_TRUE(id.type == s7::kSDB || id.type == s7::kSFC || id.type == s7::kSFB) << s7::BlockName(id);
    }
    EXPECT_EQ(h.Plc().Blocks().Count(s7::kSDB), 4u);
}

TEST(Control, StopAndStartShowInTheModeListAndTheKeySwitchCanForbidStart) {
    Harness h;
    auto mode = [&h] { return PayloadOf(h.One(SzlRequest(0x0424, 0)))[8 + 3]; };
    EXPECT_EQ(mode(), 0x08);
    h.One(StopRequest());
    EXPECT_EQ(mode(), 0x04);
    EXPECT_EQ(h.One(StartRequest()).param, FromHex("28"));
    EXPECT_EQ(mode(), 0x08);

    s7::PlcOptions locked;
    locked.keyswitch = s7::Keyswitch::Stop;
    Harness stopped(locked);
    EXPECT_EQ(ErrorOf(stopped.One(StartRequest())), s7::error::kWrongMode);
}

TEST(Protection, PasswordUnlocksWhatTheProtectionLevelForbids) {
    s7::PlcOptions options;
    options.password = "secret";
    Harness h(options);
    EXPECT_EQ(ErrorOf(h.One(StartUploadRequest("0800001"))), s7::error::kProtected);
    EXPECT_EQ(ErrorOf(h.One(StopRequest())), s7::error::kProtected);
    EXPECT_EQ(PayloadOf(h.One(ListTypeRequest('8'))).size(), 8u * 4) << "the directory stays readable";
    EXPECT_EQ(ErrorOf(h.One(PasswordRequest(s7::EncodePassword("wrong")))), s7::error::kWrongPassword);
    EXPECT_EQ(ErrorOf(h.One(PasswordRequest(Concat({Text("secret"), Bytes(2, 0)})))),
              s7::error::kWrongPassword)
        << "the clear text is not the password";
    const s7::Pdu accepted = h.One(PasswordRequest(s7::EncodePassword("secret")));
    EXPECT_EQ(ErrorOf(accepted), 0);
    EXPECT_EQ(accepted.data, FromHex("FF 09 00 00"));
    EXPECT_FALSE(h.Upload("0800001").empty());
    EXPECT_EQ(bytes::LoadBe16(PayloadOf(h.One(SzlRequest(0x0132, 4))), 8 + 6), 1)
        << "effective protection level";
}

TEST(Protection, PasswordEncodingFollowsTheStationsTable) {
    EXPECT_EQ(s7::EncodePassword("AB"), FromHex("14 17 41 42 14 17 41 42"));
    EXPECT_EQ(s7::EncodePassword(""), Bytes(8, 0));
}

TEST(Protection, KeySwitchInRunLocksTheProgramButNotUploads) {
    s7::PlcOptions options;
    options.keyswitch = s7::Keyswitch::Run;
    Harness h(options);
    EXPECT_EQ(ErrorOf(h.One(ControlRequest("0C00001", "_DELE"))), s7::error::kProtected);
    EXPECT_EQ(ErrorOf(h.One(RequestDownloadRequest("0A00500", 200, 100))), s7::error::kProtected);
    EXPECT_FALSE(h.Upload("0C00001").empty());
}

TEST(SystemStatusLists, HaveTheSizesTheDriversReadAndRefuseUnknownLists) {
    Harness h;
    EXPECT_EQ(h.One(SzlRequest(0x0132, 4)).data.size(), 52u);
    EXPECT_EQ(h.One(SzlRequest(0x0132, 2)).data.size(), 52u);
    EXPECT_EQ(h.One(SzlRequest(0x0424, 0)).data.size(), 32u);
    const Bytes modules = PayloadOf(h.One(SzlRequest(0x0011, 0)));
    ASSERT_GE(modules.size(), 8u);
    EXPECT_EQ(bytes::LoadBe16(modules, 0), 0x0011);
    EXPECT_EQ(bytes::LoadBe16(modules, 4), 28) << "record length";
    EXPECT_EQ(bytes::LoadBe16(modules, 6), 3) << "record count";
    const Bytes name = PayloadOf(h.One(SzlRequest(0x011C, 1)));
    EXPECT_EQ(std::string(name.begin() + 10, name.begin() + 31), "VAULTRA SIMULATED PLC");
    const s7::Pdu unknown = h.One(SzlRequest(0x0F99, 0));
    EXPECT_EQ(ErrorOf(unknown), s7::error::kNoSuchList);
    EXPECT_EQ(unknown.data, FromHex("0A 00 00 00"));
}

TEST(VariableTable, ReadAnswersAnAcknowledgementAndThenTheValues) {
    Harness h;
    ASSERT_TRUE(h.Plc().Write(s7::Area::Flags, 0, 10, FromHex("12 34 56 78")));
    const auto answers = h.Send(VartabReadRequest(0x02, 2, 0, 10));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].data, FromHex("FF 09 00 00"));
    EXPECT_EQ(ErrorOf(answers[0]), 0);
    const Bytes& values = answers[1].data;
    ASSERT_EQ(values.size(), 22u);
    EXPECT_EQ(bytes::LoadBe16(values, 2), 18) << "more than 14: values present";
    EXPECT_EQ(Bytes(values.begin() + 18, values.end()), FromHex("12 34 56 78"));
}

TEST(VariableTable, ReadOutsideTheAreaOrDataBlockCarriesNoValues) {
    Harness h;
    EXPECT_EQ(bytes::LoadBe16(h.Send(VartabReadRequest(0x72, 2, 999, 0))[1].data, 2), 14);
    EXPECT_EQ(bytes::LoadBe16(h.Send(VartabReadRequest(0x02, 2, 0, 0xFFFF))[1].data, 2), 14);
    // A data block of 128 bytes read whole.
    EXPECT_EQ(bytes::LoadBe16(h.Send(VartabReadRequest(0x72, 64, 10, 0))[1].data, 2), 14 + 128);
}

TEST(VariableTable, WriteConfirmsWithFFAtDataByte14AndTimersGoByNumber) {
    Harness h;
    const auto written = h.Send(VartabWriteRequest(0x52, 1, 0, 3, FromHex("AB CD")));
    ASSERT_EQ(written.size(), 2u);
    EXPECT_GE(written[1].data.size(), 16u);
    EXPECT_EQ(written[1].data[14], 0xFF);
    EXPECT_EQ(h.Plc().Read(s7::Area::Timers, 0, 6, 2), FromHex("AB CD")) << "timer 3 is bytes 6 and 7";
    const auto failed = h.Send(VartabWriteRequest(0x72, 1, 999, 0, FromHex("00 01")));
    EXPECT_NE(failed[1].data[14], 0xFF);
    const auto byte = h.Send(VartabWriteRequest(0x01, 1, 0, 7, FromHex("5A")));
    EXPECT_EQ(byte[1].data[14], 0xFF);
    EXPECT_EQ(h.Plc().Read(s7::Area::Flags, 0, 7, 1), FromHex("5A"));
}

TEST(ReadWriteVariable, ReadsDataBlocksAreasAndBitsAndReportsMissingObjects) {
    Harness h;
    ASSERT_TRUE(h.Plc().Write(s7::Area::Flags, 0, 10, FromHex("08")));
    const s7::Pdu answer =
        h.One(ReadVarRequest({AnyItem(0x02, 3, 10, 0x84, 0), AnyItem(0x01, 1, 0, 0x83, 10 * 8 + 3),
                              AnyItem(0x02, 1, 999, 0x84, 0)}));
    EXPECT_EQ(answer.param, FromHex("04 03"));
    const Bytes db10(s7::CodePart(*h.Plc().Blocks().Find({s7::kDB, 10})).first(3).begin(),
                     s7::CodePart(*h.Plc().Blocks().Find({s7::kDB, 10})).first(3).end());
    EXPECT_EQ(answer.data, Concat({FromHex("FF 04 00 18"), db10, FromHex("00"), FromHex("FF 03 00 01 01"),
                                   FromHex("00 0A 00 00 00")}));
}

TEST(ReadWriteVariable, WritesBytesAndBits) {
    Harness h;
    const s7::Pdu answer =
        h.One(WriteVarRequest({AnyItem(0x02, 2, 0, 0x82, 4 * 8), AnyItem(0x01, 1, 0, 0x83, 20 * 8 + 6)},
                              FromHex("00 04 00 10 BE EF 00 03 00 01 01")));
    EXPECT_EQ(answer.param, FromHex("05 02"));
    EXPECT_EQ(answer.data, FromHex("FF FF"));
    EXPECT_EQ(h.Plc().Read(s7::Area::Outputs, 0, 4, 2), FromHex("BE EF"));
    EXPECT_EQ(h.Plc().Read(s7::Area::Flags, 0, 20, 1), FromHex("40"));
}

TEST(StatusJobs, VariableStatusDeliversValuesForItsJob) {
    Harness h;
    ASSERT_TRUE(h.Plc().Write(s7::Area::Flags, 0, 10, FromHex("01 02 03 04")));
    const s7::Pdu init = h.One(StatusVarInitRequest({FromHex("03 01 00 00 00 0A")}));
    EXPECT_EQ(init.data, FromHex("FF 09 00 00"));
    const std::uint8_t job = init.param[7];
    const auto data = h.Send(StatusDataRequest(0x02, job));
    ASSERT_EQ(data.size(), 2u);
    // Parameter size 4, data size 10, two parameter words, item count, then the item in bits.
    EXPECT_EQ(PayloadOf(data[1]), FromHex("00 04 00 0A 00 00 00 00 00 01 FF 04 00 20 01 02 03 04"));
}

TEST(StatusJobs, BlockStatusSendsItsFirstDataUnaskedAndEnds) {
    Harness h;
    const auto init = h.Send(StatusBlockInitRequest(FromHex("01 0A 80 04")));
    ASSERT_EQ(init.size(), 2u);
    EXPECT_EQ(init[0].param[6], 0x01);
    EXPECT_EQ(PayloadOf(init[1]).size(), 26u + 14);
    const auto more = h.Send(StatusDataRequest(0x01, init[0].param[7]));
    ASSERT_EQ(more.size(), 2u);
    EXPECT_EQ(ErrorOf(h.One(StatusExitRequest(0x01, init[0].param[7]))), 0);
    EXPECT_EQ(ErrorOf(h.One(StatusDataRequest(0x01, init[0].param[7]))), s7::error::kNoSuchJob);
}

TEST(Stacks, BlockStackOnlyInStopInterruptStackAlways) {
    Harness h;
    EXPECT_EQ(ErrorOf(h.One(BlockStackRequest())), s7::error::kWrongMode);
    EXPECT_EQ(h.One(InterruptStackRequest()).data.size(), 88u);
    h.One(StopRequest());
    const Bytes stack = PayloadOf(h.One(BlockStackRequest()));
    ASSERT_GE(stack.size(), 2u);
    EXPECT_EQ(bytes::LoadBe16(stack, 8), 3) << "OB1, FB1 and FC1 open, behind the parameter and data sizes";
    EXPECT_EQ(ErrorOf(h.One(ToggleReadRequest())), 0);
}

TEST(Faults, SilenceAndCutCountTheRequestsOfAConnection) {
    s7::PlcOptions silent;
    silent.faults.silentAfter = 2;
    Harness quiet(silent);
    EXPECT_EQ(quiet.Send(SetupRequest()).size(), 1u);
    EXPECT_EQ(quiet.Send(ListBlocksRequest()).size(), 1u);
    const auto third = quiet.Raw(ListBlocksRequest());
    EXPECT_TRUE(third.pdus.empty());
    EXPECT_FALSE(third.cut);

    s7::PlcOptions cutting;
    cutting.faults.cutAfter = 1;
    Harness cut(cutting);
    EXPECT_EQ(cut.Send(SetupRequest()).size(), 1u);
    EXPECT_TRUE(cut.Raw(ListBlocksRequest()).cut);
    cut.Reconnect();
    EXPECT_FALSE(cut.Raw(SetupRequest()).cut) << "a new connection starts counting again";
}

TEST(Faults, ChosenErrorAnswersAndBusy) {
    s7::PlcOptions options;
    options.faults.errors = {{"start-upload", 0x8500}, {"szl", 0xD0A1}};
    Harness h(options);
    const s7::Pdu upload = h.One(StartUploadRequest("0800001"));
    EXPECT_EQ(upload.rosctr, Rosctr::Ack);
    EXPECT_EQ(ErrorOf(upload), 0x8500);
    EXPECT_EQ(ErrorOf(h.One(SzlRequest(0x0424, 0))), 0xD0A1);
    EXPECT_EQ(ErrorOf(h.One(ListBlocksRequest())), 0);

    s7::PlcOptions busy;
    busy.faults.busy = true;
    Harness b(busy);
    EXPECT_EQ(ErrorOf(b.One(SetupRequest())), 0);
    EXPECT_EQ(ErrorOf(b.One(StartUploadRequest("0800001"))), s7::error::kBusy);
    EXPECT_EQ(ErrorOf(b.One(ListBlocksRequest())), s7::error::kBusy);
}

TEST(Robustness, MalformedPdusGetNoAnswerAndUnknownJobsAreRefused) {
    Harness h;
    EXPECT_TRUE(h.Raw(FromHex("32 01 00 00 02 00 00 10 00 00 F0")).pdus.empty()) << "shorter than announced";
    EXPECT_TRUE(h.Raw(FromHex("33 01 00 00 02 00 00 00 00 00")).pdus.empty());
    EXPECT_EQ(ErrorOf(h.One(JobPdu(FromHex("42 00")))), s7::error::kNotSupported);
    EXPECT_EQ(ErrorOf(h.One(StartUploadRequest("0Z00001"))), s7::error::kBlockNameSyntax);
    EXPECT_TRUE(h.Send(DownloadAnswer(FromHex("00"), false)).empty()) << "no download in progress";
}

}  // namespace
}  // namespace vaultra::sim::test
