#include "platform/process.h"

#include <gtest/gtest.h>

namespace vaultra::platform {

TEST(ProgramDirectory, IsTheDirectoryOfTheTestExecutable) {
    const auto dir = ProgramDirectory();
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_TRUE(std::filesystem::exists(dir / "platform_tests"));
}

}  // namespace vaultra::platform
