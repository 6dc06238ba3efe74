#pragma once
// The query language of the concordance, and its parser.
//
//   word            the word, as the text's word rule makes it (case ignored)
//   "several words" the words at consecutive positions of one verse
//   bless*          every word that starts with "bless"
//   A NEAR/n B      A and B in one verse with at most n words between them,
//                   in either order; NEAR alone allows 10
//   A B             A and B in one verse, in any order (AND may be written)
//   A OR B          A or B
//   G26, h2617      the places of a Strong's number (case and leading
//                   zeros ignored): the word elements of a tagged text that
//                   carry it, each taking the words it spans
//   -A              verses without A
//   ( … )           grouping
//
// From the tightest binding to the loosest: "-", NEAR, AND, OR; so
// `a b OR c` is `(a b) OR c` and `a NEAR b c` is `(a NEAR b) c`. The words
// AND, OR and NEAR are operators only in capitals; in lower case they are
// words. Inside quotes every token is a word of the phrase, and a phrase may
// hold prefixes ("bless* the"). A bare token that the word rule splits into
// several words ("o-my" stays one word, "café" is two) is taken as a phrase.
//
// A query that breaks these rules is refused with a QueryError that says what
// is wrong and where.

#include "concordance/wordrule.h"
#include "platform/core/errors.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace concordance {

// What the query says is wrong, and where: `position` is the offset of the
// offending character in the query (UTF-16 units).
class QueryError : public platform::Exception {
public:
    QueryError(const QString& message, int position) : platform::Exception(message), at(position) {}
    int position() const noexcept { return at; }
    // The message, then the query, then a caret under the offending character:
    //   the phrase at character 7 has no closing quote
    //     jesus "son of
    //           ^
    QString describe(const QString& query) const;

private:
    int at;
};

// One word of a term: the word as the concordance stores it, or the start of
// the words a prefix stands for.
struct QueryWord {
    QByteArray text;
    bool prefix = false;
    bool operator==(const QueryWord&) const = default;
};

struct QueryNode {
    enum class Kind {
        Term, // a word, a prefix or a phrase: `words` in order
        And,  // every child in one verse; `children` may include Not nodes
        Or,   // any child
        Not,  // verses without the one child
        Near, // the two children in one verse, at most `distance` words apart
    };
    Kind kind = Kind::Term;
    QList<QueryWord> words;
    // A Strong's number term, in its one form ("G26"); its `words` are empty.
    QString number;
    int distance = 10;
    std::vector<QueryNode> children;
    // Offset of the node's first character in the query.
    int position = 0;
};

// The largest distance NEAR/n accepts: a verse has no more positions.
constexpr int maxNearDistance = 255;

// Parses `query`, its words made by the word rule `form` (the text's); raises
// QueryError.
QueryNode parseQuery(const QString& query, WordForm form = {});

// The query written back in full form, with parentheses round every operator:
// (jesus AND (wept OR "son of man")). For tests and messages.
QString toString(const QueryNode& node);

} // namespace concordance
