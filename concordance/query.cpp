#include "concordance/query.h"

#include "concordance/strongs.h"
#include "concordance/wordrule.h"

#include <QStringList>
#include <algorithm>

namespace concordance {

namespace {

struct Token {
    enum class Type { Word, Phrase, Open, Close, Or, And, Near, Minus, End };
    Type type = Type::End;
    QString text; // a word as typed, or a phrase without its quotes
    int position = 0;
    int distance = 10; // NEAR
};

QString character(int position) {
    return QStringLiteral("character %1").arg(position + 1);
}

bool isBlank(QChar c) {
    return c.isSpace();
}

bool endsToken(QChar c) {
    return isBlank(c) || c == QLatin1Char('"') || c == QLatin1Char('(') || c == QLatin1Char(')');
}

// Splits the query into tokens; raises for a phrase without its closing quote
// and for NEAR/ without a number.
QList<Token> tokenize(const QString& query) {
    QList<Token> tokens;
    const int n = static_cast<int>(query.size());
    int i = 0;
    while (i < n) {
        const QChar c = query.at(i);
        if (isBlank(c)) {
            ++i;
            continue;
        }
        Token token;
        token.position = i;
        if (c == QLatin1Char('"')) {
            const int close = static_cast<int>(query.indexOf(QLatin1Char('"'), i + 1));
            if (close < 0)
                throw QueryError(
                    QStringLiteral("the phrase at %1 has no closing quote").arg(character(i)), i);
            token.type = Token::Type::Phrase;
            token.text = query.mid(i + 1, close - i - 1);
            i = close + 1;
        } else if (c == QLatin1Char('(')) {
            token.type = Token::Type::Open;
            ++i;
        } else if (c == QLatin1Char(')')) {
            token.type = Token::Type::Close;
            ++i;
        } else if (c == QLatin1Char('-')) {
            const QChar next = i + 1 < n ? query.at(i + 1) : QChar();
            if (i + 1 >= n ||
                (endsToken(next) && next != QLatin1Char('"') && next != QLatin1Char('(')))
                throw QueryError(
                    QStringLiteral("the minus at %1 needs a term right after it, as in -word")
                        .arg(character(i)),
                    i);
            token.type = Token::Type::Minus;
            ++i;
        } else {
            int end = i;
            while (end < n && !endsToken(query.at(end)))
                ++end;
            token.text = query.mid(i, end - i);
            token.type = Token::Type::Word;
            if (token.text == QLatin1String("OR")) {
                token.type = Token::Type::Or;
            } else if (token.text == QLatin1String("AND")) {
                token.type = Token::Type::And;
            } else if (token.text == QLatin1String("NEAR")) {
                token.type = Token::Type::Near;
            } else if (token.text.startsWith(QLatin1String("NEAR/"))) {
                token.type = Token::Type::Near;
                const QString digits = token.text.mid(5);
                bool ok = !digits.isEmpty();
                for (const QChar d : digits)
                    ok = ok && d >= QLatin1Char('0') && d <= QLatin1Char('9');
                if (!ok)
                    throw QueryError(QStringLiteral("NEAR/ at %1 takes a number of words, as in "
                                                    "NEAR/5")
                                         .arg(character(i)),
                                     i + 5);
                token.distance = digits.size() > 3 ? maxNearDistance + 1 : digits.toInt();
                if (token.distance > maxNearDistance)
                    throw QueryError(QStringLiteral("NEAR/ at %1 allows at most %2 words between")
                                         .arg(character(i))
                                         .arg(maxNearDistance),
                                     i + 5);
            }
            i = end;
        }
        tokens.append(token);
    }
    Token end;
    end.position = n;
    tokens.append(end);
    return tokens;
}

// The concordance words of one token as typed (a bare word, or one blank-
// separated part of a phrase) appended to `words`: the word rule makes them,
// and a final "*" makes the last of them a prefix.
void appendWords(const QString& typed, int position, QList<QueryWord>& words, WordForm form,
                 bool inPhrase = false) {
    QString text = typed;
    bool prefix = false;
    const int star = static_cast<int>(text.indexOf(QLatin1Char('*')));
    if (star >= 0) {
        if (star != text.size() - 1)
            throw QueryError(QStringLiteral("the * at %1 may only end a word, as in bless*")
                                 .arg(character(position + star)),
                             position + star);
        text.chop(1);
        prefix = true;
    }
    QList<QByteArray> made;
    forEachStoredWord(text, form, [&made](const QString& word) { made.append(word.toUtf8()); });
    if (made.isEmpty()) {
        if (prefix)
            throw QueryError(QStringLiteral("the * at %1 needs the start of a word before it, as "
                                            "in bless*")
                                 .arg(character(position + star)),
                             position + star);
        // Punctuation between the words of a phrase is no word of it.
        if (inPhrase)
            return;
        throw QueryError(
            QStringLiteral("\"%1\" at %2 holds no word").arg(typed, character(position)), position);
    }
    for (const QByteArray& word : made)
        words.append(QueryWord{word, false});
    words.last().prefix = prefix;
}

class Parser {
public:
    Parser(const QString& query, WordForm words) : tokens(tokenize(query)), form(words) {}

