// How fast the batch credit entry loads a school, saves a page and sets the
// credits of a whole school, through the real window (offscreen).
//
//   bench_creditentry [students per school=2000] [schools=20]
//
// Fills a fresh credit database with the schools of one county, loads one
// school into the window, then times:
//   - loading the school (Enter in the school code);
//   - saving a page of 40 typed students, with the reload of the next page;
//     the database's change counter shows how many transactions the save
//     wrote (one is right);
//   - setting the credits of the whole school with one box ticked while the
//     other already is (one write), and with both boxes unticked (two writes).
// Each figure is printed against its anchor, the same statements run straight
// through SQLite's C API in the same run (see printRatio()).
#include "CreditStation.h"
#include "Database.h"
#include "DeliveredData.h"
#include "Dialogs.h"
#include "FileProtection.h"
#include "RawSqlite.h"
#include "StationFolder.h"
#include "Text.h"
#include "Timing.h"
#include "UnitSJLR.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class BenchDialogs : public Dialogs {
public:
    int errors = 0;
    int messages = 0;
    void message(const QString&) override { ++messages; }
    void messageBox(const QString&, const QString&, Icon) override { ++messages; }
    Answer askYesNoCancel(const QString&, const QString&) override { return Answer::Yes; }
    bool confirm(const QString&) override { return true; }
    void error(const QString& text) override {
        ++errors;
        std::printf("  error: %s\n", qPrintable(text));
    }
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFolder(const QString&) override { return {}; }
};

quint32 changeCounter(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray h = file.read(28);
    if (h.size() < 28)
        return 0;
    return quint32(quint8(h[24])) << 24 | quint32(quint8(h[25])) << 16 | quint32(quint8(h[26])) << 8 |
           quint32(quint8(h[27]));
}

const QString unit = QStringLiteral("01010002");
const QString schoolSql = QStringLiteral("select * from 学生表 where substr(学业水平测试副号,3,8) COLLATE NOCASE=? "
                                         "order by 学业水平测试副号 asc");

QString subNumber(int school, int n) {
    return QStringLiteral("090101") + Text::sequenceText(school) + Text::sequenceText(n);
}

