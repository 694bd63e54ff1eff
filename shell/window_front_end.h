// The engine's front end for the desktop window: status bar texts and progress, the Escape key and the
// close request as abort wishes, message boxes, list repaints and the wait cursor.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "app/front_end.h"
#include "shell/status_panes.h"

namespace vaultra::shell {

class WindowFrontEnd : public QObject, public app::FrontEnd {
    Q_OBJECT
public:
    WindowFrontEnd();
    ~WindowFrontEnd() override;

    // The window the texts, boxes and repaints go to; until then they are dropped.
    void Attach(QWidget* owner, StatusPanes* panes, std::function<void()> repaint);

    void StatusText(const std::string& text) override;
    void ShowIdleStatus() override;
    void ShowClock(const std::string& text) override;
    void ShowProgress() override;
    void SetProgress(int position) override;
    void SetProgressStep(int step) override;
    void StepProgress() override;
    void HideProgress() override;
    app::AbortRequest PollAbort() override;
    void ForgetEscape() override { escapePressed_ = false; }
    bool QuitRequested() const override { return quitRequested_; }
    app::MessageAnswer MessageBox(const std::string& text, app::MessageButtons buttons) override;
    void RepaintList() override;
    void SetBusy(bool busy) override;

    // The operator asked to end the program while a run works: the run aborts at its next check.
    void RequestQuit() { quitRequested_ = true; }
    // The program goes on after all (the operator kept it open at the save question).
    void ClearQuit() { quitRequested_ = false; }
    // How many status texts have been shown so far.
    quint64 StatusCount() const { return statusCount_; }

Q_SIGNALS:
    // Every status text, as it is shown.
    void StatusShown(const QString& text);
    // A run-all command began or ended.
    void BusyChanged(bool busy);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Handles pending input when the last time was more than a few milliseconds ago: the procedures
    // report progress more often than they check for an abort.
    void KeepAlive();

    QPointer<QWidget> owner_;
    QPointer<StatusPanes> panes_;
    std::function<void()> repaint_;
    bool escapePressed_ = false;
    bool quitRequested_ = false;
    bool busy_ = false;
    qint64 lastPollMs_ = 0;
    bool pumping_ = false;
    quint64 statusCount_ = 0;
};

// Waits ms milliseconds while the window goes on painting and taking input: the waits of the PLC
// commands would otherwise freeze it for seconds.
void WaitServingEvents(uint32_t ms);

// Runs work on a helper thread while this thread goes on serving the window's events, and returns its
// result. For the waits of a run (driver calls, writing a project) on data no event handler touches while
// a run works: the window holds off its timer pass and the commands that use the connection record.
int RunServingEvents(const std::function<int()>& work);

// A message box with the program's own button texts; the answer in the engine's terms.
app::MessageAnswer AskOperator(QWidget* parent, const QString& text, app::MessageButtons buttons);

}  // namespace vaultra::shell
