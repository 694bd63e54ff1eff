#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace vaultra::platform {
namespace {

TEST(Cp1252, EveryByteSurvivesARoundTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const auto back = Utf8ToCp1252(Cp1252ToUtf8(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
}

TEST(Cp1252, MapsTheSpecialRangeAndLatin1) {
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9F\xE4\xDF"), "\xE2\x82\xAC\xC5\xB8\xC3\xA4\xC3\x9F");  // € Ÿ ä ß
    EXPECT_EQ(Utf8ToCp1252("Gr\xC3\xBC\xC3\x9F"
                           "e"),
              std::optional<std::string>("Gr\xFC\xDF"
                                         "e"));
}

TEST(Cp1252, RefusesCharactersWithoutAForm) {
    EXPECT_FALSE(Utf8ToCp1252("\xE2\x9C\x93").has_value());  // check mark
    EXPECT_FALSE(Utf8ToCp1252("\xC3").has_value());          // cut sequence
    EXPECT_EQ(Utf8ToCp1252Lossy("a\xE2\x9C\x93z"), "a?z");
    EXPECT_EQ(FirstUnencodableCharacter("ok \xE2\x9C\x93 x"), std::optional<std::string>("\xE2\x9C\x93"));
    EXPECT_EQ(FirstUnencodableCharacter("\xC3\xA4"), std::nullopt);
}

TEST(Cp1252, CountsAndCutsByCharacters) {
    EXPECT_EQ(Utf8Length("T\xC3\xA4glich"), 7u);
    EXPECT_EQ(Utf8Prefix("\xC3\xA4\xC3\xB6\xC3\xBC", 2), "\xC3\xA4\xC3\xB6");
    EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
}

}  // namespace
}  // namespace vaultra::platform
