#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QWhatsThis>

#include "app/config_dialog.h"
#include "app/entry_dialog.h"
#include "platform/files.h"
#include "platform/time.h"
#include "shell/config_dialog_window.h"
#include "shell/entry_dialog_window.h"
#include "shell/lock_keys.h"
#include "shell/shell_app.h"

namespace vaultra::shell {

namespace {

#define CTX "vaultra::shell::MainWindow"

struct CommandText {
    int id;
    const char* prompt;  // status bar prompt, then "\n" and the tooltip
};

const CommandText kCommandTexts[] = {
    {command::kFileNew, QT_TRANSLATE_NOOP(CTX, "Erstellt einen neuen Sicherungssatz\nNeu")},
    {command::kFileOpen, QT_TRANSLATE_NOOP(CTX, "Öffnet einen bestehenden Sicherungssatz\nÖffnen")},
    {command::kFileClose, QT_TRANSLATE_NOOP(CTX, "Schließt den Sicherungssatz\nSchließen")},
    {command::kFileSave, QT_TRANSLATE_NOOP(CTX, "Speichert den Sicherungssatz\nSpeichern")},
    {command::kFileSaveAs,
     QT_TRANSLATE_NOOP(CTX, "Speichert den Sicherungssatz unter einem neuen Namen\nSpeichern unter")},
    {command::kRecentFile1, QT_TRANSLATE_NOOP(CTX, "Öffnet diesen Sicherungssatz")},
    {command::kEditCut, QT_TRANSLATE_NOOP(CTX, "Schneidet die Markierung aus\nAusschneiden")},
    {command::kEditCopy, QT_TRANSLATE_NOOP(CTX, "Kopiert die Markierung\nKopieren")},
    {command::kEditPaste, QT_TRANSLATE_NOOP(CTX, "Fügt den Inhalt der Zwischenablage ein\nEinfügen")},
    {command::kAppAbout, QT_TRANSLATE_NOOP(CTX, "Zeigt Programminformationen und Versionsnummer an\nInfo")},
    {command::kAppExit, QT_TRANSLATE_NOOP(CTX, "Beendet das Programm\nBeenden")},
    {command::kContextHelp, QT_TRANSLATE_NOOP(CTX, "Zeigt Hilfe zu angeklickten Schaltflächen an\nHilfe")},
    {command::kViewToolbar,
     QT_TRANSLATE_NOOP(CTX, "Blendet die Werkzeugleiste ein oder aus\nWerkzeugleiste")},
    {command::kViewStatusBar, QT_TRANSLATE_NOOP(CTX, "Blendet die Statusleiste ein oder aus\nStatusleiste")},
    {command::kEntryNew, QT_TRANSLATE_NOOP(CTX, "Neuen Eintrag erzeugen")},
    {command::kEntryChange, QT_TRANSLATE_NOOP(CTX, "Ändern aller markierten Einträge")},
    {command::kEntryDelete, QT_TRANSLATE_NOOP(CTX, "Löschen aller Markeirten Einträge")},
    {command::kRestoreAll, QT_TRANSLATE_NOOP(CTX, "Zurücksichern aller Einträge auf die SPSen\nRestore")},
    {command::kBackupAll, QT_TRANSLATE_NOOP(CTX, "Sichern aller Einträge\nBackup")},
    {command::kConfiguration, QT_TRANSLATE_NOOP(CTX, "Konfiguration des Systems")},
    {command::kPlcStart, QT_TRANSLATE_NOOP(CTX, "Startet alle ausgewählten AGs\nStart")},
    {command::kPlcStop, QT_TRANSLATE_NOOP(CTX, "Stopt alle ausgewählten AGs\nStop")},
    {command::kPlcClear, QT_TRANSLATE_NOOP(CTX, "Urlöschen aller ausgewählten AGs\nUrlöschen")},
    {command::kLanguage, QT_TRANSLATE_NOOP(CTX, "Einstellen der Sprache")},
};

#undef CTX

}  // namespace

MainWindow::MainWindow(ShellApp& app) : app_(app) {
    setWindowTitle(QStringLiteral("Vaultra"));
    mdi_ = new QMdiArea(this);
    setCentralWidget(mdi_);
    panes_ = new StatusPanes(statusBar());
    BuildCommands();
    BuildToolBar();
    app_.Ui().Attach(this, panes_, [this] { RepaintList(); });
    connect(&app_.Ui(), &WindowFrontEnd::BusyChanged, this, [this] { UpdateCommands(); });
    Retranslate();
    // Timer 10: the run loop's pass once a second, with or without an open set.
    runTimer_.setInterval(1000);
    connect(&runTimer_, &QTimer::timeout, this, &MainWindow::TimerTick);
    // The lock panes follow the system's indicators, read with the same timer whether a run works or not.
    connect(&runTimer_, &QTimer::timeout, this, &MainWindow::RefreshLockKeys);
    runTimer_.start();
    RefreshLockKeys();
    resize(1100, 600);
}

MainWindow::~MainWindow() {
    if (child_) {
        child_->removeEventFilter(this);
    }
    app_.Ui().Attach(nullptr, nullptr, nullptr);
}

QAction* MainWindow::Command(int id) const {
    const auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : it->second;
}

QAction* MainWindow::MakeCommand(int id, const char* prompt) {
    auto* action = new QAction(this);
    action->setData(id);
    commands_[id] = action;
    prompts_[id] = prompt;
    return action;
}

void MainWindow::BuildCommands() {
    for (const CommandText& c : kCommandTexts) {
        MakeCommand(c.id, c.prompt);
    }
    for (int i = 1; i < static_cast<int>(kRecentFiles); ++i) {
        MakeCommand(command::kRecentFile1 + i, prompts_[command::kRecentFile1]);
    }
    const auto on = [this](int id, auto slot) { connect(Command(id), &QAction::triggered, this, slot); };
    on(command::kFileNew, [this] { FileNew(); });
    on(command::kFileOpen, [this] { FileOpen(); });
    on(command::kFileClose, [this] { FileClose(); });
    on(command::kFileSave, [this] { FileSave(); });
    on(command::kFileSaveAs, [this] { FileSaveAs(); });
    for (int i = 0; i < static_cast<int>(kRecentFiles); ++i) {
        on(command::kRecentFile1 + i, [this, i] { OpenRecent(i); });
    }
    on(command::kAppExit, [this] { close(); });
    on(command::kAppAbout, [this] { About(); });
    on(command::kContextHelp, [] { QWhatsThis::enterWhatsThisMode(); });
    on(command::kEntryNew, [this] { EntryNew(); });
    on(command::kEntryDelete, [this] { EntryDelete(); });
    on(command::kBackupAll, [this] { BackupAll(); });
    on(command::kRestoreAll, [this] { RestoreAll(); });
    on(command::kPlcStart, [this] { RunPlcCommand(app::PlcCommand::Start); });
    on(command::kPlcStop, [this] { RunPlcCommand(app::PlcCommand::Stop); });
    on(command::kPlcClear, [this] { RunPlcCommand(app::PlcCommand::Clear); });
    on(command::kConfiguration, [this] { Configuration(); });
    on(command::kLanguage, [this] { ChooseLanguage(); });
    Command(command::kFileNew)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Command(command::kFileOpen)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Command(command::kFileSave)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Command(command::kViewToolbar)->setCheckable(true);
    Command(command::kViewStatusBar)->setCheckable(true);
    Command(command::kViewToolbar)->setChecked(true);
    Command(command::kViewStatusBar)->setChecked(true);
    on(command::kViewToolbar, [this](bool shown) { toolBar_->setVisible(shown); });
    on(command::kViewStatusBar, [this](bool shown) { statusBar()->setVisible(shown); });
    QStyle* s = style();
    Command(command::kFileNew)->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    Command(command::kFileOpen)->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    Command(command::kFileSave)->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    Command(command::kBackupAll)->setIcon(s->standardIcon(QStyle::SP_ArrowDown));
    Command(command::kRestoreAll)->setIcon(s->standardIcon(QStyle::SP_ArrowUp));
    Command(command::kPlcClear)->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
    Command(command::kPlcStart)->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
    Command(command::kPlcStop)->setIcon(s->standardIcon(QStyle::SP_MediaStop));
    Command(command::kAppAbout)->setIcon(s->standardIcon(QStyle::SP_MessageBoxInformation));
    Command(command::kContextHelp)->setIcon(s->standardIcon(QStyle::SP_TitleBarContextHelpButton));
}

void MainWindow::BuildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolbar108"));
    const int order[] = {command::kFileNew,
                         command::kFileOpen,
                         command::kFileSave,
                         0,
                         command::kEditCut,
                         command::kEditCopy,
                         command::kEditPaste,
                         0,
                         command::kBackupAll,
                         command::kRestoreAll,
                         0,
                         command::kPlcClear,
                         0,
                         command::kPlcStart,
                         command::kPlcStop,
                         0,
                         command::kAppAbout,
                         command::kContextHelp};
    for (const int id : order) {
        if (id == 0) {
            toolBar_->addSeparator();
        } else {
            toolBar_->addAction(Command(id));
        }
    }
}

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->clear();
    const bool open = app_.HasSet();
    QMenu* file = bar->addMenu(tr("&Datei"));
    if (open) {
        file->addAction(Command(command::kFileClose));
        file->addAction(Command(command::kFileSave));
        file->addAction(Command(command::kFileSaveAs));
    } else {
        file->addAction(Command(command::kFileNew));
        file->addAction(Command(command::kFileOpen));
    }
    const auto& recent = app_.Settings().recent.Files();
    if (!recent.empty()) {
        file->addSeparator();
        for (std::size_t i = 0; i < recent.size(); ++i) {
            QAction* a = Command(command::kRecentFile1 + static_cast<int>(i));
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(
                QString::fromStdString(RecentFileMenuText(recent[i]))));
            file->addAction(a);
        }
    }
    file->addSeparator();
    file->addAction(Command(command::kAppExit));
    QMenu* view = bar->addMenu(tr("&Ansicht"));
    view->addAction(Command(command::kViewToolbar));
    view->addAction(Command(command::kViewStatusBar));
    QMenu* settings = bar->addMenu(tr("Einstellungen"));
    settings->addAction(Command(command::kConfiguration));
    settings->addAction(Command(command::kLanguage));
    if (open) {
        QMenu* entry = bar->addMenu(tr("&Element"));
        entry->addAction(Command(command::kEntryNew));
        entry->addAction(Command(command::kEntryChange));
        entry->addAction(Command(command::kEntryDelete));
        entry->addAction(Command(command::kRestoreAll));
        entry->addAction(Command(command::kBackupAll));
    }
    QMenu* help = bar->addMenu(tr("&Hilfe"));
    help->addAction(Command(command::kAppAbout));
}

