#include "Query.h"
#include "Controls.h"
#include "CreditRows.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "UnitDRSJ.h"
#include "UnitSJDC.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using FileProtection::Form;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString imported =
    QStringLiteral("select 学业水平测试号,学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分 from "
                   "学生表 order by rowid");

} // namespace

class TestCreditImport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showingAndChoosingTheFile();
    void exchangeFile_data();
    void exchangeFile();
    void importingTwiceAddsEveryoneAgain();
    void missingColumn_data();
    void missingColumn();
    void registrationFileOrViewIsRefused();
    void creditThatIsNoNumber();
    void fractionalCreditsRoundHalfToEven();
    void numericSubNumbersInTheirOwnOrder();
    void accessSubNumberOrder();
    void readOnlyProtectedSourceIsNeverWritten();
    void sourcesThatCannotBeRead();
    void genuineAccessFileWithoutStudentTable();

private:
    // A file with a 学生表 as the export writes it, or of its own layout.
    QString source(const QString& name, const QList<CreditStudent>& students, bool protect,
                   const QString& createTable = TFormSJDC::exchangeTableStatement());
    void runImport(const QString& path);
    int students() { return countRows(StationFolder::creditDb(), QStringLiteral("select * from 学生表")); }

    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
    std::unique_ptr<QTemporaryDir> in_;
};

void TestCreditImport::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
    in_ = std::make_unique<QTemporaryDir>();
}

void TestCreditImport::cleanup() {
    station_.reset();
    dialogs_.reset();
    in_.reset();
    folder_.reset();
}

QString TestCreditImport::source(const QString& name, const QList<CreditStudent>& students, bool protect,
                                 const QString& createTable) {
    const QString path = in_->filePath(name);
    Connection::createFile(path);
    Connection(path).execute(createTable);
    addStudents(path, students);
    if (protect)
        FileProtection::protect(path);
    return path;
}

void TestCreditImport::runImport(const QString& path) {
    TFormDRSJ* form = station_->FormDRSJ;
    form->FormShow();
    edit(form, "Edit4")->setText(path);
    button(form, "Button1")->click();
    // However it ended, the button is ready for the next import.
    QTest::qVerify(button(form, "Button1")->isEnabled(), "Button1 enabled", "", __FILE__, __LINE__);
    QTest::qCompare(button(form, "Button1")->text(), QStringLiteral("开始导入数据"), "caption", "", __FILE__,
                    __LINE__);
    QTest::qVerify(FileProtection::formOf(StationFolder::creditDb()) != Form::Plain,
                   "credit database protected", "", __FILE__, __LINE__);
}

void TestCreditImport::showingAndChoosingTheFile() {
    TFormDRSJ* form = station_->FormDRSJ;
    edit(form, "Edit4")->setText(QStringLiteral("/先前的/文件.mdb"));
    button(form, "Button1")->setEnabled(false);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QVERIFY(button(form, "Button1")->isEnabled());
    QCOMPARE(edit(form, "Edit4")->text(), QStringLiteral("/先前的/文件.mdb")); // kept between showings
    form->hide();

    button(form, "Button2")->click(); // cancelled: nothing changes
    QCOMPARE(edit(form, "Edit4")->text(), QStringLiteral("/先前的/文件.mdb"));
    QCOMPARE(dialogs_->shown.at(0).caption, QStringLiteral("Microsoft Office Access 数据库(*.mdb)|*.mdb"));
    dialogs_->files << QStringLiteral("/媒体/U盘/01010002学分数据.mdb");
    button(form, "Button2")->click();
    QCOMPARE(edit(form, "Edit4")->text(), QStringLiteral("/媒体/U盘/01010002学分数据.mdb"));
}

void TestCreditImport::exchangeFile_data() {
    QTest::addColumn<bool>("protect");
    QTest::newRow("protected") << true;
    QTest::newRow("plain") << false;
}

