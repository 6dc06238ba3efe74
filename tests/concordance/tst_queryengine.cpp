// The query engine on tables that Build makes in the test: a small text made
// for the operators (a phrase repeating inside a verse, a verse past the
// 255-word cut, words at known distances), and the sample of the KJV, on which
// many random queries are answered by the engine and by a plain scan of the
// verse table and must agree.

#include "concordance/books.h"
#include "concordance/queryengine.h"
#include "concordance/wordrule.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"

#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <set>

using concordance::MatchedVerse;
using concordance::QueryEngine;
using concordance::QueryNode;
using concordance::QueryResult;
using concordance::VerseRange;

namespace {

// Three hundred words: "w1 w2 … w300", with the words of `marks` in place of
// some of them (position → word).
QString longVerse(const QMap<int, QString>& marks) {
    QStringList words;
    for (int i = 1; i <= 300; ++i)
        words << marks.value(i, QStringLiteral("w%1").arg(i));
    return words.join(' ');
}

const Verses madeText = {
    {verseKey(1, 1, 1), "Abab: a b a b a b c."},
    {verseKey(1, 1, 2), "Faith x x x love; love y faith."},
    {verseKey(1, 1, 3), "Blessed is he, and blessing; BLESS the Lord."},
    {verseKey(1, 2, 1), longVerse({{253, "alpha"}, {254, "beta"}, {255, "gamma"}, {256, "delta"}})},
    {verseKey(40, 1, 1), "The son of man, the Son of God."},
    {verseKey(40, 1, 2), "Faith and hope."},
    {verseKey(43, 3, 16), "For God so loved the world."},
    {verseKey(66, 22, 21), "The grace of our Lord be with you all."},
};

// "Book c:v [spans]" per verse, each span "start" or "start+length".
QStringList describe(const QueryResult& result) {
    QStringList out;
    for (const MatchedVerse& verse : result.verses()) {
        QStringList spans;
        for (const concordance::MatchSpan& span : verse.spans)
            spans << (span.length == 1 ? QString::number(span.start)
                                       : QStringLiteral("%1+%2").arg(span.start).arg(span.length));
        out << concordance::verseReference(verse.key) + " [" + spans.join(' ') + "]";
    }
    return out;
}

// The plain scan: a query answered verse by verse from the words of its text,
// by the definitions of the operators.
struct ScanAnswer {
    bool matched = false;
    std::set<std::pair<int, int>> spans; // start, length
};

ScanAnswer scan(const QueryNode& node, const QList<QByteArray>& words) {
    ScanAnswer answer;
    using Kind = QueryNode::Kind;
    switch (node.kind) {
    case Kind::Term: {
        const int n = static_cast<int>(node.words.size());
        for (int i = 0; i + n <= words.size(); ++i) {
            bool all = true;
            for (int j = 0; j < n && all; ++j) {
                const concordance::QueryWord& w = node.words[j];
                all = w.prefix ? words[i + j].startsWith(w.text) : words[i + j] == w.text;
            }
            if (all)
                answer.spans.insert({i + 1, n});
        }
        answer.matched = !answer.spans.empty();
        break;
    }
    case Kind::Not:
        answer.matched = !scan(node.children.front(), words).matched;
        break;
    case Kind::And: {
        answer.matched = true;
        for (const QueryNode& child : node.children) {
            if (child.kind == Kind::Not) {
                answer.matched = answer.matched && !scan(child.children.front(), words).matched;
            } else {
                const ScanAnswer part = scan(child, words);
                answer.matched = answer.matched && part.matched;
                answer.spans.insert(part.spans.begin(), part.spans.end());
            }
        }
        if (!answer.matched)
            answer.spans.clear();
        break;
    }
    case Kind::Or:
        for (const QueryNode& child : node.children) {
            const ScanAnswer part = scan(child, words);
            answer.matched = answer.matched || part.matched;
            answer.spans.insert(part.spans.begin(), part.spans.end());
        }
        break;
    case Kind::Near: {
        const ScanAnswer left = scan(node.children.front(), words);
        const ScanAnswer right = scan(node.children.back(), words);
        for (const auto& a : left.spans)
            for (const auto& b : right.spans) {
                const int between = b.first > a.first + a.second - 1
                                        ? b.first - (a.first + a.second)
                                        : a.first - (b.first + b.second);
                if (between >= 0 && between <= node.distance) {
                    answer.spans.insert(a);
                    answer.spans.insert(b);
                }
            }
        answer.matched = !answer.spans.empty();
        break;
    }
    }
    return answer;
}

// The answer of the plain scan in the form of describe().
QStringList scanAll(const QString& query, const Verses& verses, const VerseRange& range) {
    const QueryNode node = concordance::parseQuery(query);
    QStringList out;
    for (const auto& [key, text] : verses) {
        if (!range.contains(quint32(key)))
            continue;
        const QByteArray bytes = text.toUtf8();
        QList<QByteArray> words;
        for (const concordance::WordSpan& span : concordance::wordSpans(bytes))
            if (words.size() < concordance::maxWordsPerVerse)
                words << concordance::wordAt(bytes, span);
        const ScanAnswer answer = scan(node, words);
        if (!answer.matched)
            continue;
        QStringList spans;
        for (const auto& [start, length] : answer.spans)
            spans << (length == 1 ? QString::number(start)
                                  : QStringLiteral("%1+%2").arg(start).arg(length));
        out << concordance::verseReference(key) + " [" + spans.join(' ') + "]";
    }
    return out;
}

// The verses of data/sample/kjv-sample.txt ("Genesis 1:1 In the beginning …").
Verses sampleVerses() {
    QFile file(QStringLiteral(DATA_DIR "/sample/kjv-sample.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression line(QStringLiteral("^(.+?) (\\d+):(\\d+) (.*)$"));
    Verses verses;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(raw).trimmed());
        if (m.hasMatch())
            verses.append({verseKey(concordance::bookNumber(m.captured(1)), m.captured(2).toInt(),
                                    m.captured(3).toInt()),
                           m.captured(4)});
    }
    return verses;
}

} // namespace

