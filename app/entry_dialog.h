// The entry dialog ("Eintrag") without a window: its values, the checks and normalisations it runs when a
// field is left or a choice is made, the checks on OK, and how its values become entry fields. The desktop
// dialog and vaultra-cli both use it, so both say the same German messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/element.h"

namespace vaultra::app {

// What the dialog shows and edits. Numbers are wide so that out-of-range input can be refused, not wrapped.
struct EntryDialogValues {
    std::string name;
    std::string interfaceLabel = "S5 Direkt";
    std::string address;
    std::string password;
    std::string fileName;
    int kind = static_cast<int>(IntervalKind::Never);  // radio buttons 0 "alle" .. 5 "SPS-Trigger"
    int64_t everyHours = 0, everyMinutes = 0;
    int64_t dailyHour = 0, dailyMinute = 0;
    std::string weekday;  // "Son" .. "Sam"; empty when none is chosen
    int64_t weeklyHour = 0, weeklyMinute = 0;
    int64_t monthlyDay = 0, monthlyHour = 0, monthlyMinute = 0;
    int64_t triggerHours = 0, triggerMinutes = 0, triggerSeconds = 0;
    std::string backupBit, restoreBit, nameOperand;
    int blockMode = 0;  // 0 "keinen dieser Bausteine sichern", 1 "nur diese Bausteine sichern"
    std::string blockList;
};

// The interface a label stands for; a label that matches none is taken as "S5 H1-Bus".
InterfaceKind InterfaceOfLabel(std::string_view label);

// Filled from an entry for a change: texts as stored, the address edit text, the weekday label, the
// trigger interval split into hours/minutes/seconds, the interface label and the fields of the entry's kind.
EntryDialogValues DialogValuesFromEntry(const CElement& e);

// Choosing an interval kind: "SPS-Trigger" with a non-S7 interface is refused (the kind stays as it was)
// and the message returned.
std::optional<std::string> ChooseIntervalKind(EntryDialogValues& v, int kind);
// Choosing an interface label: a non-S7 label while the kind is "SPS-Trigger" sets the kind to "nie" and
// returns the message.
std::optional<std::string> ChooseInterface(EntryDialogValues& v, std::string_view label);

// Leaving the file name field: the directory part is dropped, and the extension becomes ".S7P" for S7 labels
// and ".QRF" for the others unless its first four characters are already exactly that.
std::string NormaliseFileName(std::string_view label, std::string_view text);

// Leaving a field: checks and normalises it in place; returns the German message when the text is refused
// (the text is then left as typed).
std::optional<std::string> LeaveAddressField(EntryDialogValues& v);
void LeaveFileNameField(EntryDialogValues& v);
void LeaveBlockListField(EntryDialogValues& v);
std::optional<std::string> LeaveBackupBitField(EntryDialogValues& v);
std::optional<std::string> LeaveRestoreBitField(EntryDialogValues& v);
std::optional<std::string> LeaveNameOperandField(EntryDialogValues& v);

// The checks on OK: text limits and storable characters, number ranges, the address and operand checks, the
// PLC trigger only for S7, and a weekday and a day of month for the kinds that need them. The first message,
// or nullopt when the values can be taken.
std::optional<std::string> ValidateEntryDialog(const EntryDialogValues& v);

// Writes the values into an entry (a new one, or one being changed in place): name, file name, password,
// flags formed anew (kind, interface bit, OnlyListed; so Marked and the result bits are cleared), address,
// day/hour/minute of the kind, trigger fields, nextBackup computed against now, the block list (a single
// space when empty).
void ApplyEntryDialog(const EntryDialogValues& v, CElement& e, int64_t now);

inline constexpr const char* kTriggerOnlyS7 = "Der SPS-Trigger kann nur bei S7-Steuerungen verwendet werden!";
inline constexpr const char* kNoWeekday = "Bitte w\xC3\xA4hlen Sie einen Wochentag aus!";
inline constexpr const char* kNoDayOfMonth =
    "Der Tag des Monats ist ung\xC3\xBCltig, bitte geben Sie 1 bis 31 ein!";

// The framework's range messages, which name no field.
std::string IntegerRangeMessage(int64_t low, int64_t high);
std::string TextLengthMessage(size_t max_characters);
// Refusal of a character the set file cannot store (no Windows-1252 form, or a control character).
std::string UnstorableCharacterMessage(std::string_view character);

}  // namespace vaultra::app
