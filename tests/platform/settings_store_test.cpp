#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/files.h"

namespace vaultra::platform {
namespace {

std::filesystem::path ScratchDir() {
    return std::filesystem::temp_directory_path() / ("vaultra-settings-" + std::to_string(::getpid()));
}

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), std::filesystem::path("/tmp/cfg/QX/Vaultra Station.conf"));
    ::unsetenv("XDG_CONFIG_HOME");
    if (const char* home = std::getenv("HOME")) {
        EXPECT_EQ(SettingsStore::DefaultPath(),
                  std::filesystem::path(home) / ".config/QX/Vaultra Station.conf");
    }
    if (old) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    }
}

TEST(SettingsStore, ValuesSurviveSaveAndLoad) {
    const auto path = ScratchDir() / "QX" / "Vaultra Station.conf";
    {
        SettingsStore store(path);
        ASSERT_TRUE(store.Load());  // missing file: empty store
        EXPECT_EQ(store.GetInt("Settings", "Language", -1), -1);
        store.SetInt("Settings", "Language", 1);
        store.SetString("Settings", "AdapterName", "eth0");
        store.SetString("Recent File List", "File1", "/data/a b.ini");
        store.SetString("Settings", "WindowPos", "2,3\nx");
        ASSERT_TRUE(store.Save());
    }
    SettingsStore store(path);
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetInt("Settings", "Language", -1), 1);
    EXPECT_EQ(store.GetString("Settings", "AdapterName"), std::optional<std::string>("eth0"));
    EXPECT_EQ(store.GetString("Recent File List", "File1"), std::optional<std::string>("/data/a b.ini"));
    EXPECT_EQ(store.GetString("Settings", "WindowPos"), std::optional<std::string>("2,3 x"));
    EXPECT_EQ(store.GetString("Settings", "Missing"), std::nullopt);
    std::filesystem::remove_all(ScratchDir());
}

TEST(SettingsStore, HandWrittenFilesAreRead) {
    const auto path = ScratchDir() / "hand.conf";
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(
        WriteFileReplacing(path, "; comment\n[Settings]\r\n Language = 0 \nbroken line\nLanguageX=abc\n"));
    SettingsStore store(path);
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetInt("Settings", "Language", -1), 0);
    EXPECT_EQ(store.GetInt("Settings", "LanguageX", -1), -1);
    std::filesystem::remove_all(ScratchDir());
}

}  // namespace
}  // namespace vaultra::platform
