// Helpers of the fuzz targets: taking the fuzzer's bytes apart, and a scratch directory per process.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace vaultra::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Reads the input front to back; every read past the end gives zeros or nothing.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    bool Empty() const { return at_ >= bytes_.size(); }
    std::uint8_t Byte() { return Empty() ? 0 : bytes_[at_++]; }
    std::uint16_t Word() {
        const std::uint16_t high = Byte();
        return static_cast<std::uint16_t>(high << 8 | Byte());
    }
    Bytes Take(std::size_t n) {
        n = std::min(n, bytes_.size() - std::min(at_, bytes_.size()));
        Bytes out(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                  bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + n));
        at_ += n;
        return out;
    }
    Bytes Rest() { return Take(bytes_.size()); }
    // A piece of at most 65535 bytes: a 16-bit length, then that many bytes.
    Bytes Chunk() { return Take(Word()); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// A directory of this process below the temporary folder (in memory where /dev/shm exists), emptied
// at every Reset and removed at exit.
class ScratchDir {
public:
    ScratchDir() {
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        path_ = base / ("vaultra-fuzz-" + std::to_string(::getpid()));
        Reset();
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    void Reset() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Changes a sound file the way the fuzzer asks: the input is a list of edits (offset word scaled to the
// file, then one of: overwrite with a chunk, cut the file there, or flip a byte).
inline void ApplyEdits(Bytes& file, Input& in) {
    for (int edits = 0; edits < 16 && !in.Empty(); ++edits) {
        const std::uint8_t kind = in.Byte();
        const std::size_t at = file.empty() ? 0 : in.Word() % (file.size() + 1);
        switch (kind % 3) {
            case 0: {
                const Bytes patch = in.Take(in.Byte());
                file.resize(std::max(file.size(), at + patch.size()));
                std::copy(patch.begin(), patch.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            }
            case 1:
                file.resize(at);
                break;
            default:
                if (at < file.size()) {
                    file[at] ^= in.Byte();
                }
                break;
        }
    }
}

// Stops the run with a report the fuzzer keeps as a finding.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace vaultra::fuzz
