// The help texts around the commands (environment variables, exit statuses) and the parser's own
// messages, in the chosen language.
#pragma once

#include <string>

namespace CLI {
class App;
class Error;
}  // namespace CLI

namespace vaultra::cli {

// Environment variables and exit statuses, shown under the main help.
std::string MainHelpFooter();

// The exit statuses of the station commands, shown under their help.
std::string StationHelpFooter();

// Headings of the help formatter ("Options", "Positionals", ...) in the chosen language.
void TranslateHelpLabels(CLI::App& app);

// Puts the help flag of every command under the heading of the other options (once all are added).
void GroupHelpFlags(CLI::App& app);

// The parser's refusal of a command line, in the chosen language.
std::string TranslatedParseError(const CLI::Error& error);

}  // namespace vaultra::cli
