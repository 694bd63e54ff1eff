// Texts on their way to the terminal: printf-style formatting, and masking of control characters that a
// set file, a PLC or an argument may carry (they could move the cursor, clear the screen or forge lines).
#pragma once

#include <string>
#include <string_view>

#include "app/scan.h"

namespace vaultra::cli {

// Control characters (C0 but the tab, DEL, and C1 in their UTF-8 form) become '?', a line end a space;
// everything else stays as it is.
std::string Printable(std::string_view text);

using app::Format;

}  // namespace vaultra::cli
