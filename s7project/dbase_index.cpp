#include "s7project/dbase_index.h"

#include <algorithm>
#include <limits>

#include <vaultra/byte_order.h>

namespace vaultra::s7project {

namespace {

constexpr std::size_t kPageHeadLength = 8;
constexpr std::size_t kMdxPageBytes = 1024;
constexpr std::size_t kTagHeaderPageLength = 1022;
constexpr std::size_t kExpressionOffset = 24;
constexpr std::size_t kExpressionLength = 221;
constexpr std::size_t kFilterOffset = 762;
constexpr std::string_view kFilter = ".NOT. DELETED()";
constexpr std::string_view kPlusSeparator = " + ";

std::string DecimalDigits(std::uint64_t v) {
    return std::to_string(v);
}

// Runs of at most 63 entries, with the parent entry of each run.
struct Level {
    std::vector<std::vector<IndexEntry>> runs;
    std::vector<IndexEntry> parents;  // parents[i].number is filled when blocks are assigned
};

Level GroupIntoRuns(const std::vector<IndexEntry>& entries) {
    Level level;
    for (std::size_t start = 0; start < entries.size(); start += kEntriesPerPage) {
        const std::size_t end = std::min(entries.size(), start + kEntriesPerPage);
        level.runs.emplace_back(entries.begin() + static_cast<std::ptrdiff_t>(start),
                                entries.begin() + static_cast<std::ptrdiff_t>(end));
        IndexEntry parent;
        const bool lastRun = end == entries.size();
        if (!lastRun || level.runs.back().size() == kEntriesPerPage) {
            parent.key = level.runs.back().back().key;
            parent.value = level.runs.back().back().value;
        }
        level.parents.push_back(parent);
    }
    return level;
}

// Pre-order block assignment: parents[first, last) of levels[k] make up one interior page. Each entry
// takes the next free page, then its child run (run i of level k) is visited before its next sibling.
void AssignBlocks(std::vector<Level>& levels, std::size_t k, std::size_t first, std::size_t last,
                  std::uint32_t& nextFree) {
    for (std::size_t i = first; i < last; ++i) {
        levels[k].parents[i].number = nextFree;
        nextFree += kBlocksPerPage;
        if (k > 0) {
            const std::size_t childFirst = i * kEntriesPerPage;
            const std::size_t childLast =
                std::min(levels[k - 1].parents.size(), childFirst + kEntriesPerPage);
            AssignBlocks(levels, k - 1, childFirst, childLast, nextFree);
        }
    }
}

}  // namespace

std::uint64_t LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\0')) {
        ++i;
    }
    std::uint64_t v = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        v = v > (kMax - digit) / 10 ? kMax : v * 10 + digit;
    }
    return v;
}

IndexKey NumericKey(std::string_view fieldText) {
    const std::string digits = DecimalDigits(LeadingNumber(fieldText));
    std::size_t significant = digits.size();
    while (significant > 0 && digits[significant - 1] == '0') {
        --significant;
    }
    IndexKey key{};
    key[0] = static_cast<std::uint8_t>(0x34 + digits.size());
    key[1] = static_cast<std::uint8_t>(4 * significant + 1);
    for (std::size_t i = 0; i < digits.size() && i < 2 * (kIndexKeyLength - 2); ++i) {
        const auto nibble = static_cast<std::uint8_t>(digits[i] - '0');
        key[2 + i / 2] |= (i % 2 == 0) ? static_cast<std::uint8_t>(nibble << 4) : nibble;
    }
    return key;
}

IndexKey CharacterKey(std::string_view text, std::size_t keyLength) {
    IndexKey key{};
    const std::size_t n = std::min({text.size(), keyLength, kIndexKeyLength});
    std::copy_n(text.begin(), n, key.begin());
    return key;
}

void SortIndexEntries(std::vector<IndexEntry>& entries, bool numeric) {
    std::sort(entries.begin(), entries.end(), [numeric](const IndexEntry& a, const IndexEntry& b) {
        if (numeric ? a.value != b.value : a.key != b.key) {
            return numeric ? a.value < b.value : a.key < b.key;
        }
        return a.number > b.number;
    });
}

