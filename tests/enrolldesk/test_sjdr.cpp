#include "Controls.h"
#include "DbGrid.h"
#include "FakeDialogs.h"
#include "FaultInjection.h"
#include "Query.h"
#include "Schema.h"
#include "Station.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitSJDR.h"
#include "mainform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString fixture(const QString& name) { return QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/import/") + name; }

QStringList memoLines(const TFormSJDR& w) {
    const QString text = w.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QString label2(const TFormSJDR& w) { return w.findChild<QLabel*>(QStringLiteral("Label2"))->text(); }

// The students of the registration database in insertion order, as
// "number|sub|name|id|place|address|phone|score|class|remark-or-null" lines.
QStringList students(const QString& where = QString()) {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 学生表 ") + where + QStringLiteral(" order by 序号"));
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next()) {
        QStringList cells;
        for (const char* f : {"学业水平测试号", "学业水平测试副号", "姓名", "身份证号", "籍贯", "家庭住址", "联系电话",
                              "中考成绩", "班级"})
            cells << q.text(QString::fromUtf8(f));
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

int studentCount() { return students().size(); }

void addStudent(const QString& number, const QString& name) {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) values(:n,:s,:m,1)"),
              {{":n", number}, {":s", number.left(10) + number.right(4)}, {":m", name}});
}

// Starts a data import of `path` as the user would.
void importData(TFormSJDR& w, const QString& kind, const QString& path) {
    control<QRadioButton>(&w, "RadioButton1")->setChecked(true);
    combo(&w, "ComboBox1")->setCurrentText(kind);
    edit(&w, "Edit1")->setText(path);
    button(&w, "Button2")->click();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString done = QStringLiteral("数据导入完成！");

} // namespace

class TestSJDR : public QObject {
    Q_OBJECT
private slots:
    void showResetsKindAndPathOnly();
    void choosersFollowTheKind();
    void menuOpensTheWindow();
    void workbookRowsAndMessages();
    void workbookStopsAtARefusedRowKeepingEarlierRows();
    void workbookWithHeadingOnlyOrMissing();
    void unknownKindOnlyClearsTheMessages();
    void dbaseRowsAreAppended();
    void dbaseAllOrNothing();
    void accessFromAFileOfOurs();
    void accessFromAnExportedLayoutAndAFaultyFile();
    void accessGenuineFileWithoutStudentTable();
    void photosAreCopiedAndReplaced();
    void photoCopyFailuresAreListed();
    void photoImportTakesPhotosOnly();
};

void TestSJDR::showResetsKindAndPathOnly() {
    TempStation station;
    TFormSJDR w;
    QVERIFY(!control<QRadioButton>(&w, "RadioButton1")->isChecked());
    QVERIFY(!control<QRadioButton>(&w, "RadioButton2")->isChecked());
    combo(&w, "ComboBox1")->setCurrentText(QStringLiteral("dbf数据库"));
    edit(&w, "Edit1")->setText(QStringLiteral("/tmp/a.dbf"));
    edit(&w, "Edit2")->setText(QStringLiteral("/tmp/photos/"));
    control<QRadioButton>(&w, "RadioButton2")->setChecked(true);
    w.show();
    QCOMPARE(combo(&w, "ComboBox1")->currentText(), QStringLiteral("excel电子表格"));
    QVERIFY(edit(&w, "Edit1")->text().isEmpty());
    QCOMPARE(edit(&w, "Edit2")->text(), QStringLiteral("/tmp/photos/"));
    QVERIFY(control<QRadioButton>(&w, "RadioButton2")->isChecked());
}

void TestSJDR::choosersFollowTheKind() {
    TempStation station;
    FakeDialogs dialogs;
    TFormSJDR w;
    const QList<QPair<QString, QString>> kinds{{"excel电子表格", "电子表格(*.xls;*.xlsx;*.xlsm;*.ods;*.csv)|"
                                                                 "*.xls;*.xlsx;*.xlsm;*.ods;*.csv|所有文件(*.*)|*"},
                                               {"dbf数据库", "*.dbf|*.dbf"},
                                               {"Access数据库", "*.mdb|*.mdb"},
                                               {"excel", ""}}; // a typed kind opens nothing
    for (const auto& [kind, filter] : kinds) {
        dialogs.clear();
        dialogs.files.clear();
        dialogs.files.enqueue(QStringLiteral("/srv/in/学生.x"));
        combo(&w, "ComboBox1")->setCurrentText(kind);
        w.Button1Click();
        QCOMPARE(dialogs.shown.size(), filter.isEmpty() ? 0 : 1);
        if (!filter.isEmpty())
            QCOMPARE(dialogs.shown[0].caption, filter);
    }
    QCOMPARE(edit(&w, "Edit1")->text(), QStringLiteral("/srv/in/学生.x"));

    // The photo folder is the folder of the file chosen, with its separator.
    dialogs.clear();
    dialogs.files.clear();
    dialogs.files.enqueue(QStringLiteral("/srv/照片/09100100010001.jpg"));
    w.Button4Click();
    QCOMPARE(dialogs.shown[0].caption, QStringLiteral("*.jpg|*.JPG"));
    QCOMPARE(edit(&w, "Edit2")->text(), QStringLiteral("/srv/照片/"));
}

