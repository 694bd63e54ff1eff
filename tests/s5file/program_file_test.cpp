// Writing, rewriting and deleting blocks: the file stays contiguous, every stored sector number follows
// the sectors it points at, directories grow and shrink, and groups come and go.
#include <gtest/gtest.h>

#include "s5file/program_file.h"
#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

class ProgramFileTest : public ::testing::Test {
protected:
    void SetUp() override { Reopen(); }

    void Reopen() {
        file_.reset();
        OpenResult opened = ProgramFile::Open(path_, ProgramFile::Mode::kUpdateOrCreate);
        ASSERT_EQ(opened.error, Error::kNone);
        file_ = std::move(opened.file);
    }

    void Write(uint8_t type, uint8_t number, uint16_t length, unsigned seed, uint8_t documentation = 0) {
        const BlockKey key = Key(type, number, length, documentation);
        ASSERT_EQ(file_->WriteBlock(key, Pattern(length, seed)), Error::kNone);
        stored_[{type, number, documentation}] = {length, seed};
    }

    void Delete(uint8_t type, uint8_t number, uint8_t documentation = 0) {
        ASSERT_EQ(file_->DeleteBlock(Key(type, number, 0, documentation)), Error::kNone);
        stored_.erase({type, number, documentation});
    }

    // Every block written is there with its bytes behind the header, nothing else is, and the file on
    // disk is contiguous, also after opening it again.
    void ExpectIntact() {
        EXPECT_EQ(ContiguityProblem(ReadAll(path_)), "");
        EXPECT_EQ(file_->BlockList().size(), stored_.size());
        for (const auto& [id, block] : stored_) {
            BlockKey key = Key(std::get<0>(id), std::get<1>(id), 0, std::get<2>(id));
            std::vector<uint8_t> sectors;
            ASSERT_EQ(file_->ReadBlock(key, sectors), Error::kNone)
                << int{key.type} << " " << int{key.number};
            ASSERT_EQ(+key.length, block.first);
            const std::vector<uint8_t> expected = Pattern(block.first, block.second);
            const size_t header = std::min<size_t>(HeaderLength(key), block.first);
            EXPECT_TRUE(std::equal(expected.begin() + header, expected.end(), sectors.begin() + header))
                << int{key.type} << " " << int{key.number};
        }
    }

    uint16_t FileSectors() const { return file_->root().fileSectors; }
    const Group& GroupOf(uint8_t code) const {
        for (const Group& group : file_->root().groups) {
            if (group.code == code) {
                return group;
            }
        }
        throw std::runtime_error("no group");
    }

    ScratchDir dir_;
    std::filesystem::path path_ = dir_ / "PROG.S5D";
    std::unique_ptr<ProgramFile> file_;
    std::map<std::tuple<uint8_t, uint8_t, uint8_t>, std::pair<uint16_t, unsigned>> stored_;
};

TEST_F(ProgramFileTest, EmptyBlockStillOccupiesOneSector) {
    Write(2, 0, 0, 1);
    EXPECT_EQ(FileSectors(), 2 + 2 + 1);
    std::vector<uint8_t> sectors;
    BlockKey key = Key(2, 0);
    ASSERT_EQ(file_->ReadBlock(key, sectors), Error::kNone);
    EXPECT_EQ(sectors.size(), 128u);
    EXPECT_EQ(+key.length, 0);
    ExpectIntact();
}

TEST_F(ProgramFileTest, RewriteOfTheSameSectorCountReplacesInPlace) {
    Write(1, 5, 200, 1);
    Write(1, 6, 300, 2);
    const uint16_t sectors = FileSectors();
    Write(1, 5, 256, 3);  // still two sectors
    EXPECT_EQ(FileSectors(), sectors);
    EXPECT_EQ(file_->BlockList().size(), 2u);
    ExpectIntact();
}

