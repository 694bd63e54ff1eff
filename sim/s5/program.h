// Programs for the simulated S5 PLC: the deterministic demonstration program and S5 program files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sim/s5/plc.h"

namespace vaultra::sim::s5 {

// blocks of every type (DB, SB, PB, FB, OB, FX, DX) with bodies that carry DLE bytes, a header-only
// data block and sizes from a few words to a few hundred; the same count gives the same program.
std::vector<BlockImage> MakeDemoProgram(std::size_t blocks);

// The blocks of an S5 program file (documentation blocks left out); false with a reason on failure.
bool ReadProgramFile(const std::filesystem::path& path, std::vector<BlockImage>& blocks, std::string* error);

}  // namespace vaultra::sim::s5
