// Pictures of the registration station's windows as a user sees them, with
// a few students entered through the windows themselves (for the README).
//
//   DESK_HOME=<a station folder to fill> snapwindows <output folder>
//
// Run it under xvfb-run (or any display). It writes main.png, entry.png,
// sequence.png, reader.png, photo.png, export.png, validation.png,
// correction.png, import.png, import-chooser.png, restore.png and the summaries.
// The station folder gets demo data: use a scratch copy, not a station in use.
#include "Database.h"
#include "Dialogs.h"
#include "Startup.h"
#include "IdCardReader.h"
#include "Station.h"
#include "StationFolder.h"
#include "UnitJY_CSBMB.h"
#include "UnitBKBM.h"
#include "UnitBKJKB.h"
#include "UnitPZ_DKQ.h"
#include "UnitSC_JKB.h"
#include "UnitSJDC.h"
#include "UnitSJDR.h"
#include "UnitSJHF.h"
#include "UnitSJLR.h"
#include "UnitSJXG.h"
#include "UnitZPCJ.h"
#include "mainform.h"
#include "Query.h"
#include "TestNumber.h"
#include "Text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPainter>
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

// Scores for the demo students and a few more schools, the make-up rows
// generated from them, and both summaries built: one picture of the three
// windows (summary.png).
bool snapSummaries(EnrollStation& station, const QString& out) {
    {
        Connection c(StationFolder::registrationDb());
        Transaction t(c);
        const char* schools[] = {"01010003", "01010005", "01020001", "01020004"};
        for (int u = 0; u < 4; ++u)
            for (int n = 1; n <= 24 + 9 * u; ++n) {
                if ((n + u) % 11 == 0)
                    continue; // an unused number now and then
                const QString number = QStringLiteral("09%1%2%3")
                                           .arg(QString::fromLatin1(schools[u]))
                                           .arg(n % 2 ? 1 : 2)
                                           .arg(Text::sequenceText(n));
                c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) values(?,?,?,1)"),
                          {{QString(), number}, {QString(), TestNumber::subNumber(number)},
                           {QString(), QStringLiteral("学生%1").arg(n)}});
            }
        // Grades for every student: a D now and then.
        Query students(c);
        students.setSql(QStringLiteral("select * from 学生表 order by 序号"));
        students.open();
        const QString grades = QStringLiteral("ABCDABCBACBD");
        for (int i = 0; !students.eof(); students.next(), ++i) {
            Params params{{QString(), students.text(QStringLiteral("学业水平测试副号"))},
                          {QString(), students.text(QStringLiteral("姓名"))},
                          {QString(), students.text(QStringLiteral("身份证号"))}};
            for (int g = 0; g < 6; ++g)
                params.emplace_back(QString(), grades.mid((i * 7 + g * 5) % int(grades.size()), 1));
            c.execute(QStringLiteral("insert into 成绩表(学业水平测试副号,姓名,身份证号,语文等第,数学等第,外语等第,"
                                     "科学等第,人文等第,技术等第) values(?,?,?,?,?,?,?,?,?)"),
                      params);
        }
        t.commit();
    }

    TFormBKBM* makeup = station.FormBKBM;
    makeup->show();
    makeup->BitBtn1Click();
    setText(makeup, "Edit1", QStringLiteral("01010002"));
    makeup->Button2Click();
    TFormSC_JKB* summary = station.FormSC_JKB;
    summary->show();
    summary->Button1Click();
    TFormBKJKB* makeupSummary = station.FormBKJKB;
    makeupSummary->show();
    makeupSummary->Button1Click();
    QApplication::processEvents();

    // The two summaries side by side above the make-up window.
    const QImage a = summary->grab().toImage();
    const QImage b = makeupSummary->grab().toImage();
    const QImage m = makeup->grab().toImage();
    const int gap = 12;
    QImage sheet(qMax(a.width() + gap + b.width(), m.width()) + 2 * gap,
                 qMax(a.height(), b.height()) + m.height() + 3 * gap, QImage::Format_RGB32);
    sheet.fill(QColor(0x3a, 0x6e, 0xa5));
    {
        QPainter p(&sheet);
        p.drawImage(gap, gap, a);
        p.drawImage(2 * gap + a.width(), gap, b);
        p.drawImage(gap, 2 * gap + qMax(a.height(), b.height()), m);
    }
    const bool ok = sheet.save(QDir(out).filePath(QStringLiteral("summary.png")));
    std::printf("%s summary.png\n", ok ? "wrote" : "could not write");
    makeup->hide();
    summary->hide();
    makeupSummary->hide();
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
    photo->StopCamera();
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
    exportWindow->hide();

    // Rows with faults, as an import from elsewhere might bring them; then
    // every check, and the school of the photographed student looked up.
    {
        Connection c(StationFolder::registrationDb());
        const struct {
            const char* number;
            const char* name;
            const char* id;
        } faulty[] = {
            {"090101000230005", "孙 小美", "32010220090412002x"},
            {"09010100021007", "周　杰", "3201022009041"},
            {"090101000510001", "吴天宇", "320102200903151231"},
            {"090101000520001", "郑雨涵", "320102200906300026"},
            {"090101000510004", "冯浩然", "320102180001011232"},
        };
        for (const auto& f : faulty) {
            const QString number = QString::fromUtf8(f.number);
            c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,班级) "
                                     "values(:t,:s,:n,:d,3)"),
                      {{QStringLiteral(":t"), number},
                       {QStringLiteral(":s"), TestNumber::subNumber(number)},
                       {QStringLiteral(":n"), QString::fromUtf8(f.name)},
                       {QStringLiteral(":d"), QString::fromUtf8(f.id)}});
        }
    }
    TFormJY_CSBMB* validation = station.FormJY_CSBMB;
    validation->show();
    find<QCheckBox>(validation, "CheckBox9")->setChecked(true);
    validation->Button3Click();
    setText(validation, "Edit3", QStringLiteral("0101"));
    setText(validation, "Edit4", QStringLiteral("0002"));
    validation->Button1Click();
    find<QPlainTextEdit>(validation, "Memo1")->moveCursor(QTextCursor::Start);
    ok &= save(validation, out, QStringLiteral("validation.png"));
    validation->hide();

    // The correction window: the school listed, the name unlocked.
    TFormSJXG* correction = station.FormSJXG;
    correction->show();
    setText(correction, "Edit1", QStringLiteral("0101"));
    setText(correction, "Edit2", QStringLiteral("0002"));
    correction->Button1Click();
    find<QCheckBox>(correction, "CheckBox2")->setChecked(true);
    correction->Button2Click();
    ok &= save(correction, out, QStringLiteral("correction.png"));
    correction->hide();

    // The import window after a workbook with good and refused rows.
    const QString workbook = StationFolder::programFolder() + QStringLiteral("应届报名数据.xls");
    QFile::copy(QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/import/students.xls"), workbook);
    TFormSJDR* import = station.FormSJDR;
    import->show();
    find<QRadioButton>(import, "RadioButton1")->setChecked(true);
    setText(import, "Edit1", workbook);
    import->Button2Click();
    ok &= save(import, out, QStringLiteral("import.png"));
    // The file chooser of 数据库位置 for workbooks, in a folder of them.
    QDir::setCurrent(QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/workbooks"));
    find<QComboBox>(import, "ComboBox1")->setCurrentText(QStringLiteral("excel电子表格"));
    QTimer::singleShot(1500, [&] {
        if (QWidget* chooser = QApplication::activeModalWidget()) {
            chooser->resize(760, 440);
            QTimer::singleShot(700, [&, chooser] {
                ok &= save(chooser, out, QStringLiteral("import-chooser.png"));
                chooser->close();
            });
        }
    });
    import->Button1Click();
    import->hide();

    // The restore window after the import and a corrected name: the copies
    // taken before each, newest first.
    correction->show();
    correction->Button1Click();
    find<QCheckBox>(correction, "CheckBox2")->setChecked(true);
    correction->Button2Click();
    setText(correction, "Edit4", QStringLiteral("王小明"));
    correction->Button3Click();
    correction->hide();
    TFormSJHF* restore = station.FormSJHF;
    restore->show();
    restore->FormShow();
    ok &= save(restore, out, QStringLiteral("restore.png"));
    restore->hide();
    ok &= snapSummaries(station, out);
    return ok ? 0 : 1;
}
