// Everything a station command runs with: the loaded set, the terminal front end, the driver binding
// and the engine, wired together for one invocation.
#pragma once

#include <memory>
#include <string>

#include "app/driver_binding.h"
#include "app/run_loop.h"
#include "app/station.h"
#include "cli/cli.h"
#include "cli/terminal_front_end.h"
#include "platform/station_signals.h"

namespace vaultra::cli {

class StationSession {
public:
    // Loads the set and binds the S5 program file library for each entry; null (with a message and
    // ctx.exitCode set) when the set does not load cleanly or the signal handlers cannot be installed.
    static std::unique_ptr<StationSession> Open(Context& ctx, const std::string& setPath);

    app::Station& Station() { return station_; }
    app::Engine& Engine() { return engine_; }
    TerminalFrontEnd& Ui() { return ui_; }
    platform::StationSignals& Signals() { return *signals_; }

    StationSession(Context& ctx, std::unique_ptr<platform::StationSignals> signals);

    // Binds the S5 program file library for every entry (again after the list was replaced).
    void BindEntries();

private:
    TerminalFrontEnd::Options FrontEndOptions(const Context& ctx);

    class ContextClock : public app::WallClock {
    public:
        explicit ContextClock(Context& ctx) : ctx_(ctx) {}
        int64_t Now() override { return ctx_.now(); }

    private:
        Context& ctx_;
    };

    std::unique_ptr<platform::StationSignals> signals_;
    app::Station station_;
    ContextClock clock_;
    TerminalFrontEnd ui_;
    app::DriverBinding drivers_;
    app::Engine engine_;
};

}  // namespace vaultra::cli
