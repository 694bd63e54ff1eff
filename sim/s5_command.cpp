#include "sim/s5_command.h"

#include <CLI/CLI.hpp>

#include "sim/s5/program.h"
#include "sim/s5/server.h"

namespace vaultra::sim {
namespace {

std::string CpuHelp() {
    std::string help = "PLC description:";
    for (const std::string& name : s5::CpuNames()) {
        help += " " + name + " (" + s5::FindCpu(name)->summary + ")";
    }
    return help;
}

// Function codes as two hex digits.
bool ParseCodes(const std::vector<std::string>& texts, std::vector<std::uint8_t>& codes, std::string* error) {
    for (const std::string& text : texts) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(text.c_str(), &end, 16);
        if (text.empty() || *end != '\0' || value > 0x7F) {
            *error = "--fault-error " + text + ": expected a function code in hex, e.g. 06";
            return false;
        }
        codes.push_back(static_cast<std::uint8_t>(value));
    }
    return true;
}

bool LoadProgram(const S5Command& command, s5::Plc& plc, std::string* error) {
    std::vector<s5::BlockImage> blocks;
    if (command.program) {
        if (!s5::ReadProgramFile(*command.program, blocks, error)) {
            return false;
        }
    } else if (command.demo || command.demoBlocks) {
        blocks = s5::MakeDemoProgram(command.demoBlocks.value_or(24));
    }
    for (const s5::BlockImage& block : blocks) {
        if (!plc.Load(block)) {
            *error = "the program does not fit the memory of " + plc.Cpu().name;
            return false;
        }
    }
    return true;
}

}  // namespace

CLI::App* AddS5Command(CLI::App& app, S5Command& c) {
    CLI::App* s5 = app.add_subcommand("s5", "simulate an S5 PLC on its programming port (AS511)");
    s5->add_option("--cpu", c.cpu, CpuHelp())->check(CLI::IsMember(s5::CpuNames()));
    auto* demo = s5->add_flag("--demo", c.demo, "load the demonstration program");
    auto* blocks = s5->add_option("--demo-blocks", c.demoBlocks, "demonstration program of N blocks")
                       ->check(CLI::Range(1, 1500));
    auto* program = s5->add_option("--program", c.program, "load the blocks of an S5 program file");
    demo->excludes(program);
    blocks->excludes(program);
    s5->add_option("--as511-pty", c.as511Pty, "programming port on a pseudo-terminal linked at PATH");
    s5->add_option("--baud", c.baud, "pace the pseudo-terminal like a serial line of this speed (0: unpaced)")
        ->check(CLI::Range(0, 115200));
    s5->add_option("--lan-raw-port", c.lanRawPort, "LAN adapter on TCP, unframed (0: any free port)");
    s5->add_option("--lan-framed-port", c.lanFramedPort,
                   "LAN adapter on TCP, length-prefixed (0: any free port)");
    s5->add_option("--pg-bus-station", c.pgBusStation, "station number on a PG bus (0: direct line)")
        ->check(CLI::Range(0, 127));
    s5->add_option("--dump-dir", c.dumpDir, "write the program as <TYPE><number>.blk at exit and on SIGUSR1");
    s5->add_option("--fault-silent-after", c.silentAfter,
                   "answer no function after the first N of a connection");
    s5->add_option("--fault-cut-after", c.cutAfter, "break off function N+1 of each connection");
    s5->add_option("--fault-error", c.refused, "refuse function CODE (hex), e.g. 06");
    s5->add_flag("--fault-memory-full", c.memoryFull, "refuse every new block for lack of memory");
    s5->add_flag("--fault-busy", c.busy, "refuse every function");
    s5->add_flag("--stopped", c.stopped, "start in stop");
    s5->add_flag("-v,--verbose", c.verbose, "log every function on standard error");
    return s5;
}

int RunS5Command(const S5Command& command) {
    Log log(command.verbose);
    s5::PlcOptions options;
    options.cpu = *s5::FindCpu(command.cpu);
    options.pgBusStation = command.pgBusStation;
    options.faults.silentAfter = command.silentAfter;
    options.faults.cutAfter = command.cutAfter;
    options.faults.memoryFull = command.memoryFull;
    options.faults.busy = command.busy;
    std::string error;
    if (!ParseCodes(command.refused, options.faults.refused, &error)) {
        log.Note(error);
        return 2;
    }
    s5::Plc plc(options, log);
    if (!LoadProgram(command, plc, &error)) {
        log.Note(error);
        return 1;
    }
    plc.SetRunning(!command.stopped);
    s5::ServeOptions serve;
    if (command.as511Pty) {
        serve.pty = *command.as511Pty;
        serve.ptyBaud = command.baud;
    }
    if (command.dumpDir) {
        serve.dumpDir = *command.dumpDir;
    }
    serve.lanRawPort = command.lanRawPort;
    serve.lanFramedPort = command.lanFramedPort;
    if (!serve.pty && !serve.lanRawPort && !serve.lanFramedPort) {
        serve.lanRawPort = 10010;  // where a LAN adapter listens
    }
    log.Trace("program of " + std::to_string(plc.BlockCount()) + " blocks on " + plc.Cpu().name);
    return s5::Serve(plc, serve);
}

}  // namespace vaultra::sim
