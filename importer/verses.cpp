#include "importer/verses.h"

#include "concordance/numberformat.h"
#include "concordance/wordrule.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <array>

namespace verses {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Parses a decimal number of at most 9 digits; false for anything else.
bool parseNumber(QByteArrayView digits, int& value) {
    if (digits.isEmpty() || digits.size() > 9)
        return false;
    int v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// Checks the parts of a place read from a file, with a message naming the part.
bool checkPlace(const Place& p, QString& message) {
    struct Part {
        const char* what;
        int value;
        int max;
    };
    const std::array<Part, 3> parts{
        {{"book", p.book, maxBook}, {"chapter", p.chapter, maxPart}, {"verse", p.verse, maxPart}}};
    for (const Part& part : parts) {
        if (part.value < 1 || part.value > part.max) {
            message = QStringLiteral("%1 %2 out of range (1 to %3)")
                          .arg(QLatin1String(part.what))
                          .arg(part.value)
                          .arg(part.max);
            return false;
        }
    }
    return true;
}

// "chapter:verse" → the two numbers; a number too long to read counts as out of range.
bool parseChapterVerse(QByteArrayView text, int& chapter, int& verse, bool& tooLarge) {
    const qsizetype colon = text.indexOf(':');
    if (colon <= 0 || colon == text.size() - 1)
        return false;
    const QByteArrayView c = text.first(colon);
    const QByteArrayView v = text.sliced(colon + 1);
    auto digitsOnly = [](QByteArrayView s) {
        return std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    };
    if (!digitsOnly(c) || !digitsOnly(v))
        return false;
    tooLarge = !parseNumber(c, chapter) || !parseNumber(v, verse);
    return true;
}

bool allDigits(QByteArrayView s) {
    return !s.isEmpty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads a book given by name or by number.
bool parseBook(const QByteArray& text, int& book, QString& message) {
    if (allDigits(text)) {
        if (!parseNumber(text, book))
            book = maxPart + 1;
        return true;
    }
    book = bookNumber(QString::fromUtf8(text));
    if (book == 0) {
        message = QStringLiteral("unknown book name \"%1\"").arg(QString::fromUtf8(text));
        return false;
    }
    return true;
}

// The place named by a book name and a parsed chapter and verse, checked.
bool makePlace(const QByteArray& bookText, int chapter, int verse, bool tooLarge, Place& place,
               QString& message) {
    if (!parseBook(bookText, place.book, message))
        return false;
    if (tooLarge) {
        message = QStringLiteral("chapter or verse out of range (1 to %1)").arg(maxPart);
        return false;
    }
    place.chapter = chapter;
    place.verse = verse;
    return checkPlace(place, message);
}

// The verse field of a tab-separated line: a packed key (decimal or 0x
// hexadecimal), "book chapter verse" or "book chapter:verse".
bool parseVerseField(const QByteArray& field, Place& place, QString& message) {
    const QList<QByteArray> words = field.split(' ');
    const QString expected =
        QStringLiteral("expected a verse key or \"book chapter verse\", a tab and the text");
    if (field.isEmpty()) {
        message = expected;
        return false;
    }
    if (words.size() == 1) {
        const QByteArray& w = words.front();
        const bool hex = w.startsWith("0x") || w.startsWith("0X");
        if (hex ? w.size() == 2 : !allDigits(w)) {
            message = expected;
            return false;
        }
        bool ok = false;
        const qulonglong key = hex ? w.mid(2).toULongLong(&ok, 16) : w.toULongLong(&ok, 10);
        if (!ok || !isValidKey(key)) {
            message = QStringLiteral("verse key %1 out of range (book 1 to %2 in bits 24-31, "
                                     "chapter and verse 1 to %3 in bits 16-23 and 8-15, bits "
                                     "0-7 zero)")
                          .arg(QString::fromUtf8(w))
                          .arg(maxBook)
                          .arg(maxPart);
            return false;
        }
        place = unpackKey(quint32(key));
        return true;
    }
    int chapter = 0;
    int verse = 0;
    bool tooLarge = false;
    qsizetype bookWords = 0;
    if (parseChapterVerse(words.back(), chapter, verse, tooLarge)) {
        bookWords = words.size() - 1;
    } else if (words.size() >= 3 && allDigits(words[words.size() - 2]) && allDigits(words.back())) {
        tooLarge =
            !parseNumber(words[words.size() - 2], chapter) || !parseNumber(words.back(), verse);
        bookWords = words.size() - 2;
    } else {
        message = expected;
        return false;
    }
    return makePlace(words.mid(0, bookWords).join(' '), chapter, verse, tooLarge, place, message);
}

// The longest line a verse file may have; no verse comes near it, and a
// stream without line ends (a device, say) cannot fill the memory.
constexpr qsizetype maxLineBytes = qsizetype(1) << 20;

// Lines of a file or of a stream (a pipe, a FIFO), read as they come. A line
// ends at "\n", at "\r\n" or at a lone "\r".
class LineReader {
public:
    explicit LineReader(QIODevice& device) : in(device) {}

    // The next line, without its end; false at the end of the input, or when
    // a line is longer than maxLineBytes (tooLong() tells).
    bool next(QByteArray& line) {
        for (;;) {
            while (scan < buffer.size() && buffer[scan] != '\n' && buffer[scan] != '\r')
                ++scan;
            if (scan < buffer.size()) {
                // A "\r" at the end of what has come may be followed by "\n".
                if (buffer[scan] == '\r' && scan + 1 == buffer.size() && fill())
                    continue;
                line = buffer.mid(start, scan - start);
                const bool crlf =
                    buffer[scan] == '\r' && scan + 1 < buffer.size() && buffer[scan + 1] == '\n';
                start = scan = scan + (crlf ? 2 : 1);
                return true;
            }
            if (scan - start > maxLineBytes) {
                overlong = true;
                return false;
            }
            if (!fill()) {
                if (start == buffer.size())
                    return false;
                line = buffer.mid(start);
                start = scan = buffer.size();
                return true;
            }
        }
    }
    bool tooLong() const { return overlong; }

private:
    // Appends what the input has next; false at its end.
    bool fill() {
        const QByteArray chunk = in.read(64 * 1024);
        if (chunk.isEmpty())
            return false;
        buffer.remove(0, start);
        scan -= start;
        start = 0;
        buffer += chunk;
        return true;
    }

    QIODevice& in;
    QByteArray buffer;
    qsizetype start = 0; // where the next line starts
    qsizetype scan = 0;  // how far it has been searched for its end
    bool overlong = false;
};

} // namespace

QByteArray simplified(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    bool pendingBlank = false;
    for (char c : text) {
        if (isBlank(c)) {
            pendingBlank = !out.isEmpty();
            continue;
        }
        if (pendingBlank)
            out += ' ';
        pendingBlank = false;
        out += c;
    }
    return out;
}

QByteArray foldApostrophes(const QByteArray& text, int* count) {
    // U+2018 and U+2019 are E2 80 98 and E2 80 99 in UTF-8.
    QByteArray out;
    out.reserve(text.size());
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\xe2' && i + 2 < text.size() && text[i + 1] == '\x80' &&
            (text[i + 2] == '\x98' || text[i + 2] == '\x99')) {
            out += '\'';
            i += 2;
            ++n;
        } else {
            out += text[i];
        }
    }
    if (count)
        *count += n;
    return out;
}

