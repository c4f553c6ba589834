#include "DeliveredData.h"
#include "Database.h"
#include "DeskError.h"
#include "FileProtection.h"
#include "Schema.h"
#include "TestNumber.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

namespace DeliveredData {

QStringList splitCsvLine(const QString& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

void writeRegistrationDb(const QString& path) {
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());
}

namespace {

// The rows of the committed division list: code, province, district.
QList<QStringList> readDivisions(const QString& divisionsCsv) {
    QFile csv(divisionsCsv);
    if (!csv.open(QIODevice::ReadOnly | QIODevice::Text))
        throw DeskError(QStringLiteral("无法读取行政区划代码文件“%1”。").arg(divisionsCsv));
    QTextStream in(&csv);
    in.setEncoding(QStringConverter::Utf8);
    const QStringList header = splitCsvLine(in.readLine());
    if (header != QStringList{QStringLiteral("code"), QStringLiteral("proName"), QStringLiteral("DistrictDesc")})
        throw DeskError(QStringLiteral("行政区划代码文件“%1”的表头不对。").arg(divisionsCsv));
    QList<QStringList> rows;
    int lineNumber = 1;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNumber;
        if (line.trimmed().isEmpty())
            continue;
        QStringList f = splitCsvLine(line);
        if (f.size() != 3)
            throw DeskError(QStringLiteral("行政区划代码文件第 %1 行格式不对：%2").arg(lineNumber).arg(line));
        rows << std::move(f);
    }
    return rows;
}

// Inserts the rows whose code 籍贯对照表 does not hold yet; returns how many.
int insertMissingDivisions(const QString& path, const QList<QStringList>& rows) {
    Connection connection(path);
    Transaction transaction(connection);
    int added = 0;
    for (const QStringList& f : rows) {
        added += connection.execute(
            QStringLiteral("insert into 籍贯对照表(County_QuID,proName,DistrictDesc) select :c,:p,:d "
                           "where not exists (select 1 from 籍贯对照表 where County_QuID=:c)"),
            {{QStringLiteral(":c"), f[0]}, {QStringLiteral(":p"), f[1]}, {QStringLiteral(":d"), f[2]}});
    }
    transaction.commit();
    return added;
}

} // namespace

