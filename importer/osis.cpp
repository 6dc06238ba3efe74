#include "importer/osis.h"

#include <QByteArrayList>
#include <QChar>
#include <QString>
#include <algorithm>
#include <cctype>

namespace osis {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

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
        if (at > 0 && !isBlank(tag[at - 1]))
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
            if (!isBlank(c) && c != '>' && c != '/')
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

// One tag of an entry.
struct Tag {
    QByteArray name;
    QByteArray text;      // between '<' and '>'
    bool closing = false; // </name>
    bool empty = false;   // <name …/>
    qsizetype end = 0;    // just past the '>'
};

// The tag that starts at `at` (a '<'); false when the '<' starts no tag.
// A '>' inside a quoted attribute value does not end the tag.
bool readTag(const QByteArray& entry, qsizetype at, Tag& tag) {
    char quote = 0;
    qsizetype i = at + 1;
    for (; i < entry.size(); ++i) {
        const char c = entry[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        } else if (c == '<') {
            return false;
        }
    }
    if (i >= entry.size())
        return false;
    tag.text = entry.mid(at + 1, i - at - 1);
    tag.end = i + 1;
    tag.closing = tag.text.startsWith('/');
    tag.empty = !tag.closing && tag.text.endsWith('/');
    qsizetype nameStart = tag.closing ? 1 : 0;
    qsizetype nameEnd = nameStart;
    while (nameEnd < tag.text.size() && !isBlank(tag.text[nameEnd]) && tag.text[nameEnd] != '/')
        ++nameEnd;
    tag.name = tag.text.mid(nameStart, nameEnd - nameStart);
    return !tag.name.isEmpty() && (std::isalpha(static_cast<unsigned char>(tag.name[0])) != 0);
}

// Where the element that `start` opens ends: just past its end tag, or the
// end of the entry when it has none.
qsizetype elementEnd(const QByteArray& entry, const Tag& start) {
    if (start.empty)
        return start.end;
    int depth = 1;
    qsizetype at = start.end;
    Tag tag;
    while ((at = entry.indexOf('<', at)) >= 0) {
        if (!readTag(entry, at, tag)) {
            ++at;
            continue;
        }
        at = tag.end;
        if (tag.name != start.name || tag.empty)
            continue;
        depth += tag.closing ? -1 : 1;
        if (depth == 0)
            return at;
    }
    return entry.size();
}

// Elements that end a line or a block of text: a blank stands for them.
bool isBreak(const QByteArray& name) {
    static const char* const names[] = {"lb",      "l",     "lg",    "p",         "div",
                                        "chapter", "item",  "list",  "milestone", "title",
                                        "head",    "verse", "table", "row",       "cell"};
    for (const char* n : names) {
        if (name == n)
            return true;
    }
    return false;
}

// Text with its character and entity references resolved.
QByteArray decodeReferences(const QByteArray& text) {
    if (!text.contains('&'))
        return text;
    QByteArray out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf('&', i);
        if (amp < 0) {
            out += text.mid(i);
            break;
        }
        out += text.mid(i, amp - i);
        const qsizetype semi = text.indexOf(';', amp);
        const QByteArray name =
            semi > amp && semi - amp <= 10 ? text.mid(amp + 1, semi - amp - 1) : QByteArray();
        QByteArray replacement;
        if (name == "amp")
            replacement = "&";
        else if (name == "lt")
            replacement = "<";
        else if (name == "gt")
            replacement = ">";
        else if (name == "quot")
            replacement = "\"";
        else if (name == "apos")
            replacement = "'";
        else if (name.startsWith('#') && name.size() > 1) {
            bool ok = false;
            const uint code = name[1] == 'x' || name[1] == 'X' ? name.mid(2).toUInt(&ok, 16)
                                                               : name.mid(1).toUInt(&ok, 10);
            // A NUL, a surrogate or a code beyond Unicode stays as written.
            if (ok && code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1).toUtf8();
            }
        }
        if (replacement.isNull()) {
            out += '&';
            i = amp + 1;
        } else {
            out += replacement;
            i = semi + 1;
        }
    }
    return out;
}

// The character whose UTF-8 form starts at `at` (U+FFFD where the bytes form none).
char32_t characterAt(const QByteArray& text, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size())
        return U'\uFFFD';
    if (length == 1)
        return lead;
    char32_t c = lead & (0x3F >> (length - 1));
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return U'\uFFFD';
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    return c;
}

// The first and the last character of UTF-8 text (0 for none).
char32_t firstCharacter(const QByteArray& text) {
    return text.isEmpty() ? 0 : characterAt(text, 0);
}

char32_t lastCharacter(const QByteArray& text) {
    qsizetype start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 &&
           (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    return start < 0 ? 0 : characterAt(text, start);
}

// Punctuation that closes, or continues, what stands before it: no blank goes before it.
bool closes(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Punctuation_Close:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Dash:
        return true;
    default:
        return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' ||
               c == U'\u2026';
    }
}