void MainWindow::Retranslate() {
    const std::pair<int, QString> labels[] = {
        {command::kFileNew, tr("&Neu")},
        {command::kFileOpen, tr("Ö&ffnen...")},
        {command::kFileClose, tr("&Schließen")},
        {command::kFileSave, tr("&Speichern")},
        {command::kFileSaveAs, tr("Speichern &Als...")},
        {command::kAppExit, tr("B&eenden")},
        {command::kViewToolbar, tr("&Werkzeugleiste")},
        {command::kViewStatusBar, tr("&Statusleiste")},
        {command::kConfiguration, tr("&Konfiguration")},
        {command::kLanguage, tr("&Sprache")},
        {command::kAppAbout, tr("&Über...")},
        {command::kEntryNew, tr("&Neu")},
        {command::kEntryChange, tr("Än&dern")},
        {command::kEntryDelete, tr("&Löschen")},
        {command::kRestoreAll, tr("Alle Rücksichern")},
        {command::kBackupAll, tr("Alle Sichern ")},
        {command::kEditCut, tr("Ausschneiden")},
        {command::kEditCopy, tr("Kopieren")},
        {command::kEditPaste, tr("Einfügen")},
        {command::kPlcStart, tr("Start")},
        {command::kPlcStop, tr("Stop")},
        {command::kPlcClear, tr("Urlöschen")},
        {command::kContextHelp, tr("Hilfe")},
    };
    for (const auto& [id, label] : labels) {
        Command(id)->setText(label);
    }
    for (const auto& [id, prompt] : prompts_) {
        const QStringList parts = tr(prompt).split(QLatin1Char('\n'));
        Command(id)->setStatusTip(parts.front());
        Command(id)->setToolTip(parts.size() > 1 ? parts[1] : QString());
    }
    toolBar_->setWindowTitle(tr("Werkzeugleiste"));
    panes_->Retranslate();
    BuildMenus();
    UpdateCommands();
    if (view_) {
        view_->ListChanged();
    }
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QMainWindow::changeEvent(event);
}

