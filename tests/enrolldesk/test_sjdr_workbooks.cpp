// The import window with the workbooks schools have today (.xlsx, .ods, CSV,
// web tables), rows no sheet can give truly, dBase and Access details. The
// fixtures come from tests/tools/makesheets.mjs (SheetJS) and makesheets.py
// (openpyxl, xlwt).
#include "BiffWriter.h"
#include "Controls.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "RegistrationImport.h"
#include "Schema.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitSJDR.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include <sys/stat.h>

namespace {

QString fixture(const QString& folder, const QString& name) {
    return QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/") + folder + QLatin1Char('/') + name;
}

QStringList memoLines(const TFormSJDR& w) {
    const QString text = w.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// Every column of every student, nulls shown as "<null>", in insertion order.
QStringList students() {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 学生表 order by 序号"));
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next()) {
        QStringList cells;
        for (const QString& field : q.fieldNames())
            cells << (q.isNull(field) ? QStringLiteral("<null>") : q.text(field));
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void importData(TFormSJDR& w, const QString& kind, const QString& path) {
    control<QRadioButton>(&w, "RadioButton1")->setChecked(true);
    combo(&w, "ComboBox1")->setCurrentText(kind);
    edit(&w, "Edit1")->setText(path);
    button(&w, "Button2")->click();
}

const QString workbookKind = QStringLiteral("excel电子表格");

// What importing a workbook into a fresh station shows and stores.
struct Outcome {
    QStringList dialogs, lines, rows;
    QString progress;
};
Outcome importInto(const QString& path) {
    TempStation station;
    FakeDialogs dialogs;
    Connection(StationFolder::registrationDb())
        .execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) "
                                "values('091001000190009','09100100019009','吴久',1)"));
    TFormSJDR w;
    importData(w, workbookKind, path);
    return {dialogs.texts(), memoLines(w), students(), w.findChild<QLabel*>(QStringLiteral("Label2"))->text()};
}

// Dialogs that let a test act while the window shows its message.
class HookedDialogs : public FakeDialogs {
public:
    std::function<void()> onMessage;
    void message(const QString& text) override {
        if (onMessage)
            onMessage();
        FakeDialogs::message(text);
    }
};

} // namespace

class TestSJDRWorkbooks : public QObject {
    Q_OBJECT
private slots:
    // The class list of students.xls, saved by other programs in every
    // format the import takes, imports to the same rows and lines.
    void sameClassListInEveryFormat_data() {
        QTest::addColumn<QString>("file");
        for (const char* name : {"classlist-sheetjs.xlsx", "classlist-openpyxl.xlsx", "classlist-sheetjs.ods",
                                 "classlist-utf8.csv", "classlist-gb18030.csv", "classlist-web.xls"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void sameClassListInEveryFormat() {
        QFETCH(QString, file);
        const Outcome xls = importInto(fixture(QStringLiteral("import"), QStringLiteral("students.xls")));
        QCOMPARE(xls.rows.size(), 6);
        const Outcome other = importInto(fixture(QStringLiteral("workbooks"), file));
        QCOMPARE(other.dialogs, xls.dialogs);
        QCOMPARE(other.lines, xls.lines);
        QCOMPARE(other.rows, xls.rows);
        QCOMPARE(other.progress, xls.progress);
        // Imported rows carry the gender digit of their test number.
        QVERIFY2(other.rows[1].contains(QStringLiteral("|张三|320102199001011234|1|")), qPrintable(other.rows[1]));
        QVERIFY2(other.rows[2].contains(QStringLiteral("|王五|32010219900101123456|2|")) ||
                     other.rows[2].contains(QStringLiteral("|王五|320102199001011234|2|")),
                 qPrintable(other.rows[2]));
    }

    // A formula saved without its result and an ID number kept as a number
    // refuse their row, naming it; a class shown "3.0" is class 3, one shown
    // "3.5" stops the import there.
    void rowsNoSheetGivesTruly_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("openpyxl .xlsx") << QStringLiteral("rows-openpyxl.xlsx");
        QTest::newRow("xlwt .xls") << QStringLiteral("rows-xlwt.xls");
    }
    void rowsNoSheetGivesTruly() {
        QFETCH(QString, file);
        TempStation station;
        FakeDialogs dialogs;
        TFormSJDR w;
        importData(w, workbookKind, fixture(QStringLiteral("workbooks"), file));
        QCOMPARE(memoLines(w), (QStringList{RegistrationImport::uncomputedLine(3, 0),
                                            RegistrationImport::idAsNumberLine(4)}));
        QVERIFY(memoLines(w)[0].contains(QStringLiteral("A3")));
        const QStringList errors = dialogs.texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QStringLiteral("第6行")) && errors[0].contains(QStringLiteral("3.5")),
                 qPrintable(errors[0]));
        const QStringList rows = students();
        QCOMPARE(rows.size(), 2);
        QVERIFY2(rows[0].contains(QStringLiteral("091001000410001|09100100040001|甲|320102199001011111|1|")),
                 qPrintable(rows[0]));
        QVERIFY2(rows[1].contains(QStringLiteral("|丁|")) && rows[1].contains(QStringLiteral("|503|<null>|3|")),
                 qPrintable(rows[1]));
    }

