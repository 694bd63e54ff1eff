#include "cli/station_session.h"

#include <iostream>
#include <ostream>

#include "cli/set_file.h"
#include "cli/station_store.h"
#include "platform/clock.h"
#include "platform/terminal.h"

namespace vaultra::cli {

namespace {

// The progress bar only makes sense on a terminal that this process draws on.
bool WantsProgressBar(const Context& ctx) {
    return &ctx.out == &std::cout && platform::StandardOutputIsTerminal();
}

}  // namespace

TerminalFrontEnd::Options StationSession::FrontEndOptions(const Context& ctx) {
    TerminalFrontEnd::Options options;
    options.level = ctx.level;
    options.progressBar = WantsProgressBar(ctx);
    options.columns = platform::StandardOutputColumns();
    options.monotonicMs = platform::MonotonicMs;
    options.indexOf = [this](const app::CElement& entry) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < station_.entries.size(); ++i) {
            if (&station_.entries[i] == &entry) {
                return i;
            }
        }
        return std::nullopt;
    };
    return options;
}

StationSession::StationSession(Context& ctx, std::unique_ptr<platform::StationSignals> signals)
    : signals_(std::move(signals)),
      clock_(ctx),
      ui_(
          ctx.out, ctx.now, [this] { return signals_->StopRequested(); }, FrontEndOptions(ctx)),
      drivers_(station_, ui_),
      engine_(station_, ui_, clock_, drivers_) {}

std::unique_ptr<StationSession> StationSession::Open(Context& ctx, const std::string& setPath) {
    auto signals = platform::StationSignals::Install();
    if (!signals) {
        ctx.err << "Die Signalbehandlung kann nicht eingerichtet werden.\n";
        ctx.exitCode = kExitFailed;
        return nullptr;
    }
    auto session = std::make_unique<StationSession>(ctx, std::move(signals));
    if (!OpenSetToRun(ctx, session->station_, setPath)) {
        ctx.exitCode = kExitBadInput;
        return nullptr;
    }
    session->station_.settings.adapterName = ReadAdapterName(ctx);
    session->BindEntries();
    return session;
}

}  // namespace vaultra::cli

namespace vaultra::cli {

void StationSession::BindEntries() {
    for (app::CElement& e : station_.entries) {
        drivers_.BindQrf(e);
    }
}

}  // namespace vaultra::cli
