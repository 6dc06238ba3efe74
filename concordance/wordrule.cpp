#include "concordance/wordrule.h"

namespace concordance {

namespace {

// The text up to its first NUL, NUL-terminated: a view need not be.
QByteArray terminated(QByteArrayView text) {
    return QByteArray(text.data(), qstrnlen(text.data(), static_cast<size_t>(text.size())));
}

} // namespace

QList<WordSpan> wordSpans(QByteArrayView text) {
    QList<WordSpan> spans;
    forEachWord(terminated(text).constData(), [&spans](qsizetype start, qsizetype length) {
        spans.append({start, length});
    });
    return spans;
}

QByteArray wordAt(QByteArrayView text, const WordSpan& span) {
    QByteArray word = text.sliced(span.start, span.length).toByteArray();
    for (char& c : word)
        c = lowerCase(c);
    return word;
}

int countWords(QByteArrayView text) {
    int words = 0;
    forEachWord(terminated(text).constData(), [&words](qsizetype, qsizetype) { ++words; });
    return words;
}

} // namespace concordance

namespace concordance {

namespace wordrule {

CharClass unicodeClass(char32_t c) {
    // Whatever was not valid UTF-8 arrives as U+FFFD: a blank, as it was.
    if (c == 0xfffd)
        return CharClass::Ender;
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return CharClass::Starter;
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other:
        return CharClass::Inner;
    default:
        return CharClass::Ender;
    }
}

const std::array<CharClass, 128> asciiClasses = [] {
    std::array<CharClass, 128> classes{};
    for (char32_t c = 0; c < 128; ++c)
        classes[c] = unicodeClass(c);
    return classes;
}();

} // namespace wordrule

namespace {

void appendCodePoint(QString& text, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        text.append(QChar(QChar::highSurrogate(c)));
        text.append(QChar(QChar::lowSurrogate(c)));
    } else {
        text.append(QChar(char16_t(c)));
    }
}

bool isAscii(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() >= 128)
            return false;
    return true;
}

} // namespace

QString toNfc(const QString& text) {
    return isAscii(text) ? text : text.normalized(QString::NormalizationForm_C);
}

QString foldWord(QStringView word, bool foldAccents) {
    QString folded(word.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(folded.data());
    bool ascii = true;
    for (const QChar qc : word) {
        const char16_t c = qc.unicode();
        ascii = ascii && c < 128;
        *out++ = c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
    }
    if (ascii)
        return folded;

    // Simple case folding maps one code point to one, though not always to
    // as many UTF-16 units: the folded word is written anew.
    folded.clear();
    const QList<uint> codePoints = word.toUcs4();
    for (const uint c : codePoints) {
        appendCodePoint(folded, QChar::toCaseFolded(char32_t(c)));
    }
    if (!foldAccents)
        return folded.normalized(QString::NormalizationForm_C);

    const QString decomposed = folded.normalized(QString::NormalizationForm_D);
    QString bare;
    bare.reserve(decomposed.size());
    const QList<uint> parts = decomposed.toUcs4();
    for (const uint c : parts) {
        if (QChar::category(char32_t(c)) == QChar::Mark_NonSpacing)
            continue;
        appendCodePoint(bare, char32_t(c));
    }
    return bare.normalized(QString::NormalizationForm_C);
}

QList<WordSpan> wordSpans(const QString& text, WordForm form) {
    QList<WordSpan> spans;
    if (form.rule == WordRule::Byte) {
        // Byte offsets into the UTF-8 text, as offsets into the UTF-16 text.
        const QByteArray bytes = text.toUtf8();
        for (const WordSpan& span : wordSpans(bytes)) {
            const qsizetype start = QString::fromUtf8(bytes.first(span.start)).size();
            const qsizetype length =
                QString::fromUtf8(bytes.sliced(span.start, span.length)).size();
            spans.append({start, length});
        }
        return spans;
    }
    forEachUnicodeWord(toNfc(text), [&spans](qsizetype start, qsizetype length) {
        spans.append({start, length});
    });
    return spans;
}

QString firstStoredWord(const QString& text, WordForm form, int* wordCount) {
    QString first;
    int count = 0;
    forEachStoredWord(text, form, [&](const QString& word) {
        if (count++ == 0)
            first = word;
    });
    if (wordCount)
        *wordCount = count;
    return first;
}

int countWords(const QString& text, WordForm form) {
    if (form.rule == WordRule::Byte)
        return countWords(text.toUtf8());
    int count = 0;
    forEachUnicodeWord(toNfc(text), [&count](qsizetype, qsizetype) { ++count; });
    return count;
}

int wordLength(QStringView word) {
    qsizetype length = 0;
    for (const QChar c : word)
        length += c.isLowSurrogate() ? 0 : 1;
    return int(length);
}

} // namespace concordance
