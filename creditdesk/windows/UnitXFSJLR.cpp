#include "UnitXFSJLR.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitXFSJLR.h"

#include <QLineEdit>

// The values typed by the user reach the statements as parameters, so a
// quote in a name or a test number is stored as typed.

TFormXFSJLR::TFormXFSJLR(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormXFSJLR) {
    setupUi(ui);
    // 294 x 225 with its border; resizable.
    resize(286, 198);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormXFSJLR::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormXFSJLR::Button2Click);
    connectHandler(ui->Button3, &QPushButton::clicked, this, &TFormXFSJLR::Button3Click);
    connectHandler(ui->Button4, &QPushButton::clicked, this, &TFormXFSJLR::Button4Click);
}

TFormXFSJLR::~TFormXFSJLR() {
    delete ui;
}

void TFormXFSJLR::backToLookup(bool keepNameAndId) {
    ui->Edit1->clear();
    if (!keepNameAndId) {
        ui->Edit2->clear();
        ui->Edit3->clear();
    }
    ui->Edit4->clear();
    ui->Edit5->clear();
    ui->Edit1->setEnabled(true);
    ui->Button1->setEnabled(true);
    ui->Edit4->setEnabled(false);
    ui->Edit5->setEnabled(false);
    ui->Button2->setEnabled(false);
}

void TFormXFSJLR::FormShow() {
    backToLookup(false);
    ui->Edit2->setEnabled(false);
    ui->Edit3->setEnabled(false);
}

void TFormXFSJLR::Button1Click() {
    const QString typed = Text::trimmed(ui->Edit1->text());
    const QString database = StationFolder::creditDb();
    FileProtection::Lift lifted(database);
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(database);
    ADOQuery1.setSql(QStringLiteral("select * from 学生表 where 学业水平测试号=:csh"));
    ADOQuery1.setParam(QStringLiteral(":csh"), typed);
    ADOQuery1.open();
    lifted.restore();

    const bool found = !ADOQuery1.isEmpty();
    auto field = [&](const char* column) {
        return found ? ADOQuery1.text(QString::fromUtf8(column)) : QString();
    };
    ui->Edit1->setText(field("学业水平测试号"));
    ui->Edit2->setText(field("姓名"));
    ui->Edit3->setText(field("身份证号"));
    ui->Edit4->setText(field("必修学分"));
    ui->Edit5->setText(field("选修学分"));

    ui->Edit1->setEnabled(false);
    ui->Button1->setEnabled(false);
    ui->Edit4->setEnabled(true);
    ui->Edit5->setEnabled(true);
    ui->Button2->setEnabled(true);
    // On to the required credit, selected: typing 95 over 110 gives 95 (the
    // focus would otherwise go on from the disabled 定位 to 插入).
    ui->Edit4->setFocus(Qt::TabFocusReason);
    ui->Edit4->selectAll();
    // The boxes are empty now; the user is told why the number went.
    if (!found && !typed.isEmpty())
        Dialogs::current().message(
            QStringLiteral("没有找到学业水平测试号为“%1”的学生，输入框已清空。这里只能找到用“插入”保存的学生；"
                           "导入的学生没有学业水平测试号，请在“批量录入”中录入他们的学分。")
                .arg(typed));
}

void TFormXFSJLR::Button2Click() {
    const QString testNumber = Text::trimmed(ui->Edit1->text());
    const long long required = Text::toInteger(Text::trimmed(ui->Edit4->text()));
    const long long elective = Text::toInteger(Text::trimmed(ui->Edit5->text()));

    const QString database = StationFolder::creditDb();
    FileProtection::Lift lifted(database);
    ADOQuery2.close();
    ADOQuery2.setDatabasePath(database);
    // The total is written as the sum of the two new values: the engine
    // evaluates every assignment on the row as it was before the change.
    ADOQuery2.setSql(QStringLiteral(
        "update 学生表 set 必修学分=:bx,选修学分=:xx,总学分=:zxf where 学业水平测试号=:csh"));
    ADOQuery2.setParam(QStringLiteral(":bx"), required);
    ADOQuery2.setParam(QStringLiteral(":xx"), elective);
    ADOQuery2.setParam(QStringLiteral(":zxf"), required + elective);
    ADOQuery2.setParam(QStringLiteral(":csh"), testNumber);
    const int changed = ADOQuery2.execute();
    lifted.restore();

    backToLookup(false);
    if (changed == 0)
        Dialogs::current().message(
            QStringLiteral("没有找到学业水平测试号为“%1”的记录，数据未修改！").arg(testNumber));
    else
        Dialogs::current().message(QStringLiteral("数据修改成功！"));
}

void TFormXFSJLR::Button3Click() {
    for (QLineEdit* box : {ui->Edit1, ui->Edit2, ui->Edit3, ui->Edit4, ui->Edit5})
        box->setEnabled(true);
}

void TFormXFSJLR::Button4Click() {
    const QString t1 = Text::trimmed(ui->Edit1->text());
    const QString t2 = Text::trimmed(ui->Edit2->text());
    const QString t3 = Text::trimmed(ui->Edit3->text());
    const QString t4 = Text::trimmed(ui->Edit4->text());
    const QString t5 = Text::trimmed(ui->Edit5->text());

    // Both credits empty store nulls; otherwise both must be integers.
    QVariant required, elective, total;
    if (!t4.isEmpty() || !t5.isEmpty()) {
        const long long r = Text::toInteger(t4);
        const long long e = Text::toInteger(t5);
        required = r;
        elective = e;
        total = r + e;
    }
    // The sub-number: the first 10 and the last 4 characters of the test
    // number (for a full 15-character number, all but its 11th).
    const QString sub = t1.left(10) + t1.right(4);

    const QString database = StationFolder::creditDb();
    FileProtection::Lift lifted(database);
    ADOQuery2.close();
    ADOQuery2.setDatabasePath(database);
    ADOQuery2.setSql(QStringLiteral(
        "insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分)"
        "values(:csh,:fh,:xm,:sfzh,:bx,:xx,:zxf)"));
    ADOQuery2.setParam(QStringLiteral(":csh"), t1);
    ADOQuery2.setParam(QStringLiteral(":fh"), sub);
    ADOQuery2.setParam(QStringLiteral(":xm"), t2);
    ADOQuery2.setParam(QStringLiteral(":sfzh"), t3);
    ADOQuery2.setParam(QStringLiteral(":bx"), required);
    ADOQuery2.setParam(QStringLiteral(":xx"), elective);
    ADOQuery2.setParam(QStringLiteral(":zxf"), total);
    ADOQuery2.execute();
    lifted.restore();

    backToLookup(true);
    Dialogs::current().message(QStringLiteral("数据插入成功！"));
}
