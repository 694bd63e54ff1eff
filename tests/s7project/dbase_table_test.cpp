#include "s7project/dbase_table.h"

#include <gtest/gtest.h>

#include "s7project/dbase_index.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

TableDate FixedDate() {
    return {126, 12, 8};
}

Bytes Text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

Bytes Descriptor(std::string_view name, char type, std::uint8_t length, bool idFlag) {
    Bytes d(32, 0);
    std::copy(name.begin(), name.end(), d.begin());
    d[11] = static_cast<std::uint8_t>(type);
    d[16] = length;
    d[31] = idFlag ? 1 : 0;
    return d;
}

void DefineGoldFields(CDBASEDatei& t) {
    t.SetFieldCount(3);
    ASSERT_TRUE(t.DefineField(0, "ID", 'N', 4));
    ASSERT_TRUE(t.DefineField(1, "TXT", 'C', 3));
    ASSERT_TRUE(t.DefineField(2, "MEMO", 'M', 10));
}

TEST(DbaseTable, WritesHeaderDescriptorsRecordAndMemoAsLaidOut) {
    TempDir dir;
    {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(dir / "GOLD.DBF", kCreateMemoFile));
        ASSERT_TRUE(t.AppendRecord());
        EXPECT_TRUE(t.WriteField("   7", 0));
        EXPECT_TRUE(t.WriteField("ab", 1));
        const Bytes memo = Text("0123456789");
        const std::uint32_t block = t.WriteMemo(memo);
        EXPECT_EQ(block, 1U);
        EXPECT_TRUE(t.WriteField("         1", 2));
        ASSERT_TRUE(t.CloseTable());
    }
    const Bytes header{0x8B, 126, 12, 8, 1, 0, 0, 0, 129, 0, 18, 0, 0, 0, 0, 0,
                       0,    0,   0,  0, 0, 0, 0, 0, 0,   0, 0,  0, 0, 0, 0, 0};
    const Bytes record = Cat({{0x20}, Text("   7"), {'a', 'b', 0}, Text("         1")});
    const Bytes expected = Cat({header,
                                Descriptor("ID", 'N', 4, true),
                                Descriptor("TXT", 'C', 3, false),
                                Descriptor("MEMO", 'M', 10, false),
                                {0x0D},
                                record,
                                {0x1A}});
    EXPECT_EQ(ReadBytes(dir / "GOLD.DBF"), expected);

    Bytes dbt(1024, 0);
    dbt[0] = 2;  // next free block
    const Bytes name = Text("GOLD");
    std::copy(name.begin(), name.end(), dbt.begin() + 8);
    dbt[18] = 0x02;
    dbt[19] = 0x01;
    dbt[21] = 0x02;  // 512
    const Bytes memoHead{0xFF, 0xFF, 0x08, 0x00, 18, 0, 0, 0};
    std::copy(memoHead.begin(), memoHead.end(), dbt.begin() + 512);
    const Bytes memo = Text("0123456789");
    std::copy(memo.begin(), memo.end(), dbt.begin() + 520);
    EXPECT_EQ(ReadBytes(dir / "GOLD.DBT"), dbt);
}

TEST(DbaseTable, MemoFillingWholeBlocksLeavesOneEmptyBlock) {
    TempDir dir;
    CDBASEDatei t(FixedDate);
    DefineGoldFields(t);
    ASSERT_TRUE(t.CreateTable(dir / "M.DBF", kCreateMemoFile));
    const Bytes exact(504, 0x55);  // 504 + 8 = 512
    EXPECT_EQ(t.WriteMemo(exact), 1U);
    EXPECT_EQ(t.WriteMemo(Bytes{0x77}), 3U);
    EXPECT_EQ(t.WriteZeroMemo(600), 4U);
    EXPECT_EQ(t.WriteMemo(Bytes{0x01}), 6U);
    EXPECT_EQ(t.WriteMemo({}), 0U);
    EXPECT_EQ(t.WriteZeroMemo(0), 0U);
    EXPECT_EQ(t.ReadMemo(1), exact);
    EXPECT_EQ(t.ReadMemo(3), Bytes{0x77});
    EXPECT_EQ(t.ReadMemo(4), Bytes(600, 0));
    EXPECT_EQ(t.MemoLength(4), 600U);
    EXPECT_FALSE(t.ReadMemo(2));  // the empty block carries no memo mark
    EXPECT_FALSE(t.ReadMemo(0));
    ASSERT_TRUE(t.CloseTable());
    const Bytes dbt = ReadBytes(dir / "M.DBT");
    ASSERT_EQ(dbt.size(), 7U * 512);
    EXPECT_EQ(dbt[0], 7);
    EXPECT_TRUE(std::all_of(dbt.begin() + 1024, dbt.begin() + 1536, [](std::uint8_t b) { return b == 0; }));
}

