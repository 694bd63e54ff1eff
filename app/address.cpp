#include "app/address.h"

#include <cstdio>
#include <vector>

#include "app/scan.h"
#include "platform/cp1252.h"

namespace vaultra::app {

namespace {

std::string SlotSuffix(uint8_t slot) {
    return slot != 0 ? Sprintf(":%d", slot) : std::string();
}

std::string Ip(const Address& a) {
    return Sprintf("%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

// The parts between separators; a text without any separator is one part.
std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

uint8_t LowByte(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

// Parts 0..3 of the '.'-separated text into bytes 0..3.
void ParseIp(std::string_view text, Address& a) {
    const auto parts = Split(text, '.');
    for (size_t i = 0; i < 4 && i < parts.size(); ++i) {
        a[i] = LowByte(AtoI(parts[i]));
    }
}

// The ':'-separated part `index` as a decimal byte; 0 when there is no such part.
uint8_t ColonPart(std::string_view text, size_t index) {
    const auto parts = Split(text, ':');
    return index < parts.size() ? LowByte(AtoI(parts[index])) : 0;
}

Address ParseH1(std::string_view text) {
    Address a{};
    for (size_t i = 0; i < 6 && 2 * i + 1 < text.size(); ++i) {
        const int hi = HexDigitValue(text[2 * i]);
        const int lo = HexDigitValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            break;
        }
        a[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return a;
}

Address ParseMpi(std::string_view text) {
    Address a{};
    TextScanner scan(text);
    if (const auto mpi = scan.Signed(3)) {
        a[0] = LowByte(*mpi);
        if (scan.Literal(':')) {
            if (const auto slot = scan.Signed(3)) {
                a[1] = LowByte(*slot);
            }
        }
    }
    return a;
}

}  // namespace

std::string AddressEditText(InterfaceKind kind, const Address& a) {
    switch (kind) {
        case InterfaceKind::S5Direct:
            return " ";
        case InterfaceKind::S5H1:
            return Sprintf("%02x%02x%02x%02x%02x%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
        case InterfaceKind::S7Mpi:
            return Sprintf("%03d", a[0]) + SlotSuffix(a[1]);
        case InterfaceKind::S5Lan:
            return Ip(a);
        case InterfaceKind::S7Lan:
            return Ip(a) + Sprintf(":%03d", a[4]) + SlotSuffix(a[5]);
        case InterfaceKind::S7Rfc1006:
            return Ip(a) + SlotSuffix(a[4]);
    }
    return {};
}

Address ParseAddressText(InterfaceKind kind, std::string_view text, const Address& current) {
    Address a{};
    switch (kind) {
        case InterfaceKind::S5Direct:
            return current;
        case InterfaceKind::S5H1:
            return ParseH1(text);
        case InterfaceKind::S7Mpi:
            return ParseMpi(text);
        case InterfaceKind::S5Lan:
            ParseIp(text, a);
            break;
        case InterfaceKind::S7Lan:
            ParseIp(text, a);
            a[4] = ColonPart(text, 1);
            a[5] = ColonPart(text, 2);
            break;
        case InterfaceKind::S7Rfc1006:
            ParseIp(text, a);
            a[4] = ColonPart(text, 1);
            break;
    }
    return a;
}

bool IsDottedIpv4(std::string_view text) {
    const auto parts = Split(text, '.');
    if (parts.size() != 4) {
        return false;
    }
    bool allOnes = true;
    for (const std::string_view part : parts) {
        if (part.empty() || part.size() > 3) {
            return false;
        }
        int value = 0;
        for (const char c : part) {
            if (c < '0' || c > '9') {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (value > 255) {
            return false;
        }
        allOnes = allOnes && value == 255;
    }
    return !allOnes;
}

std::optional<std::string> CheckAddressText(InterfaceKind kind, std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    switch (kind) {
        case InterfaceKind::S5Lan:
            return IsDottedIpv4(text) ? std::nullopt : std::optional<std::string>(kInvalidEthernetAddress);
        case InterfaceKind::S7Lan:
        case InterfaceKind::S7Rfc1006:
            return IsDottedIpv4(text.substr(0, text.find(':')))
                       ? std::nullopt
                       : std::optional<std::string>(kInvalidEthernetAddress);
        case InterfaceKind::S5H1:
            if (platform::Utf8Length(text) != 12) {
                return kWrongH1Length;
            }
            for (const char c : text) {
                if (HexDigitValue(c) < 0) {
                    return kH1NotHex;
                }
            }
            return std::nullopt;
        case InterfaceKind::S5Direct:
        case InterfaceKind::S7Mpi:
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace vaultra::app
