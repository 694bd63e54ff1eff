#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace vaultra::platform {
namespace {

std::filesystem::path Scratch(const char* name) {
    auto dir = std::filesystem::temp_directory_path() / ("vaultra-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir / name;
}

TEST(Files, WriteReplacesAndReadReturnsTheBytes) {
    const auto path = Scratch("a.bin");
    ASSERT_TRUE(WriteFileReplacing(path, std::string("one\0two", 7)));
    ASSERT_TRUE(WriteFileReplacing(path, "second"));
    EXPECT_EQ(ReadFileBytes(path), std::optional<std::string>("second"));
    EXPECT_TRUE(IsReadableAndWritable(path));
    std::filesystem::remove_all(path.parent_path());
}

TEST(Files, MissingOrOversizedFilesAreNotRead) {
    const auto path = Scratch("b.bin");
    EXPECT_FALSE(ReadFileBytes(path).has_value());
    EXPECT_FALSE(IsReadableAndWritable(path));
    ASSERT_TRUE(WriteFileReplacing(path, std::string(100, 'x')));
    EXPECT_FALSE(ReadFileBytes(path, 99).has_value());
    EXPECT_TRUE(ReadFileBytes(path, 100).has_value());
    std::filesystem::remove_all(path.parent_path());
}

TEST(Files, FailedWriteLeavesNoTemporaryFile) {
    const auto dir = Scratch("c").parent_path();
    EXPECT_FALSE(WriteFileReplacing(dir / "missing" / "x.bin", "data"));
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        ADD_FAILURE() << "left behind: " << entry.path();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vaultra::platform
