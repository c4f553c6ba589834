#pragma once

// The stations' windows are designed in "宋体" (also "黑体" and "隶书" for
// titles). These names map to the CJK fonts installed with the stations
// (PrintFonts, which also sets printed text); the application font becomes
// 宋体 9 pt. Call once after creating the QApplication.
namespace Fonts {
void install();
}
