// The engine's front end for vaultra-cli: status texts and messages as time-stamped lines, a progress
// bar when standard output is a terminal, and a stop request (SIGINT/SIGTERM) as the abort.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "app/front_end.h"

namespace vaultra::cli {

class TerminalFrontEnd : public app::FrontEnd {
public:
    // now: the station clock for the time stamps; stopRequested: polled by the abort check.
    TerminalFrontEnd(std::ostream& out, std::function<int64_t()> now, std::function<bool()> stopRequested,
                     bool progressBar, int columns = 80);

    void StatusText(const std::string& text) override;
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

private:
    void Line(const std::string& text);
    void ClearBar();
    void DrawBar();

    std::ostream& out_;
    std::function<int64_t()> now_;
    std::function<bool()> stopRequested_;
    bool progressBar_;
    int columns_;
    bool barShown_ = false;
    bool barDrawn_ = false;
    int position_ = 0;
    int step_ = 1;
};

}  // namespace vaultra::cli
