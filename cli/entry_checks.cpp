#include "cli/entry_checks.h"

#include <algorithm>
#include <cctype>

#include "app/text_catalogue.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == ';' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The two letters the block list scanner takes as a token.
bool StartsToken(std::string_view s, std::size_t i) {
    const auto up = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    return i + 1 < s.size() && std::string_view("DFOPS").find(up(s[i])) != std::string_view::npos &&
           (up(s[i + 1]) == 'B' || up(s[i + 1]) == 'X');
}

}  // namespace

std::optional<std::string> CheckBlockListText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        if (!StartsToken(text, i)) {
            std::size_t end = i;
            while (end < text.size() && !IsSeparator(text[end])) {
                ++end;
            }
            return Format(Tr("Unbekannter Baustein \"%s\" in der Bausteinliste; erlaubt sind DB, SB, PB, FB, "
                             "OB, FX (S7: FC), DX (S7: SFB) mit oder ohne Nummer, z. B. \"DB 1,FX 22\"."),
                          Printable(text.substr(i, end - i)).c_str());
        }
        i += 2;
        while (i < text.size() && (text[i] == ' ' || IsDigit(text[i]))) {
            ++i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckAddressParts(std::string_view interfaceLabel, std::string_view address) {
    struct Form {
        const char* label;
        long maxColons;
        const char* text;
    };
    constexpr Form kForms[] = {{"S7 MPI-Bus", 1, "MPI[:Slot]"},
                               {"S5-LAN", 0, "IP"},
                               {"S7-LAN", 2, "IP[:MPI[:Slot]]"},
                               {"S7-RFC1006", 1, "IP[:Slot]"},
                               {"S5 H1-Bus", 0, "aabbccddeeff"}};
    const long colons = std::count(address.begin(), address.end(), ':');
    for (const Form& form : kForms) {
        if (interfaceLabel == form.label && colons > form.maxColons) {
            return Format(Tr("Die Adresse \"%s\" hat mehr Teile, als die Schnittstelle %s kennt (%s)."),
                          Printable(address).c_str(), form.label, form.text);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ScheduleWarning(const app::EntryDialogValues& v) {
    if (v.kind == static_cast<int>(app::IntervalKind::Every) && v.everyHours == 0 && v.everyMinutes == 0) {
        return Tr(
            "Warnung: Intervall alle 0:00 \xE2\x80\x93 der Eintrag wird bei jedem Durchlauf der Station "
            "(jede Sekunde) gesichert.");
    }
    return std::nullopt;
}

}  // namespace vaultra::cli
