// One entry of a backup set: a PLC, how it is reached, where its program goes and when it is backed up.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vaultra::app {

// Bits of CElement::flags.
namespace flag {
inline constexpr uint16_t kIntervalKindMask = 0x000F;
inline constexpr uint16_t kS5H1 = 0x0010;
inline constexpr uint16_t kMarked = 0x0020;
inline constexpr uint16_t kLastFailed = 0x0040;
inline constexpr uint16_t kLastSucceeded = 0x0080;
inline constexpr uint16_t kOnlyListed = 0x0100;
inline constexpr uint16_t kS7Mpi = 0x0200;
inline constexpr uint16_t kS5Lan = 0x0400;
inline constexpr uint16_t kS7Lan = 0x0800;
inline constexpr uint16_t kS7Rfc1006 = 0x1000;
inline constexpr uint16_t kInterfaceMask = 0x1E10;
inline constexpr uint16_t kS7Mask = kS7Mpi | kS7Lan | kS7Rfc1006;
}  // namespace flag

// flags bits 0-3. Files may carry values above kPlcTrigger; see EffectiveIntervalKind.
enum class IntervalKind : uint8_t {
    Every = 0,
    Daily = 1,
    Weekly = 2,
    Monthly = 3,
    Never = 4,
    PlcTrigger = 5
};

// flags AND kInterfaceMask. Any combination of more than one bit is shown and edited as S5H1.
enum class InterfaceKind : uint8_t { S5Direct, S5H1, S7Mpi, S5Lan, S7Lan, S7Rfc1006 };

// Field widths of the set file (bytes of Windows-1252, which is one byte per character).
inline constexpr size_t kNameWidth = 40;
inline constexpr size_t kPasswordWidth = 8;
inline constexpr size_t kOldPasswordWidth = 6;
inline constexpr size_t kFileNameWidth = 260;
inline constexpr size_t kBlockListWidth = 255;
inline constexpr size_t kOperandWidth = 20;
inline constexpr size_t kOperandTypedWidth = 18;
inline constexpr size_t kDirectoryWidth = 260;

// Texts are UTF-8 in memory; the set file stores them in Windows-1252 cut to their field widths.
class CElement {
public:
    CElement() = default;
    virtual ~CElement() = default;
    CElement(const CElement&) = default;
    CElement& operator=(const CElement&) = default;
    CElement(CElement&&) = default;
    CElement& operator=(CElement&&) = default;

    std::string name;
    std::array<uint8_t, 6> address{};
    std::string password;
    uint16_t flags = flag::kS5H1;
    uint8_t day = 255;
    uint8_t hour = 255;
    uint8_t minute = 255;
    std::string fileName;
    std::string blockList;
    uint32_t nextBackup = 0;
    uint32_t triggerInterval = 0;
    std::string backupBit;
    std::string restoreBit;
    std::string nameOperand;

    // The driver binding keeps this entry's reference to each library it has loaded, keyed by library file
    // name; destroying the entry releases them.
    std::map<std::string, std::shared_ptr<void>> libraryRefs;

    // The raw value of flags bits 0-3 (0..15).
    uint8_t IntervalKindValue() const { return static_cast<uint8_t>(flags & flag::kIntervalKindMask); }
    void SetIntervalKind(IntervalKind kind) {
        flags = static_cast<uint16_t>((flags & ~flag::kIntervalKindMask) | static_cast<uint16_t>(kind));
    }
    bool Has(uint16_t bit) const { return (flags & bit) != 0; }
    void Set(uint16_t bit, bool on) { flags = static_cast<uint16_t>(on ? (flags | bit) : (flags & ~bit)); }
};

// The interface named by the entry's flags (combinations count as S5H1).
InterfaceKind InterfaceOf(uint16_t flags);
inline InterfaceKind InterfaceOf(const CElement& e) {
    return InterfaceOf(e.flags);
}

// True when any S7 interface bit is set (0x0200, 0x0800 or 0x1000).
bool IsS7Entry(const CElement& e);
bool IsS7Interface(InterfaceKind kind);

// The flags bit of an interface (0 for S5Direct).
uint16_t InterfaceBit(InterfaceKind kind);

// The entry dialog's interface labels, in list order: "S5 Direkt", "S5 H1-Bus", "S7 MPI-Bus", "S5-LAN",
// "S7-LAN", "S7-RFC1006".
inline constexpr std::array<std::string_view, 6> kInterfaceLabels = {"S5 Direkt", "S5 H1-Bus", "S7 MPI-Bus",
                                                                     "S5-LAN",    "S7-LAN",    "S7-RFC1006"};
std::string_view InterfaceLabel(InterfaceKind kind);
// Exact label match; nullopt for any other text.
std::optional<InterfaceKind> InterfaceFromLabel(std::string_view label);

// The kind that decides the entry's schedule: kinds above PlcTrigger, a Monthly entry on day 0 and a Weekly
// entry without a weekday 1..7 have no defined next time and count as Never (never run by the timer).
IntervalKind EffectiveIntervalKind(const CElement& e);

// Name of a kind ("Every", "Daily", "Weekly", "Monthly", "Never", "PlcTrigger"), "Undefined" above 5.
std::string_view IntervalKindName(uint8_t kind_value);

}  // namespace vaultra::app
