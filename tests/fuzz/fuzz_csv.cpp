// A CSV file as text: encoding, separator, quoted fields.
#include "FuzzInput.h"
#include "SheetCells.h"
#include "TextSheet.h"
#include "WorkbookParts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        readCells(TextSheet::readCsv(FuzzInput::bytes(data, size)));
    } catch (const WorkbookParts::Damaged&) {
    }
    return 0;
}