void TestSJDR::menuOpensTheWindow() {
    TempStation station;
    FakeDialogs dialogs;
    EnrollStation windows;
    QVERIFY(windows.FormSJDR);
    QPoint shownAt;
    QWidget* shown = nullptr;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activeModalWidget();
        if (shown) {
            shownAt = shown->pos();
            shown->close();
        }
    });
    windows.FormMain->N25->trigger();
    QCOMPARE(shown, static_cast<QWidget*>(windows.FormSJDR));
    QCOMPARE(shownAt, QPoint(100, 80));
    QVERIFY(dialogs.texts("error").isEmpty());
}

void TestSJDR::workbookRowsAndMessages() {
    TempStation station;
    FakeDialogs dialogs;
    addStudent(QStringLiteral("091001000190009"), QStringLiteral("吴久"));
    TFormSJDR w;
    importData(w, QStringLiteral("excel电子表格"), fixture("students.xls"));
    QCOMPARE(dialogs.texts(), QStringList{done});
    QCOMPARE(label2(w), QStringLiteral("学业水平测试报名数据共16行，正在导入第16行！"));
    QCOMPARE(memoLines(w), (QStringList{
                               "第3行学业水平测试号为空，不能导入，请仔细核对！",
                               "第4行学业水平测试号为空，不能导入，请仔细核对！",
                               "第4行姓名为空，不能导入，请仔细核对！",
                               "第4行班级为空不能导入，由于该数据要用于明年的综合素质评价要上报班级，请仔细核对！",
                               "第5行身份证号超过18位，取前18位，请仔细核对！",
                               "第6行身份证号超过18位，取前18位，请仔细核对！",
                               "第9行学业水平测试号已经存在，不能导入，请仔细核对！",
                               "第10行学业水平测试号已经存在，不能导入，请仔细核对！",
                               "第11行学业水平测试号长度超过15位，不能导入，请仔细核对！",
                               "第12行学业水平测试号长度超过15位，不能导入，请仔细核对！",
                               "第13行姓名为空，不能导入，请仔细核对！",
                               "第15行班级为空不能导入，由于该数据要用于明年的综合素质评价要上报班级，请仔细核对！",
                               "第16行学业水平测试号已经存在，不能导入，请仔细核对！",
                               "第16行姓名为空，不能导入，请仔细核对！",
                               "第16行班级为空不能导入，由于该数据要用于明年的综合素质评价要上报班级，请仔细核对！",
                           }));
    // Rows 2, 5, 6, 8 and 14; row 7 (a 29-byte phone) is skipped without a line.
    QCOMPARE(students(QStringLiteral("where 姓名<>'吴久'")),
             (QStringList{
                 "091001000110001|09100100010001|张三|320102199001011234|江苏省南京市|南京市玄武区|02584561234|512.5|3",
                 "091001000120002|09100100010002|王五|320102199001011234|江苏省苏州市|苏州市姑苏区|051265001234|530|4",
                 // 18 bytes would end inside "身": the cut stops before it.
                 "091001000110003|09100100010003|赵六|12345678901234567|江苏省无锡市|无锡市梁溪区|051085001234|501|4",
                 "091001000110005|09100100010005|周八|320102199005051234|江苏省常州市|常州市钟楼区|"
                 "一二三四五六七八九十一二三四|467|5",
                 "091001000120007|09100100010007|冯三|320102199011111234|江苏省泰州市|泰州市高港区|052386001235|400|8",
             }));

    // A second run finds every good row registered already.
    dialogs.clear();
    button(&w, "Button2")->click();
    QCOMPARE(studentCount(), 6);
    QVERIFY(memoLines(w).contains(QStringLiteral("第2行学业水平测试号已经存在，不能导入，请仔细核对！")));
    QVERIFY(memoLines(w).contains(QStringLiteral("第14行学业水平测试号已经存在，不能导入，请仔细核对！")));
    QVERIFY(!memoLines(w).contains(QStringLiteral("第7行学业水平测试号已经存在，不能导入，请仔细核对！")));
}

