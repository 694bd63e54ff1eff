// What the engine needs from whatever drives it: a desktop window, a terminal, a service or a test.
// The engine calls these on its own thread, between the steps of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vaultra::app {

class CElement;

// What a run of an entry did to its PLC.
enum class RunKind { Backup, Restore, Start, Stop, Clear };

// What one run of an entry did, for a front end's result line.
struct RunOutcome {
    RunKind kind = RunKind::Backup;
    bool succeeded = false;
    std::size_t blocks = 0;   // blocks stored
    std::uint64_t bytes = 0;  // bytes of the stored block images
    std::string path;         // project or program file written; empty when nothing was written
    std::string failure;      // why the run failed, in words (empty on success)
    // The driver's word for the failed call ("Fehler 8404: Steuerung beschäftigt") when the procedure
    // left only its status texts; empty when failure already says it or the driver had nothing to say.
    std::string plcReason;
    std::vector<std::string> refused;  // restore: blocks the PLC did not take ("FB 00012")
    bool refusedUserBlock = false;     // one of them belongs to the user program
};

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// What the front end saw since it was last asked: the operator's Escape key, or a request to end the
// program (window closed, SIGINT/SIGTERM).
enum class AbortRequest { None, Escape, Quit };

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Status line: shown at once; the idle text returns when the front end decides the line is stale.
    virtual void StatusText(const std::string& text) = 0;
    // The finer status texts of a run (every block type and block); a front end may leave them out.
    virtual void DetailText(const std::string& text) { StatusText(text); }
    virtual void ShowIdleStatus() = 0;
    // The clock pane, refreshed by every timer pass ("%d.%m.%Y %H:%M:%S").
    virtual void ShowClock(const std::string& text) = 0;

    // Progress bar 0..100: created on first Show, removed by Hide.
    virtual void ShowProgress() = 0;
    virtual void SetProgress(int position) = 0;
    virtual void SetProgressStep(int step) = 0;
    virtual void StepProgress() = 0;
    virtual void HideProgress() = 0;

    // Handles whatever input is pending and reports an abort wish. Escape counts once per press;
    // a quit request stays reported until the program ends.
    virtual AbortRequest PollAbort() = 0;
    // Forgets an Escape press that happened before a run started.
    virtual void ForgetEscape() = 0;
    virtual bool QuitRequested() const = 0;

    virtual MessageAnswer MessageBox(const std::string& text, MessageButtons buttons) = 0;
    virtual void RepaintList() = 0;
    // Wait cursor of the run-all commands.
    virtual void SetBusy(bool busy) = 0;

    // A run of an entry begins and ends (backup from the timer or a run-all command, restore, and the PLC
    // commands of a front end that runs them one entry at a time).
    virtual void RunStarted(const CElement& /*entry*/) {}
    virtual void RunEnded(const CElement& /*entry*/, const RunOutcome& /*outcome*/) {}
};

// The abort check the procedures call between steps: a quit request aborts at once, an Escape press
// only when the operator confirms it.
bool EscapePressed(FrontEnd& ui);

}  // namespace vaultra::app
