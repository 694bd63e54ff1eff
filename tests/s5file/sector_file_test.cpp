// Sector moves and their bounds, and the search tree on hand-built shapes.
#include <gtest/gtest.h>

#include "s5file/program_file.h"
#include "s5file/search_tree.h"
#include "s5file/sector_file.h"
#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

std::vector<uint8_t> NumberedSectors(uint32_t count) {
    std::vector<uint8_t> bytes(count * 128);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i / 128 + 1);
    }
    return bytes;
}

std::vector<uint8_t> SectorMarks(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> marks;
    for (size_t i = 0; i < bytes.size(); i += 128) {
        marks.push_back(bytes[i]);
    }
    return marks;
}

TEST(SectorFile, InsertMovesTheTailUpAndZeroFillsTheGap) {
    auto store = std::make_unique<MemoryStore>(NumberedSectors(1200));  // more than one move buffer
    MemoryStore* raw = store.get();
    SectorFile file(std::move(store), 1200);
    ASSERT_TRUE(file.Insert(3, 2));
    ASSERT_EQ(file.Sectors(), 1202u);
    const auto marks = SectorMarks(raw->bytes());
    EXPECT_EQ(std::vector<uint8_t>(marks.begin(), marks.begin() + 7),
              (std::vector<uint8_t>{1, 2, 3, 0, 0, 4, 5}));
    EXPECT_EQ(marks.back(), static_cast<uint8_t>(1200));
    EXPECT_EQ(marks[1201 - 1], static_cast<uint8_t>(1199));
}

TEST(SectorFile, RemoveMovesTheTailDown) {
    auto store = std::make_unique<MemoryStore>(NumberedSectors(1100));
    MemoryStore* raw = store.get();
    SectorFile file(std::move(store), 1100);
    ASSERT_TRUE(file.Remove(1, 3));
    ASSERT_TRUE(file.Truncate());
    const auto marks = SectorMarks(raw->bytes());
    ASSERT_EQ(marks.size(), 1097u);
    EXPECT_EQ(std::vector<uint8_t>(marks.begin(), marks.begin() + 3), (std::vector<uint8_t>{1, 5, 6}));
    EXPECT_EQ(marks.back(), static_cast<uint8_t>(1100));
}

TEST(SectorFile, RefusesEverythingOutsideItsSectors) {
    SectorFile file(std::make_unique<MemoryStore>(NumberedSectors(10)), 4);  // owns 4 of 10 stored
    std::vector<uint8_t> sector(128);
    EXPECT_TRUE(file.Read(3, sector));
    EXPECT_FALSE(file.Read(4, sector));
    EXPECT_FALSE(file.Write(3, std::vector<uint8_t>(129)));
    EXPECT_FALSE(file.Read(0xFFFFFFFF, sector));
    EXPECT_FALSE(file.Insert(5, 1));
    EXPECT_FALSE(file.Remove(2, 3));
    EXPECT_FALSE(file.Insert(4, kMaxSectors)) << "beyond 16-bit sector numbers";
    EXPECT_EQ(file.Sectors(), 4u);
}

// A store whose writes fail after a number of them.
class FailingStore : public MemoryStore {
public:
    FailingStore(std::vector<uint8_t> bytes, int writesLeft)
        : MemoryStore(std::move(bytes)), left_(writesLeft) {}
    bool WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
        return left_-- > 0 && MemoryStore::WriteAt(offset, data);
    }

private:
    int left_;
};

