// Compacting an S5 program file: every block is copied into "<stem>.BAK", the copy is read back and
// compared, and only then does it replace the original (one rename, so the original is never lost).
#include <cstring>
#include <system_error>

#include "s5file/program_file.h"

namespace vaultra::qrf {

namespace {

bool SameKeys(const std::vector<BlockKey>& a, const std::vector<BlockKey>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(BlockKey)) == 0);
}

Error CopyBlocks(const ProgramFile& from, ProgramFile& to, const std::vector<BlockKey>& list) {
    std::vector<uint8_t> data;
    for (BlockKey key : list) {
        if (const Error error = from.ReadBlock(key, data); error != Error::kNone) {
            return error;
        }
        if (const Error error = to.WriteBlock(key, std::span(data).first(key.length));
            error != Error::kNone) {
            return error;
        }
    }
    return Error::kNone;
}

// The copy as found on disk holds the same keys and the same block bytes behind the headers.
Error VerifyCopy(const ProgramFile& from, const std::filesystem::path& copyPath,
                 const std::vector<BlockKey>& list) {
    const OpenResult copy = ProgramFile::Open(copyPath, ProgramFile::Mode::kReadExisting);
    if (!copy.file) {
        return Error::kReadFailed;
    }
    if (!SameKeys(copy.file->BlockList(), list)) {
        return Error::kWriteFailed;
    }
    std::vector<uint8_t> original;
    std::vector<uint8_t> copied;
    for (BlockKey key : list) {
        BlockKey copiedKey = key;
        if (from.ReadBlock(key, original) != Error::kNone ||
            copy.file->ReadBlock(copiedKey, copied) != Error::kNone) {
            return Error::kReadFailed;
        }
        const auto header = static_cast<size_t>(HeaderLength(key));
        if (key.length > header &&
            std::memcmp(original.data() + header, copied.data() + header, key.length - header) != 0) {
            return Error::kWriteFailed;
        }
    }
    return Error::kNone;
}

Error WriteCopy(const std::filesystem::path& path, const std::filesystem::path& copyPath) {
    const OpenResult source = ProgramFile::Open(path, ProgramFile::Mode::kReadExisting);
    if (!source.file) {
        return source.error;
    }
    size_t unlisted = 0;
    const std::vector<BlockKey> list = source.file->BlockList(&unlisted);
    if (unlisted > 0) {
        return Error::kBlockNotFound;  // a block no key reaches cannot be copied, and must not be lost
    }
    {
        const OpenResult target = ProgramFile::Open(copyPath, ProgramFile::Mode::kUpdateOrCreate);
        if (!target.file) {
            return target.error;
        }
        if (const Error error = CopyBlocks(*source.file, *target.file, list); error != Error::kNone) {
            return error;
        }
    }
    return VerifyCopy(*source.file, copyPath, list);
}

}  // namespace

Error CompactFile(const std::filesystem::path& requested) {
    const std::filesystem::path path = FindIgnoringCase(requested);
    std::filesystem::path copyPath = path;
    copyPath.replace_extension(".BAK");
    if (copyPath == path) {
        return Error::kRenameOrDelete;  // a ".BAK" file cannot be compacted through itself
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return Error::kFileNotFound;
    }
    std::filesystem::remove(copyPath, ec);
    if (ec) {
        return Error::kRenameOrDelete;
    }
    Error error = Error::kNone;
    try {
        error = WriteCopy(path, copyPath);
    } catch (const std::bad_alloc&) {
        error = Error::kOutOfMemory;
    }
    if (error == Error::kNone) {
        std::filesystem::rename(copyPath, path, ec);
        error = ec ? Error::kRenameOrDelete : Error::kNone;
    }
    if (error != Error::kNone) {
        std::filesystem::remove(copyPath, ec);
    }
    return error;
}

}  // namespace vaultra::qrf
