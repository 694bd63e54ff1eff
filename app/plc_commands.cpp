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
constexpr const char* kS5Unavailable = "%s: S5-Steuerungen sind in dieser Station nicht verfügbar.";
constexpr std::size_t kWord19 = 0x35 - 15;  // offsets into the record's status area
constexpr std::size_t kWord20 = 0x37 - 15;
constexpr std::size_t kWord21 = 0x39 - 15;
constexpr uint32_t kClearSettleMs = 3000;
constexpr int kClearSteps = 80;
constexpr uint32_t kClearStepMs = 38;

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

PlcCommands::PlcCommands(DriverBinding& drivers, Station& station, FrontEnd& ui)
    : drivers_(drivers), station_(station), ui_(ui) {}

bool PlcCommands::Connect(CElement& e) {
    if (!IsS7Entry(e)) {
        ui_.StatusText(Format(kS5Unavailable, e.name.c_str()));
        return false;
    }
    if (drivers_.ConnectS7(e) == 0) {
        ui_.StatusText(texts::kPlcUnreachable);
        return false;
    }
    return true;
}

void PlcCommands::Wait(uint32_t ms) {
    sleep ? sleep(ms) : platform::SleepMilliseconds(ms);
}

bool PlcCommands::StartStop(CElement& e, PlcCommand command) {
    const bool start = command == PlcCommand::Start;
    ui_.SetProgress(10);
    if (!Connect(e)) {
        return false;
    }
    ConnectionRecord& record = station_.record;
    const S7Table& s7 = drivers_.S7();
    ui_.SetProgress(40);
    const uint16_t w19 = AreaWord(record, kWord19);
    bool ok = false;
    if (UsesExtendedStartStop(w19, AreaWord(record, kWord20), AreaWord(record, kWord21))) {
        ok = s7.Call<Tarn7AGStartStopExFn>(S7Slot::AGStartStopEx, &record, start ? 1 : 0) != 0;
        if (!ok) {
            const uint16_t status = record.status;
            const bool stopped = (status == 8 || InRange(status, 24, 30)) && (w19 & 0x0F) == 8;
            ui_.StatusText(start && InRange(status, 0x4000, 0x4005) ? kNotAvailable
                           : stopped                                ? "AG gestoppt"
                                                                    : texts::kPlcUnreachable);
        }
    } else {
        ok = (start ? s7.AGStart(&record) : s7.AGStop(&record)) != 0;
        if (ok) {
            ui_.SetProgress(70);
        }
    }
    s7.Exit(&record, 0);
    ui_.SetProgress(100);
    if (ok) {
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
    ConnectionRecord& record = station_.record;
    const S7Table& s7 = drivers_.S7();
    ui_.SetProgress(20);
    if (s7.Call<Tarn7ClearAllFn>(S7Slot::ClearAll, &record) == 0) {
        const bool notStopped = InRange(record.status, 0x4000, 0x4005);
        ui_.MessageBox(notStopped ? kNotInStop : kClearError, MessageButtons::Ok);
        s7.Exit(&record, 0);
        return false;
    }
    if (s7.Exit(&record, 0) == 0) {
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
