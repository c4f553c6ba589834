#include "UnitSJXG.h"
#include "Database.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "SafetyCopy.h"
#include "StationFolder.h"
#include "TableChanges.h"
#include "TestNumber.h"
#include "Text.h"
#include "Unitdata.h"
#include "ui_UnitSJXG.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

const QString Id = QStringLiteral("学业水平测试号");
const QString RowKey = QStringLiteral("序号");

QString notFound(const QString& testNumber) {
    return QStringLiteral("没有找到学业水平测试号为") + testNumber + QStringLiteral("的记录！");
}

} // namespace

TFormSJXG::TFormSJXG(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormSJXG) {
    setObjectName(QStringLiteral("FormSJXG"));
    setupUi(ui);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJXG::Button1Click);
    connectHandler(ui->Edit2, &QLineEdit::returnPressed, this, &TFormSJXG::Edit2KeyPress);
    connectHandler(ui->Grid, &QAbstractItemView::clicked, this,
                   [](TFormSJXG* w, const QModelIndex& index) { w->GridCellClick(index.row()); });
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormSJXG::Button2Click);
    connectHandler(ui->Button3, &QPushButton::clicked, this, &TFormSJXG::Button3Click);
    connectHandler(ui->Button5, &QPushButton::clicked, this, &TFormSJXG::Button5Click);
    connectHandler(ui->Button4, &QPushButton::clicked, this, &TFormSJXG::Button4Click);
    // The window sees the key presses of its controls first (the arrow keys).
    qApp->installEventFilter(this);
    ErrorBoundary::run([this] { FormCreate(); });
}

TFormSJXG::~TFormSJXG() {
    qApp->removeEventFilter(this);
    delete ui;
}

void TFormSJXG::setData(TData* data) {
    data_ = data;
    DataSource1 = new DataSource(&data->QR1, QStringLiteral("学生表"), RowKey, this);
    ui->Grid->setDataSource(DataSource1);
    ui->DBNavigator1->setDataSource(DataSource1);
    // A row changed or deleted in the list itself can be undone like the
    // window's own 保存 and 删除.
    DataSource1->setBeforeChange([](DataSource::Change change) {
        SafetyCopy::before(StationFolder::registrationDb(), change == DataSource::Change::Remove
                                                                ? SafetyCopy::Before::recordDelete
                                                                : SafetyCopy::Before::recordChange);
    });
}

Query* TFormSJXG::list() const { return data_ ? &data_->QR1 : nullptr; }

void TFormSJXG::LockFields() {
    for (QLineEdit* field : {ui->Edit3, ui->Edit4, ui->Edit5, ui->Edit6})
        field->setEnabled(false);
    ui->Button3->setEnabled(false);
}

void TFormSJXG::FormCreate() { LockFields(); }

void TFormSJXG::FormShow() { LockFields(); }

// --- the list

void TFormSJXG::ListSchool() {
    Query* q = list();
    if (!q)
        return;
    q->close();
    q->setDatabasePath(StationFolder::registrationDb());
    q->setSql(QStringLiteral("select * from 学生表 where %1=%2 order by %3")
                  .arg(TestNumber::Sql::unitCode(Id),
                       sqlQuote(Text::trimmed(ui->Edit1->text()) + Text::trimmed(ui->Edit2->text()), Id),
                       TestNumber::Sql::canonicalOrder(Id)));
    q->open();
    ui->Label7->setText(QStringLiteral("学生总数：") + QString::number(q->recordCount()));
    DataSource1->first();
}

void TFormSJXG::Button1Click() {
    if (Text::trimmed(ui->Edit1->text()).isEmpty()) {
        Dialogs::current().message(QStringLiteral("县区代码不能为空！"));
        return;
    }
    if (Text::trimmed(ui->Edit2->text()).isEmpty()) {
        Dialogs::current().message(QStringLiteral("学校代码不能为空！"));
        return;
    }
    ListSchool();
    ShowCurrent();
}

void TFormSJXG::Edit2KeyPress() { Button1Click(); }

// Fills the four fields from the current row of the list. The photo window
// may have left its own list in QR1: what that list lacks shows empty.
void TFormSJXG::ShowCurrent() {
    const Query* q = list();
    const int row = DataSource1 ? DataSource1->currentRow() : -1;
    const bool shown = q && q->isOpen() && row >= 0 && row < q->recordCount();
    auto field = [&](const QString& name) {
        return shown && q->hasField(name) ? Query::textOf(q->value(row, q->fieldIndex(name))) : QString();
    };
    ui->Edit3->setText(field(Id));
    ui->Edit4->setText(field(QStringLiteral("姓名")));
    ui->Edit5->setText(field(QStringLiteral("身份证号")));
    ui->Edit6->setText(field(QStringLiteral("籍贯")));
    shownKey_ = currentKey();
}

void TFormSJXG::GridCellClick(int row) {
    if (!DataSource1)
        return;
    DataSource1->setCurrentRow(row);
    ShowCurrent();
}

// --- unlock, save, delete

// The 序号 of the list's current row; null when the list shows no row of
// 学生表 (none listed, or the photo window's list in QR1).
QVariant TFormSJXG::currentKey() const {
    const Query* q = list();
    const int row = DataSource1 ? DataSource1->currentRow() : -1;
    if (!q || !q->isOpen() || row < 0 || row >= q->recordCount() || !q->hasField(RowKey))
        return QVariant();
    const QVariant key = q->value(row, q->fieldIndex(RowKey));
    return Query::isNumber(key) ? key : QVariant();
}