    // A test number or ID number typed as a number shows as "9.1001E+13" in
    // a spreadsheet (and is saved so in CSV and web tables): such a row is
    // refused naming the cell, never stored.
    void numbersShownInScientificFormAreRefused() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("数字.xls"));
        const auto student = [](const QVariant& number, const QString& name, const QVariant& id) {
            return QVector<QVariant>{number, name, QStringLiteral("江苏"), id, QString(), QString(), QString(), 1};
        };
        BiffWriter::writeWorkbook(path, QStringLiteral("Sheet1"),
                                  {QStringLiteral("学业水平测试号"), QStringLiteral("姓名"), QStringLiteral("籍贯"),
                                   QStringLiteral("身份证号"), QStringLiteral("家庭住址"), QStringLiteral("联系电话"),
                                   QStringLiteral("中考成绩"), QStringLiteral("班级")},
                                  {student(91001000110001.0, QStringLiteral("甲"), QStringLiteral("320102199001011234")),
                                   student(QStringLiteral("091001000110002"), QStringLiteral("乙"), 320102900101123.0),
                                   student(QStringLiteral("091001000120003"), QStringLiteral("丙"), 12345678.0),
                                   student(QStringLiteral("091001000110004"), QStringLiteral("丁"),
                                           QStringLiteral("3.20102E+17"))});
        const Outcome outcome = importInto(path);
        QCOMPARE(outcome.lines,
                 (QStringList{RegistrationImport::numberShownShortLine(2, 0, QStringLiteral("9.1001E+13")),
                              RegistrationImport::numberShownShortLine(3, 3, QStringLiteral("3.20103E+14")),
                              RegistrationImport::numberShownShortLine(5, 3, QStringLiteral("3.20102E+17"))}));
        QVERIFY(outcome.lines[1].contains(QStringLiteral("D3")));
        QCOMPARE(outcome.rows.size(), 2);
        QVERIFY2(outcome.rows[1].contains(QStringLiteral("|丙|12345678|")), qPrintable(outcome.rows[1]));
    }

    // While an import runs the window repaints; what it imports was decided
    // by the click and cannot be changed meanwhile.
    void choiceStaysFixedWhileImporting() {
        TempStation station;
        HookedDialogs dialogs;
        TFormSJDR w;
        bool lockedDuringImport = false;
        dialogs.onMessage = [&] {
            auto* photos = control<QRadioButton>(&w, "RadioButton2");
            lockedDuringImport = !photos->isEnabled() && !combo(&w, "ComboBox1")->isEnabled() &&
                                 !edit(&w, "Edit1")->isEnabled();
            photos->click(); // a disabled button ignores the user
        };
        importData(w, workbookKind, fixture(QStringLiteral("import"), QStringLiteral("heading.xls")));
        QVERIFY(lockedDuringImport);
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("数据导入完成！")});
        QVERIFY(!memoLines(w).contains(QStringLiteral("正在导入照片...")));
        QVERIFY(control<QRadioButton>(&w, "RadioButton1")->isChecked());
        QVERIFY(control<QRadioButton>(&w, "RadioButton2")->isEnabled());
    }

    // dBase rows show progress as workbook rows do and get their gender.
    void dbaseProgressAndGender() {
        TempStation station;
        FakeDialogs dialogs;
        TFormSJDR w;
        importData(w, QStringLiteral("dbf数据库"), fixture(QStringLiteral("import"), QStringLiteral("students.dbf")));
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("数据导入完成！")});
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("学业水平测试报名数据共3行，正在导入第3行！"));
        const QStringList rows = students();
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[0].contains(QStringLiteral("|刘一|320102199001015555|1|")), qPrintable(rows[0]));
        QVERIFY2(rows[1].contains(QStringLiteral("|关二|320102199001016666|2|")), qPrintable(rows[1]));
    }

    // A dBase file whose header promises more records than it holds (a
    // 98-byte file once asked for 51 GB) is named as incomplete, in Chinese.
    void dbaseHeaderPromisingMoreThanTheFile() {
        TempStation station;
        FakeDialogs dialogs;
        QFile f(fixture(QStringLiteral("import"), QStringLiteral("students.dbf")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("截断.dbf"));
        const auto write = [&](const QByteArray& content) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(content);
        };
        QByteArray huge = bytes;
        huge[4] = char(0xFF), huge[5] = char(0xFF), huge[6] = char(0xFF), huge[7] = char(0x7F);
        write(huge);
        TFormSJDR w;
        QElapsedTimer timer;
        timer.start();
        importData(w, QStringLiteral("dbf数据库"), path);
        QVERIFY(timer.elapsed() < 5000);
        write(bytes.left(bytes.size() - 40)); // the last record cut short
        importData(w, QStringLiteral("dbf数据库"), path);
        const QStringList errors = dialogs.texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 2);
        for (const QString& error : errors) {
            QVERIFY2(error.contains(QStringLiteral("不完整")) && error.contains(path), qPrintable(error));
            QVERIFY2(!error.contains(QStringLiteral("DBF")) && !error.contains(QStringLiteral("fread")),
                     qPrintable(error));
        }
        QVERIFY(students().isEmpty());
    }

    // The Access import copies an empty text as an empty text and a null as
    // a null; a 学生表 that is a view (here over an endless query) is
    // refused before it is read.
    void accessEmptyTextsNullsAndViews() {
        TempStation station;
        FakeDialogs dialogs;
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("其他学校.mdb"));
        Schema::createDatabase(source, Schema::registrationDatabaseStatements());
        Connection(source).execute(
            QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,籍贯,班级) "
                           "values('','','甲','',null,1)"));
        TFormSJDR w;
        importData(w, QStringLiteral("Access数据库"), source);
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("数据导入完成！")});
        Query q;
        q.setDatabasePath(StationFolder::registrationDb());
        q.setSql(QStringLiteral("select typeof(学业水平测试号) as a, typeof(身份证号) as b, typeof(籍贯) as c "
                                "from 学生表"));
        q.open();
        QCOMPARE(q.text(QStringLiteral("a")), QStringLiteral("text"));
        QCOMPARE(q.text(QStringLiteral("b")), QStringLiteral("text"));
        QCOMPARE(q.text(QStringLiteral("c")), QStringLiteral("null"));

        dialogs.clear();
        const QString view = dir.filePath(QStringLiteral("视图.mdb"));
        Connection::createFile(view);
        Connection(view).execute(QStringLiteral(
            "create view 学生表 as with recursive n(i) as (select 1 union all select i + 1 from n) "
            "select i as 序号, '0910010001' || i as 学业水平测试号, i as 学业水平测试副号 from n"));
        QElapsedTimer timer;
        timer.start();
        importData(w, QStringLiteral("Access数据库"), view);
        QVERIFY(timer.elapsed() < 10000);
        QCOMPARE(dialogs.texts(QStringLiteral("error")).size(), 1);
        QVERIFY2(dialogs.texts(QStringLiteral("error"))[0].contains(QStringLiteral("不是数据表")),
                 qPrintable(dialogs.texts(QStringLiteral("error"))[0]));
        QCOMPARE(students().size(), 1);
    }

    // An Access or dBase source that is no regular file (a pipe, a link to a
    // device, a folder) is refused by name; the pipe once held the station
    // forever, and the others were said not to exist.
    void sourceThatIsNoFile() {
        TempStation station;
        FakeDialogs dialogs;
        QTemporaryDir dir;
        TFormSJDR w;
        for (const QString& extension : {QStringLiteral(".mdb"), QStringLiteral(".dbf")}) {
            const QString pipe = dir.filePath(QStringLiteral("管道") + extension);
            QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
            const QString device = dir.filePath(QStringLiteral("设备") + extension);
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), device));
            const QString folder = dir.filePath(QStringLiteral("文件夹") + extension);
            QVERIFY(QDir().mkpath(folder));
            const bool access = extension == QLatin1String(".mdb");
            for (const QString& source : {pipe, device, folder}) {
                dialogs.clear();
                importData(w, access ? QStringLiteral("Access数据库") : QStringLiteral("dbf数据库"), source);
                const QString expected = access
                                             ? QStringLiteral("“%1”不是数据库文件。").arg(source)
                                             : QStringLiteral("无法读取dBase文件“%1”，它已损坏或不是dBase文件。").arg(source);
                QCOMPARE(dialogs.texts(QStringLiteral("error")), QStringList{expected});
            }
        }
        QVERIFY(students().isEmpty());
    }

    // Anything else chosen as a workbook says which files the import takes.
    void notAWorkbookNamesTheFormats() {
        TempStation station;
        FakeDialogs dialogs;
        TFormSJDR w;
        importData(w, workbookKind, fixture(QStringLiteral("import"), QStringLiteral("students.dbf")));
        const QStringList errors = dialogs.texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        for (const char* format : {".xlsx", ".ods", ".csv"})
            QVERIFY2(errors[0].contains(QLatin1String(format)), qPrintable(errors[0]));
        QVERIFY(students().isEmpty());
    }
};

QTEST_MAIN(TestSJDRWorkbooks)
#include "test_sjdr_workbooks.moc"
