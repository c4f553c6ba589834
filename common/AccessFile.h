#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Genuine Access (Jet 3/Jet 4) files from elsewhere, read-only.
namespace AccessFile {

// Whether the file starts with the Access file header.
bool isAccessFile(const QString& path);

// The user tables of the file.
QStringList tableNames(const QString& path);

struct Table {
    QStringList columns;
    QVector<QVector<QVariant>> rows; // in stored order
};

// Reads a whole table. Texts are QString, whole numbers qlonglong, other
// numbers double, yes/no bool, dates QDateTime, binary columns QByteArray,
// missing values a null QVariant. Throws DbError for a missing file, a file
// that is not an Access file, or a missing table.
Table readTable(const QString& path, const QString& table);

} // namespace AccessFile
