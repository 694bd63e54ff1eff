#include "s7project/block_tables.h"

#include "s7project/s7project.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <vaultra/byte_order.h>
#include "s7project/dbase_index.h"
#include "s7project/dbase_table.h"
#include "s7project/path_case.h"
#include "s7project/table_schema.h"

namespace vaultra::s7project {

namespace {

constexpr std::array<FieldSpec, 25> kSubblockFields{{
    {"OBJECTID", 'N', 11},  {"BLKLANG", 'C', 5},    {"SUBBLKTYP", 'C', 5},  {"BLKNUMMER", 'C', 5},
    {"ATTRIBUTE", 'N', 3},  {"AGRESERVED", 'N', 3}, {"BLKTOTLEN", 'N', 11}, {"MC5LEN", 'N', 11},
    {"SSBLEN", 'N', 11},    {"ADDLEN", 'N', 11},    {"LOCDATALEN", 'N', 5}, {"TIMESTAMP1", 'C', 6},
    {"TIMESTAMP2", 'C', 6}, {"PASSWORD", 'N', 11},  {"USERNAME", 'C', 8},   {"BLOCKFNAME", 'C', 8},
    {"BLOCKNAME", 'C', 8},  {"VERSION", 'N', 3},    {"RESERVED1", 'N', 3},  {"CHECKSUM", 'N', 5},
    {"CPUTYPE", 'N', 11},   {"RESERVED2", 'N', 11}, {"MC5CODE", 'M', 10},   {"SSBPART", 'M', 10},
    {"ADDINFO", 'M', 10},
}};

constexpr std::array<FieldSpec, 7> kBausteinFields{{
    {"ID", 'N', 11},
    {"TYP", 'C', 5},
    {"NUMMER", 'C', 5},
    {"ATTRIBS", 'C', 40},
    {"LINKS", 'N', 11},
    {"UDA", 'M', 10},
    {"SUBBLOCKS", 'M', 10},
}};

constexpr std::array<TagSpec, 2> kBausteinTags{{
    kIdTagUnique,
    {"TYPNUMBER_", 'C', true, "TYP + NUMMER", 10},
}};

constexpr std::string_view kSubblockTable = "SUBBLK.DBF";
constexpr std::string_view kBausteinTable = "BAUSTEIN.DBF";
constexpr std::string_view kObjectIdFile = "baustein.id";

std::string Timestamp6(const Timestamp& t) {
    return std::string(t.begin(), t.end());
}

std::string MemoField(std::uint32_t block) {
    return RightAligned(block, 10);
}

// Subblock types whose records make up one block, in the order of the SUBBLOCKS memo.
std::vector<std::uint8_t> SubblocksOf(std::uint8_t type) {
    switch (type) {
        case subblock::kOb:
            return {3, 17, subblock::kOb};
        case subblock::kDb:
            return {6, 20, subblock::kDb};
        case subblock::kFc:
            return {5, 19, subblock::kFc};
        case subblock::kFb:
            return {4, 18, subblock::kFb};
        default:
            return {type};
    }
}

// The memos of the three parts; false when a non-empty part could not be stored.
struct PartMemos {
    std::uint32_t code = 0;
    std::uint32_t interfacePart = 0;
    std::uint32_t additional = 0;
};
bool StoreParts(CDBASEDatei& table, const BlockParts& parts, PartMemos& memos) {
    memos.code = table.WriteMemo(parts.code);
    memos.interfacePart = table.WriteMemo(parts.interfacePart);
    memos.additional = table.WriteMemo(parts.additional);
    return (parts.code.empty() || memos.code != 0) &&
           (parts.interfacePart.empty() || memos.interfacePart != 0) &&
           (parts.additional.empty() || memos.additional != 0);
}

std::string TrailerBytes(std::span<const std::uint8_t> trailer, std::size_t offset) {
    return std::string(trailer.begin() + static_cast<std::ptrdiff_t>(offset),
                       trailer.begin() + static_cast<std::ptrdiff_t>(offset + trailer_field::kNameLength));
}

// The header bytes 2-4 and the security word go into the fields the tables have for them, and so does
// the trailer except its bytes 25 and 28-35.
FieldValues SubblockValues(const BlockHeader& h, std::span<const std::uint8_t> trailer,
                           const PartMemos& memos) {
    std::array<std::uint8_t, kBlockTrailerLength> t{};
    std::copy_n(trailer.begin(), std::min(trailer.size(), t.size()), t.begin());
    return {
        {"BLKLANG", ZeroPadded(h.language, 5)},
        {"SUBBLKTYP", ZeroPadded(h.type, 5)},
        {"BLKNUMMER", ZeroPadded(h.number, 5)},
        {"ATTRIBUTE", RightAligned(h.attribute, 3)},
        {"AGRESERVED", RightAligned(h.version, 3)},
        {"BLKTOTLEN", RightAligned(h.loadLength, 11)},
        {"MC5LEN", RightAligned(h.codeLength, 11)},
        {"SSBLEN", RightAligned(h.ssbLength, 11)},
        {"ADDLEN", RightAligned(h.addLength, 11)},
        {"LOCDATALEN", RightAligned(h.localDataLength, 5)},
        {"TIMESTAMP1", Timestamp6(h.timestamp1)},
        {"TIMESTAMP2", Timestamp6(h.timestamp2)},
        {"PASSWORD", RightAligned(h.securityWord, 11)},
        {"USERNAME", TrailerBytes(t, trailer_field::kAuthor)},
        {"BLOCKFNAME", TrailerBytes(t, trailer_field::kFamily)},
        {"BLOCKNAME", TrailerBytes(t, trailer_field::kName)},
        {"VERSION", RightAligned(t[trailer_field::kVersion], 3)},
        {"RESERVED1", "  0"},
        {"CHECKSUM", RightAligned(bytes::LoadBe16(t, trailer_field::kChecksum), 5)},
        {"CPUTYPE", RightAligned(0, 11)},
        {"RESERVED2", RightAligned(0, 11)},
        {"MC5CODE", MemoField(memos.code)},
        {"SSBPART", MemoField(memos.interfacePart)},
        {"ADDINFO", MemoField(memos.additional)},
    };
}

// The first live record of each type and number, as a search from the first record would find it, and
// the first deleted one. Built once when the table has been opened and kept current as records are
// appended, so that storing N blocks does not search the whole table N times.
class TypeNumberIndex {
public:
    TypeNumberIndex(CDBASEDatei& table, std::string_view typeField, std::string_view numberField)
        : table_(table),
          typeField_(FieldByName(table, typeField)),
          numberField_(FieldByName(table, numberField)) {
        if (!typeField_ || !numberField_) {
            return;
        }
        for (const std::uint32_t record : table.LiveRecords()) {
            first_.emplace(KeyOf(record), record);
        }
        for (const std::uint32_t record : table.DeletedRecords()) {
            deleted_.emplace(KeyOf(record), record);
        }
    }

