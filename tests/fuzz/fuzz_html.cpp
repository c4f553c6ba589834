// An HTML page as a web system hands it out (".xls"): its first table.
#include "FuzzInput.h"
#include "SheetCells.h"
#include "TextSheet.h"
#include "WorkbookParts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        readCells(TextSheet::readHtml(FuzzInput::bytes(data, size)));
    } catch (const WorkbookParts::Damaged&) {
    }
    return 0;
}
