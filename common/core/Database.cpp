#include "Database.h"
#include "FileModes.h"
#include "FileOps.h"
#include "FileProtection.h"
#include "Statement.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

QAtomicInteger<quint64> connectionCounter;
int busyTimeoutMs = 3000;

QString engineTextOf(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    return text;
}

// ---- Reading a statement: which value goes into which column.
//
// When the engine refuses a value it names the column (and the constraint)
// but not the value. The statement itself tells which value was meant for
// that column: INSERT INTO t(cols) VALUES(...), UPDATE t SET col=value, and
// comparisons such as col=:p. Values are literals or bound parameters
// (":name" or "?"); anything else (an expression, INSERT ... SELECT) leaves
// the value unknown, and the message names the column only.

struct Token {
    enum Kind { Word, Name, String, Number, Parameter, Symbol };
    Kind kind;
    QString text;  // strings and quoted names unquoted; parameters as written
    int index = 0; // parameters: the engine's 1-based number
};

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isWordChar(QChar c) {
    const char16_t lower = c.unicode() | 0x20;
    return c.unicode() >= 0x80 || isAsciiDigit(c) || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           (lower >= u'a' && lower <= u'z');
}

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

// A column and the value the statement gives it.
struct Binding {
    QString column;
    int value = -1;        // the value's token when the expression is a single value
    bool negative = false; // a minus sign before a number
    bool stored = false;   // written into the column, not compared with it
};

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

// The value a binding gives, when the statement and its parameters tell it.
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

// The characters of a text as the engine counts them (code points).
qsizetype characterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++count;
    return count;
}

// A value as a message shows it: characters that cannot be shown become U+FFFD.
QString shownValue(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            shown += c;
            shown += text.at(++i);
        } else if (c.unicode() == 0 || c.isSurrogate()) {
            shown += QChar(QChar::ReplacementCharacter);
        } else {
            shown += c;
        }
    }
    return shown;
}

DbError unstorableText(const QString& text, const QString& field) {
    const QString problem =
        QStringLiteral("含有无法保存的字符（空字符或残缺的字符），请删除这些字符后重试。");
    if (field.isEmpty())
        return DbError(QStringLiteral("输入的值“%1”").arg(shownValue(text)) + problem);
    return DbError(QStringLiteral("字段“%1”的值“%2”").arg(field, shownValue(text)) + problem);
}

const QRegularExpression& integerPattern() {
    static const QRegularExpression re(QStringLiteral("^[+-]?[0-9]+$"));
    return re;
}