    QueryNode parse() {
        if (peek().type == Token::Type::End)
            throw QueryError(QStringLiteral("the query is empty"), 0);
        QueryNode node = parseOr();
        if (peek().type == Token::Type::Close)
            throw QueryError(QStringLiteral("the parenthesis at %1 closes none that is open")
                                 .arg(character(peek().position)),
                             peek().position);
        return node;
    }

private:
    QList<Token> tokens;
    WordForm form;
    int at = 0;

    const Token& peek() const { return tokens.at(at); }
    const Token& take() { return tokens.at(at++); }

    static bool startsTerm(Token::Type type) {
        return type == Token::Type::Word || type == Token::Type::Phrase ||
               type == Token::Type::Open || type == Token::Type::Minus;
    }

    // The operator at `op` needs a term after it.
    void expectTerm(const Token& op, const char* name) {
        if (!startsTerm(peek().type))
            throw QueryError(QStringLiteral("%1 at %2 needs a term after it")
                                 .arg(QLatin1String(name), character(op.position)),
                             op.position);
    }

    static void collect(QueryNode& into, QueryNode&& part, QueryNode::Kind kind) {
        if (part.kind == kind) {
            for (QueryNode& child : part.children)
                into.children.push_back(std::move(child));
        } else {
            into.children.push_back(std::move(part));
        }
    }

    QueryNode parseOr() {
        QueryNode first = parseAnd();
        if (peek().type != Token::Type::Or)
            return first;
        QueryNode node;
        node.kind = QueryNode::Kind::Or;
        node.position = first.position;
        collect(node, std::move(first), QueryNode::Kind::Or);
        while (peek().type == Token::Type::Or) {
            const Token& op = take();
            expectTerm(op, "OR");
            collect(node, parseAnd(), QueryNode::Kind::Or);
        }
        return node;
    }

    QueryNode parseAnd() {
        QueryNode first = parseNear();
        if (peek().type != Token::Type::And && !startsTerm(peek().type))
            return first;
        QueryNode node;
        node.kind = QueryNode::Kind::And;
        node.position = first.position;
        collect(node, std::move(first), QueryNode::Kind::And);
        for (;;) {
            if (peek().type == Token::Type::And) {
                const Token& op = take();
                expectTerm(op, "AND");
            } else if (!startsTerm(peek().type)) {
                break;
            }
            collect(node, parseNear(), QueryNode::Kind::And);
        }
        return node;
    }

    QueryNode parseNear() {
        QueryNode left = parseUnary();
        while (peek().type == Token::Type::Near) {
            const Token& op = take();
            expectTerm(op, "NEAR");
            QueryNode right = parseUnary();
            for (const QueryNode* side : {&left, &right}) {
                if (side->kind == QueryNode::Kind::Not)
                    throw QueryError(QStringLiteral("NEAR at %1 cannot take an excluded term")
                                         .arg(character(op.position)),
                                     side->position);
            }
            QueryNode node;
            node.kind = QueryNode::Kind::Near;
            node.position = left.position;
            node.distance = op.distance;
            node.children.push_back(std::move(left));
            node.children.push_back(std::move(right));
            left = std::move(node);
        }
        return left;
    }

    QueryNode parseUnary() {
        if (peek().type == Token::Type::Minus) {
            const Token& op = take();
            if (!startsTerm(peek().type))
                throw QueryError(QStringLiteral("the minus at %1 needs a term right after it")
                                     .arg(character(op.position)),
                                 op.position);
            QueryNode node;
            node.kind = QueryNode::Kind::Not;
            node.position = op.position;
            node.children.push_back(parseUnary());
            return node;
        }
        return parsePrimary();
    }

