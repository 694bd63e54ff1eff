#include <gtest/gtest.h>

#include <vaultra/byte_order.h>
#include "s7project/dbase_table.h"
#include "s7project/link_file.h"
#include "s7project/project_layout.h"
#include "s7project/s7project.h"
#include "s7project/system_data.h"
#include "s7project/table_schema.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::ReadBytes;
using testing::ReadRecords;
using testing::SampleBlock;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

// What the tables keep of a block: everything but trailer bytes 25 and 28-35, which they have no field for.
BlockImage AsStored(BlockImage image) {
    const auto trailer = image.end() - kBlockTrailerLength;
    trailer[25] = 0;
    std::fill(trailer + 28, image.end(), 0);
    return image;
}

BlockImage WithHeaderBytes(BlockImage image, std::uint8_t version, std::uint8_t attribute,
                           std::uint8_t language) {
    image[block_field::kVersion] = version;
    image[block_field::kAttribute] = attribute;
    image[block_field::kLanguage] = language;
    bytes::StoreBe32(image, block_field::kSecurityWord, 0x01020304);
    return image;
}

BlockList EveryKind() {
    return {
        SampleBlock(subblock::kOb, 1, 300, 40, 20),
        SampleBlock(subblock::kSdb, 0, 200, 0, 10),
        WithHeaderBytes(SampleBlock(subblock::kFb, 65535, 16 * 1024, 2000, 100), 0x21, 0x03, 0x05),
        SampleBlock(subblock::kFc, 12, 1, 0, 0),
        SampleBlock(subblock::kDb, 100, 0, 0, 0),
        SampleBlock(subblock::kSfb, 4, 10, 10, 10),
        WithHeaderBytes(SampleBlock(subblock::kSdb, 1000, 5000, 100, 0), 0x42, 0x07, 0x11),
        SampleBlock(subblock::kSfc, 46, 0, 64, 0),
    };
}

TEST(ProjectRoundTrip, EveryBlockKindComesBackAsStored) {
    TempDir dir;
    BlockList blocks = EveryKind();
    blocks.push_back(
        WithHeaderBytes(SampleBlock(subblock::kOb, 35, 50, 0, 0), 1, 0x02, 1));  // attribute bit 0 clear
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "LINE1.S7P", blocks, folders));
    BlockList back;
    ProjectFolders readFolders;
    ProjectInfo info;
    ASSERT_TRUE(ReadS7Project(dir / "LINE1" / "LINE1.S7P", back, readFolders, &info));
    EXPECT_EQ(info.format, 3);
    EXPECT_EQ(info.programName, "S7-Programm(1)");
    EXPECT_EQ(readFolders.offlineFolder, "00000001");
    EXPECT_EQ(readFolders.sdbFolder, "00000001");
    // system data blocks first and whole, then the others in table order as the tables keep them
    const BlockList expected{blocks[1],           blocks[6],           AsStored(blocks[0]),
                             AsStored(blocks[2]), AsStored(blocks[3]), AsStored(blocks[4]),
                             AsStored(blocks[5]), AsStored(blocks[7])};
    ASSERT_EQ(back.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(back[i], expected[i]) << "block " << i;
    }
}

