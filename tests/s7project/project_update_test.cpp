// Writing into a project that already exists, the project's place on disk, and the older layout.
#include <gtest/gtest.h>

#include "s7project/dbase_table.h"
#include "s7project/s7project.h"
#include "s7project/table_schema.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::ReadBytes;
using testing::ReadRecords;
using testing::SampleBlock;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

std::filesystem::path Blocks(const std::filesystem::path& root) {
    return root / "OMBSTX" / "OFFLINE" / "00000001";
}

TEST(SecondBackup, RefreshesRecordsAndKeepsWhatTheProjectHolds) {
    TempDir dir;
    const auto root = dir / "P";
    const BlockList first{SampleBlock(subblock::kOb, 1, 100, 10, 0), SampleBlock(subblock::kFc, 2, 50, 0, 0),
                          SampleBlock(subblock::kSdb, 0, 40, 0, 0), SampleBlock(subblock::kSdb, 1, 40, 0, 0)};
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", first, folders));
    const Bytes resoff = ReadBytes(root / "HRS" / "S7RESOFF.DBF");
    const Bytes links = ReadBytes(root / "HRS" / "LINKHRS.LNK");
    const Bytes sdb0 = ReadBytes(root / "SDB" / "00000001" / "00000001.PG");
    const auto memoSize = std::filesystem::file_size(Blocks(root) / "SUBBLK.DBT");

    // FC 2 vanished, OB 1 changed, FB 3 and SDB 5 are new
    const BlockList second{SampleBlock(subblock::kOb, 1, 120, 10, 0), SampleBlock(subblock::kFb, 3, 30, 0, 0),
                           SampleBlock(subblock::kSdb, 1, 40, 0, 0),
                           SampleBlock(subblock::kSdb, 5, 60, 0, 0)};
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", second, folders));

    EXPECT_EQ(ReadBytes(root / "HRS" / "S7RESOFF.DBF"), resoff);
    EXPECT_EQ(ReadBytes(root / "HRS" / "LINKHRS.LNK"), links);
    EXPECT_EQ(ReadRecords(root / "HRS" / "S7RESONL.DBF").size(), 2U);
    EXPECT_EQ(ReadRecords(root / "SDB" / "00000001" / "LINK" / "00000001.DBF").size(), 2U);
    const auto counts = ReadRecords(root / "OMBSTX" / "OFFLINE" / "BSTCNTOF.DBF");
    ASSERT_EQ(counts.size(), 1U);
    EXPECT_EQ(counts[0].at("ANZFB"), "          1");
    EXPECT_EQ(counts[0].at("ANZFC"), "          0");

    const auto subblk = ReadRecords(Blocks(root) / "SUBBLK.DBF");
    ASSERT_EQ(subblk.size(), 2U);
    EXPECT_EQ(subblk[0].at("OBJECTID"), "          1");  // OB 1 keeps its object number
    EXPECT_EQ(subblk[0].at("MC5LEN"), "        120");
    EXPECT_EQ(subblk[1].at("OBJECTID"), "          4");  // continues after baustein.id (3) and OB 1
    EXPECT_GT(std::filesystem::file_size(Blocks(root) / "SUBBLK.DBT"), memoSize);
    const auto baustein = ReadRecords(Blocks(root) / "BAUSTEIN.DBF");
    ASSERT_EQ(baustein.size(), 2U);
    EXPECT_EQ(baustein[0].at("ID"), "00000000001");
    EXPECT_EQ(baustein[1].at("ID"), "00000000004");
    // the vanished FC stays in both tables, flagged deleted
    for (const auto& [table, numberField] :
         {std::pair{"SUBBLK.DBF", "BLKNUMMER"}, {"BAUSTEIN.DBF", "NUMMER"}}) {
        CDBASEDatei t;
        ASSERT_TRUE(t.OpenTable(Blocks(root) / table));
        const auto deleted = t.DeletedRecords();
        ASSERT_EQ(deleted.size(), 1U) << table;
        EXPECT_EQ(deleted[0], 1U);
        EXPECT_EQ(t.FieldOf(deleted[0], t.FieldIndexByName(numberField)), "00002") << table;
    }
    EXPECT_EQ(ReadBytes(Blocks(root) / "baustein.id"), (Bytes{5, 0, 0, 0}));

    // SDB 0 keeps its file, SDB 1 its number, SDB 5 takes the next free number
    EXPECT_EQ(ReadBytes(root / "SDB" / "00000001" / "00000001.PG"), sdb0);
    const auto list = ReadRecords(root / "SDB" / "00000001" / "LIST" / "00000001.DBF");
    ASSERT_EQ(list.size(), 3U);
    EXPECT_EQ(list[1].at("NUMBER"), "00000000001");
    EXPECT_EQ(list[1].at("ID"), "00000000002");
    EXPECT_EQ(list[2].at("NUMBER"), "00000000005");
    EXPECT_EQ(list[2].at("ID"), "00000000003");
    EXPECT_TRUE(std::filesystem::exists(root / "SDB" / "00000001" / "00000003.PG"));

    BlockList back;
    ASSERT_TRUE(ReadS7Project(root / "P.S7P", back, folders));
    ASSERT_EQ(back.size(), 5U);  // three system data blocks, OB 1 and FB 3; not the deleted FC 2
    EXPECT_EQ(back[0], first[2]);
    EXPECT_EQ(back[1], second[2]);
    EXPECT_EQ(back[2], second[3]);
}

