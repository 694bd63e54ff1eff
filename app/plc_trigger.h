// The PLC trigger: poll the request bits of a trigger entry and run the backup or restore the PLC asks for.
#pragma once

#include <functional>
#include <string>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/front_end.h"
#include "app/s5_backup.h"
#include "app/s5_restore.h"
#include "app/s7_backup.h"
#include "app/s7_restore.h"
#include "app/station.h"

namespace vaultra::app {

class PlcTrigger {
public:
    PlcTrigger(DriverBinding& drivers, Station& station, FrontEnd& ui, S7Backup& backup, S7Restore& restore,
               S5Backup& s5Backup, S5Restore& s5Restore);

    // Nonzero on success (also when nothing was requested, both bits were set, or a restore was asked for
    // while restore is switched off). Marks the entry.
    int Check(CElement& e);

    // The runs the PLC asks for (entry, file name suffix); nonzero on success. The engine installs runs
    // that report like scheduled ones; unset, the procedures run bare.
    std::function<int(CElement&, const std::string&)> runBackup;
    std::function<int(CElement&, const std::string&)> runRestore;

private:
    struct Poll {
        int result = 0;
        int backupRequest = 0;
        int restoreRequest = 0;
        std::string fileSuffix;
    };
    Poll ReadRequests(CElement& e);
    int RunBackup(CElement& e, const std::string& fileSuffix);
    int RunRestore(CElement& e, const std::string& fileSuffix);

    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
    S7Backup& backup_;
    S7Restore& restore_;
    S5Backup& s5Backup_;
    S5Restore& s5Restore_;
};

}  // namespace vaultra::app
