#include <gtest/gtest.h>

#include <sstream>

#include "app/text_catalogue.h"
#include "cli/inspect.h"
#include "s7project/s7project.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::SampleBlock;
using testing::TempDir;

struct Listing {
    int status = -1;
    std::string out;
    std::string err;
};

Listing Inspect(const std::filesystem::path& path) {
    std::ostringstream out;
    std::ostringstream err;
    Listing l;
    l.status = cli::InspectS7Project(path, out, err);
    l.out = out.str();
    l.err = err.str();
    return l;
}

// The listing's words come from the station's catalogue; these tests read the English set and put the
// station's default back afterwards.
class InspectS7 : public ::testing::Test {
protected:
    void SetUp() override { app::SetLanguage(app::Language::English); }
    void TearDown() override { app::SetLanguage(app::Language::German); }
};

TEST_F(InspectS7, ListsEveryBlockWithLengthsAndTimeStamps) {
    TempDir dir;
    BlockImage ob = SampleBlock(subblock::kOb, 1, 120, 30, 6);
    // 12:34:56.789 on day 15317 after 1984-01-01 (2025-12-08)
    const Timestamp stamp{0x02, 0xB3, 0x2C, 0x95, 0x3B, 0xD5};
    std::copy(stamp.begin(), stamp.end(), ob.begin() + block_field::kTimestamp1);
    const BlockList blocks{SampleBlock(subblock::kSdb, 2, 40, 0, 0), ob};
    ASSERT_TRUE(WriteS7Project(dir / "L.S7P", blocks));
    const Listing l = Inspect(dir / "L" / "L.S7P");
    EXPECT_EQ(l.status, 0) << l.err;
    EXPECT_NE(l.out.find("format 3, program \"S7-Programm(1)\", block folder 00000001"), std::string::npos)
        << l.out;
    EXPECT_NE(l.out.find("SDB           2         112     40         0          0"), std::string::npos)
        << l.out;
    EXPECT_NE(l.out.find("OB            1         228    120        30          6  2025-12-08 12:34:56.789"),
              std::string::npos)
        << l.out;
    EXPECT_NE(l.out.find("2 blocks"), std::string::npos);
    // the path the station's entry names (L.S7P beside the project folder) finds the project too
    EXPECT_EQ(Inspect(dir / "L.S7P").status, 0);
}

TEST_F(InspectS7, BlocksDeletedInThePlcAreListedApart) {
    TempDir dir;
    const BlockImage fc = SampleBlock(subblock::kFc, 7, 10, 0, 0);
    const BlockImage fb = SampleBlock(subblock::kFb, 8, 10, 0, 0);
    ProjectFolders folders;
    ASSERT_TRUE(WriteS7Project(dir / "L.S7P", BlockList{fc, fb}, folders));
    ASSERT_TRUE(WriteS7Project(dir / "L.S7P", BlockList{fb}, folders));
    const Listing l = Inspect(dir / "L.S7P");
    EXPECT_EQ(l.status, 0) << l.err;
    const auto apart = l.out.find(
        "1 block\nDeleted in the PLC before the last backup (kept in the project, "
        "never restored):\nFC            7");
    EXPECT_NE(apart, std::string::npos) << l.out;
    EXPECT_LT(l.out.find("FB            8"), apart);
    EXPECT_NE(l.out.find("1 deleted block(s)\n"), std::string::npos);
}

TEST_F(InspectS7, MissingOrUnreadableProjectGivesStatusTwo) {
    TempDir dir;
    Listing l = Inspect(dir / "NOPE.S7P");
    EXPECT_EQ(l.status, 2);
    EXPECT_NE(l.err.find("not found"), std::string::npos);
    EXPECT_TRUE(l.out.empty());
    testing::WriteBytes(dir / "EMPTY.S7P", {0, 0, 0, 0});
    l = Inspect(dir / "EMPTY.S7P");
    EXPECT_EQ(l.status, 2);
    EXPECT_NE(l.err.find("BSTCNTOF"), std::string::npos);
}

// Listed, but exit 1: a script that checks a backup must see that part of it is lost.
TEST_F(InspectS7, DamagedProjectListsWhatCouldBeReadAndFails) {
    TempDir dir;
    ASSERT_TRUE(WriteS7Project(dir / "D.S7P", BlockList{SampleBlock(subblock::kFc, 5, 10, 0, 0),
                                                        SampleBlock(subblock::kFb, 6, 10, 0, 0)}));
    const auto memo = dir / "D" / "OMBSTX" / "OFFLINE" / "00000001" / "SUBBLK.DBT";
    auto bytes = testing::ReadBytes(memo);
    bytes.resize(bytes.size() - 512);  // the FB's code memo is gone
    testing::WriteBytes(memo, bytes);
    const Listing l = Inspect(dir / "D" / "D.S7P");
    EXPECT_EQ(l.status, 1);
    EXPECT_NE(l.out.find("FC            5"), std::string::npos);
    EXPECT_EQ(l.out.find("FB            6"), std::string::npos);
    EXPECT_NE(l.out.find("1 block\n1 damaged block record(s)"), std::string::npos) << l.out;
}

}  // namespace
}  // namespace vaultra::s7project
