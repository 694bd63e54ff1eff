// Driver calls during a run from the window: they wait on a helper thread while the window goes on serving
// events, and nothing handled meanwhile starts another engine action or touches the connection record.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <vaultra/tarn7.h>

#include "shell/config_dialog_window.h"
#include "shell/main_window.h"
#include "sim/testing/plcsim_process.h"
#include "tests/shell/shell_test_support.h"

namespace vaultra::shell {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// The S7 driver with a connect held up as by a PLC slow to answer; notes the threads it is called on.
struct SlowConnect {
    static inline Tarn7InitFn init = nullptr;
    static inline Tarn7RdDirFn rdDir = nullptr;
    static inline std::atomic<int> delayMs{0};
    static inline std::mutex mutex;
    static inline std::vector<std::thread::id> threads;
    static inline int connects = 0;

    static void Note(bool connect) {
        const std::lock_guard lock(mutex);
        threads.push_back(std::this_thread::get_id());
        connects += connect ? 1 : 0;
    }
    static int32_t Init(ConnectionRecord* record, int32_t mode) {
        Note(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        return init(record, mode);
    }
    static int32_t RdDir(ConnectionRecord* record, int32_t type, int16_t* presence, void* window) {
        Note(false);
        return rdDir(record, type, presence, window);
    }
    static void Install(app::S7Table& table) {
        init = table.Get<Tarn7InitFn>(app::S7Slot::Init);
        rdDir = table.Get<Tarn7RdDirFn>(app::S7Slot::RdDir);
        table.Set(app::S7Slot::Init, reinterpret_cast<void*>(&SlowConnect::Init));
        table.Set(app::S7Slot::RdDir, reinterpret_cast<void*>(&SlowConnect::RdDir));
    }
};

class DriverWaitTest : public WindowTest {
protected:
    void SetUp() override {
        plc = OpenWithDemoPlc();
        ASSERT_TRUE(plc);
        SlowConnect::delayMs = kConnectMs;
        {
            const std::lock_guard lock(SlowConnect::mutex);
            SlowConnect::threads.clear();
            SlowConnect::connects = 0;
        }
        app->Drivers().afterS7Bind = &SlowConnect::Install;
        // The longest time between two served events while the run works.
        QObject::connect(&watcher, &QTimer::timeout, [this] {
            if (app->Station().runBusy) {
                longestGap = std::max(longestGap, clock.elapsed() - last);
            }
            last = clock.elapsed();
        });
        clock.start();
        watcher.start(10);
    }

    static constexpr int kConnectMs = 1500;
    std::unique_ptr<sim::testing::PlcsimProcess> plc;
    QTimer watcher;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
};

TEST_F(DriverWaitTest, ASlowConnectWaitsOffTheWindowsThreadWhileTheWindowIsServed) {
    MessageLog log;
    w->BackupAll();
    watcher.stop();

    EXPECT_TRUE(app->Station().entries[0].Has(app::flag::kLastSucceeded))
        << log.texts.join(" | ").toStdString();
    const std::lock_guard lock(SlowConnect::mutex);
    ASSERT_GE(SlowConnect::threads.size(), 2u)
        << "the connect and the directory reads went through the table";
    for (const std::thread::id& id : SlowConnect::threads) {
        EXPECT_NE(id, std::this_thread::get_id()) << "a driver call ran on the window's thread";
    }
    // The connect alone holds the run for 1.5 s; a bound well under that still holds on a loaded machine.
    EXPECT_LT(longestGap, kConnectMs * 2 / 3);
}

TEST_F(DriverWaitTest, DuringAConnectNoOtherActionStartsAndEscapeStillAborts) {
    bool configOpened = false;
    auto config = WhenModal<ConfigDialogWindow>([&](ConfigDialogWindow* d) {
        configOpened = true;
        ClickButton(d, QStringLiteral("Abbrechen"));
    });
    QString question;
    auto answer = AnswerMessage(QStringLiteral("OK"), &question);
    bool heldOff = false;
    QTimer::singleShot(kConnectMs / 3, w, [&] {
        // Mid-connect: the record is the driver's; a timer pass, the dialog and list changes wait.
        heldOff = app->Station().runBusy && !w->Command(command::kConfiguration)->isEnabled() &&
                  !w->Command(command::kFileClose)->isEnabled() &&
                  !w->Command(command::kBackupAll)->isEnabled();
        w->TimerTick();
        w->Configuration();
        w->BackupAll();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    w->BackupAll();

    EXPECT_TRUE(heldOff);
    EXPECT_FALSE(configOpened);
    EXPECT_EQ(question,
              QString::fromUtf8("Die Escape-Taste wurde gedrückt.\n Wollen Sie wirklich Abbrechen ?\n"));
    EXPECT_TRUE(app->Station().entries[0].Has(app::flag::kLastFailed));
    EXPECT_FALSE(fs::exists(f.Dir() / "ANLAGE" / "ANLAGE.S7P")) << "the aborted run stored nothing";
    EXPECT_FALSE(app->Station().runBusy);
    const std::lock_guard lock(SlowConnect::mutex);
    EXPECT_EQ(SlowConnect::connects, 1) << "no second run or timer pass reached the driver";
}

}  // namespace
}  // namespace vaultra::shell
