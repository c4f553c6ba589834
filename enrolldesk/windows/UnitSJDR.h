#pragma once

#include "DeskDialog.h"

#include <QStringList>

namespace Ui {
class TFormSJDR;
}

// Brings registration rows collected elsewhere (a workbook, a dBase table or
// an Access file) into 学生表, and photographs from a folder into the photo
// store.
class TFormSJDR : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormSJDR(QWidget* parent = nullptr);
    ~TFormSJDR() override;

    void FormShow() override;
    void Button1Click(); // 数据库位置:
    void Button4Click(); // 照片库位置:
    void Button2Click(); // 开始导入
    void Button3Click(); // 退出

    // Whether an import is running (the window repaints meanwhile and does
    // not let itself be closed or started again).
    bool importing() const { return importing_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void importData();
    void importPhotos();
    void addLine(const QString& line);
    void showLines();

    Ui::TFormSJDR* ui;
    bool importing_ = false;
    // Lines of a running import not yet in the message list: they go in
    // together whenever the window repaints (one append per line costs more
    // than the row it reports).
    QStringList pendingLines_;
};
