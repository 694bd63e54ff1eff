// Test fixture of the station commands: a set in a temporary folder, vaultra-cli run as a program, and
// plcsim s7 on a free ISO-on-TCP port for the entries to reach.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli_program.h"
#include "iso_plcsim.h"
#include "temp_dir.h"

namespace vaultra::cli::testing {

class StationTest : public ::testing::Test {
protected:
    StationTest() {
        UseTestEnvironment(dir.path());
        set = (dir.path() / "station.ini").string();
        std::filesystem::create_directories(dir.path() / "backups");
    }
    CliRun Cli(const std::vector<std::string>& args,
               const std::function<void(platform::Subprocess&, const std::string&)>& onLine = {}) {
        return RunCli(dir.path(), args, onLine);
    }
    void StartSim(const std::vector<std::string>& options) {
        std::string error;
        sim.reset();
        sim = vaultra::testing::StartIsoPlcsim(options, &error);
        ASSERT_TRUE(sim) << error;
    }
    void NewSet() {
        ASSERT_EQ(Cli({"new", set, "--force"}).status, 0);
        ASSERT_EQ(Cli({"config", set, "--dir", (dir.path() / "backups").string()}).status, 0);
    }
    // An S7 entry over ISO-on-TCP whose project is FILE in the backup folder; `more` adds options.
    void AddEntry(const std::string& name, const std::string& address = "127.0.0.1:2",
                  std::vector<std::string> more = {}, const std::string& file = "P.S7P") {
        std::vector<std::string> args{"add",        set,         "--name", name,     "--interface",
                                      "S7-RFC1006", "--address", address,  "--file", file};
        args.insert(args.end(), more.begin(), more.end());
        const CliRun r = Cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // The lines of standard output without a time stamp: the result lines.
    static std::vector<std::string> ResultLines(const CliRun& r) {
        std::vector<std::string> out;
        for (const std::string& line : r.lines) {
            if (!line.empty() && line[0] != '[') {
                out.push_back(line);
            }
        }
        return out;
    }

    vaultra::testing::TempDir dir;
    std::string set;
    std::unique_ptr<sim::testing::PlcsimProcess> sim;
};

}  // namespace vaultra::cli::testing
