#include "browser/Verselist.h"

#include "concordance/books.h"
#include "platform/core/errors.h"
#include "platform/core/table.h"

#include <QApplication>
#include <QPainter>

using browser::TextSpan;

TVerseList::TVerseList(QObject* parent) : QAbstractListModel(parent) {}

void TVerseList::setVerses(const QList<browser::VerseHit>& newHits, TTable* newBible,
                           concordance::WordForm words) {
    beginResetModel();
    hits = newHits;
    form = words;
    bible = newBible;
    texts.clear();
    endResetModel();
}

void TVerseList::clear() {
    setVerses({}, nullptr);
}

int TVerseList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(hits.size());
}

qint32 TVerseList::verseKey(int row) const {
    return row >= 0 && row < hits.size() ? hits.at(row).verseKey : 0;
}

QString TVerseList::text(int row) const {
    const auto cached = texts.constFind(row);
    if (cached != texts.constEnd())
        return *cached;
    QString verse;
    try {
        if (!bible || !bible->Active())
            return QString();
        bible->SetKey();
        bible->Fields(0).setAsInteger(hits.at(row).verseKey);
        verse = bible->GotoKey() ? bible->Fields(1).AsString()
                                 : tr("(this verse is not in the verse table)");
    } catch (const std::exception& e) {
        verse = tr("(this verse cannot be read: %1)").arg(platform::exceptionMessage(e));
    }
    // A Unicode text's words are marked in the verse's NFC form, which shows
    // the same.
    if (form.rule == concordance::WordRule::Unicode)
        verse = concordance::toNfc(verse);
    texts.insert(row, verse);
    return verse;
}

QVariant TVerseList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= hits.size())
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        return concordance::verseReference(hits.at(row).verseKey) + QLatin1Char(' ') + text(row);
    case KeyRole:
        return hits.at(row).verseKey;
    case ReferenceRole:
        return concordance::verseReference(hits.at(row).verseKey);
    case TextRole:
        return text(row);
    case MarksRole:
        return QVariant::fromValue(browser::wordSpansAt(text(row), hits.at(row).positions, form));
    default:
        return {};
    }
}

namespace {

const QColor markBackground(255, 224, 138);
const QColor markText(0, 0, 0);

// Room for the longest usual reference.
int referenceWidth(const QFont& bold) {
    return QFontMetrics(bold).horizontalAdvance(QStringLiteral("Song of Solomon 150:176"));
}

// The part of `text` to show in `room` pixels: from a word boundary before
// the first mark chosen so the mark ends within the first two thirds, with
// "… " before it when text was left out. Marks are moved to match.
QString visiblePart(const QString& text, QList<TextSpan>& marks, const QFontMetrics& fm, int room) {
    if (marks.isEmpty())
        return text;
    const TextSpan first = marks.first();
    const int markEnd = first.start + first.length;
    int from = 0;
    while (from < first.start &&
           fm.horizontalAdvance(text.mid(from, markEnd - from)) > room * 2 / 3) {
        const qsizetype blank = text.indexOf(QLatin1Char(' '), from);
        from = blank < 0 || blank >= first.start ? first.start : static_cast<int>(blank) + 1;
    }
    if (from == 0)
        return text;
    const QString ellipsis = QStringLiteral("\u2026 ");
    const int shift = static_cast<int>(ellipsis.size()) - from;
    QList<TextSpan> moved;
    for (TextSpan mark : marks) {
        if (mark.start >= from) {
            mark.start += shift;
            moved.append(mark);
        }
    }
    marks = moved;
    return ellipsis + text.mid(from);
}

} // namespace

void TVerseDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    const bool selected = opt.state & QStyle::State_Selected;
    const QColor ink = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QFont bold = opt.font;
    bold.setBold(true);
    const QFontMetrics plainMetrics(opt.font);
    const QFontMetrics boldMetrics(bold);

    painter->save();
    const QRect r = opt.rect.adjusted(4, 0, -4, 0);
    painter->setClipRect(r);
    const int refWidth = referenceWidth(bold);
    painter->setFont(bold);
    painter->setPen(ink);
    painter->drawText(QRect(r.left(), r.top(), refWidth, r.height()),
                      Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                      boldMetrics.elidedText(index.data(TVerseList::ReferenceRole).toString(),
                                             Qt::ElideRight, refWidth));

    int x = r.left() + refWidth + 8;
    const int right = r.right();
    QList<TextSpan> marks = index.data(TVerseList::MarksRole).value<QList<TextSpan>>();
    const QString text =
        visiblePart(index.data(TVerseList::TextRole).toString(), marks, plainMetrics, right - x);
    // Plain and marked pieces in turn, the last one cut to the room left.
    int at = 0;
    qsizetype next = 0;
    while (at < text.size() && x < right) {
        while (next < marks.size() && marks.at(next).start < at)
            ++next; // a mark inside text already drawn
        const bool marked = next < marks.size() && marks.at(next).start == at;
        const int end = marked                ? at + marks.at(next).length
                        : next < marks.size() ? marks.at(next).start
                                              : static_cast<int>(text.size());
        if (marked)
            ++next;
        const QFontMetrics& fm = marked ? boldMetrics : plainMetrics;
        QString piece = text.mid(at, end - at);
        int width = fm.horizontalAdvance(piece);
        if (x + width > right) {
            piece = fm.elidedText(piece, Qt::ElideRight, right - x);
            width = fm.horizontalAdvance(piece);
        }
        const QRect box(x, r.top(), width, r.height());
        if (marked)
            painter->fillRect(box.adjusted(0, 2, 0, -2), markBackground);
        painter->setFont(marked ? bold : opt.font);
        painter->setPen(marked ? markText : ink);
        painter->drawText(box, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, piece);
        x += width;
        at = end;
    }
    painter->restore();
}

QSize TVerseDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    QFont bold = option.font;
    bold.setBold(true);
    const int height = std::max(QFontMetrics(option.font).height(), QFontMetrics(bold).height());
    return {referenceWidth(bold) + 200, height + 6};
}