// Punctuation that opens what follows it: no blank goes after it.
bool opens(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Punctuation_Open:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_Dash:
        return true;
    default:
        return c == U'\u00BF' || c == U'\u00A1'; // ¿ ¡
    }
}

bool isSpace(char32_t c) {
    return c == 0 || QChar::isSpace(c);
}

// Collects the runs of one entry.
class Reader {
public:
    std::vector<Run> runs;

    void text(QByteArray piece) {
        if (piece.isEmpty())
            return;
        if (!divineNames.empty() && divineNames.back() == words.size())
            piece = QString::fromUtf8(piece).toUpper().toUtf8();
        if (gap) {
            gap = false;
            const char32_t before = last;
            const char32_t after = firstCharacter(piece);
            if (!isSpace(before) && !isSpace(after) && !opens(before) && !closes(after))
                add(" ", nullptr);
        }
        add(piece, words.empty() ? nullptr : &words.back());
        ended = false;
    }
    // Markup that ends a line or block.
    void lineBreak() {
        gap = false;
        add(" ", nullptr);
    }
    // Markup alone between what came before and what comes next.
    void markupBetween() { gap = true; }
    // An element that holds text begins: where another has just ended, with
    // no text between ("…</w><w>…", "…</transChange><w>…"), the two hold
    // separate words.
    void elementStart() {
        if (ended)
            gap = true;
    }
    void elementEnd() { ended = true; }
    void wordStart(const Tag& tag) {
        elementStart();
        words.push_back({attribute(tag.text, "lemma"), attribute(tag.text, "morph")});
        fresh = true;
    }
    // Text that stands in a divine-name element itself is shown in capitals
    // ("Lord" reads "LORD"); text of a word element within one keeps its
    // letters ("LORD’s", "Jah"), as in the module's own plain rendering.
    void divineNameStart() { divineNames.push_back(words.size()); }
    void divineNameEnd() {
        if (!divineNames.empty())
            divineNames.pop_back();
    }
    void wordEnd() {
        if (!words.empty())
            words.pop_back();
        elementEnd();
        fresh = true;
    }

private:
    struct Word {
        QByteArray lemma;
        QByteArray morph;
    };

    void add(const QByteArray& piece, const Word* word) {
        const bool inWord = word != nullptr;
        if (fresh || runs.empty() || runs.back().inWord != inWord) {
            Run run;
            run.inWord = inWord;
            if (word) {
                run.lemma = word->lemma;
                run.morph = word->morph;
            }
            runs.push_back(run);
            fresh = false;
        }
        runs.back().text += piece;
        last = lastCharacter(piece);
    }

    std::vector<Word> words; // the word elements open, innermost last
    char32_t last = 0;       // the last character so far
    bool gap = false;        // markup alone has stood since the last text
    bool ended = false;      // an element has ended, and no text has come since
    bool fresh = false;      // the next text starts a run of its own
    std::vector<std::size_t>
        divineNames; // for each divine name open, the word elements open at its start
};

} // namespace

std::vector<Run> read(const QByteArray& entry) {
    Reader reader;
    qsizetype at = 0;
    Tag tag;
    while (at < entry.size()) {
        qsizetype lt = entry.indexOf('<', at);
        while (lt >= 0 && !readTag(entry, lt, tag))
            lt = entry.indexOf('<', lt + 1);
        if (lt < 0)
            lt = entry.size();
        reader.text(decodeReferences(entry.mid(at, lt - at)));
        if (lt >= entry.size())
            break;
        at = tag.end;
        if (tag.closing) {
            if (tag.name == "w")
                reader.wordEnd();
            else if (isBreak(tag.name))
                reader.lineBreak();
            else
                reader.elementEnd();
            if (tag.name == "divineName")
                reader.divineNameEnd();
            continue;
        }
        const bool left = tag.name == "note" || tag.name == "speaker" ||
                          (tag.name == "title" && attribute(tag.text, "canonical") != "true");
        if (left) {
            at = elementEnd(entry, tag);
            reader.markupBetween();
        } else if (tag.name == "w") {
            reader.wordStart(tag);
            if (tag.empty)
                reader.wordEnd();
        } else if (isBreak(tag.name)) {
            reader.lineBreak();
        } else if (!tag.empty) {
            reader.elementStart();
            if (tag.name == "divineName")
                reader.divineNameStart();
        }
    }
    return reader.runs;
}

QByteArray plainText(const std::vector<Run>& runs) {
    QByteArray text;
    for (const Run& run : runs)
        text += run.text;
    return text;
}

std::vector<QByteArray> strongsNumbers(const QByteArray& lemma) {
    std::vector<QByteArray> numbers;
    for (QByteArray part : lemma.split(' ')) {
        if (part.startsWith("strong:"))
            part = part.mid(7);
        else if (part.contains(':'))
            continue; // a lemma of another kind
        if (part.size() >= 2 && (part[0] == 'H' || part[0] == 'G') &&
            std::all_of(part.begin() + 1, part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            numbers.push_back(part);
    }
    return numbers;
}
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
