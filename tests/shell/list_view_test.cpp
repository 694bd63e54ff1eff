// The list view: what it draws for 0 and for six entries, where a click lands, and the double click.
#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include "shell/entry_dialog_window.h"
#include "shell/list_view.h"
#include "shell/main_window.h"
#include "tests/shell/shell_test_support.h"

namespace vaultra::shell {
namespace {

using namespace testing;

// The colours found in a row of the view's image (white left out).
std::set<QRgb> RowColours(const QImage& image, int row, int lineHeight) {
    std::set<QRgb> colours;
    for (int y = row * lineHeight; y < (row + 1) * lineHeight && y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFF;
            if (c != 0xFFFFFF) {
                colours.insert(c);
            }
        }
    }
    return colours;
}

bool HasColour(const std::set<QRgb>& colours, int r, int g, int b) {
    return colours.count(qRgb(r, g, b) & 0xFFFFFF) > 0;
}

class ListViewTest : public ::testing::Test {
protected:
    void Open(std::vector<app::CElement> entries) {
        app = f.StartWithSet(entries);
        ASSERT_TRUE(app);
        view = app->Window()->View();
        ASSERT_NE(view, nullptr);
        view->viewport()->resize(1200, 400);
    }
    QImage Image() { return view->viewport()->grab().toImage(); }

    ShellFixture f;
    std::unique_ptr<ShellApp> app;
    ListView* view = nullptr;
};

TEST_F(ListViewTest, AnEmptyListShowsOnlyTheHeaderInRowOne) {
    Open({});
    const QImage image = Image();
    const int h = view->LineHeight();
    EXPECT_TRUE(RowColours(image, 0, h).empty());
    EXPECT_FALSE(RowColours(image, 1, h).empty());
    EXPECT_TRUE(RowColours(image, 2, h).empty());
}

TEST_F(ListViewTest, EntriesAreDrawnInTheirColours) {
    std::vector<app::CElement> entries;
    for (const auto kind :
         {app::InterfaceKind::S5Direct, app::InterfaceKind::S5H1, app::InterfaceKind::S7Mpi,
          app::InterfaceKind::S5Lan, app::InterfaceKind::S7Lan, app::InterfaceKind::S7Rfc1006}) {
        entries.push_back(MakeEntry(kind, "SPS"));
    }
    entries[1].Set(app::flag::kMarked, true);
    Open(entries);
    // Reading a set clears the result bits: a run sets them.
    app->Station().entries[2].Set(app::flag::kLastFailed, true);
    app->Station().entries[3].Set(app::flag::kLastSucceeded, true);
    const QImage image = Image();
    const int h = view->LineHeight();
    EXPECT_TRUE(HasColour(RowColours(image, 2, h), 0, 0, 128));
    EXPECT_TRUE(HasColour(RowColours(image, 3, h), 128, 128, 128)) << "marked: grey background";
    EXPECT_TRUE(HasColour(RowColours(image, 4, h), 255, 64, 64)) << "failed: red";
    EXPECT_FALSE(HasColour(RowColours(image, 4, h), 0, 0, 128));
    EXPECT_TRUE(HasColour(RowColours(image, 5, h), 64, 128, 64)) << "succeeded: green";
    EXPECT_TRUE(HasColour(RowColours(image, 7, h), 0, 0, 128));
    EXPECT_TRUE(RowColours(image, 8, h).empty());
}

TEST_F(ListViewTest, ClicksOnTheHeaderOrBelowTheLastEntryChangeNothing) {
    Open({MakeEntry(app::InterfaceKind::S7Mpi, "A"), MakeEntry(app::InterfaceKind::S7Mpi, "B")});
    const int h = view->LineHeight();
    const auto flags = [&] {
        return std::make_pair(app->Station().entries[0].flags, app->Station().entries[1].flags);
    };
    const auto before = flags();
    for (const int row : {0, 1, 4, 9}) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, row * h + h / 2));
    }
    EXPECT_EQ(flags(), before);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 3 * h + 1));
    EXPECT_TRUE(app->Station().entries[1].Has(app::flag::kMarked));
    EXPECT_FALSE(app->Station().entries[0].Has(app::flag::kMarked));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 3 * h + 1));
    EXPECT_FALSE(app->Station().entries[1].Has(app::flag::kMarked));
}

TEST_F(ListViewTest, DoubleClickEditsTheEntryUnderThePointer) {
    Open({MakeEntry(app::InterfaceKind::S7Mpi, "A"), MakeEntry(app::InterfaceKind::S7Lan, "Presse")});
    const int h = view->LineHeight();
    QString shownName;
    auto answer = WhenModal<EntryDialogWindow>([&](EntryDialogWindow* d) {
        shownName = d->NameField()->text();
        d->NameField()->setText(QStringLiteral("Presse 2"));
        ClickButton(d, QStringLiteral("OK"));
    });
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 3 * h + 1));
    EXPECT_EQ(shownName, "Presse");
    EXPECT_EQ(app->Station().entries[1].name, "Presse 2");
    EXPECT_TRUE(app->Modified());
}

TEST_F(ListViewTest, TheLastEntryOfALongListCanBeScrolledIntoView) {
    std::vector<app::CElement> entries(300, MakeEntry(app::InterfaceKind::S7Mpi, "X"));
    Open(entries);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    const int h = view->LineHeight();
    const int y = 301 * h + h / 2 - view->verticalScrollBar()->value();
    EXPECT_GE(y, 0);
    EXPECT_LT(y, view->viewport()->height());
    EXPECT_EQ(view->EntryAt(QPoint(20, y)), 299);
}

}  // namespace
}  // namespace vaultra::shell
