#include "app/plc_trigger.h"

#include <utility>

#include "app/engine_texts.h"
#include "app/operand_access.h"
#include "app/procedure_support.h"
#include "app/text_catalogue.h"

namespace vaultra::app {

PlcTrigger::PlcTrigger(DriverBinding& drivers, Station& station, FrontEnd& ui, Run runBackup, Run runRestore)
    : drivers_(drivers),
      station_(station),
      ui_(ui),
      runBackup_(std::move(runBackup)),
      runRestore_(std::move(runRestore)) {}

// Both families address the request operands alike; an S5 poll is closed with the S5 close and its quiet
// time, so the run it starts connects no earlier than a PLC allows.
PlcTrigger::Poll PlcTrigger::ReadRequests(CElement& e) {
    Poll poll;
    const bool s7 = IsS7Entry(e);
    if ((s7 ? drivers_.ConnectS7(e) : drivers_.ConnectS5(e)) == 0) {
        return poll;
    }
    ConnectionRecord& record = station_.record;
    const OperandWords words =
        s7 ? S7OperandWords(drivers_.S7(), record) : S5OperandWords(drivers_.S5(), record);
    ui_.StatusText(Format(Tr(texts::kCheckTrigger), e.name.c_str()));
    poll.result = e.backupBit.empty() ? 1 : ReadOperandBit(words, e.backupBit, poll.backupRequest);
    if (poll.result != 0 && !e.restoreBit.empty()) {
        poll.result = ReadOperandBit(words, e.restoreBit, poll.restoreRequest);
    }
    if (poll.result != 0 && poll.backupRequest != poll.restoreRequest && !e.nameOperand.empty()) {
        poll.result = ReadS7String(words, e.nameOperand, poll.fileSuffix);
    }
    if (s7) {
        drivers_.S7().Exit(&record, 0);
    } else {
        drivers_.CloseS5(e);
    }
    ui_.ShowIdleStatus();
    return poll;
}

int PlcTrigger::Check(CElement& e) {
    Poll poll = ReadRequests(e);
    int result = poll.result;
    if (result != 0 && poll.backupRequest != poll.restoreRequest) {
        // The procedures refuse a suffix that is not a plain file-name fragment before touching the PLC.
        if (poll.backupRequest != 0) {
            result = runBackup_(e, poll.fileSuffix);
        } else if (station_.settings.noWriteBack == 0) {
            result = runRestore_(e, poll.fileSuffix);
        } else {
            ui_.StatusText(Format(Tr(texts::kTriggerRestoreSwitchedOff), e.name.c_str()));
        }
    }
    result != 0 ? MarkSucceeded(e) : MarkFailed(e);
    return result;
}

}  // namespace vaultra::app