bool isValidUtf8(const QByteArray& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.constData());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int more = 0;
        quint32 cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            more = 1;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            more = 2;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= n)
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3f);
        }
        // Overlong forms, surrogates and values above U+10FFFF.
        if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || cp > 0x10ffff ||
            (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        i += more + 1;
    }
    return true;
}

QString Collection::reference(quint32 key) const {
    return reference(unpackKey(key));
}

QString Collection::reference(const Place& place) const {
    const auto it = names.find(place.book);
    const QString book = it != names.end() ? it->second : bookName(place.book);
    return QStringLiteral("%1 %2:%3").arg(book).arg(place.chapter).arg(place.verse);
}

bool Collection::add(const Place& place, const QByteArray& text, const QString& origin, int line,
                     std::vector<wordtags::WordTag> tags) {
    QString problem;
    if (!checkPlace(place, problem)) {
        error(QStringLiteral("%1: %2").arg(origin, problem));
        return false;
    }
    if (!isValidUtf8(text)) {
        error(QStringLiteral("%1: the text is not valid UTF-8").arg(origin));
        return false;
    }
    // A table would keep the text up to the NUL alone.
    if (text.contains('\0')) {
        error(QStringLiteral("%1: the verse text holds a NUL byte").arg(origin));
        return false;
    }
    const quint32 key = packKey(place);
    const auto seen = lineOfKey.constFind(key);
    if (seen != lineOfKey.constEnd()) {
        QString message = QStringLiteral("%1: duplicate verse %2").arg(origin, reference(key));
        if (*seen > 0)
            message += QStringLiteral(" (first on line %1)").arg(*seen);
        error(message);
        return false;
    }
    lineOfKey.insert(key, line);

    QByteArray clean = simplified(text);
    if (!keepQuotes)
        clean = foldApostrophes(clean, &folded);
    if (clean.size() > longestSize) {
        longestSize = clean.size();
        longest = key;
    }
    const int wordCount = words.rule == concordance::WordRule::Byte
                              ? concordance::countWords(clean)
                              : concordance::countWords(QString::fromUtf8(clean), words);
    if (wordCount > maxWordsPerVerse)
        crowded << key;
    if (clean.size() > overlongBytes)
        overlong << key;
    tagged += static_cast<qint64>(tags.size());
    list.push_back(Verse{key, std::move(clean), std::move(tags)});
    return true;
}

