// Damaged and hostile files: refused at open, or read and changed safely — never a crash, a loop or a
// write beyond the file's own sectors.
#include <gtest/gtest.h>

#include <random>

#include "s5file/program_file.h"
#include "s5file_test_support.h"
#include "tests/s5file/watched_store.h"

namespace vaultra::qrf::testing {
namespace {

OpenResult OpenBytes(std::vector<uint8_t> bytes) {
    return ProgramFile::Open(std::make_unique<MemoryStore>(std::move(bytes)), "X",
                             ProgramFile::Mode::kUpdateOrCreate);
}

// Root, DB group (DB 1, DB 2, DB 3 in a three-node tree), FB group (FB 7).
std::vector<uint8_t> SampleFile() {
    auto store = std::make_unique<MemoryStore>();
    MemoryStore* raw = store.get();
    OpenResult opened = ProgramFile::Open(std::move(store), "SAMPLE", ProgramFile::Mode::kUpdateOrCreate);
    EXPECT_TRUE(opened.file);
    for (uint8_t number : {2, 1, 3}) {
        EXPECT_EQ(opened.file->WriteBlock(Key(1, number, 200), Pattern(200, number)), Error::kNone);
    }
    EXPECT_EQ(opened.file->WriteBlock(Key(8, 7, 50), Pattern(50, 7)), Error::kNone);
    return raw->bytes();
}

constexpr size_t kFirstGroupEntry = 66;
constexpr size_t kDbDirectory = 2 * 128;  // the DB group was created first, right behind the root
constexpr size_t kDbFirstEntry = kDbDirectory + 66;

TEST(DamagedFile, SampleIsSound) {
    const auto bytes = SampleFile();
    EXPECT_EQ(ContiguityProblem(bytes), "");
    EXPECT_EQ(Word(bytes, kFirstGroupEntry + 17), 2) << "DB group at sector 2";
    EXPECT_TRUE(OpenBytes(bytes).file);
}

TEST(DamagedFile, RootCheckOfTheOpen) {
    auto blanks = SampleFile();
    std::fill(blanks.begin() + 2, blanks.begin() + 8, ' ');
    EXPECT_TRUE(OpenBytes(blanks).file) << "blanks in bytes 2-7 are accepted";

    auto text = SampleFile();
    text[5] = 'X';
    EXPECT_EQ(OpenBytes(text).error, Error::kNotAProgramFile);

    auto word16 = SampleFile();
    PutWord(word16, 16, 1);
    EXPECT_EQ(OpenBytes(word16).error, Error::kNotAProgramFile);
}

TEST(DamagedFile, SizesAndPointersBeyondTheFileAreRefused) {
    const auto sample = SampleFile();
    const uint16_t fileSectors = Word(sample, 20);
    struct Case {
        const char* what;
        size_t at;
        uint16_t value;
    };
    const Case cases[] = {
        {"file size beyond the stored bytes", 20, static_cast<uint16_t>(fileSectors + 1)},
        {"root size below two sectors", 18, 1},
        {"root size beyond the file", 18, static_cast<uint16_t>(fileSectors + 1)},
        {"more groups than the root holds", 22, 11},
        {"group directory beyond the end", kFirstGroupEntry + 17, static_cast<uint16_t>(fileSectors - 1)},
        {"group directory inside the root", kFirstGroupEntry + 17, 1},
        {"group directory size differs", kFirstGroupEntry + 15, 3},
        {"group area beyond the end", kDbDirectory + 20, 0x4000},
        {"group area smaller than its directory", kDbDirectory + 20, 1},
        {"more blocks than the directory holds", kDbDirectory + 22, 13},
        {"block inside the directory", kDbFirstEntry + 13, 1},
        {"block beyond its area", kDbFirstEntry + 13, 6},
        {"block length beyond its area", kDbFirstEntry + 11, 0xFFFF},
        {"blocks overlap", kDbFirstEntry + 15 + 13, 2},
        {"tree link out of range", kDbFirstEntry + 2, 9},
        {"two tree roots", kDbFirstEntry + 15, 0xFFFF},
        {"groups overlap", kFirstGroupEntry + 19 + 17, 3},
    };
    for (const Case& c : cases) {
        auto bytes = sample;
        PutWord(bytes, c.at, c.value);
        EXPECT_EQ(OpenBytes(bytes).error, Error::kNotAProgramFile) << c.what;
    }
}

TEST(DamagedFile, TreeCycleIsRefusedWithoutLooping) {
    auto bytes = SampleFile();
    // DB 2 is the root (entry 0) with children DB 1 (entry 1, left) and DB 3 (entry 2, right).
    ASSERT_EQ(bytes[kDbFirstEntry + 6], 2);
    // Make DB 3's right child the root and the root's parent DB 3: a cycle with consistent links.
    PutWord(bytes, kDbFirstEntry + 30 + 2, 0);
    PutWord(bytes, kDbFirstEntry + 0, 2);
    EXPECT_EQ(OpenBytes(bytes).error, Error::kNotAProgramFile);
}

TEST(DamagedFile, KeysOutOfOrderAreRefused) {
    auto bytes = SampleFile();
    bytes[kDbFirstEntry + 15 + 6] = 9;  // the left child DB 1 becomes DB 9
    EXPECT_EQ(OpenBytes(bytes).error, Error::kNotAProgramFile);
}

TEST(DamagedFile, TooShortFilesAreRefused) {
    for (size_t size : {1u, 100u, 255u}) {
        EXPECT_EQ(OpenBytes(std::vector<uint8_t>(size, 0)).error, Error::kNotAProgramFile) << size;
    }
    std::vector<uint8_t> zeros(4096, 0);
    EXPECT_EQ(OpenBytes(zeros).error, Error::kNotAProgramFile);
}

TEST(DamagedFile, TrailingBytesAreAcceptedAndCutAtTheNextChange) {
    auto bytes = SampleFile();
    const size_t size = bytes.size();
    bytes.resize(size + 300, 0xAA);
    auto store = std::make_unique<MemoryStore>(bytes);
    MemoryStore* raw = store.get();
    OpenResult opened = ProgramFile::Open(std::move(store), "X", ProgramFile::Mode::kUpdateOrCreate);
    ASSERT_TRUE(opened.file);
    ASSERT_EQ(opened.file->DeleteBlock(Key(8, 7)), Error::kNone);
    EXPECT_EQ(ContiguityProblem(raw->bytes()), "");
}

// Random corruption of the directories: whatever opens must list, read, write and delete without
// touching bytes beyond the file and must open again afterwards with the same blocks.
TEST(DamagedFile, DocumentationBlockWithAnUnreachableNameIsLeftOutAndCounted) {
    auto store = std::make_unique<MemoryStore>();
    MemoryStore* raw = store.get();
    OpenResult made = ProgramFile::Open(std::move(store), "DOCS", ProgramFile::Mode::kUpdateOrCreate);
    ASSERT_TRUE(made.file);
    ASSERT_EQ(made.file->WriteBlock(Key(4, 12, 100, 1), Pattern(100, 3)), Error::kNone);
    ASSERT_EQ(made.file->WriteBlock(Key(1, 5, 40), Pattern(40, 5)), Error::kNone);
    const std::vector<uint8_t> sound = raw->bytes();
    const std::string standard = "PBDO.012";
    const auto at = std::search(sound.begin(), sound.end(), standard.begin(), standard.end());
    ASSERT_NE(at, sound.end());

    for (const std::string odd : {"pbDO.012", "PBDO. 12", "XYDO.012", "PBDO.999", "PB   012"}) {
        SCOPED_TRACE(odd);
        auto bytes = sound;
        std::copy(odd.begin(), odd.end(), bytes.begin() + (at - sound.begin()));
        OpenResult opened = OpenBytes(bytes);
        ASSERT_TRUE(opened.file);
        size_t unlisted = 0;
        const auto list = opened.file->BlockList(&unlisted);
        EXPECT_EQ(unlisted, 1u);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].type, 1);
        // Whatever is listed can be read and deleted by the key it is listed under.
        BlockKey key = list[0];
        std::vector<uint8_t> sectors;
        EXPECT_EQ(opened.file->ReadBlock(key, sectors), Error::kNone);
        EXPECT_EQ(opened.file->DeleteBlock(list[0]), Error::kNone);
    }
    size_t unlisted = 7;
    EXPECT_EQ(OpenBytes(sound).file->BlockList(&unlisted).size(), 2u);
    EXPECT_EQ(unlisted, 0u);
}

