// CDBASEDatei: one dBASE IV table (DBF) with its optional memo file (DBT) and production index (MDX).
//
// The table's records are held in memory while it is open and written back at CloseTable, so the linear
// record searches of the project writer cost no file reads. Memos go to the memo file as they are stored.
// The index trees are rebuilt from the records at close.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "s7project/project_io.h"

namespace vaultra::s7project {

// A table date as stored: years since 1900, month 1-12, day 1-31.
struct TableDate {
    std::uint8_t yearsSince1900 = 0;
    std::uint8_t month = 1;
    std::uint8_t day = 1;
};
using DateSource = std::function<TableDate()>;
// Today's date in local time.
TableDate LocalToday();

inline constexpr std::size_t kDbfHeaderLength = 32;
inline constexpr std::size_t kDbfDescriptorLength = 32;
inline constexpr std::size_t kMaxFields = 64;
inline constexpr std::size_t kMemoBlockLength = 512;
inline constexpr std::size_t kMdxHeaderLength = 544;
inline constexpr std::size_t kMdxTagEntryLength = 32;
inline constexpr std::size_t kMdxTagSlotsWritten = 47;
inline constexpr std::size_t kMdxPageLength = 1024;
inline constexpr std::uint16_t kNoField = 65535;

inline constexpr std::uint8_t kRecordLive = 0x20;
inline constexpr std::uint8_t kRecordDeleted = 0x2A;
inline constexpr std::uint8_t kEndOfTable = 0x1A;

// CreateTable flags.
inline constexpr unsigned kCreateIndexFile = 1;
inline constexpr unsigned kCreateMemoFile = 2;

class CDBASEDatei {
public:
    explicit CDBASEDatei(DateSource today = LocalToday);
    // A table whose files are opened and written through `io`.
    explicit CDBASEDatei(ProjectIo& io, DateSource today = LocalToday);
    ~CDBASEDatei();
    CDBASEDatei(const CDBASEDatei&) = delete;
    CDBASEDatei& operator=(const CDBASEDatei&) = delete;

    // ---- defining and creating ----
    void SetFieldCount(std::size_t count);  // at most 64
    bool DefineField(std::size_t index, std::string_view name, char type, std::size_t length);
    bool CreateTable(const std::filesystem::path& path, unsigned flags);
    bool CreateIndexHeader(const std::filesystem::path& tablePath);
    bool AddTag(std::string_view tagName, char keyType, bool unique, std::string_view expression,
                std::size_t keyLength);

    // ---- opening and closing ----
    // Opens the table and, when present, its memo and index files (each for update, else read-only).
    // Fails when the table file is missing or its header does not fit the file.
    bool OpenTable(const std::filesystem::path& path);
    // Writes back what changed, rebuilds the indexes and closes. False when anything could not be written
    // completely, or when an earlier write on this table failed.
    bool CloseTable();
    bool IsOpen() const { return tableOpen_; }
    bool HasMemoFile() const { return memoOpen_; }
    bool HasIndexFile() const { return indexOpen_; }

    // ---- records and fields ----
    bool AppendRecord();
    // Writes the value into the field of the current record: the value's bytes, then zero bytes up to the
    // field length. False when the field or record does not exist or the value was longer than the field.
    bool WriteField(std::string_view value, std::size_t field);
    // Makes the first live record current and returns its field bytes; nothing when there is none.
    std::optional<std::string> ReadFieldFirst(std::size_t field);
    // With advance, moves to the next live record first; returns the field of the current live record.
    std::optional<std::string> ReadFieldNext(std::size_t field, bool advance);
    // First live record whose field bytes equal the first field-length bytes of the value; it becomes
    // current.
    bool FindRecord(std::string_view value, std::size_t field);
    // First live record in which every (field, value) pair matches as above.
    bool FindRecord(std::initializer_list<std::pair<std::size_t, std::string_view>> criteria);
    // Live record indexes (0-based) in file order, up to the end-of-table marker.
    std::vector<std::uint32_t> LiveRecords() const;
    bool SelectRecord(std::uint32_t index);  // makes a live record current
    // Deleted record indexes (0-based) in file order, up to the end-of-table marker.
    std::vector<std::uint32_t> DeletedRecords() const;
    // Sets or clears the deletion flag of a record; the fields stay as they are. False for an index past
    // the last record.
    bool SetDeleted(std::uint32_t index, bool deleted);
    // Field bytes of any record, live or deleted, without changing the current record.
    std::optional<std::string> FieldOf(std::uint32_t index, std::size_t field) const;

