#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// dBase tables (.dbf) from elsewhere, read-only through shapelib. Texts are
// taken as GB18030 bytes, whatever code page the file declares, as the
// schools' programs write them.
namespace DbaseFile {

struct Table {
    QStringList columns; // field names, in the file's order
    QVector<QVector<QVariant>> rows; // records in stored order, deleted ones left out
};

// Reads a whole table. Character fields are QString without their padding;
// numeric fields qlonglong when they have no decimals (and fit), double
// otherwise; logical fields bool; date fields QDate. A blank field (and a
// numeric one of asterisks) is a null QVariant. A missing, unreadable or
// damaged file throws DbError with a Chinese message naming it.
Table read(const QString& path);

} // namespace DbaseFile
