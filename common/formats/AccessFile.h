#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Genuine Access (Jet 3/Jet 4) files from elsewhere, read-only.
namespace AccessFile {

// Whether the file starts with the Access file header ("Standard Jet DB" or
// "Standard ACE DB" at offset 4). Says nothing about the rest of the file.
bool isAccessFile(const QString& path);

// The user tables of the file, in the order the file lists them; the
// engine's own MSys* tables are left out. Throws DbError like readTable.
QStringList tableNames(const QString& path);

struct Table {
    QStringList columns;
    QVector<QVector<QVariant>> rows; // in stored order
};

// Reads a whole table; its name is matched without regard to case, as the
// engine does. Texts are QString, whole numbers qlonglong, other numbers
// double (currency to its four decimals), yes/no bool, dates QDateTime in
// local time, binary and OLE columns QByteArray, missing values a null
// QVariant. Throws DbError for a missing file, a file that is not an Access
// file, a missing table, or a damaged file (one that cannot give every row
// its table records).
Table readTable(const QString& path, const QString& table);

} // namespace AccessFile