TEST(DbaseTable, MemosThatLeaveTheFileAreNotRead) {
    TempDir dir;
    {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(dir / "M.DBF", kCreateMemoFile));
        t.WriteMemo(Bytes(1000, 0x42));
        ASSERT_TRUE(t.CloseTable());
    }
    Bytes dbt = ReadBytes(dir / "M.DBT");
    dbt.resize(900);  // memo announced as 1008 bytes from offset 512
    WriteBytes(dir / "M.DBT", dbt);
    CDBASEDatei t(FixedDate);
    ASSERT_TRUE(t.OpenTable(dir / "M.DBF"));
    EXPECT_FALSE(t.ReadMemo(1));
    EXPECT_EQ(t.MemoLength(1), 0U);
    EXPECT_FALSE(t.ReadMemo(5));
    EXPECT_FALSE(t.ReadMemo(0xFFFFFFFFU));
}

TEST(DbaseTable, StaleFreeBlockInMemoHeaderNeverOverwritesMemos) {
    TempDir dir;
    {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(dir / "S.DBF", kCreateMemoFile));
        ASSERT_EQ(t.WriteMemo(Bytes(600, 0x33)), 1U);
        ASSERT_TRUE(t.CloseTable());
    }
    Bytes dbt = ReadBytes(dir / "S.DBT");
    dbt[0] = 1;  // claims block 1 is free
    WriteBytes(dir / "S.DBT", dbt);
    CDBASEDatei t(FixedDate);
    ASSERT_TRUE(t.OpenTable(dir / "S.DBF"));
    EXPECT_EQ(t.WriteMemo(Bytes{0x44}), 3U);
    EXPECT_EQ(t.ReadMemo(1), Bytes(600, 0x33));
}

TEST(DbaseTable, EmptyTableGetsEndMarkerAndStaysWithoutRecords) {
    TempDir dir;
    {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(dir / "E.DBF", 0));
        ASSERT_TRUE(t.CloseTable());
    }
    const Bytes file = ReadBytes(dir / "E.DBF");
    ASSERT_EQ(file.size(), 129U + 1);
    EXPECT_EQ(file[0], 0x03);
    EXPECT_EQ(file.back(), 0x1A);
    EXPECT_FALSE(std::filesystem::exists(dir / "E.DBT"));
    CDBASEDatei t(FixedDate);
    ASSERT_TRUE(t.OpenTable(dir / "E.DBF"));
    EXPECT_EQ(t.RecordCount(), 0U);
    EXPECT_FALSE(t.ReadFieldFirst(0));
    EXPECT_TRUE(t.LiveRecords().empty());
    ASSERT_TRUE(t.AppendRecord());  // the 0x1A marker is not taken for a record
    EXPECT_EQ(t.CurrentRecord(), 0U);
}

class DbaseRecords : public ::testing::Test {
protected:
    void SetUp() override {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(path(), 0));
        for (const char* id : {"   1", "   2", "   3", "   4"}) {
            ASSERT_TRUE(t.AppendRecord());
            ASSERT_TRUE(t.WriteField(id, 0));
            ASSERT_TRUE(t.WriteField("xyz", 1));
        }
        ASSERT_TRUE(t.CloseTable());
        Bytes file = ReadBytes(path());
        file[129 + 0 * 18] = '*';  // records 1 and 3 deleted
        file[129 + 2 * 18] = '*';
        WriteBytes(path(), file);
    }
    std::filesystem::path path() const { return dir_ / "R.DBF"; }
    TempDir dir_;
};

TEST_F(DbaseRecords, ReadsAndSearchesSkipDeletedRecords) {
    CDBASEDatei t(FixedDate);
    ASSERT_TRUE(t.OpenTable(path()));
    EXPECT_EQ(t.RecordCount(), 4U);
    EXPECT_EQ(t.ReadFieldFirst(0), "   2");
    EXPECT_EQ(t.CurrentRecord(), 1U);
    EXPECT_EQ(t.ReadFieldNext(0, false), "   2");
    EXPECT_EQ(t.ReadFieldNext(0, true), "   4");
    EXPECT_FALSE(t.ReadFieldNext(0, true));
    EXPECT_FALSE(t.FindRecord("   1", 0));
    EXPECT_FALSE(t.FindRecord("   3", 0));
    EXPECT_TRUE(t.FindRecord("   4trailing", 0));  // compares the field's length only
    EXPECT_EQ(t.CurrentRecord(), 3U);
    EXPECT_FALSE(t.FindRecord("  4", 0));  // shorter than the field never matches
    EXPECT_EQ(t.LiveRecords(), (std::vector<std::uint32_t>{1, 3}));
    EXPECT_FALSE(t.SelectRecord(2));
}

TEST_F(DbaseRecords, FieldLookupAndBounds) {
    CDBASEDatei t(FixedDate);
    ASSERT_TRUE(t.OpenTable(path()));
    EXPECT_EQ(t.FieldIndexByName("TXT"), 1);
    EXPECT_EQ(t.FieldIndexByName("MEMOFIELD"), 2);  // a field name that is a prefix of the text
    EXPECT_EQ(t.FieldIndexByName("NOPE"), kNoField);
    EXPECT_EQ(t.FieldLength(1), 3U);
    EXPECT_EQ(t.FieldLength(3), 0U);
    EXPECT_EQ(t.FieldName(3), "");
    EXPECT_FALSE(t.ReadFieldFirst(3));
    ASSERT_TRUE(t.SelectRecord(1));
    EXPECT_FALSE(t.WriteField("x", 3));
    EXPECT_FALSE(t.WriteField("toolong", 1));  // truncation is reported
    EXPECT_EQ(t.ReadFieldNext(1, false), "too");
}

