// The main window: a multiple-document frame with menus, toolbar and status bar; it owns the one-second
// run-loop timer and shows the open backup set in a child window with the list view.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <QToolBar>
#include <map>

#include "app/plc_commands.h"
#include "shell/list_view.h"
#include "shell/status_panes.h"

namespace vaultra::shell {

class ShellApp;

// Command ids of the window's commands.
namespace command {
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileClose = 57602;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kRecentFile1 = 57616;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditPaste = 57637;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kContextHelp = 57670;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kEntryNew = 32773;
inline constexpr int kEntryChange = 32774;
inline constexpr int kEntryDelete = 32775;
inline constexpr int kRestoreAll = 32776;
inline constexpr int kBackupAll = 32777;
inline constexpr int kConfiguration = 32779;
inline constexpr int kPlcStart = 32780;
inline constexpr int kPlcStop = 32781;
inline constexpr int kPlcClear = 32797;
inline constexpr int kLanguage = 32799;
}  // namespace command

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(ShellApp& app);
    ~MainWindow() override;

    QAction* Command(int id) const;
    StatusPanes& Panes() { return *panes_; }
    ListView* View() const { return view_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QMdiArea* MdiArea() const { return mdi_; }
    QTimer& RunTimer() { return runTimer_; }

    // The open set changed as a whole (opened, closed, new): child window, menus and commands follow.
    void DocumentChanged();
    // The list's contents changed: every view repaints.
    void RepaintList();
    void UpdateCommands();

    // Commands, callable from tests as from the menus.
    void FileNew();
    void FileOpen();
    void OpenRecent(int index);
    bool FileSave();
    bool FileSaveAs();
    bool FileClose();
    void EntryNew();
    void EntryEdit(int index);
    void EntryDelete();
    void BackupAll();
    void RestoreAll();
    // Start, stop or clear of the marked entries' PLCs, after the operator's confirmation.
    void RunPlcCommand(app::PlcCommand command);
    // True while a PLC command works: the run loop and the other commands wait.
    bool PlcCommandBusy() const { return plcCommandBusy_; }
    void Configuration();
    void ChooseLanguage();
    void About();
    void TimerTick();
    // Reads the lock keys' states into the status bar.
    void RefreshLockKeys();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeCommand(int id, const char* prompt);
    void BuildCommands();
    void BuildToolBar();
    void BuildMenus();
    void Retranslate();
    // Asks whether a changed set is saved; false when the operator cancels.
    bool AskToSave();
    // Neither a run nor a PLC command is working: both use the one connection record.
    bool Idle() const;
    // Runs an engine call with the commands locked while it works.
    template <typename Fn>
    void Run(Fn fn);

    ShellApp& app_;
    QMdiArea* mdi_;
    QPointer<QMdiSubWindow> child_;
    QPointer<ListView> view_;
    QToolBar* toolBar_;
    StatusPanes* panes_;
    QTimer runTimer_;
    std::map<int, QAction*> commands_;
    std::map<int, const char*> prompts_;
    bool closeAfterRun_ = false;
    bool plcCommandBusy_ = false;
};

}  // namespace vaultra::shell
