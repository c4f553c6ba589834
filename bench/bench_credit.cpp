// How fast the credit station exports and imports a county, through its
// real windows (offscreen).
//
//   bench_credit [students=100000]
//
// Fills a fresh credit database with generated students of one county (100
// schools; a few fail the credit rules, a few have a total that is not the
// sum, a few have no credits yet), then times:
//   - the county export up to the check report on screen with its counts and
//     lists, and up to the end of the export when the report is closed;
//   - the workbook of the failing students, written from the report;
//   - the import of the exchange file just written into an empty database.
// Each figure is printed against its anchor, the same work done straight
// through SQLite's C API in the same run (see printRatio()).
#include "CreditStation.h"
#include "Database.h"
#include "DeliveredData.h"
#include "Dialogs.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "Query.h"
#include "StationFolder.h"
#include "Text.h"
#include "Timing.h"
#include "UnitDRSJ.h"
#include "UnitSJDC.h"
#include "Unitsjdcbg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sqlite3.h>

namespace {

// Answers every chooser with a fixed place and prints whatever is shown.
class BenchDialogs : public Dialogs {
public:
    QString file, folder;
    int errors = 0;
    void message(const QString& text) override { std::printf("  message: %s\n", qPrintable(text)); }
    void messageBox(const QString& text, const QString&, Icon) override {
        std::printf("  message: %s\n",
                    qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    }
    Answer askYesNoCancel(const QString&, const QString&) override { return Answer::Yes; }
    bool confirm(const QString&) override { return true; }
    void error(const QString& text) override {
        ++errors;
        std::printf("  error: %s\n", qPrintable(text));
    }
    QString openFile(const QString&, const QString&) override { return file; }
    QString saveFile(const QString&, const QString&, const QString&) override { return file; }
    QString chooseFolder(const QString&) override { return folder; }
};

double ms(const QElapsedTimer& t) {
    return elapsedMs(t);
}

// --- raw SQLite anchors

sqlite3* openRaw(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        std::exit(2);
    }
    return db;
}

void execRaw(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql), error);
        std::exit(2);
    }
}

// Steps through a selection reading every column, as a reader must.
int stepRaw(sqlite3* db, const QString& sql, const std::function<void(sqlite3_stmt*)>& perRow = {}) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                sqlite3_column_text(st, c);
            else
                sqlite3_column_int64(st, c);
        }
        if (perRow)
            perRow(st);
        ++rows;
    }
    sqlite3_finalize(st);
    return rows;
}

const QString exchangeTable =
    QStringLiteral("CREATE TABLE 学生表 (序号 INTEGER PRIMARY KEY AUTOINCREMENT, 学业水平测试副号 TEXT "
                   "CHECK(length(学业水平测试副号)<=14), 姓名 TEXT CHECK(length(姓名)<=10), 身份证号 TEXT "
                   "CHECK(length(身份证号)<=19), 必修学分 INTEGER, 选修学分 INTEGER, 总学分 INTEGER) STRICT");
const QString where = QStringLiteral(" from 学生表 where substr(学业水平测试副号,3,4)='0101'");
const QString failing = QStringLiteral(" and (必修学分<116 or 选修学分<28 or 总学分<144 )");

// The county export's SQL work: a new file with its table, one INSERT ...
// SELECT across the attached file, then the three selections of the report.
double exportAnchor(const QString& creditDb, const QString& target) {
    QElapsedTimer t;
    t.start();
    {
        sqlite3* file = openRaw(target);
        execRaw(file, exchangeTable);
        sqlite3_close(file);
    }
    sqlite3* db = openRaw(creditDb);
    execRaw(db, QStringLiteral("ATTACH DATABASE '%1' AS x").arg(target));
    execRaw(db, QStringLiteral("BEGIN"));
    execRaw(db, QStringLiteral("insert into x.学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) select "
                               "学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分") +
                    where + QStringLiteral(" order by rowid"));
    execRaw(db, QStringLiteral("COMMIT"));
    execRaw(db, QStringLiteral("DETACH DATABASE x"));
    stepRaw(db, QStringLiteral("select count(*) from (select *") + where + QLatin1Char(')'));
    stepRaw(db, QStringLiteral("select *") + where + failing);
    stepRaw(db, QStringLiteral("select *") + where + QStringLiteral(" and (必修学分+选修学分<>总学分)"));
    sqlite3_close(db);
    return ms(t);
}

// The workbook's raw part: the failing list read, a file of the workbook's
// size written beside the target and renamed into place.
double workbookAnchor(const QString& creditDb, const QString& target, qint64 size) {
    QElapsedTimer t;
    t.start();
    sqlite3* db = openRaw(creditDb);
    stepRaw(db, QStringLiteral("select *") + where + failing);
    sqlite3_close(db);
    QSaveFile out(target);
    out.open(QIODevice::WriteOnly);
    out.write(QByteArray(size, 'x'));
    out.commit();
    return ms(t);
}

// The import's raw part: the exchange file read in sub-number order and every
// row put into the credit database through one prepared insert, in one
// transaction.
double importAnchor(const QString& source, const QString& creditDb) {
    QElapsedTimer t;
    t.start();
    sqlite3* src = openRaw(source);
    sqlite3* db = openRaw(creditDb);
    execRaw(db, QStringLiteral("BEGIN"));
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into 学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) "
                       "values(?,?,?,?,?,?)",
                       -1, &insert, nullptr);
    stepRaw(src, QStringLiteral("select * from 学生表 order by 学业水平测试副号 asc, rowid asc"), [&](sqlite3_stmt* row) {
        for (int c = 1; c <= 6; ++c)
            sqlite3_bind_value(insert, c, sqlite3_column_value(row, c));
        sqlite3_step(insert);
        sqlite3_reset(insert);
    });
    sqlite3_finalize(insert);
    execRaw(db, QStringLiteral("COMMIT"));
    sqlite3_close(db);
    sqlite3_close(src);
    return ms(t);
}

