#include "s7project/system_data.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include <vaultra/byte_order.h>
#include "s7project/dbase_index.h"
#include "s7project/dbase_table.h"
#include "s7project/path_case.h"
#include "s7project/table_schema.h"

namespace vaultra::s7project {

namespace {

constexpr std::size_t kPgLengthSurplus = 6;
constexpr std::size_t kPgTrailerOffset = 42;
constexpr std::uint64_t kMaxPgFileLength = kMaxBlockImageLength + kPgLengthSurplus;

constexpr std::array<FieldSpec, 4> kDirectoryFields{{
    {"ID", 'N', 11},
    {"SDBHNAME", 'C', 24},
    {"MLFB", 'C', 20},
    {"LASTID", 'N', 11},
}};
constexpr std::array<FieldSpec, 7> kLinkFields{{
    {"SOT", 'N', 11},
    {"SOI", 'N', 11},
    {"TUT", 'N', 11},
    {"TUI", 'N', 11},
    {"TOT", 'N', 11},
    {"TOI", 'N', 11},
    {"RID", 'N', 11},
}};
constexpr std::array<FieldSpec, 10> kListFields{{
    {"ID", 'N', 11},
    {"SDBNAME", 'C', 24},
    {"NUMBER", 'N', 11},
    {"TYPE", 'N', 11},
    {"SIZE", 'N', 11},
    {"PRODUCER", 'C', 8},
    {"ATTRIBUTE", 'N', 11},
    {"VERSION", 'N', 11},
    {"TS1", 'C', 6},
    {"TS2", 'C', 6},
}};
constexpr std::array<TagSpec, 1> kIdTags{kIdTagUnique};

constexpr std::string_view kDirectoryTable = "S0112001.DBF";

std::filesystem::path FolderTable(const std::filesystem::path& sdb, const std::string& folder,
                                  std::string_view kind) {
    return ResolveIgnoringCase(sdb, {folder, kind, folder + ".DBF"});
}

std::filesystem::path PgFile(const std::filesystem::path& folder, std::uint32_t fileNumber) {
    return ResolveIgnoringCase(folder, {Hex8(fileNumber) + ".PG"});
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxPgFileLength) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        return std::nullopt;
    }
    return bytes;
}

// Overwrites the live record whose ID reads as `id`, else appends one.
bool StoreById(CDBASEDatei& table, std::uint32_t id, FieldValues values) {
    if (!table.IsOpen()) {
        return false;
    }
    if (!FindRecordByNumber(table, "ID", id) && !table.AppendRecord()) {
        return false;
    }
    values.insert(values.begin(), {"ID", ZeroPadded(id, 11)});
    return WriteFieldsByName(table, values);
}

bool AppendLinkRecord(CDBASEDatei& link) {
    return link.IsOpen() && link.AppendRecord() &&
           WriteFieldsByName(link, {{"SOT", RightAligned(0x11610B, 11)},
                                    {"SOI", RightAligned(1, 11)},
                                    {"TUT", RightAligned(0, 11)},
                                    {"TUI", RightAligned(0, 11)},
                                    {"TOT", RightAligned(0x116001, 11)},
                                    {"TOI", RightAligned(1, 11)},
                                    {"RID", RightAligned(29, 11)}});
}

std::string TimestampText(const Timestamp& t) {
    return std::string(t.begin(), t.end());
}

FieldValues ListValues(const BlockHeader& h) {
    return {{"SDBNAME", std::string(24, ' ')},
            {"NUMBER", ZeroPadded(h.number, 11)},
            {"TYPE", ZeroPadded(0, 11)},
            {"SIZE", ZeroPadded(h.loadLength, 11)},
            {"PRODUCER", "STEP 7  "},
            {"ATTRIBUTE", RightAligned(h.attribute, 11)},
            {"VERSION", RightAligned(0, 11)},
            {"TS1", TimestampText(h.timestamp1)},
            {"TS2", TimestampText(h.timestamp2)}};
}

FieldValues DirectoryValues() {
    return {{"SDBHNAME", BlankPadded("Systemdaten", 24)},
            {"MLFB", std::string(20, ' ')},
            {"LASTID", ZeroPadded(1, 11)}};
}

