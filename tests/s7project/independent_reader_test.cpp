// Our tables read by dBASE readers that have nothing to do with this code: Perl's XBase module and
// Python's dbfread, both from the distribution's packages.
#include <gtest/gtest.h>

#include <sstream>

#include "s7project/dbase_index.h"
#include "s7project/dbase_table.h"
#include "s7project/s7project.h"
#include "test_support.h"

namespace vaultra::s7project {
namespace {

using testing::RunCommand;
using testing::SampleBlock;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;
using Fields = std::map<std::string, Bytes>;

constexpr const char* kPerlDump = R"(perl -MXBase -e '
my $t = XBase->new(shift) or die XBase->errstr;
my @n = $t->field_names;
for my $i (0 .. $t->last_record) {
  my ($deleted, @v) = $t->get_record($i);
  next if $deleted;
  print join(" ", map { $n[$_] . "=" . unpack("H*", defined $v[$_] ? $v[$_] : "") } 0 .. $#n), "\n";
}' )";

constexpr const char* kPythonDump = R"(/usr/bin/python3 -c '
import sys, dbfread
path = sys.argv[1]
table = dbfread.DBF(path, encoding="latin-1")
for record in table:
    out = []
    for field in table.fields:
        v = record[field.name]
        if v is None:
            v = ""
        out.append(field.name + "=" + str(v).encode("latin-1").hex())
    print(" ".join(out))
' )";

Bytes FromHex(const std::string& hex) {
    Bytes b;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        b.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return b;
}

std::vector<Fields> ParseDump(const std::string& text) {
    std::vector<Fields> records;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        Fields fields;
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            const auto eq = word.find('=');
            fields[word.substr(0, eq)] = FromHex(word.substr(eq + 1));
        }
        records.push_back(std::move(fields));
    }
    return records;
}

bool ToolAvailable(const std::string& probe) {
    int status = 0;
    RunCommand(probe + " >/dev/null 2>&1", status);
    return status == 0;
}

// Block images whose parts hold no 0x1F byte: dbfread cuts memos there.
BlockList SampleProject() {
    BlockList blocks{SampleBlock(subblock::kOb, 1, 504, 30, 7), SampleBlock(subblock::kDb, 20, 1000, 0, 0),
                     SampleBlock(subblock::kFc, 300, 3, 2, 1), SampleBlock(subblock::kSfb, 4, 0, 0, 0)};
    for (auto& b : blocks) {
        std::replace(b.begin() + 36, b.end() - 36, std::uint8_t{0x1F}, std::uint8_t{0x20});
    }
    return blocks;
}

// Each reader drops some trailing bytes of character fields: XBase white space, dbfread blanks and zeros.
constexpr std::string_view kPerlTrimmed = " \t\n\r\f\v";
constexpr std::string_view kPythonTrimmed{" \0", 2};

std::string TrimTrailing(std::string s, std::string_view trimmed) {
    while (!s.empty() && trimmed.find(s.back()) != std::string_view::npos) {
        s.pop_back();
    }
    return s;
}

// Compares every field of every live record with what the other reader returned. Memos are compared
// as bytes; the other reader may append `memoSurplus` bytes that follow a memo in the file.
void CompareWithTable(const std::filesystem::path& table, const std::vector<Fields>& other,
                      std::size_t memoSurplus, std::string_view trimmed) {
    CDBASEDatei t;
    ASSERT_TRUE(t.OpenTable(table));
    const auto live = t.LiveRecords();
    ASSERT_EQ(other.size(), live.size()) << table;
    for (std::size_t r = 0; r < live.size(); ++r) {
        t.SelectRecord(live[r]);
        for (std::size_t f = 0; f < t.FieldCount(); ++f) {
            const std::string name = t.FieldName(f);
            const std::string ours = *t.ReadFieldNext(f, false);
            ASSERT_TRUE(other[r].count(name)) << name;
            const Bytes& theirs = other[r].at(name);
            const std::string theirText(theirs.begin(), theirs.end());
            // fields are read by their type, as each reader presents them
            const char type = t.FieldType(f);
            if (type == 'M' && name != "UDA") {
                const Bytes memo =
                    t.ReadMemo(static_cast<std::uint32_t>(LeadingNumber(ours))).value_or(Bytes{});
                const std::size_t surplus = memo.empty() ? 0 : memoSurplus;
                ASSERT_EQ(theirs.size(), memo.size() + surplus) << name << " of record " << r;
                EXPECT_TRUE(std::equal(memo.begin(), memo.end(), theirs.begin()))
                    << name << " of record " << r;
            } else if (type == 'M') {
                EXPECT_TRUE(theirs.empty()) << name;  // blanks: no memo
            } else if (type == 'N') {
                EXPECT_EQ(std::stoll(theirText), std::stoll(ours)) << name;
            } else {
                EXPECT_EQ(TrimTrailing(theirText, trimmed), TrimTrailing(ours, trimmed)) << name;
            }
        }
    }
}

class IndependentReader : public ::testing::Test {
protected:
    void SetUp() override {
        ProjectFolders folders;
        ASSERT_TRUE(WriteS7Project(dir_ / "R.S7P", SampleProject(), folders));
    }
    std::filesystem::path table(const char* name) const {
        return dir_ / "R" / "OMBSTX" / "OFFLINE" / "00000001" / name;
    }
    TempDir dir_;
};

TEST_F(IndependentReader, PerlXBaseReadsFieldsAndMemosExactly) {
    if (!ToolAvailable("perl -MXBase -e 1")) {
        GTEST_SKIP() << "Perl XBase (libdbd-xbase-perl) is not installed";
    }
    for (const char* name : {"SUBBLK.DBF", "BAUSTEIN.DBF"}) {
        int status = 0;
        const std::string out = RunCommand(std::string(kPerlDump) + "'" + table(name).string() + "'", status);
        ASSERT_EQ(status, 0) << out;
        CompareWithTable(table(name), ParseDump(out), 0, kPerlTrimmed);
    }
}

TEST_F(IndependentReader, PythonDbfreadReadsFieldsAndMemos) {
    if (!ToolAvailable("/usr/bin/python3 -c 'import dbfread'")) {
        GTEST_SKIP() << "python3-dbfread is not installed";
    }
    for (const char* name : {"SUBBLK.DBF", "BAUSTEIN.DBF"}) {
        int status = 0;
        const std::string out =
            RunCommand(std::string(kPythonDump) + "'" + table(name).string() + "'", status);
        ASSERT_EQ(status, 0) << out;
        // dbfread returns a dBASE IV memo together with the 8 bytes that follow it
        CompareWithTable(table(name), ParseDump(out), 8, kPythonTrimmed);
    }
}

TEST_F(IndependentReader, PerlXBaseReadsTheProjectTables) {
    if (!ToolAvailable("perl -MXBase -e 1")) {
        GTEST_SKIP() << "Perl XBase (libdbd-xbase-perl) is not installed";
    }
    int status = 0;
    const auto counts = dir_ / "R" / "OMBSTX" / "OFFLINE" / "BSTCNTOF.DBF";
    const auto records = ParseDump(RunCommand(std::string(kPerlDump) + "'" + counts.string() + "'", status));
    ASSERT_EQ(status, 0);
    ASSERT_EQ(records.size(), 1U);
    const auto text = [&records](const char* field) {
        const Bytes& b = records[0].at(field);
        return std::string(b.begin(), b.end());
    };
    EXPECT_EQ(text("NAME"), "Bausteine");
    EXPECT_EQ(text("ANZOB"), "1");
    EXPECT_EQ(text("ANZDB"), "1");
    EXPECT_EQ(text("ANZSFB"), "1");
    EXPECT_EQ(text("LINK_ID"), "512");
}

}  // namespace
}  // namespace vaultra::s7project
