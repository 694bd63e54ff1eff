// `vaultra-cli inspect` on S5 program files.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/inspect.h"
#include "s5file/program_file.h"
#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

TEST(InspectS5, ListsNameTypeNumberLengthAndHeaderBytes) {
    ScratchDir dir;
    const auto path = dir / "PLANT.S5D";
    {
        auto file = ProgramFile::Open(path, ProgramFile::Mode::kUpdateOrCreate).file;
        ASSERT_TRUE(file);
        BlockKey key = Key(1, 12, 64);
        key.headerByte4 = 0x0A;
        key.headerMore[2] = 0xF1;
        ASSERT_EQ(file->WriteBlock(key, Pattern(64, 1)), Error::kNone);
        ASSERT_EQ(file->WriteBlock(Key(8, 5, 3, 1), Pattern(3, 2)), Error::kNone);
    }
    std::ostringstream out, err;
    EXPECT_EQ(cli::InspectS5File(path, out, err), 0);
    EXPECT_EQ(err.str(), "");
    const std::string text = out.str();
    EXPECT_NE(text.find("2 blocks"), std::string::npos) << text;
    EXPECT_NE(text.find("DB   012     1      12      64  0A 00 00 F1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("FBDO.005     8       5       3  00 00 00 00\n"), std::string::npos) << text;
}

TEST(InspectS5, MissingFileAndForeignFileGiveStatusTwoAndAMessage) {
    ScratchDir dir;
    std::ostringstream out, err;
    EXPECT_EQ(cli::InspectS5File(dir / "NONE.S5D", out, err), 2);
    EXPECT_NE(err.str().find("file not found"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "NONE.S5D")) << "inspecting never creates a file";

    const auto foreign = dir / "NOTES.TXT";
    WriteAll(foreign, std::vector<uint8_t>(512, 'x'));
    std::ostringstream err2;
    EXPECT_EQ(cli::InspectS5File(foreign, out, err2), 2);
    EXPECT_NE(err2.str().find("not an S5 program file"), std::string::npos);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace vaultra::qrf::testing
