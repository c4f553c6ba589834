// The exam-room stub print of a class of 30 students, for looking at it:
//
//   DESK_HOME=<a station folder to fill> snapstubs <output folder>
//
// Run it under xvfb-run (or any display). It adds class 30 with 30 students
// to the station (photographs in 电子照片 for some, in the photo store for
// others, none for a few), prints the class into <output>/stubs.pdf and
// writes stubs-window.png. Use a scratch station, not one in use.
#include "Database.h"
#include "Dialogs.h"
#include "Jpeg.h"
#include "Profile.h"
#include "Startup.h"
#include "StationFolder.h"
#include "UnitDY_ZKZCGB.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>

namespace {

class SilentDialogs : public ScreenDialogs {
public:
    void message(const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }
    void error(const QString& text) override { std::printf("error: %s\n", qPrintable(text)); }
};

// A plain drawn portrait: a head and shoulders on a pale background.
QByteArray portrait(int seed) {
    QImage image(168, 240, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((seed * 47) % 360, 40, 235));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromHsv((seed * 83) % 360, 160, 120));
    p.drawEllipse(QRect(14, 160, 140, 140));
    p.setBrush(QColor(236, 200, 170));
    p.drawEllipse(QRect(46, 52, 76, 96));
    p.setBrush(QColor(40, 30, 25));
    p.drawChord(QRect(42, 44, 84, 70), 0, 180 * 16);
    p.end();
    return Jpeg::encode(image);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: DESK_HOME=<station> snapstubs <output folder>\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    QFile::remove(out + QStringLiteral("/stubs.pdf"));
    qputenv("DESK_PRINT_PDF", QFile::encodeName(out + QStringLiteral("/stubs.pdf")));
    Startup::prepareApplication();
    SilentDialogs dialogs;
    Dialogs::install(&dialogs);

    Profile setup(StationFolder::setupIni());
    setup.writeString(QStringLiteral("PRINT"), QStringLiteral("AreaName"), QStringLiteral("玄武区"));
    setup.writeString(QStringLiteral("PRINT"), QStringLiteral("AreaCode"), QStringLiteral("0102"));

    const char* surnames[] = {"张", "李", "王", "赵", "钱", "孙", "周", "吴", "郑", "欧阳"};
    const char* given[] = {"晓明", "婷婷", "思远", "子龙", "思雨", "浩然", "雨涵", "一鸣", "佳怡", "梓轩", "诗琪"};
    Connection db(StationFolder::registrationDb());
    db.execute(QStringLiteral("delete from 学生表 where 班级=30"));
    for (int i = 1; i <= 30; ++i) {
        const QString sub = QStringLiteral("090102000530%1").arg(i, 2, 10, QLatin1Char('0'));
        const QString id = QStringLiteral("3201022009%1%2%3")
                               .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                               .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                               .arg(100 + i * 7, 4, 10, QLatin1Char('0'));
        const QByteArray photo = portrait(i);
        db.execute(QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号,班级,考场序号,电子照片) "
                                  "values(:s,:n,:i,30,'0517',:p)"),
                   {{QStringLiteral(":s"), sub},
                    {QStringLiteral(":n"), QString::fromUtf8(surnames[i % 10]) + QString::fromUtf8(given[i % 11])},
                    {QStringLiteral(":i"), id},
                    {QStringLiteral(":p"), i % 3 == 1 ? QVariant(photo) : QVariant()}});
        QFile store(StationFolder::photoFolder() + sub + QStringLiteral(".jpg"));
        if (i % 3 == 2 && store.open(QIODevice::WriteOnly))
            store.write(photo);
        else if (i % 3 == 0)
            store.remove();
    }

    TFormDY_ZKZCGB window;
    window.show();
    window.findChild<QRadioButton*>(QStringLiteral("RadioButton1"))->click();
    window.findChild<QComboBox*>(QStringLiteral("ComboBox4"))->setCurrentText(QStringLiteral("30"));
    window.findChild<QPushButton*>(QStringLiteral("Button4"))->click();
    QApplication::processEvents();
    const bool ok = window.grab().save(out + QStringLiteral("/stubs-window.png"));
    std::printf("%s stubs-window.png, stubs.pdf %s\n", ok ? "wrote" : "could not write",
                QFile::exists(out + QStringLiteral("/stubs.pdf")) ? "written" : "missing");
    return ok ? 0 : 1;
}
