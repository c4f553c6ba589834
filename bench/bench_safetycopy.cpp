// How long the safety copy before an operation takes on a county database.
//
//   bench_safetycopy [students=200000]
//
// Fills a fresh CSBMK.mdb (with its indexes) with generated students, then
// times copying it with cp (the anchor, in the same run, on the same disk:
// cp does not wait for the disk) against the copy a safety copy makes (the
// file's bytes under the engine's read lock, forced to the disk) and the
// whole step (copy, quick_check, count of students, rename), and the
// restore of a copy for scale.
#include "Database.h"
#include "RawSqlite.h"
#include "SafetyCopy.h"
#include "Schema.h"
#include "TestNumber.h"
#include "Text.h"
#include "Timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int students = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    const int schools = 100;
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    const QString path = dir.filePath(QStringLiteral("data/CSBMK.mdb"));
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());
    {
        sqlite3* db = Raw::open(path);
        Raw::exec(db, "BEGIN IMMEDIATE");
        sqlite3_stmt* s = Raw::prepare(
            db, QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,家庭住址,联系电话,"
                               "中考成绩,班级,备注)values(?,?,'学生','32010220000101123X','1','江苏省南京市玄武区',"
                               "'南京市玄武区某某路1号','13800000000','560',?,'')"));
        for (int i = 0; i < students; ++i) {
            const QString number =
                TestNumber::compose(QStringLiteral("09"), QStringLiteral("0101"), Text::sequenceText(i % schools + 1),
                                    i % 2 ? QStringLiteral("女") : QStringLiteral("男"), Text::sequenceText(i / schools + 1));
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
    const double megabytes = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("%d students, %.1f MB\n", students, megabytes);

    SafetyCopy::Store store = SafetyCopy::storeOf(path);
    store.limits.keep = 3;
    store.limits.freePercent = 100;
    const QString cpTarget = dir.filePath(QStringLiteral("cp.mdb"));
    const auto cp = [&] {
        QFile::remove(cpTarget);
        QProcess::execute(QStringLiteral("cp"), {path, cpTarget});
    };
    // The copy itself, as take() makes it: under the read lock, synced.
    const auto snapshot = [&] {
        const QString to = dir.filePath(QStringLiteral("snapshot.mdb"));
        QFile::remove(to);
        Connection source(path);
        snapshotDatabase(source, to);
    };
    cp(); // warm the page cache for both
    const double anchor = bestMs(5, cp);
    const double copied = bestMs(5, snapshot);
    const double take = bestMs(5, [&] { SafetyCopy::take(store, SafetyCopy::Before::clearing); });
    printRatio("copy under the read lock, synced", copied, anchor);
    printRatio("safety copy: copy, quick_check, count, rename", take, anchor);
    const SafetyCopy::Copy copy = SafetyCopy::list(store).value(0);
    const double restore = bestMs(3, [&] { SafetyCopy::restore(store, copy); });
    printRatio("restore: copy of the current state, copy in, check, rename", restore, anchor);
    std::printf("%s\n", take < 2000 ? "safety copy under 2 s" : "safety copy OVER 2 s");
    return 0;
}
