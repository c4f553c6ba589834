// How fast the registration station exports a county for submission,
// through its real export window (offscreen).
//
//   bench_export [students=50000]
//
// Fills a registration database with the given number of students of one
// county (100 schools) and as many of a neighbouring county, then times the
// county export from the click on "数据导出" to the closing message, against
// its anchor: the same file made straight through SQLite's C API (the table,
// one INSERT ... SELECT with the engine's trim() across the attached database).
#include "Database.h"
#include "Dialogs.h"
#include "RawSqlite.h"
#include "RegistrationExport.h"
#include "Schema.h"
#include "StationFolder.h"
#include "TestNumber.h"
#include "Text.h"
#include "Timing.h"
#include "UnitSJDC.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Answers the save dialog with a fixed file and prints whatever is shown.
class BenchDialogs : public Dialogs {
public:
    QString file;
    int errors = 0;
    void message(const QString& text) override { std::printf("  message: %s\n", qPrintable(text)); }
    void messageBox(const QString& text, const QString&, Icon) override {
        std::printf("  message: %s\n", qPrintable(text));
    }
    Answer askYesNoCancel(const QString&, const QString&) override { return Answer::Yes; }
    bool confirm(const QString&) override { return true; }
    void error(const QString& text) override {
        ++errors;
        std::printf("  error: %s\n", qPrintable(text));
    }
    QString openFile(const QString&, const QString&) override { return file; }
    QString saveFile(const QString&, const QString&, const QString&) override { return file; }
    QString chooseFolder(const QString&) override { return QString(); }
};

// The export's SQL work on the engine's own API.
double exportAnchor(const QString& database, const QString& target) {
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    Raw::check(db, sqlite3_open_v2(target.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
               "open");
    Raw::exec(db, RegistrationExport::tableStatement(RegistrationExport::Kind::Current).toUtf8().constData());
    Raw::exec(db, QStringLiteral("ATTACH DATABASE '%1' AS r").arg(database).toUtf8().constData());
    // The engine's own trim() of blanks stands in for our trimming, which
    // also cuts control characters.
    const QString trim = QStringLiteral("trim(coalesce(%1,''))");
    QStringList values;
    for (const char* column : {"学业水平测试号", "学业水平测试副号", "姓名", "身份证号", "性别", "籍贯", "家庭住址", "联系电话"})
        values << trim.arg(QString::fromUtf8(column));
    values << QStringLiteral("coalesce(中考成绩,'')") << QStringLiteral("班级") << QStringLiteral("coalesce(备注,'')");
    Raw::exec(db, "BEGIN");
    Raw::exec(db, (QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,家庭住址,联系电话,"
                                  "中考成绩,班级,备注) select ") +
                   values.join(',') + QStringLiteral(" from r.学生表 where substr(学业水平测试号,3,4)='0101' order by rowid"))
                      .toUtf8()
                      .constData());
    Raw::exec(db, "COMMIT");
    sqlite3_close(db);
    return elapsedMs(t);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int students = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50000;
    const int schools = 100;

    QTemporaryDir home;
    qputenv("DESK_HOME", home.path().toUtf8());
    QDir(home.path()).mkpath(QStringLiteral("data"));
    const QString database = StationFolder::registrationDb();
    Schema::createDatabase(database, Schema::registrationDatabaseStatements());

    QElapsedTimer fill;
    fill.start();
    {
        Connection c(database);
        Transaction t(c);
        for (const QString& county : {QStringLiteral("0101"), QStringLiteral("0102")}) {
            for (int i = 0; i < students; ++i) {
                const QString number = TestNumber::compose(
                    QStringLiteral("09"), county, Text::sequenceText(i % schools + 1),
                    i % 2 ? QStringLiteral("女") : QStringLiteral("男"), Text::sequenceText(i / schools + 1));
                c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,"
                                         "家庭住址,联系电话,中考成绩,班级,备注) values(:n,:s,' 学生甲乙 ',"
                                         "'32010220090315123X',:g,'江苏省南京市','南京市玄武区珠江路18号 ',"
                                         "'13800001234','580',:c,'')"),
                          {{QStringLiteral(":n"), number},
                           {QStringLiteral(":s"), TestNumber::subNumber(number)},
                           {QStringLiteral(":g"), i % 2 ? QStringLiteral("2") : QStringLiteral("1")},
                           {QStringLiteral(":c"), i % 46 + 1}});
            }
        }
        t.commit();
    }
    std::printf("fill %d students in each of two counties: %.0f ms\n", students, elapsedMs(fill));

    BenchDialogs dialogs;
    Dialogs::install(&dialogs);
    TFormSJDC form;
    QTemporaryDir out;
    dialogs.file = out.filePath(QStringLiteral("0101学业水平测试报名库2010年.mdb"));
    form.findChild<QRadioButton*>(QStringLiteral("RadioButton1"))->setChecked(true);
    form.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("0101"));
    QElapsedTimer t;
    t.start();
    form.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    const double exported = elapsedMs(t);
    std::printf("county export of %d students through the window: %.0f ms\n", students, exported);

    const double anchor = exportAnchor(database, out.filePath(QStringLiteral("anchor.mdb")));
    printRatio("county export", exported, anchor);
    return dialogs.errors == 0 && QFile::exists(dialogs.file) ? 0 : 1;
}
