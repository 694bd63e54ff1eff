// The README's main job as a user sees it, kept word for word: a change to what the station prints must
// be a deliberate change of tests/cli/golden/main_job.txt (VAULTRA_UPDATE_GOLDEN=1 rewrites it).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

#include "cli_program.h"
#include "platform/files.h"
#include "sim/testing/plcsim_process.h"
#include "temp_dir.h"

#ifndef CLI_GOLDEN_DIR
#error CLI_GOLDEN_DIR names the folder of the golden transcripts
#endif

namespace vaultra::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;

class Transcript : public ::testing::Test {
protected:
    Transcript() { testing::UseTestEnvironment(dir.path()); }

    // Replaces every piece of text of this shape ('d' a digit, '+' one or more digits) by `by`.
    static std::string ReplaceShape(const std::string& text, std::string_view shape, const std::string& by) {
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t t = i;
            bool match = true;
            for (std::size_t k = 0; k < shape.size() && match; ++k) {
                const auto digit = [&](std::size_t at) {
                    return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0;
                };
                if (shape[k] == 'd' || shape[k] == '+') {
                    match = digit(t);
                    ++t;
                    while (shape[k] == '+' && digit(t)) {
                        ++t;
                    }
                } else {
                    match = t < text.size() && text[t] == shape[k];
                    ++t;
                }
            }
            if (match) {
                out += by;
                i = t;
            } else {
                out += text[i++];
            }
        }
        return out;
    }

    // Time stamps, the test's folder, dates and durations differ from run to run.
    std::string Normalised(std::string text) const {
        const std::string root = dir.path().string();
        for (std::size_t at = text.find(root); at != std::string::npos; at = text.find(root, at)) {
            text.replace(at, root.size(), "<DIR>");
        }
        text = ReplaceShape(text, "[dddd-dd-dd dd:dd:dd]", "[<TIME>]");
        text = ReplaceShape(text, "dd.dd.dddd dd:dd:dd", "<DATE>");
        text = ReplaceShape(text, ", +.d s", ", <SECONDS> s");
        // The list pads the path to a width, so its padding follows the folder's length.
        std::string out;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end;
            std::string line = text.substr(start, end - start);
            line.erase(line.find_last_not_of(' ') + 1);
            out += line + (end < text.size() ? "\n" : "");
            start = end + 1;
        }
        return out;
    }

    void Step(const std::vector<std::string>& args) {
        transcript += "$ vaultra-cli";
        for (const std::string& a : args) {
            transcript += a.find(' ') == std::string::npos ? " " + a : " \"" + a + "\"";
        }
        transcript += "\n";
        const CliRun r = testing::RunCli(dir.path(), args);
        transcript += r.out;
        if (!r.err.empty()) {
            transcript += "[stderr]\n" + r.err;
        }
        transcript += "[exit " + std::to_string(r.status) + "]\n";
    }

    vaultra::testing::TempDir dir;
    std::string transcript;
};

TEST_F(Transcript, MainJobInTheDefaultOutputLevel) {
    std::string error;
    auto plc = sim::testing::PlcsimProcess::Start({"s7", "--demo", "--iso-port", "0"}, &error);
    ASSERT_TRUE(plc) << error;
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*plc->IsoPort()).c_str(), 1);
    fs::create_directories(dir.path() / "backups");
    const std::string set = (dir.path() / "DEMO.INI").string();
    Step({"new", set});
    Step({"config", set, "--dir", (dir.path() / "backups").string(), "--retry", "5", "--skip-system-blocks",
          "1"});
    Step({"add", set, "--name", "Presse Halle 1", "--interface", "S7-RFC1006", "--address", "127.0.0.1:2",
          "--file", "PRESSE1.S7P", "--interval", "daily", "--at", "06:00", "--password", "geheim"});
    Step({"show", set});
    Step({"backup", set});
    Step({"inspect", (dir.path() / "backups" / "PRESSE1" / "PRESSE1.S7P").string()});
    const std::string actual = Normalised(transcript);

    const fs::path golden = fs::path(CLI_GOLDEN_DIR) / "main_job.txt";
    if (std::getenv("VAULTRA_UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(platform::WriteFileReplacing(golden, actual));
    }
    const auto expected = platform::ReadFileBytes(golden);
    ASSERT_TRUE(expected) << golden;
    EXPECT_EQ(actual, *expected);
}

