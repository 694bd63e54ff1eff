#include "sim/s7_command.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "s7project/s7project.h"
#include "sim/s7/demo_program.h"
#include "sim/s7/presets.h"
#include "sim/s7/service.h"
#include "sim/server.h"

namespace vaultra::sim {

namespace {

constexpr std::size_t kMinimumMemory = 512 * 1024;

// "SERVICE=XXYY": a service name and the error class and code as four hex digits.
std::optional<s7::ErrorInjection> ParseErrorAnswer(const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        return std::nullopt;
    }
    s7::ErrorInjection injection;
    injection.service = text.substr(0, equals);
    const std::string code = text.substr(equals + 1);
    char* end = nullptr;
    const unsigned long value = std::strtoul(code.c_str(), &end, 16);
    if (!s7::IsServiceName(injection.service) || code.empty() || *end != '\0' || value == 0 ||
        value > 0xFFFF) {
        return std::nullopt;
    }
    injection.code = static_cast<std::uint16_t>(value);
    return injection;
}

bool LoadProgram(const S7Command& command, s7::Program& program, std::string* error) {
    if (!command.program) {
        if (command.demo || command.demoBlocks) {
            program = s7::MakeDemoProgram(command.demoBlocks.value_or(0));
        }
        return true;
    }
    s7project::BlockList blocks;
    if (!s7project::ReadS7Project(*command.program, blocks)) {
        *error = *command.program + ": the project's blocks cannot be read";
        return false;
    }
    for (s7project::BlockImage& image : blocks) {
        const auto header = s7project::ReadBlockHeader(image);
        if (header && s7::IsKnownType(header->type)) {
            program.Put({header->type, header->number}, std::move(image));
        }
    }
    return true;
}

s7::Keyswitch ParseKeyswitch(const std::string& text) {
    if (text == "run") {
        return s7::Keyswitch::Run;
    }
    return text == "stop" ? s7::Keyswitch::Stop : s7::Keyswitch::RunP;
}

std::optional<s7::PlcOptions> MakePlcOptions(const S7Command& command, const s7::Program& program,
                                             std::string* error) {
    s7::PlcOptions options;
    options.keyswitch = ParseKeyswitch(command.keyswitch);
    options.password = command.password;
    options.memoryBytes = command.memory.value_or(std::max(kMinimumMemory, 2 * program.TotalBytes()));
    options.maxPdu = static_cast<std::uint16_t>(command.maxPdu);
    options.rackSlot = static_cast<std::uint8_t>(command.rack * 32 + command.slot);
    options.mpiAddress = static_cast<std::uint8_t>(command.mpiAddress);
    options.directoryPage = command.directoryPage;
    options.faults.silentAfter = command.silentAfter;
    options.faults.cutAfter = command.cutAfter;
    options.faults.memoryFull = command.memoryFull;
    options.faults.busy = command.busy;
    options.faults.fragmented = command.fragmented;
    options.faults.adapterE0330 = command.adapterE0330;
    for (const std::string& text : command.errorAnswers) {
        const auto injection = ParseErrorAnswer(text);
        if (!injection) {
            *error = "--fault-error " + text + ": expected SERVICE=XXYY with a known service and a hex error";
            return std::nullopt;
        }
        options.faults.errors.push_back(*injection);
    }
    return options;
}

std::optional<std::string> ApplyPresets(const S7Command& command, s7::Plc& plc) {
    for (const std::string& preset : command.stringPresets) {
        if (auto error = s7::ApplyStringPreset(plc, preset)) {
            return error;
        }
    }
    for (const std::string& preset : command.bitPresets) {
        if (auto error = s7::ApplyBitPreset(plc, preset)) {
            return error;
        }
    }
    return std::nullopt;
}

TransportOptions MakeTransportOptions(const S7Command& command) {
    TransportOptions options;
    options.isoPort = command.isoPort;
    options.lanRawPort = command.lanRawPort;
    options.lanFramedPort = command.lanFramedPort;
    if (command.mpiPty) {
        options.mpiPty = *command.mpiPty;
    }
    if (command.dumpDir) {
        options.dumpDir = *command.dumpDir;
    }
    // Without any transport named the PLC listens where a real one does.
    if (!options.isoPort && !options.lanRawPort && !options.lanFramedPort && !options.mpiPty) {
        options.isoPort = 102;
    }
    return options;
}

}  // namespace

