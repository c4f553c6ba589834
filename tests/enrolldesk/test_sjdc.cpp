#include "Controls.h"
#include "Database.h"
#include "FaultInjection.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "Station.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitCJ_SJDR.h"
#include "UnitSJDC.h"
#include "mainform.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

struct Student {
    QString number, sub, name, id, gender, place, address, phone, score;
    QVariant klass;
    QString remark;
};

// A null text is stored as a missing value.
void addStudents(const QList<Student>& students) {
    Connection c(StationFolder::registrationDb());
    Transaction t(c);
    for (const Student& s : students) {
        Params params;
        for (const QVariant& v : QVariantList{s.number, s.sub, s.name, s.id, s.gender, s.place, s.address, s.phone,
                                              s.score, s.klass, s.remark})
            params.push_back({{}, v});
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,家庭住址,"
                                 "联系电话,中考成绩,班级,备注) values(?,?,?,?,?,?,?,?,?,?,?)"),
                  params);
    }
    t.commit();
}

// A student of unit county+school with the sequence number `seq`.
Student student(const QString& unit, const QString& gender, const QString& seq, const QString& name) {
    return {QStringLiteral("09") + unit + gender + seq, QStringLiteral("09") + unit + seq, name,
            QStringLiteral("32010220090315123X"), gender, QStringLiteral("江苏省南京市"), QStringLiteral("珠江路1号"),
            QStringLiteral("13800001234"), QStringLiteral("580"), 3, QString()};
}

void addMakeUp(const QString& sub, const QString& former, const QString& number) {
    Connection(StationFolder::registrationDb())
        .execute(QStringLiteral("insert into 补考表(学业水平测试副号,姓名,身份证号,语文补考,数学补考,原测试副号,班级,"
                                "学业水平测试号) values(?,' 补考生 ','320102200903151234','补',char(9),?,2,?)"),
                 {{{}, sub}, {{}, former}, {{}, number}});
}

QVector<QVector<QVariant>> rowsOf(const QString& file, const QString& table) {
    Query q;
    q.setDatabasePath(file);
    q.setSql(QStringLiteral("select * from %1 order by 序号").arg(table));
    q.open();
    QVector<QVector<QVariant>> rows;
    for (int i = 0; i < q.recordCount(); ++i)
        rows << q.row(i);
    return rows;
}

QStringList column(const QVector<QVector<QVariant>>& rows, int index) {
    QStringList values;
    for (const auto& row : rows)
        values << row[index].toString();
    return values;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// Column name, declared type and width of every column (0: no width), read
// from the file itself: the width is the longest text the file accepts.
QStringList layoutOf(const QString& file, const QString& table) {
    Query info;
    info.setDatabasePath(file);
    info.setSql(QStringLiteral("select name, type, pk from pragma_table_info('%1') order by cid").arg(table));
    info.open();
    QStringList layout;
    Connection c(file);
    for (int i = 0; i < info.recordCount(); ++i) {
        const QString name = info.value(i, 0).toString();
        const QString type = info.value(i, 1).toString();
        int width = 0;
        if (type == QLatin1String("TEXT")) {
            for (width = 1; width < 300; ++width) {
                try {
                    Transaction t(c); // rolled back: the file stays as exported
                    c.execute(QStringLiteral("insert into %1(%2) values(?)").arg(table, name),
                              {{{}, QString(width + 1, QChar(u'字'))}});
                } catch (const DbError&) {
                    break;
                }
            }
        }
        layout << QStringLiteral("%1 %2%3%4")
                      .arg(name, type, width ? QStringLiteral("(%1)").arg(width) : QString(),
                           info.value(i, 2).toInt() ? QStringLiteral(" key") : QString());
    }
    return layout;
}

} // namespace

class TestSJDC : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuOpensBothWindows();
    void exportedLayouts();
    void currentRowsTrimmedOrAsStored();
    void currentScope_data();
    void currentScope();
    void makeUpRowsAndScope();
    void defaultNamesAndCancel();
    void failuresLeaveNoFile();
    void longExportShowsProgress();
    void photosOfTheUnit();
    void failedPhotoCopiesAreNamed();

private:
    // Runs a data export to `target` (a null target cancels the dialog).
    void exportData(bool current, const QString& county, const QString& school, const QString& target);
    void exportPhotos(const QString& county, const QString& school, const QString& chosen);
    QString out(const QString& name) const { return out_->filePath(name); }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormSJDC> form_;
    std::unique_ptr<QTemporaryDir> out_;
    QTemporaryDir cwd_;
    QString oldCwd_;
};

