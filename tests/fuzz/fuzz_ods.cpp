// An OpenDocument spreadsheet (.ods) from its parts: the package is made from the
// input's XML parts (FuzzInput::zipOfParts), then read as the import reads
// a file.
#include "DeskError.h"
#include "FuzzInput.h"
#include "SheetCells.h"
#include "SheetReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        readCells(SheetReader::read(FuzzInput::zipOfParts(data, size), QStringLiteral("fuzz.ods")));
    } catch (const DeskError&) {
    }
    return 0;
}
