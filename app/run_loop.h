// The station's run loop: the one-second timer pass that runs due entries and reschedules them, and the
// run-all command. One run at a time, on the caller's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/driver_binding.h"
#include "app/front_end.h"
#include "app/plc_commands.h"
#include "app/plc_trigger.h"
#include "app/s5_backup.h"
#include "app/s5_restore.h"
#include "app/s7_backup.h"
#include "app/s7_restore.h"
#include "app/station.h"

namespace vaultra::app {

// Wall-clock seconds since 1970; tests replace it to run schedules without waiting.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual int64_t Now() = 0;
};

class SystemWallClock final : public WallClock {
public:
    int64_t Now() override;
};

class Engine {
public:
    // A procedure run for one entry: nonzero on success. It marks the entry and shows its own texts.
    using Procedure = std::function<int(CElement&)>;

    Engine(Station& station, FrontEnd& ui, WallClock& clock, DriverBinding& drivers);

    // One timer pass: runs every entry whose time has come, in list order; a success is rescheduled from
    // the end of its run, a failure retried retryMinutes after the start of the pass. Does nothing while a
    // run is in progress.
    void TimerTick();

    // "Alle Sichern": every entry in list order whatever its schedule; schedules stay as they are.
    // True when every run succeeded; false also when a run was already in progress.
    bool BackupAll();
    // The same for the entries at these list positions, in the order given.
    bool BackupEntries(const std::vector<std::size_t>& indexes);

    // Runs the backup procedure of the entry's family and reports the run; nonzero on success. fileSuffix:
    // the file name suffix the PLC trigger read (empty: the entry's own file).
    int BackupEntry(CElement& e, const std::string& fileSuffix = {});
    // Runs the restore procedure of the entry's family and reports the run; nonzero on success.
    int RestoreEntry(CElement& e, const std::string& fileSuffix = {});
    // "Alle Rücksichern" and the restore of chosen entries; false while restore is switched off.
    bool RestoreAll();
    bool RestoreEntries(const std::vector<std::size_t>& indexes);

    S7Backup& S7Procedure() { return s7Backup_; }
    S7Restore& S7RestoreProcedure() { return s7Restore_; }
    S5Backup& S5Procedure() { return s5Backup_; }
    S5Restore& S5RestoreProcedure() { return s5Restore_; }
    // Start, stop and clear of the marked entries' PLCs.
    PlcCommands& Commands() { return commands_; }

    // Replaceable procedures. backupS7 defaults to the S7 backup with the entry's own file, backupS5 to
    // the S5 backup.
    Procedure backupS7;
    Procedure backupS5;
    Procedure checkTrigger;
    // restoreS7 and restoreS5 default to the restores of the families; trigger entries are polled by the PLC
    // trigger unless checkTrigger is installed.
    Procedure restoreS7;
    Procedure restoreS5;

private:
    bool RunEntries(const std::vector<CElement*>& entries, bool restore = false);
    std::vector<CElement*> Chosen(const std::vector<std::size_t>& indexes) const;
    int RestoreS7(CElement& e, RunOutcome& outcome, const std::string& fileSuffix);

    Station& station_;
    FrontEnd& ui_;
    WallClock& clock_;
    S7Backup s7Backup_;
    S7Restore s7Restore_;
    S5Backup s5Backup_;
    S5Restore s5Restore_;
    PlcTrigger trigger_;
    PlcCommands commands_;
};

}  // namespace vaultra::app