// A block deleted in the PLC stays in the project but never comes back from it as part of the program.
TEST(DeletedBlocks, AreReadApartAndTakeTheirRecordAgainWhenTheyReturn) {
    TempDir dir;
    const BlockImage fc = SampleBlock(subblock::kFc, 2, 50, 0, 6);
    const BlockImage ob = SampleBlock(subblock::kOb, 1, 30, 0, 0);
    const BlockImage db = SampleBlock(subblock::kDb, 3, 8, 4, 0);
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", BlockList{ob, fc, db}, folders));
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", BlockList{ob, db}, folders));
    BlockList back;
    ProjectInfo info;
    ASSERT_TRUE(ReadS7Project(dir / "P" / "P.S7P", back, folders, &info));
    ASSERT_EQ(back.size(), 2U);
    EXPECT_EQ(ReadBlockHeader(back[0])->type, subblock::kOb);
    EXPECT_EQ(ReadBlockHeader(back[1])->type, subblock::kDb);
    ASSERT_EQ(info.deletedBlocks.size(), 1U);
    EXPECT_EQ(Bytes(info.deletedBlocks[0].begin(), info.deletedBlocks[0].end() - 36),
              Bytes(fc.begin(), fc.end() - 36));
    EXPECT_EQ(info.unreadableBlocks, 0U);

    // back in the PLC: the deleted record is live again with its object number, no record is added
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", BlockList{ob, fc, db}, folders));
    const auto subblk = ReadRecords(Blocks(dir / "P") / "SUBBLK.DBF");
    ASSERT_EQ(subblk.size(), 3U);
    EXPECT_EQ(subblk[1].at("SUBBLKTYP"), "00012");
    EXPECT_EQ(subblk[1].at("OBJECTID"), "          2");
    CDBASEDatei t;
    ASSERT_TRUE(t.OpenTable(Blocks(dir / "P") / "SUBBLK.DBF"));
    EXPECT_EQ(t.RecordCount(), 3U);
    EXPECT_TRUE(t.DeletedRecords().empty());
    back.clear();
    ProjectInfo again;
    ASSERT_TRUE(ReadS7Project(dir / "P" / "P.S7P", back, folders, &again));
    EXPECT_EQ(back.size(), 3U);
    EXPECT_TRUE(again.deletedBlocks.empty());
}

