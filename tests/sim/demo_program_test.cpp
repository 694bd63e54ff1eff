// The demonstration program: deterministic, consistent block images of realistic sizes, scalable.
#include <gtest/gtest.h>

#include <algorithm>

#include "s7project/block_image.h"
#include "sim/s7/demo_program.h"

namespace vaultra::sim::test {
namespace {

TEST(DemoProgram, IsTheSameEveryTimeAndEveryImageIsConsistent) {
    const s7::Program a = s7::MakeDemoProgram();
    const s7::Program b = s7::MakeDemoProgram();
    EXPECT_EQ(a.Blocks(), b.Blocks());
    EXPECT_EQ(a.Size(), s7::DemoBlockCount());
    std::size_t smallest_code = 1 << 20;
    std::size_t largest = 0;
    for (const auto& [id, image] : a.Blocks()) {
        const auto header = s7project::ReadBlockHeader(image);
        ASSERT_TRUE(header) << s7::BlockName(id);
        EXPECT_EQ(header->type, id.type);
        EXPECT_EQ(header->number, id.number);
        EXPECT_EQ(header->loadLength, image.size());
        EXPECT_EQ(36u + header->codeLength + header->ssbLength + header->addLength + 36u, image.size());
        EXPECT_EQ(header->attribute & 1, 1) << "stored blocks";
        if (header->codeLength > 0) {
            smallest_code = std::min<std::size_t>(smallest_code, header->codeLength);
        }
        largest = std::max(largest, image.size());
    }
    EXPECT_EQ(smallest_code, 4u);
    EXPECT_GT(largest, 16u * 1024);
    for (std::uint8_t type : s7::kListedTypes) {
        EXPECT_GT(a.Count(type), 0u) << s7::BlockName({type, 0});
    }
    EXPECT_EQ(s7::CodePart(*a.Find({s7::kDB, 11})).size() % 2, 1u) << "a data block of odd length";
}

TEST(DemoProgram, ScalesToTheRequestedNumberOfBlocks) {
    const s7::Program large = s7::MakeDemoProgram(200);
    EXPECT_EQ(large.Size(), 200u);
    EXPECT_GT(large.Count(s7::kDB), 52u) << "directory follow-ups needed";
    EXPECT_EQ(s7::MakeDemoProgram(200).Blocks(), large.Blocks());
    const s7::Program small = s7::MakeDemoProgram(3);
    EXPECT_EQ(small.Size(), 3u);
    EXPECT_NE(small.Find({s7::kOB, 1}), nullptr);
}

}  // namespace
}  // namespace vaultra::sim::test
