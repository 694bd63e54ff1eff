// Start-up and end: language choice, window placement, the start-up set, the settings written at the end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <fstream>

#include "app/backup_set_file.h"
#include "platform/settings_store.h"
#include "shell/language.h"
#include "shell/main_window.h"
#include "tests/shell/shell_test_support.h"

namespace vaultra::shell {
namespace {

using namespace testing;
namespace fs = std::filesystem;

QStringList MenuTitles(MainWindow* w) {
    QStringList titles;
    for (QAction* a : w->menuBar()->actions()) {
        titles << a->text();
    }
    return titles;
}

TEST(Startup, FirstStartAsksForTheLanguageAndCancelEndsTheProgram) {
    ShellFixture f;
    auto app = f.MakeApp();
    bool asked = false;
    auto answer = WhenModal<LanguageDialog>([&](LanguageDialog* d) {
        asked = true;
        EXPECT_FALSE(d->Button(kGerman)->isChecked());
        EXPECT_FALSE(d->Button(kEnglish)->isChecked());
        ClickButton(d, QStringLiteral("Abbrechen"));
    });
    EXPECT_FALSE(app->Start());
    EXPECT_TRUE(asked);
    EXPECT_EQ(app->Window(), nullptr);
}

TEST(Startup, TheChosenLanguageIsStoredAndNoSetIsOpenWithoutAutostart) {
    ShellFixture f;
    auto app = f.MakeApp();
    auto answer = WhenModal<LanguageDialog>([](LanguageDialog* d) {
        d->Button(kEnglish)->setChecked(true);
        ClickButton(d, QStringLiteral("OK"));
    });
    ASSERT_TRUE(app->Start());
    EXPECT_FALSE(app->HasSet());
    EXPECT_EQ(MenuTitles(app->Window()), (QStringList{"&File", "&View", "Settings", "&Help"}));
    platform::SettingsStore store(f.SettingsPath());
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetInt("Settings", "Language", -1), kEnglish);
    app->SetLanguage(kGerman);
}

TEST(Startup, MenusFollowTheOpenSetAndTheLanguageSwitchesAtRunTime) {
    ShellFixture f;
    f.StoreLanguage(kGerman);
    WriteSet(f.ProgramDir() / "autostrt.ini", {MakeEntry(app::InterfaceKind::S7Lan, "Presse")});
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    ASSERT_TRUE(app->HasSet()) << "AUTOSTRT.INI is found whatever its case";
    MainWindow* w = app->Window();
    EXPECT_EQ(MenuTitles(w), (QStringList{"&Datei", "&Ansicht", "Einstellungen", "&Element", "&Hilfe"}));
    EXPECT_EQ(app->Station().entries.size(), 1u);
    EXPECT_EQ(w->Command(command::kBackupAll)->toolTip(), "Backup");
    EXPECT_EQ(w->Command(command::kBackupAll)->statusTip(), QString::fromUtf8("Sichern aller Einträge"));

    auto choose = WhenModal<LanguageDialog>([](LanguageDialog* d) {
        EXPECT_TRUE(d->Button(kGerman)->isChecked());
        d->Button(kEnglish)->setChecked(true);
        ClickButton(d, QStringLiteral("OK"));
    });
    w->Command(command::kLanguage)->trigger();
    const QStringList english{"&File", "&View", "Settings", "&Entry", "&Help"};
    EXPECT_TRUE(WaitFor([&] { return MenuTitles(w) == english; }, 2000))
        << MenuTitles(w).join(",").toStdString();
    EXPECT_EQ(w->Command(command::kBackupAll)->statusTip(), "Back up all entries");
    EXPECT_EQ(w->Panes().Message(), "For Help, press F1");
    app->SetLanguage(kGerman);
    const QStringList german{"&Datei", "&Ansicht", "Einstellungen", "&Element", "&Hilfe"};
    EXPECT_TRUE(WaitFor([&] { return MenuTitles(w) == german; }, 2000));

    w->FileClose();
    EXPECT_EQ(MenuTitles(w), (QStringList{"&Datei", "&Ansicht", "Einstellungen", "&Hilfe"}));
    EXPECT_TRUE(w->Command(command::kFileNew)->isEnabled());
}

TEST(Startup, AWindowClosedMaximisedReopensMaximised) {
    ShellFixture f;
    f.StoreLanguage(kGerman);
    {
        auto app = f.MakeApp();
        ASSERT_TRUE(app->Start());
        app->Window()->showMaximized();
        ASSERT_TRUE(WaitFor([&] { return app->Window()->isMaximized(); }));
        app->Window()->close();
        app->End();
    }
    platform::SettingsStore store(f.SettingsPath());
    ASSERT_TRUE(store.Load());
    const WindowPlacement p = ParseWindowPos(store.GetString("Settings", "WindowPos").value_or(""));
    EXPECT_EQ(p.flags, kRestoreToMaximised);
    EXPECT_EQ(store.GetString("Settings", "AdapterName"), "eth-test") << "first adapter when none was stored";
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    EXPECT_TRUE(WaitFor([&] { return app->Window()->isMaximized(); }));
}

TEST(Startup, AnUnreadableStartupSetIsNamedAndNeverSavedOverWithoutAsking) {
    ShellFixture f;
    f.StoreLanguage(kGerman);
    // A count of 1024 entries cannot be held: the set would open empty.
    {
        std::ofstream out(f.ProgramDir() / "AUTOSTRT.INI", std::ios::binary);
        out << "56833\n\r" << std::string(260, ' ') << "\n\r00010\n\r00000\n\r00001\n\r00001\n\r01024\n\r"
            << std::string(40, 'x') << "\n\r";
    }
    const auto before = fs::file_size(f.ProgramDir() / "AUTOSTRT.INI");
    MessageLog log;
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    ASSERT_FALSE(log.texts.isEmpty());
    EXPECT_TRUE(log.texts.front().contains("AUTOSTRT.INI"));
    EXPECT_TRUE(log.texts.front().contains("kann nicht gelesen werden"));
    EXPECT_TRUE(app->HasSet());
    EXPECT_TRUE(app->SetPath().empty());
    // Save goes to the save-as choice; cancelling it leaves the file alone.
    f.chosenSetFile.clear();
    EXPECT_FALSE(app->Window()->FileSave());
    EXPECT_EQ(fs::file_size(f.ProgramDir() / "AUTOSTRT.INI"), before);
}

TEST(Startup, RecentFilesAreKeptInTheSharedStore) {
    ShellFixture f;
    f.StoreLanguage(kGerman);
    const fs::path set = f.Dir() / "halle.ini";
    WriteSet(set, {MakeEntry(app::InterfaceKind::S5Lan, "Band")});
    {
        auto app = f.MakeApp();
        ASSERT_TRUE(app->Start());
        f.chosenSetFile = QString::fromStdString(set.string());
        app->Window()->FileOpen();
        ASSERT_TRUE(app->HasSet());
        app->Window()->close();
        app->End();
    }
    platform::SettingsStore store(f.SettingsPath());
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetString("Recent File List", "File1"), set.string());
    auto app = f.MakeApp();
    ASSERT_TRUE(app->Start());
    app->Window()->Command(command::kRecentFile1)->trigger();
    EXPECT_EQ(app->SetPath(), set.string());
}