void TestSJDR::workbookStopsAtARefusedRowKeepingEarlierRows() {
    TempStation station;
    FakeDialogs dialogs;
    TFormSJDR w;
    // Another window's list of the students (the correction window's).
    Query listed;
    listed.setDatabasePath(StationFolder::registrationDb());
    listed.setSql(QStringLiteral("select * from 学生表"));
    listed.open();
    DataSource otherList(&listed, QStringLiteral("学生表"), QStringLiteral("序号"));
    importData(w, QStringLiteral("excel电子表格"), fixture("stop.xls"));
    // Row 4's class "三班" is no number: rows 2 and 3 stay, row 5 is never read.
    QVERIFY(otherList.isOutdated()); // the kept rows are read in when it is shown
    QCOMPARE(students().size(), 2);
    QVERIFY(students()[0].startsWith(QStringLiteral("091001000130001|")));
    QVERIFY(students()[1].startsWith(QStringLiteral("091001000130002|")));
    QCOMPARE(dialogs.texts("message"), QStringList());
    const QStringList errors = dialogs.texts("error");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("第4行")) && errors[0].contains(QStringLiteral("三班")),
             qPrintable(errors[0]));
    QCOMPARE(label2(w), QStringLiteral("学业水平测试报名数据共5行，正在导入第4行！"));
    QVERIFY(!w.importing());
    QVERIFY(button(&w, "Button2")->isEnabled());
}

void TestSJDR::workbookWithHeadingOnlyOrMissing() {
    TempStation station;
    FakeDialogs dialogs;
    TFormSJDR w;
    importData(w, QStringLiteral("excel电子表格"), fixture("heading.xls"));
    QCOMPARE(label2(w), QStringLiteral("学业水平测试报名数据共1行，正在导入第0行！"));
    QCOMPARE(dialogs.texts(), QStringList{done});
    QCOMPARE(studentCount(), 0);

    dialogs.clear();
    importData(w, QStringLiteral("excel电子表格"), station.file(QStringLiteral("没有这个文件.xls")));
    QCOMPARE(dialogs.texts("error").size(), 1);
    QCOMPARE(dialogs.texts("message"), QStringList());
}

void TestSJDR::unknownKindOnlyClearsTheMessages() {
    TempStation station;
    FakeDialogs dialogs;
    TFormSJDR w;
    w.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->setPlainText(QStringLiteral("旧消息"));
    importData(w, QStringLiteral("excel"), fixture("students.xls"));
    QVERIFY(memoLines(w).isEmpty());
    QVERIFY(dialogs.shown.isEmpty());
    QCOMPARE(studentCount(), 0);
}

void TestSJDR::dbaseRowsAreAppended() {
    TempStation station;
    FakeDialogs dialogs;
    addStudent(QStringLiteral("091001000110001"), QStringLiteral("张三"));
    TFormSJDR w;
    importData(w, QStringLiteral("dbf数据库"), fixture("students.dbf"));
    QCOMPARE(dialogs.texts(), QStringList{done});
    QCOMPARE(students(),
             (QStringList{
                 "091001000110001|09100100010001|张三||||||1",
                 "091001000210001|09100100020001|刘一|320102199001015555|江苏省南京市|南京市建邺区|02586001234|498.5|1",
                 "091001000220002|09100100020002|关二|320102199001016666|江苏省南京市|南京市雨花台区|02586001235|520|2",
                 "091001000210003|09100100020003|张三丰|32010219900101777X|江苏省南京市|南京市浦口区|02586001236|476|1",
             }));

    // A record marked deleted in the file is not imported.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("deleted.dbf"));
    QByteArray bytes = readFile(fixture("students.dbf"));
    const int headerLength = quint8(bytes[8]) | quint8(bytes[9]) << 8;
    const int recordLength = quint8(bytes[10]) | quint8(bytes[11]) << 8;
    bytes[headerLength + recordLength] = '*'; // the second record
    writeFile(copy, bytes);
    Connection(StationFolder::registrationDb()).execute(QStringLiteral("delete from 学生表"));
    importData(w, QStringLiteral("dbf数据库"), copy);
    QCOMPARE(students().size(), 2);
    QVERIFY(!students().join(QLatin1Char('\n')).contains(QStringLiteral("关二")));
}

