// Pictures of the main window and the dialogs in both languages, written into the build tree for a look.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "app/config_dialog.h"
#include "app/entry_dialog.h"
#include "shell/config_dialog_window.h"
#include "shell/entry_dialog_window.h"
#include "shell/main_window.h"
#include "tests/shell/shell_test_support.h"

namespace vaultra::shell {
namespace {

using namespace testing;
namespace fs = std::filesystem;

bool Contains(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) {
                return true;
            }
        }
    }
    return false;
}

QImage Save(QWidget* widget, const std::string& name) {
    fs::create_directories(SHELL_SCREENSHOT_DIR);
    const QPixmap picture = widget->grab();
    const QString path = QString::fromStdString((fs::path(SHELL_SCREENSHOT_DIR) / (name + ".png")).string());
    EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
    return picture.toImage();
}

class Screenshots : public ::testing::TestWithParam<int> {
protected:
    std::string Suffix() const { return GetParam() == kGerman ? "_de" : "_en"; }
};

TEST_P(Screenshots, MainWindowWithSixEntries) {
    ShellFixture f;
    f.StoreLanguage(GetParam());
    std::vector<app::CElement> entries;
    const char* names[] = {"Presse Halle 1", "Band 2", "Ofen", "Kran", "Lackierung", "Verpackung"};
    int i = 0;
    for (const auto kind :
         {app::InterfaceKind::S5Direct, app::InterfaceKind::S5H1, app::InterfaceKind::S7Mpi,
          app::InterfaceKind::S5Lan, app::InterfaceKind::S7Lan, app::InterfaceKind::S7Rfc1006}) {
        entries.push_back(MakeEntry(kind, names[i++]));
    }
    entries[1].address = {0x08, 0x00, 0x06, 0x01, 0x02, 0x0A};
    entries[2].address = {2, 0, 0, 0, 0, 0};
    entries[5].flags =
        static_cast<uint16_t>(app::flag::kS7Rfc1006 | static_cast<uint16_t>(app::IntervalKind::Daily));
    entries[5].hour = 22;
    entries[5].minute = 30;
    entries[3].Set(app::flag::kMarked, true);
    WriteSet(f.ProgramDir() / "AUTOSTRT.INI", entries);
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    app->Station().entries[2].Set(app::flag::kLastFailed, true);
    app->Station().entries[4].Set(app::flag::kLastSucceeded, true);
    app->Ui().ShowClock("08.12.2026 12:00:00");
    app->Window()->resize(1280, 420);
    app->Window()->RepaintList();
    const QImage image = Save(app->Window(), "main_window" + Suffix());
    EXPECT_TRUE(Contains(image, qRgb(255, 64, 64)));
    EXPECT_TRUE(Contains(image, qRgb(64, 128, 64)));
    EXPECT_TRUE(Contains(image, qRgb(128, 128, 128)));
    app->SetLanguage(kGerman);
}

TEST_P(Screenshots, EntryDialogForAnS7AndAnS5Entry) {
    ShellFixture f;
    f.StoreLanguage(GetParam());
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    app::CElement s7 = MakeEntry(app::InterfaceKind::S7Lan, "Lackierung");
    s7.flags =
        static_cast<uint16_t>(app::flag::kS7Lan | static_cast<uint16_t>(app::IntervalKind::PlcTrigger));
    s7.triggerInterval = 90;
    s7.backupBit = "M10.0";
    s7.restoreBit = "M10.1";
    s7.nameOperand = "DB10.DBB0";
    s7.blockList = "DB 001,FB 022";
    EntryDialogWindow s7Dialog(app::DialogValuesFromEntry(s7));
    s7Dialog.show();
    Save(&s7Dialog, "entry_dialog_s7" + Suffix());
    EXPECT_TRUE(s7Dialog.KindButton(5)->isChecked());

    app::CElement s5 = MakeEntry(app::InterfaceKind::S5H1, "Band 2");
    s5.address = {0x08, 0x00, 0x06, 0x01, 0x02, 0x0A};
    s5.flags = static_cast<uint16_t>(app::flag::kS5H1 | static_cast<uint16_t>(app::IntervalKind::Weekly));
    s5.day = 2;
    s5.hour = 6;
    s5.minute = 15;
    EntryDialogWindow s5Dialog(app::DialogValuesFromEntry(s5));
    s5Dialog.show();
    Save(&s5Dialog, "entry_dialog_s5" + Suffix());
    EXPECT_FALSE(s5Dialog.WeekdayList()->isHidden());
    app->SetLanguage(kGerman);
}

TEST_P(Screenshots, ConfigurationDialog) {
    ShellFixture f;
    f.StoreLanguage(GetParam());
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    app::StationSettings settings;
    settings.backupDirectory = "/srv/sicherung/";
    settings.adapterName = "eth-test";
    ConfigDialogWindow dialog(app::OpenConfigDialog(settings, "/opt/vaultra"), {"COM1", "COM3"},
                              {"eth-test", "wlan-test"});
    dialog.show();
    Save(&dialog, "config_dialog" + Suffix());
    app->SetLanguage(kGerman);
}

INSTANTIATE_TEST_SUITE_P(Languages, Screenshots, ::testing::Values(kGerman, kEnglish),
                         [](const auto& info) { return info.param == kGerman ? "German" : "English"; });

}  // namespace
}  // namespace vaultra::shell
