// `vaultra-cli inspect` on S5 program files.
#include <gtest/gtest.h>

#include <sstream>

#include "app/text_catalogue.h"
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
    EXPECT_NE(text.find(": 2 Bausteine, "), std::string::npos) << text;
    EXPECT_NE(text.find("\nBaustein  Typ   Nummer  L\xC3\xA4nge   Kopf\n"), std::string::npos) << text;
    EXPECT_NE(text.find("DB   012     1      12      64  0A 00 00 F1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("FBDO.005     8       5       3  00 00 00 00\n"), std::string::npos) << text;
}

TEST(InspectS5, MissingFileAndForeignFileGiveStatusTwoAndAMessage) {
    ScratchDir dir;
    std::ostringstream out, err;
    EXPECT_EQ(cli::InspectS5File(dir / "NONE.S5D", out, err), 2);
    EXPECT_NE(err.str().find("Datei nicht gefunden"), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir / "NONE.S5D")) << "inspecting never creates a file";

    const auto foreign = dir / "NOTES.TXT";
    WriteAll(foreign, std::vector<uint8_t>(512, 'x'));
    std::ostringstream err2;
    EXPECT_EQ(cli::InspectS5File(foreign, out, err2), 2);
    EXPECT_NE(err2.str().find("keine S5-Programmdatei"), std::string::npos) << err2.str();
    EXPECT_EQ(out.str(), "");
}

// Restores the station's default language when a test switched it.
struct English {
    English() { app::SetLanguage(app::Language::English); }
    ~English() { app::SetLanguage(app::Language::German); }
};

TEST(InspectS5, DamagedFileListsWhatItCanAndGivesStatusOneInEitherLanguage) {
    ScratchDir dir;
    const auto path = dir / "DOCS.S5D";
    {
        auto file = ProgramFile::Open(path, ProgramFile::Mode::kUpdateOrCreate).file;
        ASSERT_TRUE(file);
        ASSERT_EQ(file->WriteBlock(Key(4, 12, 100, 1), Pattern(100, 3)), Error::kNone);
        ASSERT_EQ(file->WriteBlock(Key(1, 5, 40), Pattern(40, 5)), Error::kNone);
    }
    // The documentation block's name is damaged: its directory entry no longer leads to it.
    auto bytes = ReadAll(path);
    const std::string standard = "PBDO.012";
    const auto at = std::search(bytes.begin(), bytes.end(), standard.begin(), standard.end());
    ASSERT_NE(at, bytes.end());
    std::copy_n("XYDO.012", 8, at);
    WriteAll(path, bytes);

    std::ostringstream out, err;
    EXPECT_EQ(cli::InspectS5File(path, out, err), 1);
    EXPECT_NE(out.str().find(": 1 Bausteine, "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("DB   005"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("1 Dokumentationsbausteine mit besch\xC3\xA4"
                             "digtem Namen ausgelassen"),
              std::string::npos)
        << err.str();

    const English english;
    std::ostringstream outEn, errEn;
    EXPECT_EQ(cli::InspectS5File(path, outEn, errEn), 1);
    EXPECT_NE(outEn.str().find("S5 program file "), std::string::npos) << outEn.str();
    EXPECT_NE(outEn.str().find("\nBlock     Type  Number  Length  Header\n"), std::string::npos)
        << outEn.str();
    EXPECT_NE(errEn.str().find("1 documentation block(s) with a damaged name left out"), std::string::npos)
        << errEn.str();
    std::ostringstream missing;
    EXPECT_EQ(cli::InspectS5File(dir / "NONE.S5D", outEn, missing), 2);
    EXPECT_NE(missing.str().find("file not found"), std::string::npos) << missing.str();
}

}  // namespace
}  // namespace vaultra::qrf::testing
