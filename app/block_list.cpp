#include "app/block_list.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace vaultra::app {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The token a first letter starts, with its type index; nullopt for letters that start none.
std::optional<BlockToken> StartToken(std::string_view text, size_t i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    BlockToken token;
    token.letters[0] = c;
    switch (c) {
        case 'D':
            token.type = next == 'B' ? kTypeDB : kTypeDX_SFB;
            break;
        case 'F':
            token.type = next == 'B' ? kTypeFB : kTypeFX_FC;
            break;
        case 'O':
            token.type = kTypeOB;
            break;
        case 'P':
            token.type = kTypePB_SFC;
            break;
        case 'S':
            token.type = kTypeSB_SDB;
            break;
        default:
            return std::nullopt;
    }
    return token;
}

void AddDigit(BlockToken& token, char c) {
    const uint64_t value = uint64_t{token.number} * 10 + static_cast<uint64_t>(c - '0');
    token.number = value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
    token.hasNumber = true;
}

}  // namespace

std::vector<BlockToken> ScanBlockList(std::string_view text) {
    std::vector<BlockToken> tokens;
    BlockToken token;
    int state = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (state == 0) {
            if (auto started = StartToken(text, i)) {
                token = *started;
                state = 1;
            }
        } else if (state == 1) {
            state = (c == 'B' || c == 'X') ? 2 : 0;
            token.letters[1] = c;
        } else if (c == ' ') {
            // spaces are skipped before and inside the number
        } else if (IsDigit(c)) {
            AddDigit(token, c);
            state = 3;
        } else {
            tokens.push_back(token);
            state = 0;
            continue;  // the ending character is examined again in state 0
        }
        ++i;
    }
    if (state >= 2) {
        tokens.push_back(token);
    }
    return tokens;
}

bool BlockSelected(const CElement& e, bool skipSystemBlocks, int type, uint32_t number) {
    if (skipSystemBlocks && IsS7Entry(e) && (type == kTypePB_SFC || type == kTypeDX_SFB)) {
        return true;
    }
    const bool onlyListed = e.Has(flag::kOnlyListed);
    for (const BlockToken& token : ScanBlockList(e.blockList)) {
        if (token.type == type && (!token.hasNumber || token.number == number)) {
            return !onlyListed;
        }
    }
    return onlyListed;
}

std::string NormaliseBlockList(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    std::string out;
    for (const BlockToken& token : ScanBlockList(upper)) {
        if (!out.empty()) {
            out += ',';
        }
        out += token.letters[0];
        out += token.letters[1];
        if (token.hasNumber) {
            char number[16];
            std::snprintf(number, sizeof number, " %03u", token.number);
            out += number;
        }
    }
    return out;
}

}  // namespace vaultra::app
