// The entry's block list: which blocks a backup keeps, and the list's canonical text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/element.h"

namespace vaultra::app {

// Block type indexes of the driver interface (S5 name / S7 name).
inline constexpr int kTypeDB = 0;      // DB
inline constexpr int kTypeSB_SDB = 1;  // SB / SDB
inline constexpr int kTypePB_SFC = 2;  // PB / SFC
inline constexpr int kTypeFB = 3;      // FB
inline constexpr int kTypeOB = 4;      // OB
inline constexpr int kTypeFX_FC = 5;   // FX / FC
inline constexpr int kTypeDX_SFB = 6;  // DX / SFB

// One token of a block list: two letters, optional spaces, an optional decimal number.
struct BlockToken {
    char letters[2] = {0, 0};
    int type = 0;  // type index the first letter stands for
    bool hasNumber = false;
    uint32_t number = 0;  // saturates at 0xFFFFFFFF
};

// Scans a block list text left to right for tokens: D/F/O/P/S, then B or X, then spaces, then digits
// (spaces inside the number are skipped, so "DB 1 2" is DB 12). Letters are matched as they are (upper case).
std::vector<BlockToken> ScanBlockList(std::string_view text);

// True when the block of type index `type` and `number` is to be skipped by a backup of entry e.
// skipSystemBlocks skips SFC and SFB (types 2 and 6) of S7 entries whatever the list says. A token without a
// number stands for every block of its type. A match skips the block unless OnlyListed is set; no match keeps
// it unless OnlyListed is set.
bool BlockSelected(const CElement& e, bool skipSystemBlocks, int type, uint32_t number);

// The canonical list text: upper-cased, tokens joined by ",", each "XY %03u" or "XY" without a number.
// "db1 fb 22" gives "DB 001,FB 022".
std::string NormaliseBlockList(std::string_view text);

}  // namespace vaultra::app
