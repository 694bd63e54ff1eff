#include "cli_program.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/files.h"
#include "sim/testing/plcsim_process.h"

namespace vaultra::cli::testing {

using namespace std::chrono_literals;

std::filesystem::path CliExecutable() {
    return sim::testing::PlcsimProcess::Executable().parent_path() / "vaultra-cli";
}

void UseTestEnvironment(const std::filesystem::path& workDir) {
    setenv("XDG_CONFIG_HOME", (workDir / "config").c_str(), 1);
    setenv("LANG", "C", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
}

CliRun RunCli(const std::filesystem::path& workDir, const std::vector<std::string>& args,
              const std::function<void(platform::Subprocess&, const std::string&)>& onLine,
              const std::filesystem::path& input) {
    const std::filesystem::path errFile = workDir / "stderr.txt";
    // The shell only parks standard error in a file, so that both streams can be looked at apart, and
    // gives the program the standard input asked for.
    const char* script = input.empty() ? "err=$1; shift; shift; exec \"$@\" 2>\"$err\""
                                       : "err=$1; in=$2; shift; shift; exec \"$@\" 2>\"$err\" <\"$in\"";
    std::vector<std::string> shellArgs{
        "-c", script, "sh", errFile.string(), input.string(), CliExecutable().string()};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    std::string error;
    auto child = platform::Subprocess::Start("/bin/sh", shellArgs, &error);
    CliRun run;
    EXPECT_TRUE(child) << error;
    if (!child) {
        return run;
    }
    while (auto line = child->ReadLine(30s)) {
        run.lines.push_back(*line);
        run.out += *line + "\n";
        if (onLine) {
            onLine(*child, *line);
        }
    }
    run.status = child->Wait(10s).value_or(-1);
    run.err = platform::ReadFileBytes(errFile).value_or("");
    return run;
}

}  // namespace vaultra::cli::testing
