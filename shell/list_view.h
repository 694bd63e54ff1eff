// The list view of a backup set: a blank row, the header, then one line per entry with its colours;
// a click marks an entry, a double click edits it.
#pragma once

#include <QAbstractScrollArea>
#include <array>
#include <functional>
#include <vector>

#include "app/station.h"

namespace vaultra::shell {

// Tab stops of the list lines, in pixels from the left edge.
inline constexpr std::array<int, 6> kTabStops = {250, 550, 630, 760, 900, 1000};

// Where each tab-separated field starts, given the drawn width of each field: a tab moves to the first stop
// beyond the text drawn so far (past the last stop, on by the last stop's distance from the one before).
std::vector<int> FieldPositions(const std::vector<int>& fieldWidths);

class ListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    ListView(app::Station& station, QWidget* parent = nullptr);

    // The list changed: new scroll size and a repaint.
    void ListChanged();
    int LineHeight() const;
    // Entry under a viewport position, or -1.
    int EntryAt(const QPoint& viewportPos) const;

    static constexpr int kScrollWidth = 1500;

Q_SIGNALS:
    void EditRequested(int index);
    void MarkToggled(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void DrawLine(QPainter& painter, int row, const QString& line, const QColor& text,
                  const QColor* background);
    void UpdateScrollRange();

    app::Station& station_;
};

}  // namespace vaultra::shell
