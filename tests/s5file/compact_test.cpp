// Compacting through the .BAK file: the blocks survive, and on any failure the original stays as it was.
#include <gtest/gtest.h>

#include <vaultra/qrf.h>

#include "s5file/program_file.h"
#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

class Compaction : public ::testing::Test {
protected:
    void SetUp() override {
        S5File* file = OeffneS5Datei(path_.c_str());
        ASSERT_NE(file, nullptr);
        unsigned seed = 1;
        for (uint8_t type : {16, 1, 8}) {
            for (uint8_t number : {9, 3, 5, 1}) {
                const BlockKey key = Key(type, number, static_cast<uint16_t>(number * 100 + type), 0);
                ASSERT_EQ(SchrBstDaten(file, &key, Pattern(key.length, seed++).data()), 1);
            }
        }
        const BlockKey doc = Key(8, 3, 77, 1);
        ASSERT_EQ(SchrBstDaten(file, &doc, Pattern(77, 99).data()), 1);
        const BlockKey gone = Key(1, 3);
        ASSERT_EQ(LoescheBst(file, &gone), 1);
        SchlS5Datei(file);
        original_ = ReadAll(path_);
    }

    // Block list and every block's bytes of a file.
    std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> Contents() {
        OpenResult opened = ProgramFile::Open(path_, ProgramFile::Mode::kReadExisting);
        EXPECT_TRUE(opened.file);
        std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> contents;
        for (BlockKey key : opened.file->BlockList()) {
            const auto* raw = reinterpret_cast<const uint8_t*>(&key);
            std::vector<uint8_t> sectors;
            EXPECT_EQ(opened.file->ReadBlock(key, sectors), Error::kNone);
            contents.emplace_back(std::vector<uint8_t>(raw, raw + sizeof key), sectors);
        }
        return contents;
    }

    ScratchDir dir_;
    std::filesystem::path path_ = dir_ / "ANLAGE.S5D";
    std::filesystem::path backup_ = dir_ / "ANLAGE.BAK";
    std::vector<uint8_t> original_;
};

TEST_F(Compaction, KeepsEveryBlockAndLeavesNoBackupBehind) {
    const auto before = Contents();
    ASSERT_EQ(before.size(), 12u);
    EXPECT_EQ(KomprimiereDatei(path_.c_str()), 1);
    EXPECT_EQ(Contents(), before);
    EXPECT_FALSE(std::filesystem::exists(backup_));
    EXPECT_EQ(ContiguityProblem(ReadAll(path_)), "");
}

TEST_F(Compaction, ReplacesAStaleBackup) {
    WriteAll(backup_, Pattern(1000, 5));
    EXPECT_EQ(KomprimiereDatei(path_.c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(backup_));
}

TEST_F(Compaction, BackupThatCannotBeReplacedLeavesTheOriginal) {
    std::filesystem::create_directories(backup_ / "busy");
    EXPECT_EQ(KomprimiereDatei(path_.c_str()), 0);
    EXPECT_EQ(ReadAll(path_), original_);
    EXPECT_TRUE(std::filesystem::is_directory(backup_ / "busy")) << "what was there is not ours to delete";
}

TEST_F(Compaction, DamagedOriginalIsLeftAsItWas) {
    auto damaged = original_;
    PutWord(damaged, 16, 7);
    WriteAll(path_, damaged);
    EXPECT_EQ(KomprimiereDatei(path_.c_str()), 0);
    EXPECT_EQ(ReadAll(path_), damaged);
    EXPECT_FALSE(std::filesystem::exists(backup_));
}

TEST_F(Compaction, DocumentationNameThatCannotBeRebuiltFailsInsteadOfLosingIt) {
    // A documentation entry under a name no block type yields ("XXDO.001") cannot be copied by key.
    auto bytes = original_;
    const std::string wanted = "FBDO.003";
    const auto at = std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end());
    ASSERT_NE(at, bytes.end());
    std::copy_n("XX", 2, at);
    WriteAll(path_, bytes);
    EXPECT_EQ(KomprimiereDatei(path_.c_str()), 0);
    EXPECT_EQ(ReadAll(path_), bytes);
}

TEST_F(Compaction, MissingFileOrBackupNameFails) {
    EXPECT_EQ(KomprimiereDatei((dir_ / "NONE.S5D").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "NONE.S5D"));
    std::filesystem::copy_file(path_, backup_);
    EXPECT_EQ(KomprimiereDatei(backup_.c_str()), 0) << "a .BAK file cannot be compacted through itself";
    EXPECT_EQ(ReadAll(backup_), original_);
    EXPECT_EQ(KomprimiereDatei(nullptr), 0);
}

}  // namespace
}  // namespace vaultra::qrf::testing
