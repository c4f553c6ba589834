#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "DatabaseContent.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "FileProtection.h"
#include "SafetyCopy.h"
#include "StationFolder.h"
#include "Text.h"
#include "UnitDRSJ.h"
#include "UnitMain.h"
#include "UnitSJDC.h"
#include "UnitSJHF.h"
#include "UnitSJLR.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

namespace {

QString sub(int n) { return QStringLiteral("0901010002") + Text::sequenceText(n); }

QList<SafetyCopy::Copy> copies() { return SafetyCopy::list(SafetyCopy::storeOf(StationFolder::creditDb())); }

} // namespace

// The credit station's safety copies: taken before clearing, importing,
// school-wide credits and the first page save of each showing of the batch
// entry, kept protected, and restored from the menu.
class TestCreditCopies : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyOperationCanBeUndone_data();
    void everyOperationCanBeUndone();

private:
    TFormSJLR* entry() { return station_->FormSJLR; }
    void loadSchool();

    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
    QTemporaryDir in_;
};

void TestCreditCopies::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
    QList<CreditStudent> students;
    for (int i = 1; i <= 45; ++i)
        students.append({sub(i), QStringLiteral("学生%1").arg(i), QStringLiteral("110101200001011234"),
                         i % 2 ? QVariant(100) : QVariant(), i % 2 ? QVariant(20) : QVariant(),
                         i % 2 ? QVariant(120) : QVariant()});
    addStudents(StationFolder::creditDb(), students);
}

void TestCreditCopies::cleanup() {
    station_.reset();
    dialogs_.reset();
    folder_.reset();
}

void TestCreditCopies::loadSchool() {
    entry()->FormShow();
    edit(entry(), "Edit39")->setText(QStringLiteral("0101"));
    edit(entry(), "Edit40")->setText(QStringLiteral("0002"));
    button(entry(), "BitBtn1")->click();
}

void TestCreditCopies::everyOperationCanBeUndone_data() {
    QTest::addColumn<QString>("operation");
    for (const char* op : {"清空数据", "学分导入", "全校学分设置", "批量录入"})
        QTest::newRow(op) << QString::fromUtf8(op);
}

void TestCreditCopies::everyOperationCanBeUndone() {
    QFETCH(QString, operation);
    const QString db = StationFolder::creditDb();
    const QByteArray before = databaseContent(db);
    QVERIFY(!before.isEmpty());
    if (operation == QStringLiteral("清空数据")) {
        dialogs_->answers.enqueue(Dialogs::Answer::Yes);
        station_->MainForm->N2Click();
    } else if (operation == QStringLiteral("学分导入")) {
        const QString source = in_.filePath(QStringLiteral("交换.mdb"));
        QFile::remove(source);
        Connection::createFile(source);
        Connection(source).execute(TFormSJDC::exchangeTableStatement());
        addStudents(source, {{sub(90), QStringLiteral("新生"), QStringLiteral("110101200001011234"), 1, 2, 3}});
        station_->FormDRSJ->FormShow();
        edit(station_->FormDRSJ, "Edit4")->setText(source);
        button(station_->FormDRSJ, "Button1")->click();
    } else if (operation == QStringLiteral("全校学分设置")) {
        loadSchool();
        edit(entry(), "Edit1")->setText(QStringLiteral("120"));
        edit(entry(), "Edit2")->setText(QStringLiteral("30"));
        control<QCheckBox>(entry(), "CheckBox1")->click(); // writes twice, one copy
    } else {
        loadSchool();
        for (int row = 1; row <= 20; ++row)
            for (int side : {0, 6}) {
                entry()->setCells(side + 3, row, QStringLiteral("90"));
                entry()->setCells(side + 4, row, QStringLiteral("9"));
                entry()->setCells(side + 5, row, QStringLiteral("99"));
            }
        button(entry(), "Button5")->click();
        button(entry(), "Button5")->click(); // the next page: one copy per showing of the window
    }
    QVERIFY2(dialogs_->texts(QStringLiteral("error")).isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    QVERIFY(databaseContent(db) != before);
    QCOMPARE(FileProtection::formOf(db), FileProtection::Form::Protected);

    // One copy, named after the operation, kept protected like the data file.
    const QList<SafetyCopy::Copy> taken = copies();
    QCOMPARE(taken.size(), 1);
    QCOMPARE(taken[0].operation, operation);
    QCOMPARE(taken[0].students, 45);
    QCOMPARE(FileProtection::formOf(taken[0].path), FileProtection::Form::Protected);

    // Restored through the menu's window.
    QCOMPARE(station_->MainForm->findChild<QAction*>(QStringLiteral("NSJHF"))->text(), QStringLiteral("数据恢复"));
    TFormSJHF* w = station_->FormSJHF;
    w->FormShow();
    QCOMPARE(control<QTreeWidget>(w, "ListView1")->topLevelItem(0)->text(1), operation);
    dialogs_->clear();
    dialogs_->answers.enqueue(Dialogs::Answer::Yes);
    button(w, "Button1")->click();
    QVERIFY2(dialogs_->texts(QStringLiteral("message")).value(0).startsWith(QStringLiteral("数据恢复成功！")),
             qPrintable(dialogs_->texts().join('\n')));
    QCOMPARE(databaseContent(db), before);
    QCOMPARE(FileProtection::formOf(db), FileProtection::Form::Protected);
    QCOMPARE(FileProtection::Lift::holders(db), 0);
}

QTEST_MAIN(TestCreditCopies)
#include "test_creditcopies.moc"
