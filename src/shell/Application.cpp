#include "shell/Application.h"

#include "QtTranslation.h"
#include "frontend/ErrorText.h"
#include "frontend/SystemTextFormat.h"
#include "frontend/Version.h"

#include <QIcon>

namespace shell {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    frontend::keepNumbersInCLocale();
    setApplicationName(QString::fromUtf8(frontend::kApplicationTitle));
    setApplicationVersion(QString::fromUtf8(frontend::kVersion));
    // Matches the installed .desktop entry, so the desktop shows its name and icon for the window.
    setDesktopFileName(QStringLiteral("tulverkan"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tulverkan.svg")));
    installQtTranslation(m_qtTexts, QLocale::system());
}

} // namespace shell
