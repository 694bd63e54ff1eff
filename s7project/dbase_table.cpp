#include "s7project/dbase_table.h"

#include <algorithm>
#include <ctime>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>

#include <vaultra/byte_order.h>
#include "s7project/dbase_index.h"
#include "s7project/path_case.h"

namespace vaultra::s7project {

namespace {

constexpr std::uint8_t kVersionWithMemo = 0x8B;
constexpr std::uint8_t kVersionPlain = 0x03;
constexpr std::uint8_t kHeaderTerminator = 0x0D;
constexpr std::size_t kMaxFieldNameLength = 10;
constexpr std::size_t kMaxFieldLength = 255;
constexpr std::array<std::uint8_t, 4> kMemoMark{0xFF, 0xFF, 0x08, 0x00};
constexpr std::size_t kMemoHeadLength = 8;
constexpr std::size_t kMdxBlockLength = 512;
constexpr std::size_t kTagHeaderPageBytes = 1022;

// X.DBF -> X.DBT, X.DBF -> X.MDX, following the case of the table's extension.
std::filesystem::path SiblingPath(const std::filesystem::path& table, std::string_view upperTail) {
    std::string s = table.string();
    const std::size_t n = std::min(s.size(), upperTail.size());
    const bool lower = !s.empty() && s.back() >= 'a' && s.back() <= 'z';
    for (std::size_t i = 0; i < n; ++i) {
        const char c = upperTail[upperTail.size() - n + i];
        s[s.size() - n + i] = lower ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return s;
}

// First 8 characters of the file name without its extension, zero padded.
std::array<std::uint8_t, 8> BaseName8(const std::filesystem::path& path) {
    std::array<std::uint8_t, 8> name{};
    const std::string stem = path.stem().string();
    std::copy_n(stem.begin(), std::min(stem.size(), name.size()), name.begin());
    return name;
}

using FileSlot = std::unique_ptr<ProjectFile>;

bool OpenStream(ProjectIo& io, FileSlot& file, const std::filesystem::path& path, bool& writable) {
    file = io.Open(path, FileMode::kUpdate);
    writable = file != nullptr;
    if (!writable) {
        file = io.Open(path, FileMode::kRead);
    }
    return file != nullptr;
}

std::uint64_t StreamSize(FileSlot& file) {
    return file ? file->Size() : 0;
}

bool ReadAt(FileSlot& file, std::uint64_t offset, std::span<std::uint8_t> out) {
    return file && file->ReadAt(offset, out) == out.size();
}

bool WriteAt(FileSlot& file, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    return file && file->WriteAt(offset, bytes);
}

bool FlushAndClose(FileSlot& file) {
    if (!file) {
        return true;
    }
    const bool ok = file->Close();
    file.reset();
    return ok;
}

// A number as right-aligned decimal text filling the field (a memo field's block number).
void PutRightAligned(std::span<std::uint8_t> field, std::uint32_t value) {
    const std::string text = std::to_string(value);
    std::fill(field.begin(), field.end(), ' ');
    const std::size_t n = std::min(text.size(), field.size());
    std::copy(text.end() - static_cast<std::ptrdiff_t>(n), text.end(),
              field.end() - static_cast<std::ptrdiff_t>(n));
}

void PutDate(std::span<std::uint8_t> bytes, std::size_t at, const TableDate& d) {
    bytes[at] = d.yearsSince1900;
    bytes[at + 1] = d.month;
    bytes[at + 2] = d.day;
}

}  // namespace

TableDate LocalToday() {
    static std::mutex localTimeLock;  // std::localtime shares one result buffer
    const std::lock_guard lock(localTimeLock);
    const std::time_t now = std::time(nullptr);
    const std::tm* tm = std::localtime(&now);
    if (tm == nullptr) {
        return {};
    }
    return {static_cast<std::uint8_t>(tm->tm_year), static_cast<std::uint8_t>(tm->tm_mon + 1),
            static_cast<std::uint8_t>(tm->tm_mday)};
}

CDBASEDatei::CDBASEDatei(DateSource today) : today_(std::move(today)), io_(&SystemProjectIo()) {}

CDBASEDatei::CDBASEDatei(ProjectIo& io, DateSource today) : today_(std::move(today)), io_(&io) {}

CDBASEDatei::~CDBASEDatei() {
    CloseTable();
}

// ---- defining and creating ----

void CDBASEDatei::SetFieldCount(std::size_t count) {
    fieldCount_ = std::min(count, kMaxFields);
    fields_.assign(fieldCount_, Field{});
}

bool CDBASEDatei::DefineField(std::size_t index, std::string_view name, char type, std::size_t length) {
    if (index >= fieldCount_ || name.empty() || name.size() > kMaxFieldNameLength || length == 0 ||
        length > kMaxFieldLength || (type != 'C' && type != 'N' && type != 'M')) {
        return false;
    }
    fields_[index] = Field{std::string(name), type, length, 0};
    return true;
}

void CDBASEDatei::FillTableHeader(std::uint8_t version, bool productionIndex) {
    prefix_.assign(kDbfHeaderLength + kDbfDescriptorLength * fieldCount_ + 1, 0);
    prefix_[0] = version;
    PutDate(prefix_, 1, today_());
    bytes::StoreLe16(prefix_, 8, static_cast<std::uint16_t>(prefix_.size()));
    bytes::StoreLe16(prefix_, 10, static_cast<std::uint16_t>(recordLength_));
    prefix_[28] = productionIndex ? 1 : 0;
    for (std::size_t i = 0; i < fieldCount_; ++i) {
        auto d =
            std::span(prefix_).subspan(kDbfHeaderLength + kDbfDescriptorLength * i, kDbfDescriptorLength);
        std::copy(fields_[i].name.begin(), fields_[i].name.end(), d.begin());
        d[11] = static_cast<std::uint8_t>(fields_[i].type);
        bytes::StoreLe16(d, 16, static_cast<std::uint16_t>(fields_[i].length));
        d[31] = (i == 0 && fields_[i].name.starts_with("ID")) ? 1 : 0;
    }
    prefix_.back() = kHeaderTerminator;
}

bool CDBASEDatei::CreateTable(const std::filesystem::path& path, unsigned flags) {
    if (tableOpen_) {
        CloseTable();
    }
    if (fieldCount_ == 0 ||
        std::any_of(fields_.begin(), fields_.end(), [](const Field& f) { return f.length == 0; })) {
        return false;
    }
    recordLength_ = 1;
    for (auto& f : fields_) {
        f.offset = recordLength_ - 1;
        recordLength_ += f.length;
    }
    table_ = io_->Open(path, FileMode::kCreate);
    if (!table_) {
        return false;
    }
    tablePath_ = path;
    tableOpen_ = tableWritable_ = true;
    const bool withMemo = (flags & kCreateMemoFile) != 0;
    FillTableHeader(withMemo ? kVersionWithMemo : kVersionPlain, (flags & kCreateIndexFile) != 0);
    failed_ = !WriteAt(table_, 0, prefix_);
    data_.clear();
    current_ = 0;
    if (withMemo) {
        memoPath_ = SiblingPath(path, "T");
        memo_ = io_->Open(memoPath_, FileMode::kCreate);
        memoOpen_ = memo_ != nullptr;
        failed_ = failed_ || !memoOpen_;
        ResetMemoHeader();
        failed_ = failed_ || (memoOpen_ && !WriteAt(memo_, 0, memoHeader_));
        memoFileSize_ = kMemoBlockLength;
    }
    if ((flags & kCreateIndexFile) != 0) {
        index_ = io_->Open(SiblingPath(path, "MDX"), FileMode::kCreate);
        indexOpen_ = index_ != nullptr;
        failed_ = failed_ || !indexOpen_;
    }
    MarkModified();
    return true;
}

bool CDBASEDatei::CreateIndexHeader(const std::filesystem::path& tablePath) {
    if (!indexOpen_) {
        index_ = io_->Open(SiblingPath(tablePath, "MDX"), FileMode::kCreate);
        indexOpen_ = index_ != nullptr;
        if (!indexOpen_) {
            failed_ = true;
            return false;
        }
    }
    const TableDate today = today_();
    mdxHeader_ = {};
    mdxHeader_[0] = 2;
    PutDate(mdxHeader_, 1, today);
    const auto name = BaseName8(SiblingPath(tablePath, "MDX"));
    std::copy(name.begin(), name.end(), mdxHeader_.begin() + 4);
    bytes::StoreLe16(mdxHeader_, 20, kBlocksPerPage);
    bytes::StoreLe16(mdxHeader_, 22, kMdxPageLength);
    mdxHeader_[24] = 1;
    mdxHeader_[25] = 48;
    mdxHeader_[26] = kMdxTagEntryLength;
    bytes::StoreLe32(mdxHeader_, 32, 2);
    PutDate(mdxHeader_, 44, today);
    mdxHeader_[529] = 1;
    tagTable_ = {};
    MarkModified();
    return WriteMdxHeaderAndTags();
}

bool CDBASEDatei::WriteMdxHeaderAndTags() {
    const bool ok = WriteAt(index_, 0, mdxHeader_) && WriteAt(index_, kMdxHeaderLength, tagTable_);
    failed_ = failed_ || !ok;
    return ok;
}

bool CDBASEDatei::AddTag(std::string_view tagName, char keyType, bool unique, std::string_view expression,
                         std::size_t keyLength) {
    const std::uint32_t i = bytes::LoadLe32(mdxHeader_, 28);
    if (!indexOpen_ || i >= kMdxTagSlotsWritten || tagName.empty() || tagName.size() > 11 ||
        keyLength > kIndexKeyLength) {
        return false;
    }
    const std::uint32_t headerBlock = 4 * (i + 1);
    auto entry = std::span(tagTable_).subspan(i * kMdxTagEntryLength, kMdxTagEntryLength);
    std::fill(entry.begin(), entry.end(), 0);
    bytes::StoreLe32(entry, 0, headerBlock);
    std::copy(tagName.begin(), tagName.end(), entry.begin() + 4);
    entry[15] = 0x10;
    entry[18] = static_cast<std::uint8_t>(i);
    entry[19] = 2;
    entry[20] = static_cast<std::uint8_t>(keyType);
    if (i > 0) {
        tagTable_[(i - 1) * kMdxTagEntryLength + 17] = static_cast<std::uint8_t>(i + 1);
    }
    const auto page = EncodeTagHeaderPage(headerBlock + 2, keyType, unique, expression, keyLength);
    const std::vector<std::uint8_t> emptyRoot(kMdxPageLength, 0);
    bool ok = WriteAt(index_, std::uint64_t{headerBlock} * kMdxBlockLength, page) &&
              WriteAt(index_, std::uint64_t{headerBlock + 2} * kMdxBlockLength, emptyRoot);
    bytes::StoreLe32(mdxHeader_, 28, i + 1);
    bytes::StoreLe32(mdxHeader_, 32, 4 + 4 * (i + 1));
    MarkModified();
    ok = WriteMdxHeaderAndTags() && ok;
    failed_ = failed_ || !ok;
    return ok;
}

// ---- opening ----

bool CDBASEDatei::OpenTable(const std::filesystem::path& requested) {
    if (tableOpen_) {
        CloseTable();
    }
    const std::filesystem::path path = ResolveIgnoringCase(requested);
    if (!OpenStream(*io_, table_, path, tableWritable_)) {
        return false;
    }
    if (!ReadTableFile(path)) {
        table_.reset();
        ResetState();
        return false;
    }
    tablePath_ = path;
    tableOpen_ = true;
    OpenMemoFile(ResolveIgnoringCase(SiblingPath(path, "T")));
    OpenIndexFile(ResolveIgnoringCase(SiblingPath(path, "MDX")));
    current_ = 0;
    modified_ = false;
    return true;
}

bool CDBASEDatei::ReadTableFile(const std::filesystem::path&) {
    const std::uint64_t size = StreamSize(table_);
    if (size < kDbfHeaderLength + 1 || size > (std::uint64_t{1} << 31)) {
        return false;
    }
    std::vector<std::uint8_t> file(static_cast<std::size_t>(size));
    if (!ReadAt(table_, 0, file) || !ParseDescriptors(file)) {
        return false;
    }
    const std::size_t headerLength = bytes::LoadLe16(file, 8);
    prefix_.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(headerLength));
    data_.assign(file.begin() + static_cast<std::ptrdiff_t>(headerLength), file.end());
    return true;
}

// Descriptors until 0x0D, 64 descriptors or the end of the header; the lengths in the header must agree
// with them and with the file.
bool CDBASEDatei::ParseDescriptors(const std::vector<std::uint8_t>& file) {
    const std::size_t headerLength = bytes::LoadLe16(file, 8);
    if (headerLength > file.size() || headerLength < kDbfHeaderLength + 1) {
        return false;
    }
    fields_.clear();
    recordLength_ = 1;
    for (std::size_t at = kDbfHeaderLength;
         fields_.size() < kMaxFields && at + kDbfDescriptorLength <= headerLength;
         at += kDbfDescriptorLength) {
        if (file[at] == kHeaderTerminator) {
            break;
        }
        const auto d = std::span(file).subspan(at, kDbfDescriptorLength);
        Field f;
        f.name.assign(d.begin(), std::find(d.begin(), d.begin() + kMaxFieldNameLength + 1, 0));
        f.type = static_cast<char>(d[11]);
        f.length = f.type == 'C' ? bytes::LoadLe16(d, 16) : d[16];
        f.offset = recordLength_ - 1;
        recordLength_ += f.length;
        fields_.push_back(std::move(f));
    }
    fieldCount_ = fields_.size();
    const std::size_t declaredRecordLength = bytes::LoadLe16(file, 10);
    return fieldCount_ > 0 && headerLength >= kDbfHeaderLength + kDbfDescriptorLength * fieldCount_ + 1 &&
           (declaredRecordLength == 0 || declaredRecordLength == recordLength_);
}

void CDBASEDatei::OpenMemoFile(const std::filesystem::path& path) {
    memoPath_ = path;
    bool writable = false;
    memoOpen_ = OpenStream(*io_, memo_, path, writable);
    if (!memoOpen_) {
        return;
    }
    memoFileSize_ = StreamSize(memo_);
    if (!ReadAt(memo_, 0, memoHeader_)) {
        ResetMemoHeader();
    }
}

void CDBASEDatei::ResetMemoHeader() {
    memoHeader_ = {};
    bytes::StoreLe32(memoHeader_, 0, 1);
    const auto base = BaseName8(tablePath_);
    std::copy(base.begin(), base.end(), memoHeader_.begin() + 8);
    memoHeader_[18] = 0x02;
    memoHeader_[19] = 0x01;
    bytes::StoreLe32(memoHeader_, 20, kMemoBlockLength);
}

bool CDBASEDatei::CreateMissingMemoFile() {
    if (!tableOpen_ || memoOpen_) {
        return tableOpen_;
    }
    if (!tableWritable_ || memoPath_.empty()) {
        return false;
    }
    ResetMemoHeader();
    return RestartMemoFile();
}

void CDBASEDatei::OpenIndexFile(const std::filesystem::path& path) {
    bool writable = false;
    indexOpen_ = OpenStream(*io_, index_, path, writable);
    if (!indexOpen_) {
        return;
    }
    mdxHeader_ = {};
    tagTable_ = {};
    ReadAt(index_, 0, mdxHeader_);
    ReadAt(index_, kMdxHeaderLength, tagTable_);
}

// ---- closing ----

bool CDBASEDatei::CloseTable() {
    if (!tableOpen_) {
        ResetState();
        return true;
    }
    bool ok = !failed_;
    if (memoOpen_ && modified_) {
        ok = WriteMemoHeader() && ok;
    }
    if (indexOpen_ && modified_ && RecordSlots() > 0) {
        ok = RebuildIndexes() && ok;
    }
    if (modified_) {
        ok = WriteTableFile() && ok;
    }
    ok = FlushAndClose(memo_) && ok;
    ok = FlushAndClose(index_) && ok;
    ok = FlushAndClose(table_) && ok;
    ResetState();
    return ok;
}

bool CDBASEDatei::WriteMemoHeader() {
    return WriteAt(memo_, 0, memoHeader_);
}

bool CDBASEDatei::WriteTableFile() {
    if (!tableWritable_) {
        return false;
    }
    const bool hasEndMarker =
        !data_.empty() && data_.size() % recordLength_ == 1 && data_.back() == kEndOfTable;
    bool ok = WriteAt(table_, 0, prefix_) && WriteAt(table_, prefix_.size(), data_);
    if (!hasEndMarker) {
        const std::array<std::uint8_t, 1> marker{kEndOfTable};
        ok = ok && WriteAt(table_, prefix_.size() + data_.size(), marker);
    }
    return ok;
}

void CDBASEDatei::ResetState() {
    fieldCount_ = 0;
    fields_.clear();
    tablePath_.clear();
    memoPath_.clear();
    tableOpen_ = memoOpen_ = indexOpen_ = tableWritable_ = false;
    failed_ = modified_ = false;
    prefix_.clear();
    data_.clear();
    recordLength_ = 0;
    current_ = 0;
    memoHeader_ = {};
    memoFileSize_ = 0;
    mdxHeader_ = {};
    tagTable_ = {};
    nextIndexBlock_ = 0;
}

// ---- records ----

bool CDBASEDatei::AppendRecord() {
    if (!tableOpen_ || recordLength_ == 0) {
        return false;
    }
    const std::size_t slot = RecordSlots();
    data_.resize(slot * recordLength_);
    data_.push_back(kRecordLive);
    data_.resize(data_.size() + recordLength_ - 1, 0);
    bytes::StoreLe32(prefix_, 4, bytes::LoadLe32(prefix_, 4) + 1);
    StampDate();
    current_ = static_cast<std::uint32_t>(slot);
    MarkModified();
    return true;
}

void CDBASEDatei::StampDate() {
    PutDate(prefix_, 1, today_());
}

bool CDBASEDatei::WriteField(std::string_view value, std::size_t field) {
    if (!tableOpen_ || field >= fieldCount_ || current_ >= RecordSlots()) {
        return false;
    }
    const Field& f = fields_[field];
    const std::size_t n = std::min(value.size(), f.length);
    auto at =
        data_.begin() + static_cast<std::ptrdiff_t>(std::size_t{current_} * recordLength_ + 1 + f.offset);
    std::fill(std::copy_n(value.begin(), n, at), at + static_cast<std::ptrdiff_t>(f.length), 0);
    MarkModified();
    return value.size() <= f.length;
}

bool CDBASEDatei::IsEndMarker(std::uint32_t record) const {
    return data_[std::size_t{record} * recordLength_] == kEndOfTable;
}

bool CDBASEDatei::IsLive(std::uint32_t record) const {
    return record < RecordSlots() && data_[std::size_t{record} * recordLength_] != kRecordDeleted &&
           !IsEndMarker(record);
}

std::optional<std::uint32_t> CDBASEDatei::NextLive(std::uint32_t from) const {
    for (std::size_t r = from; r < RecordSlots(); ++r) {
        const auto record = static_cast<std::uint32_t>(r);
        if (IsEndMarker(record)) {
            return std::nullopt;
        }
        if (data_[r * recordLength_] != kRecordDeleted) {
            return record;
        }
    }
    return std::nullopt;
}

std::string CDBASEDatei::FieldText(std::uint32_t record, std::size_t field) const {
    const Field& f = fields_[field];
    const auto at =
        data_.begin() + static_cast<std::ptrdiff_t>(std::size_t{record} * recordLength_ + 1 + f.offset);
    return std::string(at, at + static_cast<std::ptrdiff_t>(f.length));
}

bool CDBASEDatei::FieldMatches(std::uint32_t record, std::size_t field, std::string_view value) const {
    const Field& f = fields_[field];
    if (value.size() < f.length) {
        return false;
    }
    const auto at =
        data_.begin() + static_cast<std::ptrdiff_t>(std::size_t{record} * recordLength_ + 1 + f.offset);
    return std::equal(at, at + static_cast<std::ptrdiff_t>(f.length), value.begin(),
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

std::optional<std::string> CDBASEDatei::ReadFieldFirst(std::size_t field) {
    current_ = 0;
    return ReadFieldNext(field, false);
}

std::optional<std::string> CDBASEDatei::ReadFieldNext(std::size_t field, bool advance) {
    if (!tableOpen_ || field >= fieldCount_) {
        return std::nullopt;
    }
    const auto record = NextLive(advance ? current_ + 1 : current_);
    if (!record) {
        return std::nullopt;
    }
    current_ = *record;
    return FieldText(*record, field);
}

bool CDBASEDatei::FindRecord(std::string_view value, std::size_t field) {
    return FindRecord({{field, value}});
}

bool CDBASEDatei::FindRecord(std::initializer_list<std::pair<std::size_t, std::string_view>> criteria) {
    if (!tableOpen_ || std::any_of(criteria.begin(), criteria.end(),
                                   [this](const auto& c) { return c.first >= fieldCount_; })) {
        return false;
    }
    for (auto record = NextLive(0); record; record = NextLive(*record + 1)) {
        if (std::all_of(criteria.begin(), criteria.end(),
                        [&](const auto& c) { return FieldMatches(*record, c.first, c.second); })) {
            current_ = *record;
            return true;
        }
    }
    return false;
}

std::vector<std::uint32_t> CDBASEDatei::LiveRecords() const {
    std::vector<std::uint32_t> records;
    if (tableOpen_) {
        for (auto record = NextLive(0); record; record = NextLive(*record + 1)) {
            records.push_back(*record);
        }
    }
    return records;
}

std::vector<std::uint32_t> CDBASEDatei::DeletedRecords() const {
    std::vector<std::uint32_t> records;
    for (std::size_t r = 0; tableOpen_ && r < RecordSlots() && !IsEndMarker(static_cast<std::uint32_t>(r));
         ++r) {
        if (data_[r * recordLength_] == kRecordDeleted) {
            records.push_back(static_cast<std::uint32_t>(r));
        }
    }
    return records;
}

bool CDBASEDatei::SetDeleted(std::uint32_t index, bool deleted) {
    if (!tableOpen_ || index >= RecordSlots() || IsEndMarker(index)) {
        return false;
    }
    std::uint8_t& flag = data_[std::size_t{index} * recordLength_];
    const std::uint8_t wanted = deleted ? kRecordDeleted : kRecordLive;
    if (flag != wanted) {
        flag = wanted;
        StampDate();
        MarkModified();
    }
    return true;
}

std::optional<std::string> CDBASEDatei::FieldOf(std::uint32_t index, std::size_t field) const {
    if (!tableOpen_ || field >= fieldCount_ || index >= RecordSlots() || IsEndMarker(index)) {
        return std::nullopt;
    }
    return FieldText(index, field);
}

bool CDBASEDatei::SelectRecord(std::uint32_t index) {
    if (!tableOpen_ || !IsLive(index)) {
        return false;
    }
    current_ = index;
    return true;
}

std::uint16_t CDBASEDatei::FieldIndexByName(std::string_view text) const {
    for (std::size_t i = 0; i < fieldCount_; ++i) {
        if (!fields_[i].name.empty() && text.starts_with(fields_[i].name)) {
            return static_cast<std::uint16_t>(i);
        }
    }
    return kNoField;
}

std::string CDBASEDatei::FieldName(std::size_t field) const {
    return field < fieldCount_ ? fields_[field].name : std::string{};
}

std::size_t CDBASEDatei::FieldLength(std::size_t field) const {
    return field < fieldCount_ ? fields_[field].length : 0;
}

char CDBASEDatei::FieldType(std::size_t field) const {
    return field < fieldCount_ ? fields_[field].type : '\0';
}

std::uint32_t CDBASEDatei::RecordCount() const {
    return tableOpen_ ? bytes::LoadLe32(prefix_, 4) : 0;
}

// ---- memos ----

std::uint32_t CDBASEDatei::WriteMemo(std::span<const std::uint8_t> data) {
    return StoreMemo(data, static_cast<std::uint32_t>(data.size()));
}

std::uint32_t CDBASEDatei::WriteZeroMemo(std::uint32_t length) {
    return StoreMemo({}, length);
}

// Writes the memo head, the data (zeros when data is empty) and the zero fill of the last block.
std::uint32_t CDBASEDatei::StoreMemo(std::span<const std::uint8_t> data, std::uint32_t length) {
    if (!memoOpen_ || length == 0 || length > 0xFFFFFFFFU - kMemoHeadLength) {
        return 0;
    }
    // A header whose free block lies inside the file (damaged, or written by a careless program) must
    // not make a new memo overwrite the ones already there.
    const std::uint64_t blocksInFile = (memoFileSize_ + kMemoBlockLength - 1) / kMemoBlockLength;
    const std::uint64_t first = std::max<std::uint64_t>({bytes::LoadLe32(memoHeader_, 0), 1, blocksInFile});
    if (first > 0xFFFFFFFFU / 2) {
        failed_ = true;
        return 0;
    }
    const auto block = static_cast<std::uint32_t>(first);
    const std::uint64_t total = std::uint64_t{length} + kMemoHeadLength;
    const std::uint64_t padded = (total + kMemoBlockLength - 1) / kMemoBlockLength * kMemoBlockLength;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(padded), 0);
    std::copy(kMemoMark.begin(), kMemoMark.end(), bytes.begin());
    bytes::StoreLe32(bytes, 4, static_cast<std::uint32_t>(total));
    std::copy(data.begin(), data.end(), bytes.begin() + kMemoHeadLength);
    const std::uint64_t offset = std::uint64_t{block} * kMemoBlockLength;
    MarkModified();
    if (!WriteAt(memo_, offset, bytes)) {
        failed_ = true;
        return 0;
    }
    memoFileSize_ = std::max(memoFileSize_, offset + padded);
    bytes::StoreLe32(memoHeader_, 0, static_cast<std::uint32_t>(block + total / kMemoBlockLength + 1));
    return block;
}

// Offset and data length of a memo that lies whole inside the memo file.
std::optional<std::pair<std::uint32_t, std::uint32_t>> CDBASEDatei::MemoExtent(std::uint32_t block) {
    if (!memoOpen_ || block == 0) {
        return std::nullopt;
    }
    const std::uint64_t offset = std::uint64_t{block} * kMemoBlockLength;
    std::array<std::uint8_t, kMemoHeadLength> head{};
    if (offset + kMemoHeadLength > memoFileSize_ || !ReadAt(memo_, offset, head) ||
        !std::equal(kMemoMark.begin(), kMemoMark.end(), head.begin())) {
        return std::nullopt;
    }
    const std::uint32_t total = bytes::LoadLe32(head, 4);
    if (total < kMemoHeadLength || offset + total > memoFileSize_) {
        return std::nullopt;
    }
    return std::pair{block, total - static_cast<std::uint32_t>(kMemoHeadLength)};
}

std::optional<std::vector<std::uint8_t>> CDBASEDatei::ReadMemo(std::uint32_t block) {
    const auto extent = MemoExtent(block);
    if (!extent) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(extent->second);
    if (!ReadAt(memo_, std::uint64_t{block} * kMemoBlockLength + kMemoHeadLength, data)) {
        return std::nullopt;
    }
    return data;
}

std::uint32_t CDBASEDatei::MemoLength(std::uint32_t block) {
    const auto extent = MemoExtent(block);
    return extent ? extent->second : 0;
}

// ---- memo compaction ----

// Memo blocks the records refer to, each once, in record and field order.
std::vector<std::uint32_t> CDBASEDatei::MemoReferences(std::span<const std::size_t> memoFields) const {
    std::vector<std::uint32_t> blocks;
    for (std::size_t r = 0; r < RecordSlots() && !IsEndMarker(static_cast<std::uint32_t>(r)); ++r) {
        for (const std::size_t f : memoFields) {
            const std::uint64_t block = LeadingNumber(FieldText(static_cast<std::uint32_t>(r), f));
            if (block != 0 && block <= 0xFFFFFFFFU &&
                std::find(blocks.begin(), blocks.end(), block) == blocks.end()) {
                blocks.push_back(static_cast<std::uint32_t>(block));
            }
        }
    }
    return blocks;
}

// Truncates the memo file to its header; the next memo goes to block 1.
bool CDBASEDatei::RestartMemoFile() {
    memo_ = io_->Open(memoPath_, FileMode::kCreate);
    memoOpen_ = memo_ != nullptr;
    bytes::StoreLe32(memoHeader_, 0, 1);
    memoFileSize_ = kMemoBlockLength;
    MarkModified();
    return memoOpen_ && WriteAt(memo_, 0, memoHeader_);
}

bool CDBASEDatei::CompactMemos() {
    if (!tableOpen_ || !memoOpen_) {
        return tableOpen_;
    }
    std::vector<std::size_t> memoFields;
    for (std::size_t i = 0; i < fieldCount_; ++i) {
        if (fields_[i].type == 'M') {
            memoFields.push_back(i);
        }
    }
    const auto blocks = MemoReferences(memoFields);
    std::vector<std::optional<std::vector<std::uint8_t>>> memos;
    memos.reserve(blocks.size());
    for (const std::uint32_t block : blocks) {
        memos.push_back(ReadMemo(block));
    }
    if (!tableWritable_ || !RestartMemoFile()) {
        failed_ = true;
        return false;
    }
    std::unordered_map<std::uint32_t, std::uint32_t> moved;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const bool usable = memos[i] && !memos[i]->empty();
        const std::uint32_t block = usable ? WriteMemo(*memos[i]) : 0;
        if (usable && block == 0) {
            return false;  // WriteMemo marked the table failed
        }
        moved.emplace(blocks[i], block);
    }
    for (std::size_t r = 0; r < RecordSlots() && !IsEndMarker(static_cast<std::uint32_t>(r)); ++r) {
        for (const std::size_t f : memoFields) {
            const std::uint64_t block = LeadingNumber(FieldText(static_cast<std::uint32_t>(r), f));
            const auto found =
                block <= 0xFFFFFFFFU ? moved.find(static_cast<std::uint32_t>(block)) : moved.end();
            if (found != moved.end()) {
                PutRightAligned(
                    std::span(data_).subspan(r * recordLength_ + 1 + fields_[f].offset, fields_[f].length),
                    found->second);
            }
        }
    }
    return !failed_;
}

// ---- index rebuild ----

bool CDBASEDatei::RebuildIndexes() {
    const std::uint32_t tags = std::min<std::uint32_t>(bytes::LoadLe32(mdxHeader_, 28), kMdxTagSlotsWritten);
    nextIndexBlock_ = 4 + 4 * tags;
    bool ok = true;
    bool rebuilt = false;
    for (std::uint32_t i = 0; i < tags; ++i) {
        const std::uint32_t headerBlock = bytes::LoadLe32(tagTable_, i * kMdxTagEntryLength);
        std::vector<std::uint8_t> page(kTagHeaderPageBytes);
        TagDefinition tag;
        // Tags laid out differently (by another program) are left as they are.
        if (headerBlock != 4 * (i + 1) ||
            !ReadAt(index_, std::uint64_t{headerBlock} * kMdxBlockLength, page) ||
            !ParseTagHeaderPage(page, tag)) {
            continue;
        }
        const std::uint16_t first = FieldIndexByName(tag.firstField);
        const std::uint16_t second = tag.secondField.empty() ? kNoField : FieldIndexByName(tag.secondField);
        if (first == kNoField || (!tag.secondField.empty() && second == kNoField)) {
            continue;
        }
        std::vector<IndexEntry> entries;
        for (auto record = NextLive(0); record; record = NextLive(*record + 1)) {
            IndexEntry e;
            e.number = *record + 1;
            std::string text = FieldText(*record, first);
            if (tag.keyType == 'N') {
                e.key = NumericKey(text);
                e.value = LeadingNumber(text);
            } else {
                if (second != kNoField) {
                    text += FieldText(*record, second);
                }
                e.key = CharacterKey(text, tag.keyLength);
            }
            entries.push_back(e);
        }
        SortIndexEntries(entries, tag.keyType == 'N');
        rebuilt = true;
        for (const auto& p : BuildIndexTree(entries, bytes::LoadLe32(page, 0), nextIndexBlock_)) {
            ok = WriteAt(index_, std::uint64_t{p.block} * kMdxBlockLength, EncodeIndexPage(p)) && ok;
        }
    }
    // Keep the free-block pointer behind the pages just written, so that another program adding keys to
    // this index does not overwrite them.
    if (!rebuilt) {
        return ok;
    }
    bytes::StoreLe32(mdxHeader_, 32, nextIndexBlock_);
    return WriteAt(index_, 0, mdxHeader_) && ok;
}

}  // namespace vaultra::s7project
