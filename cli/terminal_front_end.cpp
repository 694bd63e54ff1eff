#include "cli/terminal_front_end.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>

#include "app/element.h"
#include "app/text_catalogue.h"
#include "cli/terminal_text.h"
#include "platform/time.h"

namespace vaultra::cli {

using app::Tr;

namespace {

constexpr const char* kStampFormat = "%Y-%m-%d %H:%M:%S";

std::string Size(std::uint64_t bytes) {
    if (bytes < 1000) {
        return Format("%llu B", static_cast<unsigned long long>(bytes));
    }
    if (bytes < 1000 * 1000) {
        return Format("%.1f kB", static_cast<double>(bytes) / 1e3);
    }
    return Format("%.1f MB", static_cast<double>(bytes) / 1e6);
}

}  // namespace

std::string ResultLine(std::size_t index, const std::string& name, const app::RunOutcome& outcome,
                       double seconds) {
    std::string line = Format("%zu %s: ", index, Printable(name).c_str());
    if (!outcome.succeeded) {
        const std::string reason =
            outcome.failure.empty() ? std::string(Tr("Grund unbekannt")) : outcome.failure;
        return line + Format(Tr("fehlgeschlagen: %s, %.1f s"), Printable(reason).c_str(), seconds);
    }
    if (outcome.path.empty()) {
        return line +
               Format(Tr("gesichert, %zu Bausteine, nichts geschrieben, %.1f s"), outcome.blocks, seconds);
    }
    return line + Format(Tr("gesichert, %zu Bausteine, %s, %.1f s \xE2\x86\x92 %s"), outcome.blocks,
                         Size(outcome.bytes).c_str(), seconds, Printable(outcome.path).c_str());
}

std::string ResultJson(std::size_t index, const std::string& name, const app::RunOutcome& outcome,
                       double seconds) {
    nlohmann::ordered_json j = {
        {"index", index},
        {"name", name},
        {"result", outcome.succeeded ? "ok" : "failed"},
        {"blocks", outcome.blocks},
        {"bytes", outcome.bytes},
        {"seconds", static_cast<double>(static_cast<long long>(seconds * 1000)) / 1000},
        {"path", outcome.path},
        {"error", outcome.failure}};
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

TerminalFrontEnd::TerminalFrontEnd(std::ostream& out, std::function<int64_t()> now,
                                   std::function<bool()> stopRequested, Options options)
    : out_(out),
      now_(std::move(now)),
      stopRequested_(std::move(stopRequested)),
      options_(std::move(options)) {
    options_.columns = std::max(options_.columns, 20);
    const bool chatty = options_.level == OutputLevel::Normal || options_.level == OutputLevel::Verbose;
    options_.progressBar = options_.progressBar && chatty;
}

void TerminalFrontEnd::Line(const std::string& text) {
    Plain('[' + platform::FormatLocalTime(now_(), kStampFormat) + "] " + Printable(text));
}

void TerminalFrontEnd::Plain(const std::string& text) {
    ClearBar();
    out_ << text << '\n';
    DrawBar();
    out_.flush();
}

// Every line of a run names its entry, also the engine's plain texts ("AG gesichert.").
std::string TerminalFrontEnd::NamedText(const std::string& text) const {
    if (runName_.empty() || text.starts_with(runName_ + ":")) {
        return text;
    }
    return runName_ + ": " + text;
}

void TerminalFrontEnd::StatusText(const std::string& text) {
    if (options_.level == OutputLevel::Normal || options_.level == OutputLevel::Verbose) {
        Line(NamedText(text));
    }
}

void TerminalFrontEnd::DetailText(const std::string& text) {
    if (options_.level == OutputLevel::Verbose) {
        Line(NamedText(text));
    }
}

void TerminalFrontEnd::StationText(const std::string& text) {
    if (options_.level == OutputLevel::Normal || options_.level == OutputLevel::Verbose) {
        Line(text);
    }
}

app::MessageAnswer TerminalFrontEnd::MessageBox(const std::string& text, app::MessageButtons buttons) {
    // Nobody is there to answer: a station without an operator takes the default button.
    StatusText(text);
    return buttons == app::MessageButtons::YesNo ? app::MessageAnswer::Yes : app::MessageAnswer::Ok;
}

void TerminalFrontEnd::RunStarted(const app::CElement& entry) {
    runName_ = entry.name;
    runStartedMs_ = options_.monotonicMs ? options_.monotonicMs() : 0;
}

void TerminalFrontEnd::RunEnded(const app::CElement& entry, const app::RunOutcome& outcome) {
    runName_.clear();
    const std::uint64_t endMs = options_.monotonicMs ? options_.monotonicMs() : 0;
    const double seconds = static_cast<double>(endMs - std::min(endMs, runStartedMs_)) / 1000.0;
    const std::size_t index = options_.indexOf ? options_.indexOf(entry).value_or(0) : 0;
    if (options_.level == OutputLevel::Json) {
        Plain(ResultJson(index, entry.name, outcome, seconds));
    } else {
        Plain(ResultLine(index, entry.name, outcome, seconds));
    }
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
    if (!options_.progressBar || !barShown_) {
        return;
    }
    const int width = std::min(options_.columns - 8, 50);
    const int filled = position_ * width / 100;
    out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << position_ << '%'
         << std::flush;
    barDrawn_ = true;
}

}  // namespace vaultra::cli
