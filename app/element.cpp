#include "app/element.h"

namespace vaultra::app {

namespace {

constexpr std::array<InterfaceKind, 6> kKinds = {InterfaceKind::S5Direct, InterfaceKind::S5H1,
                                                 InterfaceKind::S7Mpi,    InterfaceKind::S5Lan,
                                                 InterfaceKind::S7Lan,    InterfaceKind::S7Rfc1006};

}  // namespace

InterfaceKind InterfaceOf(uint16_t flags) {
    switch (flags & flag::kInterfaceMask) {
        case 0:
            return InterfaceKind::S5Direct;
        case flag::kS7Mpi:
            return InterfaceKind::S7Mpi;
        case flag::kS5Lan:
            return InterfaceKind::S5Lan;
        case flag::kS7Lan:
            return InterfaceKind::S7Lan;
        case flag::kS7Rfc1006:
            return InterfaceKind::S7Rfc1006;
        default:
            return InterfaceKind::S5H1;
    }
}

bool IsS7Entry(const CElement& e) {
    return (e.flags & flag::kS7Mask) != 0;
}

bool IsS7Interface(InterfaceKind kind) {
    return kind == InterfaceKind::S7Mpi || kind == InterfaceKind::S7Lan || kind == InterfaceKind::S7Rfc1006;
}

uint16_t InterfaceBit(InterfaceKind kind) {
    switch (kind) {
        case InterfaceKind::S5Direct:
            return 0;
        case InterfaceKind::S5H1:
            return flag::kS5H1;
        case InterfaceKind::S7Mpi:
            return flag::kS7Mpi;
        case InterfaceKind::S5Lan:
            return flag::kS5Lan;
        case InterfaceKind::S7Lan:
            return flag::kS7Lan;
        case InterfaceKind::S7Rfc1006:
            return flag::kS7Rfc1006;
    }
    return flag::kS5H1;
}

std::string_view InterfaceLabel(InterfaceKind kind) {
    return kInterfaceLabels[static_cast<size_t>(kind)];
}

std::optional<InterfaceKind> InterfaceFromLabel(std::string_view label) {
    for (size_t i = 0; i < kInterfaceLabels.size(); ++i) {
        if (kInterfaceLabels[i] == label) {
            return kKinds[i];
        }
    }
    return std::nullopt;
}

IntervalKind EffectiveIntervalKind(const CElement& e) {
    const uint8_t value = e.IntervalKindValue();
    if (value > static_cast<uint8_t>(IntervalKind::PlcTrigger)) {
        return IntervalKind::Never;
    }
    const auto kind = static_cast<IntervalKind>(value);
    if (kind == IntervalKind::Monthly && e.day == 0) {
        return IntervalKind::Never;
    }
    if (kind == IntervalKind::Weekly && (e.day < 1 || e.day > 7)) {
        return IntervalKind::Never;
    }
    return kind;
}

std::string_view IntervalKindName(uint8_t kind_value) {
    static constexpr std::array<std::string_view, 6> kNames = {"Every",   "Daily", "Weekly",
                                                               "Monthly", "Never", "PlcTrigger"};
    return kind_value < kNames.size() ? kNames[kind_value] : "Undefined";
}

}  // namespace vaultra::app
