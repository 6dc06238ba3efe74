#include "browser/Bookchart.h"

#include "concordance/books.h"
#include "concordance/numberformat.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {

constexpr int margin = 4;
constexpr int labelHeight = 14;

} // namespace

TBookChart::TBookChart(QWidget* parent) : QWidget(parent) {
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void TBookChart::setCounts(const QList<int>& textBooks,
                           const QList<concordance::BookCount>& counts) {
    books = textBooks;
    values = QList<qint64>(books.size(), 0);
    // An answer of verses without occurrences is drawn by its verses.
    const bool byVerses =
        std::all_of(counts.begin(), counts.end(),
                    [](const concordance::BookCount& c) { return c.occurrences == 0; });
    for (const concordance::BookCount& c : counts) {
        qsizetype column = books.indexOf(c.book);
        if (column < 0) {
            books.append(c.book);
            values.append(0);
            column = books.size() - 1;
        }
        values[column] = byVerses ? c.verses : c.occurrences;
    }
    highest = values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
    chosen = 0;
    update();
}

void TBookChart::clear() {
    setCounts({}, {});
}

void TBookChart::chooseBook(int book) {
    chosen = books.contains(book) ? book : 0;
    update();
}

qint64 TBookChart::count(int book) const {
    const qsizetype column = books.indexOf(book);
    return column < 0 ? 0 : values.at(column);
}

QRect TBookChart::plotArea() const {
    return rect().adjusted(margin, margin, -margin, -margin - labelHeight);
}

QRect TBookChart::barRect(int book) const {
    const qsizetype column = books.indexOf(book);
    if (column < 0 || highest == 0)
        return QRect();
    const QRect area = plotArea();
    const double width = double(area.width()) / double(books.size());
    const int left = area.left() + int(width * double(column));
    const int right = area.left() + int(width * double(column + 1)) - 1;
    const int height = int(double(area.height()) * double(values.at(column)) / double(highest));
    // A book with any count keeps a bar of at least two pixels, to click.
    const int shown = values.at(column) > 0 ? std::max(height, 2) : 0;
    return QRect(QPoint(left, area.bottom() - shown + 1),
                 QPoint(std::max(left, right - 1), area.bottom()));
}

int TBookChart::bookAt(QPoint point) const {
    const QRect area = plotArea();
    if (books.isEmpty() || point.x() < area.left() || point.x() > area.right() ||
        point.y() < area.top() || point.y() > area.bottom() + labelHeight)
        return 0;
    const qsizetype column = std::clamp<qsizetype>(
        (point.x() - area.left()) * books.size() / std::max(area.width(), 1), 0, books.size() - 1);
    return values.at(column) > 0 ? books.at(column) : 0;
}

QSize TBookChart::sizeHint() const {
    return QSize(400, 110);
}

QSize TBookChart::minimumSizeHint() const {
    return QSize(100, 50);
}

void TBookChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = plotArea();
    painter.setPen(palette().mid().color());
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    const QColor bar(0x4a, 0x7e, 0xbb);
    const QColor chosenBar(0xe0, 0x8a, 0x1e);
    for (const int book : std::as_const(books)) {
        const QRect r = barRect(book);
        if (!r.isEmpty())
            painter.fillRect(r, book == chosen ? chosenBar : bar);
    }
    // The testaments' first books name where they start.
    painter.setPen(palette().text().color());
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    for (const int book : {1, 40}) {
        const qsizetype column = books.indexOf(book);
        if (column < 0 || books.size() == 0)
            continue;
        const int x =
            area.left() + int(double(area.width()) * double(column) / double(books.size()));
        painter.drawText(QRect(x, area.bottom() + 1, 120, labelHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, concordance::bookName(book));
    }
    if (chosen) {
        painter.drawText(QRect(area.left(), area.bottom() + 1, area.width(), labelHeight),
                         Qt::AlignRight | Qt::AlignVCenter,
                         tr("%1: %2").arg(concordance::bookName(chosen),
                                          concordance::formatNumber(count(chosen))));
    }
}

void TBookChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int book = bookAt(event->position().toPoint());
    chosen = book == chosen ? 0 : book;
    update();
    emit bookChosen(chosen);
}

bool TBookChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int book = bookAt(help->pos());
        if (book)
            QToolTip::showText(help->globalPos(),
                               tr("%1: %2").arg(concordance::bookName(book),
                                                concordance::formatNumber(count(book))),
                               this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
