#include "cli/confirmation.h"

#include <iostream>

#include "platform/terminal_input.h"

namespace vaultra::cli {

Confirmation Confirm(Context& ctx, const std::string& question, bool assumeYes) {
    if (assumeYes) {
        return Confirmation::Yes;
    }
    if (!platform::StandardInputIsTerminal()) {
        return Confirmation::Unanswerable;
    }
    ctx.out << question << " [j/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'j' || answer[0] == 'J' || answer[0] == 'y' || answer[0] == 'Y')
               ? Confirmation::Yes
               : Confirmation::No;
}

int RefuseUnconfirmed(Context& ctx, Confirmation answer) {
    if (answer == Confirmation::Yes) {
        return kExitOk;
    }
    if (answer == Confirmation::Unanswerable) {
        ctx.err << "Ohne Terminal kann niemand best\xC3\xA4tigen: --yes angeben.\n";
        return kExitBadInput;
    }
    return kExitOk;  // the operator said no: nothing happens, nothing failed
}

}  // namespace vaultra::cli
