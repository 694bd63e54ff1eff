// The twelve C exports of libQRF.so. Handles are checked against the open files, caller memory is
// plain malloc memory given back through the matching free function, and no exception leaves here.
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include <vaultra/qrf.h>

#include "s5file/block_names.h"
#include "s5file/program_file.h"

struct S5File {
    std::unique_ptr<vaultra::qrf::ProgramFile> file;
};

namespace {

using vaultra::qrf::Error;
using vaultra::qrf::ProgramFile;

// The library's last error; kept for diagnosis, not exported.
Error lastError = Error::kNone;

std::map<const S5File*, std::unique_ptr<S5File>>& OpenFiles() {
    static std::map<const S5File*, std::unique_ptr<S5File>> files;
    return files;
}

ProgramFile* FileOf(const S5File* handle) {
    const auto found = OpenFiles().find(handle);
    return found == OpenFiles().end() ? nullptr : found->second->file.get();
}

int Report(Error error) {
    lastError = error;
    return error == Error::kNone ? 1 : 0;
}

template <class Result, class Body>
Result Shielded(Result failure, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        lastError = Error::kOutOfMemory;
    } catch (...) {
        lastError = Error::kReadFailed;
    }
    return failure;
}

// Caller memory for `bytes` bytes in whole 128-byte steps (at least one step).
void* AllocateSectors(size_t bytes) {
    const size_t rounded = (bytes == 0 ? 1 : (bytes + 127) / 128) * 128;
    void* memory = std::calloc(1, rounded);
    if (memory == nullptr) {
        lastError = Error::kOutOfMemory;
    }
    return memory;
}

}  // namespace

VAULTRA_API S5File* OeffneS5Datei(const char* path) {
    return Shielded<S5File*>(nullptr, [&]() -> S5File* {
        if (path == nullptr) {
            lastError = Error::kFileNotFound;
            return nullptr;
        }
        auto opened = ProgramFile::Open(std::filesystem::path(path), ProgramFile::Mode::kUpdateOrCreate);
        if (Report(opened.error) == 0) {
            return nullptr;
        }
        auto handle = std::make_unique<S5File>(S5File{std::move(opened.file)});
        S5File* key = handle.get();
        OpenFiles().emplace(key, std::move(handle));
        return key;
    });
}

VAULTRA_API int SchlS5Datei(S5File* file) {
    return Shielded(0, [&] {
        OpenFiles().erase(file);
        return 1;
    });
}

VAULTRA_API BlockKey* LeseBuchhalter(S5File* file, uint16_t* count) {
    return Shielded<BlockKey*>(nullptr, [&]() -> BlockKey* {
        if (count != nullptr) {
            *count = 0;
        }
        const ProgramFile* program = FileOf(file);
        if (program == nullptr || count == nullptr) {
            lastError = Error::kReadFailed;
            return nullptr;
        }
        const std::vector<BlockKey> list = program->BlockList();
        if (list.size() > 0xFFFF) {
            lastError = Error::kReadFailed;
            return nullptr;
        }
        auto* keys = static_cast<BlockKey*>(AllocateSectors(list.size() * sizeof(BlockKey)));
        if (keys == nullptr) {
            return nullptr;
        }
        if (!list.empty()) {
            std::memcpy(keys, list.data(), list.size() * sizeof(BlockKey));
        }
        *count = static_cast<uint16_t>(list.size());
        Report(Error::kNone);
        return keys;
    });
}

VAULTRA_API void EntfBuchhalter(BlockKey* list) {
    std::free(list);
}

VAULTRA_API char* BstZuName(const BlockKey* key, char* text) {
    if (key == nullptr || text == nullptr) {
        return text;
    }
    const vaultra::qrf::BlockName name = vaultra::qrf::NameOf(*key);
    std::memcpy(text, name.data(), name.size());
    text[name.size()] = '\0';
    return text;
}

VAULTRA_API int NameZuBst(const char* name, BlockKey* key) {
    return Shielded(0, [&] {
        if (name == nullptr || key == nullptr) {
            return 0;
        }
        const auto parsed = vaultra::qrf::ParseBlockName(name);
        if (!parsed) {
            return 0;
        }
        *key = *parsed;
        return 1;
    });
}

VAULTRA_API int BstKopfLng(const BlockKey* key) {
    return key == nullptr ? 0 : vaultra::qrf::HeaderLength(*key);
}

VAULTRA_API uint8_t* LeseBstDaten(S5File* file, BlockKey* key) {
    return Shielded<uint8_t*>(nullptr, [&]() -> uint8_t* {
        const ProgramFile* program = FileOf(file);
        if (program == nullptr || key == nullptr) {
            lastError = Error::kReadFailed;
            return nullptr;
        }
        BlockKey completed = *key;
        std::vector<uint8_t> sectors;
        if (Report(program->ReadBlock(completed, sectors)) == 0) {
            return nullptr;
        }
        auto* data = static_cast<uint8_t*>(AllocateSectors(sectors.size()));
        if (data != nullptr) {
            std::memcpy(data, sectors.data(), sectors.size());
            *key = completed;
        }
        return data;
    });
}

VAULTRA_API void EntfBstDaten(uint8_t* data) {
    std::free(data);
}

VAULTRA_API int SchrBstDaten(S5File* file, const BlockKey* key, const uint8_t* data) {
    return Shielded(0, [&] {
        ProgramFile* program = FileOf(file);
        if (program == nullptr || key == nullptr || (data == nullptr && key->length > 0)) {
            return Report(Error::kWriteFailed);
        }
        const std::span<const uint8_t> bytes(data, data == nullptr ? 0 : key->length);
        return Report(program->WriteBlock(*key, bytes));
    });
}

VAULTRA_API int LoescheBst(S5File* file, const BlockKey* key) {
    return Shielded(0, [&] {
        ProgramFile* program = FileOf(file);
        if (program == nullptr || key == nullptr) {
            return Report(Error::kBlockNotFound);
        }
        return Report(program->DeleteBlock(*key));
    });
}

VAULTRA_API int KomprimiereDatei(const char* path) {
    return Shielded(0, [&] {
        if (path == nullptr) {
            return Report(Error::kFileNotFound);
        }
        return Report(vaultra::qrf::CompactFile(std::filesystem::path(path)));
    });
}