    // Makes the record of the type and number current; false when there is none. With `revive`, a block
    // that comes back after it had been deleted takes its deleted record again, keeping its object number.
    bool Select(std::uint8_t type, std::uint16_t number, bool revive) {
        const auto key = Key(type, number);
        if (!key) {
            return false;
        }
        if (const auto found = first_.find(*key); found != first_.end()) {
            return table_.SelectRecord(found->second);
        }
        const auto gone = revive ? deleted_.find(*key) : deleted_.end();
        if (gone == deleted_.end() || !table_.SetDeleted(gone->second, false)) {
            return false;
        }
        first_.emplace(*key, gone->second);
        deleted_.erase(gone);
        return table_.SelectRecord(first_.at(*key));
    }

    // Appends a record that is about to receive this type and number.
    bool Append(std::uint8_t type, std::uint16_t number) {
        if (!table_.AppendRecord()) {
            return false;
        }
        if (const auto key = Key(type, number)) {
            first_.emplace(*key, table_.CurrentRecord());
        }
        return true;
    }

    // Notes a block that the PLC still holds.
    void MarkPresent(std::uint8_t type, std::uint16_t number) {
        if (const auto key = Key(type, number)) {
            present_.insert(*key);
        }
    }

    // Sets the deletion flag of every live record of the given types whose type and number was not
    // marked present: the block is gone from the PLC, and a restore must not bring
    // it back. False when a flag could not be set.
    bool DeleteAllAbsent(std::span<const std::uint8_t> types) {
        bool ok = true;
        for (const auto& type : types) {
            const std::string typeText = ZeroPadded(type, 5);
            for (const std::uint32_t record : table_.LiveRecords()) {
                const std::string key = KeyOf(record);
                if (key.starts_with(typeText.substr(0, table_.FieldLength(*typeField_))) &&
                    !present_.contains(key)) {
                    ok = table_.SetDeleted(record, true) && ok;
                }
            }
        }
        return ok;
    }

private:
    std::string KeyOf(std::uint32_t record) const {
        return table_.FieldOf(record, *typeField_).value_or("") +
               table_.FieldOf(record, *numberField_).value_or("");
    }

