#include "concordance/books.h"

#include "concordance/versekey.h"

#include <QHash>
#include <QStringList>
#include <array>
#include <cstring>

namespace concordance {

namespace {

struct Book {
    const char* osis;
    const char* name;
    // Further names, separated by '|'.
    const char* variants;
};

// Books 1..66 in the Protestant order, then the further books in the order of
// the NRSVA versification.
constexpr std::array books{
    Book{"Gen", "Genesis", "Gn|Ge"},
    Book{"Exod", "Exodus", "Ex|Exo"},
    Book{"Lev", "Leviticus", "Lv|Le"},
    Book{"Num", "Numbers", "Nm|Nu"},
    Book{"Deut", "Deuteronomy", "Dt|Deu"},
    Book{"Josh", "Joshua", "Jos"},
    Book{"Judg", "Judges", "Jdg|Jg"},
    Book{"Ruth", "Ruth", "Ru|Rth"},
    Book{"1Sam", "1 Samuel", "1Sa|1 Kingdoms"},
    Book{"2Sam", "2 Samuel", "2Sa|2 Kingdoms"},
    Book{"1Kgs", "1 Kings", "1Ki|1Kin|3 Kingdoms"},
    Book{"2Kgs", "2 Kings", "2Ki|2Kin|4 Kingdoms"},
    Book{"1Chr", "1 Chronicles", "1Ch|1Chron"},
    Book{"2Chr", "2 Chronicles", "2Ch|2Chron"},
    Book{"Ezra", "Ezra", "Ezr"},
    Book{"Neh", "Nehemiah", "Ne"},
    Book{"Esth", "Esther", "Est|Es"},
    Book{"Job", "Job", "Jb"},
    Book{"Ps", "Psalms", "Psalm|Psa|Pss"},
    Book{"Prov", "Proverbs", "Pr|Pro|Prv"},
    Book{"Eccl", "Ecclesiastes", "Ecc|Ec|Qoheleth"},
    Book{"Song", "Song of Solomon", "Song of Songs|Canticles|Canticle of Canticles|SS|Sng"},
    Book{"Isa", "Isaiah", "Is"},
    Book{"Jer", "Jeremiah", "Je"},
    Book{"Lam", "Lamentations", "La"},
    Book{"Ezek", "Ezekiel", "Eze|Ezk"},
    Book{"Dan", "Daniel", "Da|Dn"},
    Book{"Hos", "Hosea", "Ho"},
    Book{"Joel", "Joel", "Jl|Joe"},
    Book{"Amos", "Amos", "Am"},
    Book{"Obad", "Obadiah", "Ob|Oba"},
    Book{"Jonah", "Jonah", "Jon|Jnh"},
    Book{"Mic", "Micah", "Mi"},
    Book{"Nah", "Nahum", "Na"},
    Book{"Hab", "Habakkuk", "Hb"},
    Book{"Zeph", "Zephaniah", "Zep|Zp"},
    Book{"Hag", "Haggai", "Hg"},
    Book{"Zech", "Zechariah", "Zec|Zc"},
    Book{"Mal", "Malachi", "Ml"},
    Book{"Matt", "Matthew", "Mt|Mat"},
    Book{"Mark", "Mark", "Mk|Mr|Mrk"},
    Book{"Luke", "Luke", "Lk|Luk"},
    Book{"John", "John", "Jn|Jhn|Joh"},
    Book{"Acts", "Acts", "Ac|Act|Acts of the Apostles"},
    Book{"Rom", "Romans", "Ro|Rm"},
    Book{"1Cor", "1 Corinthians", "1Co"},
    Book{"2Cor", "2 Corinthians", "2Co"},
    Book{"Gal", "Galatians", "Ga"},
    Book{"Eph", "Ephesians", "Ep"},
    Book{"Phil", "Philippians", "Php|Phi"},
    Book{"Col", "Colossians", "Co"},
    Book{"1Thess", "1 Thessalonians", "1Th|1Thes"},
    Book{"2Thess", "2 Thessalonians", "2Th|2Thes"},
    Book{"1Tim", "1 Timothy", "1Ti"},
    Book{"2Tim", "2 Timothy", "2Ti"},
    Book{"Titus", "Titus", "Tit"},
    Book{"Phlm", "Philemon", "Phm|Philem"},
    Book{"Heb", "Hebrews", "He"},
    Book{"Jas", "James", "Jm|Jam"},
    Book{"1Pet", "1 Peter", "1Pe|1Pt"},
    Book{"2Pet", "2 Peter", "2Pe|2Pt"},
    Book{"1John", "1 John", "1Jn|1Jo|1Jhn"},
    Book{"2John", "2 John", "2Jn|2Jo|2Jhn"},
    Book{"3John", "3 John", "3Jn|3Jo|3Jhn"},
    Book{"Jude", "Jude", "Jud|Jd"},
    Book{"Rev", "Revelation", "Revelation of John|Re|Rv|Apocalypse"},
    Book{"Tob", "Tobit", "Tb"},
    Book{"Jdt", "Judith", "Jth"},
    Book{"EsthGr", "Esther (Greek)", "Greek Esther|AddEsth|Additions to Esther"},
    Book{"Wis", "Wisdom", "Wisdom of Solomon"},
    Book{"Sir", "Sirach", "Ecclesiasticus"},
    Book{"Bar", "Baruch", ""},
    Book{"PrAzar", "Prayer of Azariah", "Song of the Three Children"},
    Book{"Sus", "Susanna", ""},
    Book{"Bel", "Bel and the Dragon", ""},
    Book{"1Macc", "1 Maccabees", "1Ma"},
    Book{"2Macc", "2 Maccabees", "2Ma"},
    Book{"1Esd", "1 Esdras", ""},
    Book{"PrMan", "Prayer of Manasses", "Prayer of Manasseh"},
    Book{"AddPs", "Additional Psalm", "Psalm 151|Ps151"},
    Book{"3Macc", "3 Maccabees", "3Ma"},
    Book{"2Esd", "2 Esdras", ""},
    Book{"4Macc", "4 Maccabees", "4Ma"},
};
static_assert(books[protestantBooks - 1].osis[0] == 'R', "Revelation closes the 66 books");

// The form names are compared in: lower case, without blanks and full stops,
// a leading Roman numeral I to IV (followed by a blank) as a digit.
QString nameKey(QStringView name) {
    QString s = name.trimmed().toString().toLower();
    static const std::array<std::pair<const char*, const char*>, 4> roman{
        {{"iv ", "4"}, {"iii ", "3"}, {"ii ", "2"}, {"i ", "1"}}};
    for (const auto& [numeral, digit] : roman) {
        if (s.startsWith(QLatin1String(numeral))) {
            s = QLatin1String(digit) + s.mid(static_cast<qsizetype>(strlen(numeral)));
            break;
        }
    }
    s.remove(QLatin1Char(' '));
    s.remove(QLatin1Char('.'));
    s.remove(QLatin1Char('\t'));
    return s;
}

const QHash<QString, int>& nameTable() {
    static const QHash<QString, int> table = [] {
        QHash<QString, int> t;
        for (int i = 0; i < static_cast<int>(books.size()); ++i) {
            const Book& b = books[static_cast<size_t>(i)];
            QStringList all{QLatin1String(b.osis), QLatin1String(b.name)};
            if (*b.variants)
                all += QString::fromLatin1(b.variants).split(QLatin1Char('|'));
            for (const QString& n : all)
                t.insert(nameKey(n), i + 1);
        }
        return t;
    }();
    return table;
}

} // namespace

int fixedBookCount() {
    return static_cast<int>(books.size());
}

int bookNumber(QStringView name) {
    return nameTable().value(nameKey(name), 0);
}

int bookNumberFromOsis(QStringView osisId) {
    for (int i = 0; i < static_cast<int>(books.size()); ++i) {
        if (osisId == QLatin1String(books[static_cast<size_t>(i)].osis))
            return i + 1;
    }
    return 0;
}

QString bookName(int book) {
    if (book >= 1 && book <= fixedBookCount())
        return QLatin1String(books[static_cast<size_t>(book - 1)].name);
    return QStringLiteral("Book %1").arg(book);
}

QString verseReference(qint32 key) {
    QString reference =
        QStringLiteral("%1 %2:%3").arg(bookName(bookOf(key))).arg(chapterOf(key)).arg(verseOf(key));
    if (quint32(key) & 0xff)
        reference += QStringLiteral(" (key %1)").arg(key);
    return reference;
}

} // namespace concordance