// Records written before the trailer had fields: the constant values they hold read back as the header
// bytes 1, 1, 1, no security word, empty names, version 0.1 (1) and checksum 0; blank fields of another
// writer fall back to the header's 1 and a zero trailer.
TEST(EarlierProject, RecordsWithoutTrailerValuesReadAsTheyDid) {
    TempDir dir;
    BlockImage fb = SampleBlock(subblock::kFb, 5, 20, 4, 6);
    fb[block_field::kLanguage] = 7;
    fb[block_field::kSecurityWord + 3] = 3;
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "P.S7P", BlockList{fb}, folders));
    const auto rewrite = [&](const FieldValues& values) {
        CDBASEDatei t;
        ASSERT_TRUE(t.OpenTable(Blocks(dir / "P") / "SUBBLK.DBF"));
        ASSERT_TRUE(t.SelectRecord(0));
        ASSERT_TRUE(WriteFieldsByName(t, values));
        ASSERT_TRUE(t.CloseTable());
    };
    const auto readBack = [&] {
        BlockList back;
        EXPECT_TRUE(ReadS7Project(dir / "P" / "P.S7P", back, folders));
        return back.size() == 1 ? back[0] : BlockImage{};
    };
    rewrite({{"BLKLANG", "00001"},
             {"ATTRIBUTE", "  1"},
             {"AGRESERVED", "  1"},
             {"PASSWORD", "          0"},
             {"USERNAME", ZeroBytes(8)},
             {"BLOCKFNAME", ZeroBytes(8)},
             {"BLOCKNAME", ZeroBytes(8)},
             {"VERSION", "  1"},
             {"CHECKSUM", "    0"}});
    BlockImage expected = fb;
    std::fill_n(expected.begin() + block_field::kVersion, 3, 1);
    std::fill_n(expected.begin() + block_field::kSecurityWord, 4, 0);
    std::fill(expected.end() - 36, expected.end(), 0);
    expected[expected.size() - 36 + 24] = 1;
    EXPECT_EQ(readBack(), expected);

    rewrite({{"BLKLANG", "     "}, {"ATTRIBUTE", "   "}, {"AGRESERVED", "999"}, {"VERSION", "   "}});
    expected[expected.size() - 36 + 24] = 0;
    EXPECT_EQ(readBack(), expected);
}

TEST(EarlierProject, TrailerBytesWithoutAFieldAreNamed) {
    BlockImage image = SampleBlock(subblock::kOb, 1, 10, 0, 0);
    const auto trailer = image.end() - 36;
    std::fill(trailer + 24, image.end(), 0);
    EXPECT_TRUE(TrailerBytesNotKept(image).empty());
    trailer[24] = 0x11;
    trailer[26] = 0xAB;
    trailer[27] = 0xCD;
    EXPECT_TRUE(TrailerBytesNotKept(image).empty());  // version and checksum have fields
    trailer[25] = 1;
    trailer[35] = 2;
    EXPECT_EQ(TrailerBytesNotKept(image), (std::vector<std::size_t>{25, 35}));
    EXPECT_TRUE(TrailerBytesNotKept(Bytes(image.begin(), image.begin() + 40)).empty());
    image[block_field::kType] = subblock::kSdb;
    EXPECT_TRUE(TrailerBytesNotKept(image).empty());
}

TEST(ProjectPlace, EmptyNameMakesNoname) {
    TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool written = WriteS7Project("", BlockList{SampleBlock(subblock::kOb, 1, 4, 0, 0)});
    std::filesystem::current_path(previous);
    EXPECT_TRUE(written);
    EXPECT_TRUE(std::filesystem::exists(dir / "NONAME" / "NONAME.S7P"));
    const Bytes file = ReadBytes(dir / "NONAME" / "NONAME.S7P");
    ASSERT_GT(file.size(), 11U);
    EXPECT_EQ(std::string(file.begin() + 5, file.begin() + 11), "NONAME");
}

TEST(ProjectPlace, ProjectFileInsideAnExistingProjectRefreshesIt) {
    TempDir dir;
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "X.S7P", BlockList{SampleBlock(subblock::kOb, 1, 4, 0, 0)}, folders));
    ASSERT_TRUE(
        WriteS7Project(dir / "X" / "X.S7P", BlockList{SampleBlock(subblock::kFc, 9, 4, 0, 0)}, folders));
    EXPECT_FALSE(std::filesystem::exists(dir / "X" / "X"));
    EXPECT_TRUE(std::filesystem::exists(dir / "X" / "X.S7P"));
    EXPECT_EQ(ReadRecords(Blocks(dir / "X") / "SUBBLK.DBF").size(), 1U);  // OB 1 is gone from the PLC
}

