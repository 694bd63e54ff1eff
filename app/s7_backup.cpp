#include "app/s7_backup.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/block_list.h"
#include "app/driver_status.h"
#include "app/engine_texts.h"
#include "app/procedure_support.h"
#include "app/s7_password.h"
#include "app/scan.h"
#include "app/text_catalogue.h"
#include "s7project/project_layout.h"
#include "s7project/s7project.h"

namespace vaultra::app {

namespace {

constexpr std::size_t kPresenceEntries = 65536;
// The image starts 10 bytes into the block buffer, as the record layout of the drivers expects.
constexpr std::size_t kImageOffset = 10;
constexpr std::size_t kBlockBufferSize = kImageOffset + kS7MaxImageLength;
constexpr std::size_t kMaxFileNameBytes = 255;

uint16_t StatusAreaWord(const ConnectionRecord& record, std::size_t offset) {
    return static_cast<uint16_t>(record.area.statusArea[offset] | (record.area.statusArea[offset + 1] << 8));
}

// The connect leaves seven selection values (one per type) after 22 zero bytes of the status area and four
// more values after them; a type is read when its value is at least 2, or non-zero when the third of the
// four is 5.
bool TypeSelected(const ConnectionRecord& record, int type) {
    const uint16_t selection = StatusAreaWord(record, 22 + 2 * static_cast<std::size_t>(type));
    const uint16_t mode = StatusAreaWord(record, 36 + 4);
    return mode == 5 ? selection != 0 : selection >= 2;
}

// One run of the procedure for one entry.
class BackupRun {
public:
    BackupRun(DriverBinding& drivers, Station& station, FrontEnd& ui, CElement& e, RunOutcome& outcome)
        : drivers_(drivers), station_(station), ui_(ui), e_(e), record_(station.record), outcome_(outcome) {}

