// Projects that cannot be written whole, and damaged projects read back.
#include <gtest/gtest.h>

#include <random>

#include <vaultra/byte_order.h>
#include "s7project/dbase_table.h"
#include "s7project/s7project.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::ReadBytes;
using testing::SampleBlock;
using testing::TempDir;
using testing::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

BlockList ThreeBlocksAndAnSdb() {
    return {SampleBlock(subblock::kSdb, 0, 30, 0, 0), SampleBlock(subblock::kOb, 1, 100, 10, 5),
            SampleBlock(subblock::kFc, 2, 700, 0, 0), SampleBlock(subblock::kDb, 3, 40, 0, 0)};
}

std::vector<std::uint16_t> NumbersOf(const BlockList& blocks) {
    std::vector<std::uint16_t> numbers;
    for (const auto& b : blocks) {
        numbers.push_back(ReadBlockHeader(b)->number);
    }
    return numbers;
}

class WriteFailure : public ::testing::Test {
protected:
    std::filesystem::path root() const { return dir_ / "P"; }
    std::filesystem::path blocks() const { return root() / "OMBSTX" / "OFFLINE" / "00000001"; }
    bool Write() { return WriteS7Project(dir_ / "P.S7P", ThreeBlocksAndAnSdb(), folders_); }
    TempDir dir_;
    ProjectFolders folders_;
};

TEST_F(WriteFailure, FolderThatCannotBeMadeFailsTheWriteAndChangesNothing) {
    std::filesystem::create_directories(root());
    WriteBytes(root() / "HRS", Bytes{1});  // a file where the HRS folder belongs
    EXPECT_FALSE(Write());
    EXPECT_EQ(ReadBytes(root() / "HRS"), Bytes{1});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root()), {}), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);  // no leftovers
}

TEST_F(WriteFailure, LostMemoFileIsMadeAgainAndTheNextBackupIsWhole) {
    ASSERT_TRUE(Write());
    std::filesystem::remove(blocks() / "SUBBLK.DBT");
    ASSERT_TRUE(Write());
    BlockList back;
    ProjectInfo info;
    ASSERT_TRUE(ReadS7Project(root() / "P.S7P", back, folders_, &info));
    EXPECT_EQ(NumbersOf(back), (std::vector<std::uint16_t>{0, 1, 2, 3}));
    EXPECT_EQ(info.unreadableBlocks, 0u);
}

TEST_F(WriteFailure, SystemDataFileThatCannotBeCreatedIsReported) {
    std::filesystem::create_directories(root() / "SDB" / "00000001" / "00000001.PG");
    EXPECT_FALSE(Write());
}

TEST_F(WriteFailure, ImageShorterThanItsHeaderFailsTheWriteAndKeepsTheStoredProject) {
    ASSERT_TRUE(Write());
    const Bytes before = ReadBytes(blocks() / "SUBBLK.DBT");
    BlockList list = ThreeBlocksAndAnSdb();
    list[2].resize(list[2].size() - 100);  // FC 2 cut inside its code
    list.push_back(Bytes{0x70, 0x70, 1});  // marker but no header
    list.push_back(Bytes{0x12, 0x34});     // no marker: ignored
    list.push_back(SampleBlock(subblock::kFc, 9, 50, 0, 0));
    EXPECT_FALSE(WriteS7Project(dir_ / "P.S7P", list, folders_));
    BlockList back;
    ASSERT_TRUE(ReadS7Project(root() / "P.S7P", back, folders_));
    EXPECT_EQ(NumbersOf(back), (std::vector<std::uint16_t>{0, 1, 2, 3}));
    EXPECT_EQ(ReadBytes(blocks() / "SUBBLK.DBT"), before);
}

class DamagedProject : public ::testing::Test {
protected:
    void SetUp() override {
        ProjectFolders folders;
        ASSERT_TRUE(WriteS7Project(dir_ / "D.S7P", ThreeBlocksAndAnSdb(), folders));
    }
    std::filesystem::path file(const std::string& name) const {
        return dir_ / "D" / "OMBSTX" / "OFFLINE" / "00000001" / name;
    }
    std::filesystem::path pg() const { return dir_ / "D" / "SDB" / "00000001" / "00000001.PG"; }
    void SetSubblockField(std::uint32_t record, std::size_t field, std::string_view value) {
        CDBASEDatei t;
        ASSERT_TRUE(t.OpenTable(file("SUBBLK.DBF")));
        ASSERT_TRUE(t.SelectRecord(record));
        ASSERT_TRUE(t.WriteField(value, field));
        ASSERT_TRUE(t.CloseTable());
    }
    std::vector<std::uint16_t> Read(bool expectedResult = true) {
        BlockList back;
        ProjectFolders folders;
        ProjectInfo info;
        EXPECT_EQ(ReadS7Project(dir_ / "D" / "D.S7P", back, folders, &info), expectedResult);
        unreadable_ = info.unreadableBlocks;
        for (const auto& b : back) {
            const auto h = ReadBlockHeader(b);
            EXPECT_TRUE(h && h->loadLength == b.size());
        }
        return NumbersOf(back);
    }
    TempDir dir_;
    std::size_t unreadable_ = 0;
};

TEST_F(DamagedProject, TruncatedTableYieldsTheWholeRecords) {
    Bytes dbf = ReadBytes(file("SUBBLK.DBF"));
    const std::size_t header = bytes::LoadLe16(dbf, 8);
    const std::size_t record = bytes::LoadLe16(dbf, 10);
    dbf.resize(header + record + record / 2);
    WriteBytes(file("SUBBLK.DBF"), dbf);
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{0, 1}));
}

