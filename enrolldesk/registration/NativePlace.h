#pragma once

#include "Query.h"

#include <QString>

// The native place of an administrative division code, from 籍贯对照表 of the
// native-place database: the first row's province name followed directly by
// its district text (both trimmed); empty when the code is not listed.
// `query` runs the lookup and keeps its result.
QString nativePlaceOf(Query& query, const QString& database, const QString& divisionCode);
