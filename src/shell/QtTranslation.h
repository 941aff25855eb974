#pragma once

#include <QLocale>
#include <QTranslator>

namespace shell {

// Qt ships no Bokmål texts for its own dialogs; ours are built into the program. Loads them into
// `translator` and installs it when one of `locale`'s user-interface languages is Norwegian Bokmål
// ("nb", or "no" which means the same); returns whether it did.
bool installQtTranslation(QTranslator& translator, const QLocale& locale);

} // namespace shell
