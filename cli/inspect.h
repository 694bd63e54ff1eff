// `vaultra-cli inspect PATH`: lists the blocks of a STEP 7 project or an S5 program file.
#pragma once

#include <filesystem>
#include <iosfwd>

namespace vaultra::cli {

// Each returns the exit status: 0 listed, 1 listed but something could not be read, 2 missing or not a
// project / program file (with a message on err).
int InspectS7Project(const std::filesystem::path& path, std::ostream& out, std::ostream& err);
int InspectS5File(const std::filesystem::path& path, std::ostream& out, std::ostream& err);

// Chooses by the file name extension: ".S7P" (any case) is a STEP 7 project, anything else an S5 program
// file.
int RunInspect(const std::filesystem::path& path, std::ostream& out, std::ostream& err);

}  // namespace vaultra::cli