std::vector<Verse> Collection::sorted() const {
    std::vector<Verse> out = list;
    std::sort(out.begin(), out.end(), [](const Verse& a, const Verse& b) { return a.key < b.key; });
    return out;
}

bool parseVersePerLine(const QByteArray& line, Place& place, QByteArray& text, QString& message) {
    place = Place{};
    const QByteArray s = line.trimmed();
    if (s.isEmpty())
        return true;
    // The reference ends at the first "chapter:verse" word after the book name.
    qsizetype start = 0;
    while (start < s.size()) {
        qsizetype end = start;
        while (end < s.size() && !isBlank(s[end]))
            ++end;
        const QByteArrayView word(s.constData() + start, end - start);
        int chapter = 0;
        int verse = 0;
        bool tooLarge = false;
        if (start > 0 && parseChapterVerse(word, chapter, verse, tooLarge)) {
            if (!makePlace(simplified(s.first(start)), chapter, verse, tooLarge, place, message))
                return false;
            text = s.sliced(end).trimmed();
            if (text.isEmpty()) {
                message = QStringLiteral("line without text");
                return false;
            }
            return true;
        }
        start = end;
        while (start < s.size() && isBlank(s[start]))
            ++start;
    }
    message = QStringLiteral("not a verse line (expected \"Book chapter:verse text\")");
    return false;
}

bool parseTabSeparated(const QByteArray& line, Place& place, QByteArray& text, QString& message) {
    place = Place{};
    if (line.trimmed().isEmpty())
        return true;
    const qsizetype tab = line.indexOf('\t');
    Place found;
    if (!parseVerseField(simplified(tab < 0 ? line : line.first(tab)), found, message))
        return false;
    text = tab < 0 ? QByteArray() : line.sliced(tab + 1).trimmed();
    if (text.isEmpty()) {
        message = QStringLiteral("line without text");
        return false;
    }
    place = found;
    return true;
}

bool readFile(const QString& path, FileForm form, Collection& verses) {
    QFile file(path);
    const QString& shown = path;
    if (!file.open(QIODevice::ReadOnly)) {
        verses.error(QStringLiteral("%1: cannot open the file: %2").arg(shown, file.errorString()));
        return false;
    }
    LineReader lines(file);
    int lineNumber = 0;
    QByteArray line;
    while (lines.next(line)) {
        ++lineNumber;
        if (lineNumber == 1 && line.startsWith("\xef\xbb\xbf"))
            line.remove(0, 3);
        const QString origin = QStringLiteral("%1:%2").arg(shown).arg(lineNumber);
        if (!isValidUtf8(line)) {
            verses.error(QStringLiteral("%1: the line is not valid UTF-8").arg(origin));
            continue;
        }
        Place place;
        QByteArray text;
        QString message;
        const bool ok = form == FileForm::VersePerLine
                            ? parseVersePerLine(line, place, text, message)
                            : parseTabSeparated(line, place, text, message);
        if (!ok) {
            verses.error(QStringLiteral("%1: %2").arg(origin, message));
            continue;
        }
        if (place.book == 0)
            continue; // blank line
        verses.add(place, text, origin, lineNumber);
    }
    if (lines.tooLong()) {
        verses.error(QStringLiteral("%1:%2: the line is longer than %3 bytes")
                         .arg(shown)
                         .arg(lineNumber + 1)
                         .arg(concordance::formatNumber(maxLineBytes)));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        verses.error(QStringLiteral("%1: read error: %2").arg(shown, file.errorString()));
        return false;
    }
    return true;
}

} // namespace verses
