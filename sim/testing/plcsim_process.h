// Test helper: runs build/bin/plcsim as a child process, waits for it to be ready and tells where its
// transports are. The child is stopped (SIGTERM, then SIGKILL) and reaped when the object goes.
//
//   std::string error;
//   auto plc = vaultra::sim::testing::PlcsimProcess::Start({"s7", "--demo", "--iso-port", "0"}, &error);
//   ASSERT_TRUE(plc) << error;
//   setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*plc->IsoPort()).c_str(), 1);
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vaultra::platform {
class Subprocess;
}

namespace vaultra::sim::testing {

class PlcsimProcess {
public:
    // Starts plcsim with args and waits at most timeout for "plcsim s7: ready" (or "plcsim s5: ready").
    // Returns nullptr and a reason (including what the child printed) when it does not become ready.
    static std::unique_ptr<PlcsimProcess> Start(const std::vector<std::string>& args, std::string* error,
                                                std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~PlcsimProcess();
    PlcsimProcess(const PlcsimProcess&) = delete;
    PlcsimProcess& operator=(const PlcsimProcess&) = delete;

    // The plcsim executable: $VAULTRA_BIN_DIR/plcsim, else ../bin/plcsim next to the running program.
    static std::filesystem::path Executable();

    std::optional<std::uint16_t> IsoPort() const { return isoPort_; }
    std::optional<std::uint16_t> LanRawPort() const { return lanRawPort_; }
    std::optional<std::uint16_t> LanFramedPort() const { return lanFramedPort_; }
    std::optional<std::filesystem::path> MpiPty() const { return mpiPty_; }
    // plcsim s5: the programming port's pseudo-terminal.
    std::optional<std::filesystem::path> As511Pty() const { return mpiPty_; }
    // Every line printed up to and including "ready".
    const std::vector<std::string>& StartupLines() const { return lines_; }
    int Pid() const;

    // Asks for the program to be written to --dump-dir (SIGUSR1) and waits until it has been.
    bool Dump(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Ends plcsim with SIGTERM (it writes --dump-dir first); its exit status, or nullopt on time-out.
    std::optional<int> Stop(std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    explicit PlcsimProcess(std::unique_ptr<platform::Subprocess> child);
    void Record(const std::string& line);

    std::unique_ptr<platform::Subprocess> child_;
    std::vector<std::string> lines_;
    std::optional<std::uint16_t> isoPort_;
    std::optional<std::uint16_t> lanRawPort_;
    std::optional<std::uint16_t> lanFramedPort_;
    std::optional<std::filesystem::path> mpiPty_;
};

}  // namespace vaultra::sim::testing
