#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "Text.h"
#include "UnitMain.h"
#include "UnitSJLR.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>
#include <memory>

namespace {

// Sub-number of student `n` of school 0002 in county 0101 (unit 01010002).
QString sub(int n, const QString& unit = QStringLiteral("01010002")) {
    return QStringLiteral("09") + unit + Text::sequenceText(n);
}

// The database header's change counter: one more for every transaction
// that wrote to the file.
quint32 changeCounter() {
    QFile file(StationFolder::creditDb());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray header = file.read(28);
    return quint32(quint8(header[24])) << 24 | quint32(quint8(header[25])) << 16 | quint32(quint8(header[26])) << 8 |
           quint32(quint8(header[27]));
}

void setCredits(const QString& subNumber, int required, int elective, int total) {
    FileProtection::Lift lifted(StationFolder::creditDb());
    Connection(StationFolder::creditDb())
        .execute(QStringLiteral("update 学生表 set 必修学分=:a,选修学分=:b,总学分=:c where 学业水平测试副号=:s"),
                 {{QStringLiteral(":a"), required},
                  {QStringLiteral(":b"), elective},
                  {QStringLiteral(":c"), total},
                  {QStringLiteral(":s"), subNumber}});
}

} // namespace

class TestCreditEntry : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuOpensTheWindowWithItsInstructions();
    void pagesAndPositions();
    void pagingBeforeAnySchoolDoesNothing();
    void unknownSchoolKeepsTheSchoolShown();
    void editorEnterPaths();
    void editorCommitRules();
    void editorReplacesTheCreditShown();
    void enterAfterTheLastStudentGoesToSave_data();
    void enterAfterTheLastStudentGoesToSave();
    void editorFailuresLeaveTheCellCurrent_data();
    void editorFailuresLeaveTheCellCurrent();
    void savingAPageWritesEachStudentsOwnRow();
    void savingStopsAtAStudentWithoutCredits_data();
    void savingStopsAtAStudentWithoutCredits();
    void savingAPageThatIsNotANumber();
    void savingACreditOutOfRangeNamesTheStudent();
    void settingTheWholeSchool();
    void settingTheWholeSchoolNeedsCodesAndCredits();

private:
    TFormSJLR* form() { return station_->FormSJLR; }
    QTableWidget* grid() { return control<QTableWidget>(form(), "Grid"); }
    QLineEdit* editor() { return edit(form(), "Edit3"); }
    QCheckBox* check(const char* name) { return control<QCheckBox>(form(), name); }
    QSpinBox* pageBox() { return control<QSpinBox>(form(), "SpinEdit1"); }
    // Adds students 1..count of a school with the given credits (null: none).
    void addSchool(int count, const QString& unit = QStringLiteral("01010002"), QVariant required = QVariant(),
                   QVariant elective = QVariant());
    void showAndLoad(const QString& county = QStringLiteral("0101"), const QString& school = QStringLiteral("0002"));
    // Selects a cell as a click would.
    void select(int column, int row) { grid()->setCurrentCell(row - 1, column); }
    void type(const QString& text) {
        editor()->setText(text);
        QTest::keyClick(editor(), Qt::Key_Return);
    }
    void fillPage(const QString& required, const QString& elective, const QString& total) {
        for (int row = 1; row <= 20; ++row)
            for (int side : {0, 6}) {
                form()->setCells(side + 3, row, required);
                form()->setCells(side + 4, row, elective);
                form()->setCells(side + 5, row, total);
            }
    }
    QPoint current() { return {grid()->currentColumn(), grid()->currentRow() + 1}; }
    // Required, elective, total of one student, as stored.
    QVector<QVariant> creditsOf(const QString& subNumber);
    // The sub-numbers shown at positions 1..40, empty where none.
    QStringList shownSubNumbers();

    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
};

void TestCreditEntry::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
}

void TestCreditEntry::cleanup() {
    station_.reset();
    dialogs_.reset();
    folder_.reset();
}

void TestCreditEntry::addSchool(int count, const QString& unit, QVariant required, QVariant elective) {
    QList<CreditStudent> students;
    // Stored out of order: the window sorts by sub-number.
    for (int n = count; n >= 1; --n) {
        const QVariant total =
            required.isNull() || elective.isNull() ? QVariant() : QVariant(required.toInt() + elective.toInt());
        students.append({sub(n, unit), QStringLiteral("学生%1").arg(n), QStringLiteral("ID%1").arg(n), required,
                         elective, total});
    }
    addStudents(StationFolder::creditDb(), students);
}

