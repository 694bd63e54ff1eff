#include "cli/entry_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <vector>

#include "app/text_catalogue.h"
#include "cli/entry_checks.h"

namespace vaultra::cli {

namespace {

constexpr std::pair<const char*, app::IntervalKind> kIntervals[] = {
    {"every", app::IntervalKind::Every},   {"daily", app::IntervalKind::Daily},
    {"weekly", app::IntervalKind::Weekly}, {"monthly", app::IntervalKind::Monthly},
    {"never", app::IntervalKind::Never},   {"trigger", app::IntervalKind::PlcTrigger}};

// "H:MM" or "H:M:S" into numbers; nullopt unless every part is a plain decimal number.
std::optional<std::vector<int64_t>> SplitTime(const std::string& text, size_t parts) {
    std::vector<int64_t> values;
    size_t start = 0;
    for (size_t i = 0; i < parts; ++i) {
        const size_t end = i + 1 < parts ? text.find(':', start) : text.size();
        if (end == std::string::npos || end == start || end - start > 9) {
            return std::nullopt;
        }
        int64_t value = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + start, text.data() + end, value);
        if (ec != std::errc() || ptr != text.data() + end) {
            return std::nullopt;
        }
        values.push_back(value);
        start = end + 1;
    }
    return values;
}

std::string BadTime(const std::string& option, const std::string& text, const char* form) {
    return "Ung\xC3\xBCltige Zeitangabe \"" + text + "\" bei " + option + " (erwartet " + form + ").";
}

std::optional<std::string> ApplyChoices(const EntryOptions& o, app::EntryDialogValues& v) {
    if (o.interface) {
        if (!app::InterfaceFromLabel(*o.interface)) {
            return "Unbekannte Schnittstelle \"" + *o.interface +
                   "\"; m\xC3\xB6gliche Werte: S5 Direkt, S5 H1-Bus, S7 MPI-Bus, S5-LAN, S7-LAN, S7-RFC1006.";
        }
        v.interfaceLabel = *o.interface;
    }
    if (o.interval) {
        bool known = false;
        for (const auto& [word, kind] : kIntervals) {
            if (*o.interval == word) {
                v.kind = static_cast<int>(kind);
                known = true;
            }
        }
        if (!known) {
            return "Unbekanntes Intervall \"" + *o.interval +
                   "\"; m\xC3\xB6gliche Werte: every, daily, weekly, monthly, never, trigger.";
        }
    }
    if (o.onlyListed || o.skipListed) {
        v.blockMode = o.onlyListed ? 1 : 0;
    }
    return std::nullopt;
}

std::optional<std::string> ApplySchedule(const EntryOptions& o, app::EntryDialogValues& v) {
    if (o.every) {
        const auto t = SplitTime(*o.every, 2);
        if (!t) {
            return BadTime("--every", *o.every, "H:MM");
        }
        v.everyHours = (*t)[0];
        v.everyMinutes = (*t)[1];
    }
    if (o.at) {
        const auto t = SplitTime(*o.at, 2);
        if (!t) {
            return BadTime("--at", *o.at, "HH:MM");
        }
        v.dailyHour = v.weeklyHour = v.monthlyHour = (*t)[0];
        v.dailyMinute = v.weeklyMinute = v.monthlyMinute = (*t)[1];
    }
    if (o.day) {
        const auto t = SplitTime(*o.day, 1);
        if (!t) {
            return "Ung\xC3\xBCltiger Tag \"" + *o.day + "\" bei --day.";
        }
        v.monthlyDay = (*t)[0];
    }
    if (o.weekday) {
        v.weekday = *o.weekday;
    }
    if (o.triggerInterval) {
        const auto t = SplitTime(*o.triggerInterval, 3);
        if (!t) {
            return BadTime("--trigger-interval", *o.triggerInterval, "H:M:S");
        }
        v.triggerHours = (*t)[0];
        v.triggerMinutes = (*t)[1];
        v.triggerSeconds = (*t)[2];
    }
    return std::nullopt;
}

std::optional<std::string> ApplyFields(const EntryOptions& o, app::EntryDialogValues& v,
                                       bool normaliseFileName) {
    const std::pair<const std::optional<std::string>*, std::string*> texts[] = {
        {&o.name, &v.name},
        {&o.address, &v.address},
        {&o.password, &v.password},
        {&o.file, &v.fileName},
        {&o.backupBit, &v.backupBit},
        {&o.restoreBit, &v.restoreBit},
        {&o.nameOperand, &v.nameOperand},
        {&o.blocks, &v.blockList}};
    for (const auto& [given, field] : texts) {
        if (*given) {
            *field = **given;
        }
    }
    if (o.address) {
        if (auto message = app::LeaveAddressField(v)) {
            return message;
        }
    }
    if (o.file || normaliseFileName) {
        app::LeaveFileNameField(v);
    }
    if (o.blocks) {
        app::LeaveBlockListField(v);
    }
    if (auto message = o.backupBit ? app::LeaveBackupBitField(v) : std::nullopt) {
        return message;
    }
    if (auto message = o.restoreBit ? app::LeaveRestoreBitField(v) : std::nullopt) {
        return message;
    }
    return o.nameOperand ? app::LeaveNameOperandField(v) : std::nullopt;
}

// A schedule option that the chosen interval kind does not use would be dropped in silence.
std::optional<std::string> CheckScheduleOptions(const EntryOptions& o, const app::EntryDialogValues& v) {
    using K = app::IntervalKind;
    const auto is = [&v](std::initializer_list<K> kinds) {
        return std::any_of(kinds.begin(), kinds.end(), [&v](K k) { return v.kind == static_cast<int>(k); });
    };
    const struct {
        bool given;
        bool used;
        const char* text;
    } checks[] = {
        {o.every.has_value(), is({K::Every}), "--every gilt nur mit --interval every."},
        {o.at.has_value(), is({K::Daily, K::Weekly, K::Monthly}),
         "--at gilt nur mit --interval daily, weekly oder monthly."},
        {o.weekday.has_value(), is({K::Weekly}), "--weekday gilt nur mit --interval weekly."},
        {o.day.has_value(), is({K::Monthly}), "--day gilt nur mit --interval monthly."},
        {o.triggerInterval.has_value(), is({K::PlcTrigger}),
         "--trigger-interval gilt nur mit --interval trigger."},
    };
    for (const auto& check : checks) {
        if (check.given && !check.used) {
            return app::Tr(check.text);
        }
    }
    return std::nullopt;
}

}  // namespace

