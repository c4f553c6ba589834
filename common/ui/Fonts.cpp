#include "Fonts.h"
#include "PrintFonts.h"

#include <QApplication>
#include <QFont>

namespace Fonts {

void install() {
    PrintFonts::installSubstitutions();
    QFont font(PrintFonts::SongTi);
    font.setPointSize(9);
    QApplication::setFont(font);
}

} // namespace Fonts
