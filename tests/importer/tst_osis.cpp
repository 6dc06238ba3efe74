// The OSIS reader on small entries shaped like those of the installed
// modules: where markup alone parts two words a blank stands, where it cuts a
// word nothing does, what a reader never sees (notes, headings, lemmas) never
// reaches the text, and every piece of text keeps the word element it stood in.

#include "importer/osis.h"

#include <QtTest>

using osis::Run;

namespace {

QByteArray plain(const QByteArray& entry) {
    return osis::plainText(osis::read(entry)).simplified();
}

Run word(const QByteArray& text, const QByteArray& lemma, const QByteArray& morph = {}) {
    return Run{text, lemma, morph, true};
}

Run between(const QByteArray& text) {
    return Run{text, {}, {}, false};
}

QByteArray describe(const std::vector<Run>& runs) {
    QByteArray d;
    for (const Run& r : runs)
        d += '[' + r.text + (r.inWord ? '|' + r.lemma + '|' + r.morph : QByteArray()) + ']';
    return d;
}

} // namespace

class TestOsis : public QObject {
    Q_OBJECT

private slots:
    void plainText_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QByteArray>("text");
        const auto row = [](const char* name, const QByteArray& entry, const QByteArray& text) {
            QTest::newRow(name) << entry << text;
        };
        const QByteArray w1 = "<w lemma=\"strong:H0430\">";
        const QByteArray w2 = "<w lemma=\"strong:H1254\" morph=\"strongMorph:TH8804\">";
        row("words side by side", w1 + "God</w>" + w2 + "created</w> the",
            QByteArray("God created the"));
        row("blank kept, not doubled", w1 + "God</w> " + w2 + "created</w>",
            QByteArray("God created"));
        row("note between words",
            "the " + w1 +
                "God</w><note placement=\"foot\"><reference "
                "type=\"annotateRef\">1:1 </reference>The word “God” is "
                "<hi>Elohim</hi>.</note>" +
                w2 + "created</w>",
            QByteArray("the God created"));
        row("note after a comma",
            "east,<note placement=\"foot\">LXX</note><w lemma=\"strong:H8033\">they</w>",
            QByteArray("east, they"));
        row("note before punctuation", "the earth<note placement=\"foot\">Heb. x</note>. And",
            QByteArray("the earth. And"));
        row("note before a closing quote", "light<note n=\"a\">x</note>\xe2\x80\x9d and",
            QByteArray("light\xe2\x80\x9d and"));
        row("note after an opening quote", "\xe2\x80\x9c<note>x</note>" + w1 + "Let</w>",
            QByteArray("\xe2\x80\x9cLet"));
        row("word boundary inside a word", "shall more be " + w1 + "give</w>n.",
            QByteArray("shall more be given."));
        row("element ends, word element begins",
            w1 + "clean</w>.\xe2\x80\x9d</q>" + w2 + "Then</w>",
            QByteArray("clean.\xe2\x80\x9d Then"));
        row("added words between word elements",
            w1 + "Jesucristo</w><transChange type=\"added\">sea</transChange>" + w2 + "con</w>",
            QByteArray("Jesucristo sea con"));
        row("two-number lemma", "<w lemma=\"strong:H5315 H2416\">hay vida</w>, toda",
            QByteArray("hay vida, toda"));
        row("added words inside a word's text",
            "and <transChange type=\"added\">the <seg><divineName>Lord</divineName></seg>"
            "</transChange> yonder",
            QByteArray("and the LORD yonder"));
        row("divine name in a word element keeps its letters",
            "the <divineName>" + w1 +
                "LORD\xe2\x80\x99s</w></divineName> and "
                "<divineName>" +
                w1 + "Jah</w></divineName>",
            QByteArray("the LORD\xe2\x80\x99s and Jah"));
        row("canonical title stays, heading goes",
            "<div type=\"x-milestone\" subType=\"x-preverse\" sID=\"p\"/><title "
            "canonical=\"true\" type=\"psalm\">A " +
                w1 +
                "Psalm</w> of David.</title><lg "
                "sID=\"a\"/><l sID=\"b\"/><div type=\"x-milestone\" subType=\"x-preverse\" "
                "eID=\"p\"/><divineName>" +
                w1 + "LORD</w></divineName>, how",
            QByteArray("A Psalm of David. LORD, how"));
        row("canonical title without a blank after it",
            "<title canonical=\"true\">ALEPH</title>Blessed", QByteArray("ALEPH Blessed"));
        row("heading and speaker go",
            "<title><foreign>BETH.</foreign></title><speaker>Beloved</speaker> Let him",
            QByteArray("Let him"));
        row("nested notes go whole", "a<note>x<note>y</note>z</note>b", QByteArray("a b"));
        row("line ends part words",
            "increased!<l eID=\"x\"/><l sID=\"y\"/>Many<lb type=\"x-p\"/>more",
            QByteArray("increased! Many more"));
        row("empty elements cut nothing", "be<index name=\"x\"/>gin<w lemma=\"a\"/>ning",
            QByteArray("beginning"));
        row("a milestone parts words", "one<milestone type=\"line\"/>two", QByteArray("one two"));
        row("references resolved", "A &amp; B &lt;x&gt; &#233;&#x00E9; &bogus; &#0; &",
            QByteArray("A & B <x> \xc3\xa9\xc3\xa9 &bogus; &#0; &"));
        row("'>' inside an attribute value", "<w lemma=\"a>b\">word</w> end",
            QByteArray("word end"));
        row("unfinished tag is text", "a < b", QByteArray("a < b"));
        row("note without an end", "a<note>never ends", QByteArray("a"));
    }
    void plainText() {
        QFETCH(QByteArray, entry);
        QFETCH(QByteArray, text);
        QCOMPARE(plain(entry), text);
    }

    // What each piece of text stood in: its word element's lemma and
    // morphology, one run per element, the blanks between on their own.
    void runsKeepTheirWordElements() {
        const auto runs =
            osis::read("In <w lemma=\"strong:H7225\">the beginning</w><w lemma=\"strong:H0430\" "
                       "morph=\"strongMorph:TH8802\">God</w> <w lemma=\"strong:H1254\">give</w>n "
                       "<w lemma=\"strong:H5315 H2416\">a<w lemma=\"strong:H1\">b</w>c</w>");
        const std::vector<Run> expected{
            between("In "),         word("the beginning", "strong:H7225"),
            between(" "),           word("God", "strong:H0430", "strongMorph:TH8802"),
            between(" "),           word("give", "strong:H1254"),
            between("n "),          word("a", "strong:H5315 H2416"),
            word("b", "strong:H1"), word("c", "strong:H5315 H2416"),
        };
        QVERIFY2(runs == expected, describe(runs).constData());
    }

    void strongsNumbers() {
        using V = std::vector<QByteArray>;
        QCOMPARE(osis::strongsNumbers("strong:H5315 H2416"), (V{"H5315", "H2416"}));
        QCOMPARE(osis::strongsNumbers("strong:G2424 strong:G5547"), (V{"G2424", "G5547"}));
        QCOMPARE(osis::strongsNumbers("lemma.TR:logos strong:G3056"), (V{"G3056"}));
        QCOMPARE(osis::strongsNumbers("strong:H"), V{});
        QCOMPARE(osis::strongsNumbers("strong:X12 H12a"), V{});
        QCOMPARE(osis::strongsNumbers(""), V{});
    }
};

QTEST_GUILESS_MAIN(TestOsis)
#include "tst_osis.moc"
