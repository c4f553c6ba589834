#pragma once

#include "CreditFolder.h"

#include <QDialog>
#include <functional>

class QTimer;

// Runs `action` once `window` is on screen (modal windows block the caller
// until they are closed; this lets a test look at one and close it). The
// watch ends with the action, or when the returned timer is deleted.
QTimer* whenShown(QDialog* window, std::function<void()> action);
