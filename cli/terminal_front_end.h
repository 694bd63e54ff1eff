// The engine's front end for vaultra-cli: status texts as time-stamped lines that name the entry, one
// result line (or JSON object) per entry run, a progress bar when standard output is a terminal, and a
// stop request (SIGINT/SIGTERM) as the abort. The output level decides what is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "app/front_end.h"
#include "cli/cli.h"

namespace vaultra::cli {

class TerminalFrontEnd : public app::FrontEnd {
public:
    struct Options {
        OutputLevel level = OutputLevel::Normal;
        bool progressBar = false;
        int columns = 80;
        // The list position of an entry, for the result lines.
        std::function<std::optional<std::size_t>(const app::CElement&)> indexOf;
        // Milliseconds of a monotonic clock, for the durations.
        std::function<std::uint64_t()> monotonicMs;
    };

    // now: the station clock for the time stamps; stopRequested: polled by the abort check.
    TerminalFrontEnd(std::ostream& out, std::function<int64_t()> now, std::function<bool()> stopRequested,
                     Options options);

    void StatusText(const std::string& text) override;
    void DetailText(const std::string& text) override;
    void ShowIdleStatus() override {}
    void ShowClock(const std::string&) override {}
    void ShowProgress() override;
    void SetProgress(int position) override;
    void SetProgressStep(int step) override { step_ = step; }
    void StepProgress() override { SetProgress(position_ + step_); }
    void HideProgress() override;
    app::AbortRequest PollAbort() override;
    void ForgetEscape() override {}
    bool QuitRequested() const override;
    app::MessageAnswer MessageBox(const std::string& text, app::MessageButtons buttons) override;
    void RepaintList() override {}
    void SetBusy(bool) override {}
    void RunStarted(const app::CElement& entry) override;
    void RunEnded(const app::CElement& entry, const app::RunOutcome& outcome) override;

    // A time-stamped line of the station itself (start, reload, end), shown unless quiet.
    void StationText(const std::string& text);

    // Runs that failed or left part of the user program out of the PLC, since the front end was made.
    int FailedRuns() const { return failedRuns_; }

private:
    void Line(const std::string& text);
    void Plain(const std::string& text);
    std::string NamedText(const std::string& text) const;
    void ClearBar();
    void DrawBar();

    std::ostream& out_;
    std::function<int64_t()> now_;
    std::function<bool()> stopRequested_;
    Options options_;
    bool barShown_ = false;
    bool barDrawn_ = false;
    int position_ = 0;
    int step_ = 1;
    std::string runName_;  // entry of the run in progress; empty between runs
    std::uint64_t runStartedMs_ = 0;
    std::string lastText_;  // the run's last status text: the reason of a failure that gives no other
    int failedRuns_ = 0;
};

// Why a run failed: the outcome's failure, else the run's last status text, with the driver's word.
std::string FailureReason(const app::RunOutcome& outcome, const std::string& lastText);
// "gesichert, 593 Bausteine, 1.2 MB, 0.4 s → /path", "zurückgeschrieben, 0.4 s ← /path", "gestoppt, 0.1 s"
// or "fehlgeschlagen: reason, 0.4 s", after "N name: ".
std::string ResultLine(std::size_t index, const std::string& name, const app::RunOutcome& outcome,
                       double seconds);
// The same result as one line of JSON.
std::string ResultJson(std::size_t index, const std::string& name, const app::RunOutcome& outcome,
                       double seconds);

}  // namespace vaultra::cli
