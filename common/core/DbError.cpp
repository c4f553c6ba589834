#include "Database.h"
#include "FileProtection.h"
#include "StatementReading.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <optional>

// The errors of the data layer in Chinese, and the quoting of values.

using namespace StatementReading;

namespace {

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