TEST_F(DamagedProject, MemoPointerPastTheEndDropsOnlyThatBlock) {
    SetSubblockField(1, 22, "     99999");  // MC5CODE of FC 2
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{0, 1, 3}));
    EXPECT_EQ(unreadable_, 1U);
}

TEST_F(DamagedProject, LengthsThatDisagreeWithTheMemosDropTheBlock) {
    SetSubblockField(0, 7, "        101");  // MC5LEN of OB 1 one more than its memo
    SetSubblockField(1, 6, "         40");  // BLKTOTLEN of FC 2 smaller than its parts
    SetSubblockField(2, 6, " 4000000000");  // BLKTOTLEN of DB 3 far too large
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{0}));
    EXPECT_EQ(unreadable_, 3U);
}

TEST_F(DamagedProject, MemoFileCutInsideAMemo) {
    Bytes dbt = ReadBytes(file("SUBBLK.DBT"));
    dbt.resize(dbt.size() - 1000);  // inside the FC's 700-byte code memo or after it
    WriteBytes(file("SUBBLK.DBT"), dbt);
    const auto numbers = Read();
    EXPECT_EQ(numbers.front(), 0);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 2), 0);
}

TEST_F(DamagedProject, BadHeaderLengthLosesTheTableOnly) {
    Bytes dbf = ReadBytes(file("SUBBLK.DBF"));
    dbf[8] = 0xFF;
    dbf[9] = 0xFF;
    WriteBytes(file("SUBBLK.DBF"), dbf);
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{0}));
}

TEST_F(DamagedProject, DamagedSystemDataFiles) {
    Bytes file = ReadBytes(pg());
    WriteBytes(pg(), Bytes(file.begin(), file.end() - 1));
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{1, 2, 3}));
    bytes::StoreLe32(file, 8, 0xFFFFFFFF);
    WriteBytes(pg(), file);
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{1, 2, 3}));
    std::filesystem::remove(pg());
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{1, 2, 3}));
    EXPECT_EQ(unreadable_, 1U);
}

TEST_F(DamagedProject, MissingContainerTableFailsTheReadAndSaysWhy) {
    std::filesystem::remove(dir_ / "D" / "OMBSTX" / "OFFLINE" / "BSTCNTOF.DBF");
    EXPECT_TRUE(Read(false).empty());
    BlockList back;
    ProjectFolders folders;
    ProjectInfo info;
    EXPECT_FALSE(ReadS7Project(dir_ / "D" / "D.S7P", back, folders, &info));
    EXPECT_NE(info.failure.find("BSTCNTOF.DBF is missing"), std::string::npos);
}

// A record may not ask for more than it stores: 16 MiB announced over empty parts is damage, not a block
// the reader allocates (hundreds of such records asked for gigabytes).
TEST_F(DamagedProject, LengthFarBeyondWhatTheRecordStoresIsDamage) {
    for (std::uint32_t record = 0; record < 3; ++record) {
        SetSubblockField(record, 6, "   16777216");  // BLKTOTLEN
        for (const std::size_t lengthField : {7, 8, 9}) {
            SetSubblockField(record, lengthField, "          0");
        }
    }
    SetSubblockField(0, 6, "        187");  // OB 1 as it was: its trailer's room beyond the parts
    SetSubblockField(0, 7, "        100");
    SetSubblockField(0, 8, "         10");
    SetSubblockField(0, 9, "          5");
    SetSubblockField(1, 6, "        777");  // FC 2 asks for one byte more than a trailer and 4
    SetSubblockField(1, 7, "        700");
    EXPECT_EQ(Read(), (std::vector<std::uint16_t>{0, 1}));
    EXPECT_EQ(unreadable_, 2U);
}

// Random damage anywhere in the files the reader takes blocks from: it must never crash or read outside
// a file, and every block it returns is consistent in itself.
TEST_F(DamagedProject, RandomDamageNeverBreaksTheReader) {
    const std::vector<std::filesystem::path> files{file("SUBBLK.DBF"),
                                                   file("SUBBLK.DBT"),
                                                   pg(),
                                                   dir_ / "D" / "SDB" / "00000001" / "LIST" / "00000001.DBF",
                                                   dir_ / "D" / "SDB" / "S0112001.DBF",
                                                   dir_ / "D" / "OMBSTX" / "OFFLINE" / "BSTCNTOF.DBF"};
    std::vector<Bytes> originals;
    for (const auto& f : files) {
        originals.push_back(ReadBytes(f));
    }
    std::mt19937 random(12345);
    for (int round = 0; round < 150; ++round) {
        const std::size_t which = random() % files.size();
        Bytes damaged = originals[which];
        if (random() % 4 == 0) {
            damaged.resize(random() % (damaged.size() + 1));
        }
        for (int flips = 1 + static_cast<int>(random() % 8); flips > 0 && !damaged.empty(); --flips) {
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        }
        WriteBytes(files[which], damaged);
        BlockList back;
        ProjectFolders folders;
        ReadS7Project(dir_ / "D" / "D.S7P", back, folders);
        for (const auto& b : back) {
            const auto h = ReadBlockHeader(b);
            ASSERT_TRUE(h);
            ASSERT_EQ(h->loadLength, b.size());
        }
        WriteBytes(files[which], originals[which]);
    }
}

}  // namespace
}  // namespace vaultra::s7project
