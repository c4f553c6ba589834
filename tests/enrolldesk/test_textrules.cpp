#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitSJLR.h"

#include <QtTest>
#include <memory>

// The entry window and the text rules of the data layer: codes compare
// without regard to ASCII case, a class is a whole number, blank reserved
// numbers are no numbers.
class TestTextRules : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void codesTypedInEitherCaseMatch();
    void classMustBeAWholeNumber();
    void blankReservedNumbersAreSkipped();

private:
    void setText(const char* name, const QString& text) { edit(w_.get(), name)->setText(text); }
    QString text(const char* name) { return edit(w_.get(), name)->text(); }
    void chooseClass(const QString& cls) {
        QComboBox* box = combo(w_.get(), "ComboBox4");
        box->setCurrentText(cls);
        emit box->lineEdit()->textEdited(cls);
    }
    void save(const QString& name) {
        setText("Edit5", name);
        button(w_.get(), "Button1")->click();
    }
    int count(const QString& sql) {
        Query q;
        q.setDatabasePath(StationFolder::registrationDb());
        q.setSql(sql);
        q.open();
        return int(q.integer(QStringLiteral("n")));
    }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormSJLR> w_;
};

void TestTextRules::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    w_ = std::make_unique<TFormSJLR>();
}

void TestTextRules::cleanup() {
    w_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestTextRules::codesTypedInEitherCaseMatch() {
    // Reserved on the sequence page with a lower-case school code ...
    combo(w_.get(), "ComboBox2")->setCurrentText(QStringLiteral("1"));
    setText("Edit39", QStringLiteral("0101"));
    setText("Edit40", QStringLiteral("a001"));
    setText("Edit41", QStringLiteral("1"));
    setText("Edit43", QStringLiteral("3"));
    button(w_.get(), "Button5")->click();
    QVERIFY(dialogs_->shown.isEmpty());

    // ... registered with an upper-case one: the first free number is proposed.
    setText("Edit1", QStringLiteral("09"));
    setText("Edit2", QStringLiteral("0101"));
    setText("Edit3", QStringLiteral("A001"));
    chooseClass(QStringLiteral("1"));
    QCOMPARE(text("Edit4"), QStringLiteral("0001"));
    save(QStringLiteral("张三"));
    QVERIFY2(dialogs_->shown.isEmpty(), qPrintable(dialogs_->texts().join(QLatin1Char('\n'))));
    QCOMPARE(text("Edit4"), QStringLiteral("0002"));
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表 where 学业水平测试号='090101A00110001'")),
             1);

    // Back in lower case: the saved student's number is found used.
    setText("Edit3", QStringLiteral("a001"));
    setText("Edit4", QString());
    chooseClass(QStringLiteral("1"));
    QCOMPARE(text("Edit4"), QStringLiteral("0002"));
    button(w_.get(), "Button4")->click(); // the unit's highest number plus one
    QCOMPARE(text("Edit4"), QStringLiteral("0002"));
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestTextRules::classMustBeAWholeNumber() {
    const QString refused = QStringLiteral("字段“班级”的值“%1”不是有效的数字。");
    setText("Edit2", QStringLiteral("0101"));
    setText("Edit3", QStringLiteral("0002"));
    setText("Edit4", QStringLiteral("0999"));
    chooseClass(QStringLiteral("5.5"));
    QCOMPARE(text("Edit4"), QStringLiteral("0999"));
    // Reserving on the sequence page.
    combo(w_.get(), "ComboBox2")->setCurrentText(QStringLiteral("5a"));
    setText("Edit39", QStringLiteral("0101"));
    setText("Edit40", QStringLiteral("0002"));
    setText("Edit41", QStringLiteral("1"));
    setText("Edit43", QStringLiteral("2"));
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")),
             (QStringList{refused.arg(QStringLiteral("5.5")), refused.arg(QStringLiteral("5a"))}));
    QCOMPARE(count(QStringLiteral("select count(*) as n from 顺序号")), 0);
}

void TestTextRules::blankReservedNumbersAreSkipped() {
    {
        Connection c(StationFolder::registrationDb());
        // Rows emptied through the grid sort first.
        for (const QVariant& number :
             {QVariant(QStringLiteral("")), QVariant(QStringLiteral("  ")), QVariant(),
              QVariant(QStringLiteral("0005")), QVariant(QStringLiteral("0006"))})
            c.execute(QStringLiteral(
                          "insert into 顺序号(县区代码,学校代码,顺序号,班级) values('0101','0002',:n,2)"),
                      {{QStringLiteral(":n"), number}});
    }
    setText("Edit1", QStringLiteral("09"));
    setText("Edit2", QStringLiteral("0101"));
    setText("Edit3", QStringLiteral("0002"));
    setText("Edit4", QStringLiteral("0999"));
    chooseClass(QStringLiteral("2"));
    QCOMPARE(text("Edit4"), QStringLiteral("0005"));

    // A save with a number not in the list proposes the list's second number.
    setText("Edit4", QStringLiteral("0999"));
    save(QStringLiteral("李四"));
    QCOMPARE(text("Edit4"), QStringLiteral("0006"));
    save(QStringLiteral("王五"));
    QCOMPARE(text("Edit4"), QStringLiteral("0006")); // the end of the list: kept
    QCOMPARE(dialogs_->texts(QStringLiteral("message")),
             QStringList{QStringLiteral("2班报名结束，请重新选择班级！")});
}

QTEST_MAIN(TestTextRules)
#include "test_textrules.moc"