void TestCreditImport::exchangeFile() {
    QFETCH(bool, protect);
    const QString path = source(QStringLiteral("交换.mdb"),
                                {{"09010100010003", "丙", "3", 120, 30, 144},
                                 {"09010100010001", "O'Neil", " 1 ", {}, {}, {}},
                                 {"09010100010002", "乙甲", "2a", 116, 28, 144},
                                 {"09010100010001", "同号后者", "1b", 100, {}, 100}},
                                protect);
    const QByteArray before = contentOf(path);
    runImport(QStringLiteral("  ") + path + QStringLiteral(" ")); // the path is trimmed
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{QStringLiteral("导入数据库成功！")});
    QCOMPARE(contentOf(path), before); // returned to the form it came in

    // Ascending sub-number order, equal sub-numbers in their stored order;
    // texts as they stand, null credits null, no test number.
    const auto rows = selectRows(StationFolder::creditDb(), imported);
    QCOMPARE(rows.size(), 4);
    const QStringList names{"O'Neil", "同号后者", "乙甲", "丙"};
    for (int i = 0; i < 4; ++i) {
        QVERIFY(rows[i][0].isNull());
        QCOMPARE(rows[i][2].toString(), names[i]);
    }
    QCOMPARE(rows[0][3].toString(), QStringLiteral(" 1 "));
    QVERIFY(rows[0][4].isNull() && rows[0][5].isNull() && rows[0][6].isNull());
    QCOMPARE(rows[1][4], QVariant(100LL));
    QVERIFY(rows[1][5].isNull());
    QCOMPARE(rows[3][6], QVariant(144LL)); // a total unequal to the sum, unchanged
}

void TestCreditImport::importingTwiceAddsEveryoneAgain() {
    const QString empty = source(QStringLiteral("空.mdb"), {}, true);
    runImport(empty);
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{QStringLiteral("导入数据库成功！")});
    QCOMPARE(students(), 0);

    addStudents(StationFolder::creditDb(), {{"09020100010001", "他校", "9", 120, 30, 150}});
    const QString path = source(
        QStringLiteral("a.mdb"),
        {{"09010100010001", "甲", "1", 120, 30, 150}, {"09010100010002", "乙", "2", {}, {}, {}}}, true);
    runImport(path);
    runImport(path);
    QCOMPARE(dialogs_->texts(QStringLiteral("message")).size(), 3);
    QCOMPARE(students(), 5);
}

void TestCreditImport::missingColumn_data() {
    QTest::addColumn<QString>("missing");
    QTest::newRow("sub-number") << "学业水平测试副号";
    QTest::newRow("name") << "姓名";
    QTest::newRow("total") << "总学分";
}

void TestCreditImport::missingColumn() {
    QFETCH(QString, missing);
    QStringList columns{"学业水平测试副号", "姓名", "身份证号", "必修学分", "选修学分", "总学分", "备注"};
    columns.removeOne(missing);
    const QString path = in_->filePath(QStringLiteral("缺列.mdb"));
    Connection::createFile(path);
    Connection(path).execute(QStringLiteral("create table 学生表(%1)").arg(columns.join(',')));
    Connection(path).execute(
        QStringLiteral("insert into 学生表(%1) values(%2)")
            .arg(columns.join(','), QStringList(columns.size(), QStringLiteral("'1'")).join(',')));
    FileProtection::protect(path);
    runImport(path);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")),
             QStringList{QStringLiteral("文件“%1”不是学分数据交换文件：它的学生表中没有字段“%2”。")
                             .arg(QDir::toNativeSeparators(path), missing)});
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(students(), 0);
    QCOMPARE(FileProtection::formOf(path), Form::Protected);
}

