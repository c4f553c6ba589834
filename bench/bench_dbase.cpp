// How fast a dBase table of students, and the same students in a database
// file of ours (the Access import), come into the registration database.
//
//   bench_dbase [rows=150000]
//
// Writes a .dbf of `rows` students with shapelib (texts in GB18030, as the
// schools' programs write them) and appends it through the import, progress
// reports included; then appends the same rows from a registration database
// of another station. The anchor is the database's share of the same work on
// SQLite's C API: one prepared insert per row in one transaction. The
// import is promised within 3 times its anchor.
#include "Database.h"
#include "RawSqlite.h"
#include "RegistrationImport.h"
#include "Schema.h"
#include "TestNumber.h"
#include "Text.h"
#include "Timing.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include <shapefil.h>

namespace {

QByteArray gb(const QString& text) { return Gb18030::encode(text); }

struct Student {
    QString number, name, id, place, address, phone;
    double score;
    int classNo;
};

QVector<Student> studentsOf(int rows) {
    QVector<Student> out;
    out.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const QString number = TestNumber::compose(QStringLiteral("09"), QStringLiteral("1001"),
                                                   Text::sequenceText(i / 5000 + 1), i % 2 ? QStringLiteral("女")
                                                                                           : QStringLiteral("男"),
                                                   Text::sequenceText(i % 5000 + 1));
        out.append({number, QStringLiteral("学生%1").arg(i % 100000), QStringLiteral("32010219900101%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
                    QStringLiteral("江苏省南京市"), QStringLiteral("南京市玄武区某某路%1号").arg(i % 1000),
                    QStringLiteral("025%1").arg(80000000 + i), 400.5 + i % 200, i % 40 + 1});
    }
    return out;
}

void writeDbase(const QString& path, const QVector<Student>& students) {
    DBFHandle dbf = DBFCreateEx(QFile::encodeName(path).constData(), "LDID/77");
    const char* texts[][2] = {{"水平测试号", "15"}, {"姓名", "30"}, {"身份证号", "18"}, {"籍贯", "12"},
                              {"家庭住址", "30"},   {"联系电话", "20"}};
    for (const auto& t : texts)
        DBFAddField(dbf, gb(QString::fromUtf8(t[0])).constData(), FTString, atoi(t[1]), 0);
    DBFAddField(dbf, gb(QStringLiteral("中考成绩")).constData(), FTDouble, 6, 1);
    DBFAddField(dbf, gb(QStringLiteral("班级")).constData(), FTInteger, 3, 0);
    for (int r = 0; r < students.size(); ++r) {
        const Student& s = students[r];
        const QString values[] = {s.number, s.name, s.id, s.place, s.address, s.phone};
        for (int f = 0; f < 6; ++f)
            DBFWriteStringAttribute(dbf, r, f, gb(values[f]).constData());
        DBFWriteDoubleAttribute(dbf, r, 6, s.score);
        DBFWriteIntegerAttribute(dbf, r, 7, s.classNo);
    }
    DBFClose(dbf);
}

double anchorMs(const QString& database, const QVector<Student>& students) {
    QElapsedTimer t;
    t.start();
    sqlite3* db = Raw::open(database);
    Raw::exec(db, "BEGIN IMMEDIATE");
    sqlite3_stmt* insert =
        Raw::prepare(db, QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,籍贯,家庭住址,"
                                        "联系电话,中考成绩,班级,性别)values(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)"));
    for (const Student& s : students) {
        Raw::bindText(insert, 1, s.number.toUtf8());
        Raw::bindText(insert, 2, TestNumber::subNumber(s.number).toUtf8());
        Raw::bindText(insert, 3, s.name.toUtf8());
        Raw::bindText(insert, 4, s.id.toUtf8());
        Raw::bindText(insert, 5, s.place.toUtf8());
        Raw::bindText(insert, 6, s.address.toUtf8());
        Raw::bindText(insert, 7, s.phone.toUtf8());
        Raw::bindText(insert, 8, QString::number(s.score).toUtf8());
        sqlite3_bind_int64(insert, 9, s.classNo);
        Raw::bindText(insert, 10, TestNumber::mid(s.number, 11, 1).toUtf8());
        Raw::check(db, sqlite3_step(insert), "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Raw::exec(db, "COMMIT");
    sqlite3_close(db);
    return elapsedMs(t);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 150000;
    QTemporaryDir dir;
    const QString dbase = dir.filePath(QStringLiteral("students.dbf"));
    const QVector<Student> students = studentsOf(rows);
    writeDbase(dbase, students);
    const QString pristine = dir.filePath(QStringLiteral("pristine.mdb"));
    Schema::createDatabase(pristine, Schema::registrationDatabaseStatements());
    const QString database = dir.filePath(QStringLiteral("CSBMK.mdb"));
    std::printf("%d dBase rows\n", rows);

    const auto fresh = [&] {
        QFile::remove(database);
        QFile::copy(pristine, database);
    };
    int reports = 0;
    RegistrationImport::Listener listener;
    listener.row = [&](int) { ++reports; };
    listener.between = [] {};
    double importMs = 1e300, rawMs = 1e300;
    for (int i = 0; i < 3; ++i) {
        fresh();
        QElapsedTimer t;
        t.start();
        RegistrationImport::appendDbase(dbase, database, listener);
        importMs = std::min(importMs, elapsedMs(t));
        fresh();
        rawMs = std::min(rawMs, anchorMs(database, students));
    }
    printRatio("dBase import", importMs, rawMs);
    std::printf("  %d progress reports; %s (at most 3 times the anchor)\n", reports / 3,
                importMs <= 3 * rawMs ? "within the promise" : "OVER THE PROMISE");

    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    Schema::createDatabase(other, Schema::registrationDatabaseStatements());
    anchorMs(other, students);
    reports = 0;
    double accessMs = 1e300;
    for (int i = 0; i < 3; ++i) {
        fresh();
        QElapsedTimer t;
        t.start();
        RegistrationImport::appendAccess(other, database, listener);
        accessMs = std::min(accessMs, elapsedMs(t));
    }
    printRatio("Access import (a file of ours)", accessMs, rawMs);
    std::printf("  %d progress reports; %s (at most 3 times the anchor)\n", reports / 3,
                accessMs <= 3 * rawMs ? "within the promise" : "OVER THE PROMISE");
    return 0;
}
