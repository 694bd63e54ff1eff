#include "cli/station_session.h"

#include <iostream>
#include <ostream>

#include "cli/set_file.h"
#include "cli/station_store.h"
#include "platform/terminal.h"

namespace vaultra::cli {

namespace {

// The progress bar only makes sense on a terminal that this process draws on.
bool WantsProgressBar(const Context& ctx) {
    return &ctx.out == &std::cout && platform::StandardOutputIsTerminal();
}

}  // namespace

StationSession::StationSession(Context& ctx, std::unique_ptr<platform::StationSignals> signals)
    : signals_(std::move(signals)),
      clock_(ctx),
      ui_(
          ctx.out, ctx.now, [this] { return signals_->StopRequested(); }, WantsProgressBar(ctx),
          platform::StandardOutputColumns()),
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
    if (!OpenSet(ctx, session->station_, setPath)) {
        ctx.exitCode = kExitBadInput;
        return nullptr;
    }
    session->station_.settings.adapterName = ReadAdapterName(ctx);
    for (app::CElement& e : session->station_.entries) {
        session->drivers_.BindQrf(e);
    }
    return session;
}

}  // namespace vaultra::cli