void TestSJDR::dbaseAllOrNothing() {
    TempStation station;
    FakeDialogs dialogs;
    TFormSJDR w;
    // The second student's name has 11 characters: neither is appended.
    importData(w, QStringLiteral("dbf数据库"), fixture("toolong.dbf"));
    QCOMPARE(studentCount(), 0);
    QCOMPARE(dialogs.texts("message"), QStringList());
    const QStringList errors = dialogs.texts("error");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("091001000310002")) && errors[0].contains(QStringLiteral("姓名")),
             qPrintable(errors[0]));

    // A file that is no dBase table.
    dialogs.clear();
    importData(w, QStringLiteral("dbf数据库"), fixture("students.xls"));
    QCOMPARE(dialogs.texts("error").size(), 1);
    QCOMPARE(studentCount(), 0);
}

void TestSJDR::accessFromAFileOfOurs() {
    TempStation station;
    FakeDialogs dialogs;
    addStudent(QStringLiteral("091001000110001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("091001000110002"), QStringLiteral("李四"));

    // The station's own data file, chosen by mistake, is not added to itself.
    TFormSJDR own;
    importData(own, QStringLiteral("Access数据库"), StationFolder::registrationDb());
    QCOMPARE(studentCount(), 2);
    QCOMPARE(dialogs.texts("error").size(), 1);
    QVERIFY2(dialogs.texts("error")[0].contains(QStringLiteral("就是本站的报名数据文件")), qPrintable(dialogs.texts("error")[0]));
    dialogs.clear();

    // Another station's registration file: its rows numbered 1 and 2 as well,
    // stored out of sub-number order, one with a photograph.
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("其他学校.mdb"));
    Schema::createDatabase(source, Schema::registrationDatabaseStatements());
    {
        Connection c(source);
        c.execute(QStringLiteral("insert into 学生表(序号,学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,家庭住址,"
                                 "联系电话,中考成绩,电子照片,班级,备注,考场序号) values(1,'091001000520002',"
                                 "'09100100050002','乙','320102199001010002','2','江苏省','地址乙','0251','500',"
                                 "x'FFD8FF',2,'休学','07')"));
        c.execute(QStringLiteral("insert into 学生表(序号,学业水平测试号,学业水平测试副号,姓名,班级) "
                                 "values(2,'091001000510001','09100100050001','甲',1)"));
    }
    TFormSJDR w;
    importData(w, QStringLiteral("Access数据库"), source);
    QCOMPARE(dialogs.texts(), QStringList{done});

    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 学生表 order by 序号"));
    q.open();
    QCOMPARE(q.recordCount(), 4);
    q.setRecNo(3);
    QCOMPARE(q.integer(QStringLiteral("序号")), 3);
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("甲"));
    q.setRecNo(4);
    QCOMPARE(q.integer(QStringLiteral("序号")), 4);
    QCOMPARE(q.text(QStringLiteral("学业水平测试号")), QStringLiteral("091001000520002"));
    QCOMPARE(q.text(QStringLiteral("性别")), QStringLiteral("2"));
    QCOMPARE(q.bytes(QStringLiteral("电子照片")), QByteArray::fromHex("FFD8FF"));
    QCOMPARE(q.integer(QStringLiteral("班级")), 2);
    QCOMPARE(q.text(QStringLiteral("备注")), QStringLiteral("休学"));
    QCOMPARE(q.text(QStringLiteral("考场序号")), QStringLiteral("07"));
    // The source file is left as it was.
    Query s;
    s.setDatabasePath(source);
    s.setSql(QStringLiteral("select count(*) as n from 学生表"));
    s.open();
    QCOMPARE(s.integer(QStringLiteral("n")), 2);
}