TEST(ProjectRoundTrip, BlockRecordsHoldTheDocumentedValues) {
    TempDir dir;
    const BlockList blocks = EveryKind();
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", blocks));
    const auto folder = dir / "P" / "OMBSTX" / "OFFLINE" / "00000001";
    const auto subblk = ReadRecords(folder / "SUBBLK.DBF");
    ASSERT_EQ(subblk.size(), 6U);
    const auto& ob = subblk[0];
    EXPECT_EQ(ob.at("OBJECTID"), "          1");
    EXPECT_EQ(ob.at("BLKLANG"), "00001");
    EXPECT_EQ(ob.at("SUBBLKTYP"), "00008");
    EXPECT_EQ(ob.at("BLKNUMMER"), "00001");
    EXPECT_EQ(ob.at("ATTRIBUTE"), "  1");
    EXPECT_EQ(ob.at("BLKTOTLEN"), "        432");
    EXPECT_EQ(ob.at("MC5LEN"), "        300");
    EXPECT_EQ(ob.at("SSBLEN"), "         40");
    EXPECT_EQ(ob.at("ADDLEN"), "         20");
    EXPECT_EQ(ob.at("LOCDATALEN"), "    1");
    EXPECT_EQ(ob.at("TIMESTAMP1"), std::string("\x02\x1A\x33\x01\x00\x0D", 6));
    EXPECT_EQ(ob.at("PASSWORD"), "          0");
    // the trailer's author, family, name, version and checksum
    const std::span<const std::uint8_t> trailer(blocks[0].end() - kBlockTrailerLength, blocks[0].end());
    const auto name = [&trailer](std::size_t at) {
        return std::string(trailer.begin() + at, trailer.begin() + at + 8);
    };
    EXPECT_EQ(ob.at("USERNAME"), name(0));
    EXPECT_EQ(ob.at("BLOCKFNAME"), name(8));
    EXPECT_EQ(ob.at("BLOCKNAME"), name(16));
    EXPECT_EQ(ob.at("VERSION"), RightAligned(trailer[24], 3));
    EXPECT_EQ(ob.at("CHECKSUM"), RightAligned(bytes::LoadBe16(trailer, 26), 5));
    EXPECT_EQ(ob.at("RESERVED1"), "  0");
    EXPECT_EQ(ob.at("CPUTYPE"), "          0");
    EXPECT_EQ(ob.at("MC5CODE"), "         1");
    EXPECT_EQ(subblk[1].at("BLKNUMMER"), "65535");
    // header bytes 2-4 and the security word of the FB
    EXPECT_EQ(subblk[1].at("AGRESERVED"), " 33");
    EXPECT_EQ(subblk[1].at("ATTRIBUTE"), "  3");
    EXPECT_EQ(subblk[1].at("BLKLANG"), "00005");
    EXPECT_EQ(subblk[1].at("PASSWORD"), "   16909060");
    EXPECT_EQ(subblk[1].at("OBJECTID"), "          2");  // the SDB in between takes no object number
    const auto& db = subblk[3];
    EXPECT_EQ(db.at("SUBBLKTYP"), "00010");
    EXPECT_EQ(db.at("MC5CODE"), "         0");  // empty parts store no memo
    EXPECT_EQ(db.at("ADDINFO"), "         0");

    const auto baustein = ReadRecords(folder / "BAUSTEIN.DBF");
    ASSERT_EQ(baustein.size(), 6U);
    EXPECT_EQ(baustein[3].at("ID"), "00000000004");
    EXPECT_EQ(baustein[3].at("TYP"), "00010");
    EXPECT_EQ(baustein[3].at("NUMMER"), "00100");
    EXPECT_EQ(baustein[3].at("ATTRIBS"), std::string(40, '\0'));
    EXPECT_EQ(baustein[3].at("LINKS"), "          0");
    EXPECT_EQ(baustein[3].at("UDA"), "          ");
    const Bytes id = ReadBytes(folder / "baustein.id");
    EXPECT_EQ(id, (Bytes{7, 0, 0, 0}));
}

