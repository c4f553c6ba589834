#include "FaultInjection.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sqlite3.h>
#include <unistd.h>

namespace FaultInjection {

// ---------------------------------------------------------------------------
// The engine's writes: a file layer over the engine's default one.

namespace {

struct Budget {
    std::mutex mutex;
    bool active = false;
    qint64 limit = 0;
    qint64 written = 0;
    QByteArray pathPart; // UTF-8, as the engine names files
};

Budget& budget() {
    static Budget b;
    return b;
}

sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs shimVfs;

struct ShimFile {
    sqlite3_file base;
    bool counted;
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

ShimFile* shim(sqlite3_file* file) { return reinterpret_cast<ShimFile*>(file); }

int shimClose(sqlite3_file* f) { return shim(f)->real()->pMethods->xClose(shim(f)->real()); }
int shimRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
    return shim(f)->real()->pMethods->xRead(shim(f)->real(), buffer, amount, offset);
}

int shimWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    ShimFile* file = shim(f);
    if (file->counted) {
        Budget& b = budget();
        std::lock_guard<std::mutex> lock(b.mutex);
        if (b.active) {
            const qint64 room = std::max<qint64>(0, b.limit - b.written);
            if (amount > room) {
                // What still fits is written, as on a full disk.
                if (room > 0)
                    file->real()->pMethods->xWrite(file->real(), data, int(room), offset);
                b.written += room;
                return SQLITE_FULL;
            }
            b.written += amount;
        }
    }
    return file->real()->pMethods->xWrite(file->real(), data, amount, offset);
}

int shimTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return shim(f)->real()->pMethods->xTruncate(shim(f)->real(), size);
}
int shimSync(sqlite3_file* f, int flags) { return shim(f)->real()->pMethods->xSync(shim(f)->real(), flags); }
int shimFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return shim(f)->real()->pMethods->xFileSize(shim(f)->real(), size);
}
int shimLock(sqlite3_file* f, int level) { return shim(f)->real()->pMethods->xLock(shim(f)->real(), level); }
int shimUnlock(sqlite3_file* f, int level) { return shim(f)->real()->pMethods->xUnlock(shim(f)->real(), level); }
int shimCheckReservedLock(sqlite3_file* f, int* out) {
    return shim(f)->real()->pMethods->xCheckReservedLock(shim(f)->real(), out);
}
int shimFileControl(sqlite3_file* f, int op, void* arg) {
    return shim(f)->real()->pMethods->xFileControl(shim(f)->real(), op, arg);
}
int shimSectorSize(sqlite3_file* f) { return shim(f)->real()->pMethods->xSectorSize(shim(f)->real()); }
int shimDeviceCharacteristics(sqlite3_file* f) {
    return shim(f)->real()->pMethods->xDeviceCharacteristics(shim(f)->real());
}
int shimShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return shim(f)->real()->pMethods->xShmMap(shim(f)->real(), page, size, extend, out);
}
int shimShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return shim(f)->real()->pMethods->xShmLock(shim(f)->real(), offset, n, flags);
}
void shimShmBarrier(sqlite3_file* f) { shim(f)->real()->pMethods->xShmBarrier(shim(f)->real()); }
int shimShmUnmap(sqlite3_file* f, int deleteFlag) {
    return shim(f)->real()->pMethods->xShmUnmap(shim(f)->real(), deleteFlag);
}
// Memory-mapped pages would bypass xWrite's count; the engine reads through
// xRead instead when none is offered.
int shimFetch(sqlite3_file*, sqlite3_int64, int, void** out) {
    *out = nullptr;
    return SQLITE_OK;
}
int shimUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* page) {
    return shim(f)->real()->pMethods->xUnfetch(shim(f)->real(), offset, page);
}

const sqlite3_io_methods shimMethods = {
    3,
    shimClose,
    shimRead,
    shimWrite,
    shimTruncate,
    shimSync,
    shimFileSize,
    shimLock,
    shimUnlock,
    shimCheckReservedLock,
    shimFileControl,
    shimSectorSize,
    shimDeviceCharacteristics,
    shimShmMap,
    shimShmLock,
    shimShmBarrier,
    shimShmUnmap,
    shimFetch,
    shimUnfetch,
};

int shimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    ShimFile* file = shim(f);
    file->base.pMethods = nullptr;
    const int rc = realVfs->xOpen(realVfs, name, file->real(), flags, outFlags);
    if (rc != SQLITE_OK) {
        // The engine calls xClose only when pMethods is set; the real file
        // may have set its own.
        if (file->real()->pMethods)
            file->real()->pMethods->xClose(file->real());
        return rc;
    }
    {
        Budget& b = budget();
        std::lock_guard<std::mutex> lock(b.mutex);
        file->counted = b.pathPart.isEmpty() || (name && std::strstr(name, b.pathPart.constData()));
    }
    file->base.pMethods = &shimMethods;
    return SQLITE_OK;
}

int shimDelete(sqlite3_vfs*, const char* name, int syncDir) { return realVfs->xDelete(realVfs, name, syncDir); }
int shimAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return realVfs->xAccess(realVfs, name, flags, out);
}
int shimFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return realVfs->xFullPathname(realVfs, name, size, out);
}
void* shimDlOpen(sqlite3_vfs*, const char* name) { return realVfs->xDlOpen(realVfs, name); }
void shimDlError(sqlite3_vfs*, int size, char* out) { realVfs->xDlError(realVfs, size, out); }
void (*shimDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return realVfs->xDlSym(realVfs, handle, symbol);
}
void shimDlClose(sqlite3_vfs*, void* handle) { realVfs->xDlClose(realVfs, handle); }
int shimRandomness(sqlite3_vfs*, int size, char* out) { return realVfs->xRandomness(realVfs, size, out); }
int shimSleep(sqlite3_vfs*, int micro) { return realVfs->xSleep(realVfs, micro); }
int shimCurrentTime(sqlite3_vfs*, double* out) { return realVfs->xCurrentTime(realVfs, out); }
int shimGetLastError(sqlite3_vfs*, int size, char* out) { return realVfs->xGetLastError(realVfs, size, out); }
int shimCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return realVfs->xCurrentTimeInt64(realVfs, out); }

