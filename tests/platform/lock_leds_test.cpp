#include "platform/lock_leds.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/app/temp_dir.h"

namespace vaultra::platform {
namespace {

namespace fs = std::filesystem;

// A fake /sys/class/leds with LED directories and their brightness files.
class FakeLeds {
public:
    // A null brightness leaves the LED without the file.
    void Add(const std::string& name, const char* brightness) {
        fs::create_directories(dir.path() / name);
        if (brightness != nullptr) {
            std::ofstream(dir.path() / name / "brightness") << brightness;
        }
    }
    LockIndicators Read() const { return ReadLockLeds(dir.path()); }

    vaultra::testing::TempDir dir;
};

TEST(LockLeds, BrightnessIsAPlainNumberAndAnythingElseIsUnknown) {
    EXPECT_EQ(ParseLedBrightness("0\n"), false);
    EXPECT_EQ(ParseLedBrightness("1\n"), true);
    EXPECT_EQ(ParseLedBrightness("255"), true);
    EXPECT_EQ(ParseLedBrightness(""), std::nullopt);
    EXPECT_EQ(ParseLedBrightness("\n"), std::nullopt);
    EXPECT_EQ(ParseLedBrightness("-1\n"), std::nullopt);
    EXPECT_EQ(ParseLedBrightness("1 2\n"), std::nullopt);
    EXPECT_EQ(ParseLedBrightness("on\n"), std::nullopt);
}

TEST(LockLeds, EachLockFollowsItsKeyboardLed) {
    FakeLeds leds;
    leds.Add("input3::capslock", "1\n");
    leds.Add("input3::numlock", "0\n");
    leds.Add("input3::scrolllock", "0\n");
    leds.Add("input3::kana", "1\n");
    leds.Add("tpacpi::kbd_backlight", "2\n");
    EXPECT_EQ(leds.Read(), (LockIndicators{true, false, false}));
}

TEST(LockLeds, ALitLedOfAnyKeyboardTurnsItsLockOn) {
    FakeLeds leds;
    leds.Add("input3::numlock", "0\n");
    leds.Add("input7::numlock", "1\n");
    leds.Add("input9::numlock", "0\n");
    leds.Add("input3::capslock", "0\n");
    leds.Add("input7::capslock", "0\n");
    const LockIndicators state = leds.Read();
    EXPECT_EQ(state.num, true);
    EXPECT_EQ(state.caps, false);
    EXPECT_EQ(state.scroll, std::nullopt) << "no keyboard has a scroll lock LED";
}

TEST(LockLeds, LocksWithoutAReadableLedStayUnknown) {
    FakeLeds leds;
    leds.Add("input3::capslock", nullptr);
    leds.Add("input3::numlock", "bright\n");
    leds.Add("capslock", "1\n");  // not a device's LED
    leds.Add("input3::scrolllock", "1\n");
    EXPECT_EQ(leds.Read(), (LockIndicators{std::nullopt, std::nullopt, true}));
    EXPECT_FALSE(ReadLockLeds(leds.dir.path() / "missing").AnyKnown());
}

}  // namespace
}  // namespace vaultra::platform