TEST_F(Transcript, HelpVersionAndLanguage) {
    const CliRun help = testing::RunCli(dir.path(), {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"VAULTRA_COM<n>", "VAULTRA_ISO_TCP_PORT", "VAULTRA_LAN_RAW_PORT",
                             "VAULTRA_LAN_FRAMED_PORT", "XDG_CONFIG_HOME", "Exit-Status: 0"}) {
        EXPECT_TRUE(help.OutHas(text)) << text;
    }
    const CliRun config = testing::RunCli(dir.path(), {"config", "--help"});
    EXPECT_TRUE(config.OutHas("Ohne --dir bleibt")) << config.out;

    const CliRun version = testing::RunCli(dir.path(), {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("vaultra-cli ")) << version.out;

    const std::string set = (dir.path() / "S.INI").string();
    EXPECT_TRUE(testing::RunCli(dir.path(), {"new", set}).OutHas("angelegt"));
    const CliRun english =
        testing::RunCli(dir.path(), {"--lang", "en", "add", set, "--name", "X", "--blocks", "FC1"});
    EXPECT_EQ(english.status, 2);
    EXPECT_TRUE(english.ErrHas("Unknown block")) << english.err;
    // Messages with values filled in are translated before they are filled.
    const CliRun range = testing::RunCli(dir.path(), {"--lang", "en", "config", set, "--retry", "0"});
    EXPECT_EQ(range.status, 2);
    EXPECT_TRUE(range.ErrHas("Enter a whole number between 1 and 32767.")) << range.err;
    const CliRun rangeDe = testing::RunCli(dir.path(), {"config", set, "--retry", "0"});
    EXPECT_TRUE(rangeDe.ErrHas("Geben Sie eine ganze Zahl zwischen 1 und 32767 ein.")) << rangeDe.err;
    setenv("LANG", "en_GB.UTF-8", 1);
    const CliRun byLang = testing::RunCli(dir.path(), {"add", set, "--name", "X"});
    EXPECT_TRUE(byLang.OutHas("Entry 0 \"X\" added.")) << byLang.out;
    const CliRun parseError = testing::RunCli(dir.path(), {"show"});
    EXPECT_EQ(parseError.status, 2);
    EXPECT_TRUE(parseError.ErrHas("Missing")) << parseError.err;
    setenv("LANG", "C", 1);
    const CliRun german = testing::RunCli(dir.path(), {"show"});
    EXPECT_TRUE(german.ErrHas("Angabe fehlt")) << german.err;
}

// The parser's own refusals and help headings speak the chosen language, with the values filled in.
TEST_F(Transcript, ParserMessagesAndHelpHeadingsFollowTheLanguage) {
    const std::string set = (dir.path() / "S.INI").string();
    ASSERT_EQ(testing::RunCli(dir.path(), {"new", set}).status, 0);
    struct Case {
        std::vector<std::string> args;
        std::string german, english;
    };
    const std::vector<Case> cases = {
        {{"-v", "-q", "backup", set},
         "--verbose und --quiet schlie\xC3\x9F"
         "en sich aus.",
         "--verbose and --quiet exclude each other."},
        {{"add", set, "--name"}, "Angabe fehlt: der Wert von --name", "Missing: the value of --name"},
        {{"backup"}, "Angabe fehlt: SET", "Missing: SET"},
        {{}, "Angabe fehlt: ein Befehl", "Missing: a command"},
        {{"-q", "bakup", set}, "Unbekannter Befehl \"bakup\"", "Unknown command \"bakup\""},
        {{"show", set, "extra"}, "Unerwartete Angabe: extra (--help", "Unexpected: extra (--help"},
        {{"config", set, "--retry", "abc"},
         "Ung\xC3\xBCltiger Wert bei --retry: \"abc\".",
         "Invalid value for --retry: \"abc\"."},
        {{"show", set, "--lang", "fr"},
         "--lang: \"fr\" ist nicht m\xC3\xB6glich; m\xC3\xB6glich sind de,en.",
         "--lang: \"fr\" is not possible; possible are de,en."},
    };
    for (const Case& c : cases) {
        for (const bool english : {false, true}) {
            std::vector<std::string> args = c.args;
            if (english) {
                args.insert(args.begin(), {"--lang", "en"});
            }
            const CliRun r = testing::RunCli(dir.path(), args);
            EXPECT_EQ(r.status, 2) << r.err;
            EXPECT_TRUE(r.ErrHas(english ? c.english : c.german)) << r.err;
            for (const char* parserWord :
                 {"is required", "not expected", " excludes ", " not in ", "convert"}) {
                EXPECT_FALSE(r.ErrHas(parserWord)) << r.err;
            }
        }
    }

    // A huge argument is refused like any other, not matched to death.
    const CliRun huge = testing::RunCli(dir.path(), {"config", set, "--retry", std::string(100000, 'a')});
    EXPECT_EQ(huge.status, 2);
    EXPECT_TRUE(huge.err.starts_with("Ung\xC3\xBCltiger Wert bei --retry: \"aaaa"))
        << huge.err.substr(0, 200);
    EXPECT_LT(huge.err.size(), 1000u);

    const CliRun german = testing::RunCli(dir.path(), {"change", "--help"});
    for (const char* heading : {"Aufruf: ", "\nArgumente:\n", "\nOptionen:\n  -h,--help", " PFLICHT "}) {
        EXPECT_TRUE(german.OutHas(heading)) << heading << german.out;
    }
    for (const char* heading : {"Usage", "Options", "Positionals", "REQUIRED"}) {
        EXPECT_FALSE(german.OutHas(heading)) << heading << german.out;
    }
    const CliRun english = testing::RunCli(dir.path(), {"--lang", "en", "change", "--help"});
    EXPECT_TRUE(english.OutHas("\nOptions:\n  -h,--help")) << english.out;
    EXPECT_TRUE(english.OutHas("--name TEXT                 name (at most 40 characters)")) << english.out;
    for (const char* german : {"\xC3\xA4", "\xC3\xB6", "\xC3\xBC", "\xC3\x9F", "Optionen", "Zeichen"}) {
        EXPECT_FALSE(english.OutHas(german)) << german << english.out;
    }
}

}  // namespace
}  // namespace vaultra::cli
