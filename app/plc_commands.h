// Start, stop and clear of the PLCs of marked entries, with their confirmations, texts and waits.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "app/driver_binding.h"
#include "app/front_end.h"
#include "app/station.h"

namespace vaultra::app {

enum class PlcCommand { Start, Stop, Clear };

inline constexpr const char* kNoPlcSelected = "Keine AG ausgewählt!";

// The identification tests on words 19, 20 and 21 the connect leaves in the record: true when the
// extended start/stop call is the one to use.
bool UsesExtendedStartStop(uint16_t word19, uint16_t word20, uint16_t word21);

class PlcCommands {
public:
    struct Result {
        std::size_t index = 0;
        bool succeeded = false;
    };
    struct Outcome {
        bool confirmed = true;
        bool noneSelected = false;
        std::vector<Result> results;  // one per entry acted on, in list order
    };

    PlcCommands(DriverBinding& drivers, Station& station, FrontEnd& ui);

    // Runs the command on the entries it applies to. With askConfirmation the front end is asked once
    // (Yes/No) first; anything but Yes does nothing.
    Outcome Run(PlcCommand command, bool askConfirmation);

    // The waits of the clear and of an S5 start; a plain sleep unless a test replaces it.
    std::function<void(uint32_t ms)> sleep;

private:
    bool StartStop(CElement& e, PlcCommand command);
    // false when the clear must end the command.
    bool Clear(CElement& e, bool& succeeded);
    void Wait(uint32_t ms);
    // Connects the entry's PLC through its family's driver; shows why not otherwise.
    bool Connect(CElement& e);
    // Closes the connection of the entry's family: S7Exit, or the S5 close with its quiet time.
    int Close(CElement& e);
    int PlainStartStop(const CElement& e, bool start);
    int ExtendedStartStop(const CElement& e, bool start);
    int ClearAll(const CElement& e);

    DriverBinding& drivers_;
    Station& station_;
    FrontEnd& ui_;
};

}  // namespace vaultra::app
