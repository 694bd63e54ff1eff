// vaultra-cli as a script meets it: sets that do not load cleanly are never rewritten or run, damaged
// backups fail `inspect`, and input the dialog would have changed in silence is refused.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli_program.h"
#include "platform/files.h"
#include "s7project/s7project.h"
#include "temp_dir.h"
#include "test_support.h"

namespace vaultra::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;

class CliProgram : public ::testing::Test {
protected:
    CliProgram() {
        testing::UseTestEnvironment(dir.path());
        set = (dir.path() / "station.ini").string();
    }
    CliRun Cli(const std::vector<std::string>& args) { return testing::RunCli(dir.path(), args); }
    std::string Bytes() const { return platform::ReadFileBytes(set).value_or("<missing>"); }
    void Write(const std::string& bytes) const { ASSERT_TRUE(platform::WriteFileReplacing(set, bytes)); }
    // A valid set with two entries.
    std::string GoodSet() {
        EXPECT_EQ(Cli({"new", set}).status, 0);
        EXPECT_EQ(Cli({"add", set, "--name", "Presse 1", "--interface", "S7-RFC1006", "--address",
                       "10.0.0.1:2", "--password", "geheim"})
                      .status,
                  0);
        EXPECT_EQ(Cli({"add", set, "--name", "Presse 2"}).status, 0);
        return Bytes();
    }

    vaultra::testing::TempDir dir;
    std::string set;
};

TEST_F(CliProgram, EditsLeaveASetThatDidNotLoadCleanlyByteIdenticalUnlessForced) {
    const std::string good = GoodSet();
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"not a set", "[Einstellungen]\nPfad=/daten\n"},
        {"truncated", good.substr(0, good.size() / 2)},
        {"garbage", std::string("\x7f"
                                "ELF\x02\x01\x01\0\0\0\0",
                                12) +
                        std::string(300, '\xff')},
        {"trailing bytes", good + "junk after the last entry\n\r"},
    };
    const std::vector<std::vector<std::string>> edits = {
        {"config", set, "--retry", "5"},
        {"add", set, "--name", "Neu"},
        {"change", set, "0", "--name", "Anders"},
        {"delete", set, "0"},
    };
    for (const auto& [what, bytes] : damaged) {
        for (const auto& edit : edits) {
            Write(bytes);
            const CliRun r = Cli(edit);
            EXPECT_EQ(r.status, 2) << what << ": " << edit[0];
            EXPECT_TRUE(r.ErrHas("--force")) << what << ": " << r.err;
            EXPECT_EQ(Bytes(), bytes) << what << ": " << edit[0];
        }
    }
    // Asked for, the set is rewritten from what could be read.
    Write(good + "junk\n\r");
    EXPECT_EQ(Cli({"config", set, "--retry", "5", "--force"}).status, 0);
    EXPECT_EQ(Cli({"config", set, "--retry", "6"}).status, 0);
}

TEST_F(CliProgram, BackupAndRunRefuseSetsThatDoNotLoadAndAnEmptySet) {
    const std::string good = GoodSet();
    for (const std::string& bytes :
         {std::string("hello\n"), good.substr(0, good.size() - 40), std::string()}) {
        Write(bytes);
        const CliRun backup = Cli({"backup", set});
        EXPECT_EQ(backup.status, 2) << bytes.size();
        EXPECT_TRUE(backup.ErrHas("nicht einwandfrei lesbar")) << backup.err;
        EXPECT_TRUE(backup.ErrHas("Warnung: ")) << backup.err;  // the loader's own reason
        EXPECT_TRUE(backup.out.empty()) << backup.out;
        // run ends at once instead of idling on it.
        const CliRun run = Cli({"run", set});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.ErrHas("nicht einwandfrei lesbar")) << run.err;
    }
    ASSERT_EQ(Cli({"new", set, "--force"}).status, 0);
    const CliRun empty = Cli({"backup", set});
    EXPECT_EQ(empty.status, 2);
    EXPECT_TRUE(empty.ErrHas("keine Eintr\xC3\xA4ge")) << empty.err;
}

