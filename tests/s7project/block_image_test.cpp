#include "s7project/block_image.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vaultra::s7project {
namespace {

BlockImageFields SampleFields() {
    BlockImageFields f;
    f.header.type = subblock::kFb;
    f.header.number = 0x1234;
    f.header.version = 0x21;
    f.header.attribute = 0x03;
    f.header.language = 0x05;
    f.header.securityWord = 0xA1B2C3D4;
    f.header.timestamp1 = {1, 2, 3, 4, 5, 6};
    f.header.timestamp2 = {7, 8, 9, 10, 11, 12};
    f.header.localDataLength = 0x0102;
    f.code = {0xC0, 0xC1, 0xC2};
    f.interfacePart = {0x51, 0x52};
    f.additional = {0xAD};
    f.trailer.fill(0xEE);
    return f;
}

TEST(BlockImage, BuildPutsHeaderFieldsBigEndianAndPartsInOrder) {
    const BlockImage image = BuildBlockImage(SampleFields());
    const std::vector<std::uint8_t> header{0x70, 0x70, 0x21, 0x03, 0x05, 0x0E, 0x12, 0x34, 0x00,
                                           0x00, 0x00, 78,   0xA1, 0xB2, 0xC3, 0xD4, 1,    2,
                                           3,    4,    5,    6,    7,    8,    9,    10,   11,
                                           12,   0x00, 0x02, 0x00, 0x01, 0x01, 0x02, 0x00, 0x03};
    ASSERT_EQ(image.size(), 78U);
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + 36), header);
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + 36, image.begin() + 42),
              (std::vector<std::uint8_t>{0xC0, 0xC1, 0xC2, 0x51, 0x52, 0xAD}));
    EXPECT_EQ(image[42], 0xEE);
    EXPECT_EQ(image.back(), 0xEE);
}

TEST(BlockImage, HeaderReadsBackWhatWasWritten) {
    const BlockImage image = BuildBlockImage(SampleFields());
    const auto h = ReadBlockHeader(image);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->type, subblock::kFb);
    EXPECT_EQ(h->number, 0x1234);
    EXPECT_EQ(h->loadLength, 78U);
    EXPECT_EQ(h->securityWord, 0xA1B2C3D4U);
    EXPECT_EQ(h->timestamp2, (Timestamp{7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(h->codeLength, 3);
    EXPECT_EQ(h->ssbLength, 2);
    EXPECT_EQ(h->addLength, 1);
    EXPECT_EQ(h->localDataLength, 0x0102);
}

TEST(BlockImage, HeaderNeedsMarkerAndFullLength) {
    BlockImage image = BuildBlockImage(SampleFields());
    EXPECT_FALSE(ReadBlockHeader(std::span(image).first(35)));
    image[1] = 0x71;
    EXPECT_FALSE(ReadBlockHeader(image));
    EXPECT_FALSE(HasBlockMarker(std::vector<std::uint8_t>{0x70}));
}

TEST(BlockImage, SplitGivesPartsAndTrailer) {
    const BlockImage image = BuildBlockImage(SampleFields());
    const auto parts = SplitBlockParts(image);
    ASSERT_TRUE(parts);
    EXPECT_TRUE(parts->complete);
    EXPECT_EQ(std::vector<std::uint8_t>(parts->code.begin(), parts->code.end()),
              (std::vector<std::uint8_t>{0xC0, 0xC1, 0xC2}));
    EXPECT_EQ(std::vector<std::uint8_t>(parts->interfacePart.begin(), parts->interfacePart.end()),
              (std::vector<std::uint8_t>{0x51, 0x52}));
    EXPECT_EQ(parts->additional.size(), 1U);
    EXPECT_EQ(parts->trailer.size(), 36U);
}

TEST(BlockImage, SplitOfShortImageStaysInsideIt) {
    BlockImageFields f = SampleFields();
    f.code.assign(100, 0x11);
    BlockImage image = BuildBlockImage(f);
    image.resize(50);  // cut inside the code part, as a truncated upload would be
    const auto parts = SplitBlockParts(image);
    ASSERT_TRUE(parts);
    EXPECT_FALSE(parts->complete);
    EXPECT_EQ(parts->code.size(), 14U);
    EXPECT_TRUE(parts->interfacePart.empty());
    EXPECT_TRUE(parts->additional.empty());
    EXPECT_TRUE(parts->trailer.empty());
}

TEST(BlockImage, BuildRefusesOversizedPart) {
    BlockImageFields f;
    f.code.assign(0x10000, 0);
    EXPECT_THROW(BuildBlockImage(f), std::length_error);
}

TEST(BlockTypes, CodesOfStoredTypesAndUnknownTypes) {
    EXPECT_EQ(BlockTypeCode(subblock::kOb), 0x10);
    EXPECT_EQ(BlockTypeCode(subblock::kDb), 0x01);
    EXPECT_EQ(BlockTypeCode(subblock::kSdb), 0xF7);
    EXPECT_EQ(BlockTypeCode(subblock::kFc), 0xF4);
    EXPECT_EQ(BlockTypeCode(subblock::kSfc), 0xFA);
    EXPECT_EQ(BlockTypeCode(subblock::kFb), 0x08);
    EXPECT_EQ(BlockTypeCode(subblock::kSfb), 0xFD);
    EXPECT_EQ(BlockTypeCode(71), 0xED);
    EXPECT_EQ(BlockTypeCode(0), 0);
    EXPECT_EQ(BlockTypeCode(2), 0);
    EXPECT_EQ(BlockTypeCode(16), 0);
    EXPECT_EQ(BlockTypeCode(68), 0);
    EXPECT_EQ(BlockTypeCode(255), 0);
    EXPECT_TRUE(HasDirectoryRecord(0xF2));
    EXPECT_FALSE(HasDirectoryRecord(0xF3));
}

TEST(BlockTypes, IndexMappingRoundTrips) {
    const std::uint8_t expected[] = {10, 11, 13, 14, 8, 12, 15};
    for (int i = 0; i < kBlockTypeIndexCount; ++i) {
        ASSERT_EQ(SubblockTypeOfIndex(i), expected[i]);
        EXPECT_EQ(BlockTypeIndexOf(expected[i]), i);
    }
    EXPECT_FALSE(SubblockTypeOfIndex(7));
    EXPECT_FALSE(SubblockTypeOfIndex(-1));
    EXPECT_FALSE(BlockTypeIndexOf(3));
    EXPECT_EQ(BlockTypeName(subblock::kSdb), "SDB");
    EXPECT_EQ(BlockTypeName(subblock::kOb), "OB");
    EXPECT_EQ(BlockTypeName(20), "");
}

}  // namespace
}  // namespace vaultra::s7project
