#include "UnitJY_CSBMB.h"
#include "Database.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "PhotoStore.h"
#include "RegistrationChecks.h"
#include "StationFolder.h"
#include "TestNumber.h"
#include "Text.h"
#include "Windows.h"
#include "ui_UnitJY_CSBMB.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QTextBlock>

using RegistrationChecks::Check;

namespace {

const QString Id = QStringLiteral("学业水平测试号");

// How often a long check lets the window repaint and take clicks.
constexpr int YieldMs = 50;

} // namespace

TFormJY_CSBMB::TFormJY_CSBMB(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormJY_CSBMB) {
    setObjectName(QStringLiteral("FormJY_CSBMB"));
    setupUi(ui);
    DataSource1 = new DataSource(&ADOQuery1, QStringLiteral("学生表"), QStringLiteral("序号"), this);
    ui->DBGrid1->setDataSource(DataSource1);
    ui->CheckBox2->setChecked(ui->CheckBox8->isChecked());

    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormJY_CSBMB::Button1Click);
    connectHandler(ui->Button3, &QPushButton::clicked, this, &TFormJY_CSBMB::Button3Click);
    connectHandler(ui->Button4, &QPushButton::clicked, this, &TFormJY_CSBMB::Button4Click);
    connectHandler(ui->CheckBox8, &QCheckBox::toggled, this, &TFormJY_CSBMB::CheckBox8Click);
    connectHandler(ui->DBGrid1, &QAbstractItemView::clicked, this,
                   [](TFormJY_CSBMB* w, const QModelIndex& index) { w->DBGrid1CellClick(index.row()); });
}

TFormJY_CSBMB::~TFormJY_CSBMB() { delete ui; }

void TFormJY_CSBMB::CheckBox8Click() { ui->CheckBox2->setChecked(ui->CheckBox8->isChecked()); }

// --- lookup

void TFormJY_CSBMB::Button1Click() {
    const QString sub = Text::trimmed(ui->Edit1->text());
    const QString county = Text::trimmed(ui->Edit3->text());
    const QString school = Text::trimmed(ui->Edit4->text());
    if (sub.isEmpty() && county.isEmpty() && school.isEmpty()) {
        Dialogs::current().message(QStringLiteral("学业水平测试副号不能为空，或者县区编码和学校编码不能为空！"));
        return;
    }
    if (sub.isEmpty() && county.isEmpty()) {
        Dialogs::current().message(QStringLiteral("县区编码不能为空！"));
        return;
    }
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(StationFolder::registrationDb());
    if (!sub.isEmpty()) {
        ADOQuery1.setSql(QStringLiteral("SELECT * FROM 学生表 where 学业水平测试副号=:spcsh"));
        ADOQuery1.setParam(QStringLiteral(":spcsh"), sub);
    } else {
        const QString where = school.isEmpty()
                                  ? TestNumber::Sql::countyCode(Id) + QLatin1Char('=') + sqlQuote(county, Id)
                                  : TestNumber::Sql::unitCode(Id) + QLatin1Char('=') + sqlQuote(county + school, Id);
        ADOQuery1.setSql(QStringLiteral("SELECT * FROM 学生表 where %1 order by %2")
                             .arg(where, TestNumber::Sql::canonicalOrder(Id)));
    }
    ADOQuery1.open();
    ShowRow(0);
}

void TFormJY_CSBMB::DBGrid1CellClick(int row) {
    DataSource1->setCurrentRow(row);
    ShowRow(DataSource1->currentRow());
}

void TFormJY_CSBMB::ShowRow(int row) {
    const bool shown = ADOQuery1.isOpen() && row >= 0 && row < ADOQuery1.recordCount();
    auto field = [&](const char* name) {
        const QString column = QString::fromUtf8(name);
        return shown && ADOQuery1.hasField(column)
                   ? Query::textOf(ADOQuery1.value(row, ADOQuery1.fieldIndex(column)))
                   : QString();
    };
    ui->Edit24->setText(field("学业水平测试号"));
    ui->Edit6->setText(field("姓名"));
    ui->Edit25->setText(field("身份证号"));
    ui->Edit2->setText(field("籍贯"));
    ui->Edit42->setText(field("备注"));
    ui->Edit5->setText(field("班级"));
    ShowPhoto(shown ? Text::trimmed(field("学业水平测试副号")) : QString());
}

void TFormJY_CSBMB::ShowPhoto(const QString& subNumber) {
    QPixmap photo;
    const QString path = PhotoStore::find(StationFolder::photoFolder(), subNumber);
    if (!path.isEmpty() && photo.load(path)) {
        ui->Label5->hide();
        ui->Image1->setPixmap(photo.scaled(ui->Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    } else {
        ui->Image1->clear();
        ui->Label5->show();
    }
}

// --- the checks

void TFormJY_CSBMB::Button3Click() {
    if (running_) // a click let through while a check yields
        return;
    running_ = true;
    // The controls that would start another action wait until the run ends.
    const QList<QWidget*> paused{ui->GroupBox1, ui->GroupBox2, ui->DBGrid1};
    for (QWidget* w : paused)
        w->setEnabled(false);
    ui->Memo1->setReadOnly(true);
    struct Resume {
        TFormJY_CSBMB* w;
        QList<QWidget*> paused;
        ~Resume() {
            for (QWidget* c : paused)
                c->setEnabled(true);
            w->ui->Memo1->setReadOnly(false);
            w->running_ = false;
        }
    } resume{this, paused};

    ui->Memo1->clear();
    QStringList pending;
    auto flush = [&] {
        if (!pending.isEmpty())
            ui->Memo1->appendPlainText(pending.join(QLatin1Char('\n')));
        pending.clear();
    };
    QElapsedTimer sinceYield;
    sinceYield.start();
    auto yield = [&] {
        if (sinceYield.elapsed() < YieldMs)
            return;
        flush();
        Windows::processPendingMessages();
        sinceYield.restart();
    };

    std::vector<Check> checks;
    const std::pair<QCheckBox*, Check> boxes[] = {
        {ui->CheckBox1, Check::GenderDigit},       {ui->CheckBox3, Check::IdNumbers},
        {ui->JY_CHQK, Check::Duplicates},          {ui->CheckBox8, Check::NameSpaces},
        {ui->CheckBox7, Check::TestNumberLength},  {ui->CheckBox4, Check::SequenceGaps},
        {ui->CheckBox9, Check::IdCheckCharacter},
    };
    for (const auto& [box, check] : boxes)
        if (box->isChecked())
            checks.push_back(check);

    RegistrationChecks::Run run(StationFolder::registrationDb(), [&](const QString& line) { pending << line; }, yield);
    try {
        run.runAll(checks);
    } catch (...) {
        flush(); // the lines written before the failure stay in the report
        throw;
    }
    flush();
}

QStringList TFormJY_CSBMB::reportLines() const {
    QStringList lines;
    const QTextDocument* document = ui->Memo1->document();
    if (document->isEmpty())
        return lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

void TFormJY_CSBMB::Button4Click() {
    const QString path = Dialogs::current().saveFile(QStringLiteral("文本文件(*.txt)|*.txt"), QStringLiteral("txt"),
                                                     QString());
    if (path.isEmpty())
        return;
    RegistrationChecks::saveReport(path, reportLines());
}