class TestQueryEngine : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;
    Verses sample;
    // Build reports the words past the 255th of the long verse.
    testsupport::MessageCapture messages;

    QString folder(const QString& name) const { return program->path("Text/" + name + "/"); }

    void build(const QString& name, const Verses& verses) {
        platform::overrideCommandLine(program->path("Build") + " Text " + name);
        auto dialog = program->makeDialog();
        writeVerseTable(dialog->dataPath, verses);
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
    }

private slots:
    void initTestCase() {
        program = std::make_unique<TestProgram>();
        build(QStringLiteral("T"), madeText);
        sample = sampleVerses();
        QCOMPARE(sample.size(), 109);
        build(QStringLiteral("S"), sample);
    }

    void operators_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QStringList>("verses");
        QTest::newRow("a word, in Bible order")
            << "faith"
            << "" << QStringList{"Genesis 1:2 [1 8]", "Matthew 1:2 [1]"};
        QTest::newRow("a phrase repeating in a verse counts each time")
            << "\"a b\""
            << "" << QStringList{"Genesis 1:1 [2+2 4+2 6+2]"};
        QTest::newRow("overlapping occurrences of a phrase")
            << "\"a b a\""
            << "" << QStringList{"Genesis 1:1 [2+3 4+3]"};
        QTest::newRow("a phrase with a prefix") << "\"son of g*\""
                                                << "" << QStringList{"Matthew 1:1 [6+3]"};
        QTest::newRow("a prefix") << "bless*"
                                  << "" << QStringList{"Genesis 1:3 [1 5 6]"};
        QTest::newRow("a prefix that matches nothing") << "blessz*"
                                                       << "" << QStringList{};
        QTest::newRow("a word not in the text") << "xyzzy"
                                                << "" << QStringList{};
        QTest::newRow("a phrase ending at word 255") << "\"alpha beta gamma\""
                                                     << "" << QStringList{"Genesis 2:1 [253+3]"};
        QTest::newRow("a phrase across the 255-word cut is not indexed") << "\"gamma delta\""
                                                                         << "" << QStringList{};
        QTest::newRow("a word past the cut is not indexed") << "delta"
                                                            << "" << QStringList{};
        QTest::newRow("NEAR/3, three words between") << "faith NEAR/3 love"
                                                     << "" << QStringList{"Genesis 1:2 [1 5 6 8]"};
        QTest::newRow("NEAR/2 leaves out the farther pair")
            << "faith NEAR/2 love"
            << "" << QStringList{"Genesis 1:2 [5 6 8]"};
        QTest::newRow("NEAR/0, side by side in either order")
            << "love NEAR/0 y"
            << "" << QStringList{"Genesis 1:2 [6 7]"};
        QTest::newRow("NEAR of a phrase counts the words between the phrase and the word")
            << "\"son of man\" NEAR/0 the"
            << "" << QStringList{"Matthew 1:1 [1 2+3 5]"};
        QTest::newRow("NEAR never pairs an occurrence with itself") << "a NEAR/0 a"
                                                                    << "" << QStringList{};
        QTest::newRow("all in one verse") << "faith hope"
                                          << "" << QStringList{"Matthew 1:2 [1 3]"};
        QTest::newRow("either") << "hope OR loved"
                                << "" << QStringList{"Matthew 1:2 [3]", "John 3:16 [4]"};
        QTest::newRow("without") << "faith -hope"
                                 << "" << QStringList{"Genesis 1:2 [1 8]"};
        QTest::newRow("verses without, alone")
            << "-the -a -w1"
            << "" << QStringList{"Genesis 1:2 []", "Matthew 1:2 []"};
        QTest::newRow("a verse found twice is one verse")
            << "faith OR love OR faith"
            << "" << QStringList{"Genesis 1:2 [1 5 6 8]", "Matthew 1:2 [1]"};
        QTest::newRow("parentheses") << "(faith OR god) -(hope OR loved)"
                                     << "" << QStringList{"Genesis 1:2 [1 8]", "Matthew 1:1 [8]"};
        QTest::newRow("a range of books")
            << "the"
            << "Matthew-John" << QStringList{"Matthew 1:1 [1 5]", "John 3:16 [5]"};
        QTest::newRow("a book by abbreviation") << "the"
                                                << "Rev" << QStringList{"Revelation 22:21 [1]"};
        QTest::newRow("OT") << "faith"
                            << "OT" << QStringList{"Genesis 1:2 [1 8]"};
        QTest::newRow("NT") << "faith"
                            << "NT" << QStringList{"Matthew 1:2 [1]"};
        QTest::newRow("chapters") << "a OR alpha"
                                  << "Gen 2-3" << QStringList{"Genesis 2:1 [253]"};
        QTest::newRow("exclusion within a range")
            << "-faith"
            << "Matthew-Revelation"
            << QStringList{"Matthew 1:1 []", "John 3:16 []", "Revelation 22:21 []"};
    }
    void operators() {
        QFETCH(QString, query);
        QFETCH(QString, range);
        QFETCH(QStringList, verses);
        QueryEngine engine(folder(QStringLiteral("T")));
        const VerseRange limit = range.isEmpty() ? VerseRange() : VerseRange::parse(range);
        QCOMPARE(describe(engine.run(query, limit)), verses);
        // The plain scan agrees on every case made by hand too.
        QCOMPARE(scanAll(query, madeText, limit), verses);
    }

    // Occurrences and verses, per book, and the words a prefix matched.
    void counts() {
        QueryEngine engine(folder(QStringLiteral("T")));
        const QueryResult result = engine.run(QStringLiteral("the OR faith"));
        QCOMPARE(result.occurrences(), 8);
        QCOMPARE(result.verseCount(), 6);
        QStringList books;
        for (const concordance::BookCount& book : result.byBook())
            books
                << QStringLiteral("%1 %2 %3").arg(book.book).arg(book.occurrences).arg(book.verses);
        QCOMPARE(books, (QStringList{"1 3 2", "40 3 2", "43 1 1", "66 1 1"}));

        QStringList forms;
        const QueryResult blessed = engine.run(QStringLiteral("bless* OR \"son of g*\""));
        for (const concordance::FormCount& form : engine.forms(blessed))
            forms << QStringLiteral("%1 %2 %3")
                         .arg(form.words)
                         .arg(form.occurrences)
                         .arg(form.verses);
        QCOMPARE(forms,
                 (QStringList{"bless 1 1", "blessed 1 1", "blessing 1 1", "son of god 1 1"}));
        QCOMPARE(engine.run(QStringLiteral("-faith")).occurrences(), 0);
    }

    void words() {
        QueryEngine engine(folder(QStringLiteral("T")));
        QCOMPARE(engine.words().front(), QByteArray("a"));
        QCOMPARE(engine.wordNumber("a"), 1);
        QCOMPARE(engine.wordNumber("nothing"), 0);
        const auto [first, last] = engine.prefixNumbers("bless");
        QCOMPARE(last - first, 2);
        QCOMPARE(engine.words().at(size_t(first - 1)), QByteArray("bless"));
        QCOMPARE(engine.books(), (QList<int>{1, 40, 43, 66}));
        QCOMPARE(engine.verseText(verseKey(43, 3, 16)),
                 QStringLiteral("For God so loved the world."));
        QCOMPARE(engine.verseText(verseKey(43, 3, 17)), QString());
    }

    void textsThatCannotBeAsked() {
        using concordance::TextState;
        const QString notBuilt = folder(QStringLiteral("N"));
        QDir().mkpath(notBuilt);
        writeVerseTable(notBuilt, madeText);
        const QString building = folder(QStringLiteral("B"));
        QDir().mkpath(building);
        writeVerseTable(building, madeText);
        for (const char* table : {"Key", "Freq", "Word", "Temp_Word"})
            QVERIFY(QFile::copy(folder("T") + "Key.db", building + table + ".db"));
        const QList<std::pair<QString, TextState>> cases = {
            {folder(QStringLiteral("none")), TextState::NoText},
            {notBuilt, TextState::NotBuilt},
            {building, TextState::Building}};
        for (const auto& [path, state] : cases) {
            try {
                QueryEngine engine(path);
                QFAIL(qPrintable(path + " was opened"));
            } catch (const concordance::TextNotReady& e) {
                QCOMPARE(e.state(), state);
                QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)),
                         qPrintable(e.message()));
            }
        }
    }

    // While Build holds a table, the engine fails at once with Locked.
    void heldByABuild() {
        TTable word;
        concordance::bindTable(word, folder(QStringLiteral("T")), concordance::wordTable);
        word.setExclusive(true);
        word.Open();
        try {
            QueryEngine engine(folder(QStringLiteral("T")));
            engine.run(QStringLiteral("faith"));
            QFAIL("the held table was read");
        } catch (const platform::EDatabaseError& e) {
            QCOMPARE(e.kind(), platform::EDatabaseError::Kind::Locked);
        }
        word.Close();
        QueryEngine engine(folder(QStringLiteral("T")));
        QCOMPARE(engine.run(QStringLiteral("faith")).occurrences(), 3);
    }

    // Many random queries over the words of the sample, on random ranges: the
    // engine and the plain scan give the same verses and occurrences.
    void agreesWithAPlainScan() {
        QueryEngine engine(folder(QStringLiteral("S")));
        QList<QByteArray> vocabulary;
        QList<QList<QByteArray>> verseWords;
        for (const auto& [key, text] : sample) {
            const QByteArray bytes = text.toUtf8();
            QList<QByteArray> words;
            for (const concordance::WordSpan& span : concordance::wordSpans(bytes))
                words << concordance::wordAt(bytes, span);
            vocabulary += words;
            verseWords << words;
        }
        QRandomGenerator random(19);
        const auto pick = [&](const auto& list) {
            return list.at(random.bounded(int(list.size())));
        };
        // A word, a prefix of one, or a phrase taken from a verse.
        const auto term = [&]() -> QString {
            switch (random.bounded(4)) {
            case 0:
                return QString::fromUtf8(pick(vocabulary).left(random.bounded(1, 4))) + "*";
            case 1: {
                const QList<QByteArray>& words = pick(verseWords);
                const int length = random.bounded(2, 4);
                const int start = random.bounded(std::max(1, int(words.size()) - length + 1));
                QStringList phrase;
                for (int i = start; i < start + length && i < words.size(); ++i)
                    phrase << QString::fromUtf8(words[i]);
                return '"' + phrase.join(' ') + '"';
            }
            default:
                return QString::fromUtf8(pick(vocabulary));
            }
        };
        const QStringList ranges = {
            "", "", "OT", "NT", "Genesis", "Ps 23", "John 1:1-14", "Gen-Ps", "Rev 22:1-5, John"};
        int nonEmpty = 0;
        for (int i = 0; i < 400; ++i) {
            QString query;
            switch (random.bounded(6)) {
            case 0:
                query = term();
                break;
            case 1:
                query = term() + ' ' + term();
                break;
            case 2:
                query = term() + " OR " + term() + ' ' + term();
                break;
            case 3:
                query = term() + QStringLiteral(" NEAR/%1 ").arg(random.bounded(6)) + term();
                break;
            case 4:
                query = term() + " -" + term();
                break;
            default:
                query = "(" + term() + " OR " + term() + ") NEAR " + term() + " -" + term();
                break;
            }
            const QString rangeText = pick(ranges);
            const VerseRange range =
                rangeText.isEmpty() ? VerseRange() : VerseRange::parse(rangeText);
            const QStringList expected = scanAll(query, sample, range);
            nonEmpty += expected.isEmpty() ? 0 : 1;
            const QStringList got = describe(engine.run(query, range));
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("%1 in \"%2\":\nengine %3\nscan   %4")
                                     .arg(query, rangeText, got.join(", "), expected.join(", "))));
        }
        // The queries were no empty questions.
        QVERIFY2(nonEmpty > 200, qPrintable(QString::number(nonEmpty)));
    }
};

QTEST_MAIN(TestQueryEngine)
#include "tst_queryengine.moc"
