#include "ProgramValues.h"

namespace ProgramValues {

int ExportLevel = 0;
QString ExportWhere;
QString CreditDbPath;

void reset() {
    ExportLevel = 0;
    ExportWhere.clear();
    CreditDbPath.clear();
}

} // namespace ProgramValues
