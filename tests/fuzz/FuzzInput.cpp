#include "FuzzInput.h"
#include "StoredZip.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <glib.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// libgsf warns on stderr about every damaged entry of a package or compound
// file; thousands of lines a second would only slow the fuzzer down.
void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
const bool quietLibraries = (g_log_set_default_handler(quiet, nullptr), true);

} // namespace

namespace FuzzInput {

// A folder in memory where there is one: the readers' files (and the
// settings file's rewrites, which are forced to the disk) cost no disk time.
QString scratchFolder() {
    static const QString folder = ::access("/dev/shm", W_OK | X_OK) == 0 ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return folder;
}

QString asFile(const uint8_t* data, size_t size, const char* suffix) {
    const QString path =
        scratchFolder() + QStringLiteral("/desk-fuzz-%1.%2").arg(::getpid()).arg(QLatin1String(suffix));
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort(); // no input without its file: nothing would be tested
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            std::abort();
        done += size_t(n);
    }
    ::close(fd);
    return path;
}

QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

QByteArray zipOfParts(const uint8_t* data, size_t size) {
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<QPair<QByteArray, QByteArray>> parts;
    for (const QByteArray& piece : input.split('\0')) {
        const qsizetype newline = piece.indexOf('\n');
        const QByteArray name = newline < 0 ? piece : piece.left(newline);
        if (!name.isEmpty() && name.size() <= 0xFFFF && parts.size() < 0xFFFF)
            parts.append({name, newline < 0 ? QByteArray() : piece.mid(newline + 1)});
    }
    return StoredZip::make(parts);
}

} // namespace FuzzInput
