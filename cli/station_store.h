// The station's values in the per-user settings store that vaultra-cli reads and writes.
#pragma once

#include <string>

#include "cli/cli.h"

namespace vaultra::cli {

// "Settings"/"AdapterName"; empty when the store or the key is missing.
std::string ReadAdapterName(Context& ctx);
// Writes "Settings"/"AdapterName"; false with a message when the store cannot be written.
bool WriteAdapterName(Context& ctx, const std::string& name);

}  // namespace vaultra::cli