// Registers the layer once, under its own name, over the engine's default.
void ensureShim() {
    if (realVfs)
        return;
    realVfs = sqlite3_vfs_find(nullptr);
    shimVfs = sqlite3_vfs{};
    shimVfs.iVersion = 2;
    shimVfs.szOsFile = int(sizeof(ShimFile)) + realVfs->szOsFile;
    shimVfs.mxPathname = realVfs->mxPathname;
    shimVfs.zName = "desk-faults";
    shimVfs.xOpen = shimOpen;
    shimVfs.xDelete = shimDelete;
    shimVfs.xAccess = shimAccess;
    shimVfs.xFullPathname = shimFullPathname;
    shimVfs.xDlOpen = shimDlOpen;
    shimVfs.xDlError = shimDlError;
    shimVfs.xDlSym = shimDlSym;
    shimVfs.xDlClose = shimDlClose;
    shimVfs.xRandomness = shimRandomness;
    shimVfs.xSleep = shimSleep;
    shimVfs.xCurrentTime = shimCurrentTime;
    shimVfs.xGetLastError = shimGetLastError;
    shimVfs.xCurrentTimeInt64 = shimCurrentTimeInt64;
    sqlite3_vfs_register(&shimVfs, 0);
}

static_assert(sizeof(ShimFile) % 8 == 0, "the engine's file follows ShimFile, aligned");

} // namespace

void setWriteBudget(qint64 bytes, const QString& pathPart) {
    ensureShim();
    {
        Budget& b = budget();
        std::lock_guard<std::mutex> lock(b.mutex);
        b.active = true;
        b.limit = bytes;
        b.written = 0;
        b.pathPart = pathPart.toUtf8();
    }
    sqlite3_vfs_register(&shimVfs, 1);
}

void clearWriteBudget() {
    if (!realVfs)
        return;
    {
        Budget& b = budget();
        std::lock_guard<std::mutex> lock(b.mutex);
        b.active = false;
    }
    // Files opened through the layer keep it until they close; it stays
    // registered and lets every write pass.
    sqlite3_vfs_register(realVfs, 1);
}

qint64 bytesWritten() {
    Budget& b = budget();
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.written;
}

// ---------------------------------------------------------------------------
// The file seam.

FaultyFiles::FaultyFiles() { FileOps::install(this); }

FaultyFiles::~FaultyFiles() {
    FileOps::install(nullptr);
    for (int fd : std::as_const(open_))
        ::close(fd);
}

void FaultyFiles::step(const QString& operation) {
    log << operation;
    if (count_++ == faults.crashAt)
        throw SimulatedCrash{operation};
}

int FaultyFiles::create(const QString& path) {
    step(QStringLiteral("create %1").arg(QFileInfo(path).fileName()));
    const int fd = FileOps::create(path);
    open_.insert(fd);
    return fd;
}

qint64 FaultyFiles::write(int fd, const char* data, qint64 size, const QString& path) {
    qint64 take = size;
    if (faults.shortWrites && take > 4096)
        take /= 2;
    const QString operation = QStringLiteral("write %1 %2").arg(QFileInfo(path).fileName()).arg(size);
    log << operation;
    if (count_++ == faults.crashAt) {
        // Stopped in the middle: part of this write reached the file.
        FileOps::write(fd, data, std::max<qint64>(1, take / 2), path);
        throw SimulatedCrash{operation};
    }
    if (faults.diskSpace >= 0) {
        if (faults.diskSpace == 0)
            throw FileError::fromErrno(QStringLiteral("写入"), path, ENOSPC);
        take = std::min(take, faults.diskSpace);
    }
    const qint64 written = FileOps::write(fd, data, take, path);
    if (faults.diskSpace >= 0)
        faults.diskSpace -= written;
    return written;
}

void FaultyFiles::sync(int fd, const QString& path) {
    step(QStringLiteral("sync %1").arg(QFileInfo(path).fileName()));
    if (faults.failSync)
        throw FileError::fromErrno(QStringLiteral("写入"), path, EIO);
    FileOps::sync(fd, path);
}

void FaultyFiles::close(int fd, const QString& path) {
    step(QStringLiteral("close %1").arg(QFileInfo(path).fileName()));
    open_.remove(fd);
    FileOps::close(fd, path);
    if (faults.failClose)
        throw FileError::fromErrno(QStringLiteral("关闭"), path, EIO);
}

void FaultyFiles::rename(const QString& from, const QString& to) {
    step(QStringLiteral("rename %1 %2").arg(QFileInfo(from).fileName(), QFileInfo(to).fileName()));
    if (!faults.refuseReplacing.isEmpty() && to.endsWith(faults.refuseReplacing))
        throw FileError::fromErrno(QStringLiteral("替换"), to, EPERM);
    FileOps::rename(from, to);
}

void FaultyFiles::remove(const QString& path) {
    step(QStringLiteral("remove %1").arg(QFileInfo(path).fileName()));
    FileOps::remove(path);
}

void FaultyFiles::syncFolder(const QString& folder) {
    step(QStringLiteral("syncFolder"));
    if (faults.failSync)
        throw FileError::fromErrno(QStringLiteral("写入"), folder, EIO);
    FileOps::syncFolder(folder);
}

} // namespace FaultInjection
