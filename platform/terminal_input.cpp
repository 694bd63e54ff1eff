#include "platform/terminal_input.h"

#include <unistd.h>

namespace vaultra::platform {

bool StandardInputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

}  // namespace vaultra::platform
