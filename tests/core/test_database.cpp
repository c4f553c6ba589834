#include "Database.h"
#include "FaultInjection.h"
#include "FileProtection.h"
#include "Query.h"
#include "Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <unistd.h>

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void init();
    void missingFileIsAnErrorNotANewDatabase();
    void createFileRefusesAnExistingFile();
    void createFileNeedsItsFolder();
    void quotingKeepsTextAsTyped();
    void tooLongValueNamesColumnAndValue();
    void tooLongNamesTheValueOfItsColumn_data();
    void tooLongNamesTheValueOfItsColumn();
    void wrongTypeAndRange();
    void numbersThatAreNotWholeNumbers_data();
    void numbersThatAreNotWholeNumbers();
    void classMustBeAWholeNumber();
    void unstorableCharactersAreRefused();
    void quotedDigitsAreStoredAsNumbers();
    void engineTextIsKept();
    void constraintFailuresInChinese();
    void notADatabase();
    void lockedFile();
    void readOnlyFolder();
    void transactionRollsBackUnlessCommitted();
    void keptRowsOnlyWhenTheCommitWorked();
    void compactionCopiesEverything();
    void translatesAccessTableDefinitions();

private:
    QString newDb();
    QTemporaryDir dir_;
    QString path_;
    int counter_ = 0;
};

void TestDatabase::init() { path_ = newDb(); }

QString TestDatabase::newDb() {
    const QString path = dir_.filePath(QStringLiteral("db%1.mdb").arg(++counter_));
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());
    return path;
}

void TestDatabase::missingFileIsAnErrorNotANewDatabase() {
    const QString missing = dir_.filePath(QStringLiteral("缺少.mdb"));
    try {
        Query q;
        q.setDatabasePath(missing);
        q.setSql(QStringLiteral("select * from 学生表"));
        q.open();
        QFAIL("opened a missing file");
    } catch (const DbError& e) {
        QVERIFY(e.message().contains(QStringLiteral("不存在")));
        QVERIFY(e.message().contains(QStringLiteral("缺少.mdb")));
    }
    QVERIFY(!QFileInfo::exists(missing));
}

void TestDatabase::createFileRefusesAnExistingFile() {
    const QString path = dir_.filePath(QStringLiteral("new.mdb"));
    Connection::createFile(path);
    QVERIFY(isSqliteFile(path));
    {
        Connection c(path);
        c.execute(QStringLiteral("create table t(a)"));
    }
    try {
        Connection::createFile(path);
        QFAIL("created over an existing file");
    } catch (const DbError& e) {
        QVERIFY(e.message().contains(QStringLiteral("已存在")));
    }
    Connection c(path); // the first file is intact
    Query q(c);
    q.setSql(QStringLiteral("select count(*) as n from t"));
    q.open();
    QCOMPARE(q.integer(QStringLiteral("n")), 0LL);
}

void TestDatabase::createFileNeedsItsFolder() {
    QVERIFY_THROWS_EXCEPTION(DbError, Connection::createFile(dir_.filePath(QStringLiteral("nope/x.mdb"))));
    QVERIFY_THROWS_EXCEPTION(DbError, Connection::createFile(dir_.path() + QLatin1Char('/')));
}

void TestDatabase::quotingKeepsTextAsTyped() {
    QCOMPARE(sqlQuote(QStringLiteral("O'Neil")), QStringLiteral("'O''Neil'"));
    Connection c(path_);
    for (const QString& name : {QStringLiteral("O'Neil"), QStringLiteral("张'三"), QStringLiteral("'); drop--"),
                                QStringLiteral("''")}) {
        c.execute(QStringLiteral("insert into 学生表(姓名,班级) values(") + sqlQuote(name) + QStringLiteral(",1)"));
        Query q(c);
        q.setSql(QStringLiteral("select 姓名 from 学生表 where 姓名=") + sqlQuote(name));
        q.open();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.text(QStringLiteral("姓名")), name);
    }
}

