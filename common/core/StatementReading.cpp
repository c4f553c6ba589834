#include "StatementReading.h"

#include <QHash>
#include <QStringList>

namespace StatementReading {

namespace {

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isWordChar(QChar c) {
    const char16_t lower = c.unicode() | 0x20;
    return c.unicode() >= 0x80 || isAsciiDigit(c) || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           (lower >= u'a' && lower <= u'z');
}

} // namespace

std::vector<Token> tokenize(const QString& sql) {
    std::vector<Token> tokens;
    QHash<QString, int> named;
    int highest = 0;
    const qsizetype n = sql.size();
    const auto at = [&](qsizetype k) { return k < n ? sql.at(k) : QChar(); };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && at(i + 1) == QLatin1Char('*')) {
            i = sql.indexOf(QLatin1String("*/"), i + 2);
            i = i < 0 ? n : i + 2;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') ||
                   c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            QString value;
            for (++i; i < n; ++i) {
                if (sql.at(i) == close) {
                    if (close != QLatin1Char(']') && at(i + 1) == close) {
                        value += close;
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += sql.at(i);
            }
            tokens.push_back({c == QLatin1Char('\'') ? Token::String : Token::Name, value});
        } else if (isAsciiDigit(c) || (c == QLatin1Char('.') && isAsciiDigit(at(i + 1)))) {
            const qsizetype begin = i;
            for (++i; i < n; ++i) {
                const QChar d = sql.at(i);
                const bool sign = (d == QLatin1Char('+') || d == QLatin1Char('-')) &&
                                  (sql.at(i - 1) == QLatin1Char('e') || sql.at(i - 1) == QLatin1Char('E'));
                if (!isWordChar(d) && d != QLatin1Char('.') && !sign)
                    break;
            }
            tokens.push_back({Token::Number, sql.mid(begin, i - begin)});
        } else if (c == QLatin1Char('?')) {
            const qsizetype begin = i++;
            while (i < n && isAsciiDigit(sql.at(i)))
                ++i;
            const int index = i > begin + 1 ? sql.mid(begin + 1, i - begin - 1).toInt() : highest + 1;
            highest = qMax(highest, index);
            tokens.push_back({Token::Parameter, sql.mid(begin, i - begin), index});
        } else if ((c == QLatin1Char(':') || c == QLatin1Char('@') || c == QLatin1Char('$')) &&
                   isWordChar(at(i + 1))) {
            const qsizetype begin = i++;
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            const QString name = sql.mid(begin, i - begin);
            int index = named.value(name);
            if (index == 0) {
                index = ++highest;
                named.insert(name, index);
            }
            tokens.push_back({Token::Parameter, name, index});
        } else if (isWordChar(c)) {
            const qsizetype begin = i;
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            tokens.push_back({Token::Word, sql.mid(begin, i - begin)});
        } else {
            static const QStringList pairs{QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
                                           QStringLiteral("!="), QStringLiteral("=="), QStringLiteral("||")};
            const QString two = sql.mid(i, 2);
            const bool pair = pairs.contains(two);
            tokens.push_back({Token::Symbol, pair ? two : QString(c)});
            i += pair ? 2 : 1;
        }
    }
    return tokens;
}

namespace {

bool isWord(const Token& t, const char* word) {
    return t.kind == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}
bool isSymbol(const Token& t, const char* symbol) {
    return t.kind == Token::Symbol && t.text == QLatin1String(symbol);
}
bool isName(const Token& t) {
    return t.kind == Token::Word || t.kind == Token::Name;
}
bool isValue(const Token& t) {
    return t.kind == Token::String || t.kind == Token::Number || t.kind == Token::Parameter;
}

void setValue(Binding& binding, const std::vector<Token>& t, size_t begin, size_t end) {
    if (end == begin + 1 && isValue(t[begin])) {
        binding.value = int(begin);
    } else if (end == begin + 2 && (isSymbol(t[begin], "-") || isSymbol(t[begin], "+")) &&
               t[begin + 1].kind == Token::Number) {
        binding.value = int(begin + 1);
        binding.negative = isSymbol(t[begin], "-");
    }
}

// Where the expression starting at `i` ends: at a comma, a semicolon or an
// unmatched closing parenthesis, or at one of `stops` outside parentheses.
size_t expressionEnd(const std::vector<Token>& t, size_t i, std::initializer_list<const char*> stops = {}) {
    int depth = 0;
    for (; i < t.size(); ++i) {
        if (isSymbol(t[i], "(")) {
            ++depth;
        } else if (isSymbol(t[i], ")")) {
            if (depth == 0)
                return i;
            --depth;
        } else if (depth == 0) {
            if (isSymbol(t[i], ",") || isSymbol(t[i], ";"))
                return i;
            for (const char* stop : stops)
                if (isWord(t[i], stop))
                    return i;
        }
    }
    return i;
}

size_t skipTableName(const std::vector<Token>& t, size_t i) {
    if (i < t.size() && isName(t[i])) {
        ++i;
        if (i + 1 < t.size() && isSymbol(t[i], ".") && isName(t[i + 1]))
            i += 2;
    }
    return i;
}

} // namespace

std::vector<Binding> bindingsOf(const std::vector<Token>& t) {
    std::vector<Binding> bindings;
    const size_t n = t.size();
    size_t i = 0;
    if (n > 0 && (isWord(t[0], "insert") || isWord(t[0], "replace"))) {
        i = 1;
        if (i < n && isWord(t[i], "or"))
            i += 2;
        if (i < n && isWord(t[i], "into"))
            ++i;
        i = skipTableName(t, i);
        if (i < n && isWord(t[i], "as"))
            i += 2;
        QStringList columns;
        if (i < n && isSymbol(t[i], "(")) {
            for (++i; i < n && !isSymbol(t[i], ")"); ++i)
                if (isName(t[i]))
                    columns << t[i].text;
            ++i;
        }
        if (i < n && isWord(t[i], "values")) {
            // One tuple per row; the k-th value goes into the k-th column.
            for (++i; i < n && isSymbol(t[i], "(");) {
                ++i;
                for (qsizetype k = 0; i < n; ++k) {
                    const size_t end = expressionEnd(t, i);
                    if (k < columns.size()) {
                        Binding binding{columns.at(k), -1, false, true};
                        setValue(binding, t, i, end);
                        bindings.push_back(binding);
                    }
                    i = end;
                    if (i < n && isSymbol(t[i], ","))
                        ++i;
                    else
                        break;
                }
                ++i; // past ")"
                if (i < n && isSymbol(t[i], ","))
                    ++i;
                else
                    break;
            }
        } else {
            for (const QString& column : columns) // from a selection: values unknown
                bindings.push_back({column, -1, false, true});
        }
    } else if (n > 0 && isWord(t[0], "update")) {
        i = 1;
        if (i < n && isWord(t[i], "or"))
            i += 2;
        i = skipTableName(t, i);
        while (i < n && !isWord(t[i], "set"))
            ++i;
        for (++i; i + 1 < n && isName(t[i]) && isSymbol(t[i + 1], "=");) {
            Binding binding{t[i].text, -1, false, true};
            const size_t end = expressionEnd(t, i + 2, {"where", "from", "returning", "order", "limit"});
            setValue(binding, t, i + 2, end);
            bindings.push_back(binding);
            i = end;
            if (i < n && isSymbol(t[i], ","))
                ++i;
            else
                break;
        }
    }
    // Comparisons anywhere: col = value, value = col.
    const auto isComparison = [](const Token& op) {
        static const QStringList ops{QStringLiteral("="),  QStringLiteral("=="), QStringLiteral("<>"),
                                     QStringLiteral("!="), QStringLiteral("<"),  QStringLiteral(">"),
                                     QStringLiteral("<="), QStringLiteral(">=")};
        return (op.kind == Token::Symbol && ops.contains(op.text)) || isWord(op, "like");
    };
    for (size_t k = 0; k + 2 < n; ++k) {
        if (!isComparison(t[k + 1]))
            continue;
        if (isName(t[k]) && isValue(t[k + 2]))
            bindings.push_back({t[k].text, int(k + 2), false, false});
        else if (isValue(t[k]) && isName(t[k + 2]))
            bindings.push_back({t[k + 2].text, int(k), false, false});
    }
    return bindings;
}

bool parameterMatches(const Token& token, const Params& params, size_t k) {
    const QString& name = params[k].first;
    if (name.isEmpty())
        return token.index == int(k) + 1;
    return name == token.text || QLatin1Char(':') + name == token.text;
}

std::optional<QVariant> valueOf(const Binding& binding, const std::vector<Token>& t, const Params& params) {
    if (binding.value < 0)
        return std::nullopt;
    const Token& token = t[size_t(binding.value)];
    if (token.kind == Token::String)
        return QVariant(token.text);
    if (token.kind == Token::Number)
        return QVariant(binding.negative ? QLatin1Char('-') + token.text : token.text);
    for (size_t k = 0; k < params.size(); ++k) // named first, then by position
        if (!params[k].first.isEmpty() && parameterMatches(token, params, k))
            return params[k].second;
    for (size_t k = 0; k < params.size(); ++k)
        if (params[k].first.isEmpty() && parameterMatches(token, params, k))
            return params[k].second;
    return std::nullopt;
}

} // namespace StatementReading
