#include "cli/cli_help.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <regex>
#include <utility>

#include "app/scan.h"
#include "app/text_catalogue.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

std::string MainHelpFooter() {
    return Tr("Umgebungsvariablen:\n"
              "  VAULTRA_COM<n>           Ger\xC3\xA4t der seriellen Schnittstelle COM<n> (z. B. "
              "VAULTRA_COM1=/dev/ttyUSB0)\n"
              "  VAULTRA_ISO_TCP_PORT     TCP-Port f\xC3\xBCr S7-RFC1006 statt 102\n"
              "  VAULTRA_LAN_RAW_PORT     TCP-Port des LAN-Adapters (ohne Rahmen) statt 10010\n"
              "  VAULTRA_LAN_FRAMED_PORT  TCP-Port des LAN-Adapters (mit L\xC3\xA4ngenrahmen) statt 64738\n"
              "  XDG_CONFIG_HOME          Ort der Benutzereinstellungen (Netzwerkadapter)\n"
              "  LANG                     en... w\xC3\xA4hlt englische Texte (wie --lang en)\n"
              "\n") +
           StationHelpFooter();
}

std::string StationHelpFooter() {
    return Tr(
        "Exit-Status: 0 alles erfolgreich, 1 eine Sicherung oder ein Schreibvorgang ist "
        "fehlgeschlagen (bei inspect: etwas war nicht lesbar), 2 falsche Eingabe, Sicherungssatz nicht "
        "lesbar oder leer.");
}

void TranslateHelpLabels(CLI::App& app) {
    // The formatter's own headings and type names, by the German text of each.
    const std::pair<const char*, const char*> labels[] = {{"OPTIONS", "OPTIONEN"},
                                                          {"Options", "Optionen"},
                                                          {"Positionals", "Argumente"},
                                                          {"Subcommands", "Befehle"},
                                                          {"SUBCOMMAND", "BEFEHL"},
                                                          {"REQUIRED", "PFLICHT"},
                                                          {"Usage", "Aufruf"},
                                                          {"Excludes", "Schlie\xC3\x9Ft aus"},
                                                          {"Needs", "Braucht"},
                                                          {"TEXT", "TEXT"},
                                                          {"INT", "ZAHL"},
                                                          {"UINT", "ZAHL"},
                                                          {"BOOLEAN", "JA/NEIN"}};
    auto formatter = app.get_formatter();
    for (const auto& [label, german] : labels) {
        formatter->label(label, Tr(german));
    }
    // The heading of the options is the name of their group, which options added later take over.
    app.option_defaults()->group(Tr("Optionen"));
}

void GroupHelpFlags(CLI::App& app) {
    // A command takes its help flag from its parent before it takes the option defaults.
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        if (CLI::Option* help = command->get_help_ptr()) {
            help->group(Tr("Optionen"));
        }
        GroupHelpFlags(*command);
    }
}

namespace {

// The shapes of the parser's messages, each with its text in the station's words: the groups of the
// pattern fill the conversions in order.
struct MessageShape {
    const char* pattern;
    const char* german;
};

const MessageShape kMessageShapes[] = {
    {"A subcommand is required|Requires at least [0-9]+ subcommands",
     "Angabe fehlt: ein Befehl (--help zeigt die Befehle)"},
    {"(.+): [0-9]+ required \\S+ missing", "Angabe fehlt: der Wert von %s"},
    {"(.+) is required", "Angabe fehlt: %s"},
    {"(.+) excludes (.+)",
     "%s und %s schlie\xC3\x9F"
     "en sich aus."},
    {"(.+) requires (.+)", "%s braucht auch %s."},
    {"The following arguments? (?:was|were) not expected: (.+)",
     "Unerwartete Angabe: %s (--help zeigt die Angaben)"},
    {"(.+): (.+) not in \\{(.*)\\}", "%s: \"%s\" ist nicht m\xC3\xB6glich; m\xC3\xB6glich sind %s."},
    {"The value (.+) is not an allowed value for (.+)", "Ung\xC3\xBCltiger Wert \"%s\" bei %s."},
    {"Could not convert: (.+) = (.+)", "Ung\xC3\xBCltiger Wert bei %s: \"%s\"."},
    {"(.+): Should be true/false or a number", "%s: erwartet true/false oder eine Zahl."},
    {"(.+): too many inputs for a flag", "%s ist ein Schalter und nimmt keinen Wert."},
    {"Expected (?:exactly|at least) [0-9]+ arguments? to (.+), got [0-9]+", "%s: falsche Anzahl von Werten."},
};

// Longer messages are cut first (a value shown up to there, then an ellipsis): the patterns backtrack,
// and over a huge argument the matcher would run out of stack.
constexpr std::size_t kMaxShapedMessage = 512;

std::string CutForMatching(const std::string& message) {
    if (message.size() <= kMaxShapedMessage) {
        return message;
    }
    std::size_t cut = kMaxShapedMessage;
    while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) {
        --cut;  // not in the middle of a character
    }
    return message.substr(0, cut) + "\xE2\x80\xA6";
}

std::optional<std::string> InStationWords(const std::string& whole) {
    const std::string message = CutForMatching(whole);
    for (const MessageShape& shape : kMessageShapes) {
        std::smatch match;
        if (!std::regex_match(message, match, std::regex(shape.pattern))) {
            continue;
        }
        std::string parts[3];
        for (std::size_t i = 1; i < match.size() && i <= 3; ++i) {
            parts[i - 1] = match[i].str();
        }
        return Format(Tr(shape.german), parts[0].c_str(), parts[1].c_str(), parts[2].c_str());
    }
    return std::nullopt;
}

}  // namespace

std::string TranslatedParseError(const CLI::Error& error) {
    const std::string kind = error.get_name();
    const std::string detail = Printable(error.what());
    if (auto words = InStationWords(detail)) {
        return *words;
    }
    if (kind == "RequiredError") {
        return Tr("Angabe fehlt: ") + detail;
    }
    if (kind == "ExtrasError") {
        return Tr("Unerwartete Angabe: ") + detail;
    }
    if (kind == "ConversionError" || kind == "ValidationError" || kind == "ArgumentMismatch") {
        return Tr("Ung\xC3\xBCltiger Wert: ") + detail;
    }
    if (kind == "ExcludesError") {
        return Tr("Diese Angaben schlie\xC3\x9F"
                  "en sich aus: ") +
               detail;
    }
    return Tr("Falsche Eingabe: ") + detail + Tr(" (--help zeigt die Angaben)");
}

}  // namespace vaultra::cli