void TestDatabase::tooLongValueNamesColumnAndValue() {
    Connection c(path_);
    try {
        c.execute(QStringLiteral("insert into 学生表(姓名) values('欧阳张三李四王五赵六钱')"));
        QFAIL("accepted an 11-character name");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("姓名")), qPrintable(e.message()));
        QVERIFY(e.message().contains(QStringLiteral("欧阳张三李四王五赵六钱")));
        QVERIFY(e.message().contains(QStringLiteral("10")));
        // The engine's English stays out of the message, kept beside it.
        QVERIFY(e.engineText().contains(QStringLiteral("CHECK constraint failed")));
        QVERIFY(!e.message().contains(e.engineText()));
    }
    // Bound values are named too; ten characters are fine.
    try {
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号) values(:n)"),
                  {{QStringLiteral(":n"), QStringLiteral("0901010002110000")}});
        QFAIL("accepted a 16-character test number");
    } catch (const DbError& e) {
        QVERIFY(e.message().contains(QStringLiteral("0901010002110000")));
    }
    c.execute(QStringLiteral("insert into 学生表(姓名) values('欧阳张三李四王五赵六')"));
    // Positional parameters, as credit rows are inserted.
    const DbError e = DbError::fromEngine(
        path_, QStringLiteral("CHECK constraint failed: length(\"姓名\") <= 10"),
        QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号) values(?,?,?)"),
        {{QString(), QStringLiteral("09010100020001")},
         {QString(), QStringLiteral("欧阳张三李四王五赵六钱")},
         {QString(), QStringLiteral("320102200001011234")}});
    QVERIFY2(e.message().startsWith(QStringLiteral("字段“姓名”的值“欧阳张三李四王五赵六钱”过长")),
             qPrintable(e.message()));
}

// Statements that write a longer but legal value before the one at fault:
// the message names the column the engine refused and that column's value.
void TestDatabase::tooLongNamesTheValueOfItsColumn_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<Params>("params");
    QTest::addColumn<QString>("expected"); // empty: the column only
    const QString longName = QStringLiteral("欧阳张三李四王五赵六钱");
    QTest::newRow("literals") << QStringLiteral(
                                     "insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) "
                                     "values('090101000210001','09010100020001','%1',1)")
                                     .arg(longName)
                              << Params{} << longName;
    QTest::newRow("named parameters")
        << QStringLiteral("insert into 学生表(学业水平测试号, \"姓名\", 备注) values(:sxbm, :xm, :bz)")
        << Params{{":bz", QStringLiteral("备注可以写得比名字长得多")},
                  {":sxbm", QStringLiteral("090101000210001")},
                  {":xm", longName}}
        << longName;
    QTest::newRow("second row")
        << QStringLiteral("insert into 学生表(学业水平测试号,姓名) values('090101000210001','短名'),"
                          "('090101000210002','%1')")
               .arg(longName)
        << Params{} << longName;
    QTest::newRow("grid update")
        << QStringLiteral("update \"学生表\" set \"家庭住址\"=:v7,\"姓名\"=:v3 where \"序号\"=:key")
        << Params{{":v7", QStringLiteral("江苏省南京市玄武区某某路一号")}, {":v3", longName}, {":key", 1}}
        << longName;
    QTest::newRow("from a selection") << QStringLiteral("insert into 学生表(学业水平测试号,姓名) "
                                                        "select 学业水平测试号, 姓名||'钱' from 学生表")
                                      << Params{} << QString();
}

void TestDatabase::tooLongNamesTheValueOfItsColumn() {
    QFETCH(QString, sql);
    QFETCH(Params, params);
    QFETCH(QString, expected);
    Connection c(path_);
    c.execute(QStringLiteral(
        "insert into 学生表(学业水平测试号,姓名) values('090101000210001','欧阳张三李四王五赵六')"));
    try {
        c.execute(sql, params);
        QFAIL("accepted an 11-character name");
    } catch (const DbError& e) {
        const QString shown = e.message().section(QLatin1Char('\n'), 0, 0);
        if (expected.isEmpty())
            QCOMPARE(shown, QStringLiteral("字段“姓名”的值过长，最多只能有 10 个字符。"));
        else
            QCOMPARE(shown, QStringLiteral("字段“姓名”的值“%1”过长，最多只能有 10 个字符。").arg(expected));
    }
}

void TestDatabase::wrongTypeAndRange() {
    Connection c(path_);
    try {
        c.execute(QStringLiteral("insert into 学生表(姓名,班级) values('某某','五')"));
        QFAIL("stored text in a numeric column");
    } catch (const DbError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("字段“班级”的值“五”不是有效的数字。")),
                 qPrintable(e.message()));
    }
    try {
        c.execute(QStringLiteral("insert into 学生表(姓名,班级) values('某某',:k)"), {{":k", 3000000000LL}});
        QFAIL("stored a class beyond the range");
    } catch (const DbError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("字段“班级”的值“3000000000”超出了允许的范围")),
                 qPrintable(e.message()));
    }
    // A class typed as a word is not a number: the statement fails, nothing is stored.
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(QStringLiteral("insert into 学生表(班级) values(abc)")));
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(QStringLiteral("insert into 学生表(班级) values()")));
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(QStringLiteral("insert into 学生表(班级) values(3000000000)")));
    Query q(c);
    q.setSql(QStringLiteral("select count(*) as n from 学生表"));
    q.open();
    QCOMPARE(q.integer(QStringLiteral("n")), 0LL);
}

