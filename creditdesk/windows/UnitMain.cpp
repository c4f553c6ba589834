#include "UnitMain.h"
#include "CreditStation.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "SafetyCopy.h"
#include "StationFolder.h"
#include "StationLock.h"
#include "UnitDRSJ.h"
#include "UnitDY_FS.h"
#include "UnitDY_FXQ.h"
#include "UnitDY_FXX.h"
#include "UnitSJDC.h"
#include "UnitSJHF.h"
#include "UnitSJLR.h"
#include "UnitXFSJLR.h"
#include "Windows.h"
#include "ui_UnitMain.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

TMainForm::TMainForm(CreditStation& station) : station_(station), ui(new Ui::TMainForm) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("MainForm"));
    // A fixed border with the system menu and the minimise box only; the
    // client area below the menu is 651 x 446.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    ui->ClientArea->setFixedSize(651, 446);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connectHandler(ui->N2, &QAction::triggered, this, &TMainForm::N2Click);
    connectHandler(ui->NSJHF, &QAction::triggered, this, &TMainForm::NSJHFClick);
    connectHandler(ui->N18, &QAction::triggered, this, &TMainForm::N18Click);
    connectHandler(ui->N16, &QAction::triggered, this, &TMainForm::N16Click);
    connectHandler(ui->N22, &QAction::triggered, this, &TMainForm::N15Click);
    connectHandler(ui->N10, &QAction::triggered, this, &TMainForm::N10Click);
    connectHandler(ui->N11, &QAction::triggered, this, &TMainForm::N11Click);
    connectHandler(ui->N21, &QAction::triggered, this, &TMainForm::N21Click);
    connectHandler(ui->N7, &QAction::triggered, this, &TMainForm::N7Click);
    connectHandler(ui->N8, &QAction::triggered, this, &TMainForm::N8Click);
    connectHandler(ui->N9, &QAction::triggered, this, &TMainForm::N9Click);
}

TMainForm::~TMainForm() {
    delete ui;
}

void TMainForm::showCentred() {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
}

void TMainForm::N2Click() {
    const QString database = StationFolder::creditDb();
    if (Dialogs::current().askYesNoCancel(QStringLiteral("确实要清空数据库内容吗？"),
                                          QStringLiteral("确认信息")) != Dialogs::Answer::Yes)
        return;
    StationLock::refuseIfOpenElsewhere(database, QStringLiteral("数据清空"));
    SafetyCopy::before(database, SafetyCopy::Before::clearing);
    FileProtection::Lift lifted(database);
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(database);
    ADOQuery1.setSql(QStringLiteral("delete from 学生表"));
    ADOQuery1.execute();
    lifted.restore();
    Dialogs::current().message(QStringLiteral("清空数据库内容成功！"));
}

void TMainForm::NSJHFClick() {
    Windows::showModalCentred(station_.FormSJHF);
}

void TMainForm::N18Click() {
    Windows::showModalCentred(station_.FormDRSJ);
}

// The single entry window stands at a fixed place on the screen.
void TMainForm::N15Click() {
    Windows::showModalAt(station_.FormXFSJLR, 200, 360);
}

void TMainForm::N16Click() {
    Windows::showModalCentred(station_.FormSJLR);
}

void TMainForm::N10Click() {
    Windows::showModalCentred(station_.FormDY_FS);
}
void TMainForm::N11Click() {
    Windows::showModalCentred(station_.FormDY_FXQ);
}
void TMainForm::N21Click() {
    Windows::showModalCentred(station_.FormDY_FXX);
}

void TMainForm::showExport(int level) {
    ProgramValues::ExportLevel = level;
    Windows::showModalCentred(station_.FormSJDC);
}

void TMainForm::N7Click() {
    showExport(1);
}
void TMainForm::N8Click() {
    showExport(2);
}
void TMainForm::N9Click() {
    showExport(3);
}
