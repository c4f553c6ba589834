// The sequence-number proposals of the entry window on a county-sized
// registration database.
//
//   bench_sequence [students=100000]
//
// A class has 100 reserved numbers of which the first 99 are taken, so the
// first-free-number rule runs 100 lookups. Also times the number after a
// save and the unit's highest number plus one.
#include "Database.h"
#include "Query.h"
#include "Schema.h"
#include "SequenceNumbers.h"
#include "TestNumber.h"
#include "Text.h"
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
    const QString db = dir.filePath(QStringLiteral("CSBMK.mdb"));
    Schema::createDatabase(db, Schema::registrationDatabaseStatements());
    {
        Connection c(db);
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
    SequenceNumbers::reserve(db, QStringLiteral("0101"), QStringLiteral("0050"), QStringLiteral("7"),
                             perSchool - 98, perSchool + 1);

    Query list, used;
    QString found;
    const double first = bestMs(5, [&] {
        found = SequenceNumbers::firstFree(list, used, db, QStringLiteral("0101"), QStringLiteral("0050"),
                                           QStringLiteral("7"));
    });
    std::printf("%d students; first free number of a class of 100 reserved numbers (99 taken) = %s: %.1f ms\n",
                students, qPrintable(found), first);

    const double next = bestMs(5, [&] {
        found = SequenceNumbers::nextAfter(list, db, QStringLiteral("0101"), QStringLiteral("0050"),
                                           QStringLiteral("7"), Text::sequenceText(perSchool - 50));
    });
    std::printf("next number after a save = %s: %.2f ms\n", qPrintable(found), next);

    const double highest = bestMs(5, [&] {
        found = SequenceNumbers::highestPlusOne(list, db, QStringLiteral("0101"), QStringLiteral("0050"));
    });
    std::printf("highest number plus one = %s: %.2f ms\n", qPrintable(found), highest);

    Query students_;
    const double reload = bestMs(3, [&] {
        students_.setDatabasePath(db);
        students_.setSql(QStringLiteral("select * from 学生表 order by 序号 desc"));
        students_.open();
    });
    std::printf("student list reload after a save (%d rows): %.0f ms\n", students_.recordCount(), reload);
    return 0;
}
