#include "Unitdata.h"

TData::TData(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("Data")); }
