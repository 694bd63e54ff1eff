// The shared library's export list and the C entry points' handling of bad arguments.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

#include <vaultra/qrf.h>

#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

std::filesystem::path LibraryPath() {
    const char* binDir = std::getenv("VAULTRA_BIN_DIR");
    if (binDir != nullptr) {
        return std::filesystem::path(binDir) / "libQRF.so";
    }
    return std::filesystem::canonical("/proc/self/exe").parent_path() / "../bin/libQRF.so";
}

TEST(Exports, DynamicSymbolTableHoldsExactlyTheTwelveNames) {
    const std::string command = "nm -D --defined-only '" + LibraryPath().string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (fields >> address >> kind >> name) {
            names.insert(name);
        }
    }
    ASSERT_EQ(::pclose(pipe), 0) << command;
    const std::set<std::string> expected{"OeffneS5Datei",  "SchlS5Datei",  "LeseBuchhalter",
                                         "EntfBuchhalter", "BstZuName",    "NameZuBst",
                                         "BstKopfLng",     "LeseBstDaten", "EntfBstDaten",
                                         "SchrBstDaten",   "LoescheBst",   "KomprimiereDatei"};
    EXPECT_EQ(names, expected);
}

TEST(Exports, NullAndUnknownHandlesAreRefused) {
    BlockKey key = Key(1, 1, 4);
    uint16_t count = 7;
    const uint8_t data[4] = {};
    auto* stranger = reinterpret_cast<S5File*>(&key);
    EXPECT_EQ(LeseBuchhalter(nullptr, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(LeseBuchhalter(stranger, &count), nullptr);
    EXPECT_EQ(LeseBstDaten(stranger, &key), nullptr);
    EXPECT_EQ(SchrBstDaten(stranger, &key, data), 0);
    EXPECT_EQ(LoescheBst(nullptr, &key), 0);
    EXPECT_EQ(OeffneS5Datei(nullptr), nullptr);
    EXPECT_EQ(SchlS5Datei(nullptr), 1);
    EntfBuchhalter(nullptr);
    EntfBstDaten(nullptr);
}

TEST(Exports, SessionThroughTheCInterface) {
    ScratchDir dir;
    const auto path = dir / "C.S5D";
    S5File* file = OeffneS5Datei(path.c_str());
    ASSERT_NE(file, nullptr);

    uint16_t count = 99;
    BlockKey* list = LeseBuchhalter(file, &count);
    EXPECT_NE(list, nullptr) << "an empty file has an empty, readable list";
    EXPECT_EQ(count, 0);
    EntfBuchhalter(list);

    BlockKey key = Key(1, 12, 0);
    EXPECT_EQ(SchrBstDaten(file, &key, nullptr), 1) << "a block of length 0 needs no data";
    BlockKey absent = Key(1, 13);
    EXPECT_EQ(LeseBstDaten(file, &absent), nullptr);
    BlockKey lookup = Key(1, 12, 999);
    uint8_t* data = LeseBstDaten(file, &lookup);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(+lookup.length, 0);
    EXPECT_EQ(data[0], 0x70);
    EntfBstDaten(data);

    EXPECT_EQ(SchlS5Datei(file), 1);
    EXPECT_EQ(LeseBuchhalter(file, &count), nullptr) << "a closed handle is no longer accepted";
    EXPECT_EQ(SchlS5Datei(file), 1);
}

TEST(Exports, FileThatIsNoProgramFileIsNotOpened) {
    ScratchDir dir;
    const auto path = dir / "TEXT.S5D";
    std::vector<uint8_t> text(600, 'A');
    WriteAll(path, text);
    EXPECT_EQ(OeffneS5Datei(path.c_str()), nullptr);
    EXPECT_EQ(ReadAll(path), text);
}

}  // namespace
}  // namespace vaultra::qrf::testing
