#pragma once
// Data-aware controls: a data source that follows a table's cursor, and a
// read-only rich-text view that shows one field of the table's current row.
//
// The view shows the field again whenever the cursor lands on another row and
// whenever the table opens or closes. A change that moves no row (a range
// applied while the cursor stays, or a range that leaves no row) is announced
// by the table's user through TDataSource::refresh.

#include "platform/core/table.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextEdit>

namespace platform {

class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* owner = nullptr);

    TTable* DataSet() const { return dataSet; }
    void setDataSet(TTable* table);

    // Tells every control to show the current row again.
    void refresh();

signals:
    // The row on show may have changed: the cursor moved, the table opened or
    // closed, or refresh was called.
    void dataChanged();

private:
    QPointer<TTable> dataSet;
    QMetaObject::Connection scrolledLink;
    QMetaObject::Connection activeLink;
};

// Shows field DataField of the data source's current row: text that looks
// like rich text (Qt's HTML subset) as rich text, anything else as plain text.
// Nothing a text names is ever fetched (no image, style sheet or other
// resource, from a file or from the network), links are not followed, and
// scripts do not run. Read-only, with a vertical scroll bar and word wrap.
// Without a table, a row or the field, the view is empty.
class TDBRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TDBRichEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return source; }
    void setDataSource(TDataSource* dataSource);
    QString DataField() const { return field; }
    void setDataField(const QString& name);

    // The formatting rectangle in viewport coordinates: the text keeps the
    // rectangle's distance from the viewport's left, top and right edges,
    // whatever is shown later.
    void setFormatRect(const QRect& rect);

    // Reads the field of the current row and shows it.
    void showField();

private:
    void applyMargins();

    QPointer<TDataSource> source;
    QMetaObject::Connection sourceLink;
    QString field;
    QMargins margins{4, 4, 4, 4};
};

} // namespace platform
