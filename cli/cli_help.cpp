#include "cli/cli_help.h"

#include <CLI/CLI.hpp>

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
    auto formatter = app.get_formatter();
    for (const char* label : {"OPTIONS", "Options", "Positionals", "Subcommands", "SUBCOMMAND", "REQUIRED",
                              "Usage", "Excludes", "Needs", "TEXT", "INT", "UINT", "BOOLEAN"}) {
        formatter->label(label, Tr(label));
    }
}

std::string TranslatedParseError(const CLI::Error& error) {
    const std::string kind = error.get_name();
    const std::string detail = Printable(error.what());
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
