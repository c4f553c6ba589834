#include "SummaryGrid.h"

#include <QFont>
#include <QHeaderView>
#include <QTableWidget>

namespace SummaryGrid {

void setUp(QTableWidget* grid, const QStringList& headings, const QVector<int>& widths) {
    grid->setColumnCount(int(headings.size()));
    grid->setHorizontalHeaderLabels(headings);
    QHeaderView* header = grid->horizontalHeader();
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    for (int c = 0; c < widths.size() && c < headings.size(); ++c)
        grid->setColumnWidth(c, widths[c]);
    grid->verticalHeader()->setVisible(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void show(QTableWidget* grid, const Summaries::Table& table) {
    // Rows the build cannot reach stay empty rather than showing the
    // figures of an earlier build.
    grid->clearContents();
    grid->setRowCount(table.units);
    for (int r = 0; r < table.rows.size(); ++r)
        for (int c = 0; c < table.rows[r].size() && c < grid->columnCount(); ++c)
            grid->setItem(r, c, new QTableWidgetItem(table.rows[r][c]));
    if (table.failure)
        std::rethrow_exception(table.failure);
}

} // namespace SummaryGrid
