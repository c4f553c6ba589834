#pragma once

#include "DeskDialog.h"
#include "FrameSource.h"
#include "PhotoCapture.h"
#include "Query.h"
#include "UnitZPSZ.h"

#include <QPoint>
#include <QSet>
#include <QString>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class DataSource;
class DbGrid;
class TData;
class VideoWindow;

namespace Ui {
class TFormZPCJ;
}

// The photo window: one passport photograph of every student of a school,
// taken from the camera and stored as photo/<sub-number>.jpg. The student
// list lives in the shared query QR1 of the data module; the window sets its
// database and SQL whenever it loads a list.
class TFormZPCJ : public DeskDialog, public PhotoSizeTarget {
    Q_OBJECT
public:
    explicit TFormZPCJ(QWidget* parent = nullptr);
    ~TFormZPCJ() override;

    // The data module whose QR1 holds the list (created after this window).
    void setData(TData* data);
    // The photo size dialog opened by 设置.
    void setSettingsDialog(TFormZPSZ* dialog) { settings_ = dialog; }

    // The SQL of a student list of a county and school, from 学生表 or, for
    // make-up candidates, 补考表; with a class when `cls` is not empty.
    static QString listSql(bool makeUp, const QString& county, const QString& school, const QString& cls = QString());

    // PhotoSizeTarget
    QString appDir() const override { return AppDir; }
    void setPhotoSize(int width, int height) override;
    void ResizePreview(int width, int height) override;
    void setPhotoSizeCaption(const QString& text) override;

    void FormShow() override;

    // Handlers
    void FormCreate();
    void Edit1Change();
    void Edit2Return();
    void ComboBox4Change();
    void Edit3Return();
    void DBGrid1CellClick(int row);
    void SaveImageClick();
    void NextXSClick();
    void priorXSClick();
    void CheckClick();
    void ChCloseClick();
    void SetupClick();
    void cbsbSelect(int position);
    void Button2Click(); // ↑
    void Button3Click(); // ↓
    void Button4Click(); // →
    void Button5Click(); // ←
    void VideoWindowMouseDown();
    void VideoWindowMouseMove(const QPoint& position);
    void VideoWindowMouseUp();

    // Operations
    void ShowPhoto(const QString& path);
    QString PhotoPath() const;
    void TakePhoto();
    void DrawFrame();
    void StopCamera();

    QString AppDir;
    int PhotoWidth = PhotoSize::DefaultWidth;
    int PhotoHeight = PhotoSize::DefaultHeight;
    QPoint frameCentre() const { return QPoint(FrameCenterX, FrameCenterY); }
    PhotoCapture::FrameRect framingRect() const;
    FrameSource& camera() { return camera_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Ui::TFormZPCJ* ui;
    void buildControls();
    void fillDevices();
    void fillClasses();
    void loadList(const QString& cls);
    bool listOpen() const;
    Query* list() const;
    void NextStudent();
    void PriorStudent();
    void ShowStudentCaption();
    void ShowCurrentSubNumber();
    bool hasCurrentStudent() const;
    // Label8, the box, the photo and the caption after a list was loaded
    // (or failed to load).
    void ShowListStudent();
    void ShowCurrentStudent();
    void afterCapture();
    void tellCamera(const QString& text);
    void deviceChanged(int position);
    // The keyboard shortcuts. `consumed` is set before the action runs, so
    // a key whose action fails is still kept from the controls.
    void AppMessage(int key, bool& consumed);

    TData* data_ = nullptr;
    bool keepPhoto_ = false; // the list moves on after a capture
    DataSource* DataSource1 = nullptr;
    TFormZPSZ* settings_ = nullptr;
    Query ADOQuery1;
    FrameSource camera_;
    int FrameCenterX = 0;
    int FrameCenterY = 0;
    bool Dragging = false;
    bool shortcutsInstalled_ = false;
    QSet<QString> cameraTold_; // what the camera said since its last start
    quint64 starts_ = 0;       // devices started so far

    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QComboBox* ComboBox4;
    DbGrid* DBGrid1;
    QFrame* Panel12;
    QPushButton* ChClose;
    QPlainTextEdit* Memo1;
    QLineEdit* Edit3;
    QLabel* Label7;
    QComboBox* cbsb;
    VideoWindow* VideoWin;
    QFrame* Panel7;
    QFrame* Panel8;
    QLabel* Image1;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label8;
    QPushButton* SaveImage;
    QPushButton* priorXS;
    QPushButton* NextXS;
    QPushButton* Setup;
    QPushButton* Check;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
};
