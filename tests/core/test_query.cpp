#include "Database.h"
#include "Query.h"
#include "Schema.h"
#include "TestNumber.h"

#include <QTemporaryDir>
#include <QtTest>

class TestQuery : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openPositionsOnTheFirstRow();
    void navigation();
    void emptyResult();
    void locateEqualAndPrefix();
    void fieldsByName();
    void namedParametersAreBoundAsText();
    void paging();
    void executeReturnsRowsChanged();
    void unitLookupsUseTheIndex();
    void valuesKeepTheirTypes();
    void listenersLearnEveryChange();
    void executeReusesItsStatement();

private:
    Query select(const QString& sql);
    QTemporaryDir dir_;
    QString path_;
};

void TestQuery::initTestCase() {
    path_ = dir_.filePath(QStringLiteral("CSBMK.mdb"));
    Schema::createDatabase(path_, Schema::registrationDatabaseStatements());
    Connection c(path_);
    Transaction t(c);
    const char* rows[][3] = {{"090101000210001", "张三", "1"},
                             {"090101000220002", "李四", "1"},
                             {"090101000210003", "王五", "2"},
                             {"090102000110001", "赵六", "3"},
                             {"090101000220010", "钱七", "2"}};
    for (auto& r : rows) {
        const QString n = QString::fromUtf8(r[0]);
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级,电子照片) "
                                 "values(:n,:s,:name,:c,:p)"),
                  {{QStringLiteral(":n"), n},
                   {QStringLiteral(":s"), TestNumber::subNumber(n)},
                   {QStringLiteral(":name"), QString::fromUtf8(r[1])},
                   {QStringLiteral(":c"), QString::fromUtf8(r[2])},
                   {QStringLiteral(":p"), QByteArray("\xFF\xD8\xFF", 3)}});
    }
    c.execute(QStringLiteral("insert into 学生表(姓名) values('空')"));
    t.commit();
}

Query TestQuery::select(const QString& sql) {
    Query q;
    q.setDatabasePath(path_);
    q.setSql(sql);
    q.open();
    return q;
}

void TestQuery::openPositionsOnTheFirstRow() {
    Query q = select(QStringLiteral("select * from 学生表 order by 序号 desc"));
    QVERIFY(q.isOpen());
    QCOMPARE(q.recordCount(), 6);
    QCOMPARE(q.recNo(), 1);
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("空"));
    QVERIFY(!q.eof());
}

void TestQuery::navigation() {
    Query q = select(QStringLiteral("select 姓名 from 学生表 order by 序号"));
    QStringList seen;
    for (q.first(); !q.eof(); q.next())
        seen << q.text(QStringLiteral("姓名"));
    QCOMPARE(seen.size(), 6);
    QCOMPARE(seen.first(), QStringLiteral("张三"));
    // After running off the end the last row stays current.
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("空"));
    q.last();
    QCOMPARE(q.recNo(), 6);
    QVERIFY(!q.eof());
    q.prior();
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("钱七"));
    q.first();
    q.prior();
    QVERIFY(q.bof());
    QCOMPARE(q.recNo(), 1);
    q.setRecNo(3);
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("王五"));
}

void TestQuery::emptyResult() {
    Query q = select(QStringLiteral("select * from 学生表 where 1=0"));
    QVERIFY(q.eof());
    QVERIFY(q.bof());
    QCOMPARE(q.recordCount(), 0);
    QCOMPARE(q.recNo(), 0);
    QCOMPARE(q.text(QStringLiteral("姓名")), QString());
    QVERIFY(q.isNull(QStringLiteral("姓名")));
    q.next();
    QVERIFY(q.eof());
    QVERIFY(!q.locate(QStringLiteral("姓名"), QStringLiteral("张三")));
}

