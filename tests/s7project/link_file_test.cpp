#include "s7project/link_file.h"

#include <gtest/gtest.h>

#include <vaultra/byte_order.h>
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

TEST(LinkFile, NewFileWithEntriesAsLaidOut) {
    TempDir dir;
    {
        CLinkDatei link;
        ASSERT_TRUE(link.OpenLinkFile(dir / "LINK.LNK"));
        EXPECT_TRUE(link.AddLink({0, 0, 0x144101, 99, 0x4, 0x2}, 1));  // the fourth word comes separately
        EXPECT_TRUE(link.AddLink({0, 0, 0x119001, 1, 0x4E, 0x2}));
        ASSERT_TRUE(link.CloseLinkFile());
    }
    Bytes expected(1024, 0);
    const auto put = [&expected](std::size_t at, std::uint32_t v) { bytes::StoreLe32(expected, at, v); };
    expected[0] = 'K', expected[1] = 'N', expected[2] = 'I', expected[3] = 'L';
    put(4, 1);
    put(8, 512);
    put(16, 1024);
    put(512, 512);
    put(512 + 8, 2);
    const std::array<std::uint32_t, 12> words{0, 0, 0x144101, 1, 4, 2, 0, 0, 0x119001, 1, 0x4E, 2};
    for (std::size_t i = 0; i < words.size(); ++i) {
        put(512 + 16 + 4 * i, words[i]);
    }
    EXPECT_EQ(ReadBytes(dir / "LINK.LNK"), expected);
}

TEST(LinkFile, ReopeningAddsNoDuplicates) {
    TempDir dir;
    const LinkEntry a{0, 0, 0x144101, 1, 0x4, 0x2};
    const LinkEntry b{0x116001, 1, 0x11610B, 1, 0x1C, 0x2};
    for (int round = 0; round < 3; ++round) {
        CLinkDatei link;
        ASSERT_TRUE(link.OpenLinkFile(dir / "L.LNK"));
        link.AddLink(a);
        link.AddLink(b);
        ASSERT_TRUE(link.CloseLinkFile());
    }
    CLinkDatei link;
    ASSERT_TRUE(link.OpenLinkFile(dir / "L.LNK"));
    EXPECT_EQ(link.Entries(), (std::vector<LinkEntry>{a, b}));
    EXPECT_EQ(ReadBytes(dir / "L.LNK").size(), 1024U);
    std::array<std::uint8_t, 4> magic{};
    ASSERT_TRUE(link.SeekLinkFile(0));
    EXPECT_EQ(link.ReadLinkBytes(magic), 4U);
    EXPECT_EQ(std::string(magic.begin(), magic.end()), "KNIL");
}

TEST(LinkFile, MoreThanTwentyEntriesChainASecondPage) {
    TempDir dir;
    {
        CLinkDatei link;
        ASSERT_TRUE(link.OpenLinkFile(dir / "MANY.LNK"));
        for (std::uint32_t i = 0; i < 25; ++i) {
            ASSERT_TRUE(link.AddLink({0, 0, 0x100000 + i, 1, 0x4, 0x2}));
        }
        ASSERT_TRUE(link.CloseLinkFile());
    }
    const Bytes file = ReadBytes(dir / "MANY.LNK");
    ASSERT_EQ(file.size(), 1536U);
    EXPECT_EQ(bytes::LoadLe32(file, 16), 1536U);
    EXPECT_EQ(bytes::LoadLe32(file, 512 + 8), 25U);     // the first page counts the whole file
    EXPECT_EQ(bytes::LoadLe32(file, 512 + 12), 1024U);  // next page
    EXPECT_EQ(bytes::LoadLe32(file, 1024 + 8), 5U);
    EXPECT_EQ(bytes::LoadLe32(file, 1024 + 12), 0U);
    CLinkDatei link;
    ASSERT_TRUE(link.OpenLinkFile(dir / "MANY.LNK"));
    const auto entries = link.Entries();
    ASSERT_EQ(entries.size(), 25U);
    EXPECT_EQ(entries[24][2], 0x100000U + 24);
}

TEST(LinkFile, DamagedHeaderIsReadAsEmptyAndRepaired) {
    TempDir dir;
    testing::WriteBytes(dir / "BAD.LNK", Bytes(100, 0xFF));
    {
        CLinkDatei link;
        ASSERT_TRUE(link.OpenLinkFile(dir / "BAD.LNK"));
        EXPECT_TRUE(link.AddLink({1, 2, 3, 4, 5, 6}));
        ASSERT_TRUE(link.CloseLinkFile());
    }
    CLinkDatei link;
    ASSERT_TRUE(link.OpenLinkFile(dir / "BAD.LNK"));
    EXPECT_EQ(link.Entries(), (std::vector<LinkEntry>{{1, 2, 3, 4, 5, 6}}));
}

TEST(LinkFile, FileThatCannotBeCreatedFails) {
    TempDir dir;
    CLinkDatei link;
    EXPECT_FALSE(link.OpenLinkFile(dir / "missing-folder" / "L.LNK"));
    EXPECT_FALSE(link.AddLink({1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace vaultra::s7project
