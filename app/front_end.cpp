#include "app/front_end.h"

#include "app/engine_texts.h"

namespace vaultra::app {

bool EscapePressed(FrontEnd& ui) {
    switch (ui.PollAbort()) {
        case AbortRequest::Quit:
            return true;
        case AbortRequest::Escape:
            return ui.MessageBox(texts::kEscapeConfirm, MessageButtons::OkCancel) == MessageAnswer::Ok;
        case AbortRequest::None:
            break;
    }
    return false;
}

}  // namespace vaultra::app
