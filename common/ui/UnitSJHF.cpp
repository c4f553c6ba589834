#include "UnitSJHF.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "Query.h"
#include "ui_UnitSJHF.h"

#include <QApplication>
#include <QHeaderView>
#include <QScopeGuard>
#include <memory>

namespace {

QString sizeText(qint64 bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString timeText(const QDateTime& time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

} // namespace

TFormSJHF::TFormSJHF(std::function<QString()> database, bool protectedForm, QWidget* parent)
    : DeskDialog(parent), ui(new Ui::TFormSJHF), database_(std::move(database)), protectedForm_(protectedForm) {
    setupUi(ui);
    setObjectName(QStringLiteral("FormSJHF"));
    ui->ListView1->header()->resizeSection(0, 170);
    ui->ListView1->header()->resizeSection(1, 180);
    ui->ListView1->header()->resizeSection(2, 90);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJHF::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormSJHF::Button2Click);
}

TFormSJHF::~TFormSJHF() { delete ui; }

SafetyCopy::Store TFormSJHF::store() const {
    SafetyCopy::Store store = SafetyCopy::storeOf(database_());
    store.protectedForm = protectedForm_;
    return store;
}

void TFormSJHF::FormShow() { listCopies(); }

void TFormSJHF::listCopies() {
    ui->ListView1->clear();
    copies_ = SafetyCopy::list(store());
    for (const SafetyCopy::Copy& copy : std::as_const(copies_)) {
        auto* item = new QTreeWidgetItem(ui->ListView1);
        item->setText(0, timeText(copy.time));
        item->setText(1, copy.operation);
        item->setText(2, copy.students >= 0 ? QString::number(copy.students) : QString());
        item->setText(3, sizeText(copy.size));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!copies_.isEmpty())
        ui->ListView1->setCurrentItem(ui->ListView1->topLevelItem(0));
}

void TFormSJHF::Button1Click() {
    const int row = ui->ListView1->currentItem() ? ui->ListView1->indexOfTopLevelItem(ui->ListView1->currentItem()) : -1;
    if (row < 0 || row >= copies_.size()) {
        Dialogs::current().message(QStringLiteral("请先选择要恢复的数据副本！"));
        return;
    }
    const SafetyCopy::Copy copy = copies_[row];
    const QString when = QStringLiteral("%1“%2”").arg(timeText(copy.time), copy.operation);
    if (Dialogs::current().askYesNoCancel(
            QStringLiteral("确实要把数据恢复到%1之前的状态吗？\n现在的数据会先另存为一份副本，恢复之后仍可以恢复回来。").arg(when),
            QStringLiteral("确认信息")) != Dialogs::Answer::Yes)
        return;

    const SafetyCopy::Store target = store();
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto done = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        try {
            SafetyCopy::restore(target, copy);
        } catch (...) {
            listCopies(); // a copy of the current state may have been taken
            throw;
        }
        // Every list the windows show is read again from the restored file.
        std::unique_ptr<FileProtection::Lift> lifted;
        if (protectedForm_)
            lifted = std::make_unique<FileProtection::Lift>(target.database);
        Query::reopenAll(target.database);
    }
    listCopies();
    Dialogs::current().message(
        QStringLiteral("数据恢复成功！数据已恢复到%1之前的状态，恢复前的数据已另存为一份副本。").arg(when));
}

void TFormSJHF::Button2Click() { close(); }
