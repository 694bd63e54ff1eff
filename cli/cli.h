// vaultra-cli: the command line and the context every command runs with. Each command lives in its own
// file with a Register...Command function that main.cpp calls; a command's callback stores its exit status
// in the context (0 success, 1 a run or a write failed, 2 bad usage or input).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace CLI {
class App;
}

namespace vaultra::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;

// How much the station commands print: Quiet only the result lines, Normal one line per phase and the
// result lines, Verbose also every block, Json one JSON object per entry result and nothing else.
enum class OutputLevel { Quiet, Normal, Verbose, Json };

struct Context {
    std::ostream& out;
    std::ostream& err;
    int exitCode = kExitOk;
    std::function<int64_t()> now;             // the station clock (seconds since 1970)
    std::filesystem::path settingsStorePath;  // the per-user settings store
    std::string programDirectory;             // offered as backup directory when none is set
    OutputLevel level = OutputLevel::Normal;
};

// Chooses the language of every text from --lang in the arguments, else LC_ALL / LC_MESSAGES / LANG;
// called before the command line is built so that its help texts are in that language too.
void ChooseLanguage(int argc, const char* const* argv);

class Cli {
public:
    // Uses the real clock, the user's settings store and the program's own directory.
    Cli(std::ostream& out, std::ostream& err);
    ~Cli();
    Cli(const Cli&) = delete;
    Cli& operator=(const Cli&) = delete;

    CLI::App& app() { return *app_; }
    Context& context() { return context_; }

    // Parses the arguments and runs the chosen command; returns the exit status.
    int Run(int argc, const char* const* argv);

private:
    std::unique_ptr<CLI::App> app_;
    Context context_;
    std::string language_;  // applied by ChooseLanguage before parsing
};

// new, show, add, change, delete, config.
void RegisterSetCommands(Cli& cli);
// inspect PATH.
void RegisterInspectCommand(Cli& cli);

}  // namespace vaultra::cli
