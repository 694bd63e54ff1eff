#include "shell/status_panes.h"

#include <QFontMetrics>
#include <QHBoxLayout>

namespace vaultra::shell {

namespace {

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
    SetLockState(false, false, false);
    Retranslate();
}

QString StatusPanes::IdleText() const {
    return tr("Für Hilfe F1 drücken");
}

void StatusPanes::Retranslate() {
    caps_->setText(tr("UF"));
    num_->setText(tr("NUM"));
    scroll_->setText(tr("RF"));
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

void StatusPanes::SetLockState(bool caps, bool num, bool scroll) {
    caps_->setEnabled(caps);
    num_->setEnabled(num);
    scroll_->setEnabled(scroll);
}

}  // namespace vaultra::shell
