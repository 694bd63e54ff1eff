#include "cli/confirmation.h"

#include <iostream>

#include "app/text_catalogue.h"
#include "platform/terminal_input.h"

namespace vaultra::cli {

Confirmation Confirm(Context& ctx, const std::string& question, bool assumeYes) {
    if (assumeYes) {
        return Confirmation::Yes;
    }
    if (!platform::StandardInputIsTerminal()) {
        return Confirmation::Unanswerable;
    }
    // The question goes to standard error: standard output keeps only what scripts read.
    ctx.err << question << ' ' << app::Tr("[j/N]") << ' ' << std::flush;
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
        ctx.err << app::Tr("Ohne Terminal kann niemand best\xC3\xA4tigen: --yes angeben.") << '\n';
        return kExitBadInput;
    }
    // The operator said no: nothing happens, nothing failed.
    ctx.err << app::Tr("Nicht best\xC3\xA4tigt: nichts wurde an die AGs gesendet.") << '\n';
    return kExitOk;
}

}  // namespace vaultra::cli
