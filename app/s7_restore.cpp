#include "app/s7_restore.h"

#include <array>

#include "app/block_list.h"
#include "app/engine_texts.h"
#include "app/operand_access.h"
#include "app/procedure_support.h"
#include "app/s7_backup.h"
#include "app/s7_password.h"
#include "app/text_catalogue.h"
#include "platform/debug_output.h"
#include "s7project/s7project.h"

namespace vaultra::app {

namespace {

constexpr uint16_t kStatusAdapterReject = 8;
constexpr uint16_t kStatusRefusedInsert = 0x28;
constexpr uint16_t kStatusBusy = 0x200;
constexpr uint16_t kStatusPlcError = 0x4000;
constexpr uint16_t kResourcesClass = 0x83;
constexpr uint16_t kBusyError = 0x8404;
constexpr uint16_t kMemoryFull = 4;

struct TypeEntry {
    uint8_t imageType;
    int index;
    uint8_t code;
};
constexpr std::array<TypeEntry, 7> kTypes{
    {{8, 4, 0x10}, {10, 0, 0x01}, {11, 1, 0xF7}, {12, 5, 0xF4}, {13, 2, 0xFA}, {14, 3, 0x08}, {15, 6, 0xFD}}};

const TypeEntry* TypeOf(uint8_t imageType) {
    for (const TypeEntry& t : kTypes) {
        if (t.imageType == imageType) {
            return &t;
        }
    }
    return nullptr;
}

}  // namespace

RefusalAction DecideRefusal(uint16_t status, uint16_t plcError, bool compressedAlready) {
    if (status == kStatusPlcError && plcError >> 8 == kResourcesClass) {
        status = kStatusAdapterReject;
        plcError &= 0xFF;
    } else if (status == kStatusPlcError && plcError == kBusyError) {
        status = kStatusBusy;
    }
    switch (status) {
        case kStatusAdapterReject:
            if (plcError == kMemoryFull) {
                return compressedAlready ? RefusalAction::StopNotTransferable
                                         : RefusalAction::CompressAndRetry;
            }
            return plcError == 5 || plcError == 6 ? RefusalAction::Skip : RefusalAction::StopNotTransferable;
        case kStatusRefusedInsert:
            return RefusalAction::Skip;
        case kStatusBusy:
            return RefusalAction::StopBusy;
        case kStatusPlcError:
            return RefusalAction::StopKeySwitch;
        default:
            return RefusalAction::StopUnreachable;
    }
}

std::string RestoreProjectFile(const std::string& backupPath) {
    std::size_t cut = backupPath.find(".s7p");
    if (cut == std::string::npos) {
        cut = backupPath.find(".S7P");
    }
    const std::string folder = cut == std::string::npos ? backupPath : backupPath.substr(0, cut);
    return folder + "/" + std::filesystem::path(backupPath).filename().string();
}

// One run of the restore for one entry.
class RestoreRun {
public:
    RestoreRun(S7Restore& procedure, CElement& e)
        : p_(procedure), ui_(procedure.ui_), e_(e), record_(procedure.station_.record) {}

    int Execute(const std::string& fileSuffix);

private:
    int Fail(const std::string& text);
    bool Abort();
    bool ReadProject(const std::string& fileSuffix);
    bool SendPassword(OpenConnection& connection);
    bool WriteBlocks();
    // false when the restore must stop (the stop text is shown).
    bool WriteBlock(s7project::BlockImage& image, const TypeEntry& type, uint16_t number);
    bool Refused(const TypeEntry& type, uint16_t number);

