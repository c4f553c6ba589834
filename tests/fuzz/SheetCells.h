#pragma once

#include "Sheet.h"

#include <algorithm>

// What an import reads of a sheet: the rows, each cell's kind, text and value.
inline void readCells(const Sheet& sheet) {
    (void)sheet.sheetName();
    for (int row = 0; row < std::min(sheet.rowCount(), 200); ++row) {
        for (int column = 0; column < 40; ++column) {
            (void)sheet.text(row, column);
            if (sheet.kind(row, column) == Sheet::Kind::Number)
                (void)sheet.number(row, column);
        }
    }
}