void TFormSJXG::Button2Click() {
    const QCheckBox* boxes[] = {ui->CheckBox1, ui->CheckBox2, ui->CheckBox3, ui->CheckBox4};
    QLineEdit* fields[] = {ui->Edit3, ui->Edit4, ui->Edit5, ui->Edit6};
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        fields[i]->setEnabled(boxes[i]->isChecked());
        any = any || boxes[i]->isChecked();
    }
    if (!any)
        return;
    previous_ = Text::trimmed(ui->Edit3->text());
    ui->Button3->setEnabled(true);
}

void TFormSJXG::Button3Click() {
    const struct {
        const QCheckBox* box;
        const QLineEdit* field;
        QString column;
    } choices[] = {
        {ui->CheckBox1, ui->Edit3, Id},
        {ui->CheckBox2, ui->Edit4, QStringLiteral("姓名")},
        {ui->CheckBox3, ui->Edit5, QStringLiteral("身份证号")},
        {ui->CheckBox4, ui->Edit6, QStringLiteral("籍贯")},
    };
    QString sql = QStringLiteral("update 学生表 set ");
    bool any = false;
    for (const auto& choice : choices) {
        if (!choice.box->isChecked())
            continue;
        sql += choice.column + QLatin1Char('=') + sqlQuote(Text::trimmed(choice.field->text()), choice.column) +
               QLatin1Char(',');
        any = true;
    }
    if (!any) {
        Dialogs::current().message(QStringLiteral("请选择修改内容！"));
        return;
    }
    // The row whose values the fields show is written, and only it, even
    // when another student shares its test number.
    const QString previous = Text::trimmed(previous_);
    const QVariant key = shownKey_;
    if (key.isNull()) {
        Dialogs::current().message(notFound(previous));
        return;
    }
    sql.chop(1);
    SafetyCopy::before(StationFolder::registrationDb(), SafetyCopy::Before::recordChange);
    sql += QStringLiteral(" where %1=%2").arg(RowKey, QString::number(key.toLongLong()));
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(StationFolder::registrationDb());
    ADOQuery1.setSql(sql);
    if (ADOQuery1.execute() == 0) {
        // Nothing written: the fields stay as they are, to be saved again.
        Dialogs::current().message(notFound(previous));
        return;
    }
    TableChanges::announce(StationFolder::registrationDb(), QStringLiteral("学生表"), DataSource1);
    for (QLineEdit* field : {ui->Edit3, ui->Edit4, ui->Edit5, ui->Edit6})
        field->setEnabled(false);
    previous_.clear();
    ui->Button3->setEnabled(false);
    // The list is read again before the message, and stays on the student
    // just saved, whose values the fields keep.
    ListSchool();
    const Query& q = *list();
    const int column = q.fieldIndex(RowKey);
    for (int row = 0; row < q.recordCount(); ++row) {
        if (q.value(row, column) == key) {
            DataSource1->setCurrentRow(row);
            break;
        }
    }
    ui->Grid->viewport()->update();
    Dialogs::current().message(QStringLiteral("更改成功！"));
}

void TFormSJXG::Button5Click() {
    // The row whose values the fields show goes, not every row with its
    // test number.
    const QVariant key = shownKey_;
    int deleted = 0;
    if (!key.isNull()) {
        SafetyCopy::before(StationFolder::registrationDb(), SafetyCopy::Before::recordDelete);
        ADOQuery1.close();
        ADOQuery1.setDatabasePath(StationFolder::registrationDb());
        ADOQuery1.setSql(QStringLiteral("delete from 学生表 where %1=%2").arg(RowKey, QString::number(key.toLongLong())));
        deleted = ADOQuery1.execute();
    }
    if (deleted == 0) {
        Dialogs::current().message(notFound(Text::trimmed(ui->Edit3->text())));
        return;
    }
    // Other lists drop the row; this one keeps showing it until the school
    // is listed again, so a second click cannot take the next student.
    TableChanges::announce(StationFolder::registrationDb(), QStringLiteral("学生表"), DataSource1);
    Dialogs::current().message(QStringLiteral("删除一条信息成功！"));
}

void TFormSJXG::Button4Click() { close(); }

// --- the arrow keys

bool TFormSJXG::AppMessage(int key) {
    if (key != Qt::Key_Down && key != Qt::Key_Up)
        return false;
    // The key is kept from the controls even when moving fails.
    ErrorBoundary::run([&] {
        const Query* q = list();
        if (!DataSource1 || !q || !q->isOpen())
            return;
        if (key == Qt::Key_Down)
            DataSource1->next();
        else
            DataSource1->prior();
        ShowCurrent();
    });
    return true;
}

bool TFormSJXG::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible() && isActiveWindow()) {
        // A key goes to the focused control first (then to its parents when
        // it ignores it): the window acts on that first delivery only.
        QWidget* focus = QApplication::focusWidget();
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == (focus ? focus : this) && widget->window() == this) {
            if (AppMessage(static_cast<QKeyEvent*>(event)->key()))
                return true;
        }
    }
    return DeskDialog::eventFilter(watched, event);
}