// A number that is not whole, going into a whole-number column: the
// message says so and never that the value is not a number.
void TestDatabase::numbersThatAreNotWholeNumbers_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<Params>("params");
    QTest::addColumn<QString>("expected");
    const QString fraction = QStringLiteral("字段“班级”只能存入整数，值“%1”不是整数。");
    QTest::newRow("literal") << QStringLiteral("insert into 学生表(姓名,班级) values('某某',5.5)") << Params{}
                             << fraction.arg(QStringLiteral("5.5"));
    QTest::newRow("quoted") << QStringLiteral("insert into 学生表(姓名,班级) values('某某','5.5')")
                            << Params{} << fraction.arg(QStringLiteral("5.5"));
    QTest::newRow("bound") << QStringLiteral("update 学生表 set 姓名=:xm, 班级=:bj")
                           << Params{{":xm", "某某"}, {":bj", 7.5}} << fraction.arg(QStringLiteral("7.5"));
    QTest::newRow("from a selection") << QStringLiteral("insert into 学生表(班级) select 2.5") << Params{}
                                      << QStringLiteral("字段“班级”只能存入整数，不能存入带小数的数值。");
}

void TestDatabase::numbersThatAreNotWholeNumbers() {
    QFETCH(QString, sql);
    QFETCH(Params, params);
    QFETCH(QString, expected);
    Connection c(path_);
    c.execute(QStringLiteral("insert into 学生表(姓名,班级) values('甲',1)"));
    try {
        c.execute(sql, params);
        QFAIL("stored a fraction in a whole-number column");
    } catch (const DbError& e) {
        QCOMPARE(e.message().section(QLatin1Char('\n'), 0, 0), expected);
        QVERIFY(!e.message().contains(QStringLiteral("非数字")));
    }
}

void TestDatabase::classMustBeAWholeNumber() {
    const QString field = QStringLiteral("班级");
    QCOMPARE(sqlInteger(QStringLiteral("-08"), field), QStringLiteral("-08"));
    for (const QString& bad :
         {QStringLiteral("5.5"), QStringLiteral("5a"), QStringLiteral(" 5"), QStringLiteral("５")}) {
        try {
            sqlInteger(bad, field);
            QFAIL(qPrintable(QStringLiteral("accepted ") + bad));
        } catch (const DbError& e) {
            QCOMPARE(e.message(), QStringLiteral("字段“班级”的值“%1”不是有效的数字。").arg(bad));
        }
    }
}

void TestDatabase::unstorableCharactersAreRefused() {
    const auto refused = [](const std::function<void()>& action, const QString& field) {
        try {
            action();
            QFAIL("took an unstorable text");
        } catch (const DbError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("字段“%1”的值“").arg(field)) &&
                         e.message().contains(QStringLiteral("含有无法保存的字符")) &&
                         !hasUnstorableCharacter(e.message()), // a dialog can show it
                     qPrintable(e.message()));
        }
    };
    Connection c(path_);
    const QString nul = QStringLiteral("张") + QChar(u'\0') + QStringLiteral("三");
    for (const QString& bad :
         {nul, QStringLiteral("李") + QChar(0xD840), QChar(0xDC00) + QStringLiteral("四")}) {
        refused([&] { sqlQuote(bad, QStringLiteral("姓名")); }, QStringLiteral("姓名"));
        // Bound: the column it is written to or compared with is named.
        refused(
            [&] {
                c.execute(QStringLiteral("insert into 学生表(学业水平测试号,姓名) values(:n,:xm)"),
                          {{":n", "0901"}, {":xm", bad}});
            },
            QStringLiteral("姓名"));
        refused(
            [&] {
                c.execute(QStringLiteral("delete from 学生表 where 身份证号 = :s"), {{":s", bad}});
            },
            QStringLiteral("身份证号"));
        refused(
            [&] {
                checkStorable(QStringLiteral("insert into 学生表(学业水平测试副号,备注) values(?,?)"),
                              {{"", "0901"}, {"", bad}});
            },
            QStringLiteral("备注"));
    }
    // Ten characters, two of them outside the BMP, fit a ten-character column.
    const QString rare = QString::fromUcs4(U"\U00020000\U0002A6D6");
    QVERIFY(!hasUnstorableCharacter(rare));
    c.execute(QStringLiteral("insert into 学生表(姓名) values(:xm)"),
              {{":xm", rare + QStringLiteral("一二三四五六七八")}});
    try {
        c.execute(QStringLiteral("insert into 学生表(姓名) values(:xm)"),
                  {{":xm", rare + QStringLiteral("一二三四五六七八九")}});
        QFAIL("accepted 11 characters");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(rare + QStringLiteral("一二三四五六七八九")), qPrintable(e.message()));
    }
}