void TestQuery::locateEqualAndPrefix() {
    Query q = select(QStringLiteral("select * from 学生表 order by 序号"));
    q.setRecNo(2);
    QVERIFY(!q.locate(QStringLiteral("姓名"), QStringLiteral("无名")));
    QCOMPARE(q.recNo(), 2); // stays put
    QVERIFY(q.locate(QStringLiteral("学业水平测试号"), QStringLiteral("090101000210003")));
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("王五"));
    QVERIFY(!q.locate(QStringLiteral("学业水平测试号"), QStringLiteral("0901010002")));
    QVERIFY(q.locate(QStringLiteral("学业水平测试号"), QStringLiteral("0901010002"), Query::Match::Prefix));
    QCOMPARE(q.recNo(), 1); // the first row that begins with it
    // Numbers compare by their text.
    QVERIFY(q.locate(QStringLiteral("班级"), QStringLiteral("3")));
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("赵六"));
}

void TestQuery::fieldsByName() {
    Query q = select(QStringLiteral("select * from 学生表 order by 序号"));
    QCOMPARE(q.fieldNames().size(), 14);
    QCOMPARE(q.fieldNames().at(1), QStringLiteral("学业水平测试号"));
    QCOMPARE(q.integer(QStringLiteral("班级")), 1LL);
    QCOMPARE(q.text(QStringLiteral("班级")), QStringLiteral("1"));
    QCOMPARE(q.bytes(QStringLiteral("电子照片")), QByteArray("\xFF\xD8\xFF", 3));
    QVERIFY(q.isNull(QStringLiteral("备注")));
    QCOMPARE(q.text(QStringLiteral("备注")), QString());
    QVERIFY(q.hasField(QStringLiteral("序号")));
    try {
        q.text(QStringLiteral("必修学分"));
        QFAIL("read a field that is not there");
    } catch (const DbError& e) {
        QCOMPARE(e.message(), QStringLiteral("Field '必修学分' not found"));
    }
    Query upper = select(QStringLiteral("select count(*) as Total from 学生表"));
    QCOMPARE(upper.integer(QStringLiteral("total")), 6LL); // names compare case-insensitively
    Query text = select(QStringLiteral("select '12a' as n"));
    QVERIFY_THROWS_EXCEPTION(DeskError, text.integer(QStringLiteral("n")));
}

void TestQuery::namedParametersAreBoundAsText() {
    Query q;
    q.setDatabasePath(path_);
    q.setSql(QStringLiteral("select * from 学生表 where substr(学业水平测试号,3,8)=:sxbm and substr(学业水平测试号,-4)=:sxh"));
    q.setParam(QStringLiteral(":sxbm"), QStringLiteral("01010002"));
    q.setParam(QStringLiteral(":sxh"), QStringLiteral("0002"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("李四"));
    // A quote in a bound value is just a character.
    q.setSql(QStringLiteral("select * from 学生表 where 姓名=:a"));
    q.setParam(QStringLiteral(":a"), QStringLiteral("张三' or '1'='1"));
    q.open();
    QCOMPARE(q.recordCount(), 0);
}

void TestQuery::paging() {
    Query q = select(QStringLiteral("select * from 学生表 order by 序号"));
    q.setPageSize(4);
    QCOMPARE(q.pageCount(), 2);
    q.setAbsolutePage(2);
    QCOMPARE(q.recNo(), 5);
    QCOMPARE(q.absolutePage(), 2);
    q.setAbsolutePage(9);
    QCOMPARE(q.recNo(), 5);
    q.setAbsolutePage(1);
    QCOMPARE(q.recNo(), 1);
}

void TestQuery::executeReturnsRowsChanged() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.mdb"));
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());
    Query q;
    q.setDatabasePath(path);
    for (int i = 1; i <= 3; ++i) {
        q.setSql(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级)values('0101','0002','%1',5)").arg(i));
        QCOMPARE(q.execute(), 1);
    }
    q.setSql(QStringLiteral("delete from 顺序号"));
    QCOMPARE(q.execute(), 3);
    QVERIFY(!q.isOpen());
}

