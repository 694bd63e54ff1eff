#include "app/s7_password.h"

#include <gtest/gtest.h>

namespace vaultra::app {
namespace {

using Bytes = std::array<uint8_t, 8>;

TEST(EncodeS7Password, FullPasswordMixesEveryByte) {
    EXPECT_EQ(EncodeS7Password(PasswordField("PASSWORD")),
              (Bytes{0x05, 0x14, 0x03, 0x12, 0x01, 0x08, 0x06, 0x19}));
}

TEST(EncodeS7Password, ShortPasswordIsPaddedWithZeros) {
    EXPECT_EQ(PasswordField("ABC"), (Bytes{'A', 'B', 'C', 0, 0, 0, 0, 0}));
    EXPECT_EQ(EncodeS7Password(PasswordField("ABC")),
              (Bytes{0x14, 0x17, 0x02, 0x42, 0x57, 0x17, 0x02, 0x42}));
}

TEST(EncodeS7Password, EmptyOrLeadingZeroGivesZeros) {
    EXPECT_EQ(EncodeS7Password(PasswordField("")), Bytes{});
    EXPECT_EQ(EncodeS7Password(Bytes{0, 'X', 'Y', 0, 0, 0, 0, 0}), Bytes{});
}

TEST(PasswordField, UsesWindows1252BytesAndCutsAtEight) {
    EXPECT_EQ(PasswordField("\xC3\xA4"
                            "bcdefghij"),
              (Bytes{0xE4, 'b', 'c', 'd', 'e', 'f', 'g', 'h'}));
}

}  // namespace
}  // namespace vaultra::app
