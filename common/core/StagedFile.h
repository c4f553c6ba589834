#pragma once

#include <QString>

class DbError;

// A new file that gets its name only when it is complete (an exported
// database handed on to someone else).
//
// The file is written beside its target under "<target>.<process id>.part"
// and moved to the target by commit(). An export that fails, or never gets
// to commit(), removes the temporary file (with its journal) when the object
// goes, so no half-written file is ever left under the target name. The
// target is never replaced: an existing target is refused up front, and
// again by commit() should one appear meanwhile.
//
// Temporary files that an interrupted run left beside the same target are
// removed when a new one is reserved, as long as nobody writes them any
// more (written by this process or by one that has ended) and they hold a
// database or nothing at all. Files of the same name pattern written by
// something else (a download, another station's running export) are left
// alone. Earlier versions wrote "<target>.part"; those count as leftovers too.
class StagedFile {
public:
    // Reserves an empty temporary file for `target`. Throws DeskError when
    // the target exists, its folder is missing or cannot be written.
    explicit StagedFile(const QString& target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // The temporary file to write (absolute path).
    const QString& path() const { return temporary_; }
    const QString& target() const { return target_; }

    // Gives the complete file its target name. Throws DeskError when it
    // cannot (the temporary file is then removed by the destructor).
    void commit();

    // `error` of the engine on the temporary file told as the user knows the
    // file: by the name chosen, never the temporary one.
    DbError namingTarget(const DbError& error) const;

    // "<target>.<process id>.part"
    static QString temporaryName(const QString& target);

private:
    QString target_;
    QString temporary_;
    bool committed_ = false;
};