int writeNativePlaceDb(const QString& path, const QString& divisionsCsv) {
    const QList<QStringList> rows = readDivisions(divisionsCsv);
    Schema::createDatabase(path, Schema::nativePlaceDatabaseStatements());
    try {
        return insertMissingDivisions(path, rows);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

int addMissingNativePlaces(const QString& path, const QString& divisionsCsv) {
    return insertMissingDivisions(path, readDivisions(divisionsCsv));
}

namespace {

// Writes a delivered file under a temporary name and moves it into place, so
// that an interrupted build never leaves a half-written file that later
// builds would take for a finished one.
template <typename Writer> void writeIfMissing(const QString& path, Writer write) {
    if (QFileInfo::exists(path))
        return;
    const QString temporary = path + QStringLiteral(".part");
    QFile::remove(temporary);
    write(temporary);
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        throw DeskError(QStringLiteral("无法写入文件“%1”。").arg(path));
    }
}

} // namespace

void layOutRegistrationStation(const QString& folder, const QString& divisionsCsv) {
    QDir dir(folder);
    for (const char* sub : {"data", "photo", "card"}) {
        if (!dir.mkpath(QString::fromLatin1(sub)))
            throw DeskError(QStringLiteral("无法创建文件夹“%1”。").arg(dir.filePath(QString::fromLatin1(sub))));
    }
    const QString data = dir.filePath(QStringLiteral("data"));
    writeIfMissing(data + QStringLiteral("/CSBMK.mdb"), [](const QString& path) { writeRegistrationDb(path); });
    // A station laid out from an older list gets the codes added since; the
    // rows it has are left as they are.
    const QString nativePlaces = data + QStringLiteral("/dmb.mdb");
    if (QFileInfo::exists(nativePlaces))
        addMissingNativePlaces(nativePlaces, divisionsCsv);
    else
        writeIfMissing(nativePlaces, [&](const QString& path) { writeNativePlaceDb(path, divisionsCsv); });
}

// ------------------------------------------------------------ credit station

QStringList creditDatabaseStatements() {
    const QString sub = QStringLiteral("学业水平测试副号");
    return {
        Schema::translateCreateTable(QStringLiteral(
            "CREATE TABLE 学生表 (学业水平测试号 VarChar(15), 学业水平测试副号 VarChar(14), 姓名 VarChar(10), "
            "身份证号 VarChar (19), 必修学分 SmallInt NULL, 选修学分 SmallInt NULL, 总学分 SmallInt NULL)")),
        // The batch entry updates rows by sub-number; printing and entry
        // select a school by its unit code (characters 3-10).
        QStringLiteral("CREATE INDEX 学生表_副号 ON 学生表(%1)").arg(sub),
        QStringLiteral("CREATE INDEX 学生表_副号单位 ON 学生表(%1)").arg(TestNumber::Sql::unitCode(sub)),
    };
}

void writeCreditDb(const QString& path) {
    Schema::createDatabase(path, creditDatabaseStatements());
    try {
        FileProtection::protect(path);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

int writeNameTableDb(const QString& path, const QString& unitsCsv) {
    QFile csv(unitsCsv);
    if (!csv.open(QIODevice::ReadOnly | QIODevice::Text))
        throw DeskError(QStringLiteral("无法读取学校编码文件“%1”。").arg(unitsCsv));
    QTextStream in(&csv);
    in.setEncoding(QStringConverter::Utf8);
    const QStringList columns{QStringLiteral("市县编码"), QStringLiteral("市县名称"), QStringLiteral("学校编码"),
                              QStringLiteral("学校名称")};
    QString headerLine = in.readLine();
    if (headerLine.startsWith(QChar(0xFEFF))) // a byte order mark left by a spreadsheet program
        headerLine.remove(0, 1);
    if (splitCsvLine(headerLine) != columns)
        throw DeskError(QStringLiteral("学校编码文件“%1”的表头应为“%2”。").arg(unitsCsv, columns.join(QLatin1Char(','))));

    Schema::createDatabase(path, {Schema::translateCreateTable(QStringLiteral(
                                      "CREATE TABLE 市县学校编码表 (市县编码 text, 市县名称 text, 学校编码 text, 学校名称 text)"))});
    int rows = 0;
    try {
        {
            Connection connection(path);
            Transaction transaction(connection);
            int lineNumber = 1;
            while (!in.atEnd()) {
                const QString line = in.readLine();
                ++lineNumber;
                if (line.trimmed().isEmpty())
                    continue;
                const QStringList f = splitCsvLine(line);
                if (f.size() != 4)
                    throw DeskError(QStringLiteral("学校编码文件第 %1 行应有 4 项：%2").arg(lineNumber).arg(line));
                connection.execute(QStringLiteral("insert into 市县学校编码表(市县编码,市县名称,学校编码,学校名称) "
                                                  "values(:a,:b,:c,:d)"),
                                   {{QStringLiteral(":a"), f[0]},
                                    {QStringLiteral(":b"), f[1]},
                                    {QStringLiteral(":c"), f[2]},
                                    {QStringLiteral(":d"), f[3]}});
                ++rows;
            }
            transaction.commit();
        }
        FileProtection::protect(path);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
    return rows;
}

void layOutCreditStation(const QString& folder, const QString& unitsCsv) {
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("data")))
        throw DeskError(QStringLiteral("无法创建文件夹“%1”。").arg(dir.filePath(QStringLiteral("data"))));
    const QString data = dir.filePath(QStringLiteral("data"));
    writeIfMissing(data + QStringLiteral("/XFRDCJK.mdb"), [](const QString& path) { writeCreditDb(path); });
    writeIfMissing(data + QStringLiteral("/XXBMB.mdb"),
                   [&](const QString& path) { writeNameTableDb(path, unitsCsv); });
}

} // namespace DeliveredData
