#include "UnitSJDR.h"
#include "TableChanges.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "PhotoStore.h"
#include "RegistrationImport.h"
#include "SheetReader.h"
#include "StationFolder.h"
#include "Text.h"
#include "Windows.h"
#include "ui_UnitSJDR.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>

namespace {

const QString dbaseKind = QStringLiteral("dbf数据库");
const QString workbookKind = QStringLiteral("excel电子表格");
const QString accessKind = QStringLiteral("Access数据库");
const QString doneMessage = QStringLiteral("数据导入完成！");

// How often a long import lets the window repaint.
constexpr qint64 repaintEveryMs = 50;

QString progressText(int rowCount, int row) {
    return QStringLiteral("学业水平测试报名数据共%1行，正在导入第%2行！").arg(rowCount).arg(row);
}

} // namespace

TFormSJDR::TFormSJDR(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormSJDR) {
    setupUi(ui);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJDR::Button1Click);
    connectHandler(ui->Button4, &QPushButton::clicked, this, &TFormSJDR::Button4Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormSJDR::Button2Click);
    connectHandler(ui->Button3, &QPushButton::clicked, this, &TFormSJDR::Button3Click);
    FormShow(); // the window starts as it is shown
}

TFormSJDR::~TFormSJDR() { delete ui; }

void TFormSJDR::FormShow() {
    ui->ComboBox1->setCurrentText(workbookKind);
    ui->Edit1->clear();
}

void TFormSJDR::Button1Click() {
    const QString kind = ui->ComboBox1->currentText();
    QString filter;
    if (kind == workbookKind)
        filter = SheetReader::chooserFilter();
    else if (kind == dbaseKind)
        filter = QStringLiteral("*.dbf|*.dbf");
    else if (kind == accessKind)
        filter = QStringLiteral("*.mdb|*.mdb");
    else
        return;
    const QString path = Dialogs::current().openFile(filter, QString());
    if (!path.isEmpty())
        ui->Edit1->setText(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

void TFormSJDR::Button4Click() {
    const QString path = Dialogs::current().openFile(QStringLiteral("*.jpg|*.JPG"), QString());
    if (!path.isEmpty())
        ui->Edit2->setText(QDir::toNativeSeparators(QFileInfo(path).absolutePath() + QLatin1Char('/')));
}

void TFormSJDR::Button3Click() { close(); }

void TFormSJDR::closeEvent(QCloseEvent* event) {
    if (importing_)
        event->ignore();
    else
        DeskDialog::closeEvent(event);
}

void TFormSJDR::Button2Click() {
    if (importing_)
        return;
    importing_ = true;
    // What is imported is decided by the click: the choices stay as they are
    // while the window repaints during the import.
    const bool data = ui->RadioButton1->isChecked();
    const bool photos = ui->RadioButton2->isChecked();
    const QList<QWidget*> controls{ui->Button1,      ui->Button2,      ui->Button3,   ui->Button4, ui->RadioButton1,
                                   ui->RadioButton2, ui->ComboBox1,    ui->Edit1,     ui->Edit2};
    for (QWidget* c : controls)
        c->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto done = qScopeGuard([&] {
        QApplication::restoreOverrideCursor();
        for (QWidget* c : controls)
            c->setEnabled(true);
        importing_ = false;
    });
    ui->Memo1->clear();
    if (data)
        importData();
    if (photos)
        importPhotos();
}

void TFormSJDR::addLine(const QString& line) { ui->Memo1->appendPlainText(line); }

void TFormSJDR::showLines() {
    if (pendingLines_.isEmpty())
        return;
    ui->Memo1->appendPlainText(pendingLines_.join(QLatin1Char('\n')));
    pendingLines_.clear();
}

void TFormSJDR::importData() {
    const QString source = Text::trimmed(ui->Edit1->text());
    const QString kind = ui->ComboBox1->currentText();
    const QString database = StationFolder::registrationDb();

    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    int rowCount = 0;
    RegistrationImport::Listener listener;
    listener.started = [&](int count) {
        rowCount = count;
        ui->Label2->setText(progressText(rowCount, 0));
        Windows::processPendingMessages();
    };
    listener.row = [&](int row) { ui->Label2->setText(progressText(rowCount, row)); };
    listener.message = [this](const QString& line) { pendingLines_ << line; };
    // Every line is in the list before any box is shown, also when the
    // import ends in an error.
    const auto flush = qScopeGuard([this] { showLines(); });
    listener.between = [&] {
        if (sinceRepaint.elapsed() >= repaintEveryMs) {
            showLines();
            Windows::processPendingMessages();
            sinceRepaint.restart();
        }
    };

    // The rows an import kept (all, or those before a refused row) are
    // shown by the other windows' lists from now on.
    const auto announce = [&] { TableChanges::announce(database, QStringLiteral("学生表")); };
    try {
        if (kind == dbaseKind)
            RegistrationImport::appendDbase(source, database, listener);
        else if (kind == workbookKind)
            RegistrationImport::importWorkbook(source, database, listener);
        else if (kind == accessKind)
            RegistrationImport::appendAccess(source, database, listener);
        else
            return;
    } catch (...) {
        announce();
        throw;
    }
    announce();
    showLines();
    Windows::processPendingMessages(); // the last row's progress
    Dialogs::current().message(doneMessage);
}

void TFormSJDR::importPhotos() {
    ui->Memo1->clear();
    QString source = Text::trimmed(ui->Edit2->text());
    if (!source.endsWith(QLatin1Char('/')))
        source += QLatin1Char('/');
    addLine(QStringLiteral("正在导入照片..."));
    const PhotoStore::CopyResult result = PhotoStore::importFolder(
        source, StationFolder::photoFolder(), [](int, int) { Windows::processPendingMessages(); });
    // Every file that was not imported is named, with the reason.
    for (const PhotoStore::Failure& failure : result.failed)
        addLine(QStringLiteral("照片“%1”导入失败：%2").arg(failure.name, failure.reason));
    addLine(QStringLiteral("共导入%1张照片。").arg(result.copied));
    addLine(QStringLiteral("所有照片导入完毕！"));
}
