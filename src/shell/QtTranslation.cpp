#include "QtTranslation.h"

#include <QCoreApplication>

namespace shell {

bool installQtTranslation(QTranslator& translator, const QLocale& locale) {
    // Tries qt_nb_NO, qt_nb ... for each of the locale's languages in turn (LANGUAGE included).
    if (!translator.load(locale, QStringLiteral("qt"), QStringLiteral("_"), QStringLiteral(":/translations")))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

} // namespace shell
