#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "cli/inspect.h"
#include "s5file/block_names.h"
#include "s5file/program_file.h"

namespace vaultra::cli {

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

int InspectS5File(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
    const qrf::OpenResult opened = qrf::ProgramFile::Open(path, qrf::ProgramFile::Mode::kReadExisting);
    if (!opened.file) {
        switch (opened.error) {
            case qrf::Error::kFileNotFound:
                err << "vaultra-cli: " << path.string() << ": file not found\n";
                break;
            case qrf::Error::kNotAProgramFile:
                err << "vaultra-cli: " << path.string() << ": not an S5 program file\n";
                break;
            default:
                err << "vaultra-cli: " << path.string() << ": cannot be read\n";
                break;
        }
        return 2;
    }
    size_t unlisted = 0;
    const auto list = opened.file->BlockList(&unlisted);
    out << "S5 program file " << path.string() << ": " << list.size() << " blocks, "
        << opened.file->root().fileSectors << " sectors\n";
    out << "Block     Type  Number  Length  Header\n";
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
        out << damaged << " listed block(s) could not be read\n";
    }
    if (unlisted > 0) {
        err << "vaultra-cli: " << path.string() << ": " << unlisted
            << " documentation block(s) with a damaged name left out\n";
    }
    return damaged > 0 || unlisted > 0 ? 1 : 0;
}

}  // namespace vaultra::cli
