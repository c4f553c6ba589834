#include "Database.h"
#include "ErrorBoundary.h"
#include "FakeDialogs.h"

#include <QPushButton>
#include <QLineEdit>
#include <QtTest>

class Handlers : public QObject {
    Q_OBJECT
public:
    QStringList calls;
    void failsWithDbError() { throw DbError(QStringLiteral("数据库文件“x.mdb”不存在。")); }
    void failsWithStd() { throw std::runtime_error("boom"); }
    void failsWithAnything() { throw 42; }
    void noArguments() { calls << QStringLiteral("none"); }
    void withText(const QString& text) { calls << text; }
};

class TestErrorBoundary : public QObject {
    Q_OBJECT
private slots:
    void errorsEndInTheErrorDialog();
    void handlersTakeTheSignalsArgumentsOrNone();
};

void TestErrorBoundary::errorsEndInTheErrorDialog() {
    FakeDialogs dialogs;
    Handlers h;
    QPushButton a, b, c;
    connectHandler(&a, &QPushButton::clicked, &h, &Handlers::failsWithDbError);
    connectHandler(&b, &QPushButton::clicked, &h, &Handlers::failsWithStd);
    connectHandler(&c, &QPushButton::clicked, &h, &Handlers::failsWithAnything);
    a.click();
    b.click();
    c.click();
    const QStringList errors = dialogs.texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 3);
    QCOMPARE(errors[0], QStringLiteral("数据库文件“x.mdb”不存在。"));
    // A library's own words stay in the log; the box says it in Chinese.
    QVERIFY(errors[1].contains(QStringLiteral("程序内部错误")));
    QVERIFY(!errors[1].contains(QStringLiteral("boom")));
    QVERIFY(errors[2].contains(QStringLiteral("未知错误")));
    QVERIFY(!ErrorBoundary::run([] { throw DbError(QStringLiteral("x")); }));
    QVERIFY(ErrorBoundary::run([] {}));
}

void TestErrorBoundary::handlersTakeTheSignalsArgumentsOrNone() {
    Handlers h;
    QLineEdit edit;
    connectHandler(&edit, &QLineEdit::textChanged, &h, &Handlers::withText);
    connectHandler(&edit, &QLineEdit::textChanged, &h, &Handlers::noArguments);
    edit.setText(QStringLiteral("张"));
    QCOMPARE(h.calls, (QStringList{"张", "none"}));
}

QTEST_MAIN(TestErrorBoundary)
#include "test_errorboundary.moc"
