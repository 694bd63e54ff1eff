#include "app/plc_trigger.h"

#include "app/engine_texts.h"
#include "app/operand_access.h"
#include "app/procedure_support.h"
#include "app/text_catalogue.h"

namespace vaultra::app {

PlcTrigger::PlcTrigger(DriverBinding& drivers, Station& station, FrontEnd& ui, S7Backup& backup,
                       S7Restore& restore)
    : drivers_(drivers), station_(station), ui_(ui), backup_(backup), restore_(restore) {}

PlcTrigger::Poll PlcTrigger::ReadRequests(CElement& e) {
    Poll poll;
    if (!IsS7Entry(e)) {
        // The request operands are read through the S7 drivers only; an S5 entry must not bind them.
        ui_.StatusText(Format(Tr(texts::kS5TriggerNotAvailable), e.name.c_str()));
        return poll;
    }
    if (drivers_.ConnectS7(e) == 0) {
        return poll;
    }
    ConnectionRecord& record = station_.record;
    const S7Table& s7 = drivers_.S7();
    ui_.StatusText(Format(Tr(texts::kCheckTrigger), e.name.c_str()));
    poll.result = e.backupBit.empty() ? 1 : ReadOperandBit(s7, record, e.backupBit, poll.backupRequest);
    if (poll.result != 0 && !e.restoreBit.empty()) {
        poll.result = ReadOperandBit(s7, record, e.restoreBit, poll.restoreRequest);
    }
    if (poll.result != 0 && poll.backupRequest != poll.restoreRequest && !e.nameOperand.empty()) {
        poll.result = ReadS7String(s7, record, e.nameOperand, poll.fileSuffix);
    }
    s7.Exit(&record, 0);
    ui_.ShowIdleStatus();
    return poll;
}

int PlcTrigger::Check(CElement& e) {
    Poll poll = ReadRequests(e);
    int result = poll.result;
    if (result != 0 && poll.backupRequest != poll.restoreRequest) {
        // The procedures refuse a suffix that is not a plain file-name fragment before touching the PLC.
        if (poll.backupRequest != 0) {
            result = runBackup ? runBackup(e, poll.fileSuffix) : backup_.Run(e, poll.fileSuffix);
        } else if (station_.settings.noWriteBack == 0) {
            result = runRestore ? runRestore(e, poll.fileSuffix) : restore_.Run(e, poll.fileSuffix);
        } else {
            ui_.StatusText(Format(Tr(texts::kTriggerRestoreSwitchedOff), e.name.c_str()));
        }
    }
    result != 0 ? MarkSucceeded(e) : MarkFailed(e);
    return result;
}

}  // namespace vaultra::app
