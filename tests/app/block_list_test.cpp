#include "app/block_list.h"

#include <gtest/gtest.h>

namespace vaultra::app {
namespace {

CElement WithList(std::string list, bool onlyListed, uint16_t interfaceBit = flag::kS5H1) {
    CElement e;
    e.flags = interfaceBit;
    e.Set(flag::kOnlyListed, onlyListed);
    e.blockList = std::move(list);
    return e;
}

TEST(BlockSelected, ListedBlocksAreSkippedUnlessOnlyListed) {
    const CElement skip = WithList("DB 001,FB 022", false);
    EXPECT_TRUE(BlockSelected(skip, false, kTypeDB, 1));
    EXPECT_TRUE(BlockSelected(skip, false, kTypeFB, 22));
    EXPECT_FALSE(BlockSelected(skip, false, kTypeDB, 22));
    EXPECT_FALSE(BlockSelected(skip, false, kTypeOB, 1));

    const CElement keep = WithList("DB 001,FB 022", true);
    EXPECT_FALSE(BlockSelected(keep, false, kTypeDB, 1));
    EXPECT_TRUE(BlockSelected(keep, false, kTypeDB, 2));
}

TEST(BlockSelected, EmptyListKeepsAllOrSkipsAllByMode) {
    EXPECT_FALSE(BlockSelected(WithList("", false), false, kTypeOB, 1));
    EXPECT_FALSE(BlockSelected(WithList(" ", false), false, kTypeDB, 7));
    EXPECT_TRUE(BlockSelected(WithList("", true), false, kTypeOB, 1));
    EXPECT_TRUE(BlockSelected(WithList(" ", true), false, kTypeDB, 7));
}

TEST(BlockSelected, SpacesInsideANumberAreSkipped) {
    const CElement e = WithList("DB 1 2", false);
    EXPECT_TRUE(BlockSelected(e, false, kTypeDB, 12));
    EXPECT_FALSE(BlockSelected(e, false, kTypeDB, 1));
    EXPECT_FALSE(BlockSelected(e, false, kTypeDB, 2));
}

TEST(BlockSelected, TokenWithoutNumberCoversTheWholeType) {
    const CElement e = WithList("OB,FX 5", false);
    EXPECT_TRUE(BlockSelected(e, false, kTypeOB, 1));
    EXPECT_TRUE(BlockSelected(e, false, kTypeOB, 121));
    EXPECT_TRUE(BlockSelected(e, false, kTypeFX_FC, 5));
    EXPECT_FALSE(BlockSelected(e, false, kTypeFX_FC, 6));
    EXPECT_TRUE(BlockSelected(WithList("PB", false), false, kTypePB_SFC, 9));  // token at the end
}

TEST(BlockSelected, LetterPairsNameTheTypeIndexes) {
    EXPECT_TRUE(BlockSelected(WithList("SB3", false), false, kTypeSB_SDB, 3));
    EXPECT_TRUE(BlockSelected(WithList("DX3", false), false, kTypeDX_SFB, 3));
    EXPECT_TRUE(BlockSelected(WithList("PB3", false), false, kTypePB_SFC, 3));
    EXPECT_TRUE(BlockSelected(WithList("FX3", false), false, kTypeFX_FC, 3));
    // "FC" is no token: the second letter must be B or X; lower case is no token either.
    EXPECT_FALSE(BlockSelected(WithList("FC3", false), false, kTypeFX_FC, 3));
    EXPECT_FALSE(BlockSelected(WithList("db3", false), false, kTypeDB, 3));
}

TEST(BlockSelected, SystemBlocksOfS7EntriesAreAlwaysSkippedWhenAsked) {
    EXPECT_TRUE(BlockSelected(WithList("", false, flag::kS7Mpi), true, kTypePB_SFC, 1));
    EXPECT_TRUE(BlockSelected(WithList("PB 1,DX 2", true, flag::kS7Lan), true, kTypeDX_SFB, 2));
    EXPECT_FALSE(BlockSelected(WithList("", false, flag::kS7Mpi), false, kTypePB_SFC, 1));
    EXPECT_FALSE(BlockSelected(WithList("", false, flag::kS7Mpi), true, kTypeDB, 1));
    // S5 PB and DX blocks are ordinary blocks.
    EXPECT_FALSE(BlockSelected(WithList("", false, flag::kS5Lan), true, kTypePB_SFC, 1));
    EXPECT_FALSE(BlockSelected(WithList("", false, 0), true, kTypeDX_SFB, 1));
}

TEST(NormaliseBlockList, WritesTheCanonicalForm) {
    EXPECT_EQ(NormaliseBlockList("db1 fb 22"), "DB 001,FB 022");
    EXPECT_EQ(NormaliseBlockList("DB 1 2"), "DB 012");
    EXPECT_EQ(NormaliseBlockList("ob, fx1234; sb"), "OB,FX 1234,SB");
    EXPECT_EQ(NormaliseBlockList(""), "");
    EXPECT_EQ(NormaliseBlockList("hello 12"), "");
}

TEST(NormaliseBlockList, CanonicalTextSelectsTheSameBlocks) {
    const std::string raw = "db1 fb 22 OB ";
    const CElement canonical = WithList(NormaliseBlockList(raw), false);
    EXPECT_EQ(canonical.blockList, "DB 001,FB 022,OB");
    EXPECT_TRUE(BlockSelected(canonical, false, kTypeDB, 1));
    EXPECT_TRUE(BlockSelected(canonical, false, kTypeFB, 22));
    EXPECT_TRUE(BlockSelected(canonical, false, kTypeOB, 35));
    EXPECT_FALSE(BlockSelected(canonical, false, kTypeDB, 22));
}

TEST(ScanBlockList, HugeNumbersSaturateInsteadOfOverflowing) {
    const auto tokens = ScanBlockList("DB 99999999999999999999");
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].number, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace vaultra::app
