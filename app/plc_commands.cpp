#include "app/plc_commands.h"

#include "app/engine_texts.h"
#include "app/procedure_support.h"
#include "platform/clock.h"

namespace vaultra::app {

namespace {

struct CommandTexts {
    const char* confirmation;
    const char* success;
};

CommandTexts TextsOf(PlcCommand command) {
    switch (command) {
        case PlcCommand::Start:
            return {"Das AG wirklich starten?", "AG gestartet"};
        case PlcCommand::Stop:
            return {"Das AG wirklich stoppen?", "AG gestoppt"};
        case PlcCommand::Clear:
            break;
    }
    return {"Das AG wirklich löschen?", "AG gelöscht"};
}

constexpr const char* kNotAvailable = "Funktion ist auf diesem AG nicht verfügbar.";
constexpr const char* kNotInStop =
    "Das AG ist nicht im STOP-Zustand.\nEin komplettes Löschen ist dann nicht möglich.";
constexpr const char* kClearError = "Fehler beim löschen";
constexpr const char* kNotClosed = "Konnte das AG nicht schliessen.";
constexpr const char* kClearing = "AG löschen...";
constexpr std::size_t kWord19 = 0x35 - 15;  // offsets into the record's status area
constexpr std::size_t kWord20 = 0x37 - 15;
constexpr std::size_t kWord21 = 0x39 - 15;
constexpr uint32_t kClearSettleMs = 3000;
constexpr int kClearSteps = 80;
constexpr uint32_t kClearStepMs = 38;
constexpr uint32_t kS5BeforeStartMs = 500;
constexpr uint32_t kS5AfterStartMs = 2000;

uint16_t AreaWord(const ConnectionRecord& record, std::size_t at) {
    return static_cast<uint16_t>(record.area.statusArea[at] | record.area.statusArea[at + 1] << 8);
}

bool InRange(uint16_t status, uint16_t low, uint16_t high) {
    return status >= low && status <= high;
}

}  // namespace

bool UsesExtendedStartStop(uint16_t word19, uint16_t word20, uint16_t word21) {
    const uint8_t low = static_cast<uint8_t>(word19);
    bool testA = false;
    if (low != 255) {
        testA = (word20 == 5 && low != 6) || (low != 1 && low != 4 && low != 6);
    }
    const bool testB = word19 == 9 || word19 == 262 || (word19 == 295 && word21 == 514);
    return testA || testB;
}

namespace {

// The text after a failed extended start or stop, from the status word the driver left.
const char* ExtendedFailureText(bool start, uint16_t status, uint16_t word19) {
    if (start && InRange(status, 0x4000, 0x4005)) {
        return kNotAvailable;
    }
    const bool stopped = (status == 8 || InRange(status, 24, 30)) && (word19 & 0x0F) == 8;
    return stopped ? "AG gestoppt" : texts::kPlcUnreachable;
}

}  // namespace

PlcCommands::PlcCommands(DriverBinding& drivers, Station& station, FrontEnd& ui)
    : drivers_(drivers), station_(station), ui_(ui) {}

bool PlcCommands::Connect(CElement& e) {
    const int opened = IsS7Entry(e) ? drivers_.ConnectS7(e) : drivers_.ConnectS5(e);
    if (opened == 0) {
        ui_.StatusText(texts::kPlcUnreachable);
        return false;
    }
    return true;
}

int PlcCommands::Close(CElement& e) {
    return IsS7Entry(e) ? drivers_.S7().Exit(&station_.record, 0) : drivers_.CloseS5(e);
}

int PlcCommands::PlainStartStop(const CElement& e, bool start) {
    ConnectionRecord* record = &station_.record;
    if (IsS7Entry(e)) {
        return start ? drivers_.S7().AGStart(record) : drivers_.S7().AGStop(record);
    }
    return start ? drivers_.S5().AGStart(record) : drivers_.S5().AGStop(record);
}

int PlcCommands::ExtendedStartStop(const CElement& e, bool start) {
    ConnectionRecord* record = &station_.record;
    const int32_t mode = start ? 1 : 0;
    if (IsS7Entry(e)) {
        return drivers_.S7().Call<Tarn7AGStartStopExFn>(S7Slot::AGStartStopEx, record, mode);
    }
    // An S5 PLC needs a moment before it takes the start, and after it before it is spoken to again.
    if (start) {
        Wait(kS5BeforeStartMs);
    }
    const int result = drivers_.S5().Call<Tarn5S5AGStartStopExFn>(S5Slot::AGStartStopEx, record, mode);
    if (start) {
        Wait(kS5AfterStartMs);
    }
    return result;
}

int PlcCommands::ClearAll(const CElement& e) {
    ConnectionRecord* record = &station_.record;
    return IsS7Entry(e) ? drivers_.S7().Call<Tarn7ClearAllFn>(S7Slot::ClearAll, record)
                        : drivers_.S5().Call<Tarn5S5ClearAllFn>(S5Slot::ClearAll, record);
}

void PlcCommands::Wait(uint32_t ms) {
    sleep ? sleep(ms) : platform::SleepMilliseconds(ms);
}

// After an S5 extended call the success text is not shown; the connection is closed on every way out
// so that the port is free and the next S5 connect keeps its distance.
bool PlcCommands::StartStop(CElement& e, PlcCommand command) {
    const bool start = command == PlcCommand::Start;
    ui_.SetProgress(10);
    if (!Connect(e)) {
        return false;
    }
    const ConnectionRecord& record = station_.record;
    ui_.SetProgress(40);
    const uint16_t w19 = AreaWord(record, kWord19);
    const bool s7 = IsS7Entry(e);
    bool ok = false;
    bool showSuccess = true;
    if (UsesExtendedStartStop(w19, AreaWord(record, kWord20), AreaWord(record, kWord21))) {
        ok = ExtendedStartStop(e, start) != 0;
        if (!ok) {
            ui_.StatusText(ExtendedFailureText(start, record.status, w19));
        }
        showSuccess = s7;
    } else {
        ok = PlainStartStop(e, start) != 0;
        if (ok) {
            ui_.SetProgress(70);
        }
    }
    Close(e);
    if (s7 || (ok && showSuccess)) {
        ui_.SetProgress(100);
    }
    if (ok && showSuccess) {
        ui_.StatusText(TextsOf(command).success);
    }
    return ok;
}

bool PlcCommands::Clear(CElement& e, bool& succeeded) {
    succeeded = false;
    ui_.SetProgress(10);
    ui_.StatusText(kClearing);
    if (!Connect(e)) {
        return false;
    }
    ui_.SetProgress(20);
    if (ClearAll(e) == 0) {
        const bool notStopped = InRange(station_.record.status, 0x4000, 0x4005);
        ui_.MessageBox(notStopped ? kNotInStop : kClearError, MessageButtons::Ok);
        Close(e);
        return false;
    }
    if (Close(e) == 0) {
        ui_.MessageBox(kNotClosed, MessageButtons::Ok);
    }
    // The PLC needs its time to rebuild its memory before the next access.
    Wait(kClearSettleMs);
    for (int i = 0; i < kClearSteps; ++i) {
        ui_.StepProgress();
        Wait(kClearStepMs);
    }
    ui_.StatusText(TextsOf(PlcCommand::Clear).success);
    succeeded = true;
    return true;
}

PlcCommands::Outcome PlcCommands::Run(PlcCommand command, bool askConfirmation) {
    Outcome outcome;
    if (askConfirmation &&
        ui_.MessageBox(TextsOf(command).confirmation, MessageButtons::YesNo) != MessageAnswer::Yes) {
        outcome.confirmed = false;
        return outcome;
    }
    ProgressScope progress(ui_);
    EntryList& entries = station_.entries;
    const bool single = command != PlcCommand::Clear && entries.size() == 1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CElement& e = entries[i];
        if (!single && !e.Has(flag::kMarked)) {
            continue;
        }
        if (command != PlcCommand::Clear) {
            outcome.results.push_back({i, StartStop(e, command)});
            continue;
        }
        bool succeeded = false;
        const bool goOn = Clear(e, succeeded);
        outcome.results.push_back({i, succeeded});
        if (!goOn) {
            break;
        }
    }
    if (outcome.results.empty()) {
        outcome.noneSelected = true;
        ui_.MessageBox(kNoPlcSelected, MessageButtons::Ok);
    }
    return outcome;
}

}  // namespace vaultra::app
