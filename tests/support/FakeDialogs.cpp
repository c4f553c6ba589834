#include "FakeDialogs.h"

FakeDialogs::FakeDialogs() { Dialogs::install(this); }

FakeDialogs::~FakeDialogs() { Dialogs::install(nullptr); }

QStringList FakeDialogs::texts() const {
    QStringList list;
    for (const Shown& s : shown)
        list << s.text;
    return list;
}

QStringList FakeDialogs::texts(const QString& kind) const {
    QStringList list;
    for (const Shown& s : shown) {
        if (s.kind == kind)
            list << s.text;
    }
    return list;
}

void FakeDialogs::message(const QString& text) { shown.append({QStringLiteral("message"), text, {}, {}}); }

void FakeDialogs::messageBox(const QString& text, const QString& caption, Icon) {
    shown.append({QStringLiteral("box"), text, caption, {}});
}

Dialogs::Answer FakeDialogs::askYesNoCancel(const QString& text, const QString& caption) {
    shown.append({QStringLiteral("ask"), text, caption, {}});
    return answers.isEmpty() ? Answer::Cancel : answers.dequeue();
}

bool FakeDialogs::confirm(const QString& text) {
    shown.append({QStringLiteral("confirm"), text, {}, {}});
    return confirmations.isEmpty() ? false : confirmations.dequeue();
}

void FakeDialogs::error(const QString& text) { shown.append({QStringLiteral("error"), text, {}, {}}); }

QString FakeDialogs::openFile(const QString& filter, const QString& initialPath) {
    shown.append({QStringLiteral("open"), initialPath, filter, {}});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakeDialogs::saveFile(const QString& filter, const QString& defaultExtension, const QString& initialName) {
    shown.append({QStringLiteral("save"), initialName, filter, defaultExtension + QLatin1Char('|') + initialName});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakeDialogs::chooseFolder(const QString& title) {
    shown.append({QStringLiteral("folder"), title, title, {}});
    return folders.isEmpty() ? QString() : folders.dequeue();
}
