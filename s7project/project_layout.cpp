#include "s7project/project_layout.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include <vaultra/byte_order.h>
#include "platform/cp1252.h"
#include "s7project/dbase_index.h"
#include "s7project/dbase_table.h"
#include "s7project/link_file.h"
#include "s7project/path_case.h"
#include "s7project/table_schema.h"

namespace vaultra::s7project {

namespace {

constexpr std::string_view kProducer = "Programmer von QX";
constexpr std::string_view kClassId = "{00000000-0000-0000-0000-000000000000}";
constexpr std::string_view kCreator = "VELDAR-WRITER";
constexpr std::string_view kProgramName = "S7-Programm(1)";

bool IsDirectory(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

void AppendText(std::vector<std::uint8_t>& out, std::string_view text) {
    if (text.empty()) {
        return;  // an empty text is not written at all, not even its length byte
    }
    const std::size_t n = std::min<std::size_t>(text.size(), 255);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::array<std::uint8_t, 4> word{};
    bytes::StoreLe32(word, 0, v);
    out.insert(out.end(), word.begin(), word.end());
}

constexpr std::array<std::string_view, 8> kLongs{"RSRVD1_L", "RSRVD2_L", "RSRVD3_L", "RSRVD4_L",
                                                 "RSRVD5_L", "RSRVD6_L", "RSRVD7_L", "RSRVD8_L"};
constexpr std::array<std::string_view, 4> kTexts{"RSRVD9_C", "RSRVD10_C", "RSRVD11_C", "RSRVD12_C"};

// The fields the three project-level tables share at their start and end.
std::vector<FieldSpec> ResourceFields(bool online) {
    std::vector<FieldSpec> f{{"ID", 'N', 11},       {"NAME", 'C', 24},    {"CREATDATE", 'C', 6},
                             {"LASTMODIF", 'C', 6}, {"CREATOR", 'C', 40}, {"COMMENT", 'C', 255}};
    if (online) {
        f.insert(f.end(), {{"CONTYP", 'C', 1}, {"USERMPI", 'N', 11}, {"FLGUSERMPI", 'C', 1}});
    } else {
        f.push_back({"HWTYPE", 'C', 24});
    }
    f.push_back({"INTVERSION", 'N', 11});
    for (const auto name : kLongs) {
        f.push_back({name, 'N', 11});
    }
    for (const auto name : kTexts) {
        f.push_back({name, 'C', 32});
    }
    return f;
}

constexpr std::array<FieldSpec, 20> kContainerFields{{
    {"ID", 'N', 11},      {"NAME", 'C', 24},     {"CRDATE", 'C', 6},  {"LASTMOD", 'C', 6},
    {"CREATOR", 'C', 40}, {"COMMENT", 'C', 254}, {"TAG", 'N', 11},    {"VERSION", 'N', 11},
    {"LINK_ID", 'N', 11}, {"ANZFB", 'N', 11},    {"ANZFC", 'N', 11},  {"ANZDB", 'N', 11},
    {"ANZMAB", 'N', 11},  {"ANZOB", 'N', 11},    {"ANZSFB", 'N', 11}, {"ANZSFC", 'N', 11},
    {"ANZUDT", 'N', 11},  {"ANZVAT", 'N', 11},   {"GESLEN", 'N', 11}, {"LOADLEN", 'N', 11},
}};
constexpr std::array<TagSpec, 1> kSharedIdTag{kIdTagShared};

FieldValues CommonResourceValues() {
    return {{"ID", RightAligned(1, 11)},
            {"NAME", BlankPadded(kProgramName, 24)},
            {"CREATDATE", ZeroBytes(6)},
            {"LASTMODIF", ZeroBytes(6)},
            {"CREATOR", BlankPadded(kCreator, 40)},
            {"COMMENT", std::string(255, ' ')},
            {kTexts[0], std::string(32, ' ')},
            {kTexts[1], std::string(32, ' ')},
            {kTexts[2], std::string(32, ' ')},
            {kTexts[3], std::string(32, ' ')}};
}

FieldValues OfflineResourceValues() {
    FieldValues v = CommonResourceValues();
    v.insert(v.end(), {{"HWTYPE", BlankPadded("S7 CPU", 24)}, {"INTVERSION", RightAligned(100, 11)}});
    for (std::size_t i = 0; i < kLongs.size(); ++i) {
        v.emplace_back(kLongs[i], i == 3 ? RightAligned(512, 11) : std::string(11, ' '));
    }
    return v;
}

FieldValues OnlineResourceValues() {
    FieldValues v = CommonResourceValues();
    v.insert(v.end(), {{"CONTYP", std::string(1, '\x01')},
                       {"USERMPI", RightAligned(-51, 11)},
                       {"FLGUSERMPI", std::string(1, '\0')},
                       {"INTVERSION", RightAligned(105, 11)},
                       {"RSRVD1_L", RightAligned(-1, 11)},
                       {"RSRVD2_L", RightAligned(0, 11)},
                       {"RSRVD3_L", RightAligned(0, 11)},
                       {"RSRVD4_L", RightAligned(512, 11)},
                       {"RSRVD5_L", std::string(11, ' ')},
                       {"RSRVD6_L", std::string(11, ' ')},
                       {"RSRVD7_L", std::string(11, ' ')},
                       {"RSRVD8_L", std::string(11, ' ')}});
    return v;
}

struct BlockCounts {
    std::array<long long, 256> byType{};
    long long totalLength = 0;
    long long loadLength = 0;
};

BlockCounts CountBlocks(const BlockList& blocks) {
    BlockCounts c;
    for (const auto& image : blocks) {
        const auto h = ReadBlockHeader(image);
        if (!h) {
            continue;
        }
        ++c.byType[h->type];
        c.totalLength += h->loadLength;
        if (h->type == subblock::kOb || h->type == subblock::kDb || h->type == subblock::kFc ||
            h->type == subblock::kFb) {
            c.loadLength += h->loadLength;
        }
    }
    return c;
}

FieldValues ContainerValues(const std::string& offlineFolder, const BlockList& blocks) {
    const BlockCounts c = CountBlocks(blocks);
    const auto count = [&c](std::uint8_t type) { return RightAligned(c.byType[type], 11); };
    const long long id = static_cast<long long>(std::strtoull(offlineFolder.c_str(), nullptr, 16));
    return {{"ID", RightAligned(id, 11)},
            {"NAME", BlankPadded("Bausteine", 24)},
            {"CRDATE", ZeroBytes(6)},
            {"LASTMOD", ZeroBytes(6)},
            {"CREATOR", BlankPadded(kCreator, 40)},
            {"COMMENT", std::string(254, ' ')},
            {"TAG", RightAligned(3, 11)},
            {"VERSION", RightAligned(3, 11)},
            {"LINK_ID", RightAligned(512, 11)},
            {"ANZFB", count(subblock::kFb)},
            {"ANZFC", count(subblock::kFc)},
            {"ANZDB", count(subblock::kDb)},
            {"ANZMAB", RightAligned(0, 11)},
            {"ANZOB", count(subblock::kOb)},
            {"ANZSFB", count(subblock::kSfb)},
            {"ANZSFC", count(subblock::kSfc)},
            {"ANZUDT", RightAligned(0, 11)},
            {"ANZVAT", RightAligned(0, 11)},
            {"GESLEN", RightAligned(c.totalLength, 11)},
            {"LOADLEN", RightAligned(c.loadLength, 11)}};
}

bool AddLinks(ProjectIo& io, const std::filesystem::path& path, std::initializer_list<LinkEntry> entries) {
    CLinkDatei file(io);
    if (!file.OpenLinkFile(path)) {
        return false;
    }
    bool ok = true;
    for (const auto& e : entries) {
        ok = file.AddLink(e) && ok;
    }
    return file.CloseLinkFile() && ok;
}

}  // namespace

std::filesystem::path ProjectDirectoryFor(const std::filesystem::path& projectFile) {
    std::filesystem::path dir = projectFile;
    const std::string ext = projectFile.extension().string();
    if (EqualsIgnoringCase(ext, ".S7P") || EqualsIgnoringCase(ext, ".S7L")) {
        dir.replace_extension();
    }
    const std::filesystem::path parent = dir.parent_path();
    if (IsDirectory(ResolveIgnoringCase(parent.empty() ? std::filesystem::path(".") : parent, {"HRS"}))) {
        return parent.empty() ? std::filesystem::path(".") : parent;
    }
    return dir;
}

ProjectPaths ResolveProjectPaths(const std::filesystem::path& root, const std::string& offlineFolder) {
    ProjectPaths p;
    p.root = root;
    p.hrs = ResolveIgnoringCase(root, {"HRS"});
    p.offline = ResolveIgnoringCase(root, {"OMBSTX", "OFFLINE"});
    p.blocks = ResolveIgnoringCase(p.offline, {offlineFolder});
    p.sdb = ResolveIgnoringCase(root, {"SDB"});
    p.pgFiles = ResolveIgnoringCase(p.sdb, {kDefaultFolder});
    return p;
}

bool CreateProjectDirectories(ProjectIo& io, const ProjectPaths& p, const std::string& sdbFolder) {
    const auto sdbFolderPath = ResolveIgnoringCase(p.sdb, {sdbFolder});
    bool ok = true;
    for (const auto& dir : {p.root, p.hrs, p.blocks, p.pgFiles, ResolveIgnoringCase(sdbFolderPath, {"LIST"}),
                            ResolveIgnoringCase(sdbFolderPath, {"LINK"})}) {
        ok = io.CreateDirectories(dir) && ok;
    }
    return ok;
}

std::vector<std::uint8_t> EncodeProjectFile(const std::string& projectName) {
    std::vector<std::uint8_t> out;
    AppendLe32(out, 0);
    AppendText(out, projectName);
    AppendText(out, kProducer);
    out.insert(out.end(), 3, 0);
    AppendText(out, kClassId);
    AppendLe32(out, 3);
    AppendLe32(out, 0x112001);
    out.insert(out.end(), 12, 0);
    AppendLe32(out, 512);
    out.insert(out.end(), 16, 0);
    return out;
}

int ReadProjectFormat(const std::filesystem::path& projectFile) {
    std::ifstream in(ResolveIgnoringCase(projectFile), std::ios::binary);
    std::array<std::uint8_t, 4> word{};
    if (!in.read(reinterpret_cast<char*>(word.data()), word.size())) {
        return 3;
    }
    return bytes::LoadLe32(word, 0) != 0 ? 2 : 3;
}

bool WriteLinkFiles(ProjectIo& io, const ProjectPaths& p, const std::string& offlineFolder) {
    const auto folderNumber = static_cast<std::uint32_t>(std::strtoul(offlineFolder.c_str(), nullptr, 10));
    bool ok = AddLinks(
        io, p.root / "LINK.LNK",
        {{0, 0, 0x144101, 1, 0x4, 0x2}, {0, 0, 0x144103, 1, 0x4, 0x2}, {0, 0, 0x119001, 1, 0x4E, 0x2}});
    ok = AddLinks(io, p.hrs / "LINKHRS.LNK",
                  {{0, 0, 0x116001, 1, 0x1E, 0x2},
                   {0, 0, 0x144103, 1, 0x66, 0x4},
                   {0, 0, 0x112001, 0, 0x5, 0x1},
                   {0, 0, 0x113001, folderNumber, 0x18, 0x2}}) &&
         ok;
    ok = AddLinks(io, p.blocks / "LINKS.LNK",
                  {{0x116001, 1, 0x11610B, 1, 0x1C, 0x2}, {0, 0, 0x144101, 1, 0x1F, 0x1}}) &&
         ok;
    return ok;
}

bool WriteProjectTables(ProjectIo& io, const ProjectPaths& p, const std::string& offlineFolder,
                        const BlockList& blocks) {
    bool ok = true;
    const auto offlineFields = ResourceFields(false);
    const auto onlineFields = ResourceFields(true);
    {
        CDBASEDatei offline(io);
        const auto opened =
            OpenOrCreateTable(offline, p.hrs / "S7RESOFF.DBF", offlineFields, kCreateIndexFile, kSharedIdTag);
        if (opened == TableOpening::kCreated) {
            ok = offline.AppendRecord() && WriteFieldsByName(offline, OfflineResourceValues()) && ok;
        }
        ok = opened != TableOpening::kFailed && offline.CloseTable() && ok;
    }
    {
        CDBASEDatei online(io);
        const auto opened =
            OpenOrCreateTable(online, p.hrs / "S7RESONL.DBF", onlineFields, kCreateIndexFile, kSharedIdTag);
        ok = opened != TableOpening::kFailed && online.AppendRecord() &&
             WriteFieldsByName(online, OnlineResourceValues()) && ok;
        ok = online.CloseTable() && ok;
    }
    CDBASEDatei container(io);
    const auto opened = OpenOrCreateTable(container, p.offline / "BSTCNTOF.DBF", kContainerFields,
                                          kCreateIndexFile, kSharedIdTag);
    bool positioned = false;
    if (opened == TableOpening::kOpened) {
        const auto first = container.LiveRecords();
        positioned = !first.empty() && container.SelectRecord(first.front());
    }
    if (opened != TableOpening::kFailed && !positioned) {
        positioned = container.AppendRecord();
    }
    ok = positioned && WriteFieldsByName(container, ContainerValues(offlineFolder, blocks)) && ok;
    return container.CloseTable() && ok;
}

std::optional<ContainerRecord> ReadContainerRecord(const std::filesystem::path& root) {
    CDBASEDatei table;
    if (!table.OpenTable(ResolveIgnoringCase(root, {"ombstx", "offline", "bstcntof.dbf"}))) {
        return std::nullopt;
    }
    const auto idField = FieldByName(table, "ID");
    const auto nameField = FieldByName(table, "NAME");
    if (!idField || !nameField) {
        return std::nullopt;
    }
    auto id = table.ReadFieldFirst(*idField);
    auto name = table.ReadFieldNext(*nameField, false);
    if (!id || !name) {
        return std::nullopt;
    }
    return ContainerRecord{std::move(*id), std::move(*name)};
}

std::string ReadProgramName(const std::filesystem::path& root, const std::string& id) {
    for (const std::string_view table : {"s7resoff.dbf", "s7resonl.dbf"}) {
        CDBASEDatei t;
        if (!t.OpenTable(ResolveIgnoringCase(root, {"hrs", table}))) {
            continue;
        }
        const auto idField = FieldByName(t, "ID");
        if (idField && t.FindRecord(id, *idField)) {
            if (auto name = CurrentField(t, "NAME")) {
                const auto end = name->find_last_not_of(std::string_view(" \0", 2));
                return platform::Cp1252ToUtf8(name->substr(0, end == std::string::npos ? 0 : end + 1));
            }
        }
    }
    return {};
}

}  // namespace vaultra::s7project