TEST_F(CliProgram, InspectFailsOnADamagedProjectAndTellsMissingApart) {
    const fs::path project = dir.path() / "P.S7P";
    const s7project::BlockList blocks{s7project::testing::SampleBlock(s7project::subblock::kFc, 5, 10, 0, 0),
                                      s7project::testing::SampleBlock(s7project::subblock::kFb, 6, 10, 0, 0)};
    ASSERT_TRUE(s7project::WriteS7Project(project, blocks));
    const fs::path stored = dir.path() / "P" / "P.S7P";
    const CliRun german = Cli({"inspect", stored.string()});
    EXPECT_EQ(german.status, 0);
    EXPECT_TRUE(german.OutHas("STEP 7-Projekt " + stored.string() + "\n")) << german.out;
    EXPECT_TRUE(german.OutHas("\n2 Bausteine\n")) << german.out;
    const CliRun english = Cli({"--lang", "en", "inspect", stored.string()});
    EXPECT_EQ(english.status, 0);
    EXPECT_TRUE(english.OutHas("STEP 7 project " + stored.string() + "\n")) << english.out;
    EXPECT_TRUE(english.OutHas("Type     Number Load length   Code Interface")) << english.out;
    EXPECT_TRUE(english.OutHas("\n2 blocks\n")) << english.out;

    const fs::path memo = dir.path() / "P" / "OMBSTX" / "OFFLINE" / "00000001" / "SUBBLK.DBT";
    auto bytes = platform::ReadFileBytes(memo).value();
    bytes.resize(bytes.size() - 512);  // a block's code is gone
    ASSERT_TRUE(platform::WriteFileReplacing(memo, bytes));
    const CliRun damaged = Cli({"inspect", stored.string()});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_TRUE(
        damaged.OutHas("besch\xC3\xA4"
                       "digte Baustein-Eintr\xC3\xA4ge"))
        << damaged.out;
    setenv("LANG", "en_GB.UTF-8", 1);  // the language from the environment, as a service gets it
    const CliRun damagedEn = Cli({"inspect", stored.string()});
    setenv("LANG", "C", 1);
    EXPECT_EQ(damagedEn.status, 1);
    EXPECT_TRUE(damagedEn.OutHas("damaged block record(s) could not be read")) << damagedEn.out;

    EXPECT_EQ(Cli({"inspect", (dir.path() / "NONE.S7P").string()}).status, 2);
    Write("not a program file");
    EXPECT_EQ(Cli({"inspect", set}).status, 2);
}

TEST_F(CliProgram, InputThatWouldBeChangedInSilenceIsRefused) {
    const std::string good = GoodSet();
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"add", set, "--name", "X", "--blocks", "DB1,FC3"}, "FC3"},
        {{"add", set, "--name", "X", "--blocks", "db 1; xyz"}, "xyz"},
        {{"add", set, "--name", "X", "--interval", "daily", "--every", "1:00"}, "--every"},
        {{"add", set, "--name", "X", "--every", "1:00"}, "--every"},
        {{"add", set, "--name", "X", "--interval", "every", "--at", "06:00"}, "--at"},
        {{"add", set, "--name", "X", "--interface", "S7-RFC1006", "--address", "10.0.0.1:2:3"},
         "10.0.0.1:2:3"},
        {{"add", set, "--name", "X", "--interface", "S7 MPI-Bus", "--address", "2:3:4"}, "2:3:4"},
        {{"change", set, "Presse 2", "--interface", "S7-LAN", "--address", "10.0.0.1:2:3:4"}, "zu viele"},
    };
    for (const auto& [args, named] : refused) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 2) << args[4];
        EXPECT_EQ(Bytes(), good) << args[4];
        if (named != "zu viele") {
            EXPECT_TRUE(r.ErrHas(named)) << r.err;
        }
    }
    // Accepted as documented, with a warning.
    const CliRun every = Cli({"add", set, "--name", "Dauernd", "--interval", "every", "--every", "0:00"});
    EXPECT_EQ(every.status, 0);
    EXPECT_TRUE(every.ErrHas("jedem Durchlauf")) << every.err;
    // The same with lower case letters and the canonical list passes.
    EXPECT_EQ(Cli({"change", set, "Dauernd", "--blocks", "db1 fb 22, OB1"}).status, 0);
}

}  // namespace
}  // namespace vaultra::cli