// A registration export chosen by mistake is named as such; a 学生表 that is
// a view (here over an endless query) is refused before it is read.
void TestCreditImport::registrationFileOrViewIsRefused() {
    const QString registration = in_->filePath(QStringLiteral("报名导出.mdb"));
    Connection::createFile(registration);
    Connection(registration)
        .execute(QStringLiteral("create table 学生表(序号 integer primary key, 学业水平测试号 text, "
                                "学业水平测试副号 text, 姓名 text, 身份证号 text, 班级 integer)"));
    Connection(registration).execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名) "
                                                    "values('091001000110001','09100100010001','张三')"));
    runImport(registration);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY2(dialogs_->texts(QStringLiteral("error"))[0].contains(QStringLiteral("是报名数据，不是学分数据交换文件")),
             qPrintable(dialogs_->texts(QStringLiteral("error"))[0]));
    QCOMPARE(students(), 0);

    // The make-up registration file holds 补考表 only.
    dialogs_->clear();
    const QString makeUp = in_->filePath(QStringLiteral("01010002学业水平测试补考报名库2010年.mdb"));
    Connection::createFile(makeUp);
    Connection(makeUp).execute(QStringLiteral("create table 补考表(序号 integer primary key, 学业水平测试副号 text, 姓名 text)"));
    FileProtection::protect(makeUp);
    runImport(makeUp);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")),
             QStringList{QStringLiteral("文件“%1”是补考报名数据，不是学分数据交换文件：其中没有表“学生表”。"
                                        "请选择学分数据导出得到的文件。").arg(makeUp)});
    QCOMPARE(students(), 0);

    dialogs_->clear();
    const QString endless = in_->filePath(QStringLiteral("视图.mdb"));
    Connection::createFile(endless);
    Connection(endless).execute(QStringLiteral(
        "create view 学生表 as with recursive n(i) as (select 1 union all select i + 1 from n) "
        "select i as 学业水平测试副号, '名' as 姓名, '' as 身份证号, 120 as 必修学分, 30 as 选修学分, "
        "150 as 总学分 from n"));
    QElapsedTimer timer;
    timer.start();
    runImport(endless);
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY2(dialogs_->texts(QStringLiteral("error"))[0].contains(QStringLiteral("不是数据表")),
             qPrintable(dialogs_->texts(QStringLiteral("error"))[0]));
    QCOMPARE(students(), 0);
}

void TestCreditImport::creditThatIsNoNumber() {
    // A file from elsewhere whose credits are texts: the students before the
    // one with "十二" stay imported, no success is told.
    const QString path =
        source(QStringLiteral("文本学分.mdb"),
               {{"09010100010004", "丁", "4", "120", "30", "150"},
                {"09010100010001", "甲", "1", "120", "30", "150"},
                {"09010100010003", "丙", "3", "十二", "30", "150"},
                {"09010100010002", "乙", "2", " 116 ", "", "144"}},
               false,
               QStringLiteral("create table 学生表(学业水平测试副号 text, 姓名 text, 身份证号 text, "
                              "必修学分 text, 选修学分 text, 总学分 text)"));
    runImport(path);
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    // The student, the column and the value at fault.
    for (const QString named : {"必修学分", "十二", "09010100010003", "丙"})
        QVERIFY2(errors[0].contains(named), qPrintable(errors[0]));
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    const auto rows = selectRows(StationFolder::creditDb(), imported);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1][1].toString(), QStringLiteral("09010100010002"));
    QCOMPARE(rows[1][4], QVariant(116LL));               // a number text becomes the number
    QVERIFY(rows[1][5].isNull());                        // an empty text is no credit
    QCOMPARE(FileProtection::formOf(path), Form::Plain); // handed in plain, left plain
}

void TestCreditImport::fractionalCreditsRoundHalfToEven() {
    // Fractions in a file from elsewhere become whole credits, halves to the
    // even neighbour, whether stored as numbers or as texts.
    const QString path =
        source(QStringLiteral("小数.mdb"),
               {{"09010100010001", "甲", "1", 12.5, "13.5", 26.0},
                {"09010100010002", "乙", "2", 115.4999, -0.5, 2.5},
                {"09010100010003", "丙", "3", "116.5e0", " 27.5 ", 143.50001}},
               false,
               QStringLiteral("create table 学生表(学业水平测试副号 text, 姓名 text, 身份证号 text, "
                              "必修学分 real, 选修学分 text, 总学分 real)"));
    runImport(path);
    QVERIFY2(dialogs_->texts(QStringLiteral("error")).isEmpty(),
             qPrintable(dialogs_->texts(QStringLiteral("error")).join('\n')));
    const auto rows = selectRows(StationFolder::creditDb(), imported);
    QCOMPARE(rows.size(), 3);
    const qlonglong expected[3][3] = {{12, 14, 26}, {115, 0, 2}, {116, 28, 144}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            QCOMPARE(rows[r][4 + c], QVariant(expected[r][c]));
    }
}

