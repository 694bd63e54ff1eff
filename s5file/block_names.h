// S5 block type codes, block names ("DB   012", "FBDO.005") and the stored block header.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include <vaultra/records.h>

namespace vaultra::qrf {

inline constexpr uint8_t kDocumentationGroup = 32;
inline constexpr size_t kBlockNameLength = 8;
using BlockName = std::array<uint8_t, kBlockNameLength>;

// "DB", "FVX", ... or empty for a code without a name.
std::string_view TypeName(uint8_t code);

// Only blocks of these types have documentation blocks; their names start with the two type letters.
bool HasDocumentationName(uint8_t code);
// Type code read back from the first two letters of a documentation block name (0 when unknown).
uint8_t DocumentationTypeOf(const BlockName& name);
// Number read back from characters 6 to 8 of a documentation block name (0 when they are no digits).
uint8_t DocumentationNumberOf(const BlockName& name);

// The 8-character name: type name, "DO." or blanks up to 5 characters, then the number as three digits.
BlockName NameOf(const BlockKey& key);

// Reads "db 12", "FBDO.7", ...: upper-cased, blanks removed, letters then a decimal number 0..255.
// Fills type, number and documentation flag and clears length and header bytes.
std::optional<BlockKey> ParseBlockName(std::string_view text);

// 10 for blocks with the 0x70 0x70 header, 8 for the short-header kinds, 0 for documentation.
int HeaderLength(const BlockKey& key);

// Writes the header built from `key` over the first HeaderLength bytes of `image`.
void ApplyHeader(const BlockKey& key, std::span<uint8_t> image);

}  // namespace vaultra::qrf
