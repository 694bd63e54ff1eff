#include "s7project/table_schema.h"

#include <algorithm>
#include <cstdio>

#include "s7project/dbase_index.h"
#include "s7project/path_case.h"

namespace vaultra::s7project {

TableOpening OpenOrCreateTable(CDBASEDatei& table, const std::filesystem::path& requested,
                               std::span<const FieldSpec> fields, unsigned flags,
                               std::span<const TagSpec> tags) {
    const std::filesystem::path path = ResolveIgnoringCase(requested);
    if (table.OpenTable(path)) {
        // Memos go to a new memo file when the old one is lost; the records that pointed into it read as
        // damaged, the blocks written now are whole.
        const bool memoFields =
            std::any_of(fields.begin(), fields.end(), [](const FieldSpec& f) { return f.type == 'M'; });
        if (memoFields && !table.HasMemoFile()) {
            table.CreateMissingMemoFile();
        }
        return TableOpening::kOpened;
    }
    table.SetFieldCount(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        table.DefineField(i, fields[i].name, fields[i].type, fields[i].length);
    }
    if (!table.CreateTable(path, flags)) {
        return TableOpening::kFailed;
    }
    if ((flags & kCreateIndexFile) != 0) {
        table.CreateIndexHeader(path);
        for (const auto& tag : tags) {
            table.AddTag(tag.name, tag.keyType, tag.unique, tag.expression, tag.keyLength);
        }
    }
    return TableOpening::kCreated;
}

std::optional<std::size_t> FieldByName(const CDBASEDatei& table, std::string_view name) {
    for (std::size_t i = 0; i < table.FieldCount(); ++i) {
        if (table.FieldName(i) == name) {
            return i;
        }
    }
    return std::nullopt;
}

bool WriteFieldsByName(CDBASEDatei& table, const FieldValues& values) {
    bool ok = true;
    for (const auto& [name, value] : values) {
        const auto field = FieldByName(table, name);
        ok = field && table.WriteField(value, *field) && ok;
    }
    return ok;
}

std::optional<std::string> CurrentField(CDBASEDatei& table, std::string_view name) {
    const auto field = FieldByName(table, name);
    if (!field) {
        return std::nullopt;
    }
    return table.ReadFieldNext(*field, false);
}

bool FindRecordByNumber(CDBASEDatei& table, std::string_view name, std::uint64_t value) {
    const auto field = FieldByName(table, name);
    if (!field) {
        return false;
    }
    for (auto text = table.ReadFieldFirst(*field); text; text = table.ReadFieldNext(*field, true)) {
        if (LeadingNumber(*text) == value) {
            return true;
        }
    }
    return false;
}

std::uint64_t HighestNumber(CDBASEDatei& table, std::string_view name) {
    std::uint64_t highest = 0;
    const auto field = FieldByName(table, name);
    if (field) {
        for (auto text = table.ReadFieldFirst(*field); text; text = table.ReadFieldNext(*field, true)) {
            highest = std::max(highest, LeadingNumber(*text));
        }
    }
    return highest;
}

std::string RightAligned(long long value, std::size_t width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%*lld", static_cast<int>(width), value);
    return buffer;
}

std::string ZeroPadded(long long value, std::size_t width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", static_cast<int>(width), value);
    return buffer;
}

std::string BlankPadded(std::string_view text, std::size_t width) {
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

std::string ZeroBytes(std::size_t n) {
    return std::string(n, '\0');
}

std::string Hex8(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(value));
    return buffer;
}

}  // namespace vaultra::s7project
