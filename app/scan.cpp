#include "app/scan.h"

#include <cstdarg>
#include <limits>

namespace vaultra::app {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int64_t Saturate(int64_t value, int64_t limit) {
    return value > limit ? limit : value;
}

}  // namespace

void TextScanner::SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) {
        ++pos_;
    }
}

std::optional<uint32_t> TextScanner::Unsigned() {
    const size_t start = pos_;
    SkipSpace();
    uint64_t value = 0;
    size_t digits = 0;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) {
        value = static_cast<uint64_t>(
            Saturate(static_cast<int64_t>(value * 10 + (text_[pos_] - '0')), int64_t{0xFFFFFFFF}));
        ++pos_;
        ++digits;
    }
    if (digits == 0) {
        pos_ = start;
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<int32_t> TextScanner::Signed(size_t width) {
    const size_t start = pos_;
    SkipSpace();
    const size_t end = std::min(text_.size(), pos_ + width);
    bool negative = false;
    if (pos_ < end && (text_[pos_] == '-' || text_[pos_] == '+')) {
        negative = text_[pos_] == '-';
        ++pos_;
    }
    int64_t value = 0;
    size_t digits = 0;
    for (; pos_ < end && IsDigit(text_[pos_]); ++pos_, ++digits) {
        value = value * 10 + (text_[pos_] - '0');
    }
    if (digits == 0) {
        pos_ = start;
        return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

std::optional<char> TextScanner::Char() {
    if (pos_ >= text_.size()) {
        return std::nullopt;
    }
    return text_[pos_++];
}

bool TextScanner::Literal(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
        ++pos_;
        return true;
    }
    return false;
}

bool TextScanner::Literal(std::string_view s) {
    if (text_.substr(pos_, s.size()) == s) {
        pos_ += s.size();
        return true;
    }
    return false;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

int32_t AtoI(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = Saturate(value * 10 + (text[i] - '0'), std::numeric_limits<int32_t>::max());
    }
    return static_cast<int32_t>(negative ? -value : value);
}

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

}  // namespace vaultra::app
