// An entry's station address as the operator types it and as the list shows it, per interface.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "app/element.h"

namespace vaultra::app {

using Address = std::array<uint8_t, 6>;

// The address text the entry dialog is filled with:
//   S5Direct " "; S5H1 "aabbccddeeff"; S7Mpi "002" or "002:3"; S5Lan "10.0.0.5";
//   S7Lan "10.0.0.5:002" or "10.0.0.5:002:3"; S7Rfc1006 "10.0.0.5" or "10.0.0.5:3" (":n" = slot when not 0).
std::string AddressEditText(InterfaceKind kind, const Address& address);

// The address bytes of an edit text. S5Direct does not parse: `current` is returned unchanged. For the others
// every byte the text does not name is 0 and every decimal part is stored as its low byte.
Address ParseAddressText(InterfaceKind kind, std::string_view text, const Address& current);

// The check run when the operator leaves the address field; the German message, or nullopt when the text is
// acceptable (an empty text always is).
std::optional<std::string> CheckAddressText(InterfaceKind kind, std::string_view text);

// Strict dotted IPv4 address: four decimal parts 0..255; the all-ones address does not count.
bool IsDottedIpv4(std::string_view text);

inline constexpr const char* kInvalidEthernetAddress = "Keine g\xC3\xBCltige Ethernet Adresse!";
inline constexpr const char* kWrongH1Length =
    "Anzahl der Zeichen ist falsch, bitte geben Sie genau 12 Zeichen ein";
inline constexpr const char* kH1NotHex =
    "Bitte geben Sie hexadezimalstellen ein, dies sind die Zahlen 0-9 und die Zeichen A-F.";

}  // namespace vaultra::app
