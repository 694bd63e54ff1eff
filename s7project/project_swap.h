// Replacing a stored project as a whole: the updated project is built in a sibling folder and swapped in
// with renames, so that the folder holds at every moment either the old project or the new one, whole.
//
//   1. RecoverInterruptedSwap: leftovers of a killed run are put right (see there).
//   2. The project is copied into <name>.vaultra-new and updated there; every file and folder is synced.
//   3. SwapIn: <name> -> <name>.vaultra-old, <name>.vaultra-new -> <name>, the parent synced, then the old
//      project removed. The old folder exists only while the new one is complete.
#pragma once

#include <filesystem>
#include <optional>

#include "s7project/project_io.h"

namespace vaultra::s7project {

struct SwapPaths {
    std::filesystem::path project;  // the project folder, absolute
    std::filesystem::path staging;  // <project>.vaultra-new: the project being built
    std::filesystem::path retired;  // <project>.vaultra-old: the previous project while the new one moves in
};
// Nothing for a folder that cannot be renamed (a file system root).
std::optional<SwapPaths> SwapPathsFor(const std::filesystem::path& projectDirectory);

// After a run that was killed or failed part-way: a staging folder beside a project was never complete
// and is removed; a retired folder beside a project is the previous project and is removed; a retired
// folder without a project means the run was killed between the two renames, so the staging folder
// (complete, as the retired one only exists then) moves in, or the retired one back when there is none.
// False when a leftover could not be put right.
bool RecoverInterruptedSwap(ProjectIo& io, const SwapPaths& paths);

// Copies the files and folders below `from` into `to` (created), through io.
bool CopyTree(ProjectIo& io, const std::filesystem::path& from, const std::filesystem::path& to);
// Flushes every file and folder of the tree to the disk.
bool SyncTree(ProjectIo& io, const std::filesystem::path& dir);

// Moves the complete, synced staging folder in place of the project. False, with the previous project
// in place, when it could not be moved.
bool SwapIn(ProjectIo& io, const SwapPaths& paths);

}  // namespace vaultra::s7project
