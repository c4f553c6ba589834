#pragma once

#include <QString>

// The values the credit station's windows share.
namespace ProgramValues {

// Level of the next export: 1 city, 2 county, 3 school. Set by the main
// menu, read by the export window.
extern int ExportLevel;

// The from-and-where part of the last export's selection (" from 学生表
// where ...") and the credit database it ran on. Set by the export window,
// read by the check report.
extern QString ExportWhere;
extern QString CreditDbPath;

// Back to the values at program start.
void reset();

} // namespace ProgramValues
