#include "frontend/SystemTextFormat.h"

#include <QLocale>

#include <clocale>

namespace frontend {

sheets::TextFormat systemTextFormat() {
    const QLocale locale = QLocale::system();
    sheets::TextFormat format;
    format.decimalSeparator = locale.decimalPoint().toStdString();
    format.shortDate = locale.dateFormat(QLocale::ShortFormat).toStdString();
    return format;
}

void keepNumbersInCLocale() {
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace frontend
