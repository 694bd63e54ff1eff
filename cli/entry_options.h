// The entry dialog's fields as command-line options (add and change).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/entry_dialog.h"

namespace CLI {
class App;
}

namespace vaultra::cli {

// Every option is optional: what is not given keeps the dialog's value.
struct EntryOptions {
    std::optional<std::string> name, interface, address, password, file, interval, every, at, weekday, day,
        triggerInterval, backupBit, restoreBit, nameOperand, blocks;
    bool onlyListed = false;
    bool skipListed = false;
};

void AddEntryOptions(CLI::App& cmd, EntryOptions& o);

// Applies the options to the dialog values the way the dialog's fields would take them (choices, then the
// checks and normalisations of each field left), then the checks on OK. The first German message when
// anything is refused. normaliseFileName: run the file name normalisation even without --file (a new entry,
// or a change of the interface).
std::optional<std::string> ApplyEntryOptions(const EntryOptions& o, app::EntryDialogValues& v,
                                             bool normaliseFileName);

}  // namespace vaultra::cli
