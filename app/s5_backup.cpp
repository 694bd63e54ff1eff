#include "app/s5_backup.h"

#include <memory>
#include <new>
#include <vector>

#include "app/block_list.h"
#include "app/driver_status.h"
#include "app/engine_texts.h"
#include "app/operand_access.h"
#include "app/procedure_support.h"
#include "app/s5_program_file.h"
#include "app/s7_backup.h"
#include "app/scan.h"
#include "app/text_catalogue.h"

namespace vaultra::app {

namespace {

constexpr std::size_t kPresenceEntries = 65536;
constexpr std::size_t kHeaderBytes = 10;
constexpr std::size_t kFirstListWord = 11;  // system parameter words 11..17: list lengths DB..DX
constexpr std::size_t kAddressStepWord = 20;
// Block numbers are one byte on the line and in the program file.
constexpr int kBlockNumbers = 256;

// One run of the procedure for one entry.
class S5BackupRun {
public:
    S5BackupRun(DriverBinding& drivers, Station& station, FrontEnd& ui, CElement& e, RunOutcome& outcome)
        : drivers_(drivers), station_(station), ui_(ui), e_(e), record_(station.record), outcome_(outcome) {}

    int Execute(const std::string& fileSuffix);

private:
    bool Allocate();
    bool Abort();
    int Fail(const std::string& text);
    void NoteFailure(const std::string& what, bool withDriverReason);
    bool BackupType(int type);
    bool BackupBlock(int type, int number);
    bool Commit();
    void ClearBackupRequest();

    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
    CElement& e_;
    ConnectionRecord& record_;
    RunOutcome& outcome_;
    std::unique_ptr<uint8_t[]> buffer_;
    std::vector<uint16_t> presence_;
    std::optional<S5FileUpdate> file_;
};

bool S5BackupRun::Allocate() {
    try {
        buffer_ = std::make_unique<uint8_t[]>(kS5BlockBufferBytes);
        presence_.assign(kPresenceEntries, 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool S5BackupRun::Abort() {
    if (!EscapePressed(ui_)) {
        return false;
    }
    ui_.StatusText(Tr(texts::kAbort));
    NoteFailure(Tr(texts::kAbort), false);
    return true;
}

int S5BackupRun::Fail(const std::string& text) {
    if (!text.empty()) {
        ui_.StatusText(text);
        NoteFailure(text, false);
    }
    MarkFailed(e_);
    return 0;
}

void S5BackupRun::NoteFailure(const std::string& what, bool withDriverReason) {
    NoteFirstFailure(outcome_.failure, what, record_.status, record_.plcError, withDriverReason);
}

bool S5BackupRun::BackupBlock(int type, int number) {
    const char* typeName = kS5TypeNames[static_cast<std::size_t>(type)];
    ui_.DetailText(Format(Tr(texts::kS5ReadBlock), e_.name.c_str(), typeName, number));
    if (Abort()) {
        return false;
    }
    S5BlockRecord block{};
    block.lengthWords = static_cast<uint16_t>(kS5BlockBufferBytes / 2);  // the body's room bounds the read
    block.body = buffer_.get() + kHeaderBytes;
    if (drivers_.S5().RdBst(&record_, &block, type, number) == 0) {
        NoteFailure(Format(Tr("Baustein %s %03d nicht lesbar"), typeName, number), true);
        ui_.StatusText(Tr(texts::kBlockNotReadable));
        return false;
    }
    const auto key = S5BlockKey(block, static_cast<uint8_t>(number));
    if (!key) {
        const std::string text = Format(Tr(texts::kS5BlockLength), e_.name.c_str(), typeName, number);
        ui_.StatusText(text);
        NoteFailure(text, false);
        return false;
    }
    if (!file_->Write(*key, buffer_.get())) {
        NoteFailure(Format(Tr("Baustein %s %03d nicht in die Datei schreibbar"), typeName, number), false);
        ui_.StatusText(Tr(texts::kBlockNotWritable));
        return false;
    }
    ++outcome_.blocks;
    outcome_.bytes += key->length;
    return true;
}

bool S5BackupRun::BackupType(int type) {
    const char* typeName = kS5TypeNames[static_cast<std::size_t>(type)];
    ui_.DetailText(Format(Tr(texts::kCheckType), e_.name.c_str(), typeName));
    const int selection = S5TypeSelection(record_, type);
    if (selection == 0) {
        return true;
    }
    ui_.DetailText(Format(Tr(texts::kReadDirectory), e_.name.c_str(), typeName));
    if (Abort()) {
        return false;
    }
    std::fill(presence_.begin(), presence_.end(), 0);
    if (drivers_.S5().RdDir(&record_, type, presence_.data(), static_cast<int32_t>(presence_.size())) == 0) {
        return true;  // a type whose directory cannot be read is passed over
    }
    const int end = selection < kBlockNumbers ? selection : kBlockNumbers;
    for (int number = type == kTypeDB ? 1 : 0; number < end; ++number) {
        if (presence_[static_cast<std::size_t>(number)] != 0 &&
            !BlockSelected(e_, station_.settings.skipSystemBlocks != 0, type,
                           static_cast<uint32_t>(number)) &&
            !BackupBlock(type, number)) {
            return false;
        }
    }
    return true;
}

bool S5BackupRun::Commit() {
    if (file_->Commit()) {
        outcome_.path = file_->Target().string();
        return true;
    }
    const std::string text =
        Format(Tr(texts::kProgramFileNotWritten), e_.name.c_str(), file_->Target().c_str());
    ui_.StatusText(text);
    NoteFailure(text, false);
    return false;
}

// A triggered backup acknowledges the PLC's request once its file is safely stored.
void S5BackupRun::ClearBackupRequest() {
    if (EffectiveIntervalKind(e_) == IntervalKind::PlcTrigger && !e_.backupBit.empty()) {
        WriteOperandBit(S5OperandWords(drivers_.S5(), record_), e_.backupBit, 0);
    }
}

int S5BackupRun::Execute(const std::string& fileSuffix) {
    ProgressScope progress(ui_);
    if (!Allocate()) {
        return Fail(Tr(texts::kNoMemory));
    }
    // A file name that climbs out of the backup directory is not opened; a suffix from the PLC that would
    // not make a plain file name is refused before the PLC is bothered.
    const auto path = S7ProjectPath(station_.settings.backupDirectory, e_.fileName, fileSuffix);
    if (!path && !fileSuffix.empty()) {
        return Fail(Format(Tr(texts::kBadFileSuffix), e_.name.c_str(), Printable(fileSuffix).c_str()));
    }
    if (Abort()) {
        return 0;  // nothing was touched yet: the entry keeps its marks
    }
    if (drivers_.ConnectS5(e_) == 0) {
        NoteFailure(
            drivers_.ConnectProblem().empty() ? Tr("AG nicht ansprechbar") : drivers_.ConnectProblem(),
            drivers_.ConnectProblem().empty());
        return Fail(Tr(texts::kPlcUnreachable));
    }
    OpenS5Connection connection(drivers_, e_);
    ui_.SetProgress(10);
    ui_.StatusText(Tr(texts::kPlcInit));
    if (station_.settings.stopPlc != 0) {
        connection.Stop();
    }
    file_.emplace(drivers_.Qrf(), path ? *path : std::string());
    if (!path || !file_->Open()) {
        NoteFailure(Format(Tr("Datei %s kann nicht geöffnet oder erstellt werden"),
                           path ? file_->Target().c_str() : e_.fileName.c_str()),
                    false);
        return Fail(Tr(texts::kFileNotOpened));
    }
    ui_.SetProgress(20);
    ui_.SetProgressStep(10);
    for (int type = 0; type < static_cast<int>(kS5TypeNames.size()); ++type) {
        if (!BackupType(type)) {
            return Fail({});
        }
        ui_.StepProgress();
    }
    if (!Commit()) {
        return Fail({});
    }
    ClearBackupRequest();
    connection.Close();
    outcome_.succeeded = true;
    return Succeed(ui_, e_, Tr(texts::kPlcSaved));
}

}  // namespace

uint16_t S5TypeListLength(const ConnectionRecord& record, int type) {
    return record.area.s5.systemParams[kFirstListWord + static_cast<std::size_t>(type)];
}

int S5TypeSelection(const ConnectionRecord& record, int type) {
    const uint16_t length = S5TypeListLength(record, type);
    return record.area.s5.systemParams[kAddressStepWord] == 5 ? length : length / 2;
}

std::optional<BlockKey> S5BlockKey(const S5BlockRecord& block, uint8_t number) {
    const std::size_t length = static_cast<std::size_t>(block.lengthWords) * 2;
    if (length < kHeaderBytes || length > kS5BlockBufferBytes || length > 0xFFFF) {
        return std::nullopt;
    }
    BlockKey key{};
    key.type = static_cast<uint8_t>(block.type & 0x3F);
    key.number = number;
    key.documentation = 0;
    key.length = static_cast<uint16_t>(length);
    key.headerByte4 = block.headerBytes[0];
    for (std::size_t i = 0; i < 3; ++i) {
        key.headerMore[i] = block.headerBytes[i + 1];
    }
    return key;
}

S5Backup::S5Backup(DriverBinding& drivers, Station& station, FrontEnd& ui)
    : drivers_(drivers), station_(station), ui_(ui) {}

int S5Backup::Run(CElement& e, const std::string& fileSuffix) {
    outcome_ = RunOutcome{};
    S5BackupRun run(drivers_, station_, ui_, e, outcome_);
    return run.Execute(fileSuffix);
}

}  // namespace vaultra::app
