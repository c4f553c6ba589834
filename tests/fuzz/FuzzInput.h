#pragma once

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

} // namespace FuzzInput
