// The window's restore and PLC commands on the engine: "Alle Rücksichern" with the write-back switch,
// start, stop and clear with their confirmations, and the engine's texts in the window's language.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/list_line.h"
#include "shell/config_dialog_window.h"
#include "shell/main_window.h"
#include "sim/testing/plcsim_process.h"
#include "tests/shell/shell_test_support.h"

namespace vaultra::shell {
namespace {

using namespace testing;
namespace fs = std::filesystem;

const QStringList kYesOrOk{QStringLiteral("&Ja"), QStringLiteral("&Yes"), QStringLiteral("OK")};

class CommandsTest : public WindowTest {
protected:
    // plcsim s7 --demo on a free loopback port, and one S7-RFC1006 entry that reaches it.
    app::CElement StartDemoPlc() {
        std::string error;
        plc = sim::testing::PlcsimProcess::Start(
            {"s7", "--demo", "--iso-port", "0", "--dump-dir", (f.Dir() / "dump").string()}, &error);
        EXPECT_TRUE(plc) << error;
        if (plc) {
            setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*plc->IsoPort()).c_str(), 1);
        }
        app::CElement e = MakeEntry(app::InterfaceKind::S7Rfc1006, "Demo");
        e.address = {127, 0, 0, 1, 2, 0};
        e.password.clear();
        return e;
    }

    std::size_t PlcBlocks() {
        EXPECT_TRUE(plc->Dump());
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& file : fs::directory_iterator(f.Dir() / "dump")) {
            ++count;
        }
        return count;
    }

    void SetWriteBack(bool on) {
        auto answer = WhenModal<ConfigDialogWindow>([on](ConfigDialogWindow* d) {
            d->NoWriteBackBox()->setChecked(!on);
            ClickButton(d, QStringLiteral("OK"));
        });
        w->Command(command::kConfiguration)->trigger();
        EXPECT_TRUE(answer->Done());
    }

    std::unique_ptr<sim::testing::PlcsimProcess> plc;
};

TEST_F(CommandsTest, RestoreAllFollowsTheWriteBackSwitchAndRestoresEveryEntryInOrder) {
    Open({MakeEntry(app::InterfaceKind::S7Mpi, "A"), MakeEntry(app::InterfaceKind::S7Lan, "B")});
    std::vector<std::string> restored;
    bool commandsLocked = true;
    app->Engine().restoreS7 = [&](app::CElement& e) {
        restored.push_back(e.name);
        commandsLocked = commandsLocked && !w->Command(command::kRestoreAll)->isEnabled() &&
                         !w->Command(command::kPlcStart)->isEnabled() &&
                         !w->Command(command::kFileClose)->isEnabled() &&
                         !w->Command(command::kConfiguration)->isEnabled();
        e.Set(app::flag::kLastSucceeded, true);
        return 1;
    };
    EXPECT_FALSE(w->Command(command::kRestoreAll)->isEnabled());
    w->RestoreAll();
    EXPECT_TRUE(restored.empty()) << "restore is switched off";

    SetWriteBack(true);
    ASSERT_TRUE(w->Command(command::kRestoreAll)->isEnabled());
    w->Command(command::kRestoreAll)->trigger();
    EXPECT_EQ(restored, (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(commandsLocked) << "the commands wait while the restore works";
    EXPECT_TRUE(app->Station().entries[1].Has(app::flag::kLastSucceeded));
    EXPECT_FALSE(app->Station().runBusy);
    EXPECT_TRUE(w->Command(command::kRestoreAll)->isEnabled());

    SetWriteBack(false);
    EXPECT_FALSE(w->Command(command::kRestoreAll)->isEnabled());
}

TEST_F(CommandsTest, ASimulatedPlcIsBackedUpAndRestoredFromTheWindow) {
    const app::CElement demo = StartDemoPlc();
    ASSERT_TRUE(plc);
    Open({demo});
    app->Station().settings.backupDirectory = f.Dir().string() + "/";
    MessageLog log;
    w->Command(command::kBackupAll)->trigger();
    ASSERT_TRUE(app->Station().entries[0].Has(app::flag::kLastSucceeded)) << shown.join(" | ").toStdString();
    SetWriteBack(true);
    shown.clear();
    w->Command(command::kRestoreAll)->trigger();
    EXPECT_TRUE(app->Station().entries[0].Has(app::flag::kLastSucceeded)) << shown.join(" | ").toStdString();
    EXPECT_GT(shown.filter(QRegularExpression(QString::fromUtf8("^Demo: \\S+ +\\d{5} übertragen$"))).size(),
              0)
        << shown.join(" | ").toStdString();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.back(), "korrekt in AG geschrieben");
    EXPECT_TRUE(log.texts.isEmpty()) << log.texts.join(" | ").toStdString();
}

TEST_F(CommandsTest, StopAndStartAskFirstAndActOnTheOnlyEntryUnmarked) {
    const app::CElement demo = StartDemoPlc();
    ASSERT_TRUE(plc);
    Open({demo});

    {
        MessageLog no(QStringLiteral("&Nein"));
        w->Command(command::kPlcStop)->trigger();
        EXPECT_EQ(no.texts, QStringList{"Das AG wirklich stoppen?"});
        EXPECT_TRUE(shown.isEmpty()) << "No does nothing: " << shown.join(" | ").toStdString();
    }
    MessageLog yes(kYesOrOk);
    w->Command(command::kPlcStop)->trigger();
    EXPECT_EQ(yes.texts, QStringList{"Das AG wirklich stoppen?"});
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.back(), "AG gestoppt");
    EXPECT_EQ(w->Panes().Progress(), nullptr) << "the progress bar goes with the command";
    w->Command(command::kPlcStart)->trigger();
    EXPECT_EQ(shown.back(), "AG gestartet");
    EXPECT_TRUE(w->Command(command::kPlcStart)->isEnabled());
    EXPECT_EQ(app->Station().record.connected, 0) << "the connection is released";
}

