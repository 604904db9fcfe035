#include "app/qt/Appearance.h"

#include <QStringList>

#include "app/MainWindowLayout.h"

namespace vorlane {

QFont WindowFont()
{
    QFont font;
    font.setFamilies({QString::fromUtf8(WindowFontName), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("sans-serif")});
    font.setPixelSize(WindowFontHeight);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace vorlane