void TestSJDR::accessFromAnExportedLayoutAndAFaultyFile() {
    TempStation station;
    FakeDialogs dialogs;
    TFormSJDR w;
    QTemporaryDir dir;
    // The submission layout: thirteen columns, without 考场序号.
    const QString exported = dir.filePath(QStringLiteral("导出.mdb"));
    Schema::createDatabase(
        exported,
        {Schema::translateCreateTable(QStringLiteral(
            "CREATE TABLE 学生表 (序号 Counter PRIMARY KEY, 学业水平测试号 VarChar(15), 学业水平测试副号 VarChar(14), "
            "姓名 VarChar(10), 身份证号 VarChar(18), 性别 VarChar(1), 籍贯 VarChar(12), 家庭住址 VarChar(30), "
            "联系电话 VarChar(20), 中考成绩 VarChar(7), 电子照片 OLEObject, 班级 int, 备注 VarChar(100))"))});
    Connection(exported).execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) "
                                                "values('091001000610001','09100100060001','丙',3)"));
    importData(w, QStringLiteral("Access数据库"), exported);
    QCOMPARE(dialogs.texts(), QStringList{done});
    QCOMPARE(students(), QStringList{"091001000610001|09100100060001|丙||||||3"});

    // A source with a value the working table cannot hold: nothing is appended.
    dialogs.clear();
    const QString wide = dir.filePath(QStringLiteral("宽.mdb"));
    Schema::createDatabase(wide, {QStringLiteral("CREATE TABLE 学生表 (序号 INTEGER, 学业水平测试号 TEXT, "
                                                 "学业水平测试副号 TEXT, 姓名 TEXT)")});
    Connection(wide).execute(QStringLiteral("insert into 学生表 values(1,'091001000710001','09100100070001','丁'),"
                                            "(2,'091001000710002','09100100070002','名字实在是太长了超过十个字')"));
    importData(w, QStringLiteral("Access数据库"), wide);
    QCOMPARE(studentCount(), 1);
    QCOMPARE(dialogs.texts("message"), QStringList());
    QCOMPARE(dialogs.texts("error").size(), 1);
    QVERIFY2(dialogs.texts("error")[0].contains(QStringLiteral("091001000710002")), qPrintable(dialogs.texts("error")[0]));
}

void TestSJDR::accessGenuineFileWithoutStudentTable() {
    TempStation station;
    FakeDialogs dialogs;
    addStudent(QStringLiteral("091001000110001"), QStringLiteral("张三"));
    const QString sample = QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/access/node-adodb.mdb");
    const QByteArray before = readFile(sample);
    TFormSJDR w;
    importData(w, QStringLiteral("Access数据库"), sample);
    QCOMPARE(dialogs.texts("message"), QStringList());
    QCOMPARE(dialogs.texts("error").size(), 1);
    QVERIFY2(dialogs.texts("error")[0].contains(QStringLiteral("学生表")), qPrintable(dialogs.texts("error")[0]));
    QCOMPARE(studentCount(), 1);
    QCOMPARE(readFile(sample), before);
}

void TestSJDR::photosAreCopiedAndReplaced() {
    TempStation station;
    FakeDialogs dialogs;
    QTemporaryDir source;
    writeFile(source.filePath(QStringLiteral("09100100010001.jpg")), "new one");
    writeFile(source.filePath(QStringLiteral("09100100010002.JPG")), "two");
    writeFile(source.filePath(QStringLiteral("09100100010003.jpg")), "three");
    writeFile(source.filePath(QStringLiteral("说明.txt")), "not a photo");
    QDir(source.path()).mkdir(QStringLiteral("sub"));
    writeFile(source.filePath(QStringLiteral("sub/09100100010004.jpg")), "in a sub-folder");
    const QString store = StationFolder::photoFolder();
    writeFile(store + QStringLiteral("09100100010001.jpg"), "old one");

    TFormSJDR w;
    control<QRadioButton>(&w, "RadioButton2")->setChecked(true);
    edit(&w, "Edit2")->setText(QStringLiteral(" ") + source.path() + QStringLiteral(" "));
    w.Button2Click();
    QCOMPARE(memoLines(w), (QStringList{"正在导入照片...", "共导入3张照片。", "所有照片导入完毕！"}));
    QCOMPARE(readFile(store + QStringLiteral("09100100010001.jpg")), QByteArray("new one"));
    // Stored under the sub-number and ".jpg", whatever the case it came in.
    QCOMPARE(readFile(store + QStringLiteral("09100100010002.jpg")), QByteArray("two"));
    QVERIFY(!QFile::exists(store + QStringLiteral("09100100010002.JPG")));
    QVERIFY(!QFile::exists(store + QStringLiteral("09100100010004.jpg")));
    QVERIFY(!QFile::exists(store + QStringLiteral("说明.txt")));
    QVERIFY(dialogs.shown.isEmpty());

    // A missing photo store is made.
    QVERIFY(QDir(store).removeRecursively());
    w.Button2Click();
    QCOMPARE(memoLines(w)[1], QStringLiteral("共导入3张照片。"));
    QCOMPARE(QDir(store).entryList(QDir::Files).size(), 3);
}