    std::uint16_t FieldIndexByName(std::string_view text) const;
    std::string FieldName(std::size_t field) const;
    std::size_t FieldLength(std::size_t field) const;
    char FieldType(std::size_t field) const;  // 'C', 'N', 'M' ...; 0 when out of range
    std::size_t FieldCount() const { return fieldCount_; }
    std::uint32_t RecordCount() const;  // the header's count, deleted records included
    std::uint32_t CurrentRecord() const { return current_; }

    // ---- memos ----
    // Stores a memo and returns its first block; 0 (nothing stored) for an empty memo, without a memo
    // file, or when the write failed.
    std::uint32_t WriteMemo(std::span<const std::uint8_t> data);
    std::uint32_t WriteZeroMemo(std::uint32_t length);
    // The memo's data, checked against the memo file; nothing when block is 0, there is no memo file,
    // the block lacks the memo mark or the memo does not lie whole inside the file.
    std::optional<std::vector<std::uint8_t>> ReadMemo(std::uint32_t block);
    std::uint32_t MemoLength(std::uint32_t block);
    // Rewrites the memo file with only the memos that records (deleted ones too) refer to, in record
    // order, and points the memo fields at their new blocks; a reference to a damaged memo becomes 0.
    // The table is written at close as usual.
    bool CompactMemos();
    // Creates an empty memo file for a table whose memo file is missing; true when the table has one now.
    bool CreateMissingMemoFile();

private:
    struct Field {
        std::string name;
        char type = 'C';
        std::size_t length = 0;
        std::size_t offset = 0;  // within the record, after the deletion flag
    };

    bool ReadTableFile(const std::filesystem::path& path);
    bool ParseDescriptors(const std::vector<std::uint8_t>& file);
    void OpenMemoFile(const std::filesystem::path& path);
    void OpenIndexFile(const std::filesystem::path& path);
    std::optional<std::pair<std::uint32_t, std::uint32_t>> MemoExtent(std::uint32_t block);
    std::uint32_t StoreMemo(std::span<const std::uint8_t> data, std::uint32_t length);
    bool WriteTableFile();
    bool WriteMemoHeader();
    bool RebuildIndexes();
    bool WriteMdxHeaderAndTags();
    void ResetState();
    void MarkModified() { modified_ = true; }
    std::size_t RecordSlots() const { return recordLength_ == 0 ? 0 : data_.size() / recordLength_; }
    bool IsLive(std::uint32_t record) const;
    bool IsEndMarker(std::uint32_t record) const;
    std::optional<std::uint32_t> NextLive(std::uint32_t from) const;
    std::string FieldText(std::uint32_t record, std::size_t field) const;
    bool FieldMatches(std::uint32_t record, std::size_t field, std::string_view value) const;
    void FillTableHeader(std::uint8_t version, bool productionIndex);
    void StampDate();
    std::vector<std::uint32_t> MemoReferences(std::span<const std::size_t> memoFields) const;
    bool RestartMemoFile();
    void ResetMemoHeader();

    DateSource today_;
    ProjectIo* io_;
    std::size_t fieldCount_ = 0;
    std::vector<Field> fields_;
    std::filesystem::path tablePath_;
    std::filesystem::path memoPath_;
    std::unique_ptr<ProjectFile> table_;
    std::unique_ptr<ProjectFile> memo_;
    std::unique_ptr<ProjectFile> index_;
    bool tableOpen_ = false;
    bool memoOpen_ = false;
    bool indexOpen_ = false;
    bool tableWritable_ = false;
    bool failed_ = false;
    bool modified_ = false;
    // Table file bytes before the records (header, descriptors, terminator and anything a foreign writer
    // put there), kept as read so an untouched header survives a rewrite.
    std::vector<std::uint8_t> prefix_;
    std::vector<std::uint8_t> data_;  // everything after the header, as in the file
    std::size_t recordLength_ = 0;
    std::uint32_t current_ = 0;
    std::array<std::uint8_t, kMemoBlockLength> memoHeader_{};
    std::uint64_t memoFileSize_ = 0;
    std::array<std::uint8_t, kMdxHeaderLength> mdxHeader_{};
    std::array<std::uint8_t, kMdxTagEntryLength * kMdxTagSlotsWritten> tagTable_{};
    std::uint32_t nextIndexBlock_ = 0;
};

}  // namespace vaultra::s7project
