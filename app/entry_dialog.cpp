#include "app/entry_dialog.h"

#include <cstdio>

#include "app/address.h"
#include "app/block_list.h"
#include "app/operand.h"
#include "app/schedule.h"
#include "app/text_catalogue.h"
#include "platform/cp1252.h"

namespace vaultra::app {

namespace {

constexpr int kTriggerKind = static_cast<int>(IntervalKind::PlcTrigger);

bool IsS7Label(std::string_view label) {
    return IsS7Interface(InterfaceOfLabel(label));
}

// A storable text of at most max characters, or the message that refuses it.
std::optional<std::string> CheckText(std::string_view text, size_t max) {
    if (platform::Utf8Length(text) > max) {
        return TextLengthMessage(max);
    }
    if (const auto bad = platform::FirstUnencodableCharacter(text)) {
        return UnstorableCharacterMessage(*bad);
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return UnstorableCharacterMessage(std::string(1, c));
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckTexts(const EntryDialogValues& v) {
    const std::pair<const std::string*, size_t> texts[] = {{&v.name, kNameWidth},
                                                           {&v.password, kPasswordWidth},
                                                           {&v.fileName, kFileNameWidth},
                                                           {&v.blockList, kBlockListWidth},
                                                           {&v.backupBit, kOperandTypedWidth},
                                                           {&v.restoreBit, kOperandTypedWidth},
                                                           {&v.nameOperand, kOperandTypedWidth}};
    for (const auto& [text, max] : texts) {
        if (auto message = CheckText(*text, max)) {
            return message;
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckRange(int64_t value, int64_t low, int64_t high) {
    if (value < low || value > high) {
        return IntegerRangeMessage(low, high);
    }
    return std::nullopt;
}

std::optional<std::string> CheckRanges(const EntryDialogValues& v) {
    const struct {
        int64_t value, low, high;
    } ranges[] = {{v.kind, 0, 5},
                  {v.everyHours, 0, 23},
                  {v.everyMinutes, 0, 59},
                  {v.dailyHour, 0, 23},
                  {v.dailyMinute, 0, 59},
                  {v.weeklyHour, 0, 23},
                  {v.weeklyMinute, 0, 59},
                  {v.monthlyDay, 0, 31},
                  {v.monthlyHour, 0, 23},
                  {v.monthlyMinute, 0, 59},
                  {v.triggerHours, 0, 168},
                  {v.triggerMinutes, 0, 60},
                  {v.triggerSeconds, 0, 60},
                  {v.blockMode, 0, 1}};
    for (const auto& r : ranges) {
        if (auto message = CheckRange(r.value, r.low, r.high)) {
            return message;
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckOperands(const EntryDialogValues& v) {
    for (const std::string* bit : {&v.backupBit, &v.restoreBit}) {
        if (auto check = CheckBitOperandText(*bit); check.message) {
            return check.message;
        }
    }
    return CheckNameOperandText(v.nameOperand).message;
}

std::optional<std::string> CheckSchedule(const EntryDialogValues& v) {
    if (v.kind == kTriggerKind && !IsS7Label(v.interfaceLabel)) {
        return kTriggerOnlyS7;
    }
    if (v.kind == static_cast<int>(IntervalKind::Weekly)) {
        const uint8_t day = WeekdayIndex(v.weekday);
        if (day < 1 || day > 7) {
            return kNoWeekday;
        }
    }
    if (v.kind == static_cast<int>(IntervalKind::Monthly) && v.monthlyDay == 0) {
        return kNoDayOfMonth;
    }
    return std::nullopt;
}

// Applies a check's canonical text, or returns its message and leaves the field as typed.
std::optional<std::string> TakeOperand(std::string& field, const OperandCheck& check) {
    if (!check.message) {
        field = check.text;
    }
    return check.message;
}

struct Schedule {
    int64_t day, hour, minute;
};

Schedule ScheduleOfKind(const EntryDialogValues& v) {
    switch (static_cast<IntervalKind>(v.kind)) {
        case IntervalKind::Every:
            return {255, v.everyHours, v.everyMinutes};
        case IntervalKind::Daily:
            return {255, v.dailyHour, v.dailyMinute};
        case IntervalKind::Weekly:
            return {WeekdayIndex(v.weekday), v.weeklyHour, v.weeklyMinute};
        case IntervalKind::Monthly:
            return {v.monthlyDay, v.monthlyHour, v.monthlyMinute};
        default:
            return {255, 255, 255};
    }
}

void FillKindRow(EntryDialogValues& v, const CElement& e) {
    switch (e.IntervalKindValue()) {
        case 0:
            v.everyHours = e.hour;
            v.everyMinutes = e.minute;
            break;
        case 1:
            v.dailyHour = e.hour;
            v.dailyMinute = e.minute;
            break;
        case 2:
            v.weekday = (e.day >= 1 && e.day <= 7) ? WeekdayText(e.day) : std::string();
            v.weeklyHour = e.hour;
            v.weeklyMinute = e.minute;
            break;
        case 3:
            v.monthlyDay = e.day;
            v.monthlyHour = e.hour;
            v.monthlyMinute = e.minute;
            break;
        default:
            break;
    }
}

}  // namespace

InterfaceKind InterfaceOfLabel(std::string_view label) {
    return InterfaceFromLabel(label).value_or(InterfaceKind::S5H1);
}

EntryDialogValues DialogValuesFromEntry(const CElement& e) {
    EntryDialogValues v;
    v.name = e.name;
    v.password = e.password;
    v.fileName = e.fileName;
    v.blockList = e.blockList;
    v.backupBit = e.backupBit;
    v.restoreBit = e.restoreBit;
    v.nameOperand = e.nameOperand;
    v.interfaceLabel = std::string(InterfaceLabel(InterfaceOf(e)));
    v.address = AddressEditText(InterfaceOf(e), e.address);
    v.kind = e.IntervalKindValue();
    v.blockMode = e.Has(flag::kOnlyListed) ? 1 : 0;
    v.triggerHours = e.triggerInterval / 3600;
    v.triggerMinutes = e.triggerInterval % 3600 / 60;
    v.triggerSeconds = e.triggerInterval % 60;
    FillKindRow(v, e);
    return v;
}

std::optional<std::string> ChooseIntervalKind(EntryDialogValues& v, int kind) {
    if (kind == kTriggerKind && !IsS7Label(v.interfaceLabel)) {
        return kTriggerOnlyS7;
    }
    v.kind = kind;
    return std::nullopt;
}

std::optional<std::string> ChooseInterface(EntryDialogValues& v, std::string_view label) {
    v.interfaceLabel = std::string(label);
    if (v.kind == kTriggerKind && !IsS7Label(label)) {
        v.kind = static_cast<int>(IntervalKind::Never);
        return kTriggerOnlyS7;
    }
    return std::nullopt;
}

std::string NormaliseFileName(std::string_view label, std::string_view text) {
    size_t start = text.find_last_of("\\/");
    if (start == std::string_view::npos) {
        start = (text.size() >= 2 && text[1] == ':') ? 2 : 0;
    } else {
        ++start;
    }
    const std::string_view file = text.substr(start);
    const size_t dot = file.rfind('.');
    const std::string_view stem = file.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : file.substr(dot);
    const std::string_view wanted = IsS7Label(label) ? ".S7P" : ".QRF";
    if (extension.substr(0, 4) == wanted) {
        return std::string(file);
    }
    return std::string(stem) + std::string(wanted);
}

std::optional<std::string> LeaveAddressField(EntryDialogValues& v) {
    return CheckAddressText(InterfaceOfLabel(v.interfaceLabel), v.address);
}

void LeaveFileNameField(EntryDialogValues& v) {
    v.fileName = NormaliseFileName(v.interfaceLabel, v.fileName);
}

void LeaveBlockListField(EntryDialogValues& v) {
    v.blockList = NormaliseBlockList(v.blockList);
}

std::optional<std::string> LeaveBackupBitField(EntryDialogValues& v) {
    return TakeOperand(v.backupBit, CheckBitOperandText(v.backupBit));
}

std::optional<std::string> LeaveRestoreBitField(EntryDialogValues& v) {
    return TakeOperand(v.restoreBit, CheckBitOperandText(v.restoreBit));
}

std::optional<std::string> LeaveNameOperandField(EntryDialogValues& v) {
    return TakeOperand(v.nameOperand, CheckNameOperandText(v.nameOperand));
}

std::optional<std::string> ValidateEntryDialog(const EntryDialogValues& v) {
    if (auto message = CheckTexts(v)) {
        return message;
    }
    if (auto message = CheckRanges(v)) {
        return message;
    }
    if (auto message = CheckAddressText(InterfaceOfLabel(v.interfaceLabel), v.address)) {
        return message;
    }
    if (auto message = CheckOperands(v)) {
        return message;
    }
    return CheckSchedule(v);
}

void ApplyEntryDialog(const EntryDialogValues& v, CElement& e, int64_t now) {
    e.name = v.name;
    e.fileName = v.fileName;
    e.password = v.password;
    const InterfaceKind kind = InterfaceOfLabel(v.interfaceLabel);
    e.flags = static_cast<uint16_t>((v.kind & flag::kIntervalKindMask) | InterfaceBit(kind));
    e.address = ParseAddressText(kind, v.address, e.address);
    e.Set(flag::kOnlyListed, v.blockMode == 1);
    const Schedule s = ScheduleOfKind(v);
    e.day = static_cast<uint8_t>(s.day);
    e.hour = static_cast<uint8_t>(s.hour);
    e.minute = static_cast<uint8_t>(s.minute);
    e.triggerInterval =
        static_cast<uint32_t>(v.triggerHours * 3600 + v.triggerMinutes * 60 + v.triggerSeconds);
    e.backupBit = v.backupBit;
    e.restoreBit = v.restoreBit;
    e.nameOperand = v.nameOperand;
    ComputeNextBackup(e, now);
    e.blockList = v.blockList.empty() ? " " : v.blockList;
}

std::string IntegerRangeMessage(int64_t low, int64_t high) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, Tr("Geben Sie eine ganze Zahl zwischen %lld und %lld ein."),
                  static_cast<long long>(low), static_cast<long long>(high));
    return buffer;
}

std::string TextLengthMessage(size_t max_characters) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, Tr("Geben Sie nicht mehr als %zu Zeichen ein."), max_characters);
    return buffer;
}

std::string UnstorableCharacterMessage(std::string_view character) {
    std::string shown(character);
    if (shown.size() == 1 && static_cast<unsigned char>(shown[0]) < 0x20) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(shown[0]));
        shown = code;
    }
    char buffer[160];
    std::snprintf(buffer, sizeof buffer,
                  Tr("Das Zeichen \"%s\" kann im Sicherungssatz nicht gespeichert werden!"), shown.c_str());
    return buffer;
}

}  // namespace vaultra::app