void TestSJDR::photoCopyFailuresAreListed() {
    TempStation station;
    FakeDialogs dialogs;
    QTemporaryDir source;
    writeFile(source.filePath(QStringLiteral("09100100010001.jpg")), "one");
    writeFile(source.filePath(QStringLiteral("09100100010002.jpg")), "new two");
    writeFile(source.filePath(QStringLiteral("09100100010003.jpg")), "three");
    const QString store = StationFolder::photoFolder();
    writeFile(store + QStringLiteral("09100100010002.jpg"), "old two");

    TFormSJDR w;
    control<QRadioButton>(&w, "RadioButton2")->setChecked(true);
    edit(&w, "Edit2")->setText(source.path() + QLatin1Char('/'));
    {
        FaultInjection::FaultyFiles files;
        files.faults.refuseReplacing = QStringLiteral("09100100010002.jpg");
        w.Button2Click();
    }
    const QStringList lines = memoLines(w);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("正在导入照片..."));
    QVERIFY2(lines[1].startsWith(QStringLiteral("照片“09100100010002.jpg”导入失败：")), qPrintable(lines[1]));
    QCOMPARE(lines[2], QStringLiteral("共导入2张照片。"));
    QCOMPARE(lines[3], QStringLiteral("所有照片导入完毕！"));
    // The photograph that could not be replaced is kept whole, with no leftovers.
    QCOMPARE(readFile(store + QStringLiteral("09100100010002.jpg")), QByteArray("old two"));
    QCOMPARE(QDir(store).entryList(QDir::Files),
             (QStringList{"09100100010001.jpg", "09100100010002.jpg", "09100100010003.jpg"}));
}

// Only regular files are taken: a FIFO or a link to a
// device named "*.jpg" neither hangs the import nor fills the disk, and a
// name the system cannot read or the store cannot hold is listed, not
// skipped in silence.
void TestSJDR::photoImportTakesPhotosOnly() {
    TempStation station;
    FakeDialogs dialogs;
    QTemporaryDir source;
    const QString store = StationFolder::photoFolder();
    writeFile(store + QStringLiteral("09100100010001.JPG"), "an older spelling");
    writeFile(source.filePath(QStringLiteral("09100100010001.jpg")), "one");
    QCOMPARE(::mkfifo(QFile::encodeName(source.filePath(QStringLiteral("09100100010002.jpg"))).constData(), 0600), 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), source.filePath(QStringLiteral("09100100010003.jpg"))));
    const QString longName = QString(250, QLatin1Char('9')) + QStringLiteral(".jpg");
    writeFile(source.filePath(longName), "too long with the copy's own suffix");
    // "张三.jpg" in GBK, as a Windows computer names it.
    const QByteArray gbk = QFile::encodeName(source.path()) + "/\xd5\xc5\xc8\xfd.jpg";
    const int fd = ::open(gbk.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);

    TFormSJDR w;
    control<QRadioButton>(&w, "RadioButton2")->setChecked(true);
    edit(&w, "Edit2")->setText(source.path());
    w.Button2Click();
    const QStringList lines = memoLines(w);
    const QString failed = QStringLiteral("照片“%1”导入失败：%2");
    QCOMPARE(lines.first(), QStringLiteral("正在导入照片..."));
    QCOMPARE(lines.mid(lines.size() - 2), (QStringList{"共导入1张照片。", "所有照片导入完毕！"}));
    QCOMPARE(QSet<QString>(lines.begin() + 1, lines.end() - 2),
             (QSet<QString>{failed.arg(QStringLiteral("09100100010002.jpg"), QStringLiteral("不是普通文件。")),
                            failed.arg(QStringLiteral("09100100010003.jpg"), QStringLiteral("不是普通文件。")),
                            failed.arg(longName, QStringLiteral("文件名太长，照片文件夹中无法保存。")),
                            failed.arg(QStringLiteral("张三.jpg"),
                                       QStringLiteral("文件名不是系统所用的UTF-8文字，无法识别，请给文件改名。"))}));
    QCOMPARE(QDir(store).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"09100100010001.jpg"});
    QCOMPARE(readFile(store + QStringLiteral("09100100010001.jpg")), QByteArray("one"));
}

QTEST_MAIN(TestSJDR)
#include "test_sjdr.moc"
