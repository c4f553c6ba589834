// A picture of the credit station's batch entry as a school uses it: 120
// students imported from an exchange file through the import window, the
// first page of credits typed through the cell editor and saved.
//
//   DESK_HOME=<a station folder to fill> snapcredit <output folder>
//
// Run it under xvfb-run (or any display). It writes entry.png and
// entry-help.png (the instructions open). The station
// folder gets demo data: use a scratch folder, not a station in use (a folder
// without data/ is laid out first).
#include "CreditStation.h"
#include "Database.h"
#include "DeliveredData.h"
#include "Dialogs.h"
#include "StationFolder.h"
#include "Startup.h"
#include "Text.h"
#include "UnitDRSJ.h"
#include "UnitMain.h"
#include "UnitSJDC.h"
#include "UnitSJLR.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class SilentDialogs : public ScreenDialogs {
public:
    void message(const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }
    void error(const QString& text) override {
        ++errors;
        std::printf("error: %s\n", qPrintable(text));
    }
    int errors = 0;
};

template <typename T> T* find(QWidget* w, const char* name) { return w->findChild<T*>(QString::fromLatin1(name)); }

// An exchange file with `count` students of school 0002 in county 0101.
void writeExchangeFile(const QString& path, int count) {
    static const char16_t* const surnames[] = {u"王", u"李", u"张", u"刘", u"陈", u"杨", u"赵", u"黄",
                                               u"周", u"吴", u"徐", u"孙", u"胡", u"朱", u"高", u"林"};
    static const char16_t* const givenNames[] = {u"晓明", u"婷婷", u"思远", u"子涵", u"欣怡", u"浩然", u"雨桐",
                                                 u"一鸣", u"佳琪", u"俊杰", u"梓萱", u"宇航", u"诗雨"};
    Connection::createFile(path);
    Connection c(path);
    c.execute(TFormSJDC::exchangeTableStatement());
    Transaction t(c);
    for (int n = 1; n <= count; ++n) {
        const QString name = QString::fromUtf16(surnames[n % 16]) + QString::fromUtf16(givenNames[(n * 7) % 13]);
        c.execute(QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号) values(:a,:b,:c)"),
                  {{QStringLiteral(":a"), QStringLiteral("0901010002") + Text::sequenceText(n)},
                   {QStringLiteral(":b"), name},
                   {QStringLiteral(":c"), QStringLiteral("3201022009%1%2")
                                              .arg(n % 12 + 1, 2, 10, QLatin1Char('0'))
                                              .arg(n * 37 % 10000, 6, 10, QLatin1Char('0'))}});
    }
    t.commit();
}

bool save(QWidget* w, const QString& folder, const QString& name) {
    QApplication::processEvents();
    const bool ok = w->grab().save(QDir(folder).filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(name));
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: DESK_HOME=<station> snapcredit <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    Startup::prepareApplication();
    SilentDialogs dialogs;
    Dialogs::install(&dialogs);
    const QString home = QString::fromLocal8Bit(qgetenv("DESK_HOME"));
    if (home.isEmpty()) {
        std::fprintf(stderr, "DESK_HOME must name a scratch station folder\n");
        return 2;
    }
    DeliveredData::layOutCreditStation(home, QStringLiteral(DESK_SOURCE_DIR "/data/credit-units.csv"));

    QTemporaryDir scratch;
    const QString exchange = scratch.filePath(QStringLiteral("01010002学分数据.mdb"));
    writeExchangeFile(exchange, 120);

    CreditStation station;
    station.MainForm->showCentred();

    // The school imports its students.
    TFormDRSJ* import = station.FormDRSJ;
    import->show();
    find<QLineEdit>(import, "Edit4")->setText(exchange);
    import->Button1Click();
    import->hide();

    // Batch entry: the school's codes, Enter, then the credits of page 1
    // typed student by student (Enter after each credit), and 保存.
    TFormSJLR* entry = station.FormSJLR;
    entry->show();
    find<QLineEdit>(entry, "Edit39")->setText(QStringLiteral("0101"));
    find<QLineEdit>(entry, "Edit40")->setText(QStringLiteral("0002"));
    entry->Edit40KeyPress();
    find<QTableWidget>(entry, "Grid")->setCurrentCell(0, 3);
    auto* editor = find<QLineEdit>(entry, "Edit3");
    for (int k = 1; k <= TFormSJLR::PageSize; ++k) {
        editor->setText(QString::number(116 + k % 9));
        entry->Edit3KeyPress();
        editor->setText(QString::number(28 + k * 5 % 11));
        entry->Edit3KeyPress();
    }
    entry->Button5Click();
    // Back to the saved page.
    entry->Button1Click();
    bool ok = save(entry, out, QStringLiteral("entry.png"));
    entry->Button3Click(); // 学分录入使用说明
    ok &= save(entry, out, QStringLiteral("entry-help.png"));
    return ok && dialogs.errors == 0 ? 0 : 1;
}