    // The field bytes a record of this type and number holds ("%05d" each, cut to the field lengths).
    std::optional<std::string> Key(std::uint8_t type, std::uint16_t number) const {
        if (!typeField_ || !numberField_) {
            return std::nullopt;
        }
        const std::string typeText = ZeroPadded(type, 5);
        const std::string numberText = ZeroPadded(number, 5);
        const std::size_t typeLength = table_.FieldLength(*typeField_);
        const std::size_t numberLength = table_.FieldLength(*numberField_);
        if (typeText.size() < typeLength || numberText.size() < numberLength) {
            return std::nullopt;
        }
        return typeText.substr(0, typeLength) + numberText.substr(0, numberLength);
    }

    CDBASEDatei& table_;
    std::optional<std::size_t> typeField_;
    std::optional<std::size_t> numberField_;
    std::unordered_map<std::string, std::uint32_t> first_;
    std::unordered_map<std::string, std::uint32_t> deleted_;
    std::unordered_set<std::string> present_;
};

struct BlockTable {
    explicit BlockTable(ProjectIo& io) : table(io) {}
    CDBASEDatei table;
    std::optional<TypeNumberIndex> index;
};

// Overwrites the record of the same type and number (keeping its object number) or appends one.
bool StoreRecord(BlockTable& t, const BlockHeader& h, std::string_view idField, std::string idValue,
                 FieldValues values) {
    if (!t.index->Select(h.type, h.number, true)) {
        if (!t.index->Append(h.type, h.number)) {
            return false;
        }
        values.emplace_back(idField, std::move(idValue));
    }
    return WriteFieldsByName(t.table, values);
}

// (subblock type, SUBBLK record number) pairs of the records that belong to the block.
std::vector<std::uint8_t> SubblockList(BlockTable& subblk, const BlockHeader& h) {
    std::vector<std::uint8_t> memo;
    for (const std::uint8_t type : SubblocksOf(h.type)) {
        if (subblk.index->Select(type, h.number, false)) {
            std::array<std::uint8_t, 8> pair{};
            bytes::StoreLe32(pair, 0, type);
            bytes::StoreLe32(pair, 4, subblk.table.CurrentRecord() + 1);
            memo.insert(memo.end(), pair.begin(), pair.end());
        }
    }
    return memo;
}

bool StoreDirectoryRecord(BlockTable& baustein, BlockTable& subblk, const BlockHeader& h,
                          std::uint32_t objectNumber) {
    const auto list = SubblockList(subblk, h);
    const std::uint32_t memo = baustein.table.WriteMemo(list);
    FieldValues values{
        {"TYP", ZeroPadded(h.type, 5)}, {"NUMMER", ZeroPadded(h.number, 5)}, {"ATTRIBS", ZeroBytes(40)},
        {"LINKS", RightAligned(0, 11)}, {"UDA", std::string(10, ' ')},       {"SUBBLOCKS", MemoField(memo)},
    };
    const bool stored = StoreRecord(baustein, h, "ID", ZeroPadded(objectNumber, 11), std::move(values));
    return stored && (list.empty() || memo != 0);
}

// Object numbers continue after every number already in the project, so appended records never repeat one.
std::uint32_t FirstObjectNumber(CDBASEDatei& subblk, CDBASEDatei& baustein,
                                const std::filesystem::path& idFile) {
    std::uint64_t next = 1;
    std::ifstream in(ResolveIgnoringCase(idFile), std::ios::binary);
    std::array<std::uint8_t, 4> word{};
    if (in.read(reinterpret_cast<char*>(word.data()), word.size())) {
        next = bytes::LoadLe32(word, 0);
    }
    next = std::max({next, HighestNumber(subblk, "OBJECTID") + 1, HighestNumber(baustein, "ID") + 1});
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(next, 0xFFFFFFFFU));
}

bool WriteObjectNumberFile(ProjectIo& io, const std::filesystem::path& path, std::uint32_t next) {
    std::array<std::uint8_t, 4> word{};
    bytes::StoreLe32(word, 0, next);
    return WriteWholeFile(io, ResolveIgnoringCase(path), word);
}

// Stores one block in both tables; false when anything of it could not be stored.
bool StoreBlock(BlockTable& subblk, BlockTable& baustein, std::span<const std::uint8_t> image,
                std::uint32_t objectNumber) {
    const auto h = ReadBlockHeader(image);
    const auto parts = SplitBlockParts(image);
    if (!h || !parts || !parts->complete) {
        return false;
    }
    bool ok = true;
    if (subblk.table.IsOpen()) {
        PartMemos memos;
        ok = StoreParts(subblk.table, *parts, memos);
        ok = StoreRecord(subblk, *h, "OBJECTID", RightAligned(objectNumber, 11),
                         SubblockValues(*h, parts->trailer, memos)) &&
             ok;
    }
    if (baustein.table.IsOpen() && HasDirectoryRecord(BlockTypeCode(h->type))) {
        ok = StoreDirectoryRecord(baustein, subblk, *h, objectNumber) && ok;
    }
    return ok;
}

// The block types this station stores in the tables (every type it uploads except system data).
constexpr std::array<std::uint8_t, 6> kStoredTypes{subblock::kOb,  subblock::kDb, subblock::kFc,
                                                   subblock::kSfc, subblock::kFb, subblock::kSfb};

bool IsStoredHere(std::span<const std::uint8_t> image) {
    return HasBlockMarker(image) && image.size() > block_field::kType &&
           (image[block_field::kAttribute] & 1) != 0 && image[block_field::kType] != subblock::kSdb;
}

}  // namespace