TEST_F(CommandsTest, NoMarkedEntryAmongSeveralShowsThatNoPlcIsSelected) {
    Open({MakeEntry(app::InterfaceKind::S7Mpi, "A"), MakeEntry(app::InterfaceKind::S7Mpi, "B"),
          MakeEntry(app::InterfaceKind::S7Mpi, "C")});
    MessageLog log(kYesOrOk);
    w->Command(command::kPlcStart)->trigger();
    EXPECT_EQ(log.texts,
              (QStringList{"Das AG wirklich starten?", QString::fromUtf8("Keine AG ausgewählt!")}));
}

TEST_F(CommandsTest, AClearHoldsTheTimerPassAndTheListCommandsUntilItEnds) {
    app::CElement due = MakeEntry(app::InterfaceKind::S7Mpi, "due");
    due.flags = static_cast<uint16_t>(app::flag::kS7Mpi | static_cast<uint16_t>(app::IntervalKind::Every));
    due.hour = 1;
    app::CElement demo = StartDemoPlc();
    ASSERT_TRUE(plc);
    demo.Set(app::flag::kMarked, true);
    Open({demo, due});
    app->Station().entries[1].nextBackup = 0;
    int backups = 0;
    app->Engine().backupS7 = [&](app::CElement&) { return ++backups; };
    const std::size_t blocksBefore = PlcBlocks();
    MessageLog log(kYesOrOk);
    w->Command(command::kPlcStop)->trigger();
    ASSERT_EQ(shown.back(), "AG gestoppt");

    // The clear's waits serve the window; a timer pass and a delete that arrive meanwhile must wait.
    uint32_t waited = 0;
    int timerPassesSeen = 0;
    bool lockedDuringWait = true;
    app->Engine().Commands().sleep = [&](uint32_t ms) {
        waited += ms;
        QTimer::singleShot(0, w, [&] {
            w->TimerTick();
            w->EntryDelete();
            ++timerPassesSeen;
        });
        lockedDuringWait = lockedDuringWait && w->PlcCommandBusy() &&
                           !w->Command(command::kBackupAll)->isEnabled() &&
                           !w->Command(command::kEntryDelete)->isEnabled();
        WaitServingEvents(1);
    };
    w->Command(command::kPlcClear)->trigger();
    EXPECT_EQ(log.texts.last(), "Das AG wirklich löschen?");
    EXPECT_EQ(shown.back(), QString::fromUtf8("AG gelöscht"));
    EXPECT_GE(waited, 6000u);
    EXPECT_GT(timerPassesSeen, 0);
    EXPECT_TRUE(lockedDuringWait);
    EXPECT_EQ(backups, 0) << "no run started during the clear";
    EXPECT_EQ(app->Station().entries.size(), 2u) << "nothing was deleted during the clear";
    EXPECT_LT(PlcBlocks(), blocksBefore);

    w->TimerTick();
    EXPECT_EQ(backups, 1) << "the due entry runs once the clear has ended";
    EXPECT_TRUE(w->Command(command::kPlcClear)->isEnabled());
}

