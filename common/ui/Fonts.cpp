#include "Fonts.h"

#include <QApplication>
#include <QFont>

namespace Fonts {

void install() {
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("Noto Serif CJK SC"),
                                                        QStringLiteral("AR PL UMing CN"),
                                                        QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(QStringLiteral("黑体"), {QStringLiteral("Noto Sans CJK SC"),
                                                        QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(QStringLiteral("隶书"), {QStringLiteral("AR PL UKai CN"),
                                                        QStringLiteral("Noto Serif CJK SC")});
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    QApplication::setFont(font);
}

} // namespace Fonts