    QueryNode parsePrimary() {
        const Token& token = take();
        QueryNode node;
        node.position = token.position;
        switch (token.type) {
        case Token::Type::Word:
            if (const auto number = parseStrongsNumber(token.text)) {
                node.number = number->toString();
                return node;
            }
            appendWords(token.text, token.position, node.words, form);
            return node;
        case Token::Type::Phrase: {
            int offset = 0;
            const QString& text = token.text;
            while (offset < text.size()) {
                if (isBlank(text.at(offset))) {
                    ++offset;
                    continue;
                }
                int end = offset;
                while (end < text.size() && !isBlank(text.at(end)))
                    ++end;
                appendWords(text.mid(offset, end - offset), token.position + 1 + offset, node.words,
                            form, true);
                offset = end;
            }
            if (node.words.isEmpty())
                throw QueryError(
                    QStringLiteral("the phrase at %1 is empty").arg(character(token.position)),
                    token.position);
            return node;
        }
        case Token::Type::Open: {
            if (peek().type == Token::Type::End)
                throw QueryError(QStringLiteral("the parenthesis at %1 is not closed")
                                     .arg(character(token.position)),
                                 token.position);
            if (peek().type == Token::Type::Close)
                throw QueryError(QStringLiteral("the parentheses at %1 hold nothing")
                                     .arg(character(token.position)),
                                 token.position);
            if (!startsTerm(peek().type))
                break;
            QueryNode inner = parseOr();
            if (peek().type != Token::Type::Close)
                throw QueryError(QStringLiteral("the parenthesis at %1 is not closed")
                                     .arg(character(token.position)),
                                 token.position);
            take();
            return inner;
        }
        case Token::Type::Close:
            throw QueryError(QStringLiteral("the parenthesis at %1 closes none that is open")
                                 .arg(character(token.position)),
                             token.position);
        case Token::Type::End:
            throw QueryError(QStringLiteral("the query ends where a term should follow"),
                             token.position);
        default:
            break;
        }
        const Token& bad = tokens.at(token.type == Token::Type::Open ? at : at - 1);
        const QString name = bad.type == Token::Type::Or    ? QStringLiteral("OR")
                             : bad.type == Token::Type::And ? QStringLiteral("AND")
                                                            : QStringLiteral("NEAR");
        throw QueryError(
            QStringLiteral("%1 at %2 needs a term before it").arg(name, character(bad.position)),
            bad.position);
    }
};

} // namespace

QString QueryError::describe(const QString& query) const {
    const int column = std::clamp(at, 0, static_cast<int>(query.size()));
    QString line = query;
    line.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return message() + QStringLiteral("\n  ") + line + QStringLiteral("\n  ") +
           QString(column, QLatin1Char(' ')) + QLatin1Char('^');
}

QueryNode parseQuery(const QString& query, WordForm form) {
    return Parser(query, form).parse();
}

QString toString(const QueryNode& node) {
    switch (node.kind) {
    case QueryNode::Kind::Term: {
        if (!node.number.isEmpty())
            return node.number;
        QStringList words;
        for (const QueryWord& word : node.words)
            words << QString::fromUtf8(word.text) + (word.prefix ? QStringLiteral("*") : QString());
        return words.size() == 1
                   ? words.first()
                   : QLatin1Char('"') + words.join(QLatin1Char(' ')) + QLatin1Char('"');
    }
    case QueryNode::Kind::Not:
        return QLatin1Char('-') + toString(node.children.front());
    case QueryNode::Kind::Near:
        return QLatin1Char('(') + toString(node.children.front()) +
               QStringLiteral(" NEAR/%1 ").arg(node.distance) + toString(node.children.back()) +
               QLatin1Char(')');
    case QueryNode::Kind::And:
    case QueryNode::Kind::Or: {
        QStringList parts;
        for (const QueryNode& child : node.children)
            parts << toString(child);
        const QString op =
            node.kind == QueryNode::Kind::And ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
        return QLatin1Char('(') + parts.join(op) + QLatin1Char(')');
    }
    }
    return QString();
}

} // namespace concordance