void TestSJDC::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    form_ = std::make_unique<TFormSJDC>();
    out_ = std::make_unique<QTemporaryDir>();
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(cwd_.path());
}

void TestSJDC::cleanup() {
    QDir::setCurrent(oldCwd_);
    form_.reset();
    dialogs_.reset();
    out_.reset();
    station_.reset();
}

void TestSJDC::exportData(bool current, const QString& county, const QString& school, const QString& target) {
    control<QRadioButton>(form_.get(), current ? "RadioButton1" : "RadioButton2")->setChecked(true);
    edit(form_.get(), "Edit1")->setText(county);
    edit(form_.get(), "Edit2")->setText(school);
    dialogs_->files << target;
    button(form_.get(), "Button1")->click();
    // However it ended, the buttons are ready for the next export.
    QTest::qCompare(button(form_.get(), "Button1")->text(), QStringLiteral("数据导出"), "caption", "", __FILE__,
                    __LINE__);
    QTest::qVerify(button(form_.get(), "Button1")->isEnabled() && button(form_.get(), "Button2")->isEnabled(),
                   "buttons enabled", "", __FILE__, __LINE__);
}

void TestSJDC::exportPhotos(const QString& county, const QString& school, const QString& chosen) {
    edit(form_.get(), "Edit1")->setText(county);
    edit(form_.get(), "Edit2")->setText(school);
    dialogs_->files << chosen;
    button(form_.get(), "Button2")->click();
    QTest::qCompare(button(form_.get(), "Button2")->text(), QStringLiteral("相片导出"), "caption", "", __FILE__,
                    __LINE__);
}

void TestSJDC::menuOpensBothWindows() {
    form_.reset();
    EnrollStation windows;
    QStringList opened;
    const auto record = [&](QDialog* window) {
        QTimer::singleShot(0, [&opened, window] {
            opened << QStringLiteral("%1 %2,%3").arg(window->windowTitle()).arg(window->x()).arg(window->y());
            window->close();
        });
    };
    record(windows.FormSJDC);
    windows.FormMain->N12->trigger();
    record(windows.FormCJ_SJDR);
    windows.FormMain->N24->trigger(); // a hidden item
    QCOMPARE(opened, (QStringList{"学业水平测试报名数据导出 100,80", "学业水平测试成绩数据导入 100,80"}));
    QVERIFY(windows.FormMain->N12->isVisible() && !windows.FormMain->N24->isVisible());
}

void TestSJDC::exportedLayouts() {
    const QString current = out(QStringLiteral("应届.mdb"));
    const QString makeUp = out(QStringLiteral("补考.mdb"));
    exportData(true, QStringLiteral("0101"), QString(), current);
    exportData(false, QStringLiteral("0101"), QString(), makeUp);
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), (QStringList{"数据导出完成！", "数据导出完成！"}));
    QCOMPARE(layoutOf(current, QStringLiteral("学生表")),
             (QStringList{"序号 INTEGER key", "学业水平测试号 TEXT(15)", "学业水平测试副号 TEXT(14)", "姓名 TEXT(10)",
                          "身份证号 TEXT(18)", "性别 TEXT(1)", "籍贯 TEXT(12)", "家庭住址 TEXT(30)",
                          "联系电话 TEXT(20)", "中考成绩 TEXT(7)", "电子照片 BLOB", "班级 INTEGER",
                          "备注 TEXT(100)"}));
    QCOMPARE(layoutOf(makeUp, QStringLiteral("补考表")),
             (QStringList{"序号 INTEGER key", "学业水平测试副号 TEXT(14)", "姓名 TEXT(10)", "身份证号 TEXT(18)",
                          "语文补考 TEXT(1)", "数学补考 TEXT(1)", "外语补考 TEXT(1)", "科学补考 TEXT(1)",
                          "人文补考 TEXT(1)", "技术补考 TEXT(1)", "原测试副号 TEXT(14)"}));
    // One table each, and a class that is no number is refused as it was.
    for (const QString& file : {current, makeUp}) {
        Query tables;
        tables.setDatabasePath(file);
        tables.setSql(QStringLiteral("select name from sqlite_master where type='table' and name not like 'sqlite%'"));
        tables.open();
        QCOMPARE(tables.recordCount(), 1);
    }
    QVERIFY_THROWS_EXCEPTION(DbError, Connection(current).execute(QStringLiteral("insert into 学生表(班级) values('三')")));
    QVERIFY(filesIn(out_->path()) == (QStringList{"应届.mdb", "补考.mdb"}));
}

