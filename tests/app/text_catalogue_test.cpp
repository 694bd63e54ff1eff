#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "app/text_catalogue.h"
#include "app/text_catalogue_en.h"

namespace vaultra::app {
namespace {

// The printf conversions of a format string in order ("%-3.3s %05d" gives "sd"); "%%" is no conversion.
std::string Conversions(std::string_view text) {
    std::string kinds;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            continue;
        }
        std::size_t j = i + 1;
        while (j < text.size() &&
               std::string_view("-+ #0123456789.zlh").find(text[j]) != std::string_view::npos) {
            ++j;
        }
        if (j < text.size() && text[j] != '%') {
            kinds += text[j];
        }
        i = j;
    }
    return kinds;
}

TEST(TextCatalogue, EachGermanTextOnceAndEveryEnglishFormKeepsItsConversions) {
    std::set<std::string_view> seen;
    for (const auto& [german, english] : kEnglishTexts) {
        EXPECT_TRUE(seen.insert(german).second) << "twice in the catalogue: " << german;
        // A format string whose English form takes other arguments would read the wrong ones.
        EXPECT_EQ(Conversions(german), Conversions(english)) << german;
    }
}

TEST(TextCatalogue, EnglishOnlyWhenChosenAndUnknownTextsPassThrough) {
    EXPECT_STREQ(Tr("AG gestartet"), "AG gestartet");
    SetLanguage(Language::English);
    EXPECT_STREQ(Tr("AG gestartet"), "PLC started");
    EXPECT_STREQ(Tr("kein Katalogtext"), "kein Katalogtext");
    SetLanguage(Language::German);
    EXPECT_STREQ(Tr("AG gestartet"), "AG gestartet");
}

}  // namespace
}  // namespace vaultra::app
