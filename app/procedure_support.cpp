#include "app/procedure_support.h"

namespace vaultra::app {

void MarkFailed(CElement& e) {
    e.Set(flag::kLastFailed, true);
    e.Set(flag::kLastSucceeded, false);
}

void MarkSucceeded(CElement& e) {
    e.Set(flag::kLastFailed, false);
    e.Set(flag::kLastSucceeded, true);
}

int Succeed(FrontEnd& ui, CElement& e, const std::string& text) {
    ui.SetProgress(100);
    MarkSucceeded(e);
    ui.StatusText(text);
    return 1;
}

std::string Printable(const std::string& text) {
    std::string out = text.substr(0, 64);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return out;
}

}  // namespace vaultra::app
