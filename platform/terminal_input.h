// Whether someone at a terminal can answer a question on standard input.
#pragma once

namespace vaultra::platform {

bool StandardInputIsTerminal();

}  // namespace vaultra::platform
