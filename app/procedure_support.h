// Pieces every PLC procedure shares: formatted texts, result marking, the progress bar and the open
// driver connection that is released on every way out.
#pragma once

#include <string>

#include <vaultra/records.h>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/front_end.h"
#include "app/scan.h"

namespace vaultra::app {

void MarkFailed(CElement& e);
void MarkSucceeded(CElement& e);

// A text from the PLC shown in a message: cut short, control characters made visible.
std::string Printable(const std::string& text);

// Shows the progress bar for the life of a run.
class ProgressScope {
public:
    explicit ProgressScope(FrontEnd& ui) : ui_(ui) { ui_.ShowProgress(); }
    ~ProgressScope() { ui_.HideProgress(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    FrontEnd& ui_;
};

// The open driver connection of a run: released on every way out, the PLC started again first when the
// run stopped it and has not started it yet.
class OpenConnection {
public:
    OpenConnection(const S7Table& s7, ConnectionRecord& record) : s7_(s7), record_(record) {}
    ~OpenConnection() { Close(); }
    OpenConnection(const OpenConnection&) = delete;
    OpenConnection& operator=(const OpenConnection&) = delete;

    void Stop() {
        s7_.AGStop(&record_);
        stopped_ = true;
    }
    void StartIfStopped() {
        if (stopped_) {
            s7_.AGStart(&record_);
            stopped_ = false;
        }
    }
    void Close() {
        if (open_) {
            StartIfStopped();
            s7_.Exit(&record_, 0);
            open_ = false;
        }
    }

private:
    const S7Table& s7_;
    ConnectionRecord& record_;
    bool open_ = true;
    bool stopped_ = false;
};

}  // namespace vaultra::app