void TestCreditEntry::showAndLoad(const QString& county, const QString& school) {
    form()->show();
    QVERIFY(QTest::qWaitForWindowActive(form()));
    edit(form(), "Edit39")->setText(county);
    edit(form(), "Edit40")->setText(school);
    QTest::keyClick(edit(form(), "Edit40"), Qt::Key_Return);
}

QVector<QVariant> TestCreditEntry::creditsOf(const QString& subNumber) {
    const auto rows = selectRows(StationFolder::creditDb(),
                                 QStringLiteral("select 必修学分,选修学分,总学分 from 学生表 where 学业水平测试副号='%1'")
                                     .arg(subNumber));
    return rows.isEmpty() ? QVector<QVariant>() : rows.at(0);
}

QStringList TestCreditEntry::shownSubNumbers() {
    QStringList subs;
    for (int side : {0, 6})
        for (int row = 1; row <= 20; ++row)
            subs << form()->Cells(side, row);
    return subs;
}

void TestCreditEntry::menuOpensTheWindowWithItsInstructions() {
    QString caption;
    bool instructionsHidden = false;
    whenShown(form(), [&] {
        caption = form()->windowTitle();
        instructionsHidden = !control<QWidget>(form(), "Panel2")->isVisible();
        form()->reject();
    });
    control<QAction>(station_->MainForm, "N16")->trigger();
    QCOMPARE(caption, QStringLiteral("批量学分数据录入"));
    QVERIFY(instructionsHidden);

    form()->show();
    button(form(), "Button3")->click();
    QVERIFY(control<QWidget>(form(), "Panel2")->isVisible());
    const QStringList lines = control<QPlainTextEdit>(form(), "Memo1")->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 20);
    QCOMPARE(lines.first(), QStringLiteral("批量录入使用说明："));
    QCOMPARE(lines.at(4), QStringLiteral("："));
    QCOMPARE(lines.last(), QStringLiteral("以直接进行报表打印和数据导出了。"));
    button(form(), "ChClose")->click();
    QVERIFY(!control<QWidget>(form(), "Panel2")->isVisible());
    QCOMPARE(grid()->horizontalHeaderItem(6)->text(), QStringLiteral("学业水平测试副号"));
    QCOMPARE(grid()->horizontalHeaderItem(11)->text(), QStringLiteral("总学分"));
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestCreditEntry::pagesAndPositions() {
    addSchool(41);
    addSchool(3, QStringLiteral("01010003")); // another school of the county
    setCredits(sub(6), 10, 20, 30);
    // A student without name: shown with an empty name.
    addStudents(StationFolder::creditDb(), {{sub(99), QString(), QStringLiteral("X"), QVariant(), QVariant(), QVariant()}});
    showAndLoad(QStringLiteral("0101"), QStringLiteral("0002 "));
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(form()->pageCount(), 2);
    QCOMPARE(control<QLabel>(form(), "Label1")->text(), QStringLiteral("共：2页，当前页为："));
    QCOMPARE(pageBox()->value(), 1);
    QCOMPARE(pageBox()->maximum(), 2);

    // 42 students in sub-number order: the left side top to bottom, then
    // the right side.
    const QStringList page1 = shownSubNumbers();
    for (int k = 1; k <= 40; ++k)
        QCOMPARE(page1.at(k - 1), sub(k));
    QCOMPARE(form()->Cells(6, 1), sub(21));
    QCOMPARE(form()->Cells(1, 1), QStringLiteral("学生1"));
    QCOMPARE(form()->Cells(2, 1), QStringLiteral("ID1"));
    // Credits as stored; none entered shows empty.
    QCOMPARE(form()->Cells(3, 5) + form()->Cells(4, 5) + form()->Cells(5, 5) + "|" + form()->Cells(3, 6) +
                 form()->Cells(4, 6) + form()->Cells(5, 6),
             QStringLiteral("|102030"));

    button(form(), "Button2")->click(); // 下一页
    QCOMPARE(form()->CurrentPage, 2);
    QCOMPARE(pageBox()->value(), 2);
    QStringList page2 = shownSubNumbers();
    QCOMPARE(page2.mid(0, 3), (QStringList{sub(41), sub(99), QString()}));
    QCOMPARE(form()->Cells(1, 2), QString());
    QCOMPARE(form()->Cells(2, 2), QStringLiteral("X"));
    page2.erase(page2.begin(), page2.begin() + 2);
    QCOMPARE(page2, QStringList(38, QString())); // the positions after the last student are empty
    button(form(), "Button2")->click();
    QCOMPARE(dialogs_->texts(), QStringList{"已经是最后一页了！"});

    pageBox()->setValue(1); // typed or arrows
    QCOMPARE(form()->CurrentPage, 1);
    QCOMPARE(form()->Cells(0, 1), sub(1));
    dialogs_->clear();
    button(form(), "Button1")->click(); // 上一页
    QCOMPARE(dialogs_->texts(), QStringList{"已经是首页了！"});

    // A page number out of range is brought into range.
    form()->ShowPage(7);
    QCOMPARE(form()->CurrentPage, 2);

    // Shown again: the grid is empty, the school stays loaded for paging.
    form()->hide();
    form()->show();
    QCOMPARE(form()->Cells(0, 1), QString());
    QCOMPARE(QPoint(current()), QPoint(1, 1));
    button(form(), "Button1")->click();
    QCOMPARE(form()->Cells(0, 1), sub(1));
    QCOMPARE(pageBox()->value(), 1);
    QCOMPARE(pageBox()->maximum(), 2);
}

