// The widgets need one application object for the whole test program; offscreen unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/text_catalogue.h"

namespace {

// The engine's language is the process's: every test begins in German whatever the one before chose.
class GermanAtEveryStart : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        vaultra::app::SetLanguage(vaultra::app::Language::German);
    }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Vaultra"));
    // Tests close main windows one after another; the program goes on.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new GermanAtEveryStart);
    return RUN_ALL_TESTS();
}