TEST_F(ProgramFileTest, RewriteGrowsAndShrinksTheGroupAndMovesWhatFollows) {
    Write(1, 5, 100, 1);
    Write(1, 6, 100, 2);
    Write(8, 1, 500, 3);
    const uint16_t sectors = FileSectors();
    Write(1, 5, 1000, 4);  // 1 -> 8 sectors, in front of DB 6 and of the FB group
    EXPECT_EQ(FileSectors(), sectors + 7);
    ExpectIntact();
    Write(1, 5, 10, 5);
    EXPECT_EQ(FileSectors(), sectors);
    ExpectIntact();
    Reopen();
    ExpectIntact();
}

TEST_F(ProgramFileTest, ReplacedBlockTakesTheNewHeaderBytes) {
    BlockKey key = Key(4, 9, 40);
    key.headerByte4 = 0xAB;
    ASSERT_EQ(file_->WriteBlock(key, Pattern(40, 1)), Error::kNone);
    key.headerByte4 = 0xCD;
    key.headerMore[2] = 0xEF;
    ASSERT_EQ(file_->WriteBlock(key, Pattern(40, 1)), Error::kNone);
    const auto list = file_->BlockList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].headerByte4, 0xCD);
    EXPECT_EQ(list[0].headerMore[2], 0xEF);
}

TEST_F(ProgramFileTest, DeletingTheLastBlockOfAGroupRemovesGroupAndArea) {
    Write(1, 1, 300, 1);
    Write(4, 1, 300, 2);
    Write(8, 1, 300, 3);
    const uint16_t sectors = FileSectors();
    Delete(4, 1);
    EXPECT_EQ(file_->root().groups.size(), 2u);
    EXPECT_EQ(FileSectors(), sectors - 2 - 3);
    ExpectIntact();
    Delete(1, 1);
    Delete(8, 1);
    EXPECT_TRUE(file_->root().groups.empty());
    EXPECT_EQ(ReadAll(path_).size(), 256u);
}

TEST_F(ProgramFileTest, MissingBlocksAreReportedNotFound) {
    Write(1, 1, 10, 1);
    BlockKey key = Key(1, 2);
    std::vector<uint8_t> sectors;
    EXPECT_EQ(file_->ReadBlock(key, sectors), Error::kBlockNotFound);
    EXPECT_EQ(file_->DeleteBlock(Key(1, 2)), Error::kBlockNotFound);
    EXPECT_EQ(file_->DeleteBlock(Key(2, 1)), Error::kBlockNotFound);
    ExpectIntact();
}

TEST_F(ProgramFileTest, ListIsOrderedByGroupCodeThenNumberOrName) {
    Write(16, 1, 10, 1);
    Write(1, 200, 10, 2);
    Write(1, 3, 10, 3);
    Write(8, 2, 10, 4, 1);  // FBDO.002
    Write(1, 7, 10, 5, 1);  // DBDO.007
    Write(5, 9, 10, 6);
    const auto list = file_->BlockList();
    std::vector<std::tuple<int, int, int>> seen;
    for (const BlockKey& key : list) {
        seen.emplace_back(key.type, key.number, key.documentation);
    }
    const std::vector<std::tuple<int, int, int>> expected{{1, 3, 0},  {1, 200, 0}, {5, 9, 0},
                                                          {16, 1, 0}, {1, 7, 1},   {8, 2, 1}};
    EXPECT_EQ(seen, expected);
}

TEST_F(ProgramFileTest, DocumentationBlocksLiveApartFromTheirBlock) {
    Write(8, 5, 100, 1);
    Write(8, 5, 700, 2, 1);
    EXPECT_EQ(GroupOf(32).entries.size(), 1u);
    ExpectIntact();
    Delete(8, 5);
    ExpectIntact();
    EXPECT_EQ(file_->BlockList().size(), 1u);
}

TEST_F(ProgramFileTest, RefusesKeysThatCannotBeFiled) {
    EXPECT_EQ(file_->WriteBlock(Key(32, 1, 4), Pattern(4, 1)), Error::kWriteFailed);
    EXPECT_EQ(file_->WriteBlock(Key(6, 1, 4, 1), Pattern(4, 1)), Error::kWriteFailed) << "DV has no DO. name";
    EXPECT_EQ(file_->WriteBlock(Key(1, 1, 40), Pattern(4, 1)), Error::kWriteFailed)
        << "data shorter than length";
    EXPECT_EQ(ReadAll(path_).size(), 256u);
}

