#pragma once
// The verses a look-up found, one row each: the verse's reference, then its
// text with the looked-up word marked, on one line that starts a little before
// the first marked word when the whole verse does not fit. A verse's text is
// read from the verse table when its row is first asked for, so a word found
// in thousands of verses costs only the rows that are shown.

#include "browser/Lookup.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QStyledItemDelegate>

class TTable;

class TVerseList : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        KeyRole = Qt::UserRole, // the verse key (int)
        ReferenceRole,          // "John 3:16"
        TextRole,               // the verse's text
        MarksRole,              // QList<browser::TextSpan>: the word in the text
    };

    explicit TVerseList(QObject* parent = nullptr);

    // `bible` is an open cursor on the text's verse table, for the list alone
    // (it is moved to each verse read); not owned.
    // `words` is the text's word rule, by which the marks are placed.
    void setVerses(const QList<browser::VerseHit>& hits, TTable* bible,
                   concordance::WordForm words = {});
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    qint32 verseKey(int row) const;

private:
    // The verse's text; a verse that cannot be read says so instead.
    QString text(int row) const;

    QList<browser::VerseHit> hits;
    concordance::WordForm form;
    QPointer<TTable> bible;
    mutable QHash<int, QString> texts;
};

// Draws a row of TVerseList.
class TVerseDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