void AddS7Command(CLI::App& app, S7Command& c) {
    CLI::App* s7 = app.add_subcommand("s7", "simulate an S7 PLC");
    auto* demo = s7->add_flag("--demo", c.demo, "load the demonstration program");
    auto* blocks = s7->add_option("--demo-blocks", c.demoBlocks, "demonstration program of N blocks")
                       ->check(CLI::Range(1, 60000));
    auto* program = s7->add_option("--program", c.program, "load the blocks of a STEP 7 project (.S7P)");
    demo->excludes(blocks, program);
    blocks->excludes(program);
    s7->add_option("--iso-port", c.isoPort, "ISO-on-TCP port (0: any free port; default 102)");
    s7->add_option("--lan-raw-port", c.lanRawPort, "MPI adapter on TCP, unframed (0: any free port)");
    s7->add_option("--lan-framed-port", c.lanFramedPort,
                   "MPI adapter on TCP, length-prefixed (0: any free port)");
    s7->add_option("--mpi-pty", c.mpiPty, "MPI adapter on a pseudo-terminal linked at PATH");
    s7->add_option("--mpi-address", c.mpiAddress, "MPI address of the station")->check(CLI::Range(0, 126));
    s7->add_option("--rack", c.rack, "rack of the CPU")->check(CLI::Range(0, 7));
    s7->add_option("--slot", c.slot, "slot of the CPU")->check(CLI::Range(0, 31));
    s7->add_option("--password", c.password, "protection password (at most 8 characters)")
        ->check(CLI::Validator([](std::string& s) { return s.size() <= 8 ? "" : "at most 8 characters"; },
                               "PW", "password"));
    s7->add_option("--keyswitch", c.keyswitch, "key switch position")
        ->check(CLI::IsMember({"run", "run-p", "stop"}));
    s7->add_option("--memory", c.memory, "load memory in bytes")->check(CLI::Range(1024, 1 << 30));
    s7->add_option("--max-pdu", c.maxPdu, "largest PDU the CPU agrees to")->check(CLI::Range(240, 960));
    s7->add_option("--dir-page", c.directoryPage, "blocks per directory answer")->check(CLI::Range(1, 200));
    s7->add_option("--dump-dir", c.dumpDir, "write the program as <TYPE><number>.blk at exit and on SIGUSR1");
    s7->add_option("--fault-silent-after", c.silentAfter,
                   "answer no request after the first N of a connection");
    s7->add_option("--fault-cut-after", c.cutAfter, "cut each connection at its request N+1");
    s7->add_option("--fault-error", c.errorAnswers, "answer SERVICE with error XXYY (hex), e.g. upload=D209");
    s7->add_flag("--fault-memory-full", c.memoryFull, "refuse every download for lack of memory");
    s7->add_flag("--fault-busy", c.busy, "refuse every request as busy");
    s7->add_flag("--adapter-e0330", c.adapterE0330, "MPI adapter answers the bus parameters with E=0330");
    s7->add_flag("-v,--verbose", c.verbose, "log every telegram on standard error");
    s7->add_option("--set", c.bitPresets,
                   "start with an operand bit set or cleared (again on SIGUSR1), e.g. M10.0=1");
    s7->add_option("--set-string", c.stringPresets,
                   "start with an S7 string (again on SIGUSR1), e.g. DB5.DBB0=A12");
    s7->add_flag("--fault-fragmented", c.fragmented, "refuse downloads for lack of memory until compressed");
}

int RunS7Command(const S7Command& command) {
    Log log(command.verbose);
    std::string error;
    s7::Program program;
    if (!LoadProgram(command, program, &error)) {
        log.Note(error);
        return 1;
    }
    const auto options = MakePlcOptions(command, program, &error);
    if (!options) {
        log.Note(error);
        return 2;
    }
    log.Trace("program of " + std::to_string(program.Size()) + " blocks, " +
              std::to_string(program.TotalBytes()) + " bytes");
    s7::Plc plc(*options, std::move(program), log);
    if (const auto presetError = ApplyPresets(command, plc)) {
        log.Note(*presetError);
        return 2;
    }
    TransportOptions transport = MakeTransportOptions(command);
    // A PLC asks for service again: the presets are set once more, so a trigger can be raised at any time.
    transport.onUser1 = [&command, &plc, &log] {
        if (const auto presetError = ApplyPresets(command, plc)) {
            log.Note(*presetError);
        }
    };
    Server server(plc, std::move(transport));
    std::vector<std::string> lines;
    if (!server.Open(lines, &error)) {
        log.Note(error);
        return 1;
    }
    for (const std::string& line : lines) {
        std::printf("%s\n", line.c_str());
    }
    std::printf("plcsim s7: ready\n");
    std::fflush(stdout);
    return server.Run();
}

}  // namespace vaultra::sim