TEST(SectorFile, FailedWriteStopsFurtherChangesOfTheFile) {
    auto base = std::make_unique<MemoryStore>();
    MemoryStore* raw = base.get();
    OpenResult made = ProgramFile::Open(std::move(base), "F", ProgramFile::Mode::kUpdateOrCreate);
    ASSERT_EQ(made.file->WriteBlock(Key(1, 1, 300), Pattern(300, 1)), Error::kNone);
    ASSERT_EQ(made.file->WriteBlock(Key(8, 1, 300), Pattern(300, 2)), Error::kNone);
    for (int writes = 0; writes < 5; ++writes) {
        OpenResult opened = ProgramFile::Open(std::make_unique<FailingStore>(raw->bytes(), writes), "F",
                                              ProgramFile::Mode::kUpdateOrCreate);
        ASSERT_TRUE(opened.file);
        // Growing DB 1 takes five writes: the FB group moved up, the zero fill, the block, two directories.
        EXPECT_EQ(opened.file->WriteBlock(Key(1, 1, 900), Pattern(900, 3)), Error::kWriteFailed) << writes;
        EXPECT_EQ(opened.file->WriteBlock(Key(1, 2, 9), Pattern(9, 3)), Error::kWriteFailed) << writes;
        EXPECT_EQ(opened.file->DeleteBlock(Key(8, 1)), Error::kWriteFailed) << writes;
        BlockKey key = Key(8, 1);
        std::vector<uint8_t> sectors;
        EXPECT_EQ(opened.file->ReadBlock(key, sectors), Error::kReadFailed) << writes;
    }
}

struct Node {
    TreeLinks links;
    uint64_t treeKey = 0;
};

std::vector<Node> Build(std::initializer_list<uint64_t> keys) {
    std::vector<Node> nodes;
    for (uint64_t key : keys) {
        Node node;
        node.treeKey = key;
        EXPECT_TRUE(TreeInsert(nodes, node));
    }
    return nodes;
}

std::vector<uint64_t> Keys(const std::vector<Node>& nodes) {
    std::vector<uint64_t> keys;
    for (size_t i : TreeInOrder(nodes).value_or(std::vector<size_t>{})) {
        keys.push_back(nodes[i].treeKey);
    }
    return keys;
}

TEST(SearchTree, InsertFindAndOrder) {
    auto nodes = Build({5, 2, 8, 1, 9, 7});
    EXPECT_TRUE(TreeIsValid(nodes));
    EXPECT_EQ(Keys(nodes), (std::vector<uint64_t>{1, 2, 5, 7, 8, 9}));
    EXPECT_EQ(TreeFind(nodes, 7), std::optional<size_t>(5));
    EXPECT_FALSE(TreeFind(nodes, 6));
    Node duplicate;
    duplicate.treeKey = 8;
    EXPECT_FALSE(TreeInsert(nodes, duplicate));
    EXPECT_EQ(nodes.size(), 6u);
}

TEST(SearchTree, RemovingMovesTheLastEntryIntoTheFreedSlot) {
    auto nodes = Build({5, 2, 8, 1, 9, 7});
    TreeRemove(nodes, 1);  // key 2: only a left child
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(nodes[1].treeKey, 7u) << "the last entry fills slot 1";
    EXPECT_TRUE(TreeIsValid(nodes));
    EXPECT_EQ(Keys(nodes), (std::vector<uint64_t>{1, 5, 7, 8, 9}));
    TreeRemove(nodes, *TreeRoot(nodes));
    EXPECT_TRUE(TreeIsValid(nodes));
    EXPECT_EQ(Keys(nodes), (std::vector<uint64_t>{1, 7, 8, 9}));
    while (!nodes.empty()) {
        TreeRemove(nodes, nodes.size() / 2);
        EXPECT_TRUE(TreeIsValid(nodes));
    }
}

TEST(SearchTree, DamagedLinksEndWalksWithoutLooping) {
    auto nodes = Build({5, 2, 8});
    nodes[1].links.left = 0;  // 2's left child is the root: a cycle
    EXPECT_FALSE(TreeIsValid(nodes));
    EXPECT_FALSE(TreeInOrder(nodes));
    EXPECT_FALSE(TreeFind(nodes, 1));
    Node extra;
    extra.treeKey = 1;
    EXPECT_FALSE(TreeInsert(nodes, extra));

    auto outOfRange = Build({5, 2, 8});
    outOfRange[2].links.right = 40;
    EXPECT_FALSE(TreeIsValid(outOfRange));
    EXPECT_FALSE(TreeFind(outOfRange, 9));

    auto rootless = Build({5, 2});
    rootless[0].links.parent = 1;
    EXPECT_FALSE(TreeIsValid(rootless));
    EXPECT_FALSE(TreeRoot(rootless));
}

}  // namespace
}  // namespace vaultra::qrf::testing