TEST(DamagedFile, RandomCorruptionNeverEscapesTheFile) {
    const auto sample = SampleFile();
    const size_t directoryBytes = Word(sample, 20) * 128u;
    std::mt19937 random(20240601);
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        auto bytes = sample;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            bytes[random() % std::min<size_t>(directoryBytes, 3 * 128 + 128)] =
                static_cast<uint8_t>(random());
        }
        auto store = std::make_unique<WatchedStore>(bytes);
        WatchedStore* raw = store.get();
        OpenResult result = ProgramFile::Open(std::move(store), "X", ProgramFile::Mode::kUpdateOrCreate);
        if (!result.file) {
            continue;
        }
        ++opened;
        ProgramFile& file = *result.file;
        std::vector<uint8_t> sectors;
        for (BlockKey key : file.BlockList()) {
            file.ReadBlock(key, sectors);
        }
        file.WriteBlock(Key(1, 4, 300), Pattern(300, 1));
        // A write may grow the file by what it stores; a delete never writes beyond it.
        const uint64_t owned = std::max<uint64_t>(bytes.size(), file.root().fileSectors * 128u);
        ASSERT_LE(raw->furthestWrite, owned) << "round " << round;
        file.DeleteBlock(Key(1, 2));
        ASSERT_LE(raw->furthestWrite, owned) << "round " << round;
        const auto list = file.BlockList();
        OpenResult again = ProgramFile::Open(std::make_unique<MemoryStore>(raw->bytes()), "X",
                                             ProgramFile::Mode::kReadExisting);
        ASSERT_TRUE(again.file) << "round " << round;
        EXPECT_EQ(again.file->BlockList().size(), list.size()) << "round " << round;
    }
    EXPECT_GT(opened, 100) << "the corruption should leave some files acceptable";
}

}  // namespace
}  // namespace vaultra::qrf::testing
