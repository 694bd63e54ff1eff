#include "app/s5_restore.h"

#include "app/block_list.h"
#include "app/engine_texts.h"
#include "app/operand_access.h"
#include "app/procedure_support.h"
#include "app/s5_backup.h"
#include "app/s5_program_file.h"
#include "app/s7_backup.h"
#include "app/scan.h"
#include "app/text_catalogue.h"

namespace vaultra::app {

namespace {

constexpr uint16_t kStatusRefused = 0x0008;
constexpr uint16_t kStatusAbsent = 0x0200;
constexpr uint16_t kMemoryFull = 4;
constexpr std::size_t kHeaderBytes = 10;

// The type index of a program file's type code; -1 for codes a PLC does not load.
int TypeIndexOf(uint8_t code) {
    for (std::size_t t = 0; t < kS5TypeCodes.size(); ++t) {
        if (kS5TypeCodes[t] == code) {
            return static_cast<int>(t);
        }
    }
    return -1;
}

// A block the PLC can be given: whole words, the 5-word header at least.
bool Loadable(const StoredS5Block& block) {
    return block.key.length >= kHeaderBytes && block.key.length % 2 == 0 &&
           block.data.size() >= block.key.length;
}

}  // namespace

S5RefusalAction DecideS5Refusal(uint16_t status, uint16_t plcError, bool compressedAlready) {
    if (status == kStatusRefused) {
        if (plcError == kMemoryFull) {
            return compressedAlready ? S5RefusalAction::StopNotTransferable
                                     : S5RefusalAction::CompressAndRetry;
        }
        return plcError == 5 || plcError == 6 ? S5RefusalAction::Skip : S5RefusalAction::StopNotTransferable;
    }
    return status == kStatusAbsent ? S5RefusalAction::StopBusy : S5RefusalAction::StopUnreachable;
}

// One run of the restore for one entry.
class S5RestoreRun {
public:
    S5RestoreRun(S5Restore& procedure, CElement& e)
        : p_(procedure), ui_(procedure.ui_), e_(e), record_(procedure.station_.record) {}

    int Execute(const std::string& fileSuffix);

private:
    int Fail(const std::string& text);
    bool ReadFile(const std::string& fileSuffix);
    bool WriteType(int type);
    // false when the restore must stop (the stop text is shown).
    bool WriteBlock(const StoredS5Block& block, int type);
    int Finish(OpenS5Connection& connection);

