#include "shell/list_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "app/list_line.h"
#include "app/text_catalogue.h"

namespace vaultra::shell {

namespace {

QColor ToColor(app::Rgb rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

}  // namespace

std::vector<int> FieldPositions(const std::vector<int>& fieldWidths) {
    std::vector<int> positions;
    int x = 0;
    for (std::size_t i = 0; i < fieldWidths.size(); ++i) {
        if (i > 0) {
            int next = -1;
            for (const int stop : kTabStops) {
                if (stop > x) {
                    next = stop;
                    break;
                }
            }
            if (next < 0) {
                const int spacing = kTabStops[kTabStops.size() - 1] - kTabStops[kTabStops.size() - 2];
                next = kTabStops.back() + ((x - kTabStops.back()) / spacing + 1) * spacing;
            }
            x = next;
        }
        positions.push_back(x);
        x += fieldWidths[i];
    }
    return positions;
}

ListView::ListView(app::Station& station, QWidget* parent) : QAbstractScrollArea(parent), station_(station) {
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, Qt::white);
    viewport()->setPalette(palette);
    horizontalScrollBar()->setSingleStep(100);
    horizontalScrollBar()->setPageStep(200);
    ListChanged();
}

int ListView::LineHeight() const {
    return fontMetrics().height();
}

void ListView::UpdateScrollRange() {
    // The scroll size counts rows as high as the font draws them, so that the end of the list is the end of
    // the scroll range whatever the font; a line step is one row, a page five.
    const int row = LineHeight();
    const int height = static_cast<int>(station_.entries.size() + 2) * row;
    verticalScrollBar()->setSingleStep(row);
    verticalScrollBar()->setPageStep(row * 5);
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    horizontalScrollBar()->setRange(0, std::max(0, kScrollWidth - viewport()->width()));
}

void ListView::ListChanged() {
    UpdateScrollRange();
    viewport()->update();
}

void ListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void ListView::DrawLine(QPainter& painter, int row, const QString& line, const QColor& text,
                        const QColor* background) {
    const QStringList fields = line.split(QLatin1Char('\t'));
    std::vector<int> widths;
    const QFontMetrics metrics = painter.fontMetrics();
    for (const QString& field : fields) {
        widths.push_back(metrics.horizontalAdvance(field));
    }
    const std::vector<int> positions = FieldPositions(widths);
    const int y = row * LineHeight();
    if (background != nullptr) {
        painter.fillRect(QRect(0, y, positions.back() + widths.back(), LineHeight()), *background);
    }
    painter.setPen(text);
    for (int i = 0; i < fields.size(); ++i) {
        painter.drawText(QPoint(positions[i], y + metrics.ascent()), fields[i]);
    }
}

void ListView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const int first = verticalScrollBar()->value() / LineHeight();
    const int last = (verticalScrollBar()->value() + viewport()->height()) / LineHeight() + 1;
    if (first <= 1 && last >= 1) {
        // The header and the interval column come in the window's language from the engine's catalogue.
        const std::string header(app::kListHeader);
        DrawLine(painter, 1, QString::fromStdString(app::Tr(header)), Qt::black, nullptr);
    }
    // Only the rows in sight are formatted: a long list repaints as fast as a short one.
    const int count = static_cast<int>(station_.entries.size());
    for (int i = std::max(0, first - 2); i < count && i + 2 <= last; ++i) {
        const app::CElement& e = station_.entries[static_cast<std::size_t>(i)];
        const app::LineColours colours = app::EntryLineColours(e);
        const QColor background = ToColor(colours.background);
        DrawLine(painter, i + 2, QString::fromStdString(app::ListLine(e, station_.settings)),
                 ToColor(colours.text), &background);
    }
}

int ListView::EntryAt(const QPoint& viewportPos) const {
    const int64_t y = static_cast<int64_t>(viewportPos.y()) + verticalScrollBar()->value();
    const auto hit = app::HitEntry(y, LineHeight(), station_.entries.size());
    return hit ? static_cast<int>(*hit) : -1;
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int index = EntryAt(event->position().toPoint());
    if (index >= 0 && station_.ToggleMark(static_cast<std::size_t>(index))) {
        viewport()->update();
        Q_EMIT MarkToggled(index);
    }
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int index = EntryAt(event->position().toPoint());
    if (index >= 0) {
        Q_EMIT EditRequested(index);
    }
}

}  // namespace vaultra::shell
