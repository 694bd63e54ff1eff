#include "app/run_loop.h"

#include <cstdio>
#include <string>

#include "app/driver_status.h"
#include "app/engine_texts.h"
#include "app/operand_access.h"
#include "app/schedule.h"
#include "app/text_catalogue.h"
#include "platform/time.h"

namespace vaultra::app {

namespace {

constexpr const char* kClockFormat = "%d.%m.%Y %H:%M:%S";

// Holds the station's busy flag for one pass or command.
class BusyScope {
public:
    explicit BusyScope(Station& station) : station_(station) { station_.runBusy = true; }
    ~BusyScope() { station_.runBusy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Station& station_;
};

}  // namespace

int64_t SystemWallClock::Now() {
    return platform::CurrentTime();
}

Engine::Engine(Station& station, FrontEnd& ui, WallClock& clock, DriverBinding& drivers)
    : station_(station),
      ui_(ui),
      clock_(clock),
      s7Backup_(drivers, station, ui),
      s7Restore_(drivers, station, ui),
      s5Backup_(drivers, station, ui),
      s5Restore_(drivers, station, ui),
      // A run the PLC asked for is reported like a scheduled one.
      trigger_(
          drivers, station, ui,
          [this](CElement& e, const std::string& suffix) { return BackupEntry(e, suffix); },
          [this](CElement& e, const std::string& suffix) { return RestoreEntry(e, suffix); }),
      commands_(drivers, station, ui) {
    s7Backup_.writeOperandBit = [&drivers](ConnectionRecord& record, const std::string& operand, int value) {
        return WriteOperandBit(drivers.S7(), record, operand, value);
    };
}

int Engine::BackupEntry(CElement& e, const std::string& fileSuffix) {
    ui_.ForgetEscape();
    ui_.RunStarted(e);
    int result = 0;
    RunOutcome outcome;
    if (IsS7Entry(e) && !backupS7) {
        result = s7Backup_.Run(e, fileSuffix);
        outcome = s7Backup_.LastOutcome();
    } else if (IsS7Entry(e)) {
        result = backupS7(e);
    } else if (backupS5) {
        result = backupS5(e);
    } else {
        result = s5Backup_.Run(e, fileSuffix);
        outcome = s5Backup_.LastOutcome();
    }
    outcome.succeeded = result != 0;
    ui_.RunEnded(e, outcome);
    return result;
}

void Engine::TimerTick() {
    const int64_t tick = clock_.Now();
    if (station_.runBusy) {
        return;
    }
    BusyScope busy(station_);
    ui_.ShowClock(platform::FormatLocalTime(tick, kClockFormat));
    // By position: a command dispatched during a run may append entries, which this pass then sees too.
    for (std::size_t i = 0; i < station_.entries.size() && !ui_.QuitRequested(); ++i) {
        CElement& e = station_.entries[i];
        const IntervalKind kind = EffectiveIntervalKind(e);
        if (kind == IntervalKind::Never || static_cast<uint32_t>(tick) < e.nextBackup) {
            continue;
        }
        int result = 0;
        if (kind == IntervalKind::PlcTrigger) {
            ui_.ForgetEscape();
            result = checkTrigger ? checkTrigger(e) : trigger_.Check(e);
        } else {
            result = BackupEntry(e);
        }
        if (result != 0) {
            ComputeNextBackup(e, clock_.Now());
        } else {
            e.nextBackup =
                static_cast<uint32_t>(tick + static_cast<int64_t>(station_.settings.retryMinutes) * 60);
        }
        ui_.RepaintList();
    }
}

int Engine::RestoreEntry(CElement& e, const std::string& fileSuffix) {
    ui_.ForgetEscape();
    ui_.RunStarted(e);
    RunOutcome outcome;
    outcome.kind = RunKind::Restore;
    int result = 0;
    if (IsS7Entry(e)) {
        result = RestoreS7(e, outcome, fileSuffix);
    } else {
        result = restoreS5 ? restoreS5(e) : s5Restore_.Run(e, fileSuffix);
        if (!restoreS5) {
            outcome.refused = s5Restore_.RefusedBlocks();
        }
    }
    outcome.succeeded = result != 0;
    ui_.RunEnded(e, outcome);
    return result;
}

int Engine::RestoreS7(CElement& e, RunOutcome& outcome, const std::string& fileSuffix) {
    // A status word left from an earlier call must not be reported as the reason of this run.
    station_.record.status = 0;
    station_.record.plcError = 0;
    const int result = restoreS7 ? restoreS7(e) : s7Restore_.Run(e, fileSuffix);
    if (!restoreS7) {
        outcome.refused = s7Restore_.RefusedBlocks();
        outcome.refusedUserBlock = s7Restore_.RefusedUserBlock();
    }
    if (const auto path = S7ProjectPath(station_.settings.backupDirectory, e.fileName, fileSuffix)) {
        outcome.path = RestoreProjectFile(*path);
    }
    if (result == 0) {
        outcome.plcReason = DriverFailureReason(station_.record.status, station_.record.plcError);
    }
    return result;
}

bool Engine::RunEntries(const std::vector<CElement*>& entries, bool restore) {
    if (station_.runBusy) {
        return false;
    }
    BusyScope busy(station_);
    ui_.SetBusy(true);
    bool allSucceeded = true;
    for (CElement* e : entries) {
        if (ui_.QuitRequested()) {
            allSucceeded = false;
            break;
        }
        allSucceeded = (restore ? RestoreEntry(*e) : BackupEntry(*e)) != 0 && allSucceeded;
        ui_.RepaintList();
    }
    ui_.SetBusy(false);
    return allSucceeded;
}

bool Engine::BackupAll() {
    std::vector<CElement*> all;
    for (CElement& e : station_.entries) {
        all.push_back(&e);
    }
    return RunEntries(all);
}

std::vector<CElement*> Engine::Chosen(const std::vector<std::size_t>& indexes) const {
    std::vector<CElement*> chosen;
    for (const std::size_t i : indexes) {
        if (i >= station_.entries.size()) {
            return {};
        }
        chosen.push_back(&station_.entries[i]);
    }
    return chosen;
}

bool Engine::BackupEntries(const std::vector<std::size_t>& indexes) {
    const auto chosen = Chosen(indexes);
    return chosen.size() == indexes.size() && RunEntries(chosen);
}

bool Engine::RestoreAll() {
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < station_.entries.size(); ++i) {
        all.push_back(i);
    }
    return RestoreEntries(all);
}

bool Engine::RestoreEntries(const std::vector<std::size_t>& indexes) {
    // Restore is a command of its own that the station can switch off.
    if (station_.settings.noWriteBack != 0) {
        return false;
    }
    const auto chosen = Chosen(indexes);
    return chosen.size() == indexes.size() && RunEntries(chosen, true);
}

}  // namespace vaultra::app
