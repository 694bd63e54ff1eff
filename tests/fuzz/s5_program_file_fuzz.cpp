// An S5 program file from arbitrary bytes: open, list, read every listed block, one write and one delete,
// then the changed file must open again with the same blocks.
#include <algorithm>
#include <cstdio>

#include "s5file/program_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/s5file/watched_store.h"

namespace {

using namespace vaultra::qrf;

using testing::WatchedStore;

BlockKey KeyFrom(vaultra::fuzz::Input& in) {
    BlockKey key{};
    key.type = in.Byte();
    key.number = in.Byte();
    key.documentation = in.Byte() & 1;
    key.length = static_cast<uint16_t>(in.Word() % 4096);
    key.headerByte4 = in.Byte();
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vaultra::fuzz::Input in(data, size);
    // The first 16 bytes steer the write and the delete, the rest is the file.
    const vaultra::fuzz::Bytes steering = in.Take(16);
    vaultra::fuzz::Input steer(steering.data(), steering.size());
    auto store = std::make_unique<WatchedStore>(in.Rest());
    WatchedStore* raw = store.get();
    OpenResult opened = ProgramFile::Open(std::move(store), "FUZZ", ProgramFile::Mode::kUpdateOrCreate);
    if (!opened.file) {
        return 0;
    }
    ProgramFile& file = *opened.file;
    const auto list = file.BlockList();
    std::vector<uint8_t> sectors;
    for (BlockKey key : list) {
        const Error read = file.ReadBlock(key, sectors);
        if (read != Error::kNone) {
            std::fprintf(stderr, "type %u number %u documentation %u: error %d\n", key.type, key.number,
                         key.documentation, static_cast<int>(read));
            vaultra::fuzz::Fail("a listed block cannot be read by its key");
        }
    }
    const BlockKey written = KeyFrom(steer);
    const std::vector<uint8_t> body(written.length, 0x5A);
    const uint64_t stored = raw->Size();
    file.WriteBlock(written, body);
    // A write may grow the file by what it stores; a delete never writes beyond it.
    const uint64_t owned = std::max<uint64_t>(stored, uint64_t{file.root().fileSectors} * 128);
    if (raw->furthestWrite > owned) {
        vaultra::fuzz::Fail("a write wrote beyond the file and the block");
    }
    if (!list.empty()) {
        file.DeleteBlock(list[steer.Byte() % list.size()]);
    }
    if (raw->furthestWrite > owned) {
        vaultra::fuzz::Fail("a delete wrote beyond the file");
    }
    const auto after = file.BlockList();
    OpenResult again = ProgramFile::Open(std::make_unique<MemoryStore>(raw->bytes()), "FUZZ",
                                         ProgramFile::Mode::kReadExisting);
    if (!again.file || again.file->BlockList().size() != after.size()) {
        vaultra::fuzz::Fail("the changed file does not open again with the same blocks");
    }
    return 0;
}
