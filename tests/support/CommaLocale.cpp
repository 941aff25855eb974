#include "support/CommaLocale.h"

#include "support/Python.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <stdexcept>

namespace testsupport {

CommaLocale::CommaLocale() {
    const char* chosen = nullptr;
    for (const char* name : {"nb_NO.UTF-8", "de_DE.UTF-8"})
        if ((chosen = std::setlocale(LC_ALL, name))) break;
    if (!chosen) {
        auto made =
            runProcess({"localedef", "-i", "nb_NO", "-f", "UTF-8", (m_folder / "nb_NO.UTF-8").string()});
        if (made.exitCode == 0) {
            setenv("LOCPATH", m_folder.path().c_str(), 1);
            chosen = std::setlocale(LC_ALL, "nb_NO.UTF-8");
        }
    }
    m_active = chosen && std::strcmp(std::localeconv()->decimal_point, ",") == 0;
    if (!m_active) {
        std::setlocale(LC_ALL, "C");
        return;
    }
    m_name = chosen;
    try {
        std::locale::global(std::locale(m_name));
    } catch (const std::runtime_error&) {
        // The C library has it, the C++ library does not read it: the C locale alone still tests most.
    }
}

CommaLocale::~CommaLocale() {
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
}

} // namespace testsupport
