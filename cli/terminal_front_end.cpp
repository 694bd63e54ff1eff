#include "cli/terminal_front_end.h"

#include <algorithm>
#include <ostream>

#include "platform/time.h"

namespace vaultra::cli {

namespace {

constexpr const char* kStampFormat = "%Y-%m-%d %H:%M:%S";

}  // namespace

TerminalFrontEnd::TerminalFrontEnd(std::ostream& out, std::function<int64_t()> now,
                                   std::function<bool()> stopRequested, bool progressBar, int columns)
    : out_(out),
      now_(std::move(now)),
      stopRequested_(std::move(stopRequested)),
      progressBar_(progressBar),
      columns_(std::max(columns, 20)) {}

void TerminalFrontEnd::Line(const std::string& text) {
    ClearBar();
    out_ << '[' << platform::FormatLocalTime(now_(), kStampFormat) << "] " << text << '\n';
    DrawBar();
    out_.flush();
}

void TerminalFrontEnd::StatusText(const std::string& text) {
    Line(text);
}

app::MessageAnswer TerminalFrontEnd::MessageBox(const std::string& text, app::MessageButtons buttons) {
    // Nobody is there to answer: a station without an operator takes the default button.
    Line(text);
    return buttons == app::MessageButtons::YesNo ? app::MessageAnswer::Yes : app::MessageAnswer::Ok;
}

app::AbortRequest TerminalFrontEnd::PollAbort() {
    return QuitRequested() ? app::AbortRequest::Quit : app::AbortRequest::None;
}

bool TerminalFrontEnd::QuitRequested() const {
    return stopRequested_ && stopRequested_();
}

void TerminalFrontEnd::ShowProgress() {
    barShown_ = true;
    position_ = 0;
    step_ = 1;
    DrawBar();
}

void TerminalFrontEnd::SetProgress(int position) {
    position_ = std::clamp(position, 0, 100);
    DrawBar();
}

void TerminalFrontEnd::HideProgress() {
    ClearBar();
    barShown_ = false;
    out_.flush();
}

void TerminalFrontEnd::ClearBar() {
    if (barDrawn_) {
        out_ << "\r\033[K";
        barDrawn_ = false;
    }
}

void TerminalFrontEnd::DrawBar() {
    if (!progressBar_ || !barShown_) {
        return;
    }
    const int width = std::min(columns_ - 8, 50);
    const int filled = position_ * width / 100;
    out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << position_ << '%'
         << std::flush;
    barDrawn_ = true;
}

}  // namespace vaultra::cli