    S7Restore& p_;
    FrontEnd& ui_;
    CElement& e_;
    ConnectionRecord& record_;
    s7project::BlockList blocks_;
};

int RestoreRun::Fail(const std::string& text) {
    if (!text.empty()) {
        ui_.StatusText(text);
    }
    MarkFailed(e_);
    return 0;
}

bool RestoreRun::Abort() {
    if (!EscapePressed(ui_)) {
        return false;
    }
    ui_.StatusText(texts::kAbort);
    return true;
}

bool RestoreRun::ReadProject(const std::string& fileSuffix) {
    const auto path = S7ProjectPath(p_.station_.settings.backupDirectory, e_.fileName, fileSuffix);
    if (!path) {
        Fail(Format(Tr(texts::kBadFileSuffix), e_.name.c_str(), Printable(fileSuffix).c_str()));
        return false;
    }
    const std::string project = RestoreProjectFile(*path);
    const bool read =
        p_.readProject ? p_.readProject(project, blocks_) : s7project::ReadS7Project(project, blocks_);
    // Without a readable project there is nothing to restore: the PLC is left alone.
    if (!read || blocks_.empty()) {
        Fail(Format(Tr(texts::kProjectNotReadable), e_.name.c_str(), project.c_str()));
        return false;
    }
    return true;
}

bool RestoreRun::SendPassword(OpenConnection& connection) {
    if (e_.password.empty()) {
        return true;
    }
    const auto encoded = EncodeS7Password(PasswordField(e_.password));
    if (p_.drivers_.S7().DoPassword(&record_, encoded.data()) != 0 && record_.plcError == 0) {
        return true;
    }
    connection.Close();
    return false;
}

bool RestoreRun::Refused(const TypeEntry& type, uint16_t number) {
    const char* name = kS7TypeNames[static_cast<std::size_t>(type.index)];
    ui_.StatusText(Format(Tr(texts::kBlockRefused), e_.name.c_str(), name, number));
    p_.refused_.push_back(Format("%s %05u", name, number));
    if (type.imageType != s7project::subblock::kSfc && type.imageType != s7project::subblock::kSfb) {
        p_.refusedUserBlock_ = true;
    }
    return true;
}

bool RestoreRun::WriteBlock(s7project::BlockImage& image, const TypeEntry& type, uint16_t number) {
    const S7Table& s7 = p_.drivers_.S7();
    const char* name = kS7TypeNames[static_cast<std::size_t>(type.index)];
    ui_.DetailText(Format(Tr(texts::kWriteBlock), e_.name.c_str(), name, number));
    for (bool compressed = false;;) {
        BlockRecord block{};
        block.marker[0] = block.marker[1] = 0x70;
        block.type = type.code;
        block.number = static_cast<uint8_t>(number);
        block.mark = 0x84;
        block.length = static_cast<uint16_t>(image[10] << 8 | image[11]);
        block.image = image.data();
        if (s7.Call<Tarn7CreateBstFn>(S7Slot::CreateBst, &record_, &block, 1) != 0) {
            return true;
        }
        const auto debug = Format(texts::kRestoreDebugLine, name, number, record_.status, record_.plcError);
        p_.debugOutput ? p_.debugOutput(debug) : platform::DebugOutput(debug);
        switch (DecideRefusal(record_.status, record_.plcError, compressed)) {
            case RefusalAction::CompressAndRetry:
                s7.Call<Tarn7CompressFn>(S7Slot::Compress, &record_);
                compressed = true;
                continue;
            case RefusalAction::Skip:
                return Refused(type, number);
            case RefusalAction::StopNotTransferable:
                ui_.StatusText(texts::kBlockNotTransferable);
                return false;
            case RefusalAction::StopBusy:
                ui_.StatusText(texts::kPlcBusy);
                return false;
            case RefusalAction::StopKeySwitch:
                ui_.StatusText(texts::kKeySwitchRun);
                return false;
            case RefusalAction::StopUnreachable:
                ui_.StatusText(texts::kPlcUnreachable);
                return false;
        }
    }
}

bool RestoreRun::WriteBlocks() {
    ui_.SetProgress(20);
    ui_.SetProgressStep(blocks_.size() < 2 ? 1 : static_cast<int>(70 / blocks_.size()));
    const bool skipSystem = p_.station_.settings.skipSystemBlocks != 0;
    for (s7project::BlockImage& image : blocks_) {
        if (Abort()) {
            return false;
        }
        const auto header = s7project::ReadBlockHeader(image);
        const TypeEntry* type = header ? TypeOf(header->type) : nullptr;
        if (header && type == nullptr) {
            ui_.StatusText(Format(Tr(texts::kUnknownBlockType), e_.name.c_str(), header->type));
        }
        // System data are never written back: they describe the hardware the PLC already has.
        const bool write = type != nullptr && type->index != 1 &&
                           !BlockSelected(e_, skipSystem, type->index, header->number);
        if (write && !WriteBlock(image, *type, header->number)) {
            return false;
        }
        s7project::BlockImage().swap(image);
        ui_.StepProgress();
    }
    return true;
}

int RestoreRun::Execute(const std::string& fileSuffix) {
    ProgressScope progress(ui_);
    p_.refused_.clear();
    p_.refusedUserBlock_ = false;
    if (Abort()) {
        return Fail({});
    }
    if (!ReadProject(fileSuffix)) {
        return 0;
    }
    if (p_.drivers_.ConnectS7(e_) == 0) {
        return Fail(texts::kPlcUnreachable);
    }
    OpenConnection connection(p_.drivers_.S7(), record_);
    ui_.SetProgress(10);
    if (!SendPassword(connection)) {
        return Fail(Format(Tr(texts::kPasswordRefused), e_.name.c_str()));
    }
    ui_.StatusText(texts::kPlcInit);
    if (p_.station_.settings.stopPlc != 0) {
        connection.Stop();
    }
    if (!WriteBlocks()) {
        return Fail({});
    }
    ui_.SetProgress(90);
    ClearTriggerRequests(S7OperandWords(p_.drivers_.S7(), record_), e_);
    connection.Close();
    ui_.SetProgress(100);
    MarkSucceeded(e_);
    ui_.StatusText(texts::kPlcWritten);
    return 1;
}

S7Restore::S7Restore(DriverBinding& drivers, Station& station, FrontEnd& ui)
    : drivers_(drivers), station_(station), ui_(ui) {}

int S7Restore::Run(CElement& e, const std::string& fileSuffix) {
    RestoreRun run(*this, e);
    return run.Execute(fileSuffix);
}

}  // namespace vaultra::app