bool MainWindow::event(QEvent* event) {
    // Command prompts go to the message pane; the end of a prompt asks for the idle text, which then
    // waits two seconds so that a run's last text stays readable.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (tip.isEmpty()) {
            panes_->RequestIdle();
        } else {
            panes_->StatusText(tip);
        }
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Closing the set's window closes the set (with the save question), not just the window.
    if (watched == child_ && event->type() == QEvent::Close) {
        event->ignore();
        QTimer::singleShot(0, this, [this] { FileClose(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::Idle() const {
    return !app_.Station().runBusy && !plcCommandBusy_;
}

void MainWindow::UpdateCommands() {
    const bool open = app_.HasSet();
    const bool idle = Idle();
    Command(command::kFileNew)->setEnabled(!open && idle);
    Command(command::kFileOpen)->setEnabled(idle);
    Command(command::kFileClose)->setEnabled(open && idle);
    Command(command::kFileSave)->setEnabled(open);
    Command(command::kFileSaveAs)->setEnabled(open);
    for (int i = 0; i < static_cast<int>(kRecentFiles); ++i) {
        Command(command::kRecentFile1 + i)->setEnabled(idle);
    }
    for (const int id : {command::kEditCut, command::kEditCopy, command::kEditPaste, command::kEntryChange}) {
        Command(id)->setEnabled(false);
    }
    Command(command::kEntryNew)->setEnabled(open);
    Command(command::kEntryDelete)->setEnabled(open && idle);
    Command(command::kBackupAll)->setEnabled(open && idle);
    // The dialog's port goes into the connection record that a run or a PLC command is using.
    Command(command::kConfiguration)->setEnabled(idle);
    Command(command::kRestoreAll)->setEnabled(open && idle && app_.Station().settings.noWriteBack == 0);
    for (const int id : {command::kPlcStart, command::kPlcStop, command::kPlcClear}) {
        Command(id)->setEnabled(open && idle);
    }
}

void MainWindow::DocumentChanged() {
    if (app_.HasSet() && !child_) {
        view_ = new ListView(app_.Station());
        connect(view_, &ListView::EditRequested, this, &MainWindow::EntryEdit);
        child_ = mdi_->addSubWindow(view_);
        child_->setAttribute(Qt::WA_DeleteOnClose, false);
        child_->installEventFilter(this);
        child_->showMaximized();
    } else if (!app_.HasSet() && child_) {
        // The filter goes first: a window being destroyed still sends events, and it is no longer a
        // QMdiSubWindow then.
        QMdiSubWindow* closing = child_;
        closing->removeEventFilter(this);
        child_ = nullptr;
        view_ = nullptr;
        mdi_->removeSubWindow(closing);
        delete closing;
    }
    if (child_) {
        const QString name = app_.SetPath().empty() ? tr("Unbenannt")
                                                    : QString::fromStdString(app_.SetPath()).section('/', -1);
        child_->setWindowTitle(name);
        view_->ListChanged();
    }
    BuildMenus();
    UpdateCommands();
}

void MainWindow::RepaintList() {
    if (view_) {
        view_->ListChanged();
    }
    // The engine repaints when a run starts and after every entry: the commands follow its busy state.
    UpdateCommands();
}

bool MainWindow::AskToSave() {
    if (!app_.HasSet() || !app_.Modified()) {
        return true;
    }
    QMessageBox box(this);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setIcon(QMessageBox::Question);
    const QString name = app_.SetPath().empty() ? tr("Unbenannt") : QString::fromStdString(app_.SetPath());
    box.setText(tr("Änderungen in \"%1\" speichern?").arg(name));
    QPushButton* yes = box.addButton(tr("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(tr("&Nein"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(tr("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes) {
        return FileSave();
    }
    return box.clickedButton() == no;
}

void MainWindow::FileNew() {
    if (!Idle() || !AskToSave()) {
        return;
    }
    app_.NewSet();
    DocumentChanged();
}

void MainWindow::FileOpen() {
    if (!Idle() || !AskToSave()) {
        return;
    }
    QString path;
    if (app_.Options().chooseSetFile) {
        path = app_.Options().chooseSetFile(this, false);
    } else {
        path = QFileDialog::getOpenFileName(this, tr("Öffnen"), QString(),
                                            tr("Sicherungssatz (*.INI *.ini);;Alle Dateien (*.*)"));
    }
    if (!path.isEmpty()) {
        app_.OpenSet(path.toStdString(), this, false);
        DocumentChanged();
    }
}

void MainWindow::OpenRecent(int index) {
    const auto& files = app_.Settings().recent.Files();
    if (!Idle() || index >= static_cast<int>(files.size()) || !AskToSave()) {
        return;
    }
    const std::string path = files[static_cast<std::size_t>(index)];
    app_.OpenSet(path, this, false);
    DocumentChanged();
}

bool MainWindow::FileSave() {
    const std::string& path = app_.SetPath();
    if (path.empty() || app_.GuardedPath() || !platform::IsReadableAndWritable(path)) {
        return FileSaveAs();
    }
    const bool saved = app_.SaveSet(path, this);
    DocumentChanged();
    return saved;
}

bool MainWindow::FileSaveAs() {
    QString path;
    if (app_.Options().chooseSetFile) {
        path = app_.Options().chooseSetFile(this, true);
    } else {
        QFileDialog dialog(this, tr("Speichern unter"), QString::fromStdString(app_.SetPath()),
                           tr("Sicherungssatz (*.INI *.ini);;Alle Dateien (*.*)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("ini"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            path = dialog.selectedFiles().front();
        }
    }
    if (path.isEmpty()) {
        return false;
    }
    const bool saved = app_.SaveSet(path.toStdString(), this);
    DocumentChanged();
    return saved;
}

bool MainWindow::FileClose() {
    if (!Idle() || !AskToSave()) {
        return false;
    }
    app_.CloseSet();
    DocumentChanged();
    return true;
}

void MainWindow::EntryNew() {
    EntryDialogWindow dialog(app::EntryDialogValues{}, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    app::CElement entry;
    app::ApplyEntryDialog(dialog.Values(), entry, platform::CurrentTime());
    if (!app_.Station().AddEntry(std::move(entry))) {
        AskOperator(this, QString::fromUtf8(app::kSetFullMessage), app::MessageButtons::Ok);
        return;
    }
    app_.MarkModified();
    RepaintList();
}

void MainWindow::EntryEdit(int index) {
    app::Station& station = app_.Station();
    // An entry that a run or a PLC command is working on is not changed under it.
    if (!Idle() || index < 0 || static_cast<std::size_t>(index) >= station.entries.size()) {
        return;
    }
    EntryDialogWindow dialog(app::DialogValuesFromEntry(station.entries[static_cast<std::size_t>(index)]),
                             this);
    if (dialog.exec() != QDialog::Accepted || static_cast<std::size_t>(index) >= station.entries.size()) {
        return;
    }
    app::ApplyEntryDialog(dialog.Values(), station.entries[static_cast<std::size_t>(index)],
                          platform::CurrentTime());
    app_.MarkModified();
    RepaintList();
}

void MainWindow::EntryDelete() {
    // A PLC command walks the list by position: nothing leaves it while one works.
    if (plcCommandBusy_) {
        return;
    }
    if (app_.Station().DeleteMarked() > 0) {
        app_.MarkModified();
    }
    RepaintList();
}

template <typename Fn>
void MainWindow::Run(Fn fn) {
    const bool wasBusy = !Idle();
    const quint64 textsBefore = app_.Ui().StatusCount();
    fn();
    if (!wasBusy) {
        UpdateCommands();
        // Only a pass that showed texts lets the idle text return (after its two seconds); asking every
        // second would keep a text up for ever.
        if (app_.Ui().StatusCount() != textsBefore) {
            app_.Ui().ShowIdleStatus();
        }
        // A close confirmed during the run ends the program now that the run has let go.
        if (closeAfterRun_) {
            QTimer::singleShot(0, this, &MainWindow::close);
        }
    }
}

void MainWindow::BackupAll() {
    if (!Idle()) {
        return;
    }
    Run([this] { app_.Engine().BackupAll(); });
}

void MainWindow::RestoreAll() {
    if (!Idle() || app_.Station().settings.noWriteBack != 0) {
        return;
    }
    Run([this] { app_.Engine().RestoreAll(); });
}

void MainWindow::RunPlcCommand(app::PlcCommand command) {
    if (!app_.HasSet() || !Idle()) {
        return;
    }
    // The command does not hold the engine's busy flag, but its message boxes and waits serve events:
    // the timer pass and the list commands wait for it here.
    Run([this, command] {
        plcCommandBusy_ = true;
        UpdateCommands();
        app_.Engine().Commands().Run(command, true);
        plcCommandBusy_ = false;
    });
}

void MainWindow::TimerTick() {
    if (!Idle()) {
        return;
    }
    Run([this] { app_.Engine().TimerTick(); });
}

void MainWindow::Configuration() {
    if (!Idle()) {
        return;
    }
    app::Station& station = app_.Station();
    const auto values = app::OpenConfigDialog(station.settings, app_.ProgramDirectory().string());
    std::vector<std::string> adapters;
    for (const auto& a : app_.Drivers().NetworkCard().Adapters()) {
        adapters.push_back(a.description);
    }
    const auto ports = app_.Options().serialPorts ? app_.Options().serialPorts() : FreeSerialPorts();
    ConfigDialogWindow dialog(values, ports, adapters, this);
    if (app_.Options().chooseFolder) {
        dialog.chooseFolder = app_.Options().chooseFolder;
    }
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    app::ApplyConfigDialog(dialog.Values(), station.settings, station.record);
    app_.Settings().adapterName = station.settings.adapterName;
    if (app_.HasSet()) {
        app_.MarkModified();
    }
    UpdateCommands();
    RepaintList();
}

void MainWindow::RefreshLockKeys() {
    panes_->SetLockState(app_.Options().lockKeys ? app_.Options().lockKeys() : ReadLockKeys());
}

void MainWindow::ChooseLanguage() {
    app_.ChooseLanguage(this);
}

void MainWindow::About() {
    QMessageBox::about(this, tr("Info über Vaultra"),
                       tr("Vaultra Station Version %1").arg(QStringLiteral(VAULTRA_VERSION)));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A PLC command is not broken off half way (a clear in particular): the window closes when it ends.
    if (plcCommandBusy_) {
        event->ignore();
        closeAfterRun_ = true;
        return;
    }
    if (app_.Station().runBusy) {
        event->ignore();
        if (closeAfterRun_) {
            return;
        }
        const auto answer = AskOperator(
            this, tr("Eine Sicherung läuft noch.\nWollen Sie sie abbrechen und das Programm beenden?"),
            app::MessageButtons::YesNo);
        if (answer == app::MessageAnswer::Yes) {
            closeAfterRun_ = true;
            app_.Ui().RequestQuit();
        }
        return;
    }
    if (!AskToSave()) {
        closeAfterRun_ = false;
        app_.Ui().ClearQuit();
        event->ignore();
        return;
    }
    WindowPlacement p;
    p.flags = isMaximized() ? kRestoreToMaximised : 0;
    p.showState = isMaximized() ? kShowMaximised : (isMinimized() ? kShowMinimised : kShowNormal);
    p.minX = p.minY = p.maxX = p.maxY = -1;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    p.left = normal.left();
    p.top = normal.top();
    p.right = normal.left() + normal.width();
    p.bottom = normal.top() + normal.height();
    app_.CapturePlacement(p);
    runTimer_.stop();
    event->accept();
}

}  // namespace vaultra::shell
