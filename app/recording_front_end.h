// A front end that records every call, for tests of the engine and its procedures. Abort requests and
// message-box answers come from hooks the test sets.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/front_end.h"

namespace vaultra::app {

class RecordingFrontEnd : public FrontEnd {
public:
    enum class Kind {
        Status,
        Idle,
        Clock,
        ShowProgress,
        SetProgress,
        SetStep,
        Step,
        HideProgress,
        Message,
        Repaint,
        Busy
    };
    struct Event {
        Kind kind;
        std::string text;  // Status, Clock, Message
        int value = 0;     // SetProgress, SetStep, Busy
    };

    void StatusText(const std::string& text) override;
    void ShowIdleStatus() override { Record(Kind::Idle); }
    void ShowClock(const std::string& text) override { Record(Kind::Clock, text); }
    void ShowProgress() override { Record(Kind::ShowProgress); }
    void SetProgress(int position) override { Record(Kind::SetProgress, {}, position); }
    void SetProgressStep(int step) override { Record(Kind::SetStep, {}, step); }
    void StepProgress() override { Record(Kind::Step); }
    void HideProgress() override { Record(Kind::HideProgress); }
    AbortRequest PollAbort() override;
    void ForgetEscape() override { ++forgetCount; }
    bool QuitRequested() const override { return quit; }
    MessageAnswer MessageBox(const std::string& text, MessageButtons buttons) override;
    void RepaintList() override { Record(Kind::Repaint); }
    void SetBusy(bool busy) override { Record(Kind::Busy, {}, busy ? 1 : 0); }

    // Texts of every Status event, in order.
    std::vector<std::string> StatusTexts() const;
    std::vector<std::string> Messages() const;
    int Count(Kind kind) const;
    bool SawStatus(const std::string& text) const;

    std::vector<Event> events;
    int pollCount = 0;
    int forgetCount = 0;
    bool quit = false;  // sticky quit request, as a signal would set it

    // Called on every poll with its 1-based number; returns what the operator did since the last one.
    std::function<AbortRequest(int poll)> onPoll;
    // Called after a status text is recorded (lets a test act at a given step of a run).
    std::function<void(const std::string&)> onStatus;
    // Answers of the next message boxes; Ok (or Yes) when empty.
    std::deque<MessageAnswer> answers;

private:
    void Record(Kind kind, std::string text = {}, int value = 0);
};

}  // namespace vaultra::app