TEST_F(DbaseRecords, AppendAfterReopenContinuesBehindLastRecord) {
    {
        CDBASEDatei t(FixedDate);
        ASSERT_TRUE(t.OpenTable(path()));
        ASSERT_TRUE(t.AppendRecord());
        EXPECT_EQ(t.CurrentRecord(), 4U);
        ASSERT_TRUE(t.WriteField("   5", 0));
        ASSERT_TRUE(t.CloseTable());
    }
    const Bytes file = ReadBytes(path());
    ASSERT_EQ(file.size(), 129U + 5 * 18 + 1);
    EXPECT_EQ(file[4], 5);
    EXPECT_EQ(file.back(), 0x1A);
    EXPECT_EQ(file[129 + 4 * 18], 0x20);
}

TEST_F(DbaseRecords, UnchangedTableIsNotRewritten) {
    const Bytes before = ReadBytes(path());
    {
        CDBASEDatei t([] { return TableDate{99, 1, 1}; });
        ASSERT_TRUE(t.OpenTable(path()));
        t.FindRecord("   2", 0);
        ASSERT_TRUE(t.CloseTable());
    }
    EXPECT_EQ(ReadBytes(path()), before);
}

TEST(DbaseTableOpen, RefusesHeadersThatDoNotFitTheFile) {
    TempDir dir;
    {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(dir / "H.DBF", 0));
        ASSERT_TRUE(t.AppendRecord());
        ASSERT_TRUE(t.CloseTable());
    }
    const Bytes good = ReadBytes(dir / "H.DBF");
    CDBASEDatei t(FixedDate);
    Bytes bad = good;
    bad[8] = 0xFF;  // header length past the end of the file
    bad[9] = 0x7F;
    WriteBytes(dir / "H.DBF", bad);
    EXPECT_FALSE(t.OpenTable(dir / "H.DBF"));
    bad = good;
    bad[10] = 99;  // record length that disagrees with the fields
    WriteBytes(dir / "H.DBF", bad);
    EXPECT_FALSE(t.OpenTable(dir / "H.DBF"));
    WriteBytes(dir / "H.DBF", Bytes(good.begin(), good.begin() + 20));
    EXPECT_FALSE(t.OpenTable(dir / "H.DBF"));
    EXPECT_FALSE(t.OpenTable(dir / "MISSING.DBF"));
    EXPECT_FALSE(t.AppendRecord());
    EXPECT_EQ(t.WriteMemo(Bytes{1}), 0U);
}

TEST(DbaseTableOpen, TruncatedRecordAndEmptyMemoFile) {
    TempDir dir;
    {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(dir / "T.DBF", kCreateMemoFile));
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(t.AppendRecord());
            ASSERT_TRUE(t.WriteField("   9", 0));
        }
        ASSERT_TRUE(t.CloseTable());
    }
    Bytes file = ReadBytes(dir / "T.DBF");
    file.resize(129 + 18 + 10);  // second record cut in half
    WriteBytes(dir / "T.DBF", file);
    WriteBytes(dir / "T.DBT", {});
    CDBASEDatei t(FixedDate);
    ASSERT_TRUE(t.OpenTable(dir / "T.DBF"));
    EXPECT_EQ(t.LiveRecords().size(), 1U);
    ASSERT_TRUE(t.HasMemoFile());
    EXPECT_EQ(t.WriteMemo(Text("abc")), 1U);  // continues with a fresh memo header
    ASSERT_TRUE(t.CloseTable());
    const Bytes dbt = ReadBytes(dir / "T.DBT");
    ASSERT_GE(dbt.size(), 1024U);
    EXPECT_EQ(dbt[0], 2);
    EXPECT_EQ(Bytes(dbt.begin() + 8, dbt.begin() + 9), Text("T"));
}

TEST(DbaseTableOpen, FindsCompanionFilesWhateverTheirCase) {
    TempDir dir;
    {
        CDBASEDatei t(FixedDate);
        DefineGoldFields(t);
        ASSERT_TRUE(t.CreateTable(dir / "CASE.DBF", kCreateMemoFile));
        ASSERT_TRUE(t.AppendRecord());
        ASSERT_TRUE(t.WriteField("         1", 2));
        t.WriteMemo(Text("memo"));
        ASSERT_TRUE(t.CloseTable());
    }
    std::filesystem::rename(dir / "CASE.DBF", dir / "case.dbf");
    std::filesystem::rename(dir / "CASE.DBT", dir / "case.dbt");
    CDBASEDatei t(FixedDate);
    ASSERT_TRUE(t.OpenTable(dir / "CASE.DBF"));
    EXPECT_EQ(t.ReadMemo(1), Text("memo"));
}

}  // namespace
}  // namespace vaultra::s7project
