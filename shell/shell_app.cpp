#include "shell/shell_app.h"

#include <QApplication>
#include <QDir>
#include <system_error>

#include "app/backup_set_file.h"
#include "platform/dynlib.h"
#include "platform/files.h"
#include "platform/process.h"
#include "s7project/s7project.h"
#include "shell/main_window.h"

namespace vaultra::shell {

namespace {

namespace fs = std::filesystem;

ShellOptions Completed(ShellOptions options) {
    if (options.programDirectory.empty()) {
        options.programDirectory = platform::ProgramDirectory();
    }
    return options;
}

// Why a set file cannot be read, in words for the operator.
QString UnreadableReason(const fs::path& path) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        return QObject::tr("Die Datei existiert nicht.");
    }
    if (fs::is_directory(path, error)) {
        return QObject::tr("Der Name bezeichnet ein Verzeichnis.");
    }
    return QObject::tr("Die Datei kann nicht gelesen werden (keine Berechtigung oder Lesefehler).");
}

QString WarningsText(const std::vector<std::string>& warnings) {
    QStringList lines;
    for (const std::string& w : warnings) {
        lines << QString::fromStdString(w);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

ShellApp::ShellApp(ShellOptions options)
    : options_(Completed(std::move(options))),
      store_(options_.settingsPath),
      language_(QString::fromStdString(options_.programDirectory.string())) {
    drivers_ = std::make_unique<app::DriverBinding>(
        station_, ui_,
        options_.libraryDirectories.empty() ? platform::DefaultLibraryDirectories()
                                            : options_.libraryDirectories,
        options_.adapters ? app::CNetworkCard(options_.adapters) : app::CNetworkCard());
    engine_ = std::make_unique<app::Engine>(station_, ui_, clock_, *drivers_);
    engine_->Commands().sleep = WaitServingEvents;
    // Writing a project waits for the disk for a good part of a second, a connect for the PLC's answer: the
    // window goes on meanwhile.
    engine_->S7Procedure().writeProject = [](const fs::path& path, const s7project::BlockList& blocks) {
        return RunServingEvents([&] { return s7project::WriteS7Project(path, blocks) ? 1 : 0; }) != 0;
    };
    drivers_->callRunner = [](const std::function<int32_t()>& call) { return RunServingEvents(call); };
}

ShellApp::~ShellApp() {
    window_.reset();
}

bool ShellApp::Start() {
    store_.Load();
    settings_.Load(store_);
    if (settings_.language == kGerman || settings_.language == kEnglish) {
        language_.Select(settings_.language);
    } else if (!ChooseLanguage(nullptr)) {
        return false;
    }
    if (settings_.adapterName.empty()) {
        const auto& adapters = drivers_->NetworkCard().Adapters();
        if (!adapters.empty()) {
            settings_.adapterName = adapters.front().description;
        }
    }
    station_.settings.adapterName = settings_.adapterName;
    window_ = std::make_unique<MainWindow>(*this);
    ApplyStoredPlacement();
    const fs::path startup = StartupSetPath();
    if (!startup.empty()) {
        OpenSet(startup.string(), window_.get(), true);
    }
    window_->DocumentChanged();
    return true;
}

void ShellApp::ApplyStoredPlacement() {
    const WindowPlacement p = ParseWindowPos(settings_.windowPos);
    if (!PlacementApplies(p)) {
        window_->show();
        return;
    }
    if (p.right > p.left && p.bottom > p.top) {
        window_->setGeometry(p.left, p.top, p.right - p.left, p.bottom - p.top);
    }
    if ((p.flags & kRestoreToMaximised) != 0 || p.showState == kShowMaximised) {
        window_->showMaximized();
    } else {
        window_->show();
    }
}

void ShellApp::End() {
    settings_.adapterName = station_.settings.adapterName;
    station_.entries.Clear();
    store_.Load();
    settings_.SaveAtEnd(store_);
    store_.Save();
}

void ShellApp::CapturePlacement(const WindowPlacement& placement) {
    settings_.windowPos = FormatWindowPos(placement);
}

bool ShellApp::ChooseLanguage(QWidget* parent) {
    LanguageDialog dialog(language_.Current(), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    SetLanguage(dialog.Choice());
    return true;
}

void ShellApp::SetLanguage(int language) {
    language_.Select(language);
    settings_.language = language;
    store_.Load();
    store_.SetInt("Settings", "Language", language);
    store_.Save();
}

fs::path ShellApp::StartupSetPath() const {
    std::error_code error;
    for (const auto& item : fs::directory_iterator(options_.programDirectory, error)) {
        if (QString::fromStdString(item.path().filename().string())
                    .compare(QStringLiteral("AUTOSTRT.INI"), Qt::CaseInsensitive) == 0 &&
            item.is_regular_file(error)) {
            return item.path();
        }
    }
    return {};
}

void ShellApp::NewSet() {
    CloseSet();
    station_.NewSet();
    hasSet_ = true;
}

void ShellApp::CloseSet() {
    station_.entries.Clear();
    hasSet_ = false;
    modified_ = false;
    guardedPath_ = false;
    setPath_.clear();
}

bool ShellApp::OpenSet(const std::string& path, QWidget* parent, bool atStartup) {
    app::Station probe;
    probe.settings = station_.settings;
    auto report = app::LoadBackupSet(probe, path, clock_.Now());
    if (!report || report->entriesDropped) {
        const QString reason = report ? WarningsText(report->warnings) : UnreadableReason(path);
        QString text = QObject::tr("Der Sicherungssatz \"%1\" kann nicht gelesen werden:\n%2")
                           .arg(QString::fromStdString(path), reason);
        if (atStartup) {
            text += QLatin1Char('\n') + QObject::tr("Ein neuer, leerer Sicherungssatz wird angelegt.");
        }
        AskOperator(parent, text, app::MessageButtons::Ok);
        settings_.recent.Remove(path);
        if (atStartup) {
            NewSet();
        }
        return false;
    }
    CloseSet();
    station_.settings = probe.settings;
    station_.settings.adapterName = settings_.adapterName;
    station_.entries = std::move(probe.entries);
    station_.ApplyComPort();
    hasSet_ = true;
    setPath_ = path;
    guardedPath_ = report->truncated;
    if (!report->warnings.empty()) {
        AskOperator(parent,
                    QObject::tr("Der Sicherungssatz \"%1\" ist nicht vollständig lesbar:\n%2")
                        .arg(QString::fromStdString(path), WarningsText(report->warnings)),
                    app::MessageButtons::Ok);
    }
    settings_.recent.Add(path);
    return true;
}

bool ShellApp::SaveSet(const std::string& path, QWidget* parent) {
    if (!app::SaveBackupSet(station_, path)) {
        AskOperator(parent,
                    QObject::tr("Der Sicherungssatz \"%1\" kann nicht geschrieben werden.")
                        .arg(QString::fromStdString(path)),
                    app::MessageButtons::Ok);
        return false;
    }
    setPath_ = path;
    modified_ = false;
    guardedPath_ = false;
    settings_.recent.Add(path);
    return true;
}

}  // namespace vaultra::shell
