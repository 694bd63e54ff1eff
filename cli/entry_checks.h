// Checks of entry options that the dialog's fields never needed: the command line would otherwise change
// such input in silence (drop an unknown block name, ignore a schedule option, cut an address short).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/entry_dialog.h"

namespace vaultra::cli {

// The first part of a block list that is not a block name ("DB 1", "FX 12", "OB" ...); the refusal text.
std::optional<std::string> CheckBlockListText(std::string_view text);

// An address with more ':'-separated parts than the interface takes; the refusal text.
std::optional<std::string> CheckAddressParts(std::string_view interfaceLabel, std::string_view address);

// A warning for a schedule that runs at every pass of the station (every 0:00); nothing otherwise.
std::optional<std::string> ScheduleWarning(const app::EntryDialogValues& v);

}  // namespace vaultra::cli
