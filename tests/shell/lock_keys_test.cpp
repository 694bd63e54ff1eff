// The caps, num and scroll lock panes: what the system says, shown as lit, dark or unknown.
#include <gtest/gtest.h>

#include "shell/language.h"
#include "shell/lock_keys.h"
#include "shell/main_window.h"
#include "tests/shell/shell_test_support.h"

namespace vaultra::shell {
namespace {

using namespace testing;
using platform::LockIndicators;

TEST(LockKeys, TheXServerDecidesTheLocksItKnowsAndTheLedsTheRest) {
    const LockIndicators x11{true, std::nullopt, std::nullopt};
    const LockIndicators leds{false, false, std::nullopt};
    EXPECT_EQ(ChooseLockIndicators(x11, leds), (LockIndicators{true, false, std::nullopt}));
    EXPECT_EQ(ChooseLockIndicators({}, leds), leds);
    EXPECT_EQ(ChooseLockIndicators(LockIndicators{false, false, false}, LockIndicators{true, true, true}),
              (LockIndicators{false, false, false}))
        << "a dark X indicator is not overruled by a lit LED";
}

class LockPanesTest : public WindowTest {
protected:
    void SetUp() override {
        f.options.lockKeys = [this] { return system; };
        Open({});
    }
    // Each pane's text and whether it is greyed.
    std::vector<std::pair<QString, bool>> Panes() const {
        return {{w->Panes().CapsPane()->text(), w->Panes().CapsPane()->isEnabled()},
                {w->Panes().NumPane()->text(), w->Panes().NumPane()->isEnabled()},
                {w->Panes().ScrollPane()->text(), w->Panes().ScrollPane()->isEnabled()}};
    }

    LockIndicators system{true, false, std::nullopt};
};

TEST_F(LockPanesTest, PanesShowLitDarkAndUnknownLocksAndFollowTheSystemAndTheLanguage) {
    using Pane = std::pair<QString, bool>;
    EXPECT_EQ(Panes(), (std::vector<Pane>{{"UF", true}, {"", true}, {"RF", false}})) << "read at start";
    system = {false, true, true};
    w->RefreshLockKeys();
    EXPECT_EQ(Panes(), (std::vector<Pane>{{"", true}, {"NUM", true}, {"RF", true}}));
    app->SetLanguage(kEnglish);
    EXPECT_TRUE(WaitFor([&] { return w->Panes().ScrollPane()->text() == "SCRL"; }, 2000));
    EXPECT_EQ(Panes(), (std::vector<Pane>{{"", true}, {"NUM", true}, {"SCRL", true}}));
    system = {};
    w->RefreshLockKeys();
    EXPECT_EQ(Panes(), (std::vector<Pane>{{"CAP", false}, {"NUM", false}, {"SCRL", false}}));
}

TEST_F(LockPanesTest, TheRunTimerRefreshesThePanes) {
    system = {true, true, true};
    w->RunTimer().start(10);
    EXPECT_TRUE(WaitFor([&] { return w->Panes().NumPane()->text() == "NUM"; }, 2000));
    w->RunTimer().stop();
}

}  // namespace
}  // namespace vaultra::shell
