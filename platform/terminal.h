// Whether the program writes to a terminal, and how wide it is.
#pragma once

namespace vaultra::platform {

bool StandardOutputIsTerminal();
// Columns of the terminal on standard output; 80 when it cannot be told.
int StandardOutputColumns();

}  // namespace vaultra::platform
