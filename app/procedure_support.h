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
// The end of a successful run: the progress bar full, the entry marked, the closing text shown; 1.
int Succeed(FrontEnd& ui, CElement& e, const std::string& text);

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

// The open S5 connection of a run: closed on every way out (with the quiet time the S5 close keeps), the
// PLC started again first when the run stopped it, unless the run decided to leave it stopped.
class OpenS5Connection {
public:
    OpenS5Connection(DriverBinding& drivers, CElement& e) : drivers_(drivers), e_(e) {}
    ~OpenS5Connection() { Close(); }
    OpenS5Connection(const OpenS5Connection&) = delete;
    OpenS5Connection& operator=(const OpenS5Connection&) = delete;

    void Stop() {
        drivers_.S5().AGStop(&drivers_.Record());
        stopped_ = true;
    }
    // A PLC that refused part of a restored program must not run a partial program.
    void LeaveStopped() { stopped_ = false; }
    void Close() {
        if (open_) {
            if (stopped_) {
                drivers_.S5().AGStart(&drivers_.Record());
                stopped_ = false;
            }
            drivers_.CloseS5(e_);
            open_ = false;
        }
    }

private:
    DriverBinding& drivers_;
    CElement& e_;
    bool open_ = true;
    bool stopped_ = false;
};

}  // namespace vaultra::app
