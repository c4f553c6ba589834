#include "FileProtection.h"
#include "DeskError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace FileProtection {

namespace {

const QByteArray sqliteMagic("SQLite format 3\0", 16);
const QByteArray ourMagic("DeskData locked\0", 16);

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Replaces the first 16 bytes of the file with `magic` and waits until the
// disk has them.
void writeMagic(const QString& path, const QByteArray& magic, const QString& action) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) // never truncates
        throw DeskError(
            QStringLiteral("无法%1文件“%2”的保护：%3").arg(action, shown(path), file.errorString()));
    const bool written = file.write(magic) == magic.size() && file.flush() && ::fsync(file.handle()) == 0;
    if (!written)
        throw DeskError(
            QStringLiteral("无法%1文件“%2”的保护：%3").arg(action, shown(path), file.errorString()));
}

} // namespace

QByteArray protectedMagic() {
    return ourMagic;
}

Form formOf(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return Form::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Form::Other;
    const QByteArray head = file.read(16);
    if (head == sqliteMagic)
        return Form::Plain;
    if (head == ourMagic)
        return Form::Protected;
    return Form::Other;
}

Form lift(const QString& path) {
    const Form form = formOf(path);
    if (form == Form::Protected)
        writeMagic(path, sqliteMagic, QStringLiteral("解除"));
    return form;
}

Form protect(const QString& path) {
    const Form form = formOf(path);
    if (form == Form::Plain)
        writeMagic(path, ourMagic, QStringLiteral("恢复"));
    return form;
}

Lift::Lift(QString path, Restore restore) : path_(std::move(path)), restore_(restore), found_(lift(path_)) {}

Lift::~Lift() {
    try {
        restore();
    } catch (...) {
        // A destructor cannot report; the file stays usable in its plain form.
    }
}

void Lift::restore() {
    if (done_)
        return;
    done_ = true;
    const bool ours = found_ == Form::Protected || (found_ == Form::Plain && restore_ == Restore::Protected);
    if (ours)
        protect(path_);
}

} // namespace FileProtection
