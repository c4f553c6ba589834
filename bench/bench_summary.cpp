// The two per-unit summaries on a county-sized registration database.
//
//   bench_summary [units=1000] [students per unit=100]
//
// Times the summary table (one grouped statement) against the same
// statement on SQLite's C API (the anchor), and against working it out
// unit by unit (one grouping, then one query per unit), checking that both
// ways give the same rows. Then the make-up summary over a 补考表 with one
// row in five students.
#include "Database.h"
#include "Query.h"
#include "RawSqlite.h"
#include "Schema.h"
#include "Summaries.h"
#include "TestNumber.h"
#include "Text.h"
#include "Timing.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

QStringList joined(const QVector<QStringList>& rows) {
    QStringList out;
    for (const QStringList& r : rows)
        out << r.join(QLatin1Char('|'));
    return out;
}

// The summary worked out one unit at a time.
QStringList unitByUnit(const QString& database) {
    const QString tn = QStringLiteral("学业水平测试号");
    Query units, students;
    units.setDatabasePath(database);
    units.setSql(QStringLiteral("select %1 as dm,count(*) as renshu from 学生表 group by %1 order by %1 asc")
                     .arg(TestNumber::Sql::unitCode(tn)));
    units.open();
    QStringList rows;
    for (; !units.eof(); units.next()) {
        const QString dm = Text::trimmed(units.text(QStringLiteral("dm")));
        students.close();
        students.setDatabasePath(database);
        students.setSql(QStringLiteral("select * from 学生表 where %1=:a order by substr(%2,1,10) COLLATE NOCASE asc,"
                                       "%3 asc")
                            .arg(TestNumber::Sql::unitCode(tn), tn, TestNumber::Sql::sequenceNumber(tn)));
        students.setParam(QStringLiteral(":a"), dm);
        students.open();
        const QString first = TestNumber::right(Text::trimmed(students.text(tn)), 4);
        students.last();
        const QString last = TestNumber::right(Text::trimmed(students.text(tn)), 4);
        const long long count = units.integer(QStringLiteral("renshu"));
        rows << QStringList{TestNumber::left(dm, 4), TestNumber::right(dm, 4), first, last, QString::number(count),
                            QString::number(Text::toInteger(last) - count)}
                    .join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int units = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const int perUnit = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100;
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("CSBMK.mdb"));
    Schema::createDatabase(database, Schema::registrationDatabaseStatements());
    {
        Connection c(database);
        Transaction t(c);
        for (int u = 0; u < units; ++u) {
            const QString county = Text::sequenceText(100 + u / 100);
            const QString school = Text::sequenceText(u % 100 + 1);
            for (int s = 1; s <= perUnit; ++s) {
                if (s % 17 == 0)
                    continue; // a gap now and then
                const QString number = TestNumber::compose(QStringLiteral("09"), county, school,
                                                           s % 2 ? QStringLiteral("男") : QStringLiteral("女"),
                                                           Text::sequenceText(s));
                const QString sub = TestNumber::subNumber(number);
                c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) "
                                         "values(:n,:s,'学生',1)"),
                          {{QStringLiteral(":n"), number}, {QStringLiteral(":s"), sub}});
                if (s % 5 == 0)
                    c.execute(QStringLiteral("insert into 补考表(学业水平测试副号,语文补考,技术补考) values(:s,'补',:m)"),
                              {{QStringLiteral(":s"), sub}, {QStringLiteral(":m"), s % 2 ? QStringLiteral("补") : QString()}});
            }
        }
        t.commit();
    }

    Summaries::Table table;
    const double grouped = bestMs(3, [&] { table = Summaries::registration(database); });
    const double groupedRaw = bestMs(3, [&] { Raw::select(database, Summaries::registrationStatement()); });
    std::printf("%d units, %d students\n", units, units * (perUnit - perUnit / 17));
    printRatio("summary table", grouped, groupedRaw);
    // The processor time of one build, which a busy machine does not inflate
    // as much as the time on the clock.
    const std::clock_t started = std::clock();
    table = Summaries::registration(database);
    std::printf("summary table %.3f s of processor time\n", double(std::clock() - started) / CLOCKS_PER_SEC);

    QStringList perUnitRows;
    const double separate = bestMs(1, [&] { perUnitRows = unitByUnit(database); });
    std::printf("unit by unit %.3f s; same rows: %s\n", separate / 1000.0,
                perUnitRows == joined(table.rows) ? "yes" : "NO");

    Summaries::Table makeup;
    const double makeupMs = bestMs(3, [&] { makeup = Summaries::makeup(database); });
    const double makeupRaw = bestMs(3, [&] { Raw::select(database, Summaries::makeupStatement()); });
    printRatio(qPrintable(QStringLiteral("make-up summary (%1 units)").arg(makeup.units)), makeupMs, makeupRaw);
    return perUnitRows == joined(table.rows) ? 0 : 1;
}
