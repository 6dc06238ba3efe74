#include "concordance/lexicon.h"

#include <QStringDecoder>
#include <QXmlStreamReader>

#include <array>

namespace concordance::lexicon {

namespace {

QString simplified(const QString& text) {
    return text.simplified();
}

// The text of the element the reader stands at, markup inside dropped.
QString elementText(QXmlStreamReader& xml) {
    return xml.readElementText(QXmlStreamReader::IncludeChildElements);
}

// The definition's text without its derivation, which `orig` holds.
void readDefinition(QXmlStreamReader& xml, Entry& entry) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == QLatin1String("orig")) {
                entry.derivation = simplified(elementText(xml));
            } else {
                if (xml.name() == QLatin1String("lb"))
                    text += QLatin1Char(' ');
                ++depth;
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            text += xml.text();
            break;
        default:
            break;
        }
    }
    entry.definition = simplified(text);
}

// Markup that the reader cannot take: its text with the tags left out.
QString withoutTags(const QByteArray& markup) {
    QString text;
    bool inTag = false;
    for (const QChar c : QString::fromUtf8(markup)) {
        if (c == QLatin1Char('<'))
            inTag = true;
        else if (c == QLatin1Char('>'))
            inTag = false;
        else if (!inTag)
            text += c;
    }
    return simplified(text);
}

// The characters that Windows-1252 puts at 0x80 to 0x9F; 0 where it has none
// and the byte stands for itself.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of `c`, or -1 where it has none.
int windows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    if (c <= 0x9F)
        return windows1252High[c - 0x80] == 0 ? int(c) : -1;
    for (std::size_t i = 0; i < windows1252High.size(); ++i) {
        if (windows1252High[i] == c)
            return int(0x80 + i);
    }
    return -1;
}

} // namespace

QByteArray undoDoubleEncoding(const QByteArray& text) {
    const QString decoded = QString::fromUtf8(text);
    QByteArray bytes;
    bytes.reserve(text.size());
    bool nonAscii = false;
    for (const QChar c : decoded) {
        const int byte = windows1252Byte(c.unicode());
        if (byte < 0)
            return text; // a character the second encoding cannot have made
        nonAscii |= byte >= 0x80;
        bytes += char(byte);
    }
    if (!nonAscii)
        return text;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString once = utf8.decode(bytes);
    return utf8.hasError() ? text : once.toUtf8();
}

Entry parseEntry(const QByteArray& markup) {
    Entry entry;
    QXmlStreamReader xml(markup);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("orth")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = simplified(elementText(xml));
            if (type == QLatin1String("trans"))
                entry.transliteration = text;
            else if (type.isEmpty() && entry.headword.isEmpty())
                entry.headword = text;
        } else if (name == QLatin1String("pron")) {
            entry.pronunciation = simplified(elementText(xml));
        } else if (name == QLatin1String("def")) {
            readDefinition(xml, entry);
        }
    }
    if (xml.hasError())
        return Entry{{}, {}, {}, {}, withoutTags(markup)};
    return entry;
}

QString summary(const Entry& entry) {
    QString line = entry.headword;
    if (!entry.transliteration.isEmpty())
        line += line.isEmpty() ? entry.transliteration
                               : QStringLiteral(" (%1)").arg(entry.transliteration);
    if (!entry.definition.isEmpty())
        line += line.isEmpty() ? entry.definition : QStringLiteral(": ") + entry.definition;
    return line;
}

} // namespace concordance::lexicon
