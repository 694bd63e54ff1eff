#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "app/scan.h"
#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/terminal_text.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "platform/time.h"

#ifndef VAULTRA_VERSION
#define VAULTRA_VERSION "0"
#endif

namespace vaultra::cli {

using app::Tr;

namespace {

// LANG (or LC_ALL / LC_MESSAGES, which take precedence as for every program) chooses English; German stays
// the default for anything else.
app::Language LanguageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return app::LanguageFromName(value).value_or(app::Language::German);
        }
    }
    return app::Language::German;
}

// --lang is looked at before the parser is built, so that every help text is already in its language.
std::optional<app::Language> LanguageFromArguments(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lang" && i + 1 < argc) {
            return app::LanguageFromName(argv[i + 1]);
        }
        if (arg.starts_with("--lang=")) {
            return app::LanguageFromName(arg.substr(7));
        }
    }
    return std::nullopt;
}

// The first word that is neither an option nor the value of --lang: what the user meant as the command.
std::optional<std::string> FirstWord(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lang") {
            ++i;
        } else if (!arg.starts_with("-")) {
            return arg;
        }
    }
    return std::nullopt;
}

}  // namespace

void ChooseLanguage(int argc, const char* const* argv) {
    app::SetLanguage(LanguageFromArguments(argc, argv).value_or(LanguageFromEnvironment()));
}

Cli::Cli(std::ostream& out, std::ostream& err)
    : app_(std::make_unique<CLI::App>(Tr("Vaultra: Sicherung und R\xC3\xBC"
                                         "cksicherung von S5- und S7-Steuerungen"),
                                      "vaultra-cli")),
      context_{out,
               err,
               kExitOk,
               platform::CurrentTime,
               platform::SettingsStore::DefaultPath(),
               platform::ProgramDirectory().string()} {
    app_->require_subcommand(1);
    app_->fallthrough();
    app_->footer(MainHelpFooter());
    TranslateHelpLabels(*app_);
    app_->set_help_flag("-h,--help", Tr("diese Hilfe zeigen"));
    app_->set_version_flag("--version", std::string("vaultra-cli ") + VAULTRA_VERSION, Tr("Version zeigen"));
    auto* verbose = app_->add_flag_callback(
        "-v,--verbose", [this] { context_.level = OutputLevel::Verbose; },
        Tr("ausf\xC3\xBChrlich: auch jeden Baustein melden"));
    auto* quiet = app_->add_flag_callback(
        "-q,--quiet", [this] { context_.level = OutputLevel::Quiet; }, Tr("still: nur die Ergebniszeilen"));
    verbose->excludes(quiet);
    app_->add_option("--lang", language_,
                     Tr("Sprache der Texte: de (Vorgabe) oder en; ohne die Angabe nach LANG"))
        ->check(CLI::IsMember({"de", "en"}));
}

Cli::~Cli() = default;

int Cli::Run(int argc, const char* const* argv) {
    context_.exitCode = kExitOk;
    context_.level = OutputLevel::Normal;
    GroupHelpFlags(*app_);
    try {
        app_->parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app_->exit(e, context_.out, context_.err);
    } catch (const CLI::CallForAllHelp& e) {
        return app_->exit(e, context_.out, context_.err);
    } catch (const CLI::CallForVersion& e) {
        return app_->exit(e, context_.out, context_.err);
    } catch (const CLI::ParseError& e) {
        // The parser takes a word that names no command for a missing command.
        const auto word = FirstWord(argc, argv);
        if (word && std::string(e.what()) == "A subcommand is required") {
            context_.err << Format(Tr("Unbekannter Befehl \"%s\" (--help zeigt die Befehle)"),
                                   Printable(*word).c_str())
                         << '\n';
        } else {
            context_.err << TranslatedParseError(e) << '\n';
        }
        return kExitBadInput;
    }
    return context_.exitCode;
}

}  // namespace vaultra::cli
