// The query language and the ranges, without a text: what each query parses
// into (written back in full form), what a bad query is told and where, and
// the verse keys a range stands for.

#include "concordance/query.h"
#include "concordance/versekey.h"
#include "concordance/verserange.h"

#include <QtTest>

using concordance::KeySpan;
using concordance::parseQuery;
using concordance::QueryError;
using concordance::RangeError;
using concordance::verseKey;
using concordance::VerseRange;

Q_DECLARE_METATYPE(QList<KeySpan>)

namespace {

KeySpan span(int book1, int chapter1, int verse1, int book2, int chapter2, int verse2) {
    return {verseKey(book1, chapter1, verse1), verseKey(book2, chapter2, verse2)};
}

} // namespace

class TestQuery : public QObject {
    Q_OBJECT

private slots:
    void parse_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("a word, as the word rule makes it") << "JESUS,"
                                                           << "jesus";
        QTest::newRow("an apostrophe stays") << "Lord's"
                                             << "lord's";
        QTest::newRow("a phrase") << "\"The Son of  Man\""
                                  << "\"the son of man\"";
        QTest::newRow("punctuation in a phrase is no word") << "\"lord , god\""
                                                            << "\"lord god\"";
        QTest::newRow("a prefix") << "Bless*"
                                  << "bless*";
        QTest::newRow("a prefix inside a phrase") << "\"bless* the\""
                                                  << "\"bless* the\"";
        QTest::newRow("a token the word rule splits is a phrase") << "caf\u00e9s"
                                                                  << "\"caf s\"";
        QTest::newRow("all in one verse") << "faith hope charity"
                                          << "(faith AND hope AND charity)";
        QTest::newRow("AND written out") << "faith AND hope"
                                         << "(faith AND hope)";
        QTest::newRow("operators only in capitals") << "faith or hope"
                                                    << "(faith AND or AND hope)";
        QTest::newRow("OR binds looser than AND") << "a b OR c"
                                                  << "((a AND b) OR c)";
        QTest::newRow("OR chains flatten") << "a OR b OR c"
                                           << "(a OR b OR c)";
        QTest::newRow("NEAR alone allows 10") << "faith NEAR love"
                                              << "(faith NEAR/10 love)";
        QTest::newRow("NEAR binds tighter than AND") << "a NEAR/3 b c"
                                                     << "((a NEAR/3 b) AND c)";
        QTest::newRow("NEAR of a phrase and a prefix") << "\"son of man\" NEAR/0 glor*"
                                                       << "(\"son of man\" NEAR/0 glor*)";
        QTest::newRow("exclusion") << "jesus -wept"
                                   << "(jesus AND -wept)";
        QTest::newRow("exclusion alone") << "-jesus"
                                         << "-jesus";
        QTest::newRow("exclusion of a group") << "a -(b OR c)"
                                              << "(a AND -(b OR c))";
        QTest::newRow("exclusion of a phrase") << "a -\"b c\""
                                               << "(a AND -\"b c\")";
        QTest::newRow("a hyphen inside a word") << "well-pleasing"
                                                << "well-pleasing";
        QTest::newRow("parentheses") << "(a OR b) c"
                                     << "((a OR b) AND c)";
        QTest::newRow("nested parentheses") << "((a))"
                                            << "a";
    }
    void parse() {
        QFETCH(QString, query);
        QFETCH(QString, parsed);
        QCOMPARE(concordance::toString(parseQuery(query)), parsed);
    }

    // A text of the Unicode rule makes the query's words by it: whole,
    // case-folded and, when its accents are folded, without them.
    void wordsByTheTextsRule() {
        const QString query = QStringLiteral("CORAZ\u00D3N AND \"hijo de Dios\" OR jes\u00FA*");
        QCOMPARE(concordance::toString(parseQuery(query)),
                 QStringLiteral("((\"coraz n\" AND \"hijo de dios\") OR jes*)"));
        using concordance::WordForm;
        using concordance::WordRule;
        QCOMPARE(concordance::toString(parseQuery(query, WordForm{WordRule::Unicode, false})),
                 QStringLiteral("(coraz\u00F3n AND \"hijo de dios\") OR jes\u00FA*)").prepend('('));
        QCOMPARE(concordance::toString(parseQuery(query, WordForm{WordRule::Unicode, true})),
                 QStringLiteral("((corazon AND \"hijo de dios\") OR jesu*)"));
    }

    void badQueries_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "   " << 0 << "the query is empty";
        QTest::newRow("unbalanced quote")
            << "jesus \"son of" << 6 << "the phrase at character 7 has no closing quote";
        QTest::newRow("empty phrase") << "a \"  \"" << 2 << "the phrase at character 3 is empty";
        QTest::newRow("NEAR/ with letters")
            << "a NEAR/x b" << 7 << "NEAR/ at character 3 takes a number of words, as in NEAR/5";
        QTest::newRow("NEAR/ without a number")
            << "a NEAR/ b" << 7 << "NEAR/ at character 3 takes a number of words, as in NEAR/5";
        QTest::newRow("NEAR/ too far")
            << "a NEAR/256 b" << 7 << "NEAR/ at character 3 allows at most 255 words between";
        QTest::newRow("NEAR/ far too far")
            << "a NEAR/99999999999 b" << 7
            << "NEAR/ at character 3 allows at most 255 words between";
        QTest::newRow("empty prefix")
            << "a *" << 2
            << "the * at character 3 needs the start of a word before it, as in bless*";
        QTest::newRow("empty prefix in a phrase")
            << "\"a *\"" << 3
            << "the * at character 4 needs the start of a word before it, as in bless*";
        QTest::newRow("star inside a word")
            << "bl*ss" << 2 << "the * at character 3 may only end a word, as in bless*";
        QTest::newRow("no word") << "a ..." << 2 << "\"...\" at character 3 holds no word";
        QTest::newRow("parenthesis not closed")
            << "(a OR b" << 0 << "the parenthesis at character 1 is not closed";
        QTest::newRow("parenthesis alone")
            << "a (" << 2 << "the parenthesis at character 3 is not closed";
        QTest::newRow("parenthesis closing none")
            << "a) b" << 1 << "the parenthesis at character 2 closes none that is open";
        QTest::newRow("empty parentheses")
            << "a ()" << 2 << "the parentheses at character 3 hold nothing";
        QTest::newRow("OR first") << "OR a" << 0 << "OR at character 1 needs a term before it";
        QTest::newRow("OR last") << "a OR" << 2 << "OR at character 3 needs a term after it";
        QTest::newRow("OR twice") << "a OR OR b" << 2 << "OR at character 3 needs a term after it";
        QTest::newRow("NEAR last") << "a NEAR" << 2 << "NEAR at character 3 needs a term after it";
        QTest::newRow("NEAR inside parentheses first")
            << "(NEAR a)" << 1 << "NEAR at character 2 needs a term before it";
        QTest::newRow("minus alone")
            << "a - b" << 2 << "the minus at character 3 needs a term right after it, as in -word";
        QTest::newRow("minus at the end")
            << "a -" << 2 << "the minus at character 3 needs a term right after it, as in -word";
        QTest::newRow("NEAR of an exclusion")
            << "a NEAR -b" << 7 << "NEAR at character 3 cannot take an excluded term";
    }
    void badQueries() {
        QFETCH(QString, query);
        QFETCH(int, position);
        QFETCH(QString, message);
        try {
            parseQuery(query);
            QFAIL("the query was accepted");
        } catch (const QueryError& e) {
            QCOMPARE(e.message(), message);
            QCOMPARE(e.position(), position);
        }
    }

    // The message shows the query and a caret under the fault.
    void errorDescription() {
        const QString query = QStringLiteral("jesus \"son of");
        try {
            parseQuery(query);
            QFAIL("the query was accepted");
        } catch (const QueryError& e) {
            QCOMPARE(e.describe(query), QStringLiteral("the phrase at character 7 has no closing "
                                                       "quote\n  jesus \"son of\n        ^"));
        }
    }

    void ranges_data() {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QList<KeySpan>>("spans");
        const int end = concordance::maxPart;
        QTest::newRow("a book") << "John" << QList{span(43, 0, 0, 43, end, end)};
        QTest::newRow("an abbreviation, any case") << "jn" << QList{span(43, 0, 0, 43, end, end)};
        QTest::newRow("a book with a number") << "1 John" << QList{span(62, 0, 0, 62, end, end)};
        QTest::newRow("books") << "Matthew-John" << QList{span(40, 0, 0, 43, end, end)};
        QTest::newRow("books with numbers")
            << "1 Kings - 2 Chr" << QList{span(11, 0, 0, 14, end, end)};
        QTest::newRow("OT") << "OT" << QList{span(1, 0, 0, 39, end, end)};
        QTest::newRow("NT") << "nt" << QList{span(40, 0, 0, 66, end, end)};
        QTest::newRow("a chapter") << "Ps 23" << QList{span(19, 23, 0, 19, 23, end)};
        QTest::newRow("chapters") << "John 1-3" << QList{span(43, 1, 0, 43, 3, end)};
        QTest::newRow("a verse") << "John 3:16" << QList{span(43, 3, 16, 43, 3, 16)};
        QTest::newRow("verses") << "John 3:16-18" << QList{span(43, 3, 16, 43, 3, 18)};
        QTest::newRow("verses across chapters")
            << "John 3:16-4:2" << QList{span(43, 3, 16, 43, 4, 2)};
        QTest::newRow("across books") << "Mal 4-Matt 1:5" << QList{span(39, 4, 0, 40, 1, 5)};
        QTest::newRow("parts, in order, joined where they overlap")
            << "Rev; John; Matthew-Luke, Mark 3"
            << QList{span(40, 0, 0, 42, end, end), span(43, 0, 0, 43, end, end),
                     span(66, 0, 0, 66, end, end)};
    }
    void ranges() {
        QFETCH(QString, range);
        QFETCH(QList<KeySpan>, spans);
        QCOMPARE(VerseRange::parse(range).keySpans(), spans);
    }

    void rangeContains() {
        const VerseRange range = VerseRange::parse(QStringLiteral("John 3:16-18, Jude"));
        QVERIFY(range.contains(quint32(verseKey(43, 3, 16)) + 7)); // an occurrence key
        QVERIFY(range.contains(quint32(verseKey(43, 3, 18))));
        QVERIFY(range.contains(quint32(verseKey(65, 1, 25))));
        QVERIFY(!range.contains(quint32(verseKey(43, 3, 15)) + 255));
        QVERIFY(!range.contains(quint32(verseKey(43, 3, 19))));
        QVERIFY(!range.contains(quint32(verseKey(66, 1, 1))));
        QVERIFY(VerseRange().contains(quint32(verseKey(66, 1, 1))));
    }

    void badRanges_data() {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << " , "
                               << "the range is empty";
        QTest::newRow("unknown book")
            << "Jhon"
            << "\"Jhon\" is no book, chapter or verse range (try \"John\", "
               "\"Matthew-John\", \"John 1-3\", \"John 3:16\", \"OT\" or \"NT\")";
        QTest::newRow("chapter 0") << "John 0"
                                   << "\"John 0\" is no book, chapter or verse range "
                                      "(try \"John\", \"Matthew-John\", \"John 1-3\", "
                                      "\"John 3:16\", \"OT\" or \"NT\")";
        QTest::newRow("chapter past 255")
            << "Ps 256"
            << "\"Ps 256\" is no book, chapter or verse range (try \"John\", "
               "\"Matthew-John\", \"John 1-3\", \"John 3:16\", \"OT\" or \"NT\")";
        QTest::newRow("backwards") << "John-Matthew"
                                   << "\"John-Matthew\" runs backwards";
        QTest::newRow("chapters backwards") << "John 3-1"
                                            << "\"John 3-1\" runs backwards";
        QTest::newRow("a book the text lacks") << "Tobit"
                                               << "the text has no book Tobit (in "
                                                  "\"Tobit\")";
    }
    void badRanges() {
        QFETCH(QString, range);
        QFETCH(QString, message);
        QList<int> protestant;
        for (int book = 1; book <= 66; ++book)
            protestant << book;
        try {
            VerseRange::parse(range, protestant);
            QFAIL("the range was accepted");
        } catch (const RangeError& e) {
            QCOMPARE(e.message(), message);
        }
    }
};

QTEST_APPLESS_MAIN(TestQuery)
#include "tst_query.moc"
