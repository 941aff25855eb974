#pragma once

// The program's Qt application object.

#include <QApplication>
#include <QTranslator>

namespace shell {

// Names the application, gives Qt's own texts (file dialog, message box buttons) in Bokmål under a
// Norwegian locale, and keeps the C library's numbers in the C locale for the engine.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);

private:
    QTranslator m_qtTexts;
};

} // namespace shell
