// How fast the credit list of a county comes together.
//
//   bench_creditlist [students=100000] [--pdf]
//
// Fills a fresh credit database with generated students of one county (100
// schools), then times the county's list as the print window makes it: the
// students selected in sub-number order, then every line of the list, names
// looked up in the delivered name table, into a sink that only counts them.
// The anchor is the same selection stepped through SQLite's C API. With
// --pdf the whole print through the county window into a PDF is timed too
// (the pages drawn), for information.
#include "CreditList.h"
#include "CreditStation.h"
#include "Database.h"
#include "DeliveredData.h"
#include "Dialogs.h"
#include "FileProtection.h"
#include "Query.h"
#include "RawSqlite.h"
#include "StationFolder.h"
#include "Text.h"
#include "Timing.h"
#include "UnitDY_FXQ.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class BenchDialogs : public Dialogs {
public:
    void message(const QString& text) override { std::printf("  message: %s\n", qPrintable(text)); }
    void messageBox(const QString& text, const QString&, Icon) override { message(text); }
    Answer askYesNoCancel(const QString&, const QString&) override { return Answer::Yes; }
    bool confirm(const QString&) override { return true; }
    void error(const QString& text) override { std::printf("  error: %s\n", qPrintable(text)); }
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFolder(const QString&) override { return {}; }
};

const QString selection = QStringLiteral(
    "select * from 学生表 where substr(学业水平测试副号,3,4) COLLATE NOCASE='0101' order by 学业水平测试副号 asc");

void fill(const QString& creditDb, int students) {
    FileProtection::Lift lifted(creditDb);
    Connection c(creditDb);
    Transaction t(c);
    const int perSchool = std::max(1, students / 100);
    for (int i = 0; i < students; ++i) {
        const int school = i / perSchool + 1;
        const int sequence = i % perSchool + 1;
        const QString sub = QStringLiteral("240101%1%2").arg(school, 4, 10, QChar('0')).arg(sequence, 4, 10, QChar('0'));
        const QVariant none;
        const bool entered = i % 50 != 0;
        c.execute(QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) "
                                 "values(:a,:b,:c,:d,:e,:f)"),
                  {{QStringLiteral(":a"), sub},
                   {QStringLiteral(":b"), QStringLiteral("学生%1").arg(i % 1000)},
                   {QStringLiteral(":c"), QStringLiteral("3701022006%1").arg(i, 8, 10, QChar('0'))},
                   {QStringLiteral(":d"), entered ? QVariant(116) : none},
                   {QStringLiteral(":e"), entered ? QVariant(28 + i % 3) : none},
                   {QStringLiteral(":f"), entered ? QVariant(144 + i % 3) : none}});
    }
    t.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int students = 100000;
    bool pdf = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--pdf")
            pdf = true;
        else
            students = QString::fromLocal8Bit(argv[i]).toInt();
    }

    QTemporaryDir home;
    qputenv("DESK_HOME", home.path().toUtf8());
    DeliveredData::layOutCreditStation(home.path(), QStringLiteral(DESK_SOURCE_DIR "/data/credit-units.csv"));
    const QString creditDb = StationFolder::creditDb();
    fill(creditDb, students);
    std::printf("%d students of county 0101 in 100 schools\n", students);

    // The list as the window makes it, without the printer.
    long lines = 0;
    long bytes = 0;
    const double listMs = bestMs(3, [&] {
        lines = bytes = 0;
        Query rows;
        {
            FileProtection::Lift lifted(creditDb);
            rows.setDatabasePath(creditDb);
            rows.setSql(selection);
            rows.open();
        }
        const int sub = rows.fieldIndex(QStringLiteral("学业水平测试副号"));
        auto field = [&](int row, int column) { return Text::trimmed(Query::textOf(rows.value(row, column))); };
        Query names;
        FileProtection::Lift nameTable(StationFolder::nameTableDb());
        CreditList::NameTable table(names, StationFolder::nameTableDb());
        CreditList::write(
            rows.recordCount(),
            [&](int row) {
                return CreditList::Student{field(row, sub),     field(row, sub + 1), field(row, sub + 2),
                                           field(row, sub + 3), field(row, sub + 4), field(row, sub + 5)};
            },
            table, QStringLiteral("12:00:00"),
            [&](const QString& line) {
                ++lines;
                bytes += line.size();
            });
    });

    const double anchorMs = bestMs(3, [&] {
        FileProtection::Lift lifted(creditDb);
        sqlite3* db = Raw::open(creditDb);
        sqlite3_stmt* s = Raw::prepare(db, selection);
        Raw::stepAll(db, s);
        sqlite3_finalize(s);
        sqlite3_close(db);
    });
    std::printf("  %ld lines\n", lines);
    printRatio("county list lines", listMs, anchorMs);

    if (pdf) {
        BenchDialogs dialogs;
        Dialogs::install(&dialogs);
        const QString file = home.filePath(QStringLiteral("county.pdf"));
        qputenv("DESK_PRINT_PDF", file.toUtf8());
        CreditStation station;
        station.FormDY_FXQ->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("0101"));
        QElapsedTimer t;
        t.start();
        station.FormDY_FXQ->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        std::printf("county printed into a PDF %.3f s (%lld bytes)\n", elapsedMs(t) / 1000.0,
                    QFileInfo(file).size());
        Dialogs::install(nullptr);
    }
    return 0;
}