void TestDatabase::quotedDigitsAreStoredAsNumbers() {
    Connection c(path_);
    c.execute(QStringLiteral("insert into 学生表(班级) values('12')"));
    Query q(c);
    q.setSql(QStringLiteral("select 班级, typeof(班级) as t from 学生表 where 班级=12"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.text(QStringLiteral("t")), QStringLiteral("integer"));
}

void TestDatabase::engineTextIsKept() {
    Connection c(path_);
    try {
        c.execute(QStringLiteral("select * from 没有的表"));
        QFAIL("no error");
    } catch (const DbError& e) {
        QVERIFY(e.message().contains(QStringLiteral("没有表“没有的表”")));
        QVERIFY(!e.message().contains(QStringLiteral("no such table")));
        QVERIFY(e.engineText().contains(QStringLiteral("no such table")));
        QCOMPARE(e.path(), path_);
    }
}

// Refusals the engine words in English reach the user in Chinese, naming
// the column; none of them ends in the engine's words.
void TestDatabase::constraintFailuresInChinese() {
    Connection c(path_);
    c.execute(QStringLiteral("create table 约束(编号 text unique, 名称 text not null, 数 integer check(数 % 2 = 0))"));
    c.execute(QStringLiteral("insert into 约束 values('a','甲',2)"));
    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("insert into 约束 values('a','乙',4)"), QStringLiteral("字段“编号”的值与已有的记录重复")},
        {QStringLiteral("insert into 约束 values('b',null,4)"), QStringLiteral("字段“名称”不能为空")},
        {QStringLiteral("insert into 约束 values('c','丙',3)"), QStringLiteral("不符合")},
    };
    for (const auto& [sql, expected] : cases) {
        try {
            c.execute(sql);
            QFAIL("accepted");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
            QVERIFY2(!e.message().contains(QStringLiteral("constraint")), qPrintable(e.message()));
            QVERIFY(!e.engineText().isEmpty());
        }
    }
}

void TestDatabase::notADatabase() {
    const QString path = dir_.filePath(QStringLiteral("text.mdb"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    try {
        Query q;
        q.setDatabasePath(path);
        q.setSql(QStringLiteral("select * from 学生表"));
        q.open();
        QFAIL("read a text file as a database");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("不是有效的数据库文件")), qPrintable(e.message()));
    }
    // A station file put back into its protected form by someone else is
    // in use elsewhere, not broken.
    QCOMPARE(FileProtection::protect(path_), FileProtection::Form::Plain);
    try {
        Connection(path_).execute(QStringLiteral("insert into 学生表(姓名) values('a')"));
        QFAIL("wrote into a protected file");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("正被其他程序使用")), qPrintable(e.message()));
    }
}

void TestDatabase::lockedFile() {
    Connection::setBusyTimeout(50);
    Connection holder(path_);
    holder.execute(QStringLiteral("BEGIN EXCLUSIVE"));
    try {
        Connection c(path_);
        c.execute(QStringLiteral("insert into 学生表(姓名) values('a')"));
        QFAIL("wrote into a locked file");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("占用")), qPrintable(e.message()));
    }
    holder.execute(QStringLiteral("ROLLBACK"));
    Connection::setBusyTimeout(3000);
}

