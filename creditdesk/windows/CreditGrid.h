#pragma once

#include "UnitSJLR.h"

// Where a student's cells stand in the batch-entry grid of TFormSJLR.
namespace CreditGrid {

// Offsets of a student's cells within its side.
constexpr int subColumn = 0, nameColumn = 1, requiredColumn = 3, electiveColumn = 4, totalColumn = 5;

inline bool isRequiredColumn(int column) {
    return column % TFormSJLR::SideColumns == requiredColumn;
}
inline bool isElectiveColumn(int column) {
    return column % TFormSJLR::SideColumns == electiveColumn;
}
inline bool isCreditColumn(int column) {
    return column >= 0 && (isRequiredColumn(column) || isElectiveColumn(column));
}
// The first column of the side that holds `column`.
inline int sideOf(int column) {
    return column - column % TFormSJLR::SideColumns;
}

// Where position k (1-40) of a page stands: the first column of its side
// and its grid row.
struct Place {
    int side;
    int row;
};
inline Place placeOf(int position) {
    const int index = position - 1;
    return {index / TFormSJLR::SideRows * TFormSJLR::SideColumns, index % TFormSJLR::SideRows + 1};
}

} // namespace CreditGrid
