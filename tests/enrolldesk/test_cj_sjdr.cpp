#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitCJ_SJDR.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

using Rows = QVector<QVector<QVariant>>;

// A score file of ours: 学生表 with `columns` columns named unlike 成绩表's
// (they are matched by position).
QString scoreFile(const QString& path, int columns, const Rows& rows, const QString& table = QStringLiteral("学生表")) {
    Connection::createFile(path);
    Connection c(path);
    QStringList names, marks;
    for (int i = 1; i <= columns; ++i) {
        names << QStringLiteral("列%1").arg(i);
        marks << QStringLiteral("?");
    }
    c.execute(QStringLiteral("create table %1(%2)").arg(table, names.join(',')));
    for (const auto& row : rows) {
        Params params;
        for (const QVariant& value : row)
            params.push_back({{}, value});
        c.execute(QStringLiteral("insert into %1 values(%2)").arg(table, marks.join(',')), params);
    }
    return path;
}

Rows scores() {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 成绩表 order by rowid"));
    q.open();
    Rows rows;
    for (int i = 0; i < q.recordCount(); ++i)
        rows << q.row(i);
    return rows;
}

const Rows results{
    {"090101000110001", "09010100010001", "张三", "32010220090315123X", "A", "B", "D", "C", "A", "B"},
    {"090101000120002", "09010100010002", "李四", "320102200903151234", "D", "D", QVariant(), "A", "A", "A"},
    {"090101000110003", "09010100010003", "王五", "320102200903151250", "B", "B", "B", "B", "B", "B"},
};

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCJ_SJDR : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void importEmptyAndImportAgain();
    void withoutTheKindNothingHappens();
    void failedImportsLeaveTheTableEmpty_data();
    void failedImportsLeaveTheTableEmpty();

private:
    void click() { button(form_.get(), "Button2")->click(); }
    QString memo() const { return form_->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText(); }
    void choose(const QString& path) {
        combo(form_.get(), "ComboBox1")->setCurrentIndex(0);
        edit(form_.get(), "Edit1")->setText(path);
    }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormCJ_SJDR> form_;
    QTemporaryDir files_;
};

void TestCJ_SJDR::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    form_ = std::make_unique<TFormCJ_SJDR>();
}

void TestCJ_SJDR::cleanup() {
    form_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestCJ_SJDR::importEmptyAndImportAgain() {
    const QString file = scoreFile(files_.filePath(QStringLiteral("成绩.mdb")), 10, results);
    const QByteArray before = contentOf(file);
    // The file chosen through 数据库位置:, offering score files.
    combo(form_.get(), "ComboBox1")->setCurrentIndex(0);
    dialogs_->files << file;
    button(form_.get(), "Button1")->click();
    QCOMPARE(edit(form_.get(), "Edit1")->text(), file);
    QCOMPARE(dialogs_->shown.size(), 1);
    QCOMPARE(dialogs_->shown[0].caption, QStringLiteral("*.mdb|*.mdb"));
    dialogs_->clear();

    // First click: every row, column by column in order.
    click();
    QCOMPARE(memo(), QStringLiteral("数据导入完成！"));
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(scores(), results);
    QCOMPARE(contentOf(file), before); // the score file is only read

    // Second click: the question; No and Cancel change nothing.
    dialogs_->answers << Dialogs::Answer::No << Dialogs::Answer::Cancel << Dialogs::Answer::Yes;
    click();
    click();
    QCOMPARE(scores().size(), 3);
    QVERIFY(memo().isEmpty());
    click();
    QCOMPARE(dialogs_->shown.size(), 4);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(dialogs_->shown[i].kind, QStringLiteral("ask"));
        QCOMPARE(dialogs_->shown[i].text, QStringLiteral("成绩数据已存在，确定要清空数据库内容吗？"));
        QCOMPARE(dialogs_->shown[i].caption, QStringLiteral("确认信息"));
    }
    QCOMPARE(dialogs_->shown[3].kind, QStringLiteral("message"));
    QCOMPARE(dialogs_->shown[3].text, QStringLiteral("清空数据库内容成功，请重新导入数据！"));
    QVERIFY(scores().isEmpty());
    QVERIFY(memo().isEmpty());

    // Third: imported again.
    click();
    QCOMPARE(scores(), results);
    QCOMPARE(memo(), QStringLiteral("数据导入完成！"));
    QCOMPARE(dialogs_->shown.size(), 4);
}

void TestCJ_SJDR::withoutTheKindNothingHappens() {
    edit(form_.get(), "Edit1")->setText(scoreFile(files_.filePath(QStringLiteral("未选类型.mdb")), 10, results));
    form_->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->setPlainText(QStringLiteral("earlier"));
    click();
    QVERIFY(dialogs_->shown.isEmpty());
    QVERIFY(memo().isEmpty());
    QVERIFY(scores().isEmpty());
}

void TestCJ_SJDR::failedImportsLeaveTheTableEmpty_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason"); // a part of the error shown
    const QString folder = files_.path() + QLatin1Char('/');
    QTest::newRow("no such file") << folder + "无此文件.mdb" << "不存在";
    QFile text(folder + "说明.mdb");
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a database at all");
    text.close();
    QTest::newRow("not a database") << text.fileName() << "不是有效的数据库文件";
    QTest::newRow("genuine Access file without 学生表")
        << QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/access/node-adodb.mdb") << "没有表“学生表”";
    QTest::newRow("our file without 学生表")
        << scoreFile(folder + "别的表.mdb", 10, results, QStringLiteral("成绩")) << "没有表“学生表”";
    QTest::newRow("columns that do not fit")
        << scoreFile(folder + "少一列.mdb", 9, {{"090101000110001", "09010100010001", "张三", "1", "A", "B", "C", "D", "A"}})
        << "有 9 个字段";
    // The third row is refused: the two before it are not kept either.
    Rows tooLong = results;
    tooLong[2][6] = QStringLiteral("ABC");
    QTest::newRow("a value too long") << scoreFile(folder + "过长.mdb", 10, tooLong) << "第 3 行";
}

void TestCJ_SJDR::failedImportsLeaveTheTableEmpty() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    const bool existed = QFileInfo::exists(file);
    choose(file);
    click();
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(reason), qPrintable(errors[0]));
    if (QTest::currentDataTag() == QLatin1String("a value too long"))
        QVERIFY2(errors[0].contains(QStringLiteral("外语等第")) && errors[0].contains(QStringLiteral("“ABC”")),
                 qPrintable(errors[0]));
    QCOMPARE(dialogs_->shown.size(), 1);
    QVERIFY(memo().isEmpty());
    QVERIFY(scores().isEmpty());
    QCOMPARE(QFileInfo::exists(file), existed); // no file is made by trying
}

QTEST_MAIN(TestCJ_SJDR)
#include "test_cj_sjdr.moc"
