// The production index (MDX) of a dBASE table: keys, tag layout and the B-tree built at close.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vaultra::s7project {

inline constexpr std::size_t kIndexKeyLength = 12;
inline constexpr std::size_t kIndexItemLength = 16;
inline constexpr std::size_t kEntriesPerPage = 63;
inline constexpr std::uint32_t kBlocksPerPage = 2;

using IndexKey = std::array<std::uint8_t, kIndexKeyLength>;

// Numeric key in the dBASE IV form: 0x34 + digit count, 4 x significant digits + 1, then packed BCD.
// The text is read as an unsigned decimal (leading blanks skipped, stops at the first non-digit).
IndexKey NumericKey(std::string_view fieldText);
// Unsigned decimal value of a field's text: leading blanks and zero bytes skipped, stops at the first
// non-digit; 0 when there is no digit. Saturates instead of overflowing.
std::uint64_t LeadingNumber(std::string_view text);
// Character key: the text (bytes up to keyLength), zero padded to 12 bytes.
IndexKey CharacterKey(std::string_view text, std::size_t keyLength);

// One key of a page: record number (leaf) or child page block (interior), and the key.
struct IndexEntry {
    std::uint32_t number = 0;
    IndexKey key{};
    std::uint64_t value = 0;  // numeric value of a numeric key, for ordering
};

// Sorts ascending; numeric keys by value, character keys by their bytes. Among equal keys the later
// record comes first, as if each record were inserted before the first entry not smaller than it.
void SortIndexEntries(std::vector<IndexEntry>& entries, bool numeric);

struct IndexPage {
    std::uint32_t block = 0;
    bool interior = false;
    std::vector<IndexEntry> entries;
};

// Builds the pages of one tag from its sorted leaf entries. The top level goes to rootBlock; other pages
// take blocks from nextFreeBlock on, two blocks per page, in pre-order. Returns every page to write.
std::vector<IndexPage> BuildIndexTree(const std::vector<IndexEntry>& leaves, std::uint32_t rootBlock,
                                      std::uint32_t& nextFreeBlock);

// The 1024 bytes of one B-tree page.
std::vector<std::uint8_t> EncodeIndexPage(const IndexPage& page);

// The parts of a tag that the rebuild needs, read from its header page.
struct TagDefinition {
    char keyType = 'C';
    std::size_t keyLength = 0;
    std::string firstField;
    std::string secondField;  // empty unless the expression is "A + B"
};
// False when the header page does not describe a key this class can build.
bool ParseTagHeaderPage(std::span<const std::uint8_t> page, TagDefinition& tag);

// Writers for the fixed parts.
std::vector<std::uint8_t> EncodeTagHeaderPage(std::uint32_t rootBlock, char keyType, bool unique,
                                              std::string_view expression, std::size_t keyLength);

}  // namespace vaultra::s7project