// The group tree below is
//            50
//        30      70
//      20  40  60  80
//                65
class DeletionShape : public ProgramFileTest {
protected:
    void SetUp() override {
        ProgramFileTest::SetUp();
        unsigned seed = 1;
        for (uint8_t number : {50, 30, 70, 20, 40, 60, 80, 65}) {
            Write(1, number, static_cast<uint16_t>(number * 5), seed++);
        }
        Write(8, 1, 300, 99);  // a group behind, which must move along
    }

    void ExpectDeletes(uint8_t number) {
        const uint16_t before = FileSectors();
        const uint16_t sectors = static_cast<uint16_t>((number * 5 - 1) / 128 + 1);
        Delete(1, number);
        EXPECT_EQ(FileSectors(), before - sectors);
        EXPECT_TRUE(TreeIsValid(GroupOf(1).entries));
        ExpectIntact();
        Reopen();
        ExpectIntact();
    }

    uint8_t NumberAt(uint16_t index) const { return GroupOf(1).entries.at(index).number; }
};

TEST_F(DeletionShape, Leaf) {
    ExpectDeletes(20);
}

TEST_F(DeletionShape, NodeWithOnlyARightSubtree) {
    ExpectDeletes(60);
    const auto& entries = GroupOf(1).entries;
    const auto at65 = TreeFind(entries, 65);
    ASSERT_TRUE(at65);
    EXPECT_EQ(NumberAt(entries[*at65].links.parent), 70) << "65 takes the place of 60";
}

TEST_F(DeletionShape, NodeWithOnlyALeftSubtree) {
    Delete(1, 80);
    Write(1, 75, 75 * 5, 7);  // 75 takes 80's place as 70's right child
    Write(1, 72, 40, 8);      // and gets a left child only
    ExpectDeletes(75);
    const auto& entries = GroupOf(1).entries;
    EXPECT_EQ(NumberAt(entries[*TreeFind(entries, 72)].links.parent), 70);
}

TEST_F(DeletionShape, NodeWithTwoSubtrees) {
    ExpectDeletes(70);
    const auto& entries = GroupOf(1).entries;
    // The right subtree (80) takes the place; the left subtree (60, 65) hangs under 80's leftmost node.
    EXPECT_EQ(NumberAt(entries[*TreeFind(entries, 80)].links.parent), 50);
    EXPECT_EQ(NumberAt(entries[*TreeFind(entries, 60)].links.parent), 80);
}

TEST_F(DeletionShape, Root) {
    ExpectDeletes(50);
    const auto& entries = GroupOf(1).entries;
    EXPECT_EQ(NumberAt(*TreeRoot(entries)), 70);
    EXPECT_EQ(NumberAt(entries[*TreeFind(entries, 30)].links.parent), 60);
}

TEST_F(DeletionShape, EveryNodeInTurn) {
    for (uint8_t number : {30, 65, 50, 80, 20, 70, 40}) {
        Delete(1, number);
        ASSERT_TRUE(TreeIsValid(GroupOf(1).entries)) << int{number};
        ExpectIntact();
    }
}

TEST_F(ProgramFileTest, ManyGroupsGrowAndShrinkTheRoot) {
    const uint8_t codes[] = {1, 2, 4, 5, 6, 8, 10, 12, 13, 16, 17, 33, 49, 65, 81, 90, 91, 92};
    unsigned seed = 1;
    for (uint8_t code : codes) {
        Write(code, 1, 150, seed++);
        const size_t groups = file_->root().groups.size();
        const uint16_t expected = groups <= 10 ? 2 : groups <= 16 ? 3 : 4;
        EXPECT_EQ(file_->root().rootSectors, expected) << groups;
    }
    Write(1, 5, 1, 1, 1);  // the documentation group makes 19 groups
    EXPECT_EQ(file_->root().rootSectors, 4);
    ExpectIntact();
    Reopen();
    ExpectIntact();
    for (uint8_t code : codes) {
        Delete(code, 1);
        ExpectIntact();
    }
    EXPECT_EQ(file_->root().rootSectors, 2);
}

