#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "platform/process.h"
#include "platform/settings_store.h"
#include "platform/time.h"

namespace vaultra::cli {

Cli::Cli(std::ostream& out, std::ostream& err)
    : app_(std::make_unique<CLI::App>("Vaultra: Sicherung und R\xC3\xBC"
                                      "cksicherung von S5- und S7-Steuerungen",
                                      "vaultra-cli")),
      context_{out,
               err,
               kExitOk,
               platform::CurrentTime,
               platform::SettingsStore::DefaultPath(),
               platform::ProgramDirectory().string()} {
    app_->require_subcommand(1);
}

Cli::~Cli() = default;

int Cli::Run(int argc, const char* const* argv) {
    context_.exitCode = kExitOk;
    try {
        app_->parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app_->exit(e, context_.out, context_.err);
    } catch (const CLI::CallForAllHelp& e) {
        return app_->exit(e, context_.out, context_.err);
    } catch (const CLI::ParseError& e) {
        app_->exit(e, context_.out, context_.err);
        return kExitBadInput;
    }
    return context_.exitCode;
}

}  // namespace vaultra::cli
