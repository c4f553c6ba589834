// Pictures of the registration station's windows as a user sees them, with
// a few students entered through the windows themselves (for the README).
//
//   DESK_HOME=<a station folder to fill> snapwindows <output folder>
//
// Run it under xvfb-run (or any display). It writes main.png, entry.png,
// sequence.png, reader.png, photo.png and export.png. The station folder
// gets demo data: use a scratch copy, not a station in use.
#include "Dialogs.h"
#include "Startup.h"
#include "IdCardReader.h"
#include "Station.h"
#include "StationFolder.h"
#include "UnitPZ_DKQ.h"
#include "UnitSJDC.h"
#include "UnitSJLR.h"
#include "UnitZPCJ.h"
#include "mainform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

// Message boxes would wait for a click; the pictures need none.
class SilentDialogs : public ScreenDialogs {
public:
    void message(const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }
    void error(const QString& text) override { std::printf("error: %s\n", qPrintable(text)); }
    void messageBox(const QString& text, const QString&, Icon) override { std::printf("message: %s\n", qPrintable(text)); }
    // Exports go to a scratch folder.
    QString saveFile(const QString&, const QString&, const QString& initialName) override {
        return QDir(exportFolder).filePath(initialName);
    }
    QString exportFolder;
};

template <typename T> T* find(QWidget* w, const char* name) { return w->findChild<T*>(QString::fromLatin1(name)); }

void setText(QWidget* w, const char* name, const QString& text) { find<QLineEdit>(w, name)->setText(text); }

bool save(QWidget* w, const QString& folder, const QString& name) {
    QApplication::processEvents();
    const bool ok = w->grab().save(QDir(folder).filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(name));
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("DESK_TEST_CAMERA", "1"); // the synthetic camera for the photo window
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: DESK_HOME=<station> snapwindows <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    Startup::prepareApplication();
    SilentDialogs dialogs;
    Dialogs::install(&dialogs);

    EnrollStation station;
    station.FormMain->resize(870, 640);
    station.FormMain->show();
    bool ok = save(station.FormMain, out, QStringLiteral("main.png"));

    TFormSJLR* entry = station.FormSJLR;
    entry->Timer1->stop();
    entry->show();
    // Reserve numbers for class 3 on the sequence number page.
    find<QComboBox>(entry, "ComboBox2")->setCurrentText(QStringLiteral("3"));
    setText(entry, "Edit39", QStringLiteral("0101"));
    setText(entry, "Edit40", QStringLiteral("0002"));
    setText(entry, "Edit41", QStringLiteral("1"));
    setText(entry, "Edit43", QStringLiteral("40"));
    entry->Button5Click();
    ok &= save(entry, out, QStringLiteral("sequence.png"));

    // Register two students, then type the third.
    find<QTabWidget>(entry, "PageControl1")->setCurrentIndex(0);
    setText(entry, "Edit1", QStringLiteral("09"));
    setText(entry, "Edit2", QStringLiteral("0101"));
    setText(entry, "Edit3", QStringLiteral("0002"));
    find<QComboBox>(entry, "ComboBox4")->setCurrentText(QStringLiteral("3"));
    entry->ComboBox4Change();
    const struct {
        const char* name;
        const char* gender;
        const char* id;
        const char* place;
        const char* address;
    } students[] = {
        {"张晓明", "男", "32010220090315123X", "江苏省南京市玄武区", "南京市玄武区珠江路18号"},
        {"李婷婷", "女", "320104200907210026", "江苏省南京市秦淮区", "南京市秦淮区中山南路6号"},
        {"王思远", "男", "320111200902280019", "江苏省南京市浦口区", "南京市浦口区江浦街道12号"},
    };
    for (int s = 0; s < 3; ++s) {
        find<QComboBox>(entry, "ComboBox1")->setCurrentText(QString::fromUtf8(students[s].gender));
        setText(entry, "Edit5", QString::fromUtf8(students[s].name));
        const QString id = QString::fromUtf8(students[s].id);
        for (int i = 0; i < 18; ++i)
            entry->idBoxes()[i]->setText(id.mid(i, 1));
        setText(entry, "Edit24", QString::fromUtf8(students[s].place));
        setText(entry, "Edit25", QString::fromUtf8(students[s].address));
        const QString phone = QStringLiteral("1380000%1").arg(1234 + s);
        for (int i = 0; i < 12; ++i)
            entry->phoneBoxes()[i]->setText(phone.mid(i, 1));
        setText(entry, "Edit27", QStringLiteral("58%1").arg(s));
        if (s < 2)
            entry->Button1Click();
    }
    ok &= save(entry, out, QStringLiteral("entry.png"));

    // Two cards on the simulated reader: one read on demand, one read by
    // automatic reading on a timer tick.
    auto placeCard = [](const QString& name, const QString& gender, const QString& address, const QString& id) {
        QDir().mkpath(StationFolder::cardFolder());
        QFile card(StationFolder::cardFolder() + id + QStringLiteral(".card"));
        card.open(QIODevice::WriteOnly);
        card.write(makeCardFile(name, gender, address, id));
    };
    entry->Button3Click();
    entry->ComboBox4Change();
    placeCard(QStringLiteral("赵子龙"), QStringLiteral("1"), QStringLiteral("江苏省南京市鼓楼区北京西路9号"),
              QStringLiteral("320106200905050011"));
    entry->Button8Click();
    entry->Button9Click();
    placeCard(QStringLiteral("钱思雨"), QStringLiteral("2"), QStringLiteral("北京市东城区东直门南大街3号"),
              QStringLiteral("110101200911110028"));
    entry->Timer1Timer();
    ok &= save(entry, out, QStringLiteral("entry-card.png"));
    entry->hide();

    station.FormPZ_DKQ->show();
    ok &= save(station.FormPZ_DKQ, out, QStringLiteral("reader.png"));
    station.FormPZ_DKQ->hide();

    // The photo window on the test camera: the school's list, one student
    // photographed, the frame moved a little to the left.
    TFormZPCJ* photo = station.FormZPCJ;
    photo->show();
    find<QRadioButton>(photo, "RadioButton1")->setChecked(true);
    setText(photo, "Edit1", QStringLiteral("0101"));
    setText(photo, "Edit2", QStringLiteral("0002"));
    photo->Edit2Return();
    QComboBox* devices = find<QComboBox>(photo, "cbsb");
    photo->cbsbSelect(devices->findText(QStringLiteral("测试图像")));
    for (int i = 0; i < 12; ++i)
        photo->Button5Click();
    for (int i = 0; i < 25; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    photo->SaveImageClick();
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    ok &= save(photo, out, QStringLiteral("photo.png"));
    photo->hide();

    // The school exported for submission: its rows, then its photographs.
    QTemporaryDir exported;
    dialogs.exportFolder = exported.path();
    TFormSJDC* exportWindow = station.FormSJDC;
    exportWindow->show();
    find<QRadioButton>(exportWindow, "RadioButton1")->setChecked(true);
    setText(exportWindow, "Edit1", QStringLiteral("0101"));
    setText(exportWindow, "Edit2", QStringLiteral("0002"));
    exportWindow->Button1Click();
    exportWindow->Button2Click();
    ok &= save(exportWindow, out, QStringLiteral("export.png"));
    return ok ? 0 : 1;
}
