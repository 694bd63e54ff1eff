#include "app/procedure_support.h"

#include <cstdarg>
#include <cstdio>

namespace vaultra::app {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) {
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

void MarkFailed(CElement& e) {
    e.Set(flag::kLastFailed, true);
    e.Set(flag::kLastSucceeded, false);
}

void MarkSucceeded(CElement& e) {
    e.Set(flag::kLastFailed, false);
    e.Set(flag::kLastSucceeded, true);
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