bool WriteBlockTables(ProjectIo& io, const std::filesystem::path& folder, const BlockList& blocks) {
    BlockTable baustein(io);
    BlockTable subblk(io);
    const auto b = OpenOrCreateTable(baustein.table, folder / kBausteinTable, kBausteinFields,
                                     kCreateIndexFile | kCreateMemoFile, kBausteinTags);
    const auto s =
        OpenOrCreateTable(subblk.table, folder / kSubblockTable, kSubblockFields, kCreateMemoFile, {});
    bool ok = b != TableOpening::kFailed && s != TableOpening::kFailed;
    baustein.index.emplace(baustein.table, "TYP", "NUMMER");
    subblk.index.emplace(subblk.table, "SUBBLKTYP", "BLKNUMMER");
    std::uint32_t objectNumber = FirstObjectNumber(subblk.table, baustein.table, folder / kObjectIdFile);
    for (const auto& image : blocks) {
        if (const auto h = ReadBlockHeader(image)) {
            subblk.index->MarkPresent(h->type, h->number);
            baustein.index->MarkPresent(h->type, h->number);
        }
        if (IsStoredHere(image)) {
            ok = StoreBlock(subblk, baustein, image, objectNumber) && ok;
            ++objectNumber;
        }
    }
    // Blocks deleted in the PLC stay in the project, flagged deleted, so no restore writes them back.
    ok = subblk.index->DeleteAllAbsent(kStoredTypes) && ok;
    ok = baustein.index->DeleteAllAbsent(kStoredTypes) && ok;
    // Overwritten records leave their earlier memos behind: keep only what the records refer to, so the
    // memo files track the program and not the number of backups.
    ok = subblk.table.CompactMemos() && ok;
    ok = baustein.table.CompactMemos() && ok;
    ok = subblk.table.CloseTable() && ok;
    ok = baustein.table.CloseTable() && ok;
    return WriteObjectNumberFile(io, folder / kObjectIdFile, objectNumber) && ok;
}

