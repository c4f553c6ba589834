#include "DeskDialog.h"
#include "ErrorBoundary.h"
#include "Text.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QValidator>

namespace {

// QLineEdit's own maxLength when nothing limits the box.
constexpr int unlimitedLength = 32767;

// The typing limit of one box. It refuses an edit by the user that makes the
// text longer than the limit (and longer than it was: deleting from a longer
// text the program set is always allowed); text the program sets passes
// whole. A validator the box already had keeps its say after the limit.
class TypingLimit : public QValidator {
public:
    TypingLimit(QLineEdit* box, int limit, const QValidator* inner)
        : QValidator(box), box_(box), limit_(limit), inner_(inner), before_(Gb18030::byteLength(box->text())) {
        // The length before an edit: the validator sees the edited text
        // before the box announces it.
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString& text) { before_ = Gb18030::byteLength(text); });
    }

    int limit() const { return limit_; }
    const QValidator* inner() const { return inner_; }

    State validate(QString& input, int& pos) const override {
        // setText clears the box's undo history before the new text is
        // validated, while every edit by the user leaves a step to undo: so
        // only the user's edits are held to the limit.
        if (box_->isUndoAvailable()) {
            const int length = Gb18030::byteLength(input);
            if (length > limit_ && length > before_)
                return Invalid;
        }
        return inner_ ? inner_->validate(input, pos) : Acceptable;
    }

    void fixup(QString& input) const override {
        if (inner_)
            inner_->fixup(input);
    }

private:
    QLineEdit* box_;
    int limit_;
    QPointer<const QValidator> inner_;
    int before_;
};

const TypingLimit* typingLimitOf(const QLineEdit* box) { return dynamic_cast<const TypingLimit*>(box->validator()); }

bool isEnterKey(const QKeyEvent* key) {
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

DeskDialog::DeskDialog(QWidget* parent) : QDialog(parent) {}

void DeskDialog::FormShow() {}

void DeskDialog::setTypingLimit(QLineEdit* box, int limit) {
    const TypingLimit* current = typingLimitOf(box);
    const QValidator* inner = current ? current->inner() : box->validator();
    box->setMaxLength(unlimitedLength); // Qt would cut text set by the program
    if (current) {
        box->setValidator(inner);
        delete current;
    }
    if (limit > 0)
        box->setValidator(new TypingLimit(box, limit, inner));
}

int DeskDialog::typingLimit(const QLineEdit* box) {
    const TypingLimit* current = typingLimitOf(box);
    return current ? current->limit() : 0;
}

void DeskDialog::setDefaultButton(QPushButton* button) {
    default_ = button;
    for (QPushButton* b : findChildren<QPushButton*>()) {
        if (b->window() == this) {
            b->setAutoDefault(false);
            b->setDefault(b == button);
        }
    }
}

void DeskDialog::applyManners() {
    mannersApplied_ = true;
    // Controls of windows owned by this one have manners of their own.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->window() != this)
            continue;
        button->setAutoDefault(false);
        button->setDefault(button == default_);
        button->installEventFilter(this);
    }
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        if (box->window() == this && box->maxLength() < unlimitedLength)
            setTypingLimit(box, box->maxLength());
    }
    for (QComboBox* box : findChildren<QComboBox*>()) {
        if (box->window() == this)
            box->setInsertPolicy(QComboBox::NoInsert);
    }
}

void DeskDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (!mannersApplied_)
        qWarning("%s: shown before setupUi(ui) or applyManners()", metaObject()->className());
    applyManners();
    ErrorBoundary::run([this] { FormShow(); });
}

void DeskDialog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept(); // Esc closes nothing
        return;
    }
    QDialog::keyPressEvent(event);
}

bool DeskDialog::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a focused button presses it, like Space. A held key does not
    // press the button the first Enter moved the focus to.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && isEnterKey(key)) {
            if (!key->isAutoRepeat() && button->isEnabled())
                button->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
