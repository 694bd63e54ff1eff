#include "shell/status_panes.h"

#include <QFontMetrics>
#include <QHBoxLayout>

namespace vaultra::shell {

namespace {

void ShowLock(QLabel* pane, const QString& label, std::optional<bool> on) {
    pane->setText(on.value_or(true) ? label : QString());
    pane->setEnabled(on.has_value());
}

QLabel* AddPane(QStatusBar* bar, const QString& sizingText) {
    auto* pane = new QLabel(bar);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setMinimumWidth(QFontMetrics(pane->font()).horizontalAdvance(sizingText) + 8);
    pane->setAlignment(Qt::AlignCenter);
    bar->addPermanentWidget(pane);
    return pane;
}

}  // namespace

StatusPanes::StatusPanes(QStatusBar* bar) : QObject(bar), bar_(bar) {
    message_ = new QLabel(bar);
    bar->addWidget(message_, 1);
    progressPane_ = new QWidget(bar);
    progressPane_->setLayout(new QHBoxLayout);
    progressPane_->layout()->setContentsMargins(0, 0, 0, 0);
    progressPane_->setFixedWidth(QFontMetrics(bar->font()).averageCharWidth() * 40);
    bar->addPermanentWidget(progressPane_);
    clock_ = AddPane(bar, QStringLiteral("01.01.1970 00:00:00 "));
    caps_ = AddPane(bar, QStringLiteral("CAPS"));
    num_ = AddPane(bar, QStringLiteral("NUM"));
    scroll_ = AddPane(bar, QStringLiteral("SCRL"));
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(kIdleDelayMs);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        idleTimer_.stop();
        showingIdle_ = true;
        message_->setText(IdleText());
    });
    Retranslate();
}

QString StatusPanes::IdleText() const {
    return tr("Für Hilfe F1 drücken");
}

void StatusPanes::Retranslate() {
    ShowLocks();
    if (showingIdle_) {
        message_->setText(IdleText());
    }
}

void StatusPanes::StatusText(const QString& text) {
    idleTimer_.stop();
    showingIdle_ = false;
    message_->setText(text);
    // A run may not return to the event loop for a while: paint the text now.
    message_->repaint();
}

void StatusPanes::RequestIdle() {
    idleTimer_.start();
}

void StatusPanes::ShowClock(const QString& text) {
    clock_->setText(text);
}

void StatusPanes::ShowProgress() {
    if (!progress_) {
        progress_ = new QProgressBar(progressPane_);
        progress_->setRange(0, 100);
        progress_->setTextVisible(false);
        progressPane_->layout()->addWidget(progress_);
        step_ = 1;
    }
    progress_->setValue(0);
    progress_->show();
}

void StatusPanes::SetProgress(int position) {
    if (progress_) {
        progress_->setValue(std::clamp(position, 0, 100));
        progress_->repaint();
    }
}

void StatusPanes::StepProgress() {
    if (progress_) {
        // Like a progress control: stepping past the end wraps to the start.
        int next = progress_->value() + step_;
        if (next > 100) {
            next = next - 101;
        }
        SetProgress(next);
    }
}

void StatusPanes::HideProgress() {
    delete progress_;
}

void StatusPanes::SetLockState(const platform::LockIndicators& state) {
    locks_ = state;
    ShowLocks();
}

void StatusPanes::ShowLocks() {
    ShowLock(caps_, tr("UF"), locks_.caps);
    ShowLock(num_, tr("NUM"), locks_.num);
    ShowLock(scroll_, tr("RF"), locks_.scroll);
}

}  // namespace vaultra::shell