// ---- reading ----

namespace {

// Field access to one record, live or deleted, by field name.
struct StoredRecord {
    CDBASEDatei& table;
    std::uint32_t record;

    std::optional<std::string> Text(std::string_view name) const {
        const auto field = FieldByName(table, name);
        return field ? table.FieldOf(record, *field) : std::nullopt;
    }
    std::optional<std::uint64_t> Number(std::string_view name) const {
        const auto text = Text(name);
        return text ? std::optional(LeadingNumber(*text)) : std::nullopt;
    }
    // A small value from a numeric field; the fallback when the field is missing, blank or too large
    // (tables written before these fields were filled, or by another writer).
    std::uint8_t Byte(std::string_view name, std::uint8_t fallback) const {
        const auto text = Text(name);
        if (!text || text->find_first_of("0123456789") == std::string::npos) {
            return fallback;
        }
        const std::uint64_t value = LeadingNumber(*text);
        return value > 0xFF ? fallback : static_cast<std::uint8_t>(value);
    }
};

// A part is taken only when its memo lies inside the memo file and has exactly the recorded length.
bool ReadPart(const StoredRecord& r, std::string_view memoField, std::uint64_t length,
              std::vector<std::uint8_t>& out) {
    if (length == 0) {
        out.clear();
        return true;
    }
    const auto block = r.Number(memoField);
    if (!block) {
        return false;
    }
    const auto memo =
        r.table.ReadMemo(static_cast<std::uint32_t>(std::min<std::uint64_t>(*block, 0xFFFFFFFFU)));
    if (!memo || memo->size() != length) {
        return false;
    }
    out = *memo;
    return true;
}

// A record may ask for at most the trailer's room beyond its parts (and the 4 bytes more the older layout
// counts): a damaged length never makes the reader allocate more than the record stores.
constexpr std::uint64_t kMostBeyondParts = kBlockTrailerLength + 4;

using Trailer = std::array<std::uint8_t, kBlockTrailerLength>;

// Builds the image from the header values, parts and trailer (the image's last 36 bytes when it has
// room for them); nothing when they do not fit together.
std::optional<BlockImage> AssembleImage(BlockHeader h, std::uint64_t total,
                                        const std::array<std::vector<std::uint8_t>, 3>& parts,
                                        const Trailer& trailer = {}) {
    const std::uint64_t needed = kBlockHeaderLength + parts[0].size() + parts[1].size() + parts[2].size();
    if (total < needed || total > needed + kMostBeyondParts || total > kMaxBlockImageLength) {
        return std::nullopt;
    }
    h.loadLength = static_cast<std::uint32_t>(total);
    h.codeLength = static_cast<std::uint16_t>(parts[0].size());
    h.ssbLength = static_cast<std::uint16_t>(parts[1].size());
    h.addLength = static_cast<std::uint16_t>(parts[2].size());
    BlockImage image(static_cast<std::size_t>(total), 0);
    WriteBlockHeader(h, image);
    auto out = image.begin() + kBlockHeaderLength;
    for (const auto& part : parts) {
        out = std::copy(part.begin(), part.end(), out);
    }
    if (total >= needed + kBlockTrailerLength) {
        std::copy(trailer.begin(), trailer.end(), image.end() - kBlockTrailerLength);
    }
    return image;
}

Timestamp TimestampBytes(const std::optional<std::string>& text) {
    Timestamp t{};
    if (text) {
        std::copy_n(text->begin(), std::min(text->size(), t.size()), t.begin());
    }
    return t;
}

Timestamp TimestampField(CDBASEDatei& table, std::size_t field) {
    return TimestampBytes(table.ReadFieldNext(field, false));
}

void CopyName(const StoredRecord& r, std::string_view name, Trailer& trailer, std::size_t offset) {
    if (const auto text = r.Text(name)) {
        std::copy_n(text->begin(), std::min(text->size(), trailer_field::kNameLength),
                    trailer.begin() + static_cast<std::ptrdiff_t>(offset));
    }
}

// The trailer from its fields; bytes 25 and 28-35 have none and stay zero.
Trailer StoredTrailer(const StoredRecord& r) {
    Trailer t{};
    CopyName(r, "USERNAME", t, trailer_field::kAuthor);
    CopyName(r, "BLOCKFNAME", t, trailer_field::kFamily);
    CopyName(r, "BLOCKNAME", t, trailer_field::kName);
    t[trailer_field::kVersion] = r.Byte("VERSION", 0);
    const std::uint64_t checksum = r.Number("CHECKSUM").value_or(0);
    bytes::StoreBe16(t, trailer_field::kChecksum,
                     static_cast<std::uint16_t>(checksum > 0xFFFF ? 0 : checksum));
    return t;
}

// Header bytes 2-4 read as 1 from a record that does not say otherwise, as they always did.
BlockHeader StoredHeader(const StoredRecord& r) {
    BlockHeader h;
    h.version = r.Byte("AGRESERVED", 1);
    h.attribute = r.Byte("ATTRIBUTE", 1);
    h.language = r.Byte("BLKLANG", 1);
    const std::uint64_t security = r.Number("PASSWORD").value_or(0);
    h.securityWord = security > 0xFFFFFFFFU ? 0 : static_cast<std::uint32_t>(security);
    h.timestamp1 = TimestampBytes(r.Text("TIMESTAMP1"));
    h.timestamp2 = TimestampBytes(r.Text("TIMESTAMP2"));
    return h;
}

std::optional<BlockImage> RebuildSubblockRecord(const StoredRecord& r) {
    const auto type = r.Number("SUBBLKTYP");
    const auto number = r.Number("BLKNUMMER");
    const auto total = r.Number("BLKTOTLEN");
    const auto local = r.Number("LOCDATALEN");
    if (!type || !number || !total || !local || !r.Text("TIMESTAMP1") || !r.Text("TIMESTAMP2") ||
        *type > 255 || BlockTypeCode(static_cast<std::uint8_t>(*type)) == 0 || *number > 0xFFFF ||
        *local > 0xFFFF) {
        return std::nullopt;
    }
    constexpr std::array<std::string_view, 3> kLengthFields{"MC5LEN", "SSBLEN", "ADDLEN"};
    constexpr std::array<std::string_view, 3> kMemoFields{"MC5CODE", "SSBPART", "ADDINFO"};
    std::array<std::vector<std::uint8_t>, 3> parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto length = r.Number(kLengthFields[i]);
        if (!length || *length > 0xFFFF || !ReadPart(r, kMemoFields[i], *length, parts[i])) {
            return std::nullopt;
        }
    }
    BlockHeader h = StoredHeader(r);
    h.type = static_cast<std::uint8_t>(*type);
    h.number = static_cast<std::uint16_t>(*number);
    h.localDataLength = static_cast<std::uint16_t>(*local);
    return AssembleImage(h, *total, parts, StoredTrailer(r));
}