// The page save's statements: 40 updates by sub-number in one transaction,
// then the school read again.
double saveAnchor(const QString& db, int firstStudent) {
    QElapsedTimer t;
    t.start();
    sqlite3* c = Raw::open(db);
    Raw::exec(c, "BEGIN");
    sqlite3_stmt* s = Raw::prepare(
        c, QStringLiteral("update 学生表 set 必修学分=?,选修学分=?,总学分=? where 学业水平测试副号=?"));
    for (int k = 0; k < TFormSJLR::PageSize; ++k) {
        sqlite3_bind_int(s, 1, 100);
        sqlite3_bind_int(s, 2, 20);
        sqlite3_bind_int(s, 3, 120);
        Raw::bindText(s, 4, subNumber(2, firstStudent + k).toUtf8());
        Raw::check(c, sqlite3_step(s), "update");
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    Raw::exec(c, "COMMIT");
    sqlite3_close(c);
    Raw::select(db, schoolSql, {unit});
    return elapsedMs(t);
}

// The school-wide update, then the school read again.
double schoolAnchor(const QString& db) {
    QElapsedTimer t;
    t.start();
    sqlite3* c = Raw::open(db);
    sqlite3_stmt* s = Raw::prepare(c, QStringLiteral("update 学生表 set 必修学分=?,选修学分=?,总学分=? where "
                                                     "substr(学业水平测试副号,3,8) COLLATE NOCASE=?"));
    sqlite3_bind_int(s, 1, 116);
    sqlite3_bind_int(s, 2, 28);
    sqlite3_bind_int(s, 3, 144);
    Raw::bindText(s, 4, unit.toUtf8());
    Raw::check(c, sqlite3_step(s), "update");
    sqlite3_finalize(s);
    sqlite3_close(c);
    Raw::select(db, schoolSql, {unit});
    return elapsedMs(t);
}

template <typename T> T* find(QObject* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int perSchool = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    const int schools = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 20;

    QTemporaryDir home;
    qputenv("DESK_HOME", home.path().toUtf8());
    DeliveredData::layOutCreditStation(home.path(), QStringLiteral(DESK_SOURCE_DIR "/data/credit-units.csv"));
    const QString db = StationFolder::creditDb();
    {
        FileProtection::Lift lifted(db);
        Connection c(db);
        Transaction t(c);
        for (int school = 1; school <= schools; ++school)
            for (int n = 1; n <= perSchool; ++n)
                c.execute(QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号) values(:a,'学生甲乙',:b)"),
                          {{QStringLiteral(":a"), subNumber(school, n)},
                           {QStringLiteral(":b"), QStringLiteral("3201022000%1").arg(n, 8, 10, QLatin1Char('0'))}});
        t.commit();
    }
    std::printf("%d schools of %d students\n", schools, perSchool);

    BenchDialogs dialogs;
    Dialogs::install(&dialogs);
    CreditStation station;
    TFormSJLR* form = station.FormSJLR;
    form->FormShow();
    find<QLineEdit>(form, "Edit39")->setText(unit.left(4));
    find<QLineEdit>(form, "Edit40")->setText(unit.mid(4));

    const double load = bestMs(5, [&] { form->LoadSchool(); });
    double loadRaw = bestMs(5, [&] {
        FileProtection::Lift lifted(db);
        Raw::select(db, schoolSql, {unit});
    });
    std::printf("school loaded: %d pages\n", form->pageCount());
    printRatio("loading a school", load, loadRaw);

    // A page typed and saved, five times over (pages 1-5).
    double save = 1e300;
    quint32 transactions = 0;
    for (int run = 0; run < 5; ++run) {
        for (int row = 1; row <= TFormSJLR::SideRows; ++row)
            for (int side : {0, TFormSJLR::SideColumns}) {
                form->setCells(side + 3, row, QStringLiteral("100"));
                form->setCells(side + 4, row, QStringLiteral("20"));
                form->setCells(side + 5, row, QStringLiteral("120"));
            }
        // The protection leaves the counter (bytes 24-27) as it is.
        const quint32 before = changeCounter(db);
        QElapsedTimer t;
        t.start();
        form->Button5Click();
        save = std::min(save, elapsedMs(t));
        transactions = changeCounter(db) - before;
    }
    const double saveRaw = bestMs(5, [&] {
        FileProtection::Lift lifted(db);
        saveAnchor(db, 1);
    });
    std::printf("a page of 40 saved in %u transaction(s), now on page %d\n", transactions, form->CurrentPage);
    printRatio("saving a page", save, saveRaw);

    auto* box1 = find<QCheckBox>(form, "CheckBox1");
    auto* box2 = find<QCheckBox>(form, "CheckBox2");
    find<QLineEdit>(form, "Edit1")->setText(QStringLiteral("116"));
    find<QLineEdit>(form, "Edit2")->setText(QStringLiteral("28"));
    const double once = bestMs(5, [&] {
        box1->setChecked(false);
        box2->setChecked(true);
        box1->click();
    });
    const double twice = bestMs(5, [&] {
        box1->setChecked(false);
        box2->setChecked(false);
        box1->click();
    });
    const double schoolRaw = bestMs(5, [&] {
        FileProtection::Lift lifted(db);
        schoolAnchor(db);
    });
    printRatio("credits of a whole school, one write", once, schoolRaw);
    printRatio("credits of a whole school, both boxes ticked at once (two writes)", twice, schoolRaw);
    std::printf("whole school of %d students: %.3f s (%s 0.2 s)\n", perSchool, twice / 1000.0,
                twice < 200 ? "under" : "NOT under");
    Dialogs::install(nullptr);
    return dialogs.errors == 0 && transactions == 1 ? 0 : 1;
}
