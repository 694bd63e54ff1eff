// Opening a set of 1023 entries in the main window and repainting its list (offscreen platform).
// Targets: open under 300 ms, repaint under 16 ms.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <QScrollBar>
#include <cstdlib>
#include <filesystem>

#include "app/backup_set_file.h"
#include "platform/settings_store.h"
#include "shell/main_window.h"
#include "shell/shell_app.h"

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

Setup& TheSetup() {
    static Setup setup;
    return setup;
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

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
