// The entry and configuration dialogs through their widgets: rows, checks, messages and what OK stores.
#include <gtest/gtest.h>

#include <QTest>

#include "app/entry_dialog.h"
#include "platform/pty.h"
#include "platform/serial.h"
#include "shell/config_dialog_window.h"
#include "shell/entry_dialog_window.h"
#include "shell/main_window.h"
#include "tests/shell/shell_test_support.h"

namespace vaultra::shell {
namespace {

using namespace testing;

class EntryDialogTest : public ::testing::Test {
protected:
    EntryDialogTest() : dialog(app::EntryDialogValues{}) { dialog.show(); }

    void ChooseInterface(const char* label) {
        const int index = dialog.InterfaceList()->findText(QString::fromUtf8(label));
        ASSERT_GE(index, 0);
        dialog.InterfaceList()->setCurrentIndex(index);
        Q_EMIT dialog.InterfaceList()->activated(index);
    }
    bool RowShown(int kind) {
        for (QWidget* w : dialog.RowWidgets(kind)) {
            if (w->isHidden() || !w->isEnabled()) {
                return false;
            }
        }
        return true;
    }

    EntryDialogWindow dialog;
    MessageLog log;
};

TEST_F(EntryDialogTest, OpensEmptyWithNeverAndTheFirstInterface) {
    EXPECT_EQ(dialog.windowTitle(), "Eintrag");
    EXPECT_EQ(dialog.InterfaceList()->currentText(), "S5 Direkt");
    EXPECT_EQ(dialog.InterfaceList()->count(), 6);
    EXPECT_TRUE(dialog.KindButton(4)->isChecked());
    EXPECT_TRUE(dialog.ModeButton(0)->isChecked());
    for (int k = 0; k < 4; ++k) {
        EXPECT_FALSE(RowShown(k)) << k;
    }
    for (QWidget* w : dialog.TriggerWidgets()) {
        EXPECT_FALSE(w->isHidden());
        EXPECT_FALSE(w->isEnabled());
    }
}

TEST_F(EntryDialogTest, OnlyTheRowOfTheChosenKindIsShown) {
    for (int kind = 0; kind < 4; ++kind) {
        dialog.KindButton(kind)->click();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(RowShown(k), k == kind) << kind << " " << k;
        }
    }
    dialog.KindButton(4)->click();
    EXPECT_FALSE(RowShown(0));
}

TEST_F(EntryDialogTest, PlcTriggerOnlyForS7) {
    dialog.KindButton(1)->click();
    dialog.KindButton(5)->click();
    ASSERT_EQ(log.texts.size(), 1);
    EXPECT_EQ(log.texts[0], app::kTriggerOnlyS7);
    EXPECT_TRUE(dialog.KindButton(1)->isChecked()) << "the previous kind stays";
    ChooseInterface("S7-LAN");
    dialog.KindButton(5)->click();
    EXPECT_TRUE(dialog.KindButton(5)->isChecked());
    for (QWidget* w : dialog.TriggerWidgets()) {
        EXPECT_TRUE(w->isEnabled());
    }
    ChooseInterface("S5-LAN");
    EXPECT_EQ(log.texts.size(), 2);
    EXPECT_TRUE(dialog.KindButton(4)->isChecked()) << "a non-S7 interface sets never";
}

TEST_F(EntryDialogTest, AddressChecksOfEachInterface) {
    ChooseInterface("S5 H1-Bus");
    dialog.AddressField()->setText(QStringLiteral("aabbccddeeff"));
    dialog.LeaveAddress();
    EXPECT_TRUE(log.texts.isEmpty());
    dialog.AddressField()->setText(QStringLiteral("aabbccddeef"));
    dialog.LeaveAddress();
    dialog.AddressField()->setText(QStringLiteral("aabbccddeefg"));
    dialog.LeaveAddress();
    ChooseInterface("S5-LAN");
    dialog.AddressField()->setText(QStringLiteral("255.255.255.255"));
    dialog.LeaveAddress();
    ChooseInterface("S7-RFC1006");
    dialog.AddressField()->setText(QStringLiteral("10.0.0.300:2"));
    dialog.LeaveAddress();
    ChooseInterface("S7 MPI-Bus");
    dialog.AddressField()->setText(QStringLiteral("what ever"));
    dialog.LeaveAddress();
    ASSERT_EQ(log.texts.size(), 4);
    EXPECT_EQ(log.texts[0], "Anzahl der Zeichen ist falsch, bitte geben Sie genau 12 Zeichen ein");
    EXPECT_EQ(log.texts[1],
              "Bitte geben Sie hexadezimalstellen ein, dies sind die Zahlen 0-9 und die Zeichen A-F.");
    EXPECT_EQ(log.texts[2], QString::fromUtf8("Keine gültige Ethernet Adresse!"));
    EXPECT_EQ(log.texts[3], QString::fromUtf8("Keine gültige Ethernet Adresse!"));
}

TEST_F(EntryDialogTest, FileNameAndBlockListAreNormalisedWhenLeft) {
    ChooseInterface("S7-LAN");
    dialog.FileNameField()->setText(QStringLiteral("C:\\daten\\anlage1.txt"));
    dialog.LeaveFileName();
    EXPECT_EQ(dialog.FileNameField()->text(), "anlage1.S7P");
    dialog.FileNameField()->setText(QStringLiteral("anlage1.s7p"));
    dialog.LeaveFileName();
    EXPECT_EQ(dialog.FileNameField()->text(), "anlage1.S7P");
    ChooseInterface("S5 Direkt");
    dialog.FileNameField()->clear();
    dialog.LeaveFileName();
    EXPECT_EQ(dialog.FileNameField()->text(), ".QRF");
    dialog.BlockListField()->setPlainText(QStringLiteral("db1 fb 22"));
    dialog.LeaveBlockList();
    EXPECT_EQ(dialog.BlockListField()->toPlainText(), "DB 001,FB 022");
}

TEST_F(EntryDialogTest, LeavingAFieldForAnotherRunsItsCheck) {
    ChooseInterface("S5 H1-Bus");
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.AddressField()->setFocus();
    QTest::keyClicks(dialog.AddressField(), QStringLiteral("abc"));
    dialog.PasswordField()->setFocus();
    ASSERT_TRUE(WaitFor([&] { return !log.texts.isEmpty(); }, 2000));
    EXPECT_TRUE(log.texts[0].startsWith("Anzahl der Zeichen"));
}

TEST_F(EntryDialogTest, OkRefusesValuesOutOfRangeAndStaysOpen) {
    dialog.KindButton(0)->click();
    dialog.EveryHours()->setText(QStringLiteral("24"));
    dialog.accept();
    ASSERT_EQ(log.texts.size(), 1);
    EXPECT_EQ(log.texts[0], QString::fromStdString(app::IntegerRangeMessage(0, 23)));
    EXPECT_TRUE(dialog.isVisible());
    dialog.EveryHours()->clear();
    dialog.accept();
    EXPECT_EQ(log.texts.size(), 2) << "an empty number is refused too";
    dialog.EveryHours()->setText(QStringLiteral("2"));
    dialog.accept();
    EXPECT_EQ(log.texts.size(), 2);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(EntryDialogTest, OkRefusesAMonthlyEntryWithoutADay) {
    dialog.KindButton(3)->click();
    dialog.accept();
    ASSERT_EQ(log.texts.size(), 1);
    EXPECT_EQ(log.texts[0], QString::fromUtf8(app::kNoDayOfMonth));
}

TEST_F(EntryDialogTest, OperandsAreCheckedWhenLeft) {
    ChooseInterface("S7 MPI-Bus");
    dialog.KindButton(5)->click();
    dialog.BackupBitField()->setText(QStringLiteral("x1.0"));
    dialog.LeaveOperand(dialog.BackupBitField());
    EXPECT_EQ(log.texts.size(), 1);
    EXPECT_EQ(dialog.BackupBitField()->text(), "x1.0") << "a refused text stays as typed";
    dialog.BackupBitField()->setText(QStringLiteral("m10.3"));
    dialog.LeaveOperand(dialog.BackupBitField());
    EXPECT_EQ(log.texts.size(), 1);
    EXPECT_EQ(dialog.BackupBitField()->text(), "M10.3");
}

TEST(EntryCommands, NewEntryIsAppendedWithTheDialogValues) {
    ShellFixture f;
    f.StoreLanguage(kGerman);
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    app->Window()->FileNew();
    auto answer = WhenModal<EntryDialogWindow>([](EntryDialogWindow* d) {
        d->NameField()->setText(QStringLiteral("Presse"));
        d->InterfaceList()->setCurrentIndex(4);
        Q_EMIT d->InterfaceList()->activated(4);
        d->AddressField()->setText(QStringLiteral("192.168.0.10:2"));
        d->FileNameField()->setText(QStringLiteral("presse"));
        ClickButton(d, QStringLiteral("OK"));
    });
    app->Window()->Command(command::kEntryNew)->trigger();
    ASSERT_EQ(app->Station().entries.size(), 1u);
    const app::CElement& e = app->Station().entries[0];
    EXPECT_EQ(e.name, "Presse");
    EXPECT_EQ(e.fileName, "presse.S7P");
    EXPECT_EQ(app::InterfaceOf(e), app::InterfaceKind::S7Lan);
    EXPECT_EQ(e.address[3], 10);
    EXPECT_EQ(e.address[4], 2);
}

TEST(EntryCommands, DeleteRemovesTheMarkedEntries) {
    ShellFixture f;
    auto app = f.StartWithSet(
        {MakeEntry(app::InterfaceKind::S7Mpi, "A"), MakeEntry(app::InterfaceKind::S7Mpi, "B")});
    ASSERT_TRUE(app);
    app->Station().ToggleMark(0);
    app->Window()->Command(command::kEntryDelete)->trigger();
    ASSERT_EQ(app->Station().entries.size(), 1u);
    EXPECT_EQ(app->Station().entries[0].name, "B");
}

TEST(SerialPorts, OnlyPortsThatExistAndAreFreeAreListed) {
    vaultra::testing::TempDir dir;
    const auto variable = [](int n) { return "VAULTRA_COM" + std::to_string(n); };
    for (int n = 1; n <= 16; ++n) {
        setenv(variable(n).c_str(), (dir.path() / ("missing" + std::to_string(n))).c_str(), 1);
    }
    std::string error;
    auto one = platform::PseudoTerminal::Create(dir.path() / "com1", &error);
    auto three = platform::PseudoTerminal::Create(dir.path() / "com3", &error);
    auto five = platform::PseudoTerminal::Create(dir.path() / "com5", &error);
    ASSERT_TRUE(one && three && five) << error;
    setenv(variable(1).c_str(), one->Link().c_str(), 1);
    setenv(variable(3).c_str(), three->Link().c_str(), 1);
    setenv(variable(5).c_str(), five->Link().c_str(), 1);
    // Another program has port 5 open.
    auto busy = platform::SerialDevice::Open(five->Link().string());
    ASSERT_TRUE(busy);
    // The superuser passes the exclusive-open lock, so for it a port in use still looks free.
    const bool lockHolds = platform::SerialDevice::Open(five->Link().string()) == nullptr;
    std::vector<std::string> expected{"COM1", "COM3"};
    if (!lockHolds) {
        expected.push_back("COM5");
    }
    EXPECT_EQ(FreeSerialPorts(), expected);
    for (int n = 1; n <= 16; ++n) {
        unsetenv(variable(n).c_str());
    }
}

class ConfigDialogTest : public ::testing::Test {
protected:
    ConfigDialogTest() {
        f.StoreLanguage(kGerman);
        app = f.MakeApp();
        EXPECT_TRUE(app->Start());
        app->Station().settings.comPort = 3;
        app->Station().settings.adapterName = "wlan-test";
    }
    // Opens the dialog from its command, lets act work on it, then presses the button.
    void Run(std::function<void(ConfigDialogWindow*)> act, const QString& button = QStringLiteral("OK")) {
        auto answer = WhenModal<ConfigDialogWindow>([&](ConfigDialogWindow* d) {
            act(d);
            ClickButton(d, button);
        });
        app->Window()->Command(command::kConfiguration)->trigger();
        EXPECT_TRUE(answer->Done());
    }
    ShellFixture f;
    std::unique_ptr<ShellApp> app;
};

TEST_F(ConfigDialogTest, ShowsFreePortsAdaptersAndTheProgramDirectory) {
    Run([&](ConfigDialogWindow* d) {
        EXPECT_EQ(d->windowTitle(), "Konfiguration");
        ASSERT_EQ(d->PortList()->count(), 2);
        EXPECT_EQ(d->PortList()->itemText(0), "COM1");
        EXPECT_EQ(d->PortList()->itemText(1), "COM3");
        EXPECT_EQ(d->PortList()->currentText(), "COM3");
        EXPECT_EQ(d->AdapterList()->count(), 2);
        EXPECT_EQ(d->AdapterList()->currentText(), "wlan-test");
        EXPECT_EQ(d->DirectoryField()->text(), QString::fromStdString(f.ProgramDir().string() + "/"));
        EXPECT_EQ(d->RetryField()->text(), "10");
    });
}

TEST_F(ConfigDialogTest, OkWithoutChangesResetsOnlyThePort) {
    app->Station().settings.backupDirectory = "/daten/";
    app->Station().record.port = 7;
    const app::StationSettings before = app->Station().settings;
    Run([](ConfigDialogWindow*) {});
    const app::StationSettings& after = app->Station().settings;
    EXPECT_EQ(after.comPort, before.comPort);
    EXPECT_EQ(after.backupDirectory, before.backupDirectory);
    EXPECT_EQ(after.retryMinutes, before.retryMinutes);
    EXPECT_EQ(after.noWriteBack, before.noWriteBack);
    EXPECT_EQ(after.adapterName, before.adapterName);
    EXPECT_EQ(static_cast<int>(app->Station().record.port), 2);
}

TEST_F(ConfigDialogTest, FolderBrowserAddsTheSeparatorATypedTextDoesNot) {
    f.chosenFolder = QStringLiteral("/srv/data");
    Run([](ConfigDialogWindow* d) { d->BrowseButton()->click(); });
    EXPECT_EQ(app->Station().settings.backupDirectory, "/srv/data/");
    Run([](ConfigDialogWindow* d) { d->DirectoryField()->setText(QStringLiteral("/srv/data")); });
    EXPECT_EQ(app->Station().settings.backupDirectory, "/srv/data");
    f.chosenFolder.clear();
    Run([](ConfigDialogWindow* d) { d->BrowseButton()->click(); });
    EXPECT_EQ(app->Station().settings.backupDirectory, "/srv/data") << "a cancelled browser changes nothing";
}

TEST_F(ConfigDialogTest, RetryOutOfRangeIsRefusedAndCancelChangesNothing) {
    MessageLog log;
    Run(
        [&](ConfigDialogWindow* d) {
            d->RetryField()->setText(QStringLiteral("0"));
            d->accept();
            EXPECT_TRUE(d->isVisible());
            d->RetryField()->setText(QStringLiteral("32768"));
            d->accept();
            EXPECT_TRUE(d->isVisible());
            d->NoWriteBackBox()->setChecked(false);
        },
        QStringLiteral("Abbrechen"));
    ASSERT_EQ(log.texts.size(), 2);
    EXPECT_EQ(log.texts[0], QString::fromStdString(app::IntegerRangeMessage(1, 32767)));
    EXPECT_EQ(app->Station().settings.noWriteBack, 1u);
    EXPECT_FALSE(app->Window()->Command(command::kRestoreAll)->isEnabled());
}

TEST_F(ConfigDialogTest, TheChosenAdapterIsStoredAtTheEnd) {
    Run([](ConfigDialogWindow* d) { d->AdapterList()->setCurrentIndex(0); });
    EXPECT_EQ(app->Station().settings.adapterName, "eth-test");
    app->Window()->close();
    app->End();
    platform::SettingsStore store(f.SettingsPath());
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetString("Settings", "AdapterName"), "eth-test");
}

}  // namespace
}  // namespace vaultra::shell
