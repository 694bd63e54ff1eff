#include "app/address.h"

#include <gtest/gtest.h>

namespace vaultra::app {
namespace {

const Address kZero{};

TEST(AddressText, EditFormsPerInterface) {
    EXPECT_EQ(AddressEditText(InterfaceKind::S5Direct, {1, 2, 3, 4, 5, 6}), " ");
    EXPECT_EQ(AddressEditText(InterfaceKind::S5H1, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F}), "aabbccddee0f");
    EXPECT_EQ(AddressEditText(InterfaceKind::S7Mpi, {2, 0, 0, 0, 0, 0}), "002");
    EXPECT_EQ(AddressEditText(InterfaceKind::S7Mpi, {2, 3, 0, 0, 0, 0}), "002:3");
    EXPECT_EQ(AddressEditText(InterfaceKind::S5Lan, {192, 168, 0, 10, 0, 0}), "192.168.0.10");
    EXPECT_EQ(AddressEditText(InterfaceKind::S7Lan, {192, 168, 0, 10, 2, 0}), "192.168.0.10:002");
    EXPECT_EQ(AddressEditText(InterfaceKind::S7Lan, {192, 168, 0, 10, 2, 4}), "192.168.0.10:002:4");
    EXPECT_EQ(AddressEditText(InterfaceKind::S7Rfc1006, {10, 0, 0, 1, 0, 0}), "10.0.0.1");
    EXPECT_EQ(AddressEditText(InterfaceKind::S7Rfc1006, {10, 0, 0, 1, 2, 0}), "10.0.0.1:2");
}

TEST(AddressText, EditFormsParseBackToTheSameBytes) {
    const std::pair<InterfaceKind, Address> cases[] = {
        {InterfaceKind::S5H1, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F}},
        {InterfaceKind::S7Mpi, {2, 3, 0, 0, 0, 0}},
        {InterfaceKind::S5Lan, {192, 168, 0, 10, 0, 0}},
        {InterfaceKind::S7Lan, {192, 168, 0, 10, 2, 4}},
        {InterfaceKind::S7Rfc1006, {10, 0, 0, 1, 2, 0}},
    };
    for (const auto& [kind, bytes] : cases) {
        EXPECT_EQ(ParseAddressText(kind, AddressEditText(kind, bytes), kZero), bytes)
            << static_cast<int>(kind);
    }
}

TEST(AddressText, ParsingFollowsTheScanRules) {
    // S5 direct is not parsed: the address stays as it was.
    EXPECT_EQ(ParseAddressText(InterfaceKind::S5Direct, "1.2.3.4", {9, 9, 9, 9, 9, 9}),
              (Address{9, 9, 9, 9, 9, 9}));
    // Each decimal part keeps its low byte; parts that are not there are 0.
    EXPECT_EQ(ParseAddressText(InterfaceKind::S5Lan, "300.1", kZero), (Address{44, 1, 0, 0, 0, 0}));
    EXPECT_EQ(ParseAddressText(InterfaceKind::S7Mpi, "2:12", kZero), (Address{2, 12, 0, 0, 0, 0}));
    // The MPI field is three characters wide: "1234" is 123 and no slot.
    EXPECT_EQ(ParseAddressText(InterfaceKind::S7Mpi, "1234:5", kZero), (Address{123, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ParseAddressText(InterfaceKind::S7Lan, "10.0.0.9", {7, 7, 7, 7, 7, 7}),
              (Address{10, 0, 0, 9, 0, 0}));
}

TEST(AddressCheck, EthernetAddresses) {
    EXPECT_EQ(CheckAddressText(InterfaceKind::S5Lan, "192.168.0.10"), std::nullopt);
    EXPECT_EQ(CheckAddressText(InterfaceKind::S5Lan, ""), std::nullopt);
    for (const char* bad :
         {"192.168.0", "192.168.0.256", "255.255.255.255", "a.b.c.d", "1.2.3.4:5", "1..2.3"}) {
        EXPECT_EQ(CheckAddressText(InterfaceKind::S5Lan, bad),
                  std::optional<std::string>(kInvalidEthernetAddress))
            << bad;
    }
    EXPECT_EQ(CheckAddressText(InterfaceKind::S7Lan, "10.0.0.5:002:1"), std::nullopt);
    EXPECT_EQ(CheckAddressText(InterfaceKind::S7Rfc1006, "10.0.0.5:1"), std::nullopt);
    EXPECT_EQ(CheckAddressText(InterfaceKind::S7Rfc1006, "10.0.0:1"),
              std::optional<std::string>(kInvalidEthernetAddress));
}

TEST(AddressCheck, H1AddressesNeedTwelveHexDigits) {
    EXPECT_EQ(CheckAddressText(InterfaceKind::S5H1, "aabbccddeeff"), std::nullopt);
    EXPECT_EQ(CheckAddressText(InterfaceKind::S5H1, "aabbccddeef"),
              std::optional<std::string>(kWrongH1Length));
    EXPECT_EQ(CheckAddressText(InterfaceKind::S5H1, "aabbccddeefg"), std::optional<std::string>(kH1NotHex));
    EXPECT_EQ(kWrongH1Length,
              std::string("Anzahl der Zeichen ist falsch, bitte geben Sie genau 12 Zeichen ein"));
}

TEST(AddressCheck, DirectAndMpiAreNotChecked) {
    EXPECT_EQ(CheckAddressText(InterfaceKind::S5Direct, "anything"), std::nullopt);
    EXPECT_EQ(CheckAddressText(InterfaceKind::S7Mpi, "x"), std::nullopt);
}

}  // namespace
}  // namespace vaultra::app