void TestSJDC::currentRowsTrimmedOrAsStored() {
    Student a = student(QStringLiteral("01010001"), QStringLiteral("1"), QStringLiteral("0002"), QStringLiteral(" 张 三\t"));
    a.number = a.number.left(14) + QStringLiteral(" "); // 15 characters with the blank
    a.place = QStringLiteral("\u3000江苏 ");             // the full-width space stays
    a.address = QStringLiteral("\r\n路 ");
    a.score = QStringLiteral(" 580 ");
    a.remark = QStringLiteral(" 转入 ");
    a.klass = 12;
    Student b = student(QStringLiteral("01010001"), QStringLiteral("2"), QStringLiteral("0001"), QStringLiteral("李四"));
    b.place = QString(); // missing values export as empty text
    b.remark = QString();
    addStudents({a, b});
    const QString file = out(QStringLiteral("a.mdb"));
    exportData(true, QStringLiteral("0101"), QStringLiteral("0001"), file);
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{"数据导出完成！"});
    const auto rows = rowsOf(file, QStringLiteral("学生表"));
    QCOMPARE(rows.size(), 2);
    // Stored order, numbered from 1.
    QCOMPARE(rows[0],
             (QVector<QVariant>{1LL, a.number.trimmed(), a.sub, "张 三", a.id, "1", "\u3000江苏", "路", a.phone, " 580 ",
                                QVariant(), 12LL, " 转入 "}));
    QCOMPARE(rows[1], (QVector<QVariant>{2LL, b.number, b.sub, "李四", b.id, "2", "", b.address, b.phone, "580",
                                         QVariant(), 3LL, ""}));
    QCOMPARE(form_->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
             QStringLiteral("学业水平测试报名数据共2行，已导出2行！"));
}

void TestSJDC::currentScope_data() {
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("school");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("county, any gender") << "0101" << "" << QStringList{"A", "B", "C"};
    QTest::newRow("school") << " 0101 " << "0002 " << QStringList{"B", "C"};
    QTest::newRow("codes in other case") << "ab01" << "" << QStringList{"E"};
    QTest::newRow("school without county") << "" << "0002" << QStringList{};
    QTest::newRow("no codes") << "" << "" << QStringList{};
    QTest::newRow("quote in a code") << "01'1" << "" << QStringList{};
}

void TestSJDC::currentScope() {
    QFETCH(QString, county);
    QFETCH(QString, school);
    QFETCH(QStringList, expected);
    addStudents({student(QStringLiteral("01010001"), QStringLiteral("1"), QStringLiteral("0001"), QStringLiteral("A")),
                 student(QStringLiteral("01010002"), QStringLiteral("2"), QStringLiteral("0001"), QStringLiteral("B")),
                 student(QStringLiteral("01010002"), QStringLiteral("9"), QStringLiteral("0002"), QStringLiteral("C")),
                 student(QStringLiteral("01020002"), QStringLiteral("1"), QStringLiteral("0001"), QStringLiteral("D")),
                 student(QStringLiteral("AB010002"), QStringLiteral("1"), QStringLiteral("0001"), QStringLiteral("E"))});
    const QString file = out(QStringLiteral("x.mdb"));
    exportData(true, county, school, file);
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{"数据导出完成！"});
    QCOMPARE(column(rowsOf(file, QStringLiteral("学生表")), 3), expected);
}

void TestSJDC::makeUpRowsAndScope() {
    // The unit is taken from the sub-number, not from the test number kept beside it.
    addMakeUp(QStringLiteral("09010100010001"), QStringLiteral(" 09010100010 "), QStringLiteral("09020200011001"));
    addMakeUp(QStringLiteral("09020200010001"), QString(), QStringLiteral("09010100011001"));
    addMakeUp(QStringLiteral(" 0901010002003"), QStringLiteral("x"), QString());
    addStudents({student(QStringLiteral("01010001"), QStringLiteral("1"), QStringLiteral("0009"), QStringLiteral("应届"))});
    const QString file = out(QStringLiteral("m.mdb"));
    exportData(false, QStringLiteral("0101"), QString(), file);
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{"数据导出完成！"});
    const auto rows = rowsOf(file, QStringLiteral("补考表"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0], (QVector<QVariant>{1LL, "09010100010001", "补考生", "320102200903151234", "补", "", "", "", "",
                                         "", " 09010100010 "}));
}

