#include "s7project/dbase_index.h"

#include <gtest/gtest.h>

#include <vaultra/byte_order.h>
#include "s7project/dbase_table.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

TableDate FixedDate() {
    return {126, 12, 8};
}

Bytes KeyBytes(const IndexKey& k) {
    return Bytes(k.begin(), k.end());
}

TEST(IndexKeys, NumericKeysInPackedDecimalForm) {
    EXPECT_EQ(KeyBytes(NumericKey("        123")), (Bytes{0x37, 0x0D, 0x12, 0x30, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(KeyBytes(NumericKey("          1")), (Bytes{0x35, 0x05, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // trailing zeros do not count as significant digits
    EXPECT_EQ(KeyBytes(NumericKey("       1200")), (Bytes{0x38, 0x09, 0x12, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(KeyBytes(NumericKey("00000000042")), (Bytes{0x36, 0x09, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(KeyBytes(NumericKey("  987654321")),
              (Bytes{0x3D, 0x25, 0x98, 0x76, 0x54, 0x32, 0x10, 0, 0, 0, 0, 0}));
    EXPECT_EQ(KeyBytes(NumericKey("         0")), (Bytes{0x35, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(LeadingNumber("  12ab3"), 12U);
    EXPECT_EQ(LeadingNumber("   "), 0U);
    EXPECT_EQ(LeadingNumber("99999999999999999999999"), UINT64_MAX);
}

TEST(IndexKeys, CharacterKeysAreZeroPadded) {
    EXPECT_EQ(KeyBytes(CharacterKey("0000800001", 10)),
              (Bytes{'0', '0', '0', '0', '8', '0', '0', '0', '0', '1', 0, 0}));
    EXPECT_EQ(KeyBytes(CharacterKey("ABCDEFGHIJKLMN", 12)),
              (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'}));
}

std::vector<IndexEntry> NumericEntries(std::initializer_list<std::uint64_t> values) {
    std::vector<IndexEntry> entries;
    std::uint32_t record = 1;
    for (const auto v : values) {
        const std::string text = std::to_string(v);
        entries.push_back({record++, NumericKey(text), LeadingNumber(text)});
    }
    return entries;
}

TEST(IndexOrder, NumericKeysByValueAndEqualKeysLaterRecordFirst) {
    auto entries = NumericEntries({100, 9, 20, 9, 1000, 15});
    SortIndexEntries(entries, true);
    std::vector<std::uint32_t> records;
    for (const auto& e : entries) {
        records.push_back(e.number);
    }
    // 9 (record 4 before record 2), 15, 20, 100, 1000
    EXPECT_EQ(records, (std::vector<std::uint32_t>{4, 2, 6, 3, 1, 5}));
}

TEST(IndexTree, FewerThan63EntriesStayInTheRoot) {
    const auto leaves = NumericEntries({1, 2, 3});
    std::uint32_t next = 8;
    const auto pages = BuildIndexTree(leaves, 6, next);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].block, 6U);
    EXPECT_FALSE(pages[0].interior);
    EXPECT_EQ(next, 8U);
    const Bytes page = EncodeIndexPage(pages[0]);
    ASSERT_EQ(page.size(), 1024U);
    EXPECT_EQ(bytes::LoadLe32(page, 0), 3U);
    EXPECT_EQ(bytes::LoadLe32(page, 8), 1U);
    EXPECT_EQ(Bytes(page.begin() + 12, page.begin() + 24), KeyBytes(NumericKey("1")));
    EXPECT_EQ(bytes::LoadLe32(page, 8 + 32), 3U);
    EXPECT_TRUE(std::all_of(page.begin() + 8 + 48, page.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(IndexTree, ThreeLevelsAssignPagesInPreOrder) {
    std::vector<IndexEntry> leaves;
    for (std::uint32_t i = 1; i <= 63 * 63 + 1; ++i) {
        leaves.push_back({i, NumericKey(std::to_string(i)), i});
    }
    std::uint32_t next = 8;
    const auto pages = BuildIndexTree(leaves, 6, next);
    // root with 2 entries, 2 interior pages (63 + 1 entries), 64 leaf pages
    ASSERT_EQ(pages.size(), 1U + 2 + 64);
    const IndexPage& root = pages[0];
    EXPECT_EQ(root.block, 6U);
    ASSERT_EQ(root.entries.size(), 2U);
    EXPECT_EQ(root.entries[0].number, 8U);           // first interior page
    EXPECT_EQ(root.entries[1].number, 8U + 2 * 64);  // after it and its 63 leaves
    EXPECT_EQ(KeyBytes(root.entries[0].key), KeyBytes(NumericKey(std::to_string(63 * 63))));
    EXPECT_EQ(KeyBytes(root.entries[1].key), Bytes(12, 0));  // last parent of a level, run not full
    EXPECT_EQ(next, 8U + 2 * 67 - 2);
    const auto find = [&pages](std::uint32_t block) {
        return std::find_if(pages.begin(), pages.end(),
                            [block](const IndexPage& p) { return p.block == block; });
    };
    const auto interior = find(8);
    ASSERT_NE(interior, pages.end());
    EXPECT_TRUE(interior->interior);
    ASSERT_EQ(interior->entries.size(), 63U);
    EXPECT_EQ(interior->entries[0].number, 10U);
    EXPECT_EQ(interior->entries[62].number, 10U + 2 * 62);
    const auto firstLeaf = find(10);
    ASSERT_NE(firstLeaf, pages.end());
    EXPECT_FALSE(firstLeaf->interior);
    EXPECT_EQ(firstLeaf->entries.front().number, 1U);
    const auto lastLeaf = find(8 + 2 * 65);
    ASSERT_NE(lastLeaf, pages.end());
    ASSERT_EQ(lastLeaf->entries.size(), 1U);
    EXPECT_EQ(lastLeaf->entries[0].number, 63U * 63 + 1);
    EXPECT_EQ(bytes::LoadLe32(EncodeIndexPage(*interior), 0), 62U);  // interior pages count entries - 1
}

// ---- the index file of a table ----

void CreateIdTable(const std::filesystem::path& path, int records) {
    CDBASEDatei t(FixedDate);
    t.SetFieldCount(2);
    ASSERT_TRUE(t.DefineField(0, "ID", 'N', 11));
    ASSERT_TRUE(t.DefineField(1, "NAME", 'C', 5));
    ASSERT_TRUE(t.CreateTable(path, kCreateIndexFile));
    ASSERT_TRUE(t.CreateIndexHeader(path));
    ASSERT_TRUE(t.AddTag("ID_TAG", 'N', true, "ID", 12));
    ASSERT_TRUE(t.AddTag("NAME_TAG", 'C', false, "NAME + ID", 10));
    for (int i = 1; i <= records; ++i) {
        ASSERT_TRUE(t.AppendRecord());
        char id[16];
        std::snprintf(id, sizeof id, "%11d", i);
        ASSERT_TRUE(t.WriteField(id, 0));
        ASSERT_TRUE(t.WriteField(i % 2 == 0 ? "EVEN " : "ODD  ", 1));
    }
    ASSERT_TRUE(t.CloseTable());
}

Bytes Page(const Bytes& file, std::uint32_t block) {
    const std::size_t at = std::size_t{block} * 512;
    if (file.size() < at + 1024) {
        return {};
    }
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(at),
                 file.begin() + static_cast<std::ptrdiff_t>(at + 1024));
}

TEST(IndexFile, HeaderTagTableAndTagHeaderPageAsLaidOut) {
    TempDir dir;
    CreateIdTable(dir / "IDX.DBF", 0);
    const Bytes mdx = ReadBytes(dir / "IDX.MDX");
    ASSERT_EQ(mdx.size(), 6U * 1024);  // header + tags (blocks 0-3), two tags of two pages each
    Bytes header(544, 0);
    header[0] = 2;
    header[1] = 126, header[2] = 12, header[3] = 8;
    header[4] = 'I', header[5] = 'D', header[6] = 'X';
    header[20] = 2;
    header[22] = 0x00, header[23] = 0x04;  // 1024
    header[24] = 1, header[25] = 48, header[26] = 32;
    header[28] = 2;   // tags
    header[32] = 12;  // next free block: 4 + 4 x 2, no records so no pages beyond the roots
    header[44] = 126, header[45] = 12, header[46] = 8;
    header[529] = 1;
    EXPECT_EQ(Bytes(mdx.begin(), mdx.begin() + 544), header);

    Bytes tag0(32, 0);
    tag0[0] = 4;
    const std::string_view name0 = "ID_TAG";
    std::copy(name0.begin(), name0.end(), tag0.begin() + 4);
    tag0[15] = 0x10, tag0[17] = 2, tag0[18] = 0, tag0[19] = 2, tag0[20] = 'N';
    EXPECT_EQ(Bytes(mdx.begin() + 544, mdx.begin() + 576), tag0);
    Bytes tag1(32, 0);
    tag1[0] = 8;
    const std::string_view name1 = "NAME_TAG";
    std::copy(name1.begin(), name1.end(), tag1.begin() + 4);
    tag1[15] = 0x10, tag1[17] = 0, tag1[18] = 1, tag1[19] = 2, tag1[20] = 'C';
    EXPECT_EQ(Bytes(mdx.begin() + 576, mdx.begin() + 608), tag1);
    EXPECT_TRUE(std::all_of(mdx.begin() + 608, mdx.begin() + 2048, [](std::uint8_t b) { return b == 0; }));

    Bytes tagHeader(1024, 0);
    tagHeader[0] = 6;
    tagHeader[8] = 0x50, tagHeader[9] = 'N', tagHeader[12] = 12, tagHeader[14] = 63, tagHeader[18] = 16,
    tagHeader[20] = 11, tagHeader[23] = 0x40;
    tagHeader[24] = 'I', tagHeader[25] = 'D';
    tagHeader[245] = 1;
    const std::string_view filter = ".NOT. DELETED()";
    std::copy(filter.begin(), filter.end(), tagHeader.begin() + 762);
    EXPECT_EQ(Page(mdx, 4), tagHeader);
    const Bytes second = Page(mdx, 8);
    EXPECT_EQ(second[8], 0x10);  // not unique
    EXPECT_EQ(second[20], 3);
    EXPECT_EQ(second[23], 0);
    EXPECT_EQ(std::string(second.begin() + 24, second.begin() + 33), "NAME + ID");
    EXPECT_EQ(Page(mdx, 6), Bytes(1024, 0));  // empty roots
    EXPECT_EQ(Page(mdx, 10), Bytes(1024, 0));
}

TEST(IndexFile, SixtyTwoRecordsStayInTheRootLeaf) {
    TempDir dir;
    CreateIdTable(dir / "I62.DBF", 62);
    const Bytes mdx = ReadBytes(dir / "I62.MDX");
    const Bytes root = Page(mdx, 6);
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(bytes::LoadLe32(root, 0), 62U);
    for (std::uint32_t i = 0; i < 62; ++i) {
        EXPECT_EQ(bytes::LoadLe32(root, 8 + 16 * i), i + 1);
        EXPECT_EQ(Bytes(root.begin() + 12 + 16 * i, root.begin() + 24 + 16 * i),
                  KeyBytes(NumericKey(std::to_string(i + 1))));
    }
    EXPECT_EQ(bytes::LoadLe32(mdx, 32), 12U);
    // the character tag: "EVEN " + ID text, cut to 10 bytes; EVEN before ODD, later records first
    const Bytes nameRoot = Page(mdx, 10);
    EXPECT_EQ(bytes::LoadLe32(nameRoot, 0), 62U);
    EXPECT_EQ(bytes::LoadLe32(nameRoot, 8), 62U);
    EXPECT_EQ(std::string(nameRoot.begin() + 12, nameRoot.begin() + 24), std::string("EVEN      \0\0", 12));
}

TEST(IndexFile, SixtyThreeRecordsMakeTwoLevels) {
    TempDir dir;
    CreateIdTable(dir / "I63.DBF", 63);
    const Bytes mdx = ReadBytes(dir / "I63.MDX");
    const Bytes root = Page(mdx, 6);
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(bytes::LoadLe32(root, 0), 0U);   // one interior entry
    EXPECT_EQ(bytes::LoadLe32(root, 8), 12U);  // first page after the tags' roots
    EXPECT_EQ(Bytes(root.begin() + 12, root.begin() + 24), KeyBytes(NumericKey("63")));  // its run is full
    EXPECT_TRUE(std::all_of(root.begin() + 24, root.end(), [](std::uint8_t b) { return b == 0; }));
    const Bytes leaf = Page(mdx, 12);
    ASSERT_FALSE(leaf.empty());
    EXPECT_EQ(bytes::LoadLe32(leaf, 0), 63U);
    EXPECT_EQ(bytes::LoadLe32(leaf, 8 + 16 * 62), 63U);
    // the second tag's leaf follows
    EXPECT_EQ(bytes::LoadLe32(Page(mdx, 10), 8), 14U);
    EXPECT_EQ(bytes::LoadLe32(Page(mdx, 14), 0), 63U);
    EXPECT_EQ(bytes::LoadLe32(mdx, 32), 16U);  // free-block pointer behind the pages written
}

TEST(IndexFile, DeletedRecordsAreLeftOutOfTheIndex) {
    TempDir dir;
    CreateIdTable(dir / "DEL.DBF", 3);
    {
        CDBASEDatei t(FixedDate);
        ASSERT_TRUE(t.OpenTable(dir / "DEL.DBF"));
        ASSERT_TRUE(t.FindRecord("          2", 0));
        ASSERT_TRUE(t.AppendRecord());  // modifies the table so that the trees are rebuilt
        ASSERT_TRUE(t.WriteField("          9", 0));
        ASSERT_TRUE(t.CloseTable());
    }
    Bytes dbf = ReadBytes(dir / "DEL.DBF");
    // delete record 2 by hand, then make another change so that the rebuild runs again
    dbf[bytes::LoadLe16(dbf, 8) + 1 * bytes::LoadLe16(dbf, 10)] = '*';
    testing::WriteBytes(dir / "DEL.DBF", dbf);
    {
        CDBASEDatei t(FixedDate);
        ASSERT_TRUE(t.OpenTable(dir / "DEL.DBF"));
        ASSERT_TRUE(t.FindRecord("          9", 0));
        ASSERT_TRUE(t.WriteField("          4", 0));
        ASSERT_TRUE(t.CloseTable());
    }
    const Bytes root = Page(ReadBytes(dir / "DEL.MDX"), 6);
    ASSERT_EQ(bytes::LoadLe32(root, 0), 3U);
    EXPECT_EQ(bytes::LoadLe32(root, 8), 1U);
    EXPECT_EQ(bytes::LoadLe32(root, 24), 3U);
    EXPECT_EQ(bytes::LoadLe32(root, 40), 4U);
}

}  // namespace
}  // namespace vaultra::s7project
