#pragma once

#include <QByteArray>
#include <QString>

// Whole-file writes of the photo capture. Both throw FileError (FileOps.h)
// naming `path` when the file cannot be written.
namespace WholeFile {

// Replaces the contents of `path` (a working file that is rewritten all the
// time and may be lost), in place.
void overwrite(const QString& path, const QByteArray& bytes);

// Replaces `path` in one step: the bytes go to a new file beside it that is
// renamed over `path`, all through FileOps. When any step fails (a full
// disk, a refused write) the old file stays as it was and nothing is left
// beside it. The folder must exist.
//
// The new file is not forced to the disk before the rename: right after
// the working files of a capture that would also flush their 1.4 MB and
// cost some 20 ms per photo. The file system commits the replacement of an
// existing file in order (data before the rename) by itself.
void replaceAtomically(const QString& path, const QByteArray& bytes);

} // namespace WholeFile