void TestCreditImport::numericSubNumbersInTheirOwnOrder() {
    const QString path = source(QStringLiteral("数字副号.mdb"),
                                {{"100", "丙", "3", 1, 1, 2}, {"9", "甲", "1", 1, 1, 2}, {"10", "乙", "2", 1, 1, 2}},
                                true,
                                QStringLiteral("create table 学生表(学业水平测试副号 integer, 姓名 text, 身份证号 text, "
                                               "必修学分 integer, 选修学分 integer, 总学分 integer)"));
    runImport(path);
    const auto rows = selectRows(StationFolder::creditDb(), imported);
    QStringList subs;
    for (const auto& row : rows)
        subs << row[1].toString();
    QCOMPARE(subs, (QStringList{"9", "10", "100"}));
}

void TestCreditImport::accessSubNumberOrder() {
    // A genuine Access file is sorted here, by the column's own type.
    QVariantList keys{QStringLiteral("b"), 100, QVariant(), 9.5, QStringLiteral("A"), 10};
    std::stable_sort(keys.begin(), keys.end(), Query::sourceKeyLess);
    QCOMPARE(keys, (QVariantList{QVariant(), 9.5, 10, 100, QStringLiteral("A"), QStringLiteral("b")}));
}

void TestCreditImport::readOnlyProtectedSourceIsNeverWritten() {
    // An exchange file on a read-only medium: imported from a private copy,
    // never written (not even lifted and put back).
    const QString path = source(QStringLiteral("只读.mdb"),
                                {{"09010100010002", "乙", "2", 116, 28, 144}, {"09010100010001", "甲", "1", {}, {}, {}}},
                                true);
    const QDateTime past(QDate(2020, 9, 1), QTime(8, 0));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(past, QFileDevice::FileModificationTime));
    }
    const QByteArray before = contentOf(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const bool immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
    const auto unlock = qScopeGuard([&] {
        if (immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    });
    runImport(path);
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{QStringLiteral("导入数据库成功！")});
    QCOMPARE(students(), 2);
    QCOMPARE(contentOf(path), before);
    QCOMPARE(QFileInfo(path).lastModified(), past);
}

void TestCreditImport::sourcesThatCannotBeRead() {
    QFile text(in_->filePath(QStringLiteral("文本.mdb")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(4096, 'x'));
    text.close();
    const QString otherTable = in_->filePath(QStringLiteral("报名库.mdb"));
    Connection::createFile(otherTable);
    Connection(otherTable).execute(QStringLiteral("create table 顺序号(a text)"));
    for (const QString& path :
         {QString(), in_->filePath(QStringLiteral("无此文件.mdb")), text.fileName(), otherTable})
        runImport(path);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 4);
    // A file without the table is not called a query.
    QCOMPARE(dialogs_->texts(QStringLiteral("error"))[3],
             QStringLiteral("数据库文件“%1”中没有表“学生表”，它不是学分数据交换文件。").arg(otherTable));
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(students(), 0);

    // Without a credit database nothing is made up, and the source is
    // protected again.
    const QString path = source(QStringLiteral("a.mdb"), {{"09010100010001", "甲", "1", 120, 30, 150}}, true);
    QFile::remove(StationFolder::creditDb());
    runImport(path);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 5);
    QVERIFY(!QFile::exists(StationFolder::creditDb()));
    QCOMPARE(FileProtection::formOf(path), Form::Protected);
}

void TestCreditImport::genuineAccessFileWithoutStudentTable() {
    // A real Jet 4 file, holding only the table Users.
    const QString fixture = QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/access/node-adodb.mdb");
    const QString path = in_->filePath(QStringLiteral("node-adodb.mdb"));
    QVERIFY2(QFile::copy(fixture, path), "the Jet 4 fixture is missing");
    const QByteArray before = contentOf(path);
    runImport(path);
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("学生表")) &&
                 errors[0].contains(QStringLiteral("node-adodb.mdb")),
             qPrintable(errors[0]));
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(contentOf(path), before); // never written
    QCOMPARE(students(), 0);
}

QTEST_MAIN(TestCreditImport)
#include "test_creditimport.moc"