void TestCreditEntry::pagingBeforeAnySchoolDoesNothing() {
    addSchool(3);
    form()->show();
    for (const char* name : {"Button1", "Button2", "Button5"})
        button(form(), name)->click();
    form()->SpinEdit1Change(3);
    form()->ShowPage(1);
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(form()->CurrentPage, 0);
    QCOMPARE(form()->Cells(0, 1), QString());
    QCOMPARE(pageBox()->maximum(), 0);
}

void TestCreditEntry::unknownSchoolKeepsTheSchoolShown() {
    addSchool(45);
    showAndLoad();
    button(form(), "Button2")->click();
    edit(form(), "Edit40")->setText(QStringLiteral("0009"));
    button(form(), "BitBtn1")->click(); // 数据刷新
    QCOMPARE(dialogs_->texts(), QStringList{"数据库中不存在该学校的学生信息，请确认信息已导入！"});
    QCOMPARE(form()->Cells(0, 1), sub(41));
    // Paging and saving still work on the school shown.
    button(form(), "Button1")->click();
    QCOMPARE(form()->Cells(0, 1), sub(1));
    fillPage(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"));
    dialogs_->clear();
    button(form(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), QStringList{"数据保存成功！"});
    QCOMPARE(creditsOf(sub(40)), (QVector<QVariant>{1, 2, 3}));
    QCOMPARE(form()->Cells(0, 1), sub(41)); // the next page of the same school
    QCOMPARE(pageBox()->value(), 2);
    // Saving the last page shows the first (the empty positions are skipped).
    fillPage(QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("15"));
    button(form(), "Button5")->click();
    QCOMPARE(creditsOf(sub(45)), (QVector<QVariant>{7, 8, 15}));
    QCOMPARE(form()->CurrentPage, 1);
    QCOMPARE(pageBox()->value(), 1);
    QCOMPARE(form()->Cells(0, 1) + form()->Cells(3, 1), sub(1) + "1");
}

void TestCreditEntry::editorEnterPaths() {
    addSchool(41);
    showAndLoad();
    // Before its first use the editor takes nothing into a name.
    editor()->setFocus();
    editor()->setText(QStringLiteral("55"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(form()->Cells(1, 1), QStringLiteral("学生1"));

    // Selecting a name cell opens nothing; a credit cell opens the editor on it.
    select(1, 2);
    QVERIFY(!editor()->isVisible());
    select(3, 1);
    QVERIFY(editor()->isVisible());
    QCOMPARE(QApplication::focusWidget(), editor());
    const QRect cell = grid()->visualRect(grid()->model()->index(0, 3));
    QCOMPARE(editor()->mapTo(form(), QPoint(0, 0)), grid()->viewport()->mapTo(form(), cell.topLeft()));

    // Required, Enter: on to the same student's elective credits.
    type(QStringLiteral(" 012 "));
    QCOMPARE(form()->Cells(3, 1), QStringLiteral("012")); // as typed, trimmed
    QCOMPARE(current(), QPoint(4, 1));
    QVERIFY(editor()->isVisible());
    QCOMPARE(QApplication::focusWidget(), editor());
    // Elective, Enter: the total, then the next student's required credits.
    type(QStringLiteral("30"));
    QCOMPARE(form()->Cells(5, 1), QStringLiteral("42"));
    QCOMPARE(current(), QPoint(3, 2));
    // Enter through a student stores zeros.
    type(QString());
    type(QString());
    QCOMPARE(form()->Cells(3, 2) + form()->Cells(4, 2) + form()->Cells(5, 2), QStringLiteral("000"));
    QCOMPARE(current(), QPoint(3, 3));

    // From the left side's foot to the right side's top.
    select(4, 20);
    form()->setCells(3, 20, QStringLiteral("5"));
    type(QStringLiteral("6"));
    QCOMPARE(form()->Cells(5, 20), QStringLiteral("11"));
    QCOMPARE(current(), QPoint(9, 1));
    QCOMPARE(editor()->text(), QString());
    QCOMPARE(QApplication::focusWidget(), editor());
    // The right side moves down like the left.
    type(QStringLiteral("7"));
    type(QStringLiteral("8"));
    QCOMPARE(form()->Cells(11, 1), QStringLiteral("15"));
    QCOMPARE(current(), QPoint(9, 2));

    // The last elective cell of the page: on to 保存.
    select(10, 20);
    form()->setCells(9, 20, QStringLiteral("1"));
    type(QStringLiteral("2"));
    QCOMPARE(form()->Cells(11, 20), QStringLiteral("3"));
    QCOMPARE(current(), QPoint(10, 20));
    QCOMPARE(QApplication::focusWidget(), button(form(), "Button5"));
    QVERIFY(!editor()->isVisible());
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestCreditEntry::editorCommitRules() {
    addSchool(2);
    showAndLoad();
    // The editor takes the cell's text; leaving it commits.
    form()->setCells(3, 2, QStringLiteral("9"));
    select(3, 2);
    QCOMPARE(editor()->text(), QStringLiteral("9"));
    editor()->setText(QStringLiteral("11"));
    edit(form(), "Edit1")->setFocus();
    QCOMPARE(form()->Cells(3, 2), QStringLiteral("11"));
    QCOMPARE(form()->Cells(5, 2), QString()); // no elective yet: no total
    QVERIFY(!editor()->isVisible());

    // A click on another cell commits into the cell that was being typed.
    select(4, 2);
    editor()->setText(QStringLiteral("4"));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                      grid()->visualRect(grid()->model()->index(0, 1)).center());
    QCOMPARE(form()->Cells(4, 2), QStringLiteral("4"));
    QCOMPARE(form()->Cells(5, 2), QStringLiteral("15"));
    QCOMPARE(form()->Cells(1, 1), QStringLiteral("学生1"));
    // Leaving an empty editor commits "0" and recomputes the total.
    select(3, 2);
    editor()->clear();
    button(form(), "Button6")->setFocus();
    QCOMPARE(form()->Cells(3, 2) + "|" + form()->Cells(5, 2), QStringLiteral("0|4"));
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestCreditEntry::editorReplacesTheCreditShown() {
    addSchool(3, QStringLiteral("01010002"), 110, 10);
    showAndLoad();
    // Opened by a click: typing replaces the credit shown.
    select(3, 1);
    QCOMPARE(editor()->text(), QStringLiteral("110"));
    QTest::keyClicks(editor(), "95");
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(form()->Cells(3, 1), QStringLiteral("95"));
    // Opened by Enter on the required credit.
    QCOMPARE(current(), QPoint(4, 1));
    QTest::keyClicks(editor(), "20");
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(form()->Cells(4, 1) + "|" + form()->Cells(5, 1), QStringLiteral("20|115"));

    // Opened by typing on the grid after the editor was left for a button.
    select(3, 2);
    button(form(), "Button6")->setFocus();
    QVERIFY(!editor()->isVisible());
    form()->setCells(3, 2, QStringLiteral("110"));
    grid()->setFocus();
    QTest::keyClicks(grid(), "7");
    QVERIFY(editor()->isVisible());
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(form()->Cells(3, 2), QStringLiteral("7"));
    QCOMPARE(current(), QPoint(4, 2)); // the grid did not jump to a cell starting with 7

    // Opened by an arrow move on the grid.
    select(1, 3);
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_Right);
    QTest::keyClick(grid(), Qt::Key_Right);
    QCOMPARE(current(), QPoint(3, 3));
    QTest::keyClicks(editor(), "8");
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(form()->Cells(3, 3), QStringLiteral("8"));
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestCreditEntry::enterAfterTheLastStudentGoesToSave_data() {
    QTest::addColumn<int>("students");
    QTest::newRow("3 students") << 3;
    QTest::newRow("20 students, the right side empty") << 20;
    QTest::newRow("second page of one student") << 41;
}

void TestCreditEntry::enterAfterTheLastStudentGoesToSave() {
    QFETCH(int, students);
    addSchool(students);
    showAndLoad();
    if (students > 40)
        button(form(), "Button2")->click();
    const int last = (students - 1) % 40 + 1;
    const int column = last <= 20 ? 4 : 10;
    const int row = last <= 20 ? last : last - 20;
    form()->setCells(column - 1, row, QStringLiteral("1"));
    select(column, row);
    type(QStringLiteral("2"));
    QCOMPARE(form()->Cells(column + 1, row), QStringLiteral("3"));
    QCOMPARE(QApplication::focusWidget(), button(form(), "Button5"));
    QVERIFY(!editor()->isVisible());
    QCOMPARE(current(), QPoint(column, row));
}

void TestCreditEntry::editorFailuresLeaveTheCellCurrent_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("required");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("elective not a number") << 4 << "3" << "1a" << "“1a”不是有效的整数。";
    QTest::newRow("elective without required") << 4 << "" << "5" << "“”不是有效的整数。";
    QTest::newRow("required not a number") << 3 << "" << "x" << QString(); // no elective yet: no total
}

void TestCreditEntry::editorFailuresLeaveTheCellCurrent() {
    QFETCH(int, column);
    QFETCH(QString, required);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    addSchool(2);
    showAndLoad();
    form()->setCells(3, 1, required);
    select(column, 1);
    type(typed);
    QCOMPARE(form()->Cells(column, 1), typed);
    QCOMPARE(form()->Cells(5, 1), QString());
    if (message.isEmpty()) {
        QVERIFY(dialogs_->shown.isEmpty());
        QCOMPARE(current(), QPoint(4, 1));
    } else {
        QCOMPARE(dialogs_->texts(QStringLiteral("error")), QStringList{message});
        QCOMPARE(current(), QPoint(column, 1));
        QVERIFY(!editor()->isVisible());
    }
}

void TestCreditEntry::savingAPageWritesEachStudentsOwnRow() {
    addSchool(45);
    addSchool(2, QStringLiteral("01010003"), 1, 1);
    showAndLoad();
    // Each position gets credits of its own: required = position, elective
    // = 100 + position.
    for (int k = 1; k <= 40; ++k) {
        const int side = k <= 20 ? 0 : 6;
        const int row = k <= 20 ? k : k - 20;
        form()->setCells(side + 3, row, QString::number(k));
        form()->setCells(side + 4, row, QString::number(100 + k));
        form()->setCells(side + 5, row, QString::number(100 + 2 * k));
    }
    const quint32 before = changeCounter();
    button(form(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), QStringList{"数据保存成功！"});
    QCOMPARE(changeCounter(), before + 1); // the page in one transaction
    for (int k = 1; k <= 40; ++k)
        QCOMPARE(creditsOf(sub(k)), (QVector<QVariant>{k, 100 + k, 100 + 2 * k}));
    QCOMPARE(creditsOf(sub(41)), (QVector<QVariant>{QVariant(), QVariant(), QVariant()}));
    QCOMPARE(creditsOf(sub(1, QStringLiteral("01010003"))), (QVector<QVariant>{1, 1, 2}));
    // On to the next page.
    QCOMPARE(form()->CurrentPage, 2);
    QCOMPARE(pageBox()->value(), 2);
    QCOMPARE(form()->Cells(0, 1), sub(41));
}

void TestCreditEntry::savingStopsAtAStudentWithoutCredits_data() {
    QTest::addColumn<int>("emptyColumn");
    QTest::addColumn<QString>("message");
    QTest::newRow("elective") << 4 << "学业水平测试副号为%1的学生选修学分为空不能保存，请重新录入后保存！";
    QTest::newRow("required") << 3 << "学业水平测试副号为%1的学生必修学分为空不能保存，请重新录入后保存！";
}

void TestCreditEntry::savingStopsAtAStudentWithoutCredits() {
    QFETCH(int, emptyColumn);
    QFETCH(QString, message);
    addSchool(45);
    showAndLoad();
    fillPage(QStringLiteral("120"), QStringLiteral("30"), QStringLiteral("150"));
    form()->setCells(emptyColumn, 17, QString()); // position 17
    button(form(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), QStringList{message.arg(sub(17))});
    for (int k = 1; k <= 16; ++k)
        QCOMPARE(creditsOf(sub(k)), (QVector<QVariant>{120, 30, 150}));
    for (int k = 17; k <= 40; ++k)
        QVERIFY(creditsOf(sub(k)).at(0).isNull());
    // The page stays as it was typed.
    QCOMPARE(form()->CurrentPage, 1);
    QCOMPARE(form()->Cells(emptyColumn == 3 ? 4 : 3, 17), emptyColumn == 3 ? QStringLiteral("30") : "120");
    QCOMPARE(form()->Cells(9, 20), QStringLiteral("120"));

    // 重填 empties the credits of both sides, nothing else, and writes nothing.
    button(form(), "Button6")->click();
    QString row17, row20;
    for (int column = 0; column < 12; ++column) {
        row17 += form()->Cells(column, 17) + "|";
        row20 += form()->Cells(column, 20) + "|";
    }
    QCOMPARE(row17, sub(17) + "|学生17|ID17||||" + sub(37) + "|学生37|ID37||||");
    QCOMPARE(row20, sub(20) + "|学生20|ID20||||" + sub(40) + "|学生40|ID40||||");
    QCOMPARE(creditsOf(sub(1)), (QVector<QVariant>{120, 30, 150}));
}

void TestCreditEntry::savingAPageThatIsNotANumber() {
    addSchool(5);
    showAndLoad();
    fillPage(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"));
    form()->setCells(5, 3, QString()); // a total that was never computed
    form()->setCells(3, 4, QStringLiteral("1);delete from 学生表;--"));
    button(form(), "Button5")->click();
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(sub(3)) && errors[0].contains(QStringLiteral("总学分")), qPrintable(errors[0]));
    QCOMPARE(creditsOf(sub(2)), (QVector<QVariant>{1, 2, 3}));
    QVERIFY(creditsOf(sub(3)).at(0).isNull());
    QCOMPARE(countRows(StationFolder::creditDb(), QStringLiteral("select * from 学生表")), 5);

    form()->setCells(5, 3, QStringLiteral("3"));
    dialogs_->clear();
    button(form(), "Button5")->click();
    QVERIFY2(dialogs_->texts(QStringLiteral("error")).value(0).contains(sub(4)), qPrintable(dialogs_->texts().join('|')));
    QCOMPARE(countRows(StationFolder::creditDb(), QStringLiteral("select * from 学生表")), 5);
    QCOMPARE(creditsOf(sub(3)), (QVector<QVariant>{1, 2, 3}));
    QVERIFY(creditsOf(sub(4)).at(0).isNull());
}

void TestCreditEntry::savingACreditOutOfRangeNamesTheStudent() {
    addSchool(3);
    showAndLoad();
    fillPage(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"));
    form()->setCells(3, 2, QStringLiteral("40000"));
    form()->setCells(5, 2, QStringLiteral("40002"));
    button(form(), "Button5")->click();
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith(QStringLiteral("学业水平测试副号为%1的学生学生2不能保存：").arg(sub(2))) &&
                 errors[0].contains(QStringLiteral("必修学分")) && errors[0].contains(QStringLiteral("40000")),
             qPrintable(errors[0]));
    // The student before it is saved, the one at fault and those after it are not.
    QCOMPARE(creditsOf(sub(1)), (QVector<QVariant>{1, 2, 3}));
    QVERIFY(creditsOf(sub(2)).at(0).isNull());
    QVERIFY(creditsOf(sub(3)).at(0).isNull());
    QCOMPARE(form()->CurrentPage, 1);
}

void TestCreditEntry::settingTheWholeSchool() {
    addSchool(45, QStringLiteral("01010002"), 100, 10);
    addSchool(3, QStringLiteral("01010003"), 1, 2);
    showAndLoad();
    button(form(), "Button2")->click();
    edit(form(), "Edit1")->setText(QStringLiteral(" 120"));
    edit(form(), "Edit2")->setText(QStringLiteral("30"));

    // Ticking one box ticks the other: the credits are written twice and
    // the confirmation shows twice.
    check("CheckBox1")->click();
    const QString done = QStringLiteral("学校代码为：01010002的全体学生必修选修学分已全部设置为：120和30");
    QCOMPARE(dialogs_->texts(), (QStringList{done, done}));
    QVERIFY(check("CheckBox1")->isChecked() && check("CheckBox2")->isChecked());
    // Every student of the school, on every page; the total is the sum of
    // the new credits.
    QCOMPARE(countRows(StationFolder::creditDb(),
                       QStringLiteral("select * from 学生表 where 必修学分=120 and 选修学分=30 and 总学分=150")),
             45);
    QCOMPARE(creditsOf(sub(1, QStringLiteral("01010003"))), (QVector<QVariant>{1, 2, 3}));
    QCOMPARE(form()->CurrentPage, 1);
    QCOMPARE(form()->Cells(3, 1) + form()->Cells(4, 1) + form()->Cells(5, 1), QStringLiteral("12030150"));

    // Unticking writes nothing and unticks both.
    dialogs_->clear();
    edit(form(), "Edit1")->setText(QStringLiteral("1"));
    const quint32 before = changeCounter();
    check("CheckBox2")->click();
    QVERIFY(!check("CheckBox1")->isChecked() && !check("CheckBox2")->isChecked());
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(changeCounter(), before);

    // Ticking one while the other is ticked writes once.
    check("CheckBox1")->setChecked(true);
    check("CheckBox2")->click();
    QCOMPARE(dialogs_->texts(),
             QStringList{"学校代码为：01010002的全体学生必修选修学分已全部设置为：1和30"});
    QCOMPARE(changeCounter(), before + 1);
    QCOMPARE(creditsOf(sub(44)), (QVector<QVariant>{1, 30, 31}));
}

void TestCreditEntry::settingTheWholeSchoolNeedsCodesAndCredits() {
    addSchool(2, QStringLiteral("01010002"), 5, 5);
    form()->show();
    struct Case {
        const char* county;
        const char* school;
        const char* required;
        const char* elective;
        const char* message;
        bool staysTicked;
    };
    const Case cases[] = {
        {" ", "0002", "1", "1", "请输入县区代码！", true},
        {"0101", "", "1", "1", "请输入学校代码！", true},
        {"0101", "0002", "", "1", "请输入必修学分！", false},
        {"0101", "0002", "1", "", "请输入选修学分！", false},
    };
    for (const Case& c : cases) {
        edit(form(), "Edit39")->setText(QString::fromUtf8(c.county));
        edit(form(), "Edit40")->setText(QString::fromUtf8(c.school));
        edit(form(), "Edit1")->setText(QString::fromUtf8(c.required));
        edit(form(), "Edit2")->setText(QString::fromUtf8(c.elective));
        check("CheckBox1")->setChecked(false);
        check("CheckBox2")->setChecked(false);
        dialogs_->clear();
        check("CheckBox1")->click();
        QCOMPARE(dialogs_->texts(), QStringList{QString::fromUtf8(c.message)});
        QCOMPARE(check("CheckBox1")->isChecked(), c.staysTicked);
        QVERIFY(!check("CheckBox2")->isChecked());
    }
    // A credit the database cannot take: nothing written, nothing ticked
    // (a second click sets the corrected credits).
    edit(form(), "Edit2")->setText(QStringLiteral("3x"));
    dialogs_->clear();
    check("CheckBox1")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(creditsOf(sub(1)), (QVector<QVariant>{5, 5, 10}));
    QVERIFY(!check("CheckBox1")->isChecked() && !check("CheckBox2")->isChecked());
    edit(form(), "Edit2")->setText(QStringLiteral("3"));
    check("CheckBox1")->click();
    QCOMPARE(creditsOf(sub(1)), (QVector<QVariant>{1, 3, 4}));

    // A school without students: nothing set, and no confirmation.
    edit(form(), "Edit2")->setText(QStringLiteral("1"));
    edit(form(), "Edit40")->setText(QStringLiteral("0020"));
    check("CheckBox1")->setChecked(false);
    check("CheckBox2")->setChecked(false);
    dialogs_->clear();
    check("CheckBox1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{"数据库中不存在该学校的学生信息，请确认信息已导入！"});
    QVERIFY(!check("CheckBox1")->isChecked() && !check("CheckBox2")->isChecked());
    QCOMPARE(form()->CurrentPage, 1); // the school loaded before stays
    QCOMPARE(creditsOf(sub(1)), (QVector<QVariant>{1, 3, 4}));
}

QTEST_MAIN(TestCreditEntry)
#include "test_creditentry.moc"