TEST_F(CommandsTest, WaitServingEventsLetsTheWindowWorkForTheWholeWait) {
    Open({});
    bool served = false;
    QTimer::singleShot(0, w, [&] { served = true; });
    QElapsedTimer clock;
    clock.start();
    WaitServingEvents(60);
    EXPECT_GE(clock.elapsed(), 59);
    EXPECT_TRUE(served);
}

TEST_F(CommandsTest, WorkOnAHelperThreadLetsTheWindowServeItsEventsMeanwhile) {
    Open({});
    std::atomic<bool> served{false};
    QTimer::singleShot(0, w, [&] { served = true; });
    // The work ends as soon as the window has handled the timer, or gives up after a second.
    const bool result = RunServingEvents([&] {
        for (int i = 0; i < 500 && !served; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return served.load();
    });
    EXPECT_TRUE(result);
    EXPECT_FALSE(RunServingEvents([] { return false; })) << "the work's own result comes back";
}

TEST_F(CommandsTest, EngineTextsAndListColumnsFollowTheLanguageAtRunTime) {
    app::CElement every = MakeEntry(app::InterfaceKind::S7Mpi, "A");
    every.flags = static_cast<uint16_t>(app::flag::kS7Mpi | static_cast<uint16_t>(app::IntervalKind::Every));
    every.hour = 1;
    every.minute = 5;
    app::CElement weekly = MakeEntry(app::InterfaceKind::S7Mpi, "B");
    weekly.flags =
        static_cast<uint16_t>(app::flag::kS7Mpi | static_cast<uint16_t>(app::IntervalKind::Weekly));
    weekly.day = 3;
    weekly.hour = 6;
    weekly.minute = 0;
    Open({every, weekly, MakeEntry(app::InterfaceKind::S7Mpi, "C")});
    const auto line = [&](std::size_t i) {
        return app::ListLine(app->Station().entries[i], app->Station().settings);
    };
    EXPECT_NE(line(0).find("Alle        01:05"), std::string::npos) << line(0);

    app->SetLanguage(kEnglish);
    EXPECT_NE(line(0).find("Every       01:05"), std::string::npos) << line(0);
    EXPECT_NE(line(1).find("Tue at 06:00"), std::string::npos) << line(1);
    EXPECT_NE(line(2).find("never"), std::string::npos) << line(2);
    app->Ui().StatusText("AG gestoppt");
    EXPECT_EQ(w->Panes().Message(), "PLC stopped");
    {
        MessageLog log(kYesOrOk);
        w->Command(command::kPlcStart)->trigger();
        EXPECT_EQ(log.texts, (QStringList{"Really start the PLC?", "No PLC selected!"}));
    }

    app->SetLanguage(kGerman);
    EXPECT_NE(line(1).find("Die um 06:00"), std::string::npos) << line(1);
    app->Ui().StatusText("AG gestoppt");
    EXPECT_EQ(w->Panes().Message(), "AG gestoppt");
}

}  // namespace
}  // namespace vaultra::shell