const QRegularExpression& numberPattern() {
    static const QRegularExpression re(
        QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return re;
}

// How a value fails to go into an INTEGER column, as the engine converts it.
enum class IntegerFault { None, Empty, NotANumber, Fraction, TooLarge };

IntegerFault integerFault(const QVariant& value) {
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return IntegerFault::Empty;
    if (!numberPattern().match(text).hasMatch())
        return IntegerFault::NotANumber;
    if (integerPattern().match(text).hasMatch()) {
        bool ok = false;
        text.toLongLong(&ok);
        return ok ? IntegerFault::None : IntegerFault::TooLarge;
    }
    const double number = text.toDouble();
    if (number != std::floor(number))
        return IntegerFault::Fraction;
    return std::fabs(number) < 9.2e18 ? IntegerFault::None : IntegerFault::TooLarge;
}

// The message for a value the engine would not store in a column of type
// `columnType`; `values` are what the statement writes into that column.
QString wrongTypeMessage(const QString& column, const QString& engineType, const QString& columnType,
                         const std::vector<std::optional<QVariant>>& values) {
    if (columnType.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0) {
        for (const auto& value : values) {
            if (!value || value->isNull())
                continue;
            const QString shown = shownValue(value->toString());
            switch (integerFault(*value)) {
            case IntegerFault::None:
                continue;
            case IntegerFault::Empty:
                return QStringLiteral("字段“%1”只能存入整数，不能存入空白的值。").arg(column);
            case IntegerFault::NotANumber:
                return QStringLiteral("字段“%1”的值“%2”不是有效的数字。").arg(column, shown);
            case IntegerFault::Fraction:
                return QStringLiteral("字段“%1”只能存入整数，值“%2”不是整数。").arg(column, shown);
            case IntegerFault::TooLarge:
                return QStringLiteral("字段“%1”的值“%2”超出了允许的范围。").arg(column, shown);
            }
        }
        if (engineType.compare(QLatin1String("REAL"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("字段“%1”只能存入整数，不能存入带小数的数值。").arg(column);
        return QStringLiteral("字段“%1”只能存入整数。").arg(column);
    }
    if (columnType.compare(QLatin1String("REAL"), Qt::CaseInsensitive) == 0) {
        for (const auto& value : values) {
            if (value && !numberPattern().match(value->toString().trimmed()).hasMatch())
                return QStringLiteral("字段“%1”的值“%2”不是有效的数字。")
                    .arg(column, shownValue(value->toString()));
        }
        return QStringLiteral("字段“%1”只能存入数值。").arg(column);
    }
    if (columnType.compare(QLatin1String("TEXT"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("字段“%1”只能存入文字。").arg(column);
    return QStringLiteral("字段“%1”的类型不符。").arg(column);
}

QString fileNameOf(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

DbError::DbError(const QString& message, QString engineText, QString path)
    : DeskError(message), engineText_(std::move(engineText)), path_(std::move(path)) {}

DbError DbError::fromEngine(const QString& path, const QString& engineText, const QString& sql,
                            const Params& params) {
    const QString file = fileNameOf(path);
    QString message;

    // What the statement writes into a column, in order (several rows, several values).
    std::vector<Token> tokens;
    std::vector<Binding> bindings;
    const auto storedValues = [&](const QString& column) {
        if (tokens.empty()) {
            tokens = tokenize(sql);
            bindings = bindingsOf(tokens);
        }
        std::vector<std::optional<QVariant>> values;
        for (const Binding& binding : bindings)
            if (binding.stored && binding.column.compare(column, Qt::CaseInsensitive) == 0)
                values.push_back(valueOf(binding, tokens, params));
        return values;
    };

    static const QRegularExpression tooLong(
        QString::fromUtf8(R"re(CHECK constraint failed: length\("?([^"()]+)"?\)\s*<=\s*(\d+))re"));
    static const QRegularExpression outOfRange(QString::fromUtf8(
        R"re(CHECK constraint failed: "?([^"\s]+)"? >= (-?\d+) AND "?[^"\s]+"? <= (-?\d+))re"));
    // Files made before the range was spelt out: the engine names the column only.
    static const QRegularExpression outOfOldRange(
        QString::fromUtf8(R"re(CHECK constraint failed: "?([^"\s()]+)"?$)re"));
    static const QRegularExpression wrongType(QString::fromUtf8(R"(cannot store (\w+) value in (\w+) column (\S+))"));
    static const QRegularExpression noTable(QString::fromUtf8(R"(no such table: (\S+))"));
    static const QRegularExpression noColumn(QString::fromUtf8(R"(no such column: (\S+))"));
    static const QRegularExpression unique(QString::fromUtf8(R"(UNIQUE constraint failed: (?:[^.,\s]+\.)?([^,\s]+))"));
    static const QRegularExpression notNull(QString::fromUtf8(R"(NOT NULL constraint failed: (?:[^.,\s]+\.)?(\S+))"));

    QRegularExpressionMatch m;
    if ((m = tooLong.match(engineText)).hasMatch()) {
        const QString column = m.captured(1);
        const int limit = m.captured(2).toInt();
        QString culprit;
        for (const auto& value : storedValues(column)) {
            if (value && characterCount(value->toString()) > limit) {
                culprit = value->toString();
                break;
            }
        }
        message = culprit.isEmpty()
                      ? QStringLiteral("字段“%1”的值过长，最多只能有 %2 个字符。").arg(column).arg(limit)
                      : QStringLiteral("字段“%1”的值“%2”过长，最多只能有 %3 个字符。")
                            .arg(column, shownValue(culprit))
                            .arg(limit);
    } else if ((m = outOfRange.match(engineText)).hasMatch() ||
               (m = outOfOldRange.match(engineText)).hasMatch()) {
        const QString column = m.captured(1);
        const bool rangeKnown = m.lastCapturedIndex() == 3;
        // Without the range, the wider of the integer columns is tried first.
        const std::vector<std::pair<double, double>> ranges =
            rangeKnown
                ? std::vector<std::pair<double, double>>{{m.captured(2).toDouble(), m.captured(3).toDouble()}}
                : std::vector<std::pair<double, double>>{{-2147483648.0, 2147483647.0}, {-32768.0, 32767.0}};
        const std::vector<std::optional<QVariant>> values = storedValues(column);
        QString culprit;
        for (const auto& [low, high] : ranges) {
            for (const auto& value : values) {
                bool ok = false;
                const double number = value ? value->toString().trimmed().toDouble(&ok) : 0;
                if (ok && (number < low || number > high)) {
                    culprit = value->toString();
                    break;
                }
            }
            if (!culprit.isEmpty())
                break;
        }
        const QString range =
            rangeKnown ? QStringLiteral("（%1 至 %2）").arg(m.captured(2), m.captured(3)) : QString();
        message = culprit.isEmpty() ? QStringLiteral("字段“%1”的值超出了允许的范围%2。").arg(column, range)
                                    : QStringLiteral("字段“%1”的值“%2”超出了允许的范围%3。")
                                          .arg(column, shownValue(culprit), range);
    } else if ((m = wrongType.match(engineText)).hasMatch()) {
        // The engine names the column as table.column.
        const QString qualified = m.captured(3);
        const QString column = qualified.mid(qualified.lastIndexOf(QLatin1Char('.')) + 1);
        message = wrongTypeMessage(column, m.captured(1), m.captured(2), storedValues(column));
    } else if (engineText.contains(QLatin1String("file is not a database"))) {
        // A station file put back into its protected form while this
        // program worked on it: someone else has it.
        if (FileProtection::formOf(path) == FileProtection::Form::Protected)
            message = QStringLiteral("数据库文件“%1”正被其他程序使用，请关闭其他程序后重试。").arg(file);
        else
            message = QStringLiteral("文件“%1”不是有效的数据库文件。").arg(file);
    } else if (engineText.contains(QLatin1String("database is locked")) ||
               engineText.contains(QLatin1String("database table is locked"))) {
        message = QStringLiteral("数据库文件“%1”正被其他程序占用，请稍后再试。").arg(file);
    } else if (engineText.contains(QLatin1String("readonly database")) ||
               engineText.contains(QLatin1String("unable to open database file"))) {
        const QFileInfo info(path);
        if (info.exists() && (!info.isWritable() || !QFileInfo(info.absolutePath()).isWritable()))
            message = QStringLiteral("数据库文件“%1”或其所在的文件夹是只读的，无法写入。").arg(file);
        else
            message = QStringLiteral("无法打开数据库文件“%1”。").arg(file);
    } else if ((m = noTable.match(engineText)).hasMatch()) {
        message = QStringLiteral("数据库文件“%1”中没有表“%2”。").arg(file, m.captured(1));
    } else if (hasUnstorableCharacter(sql)) {
        // A NUL ends the statement early; half a surrogate pair garbles it.
        message =
            QStringLiteral("数据库语句含有无法保存的字符（空字符或残缺的字符），请删除这些字符后重试。");
    } else if ((m = noColumn.match(engineText)).hasMatch()) {
        message = QStringLiteral("无法识别的字段或数值“%1”。").arg(m.captured(1));
    } else if (engineText.contains(QLatin1String("syntax error")) ||
               engineText.contains(QLatin1String("incomplete input"))) {
        message = QStringLiteral("数据库语句有误，可能是缺少或填写了无效的数值。");
    } else if (engineText.contains(QLatin1String("disk I/O error")) ||
               engineText.contains(QLatin1String("database or disk is full"))) {
        message = QStringLiteral("读写数据库文件“%1”时出错（磁盘错误或磁盘已满）。").arg(file);
    } else if ((m = unique.match(engineText)).hasMatch()) {
        message = QStringLiteral("字段“%1”的值与已有的记录重复。").arg(m.captured(1));
    } else if ((m = notNull.match(engineText)).hasMatch()) {
        message = QStringLiteral("字段“%1”不能为空。").arg(m.captured(1));
    } else if (engineText.contains(QLatin1String("CHECK constraint failed")) ||
               engineText.contains(QLatin1String("constraint failed"))) {
        message = QStringLiteral("写入的值不符合数据库文件“%1”对字段的要求。").arg(file);
    } else if (engineText.contains(QLatin1String("malformed")) ||
               engineText.contains(QLatin1String("file is encrypted"))) {
        message = QStringLiteral("数据库文件“%1”已损坏，无法读写。").arg(file);
    } else if (engineText.contains(QLatin1String("too big"))) {
        message = QStringLiteral("要写入数据库文件“%1”的值太长。").arg(file);
    } else if (engineText.contains(QLatin1String("out of memory"))) {
        message = QStringLiteral("内存不足，无法完成对数据库文件“%1”的操作。").arg(file);
    } else if (engineText.contains(QLatin1String("interrupted"))) {
        message = QStringLiteral("对数据库文件“%1”的操作被中断。").arg(file);
    } else {
        // Nothing known: the engine's words stay inside, the sentence is ours.
        message = QStringLiteral("数据库操作失败（文件“%1”，引擎信息：%2）。").arg(file, engineText);
    }
    return DbError(message, engineText, path);
}

bool hasUnstorableCharacter(const QString& text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() == 0 || c.isLowSurrogate())
            return true;
        if (c.isHighSurrogate()) {
            if (i + 1 >= n || !text.at(i + 1).isLowSurrogate())
                return true;
            ++i;
        }
    }
    return false;
}

void checkStorable(const QString& sql, const Params& params) {
    for (size_t k = 0; k < params.size(); ++k) {
        const QVariant& value = params[k].second;
        if (value.typeId() != QMetaType::QString || !hasUnstorableCharacter(value.toString()))
            continue;
        const std::vector<Token> tokens = tokenize(sql);
        QString column;
        for (const Binding& binding : bindingsOf(tokens)) {
            if (binding.value >= 0 && tokens[size_t(binding.value)].kind == Token::Parameter &&
                parameterMatches(tokens[size_t(binding.value)], params, k)) {
                column = binding.column;
                break;
            }
        }
        throw unstorableText(value.toString(), column);
    }
}

QString sqlQuote(const QString& text, const QString& field) {
    if (hasUnstorableCharacter(text))
        throw unstorableText(text, field);
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString sqlNumber(const QString& text, const QString& field) {
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    if (text.isEmpty())
        throw DbError(QStringLiteral("字段“%1”没有填写数值。").arg(field));
    if (!number.match(text).hasMatch())
        throw DbError(QStringLiteral("字段“%1”的值“%2”不是有效的数字。").arg(field, shownValue(text)));
    return text;
}

QString sqlInteger(const QString& text, const QString& field) {
    if (text.isEmpty())
        throw DbError(QStringLiteral("字段“%1”没有填写数值。").arg(field));
    if (!integerPattern().match(text).hasMatch())
        throw DbError(QStringLiteral("字段“%1”的值“%2”不是有效的数字。").arg(field, shownValue(text)));
    return text;
}

Connection::Connection(const QString& path) : path_(path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("数据库文件“%1”不存在。").arg(fileNameOf(path)), QString(), path);
    if (!info.isFile())
        throw DbError(QStringLiteral("“%1”不是数据库文件。").arg(fileNameOf(path)), QString(), path);

    name_ = QStringLiteral("desk-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(QString::fromLatin1(url.toEncoded()));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        const QString text = engineTextOf(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw DbError::fromEngine(path, text);
    }
    // Room for the pages a bulk run of statements touches (32 MB).
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size=-32768"));
    const QVariant handle = db.driver()->handle();
    statements_ = std::make_unique<StatementCache>(*static_cast<sqlite3* const*>(handle.constData()));
}

Connection::~Connection() {
    statements_.reset(); // the engine closes only a handle without statements
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase Connection::database() const { return QSqlDatabase::database(name_, false); }

sqlite3* Connection::handle() const { return statements_->handle(); }

int Connection::execute(const QString& sql, const Params& params) {
    Statement statement(*this, sql, params);
    return statement.run();
}

void Connection::createFile(const QString& path) {
    const QFileInfo info(path);
    if (info.fileName().isEmpty())
        throw DbError(QStringLiteral("没有给出要创建的数据库文件名。"), QString(), path);
    if (!QFileInfo(info.absolutePath()).isDir())
        throw DbError(QStringLiteral("文件夹“%1”不存在，无法创建数据库文件。").arg(fileNameOf(info.absolutePath())),
                      QString(), path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (info.exists())
            throw DbError(QStringLiteral("数据库文件“%1”已存在。").arg(fileNameOf(path)), QString(), path);
        throw DbError(QStringLiteral("无法创建数据库文件“%1”：%2。").arg(fileNameOf(path), fileProblem(file)),
                      QString(), path);
    }
    file.close();
    try {
        Connection connection(path);
        connection.execute(QStringLiteral("VACUUM")); // writes the file header
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

void Connection::setBusyTimeout(int milliseconds) { busyTimeoutMs = milliseconds; }

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.execute(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction() {
    if (open_) {
        QSqlQuery query(connection_.database());
        query.exec(QStringLiteral("ROLLBACK"));
    }
}

void Transaction::commit() {
    connection_.execute(QStringLiteral("COMMIT"));
    open_ = false;
}

bool Transaction::keepDone(QString* why) noexcept {
    if (!open_)
        return true;
    open_ = false;
    try {
        sqlite3* db = connection_.handle();
        // After some failures (a full disk) the engine has already rolled
        // the transaction back: there is nothing left to keep.
        if (sqlite3_get_autocommit(db)) {
            if (why)
                *why = QStringLiteral("数据库已撤销这些改动。");
            return false;
        }
        try {
            connection_.execute(QStringLiteral("COMMIT"));
            return true;
        } catch (const DeskError& e) {
            if (why)
                *why = e.message();
            if (!sqlite3_get_autocommit(db)) {
                QSqlQuery query(connection_.database());
                query.exec(QStringLiteral("ROLLBACK"));
            }
            return false;
        }
    } catch (...) {
        if (why)
            *why = QStringLiteral("无法保存到数据库文件。");
        return false;
    }
}

void Transaction::rethrowKeepingDone(const QString& what) {
    QString why;
    if (keepDone(&why))
        throw;
    const QString lost = QStringLiteral("\n%1没有保存：%2").arg(what, why);
    try {
        throw;
    } catch (const DbError& e) {
        throw DbError(e.message() + lost, e.engineText(), e.path());
    } catch (const DeskError& e) {
        throw DeskError(e.message() + lost);
    }
}

ExclusiveHold::ExclusiveHold(const QString& path) : connection_(path) {
    // In this mode the engine never lets go of a lock it took; an empty
    // exclusive transaction takes the strongest one.
    connection_.execute(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
    connection_.execute(QStringLiteral("BEGIN EXCLUSIVE"));
    connection_.execute(QStringLiteral("COMMIT"));
}

ExclusiveHold::~ExclusiveHold() = default; // closing the connection lets the file go

void compactDatabase(const QString& source, const QString& destination) {
    Connection connection(source);
    compactDatabase(connection, destination);
}

void compactDatabase(Connection& source, const QString& destination) {
    if (QFileInfo::exists(destination))
        throw DbError(QStringLiteral("文件“%1”已存在。").arg(fileNameOf(destination)), QString(), destination);
    try {
        source.execute(QStringLiteral("VACUUM INTO ") + sqlQuote(QFileInfo(destination).absoluteFilePath()));
    } catch (const DbError& e) {
        QFile::remove(destination);
        QFile::remove(destination + QStringLiteral("-journal"));
        // Only the copy is written: a full disk is the copy's, and the
        // source is as it was.
        if (e.engineText().contains(QLatin1String("database or disk is full")) ||
            e.engineText().contains(QLatin1String("disk I/O error")))
            throw DbError(QStringLiteral("无法写入压缩后的数据库文件“%1”（磁盘错误或磁盘已满）；数据库文件“%2”保持原样。")
                              .arg(fileNameOf(destination), fileNameOf(source.path())) +
                              QStringLiteral("\n数据库引擎：%1").arg(e.engineText()),
                          e.engineText(), destination);
        throw;
    } catch (...) {
        QFile::remove(destination);
        QFile::remove(destination + QStringLiteral("-journal"));
        throw;
    }
    // The engine makes new files 0644 less the mask: a shared station's
    // group would lose its write access.
    FileModes::settle(destination);
}

namespace {

QString firstAnswer(sqlite3* db, const char* sql, int* rc) {
    sqlite3_stmt* statement = nullptr;
    QString value;
    *rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (*rc == SQLITE_OK) {
        *rc = sqlite3_step(statement);
        if (*rc == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        *rc = *rc == SQLITE_ROW || *rc == SQLITE_DONE ? SQLITE_OK : *rc;
    }
    sqlite3_finalize(statement);
    return value;
}

// The online backup, for a database whose recent commits may lie beside it.
void backupDatabase(sqlite3* source, const QString& sourcePath, const QString& destination) {
    sqlite3* db = nullptr;
    const auto fail = [&](const QString& path, const QString& text) {
        sqlite3_close(db);
        QFile::remove(destination);
        QFile::remove(destination + QStringLiteral("-journal"));
        throw DbError::fromEngine(path, text);
    };
    int rc = sqlite3_open_v2(QFile::encodeName(destination).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        fail(destination, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    sqlite3_exec(db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
    sqlite3_backup* backup = sqlite3_backup_init(db, "main", source, "main");
    if (!backup)
        fail(destination, QString::fromUtf8(sqlite3_errmsg(db)));
    const int step = sqlite3_backup_step(backup, -1);
    rc = sqlite3_backup_finish(backup);
    if (step != SQLITE_DONE || rc != SQLITE_OK) {
        // The source's own complaint (a damaged page) wins over the copy's.
        const int sourceCode = sqlite3_errcode(source);
        if (sourceCode == SQLITE_CORRUPT || sourceCode == SQLITE_NOTADB)
            fail(sourcePath, QString::fromUtf8(sqlite3_errmsg(source)));
        fail(destination, QString::fromUtf8(sqlite3_errmsg(db)));
    }
    rc = sqlite3_close(db);
    db = nullptr;
    if (rc != SQLITE_OK)
        fail(destination, QString::fromUtf8(sqlite3_errstr(rc)));
}

} // namespace

void snapshotDatabase(Connection& source, const QString& destination) {
    sqlite3* db = source.handle();
    int rc = SQLITE_OK;
    const QString mode = firstAnswer(db, "PRAGMA journal_mode", &rc);
    if (rc != SQLITE_OK)
        throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errmsg(db)));
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
        backupDatabase(db, source.path(), destination);
        return;
    }
    rc = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        firstAnswer(db, "select count(*) from sqlite_master", &rc); // takes the read lock
    struct EndRead {
        sqlite3* db;
        ~EndRead() {
            if (!sqlite3_get_autocommit(db))
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    } endRead{db};
    if (rc != SQLITE_OK)
        throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_file* file = nullptr;
    sqlite3_int64 size = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods || (rc = file->pMethods->xFileSize(file, &size)) != SQLITE_OK)
        throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errstr(rc ? rc : SQLITE_ERROR)));

    FileOps& ops = FileOps::current();
    const int fd = ops.create(destination);
    bool open = true;
    try {
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (sqlite3_int64 offset = 0; offset < size;) {
            const int amount = int(std::min<sqlite3_int64>(buffer.size(), size - offset));
            rc = file->pMethods->xRead(file, buffer.data(), amount, offset);
            if (rc != SQLITE_OK)
                throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errstr(rc)));
            for (qint64 done = 0; done < amount;)
                done += ops.write(fd, buffer.constData() + done, amount - done, destination);
            offset += amount;
        }
        ops.sync(fd, destination);
        open = false;
        ops.close(fd, destination);
    } catch (const DeskError&) {
        if (open) {
            try {
                ops.close(fd, destination);
            } catch (const DeskError&) {
            }
        }
        QFile::remove(destination);
        throw;
    }
    // The engine makes new files 0644 less the mask: a shared station's
    // group would lose its write access.
    FileModes::settle(destination);
}

bool isSqliteFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

bool isBaseTable(Connection& connection, const QString& table, const QString& schema) {
    Statement statement(connection,
                        QStringLiteral("select 1 from pragma_table_list where schema=:s and name=:t collate nocase "
                                       "and type='table'"),
                        {{QStringLiteral(":s"), schema}, {QStringLiteral(":t"), table}});
    return statement.step();
}
