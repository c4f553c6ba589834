#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "FakeDialogs.h"
#include "ProgramValues.h"
#include "UnitSJDC.h"

#include <QApplication>
#include <QShowEvent>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

// How the credit windows behave towards the window manager.
class TestCreditManners : public QObject {
    Q_OBJECT
private slots:
    void restoringTheExportWindowKeepsTheExportGoing();
};

void TestCreditManners::restoringTheExportWindowKeepsTheExportGoing() {
    CreditStationFolder folder;
    FakeDialogs dialogs;
    CreditStation station;
    TFormSJDC* form = station.FormSJDC;
    ProgramValues::ExportLevel = 2;
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    // As while an export runs: the code typed, the button busy.
    edit(form, "Edit1")->setText(QStringLiteral("0101"));
    button(form, "Button1")->setEnabled(false);
    // The window manager restores the minimised window.
    QShowEvent restored;
    QSpontaneKeyEvent::setSpontaneous(&restored);
    QApplication::instance()->notify(form, &restored);
    QCOMPARE(edit(form, "Edit1")->text(), QStringLiteral("0101"));
    QVERIFY(!button(form, "Button1")->isEnabled());
    QVERIFY(dialogs.shown.isEmpty());
}

QTEST_MAIN(TestCreditManners)
#include "test_creditmanners.moc"
