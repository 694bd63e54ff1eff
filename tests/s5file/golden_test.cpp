// Files written by the library compared byte for byte with layouts built by hand.
#include <gtest/gtest.h>

#include <cstring>

#include <vaultra/qrf.h>

#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

constexpr uint8_t kBlank = ' ';

void PutBytes(std::vector<uint8_t>& bytes, size_t at, std::initializer_list<uint8_t> values) {
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutText(std::vector<uint8_t>& bytes, size_t at, const char* text) {
    std::memcpy(bytes.data() + at, text, std::strlen(text));
}

// The root of a file named TEST with the given sizes and group count.
std::vector<uint8_t> ExpectedRoot(uint16_t fileSectors, uint16_t groups) {
    std::vector<uint8_t> bytes(256, 0);
    PutWord(bytes, 0, 1);
    PutText(bytes, 8, "TEST");
    PutWord(bytes, 18, 2);
    PutWord(bytes, 20, fileSectors);
    PutWord(bytes, 22, groups);
    return bytes;
}

// One group entry (a tree of one node) at the start of the root's entries.
void PutLoneGroupEntry(std::vector<uint8_t>& file, uint8_t code) {
    PutBytes(file, 66, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, code});
    PutBytes(file, 74, {kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, kBlank});
    PutWord(file, 81, 2);  // directory sectors
    PutWord(file, 83, 2);  // first sector
}

// A 2-sector group directory at sector 2 holding one entry.
void PutGroupDirectory(std::vector<uint8_t>& file, uint8_t code, uint16_t kind, uint16_t areaSectors) {
    PutText(file, 256, "TEST");
    file[256 + 8] = code;
    PutBytes(file, 256 + 9, {kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, kBlank});
    PutWord(file, 256 + 16, kind);
    PutWord(file, 256 + 18, 2);
    PutWord(file, 256 + 20, areaSectors);
    PutWord(file, 256 + 22, 1);
    PutBytes(file, 256 + 66, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

class GoldenFile : public ::testing::Test {
protected:
    std::vector<uint8_t> WriteOne(const BlockKey& key, const std::vector<uint8_t>& data) {
        S5File* file = OeffneS5Datei(path_.c_str());
        EXPECT_NE(file, nullptr);
        EXPECT_EQ(SchrBstDaten(file, &key, data.data()), 1);
        EXPECT_EQ(SchlS5Datei(file), 1);
        return ReadAll(path_);
    }

    ScratchDir dir_;
    std::filesystem::path path_ = dir_ / "TEST.QRF";
};

TEST_F(GoldenFile, NewFileIsTheTwoSectorRoot) {
    S5File* file = OeffneS5Datei(path_.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(SchlS5Datei(file), 1);
    EXPECT_EQ(ReadAll(path_), ExpectedRoot(2, 0));
}

TEST_F(GoldenFile, EmptyExistingFileGetsAFreshRoot) {
    WriteAll(path_, {});
    S5File* file = OeffneS5Datei(path_.c_str());
    ASSERT_NE(file, nullptr);
    SchlS5Datei(file);
    EXPECT_EQ(ReadAll(path_), ExpectedRoot(2, 0));
}

TEST_F(GoldenFile, BlockWithTenByteHeader) {
    BlockKey key = Key(1, 12, 20);
    key.headerByte4 = 0x11;
    key.headerMore[0] = 0x22;
    key.headerMore[1] = 0x33;
    key.headerMore[2] = 0x44;
    const std::vector<uint8_t> data = Pattern(20, 1);

    std::vector<uint8_t> expected = ExpectedRoot(5, 1);
    expected.resize(5 * 128, 0);
    PutLoneGroupEntry(expected, 1);
    PutGroupDirectory(expected, 1, 0x0101, 3);
    PutBytes(expected, 256 + 72, {12, 0x11, 0x22, 0x33, 0x44, 20, 0, 2, 0});
    PutBytes(expected, 512, {0x70, 0x70, 1, 12, 0x11, 0x22, 0x33, 0x44, 0x00, 10});
    std::copy(data.begin() + 10, data.end(), expected.begin() + 522);

    EXPECT_EQ(WriteOne(key, data), expected);
}

TEST_F(GoldenFile, BlockWithEightByteHeaderKeepsBytesTwoAndThree) {
    const BlockKey key = Key(13, 5, 21);  // FV 5, 21 bytes = 11 words
    const std::vector<uint8_t> data = Pattern(21, 2);

    std::vector<uint8_t> expected = ExpectedRoot(5, 1);
    expected.resize(5 * 128, 0);
    PutLoneGroupEntry(expected, 13);
    PutGroupDirectory(expected, 13, 0x0101, 3);
    PutBytes(expected, 256 + 72, {5, 0, 0, 0, 0, 21, 0, 2, 0});
    PutBytes(expected, 512, {13, 5, data[2], data[3], 0x00, 11, 0x00, 7});
    std::copy(data.begin() + 8, data.end(), expected.begin() + 520);

    EXPECT_EQ(WriteOne(key, data), expected);
}

TEST_F(GoldenFile, DocumentationBlockUnderGroup32WithoutHeader) {
    const BlockKey key = Key(8, 5, 130, 1);  // FBDO.005, two sectors
    const std::vector<uint8_t> data = Pattern(130, 3);

    std::vector<uint8_t> expected = ExpectedRoot(6, 1);
    expected.resize(6 * 128, 0);
    PutLoneGroupEntry(expected, 32);
    PutGroupDirectory(expected, 32, 1, 4);
    expected[256 + 72] = 0;
    PutText(expected, 256 + 73, "FBDO.005");
    PutBytes(expected, 256 + 81, {130, 0, 2, 0});
    std::copy(data.begin(), data.end(), expected.begin() + 512);

    EXPECT_EQ(WriteOne(key, data), expected);
}

TEST_F(GoldenFile, CallerDataIsNotChanged) {
    const BlockKey key = Key(2, 1, 12);
    const std::vector<uint8_t> data = Pattern(12, 4);
    const std::vector<uint8_t> copy = data;
    WriteOne(key, data);
    EXPECT_EQ(data, copy);
}

}  // namespace
}  // namespace vaultra::qrf::testing