std::vector<IndexPage> BuildIndexTree(const std::vector<IndexEntry>& leaves, std::uint32_t rootBlock,
                                      std::uint32_t& nextFreeBlock) {
    if (leaves.size() < kEntriesPerPage) {
        return {IndexPage{rootBlock, false, leaves}};
    }
    // levels[0] groups the leaves; each further level groups the parents of the one below.
    std::vector<Level> levels{GroupIntoRuns(leaves)};
    while (levels.back().parents.size() > kEntriesPerPage) {
        levels.push_back(GroupIntoRuns(levels.back().parents));
    }
    const std::size_t top = levels.size() - 1;
    AssignBlocks(levels, top, 0, levels[top].parents.size(), nextFreeBlock);

    std::vector<IndexPage> pages{IndexPage{rootBlock, true, levels[top].parents}};
    for (std::size_t k = 0; k < levels.size(); ++k) {
        for (std::size_t i = 0; i < levels[k].runs.size(); ++i) {
            IndexPage page{levels[k].parents[i].number, k > 0, {}};
            if (k == 0) {
                page.entries = levels[0].runs[i];
            } else {
                const auto& below = levels[k - 1].parents;
                const std::size_t first = i * kEntriesPerPage;
                const std::size_t last = std::min(below.size(), first + kEntriesPerPage);
                page.entries.assign(below.begin() + static_cast<std::ptrdiff_t>(first),
                                    below.begin() + static_cast<std::ptrdiff_t>(last));
            }
            pages.push_back(std::move(page));
        }
    }
    return pages;
}

std::vector<std::uint8_t> EncodeIndexPage(const IndexPage& page) {
    std::vector<std::uint8_t> bytes(kMdxPageBytes, 0);
    const std::size_t count = std::min(page.entries.size(), kEntriesPerPage);
    const std::size_t keys = page.interior && count > 0 ? count - 1 : count;
    bytes::StoreLe32(bytes, 0, static_cast<std::uint32_t>(keys));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kPageHeadLength + i * kIndexItemLength;
        bytes::StoreLe32(bytes, at, page.entries[i].number);
        std::copy(page.entries[i].key.begin(), page.entries[i].key.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
    }
    return bytes;
}

std::vector<std::uint8_t> EncodeTagHeaderPage(std::uint32_t rootBlock, char keyType, bool unique,
                                              std::string_view expression, std::size_t keyLength) {
    std::vector<std::uint8_t> page(kTagHeaderPageLength, 0);
    bytes::StoreLe32(page, 0, rootBlock);
    page[8] = unique ? 0x50 : 0x10;
    page[9] = static_cast<std::uint8_t>(keyType);
    bytes::StoreLe16(page, 12, static_cast<std::uint16_t>(keyLength));
    bytes::StoreLe16(page, 14,
                     static_cast<std::uint16_t>((kMdxPageBytes - kPageHeadLength) / kIndexItemLength));
    bytes::StoreLe16(page, 18, static_cast<std::uint16_t>(kIndexItemLength));
    bytes::StoreLe16(page, 20, unique ? 11 : 3);
    page[23] = unique ? 0x40 : 0x00;
    const std::size_t n = std::min(expression.size(), kExpressionLength);
    std::copy_n(expression.begin(), n, page.begin() + kExpressionOffset);
    page[245] = 1;
    std::copy(kFilter.begin(), kFilter.end(), page.begin() + kFilterOffset);
    return page;
}

bool ParseTagHeaderPage(std::span<const std::uint8_t> page, TagDefinition& tag) {
    if (page.size() < kExpressionOffset + kExpressionLength) {
        return false;
    }
    tag.keyType = static_cast<char>(page[9]);
    tag.keyLength = bytes::LoadLe16(page, 12);
    if ((tag.keyType != 'C' && tag.keyType != 'N') || tag.keyLength == 0 || tag.keyLength > kIndexKeyLength ||
        bytes::LoadLe16(page, 18) != kIndexItemLength) {
        return false;
    }
    const auto text = page.subspan(kExpressionOffset, kExpressionLength);
    std::string expression(text.begin(), std::find(text.begin(), text.end(), 0));
    const auto plus = expression.find(kPlusSeparator);
    tag.firstField = expression.substr(0, plus);
    tag.secondField =
        plus == std::string::npos ? std::string{} : expression.substr(plus + kPlusSeparator.size());
    return !tag.firstField.empty();
}

}  // namespace vaultra::s7project