TEST(Closing, AChangedSetAsksToBeSavedAndCancelKeepsTheWindow) {
    ShellFixture f;
    auto app = f.StartWithSet({MakeEntry(app::InterfaceKind::S7Mpi, "A")});
    ASSERT_TRUE(app);
    MainWindow* w = app->Window();
    app->Station().ToggleMark(0);
    w->EntryDelete();
    ASSERT_TRUE(app->Modified());
    {
        QString question;
        auto answer = AnswerMessage(QStringLiteral("Abbrechen"), &question);
        EXPECT_FALSE(w->close());
        EXPECT_TRUE(question.contains("AUTOSTRT.INI")) << question.toStdString();
    }
    EXPECT_TRUE(w->isVisible());
    {
        auto answer = AnswerMessage(QStringLiteral("&Ja"));
        EXPECT_TRUE(w->close());
    }
    app::Station reread;
    ASSERT_TRUE(app::LoadBackupSet(reread, f.ProgramDir() / "AUTOSTRT.INI", 0));
    EXPECT_EQ(reread.entries.size(), 0u);
}

TEST(Commands, EveryCommandCarriesItsIdPromptAndTooltipAndTheToolbarItsOrder) {
    ShellFixture f;
    auto app = f.StartWithSet({});
    ASSERT_TRUE(app);
    MainWindow* w = app->Window();
    const struct {
        int id;
        const char* prompt;
        const char* tip;
    } expected[] = {{32773, "Neuen Eintrag erzeugen", ""},
                    {32774, "Ändern aller markierten Einträge", ""},
                    {32775, "Löschen aller Markeirten Einträge", ""},
                    {32776, "Zurücksichern aller Einträge auf die SPSen", "Restore"},
                    {32777, "Sichern aller Einträge", "Backup"},
                    {32779, "Konfiguration des Systems", ""},
                    {32780, "Startet alle ausgewählten AGs", "Start"},
                    {32781, "Stopt alle ausgewählten AGs", "Stop"},
                    {32797, "Urlöschen aller ausgewählten AGs", "Urlöschen"},
                    {32799, "Einstellen der Sprache", ""}};
    for (const auto& c : expected) {
        QAction* a = w->Command(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        EXPECT_EQ(a->data().toInt(), c.id);
        EXPECT_EQ(a->statusTip(), QString::fromUtf8(c.prompt)) << c.id;
        if (*c.tip != '\0') {
            EXPECT_EQ(a->toolTip(), QString::fromUtf8(c.tip)) << c.id;
        }
    }
    EXPECT_FALSE(w->Command(32774)->isEnabled()) << "entries are changed by double click";
    QStringList order;
    for (QAction* a : w->ToolBar()->actions()) {
        order << (a->isSeparator() ? QStringLiteral("|") : QString::number(a->data().toInt()));
    }
    EXPECT_EQ(order.join(","),
              "57600,57601,57603,|,57635,57634,57637,|,32777,32776,|,32797,|,32780,32781,|,57664,57670");

    // A prompt shows at once; its end asks for the idle text, which waits.
    QStatusTipEvent tip(w->Command(32777)->statusTip());
    QApplication::sendEvent(w, &tip);
    EXPECT_EQ(w->Panes().Message(), QString::fromUtf8("Sichern aller Einträge"));
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(w, &none);
    EXPECT_TRUE(w->Panes().IdleTimerActive());
    EXPECT_EQ(w->Panes().Message(), QString::fromUtf8("Sichern aller Einträge"));
}

}  // namespace
}  // namespace vaultra::shell