std::size_t ReadSubblockRecords(const std::filesystem::path& folder, BlockList& blocks, bool deleted) {
    CDBASEDatei table;
    if (!table.OpenTable(ResolveIgnoringCase(folder, {kSubblockTable}))) {
        return 0;
    }
    std::size_t unreadable = 0;
    for (const std::uint32_t record : deleted ? table.DeletedRecords() : table.LiveRecords()) {
        const StoredRecord r{table, record};
        const auto type = r.Number("SUBBLKTYP");
        if (!type || *type > 255 || BlockTypeCode(static_cast<std::uint8_t>(*type)) == 0) {
            continue;  // not a block
        }
        if (auto image = RebuildSubblockRecord(r)) {
            blocks.push_back(std::move(*image));
        } else {
            ++unreadable;
        }
    }
    table.CloseTable();
    return unreadable;
}

}  // namespace

std::size_t ReadSubblockTable(const std::filesystem::path& folder, BlockList& blocks) {
    return ReadSubblockRecords(folder, blocks, false);
}

std::size_t ReadDeletedSubblocks(const std::filesystem::path& folder, BlockList& blocks) {
    return ReadSubblockRecords(folder, blocks, true);
}

std::vector<std::size_t> TrailerBytesNotKept(std::span<const std::uint8_t> image) {
    std::vector<std::size_t> offsets;
    const auto parts = SplitBlockParts(image);
    if (!parts || parts->trailer.size() != kBlockTrailerLength ||
        image[block_field::kType] == subblock::kSdb) {
        return offsets;  // a system data block is stored whole
    }
    for (std::size_t i = 0; i < kBlockTrailerLength; ++i) {
        const bool kept = i < trailer_field::kVersion + 1 || i == trailer_field::kChecksum ||
                          i == trailer_field::kChecksum + 1;
        if (!kept && parts->trailer[i] != 0) {
            offsets.push_back(i);
        }
    }
    return offsets;
}