struct SdbTables {
    explicit SdbTables(ProjectIo& io) : io(io), directory(io), link(io), list(io) {}
    ProjectIo& io;
    CDBASEDatei directory;
    CDBASEDatei link;
    CDBASEDatei list;
};

// Stores one system data block; a block already listed keeps its file number, a new one takes the next
// number that no listed block uses.
bool StoreSystemDataBlock(SdbTables& t, const SystemDataFolders& folders, std::span<const std::uint8_t> image,
                          std::uint32_t& nextFree) {
    const auto h = ReadBlockHeader(image);
    const auto file = EncodeSystemDataFile(image);
    if (!h || !file) {
        return false;
    }
    std::optional<std::string> listed;
    if (t.list.IsOpen() && FindRecordByNumber(t.list, "NUMBER", h->number)) {
        listed = CurrentField(t.list, "ID");
    }
    const std::uint64_t listedNumber = listed ? LeadingNumber(*listed) : 0;
    const std::uint32_t fileNumber = listedNumber != 0 && listedNumber <= 0xFFFFFFFFU
                                         ? static_cast<std::uint32_t>(listedNumber)
                                         : nextFree++;
    bool ok = WriteWholeFile(t.io, PgFile(folders.pgFolder, fileNumber), *file);
    ok = StoreById(t.list, fileNumber, ListValues(*h)) && ok;
    ok = StoreById(t.directory, fileNumber, DirectoryValues()) && ok;
    return ok;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeSystemDataFile(std::span<const std::uint8_t> image) {
    const auto h = ReadBlockHeader(image);
    if (!h || h->loadLength < kBlockHeaderLength + kBlockTrailerLength || image.size() < h->loadLength) {
        return std::nullopt;
    }
    const auto block = image.first(h->loadLength);
    std::vector<std::uint8_t> file(kPgHeaderLength, 0);
    file[0] = h->language;
    file[2] = h->type;
    bytes::StoreLe16(file, 4, h->number);
    file[6] = h->attribute;
    file[7] = h->version;
    bytes::StoreLe32(file, 8, h->loadLength + static_cast<std::uint32_t>(kPgLengthSurplus));
    bytes::StoreLe16(file, 12, h->codeLength);
    bytes::StoreLe16(file, 14, h->localDataLength);
    bytes::StoreLe16(file, 20, h->ssbLength);
    bytes::StoreLe16(file, 22, h->addLength);
    std::copy(h->timestamp1.begin(), h->timestamp1.end(), file.begin() + 26);
    std::copy(h->timestamp2.begin(), h->timestamp2.end(), file.begin() + 32);
    bytes::StoreLe32(file, 38, h->securityWord);
    const auto trailer = block.last(kBlockTrailerLength);
    std::copy(trailer.begin(), trailer.end(), file.begin() + kPgTrailerOffset);
    const auto body =
        block.subspan(kBlockHeaderLength, block.size() - kBlockHeaderLength - kBlockTrailerLength);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::optional<BlockImage> DecodeSystemDataFile(std::span<const std::uint8_t> file) {
    if (file.size() < kPgHeaderLength) {
        return std::nullopt;
    }
    const std::uint32_t stored = bytes::LoadLe32(file, 8);
    if (stored < kBlockHeaderLength + kBlockTrailerLength + kPgLengthSurplus || stored > kMaxPgFileLength) {
        return std::nullopt;
    }
    const std::size_t loadLength = stored - kPgLengthSurplus;
    const std::size_t body = loadLength - kBlockHeaderLength - kBlockTrailerLength;
    if (file.size() < kPgHeaderLength + body) {
        return std::nullopt;
    }
    BlockHeader h;
    h.version = file[7];
    h.attribute = file[6];
    h.language = file[0];
    h.type = file[2];
    h.number = bytes::LoadLe16(file, 4);
    h.loadLength = static_cast<std::uint32_t>(loadLength);
    h.securityWord = bytes::LoadLe32(file, 38);
    std::copy_n(file.begin() + 26, h.timestamp1.size(), h.timestamp1.begin());
    std::copy_n(file.begin() + 32, h.timestamp2.size(), h.timestamp2.begin());
    h.ssbLength = bytes::LoadLe16(file, 20);
    h.addLength = bytes::LoadLe16(file, 22);
    h.localDataLength = bytes::LoadLe16(file, 14);
    h.codeLength = bytes::LoadLe16(file, 12);
    // Parts that run past the block's end come from a damaged file: such a block would be written back
    // into a PLC with the wrong bytes.
    if (std::size_t{h.codeLength} + h.ssbLength + h.addLength > body + kBlockTrailerLength) {
        return std::nullopt;
    }
    BlockImage image(kBlockHeaderLength, 0);
    WriteBlockHeader(h, image);
    const auto middle = file.subspan(kPgHeaderLength, body);
    image.insert(image.end(), middle.begin(), middle.end());
    const auto trailer = file.subspan(kPgTrailerOffset, kBlockTrailerLength);
    image.insert(image.end(), trailer.begin(), trailer.end());
    return image;
}

bool WriteSystemData(ProjectIo& io, const SystemDataFolders& folders, const BlockList& blocks) {
    SdbTables t(io);
    bool ok = OpenOrCreateTable(t.directory, folders.sdb / kDirectoryTable, kDirectoryFields,
                                kCreateIndexFile, kIdTags) != TableOpening::kFailed;
    ok = OpenOrCreateTable(t.link, FolderTable(folders.sdb, folders.sdbFolder, "LINK"), kLinkFields, 0, {}) !=
             TableOpening::kFailed &&
         ok;
    ok = OpenOrCreateTable(t.list, FolderTable(folders.sdb, folders.sdbFolder, "LIST"), kListFields,
                           kCreateIndexFile, kIdTags) != TableOpening::kFailed &&
         ok;
    ok = AppendLinkRecord(t.link) && ok;
    const std::uint64_t highest = std::max(HighestNumber(t.list, "ID"), HighestNumber(t.directory, "ID"));
    auto nextFree = static_cast<std::uint32_t>(std::min<std::uint64_t>(highest + 1, 0xFFFFFFFFU));
    for (const auto& image : blocks) {
        if (HasBlockMarker(image) && image.size() > block_field::kType &&
            image[block_field::kType] == subblock::kSdb) {
            ok = StoreSystemDataBlock(t, folders, image, nextFree) && ok;
        }
    }
    ok = t.list.CloseTable() && ok;
    ok = t.link.CloseTable() && ok;
    ok = t.directory.CloseTable() && ok;
    return ok;
}

std::string FindSdbFolder(const std::filesystem::path& sdb, const std::string& current) {
    CDBASEDatei directory;
    if (!directory.OpenTable(ResolveIgnoringCase(sdb, {kDirectoryTable}))) {
        return current;
    }
    const auto idField = FieldByName(directory, "ID");
    if (!idField) {
        return {};
    }
    for (auto id = directory.ReadFieldFirst(*idField); id; id = directory.ReadFieldNext(*idField, true)) {
        const std::uint64_t value = LeadingNumber(*id);
        if (value > 0xFFFFFFFFU) {
            continue;
        }
        const std::string folder = Hex8(static_cast<std::uint32_t>(value));
        CDBASEDatei link;
        if (link.OpenTable(FolderTable(sdb, folder, "LINK")) && FindRecordByNumber(link, "TOI", 1)) {
            return folder;
        }
    }
    return {};
}

std::size_t ReadSystemData(const std::filesystem::path& sdb, const std::string& sdbFolder,
                           const std::vector<std::string>& pgFolders, BlockList& blocks) {
    CDBASEDatei list;
    if (sdbFolder.empty() || !list.OpenTable(FolderTable(sdb, sdbFolder, "LIST"))) {
        return 0;
    }
    const auto idField = FieldByName(list, "ID");
    if (!idField) {
        return 0;
    }
    std::size_t unreadable = 0;
    for (auto id = list.ReadFieldFirst(*idField); id; id = list.ReadFieldNext(*idField, true)) {
        const std::uint64_t value = LeadingNumber(*id);
        std::optional<BlockImage> image;
        for (const auto& folder : pgFolders) {
            if (value > 0xFFFFFFFFU) {
                break;
            }
            const auto file =
                ReadWholeFile(PgFile(ResolveIgnoringCase(sdb, {folder}), static_cast<std::uint32_t>(value)));
            if (file) {
                image = DecodeSystemDataFile(*file);
                break;
            }
        }
        if (image) {
            blocks.push_back(std::move(*image));
        } else {
            ++unreadable;
        }
    }
    return unreadable;
}

}  // namespace vaultra::s7project