void TestQuery::unitLookupsUseTheIndex() {
    using namespace TestNumber;
    const QString id = QStringLiteral("学业水平测试号");
    const QStringList statements{
        QStringLiteral("select * from 学生表 where %1=:a").arg(id),
        QStringLiteral("select * from 学生表 where 学业水平测试副号=:a"),
        QStringLiteral("select * from 学生表 where %1=:a and %2=:b").arg(Sql::unitCode(id), Sql::sequenceNumber(id)),
        QStringLiteral("select max(%1) from 学生表 where %2=:a").arg(Sql::sequenceNumber(id), Sql::unitCode(id)),
        QStringLiteral("select * from 学生表 where %1=:a").arg(Sql::unitCode(QStringLiteral("学业水平测试副号"))),
    };
    for (QString sql : statements) {
        Query plan = select(QStringLiteral("explain query plan ") + sql.replace(QStringLiteral(":a"), QStringLiteral("'x'"))
                                                                      .replace(QStringLiteral(":b"), QStringLiteral("'y'")));
        QString detail;
        for (; !plan.eof(); plan.next())
            detail += plan.text(QStringLiteral("detail")) + QLatin1Char(';');
        QVERIFY2(detail.contains(QStringLiteral("USING INDEX")) || detail.contains(QStringLiteral("COVERING INDEX")),
                 qPrintable(sql + QStringLiteral(" -> ") + detail));
    }
}

void TestQuery::valuesKeepTheirTypes() {
    Query q = select(QStringLiteral("select 7 as i, 2.5 as r, '学生' as t, x'00ff' as b, null as n, '' as e, "
                                    "x'' as z, 电子照片 from 学生表 order by 序号"));
    QCOMPARE(q.value(QStringLiteral("i")).typeId(), QMetaType::LongLong);
    QCOMPARE(q.integer(QStringLiteral("i")), 7LL);
    QCOMPARE(q.value(QStringLiteral("r")).typeId(), QMetaType::Double);
    QCOMPARE(q.text(QStringLiteral("r")), QStringLiteral("2.5"));
    QCOMPARE(q.value(QStringLiteral("t")).typeId(), QMetaType::QString);
    QCOMPARE(q.text(QStringLiteral("t")), QStringLiteral("学生"));
    QCOMPARE(q.bytes(QStringLiteral("b")), QByteArray("\x00\xff", 2));
    QVERIFY(q.isNull(QStringLiteral("n")));
    QVERIFY(!q.isNull(QStringLiteral("e"))); // an empty text is not null
    QCOMPARE(q.text(QStringLiteral("e")), QString());
    QVERIFY(!q.isNull(QStringLiteral("z")));
    QVERIFY(q.bytes(QStringLiteral("z")).isEmpty());
    // Rows by position carry the same values; the last row has no photo.
    const QVector<QVariant> row = q.row(0);
    QCOMPARE(row.size(), 8);
    QCOMPARE(row.at(7).toByteArray(), QByteArray("\xFF\xD8\xFF", 3));
    QVERIFY(q.isNull(q.recordCount() - 1, 7));
    // Rows put back by a grid keep their types too.
    q.replaceRow(1, {QVariant(12LL), QVariant(0.5), QStringLiteral("改"), QByteArray("x"), QVariant(), QString(),
                     QByteArray(""), QVariant()});
    q.setRecNo(2);
    QCOMPARE(q.value(QStringLiteral("i")).typeId(), QMetaType::LongLong);
    QCOMPARE(q.text(QStringLiteral("r")), QStringLiteral("0.5"));
    QCOMPARE(q.text(QStringLiteral("t")), QStringLiteral("改"));
    QVERIFY(q.isBytes(1, 3));
    QVERIFY(q.isNull(QStringLiteral("n")));
    QVERIFY(q.locate(QStringLiteral("t"), QStringLiteral("改")));
    QCOMPARE(q.recNo(), 2);
}

