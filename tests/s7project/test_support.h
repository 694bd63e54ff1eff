// Helpers shared by the project tests: unique temporary folders, file bytes and sample blocks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "s7project/block_image.h"

namespace vaultra::s7project::testing {

// A fresh directory below the system's temporary folder, removed again at destruction.
class TempDir {
public:
    TempDir() : TempDir(std::filesystem::temp_directory_path()) {}
    explicit TempDir(const std::filesystem::path& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A memory file system for tests that write a project hundreds of times (the system's temporary folder
// when there is none).
std::filesystem::path MemoryTempBase();

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::string ReadText(const std::filesystem::path& path);

// Block image with parts of the given sizes filled with a pattern derived from type and number.
BlockImage SampleBlock(std::uint8_t type, std::uint16_t number, std::size_t code, std::size_t interfacePart,
                       std::size_t additional);

// Every live record of a table as field name -> raw field text.
using Record = std::map<std::string, std::string>;
std::vector<Record> ReadRecords(const std::filesystem::path& table);

// Runs a command line and returns its standard output; the exit status goes to `status`.
std::string RunCommand(const std::string& command, int& status);

}  // namespace vaultra::s7project::testing
