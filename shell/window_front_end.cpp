#include "shell/window_front_end.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <future>
#include <system_error>

#include "app/text_catalogue.h"

namespace vaultra::shell {

namespace {

constexpr qint64 kKeepAliveMs = 20;

// The engine hands over some texts in German; the catalogue gives them in the chosen language (a text
// that is already translated, or has no entry, stays as it is).
QString Translated(const std::string& text) {
    return QString::fromStdString(app::Tr(text));
}

}  // namespace

void WaitServingEvents(uint32_t ms) {
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

int RunServingEvents(const std::function<int()>& work) {
    std::future<int> result;
    try {
        result = std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return work();  // no thread to be had: the work runs here, as it always could
    }
    // Events are served at least every 10 ms while the helper works.
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    return result.get();
}

app::MessageAnswer AskOperator(QWidget* parent, const QString& text, app::MessageButtons buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(text);
    box.setIcon(buttons == app::MessageButtons::Ok ? QMessageBox::Information : QMessageBox::Question);
    QPushButton* first = nullptr;
    QPushButton* second = nullptr;
    switch (buttons) {
        case app::MessageButtons::Ok:
            first = box.addButton(QObject::tr("OK"), QMessageBox::AcceptRole);
            break;
        case app::MessageButtons::OkCancel:
            first = box.addButton(QObject::tr("OK"), QMessageBox::AcceptRole);
            second = box.addButton(QObject::tr("Abbrechen"), QMessageBox::RejectRole);
            break;
        case app::MessageButtons::YesNo:
            first = box.addButton(QObject::tr("&Ja"), QMessageBox::YesRole);
            second = box.addButton(QObject::tr("&Nein"), QMessageBox::NoRole);
            break;
    }
    box.setDefaultButton(first);
    box.setEscapeButton(second != nullptr ? second : first);
    box.exec();
    const bool firstChosen = box.clickedButton() == first;
    if (buttons == app::MessageButtons::YesNo) {
        return firstChosen ? app::MessageAnswer::Yes : app::MessageAnswer::No;
    }
    return firstChosen ? app::MessageAnswer::Ok : app::MessageAnswer::Cancel;
}

WindowFrontEnd::WindowFrontEnd() {
    qApp->installEventFilter(this);
}

WindowFrontEnd::~WindowFrontEnd() {
    if (busy_) {
        QApplication::restoreOverrideCursor();
    }
}

void WindowFrontEnd::Attach(QWidget* owner, StatusPanes* panes, std::function<void()> repaint) {
    owner_ = owner;
    panes_ = panes;
    repaint_ = std::move(repaint);
}

bool WindowFrontEnd::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        QApplication::activeModalWidget() == nullptr) {
        escapePressed_ = true;
    }
    return QObject::eventFilter(watched, event);
}

void WindowFrontEnd::StatusText(const std::string& text) {
    ++statusCount_;
    const QString shown = Translated(text);
    if (panes_) {
        panes_->StatusText(shown);
    }
    Q_EMIT StatusShown(shown);
    KeepAlive();
}

void WindowFrontEnd::ShowIdleStatus() {
    if (panes_) {
        panes_->RequestIdle();
    }
}

void WindowFrontEnd::ShowClock(const std::string& text) {
    if (panes_) {
        panes_->ShowClock(QString::fromStdString(text));
    }
}

void WindowFrontEnd::ShowProgress() {
    if (panes_) {
        panes_->ShowProgress();
    }
}

void WindowFrontEnd::SetProgress(int position) {
    if (panes_) {
        panes_->SetProgress(position);
    }
    KeepAlive();
}

void WindowFrontEnd::SetProgressStep(int step) {
    if (panes_) {
        panes_->SetProgressStep(step);
    }
}

void WindowFrontEnd::StepProgress() {
    if (panes_) {
        panes_->StepProgress();
    }
    KeepAlive();
}

void WindowFrontEnd::KeepAlive() {
    if (pumping_ || QDateTime::currentMSecsSinceEpoch() - lastPollMs_ < kKeepAliveMs) {
        return;
    }
    pumping_ = true;
    QApplication::processEvents(QEventLoop::AllEvents);
    lastPollMs_ = QDateTime::currentMSecsSinceEpoch();
    pumping_ = false;
}

void WindowFrontEnd::HideProgress() {
    if (panes_) {
        panes_->HideProgress();
    }
}

app::AbortRequest WindowFrontEnd::PollAbort() {
    // Keeps the window alive between the steps of a run: paints, clicks, the close box and Escape.
    QApplication::processEvents(QEventLoop::AllEvents);
    lastPollMs_ = QDateTime::currentMSecsSinceEpoch();
    if (quitRequested_) {
        return app::AbortRequest::Quit;
    }
    if (escapePressed_) {
        escapePressed_ = false;
        return app::AbortRequest::Escape;
    }
    return app::AbortRequest::None;
}

app::MessageAnswer WindowFrontEnd::MessageBox(const std::string& text, app::MessageButtons buttons) {
    return AskOperator(owner_, Translated(text), buttons);
}

void WindowFrontEnd::RepaintList() {
    if (repaint_) {
        repaint_();
    }
}

void WindowFrontEnd::SetBusy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    Q_EMIT BusyChanged(busy);
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace vaultra::shell
