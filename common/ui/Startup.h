#pragma once

class QTranslator;

// What both stations do first: the CJK fonts, and Qt's own texts (buttons of
// file and folder choosers) in Chinese where the translations are installed.
namespace Startup {
void prepareApplication();
}
