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

const char* DoneWord(app::RunKind kind) {
    switch (kind) {
        case app::RunKind::Backup:
            return Tr("gesichert");
        case app::RunKind::Restore:
            return Tr(
                "zur\xC3\xBC"
                "ckgeschrieben");
        case app::RunKind::Start:
            return Tr("gestartet");
        case app::RunKind::Stop:
            return Tr("gestoppt");
        case app::RunKind::Clear:
            break;
    }
    return Tr("gel\xC3\xB6scht");
}

const char* CommandName(app::RunKind kind) {
    switch (kind) {
        case app::RunKind::Backup:
            return "backup";
        case app::RunKind::Restore:
            return "restore";
        case app::RunKind::Start:
            return "start";
        case app::RunKind::Stop:
            return "stop";
        case app::RunKind::Clear:
            break;
    }
    return "clear";
}

std::string BackupDone(const app::RunOutcome& outcome, double seconds) {
    if (outcome.path.empty()) {
        return Format(Tr("gesichert, %zu Bausteine, nichts geschrieben, %.1f s"), outcome.blocks, seconds);
    }
    return Format(Tr("gesichert, %zu Bausteine, %s, %.1f s \xE2\x86\x92 %s"), outcome.blocks,
                  Size(outcome.bytes).c_str(), seconds, Printable(outcome.path).c_str());
}

// The blocks a PLC did not take, after a restore's result: " (nicht angenommen: FB 00012 SFC 00001)".
std::string RefusedNote(const app::RunOutcome& outcome) {
    if (outcome.refused.empty()) {
        return {};
    }
    std::string list;
    for (const std::string& block : outcome.refused) {
        list += (list.empty() ? "" : " ") + Printable(block);
    }
    return Format(Tr(" (nicht angenommen: %s)"), list.c_str());
}

}  // namespace

std::string FailureReason(const app::RunOutcome& outcome, const std::string& lastText) {
    std::string reason = outcome.failure.empty() ? lastText : outcome.failure;
    if (!outcome.plcReason.empty() && reason.find(outcome.plcReason) == std::string::npos) {
        reason = reason.empty() ? outcome.plcReason : reason + " (" + outcome.plcReason + ")";
    }
    return reason.empty() ? std::string(Tr("Grund unbekannt")) : reason;
}

std::string ResultLine(std::size_t index, const std::string& name, const app::RunOutcome& outcome,
                       double seconds) {
    std::string line = Format("%zu %s: ", index, Printable(name).c_str());
    if (!outcome.succeeded) {
        const std::string reason = FailureReason(outcome, {});
        return line + Format(Tr("fehlgeschlagen: %s, %.1f s"), Printable(reason).c_str(), seconds) +
               RefusedNote(outcome);
    }
    if (outcome.kind == app::RunKind::Backup) {
        return line + BackupDone(outcome, seconds);
    }
    line += Format("%s, %.1f s", DoneWord(outcome.kind), seconds);
    if (outcome.kind == app::RunKind::Restore && !outcome.path.empty()) {
        line += " \xE2\x86\x90 " + Printable(outcome.path);
    }
    return line + RefusedNote(outcome);
}

std::string ResultJson(std::size_t index, const std::string& name, const app::RunOutcome& outcome,
                       double seconds) {
    nlohmann::ordered_json j = {{"index", index},
                                {"name", name},
                                {"command", CommandName(outcome.kind)},
                                {"result", outcome.succeeded ? "ok" : "failed"}};
    if (outcome.kind == app::RunKind::Backup) {
        j["blocks"] = outcome.blocks;
        j["bytes"] = outcome.bytes;
    }
    j["seconds"] = static_cast<double>(static_cast<long long>(seconds * 1000)) / 1000;
    if (outcome.kind == app::RunKind::Backup || outcome.kind == app::RunKind::Restore) {
        j["path"] = outcome.path;
    }
    if (outcome.kind == app::RunKind::Restore) {
        j["refused"] = outcome.refused;
    }
    j["error"] = outcome.failure;
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
    // Fixed texts of the procedures arrive untranslated; those with values filled in were translated
    // before they were filled.
    const std::string shown = Tr(text);
    if (!runName_.empty()) {
        lastText_ = shown;
    }
    if (options_.level == OutputLevel::Normal || options_.level == OutputLevel::Verbose) {
        Line(NamedText(shown));
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
    lastText_.clear();
    runStartedMs_ = options_.monotonicMs ? options_.monotonicMs() : 0;
}

void TerminalFrontEnd::RunEnded(const app::CElement& entry, const app::RunOutcome& ended) {
    app::RunOutcome outcome = ended;
    if (!outcome.succeeded) {
        // Status texts name the entry already; the result line names it once.
        std::string last = lastText_;
        if (last.starts_with(runName_ + ": ")) {
            last.erase(0, runName_.size() + 2);
        }
        while (!last.empty() && (last.back() == '.' || last.back() == ' ' || last.back() == '\n')) {
            last.pop_back();
        }
        outcome.failure = FailureReason(outcome, Printable(last));
        ++failedRuns_;
    }
    if (outcome.refusedUserBlock) {
        ++failedRuns_;
    }
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
