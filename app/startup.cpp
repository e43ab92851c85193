#include "startup.h"

#include <QApplication>
#include <QFont>

namespace clipora {

void setUpApplication(QApplication& app)
{
    // The window asks for "ＭＳ Ｐゴシック"; IPAPGothic stands in for it so that
    // the Japanese captions render with one proportional Gothic face everywhere.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    app.setFont(font);
}

}  // namespace clipora
