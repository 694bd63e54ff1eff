#include "app/entry_dialog.h"

#include <gtest/gtest.h>

#include "app/schedule.h"
#include "berlin_time.h"

namespace vaultra::app {
namespace {

using Message = std::optional<std::string>;
const int64_t kNow = 1781000000;

TEST(EntryDialog, NewEntryDefaults) {
    const EntryDialogValues v;
    EXPECT_EQ(v.interfaceLabel, "S5 Direkt");
    EXPECT_EQ(v.kind, static_cast<int>(IntervalKind::Never));
    EXPECT_EQ(v.blockMode, 0);
    EXPECT_EQ(ValidateEntryDialog(v), std::nullopt);
    CElement e;
    ApplyEntryDialog(v, e, kNow);
    EXPECT_EQ(e.flags, static_cast<uint16_t>(IntervalKind::Never));
    EXPECT_EQ(e.blockList, " ");
    EXPECT_EQ(e.day, 255);
    EXPECT_EQ(e.nextBackup, 0u);
}

TEST(EntryDialog, ApplyFormsFlagsAddressAndScheduleAnew) {
    EntryDialogValues v;
    v.name = "Linie 1";
    v.interfaceLabel = "S7-LAN";
    v.address = "192.168.0.10:2:1";
    v.kind = static_cast<int>(IntervalKind::Weekly);
    v.weekday = "Fre";
    v.weeklyHour = 22;
    v.weeklyMinute = 15;
    v.blockMode = 1;
    v.blockList = "DB 001";
    v.triggerHours = 1;
    v.triggerMinutes = 2;
    v.triggerSeconds = 3;
    CElement e;
    e.flags = flag::kMarked | flag::kLastFailed | flag::kLastSucceeded;
    ApplyEntryDialog(v, e, kNow);
    EXPECT_EQ(e.flags, flag::kS7Lan | flag::kOnlyListed | static_cast<uint16_t>(IntervalKind::Weekly));
    EXPECT_EQ(e.address, (std::array<uint8_t, 6>{192, 168, 0, 10, 2, 1}));
    EXPECT_EQ(e.day, 6);
    EXPECT_EQ(e.hour, 22);
    EXPECT_EQ(e.minute, 15);
    EXPECT_EQ(e.triggerInterval, 3723u);
    EXPECT_EQ(e.blockList, "DB 001");
    EXPECT_NE(e.nextBackup, 0u);
}

TEST(EntryDialog, UnknownLabelIsTakenAsH1) {
    EntryDialogValues v;
    v.interfaceLabel = "S9";
    v.address = "aabbccddeeff";
    CElement e;
    ApplyEntryDialog(v, e, kNow);
    EXPECT_EQ(e.flags & flag::kInterfaceMask, flag::kS5H1);
}

TEST(EntryDialog, ChangeRoundTripKeepsEveryFieldAndTheWeekday) {
    CElement e;
    e.name = "Presse";
    e.password = "pw";
    e.fileName = "PRESSE.S7P";
    e.flags = flag::kS7Mpi | static_cast<uint16_t>(IntervalKind::Weekly) | flag::kOnlyListed;
    e.address = {2, 3, 0, 0, 0, 0};
    e.day = 3;
    e.hour = 4;
    e.minute = 5;
    e.triggerInterval = 7384;
    e.blockList = "OB";
    e.backupBit = "M1.0";
    const EntryDialogValues v = DialogValuesFromEntry(e);
    EXPECT_EQ(v.interfaceLabel, "S7 MPI-Bus");
    EXPECT_EQ(v.address, "002:3");
    EXPECT_EQ(v.weekday, "Die");
    EXPECT_EQ(v.triggerHours, 2);
    EXPECT_EQ(v.triggerMinutes, 3);
    EXPECT_EQ(v.triggerSeconds, 4);
    EXPECT_EQ(ValidateEntryDialog(v), std::nullopt);
    CElement changed = e;
    ApplyEntryDialog(v, changed, kNow);
    EXPECT_EQ(changed.flags, e.flags);
    EXPECT_EQ(changed.address, e.address);
    EXPECT_EQ(changed.day, 3);
    EXPECT_EQ(changed.triggerInterval, 7384u);
    EXPECT_EQ(changed.blockList, "OB");
}

TEST(EntryDialog, TriggerOnlyForS7) {
    EntryDialogValues v;  // "S5 Direkt", kind "nie"
    EXPECT_EQ(ChooseIntervalKind(v, 5), Message(kTriggerOnlyS7));
    EXPECT_EQ(v.kind, 4);
    EXPECT_EQ(ChooseInterface(v, "S7-RFC1006"), std::nullopt);
    EXPECT_EQ(ChooseIntervalKind(v, 5), std::nullopt);
    EXPECT_EQ(v.kind, 5);
    EXPECT_EQ(ChooseInterface(v, "S5-LAN"), Message(kTriggerOnlyS7));
    EXPECT_EQ(v.kind, 4);
    EXPECT_EQ(v.interfaceLabel, "S5-LAN");
    v.kind = 5;
    EXPECT_EQ(ValidateEntryDialog(v), Message(kTriggerOnlyS7));
}

TEST(EntryDialog, FileNamesLoseTheirDirectoryAndGetTheFamilyExtension) {
    EXPECT_EQ(NormaliseFileName("S7-LAN", "C:\\daten\\anlage1.txt"), "anlage1.S7P");
    EXPECT_EQ(NormaliseFileName("S7-LAN", "anlage1.s7p"), "anlage1.S7P");
    EXPECT_EQ(NormaliseFileName("S5 Direkt", ""), ".QRF");
    EXPECT_EQ(NormaliseFileName("S5 H1-Bus", "/srv/x/prog"), "prog.QRF");
    EXPECT_EQ(NormaliseFileName("S7 MPI-Bus", "D:anlage.S7P"), "anlage.S7P");
    EXPECT_EQ(NormaliseFileName("S5-LAN", "alt.QRFX"), "alt.QRFX");  // first four characters already right
    EXPECT_EQ(NormaliseFileName("S7-RFC1006", "a.b.c"), "a.b.S7P");
}

TEST(EntryDialog, LeavingFieldsNormalisesOrRefuses) {
    EntryDialogValues v;
    v.blockList = "db1 fb 22";
    LeaveBlockListField(v);
    EXPECT_EQ(v.blockList, "DB 001,FB 022");
    v.backupBit = "m10.3";
    EXPECT_EQ(LeaveBackupBitField(v), std::nullopt);
    EXPECT_EQ(v.backupBit, "M10.3");
    v.restoreBit = "x1.0";
    EXPECT_TRUE(LeaveRestoreBitField(v).has_value());
    EXPECT_EQ(v.restoreBit, "x1.0");
    v.nameOperand = "p#db10.dbx4.0";
    EXPECT_EQ(LeaveNameOperandField(v), std::nullopt);
    EXPECT_EQ(v.nameOperand, "DB10.DBB4");
    v.interfaceLabel = "S5 H1-Bus";
    v.address = "aabbccddeef";
    EXPECT_TRUE(LeaveAddressField(v).has_value());
}

TEST(EntryDialog, ConfirmRefusesOutOfRangeNumbers) {
    EntryDialogValues v;
    v.kind = 1;
    v.dailyHour = 24;
    EXPECT_EQ(ValidateEntryDialog(v), Message("Geben Sie eine ganze Zahl zwischen 0 und 23 ein."));
    v.dailyHour = 23;
    v.triggerHours = 169;
    EXPECT_EQ(ValidateEntryDialog(v), Message("Geben Sie eine ganze Zahl zwischen 0 und 168 ein."));
    v.triggerHours = 168;
    v.triggerMinutes = 60;
    v.triggerSeconds = 60;
    EXPECT_EQ(ValidateEntryDialog(v), std::nullopt);
}

TEST(EntryDialog, ConfirmRefusesTextsTheFileCannotHold) {
    EntryDialogValues v;
    v.name = std::string(41, 'n');
    EXPECT_EQ(ValidateEntryDialog(v), Message("Geben Sie nicht mehr als 40 Zeichen ein."));
    v.name = std::string(38, 'n') + "\xC3\xA4\xC3\xB6";  // 40 characters, 42 bytes of UTF-8
    EXPECT_EQ(ValidateEntryDialog(v), std::nullopt);
    v.password = "pass\xE2\x9C\x93";
    EXPECT_EQ(ValidateEntryDialog(v),
              Message("Das Zeichen \"\xE2\x9C\x93\" kann im Sicherungssatz nicht gespeichert werden!"));
    v.password = "a\nb";
    EXPECT_TRUE(ValidateEntryDialog(v).has_value());
}

TEST(EntryDialog, ConfirmRefusesMonthlyDayZeroAndWeeklyWithoutWeekday) {
    EntryDialogValues v;
    v.kind = static_cast<int>(IntervalKind::Monthly);
    EXPECT_EQ(ValidateEntryDialog(v), Message(kNoDayOfMonth));
    v.monthlyDay = 31;
    EXPECT_EQ(ValidateEntryDialog(v), std::nullopt);
    v.kind = static_cast<int>(IntervalKind::Weekly);
    EXPECT_EQ(ValidateEntryDialog(v), Message(kNoWeekday));
    v.weekday = "---";
    EXPECT_EQ(ValidateEntryDialog(v), Message(kNoWeekday));
    v.weekday = "Sam";
    EXPECT_EQ(ValidateEntryDialog(v), std::nullopt);
}

}  // namespace
}  // namespace vaultra::app
