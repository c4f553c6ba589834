#include "Schema.h"
#include "Database.h"
#include "TestNumber.h"

#include <QFile>
#include <QRegularExpression>

namespace {

// Splits at commas that are not inside parentheses.
QStringList splitTopLevel(const QString& text) {
    QStringList parts;
    int depth = 0;
    QString current;
    for (QChar c : text) {
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        if (c == QLatin1Char(',') && depth == 0) {
            parts << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.trimmed().isEmpty())
        parts << current.trimmed();
    return parts;
}

QString quoteName(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

// Text columns compare without regard to ASCII case, as codes always have
// ("a001" finds "A001"); other letters compare exactly. A range is written
// as two comparisons, so that the engine's message for a value out of range
// states the range (it shortens "col BETWEEN ..." to the column's name).
QString translateColumn(const QString& definition) {
    static const QRegularExpression columnRe(QString::fromUtf8(R"(^(\S+)\s+(.+)$)"));
    const auto m = columnRe.match(definition);
    if (!m.hasMatch())
        throw DbError(QStringLiteral("无法识别的字段定义：%1").arg(definition));
    const QString name = m.captured(1);
    const QString type = m.captured(2).simplified().toLower();
    const QString col = quoteName(name);

    static const QRegularExpression varcharRe(QString::fromUtf8(R"(^varchar\s*\(\s*(\d+)\s*\)$)"));
    if (const auto v = varcharRe.match(type); v.hasMatch())
        return QStringLiteral("%1 TEXT COLLATE NOCASE CHECK(length(%1) <= %2)").arg(col, v.captured(1));
    if (type == QLatin1String("counter primary key"))
        return col + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    if (type == QLatin1String("text"))
        return QStringLiteral("%1 TEXT COLLATE NOCASE CHECK(length(%1) <= 255)").arg(col);
    if (type == QLatin1String("int") || type == QLatin1String("integer") || type == QLatin1String("number") ||
        type == QLatin1String("long"))
        return QStringLiteral("%1 INTEGER CHECK(%1 >= -2147483648 AND %1 <= 2147483647)").arg(col);
    if (type == QLatin1String("smallint") || type == QLatin1String("smallint null"))
        return QStringLiteral("%1 INTEGER CHECK(%1 >= -32768 AND %1 <= 32767)").arg(col);
    if (type == QLatin1String("float") || type == QLatin1String("double"))
        return col + QStringLiteral(" REAL");
    if (type == QLatin1String("oleobject") || type == QLatin1String("longbinary"))
        return col + QStringLiteral(" BLOB");
    throw DbError(QStringLiteral("无法识别的字段类型：%1").arg(definition));
}

} // namespace

namespace Schema {

QString translateCreateTable(const QString& accessDdl) {
    static const QRegularExpression tableRe(QString::fromUtf8(R"(^\s*CREATE\s+TABLE\s+(\S+?)\s*\((.*)\)\s*$)"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    const auto m = tableRe.match(accessDdl);
    if (!m.hasMatch())
        throw DbError(QStringLiteral("无法识别的建表语句：%1").arg(accessDdl));
    QStringList columns;
    for (const QString& definition : splitTopLevel(m.captured(2)))
        columns << translateColumn(definition);
    return QStringLiteral("CREATE TABLE %1 (%2) STRICT").arg(quoteName(m.captured(1)), columns.join(QStringLiteral(", ")));
}

QStringList registrationDatabaseStatements() {
    const QString id = QStringLiteral("学业水平测试号");
    const QString sub = QStringLiteral("学业水平测试副号");
    return {
        translateCreateTable(QStringLiteral(
            "CREATE TABLE 学生表 (序号 Counter PRIMARY KEY, 学业水平测试号 VarChar(15), 学业水平测试副号 VarChar(14), "
            "姓名 VarChar(10), 身份证号 VarChar(18), 性别 VarChar(1), 籍贯 VarChar(12), 家庭住址 VarChar(30), "
            "联系电话 VarChar(20), 中考成绩 VarChar(7), 电子照片 OLEObject, 班级 int, 备注 VarChar(100), "
            "考场序号 text)")),
        translateCreateTable(QStringLiteral("CREATE TABLE 顺序号 (县区代码 text, 学校代码 text, 顺序号 text, 班级 int)")),
        // Score files are copied into this table column by column, by position.
        translateCreateTable(QStringLiteral(
            "CREATE TABLE 成绩表 (学业水平测试号 VarChar(15), 学业水平测试副号 VarChar(14), 姓名 VarChar(10), "
            "身份证号 VarChar(18), 语文等第 VarChar(2), 数学等第 VarChar(2), 外语等第 VarChar(2), 科学等第 VarChar(2), "
            "人文等第 VarChar(2), 技术等第 VarChar(2))")),
        translateCreateTable(QStringLiteral(
            "CREATE TABLE 补考表 (序号 Counter PRIMARY KEY, 学业水平测试副号 VarChar(14), 姓名 VarChar(10), "
            "身份证号 VarChar(18), 语文补考 VarChar(1), 数学补考 VarChar(1), 外语补考 VarChar(1), 科学补考 VarChar(1), "
            "人文补考 VarChar(1), 技术补考 VarChar(1), 原测试副号 VarChar(14), 班级 int, 学业水平测试号 text)")),
        // Lookups the windows run per student: by test number, by sub-number,
        // by unit code (and sequence number) of either identifier. The unit
        // expressions carry the collation of their comparisons, so that the
        // indexes serve them.
        QStringLiteral("CREATE INDEX 学生表_测试号 ON 学生表(%1)").arg(id),
        QStringLiteral("CREATE INDEX 学生表_副号 ON 学生表(%1)").arg(sub),
        QStringLiteral("CREATE INDEX 学生表_单位顺序号 ON 学生表(%1, %2)")
            .arg(TestNumber::Sql::unitCode(id), TestNumber::Sql::sequenceNumber(id)),
        QStringLiteral("CREATE INDEX 学生表_副号单位 ON 学生表(%1)").arg(TestNumber::Sql::unitCode(sub)),
        QStringLiteral("CREATE INDEX 顺序号_班级 ON 顺序号(县区代码, 学校代码, 班级, 顺序号)"),
    };
}

QStringList nativePlaceDatabaseStatements() {
    return {
        translateCreateTable(
            QStringLiteral("CREATE TABLE 籍贯对照表 (County_QuID text, proName text, DistrictDesc text)")),
        QStringLiteral("CREATE INDEX 籍贯对照表_代码 ON 籍贯对照表(County_QuID)"),
    };
}

void createDatabase(const QString& path, const QStringList& statements) {
    Connection::createFile(path);
    try {
        Connection connection(path);
        Transaction transaction(connection);
        for (const QString& statement : statements)
            connection.execute(statement);
        transaction.commit();
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

} // namespace Schema
