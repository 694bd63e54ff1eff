#include "test_support.h"

#include "s7project/dbase_table.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

namespace vaultra::s7project::testing {

TempDir::TempDir(const std::filesystem::path& base) {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string test = info != nullptr ? std::string(info->name()) : "test";
    path_ = base / ("vaultra_s7project_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) +
                    "_" + test);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path MemoryTempBase() {
    std::error_code ec;
    const std::filesystem::path shm = "/dev/shm";
    return std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::filesystem::path& path) {
    const auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

BlockImage SampleBlock(std::uint8_t type, std::uint16_t number, std::size_t code, std::size_t interfacePart,
                       std::size_t additional) {
    std::mt19937 random(type * 65536U + number);
    const auto fill = [&random](std::size_t n) {
        std::vector<std::uint8_t> v(n);
        for (auto& b : v) {
            b = static_cast<std::uint8_t>(random());
        }
        return v;
    };
    BlockImageFields f;
    f.header.type = type;
    f.header.number = number;
    f.header.localDataLength = static_cast<std::uint16_t>(number % 300);
    f.header.timestamp1 = {0x02, 0x1A, 0x33, static_cast<std::uint8_t>(number), 0x00, 0x0D};
    f.header.timestamp2 = {0x03, 0x20, 0x2A, 0x00, static_cast<std::uint8_t>(type), 0x1A};
    f.code = fill(code);
    f.interfacePart = fill(interfacePart);
    f.additional = fill(additional);
    const auto trailer = fill(kBlockTrailerLength);
    std::copy(trailer.begin(), trailer.end(), f.trailer.begin());
    return BuildBlockImage(f);
}

std::vector<Record> ReadRecords(const std::filesystem::path& table) {
    std::vector<Record> records;
    CDBASEDatei t;
    if (!t.OpenTable(table)) {
        return records;
    }
    for (const auto index : t.LiveRecords()) {
        t.SelectRecord(index);
        Record r;
        for (std::size_t f = 0; f < t.FieldCount(); ++f) {
            r[t.FieldName(f)] = *t.ReadFieldNext(f, false);
        }
        records.push_back(std::move(r));
    }
    return records;
}

std::string RunCommand(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), n);
    }
    const int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

}  // namespace vaultra::s7project::testing
