// Table definitions and record helpers shared by the project's table writers and readers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "s7project/dbase_table.h"

namespace vaultra::s7project {

struct FieldSpec {
    std::string_view name;
    char type;
    std::size_t length;
};

struct TagSpec {
    std::string_view name;
    char keyType;
    bool unique;
    std::string_view expression;
    std::size_t keyLength;
};

// The numeric "ID" tag most project tables carry.
inline constexpr TagSpec kIdTagUnique{"ID_TAG", 'N', true, "ID", 12};
inline constexpr TagSpec kIdTagShared{"ID_TAG", 'N', false, "ID", 12};

enum class TableOpening { kOpened, kCreated, kFailed };

// Opens the table (its name found case-insensitively); when that fails, creates it with the fields, the
// flags and, when an index file is asked for, the index header and the tags.
TableOpening OpenOrCreateTable(CDBASEDatei& table, const std::filesystem::path& path,
                               std::span<const FieldSpec> fields, unsigned flags,
                               std::span<const TagSpec> tags);

using FieldValues = std::vector<std::pair<std::string_view, std::string>>;
// Writes each value into the field of that name in the current record; false when a field is missing
// or a value did not fit.
bool WriteFieldsByName(CDBASEDatei& table, const FieldValues& values);

// Field number by exact name; nothing when the table has no such field.
std::optional<std::size_t> FieldByName(const CDBASEDatei& table, std::string_view name);

// Text of a named field in the current record; nothing when the field is missing.
std::optional<std::string> CurrentField(CDBASEDatei& table, std::string_view name);

// Live record whose named field reads as `value` (leading blanks skipped); it becomes current.
bool FindRecordByNumber(CDBASEDatei& table, std::string_view field, std::uint64_t value);

// Highest number found in the named field over all live records; 0 when there is none.
std::uint64_t HighestNumber(CDBASEDatei& table, std::string_view field);

// "%*lld": right-aligned, blank-filled.
std::string RightAligned(long long value, std::size_t width);
// "%0*lld": zero-padded.
std::string ZeroPadded(long long value, std::size_t width);
// The text, then blanks up to the width.
std::string BlankPadded(std::string_view text, std::size_t width);
// n zero bytes.
std::string ZeroBytes(std::size_t n);
// "%08X".
std::string Hex8(std::uint32_t value);

}  // namespace vaultra::s7project