template <typename T> T* find(QObject* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int students = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int schools = 100;

    QTemporaryDir home;
    qputenv("DESK_HOME", home.path().toUtf8());
    DeliveredData::layOutCreditStation(home.path(), QStringLiteral(DESK_SOURCE_DIR "/data/credit-units.csv"));
    const QString db = StationFolder::creditDb();

    QElapsedTimer fill;
    fill.start();
    {
        FileProtection::Lift lifted(db);
        Connection c(db);
        Transaction t(c);
        for (int i = 0; i < students; ++i) {
            const QString sub = QStringLiteral("090101") + Text::sequenceText(i % schools + 1) +
                                Text::sequenceText(i / schools + 1);
            QVariant required = 120, elective = 30, total = 150;
            if (i % 20 == 0)
                required = 110, total = 140; // fails
            else if (i % 50 == 1)
                total = 151; // not the sum
            else if (i % 33 == 2)
                required = elective = total = QVariant(); // not entered yet
            c.execute(
                QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) "
                               "values(:a,'学生甲乙',:b,:c,:d,:e)"),
                {{QStringLiteral(":a"), sub},
                 {QStringLiteral(":b"), QStringLiteral("3201022000%1").arg(i, 8, 10, QLatin1Char('0'))},
                 {QStringLiteral(":c"), required},
                 {QStringLiteral(":d"), elective},
                 {QStringLiteral(":e"), total}});
        }
        t.commit();
    }
    std::printf("fill %d students: %.0f ms\n", students, ms(fill));

    BenchDialogs dialogs;
    Dialogs::install(&dialogs);
    CreditStation station;
    QTemporaryDir out;

    // --- county export with its check report
    ProgramValues::ExportLevel = 2;
    station.FormSJDC->FormShow();
    find<QLineEdit>(station.FormSJDC, "Edit1")->setText(QStringLiteral("0101"));
    dialogs.file = out.filePath(QStringLiteral("0101学分数据.mdb"));
    dialogs.folder = out.path();
    double reportShown = 0, workbook = 0;
    QString counts;
    QElapsedTimer exportTimer;
    auto* watch = new QTimer(station.sjdcbgfrm);
    watch->setInterval(0);
    QObject::connect(watch, &QTimer::timeout, station.sjdcbgfrm, [&] {
        if (!station.sjdcbgfrm->isVisible())
            return;
        watch->stop();
        reportShown = ms(exportTimer);
        counts = QStringLiteral("%1 exported, %2 failing, %3 not the sum")
                     .arg(find<QLabel>(station.sjdcbgfrm, "lzsj")->text(),
                          find<QLabel>(station.sjdcbgfrm, "lbhg")->text(),
                          find<QLabel>(station.sjdcbgfrm, "lbdy")->text());
        QElapsedTimer w;
        w.start();
        find<QPushButton>(station.sjdcbgfrm, "BitBtn2")->click();
        workbook = ms(w);
        station.sjdcbgfrm->accept();
    });
    watch->start();
    exportTimer.start();
    find<QPushButton>(station.FormSJDC, "Button1")->click();
    const double exportTotal = ms(exportTimer) - workbook;
    std::printf("county export up to the check report on screen: %.0f ms (%s)\n", reportShown,
                qPrintable(counts));
    std::printf("county export in all, without the time the report stayed open: %.0f ms\n", exportTotal);
    std::printf("workbook of the failing students: %.0f ms\n", workbook);

    double exportRaw = 0, workbookRaw = 0;
    {
        FileProtection::Lift lifted(db);
        exportRaw = exportAnchor(db, out.filePath(QStringLiteral("anchor.mdb")));
        workbookRaw = workbookAnchor(db, out.filePath(QStringLiteral("anchor.xls")),
                                     QFileInfo(out.filePath(QStringLiteral("学分不合格数据.xls"))).size());
    }
    printRatio("county export up to the report", reportShown, exportRaw);
    printRatio("county export in all", exportTotal, exportRaw);
    printRatio("workbook of the failing students", workbook, workbookRaw);

    // --- import of the exchange file into an empty credit database
    {
        FileProtection::Lift lifted(db);
        Connection(db).execute(QStringLiteral("delete from 学生表"));
    }
    find<QLineEdit>(station.FormDRSJ, "Edit4")->setText(dialogs.file);
    QElapsedTimer importTimer;
    importTimer.start();
    find<QPushButton>(station.FormDRSJ, "Button1")->click();
    const double imported = ms(importTimer);
    Query q;
    {
        FileProtection::Lift lifted(db);
        q.setDatabasePath(db);
        q.setSql(QStringLiteral("select count(*) as n from 学生表"));
        q.open();
    }
    std::printf("import of the exchange file (%s students): %.0f ms\n",
                qPrintable(q.text(QStringLiteral("n"))), imported);

    // The same rows through the C API: from a plain copy of the exchange
    // file into the emptied credit database.
    double importRaw = 0;
    {
        const QString plainCopy = out.filePath(QStringLiteral("plain.mdb"));
        QFile::copy(dialogs.file, plainCopy);
        FileProtection::lift(plainCopy);
        FileProtection::Lift lifted(db);
        Connection(db).execute(QStringLiteral("delete from 学生表"));
        importRaw = importAnchor(plainCopy, db);
    }
    printRatio("credit import", imported, importRaw);
    Dialogs::install(nullptr);
    return dialogs.errors == 0 ? 0 : 1;
}
