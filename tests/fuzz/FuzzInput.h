#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// Support for the fuzz targets: readers that take a path get the input as
// a file of this process.
namespace FuzzInput {

// Writes the input to this process's scratch file with the extension
// `suffix` (the readers may look at it), in /dev/shm when there is one, and
// returns the file's path.
QString asFile(const uint8_t* data, size_t size, const char* suffix);

// The input as bytes in memory, for readers that take them.
QByteArray bytes(const uint8_t* data, size_t size);

// A zip package (.xlsx, .ods) built from the input, so that the fuzzer works
// on the parts' XML rather than on compressed bytes and checksums. The
// input is a list of parts, each its name, a line break, and its content,
// ended by a NUL byte (which no XML part holds): for example
//   "mimetype\napplication/vnd.oasis.opendocument.spreadsheet\0content.xml\n<...>"
// The parts are stored uncompressed, in the input's order, with correct
// checksums.
QByteArray zipOfParts(const uint8_t* data, size_t size);

} // namespace FuzzInput
