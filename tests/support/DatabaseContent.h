#pragma once

#include <QByteArray>
#include <QString>

// Everything a database file holds, as one text to compare: every table
// (the engine's own sequence table included) with every row in row-number
// order, each value with its type, bytes in hex. Two files with equal
// content have the same rows under the same 序号 and the same photographs.
// A file in the credit station's protected form is read from a private
// copy. Empty when the file cannot be read.
QByteArray databaseContent(const QString& path);
