#pragma once
// The "per book" view of an answer: a bar for every book of the text, as high
// as the book's occurrences (or, for an answer without occurrences, its
// verses), drawn with QPainter. Clicking a bar chooses its book; clicking it
// again, or outside the bars, chooses none.

#include "concordance/queryengine.h"

#include <QList>
#include <QWidget>

class TBookChart : public QWidget {
    Q_OBJECT
public:
    explicit TBookChart(QWidget* parent = nullptr);

    // The books of the text, in order, and the counts of the answer.
    void setCounts(const QList<int>& books, const QList<concordance::BookCount>& counts);
    void clear();
    // The book chosen by a click, 0 for none.
    int chosenBook() const { return chosen; }
    void chooseBook(int book);
    // The bar of a book, in the widget's coordinates; empty for a book that
    // is not shown.
    QRect barRect(int book) const;
    // The count a book's bar stands for.
    qint64 count(int book) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A click chose `book`, or none (0).
    void bookChosen(int book);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The column of each book: books.at(i) is drawn in column i.
    QList<int> books;
    QList<qint64> values;
    int chosen = 0;
    qint64 highest = 0;

    QRect plotArea() const;
    int bookAt(QPoint point) const;
};