TEST(ProjectPlace, ExtensionMatchedInAnyCaseAndPathKept) {
    TempDir dir;
    ASSERT_TRUE(WriteS7Project(dir / "Line.s7p", BlockList{SampleBlock(subblock::kOb, 1, 4, 0, 0)}));
    EXPECT_TRUE(std::filesystem::exists(dir / "Line" / "Line.s7p"));
    EXPECT_TRUE(std::filesystem::exists(Blocks(dir / "Line") / "SUBBLK.DBF"));
}

TEST(ProjectPlace, ProjectNameIsStoredInWindows1252) {
    TempDir dir;
    ASSERT_TRUE(WriteS7Project(dir / "Presse_\xC3\x9C.S7P", BlockList{}));  // "Presse_Ü"
    const Bytes file = ReadBytes(dir / "Presse_\xC3\x9C" / "Presse_\xC3\x9C.S7P");
    ASSERT_GT(file.size(), 13U);
    EXPECT_EQ(file[4], 8);
    EXPECT_EQ(file[12], 0xDC);
}

TEST(ProjectPlace, ReadsAProjectWhoseNamesAreLowerCase) {
    TempDir dir;
    const BlockList blocks{SampleBlock(subblock::kSdb, 2, 20, 0, 0), SampleBlock(subblock::kOb, 1, 10, 0, 0)};
    ASSERT_TRUE(WriteS7Project(dir / "U.S7P", blocks));
    // lower-case every name below the project
    std::vector<std::filesystem::path> paths;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "U")) {
        paths.push_back(e.path());
    }
    std::sort(paths.rbegin(), paths.rend());  // deepest first
    for (const auto& p : paths) {
        std::string name = p.filename().string();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        std::filesystem::rename(p, p.parent_path() / name);
    }
    BlockList back;
    ProjectFolders folders;
    ASSERT_TRUE(ReadS7Project(dir / "U" / "u.s7p", back, folders));
    ASSERT_EQ(back.size(), 2U);
    EXPECT_EQ(back[0], blocks[0]);
    EXPECT_EQ(ReadBlockHeader(back[1])->type, subblock::kOb);
    // and a second backup writes into the existing lower-case folders
    ASSERT_TRUE(WriteS7Project(dir / "U" / "u.s7p", blocks, folders));
    EXPECT_FALSE(std::filesystem::exists(dir / "U" / "OMBSTX"));
    EXPECT_EQ(ReadRecords(dir / "U" / "ombstx" / "offline" / "00000001" / "subblk.dbf").size(), 1U);
}

TEST(ProjectRead, ContainerRecordNamesTheBlockFolder) {
    TempDir dir;
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "F.S7P", BlockList{SampleBlock(subblock::kOb, 1, 4, 0, 0)}, folders));
    {
        CDBASEDatei t;
        ASSERT_TRUE(t.OpenTable(dir / "F" / "OMBSTX" / "OFFLINE" / "BSTCNTOF.DBF"));
        ASSERT_TRUE(t.ReadFieldFirst(0));
        ASSERT_TRUE(t.WriteField("         26", 0));
        ASSERT_TRUE(t.CloseTable());
    }
    BlockList back;
    EXPECT_TRUE(ReadS7Project(dir / "F" / "F.S7P", back, folders));
    EXPECT_EQ(folders.offlineFolder, "0000001A");
    EXPECT_TRUE(back.empty());  // no such block folder
    std::filesystem::remove(dir / "F" / "OMBSTX" / "OFFLINE" / "BSTCNTOF.DBF");
    EXPECT_FALSE(ReadS7Project(dir / "F" / "F.S7P", back, folders));
}

