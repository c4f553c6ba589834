#pragma once

class QDialog;
class QWidget;

namespace Windows {

// Shows `window` modally with its top-left corner at (left, top) on the
// screen and only the system menu among its border icons; returns when it
// is closed.
void showModalAt(QDialog* window, int top, int left);

// Shows `window` modally, centred on the screen.
void showModalCentred(QDialog* window);

// Lets pending window messages be processed (repaints during long loops).
void processPendingMessages();

} // namespace Windows
