// Any file handed to the registration import, as whole bytes: what it is
// taken for, and the zip package of .xlsx and .ods files itself.
#include "DeskError.h"
#include "FuzzInput.h"
#include "SheetCells.h"
#include "SheetReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        readCells(SheetReader::read(FuzzInput::bytes(data, size), QStringLiteral("fuzz.xls")));
    } catch (const DeskError&) {
    }
    return 0;
}
