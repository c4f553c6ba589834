// How fast the registration database answers the lookups the windows run,
// on a county-sized 学生表.
//
//   bench_students [students=200000]
//
// Fills a fresh CSBMK.mdb with generated students (100 schools of a county,
// both genders, 46 classes), then times: the fill itself (one transaction),
// the unit-code lookup of one school, the used-number test of one sequence
// number, the highest number of a unit, and a full scan in the canonical order.
#include "Database.h"
#include "Query.h"
#include "Schema.h"
#include "TestNumber.h"
#include "Text.h"
#include "Timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int students = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    const int schools = 100;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CSBMK.mdb"));
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());

    QElapsedTimer fill;
    fill.start();
    {
        Connection c(path);
        Transaction t(c);
        for (int i = 0; i < students; ++i) {
            const QString school = Text::sequenceText(i % schools + 1);
            const QString sequence = Text::sequenceText(i / schools + 1);
            const QString number = TestNumber::compose(QStringLiteral("09"), QStringLiteral("0101"), school,
                                                       i % 2 ? QStringLiteral("女") : QStringLiteral("男"), sequence);
            c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,家庭住址,"
                                     "联系电话,中考成绩,班级,备注)values(") +
                      sqlQuote(number) + QLatin1Char(',') + sqlQuote(TestNumber::subNumber(number)) +
                      QStringLiteral(",'学生','32010220000101123X','1','江苏省南京市玄武区','南京市玄武区某某路1号',"
                                     "'13800000000','560',") +
                      QString::number(i % 46 + 1) + QStringLiteral(",'')"));
        }
        t.commit();
    }
    std::printf("fill %d students in one transaction: %.0f ms\n", students, elapsedMs(fill));

    const QString id = QStringLiteral("学业水平测试号");
    Query q;
    q.setDatabasePath(path);

    const double unit = bestMs(5, [&] {
        q.setSql(QStringLiteral("select * from 学生表 where %1=:sxbm").arg(TestNumber::Sql::unitCode(id)));
        q.setParam(QStringLiteral(":sxbm"), QStringLiteral("01010050"));
        q.open();
    });
    std::printf("unit-code lookup (one school, %d rows): %.2f ms\n", q.recordCount(), unit);

    const double used = bestMs(20, [&] {
        q.setSql(QStringLiteral("select * from 学生表 where %1=:sxbm and %2=:sxh")
                     .arg(TestNumber::Sql::unitCode(id), TestNumber::Sql::sequenceNumber(id)));
        q.setParam(QStringLiteral(":sxbm"), QStringLiteral("01010050"));
        q.setParam(QStringLiteral(":sxh"), QStringLiteral("0777"));
        q.open();
    });
    std::printf("is a sequence number used (unit + number, own connection): %.3f ms\n", used);

    const double highest = bestMs(5, [&] {
        q.setSql(QStringLiteral("select max(%1) as maxsxh from 学生表 where %2=:sxbm")
                     .arg(TestNumber::Sql::sequenceNumber(id), TestNumber::Sql::unitCode(id)));
        q.setParam(QStringLiteral(":sxbm"), QStringLiteral("01010050"));
        q.open();
    });
    std::printf("highest sequence number of a unit (%s): %.2f ms\n", qPrintable(q.text(QStringLiteral("maxsxh"))),
                highest);

    const double scan = bestMs(3, [&] {
        q.setSql(QStringLiteral("select * from 学生表 order by %1").arg(TestNumber::Sql::canonicalOrder(id)));
        q.open();
    });
    std::printf("full scan in canonical order (%d rows into memory): %.0f ms\n", q.recordCount(), scan);

    const double newest = bestMs(3, [&] {
        q.setSql(QStringLiteral("select * from 学生表 order by 序号 desc"));
        q.open();
    });
    std::printf("student list newest first (%d rows into memory): %.0f ms\n", q.recordCount(), newest);
    return 0;
}