// ---- the older layout ----

namespace {

// Field numbers of the older block table.
constexpr std::size_t kOldName = 1;
constexpr std::size_t kOldType = 5;
constexpr std::size_t kOldNumber = 6;
constexpr std::size_t kOldTimestamp1 = 14;
constexpr std::size_t kOldTimestamp2 = 15;
constexpr std::array<std::size_t, 3> kOldMemos{25, 26, 27};
constexpr std::size_t kOldLocalData = 28;
constexpr std::uint64_t kOldFrameLength = 76;  // header, trailer and 4 bytes the older layout counts

std::optional<BlockImage> RebuildOlderRecord(CDBASEDatei& table, std::uint64_t type) {
    const auto number = table.ReadFieldNext(kOldNumber, false);
    const auto local = table.ReadFieldNext(kOldLocalData, false);
    if (!number || !local || LeadingNumber(*number) > 0xFFFF || LeadingNumber(*local) > 0xFFFF) {
        return std::nullopt;
    }
    std::array<std::vector<std::uint8_t>, 3> parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto text = table.ReadFieldNext(kOldMemos[i], false);
        const std::uint64_t block = text ? LeadingNumber(*text) : 0;
        if (block != 0) {
            auto memo =
                table.ReadMemo(static_cast<std::uint32_t>(std::min<std::uint64_t>(block, 0xFFFFFFFFU)));
            if (!memo || memo->size() > 0xFFFF) {
                return std::nullopt;
            }
            parts[i] = std::move(*memo);
        }
    }
    BlockHeader h;
    h.type = static_cast<std::uint8_t>(type);
    h.number = static_cast<std::uint16_t>(LeadingNumber(*number));
    h.localDataLength = static_cast<std::uint16_t>(LeadingNumber(*local));
    h.timestamp1 = TimestampField(table, kOldTimestamp1);
    h.timestamp2 = TimestampField(table, kOldTimestamp2);
    const std::uint64_t total = parts[0].size() + parts[1].size() + parts[2].size() + kOldFrameLength;
    return AssembleImage(h, total, parts);
}

}  // namespace

std::size_t ReadOlderBlockTable(const std::filesystem::path& folder, BlockList& blocks) {
    CDBASEDatei table;
    if (!table.OpenTable(ResolveIgnoringCase(folder, {kBausteinTable})) ||
        table.FieldCount() <= kOldLocalData) {
        return 0;
    }
    std::size_t unreadable = 0;
    // Records of block types 0..254 whose name field begins with the type text, by type, then in file order.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> selected;
    for (const std::uint32_t record : table.LiveRecords()) {
        table.SelectRecord(record);
        const auto type = table.ReadFieldNext(kOldType, false);
        const auto name = table.ReadFieldNext(kOldName, false);
        const std::uint64_t value = type ? LeadingNumber(*type) : 255;
        if (type && name && value < 255 && name->starts_with(*type)) {
            selected.emplace_back(value, record);
        }
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [type, record] : selected) {
        table.SelectRecord(record);
        if (auto image = RebuildOlderRecord(table, type)) {
            blocks.push_back(std::move(*image));
        } else {
            ++unreadable;
        }
    }
    table.CloseTable();
    return unreadable;
}

}  // namespace vaultra::s7project
