// Test helper: runs the vaultra-cli program (next to plcsim in the build's bin folder) with its standard
// output and standard error kept apart, in a settings store of the test's own.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/subprocess.h"

namespace vaultra::cli::testing {

struct CliRun {
    int status = -1;
    std::vector<std::string> lines;  // standard output, line by line
    std::string out;                 // standard output as one text
    std::string err;                 // standard error
    bool OutHas(const std::string& text) const { return out.find(text) != std::string::npos; }
    bool ErrHas(const std::string& text) const { return err.find(text) != std::string::npos; }
};

std::filesystem::path CliExecutable();

// The children of this test run in German, with a settings store below workDir.
void UseTestEnvironment(const std::filesystem::path& workDir);

// Runs vaultra-cli with args until it ends; onLine sees every line of standard output as it comes.
// A non-empty input is opened as its standard input (a terminal device, for the questions it asks).
CliRun RunCli(const std::filesystem::path& workDir, const std::vector<std::string>& args,
              const std::function<void(platform::Subprocess&, const std::string&)>& onLine = {},
              const std::filesystem::path& input = {});

}  // namespace vaultra::cli::testing
