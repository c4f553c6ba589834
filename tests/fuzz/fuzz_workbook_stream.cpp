// The workbook stream alone (BIFF5/BIFF8 records), past the compound file.
#include "BiffReader.h"
#include "DeskError.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const BiffReader::Workbook book = BiffReader::parse(
            QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), QStringLiteral("fuzz.xls"));
        for (int row = 0; row < std::min(book.rowCount(), 200); ++row)
            for (int column = 0; column < 32; ++column)
                (void)book.text(row, column);
    } catch (const DeskError&) {
    }
    return 0;
}
