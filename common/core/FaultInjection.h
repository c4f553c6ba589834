#pragma once

#include "FileOps.h"

#include <QSet>
#include <QString>
#include <QStringList>

// Faults on demand, for tests of what the stations do when the disk fails
// them: a full disk, a short write, a failing fsync or close, a file that
// cannot be replaced, a crash in the middle of an operation. Nothing here is
// active unless a test switches it on.
namespace FaultInjection {

// --- the database engine's writes
//
// setWriteBudget() makes every database connection opened afterwards write
// through a layer over the engine's own file access that refuses writes
// ("database or disk is full") once `bytes` bytes have been written in
// total to files whose path contains `pathPart` (every file when empty).
// The write that crosses the budget writes what still fits, as a full disk
// does. clearWriteBudget() lifts the limit and lets new connections use the
// engine's own file access again.
void setWriteBudget(qint64 bytes, const QString& pathPart = QString());
void clearWriteBudget();
// Bytes written to counted files since the budget was set.
qint64 bytesWritten();

// Sets a write budget for as long as it lives.
class WriteBudget {
public:
    explicit WriteBudget(qint64 bytes, const QString& pathPart = QString()) { setWriteBudget(bytes, pathPart); }
    ~WriteBudget() { clearWriteBudget(); }
    WriteBudget(const WriteBudget&) = delete;
    WriteBudget& operator=(const WriteBudget&) = delete;
};

// --- the file seam (FileOps)

// What a FaultyFiles layer was told to do to the operations passing it.
struct Faults {
    qint64 diskSpace = -1;   // bytes the disk still takes, then "disk full" (-1: no limit)
    bool shortWrites = false; // a write of more than 4 KiB takes only half
    bool failSync = false;   // fsync fails (an I/O error)
    bool failClose = false;  // close fails (an I/O error) after releasing the file
    QString refuseReplacing; // renaming onto a path ending in this is refused (EPERM)
    int crashAt = -1;        // the operation with this number (from 0) stops the run
};

// Thrown where a crash was asked for: the program "dies" there. It is no
// DeskError, so no cleanup meant for errors runs on its way out.
struct SimulatedCrash {
    QString operation;
};

// A FileOps that applies Faults, installed for as long as it lives. Every
// operation counts and is logged ("write <name> <bytes>", "rename <from>
// <to>" ...), so a test can first run cleanly to count the operations and
// then crash at each of them.
class FaultyFiles : public FileOps {
public:
    FaultyFiles();
    ~FaultyFiles() override;

    Faults faults;
    QStringList log;
    int operations() const { return count_; }

    int create(const QString& path) override;
    qint64 write(int fd, const char* data, qint64 size, const QString& path) override;
    void sync(int fd, const QString& path) override;
    void close(int fd, const QString& path) override;
    void rename(const QString& from, const QString& to) override;
    void remove(const QString& path) override;
    void syncFolder(const QString& folder) override;

private:
    void step(const QString& operation);

    int count_ = 0;
    QSet<int> open_; // descriptors a simulated crash left open
};

} // namespace FaultInjection
