#include "RegistrationExport.h"
#include "Database.h"
#include "FileOps.h"
#include "Query.h"
#include "Schema.h"
#include "StagedFile.h"
#include "TestNumber.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <sqlite3.h>
#include <vector>

namespace RegistrationExport {

namespace {

const QString registration = QStringLiteral("报名库"); // the registration database, attached

// How a column of the exported table is filled from the same column of the
// registration database. Texts go in as the row's field text (a missing
// value as empty text).
enum class Fill {
    Trimmed, // blanks and control characters cut at both ends
    AsStored,
    Number, // written as stored; a row without it is refused
};

struct Column {
    const char16_t* name;
    Fill fill;
};

struct Layout {
    QString table;
    QString scopeColumn; // the identifier whose characters choose the unit
    QString accessDdl;
    std::vector<Column> columns; // in the order of the insert
};

const Layout& layoutOf(Kind kind) {
    static const Layout current{
        QStringLiteral("学生表"),
        QStringLiteral("学业水平测试号"),
        QStringLiteral("CREATE TABLE 学生表 (序号 Counter PRIMARY KEY, 学业水平测试号 VarChar(15),学业水平测试副号 "
                       "VarChar(14), 姓名 VarChar(10), 身份证号 VarChar (18), 性别 VarChar (1), 籍贯 VarChar(12), "
                       "家庭住址 VarChar(30), 联系电话 VarChar(20), 中考成绩 VarChar(7), 电子照片 OLEObject, 班级 "
                       "int, 备注 VarChar(100))"),
        {{u"学业水平测试号", Fill::Trimmed},
         {u"学业水平测试副号", Fill::Trimmed},
         {u"姓名", Fill::Trimmed},
         {u"身份证号", Fill::Trimmed},
         {u"性别", Fill::Trimmed},
         {u"籍贯", Fill::Trimmed},
         {u"家庭住址", Fill::Trimmed},
         {u"联系电话", Fill::Trimmed},
         {u"中考成绩", Fill::AsStored},
         {u"班级", Fill::Number},
         {u"备注", Fill::AsStored}},
    };
    static const Layout makeUp{
        QStringLiteral("补考表"),
        QStringLiteral("学业水平测试副号"),
        QStringLiteral("CREATE TABLE 补考表 (序号 Counter PRIMARY KEY, 学业水平测试副号 VarChar(14), 姓名 "
                       "VarChar(10), 身份证号 VarChar (18), 语文补考 VarChar(1),数学补考 VarChar(1),外语补考 "
                       "VarChar(1),科学补考 VarChar(1),人文补考 VarChar(1),技术补考 VarChar(1),原测试副号 "
                       "VarChar(14))"),
        {{u"学业水平测试副号", Fill::Trimmed},
         {u"姓名", Fill::Trimmed},
         {u"身份证号", Fill::Trimmed},
         {u"语文补考", Fill::Trimmed},
         {u"数学补考", Fill::Trimmed},
         {u"外语补考", Fill::Trimmed},
         {u"科学补考", Fill::Trimmed},
         {u"人文补考", Fill::Trimmed},
         {u"技术补考", Fill::Trimmed},
         {u"原测试副号", Fill::AsStored}},
    };
    return kind == Kind::Current ? current : makeUp;
}

// exported_text(x): the field text of x, trimmed: characters up to U+0020
// cut at both ends (the full-width space stays), a missing value as empty
// text. In UTF-8 those characters are exactly the bytes up to 0x20; every
// byte of a longer character is above 0x7F. (The engine's trim() with a
// set of 32 characters costs three times as much per value.)
void exportedText(sqlite3_context* context, int, sqlite3_value** arguments) {
    const auto* text = sqlite3_value_text(arguments[0]);
    int size = text ? sqlite3_value_bytes(arguments[0]) : 0;
    int start = 0;
    while (start < size && text[start] <= 0x20)
        ++start;
    while (size > start && text[size - 1] <= 0x20)
        --size;
    sqlite3_result_text(context, text ? reinterpret_cast<const char*>(text) + start : "", size - start,
                        SQLITE_TRANSIENT);
}

void addFunctions(Connection& connection) {
    const int rc = sqlite3_create_function_v2(connection.handle(), "exported_text", 1,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                              exportedText, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw DbError::fromEngine(connection.path(), QString::fromUtf8(sqlite3_errmsg(connection.handle())));
}

QString selected(const Column& column) {
    const QString name = QString::fromUtf16(column.name);
    switch (column.fill) {
    case Fill::Trimmed:
        return QStringLiteral("exported_text(%1)").arg(name);
    case Fill::AsStored:
        return QStringLiteral("coalesce(%1,'')").arg(name);
    case Fill::Number:
        break;
    }
    return name;
}

QString scopeCondition(const Layout& layout, const QString& county, const QString& school) {
    if (!school.isEmpty())
        return TestNumber::Sql::unitCode(layout.scopeColumn) + QLatin1Char('=') + sqlQuote(county + school);
    return TestNumber::Sql::countyCode(layout.scopeColumn) + QLatin1Char('=') + sqlQuote(county);
}

// The registration database attached read-only: an export never writes it.
QString readOnlyUri(const QString& path) {
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=ro"));
    return QString::fromLatin1(url.toEncoded());
}

// Rows are copied in parts of this many, with a word to the window between.
constexpr int partSize = 5000;

int copyRows(Kind kind, const QString& database, const QString& file, const QString& county,
             const QString& school, const Progress& progress) {
    const Layout& layout = layoutOf(kind);
    Connection connection(file);
    addFunctions(connection);
    connection.execute(tableStatement(kind));
    connection.execute(QStringLiteral("ATTACH DATABASE :file AS %1").arg(registration),
                       {{QStringLiteral(":file"), readOnlyUri(database)}});
    const QString from =
        QStringLiteral(" from %1.%2 where ").arg(registration, layout.table) + scopeCondition(layout, county, school);

    QStringList names, values;
    for (const Column& column : layout.columns) {
        names << QString::fromUtf16(column.name);
        values << selected(column);
        if (column.fill != Fill::Number)
            continue;
        // A row without a value the exported table needs stops the export
        // before anything is written.
        Query missing(connection);
        missing.setSql(QStringLiteral("select %1, 姓名").arg(layout.scopeColumn) + from +
                       QStringLiteral(" and %1 is null order by rowid limit 1").arg(names.last()));
        missing.open();
        if (!missing.isEmpty())
            throw DbError(QStringLiteral("%1为“%2”的学生“%3”的%4为空，数据没有导出。")
                              .arg(layout.scopeColumn, missing.text(layout.scopeColumn), missing.text(QStringLiteral("姓名")),
                                   names.last()));
    }

    Query rows(connection);
    rows.setSql(QStringLiteral("select rowid as r") + from + QStringLiteral(" order by rowid"));
    rows.open();
    const int total = rows.recordCount();
    if (progress)
        progress(0, total);
    const QString insert = QStringLiteral("insert into %1(%2) select %3").arg(layout.table, names.join(QLatin1Char(',')),
                                                                            values.join(QLatin1Char(','))) +
                           from + QStringLiteral(" and rowid between :first and :last order by rowid");
    {
        Transaction transaction(connection);
        for (int first = 0; first < total; first += partSize) {
            const int last = std::min(first + partSize, total) - 1;
            connection.execute(insert, {{QStringLiteral(":first"), rows.value(first, 0)},
                                        {QStringLiteral(":last"), rows.value(last, 0)}});
            if (progress)
                progress(last + 1, total);
        }
        transaction.commit();
    }
    rows.close();
    connection.execute(QStringLiteral("DETACH DATABASE %1").arg(registration));
    return total;
}

} // namespace

QString defaultFileName(Kind kind, const QString& county, const QString& school) {
    return county + school +
           (kind == Kind::Current ? QStringLiteral("学业水平测试报名库2010年.mdb")
                                  : QStringLiteral("学业水平测试补考报名库2010年.mdb"));
}

QString tableStatement(Kind kind) { return Schema::translateCreateTable(layoutOf(kind).accessDdl); }

int writeFile(Kind kind, const QString& database, const QString& target, const QString& county,
              const QString& school, const Progress& progress) {
    if (!QFileInfo(database).isFile())
        throw DbError(QStringLiteral("数据库文件“%1”不存在。").arg(QDir::toNativeSeparators(database)), QString(),
                      database);
    StagedFile staged(target);
    int written = 0;
    try {
        written = copyRows(kind, database, staged.path(), county, school, progress);
    } catch (const DbError& e) {
        throw staged.namingTarget(e);
    }
    staged.commit();
    return written;
}

bool photoInScope(const QString& name, const QString& county, const QString& school) {
    if (!school.isEmpty())
        return TestNumber::mid(name, 3, 8).compare(county + school, Qt::CaseInsensitive) == 0;
    return TestNumber::mid(name, 3, 4).compare(county, Qt::CaseInsensitive) == 0;
}

} // namespace RegistrationExport
