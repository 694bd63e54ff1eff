#include <gtest/gtest.h>

#include "s7project/s7project.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::SampleBlock;
using testing::TempDir;

TEST(ProjectRoundTrip, Smoke) {
    TempDir dir;
    BlockList blocks{SampleBlock(subblock::kOb, 1, 100, 20, 10), SampleBlock(subblock::kSdb, 0, 50, 0, 0)};
    ProjectFolders folders;
    EXPECT_TRUE(WriteS7Project(dir / "LINE1.S7P", blocks, folders));
    BlockList back;
    ProjectFolders readFolders;
    EXPECT_TRUE(ReadS7Project(dir / "LINE1" / "LINE1.S7P", back, readFolders));
    ASSERT_EQ(back.size(), 2U);
}

}  // namespace
}  // namespace vaultra::s7project
