#pragma once

#include <QByteArray>
#include <QString>

// Whole-file writes of the photo capture. Both throw FileError (FileOps.h)
// naming `path` when the file cannot be written.
namespace WholeFile {

// Replaces the contents of `path` (a working file that is rewritten all the
// time and may be lost): truncate and write.
void overwrite(const QString& path, const QByteArray& bytes);

// Replaces `path` in one step: the bytes go to a new file beside it, are
// forced to the disk and renamed over `path`, all through FileOps. When any
// step fails the old file stays as it was. The folder must exist.
void replaceDurably(const QString& path, const QByteArray& bytes);

} // namespace WholeFile
