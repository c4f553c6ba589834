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
#include "CreditStation.h"
#include "Database.h"
#include "DeliveredData.h"
#include "Dialogs.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "Query.h"
#include "StationFolder.h"
#include "Text.h"
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
#include <cstdio>

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
    return double(t.nsecsElapsed()) / 1e6;
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
    Dialogs::install(nullptr);
    return dialogs.errors == 0 ? 0 : 1;
}
