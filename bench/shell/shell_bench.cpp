// Opening a set of 1023 entries in the main window and repainting its list (offscreen platform).
// Targets: open under 300 ms, repaint under 16 ms, and during "Alle Sichern" of a simulated PLC events
// handled at least every 100 ms.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/backup_set_file.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "shell/main_window.h"
#include "shell/shell_app.h"
#include "sim/testing/plcsim_process.h"

namespace {

namespace fs = std::filesystem;
using namespace vaultra;

struct Setup {
    fs::path dir = fs::temp_directory_path() / ("vaultra-shell-bench-" + std::to_string(::getpid()));
    fs::path set = dir / "voll.ini";
    std::unique_ptr<shell::ShellApp> app;

    Setup() {
        fs::create_directories(dir);
        app::Station station;
        station.settings.backupDirectory = "/srv/sicherung/";
        for (size_t i = 0; i < app::kMaxEntries; ++i) {
            app::CElement e;
            e.name = "Anlage " + std::to_string(i);
            e.flags =
                static_cast<uint16_t>(app::flag::kS7Lan | static_cast<uint16_t>(app::IntervalKind::Daily));
            e.address = {192, 168, static_cast<uint8_t>(i / 256), static_cast<uint8_t>(i % 256), 2, 0};
            e.hour = static_cast<uint8_t>(i % 24);
            e.minute = 30;
            e.fileName = "ANLAGE" + std::to_string(i) + ".S7P";
            e.blockList = " ";
            station.AddEntry(e);
        }
        app::SaveBackupSet(station, set);
        platform::SettingsStore store(dir / "settings.conf");
        store.SetInt("Settings", "Language", 0);
        store.Save();
        shell::ShellOptions options;
        options.settingsPath = dir / "settings.conf";
        options.programDirectory = dir;
        options.adapters = [] { return std::vector<app::NetworkAdapter>{}; };
        // The driver libraries are built beside the programs, not beside the benchmarks.
        options.libraryDirectories = {platform::ProgramDirectory() / ".." / "bin"};
        app = std::make_unique<shell::ShellApp>(options);
        app->Start();
        app->Window()->resize(1280, 800);
        app->Window()->RunTimer().stop();
        QApplication::processEvents();
    }
    ~Setup() {
        app.reset();
        fs::remove_all(dir);
    }
};

// Made on first use and ended in main: the window must go before the application object does.
std::unique_ptr<Setup>& SetupSlot() {
    static std::unique_ptr<Setup> setup;
    return setup;
}

Setup& TheSetup() {
    if (!SetupSlot()) {
        SetupSlot() = std::make_unique<Setup>();
    }
    return *SetupSlot();
}

// Open from the file to the first painted list.
void BM_OpenFullSet(benchmark::State& state) {
    Setup& s = TheSetup();
    shell::MainWindow* w = s.app->Window();
    for (auto _ : state) {
        s.app->OpenSet(s.set.string(), w, false);
        w->DocumentChanged();
        w->View()->viewport()->repaint();
        benchmark::DoNotOptimize(s.app->Station().entries.size());
        state.PauseTiming();
        s.app->CloseSet();
        w->DocumentChanged();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(app::kMaxEntries);
}
BENCHMARK(BM_OpenFullSet)->Unit(benchmark::kMillisecond)->Iterations(10);

// One repaint of the list, at the top and at the end of the full set.
void BM_RepaintFullList(benchmark::State& state) {
    Setup& s = TheSetup();
    shell::MainWindow* w = s.app->Window();
    if (!s.app->HasSet()) {
        s.app->OpenSet(s.set.string(), w, false);
        w->DocumentChanged();
    }
    QScrollBar* bar = w->View()->verticalScrollBar();
    bar->setValue(state.range(0) == 0 ? 0 : bar->maximum());
    for (auto _ : state) {
        w->View()->viewport()->repaint();
    }
}
BENCHMARK(BM_RepaintFullList)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The driver's connect, held up as by a PLC (or a loaded machine) slow to answer.
Tarn7InitFn realInit = nullptr;
int connectDelayMs = 0;
int32_t SlowInit(ConnectionRecord* record, int32_t mode) {
    std::this_thread::sleep_for(std::chrono::milliseconds(connectDelayMs));
    return realInit(record, mode);
}

// "Alle Sichern" of one S7-RFC1006 entry against plcsim s7 --demo: the longest time the window's events
// waited while the run worked. The argument holds up every connect by that many milliseconds.
void BM_BackupAllResponsiveness(benchmark::State& state) {
    std::string error;
    auto plc = sim::testing::PlcsimProcess::Start({"s7", "--demo", "--iso-port", "0"}, &error);
    if (!plc) {
        state.SkipWithError(error.c_str());
        return;
    }
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*plc->IsoPort()).c_str(), 1);
    Setup& s = TheSetup();
    shell::MainWindow* w = s.app->Window();
    s.app->NewSet();
    w->DocumentChanged();
    app::CElement e;
    e.name = "Demo";
    e.flags = static_cast<uint16_t>(app::flag::kS7Rfc1006 | static_cast<uint16_t>(app::IntervalKind::Never));
    e.address = {127, 0, 0, 1, 2, 0};
    e.fileName = "DEMO.S7P";
    e.blockList = " ";
    s.app->Station().AddEntry(e);
    s.app->Station().settings.backupDirectory = s.dir.string() + "/";
    // The new child window paints before the operator could click: its first paint is not the run's wait.
    QApplication::processEvents();
    connectDelayMs = static_cast<int>(state.range(0));
    s.app->Drivers().afterS7Bind = [](app::S7Table& table) {
        if (connectDelayMs > 0) {
            realInit = table.Get<Tarn7InitFn>(app::S7Slot::Init);
            table.Set(app::S7Slot::Init, reinterpret_cast<void*>(&SlowInit));
        }
    };
    qint64 longest = 0;
    int over100 = 0;
    QString longestEndedAt;
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 last = 0;
        QString lastText;
        QTimer watcher;
        QObject::connect(&s.app->Ui(), &shell::WindowFrontEnd::BusyChanged, &watcher, [&](bool busy) {
            if (busy) {
                clock.start();
                last = 0;
                lastText = QStringLiteral("(start of the run)");
            }
        });
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (s.app->Station().runBusy && clock.isValid()) {
                const qint64 gap = clock.elapsed() - last;
                if (gap > 100) {
                    ++over100;
                    std::fprintf(stderr, "wait of %lld ms from \"%s\" to \"%s\"\n",
                                 static_cast<long long>(gap), lastText.toUtf8().constData(),
                                 w->Panes().Message().toUtf8().constData());
                }
                if (gap > longest) {
                    longest = gap;
                    longestEndedAt = w->Panes().Message();
                }
                last = clock.elapsed();
                lastText = w->Panes().Message();
            }
        });
        watcher.start(5);
        w->BackupAll();
    }
    state.counters["longest_wait_ms"] = static_cast<double>(longest);
    state.counters["waits_over_100ms"] = static_cast<double>(over100);
    std::fprintf(stderr, "longest wait ended at the status text \"%s\"\n",
                 longestEndedAt.toUtf8().constData());
    s.app->CloseSet();
    w->DocumentChanged();
}
BENCHMARK(BM_BackupAllResponsiveness)->Arg(0)->Arg(400)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetupSlot().reset();
    return 0;
}
