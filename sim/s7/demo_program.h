// A deterministic demonstration program: organisation blocks, function blocks with instance data
// blocks, functions, global data blocks, system functions and function blocks, and system data blocks.
#pragma once

#include <cstddef>

#include "sim/s7/program.h"

namespace vaultra::sim::s7 {

// Number of blocks of the standard demonstration program.
std::size_t DemoBlockCount();
// The standard program when count is 0; otherwise exactly count blocks: the standard program cut short,
// or extended with further data blocks (numbers from 1000 on) of varying size.
Program MakeDemoProgram(std::size_t count = 0);

}  // namespace vaultra::sim::s7
