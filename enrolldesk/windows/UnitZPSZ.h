#pragma once

#include "DeskDialog.h"

#include <QString>

namespace Ui {
class TFormZPSZ;
}

// The size of the stored photographs, kept in setup.ini section "picSize".
namespace PhotoSize {

constexpr int DefaultWidth = 168;
constexpr int DefaultHeight = 240;
// The scaling of a capture divides by the size - 1, so a photo is at least
// 2 pixels in each direction.
constexpr int Minimum = 2;

struct Size {
    int width = DefaultWidth;
    int height = DefaultHeight;
};

// The size the photo window starts with: keys "width" and "Height" of
// section "picSize" (names compare without case), defaults 168 x 240.
Size readSetup(const QString& setupIni);

// The photo window's size label: at start-up "168 × 240"; after a change
// in the settings dialog "200 ×280" (no blank after the sign).
QString startCaption(Size size);
QString changedCaption(Size size);

} // namespace PhotoSize

// What the settings dialog reads and changes in the photo window.
class PhotoSizeTarget {
public:
    virtual ~PhotoSizeTarget() = default;

    virtual QString appDir() const = 0;                        // AppDir, with a trailing '/'
    virtual void setPhotoSize(int width, int height) = 0;      // PhotoWidth, PhotoHeight
    virtual void ResizePreview(int width, int height) = 0;     // the preview panel
    virtual void setPhotoSizeCaption(const QString& text) = 0; // Label7
};

// Photo size settings, opened modally from the photo window. A new size is
// in force at once for the photo window and is stored in setup.ini for the
// next start. The boxes keep what was typed last between openings.
class TFormZPSZ : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormZPSZ(QWidget* parent = nullptr);
    ~TFormZPSZ() override;

    // The photo window the dialog works on. Without one, 确定 only stores
    // the size in setup.ini of the station folder.
    void setPhotoWindow(PhotoSizeTarget* target) { target_ = target; }
    PhotoSizeTarget* photoWindow() const { return target_; }

    void Button1Click(); // 确定
    void Button2Click(); // 关闭

private:
    Ui::TFormZPSZ* ui;
    PhotoSizeTarget* target_ = nullptr;
};