void TestDatabase::readOnlyFolder() {
    if (geteuid() == 0)
        QSKIP("file permissions do not bind the superuser");
    QTemporaryDir ro;
    const QString path = ro.filePath(QStringLiteral("ro.mdb"));
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    QFile::setPermissions(ro.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    try {
        Connection c(path);
        c.execute(QStringLiteral("insert into 学生表(姓名) values('a')"));
        QFAIL("wrote into a read-only file");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("只读")), qPrintable(e.message()));
    }
    QFile::setPermissions(ro.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestDatabase::transactionRollsBackUnlessCommitted() {
    Connection c(path_);
    try {
        Transaction t(c);
        c.execute(QStringLiteral("insert into 学生表(姓名) values('a')"));
        c.execute(QStringLiteral("insert into 学生表(姓名) values('这个名字实在是太长太长了')"));
        t.commit();
    } catch (const DbError&) {
    }
    {
        Transaction t(c);
        c.execute(QStringLiteral("insert into 学生表(姓名) values('b')"));
        t.commit();
    }
    Query q(c);
    q.setSql(QStringLiteral("select 姓名 from 学生表"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("b"));
}

void TestDatabase::keptRowsOnlyWhenTheCommitWorked() {
    const auto rows = [this] {
        Query q;
        q.setDatabasePath(path_);
        q.setSql(QStringLiteral("select count(*) as n from 学生表"));
        q.open();
        return q.integer(QStringLiteral("n"));
    };
    // An import of 3000 rows (they stay in the engine's cache until the
    // commit) stopped by a refused row.
    const auto importStoppedByARefusedRow = [](Connection& c) {
        Transaction t(c);
        try {
            for (int i = 0; i < 3000; ++i)
                c.execute(QStringLiteral("insert into 学生表(姓名,家庭住址) values('学生',?)"),
                          {{QString(), QString(20, QChar(u'址'))}});
            c.execute(QStringLiteral("insert into 学生表(姓名) values('这个名字实在是太长太长了')"));
        } catch (const DbError&) {
            t.rethrowKeepingDone(QStringLiteral("此前导入的行"));
        }
    };
    {
        Connection c(path_);
        QVERIFY_THROWS_EXCEPTION(DbError, importStoppedByARefusedRow(c));
    }
    QCOMPARE(rows(), 3000LL); // kept

    // The disk fills up while the rows are being kept: nothing is claimed.
    {
        FaultInjection::WriteBudget full(100000, QFileInfo(path_).fileName());
        Connection c(path_);
        try {
            importStoppedByARefusedRow(c);
            QFAIL("the refused row must be reported");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("过长")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("此前导入的行没有保存")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("磁盘已满")), qPrintable(e.message()));
        }
    }
    QCOMPARE(rows(), 3000LL);
}

void TestDatabase::compactionCopiesEverything() {
    {
        Connection c(path_);
        Transaction t(c);
        for (int i = 0; i < 500; ++i)
            c.execute(QStringLiteral("insert into 学生表(姓名,班级) values('学生%1',%2)").arg(i).arg(i % 46 + 1));
        c.execute(QStringLiteral("delete from 学生表 where 班级 > 2"));
        t.commit();
    }
    const QString copy = dir_.filePath(QStringLiteral("copy.mdb"));
    compactDatabase(path_, copy);
    QVERIFY(QFileInfo(copy).size() < QFileInfo(path_).size());
    Query q;
    q.setDatabasePath(copy);
    q.setSql(QStringLiteral("select count(*) as n from 学生表"));
    q.open();
    QCOMPARE(q.integer(QStringLiteral("n")), 22LL);
    // The copy keeps its indexes and constraints.
    Connection c(copy);
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(QStringLiteral("insert into 学生表(性别) values('12')")));
    // An existing destination is refused and left alone.
    QVERIFY_THROWS_EXCEPTION(DbError, compactDatabase(path_, copy));
    QVERIFY(isSqliteFile(copy));
}

void TestDatabase::translatesAccessTableDefinitions() {
    const QString sql = Schema::translateCreateTable(
        QStringLiteral("CREATE TABLE 学生表 (序号 Counter PRIMARY KEY, 身份证号 VarChar (19),必修学分 SmallInt NULL,"
                       "中考成绩 float, 电子照片 OLEObject, 班级 int)"));
    QVERIFY(sql.contains(QStringLiteral("\"序号\" INTEGER PRIMARY KEY AUTOINCREMENT")));
    QVERIFY(sql.contains(QStringLiteral("length(\"身份证号\") <= 19")));
    QVERIFY(sql.contains(QStringLiteral("\"必修学分\" >= -32768 AND \"必修学分\" <= 32767")));
    QVERIFY(sql.endsWith(QStringLiteral("STRICT")));
    Connection c(path_);
    c.execute(QString(sql).replace(QStringLiteral("学生表"), QStringLiteral("新表")));
    c.execute(QStringLiteral("insert into 新表(必修学分, 中考成绩) values('120', 85.5)"));
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(QStringLiteral("insert into 新表(必修学分) values(40000)")));
    QVERIFY_THROWS_EXCEPTION(DbError, Schema::translateCreateTable(QStringLiteral("CREATE TABLE t (a Currency)")));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
