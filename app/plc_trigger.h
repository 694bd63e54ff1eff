// The PLC trigger: poll the request bits of a trigger entry and run the backup or restore the PLC asks for.
#pragma once

#include <functional>
#include <string>

#include "app/driver_binding.h"
#include "app/element.h"
#include "app/front_end.h"
#include "app/station.h"

namespace vaultra::app {

class PlcTrigger {
public:
    // A run the PLC asks for (entry, file name suffix); nonzero on success. The engine passes runs that
    // report like scheduled ones.
    using Run = std::function<int(CElement&, const std::string&)>;

    PlcTrigger(DriverBinding& drivers, Station& station, FrontEnd& ui, Run runBackup, Run runRestore);

    // Nonzero on success (also when nothing was requested, both bits were set, or a restore was asked for
    // while restore is switched off). Marks the entry.
    int Check(CElement& e);

private:
    struct Poll {
        int result = 0;
        int backupRequest = 0;
        int restoreRequest = 0;
        std::string fileSuffix;
    };
    Poll ReadRequests(CElement& e);

    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
    Run runBackup_;
    Run runRestore_;
};

}  // namespace vaultra::app