void TestSJDC::defaultNamesAndCancel() {
    addStudents({student(QStringLiteral("01010001"), QStringLiteral("1"), QStringLiteral("0001"), QStringLiteral("A"))});
    // Neither kind chosen: nothing at all.
    dialogs_->files << out(QStringLiteral("a.mdb"));
    button(form_.get(), "Button1")->click();
    QVERIFY(dialogs_->shown.isEmpty());
    dialogs_->files.clear();

    exportData(true, QStringLiteral(" 0101 "), QStringLiteral("0001\t"), QString());
    exportData(false, QStringLiteral("0101"), QString(), QString());
    QCOMPARE(dialogs_->shown.size(), 2); // the two save dialogs, nothing after them
    QCOMPARE(dialogs_->shown[0].caption, QStringLiteral("Microsoft Office Access数据库 (*.mdb)|*.mdb"));
    QCOMPARE(dialogs_->shown[0].extra, QStringLiteral("mdb|01010001学业水平测试报名库2010年.mdb"));
    QCOMPARE(dialogs_->shown[1].extra, QStringLiteral("mdb|0101学业水平测试补考报名库2010年.mdb"));
    // Cancelled: nothing written, not even under the proposed name.
    QVERIFY(filesIn(cwd_.path()).isEmpty());
    QVERIFY(filesIn(out_->path()).isEmpty());
}

void TestSJDC::failuresLeaveNoFile() {
    // A student without a class in the middle of the unit: nothing is exported.
    Student noClass =
        student(QStringLiteral("01010001"), QStringLiteral("2"), QStringLiteral("0002"), QStringLiteral("无班级"));
    noClass.klass = QVariant();
    addStudents({student(QStringLiteral("01010001"), QStringLiteral("1"), QStringLiteral("0001"), QStringLiteral("A")),
                 noClass});
    exportData(true, QStringLiteral("0101"), QString(), out(QStringLiteral("a.mdb")));
    QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(noClass.number) && errors[0].contains(QStringLiteral("无班级")), qPrintable(errors[0]));
    QVERIFY(filesIn(out_->path()).isEmpty());

    // An existing file is never replaced.
    const QString earlier = out(QStringLiteral("0101学业水平测试报名库2010年.mdb"));
    writeFile(earlier, "an earlier submission");
    exportData(false, QStringLiteral("0101"), QString(), earlier);
    errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors[1].contains(earlier) && errors[1].contains(QStringLiteral("已存在")), qPrintable(errors[1]));
    QCOMPARE(contentOf(earlier), QByteArray("an earlier submission"));
    QFile::remove(earlier);

    // The disk fills up in the middle of a large export.
    {
        Connection c(StationFolder::registrationDb());
        c.execute(QStringLiteral("update 学生表 set 班级=1"));
        Transaction t(c);
        for (int i = 0; i < 3000; ++i)
            c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级,家庭住址) "
                                     "values(?, ?, '学生', 1, '南京市玄武区珠江路十八号')"),
                      {{{}, QStringLiteral("09010100011%1").arg(i, 4, 10, QLatin1Char('0'))},
                       {{}, QStringLiteral("0901010001%1").arg(i, 4, 10, QLatin1Char('0'))}});
        t.commit();
    }
    dialogs_->clear();
    {
        FaultInjection::WriteBudget full(60000, QStringLiteral("b.mdb"));
        exportData(true, QStringLiteral("0101"), QString(), out(QStringLiteral("b.mdb")));
    }
    errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(out(QStringLiteral("b.mdb"))) && !errors[0].contains(QStringLiteral(".part")),
             qPrintable(errors[0]));
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QVERIFY2(filesIn(out_->path()).isEmpty(), qPrintable(filesIn(out_->path()).join(' ')));
    QVERIFY(form_->findChild<QLabel*>(QStringLiteral("Label2"))->text().isEmpty());
}

void TestSJDC::longExportShowsProgress() {
    {
        Connection c(StationFolder::registrationDb());
        Transaction t(c);
        for (int i = 0; i < 12000; ++i) {
            const QString unit = QStringLiteral("0901010%1").arg(i / 10000 + 1, 3, 10, QLatin1Char('0'));
            const QString seq = QStringLiteral("%1").arg(i % 10000, 4, 10, QLatin1Char('0'));
            c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) values(?, ?, '学生', 1)"),
                      {{{}, unit + QLatin1Char('1') + seq}, {{}, unit + seq}});
        }
        t.commit();
    }
    // What the window shows whenever it gets to process its messages.
    QStringList seen;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, this, [&] {
        const QString state = button(form_.get(), "Button1")->text() + QLatin1Char('|') +
                              form_->findChild<QLabel*>(QStringLiteral("Label2"))->text() + QLatin1Char('|') +
                              (button(form_.get(), "Button2")->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
        if (seen.isEmpty() || seen.last() != state)
            seen << state;
    });
    watch.start();
    const QString file = out(QStringLiteral("a.mdb"));
    exportData(true, QStringLiteral("0101"), QString(), file);
    watch.stop();
    const QString busy = QStringLiteral("数据正在导出中，请稍候......|学业水平测试报名数据共12000行，已导出%1行！|off");
    QVERIFY2(seen.contains(busy.arg(5000)) && seen.contains(busy.arg(10000)), qPrintable(seen.join('\n')));
    QCOMPARE(rowsOf(file, QStringLiteral("学生表")).size(), 12000);
    QCOMPARE(rowsOf(file, QStringLiteral("学生表")).last().at(0), QVariant(12000LL));
}

