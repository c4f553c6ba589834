#pragma once

#include "FileOps.h"

#include <QHash>
#include <QIODevice>
#include <QString>
#include <optional>

// The output of a print into a PDF file. The document is written under a
// temporary name beside its target ("<target>.<process id>.part"), every
// write through FileOps and checked; commit() corrects the file's text maps
// (PdfTextMap), forces it to the disk and only then gives it the target
// name. A print that fails (a full disk) or is never committed leaves no
// partial file behind, and a file at the target stays as it was.
//
// The PDF writer does not look at what its writes return; the first failure
// is kept here, every write after it is refused at once, and failure()
// tells the print as soon as the next page begins. Writes reach the file
// in blocks of 64 KiB.
class PdfFile : public QIODevice {
public:
    enum class Existing {
        Replace, // a file at the target is replaced (a file the user configured)
        Keep,    // the document takes the next free name "<name>-2.pdf", "<name>-3.pdf" ...
    };

    // Creates the temporary file (and the target's folder); throws FileError
    // when it cannot.
    PdfFile(const QString& target, Existing existing);
    ~PdfFile() override;

    // The first write that failed, if any.
    const std::optional<FileError>& failure() const { return failure_; }

    // Finishes the file under its target name, its text maps corrected by
    // `corrections` (PdfTextMap); throws FileError naming the target when it
    // cannot (the temporary file is removed then).
    void commit(const QHash<char32_t, char32_t>& corrections);

    // Writes what is buffered; a failure shows in failure().
    void flush();

    // The file's name: the target, or the free name commit() chose.
    const QString& fileName() const { return target_; }

    // `path` when no file has that name, else the first free name
    // "<path without .pdf>-2.pdf", "-3.pdf" ...
    static QString freeName(const QString& path);

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    void fail(const FileError& error);
    void closeDescriptor();
    void correctTextMaps(const QHash<char32_t, char32_t>& corrections);

    QString target_;
    QString temporary_;
    Existing existing_;
    int fd_ = -1;
    QByteArray buffer_;
    qint64 written_ = 0; // bytes in the temporary file
    bool committed_ = false;
    std::optional<FileError> failure_;
};
