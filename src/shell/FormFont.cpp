#include "FormFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace shell {

namespace {

// Debian's fonts-wine puts it here, outside the folders fontconfig searches.
constexpr auto kWineTahoma = "/usr/share/wine/fonts/tahoma.ttf";

QString tahomaFamily() {
    // Asked by exact name: fontconfig would happily substitute any sans for "Tahoma".
    for (const char* name : {"Tahoma", "Wine Tahoma"})
        if (QFontDatabase::hasFamily(QString::fromLatin1(name))) return QString::fromLatin1(name);
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kWineTahoma));
    const QStringList loaded = QFontDatabase::applicationFontFamilies(id);
    return loaded.isEmpty() ? QString() : loaded.constFirst();
}

} // namespace

QFont formFont() {
    static const QString family = tahomaFamily();
    QFont font = family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont) : QFont(family);
    font.setPointSizeF(8.25); // 11 pixels at 96 dpi
    return font;
}

} // namespace shell