    int Execute(const std::string& fileSuffix, const S7Backup& procedure);

private:
    bool Allocate();
    bool SendPassword(OpenConnection& connection);
    bool ReadDirectories(OpenConnection& connection);
    bool ReadDirectory(OpenConnection& connection, int type);
    bool UploadBlocks(OpenConnection& connection);
    bool FailUpload(OpenConnection& connection, const std::string& text);
    bool Abort();
    int Fail(const std::string& text);
    // Notes why the run failed, with the driver's reason for its last call when there is one.
    void NoteFailure(const std::string& what, bool withDriverReason);
    bool StoreProject(const std::string& path, const S7Backup& procedure);
    void ReportTrailerBytesNotKept();

    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
    CElement& e_;
    ConnectionRecord& record_;
    RunOutcome& outcome_;
    std::unique_ptr<uint8_t[]> blockBuffer_;
    std::vector<int16_t> presence_;
    std::vector<uint32_t> pending_;  // (type << 16) + number
    s7project::BlockList blocks_;
};

bool BackupRun::Allocate() {
    try {
        // Zeroed, and zeroed again after each block: no byte of an earlier block can be taken for this one.
        blockBuffer_ = std::make_unique<uint8_t[]>(kBlockBufferSize);
        presence_.assign(kPresenceEntries, 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int BackupRun::Fail(const std::string& text) {
    if (!text.empty()) {
        ui_.StatusText(text);
        NoteFailure(text, false);
    }
    MarkFailed(e_);
    return 0;
}

void BackupRun::NoteFailure(const std::string& what, bool withDriverReason) {
    NoteFirstFailure(outcome_.failure, what, record_.status, record_.plcError, withDriverReason);
}

bool BackupRun::Abort() {
    if (!EscapePressed(ui_)) {
        return false;
    }
    ui_.StatusText(Tr(texts::kAbort));
    NoteFailure(Tr(texts::kAbort), false);
    return true;
}

bool BackupRun::SendPassword(OpenConnection& connection) {
    if (e_.password.empty()) {
        return true;
    }
    const auto encoded = EncodeS7Password(PasswordField(e_.password));
    if (drivers_.S7().DoPassword(&record_, encoded.data()) != 0 && record_.plcError == 0) {
        return true;
    }
    NoteFailure(Tr("Passwort nicht angenommen"), true);
    connection.Close();
    return false;
}

bool BackupRun::ReadDirectory(OpenConnection& connection, int type) {
    const char* typeName = kS7TypeNames[type];
    if (type == 0) {
        // The DB directory is preceded by one OB directory read whose result does not matter.
        drivers_.S7().RdDir(&record_, 4, presence_.data(), nullptr);
    }
    std::fill(presence_.begin(), presence_.end(), 0);
    ui_.DetailText(Format(Tr(texts::kReadDirectory), e_.name.c_str(), typeName));
    if (Abort()) {
        return false;
    }
    if (drivers_.S7().RdDir(&record_, type, presence_.data(), nullptr) == 0) {
        NoteFailure(Format(Tr("Bausteinliste %s nicht lesbar"), typeName), true);
        connection.Close();
        return false;
    }
    const bool skipSystem = station_.settings.skipSystemBlocks != 0;
    for (int number = 0; number <= kS7HighestBlockNumber; ++number) {
        if (presence_[number] == 0 || BlockSelected(e_, skipSystem, type, static_cast<uint32_t>(number))) {
            continue;
        }
        ui_.DetailText(Format(Tr(texts::kBlockLater), e_.name.c_str(), typeName, number));
        if (Abort()) {
            return false;
        }
        pending_.push_back((static_cast<uint32_t>(type) << 16) + static_cast<uint32_t>(number));
    }
    return true;
}

bool BackupRun::ReadDirectories(OpenConnection& connection) {
    ui_.SetProgress(20);
    ui_.SetProgressStep(3);
    for (const int type : kS7TypeVisitOrder) {
        ui_.DetailText(Format(Tr(texts::kCheckType), e_.name.c_str(), kS7TypeNames[type]));
        if (TypeSelected(record_, type) && !ReadDirectory(connection, type)) {
            return false;
        }
        ui_.StepProgress();
    }
    connection.StartIfStopped();
    return true;
}

// A block that could not be read ends the run: the PLC is started once more when the run stopped it.
bool BackupRun::FailUpload(OpenConnection& connection, const std::string& text) {
    ui_.StatusText(text);
    if (station_.settings.stopPlc != 0) {
        drivers_.S7().AGStart(&record_);
    }
    connection.Close();
    return false;
}

bool BackupRun::UploadBlocks(OpenConnection& connection) {
    ui_.SetProgress(50);
    ui_.SetProgress(60);
    if (!pending_.empty()) {
        ui_.SetProgressStep(static_cast<int>(30 / pending_.size()));
    }
    BlockRecord block{};
    block.image = blockBuffer_.get() + kImageOffset;
    const std::span<uint8_t> room(block.image, kBlockBufferSize - kImageOffset);
    for (const uint32_t item : pending_) {
        const int type = static_cast<int>(item >> 16);
        const int number = static_cast<int>(item & 0xFFFF);
        if (Abort()) {
            return false;
        }
        ui_.DetailText(Format(Tr(texts::kReadBlock), e_.name.c_str(), kS7TypeNames[type], number));
        if (drivers_.S7().RdBst(&record_, &block, type, number) == 0) {
            NoteFailure(Format(Tr("Baustein %s %05d nicht lesbar"), kS7TypeNames[type], number), true);
            return FailUpload(connection, Tr(texts::kBlockNotReadable));
        }
        const auto length = UploadedImageLength(block, room);
        if (!length) {
            const std::string text =
                Format(Tr(texts::kBlockLengthMismatch), e_.name.c_str(), kS7TypeNames[type], number);
            NoteFailure(text, false);
            return FailUpload(connection, text);
        }
        const auto image = room.first(*length);
        blocks_.emplace_back(image.begin(), image.end());
        std::fill(image.begin(), image.end(), 0);
        outcome_.bytes += *length;
        ui_.StepProgress();
    }
    return true;
}

bool BackupRun::StoreProject(const std::string& path, const S7Backup& procedure) {
    ui_.StatusText(Tr(texts::kBeforeSave));
    if (blocks_.empty()) {
        return true;
    }
    outcome_.blocks = blocks_.size();
    const bool written = procedure.writeProject ? procedure.writeProject(path, blocks_)
                                                : s7project::WriteS7Project(path, blocks_);
    if (!written) {
        ui_.StatusText(Format(Tr(texts::kProjectNotWritten), e_.name.c_str(), path.c_str()));
        NoteFailure(Format(Tr("Projekt %s konnte nicht geschrieben werden"), path.c_str()), false);
        return false;
    }
    // The writer keeps the project in a folder of its own (NAME.S7P becomes NAME/NAME.S7P).
    const std::filesystem::path named(path);
    outcome_.path = (s7project::ProjectDirectoryFor(named) / named.filename()).string();
    ReportTrailerBytesNotKept();
    ui_.StatusText(Tr(texts::kAfterSave));
    return true;
}

// The project has no field for a few trailer bytes (zero in the blocks the station knows): when a block
// has other values there, the operator learns that a restore will not bring them back.
void BackupRun::ReportTrailerBytesNotKept() {
    for (const auto& image : blocks_) {
        const auto lost = s7project::TrailerBytesNotKept(image);
        const auto h = s7project::ReadBlockHeader(image);
        if (lost.empty() || !h) {
            continue;
        }
        std::string offsets;
        for (const std::size_t offset : lost) {
            offsets += (offsets.empty() ? "" : ", ") + std::to_string(offset);
        }
        const std::string type(s7project::BlockTypeName(h->type));
        ui_.StatusText(Format(Tr(texts::kTrailerBytesNotKept), e_.name.c_str(), type.c_str(), h->number,
                              offsets.c_str()));
    }
}

int BackupRun::Execute(const std::string& fileSuffix, const S7Backup& procedure) {
    ProgressScope progress(ui_);
    if (!Allocate()) {
        return Fail(Tr(texts::kNoMemory));
    }
    // A suffix that would not make a plain file name is refused before the PLC is bothered.
    const auto path = S7ProjectPath(station_.settings.backupDirectory, e_.fileName, fileSuffix);
    if (!path) {
        return Fail(Format(Tr(texts::kBadFileSuffix), e_.name.c_str(), Printable(fileSuffix).c_str()));
    }
    if (Abort()) {
        return Fail({});
    }
    if (drivers_.ConnectS7(e_) == 0) {
        // A failed init has released the port already.
        NoteFailure(Tr("AG nicht ansprechbar"), true);
        return Fail(Tr(texts::kPlcUnreachable));
    }
    OpenConnection connection(drivers_.S7(), record_);
    ui_.SetProgress(10);
    if (!SendPassword(connection)) {
        return Fail(Format(Tr(texts::kPasswordRefused), e_.name.c_str()));
    }
    ui_.StatusText(Tr(texts::kPlcInit));
    if (station_.settings.stopPlc != 0) {
        connection.Stop();
    }
    if (!ReadDirectories(connection) || !UploadBlocks(connection)) {
        return Fail({});
    }
    if (EffectiveIntervalKind(e_) == IntervalKind::PlcTrigger && !e_.backupBit.empty() &&
        procedure.writeOperandBit) {
        procedure.writeOperandBit(record_, e_.backupBit, 0);
    }
    connection.Close();
    if (!StoreProject(*path, procedure)) {
        return Fail({});
    }
    blocks_.clear();
    outcome_.succeeded = true;
    return Succeed(ui_, e_, Tr(texts::kPlcSaved));
}

}  // namespace

S7Backup::S7Backup(DriverBinding& drivers, Station& station, FrontEnd& ui)
    : drivers_(drivers), station_(station), ui_(ui) {}

int S7Backup::Run(CElement& e, const std::string& fileSuffix) {
    outcome_ = RunOutcome{};
    BackupRun run(drivers_, station_, ui_, e, outcome_);
    return run.Execute(fileSuffix, *this);
}

bool IsPlainFileNameFragment(const std::string& suffix, std::size_t fileNameLength) {
    if (suffix.empty() || suffix.find("..") != std::string::npos) {
        return false;
    }
    const bool clean = std::none_of(suffix.begin(), suffix.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
    });
    return clean && fileNameLength + 1 + suffix.size() <= kMaxFileNameBytes;
}

std::optional<std::string> S7ProjectPath(const std::string& backupDirectory, const std::string& fileName,
                                         const std::string& fileSuffix) {
    const std::filesystem::path relative(fileName);
    for (const auto& part : relative) {
        if (part == "..") {
            return std::nullopt;
        }
    }
    std::string path = backupDirectory + fileName;
    if (fileSuffix.empty()) {
        return path;
    }
    const std::string baseName = relative.filename().string();
    if (!IsPlainFileNameFragment(fileSuffix, baseName.size())) {
        return std::nullopt;
    }
    const std::size_t at = path.size() >= 4 ? path.size() - 4 : 0;
    path.insert(at, "_" + fileSuffix);
    return path;
}

std::optional<std::size_t> UploadedImageLength(const BlockRecord& block,
                                               std::span<const std::uint8_t> image) {
    const auto header = s7project::ReadBlockHeader(image);
    if (!header || header->loadLength < s7project::kBlockHeaderLength || header->loadLength > image.size() ||
        (header->loadLength & 0xFFFF) != block.length) {
        return std::nullopt;
    }
    return header->loadLength;
}

}  // namespace vaultra::app