void TestQuery::listenersLearnEveryChange() {
    Query q;
    QStringList told;
    const int id = q.addListener([&](Query::Change change) {
        told << (change == Query::Change::AboutToChange ? QStringLiteral("about")
                 : change == Query::Change::Changed     ? QStringLiteral("changed")
                                                        : QStringLiteral("gone"));
    });
    q.setDatabasePath(path_);
    q.setSql(QStringLiteral("select * from 学生表"));
    QVERIFY(told.isEmpty()); // nothing was shown yet
    q.open();
    QCOMPARE(told, (QStringList{"about", "changed"}));
    told.clear();
    q.setSql(QStringLiteral("select * from 没有这个表"));
    QCOMPARE(told, (QStringList{"about", "changed"})); // closed
    told.clear();
    QVERIFY_THROWS_EXCEPTION(DbError, q.open());
    QCOMPARE(told, (QStringList{"about", "changed"})); // told also when the open fails
    QVERIFY(!q.isOpen());
    QCOMPARE(q.recordCount(), 0);
    QVERIFY(q.fieldNames().isEmpty());

    // A copy has the rows but not the listeners; taking rows in tells them.
    q.setSql(QStringLiteral("select * from 学生表"));
    q.open();
    told.clear();
    Query copy = q;
    copy.removeRow(0);
    QVERIFY(told.isEmpty());
    q = copy;
    QCOMPARE(told, (QStringList{"about", "changed"}));
    QCOMPARE(q.recordCount(), 5);
    told.clear();
    q.removeListener(id);
    q.close();
    QVERIFY(told.isEmpty());
}

void TestQuery::executeReusesItsStatement() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.mdb"));
    Schema::createDatabase(path, Schema::registrationDatabaseStatements());
    Connection c(path);
    const QString insert = QStringLiteral("insert into 学生表(姓名,班级,电子照片) values(:a,:b,:c)");
    QCOMPARE(c.execute(insert, {{QStringLiteral(":a"), QStringLiteral("甲")},
                                {QStringLiteral(":b"), 1},
                                {QStringLiteral(":c"), QByteArray("\x01", 1)}}),
             1);
    // A refused row leaves the statement ready for the next one.
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(insert, {{QStringLiteral(":a"), QStringLiteral("一二三四五六七八九十百")},
                                                         {QStringLiteral(":b"), 2},
                                                         {QStringLiteral(":c"), QVariant()}}));
    c.execute(insert, {{QStringLiteral(":a"), QStringLiteral("乙")}, {QStringLiteral(":b"), QStringLiteral("3")},
                       {QStringLiteral(":c"), QVariant()}});
    // Positional values bind in order.
    c.execute(QStringLiteral("insert into 学生表(姓名,班级) values(?,?)"),
              {{QString(), QStringLiteral("丙")}, {QString(), 4}});
    Query q(c);
    q.setSql(QStringLiteral("select 姓名, 班级, typeof(班级) as t, 电子照片 from 学生表 order by 序号"));
    q.open();
    QCOMPARE(q.recordCount(), 3);
    QCOMPARE(q.bytes(QStringLiteral("电子照片")), QByteArray("\x01", 1));
    q.next();
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("乙"));
    QCOMPARE(q.text(QStringLiteral("t")), QStringLiteral("integer")); // "3" stored as a number
    QVERIFY(q.isNull(QStringLiteral("电子照片")));
    q.next();
    QCOMPARE(q.integer(QStringLiteral("班级")), 4LL);
    // A value for a name the statement lacks, or a second statement, is refused.
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(QStringLiteral("delete from 学生表 where 姓名=:a"),
                                                {{QStringLiteral(":b"), QStringLiteral("甲")}}));
    QVERIFY_THROWS_EXCEPTION(DbError,
                             c.execute(QStringLiteral("delete from 学生表; delete from 顺序号")));
    QCOMPARE(c.execute(QStringLiteral("delete from 学生表")), 3);
}

QTEST_GUILESS_MAIN(TestQuery)
#include "test_query.moc"
