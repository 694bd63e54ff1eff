// Block names, header lengths and stored headers, through the library's exports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <vaultra/qrf.h>

#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

const BlockKey* ptr(const BlockKey& key) {
    return &key;
}

std::string NameOf(const BlockKey& key) {
    char text[16];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(BstZuName(&key, text), text);
    EXPECT_EQ(text[8], '\0') << "the name is 8 characters and a terminating zero";
    return text;
}

TEST(BlockName, FollowsTypeNameBlanksAndThreeDigits) {
    EXPECT_EQ(NameOf(Key(1, 12)), "DB   012");
    EXPECT_EQ(NameOf(Key(10, 255)), "FVX  255");
    EXPECT_EQ(NameOf(Key(16, 0)), "OB   000");
    EXPECT_EQ(NameOf(Key(8, 5, 0, 1)), "FBDO.005");
    EXPECT_EQ(NameOf(Key(12, 40, 0, 1)), "DXDO.040");
    EXPECT_EQ(NameOf(Key(3, 7)), "     007") << "a code without a name gives no type letters";
}

TEST(BlockName, NeverWritesPastNineBytesForThreeLetterDocumentation) {
    EXPECT_EQ(NameOf(Key(17, 123, 0, 1)), "DVXDO.12");
}

struct Parsed {
    int result;
    BlockKey key;
};

Parsed Parse(const char* text) {
    Parsed parsed{0, Key(0xEE, 0xEE, 0xEEEE, 0xEE)};
    parsed.result = NameZuBst(text, &parsed.key);
    return parsed;
}

TEST(NameToBlock, AcceptsLowerCaseBlanksAndDocumentationMark) {
    const Parsed db = Parse("db 12");
    EXPECT_EQ(db.result, 1);
    EXPECT_EQ(db.key.type, 1);
    EXPECT_EQ(db.key.number, 12);
    EXPECT_EQ(db.key.documentation, 0);

    const Parsed doc = Parse("FBDO.7");
    EXPECT_EQ(doc.result, 1);
    EXPECT_EQ(doc.key.type, 8);
    EXPECT_EQ(doc.key.number, 7);
    EXPECT_EQ(doc.key.documentation, 1);

    const Parsed threeLetters = Parse(" fvx 0 ");
    EXPECT_EQ(threeLetters.result, 1);
    EXPECT_EQ(threeLetters.key.type, 10) << "FVX, not FV";
    EXPECT_EQ(threeLetters.key.number, 0);

    EXPECT_EQ(Parse("DKX255").key.type, 92);
    EXPECT_EQ(Parse("sbdo.001").key.documentation, 1);
}

TEST(NameToBlock, RoundTripsEveryName) {
    for (uint8_t type : {1, 2, 4, 5, 6, 8, 10, 12, 13, 16, 17, 33, 49, 65, 81, 90, 91, 92}) {
        const Parsed parsed = Parse(NameOf(Key(type, 201)).c_str());
        EXPECT_EQ(parsed.result, 1) << int{type};
        EXPECT_EQ(parsed.key.type, type);
        EXPECT_EQ(parsed.key.number, 201);
    }
}

TEST(NameToBlock, RefusesUnknownTypesMissingOrLargeNumbersAndLeavesTheKey) {
    for (const char* text : {"XY1", "DB", "DB256", "DB12X", "", "12", "DXDO.5", "DBDO5", "FB-1"}) {
        const Parsed parsed = Parse(text);
        EXPECT_EQ(parsed.result, 0) << text;
        EXPECT_EQ(parsed.key.type, 0xEE) << text;
    }
    EXPECT_EQ(NameZuBst(nullptr, nullptr), 0);
}

TEST(HeaderLength, DependsOnTypeAndDocumentationFlag) {
    for (uint8_t type : {1, 2, 4, 5, 8, 12, 16, 33, 49, 65, 81, 90, 91, 92}) {
        EXPECT_EQ(BstKopfLng(ptr(Key(type, 1))), 10) << int{type};
    }
    for (uint8_t type : {6, 10, 13, 17}) {
        EXPECT_EQ(BstKopfLng(ptr(Key(type, 1))), 8) << int{type};
    }
    EXPECT_EQ(BstKopfLng(ptr(Key(1, 1, 0, 1))), 0);
}

}  // namespace
}  // namespace vaultra::qrf::testing
