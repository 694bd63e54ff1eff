// The application object of the desktop program: the one open backup set with the engine that runs it,
// the user's settings and language, start-up and end.
#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/driver_binding.h"
#include "app/network_card.h"
#include "app/run_loop.h"
#include "app/station.h"
#include "platform/lock_leds.h"
#include "platform/settings_store.h"
#include "shell/language.h"
#include "shell/user_settings.h"
#include "shell/window_front_end.h"

namespace vaultra::shell {

class MainWindow;

// Where the program finds its things, and the operating-system choosers; tests replace them.
struct ShellOptions {
    std::filesystem::path settingsPath = platform::SettingsStore::DefaultPath();
    std::filesystem::path programDirectory;                               // empty: the executable's directory
    std::vector<std::filesystem::path> libraryDirectories;                // empty: the usual search
    std::function<std::vector<app::NetworkAdapter>()> adapters;           // null: the operating system's list
    std::function<std::vector<std::string>()> serialPorts;                // null: the free ports 1..16
    std::function<QString(QWidget*, const QString& title)> chooseFolder;  // null: the folder browser
    std::function<QString(QWidget*, bool save)> chooseSetFile;            // null: the file dialogs
    std::function<platform::LockIndicators()> lockKeys;                   // null: the system's indicators
};

class ShellApp {
public:
    explicit ShellApp(ShellOptions options = {});
    ~ShellApp();

    // Start-up: language, placement, adapter, main window, start-up set. False when the program must end.
    bool Start();
    // End: writes the window placement, the adapter and the recent files.
    void End();

    app::Station& Station() { return station_; }
    app::Engine& Engine() { return *engine_; }
    app::DriverBinding& Drivers() { return *drivers_; }
    WindowFrontEnd& Ui() { return ui_; }
    MainWindow* Window() { return window_.get(); }
    UserSettings& Settings() { return settings_; }
    const ShellOptions& Options() const { return options_; }
    const std::filesystem::path& ProgramDirectory() const { return options_.programDirectory; }
    int CurrentLanguage() const { return language_.Current(); }

    // The language dialog; on OK the choice takes effect at once and is stored. False when cancelled.
    bool ChooseLanguage(QWidget* parent);
    // Selects a language without asking (and stores it).
    void SetLanguage(int language);

    // The open set.
    bool HasSet() const { return hasSet_; }
    const std::string& SetPath() const { return setPath_; }
    bool Modified() const { return modified_; }
    void MarkModified() { modified_ = true; }
    // Writing to SetPath() needs the operator's consent: the file there could not be read completely.
    bool GuardedPath() const { return guardedPath_; }

    void NewSet();
    void CloseSet();
    // Opens a set. An unreadable file is named with its reason; atStartup then opens an empty set in its
    // place (never saved over it without asking), otherwise the open set stays. False when not opened.
    bool OpenSet(const std::string& path, QWidget* parent, bool atStartup);
    // Writes the set; a message and false when that fails.
    bool SaveSet(const std::string& path, QWidget* parent);

    // The path of "AUTOSTRT.INI" in the program's directory, found whatever its case; empty when absent.
    std::filesystem::path StartupSetPath() const;

    // Placement captured when the main window closes.
    void CapturePlacement(const WindowPlacement& placement);

private:
    void ApplyStoredPlacement();

    ShellOptions options_;
    platform::SettingsStore store_;
    UserSettings settings_;
    Language language_;
    app::Station station_;
    app::SystemWallClock clock_;
    WindowFrontEnd ui_;
    std::unique_ptr<app::DriverBinding> drivers_;
    std::unique_ptr<app::Engine> engine_;
    std::unique_ptr<MainWindow> window_;
    bool hasSet_ = false;
    bool modified_ = false;
    bool guardedPath_ = false;
    std::string setPath_;
};

}  // namespace vaultra::shell
