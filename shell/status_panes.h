// The main window's status bar: message, progress, clock, caps, num and scroll panes, and the rule that a
// status text stays at least two seconds before the idle text returns.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include "platform/lock_leds.h"

namespace vaultra::shell {

class StatusPanes : public QObject {
    Q_OBJECT
public:
    // Builds the six panes into the status bar.
    explicit StatusPanes(QStatusBar* bar);

    // Shows a text at once and stops the idle timer.
    void StatusText(const QString& text);
    // The framework's wish to show the idle text: the text waits two seconds (timer 11).
    void RequestIdle();
    void ShowClock(const QString& text);

    void ShowProgress();
    void SetProgress(int position);
    void SetProgressStep(int step) { step_ = step; }
    void StepProgress();
    void HideProgress();

    // The lock keys' states: a lit lock shows its label, a dark one an empty pane, one the system cannot
    // tell its label greyed.
    void SetLockState(const platform::LockIndicators& state);
    void Retranslate();

    QString Message() const { return message_->text(); }
    QString Clock() const { return clock_->text(); }
    QProgressBar* Progress() const { return progress_; }
    bool IdleTimerActive() const { return idleTimer_.isActive(); }
    QWidget* ProgressPane() const { return progressPane_; }
    QLabel* CapsPane() const { return caps_; }
    QLabel* NumPane() const { return num_; }
    QLabel* ScrollPane() const { return scroll_; }

    static constexpr int kIdleDelayMs = 2000;

private:
    QString IdleText() const;
    void ShowLocks();

    QStatusBar* bar_;
    QLabel* message_;
    QWidget* progressPane_;
    QLabel* clock_;
    QLabel* caps_;
    QLabel* num_;
    QLabel* scroll_;
    QPointer<QProgressBar> progress_;
    QTimer idleTimer_;
    platform::LockIndicators locks_;
    int step_ = 1;
    bool showingIdle_ = true;
};

}  // namespace vaultra::shell