// An older project: format word non-zero, blocks in BAUSTEIN.DBF with their parts as memos.
void WriteOlderProject(const std::filesystem::path& dir, const BlockList& wanted) {
    ASSERT_TRUE(WriteS7Project(dir / "OLD.S7P", BlockList{}));
    const auto root = dir / "OLD";
    testing::WriteBytes(root / "OLD.S7P", Bytes{2, 0, 0, 0});
    const auto folder = Blocks(root);
    std::filesystem::remove(folder / "SUBBLK.DBF");
    CDBASEDatei t;
    t.SetFieldCount(29);
    for (std::size_t i = 0; i < 29; ++i) {
        const std::string name = "F" + std::to_string(i);
        const bool memo = i >= 25 && i <= 27;
        t.DefineField(i, name, memo ? 'M' : 'C', memo ? 10 : (i == 14 || i == 15 ? 6 : 5));
    }
    ASSERT_TRUE(t.CreateTable(folder / "BAUSTEIN.DBF", kCreateMemoFile));
    for (const auto& image : wanted) {
        const auto h = *ReadBlockHeader(image);
        const auto parts = *SplitBlockParts(image);
        char type[8];
        char number[8];
        char local[8];
        std::snprintf(type, sizeof type, "%5d", h.type);
        std::snprintf(number, sizeof number, "%5d", h.number);
        std::snprintf(local, sizeof local, "%5d", h.localDataLength);
        ASSERT_TRUE(t.AppendRecord());
        t.WriteField(type, 1);
        t.WriteField(type, 5);
        t.WriteField(number, 6);
        t.WriteField(std::string(h.timestamp1.begin(), h.timestamp1.end()), 14);
        t.WriteField(std::string(h.timestamp2.begin(), h.timestamp2.end()), 15);
        const std::array<std::span<const std::uint8_t>, 3> all{parts.code, parts.interfacePart,
                                                               parts.additional};
        for (std::size_t i = 0; i < all.size(); ++i) {
            char memo[16];
            std::snprintf(memo, sizeof memo, "%10u", t.WriteMemo(all[i]));
            t.WriteField(memo, 25 + i);
        }
        t.WriteField(local, 28);
    }
    ASSERT_TRUE(t.AppendRecord());  // a record whose name field does not begin with its type is no block
    t.WriteField("xxxxx", 1);
    t.WriteField("    8", 5);
    ASSERT_TRUE(t.CloseTable());
}

TEST(ProjectRead, OlderLayoutComesOutInTypeOrder) {
    TempDir dir;
    const BlockList stored{SampleBlock(subblock::kDb, 7, 30, 4, 0), SampleBlock(subblock::kOb, 1, 20, 0, 2),
                           SampleBlock(subblock::kFc, 3, 0, 0, 0)};
    WriteOlderProject(dir.path(), stored);
    BlockList back;
    ProjectFolders folders;
    ProjectInfo info;
    ASSERT_TRUE(ReadS7Project(dir / "OLD" / "OLD.S7P", back, folders, &info));
    EXPECT_EQ(info.format, 2);
    ASSERT_EQ(back.size(), 3U);
    const std::array<std::size_t, 3> order{1, 0, 2};  // OB (8), DB (10), FC (12)
    for (std::size_t i = 0; i < order.size(); ++i) {
        const BlockImage& original = stored[order[i]];
        const auto h = *ReadBlockHeader(back[i]);
        EXPECT_EQ(h.type, ReadBlockHeader(original)->type);
        EXPECT_EQ(h.loadLength, original.size() - 72 + 76);
        EXPECT_EQ(back[i].size(), h.loadLength);
        // header values and parts as in the original, then zeros
        const std::size_t body = original.size() - 36;
        EXPECT_EQ(Bytes(back[i].begin() + 16, back[i].begin() + 36),
                  Bytes(original.begin() + 16, original.begin() + 36));
        EXPECT_EQ(Bytes(back[i].begin() + 36, back[i].begin() + static_cast<std::ptrdiff_t>(body)),
                  Bytes(original.begin() + 36, original.begin() + static_cast<std::ptrdiff_t>(body)));
    }
}

}  // namespace
}  // namespace vaultra::s7project
