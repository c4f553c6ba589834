#include "Sheet.h"

namespace {
bool inside(int row, int column) {
    return row >= 0 && row < Sheet::kMaxRows && column >= 0 && column < Sheet::kMaxColumns;
}
} // namespace

QString Sheet::text(int row, int column) const {
    if (!inside(row, column))
        return {};
    const auto it = cells_.constFind(key(row, column));
    return it == cells_.constEnd() ? QString() : it->text;
}

Sheet::Kind Sheet::kind(int row, int column) const {
    if (!inside(row, column))
        return Kind::Text;
    const auto it = cells_.constFind(key(row, column));
    return it == cells_.constEnd() ? Kind::Text : it->kind;
}

double Sheet::number(int row, int column) const {
    if (!inside(row, column))
        return 0;
    const auto it = cells_.constFind(key(row, column));
    return it == cells_.constEnd() || it->kind != Kind::Number ? 0 : it->number;
}

void Sheet::setText(int row, int column, const QString& text) {
    markUsed(row);
    if (text.isEmpty())
        cells_.remove(key(row, column));
    else
        cells_.insert(key(row, column), Cell{text, 0, Kind::Text});
}

void Sheet::setNumber(int row, int column, double value, const QString& shown) {
    markUsed(row);
    cells_.insert(key(row, column), Cell{shown, value, Kind::Number});
}

void Sheet::setUncomputed(int row, int column) {
    markUsed(row);
    cells_.insert(key(row, column), Cell{QString(), 0, Kind::Uncomputed});
}
