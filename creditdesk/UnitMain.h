#pragma once

#include <QMainWindow>

// The main window of the credit station.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
};
