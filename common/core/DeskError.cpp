#include "DeskError.h"

DeskError::DeskError(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
