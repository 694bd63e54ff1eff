#include "app/config_dialog.h"

#include <gtest/gtest.h>

namespace vaultra::app {
namespace {

TEST(ConfigDialog, ConfirmingUntouchedValuesOnlyResetsThePort) {
    StationSettings s;
    s.comPort = 3;
    s.backupDirectory = "/data/";
    s.retryMinutes = 15;
    s.stopPlc = 1;
    s.skipSystemBlocks = 0;
    s.noWriteBack = 0;
    s.adapterName = "eth0";
    ConnectionRecord record{};
    record.port = 200;
    const StationSettings before = s;
    const ConfigDialogValues v = OpenConfigDialog(s, "/opt/vaultra");
    EXPECT_EQ(v.portText, "COM3");
    EXPECT_EQ(ValidateConfigDialog(v), std::nullopt);
    ApplyConfigDialog(v, s, record);
    EXPECT_EQ(uint16_t{record.port}, 2);
    EXPECT_EQ(s.comPort, before.comPort);
    EXPECT_EQ(s.backupDirectory, before.backupDirectory);
    EXPECT_EQ(s.retryMinutes, before.retryMinutes);
    EXPECT_EQ(s.stopPlc, before.stopPlc);
    EXPECT_EQ(s.skipSystemBlocks, before.skipSystemBlocks);
    EXPECT_EQ(s.noWriteBack, before.noWriteBack);
    EXPECT_EQ(s.adapterName, before.adapterName);
}

TEST(ConfigDialog, EmptyDirectoryOffersTheProgramDirectory) {
    EXPECT_EQ(OpenConfigDialog({}, "/opt/vaultra").directory, "/opt/vaultra/");
    EXPECT_EQ(OpenConfigDialog({}, "/opt/vaultra/").directory, "/opt/vaultra/");
}

TEST(ConfigDialog, ChosenFolderGetsASeparatorButTypedTextDoesNot) {
    EXPECT_EQ(ChosenFolderText("/mnt/data"), "/mnt/data/");
    StationSettings s;
    ConnectionRecord record{};
    ConfigDialogValues v = OpenConfigDialog(s, "/x");
    v.directory = "/mnt/data";
    ApplyConfigDialog(v, s, record);
    EXPECT_EQ(s.backupDirectory, "/mnt/data");
}

TEST(ConfigDialog, PortTextAndRetryRange) {
    StationSettings s;
    ConnectionRecord record{};
    ConfigDialogValues v = OpenConfigDialog(s, "/x");
    v.portText = "COM12";
    v.retryMinutes = 0;
    EXPECT_EQ(ValidateConfigDialog(v),
              std::optional<std::string>("Geben Sie eine ganze Zahl zwischen 1 und 32767 ein."));
    v.retryMinutes = 32768;
    EXPECT_TRUE(ValidateConfigDialog(v).has_value());
    v.retryMinutes = 32767;
    EXPECT_EQ(ValidateConfigDialog(v), std::nullopt);
    ApplyConfigDialog(v, s, record);
    EXPECT_EQ(s.comPort, 12u);
    EXPECT_EQ(uint16_t{record.port}, 11);
    // No port chosen: comPort and the record stay.
    v.portText.clear();
    record.port = 77;
    ApplyConfigDialog(v, s, record);
    EXPECT_EQ(s.comPort, 12u);
    EXPECT_EQ(uint16_t{record.port}, 77);
}

}  // namespace
}  // namespace vaultra::app
