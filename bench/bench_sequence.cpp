// The sequence-number proposals of the entry window on a county-sized
// registration database.
//
//   bench_sequence [students=100000]
//
// A class has 100 reserved numbers of which the first 99 are taken, so the
// first-free-number rule runs 100 lookups. Also times the number after a
// save, the unit's highest number plus one and the list reload after a save,
// each against the same statements run on SQLite's C API (the anchor).
#include "Database.h"
#include "Query.h"
#include "Schema.h"
#include "SequenceNumbers.h"
#include "TestNumber.h"
#include "Text.h"
#include "RawSqlite.h"
#include "Timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int students = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int schools = 100;
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("CSBMK.mdb"));
    Schema::createDatabase(database, Schema::registrationDatabaseStatements());
    {
        Connection c(database);
        Transaction t(c);
        for (int i = 0; i < students; ++i) {
            const QString number = TestNumber::compose(QStringLiteral("09"), QStringLiteral("0101"),
                                                       Text::sequenceText(i % schools + 1),
                                                       i % 2 ? QStringLiteral("女") : QStringLiteral("男"),
                                                       Text::sequenceText(i / schools + 1));
            c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) values(:n,:s,'学生',1)"),
                      {{QStringLiteral(":n"), number}, {QStringLiteral(":s"), TestNumber::subNumber(number)}});
        }
        t.commit();
    }
    // School 0050 holds numbers 0001..(students/schools); reserve the last
    // 99 of them plus one free number for class 7.
    const int perSchool = students / schools;
    SequenceNumbers::reserve(database, QStringLiteral("0101"), QStringLiteral("0050"), QStringLiteral("7"),
                             perSchool - 98, perSchool + 1);

    Query list, used;
    QString found;
    const QString classList = QStringLiteral("select * from 顺序号 where 县区代码=:xqdm and 学校代码=:xxdm and 班级=7 "
                                             "order by 顺序号 asc");
    // The numbers of the class through a raw connection of their own.
    auto rawClassNumbers = [&] {
        QStringList numbers;
        sqlite3* db = Raw::open(database);
        sqlite3_stmt* s = Raw::prepare(db, classList);
        Raw::bindText(s, 1, "0101");
        Raw::bindText(s, 2, "0050");
        const int column = 2; // 县区代码, 学校代码, 顺序号, 班级
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(s); ++i)
                sqlite3_column_text(s, i);
            numbers << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, column)));
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        return numbers;
    };

    const double first = bestMs(5, [&] {
        found = SequenceNumbers::firstFree(list, used, database, QStringLiteral("0101"), QStringLiteral("0050"),
                                           QStringLiteral("7"));
    });
    QString rawFound;
    const double firstRaw = bestMs(5, [&] {
        const QStringList numbers = rawClassNumbers();
        sqlite3* db = Raw::open(database);
        const QString id = QStringLiteral("学业水平测试号");
        sqlite3_stmt* s = Raw::prepare(db, QStringLiteral("select * from 学生表 where %1=:sxbm and %2=:sxh")
                                               .arg(TestNumber::Sql::unitCode(id), TestNumber::Sql::sequenceNumber(id)));
        rawFound.clear();
        for (const QString& number : numbers) {
            Raw::bindText(s, 1, "01010050");
            Raw::bindText(s, 2, number.toUtf8());
            if (Raw::stepAll(db, s) == 0) {
                rawFound = number;
                break;
            }
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
    });
    if (rawFound != found)
        std::printf("  anchor found %s\n", qPrintable(rawFound));
    std::printf("%d students; first free number of a class of 100 reserved numbers (99 taken) = %s\n", students,
                qPrintable(found));
    printRatio("first free number", first, firstRaw);

    const QString saved = Text::sequenceText(perSchool - 50);
    const double next = bestMs(5, [&] {
        found = SequenceNumbers::nextAfter(list, database, QStringLiteral("0101"), QStringLiteral("0050"),
                                           QStringLiteral("7"), saved);
    });
    const double nextRaw = bestMs(5, [&] {
        const QStringList numbers = rawClassNumbers();
        const int at = numbers.indexOf(saved);
        rawFound = at >= 0 && at + 1 < numbers.size() ? numbers.at(at + 1) : QString();
    });
    std::printf("next number after a save = %s\n", qPrintable(found));
    printRatio("next number after a save", next, nextRaw);

    const double highest = bestMs(5, [&] {
        found = SequenceNumbers::highestPlusOne(list, database, QStringLiteral("0101"), QStringLiteral("0050"));
    });
    const QString id = QStringLiteral("学业水平测试号");
    const double highestRaw = bestMs(5, [&] {
        Raw::select(database,
                    QStringLiteral("select max(%1) as maxsxh from 学生表 where %2=:sxbm")
                        .arg(TestNumber::Sql::sequenceNumber(id), TestNumber::Sql::unitCode(id)),
                    {QStringLiteral("01010050")});
    });
    std::printf("highest number plus one = %s\n", qPrintable(found));
    printRatio("highest number plus one", highest, highestRaw);

    Query students_;
    const QString newest = QStringLiteral("select * from 学生表 order by 序号 desc");
    const double reload = bestMs(3, [&] {
        students_.setDatabasePath(database);
        students_.setSql(newest);
        students_.open();
    });
    const double reloadRaw = bestMs(3, [&] { Raw::select(database, newest); });
    printRatio(qPrintable(QStringLiteral("student list reload after a save (%1 rows)").arg(students_.recordCount())),
               reload, reloadRaw);
    return 0;
}
