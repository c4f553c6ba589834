// A whole .xls file, from its compound file to the cells' displayed text.
#include "BiffReader.h"
#include "DeskError.h"
#include "FuzzInput.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const BiffReader::Workbook book = BiffReader::open(FuzzInput::asFile(data, size, "xls"));
        // What an import reads: the rows, each cell's text.
        for (int row = 0; row < std::min(book.rowCount(), 200); ++row)
            for (int column = 0; column < 32; ++column)
                (void)book.text(row, column);
    } catch (const DeskError&) {
        // a damaged or foreign file, told to the user
    }
    return 0;
}
