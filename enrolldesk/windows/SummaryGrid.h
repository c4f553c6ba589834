#pragma once

#include "Summaries.h"

#include <QStringList>
#include <QVector>

class QTableWidget;

// The grid both summary windows show their table in.
namespace SummaryGrid {

// Sets up a summary grid: one column per heading with the given widths, the
// headings bold and centred in the fixed heading row. Cells are text that
// the user cannot edit. Rows already in the grid stay.
void setUp(QTableWidget* grid, const QStringList& headings, const QVector<int>& widths);

// Puts `table` into `grid` (its row count becomes the number of units) and
// then raises the table's failure, if any, with the rows before it shown.
void show(QTableWidget* grid, const Summaries::Table& table);

} // namespace SummaryGrid
