#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "app/text_catalogue.h"
#include "cli/inspect.h"
#include "cli/terminal_text.h"
#include "s5file/block_names.h"
#include "s5file/program_file.h"

namespace vaultra::cli {

using app::Tr;

namespace {

std::string BlockLine(const BlockKey& key) {
    const qrf::BlockName name = qrf::NameOf(key);
    char line[96];
    std::snprintf(line, sizeof line, "%-8.8s  %4u  %6u  %6u  %02X %02X %02X %02X\n",
                  reinterpret_cast<const char*>(name.data()), unsigned{key.type}, unsigned{key.number},
                  unsigned{key.length}, unsigned{key.headerByte4}, unsigned{key.headerMore[0]},
                  unsigned{key.headerMore[1]}, unsigned{key.headerMore[2]});
    return line;
}

}  // namespace

namespace {

int RefuseUnopened(const std::filesystem::path& path, qrf::Error error, std::ostream& err) {
    const char* why = Tr("nicht lesbar");
    if (error == qrf::Error::kFileNotFound) {
        why = Tr("Datei nicht gefunden");
    } else if (error == qrf::Error::kNotAProgramFile) {
        why = Tr("keine S5-Programmdatei");
    }
    err << "vaultra-cli: " << Printable(path.string()) << ": " << why << '\n';
    return 2;
}

}  // namespace

int InspectS5File(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
    const qrf::OpenResult opened = qrf::ProgramFile::Open(path, qrf::ProgramFile::Mode::kReadExisting);
    if (!opened.file) {
        return RefuseUnopened(path, opened.error, err);
    }
    size_t unlisted = 0;
    const auto list = opened.file->BlockList(&unlisted);
    out << Format(Tr("S5-Programmdatei %s: %zu Bausteine, %u Sektoren"), Printable(path.string()).c_str(),
                  list.size(), static_cast<unsigned>(opened.file->root().fileSectors))
        << '\n';
    out << Tr("Baustein  Typ   Nummer  L\xC3\xA4nge   Kopf") << '\n';
    std::size_t damaged = 0;
    std::vector<uint8_t> sectors;
    for (BlockKey key : list) {
        out << BlockLine(key);
        // A listed block whose sectors cannot be read back is as good as lost.
        if (opened.file->ReadBlock(key, sectors) != qrf::Error::kNone) {
            ++damaged;
        }
    }
    if (damaged > 0) {
        out << Format(Tr("%zu aufgef\xC3\xBChrte Bausteine nicht lesbar"), damaged) << '\n';
    }
    if (unlisted > 0) {
        err << "vaultra-cli: " << Printable(path.string()) << ": "
            << Format(Tr("%zu Dokumentationsbausteine mit besch\xC3\xA4"
                         "digtem Namen ausgelassen"),
                      unlisted)
            << '\n';
    }
    return damaged > 0 || unlisted > 0 ? 1 : 0;
}

}  // namespace vaultra::cli
