#include "Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

Dialogs* installed = nullptr;
QString caption;

QWidget* owner() { return QApplication::activeWindow(); }

QMessageBox::Icon toQt(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Error:
        return QMessageBox::Critical;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void showBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner());
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

} // namespace

Dialogs& Dialogs::current() {
    static ScreenDialogs screen;
    return installed ? *installed : screen;
}

void Dialogs::install(Dialogs* dialogs) { installed = dialogs; }

void Dialogs::setProgramCaption(const QString& text) { caption = text; }

QString Dialogs::programCaption() { return caption.isEmpty() ? QApplication::applicationName() : caption; }

QString Dialogs::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

void ScreenDialogs::message(const QString& text) { showBox(QMessageBox::NoIcon, programCaption(), text); }

void ScreenDialogs::messageBox(const QString& text, const QString& caption, Icon icon) {
    showBox(toQt(icon), caption, text);
}

Dialogs::Answer ScreenDialogs::askYesNoCancel(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    owner());
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

bool ScreenDialogs::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, programCaption(), text, QMessageBox::Ok | QMessageBox::Cancel, owner());
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    return box.exec() == QMessageBox::Ok;
}

void ScreenDialogs::error(const QString& text) { showBox(QMessageBox::Critical, programCaption(), text); }

QString ScreenDialogs::openFile(const QString& filter, const QString& initialPath) {
    return QFileDialog::getOpenFileName(owner(), QStringLiteral("打开"), initialPath, qtFilter(filter));
}

QString ScreenDialogs::saveFile(const QString& filter, const QString& defaultExtension, const QString& initialName) {
    QFileDialog dialog(owner(), QStringLiteral("另存为"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtFilter(filter));
    dialog.setDefaultSuffix(defaultExtension);
    // The caller decides what an existing file means (an export refuses it).
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!initialName.isEmpty())
        dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString ScreenDialogs::chooseFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(owner(), title, QString(), QFileDialog::ShowDirsOnly);
}
