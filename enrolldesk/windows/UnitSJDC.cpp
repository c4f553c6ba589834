#include "UnitSJDC.h"
#include "DeskError.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "PhotoStore.h"
#include "RegistrationExport.h"
#include "StationFolder.h"
#include "Text.h"
#include "Windows.h"
#include "ui_UnitSJDC.h"

#include <QDir>
#include <QFileInfo>

using RegistrationExport::Kind;

namespace {
const QString dataCaption = QStringLiteral("数据导出");
const QString photoCaption = QStringLiteral("相片导出");
const QString dataBusyCaption = QStringLiteral("数据正在导出中，请稍候......");
const QString photoBusyCaption = QStringLiteral("相片正在导出中，请稍候......");

// At most this many names of photos that were not copied are listed.
constexpr int listedFailures = 20;
// Nothing that failed is reported as exported: the names, and why. One
// reason for all (the same but for the file it names) is said once.
QString failureReport(const PhotoStore::CopyResult& result) {
    QStringList lines;
    lines << QStringLiteral("下列%1个相片文件没有导出（已导出%2个）：").arg(result.failed.size()).arg(result.copied);
    auto kind = [](const PhotoStore::Failure& f) { return QString(f.reason).replace(f.name, QStringLiteral("*")); };
    bool oneReason = true;
    for (const PhotoStore::Failure& f : result.failed)
        oneReason = oneReason && kind(f) == kind(result.failed.first());
    for (int i = 0; i < result.failed.size() && i < listedFailures; ++i) {
        const PhotoStore::Failure& f = result.failed[i];
        lines << (oneReason ? f.name : QStringLiteral("%1：%2").arg(f.name, f.reason));
    }
    if (result.failed.size() > listedFailures)
        lines << QStringLiteral("……等共%1个").arg(result.failed.size());
    if (oneReason)
        lines << QStringLiteral("原因：%1").arg(result.failed.first().reason);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TFormSJDC::Busy {
public:
    Busy(Ui::TFormSJDC* ui, QPushButton* busy, const QString& caption) : ui_(ui), busy_(busy) {
        ui_->Button1->setEnabled(false);
        ui_->Button2->setEnabled(false);
        busy_->setText(caption);
        Windows::processPendingMessages();
    }
    ~Busy() {
        ui_->Button1->setText(dataCaption);
        ui_->Button2->setText(photoCaption);
        ui_->Button1->setEnabled(true);
        ui_->Button2->setEnabled(true);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    Ui::TFormSJDC* ui_;
    QPushButton* busy_;
};

TFormSJDC::TFormSJDC(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormSJDC) {
    setupUi(ui);
    setFixedSize(size());
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJDC::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormSJDC::Button2Click);
}

TFormSJDC::~TFormSJDC() { delete ui; }

void TFormSJDC::showProgress(const QString& text) {
    ui->Label2->setText(text);
    Windows::processPendingMessages();
}

void TFormSJDC::Button1Click() {
    Kind kind;
    if (ui->RadioButton1->isChecked())
        kind = Kind::Current;
    else if (ui->RadioButton2->isChecked())
        kind = Kind::MakeUp;
    else
        return;
    const QString county = Text::trimmed(ui->Edit1->text());
    const QString school = Text::trimmed(ui->Edit2->text());
    const QString target = Dialogs::current().saveFile(QStringLiteral("Microsoft Office Access数据库 (*.mdb)|*.mdb"),
                                                       QStringLiteral("mdb"),
                                                       RegistrationExport::defaultFileName(kind, county, school));
    if (target.isEmpty())
        return; // cancelled: nothing is written

    const Busy busy(ui, ui->Button1, dataBusyCaption);
    const QString what = kind == Kind::Current ? QStringLiteral("学业水平测试报名数据")
                                               : QStringLiteral("学业水平测试补考报名数据");
    try {
        RegistrationExport::writeFile(kind, StationFolder::registrationDb(), target, county, school,
                                      [&](int done, int total) {
                                          showProgress(
                                              QStringLiteral("%1共%2行，已导出%3行！").arg(what).arg(total).arg(done));
                                      });
    } catch (...) {
        ui->Label2->clear(); // nothing of it was kept
        throw;
    }
    Dialogs::current().message(QStringLiteral("数据导出完成！"));
}

void TFormSJDC::Button2Click() {
    const QString store = StationFolder::photoFolder();
    const QVector<PhotoStore::Entry> photos = PhotoStore::list(store);
    if (photos.isEmpty())
        return;
    const QString chosen = Dialogs::current().saveFile(QStringLiteral("*.jpg|*.jpg"), QString(), photos.first().name);
    if (chosen.isEmpty())
        return; // cancelled: nothing is copied
    const QString folder = QFileInfo(chosen).absolutePath();
    if (!QFileInfo(folder).isDir())
        throw DeskError(QStringLiteral("文件夹“%1”不存在，相片没有导出。").arg(QDir::toNativeSeparators(folder)));

    const QString county = Text::trimmed(ui->Edit1->text());
    const QString school = Text::trimmed(ui->Edit2->text());
    QVector<PhotoStore::Entry> selected;
    for (const PhotoStore::Entry& photo : photos)
        if (RegistrationExport::photoInScope(photo.stem, county, school))
            selected << photo;

    const Busy busy(ui, ui->Button2, photoBusyCaption);
    showProgress(QStringLiteral("相片共%1个，已导出0个！").arg(selected.size()));
    const PhotoStore::CopyResult result = PhotoStore::exportTo(selected, store, folder, [&](int done, int total) {
        showProgress(QStringLiteral("相片共%1个，已导出%2个！").arg(total).arg(done));
    });
    if (result.failed.isEmpty()) {
        Dialogs::current().message(QStringLiteral("相片导出成功！"));
        return;
    }
    Dialogs::current().messageBox(failureReport(result), Dialogs::programCaption(), Dialogs::Icon::Warning);
}
