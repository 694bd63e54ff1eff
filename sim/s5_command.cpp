#include "sim/s5_command.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdlib>

#include "sim/operand_text.h"
#include "sim/s5/presets.h"
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

// "PB1": a type name and a block number 0..255, as (type code, number).
std::optional<std::pair<std::uint8_t, std::uint8_t>> ParseBlockName(const std::string& text) {
    for (std::size_t t = 0; t < s5::kTypeNames.size(); ++t) {
        const std::string name = s5::kTypeNames[t];
        if (text.size() <= name.size() || text.compare(0, name.size(), name) != 0) {
            continue;
        }
        char* end = nullptr;
        const unsigned long number = std::strtoul(text.c_str() + name.size(), &end, 10);
        if (std::isdigit(static_cast<unsigned char>(text[name.size()])) == 0 || *end != '\0' ||
            number > 255) {
            return std::nullopt;
        }
        return std::pair{s5::kTypeCodes[t], static_cast<std::uint8_t>(number)};
    }
    return std::nullopt;
}

// "PB1=05": the byte (hex) the PLC answers to a request to load that block instead of taking it.
bool ParseLoadAnswers(const std::vector<std::string>& texts, s5::Faults& faults, std::string* error) {
    for (const std::string& text : texts) {
        const auto split = SplitPreset(text);
        const auto block = split ? ParseBlockName(split->operand) : std::nullopt;
        char* end = nullptr;
        const unsigned long answer = split ? std::strtoul(split->value.c_str(), &end, 16) : 0;
        if (!block || split->value.empty() || *end != '\0' || answer > 0x7F || answer == 0x09) {
            *error = "--fault-load-answer " + text + ": expected BLOCK=ANSWER (hex, not 09), e.g. PB1=05";
            return false;
        }
        faults.loadAnswers[*block] = static_cast<std::uint8_t>(answer);
    }
    return true;
}

std::optional<std::string> ApplyPresets(const S5Command& command, s5::Plc& plc) {
    for (const std::string& preset : command.stringPresets) {
        if (auto error = s5::ApplyStringPreset(plc, preset)) {
            return error;
        }
    }
    for (const std::string& preset : command.bitPresets) {
        if (auto error = s5::ApplyBitPreset(plc, preset)) {
            return error;
        }
    }
    return std::nullopt;
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
    s5->add_option(
        "--fault-load-answer", c.loadAnswers,
        "answer a request to load BLOCK with the byte ANSWER (hex) instead of taking it, e.g. PB1=05");
    s5->add_option("--set", c.bitPresets,
                   "start with an operand bit set or cleared (again on SIGUSR1), e.g. M10.0=1");
    s5->add_option("--set-string", c.stringPresets,
                   "start with a string in a data block (again on SIGUSR1), e.g. DB100.DBB4=A12");
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
    if (!ParseCodes(command.refused, options.faults.refused, &error) ||
        !ParseLoadAnswers(command.loadAnswers, options.faults, &error)) {
        log.Note(error);
        return 2;
    }
    s5::Plc plc(options, log);
    if (!LoadProgram(command, plc, &error)) {
        log.Note(error);
        return 1;
    }
    plc.SetRunning(!command.stopped);
    if (const auto presetError = ApplyPresets(command, plc)) {
        log.Note(*presetError);
        return 2;
    }
    s5::ServeOptions serve;
    if (command.as511Pty) {
        serve.pty = *command.as511Pty;
        serve.ptyBaud = command.baud;
    }
    if (command.dumpDir) {
        serve.dumpDir = *command.dumpDir;
    }
    // A PLC asks for service again: the presets are set once more, so a trigger can be raised at any time.
    serve.onUser1 = [&command, &plc, &log] {
        if (const auto presetError = ApplyPresets(command, plc)) {
            log.Note(*presetError);
        }
    };
    serve.lanRawPort = command.lanRawPort;
    serve.lanFramedPort = command.lanFramedPort;
    if (!serve.pty && !serve.lanRawPort && !serve.lanFramedPort) {
        serve.lanRawPort = 10010;  // where a LAN adapter listens
    }
    log.Trace("program of " + std::to_string(plc.BlockCount()) + " blocks on " + plc.Cpu().name);
    return s5::Serve(plc, serve);
}

}  // namespace vaultra::sim
