#include "app/list_line.h"

#include <gtest/gtest.h>

#include "app/schedule.h"
#include "berlin_time.h"

namespace vaultra::app {
namespace {

CElement WithInterface(uint16_t bit, std::array<uint8_t, 6> address, std::string password = "") {
    CElement e;
    e.flags = bit | static_cast<uint16_t>(IntervalKind::Never);
    e.address = address;
    e.password = std::move(password);
    return e;
}

TEST(ListLine, AddressTextsPerInterface) {
    EXPECT_EQ(AddressListText(WithInterface(0, {})), "S5 :        ");
    EXPECT_EQ(AddressListText(WithInterface(flag::kS5H1, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F})),
              "H1 :AABBCCDDEE0F");
    EXPECT_EQ(AddressListText(WithInterface(flag::kS7Mpi, {2, 0})), "MPI: 002");
    EXPECT_EQ(AddressListText(WithInterface(flag::kS7Mpi, {2, 3})), "MPI: 002 (Slot 3)");
    EXPECT_EQ(AddressListText(WithInterface(flag::kS5Lan, {10, 0, 0, 5})), "LAN: 10.0.0.5");
    EXPECT_EQ(AddressListText(WithInterface(flag::kS7Lan, {192, 168, 0, 10, 2, 0})),
              "LAN: 192.168.0.10 - MPI: 002");
    EXPECT_EQ(AddressListText(WithInterface(flag::kS7Lan, {192, 168, 0, 10, 2, 1})),
              "LAN: 192.168.0.10 - MPI: 002 (Slot 1)");
    EXPECT_EQ(AddressListText(WithInterface(flag::kS7Rfc1006, {10, 0, 0, 1, 2})), "LAN: 10.0.0.1 (Slot 2)");
    // Any combination of interface bits is shown like H1.
    EXPECT_EQ(AddressListText(WithInterface(flag::kS7Mpi | flag::kS5Lan, {1, 2, 3, 4, 5, 6})),
              "H1 :010203040506");
}

TEST(ListLine, PasswordTextsPerInterface) {
    EXPECT_EQ(PasswordListText(WithInterface(0, {}, "secret12")), "      ");
    EXPECT_EQ(PasswordListText(WithInterface(flag::kS5H1, {}, "secret12")), "secret");
    EXPECT_EQ(PasswordListText(WithInterface(flag::kS5Lan, {}, "secret12")), "");
    EXPECT_EQ(PasswordListText(WithInterface(flag::kS7Lan, {}, "secret12")), "secret12");
    EXPECT_EQ(PasswordListText(WithInterface(flag::kS7Mpi, {}, std::string("ab\0cd", 5))), "ab");
}

TEST(ListLine, LineHasTheSixColumnsWithTheirWidths) {
    testing::UseBerlinTime();
    StationSettings s;
    s.backupDirectory = "/data/";
    CElement e = WithInterface(flag::kS7Mpi, {2, 0}, "pw");
    e.name = "K\xC3\xBChlhaus";
    e.fileName = "KH.S7P";
    e.SetIntervalKind(IntervalKind::Daily);
    e.hour = 6;
    e.minute = 0;
    e.nextBackup = static_cast<uint32_t>(testing::Berlin(2026, 6, 11, 6, 0));
    const std::string expected =
        "K\xC3\xBChlhaus" + std::string(22, ' ') + "\tMPI: 002" + std::string(36, ' ') +
        "\tpw      \tT\xC3\xA4glich um  06:00   \t11.06.2026 06:00:00 \t/data/KH.S7P" + std::string(68, ' ');
    EXPECT_EQ(ListLine(e, s), expected);
}

TEST(ListLine, NeverAndUndefinedKindsShowNoNextTime) {
    CElement e = WithInterface(0, {});
    EXPECT_EQ(NextBackupText(e), std::string(19, ' '));
    e.flags = 0x000E;
    e.nextBackup = 12345;
    EXPECT_EQ(NextBackupText(e), std::string(19, ' '));
}

TEST(ListLine, LongColumnsAreCut) {
    StationSettings s;
    CElement e = WithInterface(0, {});
    e.name = std::string(40, 'x');
    const std::string line = ListLine(e, s);
    EXPECT_EQ(line.substr(0, 31), std::string(30, 'x') + "\t");
}

TEST(ListLine, ClicksHitEntriesFromTheThirdRowOn) {
    EXPECT_EQ(HitEntry(5, 16, 3), std::nullopt);   // blank row
    EXPECT_EQ(HitEntry(20, 16, 3), std::nullopt);  // header
    EXPECT_EQ(HitEntry(32, 16, 3), std::optional<size_t>(0));
    EXPECT_EQ(HitEntry(4 * 16 + 15, 16, 3), std::optional<size_t>(2));
    EXPECT_EQ(HitEntry(5 * 16, 16, 3), std::nullopt);  // below the last entry
    EXPECT_EQ(HitEntry(40, 16, 0), std::nullopt);
    EXPECT_EQ(HitEntry(40, 0, 3), std::nullopt);
}

TEST(ListLine, ColoursFollowMarkAndResult) {
    CElement e;
    EXPECT_EQ(EntryLineColours(e).text, (Rgb{0, 0, 128}));
    EXPECT_EQ(EntryLineColours(e).background, (Rgb{255, 255, 255}));
    e.Set(flag::kLastFailed, true);
    EXPECT_EQ(EntryLineColours(e).text, (Rgb{255, 64, 64}));
    e.Set(flag::kLastSucceeded, true);
    EXPECT_EQ(EntryLineColours(e).text, (Rgb{0, 0, 128}));
    e.Set(flag::kLastFailed, false);
    e.Set(flag::kMarked, true);
    EXPECT_EQ(EntryLineColours(e).text, (Rgb{64, 128, 64}));
    EXPECT_EQ(EntryLineColours(e).background, (Rgb{128, 128, 128}));
}

}  // namespace
}  // namespace vaultra::app
