#pragma once

#include "Query.h"

#include <QObject>

// The data module: the shared current student list QR1 of the photo window
// and the record correction window. Each of them sets QR1's database and SQL
// whenever it loads a list, so loading in one replaces what the other showed.
class TData : public QObject {
    Q_OBJECT
public:
    explicit TData(QObject* parent = nullptr);

    Query QR1;
};
