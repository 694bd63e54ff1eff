#include "sim/testing/plcsim_process.h"

#include <cstdlib>

#include "platform/process.h"
#include "platform/subprocess.h"

namespace vaultra::sim::testing {

namespace {

using Clock = std::chrono::steady_clock;
// plcsim s7 and plcsim s5 report in the same shape, each under its own prefix.
constexpr std::string_view kPrefixes[] = {"plcsim s7: ", "plcsim s5: "};

// The report after the prefix, or nullopt for any other line.
std::optional<std::string> Report(const std::string& line) {
    for (std::string_view prefix : kPrefixes) {
        if (line.rfind(prefix, 0) == 0) {
            return line.substr(prefix.size());
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> PortAfter(const std::string& rest, std::string_view transport) {
    const std::string head = std::string(transport) + " 127.0.0.1:";
    if (rest.rfind(head, 0) != 0) {
        return std::nullopt;
    }
    const long port = std::strtol(rest.c_str() + head.size(), nullptr, 10);
    if (port <= 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

std::chrono::milliseconds Left(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? std::chrono::milliseconds(0) : left;
}

}  // namespace

PlcsimProcess::PlcsimProcess(std::unique_ptr<platform::Subprocess> child) : child_(std::move(child)) {}

PlcsimProcess::~PlcsimProcess() = default;

std::filesystem::path PlcsimProcess::Executable() {
    if (const char* dir = std::getenv("VAULTRA_BIN_DIR"); dir != nullptr && *dir != '\0') {
        return std::filesystem::path(dir) / "plcsim";
    }
    return platform::ProgramDirectory() / ".." / "bin" / "plcsim";
}

std::unique_ptr<PlcsimProcess> PlcsimProcess::Start(const std::vector<std::string>& args, std::string* error,
                                                    std::chrono::milliseconds timeout) {
    const std::filesystem::path exe = Executable();
    auto child = platform::Subprocess::Start(exe, args, error);
    if (!child) {
        return nullptr;
    }
    std::unique_ptr<PlcsimProcess> process(new PlcsimProcess(std::move(child)));
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto line = process->child_->ReadLine(Left(deadline));
        if (!line) {
            *error = exe.string() + " did not report ready";
            for (const std::string& seen : process->lines_) {
                *error += "\n  " + seen;
            }
            return nullptr;
        }
        process->Record(*line);
        if (Report(*line) == "ready") {
            return process;
        }
    }
}

void PlcsimProcess::Record(const std::string& line) {
    lines_.push_back(line);
    const auto report = Report(line);
    if (!report) {
        return;
    }
    const std::string& rest = *report;
    if (auto port = PortAfter(rest, "iso-tcp")) {
        isoPort_ = port;
    } else if (auto raw = PortAfter(rest, "lan-raw")) {
        lanRawPort_ = raw;
    } else if (auto framed = PortAfter(rest, "lan-framed")) {
        lanFramedPort_ = framed;
    } else if (rest.rfind("mpi-pty ", 0) == 0) {
        mpiPty_ = rest.substr(8);
    } else if (rest.rfind("as511-pty ", 0) == 0) {
        mpiPty_ = rest.substr(10);
    }
}

int PlcsimProcess::Pid() const {
    return child_->Pid();
}

bool PlcsimProcess::Dump(std::chrono::milliseconds timeout) {
    if (!child_->Signal(platform::ProcessSignal::User1)) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    while (const auto line = child_->ReadLine(Left(deadline))) {
        const auto report = Report(*line);
        if (report && report->rfind("dumped", 0) == 0) {
            return true;
        }
        if (report && report->rfind("dump failed", 0) == 0) {
            return false;
        }
    }
    return false;
}

std::optional<int> PlcsimProcess::Stop(std::chrono::milliseconds timeout) {
    child_->Signal(platform::ProcessSignal::Terminate);
    return child_->Wait(timeout);
}

}  // namespace vaultra::sim::testing
