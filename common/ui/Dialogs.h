#pragma once

#include <QString>

// Every message box, question, error dialog and file or folder chooser of
// the stations goes through this seam. The real implementation shows Qt
// dialogs; tests install a fake that records and answers.
class Dialogs {
public:
    enum class Answer { Yes, No, Cancel };
    enum class Icon { None, Information, Warning, Error };

    virtual ~Dialogs() = default;

    // A plain message box with an OK button, captioned with the program's name.
    virtual void message(const QString& text) = 0;
    // A message box with its own caption and icon.
    virtual void messageBox(const QString& text, const QString& caption, Icon icon) = 0;
    // A question with Yes, No and Cancel; closing the box answers Cancel.
    virtual Answer askYesNoCancel(const QString& text, const QString& caption) = 0;
    // An OK/Cancel confirmation (used before deleting a record in a grid).
    virtual bool confirm(const QString& text) = 0;
    // The standard error dialog every handler's failure ends in.
    virtual void error(const QString& text) = 0;

    // File choosers. Filters are written "描述|*.mdb|描述2|*.xls;*.xlsx".
    // Each returns the chosen path, or an empty text when cancelled.
    virtual QString openFile(const QString& filter, const QString& initialPath) = 0;
    virtual QString saveFile(const QString& filter, const QString& defaultExtension,
                             const QString& initialName) = 0;
    virtual QString chooseFolder(const QString& title) = 0;

    // The dialogs in use. install(nullptr) goes back to the real ones; the
    // caller keeps ownership of what it installs.
    static Dialogs& current();
    static void install(Dialogs* dialogs);

    // The caption of plain message boxes and of the error dialog.
    static void setProgramCaption(const QString& caption);
    static QString programCaption();

    // "描述|*.mdb|..." in the form Qt's file dialogs take ("描述 (*.mdb);;...").
    static QString qtFilter(const QString& filter);
};

// The real dialogs on screen.
class ScreenDialogs : public Dialogs {
public:
    void message(const QString& text) override;
    void messageBox(const QString& text, const QString& caption, Icon icon) override;
    Answer askYesNoCancel(const QString& text, const QString& caption) override;
    bool confirm(const QString& text) override;
    void error(const QString& text) override;
    QString openFile(const QString& filter, const QString& initialPath) override;
    QString saveFile(const QString& filter, const QString& defaultExtension, const QString& initialName) override;
    QString chooseFolder(const QString& title) override;
};