void TestSJDC::photosOfTheUnit() {
    // No photo at all: not even a dialog.
    exportPhotos(QStringLiteral("0101"), QString(), out(QStringLiteral("x.jpg")));
    QVERIFY(dialogs_->shown.isEmpty());
    dialogs_->files.clear();

    const QString store = StationFolder::photoFolder();
    for (const char* name : {"09010100010001.jpg", "090101000110002.jpg", "09010100020001.jpg", "09010200010001.jpg",
                             "09010100010003.txt", "09ab0100010004.JPG"})
        writeFile(store + QString::fromLatin1(name), QByteArray("photo ") + name);
    writeFile(out(QStringLiteral("09010100010001.jpg")), "an older copy"); // replaced

    exportPhotos(QStringLiteral("0101"), QString(), QString()); // cancelled: nothing copied
    exportPhotos(QStringLiteral(" 0101"), QStringLiteral("0001 "), out(QStringLiteral("任意.jpg")));
    QCOMPARE(dialogs_->shown.size(), 3);
    QCOMPARE(dialogs_->shown[0].caption, QStringLiteral("*.jpg|*.jpg"));
    QCOMPARE(dialogs_->shown[0].text, QStringLiteral("09010100010001.jpg")); // the first photo of the store
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{"相片导出成功！"});
    QVERIFY(filesIn(cwd_.path()).isEmpty());
    QCOMPARE(filesIn(out_->path()), (QStringList{"09010100010001.jpg", "090101000110002.jpg"}));
    QCOMPARE(contentOf(out(QStringLiteral("09010100010001.jpg"))), QByteArray("photo 09010100010001.jpg"));
    QCOMPARE(form_->findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("相片共2个，已导出2个！"));

    // A county: every school of it, by characters 3-6 of the name, in any
    // case; a photo is exported as "<name>.jpg" whatever the case of its
    // extension in the store.
    QTemporaryDir county;
    exportPhotos(QStringLiteral("0101"), QString(), county.filePath(QStringLiteral("x.jpg")));
    exportPhotos(QStringLiteral("AB01"), QString(), county.filePath(QStringLiteral("x.jpg")));
    QCOMPARE(filesIn(county.path()), (QStringList{"09010100010001.jpg", "090101000110002.jpg", "09010100020001.jpg",
                                                  "09ab0100010004.jpg"}));
}

void TestSJDC::failedPhotoCopiesAreNamed() {
    const QString store = StationFolder::photoFolder();
    for (const char* name : {"09010100010001.jpg", "09010100010002.jpg", "09010100010003.jpg"})
        writeFile(store + QString::fromLatin1(name), QByteArray(9000, 'p'));
    // The disk fills up after the first photo: the older copy of another
    // stays whole, no partial copy is left, and no success is claimed.
    writeFile(out(QStringLiteral("09010100010003.jpg")), "an older copy");
    {
        FaultInjection::FaultyFiles faulty;
        faulty.faults.diskSpace = 12000;
        exportPhotos(QStringLiteral("0101"), QString(), out(QStringLiteral("x.jpg")));
    }
    const QStringList boxes = dialogs_->texts(QStringLiteral("box"));
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith(
                 QStringLiteral("下列2个相片文件没有导出（已导出1个）：\n09010100010002.jpg\n09010100010003.jpg\n原因：")) &&
                 boxes[0].contains(QStringLiteral("磁盘已满")) && !boxes[0].contains(QStringLiteral(".part")),
             qPrintable(boxes[0]));
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(filesIn(out_->path()), (QStringList{"09010100010001.jpg", "09010100010003.jpg"}));
    QCOMPARE(contentOf(out(QStringLiteral("09010100010003.jpg"))), QByteArray("an older copy"));
}

QTEST_MAIN(TestSJDC)
#include "test_sjdc.moc"
