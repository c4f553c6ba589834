#include "UnitZPSZ.h"
#include "DeskError.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "Profile.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitZPSZ.h"

#include <limits>

namespace {

const QString SetupSection = QStringLiteral("picSize");

// A box's trimmed text as a 32-bit integer; anything else is the standard
// conversion error.
int toInt(const QString& text) {
    const QString t = Text::trimmed(text);
    const long long value = Text::toInteger(t);
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw ConversionError(Text::notAnIntegerMessage(t));
    return int(value);
}

} // namespace

namespace PhotoSize {

Size readSetup(const QString& setupIni) {
    const Profile setup(setupIni);
    Size size;
    size.width = setup.readInteger(SetupSection, QStringLiteral("width"), DefaultWidth);
    size.height = setup.readInteger(SetupSection, QStringLiteral("Height"), DefaultHeight);
    return size;
}

QString startCaption(Size size) {
    return QStringLiteral("%1 × %2").arg(size.width).arg(size.height);
}

QString changedCaption(Size size) {
    return QStringLiteral("%1 ×%2").arg(size.width).arg(size.height);
}

} // namespace PhotoSize

TFormZPSZ::TFormZPSZ(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormZPSZ) {
    setupUi(ui);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormZPSZ::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormZPSZ::Button2Click);
}

TFormZPSZ::~TFormZPSZ() {
    delete ui;
}

void TFormZPSZ::Button1Click() {
    // Both boxes are converted before anything changes.
    const PhotoSize::Size size{toInt(ui->Edit1->text()), toInt(ui->Edit2->text())};
    if (size.width < PhotoSize::Minimum || size.height < PhotoSize::Minimum) {
        Dialogs::current().message(QStringLiteral("相片的宽度和高度都不能小于2像素，请重新输入！"));
        (size.width < PhotoSize::Minimum ? ui->Edit1 : ui->Edit2)->setFocus();
        return;
    }

    // The photo window takes the new size at once; should setup.ini then
    // fail, the size still holds until the program ends, while the label
    // keeps its old text and the dialog stays open.
    if (target_) {
        target_->setPhotoSize(size.width, size.height);
        target_->ResizePreview(size.width, size.height);
    }
    const QString folder = target_ ? target_->appDir() : StationFolder::programFolder();
    Profile setup(folder + QStringLiteral("setup.ini"));
    setup.writeInteger(SetupSection, QStringLiteral("width"), size.width);
    setup.writeInteger(SetupSection, QStringLiteral("height"), size.height);
    if (target_)
        target_->setPhotoSizeCaption(PhotoSize::changedCaption(size));
    close();
}

void TFormZPSZ::Button2Click() {
    close();
}
