#include "UnitSJLR.h"
#include "CreditGrid.h"
#include "ErrorBoundary.h"
#include "Text.h"
#include "ui_UnitSJLR.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>

// The floating editor of TFormSJLR's credit cells, and the keys it takes.

using namespace CreditGrid;

// ------------------------------------------------------------ cell editor

void TFormSJLR::GridSelectCell(int column, int row) {
    if (isCreditColumn(column) && row >= 1)
        openEditor(column, row);
}

void TFormSJLR::openEditor(int column, int row) {
    QTableWidget* grid = ui->Grid;
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, column));
    ui->Edit3->setGeometry(QRect(grid->viewport()->mapTo(ui->Panel1, cell.topLeft()), cell.size()));
    ui->Edit3->setText(Cells(column, row));
    ui->Edit3->show();
    editorOverGrid_ = true;
    ui->Edit3->raise();
    ui->Panel2->raise();
    ui->Edit3->setFocus();
    // What is typed replaces the credit shown: typing 95 over 110 gives 95.
    ui->Edit3->selectAll();
}

void TFormSJLR::commitEditor(bool forceTotal) {
    if (committing_)
        return;
    const QScopedValueRollback<bool> guard(committing_, true);
    QTableWidget* grid = ui->Grid;
    const int column = grid->currentColumn();
    const int row = grid->currentRow() + 1;
    QString text = Text::trimmed(ui->Edit3->text());
    if (text.isEmpty())
        text = QStringLiteral("0");
    if (ui->Edit3->hasFocus())
        grid->setFocus();
    ui->Edit3->hide();
    ui->Edit3->clear();
    editorOverGrid_ = false;
    // Only credit cells take typed text: the editor standing in the bottom
    // row before its first use must not write into a name or a sub-number.
    if (!isCreditColumn(column) || row < 1)
        return;
    setCells(column, row, text);
    const int side = sideOf(column);
    const QString required = Cells(side + requiredColumn, row);
    const QString elective = Cells(side + electiveColumn, row);
    if (forceTotal || (!required.isEmpty() && !elective.isEmpty()))
        setCells(side + totalColumn, row,
                 QString::number(Text::toInteger(required) + Text::toInteger(elective)));
}

void TFormSJLR::moveEditorTo(int column, int row) {
    QTableWidget* grid = ui->Grid;
    // The grid takes the focus first, so that the editor it opens keeps it.
    grid->setFocus();
    if (grid->currentColumn() == column && grid->currentRow() == row - 1)
        openEditor(column, row);
    else
        grid->setCurrentCell(row - 1, column); // opens the editor
}

void TFormSJLR::Edit3KeyPress() {
    QTableWidget* grid = ui->Grid;
    const int column = grid->currentColumn();
    const int row = grid->currentRow() + 1;
    if (isRequiredColumn(column)) {
        commitEditor(false);
        moveEditorTo(column + 1, row);
    } else if (isElectiveColumn(column)) {
        commitEditor(true);
        // The page's last student is typed (position 40, or the last one of
        // a short page): on to 保存 rather than into an empty row.
        const int position = (column < SideColumns ? 0 : SideRows) + row;
        const Place next = placeOf(position + 1);
        if (position == PageSize || Cells(next.side + subColumn, next.row).isEmpty()) {
            ui->Button5->setFocus();
        } else if (row == SideRows) {
            moveEditorTo(SideColumns + requiredColumn, 1); // from the left side's foot to the right's top
        } else {
            moveEditorTo(column - 1, row + 1);
        }
    } else {
        commitEditor(false);
    }
}

void TFormSJLR::Edit3Exit() {
    if (ui->Edit3->isVisible())
        commitEditor(false);
}

bool TFormSJLR::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Grid && event->type() == QEvent::KeyPress) {
        // Typing on a credit cell while the editor is closed (it was left
        // for a button) opens the editor with the typed character in place
        // of the credit, instead of the grid's search for a cell starting
        // with that character.
        auto* key = static_cast<QKeyEvent*>(event);
        const int column = ui->Grid->currentColumn();
        const int row = ui->Grid->currentRow() + 1;
        const bool typed = !key->text().isEmpty() && key->text().front().isPrint() &&
                           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (typed && isCreditColumn(column) && row >= 1) {
            ErrorBoundary::run([&] {
                if (!ui->Edit3->isVisible())
                    openEditor(column, row);
                QKeyEvent copy(QEvent::KeyPress, key->key(), key->modifiers(), key->text());
                QCoreApplication::sendEvent(ui->Edit3, &copy);
            });
            return true;
        }
    }
    if (watched == ui->Edit3 && event->type() == QEvent::FocusOut && !committing_) {
        // A popup (the editor's own menu) or another window taking over
        // leaves the typing where it is.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            ErrorBoundary::run([this] { Edit3Exit(); });
    }
    return DeskDialog::eventFilter(watched, event);
}
