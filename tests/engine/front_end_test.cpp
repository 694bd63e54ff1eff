#include <gtest/gtest.h>

#include "app/engine_texts.h"
#include "app/recording_front_end.h"

namespace vaultra::app {
namespace {

TEST(EscapePressed, AsksForConfirmationAndFollowsTheAnswer) {
    RecordingFrontEnd ui;
    ui.onPoll = [](int) { return AbortRequest::Escape; };
    ui.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
    EXPECT_FALSE(EscapePressed(ui));
    EXPECT_TRUE(EscapePressed(ui));
    ASSERT_EQ(ui.Messages().size(), 2u);
    EXPECT_EQ(ui.Messages()[0], "Die Escape-Taste wurde gedrückt.\n Wollen Sie wirklich Abbrechen ?\n");
    EXPECT_EQ(ui.events.back().value, static_cast<int>(MessageButtons::OkCancel));
}

TEST(EscapePressed, QuitAbortsWithoutQuestionAndStaysRequested) {
    RecordingFrontEnd ui;
    ui.onPoll = [](int poll) { return poll == 2 ? AbortRequest::Quit : AbortRequest::None; };
    EXPECT_FALSE(EscapePressed(ui));
    EXPECT_TRUE(EscapePressed(ui));
    EXPECT_TRUE(EscapePressed(ui));  // the hook says None now, but a quit request does not go away
    EXPECT_TRUE(ui.QuitRequested());
    EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
}  // namespace vaultra::app
