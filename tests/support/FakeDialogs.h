#pragma once

#include "Dialogs.h"

#include <QQueue>
#include <QString>
#include <QStringList>
#include <QVector>

// Records every dialog a window shows and answers with scripted replies.
// Installs itself for its lifetime.
class FakeDialogs : public Dialogs {
public:
    struct Shown {
        QString kind; // "message", "box", "ask", "confirm", "error", "open", "save", "folder"
        QString text;
        QString caption; // box and ask: the caption; open/save: the filter; folder: the title
        QString extra;   // save: default extension + "|" + initial name
    };

    FakeDialogs();
    ~FakeDialogs() override;

    // Scripted answers, used in order; when none is left: Cancel, false, "".
    QQueue<Answer> answers;
    QQueue<bool> confirmations;
    QQueue<QString> files;   // for open and save
    QQueue<QString> folders; // for chooseFolder

    QVector<Shown> shown;

    // The texts of everything shown, in order.
    QStringList texts() const;
    // Texts of one kind.
    QStringList texts(const QString& kind) const;
    void clear() { shown.clear(); }

    void message(const QString& text) override;
    void messageBox(const QString& text, const QString& caption, Icon icon) override;
    Answer askYesNoCancel(const QString& text, const QString& caption) override;
    bool confirm(const QString& text) override;
    void error(const QString& text) override;
    QString openFile(const QString& filter, const QString& initialPath) override;
    QString saveFile(const QString& filter, const QString& defaultExtension, const QString& initialName) override;
    QString chooseFolder(const QString& title) override;
};