void AddEntryOptions(CLI::App& cmd, EntryOptions& o) {
    cmd.add_option("--name", o.name,
                   app::Tr("Name (h\xC3\xB6"
                           "chstens 40 Zeichen)"));
    cmd.add_option("--interface", o.interface,
                   app::Tr("S5 Direkt | S5 H1-Bus | S7 MPI-Bus | S5-LAN | S7-LAN | S7-RFC1006"));
    cmd.add_option("--address", o.address,
                   app::Tr("Adresse: H1 aabbccddeeff, MPI 002[:Slot], IP[:MPI[:Slot]], IP[:Slot]"));
    cmd.add_option("--password", o.password,
                   app::Tr("Passwort (h\xC3\xB6"
                           "chstens 8 Zeichen)"));
    cmd.add_option("--file", o.file, app::Tr("Dateiname"));
    cmd.add_option("--interval", o.interval, app::Tr("every | daily | weekly | monthly | never | trigger"));
    cmd.add_option("--every", o.every, app::Tr("Intervall H:MM (alle)"));
    cmd.add_option("--at", o.at,
                   app::Tr("Uhrzeit HH:MM (t\xC3\xA4glich, w\xC3\xB6"
                           "chentlich, monatlich)"));
    cmd.add_option("--weekday", o.weekday, app::Tr("Son | Mon | Die | Mit | Don | Fre | Sam"));
    cmd.add_option("--day", o.day, app::Tr("Tag des Monats"));
    cmd.add_option("--trigger-interval", o.triggerInterval, app::Tr("Abfrageintervall H:M:S (SPS-Trigger)"));
    cmd.add_option("--backup-bit", o.backupBit, app::Tr("Operand des Backup-Bits"));
    cmd.add_option("--restore-bit", o.restoreBit, app::Tr("Operand des Restore-Bits"));
    cmd.add_option("--name-operand", o.nameOperand, app::Tr("S7-String mit dem Dateinamen"));
    cmd.add_option("--blocks", o.blocks, app::Tr("Bausteinliste"));
    auto* only = cmd.add_flag("--only-listed", o.onlyListed, app::Tr("nur diese Bausteine sichern"));
    auto* skip = cmd.add_flag("--skip-listed", o.skipListed, app::Tr("keinen dieser Bausteine sichern"));
    only->excludes(skip);
}

std::optional<std::string> ApplyEntryOptions(const EntryOptions& o, app::EntryDialogValues& v,
                                             bool normaliseFileName) {
    if (auto message = ApplyChoices(o, v)) {
        return message;
    }
    if (auto message = ApplySchedule(o, v)) {
        return message;
    }
    if (auto message = CheckScheduleOptions(o, v)) {
        return message;
    }
    if (auto message = o.blocks ? CheckBlockListText(*o.blocks) : std::nullopt) {
        return message;
    }
    if (auto message = o.address ? CheckAddressParts(v.interfaceLabel, *o.address) : std::nullopt) {
        return message;
    }
    if (auto message = ApplyFields(o, v, normaliseFileName || o.interface.has_value())) {
        return message;
    }
    return app::ValidateEntryDialog(v);
}

}  // namespace vaultra::cli
