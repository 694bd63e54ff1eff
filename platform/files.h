// Whole-file reads and safe whole-file writes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vaultra::platform {

// The bytes of a file, or nullopt when it cannot be opened or read (or is larger than max_bytes).
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, size_t max_bytes = 64u << 20);

// Writes the bytes to a temporary file beside the target, flushes it to the disk and renames it over the
// target, so that a failed write never leaves a half-written file. Returns false with nothing changed on
// failure.
bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes);

// True when the file exists and this process may read and write it.
bool IsReadableAndWritable(const std::filesystem::path& path);

}  // namespace vaultra::platform
