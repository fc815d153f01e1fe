#include "ui/Look.h"

#include <QFontDatabase>

namespace tl::ui {

QFont WindowFont(int pixelSize)
{
    QFont font;
    if (QFontDatabase::hasFamily("Tahoma")) {
        font.setFamily("Tahoma");
    } else {
        font.setFamily("DejaVu Sans");
        font.setStretch(QFont::Condensed);
    }
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace tl::ui