    S5Restore& p_;
    FrontEnd& ui_;
    CElement& e_;
    ConnectionRecord& record_;
    std::vector<StoredS5Block> blocks_;
};

int S5RestoreRun::Fail(const std::string& text) {
    if (!text.empty()) {
        ui_.StatusText(text);
    }
    MarkFailed(e_);
    return 0;
}

bool S5RestoreRun::ReadFile(const std::string& fileSuffix) {
    const auto path = S7ProjectPath(p_.station_.settings.backupDirectory, e_.fileName, fileSuffix);
    if (!path && !fileSuffix.empty()) {
        Fail(Format(Tr(texts::kBadFileSuffix), e_.name.c_str(), Printable(fileSuffix).c_str()));
        return false;
    }
    std::string badBlock;
    const S5FileReadError error =
        path ? ReadS5File(p_.drivers_.Qrf(), *path, blocks_, badBlock) : S5FileReadError::Missing;
    switch (error) {
        case S5FileReadError::None:
            break;
        case S5FileReadError::Missing:
        case S5FileReadError::NotOpened:
            ui_.StatusText(Tr(texts::kFileNotOpened));
            Fail(Format(Tr(texts::kProgramFileNotReadable), e_.name.c_str(), path ? path->c_str() : ""));
            return false;
        case S5FileReadError::DirectoryUnreadable:
            Fail(Tr(texts::kFileDirectoryUnreadable));
            return false;
        case S5FileReadError::BlockUnreadable:
            ui_.StatusText(Format("%s: %s", e_.name.c_str(), badBlock.c_str()));
            Fail(Tr(texts::kBlockDataUnreadable));
            return false;
    }
    for (const StoredS5Block& block : blocks_) {
        if (block.key.documentation == 0 && TypeIndexOf(block.key.type) >= 0 && !Loadable(block)) {
            ui_.StatusText(Format(Tr(texts::kS5BlockLength), e_.name.c_str(),
                                  kS5TypeNames[static_cast<std::size_t>(TypeIndexOf(block.key.type))],
                                  block.key.number));
            Fail(Tr(texts::kBlockDataUnreadable));
            return false;
        }
    }
    return true;
}

bool S5RestoreRun::WriteBlock(const StoredS5Block& block, int type) {
    const char* name = kS5TypeNames[static_cast<std::size_t>(type)];
    const int number = block.key.number;
    ui_.DetailText(Format(Tr(texts::kS5WriteBlock), e_.name.c_str(), name, number));
    std::vector<uint8_t> body(block.data.begin() + kHeaderBytes, block.data.begin() + block.key.length);
    for (bool compressed = false;;) {
        S5BlockRecord record{};
        record.marker[0] = record.marker[1] = 0x70;
        record.type = block.key.type;
        record.number = block.key.number;
        record.headerBytes[0] = block.key.headerByte4;
        for (std::size_t i = 0; i < 3; ++i) {
            record.headerBytes[i + 1] = block.key.headerMore[i];
        }
        record.lengthWords = static_cast<uint16_t>(block.key.length / 2);
        record.body = body.data();
        if (p_.drivers_.S5().CreateBst(&record_, &record) != 0) {
            return true;
        }
        const S5RefusalAction action = DecideS5Refusal(record_.status, record_.plcError, compressed);
        if (action == S5RefusalAction::CompressAndRetry) {
            p_.drivers_.S5().Compress(&record_);
            compressed = true;
            continue;
        }
        ui_.StatusText(Format(Tr(texts::kS5BlockRefused), e_.name.c_str(), name, number));
        p_.refused_.push_back(Format("%s %03d", name, number));
        switch (action) {
            case S5RefusalAction::Skip:
                return true;
            case S5RefusalAction::StopNotTransferable:
                ui_.StatusText(Tr(texts::kBlockNotTransferable));
                return false;
            case S5RefusalAction::StopBusy:
                ui_.StatusText(Tr(texts::kPlcBusy));
                return false;
            default:
                ui_.StatusText(Tr(texts::kPlcUnreachable));
                return false;
        }
    }
}

bool S5RestoreRun::WriteType(int type) {
    const char* name = kS5TypeNames[static_cast<std::size_t>(type)];
    ui_.DetailText(Format(Tr(texts::kCheckType), e_.name.c_str(), name));
    if (S5TypeListLength(record_, type) == 0) {
        return true;  // the PLC has no such block type
    }
    const uint8_t code = kS5TypeCodes[static_cast<std::size_t>(type)];
    const bool skipSystem = p_.station_.settings.skipSystemBlocks != 0;
    for (const StoredS5Block& block : blocks_) {
        const BlockKey& key = block.key;
        if (key.type != code || key.documentation != 0 || (type == kTypeDB && key.number == 0) ||
            BlockSelected(e_, skipSystem, type, key.number)) {
            continue;
        }
        if (!WriteBlock(block, type)) {
            return false;
        }
    }
    return true;
}

// Refused blocks leave the PLC with a program that is not the one stored: the restore fails, names them,
// and a PLC it stopped stays stopped.
int S5RestoreRun::Finish(OpenS5Connection& connection) {
    if (!p_.refused_.empty()) {
        std::string names;
        for (const std::string& name : p_.refused_) {
            names += (names.empty() ? "" : ", ") + name;
        }
        connection.LeaveStopped();
        connection.Close();
        return Fail(
            Format(Tr(texts::kS5BlocksNotWritten), e_.name.c_str(), p_.refused_.size(), names.c_str()));
    }
    ClearTriggerRequests(S5OperandWords(p_.drivers_.S5(), record_), e_);
    connection.Close();
    return Succeed(ui_, e_, Tr(texts::kPlcWritten));
}

int S5RestoreRun::Execute(const std::string& fileSuffix) {
    ProgressScope progress(ui_);
    p_.refused_.clear();
    // Without a readable program there is nothing to restore: the PLC is left alone.
    if (!ReadFile(fileSuffix)) {
        return 0;
    }
    if (p_.drivers_.ConnectS5(e_) == 0) {
        return Fail(Tr(texts::kPlcUnreachable));
    }
    OpenS5Connection connection(p_.drivers_, e_);
    ui_.SetProgress(10);
    ui_.StatusText(Tr(texts::kPlcInit));
    if (p_.station_.settings.stopPlc != 0) {
        connection.Stop();
    }
    ui_.SetProgress(20);
    ui_.SetProgressStep(10);
    for (const int type : kS5RestoreOrder) {
        if (!WriteType(type)) {
            connection.LeaveStopped();
            connection.Close();
            return Fail({});
        }
        ui_.StepProgress();
    }
    return Finish(connection);
}

S5Restore::S5Restore(DriverBinding& drivers, Station& station, FrontEnd& ui)
    : drivers_(drivers), station_(station), ui_(ui) {}

int S5Restore::Run(CElement& e, const std::string& fileSuffix) {
    S5RestoreRun run(*this, e);
    return run.Execute(fileSuffix);
}

}  // namespace vaultra::app
