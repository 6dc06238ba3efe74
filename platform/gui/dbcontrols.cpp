#include "platform/gui/dbcontrols.h"

#include "platform/core/table.h"
#include "platform/gui/messages.h"

#include <QImage>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextFrame>
#include <QUrl>

namespace platform {

namespace {

// A document that reads nothing a text names. Every image is a transparent
// pixel and every style sheet is empty: a valid answer matters, since the
// toolkit reads an image's file itself when the document gives none.
class SealedDocument : public QTextDocument {
public:
    explicit SealedDocument(QObject* parent) : QTextDocument(parent) {
        setResourceProvider([](const QUrl&) { return QVariant(); });
    }

protected:
    QVariant loadResource(int type, const QUrl& /*name*/) override {
        switch (type) {
        case ImageResource: {
            QImage blank(1, 1, QImage::Format_ARGB32);
            blank.fill(Qt::transparent);
            return blank;
        }
        case StyleSheetResource:
            return QString();
        default:
            return QByteArray();
        }
    }
};

// Rich text is text whose first non-blank character opens a tag of the
// toolkit's HTML subset ("<p>", "<html>", "<b>" ...). Anything else, also
// text with a tag further on or a "<<" at the start, is plain text.
bool isRichText(const QString& text) {
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        return c == QLatin1Char('<') && Qt::mightBeRichText(text);
    }
    return false;
}

} // namespace

// --- data source ----------------------------------------------------------------

TDataSource::TDataSource(QObject* owner) : QObject(owner) {}

void TDataSource::setDataSet(TTable* table) {
    if (dataSet == table)
        return;
    disconnect(scrolledLink);
    disconnect(activeLink);
    dataSet = table;
    if (table) {
        scrolledLink = connect(table, &TTable::scrolled, this, &TDataSource::dataChanged);
        activeLink = connect(table, &TTable::activeChanged, this, &TDataSource::dataChanged);
    }
    emit dataChanged();
}

void TDataSource::refresh() {
    emit dataChanged();
}

// --- rich-text view -----------------------------------------------------------------

TDBRichEdit::TDBRichEdit(QWidget* parent) : QTextEdit(parent) {
    setDocument(new SealedDocument(this));
    setReadOnly(true);
    // Selecting and copying only: links are not followed.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setAcceptRichText(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    applyMargins();
}

void TDBRichEdit::setDataSource(TDataSource* dataSource) {
    disconnect(sourceLink);
    source = dataSource;
    if (dataSource)
        sourceLink = connect(dataSource, &TDataSource::dataChanged, this, &TDBRichEdit::showField);
    showField();
}

void TDBRichEdit::setDataField(const QString& name) {
    field = name;
    showField();
}

void TDBRichEdit::setFormatRect(const QRect& rect) {
    const QSize client = viewport()->size();
    margins = QMargins(qMax(rect.left(), 0), qMax(rect.top(), 0),
                       qMax(client.width() - rect.left() - rect.width(), 0),
                       qMax(client.height() - rect.top() - rect.height(), 0));
    applyMargins();
}

void TDBRichEdit::applyMargins() {
    QTextFrame* root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setLeftMargin(margins.left());
    format.setTopMargin(margins.top());
    format.setRightMargin(margins.right());
    format.setBottomMargin(margins.bottom());
    root->setFrameFormat(format);
}

// Called by the data source's signal: nothing may escape, so a table that
// fails to read its row is reported and the view is left empty.
void TDBRichEdit::showField() {
    QString text;
    try {
        TTable* table = source ? source->DataSet() : nullptr;
        if (table && table->Active() && !field.isEmpty()) {
            if (const TField* f = table->FindField(field))
                text = f->AsString();
        }
    } catch (const std::exception& e) {
        text.clear();
        showException(e);
    }
    if (isRichText(text))
        setHtml(text);
    else
        setPlainText(text);
    applyMargins();
    verticalScrollBar()->setValue(0);
}

} // namespace platform
