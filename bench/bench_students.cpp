// How fast the registration database answers the lookups the windows run,
// on a county-sized 学生表.
//
//   bench_students [students=200000]
//
// Fills a fresh CSBMK.mdb with generated students (100 schools of a county,
// both genders, 46 classes), then times: the fill itself (one transaction),
// the unit-code lookup of one school, the used-number test of one sequence
// number, the highest number of a unit, a full scan in the canonical order and
// the newest-first list. Each figure is set against the same work done on
// SQLite's C API in the same run (the anchor) and printed with its ratio.
#include "Database.h"
#include "Query.h"
#include "Schema.h"
#include "TestNumber.h"
#include "Text.h"
#include "RawSqlite.h"
#include "Timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QString numberOf(int i, int schools) {
    return TestNumber::compose(QStringLiteral("09"), QStringLiteral("0101"), Text::sequenceText(i % schools + 1),
                               i % 2 ? QStringLiteral("女") : QStringLiteral("男"), Text::sequenceText(i / schools + 1));
}

const char* insertSql = "insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,家庭住址,联系电话,"
                        "中考成绩,班级,备注)values(:n,:s,'学生','32010220000101123X','1','江苏省南京市玄武区',"
                        "'南京市玄武区某某路1号','13800000000','560',:c,'')";

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int students = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    const int schools = 100;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CSBMK.mdb"));
    const QString anchorPath = dir.filePath(QStringLiteral("anchor.mdb"));
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());
    Schema::createDatabase(anchorPath, Schema::registrationDatabaseStatements());

    // The fill as an import does it: one statement with bound values per row.
    QElapsedTimer fill;
    fill.start();
    {
        Connection c(path);
        Transaction t(c);
        const QString sql = QString::fromUtf8(insertSql);
        for (int i = 0; i < students; ++i) {
            const QString number = numberOf(i, schools);
            c.execute(sql, {{QStringLiteral(":n"), number},
                            {QStringLiteral(":s"), TestNumber::subNumber(number)},
                            {QStringLiteral(":c"), i % 46 + 1}});
        }
        t.commit();
    }
    const double filled = elapsedMs(fill);
    // Anchor: the same rows through one prepared insert in one transaction.
    fill.restart();
    {
        sqlite3* db = Raw::open(anchorPath);
        Raw::exec(db, "BEGIN IMMEDIATE");
        sqlite3_stmt* s = Raw::prepare(db, QString::fromUtf8(insertSql));
        for (int i = 0; i < students; ++i) {
            const QString number = numberOf(i, schools);
            Raw::bindText(s, 1, number.toUtf8());
            Raw::bindText(s, 2, TestNumber::subNumber(number).toUtf8());
            sqlite3_bind_int(s, 3, i % 46 + 1);
            Raw::check(db, sqlite3_step(s), "insert");
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        Raw::exec(db, "COMMIT");
        sqlite3_close(db);
    }
    const double filledRaw = elapsedMs(fill);
    std::printf("%d students\n", students);
    printRatio("fill in one transaction, values bound", filled, filledRaw);

    const QString id = QStringLiteral("学业水平测试号");
    Query q;
    q.setDatabasePath(path);
    // Times a selection through Query (its own connection per call, as the
    // windows run it) and through the raw anchor, and prints both.
    auto compare = [&](const char* what, int runs, const QString& sql, const Params& params) {
        const double ours = bestMs(runs, [&] {
            q.setSql(sql);
            for (const auto& [name, value] : params)
                q.setParam(name, value);
            q.open();
        });
        long rows = 0;
        const double raw = bestMs(runs, [&] {
            sqlite3* db = Raw::open(path);
            sqlite3_stmt* s = Raw::prepare(db, sql);
            int i = 0;
            for (const auto& param : params)
                Raw::bindText(s, ++i, param.second.toString().toUtf8());
            rows = Raw::stepAll(db, s);
            sqlite3_finalize(s);
            sqlite3_close(db);
        });
        if (rows != q.recordCount())
            std::printf("  rows differ: %ld against %d\n", rows, q.recordCount());
        printRatio(qPrintable(QStringLiteral("%1 (%2 rows)").arg(QString::fromUtf8(what)).arg(q.recordCount())), ours,
                   raw);
    };

    compare("unit-code lookup, one school", 5,
            QStringLiteral("select * from 学生表 where %1=:sxbm").arg(TestNumber::Sql::unitCode(id)),
            {{QStringLiteral(":sxbm"), QStringLiteral("01010050")}});
    compare("is a sequence number used, own connection", 20,
            QStringLiteral("select * from 学生表 where %1=:sxbm and %2=:sxh")
                .arg(TestNumber::Sql::unitCode(id), TestNumber::Sql::sequenceNumber(id)),
            {{QStringLiteral(":sxbm"), QStringLiteral("01010050")}, {QStringLiteral(":sxh"), QStringLiteral("0777")}});
    compare("highest sequence number of a unit", 5,
            QStringLiteral("select max(%1) as maxsxh from 学生表 where %2=:sxbm")
                .arg(TestNumber::Sql::sequenceNumber(id), TestNumber::Sql::unitCode(id)),
            {{QStringLiteral(":sxbm"), QStringLiteral("01010050")}});
    compare("full scan in canonical order", 3,
            QStringLiteral("select * from 学生表 order by %1").arg(TestNumber::Sql::canonicalOrder(id)), {});
    compare("student list newest first", 3, QStringLiteral("select * from 学生表 order by 序号 desc"), {});
    return 0;
}
