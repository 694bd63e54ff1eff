// The dBASE table class on the tables of a small sound project with the table, its memo file or its
// index damaged: open, every field and memo of every record, a search, then one appended record and the
// close that rebuilds the indexes.
#include "s7project/dbase_index.h"
#include "s7project/dbase_table.h"
#include "tests/fuzz/sample_project.h"

namespace {

using vaultra::s7project::CDBASEDatei;

void ReadEverything(CDBASEDatei& table) {
    for (std::uint32_t record : table.LiveRecords()) {
        if (record > 4096 || !table.SelectRecord(record)) {
            break;
        }
        for (std::size_t field = 0; field < table.FieldCount(); ++field) {
            const auto text = table.ReadFieldNext(field, false);
            if (text && table.FieldType(field) == 'M') {
                const auto block = static_cast<std::uint32_t>(vaultra::s7project::LeadingNumber(*text));
                table.MemoLength(block);
                table.ReadMemo(block);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const vaultra::fuzz::SampleProject project;
    vaultra::fuzz::Input in(data, size);
    const auto& table = project.Pick(in.Byte(), {".DBF"});
    const char* kinds[] = {".DBF", ".DBT", ".MDX"};
    std::filesystem::path damaged = table;
    damaged.replace_extension(kinds[in.Byte() % 3]);
    if (!project.Files().count(damaged)) {
        damaged = table;
    }
    vaultra::fuzz::Bytes bytes = project.Files().at(damaged);
    vaultra::fuzz::ApplyEdits(bytes, in);
    vaultra::fuzz::WriteFile(damaged, bytes);

    {
        CDBASEDatei dbase([] { return vaultra::s7project::TableDate{124, 6, 1}; });
        if (dbase.OpenTable(table)) {
            ReadEverything(dbase);
            dbase.FindRecord("1", 0);
            if (dbase.AppendRecord()) {
                for (std::size_t field = 0; field < dbase.FieldCount(); ++field) {
                    dbase.WriteField("12", field);
                }
            }
            dbase.CloseTable();
        }
    }
    for (const char* kind : kinds) {
        std::filesystem::path written = table;
        written.replace_extension(kind);
        if (project.Files().count(written)) {
            project.Restore(written);
        }
    }
    return 0;
}