TEST_F(ProgramFileTest, ManyBlocksGrowAndShrinkAGroupDirectory) {
    Write(8, 1, 200, 500);  // a group behind the one that grows
    for (uint8_t number = 0; number < 40; ++number) {
        Write(1, number, static_cast<uint16_t>(number * 11), number);
        const size_t entries = GroupOf(1).entries.size();
        EXPECT_EQ(GroupOf(1).dirSectors, std::max<size_t>(2, (66 + 15 * entries + 127) / 128)) << entries;
    }
    ExpectIntact();
    for (uint8_t number = 0; number < 38; ++number) {
        Delete(1, number);
    }
    EXPECT_EQ(GroupOf(1).dirSectors, 2);
    ExpectIntact();
}

TEST_F(ProgramFileTest, DocumentationDirectoryGrowsByItsLargerEntries) {
    for (uint8_t number = 0; number < 11; ++number) {
        Write(1, number, 20, number, 1);
    }
    EXPECT_EQ(GroupOf(32).dirSectors, 3) << "66 + 19 * 11 > 256";
    ExpectIntact();
}

TEST_F(ProgramFileTest, FileCannotOutgrowSixteenBitSectorNumbers) {
    const std::vector<uint8_t> data = Pattern(65535, 1);
    Error error = Error::kNone;
    for (uint8_t code : {1, 2, 4, 8}) {
        for (unsigned number = 0; number < 256 && error == Error::kNone; ++number) {
            error = file_->WriteBlock(Key(code, static_cast<uint8_t>(number), 65535), data);
        }
    }
    EXPECT_EQ(error, Error::kWriteFailed);
    EXPECT_LE(file_->root().fileSectors, 0xFFFF);
    EXPECT_EQ(ContiguityProblem(ReadAll(path_)), "");
    Reopen();
    EXPECT_GT(file_->BlockList().size(), 100u);
}

TEST_F(ProgramFileTest, ReadOnlyStoreListsButRefusesChanges) {
    Write(1, 1, 10, 1);
    file_.reset();
    OpenResult opened = ProgramFile::Open(std::make_unique<MemoryStore>(ReadAll(path_), false), "X",
                                          ProgramFile::Mode::kUpdateOrCreate);
    ASSERT_TRUE(opened.file);
    EXPECT_EQ(opened.file->BlockList().size(), 1u);
    EXPECT_EQ(opened.file->WriteBlock(Key(1, 2, 4), Pattern(4, 1)), Error::kAccessDenied);
    EXPECT_EQ(opened.file->DeleteBlock(Key(1, 1)), Error::kAccessDenied);
    EXPECT_EQ(ProgramFile::Open(std::make_unique<MemoryStore>(std::vector<uint8_t>{}, false), "X",
                                ProgramFile::Mode::kUpdateOrCreate)
                  .error,
              Error::kAccessDenied);
}

TEST(ProgramFileOpen, InspectionNeverCreatesAFile) {
    ScratchDir dir;
    EXPECT_EQ(ProgramFile::Open(dir / "NONE.S5D", ProgramFile::Mode::kReadExisting).error,
              Error::kFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir / "NONE.S5D"));
}

TEST(ProgramFileOpen, ExistingFileIsFoundWhateverTheCaseOfItsName) {
    ScratchDir dir;
    {
        auto file = ProgramFile::Open(dir / "anlage.s5d", ProgramFile::Mode::kUpdateOrCreate).file;
        ASSERT_TRUE(file);
        ASSERT_EQ(file->WriteBlock(Key(1, 1, 10), Pattern(10, 1)), Error::kNone);
    }
    auto file = ProgramFile::Open(dir / "ANLAGE.S5D", ProgramFile::Mode::kUpdateOrCreate).file;
    ASSERT_TRUE(file);
    EXPECT_EQ(file->BlockList().size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no second file";
    file.reset();
    EXPECT_EQ(CompactFile(dir / "Anlage.S5D"), Error::kNone);
    EXPECT_TRUE(std::filesystem::exists(dir / "anlage.s5d"));
}

}  // namespace
}  // namespace vaultra::qrf::testing