TEST(ProjectRoundTrip, SubblockListNamesTheRecordsOfTheBlock) {
    TempDir dir;
    // an interface subblock (type 3) of OB 7 stored before the OB itself
    const BlockList blocks{SampleBlock(3, 7, 10, 0, 0), SampleBlock(subblock::kDb, 5, 4, 0, 0),
                           SampleBlock(subblock::kOb, 7, 10, 0, 0)};
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", blocks));
    CDBASEDatei baustein;
    ASSERT_TRUE(baustein.OpenTable(dir / "P" / "OMBSTX" / "OFFLINE" / "00000001" / "BAUSTEIN.DBF"));
    const auto memoOf = [&baustein](std::string_view type) {
        EXPECT_TRUE(baustein.FindRecord(type, 1));
        return baustein.ReadMemo(static_cast<std::uint32_t>(std::stoul(*baustein.ReadFieldNext(6, false))));
    };
    EXPECT_EQ(memoOf("00010"), (Bytes{10, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(memoOf("00008"), (Bytes{3, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_FALSE(baustein.FindRecord("00003", 1));  // type 3 has no block directory record
}

TEST(ProjectLayout, ProjectFileAndFoldersAsLaidOut) {
    TempDir dir;
    testing::WriteBytes(dir / "LINE1.S7P", Bytes{9, 9, 9});  // an old file at the given path goes
    ASSERT_TRUE(WriteS7Project(dir / "LINE1.S7P", BlockList{SampleBlock(subblock::kOb, 1, 10, 0, 0)}));
    EXPECT_FALSE(std::filesystem::exists(dir / "LINE1.S7P"));
    const auto root = dir / "LINE1";
    Bytes expected{0, 0, 0, 0, 5, 'L', 'I', 'N', 'E', '1', 17};
    const std::string producer = "Programmer von QX";
    expected.insert(expected.end(), producer.begin(), producer.end());
    expected.insert(expected.end(), {0, 0, 0, 38});
    const std::string classId = "{00000000-0000-0000-0000-000000000000}";
    expected.insert(expected.end(), classId.begin(), classId.end());
    expected.insert(expected.end(), {3, 0, 0, 0, 0x01, 0x20, 0x11, 0});
    expected.insert(expected.end(), 12, 0);
    expected.insert(expected.end(), {0, 2, 0, 0});
    expected.insert(expected.end(), 16, 0);
    EXPECT_EQ(ReadBytes(root / "LINE1.S7P"), expected);
    EXPECT_EQ(EncodeProjectFile("").size(), expected.size() - 6);  // an empty name is left out entirely
    for (const char* file :
         {"LINK.LNK", "HRS/LINKHRS.LNK", "HRS/S7RESOFF.DBF", "HRS/S7RESOFF.MDX", "HRS/S7RESONL.DBF",
          "HRS/S7RESONL.MDX", "OMBSTX/OFFLINE/BSTCNTOF.DBF", "OMBSTX/OFFLINE/BSTCNTOF.MDX",
          "OMBSTX/OFFLINE/00000001/LINKS.LNK", "OMBSTX/OFFLINE/00000001/BAUSTEIN.DBT",
          "OMBSTX/OFFLINE/00000001/BAUSTEIN.MDX", "OMBSTX/OFFLINE/00000001/SUBBLK.DBT", "SDB/S0112001.DBF",
          "SDB/S0112001.MDX", "SDB/00000001/LIST/00000001.DBF", "SDB/00000001/LIST/00000001.MDX",
          "SDB/00000001/LINK/00000001.DBF"}) {
        EXPECT_TRUE(std::filesystem::exists(root / file)) << file;
    }
    EXPECT_FALSE(std::filesystem::exists(root / "OMBSTX/OFFLINE/00000001/SUBBLK.MDX"));
}

TEST(ProjectLayout, LinkFilesCarryTheirEntries) {
    TempDir dir;
    ASSERT_TRUE(WriteS7Project(dir / "L.S7P", BlockList{}));
    const auto entriesOf = [](const std::filesystem::path& p) {
        CLinkDatei link;
        EXPECT_TRUE(link.OpenLinkFile(p));
        return link.Entries();
    };
    EXPECT_EQ(entriesOf(dir / "L" / "LINK.LNK"), (std::vector<LinkEntry>{{0, 0, 0x144101, 1, 0x4, 0x2},
                                                                         {0, 0, 0x144103, 1, 0x4, 0x2},
                                                                         {0, 0, 0x119001, 1, 0x4E, 0x2}}));
    EXPECT_EQ(entriesOf(dir / "L" / "HRS" / "LINKHRS.LNK"),
              (std::vector<LinkEntry>{{0, 0, 0x116001, 1, 0x1E, 0x2},
                                      {0, 0, 0x144103, 1, 0x66, 0x4},
                                      {0, 0, 0x112001, 0, 0x5, 0x1},
                                      {0, 0, 0x113001, 1, 0x18, 0x2}}));
    EXPECT_EQ(
        entriesOf(dir / "L" / "OMBSTX" / "OFFLINE" / "00000001" / "LINKS.LNK"),
        (std::vector<LinkEntry>{{0x116001, 1, 0x11610B, 1, 0x1C, 0x2}, {0, 0, 0x144101, 1, 0x1F, 0x1}}));
}

TEST(ProjectLayout, ProjectTablesHoldTheDocumentedValues) {
    TempDir dir;
    const BlockList blocks = EveryKind();
    ASSERT_TRUE(WriteS7Project(dir / "T.S7P", blocks));
    const auto off = ReadRecords(dir / "T" / "HRS" / "S7RESOFF.DBF");
    ASSERT_EQ(off.size(), 1U);
    EXPECT_EQ(off[0].at("ID"), "          1");
    EXPECT_EQ(off[0].at("NAME"), "S7-Programm(1)          ");
    EXPECT_EQ(off[0].at("CREATDATE"), std::string(6, '\0'));
    EXPECT_EQ(off[0].at("CREATOR"), "VELDAR-WRITER" + std::string(27, ' '));
    EXPECT_EQ(off[0].at("HWTYPE"), "S7 CPU                  ");
    EXPECT_EQ(off[0].at("INTVERSION"), "        100");
    EXPECT_EQ(off[0].at("RSRVD3_L"), std::string(11, ' '));
    EXPECT_EQ(off[0].at("RSRVD4_L"), "        512");
    EXPECT_EQ(off[0].at("RSRVD12_C"), std::string(32, ' '));
    const auto onl = ReadRecords(dir / "T" / "HRS" / "S7RESONL.DBF");
    ASSERT_EQ(onl.size(), 1U);
    EXPECT_EQ(onl[0].at("CONTYP"), "\x01");
    EXPECT_EQ(onl[0].at("USERMPI"), "        -51");
    EXPECT_EQ(onl[0].at("FLGUSERMPI"), std::string(1, '\0'));
    EXPECT_EQ(onl[0].at("INTVERSION"), "        105");
    EXPECT_EQ(onl[0].at("RSRVD1_L"), "         -1");
    EXPECT_EQ(onl[0].at("RSRVD2_L"), "          0");
    EXPECT_EQ(onl[0].at("RSRVD5_L"), std::string(11, ' '));
    const auto cnt = ReadRecords(dir / "T" / "OMBSTX" / "OFFLINE" / "BSTCNTOF.DBF");
    ASSERT_EQ(cnt.size(), 1U);
    EXPECT_EQ(cnt[0].at("ID"), "          1");
    EXPECT_EQ(cnt[0].at("NAME"), "Bausteine               ");
    EXPECT_EQ(cnt[0].at("COMMENT"), std::string(254, ' '));
    EXPECT_EQ(cnt[0].at("LINK_ID"), "        512");
    EXPECT_EQ(cnt[0].at("ANZOB"), "          1");
    EXPECT_EQ(cnt[0].at("ANZSFC"), "          1");
    EXPECT_EQ(cnt[0].at("ANZUDT"), "          0");
    long long all = 0;
    long long load = 0;
    for (const auto& b : blocks) {
        const auto h = ReadBlockHeader(b);
        all += h->loadLength;
        if (h->type == subblock::kOb || h->type == subblock::kDb || h->type == subblock::kFc ||
            h->type == subblock::kFb) {
            load += h->loadLength;
        }
    }
    EXPECT_EQ(std::stoll(cnt[0].at("GESLEN")), all);
    EXPECT_EQ(std::stoll(cnt[0].at("LOADLEN")), load);
}

TEST(SystemData, FileLayoutAndTables) {
    TempDir dir;
    const BlockImage sdb = WithHeaderBytes(SampleBlock(subblock::kSdb, 0x1234, 5, 2, 1), 0x42, 0x07, 0x11);
    ASSERT_TRUE(WriteS7Project(dir / "S.S7P", BlockList{sdb}));
    const Bytes pg = ReadBytes(dir / "S" / "SDB" / "00000001" / "00000001.PG");
    ASSERT_EQ(pg.size(), sdb.size() + 6);
    const Bytes head{0x11, 0, 11, 0, 0x34, 0x12, 0x07, 0x42, static_cast<std::uint8_t>(sdb.size() + 6),
                     0,    0, 0,  5, 0,    160,  0,    0,    0,
                     0,    0, 2,  0, 1,    0,    0,    0};  // code 5, local data 160
    EXPECT_EQ(Bytes(pg.begin(), pg.begin() + 26), head);
    EXPECT_EQ(Bytes(pg.begin() + 26, pg.begin() + 38), Bytes(sdb.begin() + 16, sdb.begin() + 28));
    EXPECT_EQ(Bytes(pg.begin() + 38, pg.begin() + 42), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(Bytes(pg.begin() + 42, pg.begin() + 78), Bytes(sdb.end() - 36, sdb.end()));
    EXPECT_EQ(Bytes(pg.begin() + 78, pg.end()), Bytes(sdb.begin() + 36, sdb.end() - 36));

    const auto list = ReadRecords(dir / "S" / "SDB" / "00000001" / "LIST" / "00000001.DBF");
    ASSERT_EQ(list.size(), 1U);
    EXPECT_EQ(list[0].at("ID"), "00000000001");
    EXPECT_EQ(list[0].at("SDBNAME"), std::string(24, ' '));
    EXPECT_EQ(list[0].at("NUMBER"), "00000004660");
    EXPECT_EQ(list[0].at("TYPE"), "00000000000");
    EXPECT_EQ(list[0].at("SIZE"), "00000000080");
    EXPECT_EQ(list[0].at("PRODUCER"), "STEP 7  ");
    EXPECT_EQ(list[0].at("ATTRIBUTE"), "          7");
    EXPECT_EQ(list[0].at("VERSION"), "          0");
    EXPECT_EQ(list[0].at("TS2"), std::string(sdb.begin() + 22, sdb.begin() + 28));
    const auto top = ReadRecords(dir / "S" / "SDB" / "S0112001.DBF");
    ASSERT_EQ(top.size(), 1U);
    EXPECT_EQ(top[0].at("SDBHNAME"), "Systemdaten" + std::string(13, ' '));
    EXPECT_EQ(top[0].at("MLFB"), std::string(20, ' '));
    EXPECT_EQ(top[0].at("LASTID"), "00000000001");
    const auto link = ReadRecords(dir / "S" / "SDB" / "00000001" / "LINK" / "00000001.DBF");
    ASSERT_EQ(link.size(), 1U);
    EXPECT_EQ(link[0].at("SOT"), "    1138955");
    EXPECT_EQ(link[0].at("TOT"), "    1138689");
    EXPECT_EQ(link[0].at("TOI"), "          1");
    EXPECT_EQ(link[0].at("RID"), "         29");
}

TEST(SystemData, HeaderAndTrailerOnlyBlock) {
    const BlockImage sdb = SampleBlock(subblock::kSdb, 3, 0, 0, 0);  // load length 72
    const auto file = EncodeSystemDataFile(sdb);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 78U);
    EXPECT_EQ(DecodeSystemDataFile(*file), sdb);
    BlockImage shortOne = sdb;
    bytes::StoreBe32(shortOne, block_field::kLoadLength, 70);
    EXPECT_FALSE(EncodeSystemDataFile(shortOne));
    BlockImage cut = SampleBlock(subblock::kSdb, 3, 10, 0, 0);
    cut.resize(cut.size() - 1);  // shorter than its load length
    EXPECT_FALSE(EncodeSystemDataFile(cut));
}

TEST(SystemData, FileWhosePartsRunPastTheBlockIsNotRead) {
    const BlockImage sdb = SampleBlock(subblock::kSdb, 3, 40, 12, 0);
    auto file = EncodeSystemDataFile(sdb);
    ASSERT_TRUE(file);
    ASSERT_EQ(DecodeSystemDataFile(*file), sdb);
    bytes::StoreLe16(*file, 22, 36 + 1);  // additional part: one byte more than the trailer's room
    EXPECT_FALSE(DecodeSystemDataFile(*file));
    bytes::StoreLe16(*file, 22, 0x5355);  // as a damaged file had it
    EXPECT_FALSE(DecodeSystemDataFile(*file));
}

TEST(SystemData, ProjectWithoutSystemDataStillGetsItsTables) {
    TempDir dir;
    ASSERT_TRUE(WriteS7Project(dir / "N.S7P", BlockList{SampleBlock(subblock::kFc, 1, 4, 0, 0)}));
    EXPECT_EQ(ReadRecords(dir / "N" / "SDB" / "00000001" / "LINK" / "00000001.DBF").size(), 1U);
    EXPECT_TRUE(ReadRecords(dir / "N" / "SDB" / "00000001" / "LIST" / "00000001.DBF").empty());
    EXPECT_TRUE(ReadRecords(dir / "N" / "SDB" / "S0112001.DBF").empty());
    BlockList back;
    ProjectFolders folders;
    ASSERT_TRUE(ReadS7Project(dir / "N" / "N.S7P", back, folders));
    EXPECT_EQ(back.size(), 1U);
    EXPECT_EQ(folders.sdbFolder, "");  // no system data folder listed
}

}  // namespace
}  // namespace vaultra::s7project
