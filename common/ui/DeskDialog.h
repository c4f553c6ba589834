#pragma once

#include <QDialog>
#include <QPointer>
#include <QPushButton>

class QLineEdit;

// The base of every window of both stations (the main windows excepted). It
// gives the windows the manners of the framework the stations were first
// written for, wherever Qt's defaults differ:
//
//  - Esc does not close the window; only the window's own buttons, handlers
//    and title-bar close button do.
//  - Enter presses no button unless the window names one with
//    setDefaultButton(). Enter on a button that has the focus presses that
//    button, as Space does.
//  - FormShow() runs, inside the error boundary, each time the program shows
//    the window; never on a spontaneous show (the window manager restoring a
//    minimised window).
//  - A box's maxLength (as declared in the .ui file) limits typing only:
//    typed, pasted or dropped text that would make the box longer than the
//    limit is refused, while text the program sets is kept whole. The limit
//    counts GB18030 bytes (a Chinese character counts two).
//  - A drop-down never adds typed text as a new item.
//
// Using it: derive from DeskDialog, call setupUi(ui) instead of
// ui->setupUi(this), and override FormShow() for the show handler. A window
// that builds controls in code calls applyManners() once they exist; the
// manners are applied again at every show, so controls added later are
// covered from the next show on.
class DeskDialog : public QDialog {
    Q_OBJECT
public:
    explicit DeskDialog(QWidget* parent = nullptr);

    // The show handler; the default does nothing.
    virtual void FormShow();

    // Makes `button` the one button that Enter in any control of the window
    // presses; nullptr for none (the default).
    void setDefaultButton(QPushButton* button);
    QPushButton* defaultButton() const { return default_; }

    // The typing limit of `box` in GB18030 bytes (0: none). Window code that
    // changes a limit after setupUi uses this rather than setMaxLength, which
    // would cut text the program sets until the next show.
    static void setTypingLimit(QLineEdit* box, int limit);
    static int typingLimit(const QLineEdit* box);

protected:
    // Builds the window from its .ui form, then applies the manners.
    template <typename Form> void setupUi(Form* form) {
        form->setupUi(this);
        applyManners();
    }

    // Gives every control of the window the manners above. Repeating it is
    // harmless.
    void applyManners();

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QPushButton> default_;
    bool mannersApplied_ = false;
};
