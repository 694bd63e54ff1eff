// Asking before a command changes PLCs: a terminal answers j/n, a script passes --yes.
#pragma once

#include <string>

#include "cli/cli.h"

namespace vaultra::cli {

enum class Confirmation { Yes, No, Unanswerable };

// Yes at once with assumeYes; otherwise asks on a terminal. Without a terminal nobody can answer.
Confirmation Confirm(Context& ctx, const std::string& question, bool assumeYes);

// The message and exit status for a question that got no yes (0 when confirmed).
int RefuseUnconfirmed(Context& ctx, Confirmation answer);

}  // namespace vaultra::cli
