// The stored window placement, the recent-file list and the list's tab layout.
#include <gtest/gtest.h>

#include "shell/list_view.h"
#include "shell/user_settings.h"

namespace vaultra::shell {
namespace {

TEST(WindowPos, RoundTripsTheTenFieldsAndAppliesOnlyWithFlagsOrShowState) {
    const WindowPlacement p{2, 3, -1, -1, -1, -1, 10, 20, 810, 620};
    EXPECT_EQ(FormatWindowPos(p), "2,3,-1,-1,-1,-1,10,20,810,620");
    EXPECT_EQ(ParseWindowPos(FormatWindowPos(p)), p);
    EXPECT_TRUE(PlacementApplies(p));
    EXPECT_FALSE(PlacementApplies(ParseWindowPos("")));
    EXPECT_FALSE(PlacementApplies(ParseWindowPos("0,0,5,5,5,5,5,5,5,5")));
}

TEST(WindowPos, AnUnparsableFieldLeavesItAndTheRestAtZero) {
    const WindowPlacement p = ParseWindowPos("0,1,2,x,4,5,6,7,8,9");
    EXPECT_EQ(p.showState, 1u);
    EXPECT_EQ(p.minX, 2);
    EXPECT_EQ(p.minY, 0);
    EXPECT_EQ(p.bottom, 0);
}

TEST(RecentFiles, NewestFirstAtMostFourWithoutDuplicates) {
    RecentFileList list;
    for (const char* f : {"/a.ini", "/b.ini", "/c.ini", "/d.ini", "/e.ini", "/c.ini"}) {
        list.Add(f);
    }
    EXPECT_EQ(list.Files(), (std::vector<std::string>{"/c.ini", "/e.ini", "/d.ini", "/b.ini"}));
}

TEST(RecentFiles, MenuTextKeepsTheFileNameWithinThirtyCharacters) {
    EXPECT_EQ(RecentFileMenuText("/home/op/anlage.ini"), "/home/op/anlage.ini");
    const std::string text = RecentFileMenuText("/home/operator/stationen/halle-3/sicherung/anlage.ini");
    EXPECT_EQ(text, "/home/.../anlage.ini");
    EXPECT_LE(Utf8Characters(RecentFileMenuText("/x/" + std::string(40, 'n') + ".ini")), 30u);
}

TEST(TabStops, FieldsStartAtTheStopsAndSkipStopsTheTextHasPassed) {
    EXPECT_EQ(FieldPositions({10, 10, 10, 10, 10, 10}), (std::vector<int>{0, 250, 550, 630, 760, 900}));
    // A name wider than the first column pushes the address to the next free stop.
    EXPECT_EQ(FieldPositions({300, 10}), (std::vector<int>{0, 550}));
    // Past the last stop the spacing of the last two stops continues.
    EXPECT_EQ(FieldPositions({1050, 10}), (std::vector<int>{0, 1100}));
}

}  // namespace
}  // namespace vaultra::shell
