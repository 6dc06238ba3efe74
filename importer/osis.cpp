#include "importer/osis.h"

namespace osis {

namespace {

// The value of attribute `name` in the tag text `tag` (between '<' and '>'),
// or a null array when it is absent.
QByteArray attribute(const QByteArray& tag, const QByteArray& name) {
    qsizetype from = 0;
    while (true) {
        const qsizetype at = tag.indexOf(name + '=', from);
        if (at < 0)
            return {};
        from = at + name.size() + 1;
        // The name must stand alone, not end a longer one (type= in subType=).
        const char before = at > 0 ? tag[at - 1] : ' ';
        if (before != ' ' && before != '\t' && before != '\n' && before != '\r')
            continue;
        if (from >= tag.size())
            return {};
        const char quote = tag[from];
        if (quote != '"' && quote != '\'')
            continue;
        const qsizetype end = tag.indexOf(quote, from + 1);
        if (end < 0)
            return {};
        return tag.mid(from + 1, end - from - 1);
    }
}

// Calls `visit(start, end, tagText)` for every tag `<name …>` in `text`, `end`
// just past its '>', until `visit` returns false.
template <typename Visit>
void forEachTag(const QByteArray& text, const QByteArray& name, Visit visit) {
    const QByteArray open = '<' + name;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = text.indexOf(open, from);
        if (start < 0)
            return;
        const qsizetype after = start + open.size();
        from = after;
        if (after < text.size()) {
            const char c = text[after];
            if (c != ' ' && c != '>' && c != '/' && c != '\t' && c != '\n' && c != '\r')
                continue; // a longer tag name
        }
        const qsizetype close = text.indexOf('>', after);
        if (close < 0)
            return;
        if (!visit(start, close + 1, text.mid(start + 1, close - start - 1)))
            return;
        from = close + 1;
    }
}

} // namespace

QByteArray cutAtBookEnd(const QByteArray& entry) {
    qsizetype cut = -1;
    forEachTag(entry, "div", [&](qsizetype, qsizetype end, const QByteArray& tag) {
        if (attribute(tag, "type") == "book" && !attribute(tag, "eID").isNull()) {
            cut = end;
            return false;
        }
        return true;
    });
    return cut < 0 ? entry : entry.left(cut);
}

bool isCanonicalTitle(const QByteArray& heading) {
    bool canonical = false;
    forEachTag(heading, "title", [&](qsizetype, qsizetype, const QByteArray& tag) {
        canonical = attribute(tag, "canonical") == "true";
        return !canonical;
    });
    return canonical;
}

} // namespace osis
